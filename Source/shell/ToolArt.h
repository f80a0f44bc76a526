#pragma once
// Pictures the program draws itself: the tool-bar images where the system
// icon theme has no fitting icon, and the cursors of the drawing tools.
#include <QCursor>
#include <QIcon>
#include <QString>

namespace velto {

// The image of a tool-bar command: the theme's icon when a standard name fits
// and the theme has it, else our own drawing. Null for an unknown command.
QIcon ToolbarIcon(const QString& actionName);

// Our own drawing of a tool-bar image (24 x 24), ignoring the theme.
QIcon DrawnToolbarIcon(const QString& actionName);

// The cursor of a tool by its number (5..24, as the tool palette uses them);
// a null cursor (Qt::ArrowCursor shape, no pixmap) for another number.
bool MakeToolCursor(int number, QCursor* out);

}  // namespace velto
