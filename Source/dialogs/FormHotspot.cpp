#include "FormHotspot.h"

#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

#include "DialogParts.h"
#include "shell/MainWindow.h"
#include "shell/ToolArt.h"
#include "shell/ToolController.h"

namespace velto {

TfrmHotspot::TfrmHotspot(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmHotspot"));
    setWindowTitle(QStringLiteral("Cursor Hot Spot"));
    setModal(true);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 8);
    root->addWidget(
        MakeDialogHeader(this, QStringLiteral("Cursor Hot Spot"), QStringLiteral("Set the hot spot of the cursor")));

    auto* grid = new QGridLayout;
    grid->setContentsMargins(12, 4, 12, 4);
    // Digits only: a hotspot is never negative.
    auto* digits = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this);
    auto field = [this, grid, digits](int row, const char* labelName, const QString& caption, const char* editName) {
        auto* label = new QLabel(caption, this);
        label->setObjectName(QString::fromLatin1(labelName));
        auto* edit = new QLineEdit(QStringLiteral("0"), this);
        edit->setObjectName(QString::fromLatin1(editName));
        edit->setValidator(digits);
        edit->setMaxLength(9);
        edit->installEventFilter(this);
        label->setBuddy(edit);
        grid->addWidget(label, row, 0);
        grid->addWidget(edit, row, 1);
        connect(edit, &QLineEdit::textChanged, this, [this, edit] { edited(edit); });
        return edit;
    };
    edtX_ = field(0, "lblX", QStringLiteral("X Position"), "edtX");
    edtY_ = field(1, "lblY", QStringLiteral("Y Position"), "edtY");
    btnFind_ = new QToolButton(this);
    btnFind_->setObjectName(QStringLiteral("btnFind"));
    btnFind_->setToolTip(QStringLiteral("Find Hot Spot"));
    btnFind_->setIcon(DrawnToolbarIcon(QStringLiteral("actToolHotspot")));
    btnFind_->setIconSize(QSize(24, 24));
    grid->addWidget(btnFind_, 0, 2, 2, 1);
    root->addLayout(grid);

    AddOkCancelRow(this, root, &btnOK_, &btnCancel_);
    connect(btnOK_, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnFind_, &QToolButton::clicked, this, &TfrmHotspot::FindClick);
}

void TfrmHotspot::SetHotspotX(int v) {
    x_ = std::min(maxX_, v);
    edtX_->setText(QString::number(x_));
}

void TfrmHotspot::SetHotspotY(int v) {
    y_ = std::min(maxY_, v);
    edtY_->setText(QString::number(y_));
}

void TfrmHotspot::edited(QLineEdit* edit) {
    // An emptied box keeps the value; a number beyond the image is cut to its edge.
    if (edit->text().isEmpty()) return;
    bool ok = false;
    int v = edit->text().toInt(&ok);
    if (!ok) v = std::numeric_limits<int>::max();
    if (edit == edtX_ && v != x_) SetHotspotX(v);
    if (edit == edtY_ && v != y_) SetHotspotY(v);
}

void TfrmHotspot::accept() {
    edited(edtX_);
    edited(edtY_);
    QDialog::accept();
}

void TfrmHotspot::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    edtX_->setFocus(Qt::OtherFocusReason);
    edtX_->selectAll();
}

void TfrmHotspot::FindClick() {
    if (TfrmMain* main = frmMain()) main->Tools().SetTool(TToolId::Hotspot);
    reject();
}

bool TfrmHotspot::eventFilter(QObject* watched, QEvent* event) {
    // Clicking into a box selects its whole text.
    if ((watched == edtX_ || watched == edtY_) && event->type() == QEvent::FocusIn)
        QTimer::singleShot(0, static_cast<QLineEdit*>(watched), &QLineEdit::selectAll);
    return QDialog::eventFilter(watched, event);
}

}  // namespace velto
