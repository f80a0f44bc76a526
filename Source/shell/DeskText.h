#pragma once
// The document window's rules that need no widget: zoom steps, the texts of
// the image list, the side-bar captions and the status read-outs, and the
// scroll-bar arithmetic.
#include <QString>

#include <array>

#include "model/Icon.h"
#include "model/Pixel.h"

namespace velto {

// The translated short labels of the status bar, in the main window's order:
// red, green, blue, hue, saturation, brightness, opacity, height, width.
using StatusLabelSet = std::array<QString, 9>;

// ---- zoom (the zoom list holds 100 items; item i stands for zoom i + 1)
inline constexpr int kZoomItems = 100;
inline constexpr int kDefaultZoom = 10;
QString ZoomItemText(int index);  // "100%" .. "10000%"
// The item one Zoom In or Zoom Out step away; the same index at the ends.
int ZoomInIndex(int index);
int ZoomOutIndex(int index);
// The automatic zoom: the largest that fits the image into the box, 1..100.
int AutoZoomFor(int boxWidth, int boxHeight, int imageWidth, int imageHeight);

// ---- image list and side bar
QString ColorDepthName(int bitCount);
QString ImageListText(int index, const TmyImagePal& image);       // "0: 32x32 - True Color+Alpha"
QString ThumbnailCaption(bool asFrames, int index, const TmyImagePal& image);  // "Frame 2" or "32x32 - 32"

// ---- status read-outs
enum ToolButton : int { tbLeft = 0, tbRight = 1, tbNone = 2 };
// What the tool dispatcher shows while the pointer moves over the canvas.
// image is the window's current image (the colour read-out's pixel); a
// position outside it shows only the coordinates.
QString ToolStatusText(const StatusLabelSet& labels, int x0, int y0, int x, int y, int button, int tool, int zoom,
                       const TmyImagePal* image);
QString ColorReadoutText(const StatusLabelSet& labels, int x, int y, const TmyPixel& pixel);
QString SelectionStatusText(const StatusLabelSet& labels, int x, int y, int w, int h);
QString ZoomStatusText(int zoom);  // "1000%"

// ---- scroll bars
// The position of a bar whose maximum changes from oldMax to newMax: a bar that
// had no range starts centred, another keeps its relative place.
int ScrollPositionFor(int oldMax, int oldPos, int newMax);

}  // namespace velto
