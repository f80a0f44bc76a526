#pragma once
// The pixel routines the panes and dialogs take from the pixel engine, in the
// form the widgets need them (settings read from Options, QImage targets).
// The checkerboard, RGB to HSV, display blending and PaintImage are the
// document canvas's (shell/CanvasRender.h), shared with it.
#include <QColor>
#include <QImage>

#include "model/Image.h"
#include "model/Palette.h"
#include "model/Pixel.h"
#include "platform/Color.h"
#include "shell/CanvasRender.h"

namespace velto {

// Hue in degrees (a negative hue gives a grey), saturation and value in
// percent; alpha 0.
TmyPixel HSVToRGB(int h, int s, int v);

// One preview pixel: blended over back, or its own colour; transparent gives
// back. Outside the target nothing happens.
void DrawPixel(QImage& target, int x, int y, bool blend, const TmyPixel& pixel, TColor back);

// Remaps the visible pixels of an indexed image to palette.
void ApplyPalette(TmyImagePal& image, const TmyPalette& palette, bool dithering);

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
