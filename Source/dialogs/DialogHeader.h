#pragma once
// The white band at the top of the small tool windows: a title in bold and a
// line saying what the window is for.
#include <QString>

class QWidget;

namespace velto {

// A band named "Panel1" holding "Label1" (title) and "Label2" (description),
// as wide as its parent's layout makes it.
QWidget* MakeDialogHeader(QWidget* parent, const QString& title, const QString& description);

}  // namespace velto
