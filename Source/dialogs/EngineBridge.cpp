#include "EngineBridge.h"

#include <algorithm>
#include <cmath>

#include "shell/Options.h"

namespace velto {

// Interim: the pixel engine's own routines replace these bodies once it has
// landed; the rules are the engine's (single precision, halves to even).

std::uint8_t BlendChannel(std::uint8_t a, std::uint8_t b, std::uint8_t k) {
    return static_cast<std::uint8_t>((unsigned(a) * k + unsigned(b) * (255u - k)) >> 8);
}

TColor CheckerColor(int x, int y) {
    const TOptions& o = Options();
    const int n = std::max<int>(1, o.BKSize);
    return ((x / n) % 2 == (y / n) % 2) ? o.BKColor2 : o.BKColor1;
}

namespace {
int RoundEven(float v) { return static_cast<int>(std::nearbyint(v)); }
std::uint8_t Channel(float v) { return static_cast<std::uint8_t>(std::clamp(RoundEven(v), 0, 255)); }
}  // namespace

HSVValue RGBToHSV(std::uint8_t r8, std::uint8_t g8, std::uint8_t b8) {
    const float r = r8, g = g8, b = b8;
    // The first channel wins ties, in the order R, G, B.
    int maxIdx = 0;
    float mx = r, mn = r;
    if (g > mx) { mx = g; maxIdx = 1; }
    if (b > mx) { mx = b; maxIdx = 2; }
    mn = std::min({r, g, b});
    const float d = mx - mn;
    HSVValue out;
    if (d == 0.0f) {
        out.H = RoundEven(-1.0f * 360.0f);
        out.S = 0;
        out.V = RoundEven(r * 100.0f / 255.0f);
        return out;
    }
    float h;
    if (maxIdx == 0) h = (g - b) / d;
    else if (maxIdx == 1) h = (b - r) / d + 2.0f;
    else h = (r - g) / d + 4.0f;
    const float s = d / mx;
    h = h * (1.0f / 6.0f);
    if (h < 0.0f) h = h + 1.0f;
    out.H = RoundEven(h * 360.0f);
    out.S = RoundEven(s * 100.0f);
    out.V = RoundEven(mx * 100.0f / 255.0f);
    return out;
}

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

void PaintImage(const TmyImagePal& image, QImage& target, TColor back) {
    const int w = image.Width(), h = image.Height();
    if (target.width() != w || target.height() != h || target.format() != QImage::Format_RGB32)
        target = QImage(w, h, QImage::Format_RGB32);
    const std::uint8_t br = ColorR(back), bg = ColorG(back), bb = ColorB(back);
    const QRgb backRgb = qRgb(br, bg, bb);
    const bool blend = image.BitCount >= 32;
    for (int y = 0; y < h; ++y) {
        auto* out = reinterpret_cast<QRgb*>(target.scanLine(y));
        const auto row = image.Row(y);
        for (int x = 0; x < w; ++x) {
            const TmyPixel& p = row[static_cast<std::size_t>(x)];
            if (p.A == 0) {
                out[x] = backRgb;
            } else if (blend) {
                const auto k = static_cast<std::uint8_t>(255 - p.A);
                out[x] = qRgb(BlendChannel(br, p.R, k), BlendChannel(bg, p.G, k), BlendChannel(bb, p.B, k));
            } else {
                out[x] = qRgb(p.R, p.G, p.B);
            }
        }
    }
}

void DrawPixel(QImage& target, int x, int y, bool blend, const TmyPixel& p, TColor back) {
    if (x < 0 || y < 0 || x >= target.width() || y >= target.height()) return;
    QRgb c;
    if (p.A == 0) {
        c = ToQRgb(back);
    } else if (blend) {
        const auto k = static_cast<std::uint8_t>(255 - p.A);
        c = qRgb(BlendChannel(ColorR(back), p.R, k), BlendChannel(ColorG(back), p.G, k),
                 BlendChannel(ColorB(back), p.B, k));
    } else {
        c = qRgb(p.R, p.G, p.B);
    }
    target.setPixel(x, y, c);
}

void ApplyPalette(TmyImagePal& image, const TmyPalette& palette, bool /*dithering*/) {
    // Nearest entry for every visible pixel; transparent pixels stay (0, 0, 0, 0).
    for (TmyPixel& p : image.Pixels()) {
        if (p.A == 0) continue;
        p = palette.NearestColor(p);
        p.A = 255;
    }
}

}  // namespace velto
