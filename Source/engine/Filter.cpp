// The 5 x 5 filter and the kernel presets.
#include "engine/Filter.h"

#include "engine/Composite.h"

#include <algorithm>
#include <cstdint>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace velto {

// clang-format off
const std::array<TKernelPreset, KernelPresetCount> FilterKernels = {{
    {"Emboss Color", 1, 12, {{0, 0, 0, 0, 0,  0, -1, 0, 1, 0,  0, -1, 1, 1, 0,  0, -1, 0, 1, 0,  0, 0, 0, 0, 0}, 1, 0}},
    {"Emboss Light", 2, 13, {{0, 0, 0, 0, 0,  0, 0, 0, 0, 0,  0, -1, 0, 1, 0,  0, 0, 0, 0, 0,  0, 0, 0, 0, 0}, 1, 192}},
    {"Emboss Medium", 3, 14, {{0, 0, 0, 0, 0,  0, -1, 0, 1, 0,  0, -1, 0, 1, 0,  0, -1, 0, 1, 0,  0, 0, 0, 0, 0}, 1, 192}},
    {"Emboss Dark", 4, 15, {{0, 0, 0, 0, 0,  0, -1, 0, 1, 0,  0, -1, 0, 1, 0,  0, -1, 0, 1, 0,  0, 0, 0, 0, 0}, 1, 128}},
    {"Blur", 5, 17, {{0, 0, 0, 0, 0,  0, 1, 2, 1, 0,  0, 2, 2, 2, 0,  0, 1, 2, 1, 0,  0, 0, 0, 0, 0}, 14, 0}},
    {"Blur Soft", 6, 18, {{0, 0, 0, 0, 0,  0, 1, 3, 1, 0,  0, 3, 16, 3, 0,  0, 1, 3, 1, 0,  0, 0, 0, 0, 0}, 32, 0}},
    {"Blur More", 7, 19, {{0, 1, 2, 1, 0,  1, 4, 6, 4, 1,  2, 6, 8, 6, 2,  1, 4, 6, 4, 1,  0, 1, 2, 1, 0}, 64, 0}},
    {"Motion Blur", 8, 20, {{0, 0, 0, 0, 0,  0, 0, 0, 0, 0,  1, 1, 1, 1, 1,  0, 0, 0, 0, 0,  0, 0, 0, 0, 0}, 5, 0}},
    {"Sharpen", 9, 28, {{0, 0, 0, 0, 0,  0, -1, -1, -1, 0,  0, -1, 16, -1, 0,  0, -1, -1, -1, 0,  0, 0, 0, 0, 0}, 8, 0}},
    {"Sharpen More", 10, 30, {{0, 0, 0, 0, 0,  0, -1, -1, -1, 0,  0, -1, 12, -1, 0,  0, -1, -1, -1, 0,  0, 0, 0, 0, 0}, 4, 0}},
    {"Sharpen Less", 11, 29, {{0, 0, 0, 0, 0,  0, -1, -1, -1, 0,  0, -1, 24, -1, 0,  0, -1, -1, -1, 0,  0, 0, 0, 0, 0}, 16, 0}},
    {"Sharpen Directional", 12, 31, {{0, 0, 0, 0, 0,  0, -3, -3, -3, 0,  0, 0, 16, 0, 0,  0, 1, 1, 1, 0,  0, 0, 0, 0, 0}, 10, 0}},
    {"Find Edges (Vertical)", 13, 21, {{0, -1, 0, 1, 0,  0, -1, 0, 1, 0,  0, -1, 0, 1, 0,  0, -1, 0, 1, 0,  0, -1, 0, 1, 0}, 1, 0}},
    {"Find Edges (Horizontal)", 14, 22, {{0, 0, 0, 0, 0,  -1, -1, -1, -1, -1,  0, 0, 0, 0, 0,  1, 1, 1, 1, 1,  0, 0, 0, 0, 0}, 1, 0}},
    {"Enhance Edges", 15, 23, {{0, 0, 0, 0, 0,  0, -1, -2, -1, 0,  0, -2, 16, -2, 0,  0, -1, -2, -1, 0,  0, 0, 0, 0, 0}, 4, 0}},
    {"Detect Edges", 16, 24, {{0, 0, 0, 0, 0,  0, 1, 1, 1, 0,  0, 1, -2, 1, 0,  0, -1, -1, -1, 0,  0, 0, 0, 0, 0}, 1, 0}},
    {"Edges Strong", 17, 25, {{0, 0, 0, 0, 0,  0, 1, 3, 1, 0,  0, 3, -16, 3, 0,  0, 1, 3, 1, 0,  0, 0, 0, 0, 0}, 1, 0}},
    {"Edges Weak", 18, 26, {{0, 0, 0, 0, 0,  0, 0, 1, 0, 0,  0, 1, -4, 1, 0,  0, 0, 1, 0, 0,  0, 0, 0, 0, 0}, 1, 0}},
    {"Contour", 19, 27, {{0, 0, 0, 0, 0,  0, -6, -2, -6, 0,  0, -1, 32, -1, 0,  0, -6, -2, -6, 0,  0, 0, 0, 0, 0}, 1, 240}},
    {"Average", 20, 16, {{0, 0, 0, 0, 0,  0, 1, 1, 1, 0,  0, 1, 1, 1, 0,  0, 1, 1, 1, 0,  0, 0, 0, 0, 0}, 9, 0}},
    {"Glow", 21, 32, {{1, 2, 2, 2, 1,  2, 0, 0, 0, 2,  2, 0, -20, 0, 2,  2, 0, 0, 0, 2,  1, 2, 2, 2, 1}, 8, 0}},
    {"Waggle", 22, 33, {{0, 1, 0, 0, 0,  0, 0, 0, 0, 1,  0, 0, 0, 0, 0,  0, 0, 0, 0, 0,  0, 0, 0, 1, 0}, 3, 0}},
    {"Pattern", 23, 34, {{0, -4, -9, -4, 0,  -4, -24, -1, -24, -4,  -9, -1, 169, -1, -9,  -4, -24, -1, -24, -4,  0, -4, -9, -4, 0}, 1, 0}},
    {"Paint Dark", 24, 35, {{1, 0, 0, 0, 0,  0, 0, 0, 0, 0,  0, 0, 0, 0, 0,  0, 0, 0, 0, 0,  0, 0, 0, 0, 1}, 1, -190}},
    {"Paint Bright", 25, 36, {{1, 0, 0, 0, 0,  0, 0, 0, 0, 0,  0, 0, 0, 0, 0,  0, 0, 0, 0, 0,  0, 0, 0, 0, 1}, 1, -64}},
    {"Shake Less", 27, 38, {{0, 0, 0, 0, 0,  0, 1, -1, 1, 0,  0, -1, 1, -1, 0,  0, 1, -1, 1, 0,  0, 0, 0, 0, 0}, 1, 0}},
    {"Shake", 26, 37, {{1, 0, -1, 0, 1,  0, 0, 0, 0, 0,  -1, 0, 1, 0, -1,  0, 0, 0, 0, 0,  1, 0, -1, 0, 1}, 1, 0}},
    {"Pale", 28, 39, {{0, 0, 0, 0, 0,  0, 0, 0, 0, 0,  0, 0, 2, 0, 0,  0, 0, 0, 0, 0,  0, 0, 0, 0, 0}, 1, 128}},
    {"Scene", 29, 40, {{-2, -2, 2, 2, 2,  -2, -1, 1, -1, 2,  -2, 1, 4, 1, 2,  -2, -1, 1, -1, -1,  3, 3, -3, -3, 4}, 7, 0}},
}};
// clang-format on

