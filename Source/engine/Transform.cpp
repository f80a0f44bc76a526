// Flips, quarter turns, shifts, resampling and rotation.
#include "engine/Transform.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numbers>
#include <vector>

#include "engine/Composite.h"

namespace velto {

void FlipHorizontal(TmyImagePal& image) {
    for (int y = 0; y < image.Height(); ++y) {
        auto row = image.Row(y);
        std::reverse(row.begin(), row.end());
    }
}

void FlipVertical(TmyImagePal& image) {
    for (int top = 0, bottom = image.Height() - 1; top < bottom; ++top, --bottom) {
        auto a = image.Row(top);
        auto b = image.Row(bottom);
        std::swap_ranges(a.begin(), a.end(), b.begin());
    }
}

namespace {

// The image takes the turned pixels (newWidth wide) and its new hotspot.
void TakeTurned(TmyImagePal& image, const std::vector<TmyPixel>& turned, int newWidth, int hx, int hy) {
    const int newHeight = image.Width();
    image.SetSize({newWidth, newHeight});
    std::copy(turned.begin(), turned.end(), image.Pixels().begin());
    image.SetHotSpotX(hx);
    image.SetHotSpotY(hy);
    image.UpdateZoom();
}

}  // namespace

void RotateLeft90(TmyImagePal& image) {
    const int w = image.Width(), h = image.Height();
    std::vector<TmyPixel> turned(image.Pixels().size());
    // new (x', y') := old (w - 1 - y', x'), the new image being h wide.
    for (int y = 0; y < h; ++y) {
        const auto row = image.Row(y);
        for (int x = 0; x < w; ++x) turned[static_cast<std::size_t>(w - 1 - x) * static_cast<std::size_t>(h) + static_cast<std::size_t>(y)] = row[static_cast<std::size_t>(x)];
    }
    TakeTurned(image, turned, h, image.HotSpotY(), w - 1 - image.HotSpotX());
}

void RotateRight90(TmyImagePal& image) {
    const int w = image.Width(), h = image.Height();
    std::vector<TmyPixel> turned(image.Pixels().size());
    // new (x', y') := old (y', h - 1 - x').
    for (int y = 0; y < h; ++y) {
        const auto row = image.Row(y);
        for (int x = 0; x < w; ++x) turned[static_cast<std::size_t>(x) * static_cast<std::size_t>(h) + static_cast<std::size_t>(h - 1 - y)] = row[static_cast<std::size_t>(x)];
    }
    TakeTurned(image, turned, h, h - 1 - image.HotSpotY(), image.HotSpotX());
}

void ShiftImageLeft(TmyImagePal& image, std::uint8_t n) {
    const int k = std::min<int>(n, image.Width());
    for (int y = 0; y < image.Height(); ++y) {
        auto row = image.Row(y);
        std::copy(row.begin() + k, row.end(), row.begin());
        std::fill(row.end() - k, row.end(), TmyPixel::Create());
    }
}

void ShiftImageRight(TmyImagePal& image, std::uint8_t n) {
    const int k = std::min<int>(n, image.Width());
    for (int y = 0; y < image.Height(); ++y) {
        auto row = image.Row(y);
        std::copy_backward(row.begin(), row.end() - k, row.end());
        std::fill(row.begin(), row.begin() + k, TmyPixel::Create());
    }
}

void ShiftImageUp(TmyImagePal& image, std::uint8_t n) {
    const int k = std::min<int>(n, image.Height());
    for (int y = 0; y < image.Height(); ++y) {
        auto row = image.Row(y);
        if (y + k < image.Height()) {
            const auto from = image.Row(y + k);
            std::copy(from.begin(), from.end(), row.begin());
        } else {
            std::fill(row.begin(), row.end(), TmyPixel::Create());
        }
    }
}

void ShiftImageDown(TmyImagePal& image, std::uint8_t n) {
    const int k = std::min<int>(n, image.Height());
    for (int y = image.Height() - 1; y >= 0; --y) {
        auto row = image.Row(y);
        if (y >= k) {
            const auto from = image.Row(y - k);
            std::copy(from.begin(), from.end(), row.begin());
        } else {
            std::fill(row.begin(), row.end(), TmyPixel::Create());
        }
    }
}

namespace {

// The alpha rule after resampling or rotating a frame.
void SnapAlpha(TmyImagePal& image) {
    const bool snap = image.BitCount != 32;
    for (TmyPixel& p : image.Pixels()) {
        if (snap) p.A = p.A >= 128 ? 255 : 0;
        if (p.A == 0) p = TmyPixel::Create();
    }
}

std::uint8_t TruncatedChannel(double sum) {
    // The small allowance keeps a sum that should be a whole number from
    // falling just below it through rounding of the weights.
    return static_cast<std::uint8_t>(std::clamp(std::trunc(sum + 1e-6), 0.0, 255.0));
}

}  // namespace

std::vector<TBoxResampler::Span> TBoxResampler::Spans(int sourceSide, int targetSide) {
    const double scale = static_cast<double>(sourceSide) / targetSide;
    std::vector<Span> spans(static_cast<std::size_t>(targetSide));
    for (int t = 0; t < targetSide; ++t) {
        const double lo = t * scale;
        const double hi = lo + scale;
        Span& s = spans[static_cast<std::size_t>(t)];
        s.first = static_cast<int>(lo);
        s.last = std::min(static_cast<int>(std::ceil(hi)), sourceSide) - 1;
        for (int i = s.first; i <= s.last; ++i) {
            double w = 1.0;
            if (i < lo) w -= lo - i;
            if (i + 1 > hi) w -= i + 1 - hi;
            s.weights.push_back(w);
        }
    }
    return spans;
}

TBoxResampler::TBoxResampler(ImageSize source, ImageSize target) : source_(source), target_(target) {
    if (source.Width <= 0 || source.Height <= 0 || target.Width <= 0 || target.Height <= 0) return;
    xs_ = Spans(source.Width, target.Width);
    ys_ = Spans(source.Height, target.Height);
    scale_ = (static_cast<double>(target.Width) / source.Width) * (static_cast<double>(target.Height) / source.Height);
}

void TBoxResampler::Resample(const TRowReader& row, TPixelsView dst, TRect area) const {
    if (xs_.empty() || ys_.empty() || dst.Width != target_.Width || dst.Height != target_.Height) return;
    area = {std::max(area.Left, 0), std::max(area.Top, 0), std::min(area.Right, dst.Width),
            std::min(area.Bottom, dst.Height)};
    if (area.Width() <= 0 || area.Height() <= 0) return;
    const std::vector<Span>& xs = xs_;
    const std::vector<Span>& ys = ys_;
    const double scale = scale_;
    // One target row at a time, its source rows read in order: the visible
    // pixels' average and the weighted sums together, each target pixel
    // adding up its box row by row, left to right, as a walk over the box
    // itself would. A transparent pixel lends its box's average, known only
    // at the end (black is taken meanwhile): a row of boxes where one lends
    // another colour is read once more for the sums.
    struct Sums {
        TVisibleAverage visible;
        TmyColor lent;
        double r = 0, g = 0, b = 0, a = 0;
        bool lends = false;
    };
    std::vector<Sums> sums(static_cast<std::size_t>(area.Width()));
    const auto add = [&](const Span& sy, int iy, bool second) {
        const TmyPixel* p = row(iy);
        const double wy = sy.weights[static_cast<std::size_t>(iy - sy.first)];
        for (int tx = area.Left; tx < area.Right; ++tx) {
            const Span& sx = xs[static_cast<std::size_t>(tx)];
            Sums& s = sums[static_cast<std::size_t>(tx - area.Left)];
            const double subR = s.lent.R, subG = s.lent.G, subB = s.lent.B;
            for (int ix = sx.first; ix <= sx.last; ++ix) {
                const double w = sx.weights[static_cast<std::size_t>(ix - sx.first)] * wy * scale;
                const TmyPixel& q = p[ix];
                if (!second) s.visible.Add(q);
                s.a += q.A * w;
                if (q.A != 0) {
                    s.r += q.R * w;
                    s.g += q.G * w;
                    s.b += q.B * w;
                } else {
                    s.lends = true;
                    s.r += subR * w;
                    s.g += subG * w;
                    s.b += subB * w;
                }
            }
        }
    };
    for (int ty = area.Top; ty < area.Bottom; ++ty) {
        const Span& sy = ys[static_cast<std::size_t>(ty)];
        std::fill(sums.begin(), sums.end(), Sums{});
        for (int iy = sy.first; iy <= sy.last; ++iy) add(sy, iy, false);
        const auto lendsColour = [](const Sums& s) {
            const TmyColor c = s.visible.Average();
            return s.lends && (c.R != 0 || c.G != 0 || c.B != 0);
        };
        if (std::any_of(sums.begin(), sums.end(), lendsColour)) {
            for (Sums& s : sums) s = {s.visible, s.visible.Average()};
            for (int iy = sy.first; iy <= sy.last; ++iy) add(sy, iy, true);
        }
        for (int tx = area.Left; tx < area.Right; ++tx) {
            const Sums& s = sums[static_cast<std::size_t>(tx - area.Left)];
            dst.At(tx, ty) = TmyPixel::CreateRGBA(TruncatedChannel(s.r), TruncatedChannel(s.g), TruncatedChannel(s.b),
                                                  static_cast<std::uint8_t>(std::clamp(std::nearbyint(s.a), 0.0, 255.0)));
        }
    }
}

TRect TBoxResampler::AreaOf(TRect sourceArea) const {
    if (xs_.empty() || ys_.empty() || sourceArea.Width() <= 0 || sourceArea.Height() <= 0) return {};
    // The targets whose span of source pixels meets [first, end).
    const auto covering = [](const std::vector<Span>& spans, int first, int end) {
        const int n = static_cast<int>(spans.size());
        int lo = 0;
        while (lo < n && spans[static_cast<std::size_t>(lo)].last < first) ++lo;
        int hi = lo;
        while (hi < n && spans[static_cast<std::size_t>(hi)].first < end) ++hi;
        return std::pair{lo, hi};
    };
    const auto [left, right] = covering(xs_, sourceArea.Left, sourceArea.Right);
    const auto [top, bottom] = covering(ys_, sourceArea.Top, sourceArea.Bottom);
    return {left, top, right, bottom};
}

void ResampleRows(ImageSize source, const TRowReader& row, TPixelsView dst, TRect area) {
    TBoxResampler({source.Width, source.Height}, {dst.Width, dst.Height}).Resample(row, dst, area);
}

void ResampleBitmap(TConstPixelsView src, TPixelsView dst) {
    ResampleRows({src.Width, src.Height}, [&](int y) { return &src.At(0, y); }, dst, {0, 0, dst.Width, dst.Height});
}

TRect ResampledArea(ImageSize source, ImageSize target, TRect sourceArea) {
    return TBoxResampler(source, target).AreaOf(sourceArea);
}

void ResizeFrame(TmyImagePal& image, ImageSize newSize) {
    const int w = std::clamp(newSize.Width, 1, MaxResampleSide);
    const int h = std::clamp(newSize.Height, 1, MaxResampleSide);
    const int hx = static_cast<int>(static_cast<long long>(image.HotSpotX()) * w / image.Width());
    const int hy = static_cast<int>(static_cast<long long>(image.HotSpotY()) * h / image.Height());
    const std::vector<TmyPixel> source(image.Pixels().begin(), image.Pixels().end());
    const TConstPixelsView from(source.data(), image.Width(), image.Height());
    image.SetSize({w, h});
    ResampleBitmap(from, ViewOf(image));
    image.SetHotSpotX(hx);
    image.SetHotSpotY(hy);
    SnapAlpha(image);
}

void RotateBitmapSmooth(TConstPixelsView src, TPixelsView dst, int cx, int cy, long double angle) {
    if (src.Width <= 0 || src.Height <= 0 || dst.Width <= 0 || dst.Height <= 0) return;
    const long double theta = -angle * std::numbers::pi_v<long double> / 180.0L;
    const long double s = std::sin(theta);
    const long double c = std::cos(theta);
    const long double dx = (dst.Width - static_cast<long double>(src.Width)) / 2.0L;
    const long double dy = (dst.Height - static_cast<long double>(src.Height)) / 2.0L;
    const long long S = std::llrint(s * 65536.0L);
    const long long C = std::llrint(c * 65536.0L);
    const long long lastX = src.Width - 1, lastY = src.Height - 1;
    for (int y = 0; y < dst.Height; ++y) {
        long long u = std::llrint((cx - cx * c - (y - cy) * s - dx) * 65536.0L);
        long long v = std::llrint((cy - cx * s + (y - cy) * c - dy) * 65536.0L);
        for (int x = 0; x < dst.Width; ++x, u += C, v += S) {
            // Every position inside the source is sampled, the last column and row included.
            if (u < 0 || v < 0) continue;
            const long long xi = u >> 16, yi = v >> 16;
            if (xi > lastX || yi > lastY) continue;
            const long long fx = u & 0xFFFF, fy = v & 0xFFFF;
            const int x0 = static_cast<int>(xi), y0 = static_cast<int>(yi);
            const int x1 = static_cast<int>(std::min(xi + 1, lastX)), y1 = static_cast<int>(std::min(yi + 1, lastY));
            TmyPixel p[4] = {src.At(x0, y0), src.At(x1, y0), src.At(x0, y1), src.At(x1, y1)};
            if (p[0].A == 0 || p[1].A == 0 || p[2].A == 0 || p[3].A == 0) {
                TVisibleAverage visible;
                for (const TmyPixel& q : p) visible.Add(q);
                const TmyColor lent = visible.Average();
                for (TmyPixel& q : p)
                    if (q.A == 0) q.SetRGB(lent.R, lent.G, lent.B);
            }
            // Interpolation steps round toward minus infinity (arithmetic shifts).
            const auto lerp = [&](std::uint8_t TmyPixel::*ch) {
                const long long top = p[0].*ch + ((static_cast<long long>(p[1].*ch - p[0].*ch) * fx) >> 16);
                const long long bottom = p[2].*ch + ((static_cast<long long>(p[3].*ch - p[2].*ch) * fx) >> 16);
                return static_cast<std::uint8_t>(top + (((bottom - top) * fy) >> 16));
            };
            dst.At(x, y) = TmyPixel::CreateRGBA(lerp(&TmyPixel::R), lerp(&TmyPixel::G), lerp(&TmyPixel::B),
                                                lerp(&TmyPixel::A));
        }
    }
}

void RotateImage(TmyImagePal& image, int cx, int cy, double angle) {
    const std::vector<TmyPixel> source(image.Pixels().begin(), image.Pixels().end());
    image.Clear();
    RotateBitmapSmooth(TConstPixelsView(source.data(), image.Width(), image.Height()), ViewOf(image), cx, cy, angle);
    SnapAlpha(image);
}

}  // namespace velto
