// The octree quantizer: merge order, averages, table order, guards.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>
#include <stdexcept>
#include <vector>

#include "gif/Octree.h"

using namespace velto;

namespace {

struct Rgb {
    std::uint8_t r, g, b;
};

std::vector<Rgb> TableOf(const TColorQuantizer& q) {
    std::vector<Rgb> out;
    for (const TRGBQuad& e : q.GetColorTable()) out.push_back({e.Red, e.Green, e.Blue});
    return out;
}

std::vector<Rgb> Quantize(int maxColors, int colorBits, const std::vector<Rgb>& colors) {
    TColorQuantizer q(maxColors, colorBits);
    for (const Rgb& c : colors) q.AddColor(c.r, c.g, c.b);
    return TableOf(q);
}

bool operator==(const Rgb& a, const Rgb& b) { return a.r == b.r && a.g == b.g && a.b == b.b; }
void PrintTo(const Rgb& c, std::ostream* os) { *os << "(" << +c.r << "," << +c.g << "," << +c.b << ")"; }

// A second, pointer-based octree written from the description alone: the pool
// and index links of the real one must give the same tables.
class ReferenceOctree {
public:
    ReferenceOctree(int maxColors, int bits) : fMax(maxColors), fBits(bits) {}
    void Add(const Rgb& c) {
        Add(fRoot, c, 0);
        while (fLeaves > fMax) Reduce();
    }
    std::vector<Rgb> Table() const {
        std::vector<Rgb> out;
        Walk(fRoot.get(), out);
        return out;
    }

private:
    struct Node {
        bool leaf = false;
        std::uint64_t n = 0, r = 0, g = 0, b = 0;
        std::unique_ptr<Node> child[8];
    };
    void Add(std::unique_ptr<Node>& node, const Rgb& c, int level) {
        if (!node) {
            node = std::make_unique<Node>();
            node->leaf = level == fBits;
            if (node->leaf) ++fLeaves;
            else fReducible[level].push_back(node.get());
        }
        if (node->leaf) {
            ++node->n, node->r += c.r, node->g += c.g, node->b += c.b;
            return;
        }
        const int bit = 7 - level;
        Add(node->child[((c.r >> bit) & 1) * 4 + ((c.g >> bit) & 1) * 2 + ((c.b >> bit) & 1)], c, level + 1);
    }
    void Reduce() {
        int level = fBits - 1;
        while (level > 0 && fReducible[level].empty()) --level;
        Node* node = fReducible[level].back();  // the newest
        fReducible[level].pop_back();
        int children = 0;
        for (auto& c : node->child)
            if (c) node->n += c->n, node->r += c->r, node->g += c->g, node->b += c->b, c.reset(), ++children;
        node->leaf = true;
        fLeaves -= children - 1;
    }
    static void Walk(const Node* node, std::vector<Rgb>& out) {
        if (!node) return;
        if (node->leaf) {
            out.push_back({static_cast<std::uint8_t>(node->r / node->n), static_cast<std::uint8_t>(node->g / node->n),
                           static_cast<std::uint8_t>(node->b / node->n)});
            return;
        }
        for (const auto& c : node->child) Walk(c.get(), out);
    }
    std::unique_ptr<Node> fRoot;
    std::map<int, std::vector<Node*>> fReducible;
    int fLeaves = 0;
    int fMax, fBits;
};

TBitmap Bitmap24(int w, int h, const std::vector<Rgb>& pixels) {
    TBitmap bmp;
    EXPECT_TRUE(bmp.Allocate(w, h, pf24bit));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Rgb& c = pixels[static_cast<std::size_t>(y * w + x)];
            std::uint8_t* p = bmp.ScanLine(y) + 3 * x;
            p[0] = c.b, p[1] = c.g, p[2] = c.r;
        }
    return bmp;
}

}  // namespace

