#pragma once
// The pixel engine's routines in the form the widgets need them: settings
// read from Options, Qt pictures as targets. The checkerboard of the settings
// and the rendering of whole images are the canvas's (shell/CanvasRender.h).
#include <QColor>
#include <QImage>

#include "engine/ColorDepth.h"
#include "engine/Composite.h"
#include "model/Image.h"
#include "model/Palette.h"
#include "model/Pixel.h"
#include "platform/Color.h"
#include "shell/CanvasRender.h"

namespace velto {

// One preview pixel (blended or opaque, as the engine draws it); outside the
// picture nothing happens.
void DrawPixel(QImage& target, int x, int y, bool blend, const TmyPixel& pixel, TColor back);

// Refits an indexed image to palette, dithered when the "Dithering" setting is on.
void ApplyPaletteSetting(TmyImagePal& image, const TmyPalette& palette);

// A colour from hue (degrees), saturation and value (percent), alpha 0.
TmyPixel HSVToPixel(int h, int s, int v);

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
