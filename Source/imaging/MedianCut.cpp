// Colour reduction by median cut. The state lives between calls so that the
// actions may come in separate calls; the result does not depend on the order
// of the colour nodes.
#include "imaging/Formats.h"

#include <algorithm>
#include <vector>

namespace velto {

namespace {

struct ColorNode {
    std::uint32_t color;  // masked ARGB
    std::uint32_t count;
};

// Colour -> count or index, by open addressing (a histogram of a photograph
// holds hundreds of thousands of colours).
class ColorMap {
public:
    void Clear() {
        keys_.assign(1024, 0);
        values_.assign(1024, 0);
        used_.assign(1024, 0);
        size_ = 0;
    }
    std::size_t Size() const { return size_; }
    // Room for n colours without growing.
    void Reserve(std::size_t n) {
        std::size_t cap = 1024;
        while (cap < 2 * n + 2) cap *= 2;
        keys_.assign(cap, 0);
        values_.assign(cap, 0);
        used_.assign(cap, 0);
        size_ = 0;
    }
    // The value of a colour, inserted as 0 when missing.
    std::uint32_t& operator[](std::uint32_t key) {
        if (keys_.empty()) Clear();
        if ((size_ + 1) * 2 > keys_.size()) Grow();
        std::size_t i = Slot(key);
        while (used_[i] && keys_[i] != key) i = (i + 1) & (keys_.size() - 1);
        if (!used_[i]) {
            used_[i] = 1;
            keys_[i] = key;
            values_[i] = 0;
            ++size_;
        }
        return values_[i];
    }
    const std::uint32_t* Find(std::uint32_t key) const {
        if (keys_.empty()) return nullptr;
        for (std::size_t i = Slot(key); used_[i]; i = (i + 1) & (keys_.size() - 1))
            if (keys_[i] == key) return &values_[i];
        return nullptr;
    }
    template <class F>
    void ForEach(F&& f) const {
        for (std::size_t i = 0; i < keys_.size(); ++i)
            if (used_[i]) f(keys_[i], values_[i]);
    }

private:
    std::size_t Slot(std::uint32_t key) const {
        return static_cast<std::size_t>((key * 0x9E3779B1u) >> 7) & (keys_.size() - 1);
    }
    void Grow() {
        std::vector<std::uint32_t> keys = std::move(keys_), values = std::move(values_);
        std::vector<std::uint8_t> used = std::move(used_);
        keys_.assign(keys.size() * 2, 0);
        values_.assign(keys.size() * 2, 0);
        used_.assign(keys.size() * 2, 0);
        size_ = 0;
        for (std::size_t i = 0; i < keys.size(); ++i)
            if (used[i]) (*this)[keys[i]] = values[i];
    }
    std::vector<std::uint32_t> keys_, values_;
    std::vector<std::uint8_t> used_;
    std::size_t size_ = 0;
};

// A box holds a range of the one node array; splitting partitions the range.
struct Box {
    std::int32_t AMin, AMax, RMin, RMax, GMin, GMax, BMin, BMax;
    std::uint32_t Total;
    TColor32 Color;
    std::size_t first, last;  // its nodes: [first, last)