int KernelForEffectTag(int tag) {
    for (int i = 0; i < KernelPresetCount; ++i)
        if (FilterKernels[static_cast<std::size_t>(i)].EffectTag == tag) return i;
    return -1;
}

int KernelForDialogItem(int item) {
    for (int i = 0; i < KernelPresetCount; ++i)
        if (FilterKernels[static_cast<std::size_t>(i)].DialogItem == item) return i;
    return -1;
}

namespace {

// x rounded to nearest, halves to even, for |x| < 2^51: adding 1.5 * 2^52
// leaves no fraction bits, so the addition itself rounds (the current mode
// is to nearest, even on ties). Inline, unlike a call of std::nearbyint.
inline std::int64_t RoundHalfEven(double x) {
    constexpr double kShift = 6755399441055744.0;
    return static_cast<std::int64_t>((x + kShift) - kShift);
}

// n / d rounded to nearest, halves to even; exact for any 64-bit operands.
// Below 2^51 the double quotient is close enough that rounding it is exact
// (a quotient off a half by at least 1 / (2 |d|) cannot round onto it).
std::int64_t RoundDiv(std::int64_t n, std::int64_t d) {
    if (d == 1) return n;
    constexpr std::int64_t kExact = std::int64_t{1} << 51;
    if (n > -kExact && n < kExact && d > -kExact && d < kExact)
        return RoundHalfEven(static_cast<double>(n) / static_cast<double>(d));
    if (d < 0) {
        n = -n;
        d = -d;
    }
    std::int64_t q = n / d;
    const std::int64_t r2 = 2 * std::llabs(n % d);
    if (r2 > d || (r2 == d && (q & 1) != 0)) q += n < 0 ? -1 : 1;
    return q;
}

struct Tap {
    int dx, dy;
    std::int32_t w;
};

// A kernel prepared for one image: its non-zero weights, and the arithmetic
// of one filtered pixel with the edge rule. Fixed storage: the brush filters
// one pixel at a time and must not allocate.
class TFilter {
public:
    TFilter(const TFilterKernel& k, const TmyPixel* src, int width, int height)
        : Src(src), W(width), H(height), Divisor(k.Divisor == 0 ? 1 : k.Divisor), Offset(k.Offset) {
        for (int i = 0; i < 25; ++i)
            if (k.Weights[static_cast<std::size_t>(i)] != 0)
                Taps[TapCount++] = {i % 5 - 2, i / 5 - 2, k.Weights[static_cast<std::size_t>(i)]};
    }

