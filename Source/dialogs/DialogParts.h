#pragma once
// Parts of the small tool windows: the white band at the top (a title in
// bold and a line saying what the window is for), and the OK and Cancel row.
#include <QString>

class QBoxLayout;
class QHBoxLayout;
class QDialog;
class QPushButton;
class QWidget;

namespace velto {

// A band named "Panel1" holding "Label1" (title) and "Label2" (description),
// as wide as its parent's layout makes it.
QWidget* MakeDialogHeader(QWidget* parent, const QString& title, const QString& description);

// "btnOK" (the default button, Enter anywhere) and "btnCancel" (rejects the
// window) at the right of a row added to layout; the row, for what goes on
// its left.
QHBoxLayout* AddOkCancelRow(QDialog* dialog, QBoxLayout* layout, QPushButton** ok, QPushButton** cancel);

}  // namespace velto
