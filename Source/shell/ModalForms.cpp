#include "ModalForms.h"

#include "MainWindow.h"

#include <QDialog>
#include <QVariant>

namespace velto {

namespace {

constexpr char kStandIn[] = "veltoStandIn";

}  // namespace

bool IsStandInForm(const QWidget* form) { return form && form->property(kStandIn).toBool(); }

void MarkStandInForm(QWidget* form) {
    if (form) form->setProperty(kStandIn, true);
}

QWidget* FindForm(const QString& name) {
    TfrmMain* main = frmMain();
    return main ? main->Forms().Form(name) : nullptr;
}

int ShowModalForm(const QString& name) {
    auto* dialog = qobject_cast<QDialog*>(FindForm(name));
    if (!dialog || IsStandInForm(dialog)) return 0;
    return dialog->exec();
}

}  // namespace velto
