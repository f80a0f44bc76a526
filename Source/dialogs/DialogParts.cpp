#include "DialogParts.h"

#include <QCoreApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QPalette>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

namespace velto {

QWidget* MakeDialogHeader(QWidget* parent, const QString& title, const QString& description) {
    auto* band = new QWidget(parent);
    band->setObjectName(QStringLiteral("Panel1"));
    band->setAutoFillBackground(true);
    QPalette pal = band->palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::WindowText, Qt::black);
    band->setPalette(pal);
    auto* lay = new QVBoxLayout(band);
    lay->setContentsMargins(10, 6, 10, 6);
    lay->setSpacing(2);
    auto* heading = new QLabel(title, band);
    heading->setObjectName(QStringLiteral("Label1"));
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    auto* line = new QLabel(description, band);
    line->setObjectName(QStringLiteral("Label2"));
    line->setIndent(10);
    lay->addWidget(heading);
    lay->addWidget(line);
    return band;
}

QHBoxLayout* AddOkCancelRow(QDialog* dialog, QBoxLayout* layout, QPushButton** ok, QPushButton** cancel) {
    auto* row = new QHBoxLayout;
    row->setContentsMargins(8, 0, 8, 0);
    row->addStretch(1);
    *ok = new QPushButton(QStringLiteral("OK"), dialog);
    (*ok)->setObjectName(QStringLiteral("btnOK"));
    (*ok)->setDefault(true);
    *cancel = new QPushButton(QStringLiteral("Cancel"), dialog);
    (*cancel)->setObjectName(QStringLiteral("btnCancel"));
    row->addWidget(*ok);
    row->addWidget(*cancel);
    layout->addLayout(row);
    QObject::connect(*cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    return row;
}

TChoicesScroll::TChoicesScroll(const QString& name, QWidget* parent, QBoxLayout** contents) : QScrollArea(parent) {
    setObjectName(name);
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* panel = new QWidget(this);
    auto* lay = new QVBoxLayout(panel);
    lay->setContentsMargins(0, 0, 0, 0);
    setWidget(panel);
    *contents = lay;
}

// The whole contents when there is room (a scroll area's own hint is capped).
QSize TChoicesScroll::sizeHint() const {
    return widget() ? widget()->sizeHint() + QSize(verticalScrollBar()->sizeHint().width(), 0) : QScrollArea::sizeHint();
}

void TChoicesScroll::Relayout() {
    // The layouts inside ask to be redone by posted events: handled now.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    if (widget() && widget()->layout()) widget()->layout()->activate();
    updateGeometry();
}

QSize TChoicesScroll::minimumSizeHint() const {
    const int width = widget() ? widget()->minimumSizeHint().width() + verticalScrollBar()->sizeHint().width() : 0;
    return {width, std::max(minimumHeight(), 1)};
}

}  // namespace velto
