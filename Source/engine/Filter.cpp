// The 5 x 5 filter: one pixel, and whole images a row at a time.
#include "engine/Filter.h"

#include "engine/FilterSums.h"
#include "engine/FilterSumsAvx2.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <utility>
#include <vector>


namespace velto {

namespace {

using filter_detail::Survey;
using filter_detail::TPixelSurvey;
using filter_detail::UseAvx2;
using filter_detail::WeightedSum;

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

    // The largest sums of the positive weights and of the negative ones (in magnitude).
    std::int64_t PositiveBound() const {
        std::int64_t b = 0;
        for (const Tap& t : UsedTaps()) b += std::max(t.w, 0) * std::int64_t{255};
        return b;
    }
    std::int64_t NegativeBound() const { return SumBound() - PositiveBound(); }

    std::int64_t DivisorValue() const { return Divisor; }
    std::int64_t OffsetValue() const { return Offset; }

    std::uint8_t Channel(std::int64_t sum) const {
        return static_cast<std::uint8_t>(std::clamp<std::int64_t>(RoundDiv(sum, Divisor) + Offset, 0, 255));
    }

    // The filtered pixel at (x, y): alpha filtered when withAlpha, else 0.
    TmyPixel At(int x, int y, bool withAlpha) const {
        // The 25 neighbours once, under the edge rule.
        const TmyPixel* n[25];
        for (int dy = -2; dy <= 2; ++dy) {
            const int ny = y + dy >= 0 && y + dy < H ? y + dy : y;
            for (int dx = -2; dx <= 2; ++dx) {
                const int nx = x + dx >= 0 && x + dx < W ? x + dx : x;
                n[5 * (dy + 2) + dx + 2] = &Src[Index(nx, ny)];
            }
        }
        // Without branches on visibility: the edges of transparent areas would
        // mispredict them at every other pixel.
        std::int64_t r = 0, g = 0, b = 0, a = 0, hiddenWeight = 0;
        for (const Tap& t : UsedTaps()) {
            const TmyPixel& p = *n[5 * (t.dy + 2) + t.dx + 2];
            const std::int64_t w = t.w, visible = p.A != 0;
            a += w * p.A;
            hiddenWeight += w - w * visible;
            r += w * (p.R * visible);
            g += w * (p.G * visible);
            b += w * (p.B * visible);
        }
        if (hiddenWeight != 0) {
            // Transparent neighbours lend the average of the visible ones among
            // all 25 (floored; black without any).
            std::int32_t sumR = 0, sumG = 0, sumB = 0, count = 0;
            for (const TmyPixel* p : n) {
                const std::int32_t visible = p->A != 0;
                sumR += p->R * visible;
                sumG += p->G * visible;
                sumB += p->B * visible;
                count += visible;
            }
            if (count != 0) {
                r += hiddenWeight * (sumR / count);
                g += hiddenWeight * (sumG / count);
                b += hiddenWeight * (sumB / count);
            }
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
        AnyHidden = Survey(src).AnyHidden;
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

// floor(n / c) for 0 <= n <= 25 * 255 and 1 <= c <= 25 as (n * Recip[c]) >> 20
// (and 0 for c = 0):
// the lent colour's division, per pixel at the edges of transparent areas.
struct TReciprocals {
    std::array<std::uint64_t, 26> M{};
    constexpr TReciprocals() {
        for (std::uint64_t c = 1; c <= 25; ++c) M[c] = ((std::uint64_t{1} << 20) + c - 1) / c;
    }
};
constexpr TReciprocals Recip;
constexpr bool ReciprocalsExact() {
    for (std::uint64_t c = 1; c <= 25; ++c)
        for (std::uint64_t n = 0; n <= 25 * 255; n += 1)
            if ((n * Recip.M[c]) >> 20 != n / c) return false;
    return true;
}
static_assert(ReciprocalsExact());

// Sums of five rows (or columns) with equal weight.
constexpr std::int16_t kOne[1] = {1};
constexpr std::uint8_t kFive[1] = {5};

// The filtered interior of a row into its pixels: visible ones (all of them
// with filterOnAlpha) take the filtered colour, and alpha when filtering it;
// below 32 bits alpha snaps at 128; transparent pixels end as (0, 0, 0, 0).
template <bool OnAlpha, bool Snap>
void WriteFiltered(TmyPixel* dst, const TmyPixel* filtered, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        const TmyPixel& f = filtered[i];
        std::uint8_t a = OnAlpha ? f.A : dst[i].A;
        if constexpr (Snap) a = a >= 128 ? 255 : 0;
        dst[i] = a == 0 ? TmyPixel::Create() : TmyPixel::CreateRGBA(f.R, f.G, f.B, a);
    }
}

// The whole-image filter for kernels whose positive weights and negative ones
// each sum below 65536 (every preset): sums in unsigned 16 bits, the positive
// and negative parts apart, the four channels of a pixel side by side, taps
// of one weight added before one multiply. It takes every pixel: the two at
// each end of a row through windows of their own under the edge rule. The
// last step (division, rounding, offset, clamp) is looked up in a table of
// every sum the kernel can reach, or with AVX2 worked out in floats that are
// exact there; the AVX2 code writes the image's pixels itself.
class TShortInteriorFilter {
public:
    static bool Takes(const TFilter& f) { return f.PositiveBound() <= 65535 && f.NegativeBound() <= 65535; }

    // src: the image's pixels, each row read before the filtered row two above it is written.
    TShortInteriorFilter(const TFilter& filter, std::span<const TmyPixel> src, int width, int height, bool withAlpha,
                         bool snap)
        : F(filter), Src(src), W(static_cast<std::size_t>(width)), IW(W - 4), H(height), WithAlpha(withAlpha),
          Snap(snap) {
        // One colour under every visible pixel (a shadow's blur passes): what
        // transparent neighbours lend is that colour, so a pixel's colour is
        // the colour times the weights' sum where any of its 25 neighbours is
        // visible, black where none is; only alpha is filtered.
        const TPixelSurvey survey = Survey(src);
        AnyHidden = survey.AnyHidden;
        OneColour = survey.OneColour;
        Colour = survey.Colour;
        for (const Tap& t : F.UsedTaps()) WeightSum += t.w;
        for (Slot& slot : Ring) {
            slot.Main.Resize(W, IW);
            slot.Ends.Resize(kEndsWidth, kEndsOut);
        }
        for (const Tap& t : F.UsedTaps()) Negative |= t.w < 0;
        GroupTaps();
        Avx2 = UseAvx2() && W >= 12;
        const std::size_t most = std::max(IW, kEndsOut);
        for (auto* acc : {&Acc, &AccN}) acc->resize(4 * most);
        for (auto& held : Boxes)
            for (auto& box : held) box.resize(4 * most);
        for (auto* acc : {&AccA, &AccAN}) acc->resize(most);
        Filtered.resize(most);
        WriteRule = withAlpha ? (snap ? &WriteFiltered<true, true> : &WriteFiltered<true, false>)
                              : (snap ? &WriteFiltered<false, true> : &WriteFiltered<false, false>);
        // The AVX2 code works the last step out itself.
        if (!Avx2) TableAtZero = ChannelTable(F).data() + F.NegativeBound();
    }

    // Filters row y (any row, in order from 0) of the image, whose rows from
    // y + 3 on are as they were. Rows above or below the image read the centre
    // row (the edge rule).
    void Row(int y, TmyPixel* pixels) {
        for (int r = Loaded + 1; r <= std::min(y + 2, H - 1); ++r) Load(r);
        Loaded = std::max(Loaded, std::min(y + 2, H - 1));
        Pass(y, &Slot::Main, IW, pixels + 2);
        // The two pixels at each end: their windows side by side, one every
        // fifth output.
        std::array<TmyPixel, kEndsOut> ends{};
        const std::array<std::size_t, 4> at = EndColumns();
        for (std::size_t k = 0; k < 4; ++k) ends[5 * k] = pixels[at[k]];
        Pass(y, &Slot::Ends, kEndsOut, ends.data());
        for (std::size_t k = 0; k < 4; ++k) pixels[at[k]] = ends[5 * k];
    }

private:
    // One source row as the sums read it: colours of visible pixels (0 for
    // transparent ones) with the visibility as fourth value, alpha, the sums
    // of Q over 5 columns; with one colour only alpha and V, the visible
    // pixels among 5 columns. The AVX2 code keeps alpha as Q's fourth value,
    // the visibility in A, and Q as described in QV.
    struct Planes {
        std::vector<std::int16_t> Q, A, S, V, QV;
        void Resize(std::size_t w, std::size_t out) {
            Q.resize(4 * w);
            QV.resize(4 * w);
            A.resize(w);
            S.resize(4 * out);
            V.resize(out);
        }
    };
    // The row's planes, and those of the windows of its two pixels at each end.
    struct Slot {
        Planes Main, Ends;
    };
    static constexpr std::size_t kEndsOut = 16, kEndsWidth = 20;

    std::array<std::size_t, 4> EndColumns() const { return {0, 1, W - 2, W - 1}; }

    // The sums over each pixel's 25 neighbours (with one colour only of the
    // visible count) into Box. Away from the top and bottom the window of the
    // row before moves down: the row entering added, the one leaving taken.
    void SumBox(int y, Planes Slot::*planes, std::size_t n) {
        const std::size_t which = planes == &Slot::Main ? 0 : 1, lanes = OneColour ? n : 4 * n;
        const auto sums = [&](int row) { return OneColour ? (SlotOf(row).*planes).V.data() : (SlotOf(row).*planes).S.data(); };
        auto& held = Boxes[which];
        std::int16_t* box = held[static_cast<std::size_t>(y) % 2].data();
        if (BoxRow[which] == y - 1 && y >= 3 && y + 2 < H) {
            const std::int16_t* rows[3] = {held[static_cast<std::size_t>(y - 1) % 2].data(), sums(y + 2), sums(y - 3)};
            constexpr std::int16_t kWeights[2] = {1, -1};
            constexpr std::uint8_t kSizes[2] = {2, 1};
            WeightedSum(box, rows, kWeights, kSizes, 2, lanes);
        } else {
            const std::int16_t* rows[5];
            for (int dy = -2; dy <= 2; ++dy) rows[dy + 2] = sums(y + dy >= 0 && y + dy < H ? y + dy : y);
            WeightedSum(box, rows, kOne, kFive, 1, lanes);
        }
        BoxRow[which] = y;
        Box = box;
    }

    // Filters n pixels at out (the image's own) from the planes given.
    void Pass(int y, Planes Slot::*planes, std::size_t n, TmyPixel* out) {
        const auto slotOf = [&](int dy) -> const Planes& {
            return SlotOf(y + dy >= 0 && y + dy < H ? y + dy : y).*planes;
        };
        const std::int16_t* qRow[5];
        const std::int16_t* alphaRow[5];
        for (int dy = -2; dy <= 2; ++dy) {
            qRow[dy + 2] = slotOf(dy).Q.data();
            alphaRow[dy + 2] = slotOf(dy).A.data();
        }
        const std::int16_t* q[25];
        const std::int16_t* alpha[25];
        for (std::size_t i = 0; i < TapCount; ++i) {
            const Tap& t = Ordered[i];
            const auto at = static_cast<std::size_t>(2 + t.dx);
            q[i] = qRow[t.dy + 2] + 4 * at;
            alpha[i] = alphaRow[t.dy + 2] + at;
        }
        const std::int16_t* const* qN = q + PositiveTaps;
        const std::int16_t* const* alphaN = alpha + PositiveTaps;
        const std::int16_t* wN = GroupWeight.data() + PositiveGroups;
        const std::uint8_t* sizeN = GroupSize.data() + PositiveGroups;
        if (OneColour) {
            if (WithAlpha) WeightedSum(AccA.data(), alpha, GroupWeight.data(), GroupSize.data(), PositiveGroups, n);
            if (WithAlpha && Negative) WeightedSum(AccAN.data(), alphaN, wN, sizeN, NegativeGroups, n);
            if (AnyHidden) SumBox(y, planes, n);
            if (Avx2) {
#if defined(VELTO_ENGINE_AVX2)
                const std::int64_t sum = WeightSum;
                const auto rgb = [](std::uint32_t r, std::uint32_t g, std::uint32_t b) { return r | g << 8 | b << 16; };
                filter_detail::TOneColourJob job;
                job.SumA = WithAlpha ? AccA.data() : nullptr;
                job.NegA = WithAlpha && Negative ? AccAN.data() : nullptr;
                job.Count = AnyHidden ? Box : nullptr;
                job.Lit = rgb(F.Channel(Colour.R * sum), F.Channel(Colour.G * sum), F.Channel(Colour.B * sum));
                job.Dark = rgb(F.Channel(0), F.Channel(0), F.Channel(0));
                job.Divisor = static_cast<std::int32_t>(F.DivisorValue());
                job.Offset = static_cast<std::int32_t>(F.OffsetValue());
                job.Snap = Snap;
                filter_detail::FinishOneColourAvx2(job, reinterpret_cast<std::uint8_t*>(out), n);
#endif
                return;
            }
            FinishOneColour(TableAtZero, Filtered.data(), n);
            return WriteRule(out, Filtered.data(), n);
        }
        // The AVX2 code sums alpha with the colours (in place of the visible
        // weight, which it works out only where transparent neighbours lend).
        const bool alphaApart = WithAlpha && !Avx2;
        WeightedSum(Acc.data(), q, GroupWeight.data(), GroupSize.data(), PositiveGroups, 4 * n);
        if (alphaApart) WeightedSum(AccA.data(), alpha, GroupWeight.data(), GroupSize.data(), PositiveGroups, n);
        if (Negative) {
            WeightedSum(AccN.data(), qN, wN, sizeN, NegativeGroups, 4 * n);
            if (alphaApart) WeightedSum(AccAN.data(), alphaN, wN, sizeN, NegativeGroups, n);
        }
        if (AnyHidden) SumBox(y, planes, n);
        if (Avx2) {
#if defined(VELTO_ENGINE_AVX2)
            filter_detail::TFinishJob job;
            job.Sum = Acc.data();
            job.Neg = Negative ? AccN.data() : nullptr;
            job.Box = AnyHidden ? Box : nullptr;
            job.Visible = alpha;  // the rows' visibility in the AVX2 planes
            job.Weights = GroupWeight.data();
            job.Sizes = GroupSize.data();
            job.PositiveGroups = PositiveGroups;
            job.NegativeGroups = NegativeGroups;
            job.OwnAlpha = WithAlpha;
            job.WeightSum = static_cast<std::int32_t>(WeightSum);
            job.Divisor = static_cast<std::int32_t>(F.DivisorValue());
            job.Offset = static_cast<std::int32_t>(F.OffsetValue());
            job.Snap = Snap;
            filter_detail::FinishRowAvx2(job, reinterpret_cast<std::uint8_t*>(out), n);
#endif
            return;
        }
        TmyPixel* filtered = Filtered.data();
        const std::uint8_t* table = TableAtZero;
        if (AnyHidden)
            Negative ? Finish<true, true>(table, filtered, n) : Finish<true, false>(table, filtered, n);
        else
            Negative ? Finish<false, true>(table, filtered, n) : Finish<false, false>(table, filtered, n);
        WriteRule(out, filtered, n);
    }



    // The taps in the order the sums take them: the positive weights, then the
    // negative ones by magnitude, each in groups of one weight.
    void GroupTaps() {
        const auto taps = F.UsedTaps();
        std::size_t n = 0;
        for (const bool plus : {true, false}) {
            const std::size_t first = n;
            for (std::size_t i = 0; i < taps.size(); ++i)
                if ((taps[i].w > 0) == plus) Order[n++] = i;
            const auto magnitude = [&](std::size_t i) { return std::abs(taps[i].w); };
            std::stable_sort(Order.begin() + static_cast<std::ptrdiff_t>(first), Order.begin() + static_cast<std::ptrdiff_t>(n),
                             [&](std::size_t a, std::size_t b) { return magnitude(a) < magnitude(b); });
            std::size_t& groups = plus ? PositiveGroups : NegativeGroups;
            const std::size_t base = PositiveGroups;
            for (std::size_t i = first; i < n; ++i) {
                const auto w = static_cast<std::int16_t>(magnitude(Order[i]));
                if (i == first || GroupWeight[base + groups - 1] != w) {
                    GroupWeight[base + groups] = w;
                    GroupSize[base + groups++] = 0;
                }
                ++GroupSize[base + groups - 1];
            }
            if (plus) PositiveTaps = n;
        }
        for (std::size_t i = 0; i < n; ++i) Ordered[i] = taps[Order[i]];
        TapCount = n;
    }

    void FinishOneColour(const std::uint8_t* table, TmyPixel* out, std::size_t n) const {
        const auto* accA = reinterpret_cast<const std::uint16_t*>(AccA.data());
        const auto* negA = reinterpret_cast<const std::uint16_t*>(AccAN.data());
        const std::int64_t sum = WeightSum;
        const TmyPixel lit{table[Colour.R * sum], table[Colour.G * sum], table[Colour.B * sum], 0};
        const TmyPixel dark{table[0], table[0], table[0], 0};
        for (std::size_t k = 0; k < n; ++k) {
            TmyPixel p = !AnyHidden || Box[k] != 0 ? lit : dark;
            if (WithAlpha) p.A = table[Negative ? std::int32_t{accA[k]} - negA[k] : std::int32_t{accA[k]}];
            out[k] = p;
        }
    }

    template <bool Hidden, bool Neg>
    void Finish(const std::uint8_t* table, TmyPixel* out, std::size_t n) const {
        // The sums wrapped in 16 bits; each part lies in 0..65535.
        const auto* acc = reinterpret_cast<const std::uint16_t*>(Acc.data());
        const auto* neg = reinterpret_cast<const std::uint16_t*>(AccN.data());
        const auto* accA = reinterpret_cast<const std::uint16_t*>(AccA.data());
        const auto* negA = reinterpret_cast<const std::uint16_t*>(AccAN.data());
        for (std::size_t k = 0; k < n; ++k, acc += 4, neg += 4) {
            std::int32_t r = acc[0], g = acc[1], b = acc[2], v = acc[3];
            if constexpr (Neg) r -= neg[0], g -= neg[1], b -= neg[2], v -= neg[3];
            if constexpr (Hidden) {
                // Visible weight short of the whole: transparent neighbours lend the
                // average of the visible ones (none visible: black, adding nothing).
                // Without a branch: no hidden weight, or none visible (whose
                // reciprocal is 0), adds 0.
                const std::int32_t hidden = static_cast<std::int32_t>(WeightSum) - v;
                const std::int16_t* box = &Box[4 * k];
                const std::uint64_t m = Recip.M[static_cast<std::size_t>(box[3])];
                r += hidden * static_cast<std::int32_t>((static_cast<std::uint64_t>(box[0]) * m) >> 20);
                g += hidden * static_cast<std::int32_t>((static_cast<std::uint64_t>(box[1]) * m) >> 20);
                b += hidden * static_cast<std::int32_t>((static_cast<std::uint64_t>(box[2]) * m) >> 20);
            }
            std::int32_t a = 0;
            if (WithAlpha) a = Neg ? std::int32_t{accA[k]} - negA[k] : accA[k];
            out[k] = {table[r], table[g], table[b], WithAlpha ? table[a] : std::uint8_t{0}};
        }
    }

    // Channel(sum) for every sum the kernel reaches, kept for the next image
    // filtered with the same divisor, offset and bound (the shadow's passes).
    struct Lookup {
        std::int64_t divisor = 0, offset = 0, low = 1, high = 0;
        std::vector<std::uint8_t> table;
    };
    static const std::vector<std::uint8_t>& ChannelTable(const TFilter& f) {
        thread_local Lookup cached;
        const std::int64_t low = -f.NegativeBound(), high = f.PositiveBound();
        if (cached.low != low || cached.high != high || cached.divisor != f.DivisorValue() ||
            cached.offset != f.OffsetValue()) {
            cached.table.resize(static_cast<std::size_t>(high - low + 1));
            for (std::int64_t n = low; n <= high; ++n) cached.table[static_cast<std::size_t>(n - low)] = f.Channel(n);
            cached.divisor = f.DivisorValue();
            cached.offset = f.OffsetValue();
            cached.low = low;
            cached.high = high;
        }
        return cached.table;
    }

    // Six rows: the five a row reads and the one its box sum lets go.
    Slot& SlotOf(int y) { return Ring[static_cast<std::size_t>(y % 6)]; }

    void Load(int y) {
        Slot& slot = SlotOf(y);
        const TmyPixel* row = Src.data() + static_cast<std::size_t>(y) * W;
        LoadPlanes(row, W, IW, slot.Main);
        // The windows of the pixels at the row's ends under the edge rule.
        std::array<TmyPixel, kEndsWidth> ends{};
        const std::array<std::size_t, 4> at = EndColumns();
        for (std::size_t k = 0; k < 4; ++k)
            for (std::size_t dx = 0; dx < 5; ++dx) {
                const std::size_t x = at[k] + dx - 2;  // wraps below 0
                ends[5 * k + dx] = row[x < W ? x : at[k]];
            }
        LoadPlanes(ends.data(), kEndsWidth, kEndsOut, slot.Ends);
    }

    // The planes of w pixels, and their sums over 5 columns for the first n.
    void LoadPlanes(const TmyPixel* row, std::size_t w, std::size_t n, Planes& planes) const {
        if (OneColour && Avx2) {
#if defined(VELTO_ENGINE_AVX2)
            // Alpha, and how many of each pixel's 5 columns are visible.
            std::int16_t* visible = planes.Q.data();
            filter_detail::LoadAlphaAvx2(reinterpret_cast<const std::uint8_t*>(row), w, planes.A.data(), visible);
            const std::int16_t* columns[5];
            for (std::size_t dx = 0; dx < 5; ++dx) columns[dx] = visible + dx;
            WeightedSum(planes.V.data(), columns, kOne, kFive, 1, n);
#endif
            return;
        }
        if (OneColour) {
            // Alpha, and how many of each pixel's 5 columns are visible.
            for (std::size_t x = 0; x < w; ++x) planes.A[x] = row[x].A;
            for (std::size_t i = 0; i < n; ++i) {
                std::int16_t count = 0;
                for (std::size_t dx = 0; dx < 5; ++dx) count = static_cast<std::int16_t>(count + (row[i + dx].A != 0));
                planes.V[i] = count;
            }
            return;
        }
        if (Avx2) {
#if defined(VELTO_ENGINE_AVX2)
            filter_detail::LoadRowAvx2(reinterpret_cast<const std::uint8_t*>(row), w, planes.Q.data(), planes.QV.data(),
                                       planes.A.data());
#endif
        } else {
            for (std::size_t x = 0; x < w; ++x) {
                const TmyPixel& p = row[x];
                const std::int16_t vis = p.A != 0 ? 1 : 0;
                std::int16_t* q = &planes.Q[4 * x];
                q[0] = static_cast<std::int16_t>(p.R * vis);
                q[1] = static_cast<std::int16_t>(p.G * vis);
                q[2] = static_cast<std::int16_t>(p.B * vis);
                q[3] = vis;
                planes.A[x] = p.A;
            }
        }
        if (!AnyHidden) return;
        const std::int16_t* columns[5];
        for (std::size_t dx = 0; dx < 5; ++dx) columns[dx] = (Avx2 ? planes.QV : planes.Q).data() + 4 * dx;
        WeightedSum(planes.S.data(), columns, kOne, kFive, 1, 4 * n);
    }

    const TFilter& F;
    std::span<const TmyPixel> Src;
    std::size_t W, IW;
    int H;
    bool WithAlpha, Snap;
    bool AnyHidden = false;
    bool Negative = false;  // some weights below 0
    bool OneColour = true;  // every visible pixel of Colour
    bool Avx2 = false;      // rows through the AVX2 code (wide enough for its blocks)
    std::array<std::size_t, 25> Order{};  // into F.UsedTaps()
    std::array<Tap, 25> Ordered{};        // the taps in that order
    std::size_t TapCount = 0;
    std::array<std::int16_t, 25> GroupWeight{};
    std::array<std::uint8_t, 25> GroupSize{};
    std::size_t PositiveGroups = 0, NegativeGroups = 0, PositiveTaps = 0;
    TmyPixel Colour;
    std::int64_t WeightSum = 0;
    int Loaded = -1;  // the last source row in the ring
    std::array<Slot, 6> Ring;
    std::vector<std::int16_t> Acc, AccN, AccA, AccAN;
    // Box sums of the rows' own pixels and of their ends, each of this row and the one before.
    std::array<std::array<std::vector<std::int16_t>, 2>, 2> Boxes;
    std::array<int, 2> BoxRow{-1, -1};
    const std::int16_t* Box = nullptr;  // this pass's
    std::vector<TmyPixel> Filtered;  // a pass's filtered values, before the pixel rule
    void (*WriteRule)(TmyPixel*, const TmyPixel*, std::size_t) = nullptr;
    const std::uint8_t* TableAtZero = nullptr;  // Channel(0) in the table of the portable code
};

}  // namespace

void ApplyFilter5x5(TmyImagePal& image, const TFilterKernel& kernel, bool filterOnAlpha) {
    const int w = image.Width(), h = image.Height();
    const auto all = image.Pixels();
    const bool snap = image.BitCount < 32;
    const TFilter bounds(kernel, nullptr, w, h);
    const bool planes = w >= 5 && h >= 5 && bounds.SumBound() < TInteriorFilter::MaxExactSum;
    if (planes && TShortInteriorFilter::Takes(bounds)) {
        // Every pixel in 16 bits; each row is read ahead of the writes.
        TShortInteriorFilter rows(bounds, std::span<const TmyPixel>(all.data(), all.size()), w, h, filterOnAlpha, snap);
        for (int y = 0; y < h; ++y) rows.Row(y, image.Row(y).data());
        return;
    }
    const std::vector<TmyPixel> copy(all.begin(), all.end());
    const TFilter filter(kernel, copy.data(), w, h);
    const auto write = [&](TmyPixel& p, const TmyPixel& f) {
        if (p.A != 0 || filterOnAlpha) p = TmyPixel::CreateRGBA(f.R, f.G, f.B, filterOnAlpha ? f.A : p.A);
        if (snap) p.A = p.A >= 128 ? 255 : 0;
        if (p.A == 0) p = TmyPixel::Create();
    };
    std::optional<TInteriorFilter> interior;
    std::vector<TmyPixel> row;
    if (planes) {
        interior.emplace(filter, copy, w, filterOnAlpha);
        row.resize(static_cast<std::size_t>(w - 4));
    }
    const auto writeFiltered = filterOnAlpha ? (snap ? &WriteFiltered<true, true> : &WriteFiltered<true, false>)
                                             : (snap ? &WriteFiltered<false, true> : &WriteFiltered<false, false>);
    for (int y = 0; y < h; ++y) {
        TmyPixel* pixels = image.Row(y).data();
        const bool fast = planes && y >= 2 && y < h - 2;
        if (fast) {
            interior->Row(y, row.data());
            writeFiltered(pixels + 2, row.data(), row.size());
        }
        for (int x = 0; x < w; ++x) {
            if (fast && x == 2) x = w - 2;  // the interior is written
            TmyPixel& p = pixels[x];
            if (p.A != 0 || filterOnAlpha)
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
