// The drop shadow and the fade-out ramp.
#include "engine/AlphaEffects.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "EngineTestUtil.h"

namespace velto {
namespace {

using test::Px;

// One row of alphas (or one column, read top to bottom).
std::vector<int> Alphas(const TmyImagePal& img, bool row, int at) {
    std::vector<int> out;
    const int n = row ? img.Width() : img.Height();
    for (int k = 0; k < n; ++k) out.push_back(row ? img.At(k, at).A : img.At(at, k).A);
    return out;
}

TEST(AlphaEffects, FadeRampsAlongColumnsOrRows) {
    struct Row {
        const char* name;
        ImageSize size;
        int bits;
        int alpha;  // of every pixel before the fade
        TFadeDirection dir;
        int start, end;
        std::vector<int> expected;  // along the ramp, the same across it
    };
    const Row rows[] = {
        {"opaque 32 bits, 100 to 0 over 5 columns", {5, 3}, 32, 255, TFadeDirection::Horizontal, 100, 0,
         {255, 191, 128, 64, 0}},  // 191.25, 127.5 (to even), 63.75
        {"8 bits snap at 128", {5, 2}, 8, 255, TFadeDirection::Horizontal, 100, 0, {255, 255, 255, 0, 0}},
        {"rows when vertical", {2, 5}, 32, 255, TFadeDirection::Vertical, 0, 100, {0, 64, 128, 191, 255}},
        {"one row faded down its rows: the start only", {4, 1}, 32, 255, TFadeDirection::Vertical, 50, 0, {128}},
        {"one column faded across: the start only", {1, 4}, 32, 200, TFadeDirection::Horizontal, 30, 90, {60}},
        {"100 to 100 leaves alpha", {3, 3}, 32, 77, TFadeDirection::Horizontal, 100, 100, {77, 77, 77}},
        {"half of 1 rounds to even 0", {2, 1}, 32, 1, TFadeDirection::Horizontal, 50, 50, {0, 0}},
        {"half of 3 rounds to even 2", {2, 1}, 32, 3, TFadeDirection::Horizontal, 50, 50, {2, 2}},
        {"rising ramp on 24 bits snaps", {3, 1}, 24, 255, TFadeDirection::Horizontal, 0, 100, {0, 255, 255}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        TmyImagePal img = test::Uniform(r.size, r.bits, Px(10, 20, 30, r.alpha));
        img.SetHotSpotX(1);
        img.SetRate(0.7);
        const std::optional<TmyPalette> palette = img.Palette;
        FadeImage(img, r.dir, r.start, r.end);
        const bool row = r.dir == TFadeDirection::Horizontal;
        const int across = row ? img.Height() : img.Width();
        for (int i = 0; i < across; ++i) EXPECT_EQ(Alphas(img, row, i), r.expected);
        for (const TmyPixel& p : img.Pixels())
            EXPECT_EQ(p, p.A == 0 ? TmyPixel::Create() : Px(10, 20, 30, p.A)) << "colour kept, transparent is black";
        EXPECT_EQ(img.Size(), r.size);
        EXPECT_EQ(img.HotSpotX(), r.size.Width > 1 ? 1 : 0);
        EXPECT_EQ(img.Rate(), 0.7);
        EXPECT_EQ(img.Palette.has_value(), palette.has_value());
        if (palette) {
            EXPECT_TRUE(img.Palette->Equals(*palette));
        }
    }
}

TEST(AlphaEffects, FadeKeepsTransparentPixelsTransparent) {
    TmyImagePal img = test::NoiseImage({9, 7}, 32, 17, true);
    const TmyImagePal before = img;
    FadeImage(img, TFadeDirection::Vertical, 100, 40);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x) {
            if (before.At(x, y).A == 0) {
                EXPECT_EQ(img.At(x, y), TmyPixel::Create());
            }
            EXPECT_LE(img.At(x, y).A, before.At(x, y).A);
        }
    EXPECT_EQ(Alphas(img, true, 0), Alphas(before, true, 0)) << "the first row is at 100 percent";
}

TEST(AlphaEffects, PercentToByte) {
    const std::pair<int, int> rows[] = {{0, 0}, {10, 26}, {30, 76}, {50, 128}, {70, 178}, {100, 255}, {-1, 255}, {356, 255}};
    for (auto [percent, byte] : rows) EXPECT_EQ(PercentToByte(percent), byte) << percent;
}

// A transparent 32 x 32 image with an opaque 8 x 8 square at (4, 4).
TmyImagePal Square(int bits, TmyPixel colour = Px(200, 100, 50, 255)) {
    TmyImagePal img(ImageSize{32, 32}, bits);
    for (int y = 4; y < 12; ++y)
        for (int x = 4; x < 12; ++x) img.At(x, y) = colour;
    return img;
}

// The bounding box of the pixels with alpha above 0.
struct Box {
    int x1 = 1 << 20, y1 = 1 << 20, x2 = -1, y2 = -1;
    friend bool operator==(const Box&, const Box&) = default;
};
Box VisibleBox(const TmyImagePal& img) {
    Box b;
    for (int y = 0; y < img.Height(); ++y)
        for (int x = 0; x < img.Width(); ++x)
            if (img.At(x, y).A != 0) b = {std::min(b.x1, x), std::min(b.y1, y), std::max(b.x2, x), std::max(b.y2, y)};
    return b;
}
std::ostream& operator<<(std::ostream& os, const Box& b) {
    return os << "(" << b.x1 << "," << b.y1 << ")-(" << b.x2 << "," << b.y2 << ")";
}

TEST(AlphaEffects, ShadowOfTheEffectCommand) {
    // Black, one pixel right and down, alpha 255 - 76, one "Blur" pass.
    TmyImagePal img = Square(32);
    MakeShadow(img, clBlack, 1, 1, 1, -30);
    for (int y = 4; y < 12; ++y)
        for (int x = 4; x < 12; ++x) ASSERT_EQ(img.At(x, y), Px(200, 100, 50, 255));
    // The shadow's corner (12, 12): weights 1 + 2 + 2 + 2 of 14 on alpha 179
    // (89.5, to even); its diagonal neighbour one weight of 14.
    EXPECT_EQ(img.At(12, 12), Px(0, 0, 0, 90));
    EXPECT_EQ(img.At(13, 13), Px(0, 0, 0, 13));
    EXPECT_EQ(img.At(3, 3), TmyPixel::Create()) << "nothing up and left";
    EXPECT_EQ(VisibleBox(img), (Box{4, 4, 13, 13}));
}

TEST(AlphaEffects, ShadowBlurWidensBySize) {
    struct Row {
        const char* name;
        int size, x, y;
        Box box;
    };
    // One red pixel at (10, 10) of a 24 x 24 image; opacity 0 keeps the
    // shadow opaque where it is not blurred.
    const Row rows[] = {
        {"no blur, no offset", 0, 0, 0, {10, 10, 10, 10}},
        {"no blur, left and up", 0, -2, -1, {8, 9, 10, 10}},
        {"no blur, right and down", 0, 3, 2, {10, 10, 13, 12}},
        {"size 1: Blur (3 x 3)", 1, 0, 0, {9, 9, 11, 11}},
        {"size 2: Blur More (5 x 5)", 2, 0, 0, {8, 8, 12, 12}},
        {"size 3: Blur More then Blur", 3, 0, 0, {7, 7, 13, 13}},
        // The second pass's outermost ring takes under half a level.
        {"size 4: Blur More twice", 4, 0, 0, {7, 7, 13, 13}},
        {"out of the frame to the right", 2, 20, 0, {10, 10, 10, 10}},
        {"out of the frame upwards", 0, 0, -11, {10, 10, 10, 10}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        TmyImagePal img(ImageSize{24, 24}, 32);
        img.At(10, 10) = Px(255, 0, 0, 255);
        MakeShadow(img, MakeColor(0, 0, 255), static_cast<std::uint8_t>(r.size), r.x, r.y, 0);
        EXPECT_EQ(VisibleBox(img), r.box);
        EXPECT_EQ(img.At(10, 10), Px(255, 0, 0, 255)) << "the opaque image pixel stays on top";
        if (r.size == 0 && (r.x != 0 || r.y != 0) && r.x < 20 && r.y > -11) {
            EXPECT_EQ(img.At(10 + r.x, 10 + r.y), Px(0, 0, 255, 255));
        }
    }
}

TEST(AlphaEffects, ShadowUnderPartlyTransparentPixels) {
    // Without offset or blur the shadow lies exactly under the image: opaque
    // pixels stay, half-transparent ones are laid over the shadow colour.
    TmyImagePal img(ImageSize{4, 1}, 32);
    img.At(0, 0) = Px(200, 100, 50, 128);
    img.At(1, 0) = Px(9, 8, 7, 255);
    img.At(2, 0) = TmyPixel::Create();
    img.At(3, 0) = Px(200, 100, 50, 10);  // its shadow: alpha 10 - 76, gone
    MakeShadow(img, clBlack, 0, 0, 0, -30);
    // Shadow alpha 52; alpha 52 + round(203 * 128 / 255) = 154; colours
    // 128 * c / (128 + 52 - 26).
    EXPECT_EQ(img.At(0, 0), Px(166, 83, 41, 154));
    EXPECT_EQ(img.At(1, 0), Px(9, 8, 7, 255));
    EXPECT_EQ(img.At(2, 0), TmyPixel::Create());
    EXPECT_EQ(img.At(3, 0), Px(200, 100, 50, 10));
}

TEST(AlphaEffects, ShadowOnIndexedImagesIsOpaqueOrTransparentBlack) {
    for (int bits : {1, 4, 8}) {
        SCOPED_TRACE(std::to_string(bits) + " bits");
        TmyImagePal a = Square(bits, Px(255, 255, 255, 255));
        TmyImagePal b = a;
        MakeShadow(a, MakeColor(0, 0, 255), 3, 2, 2, -100);
        MakeShadow(b, MakeColor(0, 0, 255), 3, 2, 2, 100);
        EXPECT_TRUE(a.Equals(b)) << "the opacity has no effect below 24 bits";
        for (const TmyPixel& p : a.Pixels()) {
            ASSERT_TRUE(p.A == 0 || p.A == 255);
            if (p.A == 0) {
                ASSERT_EQ(p, TmyPixel::Create());
            }
        }
        EXPECT_EQ(a.At(12, 9), Px(0, 0, 255, 255)) << "the shadow right of the square";
        EXPECT_EQ(a.At(0, 0), TmyPixel::Create()) << "transparent black, not white";
        EXPECT_EQ(a.BitCount, bits);
    }
}

}  // namespace
}  // namespace velto
