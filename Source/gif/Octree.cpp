#include "gif/Octree.h"

#include <algorithm>
#include <stdexcept>

#include "platform/PixelRows.h"

namespace velto {

TColorQuantizer::TColorQuantizer(int maxColors, int colorBits)
    : fMaxColors(std::clamp(maxColors, 1, MaxTableSize)), fColorBits(colorBits) {
    if (colorBits < 1 || colorBits > 8) throw std::invalid_argument("octree colour bits must be 1 to 8");
    fNodes.reserve(1024);
}

std::int32_t TColorQuantizer::NewNode(int level) {
    std::int32_t index;
    if (!fFree.empty()) {
        index = fFree.back();
        fFree.pop_back();
        fNodes[static_cast<std::size_t>(index)] = Node{};
    } else {
        index = static_cast<std::int32_t>(fNodes.size());
        fNodes.emplace_back();
    }
    Node& node = fNodes[static_cast<std::size_t>(index)];
    node.isLeaf = level == fColorBits;
    if (node.isLeaf) {
        ++fLeafCount;
    } else {
        node.next = fReducible[level];
        fReducible[level] = index;
    }
    return index;
}

void TColorQuantizer::FreeNode(std::int32_t index) { fFree.push_back(index); }

void TColorQuantizer::AddColor(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    if (fTree == kNone) fTree = NewNode(0);
    std::int32_t current = fTree;
    for (int level = 0;; ++level) {
        Node& node = fNodes[static_cast<std::size_t>(current)];
        if (node.isLeaf) {
            ++node.pixelCount;
            node.redSum += r;
            node.greenSum += g;
            node.blueSum += b;
            break;
        }
        const int shift = 7 - level;
        const unsigned mask = 0x80u >> level;
        const unsigned index = (((r & mask) >> shift) << 2) | (((g & mask) >> shift) << 1) | ((b & mask) >> shift);
        std::int32_t child = node.child[index];
        if (child == kNone) {
            child = NewNode(level + 1);  // may grow the pool: `node` is stale after this
            fNodes[static_cast<std::size_t>(current)].child[index] = child;
        }
        current = child;
    }
    while (fLeafCount > fMaxColors) ReduceTree();
}

void TColorQuantizer::ReduceTree() {
    int level = fColorBits - 1;
    while (level > 0 && fReducible[level] == kNone) --level;
    const std::int32_t index = fReducible[level];
    if (index == kNone) {
        // Only a single leaf can be left at this point, so this is never reached
        // while MaxColors >= 1; stop rather than loop.
        fLeafCount = std::min(fLeafCount, fMaxColors);
        return;
    }
    Node& node = fNodes[static_cast<std::size_t>(index)];
    fReducible[level] = node.next;
    int children = 0;
    std::uint64_t red = 0, green = 0, blue = 0;
    for (std::int32_t& c : node.child) {
        if (c == kNone) continue;
        const Node& child = fNodes[static_cast<std::size_t>(c)];
        red += child.redSum;
        green += child.greenSum;
        blue += child.blueSum;
        node.pixelCount += child.pixelCount;
        FreeNode(c);
        c = kNone;
        ++children;
    }
    node.isLeaf = true;
    node.redSum = red;
    node.greenSum = green;
    node.blueSum = blue;
    fLeafCount -= children - 1;
}

void TColorQuantizer::ProcessImage(const TBitmap& bitmap, TRowOrder order) {
    const TPixelFormat pf = bitmap.PixelFormat();
    if (pf != pf24bit && !IsIndexed(pf)) return;
    const auto table = bitmap.ColorTable();
    const int bits = BitsPerPixel(pf);
    const auto width = static_cast<std::size_t>(bitmap.Width());
    for (int i = 0; i < bitmap.Height(); ++i) {
        const std::uint8_t* row = bitmap.ScanLine(order == TRowOrder::TopDown ? i : bitmap.Height() - 1 - i);
        if (pf == pf24bit) {
            for (std::size_t x = 0; x < width; ++x) AddColor(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
        } else {
            for (std::size_t x = 0; x < width; ++x) {
                const TRGBQuad& q = table[PackedPixel(row, x, bits)];
                AddColor(q.Red, q.Green, q.Blue);
            }
        }
    }
}

void TColorQuantizer::AppendColors(std::int32_t index, std::vector<TRGBQuad>& table) const {
    const Node& node = fNodes[static_cast<std::size_t>(index)];
    if (node.isLeaf) {
        if (table.size() >= static_cast<std::size_t>(MaxTableSize)) return;
        TRGBQuad q;
        if (node.pixelCount > 0) {
            q.Red = static_cast<std::uint8_t>(node.redSum / node.pixelCount);
            q.Green = static_cast<std::uint8_t>(node.greenSum / node.pixelCount);
            q.Blue = static_cast<std::uint8_t>(node.blueSum / node.pixelCount);
        }
        table.push_back(q);
        return;
    }
    for (std::int32_t c : node.child)
        if (c != kNone) AppendColors(c, table);
}

std::vector<TRGBQuad> TColorQuantizer::GetColorTable() const {
    std::vector<TRGBQuad> table;
    if (fTree != kNone) AppendColors(fTree, table);
    return table;
}

}  // namespace velto
