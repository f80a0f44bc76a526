// The floating selection: lifting a block (cut to the image), compositing in
// front of and behind an image with and without "TransparentSelection", the
// alpha snap below 32 bits, resizing from the stored pixels, and the drop's
// palette decision and refit.
#include <gtest/gtest.h>

#include <string>

#include "EngineTestUtil.h"
#include "engine/Selection.h"

namespace velto::test {
namespace {

const TmyPixel kClear = TmyPixel::Create();
const TmyPixel kBlue = Px(0, 0, 255);
const TmyPixel kRed = Px(255, 0, 0);

// Pixel (x, y) of a picture: x + 10 * y in red, y in green.
TmyImagePal Numbered(int w, int h, int bits = 32) {
    TmyImagePal img({w, h}, bits);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.At(x, y) = Px(x + 10 * y, y, 7);
    return img;
}

TEST(Selection, ANewSelectionIsEmptyInFrontWithItsStartImages) {
    const tmyselection s;
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_TRUE(s.InFront);
    EXPECT_EQ(s.Owner, 0);
    EXPECT_EQ(s.Image.BitCount, 8);
    EXPECT_EQ(s.BaseImage.BitCount, 32);
    EXPECT_EQ(s.GetWidth(), 1);
    EXPECT_EQ(s.GetHeight(), 1);
}

TEST(Selection, RectangleBetweenCornersAndEmptiness) {
    struct Row {
        const char* name;
        TPoint a, b;
        TSelRect want;
    } rows[] = {
        {"drag up and right", {2, 3}, {5, 1}, {2, 1, 6, 4}},
        {"drag down and left", {5, 1}, {2, 3}, {2, 1, 6, 4}},
        {"one pixel", {7, 7}, {7, 7}, {7, 7, 8, 8}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(RectBetween(r.a, r.b), r.want);
        EXPECT_FALSE(r.want.IsEmpty());
    }
    tmyselection s;
    s.SetRect(4, 4, 4, 9);
    EXPECT_TRUE(s.IsEmpty());
    s.SetRect(1, 2, 3, 4);
    EXPECT_FALSE(s.IsEmpty());
    s.Clear();
    EXPECT_TRUE(s.IsEmpty());
}

TEST(Selection, LiftCopiesTheBlockAtThirtyTwoBitsAndCutsItToTheSource) {
    struct Row {
        const char* name;
        int bits;
        TSelRect rect, want;
    } rows[] = {
        {"inside a 32-bit image", 32, {2, 1, 6, 4}, {2, 1, 6, 4}},
        {"inside an 8-bit image", 8, {0, 0, 3, 2}, {0, 0, 3, 2}},
        {"past the right and bottom edges", 32, {6, 5, 12, 11}, {6, 5, 8, 8}},
        {"before the left and top edges", 24, {-3, -2, 2, 1}, {0, 0, 2, 1}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const TmyImagePal src = Numbered(8, 8, r.bits);
        tmyselection s;
        s.Rect = r.rect;
        s.Lift(src);
        EXPECT_EQ(s.Rect, r.want);
        ASSERT_EQ(s.Image.Size(), (ImageSize{r.want.Width(), r.want.Height()}));
        EXPECT_EQ(s.Image.BitCount, 32);
        EXPECT_FALSE(s.Image.Palette.has_value());
        for (int y = 0; y < s.Image.Height(); ++y)
            for (int x = 0; x < s.Image.Width(); ++x)
                EXPECT_EQ(s.Image.At(x, y), src.At(r.want.Left + x, r.want.Top + y)) << x << "," << y;
        EXPECT_TRUE(s.BaseImage.Equals(s.Image));
        EXPECT_EQ(s.GetWidth(), r.want.Width());
    }
    // A block wholly outside takes nothing and leaves no selection.
    tmyselection s;
    s.Rect = {20, 20, 30, 30};
    s.Lift(Numbered(8, 8));
    EXPECT_TRUE(s.IsEmpty());
}

TEST(Selection, TakeDropsThePaletteAndComesToTheFront) {
    tmyselection s;
    s.InFront = false;
    TmyImagePal typed = Numbered(5, 3, 8);
    s.Take(typed);
    EXPECT_TRUE(s.InFront);
    EXPECT_EQ(s.Image.BitCount, 32);
    EXPECT_FALSE(s.Image.Palette.has_value());
    EXPECT_FALSE(s.BaseImage.Palette.has_value());
    EXPECT_EQ(s.Image.At(4, 2), typed.At(4, 2));
    EXPECT_EQ(s.GetWidth(), 5);
}

TEST(Selection, CompositingOfOnePixel) {
    struct Row {
        const char* name;
        int destBits;
        TmyPixel dest, mine;
        bool transparentSelection, inFront;
        TmyPixel want;
    } rows[] = {
        {"half red over blue is blended", 32, kBlue, Px(255, 0, 0, 128), true, true, Px(128, 0, 127, 255)},
        {"half red replaces blue with the setting off", 32, kBlue, Px(255, 0, 0, 128), false, true,
         Px(255, 0, 0, 128)},
        {"a transparent pixel replaces blue with the setting off", 32, kBlue, Px(9, 9, 9, 0), false, true, kClear},
        {"a transparent pixel keeps blue with the setting on", 32, kBlue, Px(9, 9, 9, 0), true, true, kBlue},
        {"alpha 128 on a transparent 8-bit pixel vanishes", 8, kClear, Px(10, 20, 30, 128), true, true, kClear},
        {"alpha 129 on a transparent 8-bit pixel becomes opaque", 8, kClear, Px(10, 20, 30, 129), true, true,
         Px(10, 20, 30, 255)},
        {"behind an opaque pixel nothing shows", 32, kBlue, kRed, true, false, kBlue},
        {"behind a transparent pixel the selection shows", 32, kClear, kRed, true, false, kRed},
        {"behind blends even with the setting off", 32, kClear, kRed, false, false, kRed},
        {"behind a half-transparent pixel both mix", 32, Px(0, 0, 255, 128), kRed, true, false, Px(127, 0, 128, 255)},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        tmyselection s;
        s.Take(Uniform({1, 1}, 32, r.mine));
        s.InFront = r.inFront;
        TmyImagePal dest = Uniform({1, 1}, r.destBits, r.dest);
        const TDirtyRect changed = s.PasteTo(0, 0, dest, r.transparentSelection);
        EXPECT_EQ(dest.At(0, 0), r.want);
        EXPECT_EQ(changed, (TDirtyRect{0, 0, 1, 1}));
    }
}

TEST(Selection, CompositingSkipsWhatFallsOutsideTheImage) {
    struct Row {
        const char* name;
        int x, y;
        TDirtyRect want;
    } rows[] = {
        {"inside", 1, 1, {1, 1, 4, 3}},
        {"off the left and top", -2, -1, {0, 0, 1, 1}},
        {"off the right and bottom", 4, 5, {4, 5, 6, 6}},
        {"wholly outside", 6, 0, {}},
        {"wholly above", 0, -2, {}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        tmyselection s;
        s.Take(Uniform({3, 2}, 32, kRed));
        s.SetRect(0, 0, 3, 2);
        TmyImagePal dest({6, 6}, 32);
        EXPECT_EQ(s.PasteTo(r.x, r.y, dest, true), r.want);
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 6; ++x) {
                const bool inside = x >= r.want.Left && x < r.want.Right && y >= r.want.Top && y < r.want.Bottom;
                EXPECT_EQ(dest.At(x, y), inside ? kRed : kClear) << x << "," << y;
            }
    }
}

TEST(Selection, EveryResizeStartsFromTheStoredPixels) {
    tmyselection s;
    s.Take(NoiseImage({12, 9}, 32, 5, true));
    s.Resize(3, 2);
    s.Resize(20, 15);
    tmyselection direct;
    direct.Take(NoiseImage({12, 9}, 32, 5, true));
    direct.Resize(20, 15);
    EXPECT_TRUE(s.Image.Equals(direct.Image));
    EXPECT_EQ(s.GetWidth(), 12);
    EXPECT_EQ(s.GetHeight(), 9);
    // Back to the stored size gives the stored pixels.
    s.Resize(12, 9);
    EXPECT_TRUE(s.Image.Equals(s.BaseImage));
}

TEST(Selection, ColoursOutsideThePaletteAreTakenAsOpaque) {
    TmyPalette palette(16);
    struct Row {
        const char* name;
        TmyPixel pixel;
        bool outside;
    } rows[] = {
        {"an entry", palette[3], false},
        {"an entry at half alpha", Px(palette[3].R, palette[3].G, palette[3].B, 7), false},
        {"transparent black is black", kClear, false},
        {"a colour of no entry", Px(1, 2, 3), true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        TmyImagePal img = Uniform({4, 4}, 32, palette[1]);
        img.At(3, 2) = r.pixel;
        EXPECT_EQ(HasColorOutsidePalette(img, palette), r.outside);
    }
}

TEST(Selection, ClearRectEmptiesOnlyTheBlockInsideTheImage) {
    TmyImagePal img = Uniform({5, 5}, 32, kRed);
    EXPECT_EQ(ClearRect(img, {3, -2, 9, 2}), (TDirtyRect{3, 0, 5, 2}));
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(img.At(x, y), x >= 3 && y < 2 ? kClear : kRed) << x << "," << y;
    EXPECT_TRUE(ClearRect(img, {7, 7, 9, 9}).Empty());
}

// ---------------------------------------------------------------- the drop

// An 8-bit image filled with palette entry kFill (one that even a 2-entry
// palette has), and a selection whose colour is entry 9 or a colour of no entry.
struct DropBench {
    static constexpr int kFill = 1;
    TmyImagePal image;
    tmyselection sel;
    int asked = 0;

    explicit DropBench(bool onPalette, int bits = 8) : image({8, 8}, bits) {
        for (TmyPixel& p : image.Pixels()) p = image.Palette ? (*image.Palette)[kFill] : kBlue;
        const TmyPixel colour = onPalette && image.Palette ? (*image.Palette)[9] : Px(3, 200, 77);
        sel.Take(Uniform({2, 2}, 32, colour));
        sel.SetRect(0, 0, 2, 2);
    }
    std::function<TPaletteChoice()> Ask(TPaletteChoice answer) {
        return [this, answer] {
            ++asked;
            return answer;
        };
    }
};

TEST(Selection, ThePaletteDecisionOfADrop) {
    struct Row {
        const char* name;
        int bits;
        bool onPalette;
        std::uint8_t action;
        TPaletteChoice answer;
        bool canAsk;
        TPaletteChoice want;
        int asked;
    } rows[] = {
        {"a 32-bit image takes the new colours", 32, false, 1, TPaletteChoice::Keep, true, TPaletteChoice::Change, 0},
        {"a 24-bit image takes the new colours", 24, false, 2, TPaletteChoice::Keep, true, TPaletteChoice::Change, 0},
        {"colours of the palette keep it", 8, true, 0, TPaletteChoice::Change, true, TPaletteChoice::Keep, 0},
        {"new colours, setting change", 8, false, 0, TPaletteChoice::Keep, true, TPaletteChoice::Change, 0},
        {"new colours, setting keep", 4, false, 1, TPaletteChoice::Change, true, TPaletteChoice::Keep, 0},
        {"new colours, setting ask, answer keep", 8, false, 2, TPaletteChoice::Keep, true, TPaletteChoice::Keep, 1},
        {"new colours, setting ask, answer change", 1, false, 2, TPaletteChoice::Change, true,
         TPaletteChoice::Change, 1},
        {"new colours, ask without a window", 8, false, 2, TPaletteChoice::Keep, false, TPaletteChoice::Change, 0},
        {"new colours, a setting out of range keeps", 8, false, 9, TPaletteChoice::Change, true,
         TPaletteChoice::Keep, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        DropBench b(r.onPalette, r.bits);
        const auto ask = r.canAsk ? b.Ask(r.answer) : std::function<TPaletteChoice()>{};
        EXPECT_EQ(DropPaletteChoice(b.sel, b.image, r.action, ask), r.want);
        EXPECT_EQ(b.asked, r.asked);
        EXPECT_EQ(DropMayAsk(b.sel, b.image, r.action), r.bits < 24 && r.action == 2);
    }
}

TEST(Selection, ADropPastesClearsAndSettlesTheImage) {
    {
        SCOPED_TRACE("keep: the pixels are fitted to the unchanged palette");
        DropBench b(false);
        const TmyPalette before = *b.image.Palette;
        const TDropSettings settings{true, 1, TDither::Off};
        EXPECT_EQ(DropSelection(b.sel, b.image, 3, 4, settings, {}), TPaletteChoice::Keep);
        EXPECT_TRUE(b.sel.IsEmpty());
        EXPECT_TRUE(b.image.Palette->Equals(before));
        const TmyPixel fitted = before.NearestColor(Px(3, 200, 77));
        EXPECT_EQ(b.image.At(3, 4), fitted);
        EXPECT_EQ(b.image.At(4, 5), fitted);
        EXPECT_EQ(b.image.At(5, 5), before[DropBench::kFill]);
    }
    {
        SCOPED_TRACE("change: the image gets a palette holding the new colour");
        DropBench b(false);
        const TDropSettings settings{true, 0, TDither::Off};
        EXPECT_EQ(DropSelection(b.sel, b.image, 0, 0, settings, {}), TPaletteChoice::Change);
        EXPECT_GE(b.image.Palette->IndexOf(b.image.At(0, 0)), 0);
        EXPECT_EQ(b.image.BitCount, 8);
        for (const TmyPixel& p : b.image.Pixels()) EXPECT_GE(b.image.Palette->IndexOf(p), 0);
    }
    {
        SCOPED_TRACE("a 24-bit image takes half-transparent pixels opaque");
        DropBench b(false, 24);
        b.sel.Take(Uniform({1, 1}, 32, Px(200, 100, 50, 200)));
        b.sel.SetRect(0, 0, 1, 1);
        DropSelection(b.sel, b.image, 7, 7, {}, {});
        EXPECT_EQ(b.image.At(7, 7).A, 255);
    }
    {
        SCOPED_TRACE("a 32-bit image keeps the blend's alpha");
        DropBench b(false, 32);
        for (TmyPixel& p : b.image.Pixels()) p = kClear;
        b.sel.Take(Uniform({1, 1}, 32, Px(200, 100, 50, 77)));
        b.sel.SetRect(0, 0, 1, 1);
        DropSelection(b.sel, b.image, 2, 2, {}, {});
        EXPECT_EQ(b.image.At(2, 2), Px(200, 100, 50, 77));
    }
    {
        SCOPED_TRACE("an empty selection changes nothing");
        DropBench b(false);
        b.sel.Clear();
        const TmyImagePal before = b.image;
        DropSelection(b.sel, b.image, 0, 0, {}, b.Ask(TPaletteChoice::Change));
        EXPECT_TRUE(b.image.Equals(before));
        EXPECT_EQ(b.asked, 0);
    }
}

}  // namespace
}  // namespace velto::test
