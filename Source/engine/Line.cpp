// Line rasteriser and image rendering.
#include "engine/Line.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "engine/Composite.h"

namespace velto {

void Tline::Rasterize() {
    Points.clear();
    // 64-bit spans: ends anywhere in the int range must not overflow.
    const long long dx = static_cast<long long>(X2) - X1;
    const long long dy = static_cast<long long>(Y2) - Y1;
    const double m = dx != 0 ? static_cast<double>(-dy) / static_cast<double>(-dx) : 0.0;  // (Y1 - Y2) / (X1 - X2)
    const double w = m != 0.0 ? 1.0 / m : 0.0;
    const long long steps = std::min<long long>(std::max(std::llabs(dx), std::llabs(dy)), MaxPoints);
    Points.reserve(static_cast<std::size_t>(steps));
    if (std::llabs(dx) <= std::llabs(dy)) {
        const long long step = Y1 >= Y2 ? -1 : 1;
        for (long long k = 1; k <= steps; ++k) {
            const long long cy = Y1 + k * step;
            const long long cx = static_cast<long long>(std::nearbyint(static_cast<double>(cy - Y1) * w)) + X1;
            Points.push_back({static_cast<int>(cx), static_cast<int>(cy)});
        }
    } else {
        const long long step = X1 >= X2 ? -1 : 1;
        for (long long k = 1; k <= steps; ++k) {
            const long long cx = X1 + k * step;
            const long long cy = static_cast<long long>(std::nearbyint(static_cast<double>(cx - X1) * m)) + Y1;
            Points.push_back({static_cast<int>(cx), static_cast<int>(cy)});
        }
    }
}

void PaintImage(const TmyImagePal& image, TRgbBuffer& target, TColor background) {
    target.SetSize(image.Width(), image.Height());
    const std::uint8_t br = ColorR(background), bg = ColorG(background), bb = ColorB(background);
    const bool blend = image.BitCount >= 32;
    for (int y = 0; y < image.Height(); ++y) {
        std::uint8_t* out = target.Row(y);
        for (const TmyPixel& p : image.Row(y)) {
            if (p.A == 0) {
                out[0] = br;
                out[1] = bg;
                out[2] = bb;
            } else if (blend && p.A != 255) {
                const auto k = static_cast<std::uint8_t>(255 - p.A);
                out[0] = BlendChannel(br, p.R, k);
                out[1] = BlendChannel(bg, p.G, k);
                out[2] = BlendChannel(bb, p.B, k);
            } else {
                out[0] = p.R;
                out[1] = p.G;
                out[2] = p.B;
            }
            out += 3;
        }
    }
}

void DrawPixelBlended(TRgbBuffer& target, int x, int y, const TmyPixel& pix, TColor background) {
    if (!target.Contains(x, y)) return;
    if (pix.A == 0)
        target.SetColor(x, y, background);
    else
        target.SetColor(x, y, PixelOverColor(TmyPixel::CreateColor(background), pix));
}

void DrawPixelOpaque(TRgbBuffer& target, int x, int y, const TmyPixel& pix, TColor background) {
    if (!target.Contains(x, y)) return;
    target.SetColor(x, y, pix.A == 0 ? background : pix.GetColor());
}

void DrawPixel(TRgbBuffer& target, int x, int y, TPixelDraw how, const TmyPixel& pix, TColor background) {
    if (how == TPixelDraw::Blended)
        DrawPixelBlended(target, x, y, pix, background);
    else
        DrawPixelOpaque(target, x, y, pix, background);
}

}  // namespace velto
