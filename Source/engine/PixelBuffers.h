#pragma once
// The plain buffers the engine reads and writes besides images: views of
// contiguous RGBA pixels (the working bitmaps of the resampler and the
// rotation, which the import code also hands in), a 24-bit RGB picture for
// previews, and the rectangle of pixels a routine changed, which the GUI turns
// into one repaint instead of repainting per pixel.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/Image.h"
#include "model/Pixel.h"
#include "platform/Color.h"

namespace velto {

// Width x Height pixels, row-major from the top row, no padding.
struct TPixelsView {
    TmyPixel* Pixels = nullptr;
    int Width = 0;
    int Height = 0;

    TmyPixel& At(int x, int y) const {
        return Pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(Width) + static_cast<std::size_t>(x)];
    }
};

struct TConstPixelsView {
    const TmyPixel* Pixels = nullptr;
    int Width = 0;
    int Height = 0;

    TConstPixelsView() = default;
    TConstPixelsView(const TmyPixel* pixels, int width, int height) : Pixels(pixels), Width(width), Height(height) {}
    TConstPixelsView(const TPixelsView& v) : Pixels(v.Pixels), Width(v.Width), Height(v.Height) {}
    const TmyPixel& At(int x, int y) const {
        return Pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(Width) + static_cast<std::size_t>(x)];
    }
};

inline TPixelsView ViewOf(TmyImage& image) { return {image.Pixels().data(), image.Width(), image.Height()}; }
inline TConstPixelsView ViewOf(const TmyImage& image) { return {image.Pixels().data(), image.Width(), image.Height()}; }

// A picture of R, G, B bytes per pixel, rows top-down, 3 * Width bytes a row
// (a QImage of Format_RGB888 wraps it with that bytes-per-line).
struct TRgbBuffer {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> Bytes;

    // Black pixels of the size; sides below 0 count as 0.
    void SetSize(int width, int height) {
        Width = std::max(width, 0);
        Height = std::max(height, 0);
        Bytes.assign(static_cast<std::size_t>(Width) * static_cast<std::size_t>(Height) * 3, 0);
    }
    int Stride() const { return Width * 3; }
    bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < Width && y < Height; }
    std::uint8_t* Row(int y) { return Bytes.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(Stride()); }
    const std::uint8_t* Row(int y) const {
        return Bytes.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(Stride());
    }
    // (x, y) must be inside.
    TColor ColorAt(int x, int y) const {
        const std::uint8_t* p = Row(y) + 3 * x;
        return MakeColor(p[0], p[1], p[2]);
    }
    void SetColor(int x, int y, TColor c) {
        std::uint8_t* p = Row(y) + 3 * x;
        p[0] = ColorR(c);
        p[1] = ColorG(c);
        p[2] = ColorB(c);
    }
};

// The pixels a routine changed: Left..Right-1 by Top..Bottom-1; empty at first.
struct TDirtyRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;

    bool Empty() const { return Right <= Left || Bottom <= Top; }
    void Add(int x, int y) {
        if (Empty()) {
            *this = {x, y, x + 1, y + 1};
            return;
        }
        Left = std::min(Left, x);
        Top = std::min(Top, y);
        Right = std::max(Right, x + 1);
        Bottom = std::max(Bottom, y + 1);
    }
    void Add(const TDirtyRect& r) {
        if (r.Empty()) return;
        if (Empty()) {
            *this = r;
            return;
        }
        Left = std::min(Left, r.Left);
        Top = std::min(Top, r.Top);
        Right = std::max(Right, r.Right);
        Bottom = std::max(Bottom, r.Bottom);
    }
    friend bool operator==(const TDirtyRect&, const TDirtyRect&) = default;
};

// The pixels a routine changed, row by row: the leftmost and rightmost of
// each row. A stroke along a diagonal changes a narrow band of every row it
// crosses, while its rectangle covers much of the image: repainting the band
// costs what the stroke changed, as along a row.
struct TDirtySpans {
    struct TSpan {
        int Left = 0, Right = 0;  // Left..Right-1; empty when Right <= Left
    };
    std::vector<TSpan> Rows;  // by y from 0; rows past the end are unchanged

    bool Empty() const { return Rows.empty(); }
    void Add(int x, int y) {
        if (y < 0) return;
        const auto i = static_cast<std::size_t>(y);
        if (i >= Rows.size()) Rows.resize(i + 1);
        TSpan& s = Rows[i];
        if (s.Right <= s.Left) {
            s = {x, x + 1};
        } else {
            s.Left = std::min(s.Left, x);
            s.Right = std::max(s.Right, x + 1);
        }
    }
    // The pixels changed (the spans' widths summed).
    long long Count() const {
        long long n = 0;
        for (const TSpan& s : Rows) n += std::max(0, s.Right - s.Left);
        return n;
    }
    // Rectangles covering the spans: neighbouring rows joined while the joined
    // rectangle is at most a quarter larger than the pixels it stands for
    // (few rectangles, a little more painted than changed).
    std::vector<TDirtyRect> Rects() const {
        std::vector<TDirtyRect> out;
        TDirtyRect cur;
        long long covered = 0;
        for (std::size_t y = 0; y < Rows.size(); ++y) {
            const TSpan& s = Rows[y];
            const int top = static_cast<int>(y);
            if (s.Right <= s.Left) {
                if (!cur.Empty()) out.push_back(cur);
                cur = {};
                continue;
            }
            const long long width = s.Right - s.Left;
            TDirtyRect joined = cur;
            joined.Add(TDirtyRect{s.Left, top, s.Right, top + 1});
            const long long area = static_cast<long long>(joined.Right - joined.Left) * (joined.Bottom - joined.Top);
            if (!cur.Empty() && 4 * area <= 5 * (covered + width)) {
                cur = joined;
                covered += width;
            } else {
                if (!cur.Empty()) out.push_back(cur);
                cur = {s.Left, top, s.Right, top + 1};
                covered = width;
            }
        }
        if (!cur.Empty()) out.push_back(cur);
        return out;
    }
};

}  // namespace velto
