#include "DeskText.h"

#include <algorithm>
#include <cstdlib>

#include "CanvasRender.h"
#include "MainWindowText.h"

namespace velto {

QString ZoomItemText(int index) { return QString::number((index + 1) * 100) + '%'; }

int ZoomInIndex(int index) {
    if (index >= kZoomItems - 1) return index;
    return std::min(kZoomItems - 1, index + std::max(1, index / 2));
}

int ZoomOutIndex(int index) {
    if (index < 1) return index;
    return index - std::max(1, index / 3);
}

int AutoZoomFor(int boxWidth, int boxHeight, int imageWidth, int imageHeight) {
    if (imageWidth < 1 || imageHeight < 1) return 1;
    const int z = std::min(boxWidth / imageWidth, boxHeight / imageHeight);
    return std::clamp(z, 1, kZoomItems);
}

QString ColorDepthName(int bitCount) {
    switch (bitCount) {
    case 1: return Msg("msg2Col", "2 Colors");
    case 4: return Msg("msg16Col", "16 Colors");
    case 8: return Msg("msg256Col", "256 Colors");
    case 24: return Msg("msgTrueCol", "True Color");
    case 32: return Msg("msgTrauColAlpha", "True Color+Alpha");
    default: return QString();
    }
}

namespace {
QString SizeText(const TmyImagePal& image) {
    return QString::number(image.Width()) + 'x' + QString::number(image.Height());
}
}  // namespace

QString ImageListText(int index, const TmyImagePal& image) {
    return QString::number(index) + ": " + SizeText(image) + " - " + ColorDepthName(image.BitCount);
}

QString ThumbnailCaption(bool asFrames, int index, const TmyImagePal& image) {
    if (asFrames) return Msg("msgFrame", "Frame %i1").replace(QLatin1String("%i1"), QString::number(index));
    switch (image.BitCount) {
    case 1:
    case 4:
    case 8:
    case 24:
    case 32: return SizeText(image) + " - " + QString::number(image.BitCount);
    default: return SizeText(image);
    }
}

QString ZoomStatusText(int zoom) { return QString::asprintf("%d00%%", zoom); }

QString ColorReadoutText(const StatusLabelSet& l, int x, int y, const TmyPixel& p) {
    const THsv hsv = RGBToHSV(p.R, p.G, p.B);
    const int h = hsv.H == -360 ? 0 : hsv.H;
    return QString::asprintf("(%d,%d)  ", x, y) + l[0] + QString::asprintf(":%d ", p.R) + l[1] +
           QString::asprintf(":%d ", p.G) + l[2] + QString::asprintf(":%d   ", p.B) + l[3] +
           QString::asprintf(":%d ", h) + l[4] + QString::asprintf(":%d ", hsv.S) + l[5] +
           QString::asprintf(":%d   ", hsv.V) + l[6] + QString::asprintf(":%d", p.A);
}

QString SelectionStatusText(const StatusLabelSet& l, int x, int y, int w, int h) {
    return QString::asprintf("(%d,%d)-(%d,%d) ", x, y, x + w, y + h) + l[8] + QString::asprintf(":%d ", w) + l[7] +
           QString::asprintf(":%d", h);
}

QString ToolStatusText(const StatusLabelSet& l, int x0, int y0, int x, int y, int button, int tool, int zoom,
                       const TmyImagePal* image) {
    constexpr int kLine = 9, kPicker = 13, kZoomTool = 14;
    const bool held = button == tbLeft || button == tbRight;
    if (tool == kPicker) {
        // Only a position inside the image has a pixel to read.
        if (image && x >= 0 && y >= 0 && x < image->Width() && y < image->Height())
            return ColorReadoutText(l, x, y, image->At(x, y));
        return QString::asprintf("(%d,%d)", x, y);
    }
    if (tool == kZoomTool) return ZoomStatusText(zoom);
    if (held) {
        switch (tool) {
        case 1:
        case 2:
        case 10:
        case 11:
        case 12:
        case 16:
            return QString::asprintf("(%d,%d)-(%d,%d) ", x0, y0, x + 1, y + 1) + l[8] +
                   QString::asprintf(":%d ", std::abs(x - x0) + 1) + l[7] +
                   QString::asprintf(":%d", std::abs(y - y0) + 1);
        case kLine: return QString::asprintf("(%d,%d)-(%d,%d)", x0, y0, x, y);
        default: break;
        }
    }
    return QString::asprintf("(%d,%d)", x, y);
}

int ScrollPositionFor(int oldMax, int oldPos, int newMax) {
    if (newMax <= 0) return 0;
    if (oldMax <= 0) return newMax / 2;
    const long long pos = static_cast<long long>(newMax) * oldPos / oldMax;
    return static_cast<int>(std::clamp<long long>(pos, 0, newMax));
}

}  // namespace velto