    void Bound(const std::vector<ColorNode>& nodes) {
        AMin = RMin = GMin = BMin = 256;
        AMax = RMax = GMax = BMax = -1;
        Total = 0;
        for (std::size_t k = first; k < last; ++k) {
            const TColor32 c = nodes[k].color;
            const int a = Color32A(c), r = Color32R(c), g = Color32G(c), b = Color32B(c);
            AMin = std::min(AMin, a); AMax = std::max(AMax, a);
            RMin = std::min(RMin, r); RMax = std::max(RMax, r);
            GMin = std::min(GMin, g); GMax = std::max(GMax, g);
            BMin = std::min(BMin, b); BMax = std::max(BMax, b);
            Total += nodes[k].count;
        }
    }
};

struct ReductionState {
    ColorMap histogram;
    // With the full channel mask the boxes are disjoint, so a colour of the
    // histogram maps to its own box: colour -> index in sorted order.
    ColorMap known;
    std::vector<ColorNode> nodes;
    std::vector<Box> boxes;
    std::int32_t boxCount = 0;
};

// The steps of a reduction span several calls; each thread has its own.
ReductionState& Reduction() {
    thread_local ReductionState state;
    return state;
}

}  // namespace

void ReduceColorsMedianCut(std::size_t count, const std::uint8_t* src, std::uint8_t* dst,
                           const TImageFormatInfo& srcInfo, const TImageFormatInfo& dstInfo, std::int32_t maxColors,
                           std::uint8_t channelMask, TColor32* dstPal, std::uint32_t actions) {
    ReductionState& st = Reduction();
    const std::int32_t n = std::clamp(maxColors, 2, 4096);
    if ((actions & (raUpdateHistogram | raMapImage)) && (srcInfo.IsBlockCompressed || srcInfo.IsIndexed))
        throw EImagingError("Assertion failure");
    const std::size_t sb = std::size_t(srcInfo.BytesPerPixel);
    const TColor32 mask4 = Color32(channelMask, channelMask, channelMask, channelMask);

    if (actions & raCreateHistogram) st.histogram.Clear();
    if (actions & raUpdateHistogram) {
        for (std::size_t i = 0; i < count; ++i) ++st.histogram[srcInfo.GetPixel32(src + i * sb, srcInfo, nullptr) & mask4];
    }
    if (actions & raMakeColorMap) {
        st.nodes.clear();
        st.nodes.reserve(st.histogram.Size());
        st.histogram.ForEach([&](std::uint32_t color, std::uint32_t c) { st.nodes.push_back({color, c}); });
        st.histogram.Clear();
        st.boxes.assign(std::size_t(n), Box{});
        st.boxCount = 1;
        st.boxes[0].first = 0;
        st.boxes[0].last = st.nodes.size();
        st.boxes[0].Bound(st.nodes);
        while (!st.nodes.empty() && st.boxCount < n) {
            std::int64_t best = -1;
            std::int32_t chosen = 0;
            for (std::int32_t i = 0; i < st.boxCount; ++i) {
                const Box& b = st.boxes[std::size_t(i)];
                const std::int64_t w = std::max({std::int64_t(b.AMax - b.AMin) * 1024, std::int64_t(b.RMax - b.RMin) * 612,
                                                 std::int64_t(b.GMax - b.GMin) * 1202, std::int64_t(b.BMax - b.BMin) * 234});
                if (w > best) {
                    best = w;
                    chosen = i;
                }
            }
            if (best <= 0) break;
            Box& b = st.boxes[std::size_t(chosen)];
            int channel;  // shift of the split channel in a TColor32
            std::int32_t cut;
            if (std::int64_t(b.AMax - b.AMin) * 1024 == best) channel = 24, cut = (b.AMax + b.AMin) / 2;
            else if (std::int64_t(b.RMax - b.RMin) * 612 == best) channel = 16, cut = (b.RMax + b.RMin) / 2;
            else if (std::int64_t(b.GMax - b.GMin) * 1202 == best) channel = 8, cut = (b.GMax + b.GMin) / 2;
            else channel = 0, cut = (b.BMax + b.BMin) / 2;
            const auto middle = std::partition(st.nodes.begin() + static_cast<std::ptrdiff_t>(b.first),
                                               st.nodes.begin() + static_cast<std::ptrdiff_t>(b.last), [&](const ColorNode& node) {
                                                   return static_cast<std::int32_t>((node.color >> channel) & 0xFF) <= cut;
                                               });
            Box& nb = st.boxes[std::size_t(st.boxCount)];
            nb.first = static_cast<std::size_t>(middle - st.nodes.begin());
            nb.last = b.last;
            b.last = nb.first;
            b.Bound(st.nodes);
            nb.Bound(st.nodes);
            ++st.boxCount;
        }
        const std::int32_t notMask = 255 & ~channelMask;
        for (std::int32_t i = 0; i < st.boxCount; ++i) {
            Box& b = st.boxes[std::size_t(i)];
            b.Color = 0;
            if (b.Total) {
                std::uint64_t sa = 0, sr = 0, sg = 0, sbl = 0;
                for (std::size_t k = b.first; k < b.last; ++k) {
                    const ColorNode& node = st.nodes[k];
                    sa += std::uint64_t(Color32A(node.color)) * node.count;
                    sr += std::uint64_t(Color32R(node.color)) * node.count;
                    sg += std::uint64_t(Color32G(node.color)) * node.count;
                    sbl += std::uint64_t(Color32B(node.color)) * node.count;
                }
                b.Color = Color32(static_cast<std::uint8_t>(sa / b.Total), static_cast<std::uint8_t>(sr / b.Total),
                                  static_cast<std::uint8_t>(sg / b.Total), static_cast<std::uint8_t>(sbl / b.Total));
            }
            b.AMin &= channelMask; b.RMin &= channelMask; b.GMin &= channelMask; b.BMin &= channelMask;
            b.AMax = (b.AMax & channelMask) + notMask;
            b.RMax = (b.RMax & channelMask) + notMask;
            b.GMax = (b.GMax & channelMask) + notMask;
            b.BMax = (b.BMax & channelMask) + notMask;
        }
        for (std::int32_t i = 0; i + 1 < st.boxCount; ++i) {
            std::int32_t m = i;
            for (std::int32_t j = i + 1; j < st.boxCount; ++j)
                if (st.boxes[std::size_t(j)].Total > st.boxes[std::size_t(m)].Total) m = j;
            if (m != i) std::swap(st.boxes[std::size_t(i)], st.boxes[std::size_t(m)]);
        }
        st.known.Reserve(channelMask == 255 ? st.nodes.size() : 0);
        if (channelMask == 255)
            for (std::int32_t i = 0; i < st.boxCount; ++i)
                for (std::size_t k = st.boxes[std::size_t(i)].first; k < st.boxes[std::size_t(i)].last; ++k)
                    st.known[st.nodes[k].color] = static_cast<std::uint32_t>(i);
        st.nodes.clear();
        st.nodes.shrink_to_fit();
        for (std::int32_t i = 0; i < n; ++i) dstPal[i] = i < st.boxCount ? st.boxes[std::size_t(i)].Color : 0xFFFFFFFFu;
    }
    if (actions & raMapImage) {
        // Colour -> index, remembered: the first box containing a colour never changes.
        ColorMap& memo = st.known;
        const std::size_t db = std::size_t(dstInfo.BytesPerPixel);
        for (std::size_t i = 0; i < count; ++i) {
            const TColor32 c = srcInfo.GetPixel32(src + i * sb, srcInfo, nullptr);
            std::uint32_t index;
            if (const std::uint32_t* known = memo.Find(c)) {
                index = *known;
            } else {
                index = 0;
                const int a = Color32A(c), r = Color32R(c), g = Color32G(c), b = Color32B(c);
                for (std::int32_t k = 0; k < st.boxCount; ++k) {
                    const Box& x = st.boxes[std::size_t(k)];
                    if (a >= x.AMin && a <= x.AMax && r >= x.RMin && r <= x.RMax && g >= x.GMin && g <= x.GMax &&
                        b >= x.BMin && b <= x.BMax) {
                        index = static_cast<std::uint32_t>(k);
                        break;
                    }
                }
                memo[c] = index;
            }
            IndexSetDstPixel(dst + i * db, dstInfo, index);
        }
    }
}

}  // namespace velto