    std::span<const Tap> UsedTaps() const { return std::span<const Tap>(Taps.data(), TapCount); }

    // The largest sum a channel can reach in magnitude.
    std::int64_t SumBound() const {
        std::int64_t b = 0;
        for (const Tap& t : UsedTaps()) b += std::llabs(t.w) * 255;
        return b;
    }

    std::uint8_t Channel(std::int64_t sum) const {
        return static_cast<std::uint8_t>(std::clamp<std::int64_t>(RoundDiv(sum, Divisor) + Offset, 0, 255));
    }

    // The filtered pixel at (x, y): alpha filtered when withAlpha, else 0.
    TmyPixel At(int x, int y, bool withAlpha) const {
        const bool interior = x >= 2 && y >= 2 && x < W - 2 && y < H - 2;
        const auto neighbour = [&](int dx, int dy) -> const TmyPixel& {
            if (interior) return Src[Index(x + dx, y + dy)];
            const int nx = x + dx >= 0 && x + dx < W ? x + dx : x;
            const int ny = y + dy >= 0 && y + dy < H ? y + dy : y;
            return Src[Index(nx, ny)];
        };
        std::int64_t r = 0, g = 0, b = 0, a = 0, hiddenWeight = 0;
        for (const Tap& t : UsedTaps()) {
            const TmyPixel& p = neighbour(t.dx, t.dy);
            a += std::int64_t{t.w} * p.A;
            if (p.A == 0) {
                hiddenWeight += t.w;
                continue;
            }
            r += std::int64_t{t.w} * p.R;
            g += std::int64_t{t.w} * p.G;
            b += std::int64_t{t.w} * p.B;
        }
        if (hiddenWeight != 0) {
            // Transparent neighbours lend the average of the visible ones among all 25.
            TVisibleAverage visible;
            for (int dy = -2; dy <= 2; ++dy)
                for (int dx = -2; dx <= 2; ++dx) visible.Add(neighbour(dx, dy));
            const TmyColor lent = visible.Average();
            r += hiddenWeight * lent.R;
            g += hiddenWeight * lent.G;
            b += hiddenWeight * lent.B;
        }
        return {Channel(r), Channel(g), Channel(b), withAlpha ? Channel(a) : std::uint8_t{0}};
    }

private:
    std::size_t Index(int x, int y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(W) + static_cast<std::size_t>(x);
    }

    const TmyPixel* Src;
    int W, H;
    std::int64_t Divisor, Offset;
    std::array<Tap, 25> Taps{};
    std::size_t TapCount = 0;
};

// The pixels at least 2 from every border read no edge rule, so the whole
// image filter does them a tap at a time over rows of floats, which the
// compiler vectorises. Floats are exact here: every partial sum stays below
// 2^24 in magnitude (the caller checks the kernel's bound). The five source
// rows an output row reads are kept in a ring, small enough to stay in cache.
class TInteriorFilter {
public:
    static constexpr std::int64_t MaxExactSum = std::int64_t{1} << 24;

