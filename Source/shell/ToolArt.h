#pragma once
// Pictures the program draws itself: the tool-bar images where the system
// icon theme has no fitting icon, and the cursors of the drawing tools.
#include <QCursor>
#include <QIcon>
#include <QString>

namespace velto {

// The cursors of the tools, by their fixed numbers.
enum CursorNumber : int {
    crZoom = 5, crPencil, crPick, crErase, crBrush, crFlood, crSpray, crText, crSelect, crCrop,
    crLine, crRect, crRoundRect, crEllipse, crTrans, crBD, crBS, crGrad, crHand1, crHand2,
    crTestCursor = 25, crCross = 26,
    crFirstTool = crZoom, crLastTool = crHand2,  // the ones drawn by MakeToolCursor
};
inline constexpr int kToolCursorSlots = crCross + 1;

// The image of a tool-bar command: the theme's icon when a standard name fits
// and the theme has it, else our own drawing. Null for an unknown command.
QIcon ToolbarIcon(const QString& actionName);

// Our own drawing of a tool-bar image (24 x 24), ignoring the theme.
QIcon DrawnToolbarIcon(const QString& actionName);

// The program's own icon (windows, task bar): a mouse pointer over the
// transparency checkerboard.
QIcon ApplicationIcon();

// The cursor of a tool by its number (crFirstTool..crLastTool, as the tool
// palette uses them); false for another number.
bool MakeToolCursor(int number, QCursor* out);

}  // namespace velto
