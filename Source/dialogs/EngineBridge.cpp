#include "EngineBridge.h"

#include "engine/Line.h"
#include "engine/PixelBuffers.h"
#include "shell/Options.h"

namespace velto {

TCheckerboard CheckerboardFromOptions() {
    const TOptions& o = Options();
    TCheckerboard board;
    board.CellSize = o.BKSize;
    board.Color1 = o.BKColor1;
    board.Color2 = o.BKColor2;
    return board;
}

QImage RenderImage(const TmyImagePal& image, TColor back) {
    TRgbBuffer rgb;
    PaintImage(image, rgb, back);
    // The engine's rows are the toolkit's RGB888 rows; the screen draws RGB32 fastest.
    return QImage(rgb.Bytes.data(), rgb.Width, rgb.Height, rgb.Stride(), QImage::Format_RGB888)
        .convertToFormat(QImage::Format_RGB32);
}

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