    TInteriorFilter(const TFilter& filter, const std::vector<TmyPixel>& src, int width, bool withAlpha)
        : F(filter), Src(src), W(width), IW(width - 4), WithAlpha(withAlpha) {
        for (const TmyPixel& p : src) AnyHidden |= p.A == 0;
        for (const Tap& t : F.UsedTaps()) WeightSum += t.w;
        for (Slot& slot : Ring) {
            for (auto* plane : {&slot.R, &slot.G, &slot.B, &slot.A, &slot.V}) plane->resize(static_cast<std::size_t>(W));
            for (auto* sum : {&slot.SR, &slot.SG, &slot.SB, &slot.SV}) sum->resize(static_cast<std::size_t>(IW));
        }
        for (auto* acc : {&AccR, &AccG, &AccB, &AccA, &AccV, &BoxR, &BoxG, &BoxB, &BoxV})
            acc->resize(static_cast<std::size_t>(IW));
    }

    // Filters row y (2..H-3) at x = 2..W-3 into out[x - 2]; rows come in order.
    void Row(int y, TmyPixel* out) {
        for (int r = std::max(Loaded + 1, y - 2); r <= y + 2; ++r) Load(r);
        Loaded = y + 2;
        for (auto* acc : {&AccR, &AccG, &AccB, &AccA, &AccV}) std::fill(acc->begin(), acc->end(), 0.0f);
        for (const Tap& t : F.UsedTaps()) {
            const Slot& slot = SlotOf(y + t.dy);
            const std::size_t at = static_cast<std::size_t>(2 + t.dx);
            const float w = static_cast<float>(t.w);
            Accumulate(AccR.data(), slot.R.data() + at, w);
            Accumulate(AccG.data(), slot.G.data() + at, w);
            Accumulate(AccB.data(), slot.B.data() + at, w);
            if (WithAlpha) Accumulate(AccA.data(), slot.A.data() + at, w);
            if (AnyHidden) Accumulate(AccV.data(), slot.V.data() + at, w);
        }
        if (AnyHidden) {
            for (auto* box : {&BoxR, &BoxG, &BoxB, &BoxV}) std::fill(box->begin(), box->end(), 0.0f);
            for (int dy = -2; dy <= 2; ++dy) {
                const Slot& slot = SlotOf(y + dy);
                Accumulate(BoxR.data(), slot.SR.data(), 1.0f);
                Accumulate(BoxG.data(), slot.SG.data(), 1.0f);
                Accumulate(BoxB.data(), slot.SB.data(), 1.0f);
                Accumulate(BoxV.data(), slot.SV.data(), 1.0f);
            }
        }
        for (int i = 0; i < IW; ++i) {
            const auto k = static_cast<std::size_t>(i);
            std::int64_t r = static_cast<std::int64_t>(AccR[k]), g = static_cast<std::int64_t>(AccG[k]),
                         b = static_cast<std::int64_t>(AccB[k]);
            if (AnyHidden) {
                const std::int64_t hiddenWeight = WeightSum - static_cast<std::int64_t>(AccV[k]);
                const auto count = static_cast<std::int64_t>(BoxV[k]);
                // Without visible neighbours the lent colour is black and adds nothing.
                if (hiddenWeight != 0 && count != 0) {
                    r += hiddenWeight * (static_cast<std::int64_t>(BoxR[k]) / count);
                    g += hiddenWeight * (static_cast<std::int64_t>(BoxG[k]) / count);
                    b += hiddenWeight * (static_cast<std::int64_t>(BoxB[k]) / count);
                }
            }
            out[i] = {F.Channel(r), F.Channel(g), F.Channel(b),
                      WithAlpha ? F.Channel(static_cast<std::int64_t>(AccA[k])) : std::uint8_t{0}};
        }
    }

private:
    // One source row as planes: colours of visible pixels (0 for transparent
    // ones), alpha, visibility, and the visible sums over 5 columns.
    struct Slot {
        std::vector<float> R, G, B, A, V;
        std::vector<float> SR, SG, SB, SV;
    };

