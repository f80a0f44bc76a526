#pragma once
// The pixel routines the panes and dialogs take from the pixel engine, in the
// form the widgets need them (settings read from Options, QImage targets).
// Everything that touches pixels goes through here, so that the panes have
// one place where they meet the engine.
#include <QImage>

#include "model/Image.h"
#include "model/Palette.h"
#include "model/Pixel.h"
#include "platform/Color.h"

namespace velto {

// (a·k + b·(255 - k)) shr 8: full weight on 255 gives 254.
std::uint8_t BlendChannel(std::uint8_t a, std::uint8_t b, std::uint8_t k);

// The transparency checkerboard at (x, y) with the settings' cell size and colours.
TColor CheckerColor(int x, int y);

// Hue in degrees (-360 for a grey), saturation and value in percent.
struct HSVValue {
    int H = 0, S = 0, V = 0;
};
HSVValue RGBToHSV(std::uint8_t r, std::uint8_t g, std::uint8_t b);
TmyPixel HSVToRGB(int h, int s, int v);  // alpha 0

// Renders image at one pixel per image pixel over back into target, which
// takes the image's size (RGB32).
void PaintImage(const TmyImagePal& image, QImage& target, TColor back);
// One preview pixel: blended over back, or opaque; transparent gives back.
// Outside the target nothing happens.
void DrawPixel(QImage& target, int x, int y, bool blend, const TmyPixel& pixel, TColor back);

// Remaps the pixels of an indexed image to palette (dithered when asked).
void ApplyPalette(TmyImagePal& image, const TmyPalette& palette, bool dithering);

// Conversions between the model's colours and Qt's.
inline QRgb ToQRgb(TColor c) { return qRgb(ColorR(c), ColorG(c), ColorB(c)); }
inline TColor ToTColor(QRgb c) {
    return MakeColor(static_cast<std::uint8_t>(qRed(c)), static_cast<std::uint8_t>(qGreen(c)),
                     static_cast<std::uint8_t>(qBlue(c)));
}
inline QColor ToQColor(const TmyPixel& p) { return QColor(p.R, p.G, p.B); }

}  // namespace velto
