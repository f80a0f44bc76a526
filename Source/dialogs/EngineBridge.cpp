#include "EngineBridge.h"

#include "shell/Options.h"

namespace velto {

void DrawPixel(QImage& target, int x, int y, bool blend, const TmyPixel& p, TColor back) {
    if (!target.valid(x, y)) return;
    TColor c;
    if (p.A == 0) c = back;
    else if (blend) c = PixelOverColor(TmyPixel::CreateColor(back), p);
    else c = p.GetColor();
    target.setPixel(x, y, QRgbOf(c));
}

void ApplyPaletteSetting(TmyImagePal& image, const TmyPalette& palette) {
    ApplyPalette(image, palette, Options().Dithering ? TDither::On : TDither::Off);
}

TmyPixel HSVToPixel(int h, int s, int v) {
    const TmyColor c = HSVToRGB(h, s, v);
    return TmyPixel::CreateRGBA(c.R, c.G, c.B, 0);
}

}  // namespace velto
