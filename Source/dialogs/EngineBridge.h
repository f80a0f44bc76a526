#pragma once
// The pixel engine's routines in the form the widgets need them: settings
// read from Options, Qt pictures as targets.
#include <QColor>
#include <QImage>

#include "engine/ColorDepth.h"
#include "engine/Composite.h"
#include "model/Image.h"
#include "model/Palette.h"
#include "model/Pixel.h"
#include "platform/Color.h"

namespace velto {

// The transparency checkerboard of the settings ("BKSize", "Color1", "Color2").
TCheckerboard CheckerboardFromOptions();

// The image one pixel per pixel over back, as the engine renders it.
QImage RenderImage(const TmyImagePal& image, TColor back);

// One preview pixel (blended or opaque, as the engine draws it); outside the
// picture nothing happens.
void DrawPixel(QImage& target, int x, int y, bool blend, const TmyPixel& pixel, TColor back);

// Refits an indexed image to palette, dithered when the "Dithering" setting is on.
void ApplyPaletteSetting(TmyImagePal& image, const TmyPalette& palette);

// A colour from hue (degrees), saturation and value (percent), alpha 0.
TmyPixel HSVToPixel(int h, int s, int v);

inline QRgb QRgbOf(TColor c) { return qRgb(ColorR(c), ColorG(c), ColorB(c)); }
inline TColor ToTColor(QRgb c) {
    return MakeColor(static_cast<std::uint8_t>(qRed(c)), static_cast<std::uint8_t>(qGreen(c)),
                     static_cast<std::uint8_t>(qBlue(c)));
}
inline QColor ToQColor(const TmyPixel& p) { return QColor(p.R, p.G, p.B); }
// An opaque pixel of a picture's colour.
inline TmyPixel OpaquePixel(QRgb c) {
    return TmyPixel::CreateRGBA(static_cast<std::uint8_t>(qRed(c)), static_cast<std::uint8_t>(qGreen(c)),
                                static_cast<std::uint8_t>(qBlue(c)), 255);
}

}  // namespace velto
