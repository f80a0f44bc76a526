#pragma once
// Pixel arithmetic shared by the tools, the canvas, the panes and the
// exporters: straight-alpha "over", blending a pixel over a background for
// display, the HSV conversions of the colour panel and the hue adjustment,
// and the transparency checkerboard.
#include <cstdint>

#include "engine/PixelBuffers.h"
#include "model/Pixel.h"
#include "platform/Color.h"

namespace velto {

// One channel of top (c1, alpha a1) over under (c2, alpha a2), straight alpha:
// ((a2 - t) * c2 + a1 * c1) div (a1 + a2 - t) with t = a1 * a2 div 255.
// Both alphas 0 give c1.
std::uint8_t OverChannel(std::uint8_t c1, std::uint8_t c2, std::uint8_t a1, std::uint8_t a2);

// top := top over under. Without force nothing happens to a top of alpha 0 or
// 255; nothing happens over an under of alpha 0. The new alpha is
// under.A + round((255 - under.A) * top.A / 255), halves to even.
void AlphaBlendPixel(TmyPixel& top, const TmyPixel& under, bool force);

// a weighted k/255 against b: k = 255 gives a exactly, k = 0 gives b, other
// weights (a * k + b * (255 - k)) / 255 rounded. Exact at the ends, so an
// opaque colour leaves the program (clipboard, exports) as it is stored.
std::uint8_t BlendChannel(std::uint8_t a, std::uint8_t b, std::uint8_t k);

// The colour value of pix shown over back (back's alpha plays no part).
TColor PixelOverColor(const TmyPixel& back, const TmyPixel& pix);

// The colour that transparent pixels lend when pixels are mixed (filtering,
// resampling, rotating): the average of the visible ones, truncated; black
// when none is visible.
struct TVisibleAverage {
    long long R = 0, G = 0, B = 0, N = 0;

    void Add(const TmyPixel& p) {
        if (p.A == 0) return;
        R += p.R;
        G += p.G;
        B += p.B;
        ++N;
    }
    TmyColor Average() const {
        const long long n = N == 0 ? 1 : N;
        return {static_cast<std::uint8_t>(R / n), static_cast<std::uint8_t>(G / n), static_cast<std::uint8_t>(B / n)};
    }
};

// H in degrees (-360 for a grey, which has no hue), S and V in percent.
struct THsv {
    int H = 0;
    int S = 0;
    int V = 0;
    friend bool operator==(const THsv&, const THsv&) = default;
};

// Single precision throughout, rounding halves to even; ties between
// channels go to the first of R, G, B.
THsv RGBToHSV(float r, float g, float b);
// H in degrees, taken modulo 360 (negative: a grey of value V), S and V in
// percent (0..100).
TmyColor HSVToRGB(int h, int s, int v);

// Square cells of CellSize pixels; the cell holding (0, 0), and every cell
// whose column and row are both even or both odd, has Color2.
struct TCheckerboard {
    int CellSize = 4;
    TColor Color1 = MakeColor(255, 255, 255);
    TColor Color2 = MakeColor(235, 235, 235);

    // A cell size below 1 (a hand-edited setting) is taken as 1.
    int Cell() const { return CellSize < 1 ? 1 : CellSize; }
};

TColor CheckerColor(int x, int y, const TCheckerboard& board);
// Paints the whole buffer with the board.
void DrawCheckerboard(TRgbBuffer& target, const TCheckerboard& board);

}  // namespace velto
