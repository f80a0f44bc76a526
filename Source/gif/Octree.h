#pragma once
// The octree colour quantizer: an optimised palette of at most MaxColors colours
// for a picture. Every colour goes down the tree (one level per bit, red bit
// most significant in the child index); whenever more than MaxColors leaves
// exist, the newest reducible node of the deepest level that has one is merged
// into a leaf. Each leaf's average is one palette colour.
//
// One implementation for its two users, which differ only in parameters: the
// colour-depth change (6 colour bits, the picture's last row fed first) and the
// colour reducer (8 colour bits, rows fed from the top, optionally framed by the
// 20 system colours).
//
// Nodes live in one pool owned by the quantizer and refer to each other by
// index, so feeding a picture allocates only when the tree grows.
#include <cstdint>
#include <vector>

#include "platform/Bitmap.h"

namespace velto {

// The order in which a bitmap's rows are fed: the palette depends on it.
enum class TRowOrder : std::uint8_t {
    TopDown,   // row 0 (the top) first
    Storage,   // the bitmap's memory order: its last row first
};

class TColorQuantizer {
public:
    // A colour table holds at most this many entries.
    static constexpr int MaxTableSize = 256;

    // maxColors is taken into 1..256 (below 1 the reduction would have nothing
    // left to merge; above 256 the colour table would overflow). colorBits is the
    // depth of the tree; outside 1..8 it throws std::invalid_argument.
    TColorQuantizer(int maxColors, int colorBits);

    // Adds one colour, then merges nodes while more than MaxColors leaves exist.
    void AddColor(std::uint8_t r, std::uint8_t g, std::uint8_t b);

    // Feeds every pixel of a 24-bit bitmap, rows in the given order, each left
    // to right. 1-, 4- and 8-bit bitmaps are fed through their colour tables;
    // 15-, 16- and 32-bit bitmaps add no colour.
    void ProcessImage(const TBitmap& bitmap, TRowOrder order);

    // One entry per leaf, depth first with children in index order; each the
    // leaf's channel sums divided by its pixel count, truncated (black for a leaf
    // without pixels). At most 256 entries.
    std::vector<TRGBQuad> GetColorTable() const;

    int LeafCount() const { return fLeafCount; }
    int MaxColors() const { return fMaxColors; }
    int ColorBits() const { return fColorBits; }

private:
    static constexpr std::int32_t kNone = -1;

    struct Node {
        std::uint64_t pixelCount = 0;
        std::uint64_t redSum = 0, greenSum = 0, blueSum = 0;
        std::int32_t next = kNone;  // next reducible node of the same level
        std::int32_t child[8] = {kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone};
        bool isLeaf = false;
    };

    std::int32_t NewNode(int level);
    void FreeNode(std::int32_t index);
    void ReduceTree();
    void AppendColors(std::int32_t node, std::vector<TRGBQuad>& table) const;

    std::vector<Node> fNodes;
    std::vector<std::int32_t> fFree;  // pool slots of merged-away nodes
    std::int32_t fTree = kNone;
    int fLeafCount = 0;
    std::int32_t fReducible[8] = {kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone};
    int fMaxColors;
    int fColorBits;
};

}  // namespace velto
