// The image clipboard's own part: the bitmap a copy puts on the clipboard
// (flattened onto white, opaque colours exact), alpha restored only for our
// own unchanged copy, and the fitting of a pasted picture into an image.
#include <gtest/gtest.h>

#include "EngineTestUtil.h"
#include "engine/Clipboard.h"
#include "engine/Line.h"

namespace velto::test {
namespace {

const TmyPixel kClear = TmyPixel::Create();

TmyPixel RgbAt(const TRgbBuffer& b, int x, int y) {
    const std::uint8_t* p = b.Row(y) + 3 * x;
    return Px(p[0], p[1], p[2]);
}

void SetRgb(TRgbBuffer& b, int x, int y, TmyPixel c) {
    std::uint8_t* p = b.Row(y) + 3 * x;
    p[0] = c.R;
    p[1] = c.G;
    p[2] = c.B;
}

TRgbBuffer Solid(int w, int h, TmyPixel c) {
    TRgbBuffer b;
    b.SetSize(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) SetRgb(b, x, y, c);
    return b;
}

TEST(Clipboard, TheCopiedBitmapIsFlattenedOntoWhite) {
    struct Row {
        const char* name;
        TmyPixel pixel;
        TmyPixel want;
    } rows[] = {
        {"opaque colours are exact", Px(10, 20, 30), Px(10, 20, 30)},
        {"opaque white stays white", Px(255, 255, 255), Px(255, 255, 255)},
        {"transparent is white", Px(1, 2, 3, 0), Px(255, 255, 255)},
        {"half red is blended onto white", Px(255, 0, 0, 128), Px(255, 127, 127)},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const TRgbBuffer b = ClipboardBitmap(Uniform({3, 2}, 32, r.pixel));
        ASSERT_EQ(b.Width, 3);
        ASSERT_EQ(b.Height, 2);
        EXPECT_EQ(RgbAt(b, 2, 1), r.want);
    }
}

TEST(Clipboard, OnlyOurOwnUnchangedCopyGetsItsAlphaBack) {
    const TmyImagePal copied = Uniform({32, 32}, 32, Px(255, 0, 0, 128));
    struct Row {
        const char* name;
        bool copyFirst;
        std::function<TRgbBuffer(const TRgbBuffer&)> clipboard;  // what the clipboard holds at the paste
        bool hasAlpha;
        TmyPixel want00;
    } rows[] = {
        {"our copy comes back as it was", true, [](const TRgbBuffer& ours) { return ours; }, true,
         Px(255, 0, 0, 128)},
        {"one pixel changed by another program", true,
         [](const TRgbBuffer& ours) {
             TRgbBuffer b = ours;
             SetRgb(b, 31, 31, Px(0, 0, 0));
             return b;
         },
         false, Px(255, 127, 127)},
        {"the same picture at another size", true, [](const TRgbBuffer&) { return Solid(32, 31, Px(255, 127, 127)); },
         false, Px(255, 127, 127)},
        {"a foreign white pixel before any copy stays white", false,
         [](const TRgbBuffer&) { return Solid(1, 1, Px(255, 255, 255)); }, false, Px(255, 255, 255)},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        TClipboardMemory memory;
        TRgbBuffer ours;
        if (r.copyFirst) ours = memory.Copy(copied);
        EXPECT_EQ(memory.LastCopy().has_value(), r.copyFirst);
        const TPicture pic = memory.Picture(r.clipboard(ours));
        EXPECT_EQ(pic.HasAlpha, r.hasAlpha);
        EXPECT_EQ(pic.Pixels.At(0, 0), r.want00);
    }
}

TEST(Clipboard, PicturesAreFittedToTheRoomGiven) {
    TFitRule keep{0, true, {}};
    struct Row {
        const char* name;
        ImageSize picture, max;
        TFitRule rule;
        ImageSize want;
        TPoint at;  // one probe pixel of the result
        TmyPixel wantAt;
    } rows[] = {
        {"a fitting picture keeps its size", {16, 16}, {32, 32}, keep, {16, 16}, {15, 15}, Px(9, 9, 9)},
        {"resized keeping the proportions", {100, 50}, {32, 32}, keep, {32, 32}, {0, 8}, Px(9, 9, 9)},
        {"the rows above a proportional resize stay clear", {100, 50}, {32, 32}, keep, {32, 32}, {0, 7}, kClear},
        {"resized without proportions fills the room", {100, 50}, {32, 32}, TFitRule{0, false, {}}, {32, 32}, {0, 0},
         Px(9, 9, 9)},
        {"cropped: the corner centred on the short axis", {100, 10}, {32, 32}, TFitRule{1, true, {}}, {32, 32},
         {0, 11}, Px(9, 9, 9)},
        {"cropped: above the corner stays clear", {100, 10}, {32, 32}, TFitRule{1, true, {}}, {32, 32}, {0, 10},
         kClear},
        {"the advanced import resizes", {64, 64}, {32, 32}, TFitRule{2, true, {}}, {32, 32}, {31, 31}, Px(9, 9, 9)},
        {"ask, answered crop", {64, 10}, {32, 32}, TFitRule{3, true, [] { return std::uint8_t{1}; }}, {32, 32},
         {0, 11}, Px(9, 9, 9)},
        {"ask without a window resizes", {300, 200}, {32, 32}, TFitRule{3, true, {}}, {32, 32}, {0, 5}, Px(9, 9, 9)},
        {"an unknown policy leaves the target", {300, 200}, {32, 32}, TFitRule{4, true, {}}, {1, 1}, {0, 0}, kClear},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        TPicture pic;
        pic.Pixels = Uniform(r.picture, 32, Px(9, 9, 9));
        TmyImagePal target({1, 1}, 32);
        EXPECT_TRUE(BitmapToImage(pic, target, r.max, true, r.rule));
        EXPECT_EQ(target.Size(), r.want);
        EXPECT_EQ(target.At(r.at.X, r.at.Y), r.wantAt);
    }
}

TEST(Clipboard, AlphaOfAPastedPicture) {
    struct Row {
        const char* name;
        bool hasAlpha, keepAlpha;
        TmyPixel pixel, want;
    } rows[] = {
        {"no alpha channel: opaque", false, true, Px(1, 2, 3, 0), Px(1, 2, 3)},
        {"all alpha 0 without keep: opaque", true, false, Px(1, 2, 3, 0), Px(1, 2, 3)},
        {"all alpha 0 with keep: transparent black", true, true, Px(1, 2, 3, 0), kClear},
        {"alpha kept", true, false, Px(1, 2, 3, 90), Px(1, 2, 3, 90)},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        TPicture pic{Uniform({2, 2}, 32, r.pixel), r.hasAlpha};
        TmyImagePal target({1, 1}, 32);
        BitmapToImage(pic, target, {32, 32}, r.keepAlpha, {});
        EXPECT_EQ(target.At(1, 1), r.want);
    }
    // A picture smaller than a target of its own size is centred; the rest stays.
    TmyImagePal target = Uniform({6, 6}, 32, Px(50, 50, 50));
    BitmapToImage({Uniform({2, 4}, 24, Px(7, 7, 7)), false}, target, {6, 6}, false, {});
    EXPECT_EQ(target.Size(), (ImageSize{6, 6}));
    EXPECT_EQ(target.At(2, 1), Px(7, 7, 7));
    EXPECT_EQ(target.At(3, 4), Px(7, 7, 7));
    EXPECT_EQ(target.At(1, 1), Px(50, 50, 50));
    EXPECT_EQ(target.At(2, 0), Px(50, 50, 50));
}

TEST(Clipboard, FitSizeRules) {
    struct Row {
        const char* name;
        ImageSize picture, max;
        bool keep;
        ImageSize want;
    } rows[] = {
        {"wide", {100, 50}, {32, 32}, true, {32, 16}},
        {"tall", {50, 100}, {32, 32}, true, {16, 32}},
        {"stretched", {50, 100}, {32, 32}, false, {32, 32}},
        {"a thin line keeps one row", {1000, 1}, {32, 32}, true, {32, 1}},
        {"a thin column keeps one column", {1, 1000}, {48, 32}, true, {1, 32}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(FitSize(r.picture, r.max, r.keep), r.want);
    }
}

}  // namespace
}  // namespace velto::test
