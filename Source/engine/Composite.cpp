// Compositing, display blending, HSV and the checkerboard.
#include "engine/Composite.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace velto {

std::uint8_t OverChannel(std::uint8_t c1, std::uint8_t c2, std::uint8_t a1, std::uint8_t a2) {
    const int t = a1 * a2 / 255;
    const int divisor = a1 + a2 - t;
    if (divisor == 0) return c1;
    return static_cast<std::uint8_t>(((a2 - t) * c2 + a1 * c1) / divisor);
}

void AlphaBlendPixel(TmyPixel& top, const TmyPixel& under, bool force) {
    if (!force && (top.A == 0 || top.A == 255)) return;
    if (under.A == 0) return;
    if (!top.EqualsRGB(under)) {
        top.R = OverChannel(top.R, under.R, top.A, under.A);
        top.G = OverChannel(top.G, under.G, top.A, under.A);
        top.B = OverChannel(top.B, under.B, top.A, under.A);
    }
    const double added = std::nearbyint(static_cast<double>(255 - under.A) * top.A / 255.0);
    top.A = static_cast<std::uint8_t>(under.A + static_cast<int>(added));
}

std::uint8_t BlendChannel(std::uint8_t a, std::uint8_t b, std::uint8_t k) {
    if (k == 255) return a;
    if (k == 0) return b;
    return static_cast<std::uint8_t>((unsigned{a} * k + unsigned{b} * (255u - k) + 127u) / 255u);
}

TColor PixelOverColor(const TmyPixel& back, const TmyPixel& pix) {
    const auto k = static_cast<std::uint8_t>(255 - pix.A);
    return MakeColor(BlendChannel(back.R, pix.R, k), BlendChannel(back.G, pix.G, k), BlendChannel(back.B, pix.B, k));
}

namespace {

// v rounded to nearest, halves to even, for |v| < 2^22: adding 1.5 * 2^23
// leaves no fraction bits, so the addition itself rounds in the current
// (nearest, even on ties) mode. Inline, unlike a call of std::nearbyint;
// the colour panel and the hue slider's previews convert every pixel.
int RoundInt(float v) {
    constexpr float kShift = 12582912.0f;
    constexpr float kLimit = 4194304.0f;  // out-of-range percents only ever clamp afterwards
    v = std::clamp(v, -kLimit, kLimit);
    return static_cast<int>((v + kShift) - kShift);
}

std::uint8_t RoundByte(float v) { return static_cast<std::uint8_t>(std::clamp(RoundInt(v), 0, 255)); }

}  // namespace

THsv RGBToHSV(float r, float g, float b) {
    float mx = r;
    float mn = r;
    int maxChannel = 0;
    if (g > mx) {
        mx = g;
        maxChannel = 1;
    }
    if (b > mx) {
        mx = b;
        maxChannel = 2;
    }
    mn = std::min(mn, g);
    mn = std::min(mn, b);
    const float d = mx - mn;
    if (d == 0.0f) return {RoundInt(-1.0f * 360.0f), 0, RoundInt(r * 100.0f / 255.0f)};
    float h;
    if (maxChannel == 0)
        h = (g - b) / d;
    else if (maxChannel == 1)
        h = (b - r) / d + 2.0f;
    else
        h = (r - g) / d + 4.0f;
    const float s = d / mx;
    h = h * (1.0f / 6.0f);
    if (h < 0.0f) h = h + 1.0f;
    return {RoundInt(h * 360.0f), RoundInt(s * 100.0f), RoundInt(mx * 100.0f / 255.0f)};
}

TmyColor HSVToRGB(int hDeg, int sPct, int vPct) {
    // RGBToHSV rounds hues just below 360 up to 360, which would fall in the
    // last sector's formula at f = 0 and turn red into magenta: hues are
    // taken modulo 360.
    if (hDeg >= 360) hDeg %= 360;
    const float h = static_cast<float>(hDeg) / 360.0f;
    const float s = static_cast<float>(sPct) / 100.0f;
    const float v = (static_cast<float>(vPct) * 255.0f) / 100.0f;
    if (h < 0.0f) {
        const std::uint8_t grey = RoundByte(v);
        return {grey, grey, grey};
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
    return {RoundByte(r), RoundByte(g), RoundByte(b)};
}

TColor CheckerColor(int x, int y, const TCheckerboard& board) {
    const int n = board.Cell();
    return (((x / n) ^ (y / n)) & 1) == 0 ? board.Color2 : board.Color1;
}

void DrawCheckerboard(TRgbBuffer& target, const TCheckerboard& board) {
    const int n = board.Cell();
    for (int y = 0; y < target.Height; ++y) {
        std::uint8_t* row = target.Row(y);
        const bool oddRow = ((y / n) & 1) != 0;
        // Runs of one cell; the cell count fits an int because x does.
        for (int x = 0; x < target.Width;) {
            const int cell = x / n;
            const int end = static_cast<int>(std::min<long long>(target.Width, (static_cast<long long>(cell) + 1) * n));
            const TColor c = ((cell & 1) != 0) == oddRow ? board.Color2 : board.Color1;
            for (int i = x; i < end; ++i) {
                row[3 * i] = ColorR(c);
                row[3 * i + 1] = ColorG(c);
                row[3 * i + 2] = ColorB(c);
            }
            x = end;
        }
    }
}

}  // namespace velto
