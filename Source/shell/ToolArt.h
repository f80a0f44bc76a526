#pragma once
// The program's own pictures: the tool-bar images (PNG files of art/ in a
// PNG image list), the application icon and the cursors of the drawing tools.
#include <QCursor>
#include <QIcon>
#include <QString>

#include "imagingqt/PngImageList.h"

namespace velto {

// The cursors of the tools, by their fixed numbers.
enum CursorNumber : int {
    crZoom = 5, crPencil, crPick, crErase, crBrush, crFlood, crSpray, crText, crSelect, crCrop,
    crLine, crRect, crRoundRect, crEllipse, crTrans, crBD, crBS, crGrad, crHand1, crHand2,
    crTestCursor = 25, crCross = 26,
    crFirstTool = crZoom, crLastTool = crHand2,  // the ones drawn by MakeToolCursor
};
inline constexpr int kToolCursorSlots = crCross + 1;

// The tool-bar images (24 x 24, with a 2x drawing each), with the disabled
// looks half transparent and grey.
TPngImageList& ToolbarImages();
// The tool palette's pictures: tools, image commands and shift arrows, by
// name ("toolCrop", "cmdFlipVert", "cmdUp"...).
TPngImageList& PaletteImages();

// The image of a tool-bar command (its normal and disabled looks). Null for
// an unknown command.
QIcon ToolbarIcon(const QString& actionName);
// The same; kept for the windows that ask for our drawing by this name.
QIcon DrawnToolbarIcon(const QString& actionName);

// The program's own icon (windows, task bar): a mouse pointer over the
// transparency checkerboard.
QIcon ApplicationIcon();

// The cursor of a tool by its number (crFirstTool..crLastTool, as the tool
// palette uses them); false for another number.
bool MakeToolCursor(int number, QCursor* out);

}  // namespace velto
