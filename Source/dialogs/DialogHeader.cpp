#include "DialogHeader.h"

#include <QLabel>
#include <QPalette>
#include <QVBoxLayout>

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

}  // namespace velto
