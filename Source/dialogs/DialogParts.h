#pragma once
// Parts of the small tool windows: the white band at the top (a title in
// bold and a line saying what the window is for), the OK and Cancel row, and
// a column of choices that scrolls on a screen too low for it.
#include <QScrollArea>
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

// A frameless scroll area that scrolls its contents up and down only: it is
// as wide as they need (and their scroll bar), and its height may shrink to
// minimumHeight, so that the window holding it fits a low screen.
class TChoicesScroll : public QScrollArea {
public:
    // The contents: a panel laid out by the returned layout (no margins).
    TChoicesScroll(const QString& name, QWidget* parent, QBoxLayout** contents);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // Lays the contents out now (a change in them otherwise reaches the
    // window's layout only with the next pass of the event loop).
    void Relayout();
};

}  // namespace velto
