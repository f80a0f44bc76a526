#include "EngineBridge.h"

#include <algorithm>
#include <cmath>

namespace velto {

// Interim: the pixel engine's own routines replace these bodies once it has
// landed; the rules are the engine's (single precision, halves to even;
// display blending as the canvas does it).

namespace {
std::uint8_t Channel(float v) {
    return static_cast<std::uint8_t>(std::clamp(static_cast<int>(std::nearbyint(v)), 0, 255));
}
}  // namespace

TmyPixel HSVToRGB(int hDeg, int sPct, int vPct) {
    const float h = static_cast<float>(hDeg) / 360.0f;
    const float s = static_cast<float>(sPct) / 100.0f;
    const float v = (static_cast<float>(vPct) * 255.0f) / 100.0f;
    if (h < 0.0f) {
        const std::uint8_t g = Channel(v);
        return TmyPixel::CreateRGBA(g, g, g, 0);
    }
    const float hh = h / (1.0f / 6.0f);
    const float i = std::floor(hh);
    const float f = hh - i;
    const float p = (1.0f - s) * v;
    const float q = (1.0f - s * f) * v;
    const float t = (1.0f - (1.0f - f) * s) * v;
    float r, g, b;
    switch (static_cast<int>(i)) {
        case 0: r = v; g = t; b = p; break;
        case 1: r = q; g = v; b = p; break;
        case 2: r = p; g = v; b = t; break;
        case 3: r = p; g = q; b = v; break;
        case 4: r = t; g = p; b = v; break;
        default: r = v; g = p; b = q; break;
    }
    return TmyPixel::CreateRGBA(Channel(r), Channel(g), Channel(b), 0);
}

void DrawPixel(QImage& target, int x, int y, bool blend, const TmyPixel& p, TColor back) {
    if (!target.valid(x, y)) return;
    QRgb c;
    if (p.A == 0) c = ToQRgb(back);
    else if (blend)
        c = qRgb(BlendForDisplay(p.R, ColorR(back), p.A), BlendForDisplay(p.G, ColorG(back), p.A),
                 BlendForDisplay(p.B, ColorB(back), p.A));
    else c = qRgb(p.R, p.G, p.B);
    target.setPixel(x, y, c);
}

void ApplyPalette(TmyImagePal& image, const TmyPalette& palette, bool /*dithering*/) {
    // The nearest entry for every visible pixel; transparent pixels stay (0, 0, 0, 0).
    for (TmyPixel& p : image.Pixels()) {
        if (p.A == 0) continue;
        p = palette.NearestColor(p);
        p.A = 255;
    }
}

}  // namespace velto