TEST(ColorReductionOctree, TablesOfSmallPictures) {
    struct Row {
        const char* name;
        int maxColors, bits;
        std::vector<Rgb> colors;
        std::vector<Rgb> table;
    };
    const std::vector<Row> rows = {
        {"one colour gives exactly that colour", 15, 6, {{10, 200, 33}, {10, 200, 33}, {10, 200, 33}}, {{10, 200, 33}}},
        {"one colour allowed: the truncated average of all",
         1, 6, {{0, 0, 0}, {255, 255, 255}, {10, 11, 12}}, {{88, 88, 89}}},
        {"six bits: colours equal in their top six bits share a leaf",
         255, 6, {{0x40, 0x80, 0xC0}, {0x43, 0x83, 0xC1}, {0x44, 0x80, 0xC0}},
         {{0x41, 0x81, 0xC0}, {0x44, 0x80, 0xC0}}},
        {"depth first: the red bit is the most significant of the child index",
         255, 8, {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {0, 0, 0}}, {{0, 0, 0}, {0, 0, 255}, {0, 255, 0}, {255, 0, 0}}},
        // (0,0,0) and (64,0,0) share a level-1 node, as do (128,0,0) and (192,0,0);
        // the fourth leaf makes one merge, of the level-1 node created last.
        {"a tie between nodes of one level goes to the newest",
         3, 2, {{0, 0, 0}, {64, 0, 0}, {128, 0, 0}, {192, 0, 0}}, {{0, 0, 0}, {64, 0, 0}, {160, 0, 0}}},
        {"the deepest level is merged first", 2, 3,
         {{0, 0, 0}, {32, 0, 0}, {128, 0, 0}}, {{16, 0, 0}, {128, 0, 0}}},
        {"a merged leaf keeps summing later colours", 1, 8,
         {{0, 0, 0}, {255, 0, 0}, {255, 0, 0}, {255, 0, 0}}, {{191, 0, 0}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Quantize(row.maxColors, row.bits, row.colors), row.table);
    }
}

TEST(ColorReductionOctree, GuardsAgainstBadParameters) {
    EXPECT_THROW(TColorQuantizer(16, 0), std::invalid_argument);
    EXPECT_THROW(TColorQuantizer(16, 9), std::invalid_argument);
    EXPECT_NO_THROW(TColorQuantizer(16, 1));
    // Fewer than one colour would merge an empty level forever: one is the least.
    for (int maxColors : {0, -7}) {
        SCOPED_TRACE(maxColors);
        TColorQuantizer q(maxColors, 6);
        EXPECT_EQ(q.MaxColors(), 1);
        q.AddColor(10, 20, 30);
        q.AddColor(250, 20, 30);
        EXPECT_EQ(TableOf(q), (std::vector<Rgb>{{130, 20, 30}}));
    }
    // More than 256 would overflow the colour table.
    TColorQuantizer big(100000, 8);
    EXPECT_EQ(big.MaxColors(), 256);
    for (int i = 0; i < 1000; ++i) big.AddColor(static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i * 7), static_cast<std::uint8_t>(i / 4));
    EXPECT_LE(big.GetColorTable().size(), 256u);
    EXPECT_TRUE(TColorQuantizer(5, 6).GetColorTable().empty());
}

TEST(ColorReductionOctree, MatchesAPointerTreeOnRandomPictures) {
    std::mt19937 rng(7);
    struct Case {
        int maxColors, bits, n, spread;
    };
    for (const Case c : {Case{255, 6, 20000, 256}, Case{15, 6, 5000, 256}, Case{1, 6, 500, 256}, Case{256, 8, 20000, 256},
                         Case{2, 8, 3000, 64}, Case{236, 8, 20000, 40}, Case{7, 3, 2000, 256}}) {
        SCOPED_TRACE(testing::Message() << c.maxColors << " colours, " << c.bits << " bits");
        std::uniform_int_distribution<int> d(0, c.spread - 1);
        TColorQuantizer q(c.maxColors, c.bits);
        ReferenceOctree ref(c.maxColors, c.bits);
        for (int i = 0; i < c.n; ++i) {
            const Rgb px{static_cast<std::uint8_t>(d(rng)), static_cast<std::uint8_t>(d(rng)), static_cast<std::uint8_t>(d(rng))};
            q.AddColor(px.r, px.g, px.b);
            ref.Add(px);
        }
        EXPECT_EQ(TableOf(q), ref.Table());
        EXPECT_LE(q.LeafCount(), c.maxColors);
    }
}

TEST(ColorReductionOctree, FeedsBitmapsByFormatAndRowOrder) {
    // Two rows, one colour each, one colour allowed at 8 bits but merged: the
    // palette of a 2-colour budget on three colours depends on the order.
    const std::vector<Rgb> px = {{0, 0, 0}, {64, 0, 0}, {128, 0, 0}, {192, 0, 0}};
    const TBitmap bmp = Bitmap24(2, 2, px);
    auto table = [&](const TBitmap& b, TRowOrder order) {
        TColorQuantizer q(3, 2);
        q.ProcessImage(b, order);
        return TableOf(q);
    };
    // Top down: (128,0,0) and (192,0,0) come last, so their node is the newest.
    EXPECT_EQ(table(bmp, TRowOrder::TopDown), (std::vector<Rgb>{{0, 0, 0}, {64, 0, 0}, {160, 0, 0}}));
    // Storage order feeds the last row first: now the top row's node is the newest.
    EXPECT_EQ(table(bmp, TRowOrder::Storage), (std::vector<Rgb>{{32, 0, 0}, {128, 0, 0}, {192, 0, 0}}));

    TBitmap indexed;
    ASSERT_TRUE(indexed.Allocate(3, 1, pf4bit));  // every pixel index 0 (black)
    indexed.ScanLine(0)[0] = 0x0F;                 // second pixel: entry 15 (white)
    EXPECT_EQ(table(indexed, TRowOrder::TopDown), (std::vector<Rgb>{{0, 0, 0}, {255, 255, 255}}));

    for (TPixelFormat pf : {pf15bit, pf16bit, pf32bit}) {
        SCOPED_TRACE(pf);
        TBitmap direct = bmp;
        ASSERT_TRUE(direct.SetPixelFormat(pf));
        EXPECT_TRUE(table(direct, TRowOrder::TopDown).empty());
    }
}