    Slot& SlotOf(int y) { return Ring[static_cast<std::size_t>(y % 5)]; }

    void Load(int y) {
        Slot& slot = SlotOf(y);
        const TmyPixel* row = Src.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(W);
        for (int x = 0; x < W; ++x) {
            const TmyPixel& p = row[x];
            const float vis = p.A != 0 ? 1.0f : 0.0f;
            const auto k = static_cast<std::size_t>(x);
            slot.R[k] = p.R * vis;
            slot.G[k] = p.G * vis;
            slot.B[k] = p.B * vis;
            slot.A[k] = p.A;
            slot.V[k] = vis;
        }
        if (!AnyHidden) return;
        const std::pair<const std::vector<float>*, std::vector<float>*> sums[] = {
            {&slot.R, &slot.SR}, {&slot.G, &slot.SG}, {&slot.B, &slot.SB}, {&slot.V, &slot.SV}};
        for (auto [plane, sum] : sums) {
            const float* p = plane->data();
            float* out = sum->data();
            for (int i = 0; i < IW; ++i) out[i] = p[i] + p[i + 1] + p[i + 2] + p[i + 3] + p[i + 4];
        }
    }

    // Blocks of a fixed 8 let the compiler vectorise even where it will not
    // add a loop for a remainder of unknown length (-O2).
    void Accumulate(float* __restrict acc, const float* __restrict src, float w) const {
        int i = 0;
        for (; i + 8 <= IW; i += 8)
            for (int j = 0; j < 8; ++j) acc[i + j] += w * src[i + j];
        for (; i < IW; ++i) acc[i] += w * src[i];
    }

    const TFilter& F;
    const std::vector<TmyPixel>& Src;
    int W, IW;
    bool WithAlpha;
    bool AnyHidden = false;
    std::int64_t WeightSum = 0;
    int Loaded = -1;  // the last source row in the ring
    std::array<Slot, 5> Ring;
    std::vector<float> AccR, AccG, AccB, AccA, AccV;
    std::vector<float> BoxR, BoxG, BoxB, BoxV;
};

}  // namespace

void ApplyFilter5x5(TmyImagePal& image, const TFilterKernel& kernel, bool filterOnAlpha) {
    const int w = image.Width(), h = image.Height();
    const std::vector<TmyPixel> copy(image.Pixels().begin(), image.Pixels().end());
    const TFilter filter(kernel, copy.data(), w, h);
    const bool snap = image.BitCount < 32;
    const auto write = [&](TmyPixel& p, const TmyPixel& f) {
        if (p.A != 0 || filterOnAlpha) p = TmyPixel::CreateRGBA(f.R, f.G, f.B, filterOnAlpha ? f.A : p.A);
        if (snap) p.A = p.A >= 128 ? 255 : 0;
        if (p.A == 0) p = TmyPixel::Create();
    };
    const bool planes = w >= 5 && h >= 5 && filter.SumBound() < TInteriorFilter::MaxExactSum;
    std::optional<TInteriorFilter> interior;
    std::vector<TmyPixel> row;
    if (planes) {
        interior.emplace(filter, copy, w, filterOnAlpha);
        row.resize(static_cast<std::size_t>(w - 4));
    }
    for (int y = 0; y < h; ++y) {
        auto pixels = image.Row(y);
        const bool fast = planes && y >= 2 && y < h - 2;
        if (fast) interior->Row(y, row.data());
        for (int x = 0; x < w; ++x) {
            TmyPixel& p = pixels[static_cast<std::size_t>(x)];
            if (fast && x >= 2 && x < w - 2)
                write(p, row[static_cast<std::size_t>(x - 2)]);
            else if (p.A != 0 || filterOnAlpha)
                write(p, filter.At(x, y, filterOnAlpha));
            else
                write(p, p);
        }
    }
}

TmyPixel FilterPixel5x5(int x, int y, bool filterOnAlpha, const TFilterKernel& kernel, const TmyImage& image) {
    if (x < 0 || y < 0 || x >= image.Width() || y >= image.Height()) return TmyPixel::Create();
    const TFilter filter(kernel, image.Pixels().data(), image.Width(), image.Height());
    TmyPixel f = filter.At(x, y, filterOnAlpha);
    if (!filterOnAlpha) f.A = image.At(x, y).A;
    return f;
}

}  // namespace velto
