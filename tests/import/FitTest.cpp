// The one conversion into a cursor image: centring, alpha rules, the 1 x 1
// target, and the fitting policies with their hooks.
#include <gtest/gtest.h>

#include "ImportTestUtil.h"
#include "import/MyImport.h"

namespace velto {
namespace {

using test::PatternBitmap;
using test::PatternPixel;
using test::TestService;

const TmyPixel kMarker{9, 8, 7, 6};

TmyImagePal MarkedTarget(ImageSize size) {
    TmyImagePal t(size, 32);
    for (TmyPixel& p : t.Pixels()) p = kMarker;
    return t;
}

// Where a smaller picture lands and what stays around it.
TEST(BitmapToImage, SmallerPictureIsCentredOpaqueAndLeavesTheRest) {
    struct Case {
        ImageSize target, picture;
        int offX, offY;
    } cases[] = {
        {{32, 32}, {10, 10}, 11, 11}, {{32, 32}, {32, 5}, 0, 13}, {{16, 16}, {15, 16}, 0, 0},
        {{48, 32}, {7, 3}, 20, 14},   {{256, 256}, {1, 1}, 127, 127},
    };
    for (const Case& c : cases) {
        TestService s;
        TBitmap bitmap = PatternBitmap(c.picture.Width, c.picture.Height, false);
        TmyImagePal target = MarkedTarget(c.target);
        ASSERT_TRUE(s.service.BitmapToImage(bitmap, target, c.target, false, true));
        EXPECT_EQ(bitmap.PixelFormat(), pf32bit) << "the caller's bitmap is made 32 bits";
        for (int y = 0; y < c.target.Height; ++y)
            for (int x = 0; x < c.target.Width; ++x) {
                const int px = x - c.offX, py = y - c.offY;
                const bool inside = px >= 0 && py >= 0 && px < c.picture.Width && py < c.picture.Height;
                ASSERT_EQ(target.At(x, y), inside ? PatternPixel(px, py) : kMarker)
                    << c.target.Width << "x" << c.target.Height << " at " << x << "," << y;
            }
    }
}

TEST(BitmapToImage, AlphaRulesOfThirtyTwoBitBitmaps) {
    struct Case {
        std::uint8_t alpha;
        bool keepAlpha;
        std::uint8_t expected;  // alpha of every pixel; 0 means (0, 0, 0, 0)
    } cases[] = {
        {0, false, 255},    // all zero and not kept: treated as absent
        {0, true, 0},       // kept even when all zero
        {128, false, 128},  // a real alpha is kept either way
        {128, true, 128},
        {255, false, 255},
    };
    for (const Case& c : cases) {
        TestService s;
        TBitmap bitmap = PatternBitmap(4, 3, true, c.alpha);
        TmyImagePal target({4, 3}, 32);
        ASSERT_TRUE(s.service.BitmapToImage(bitmap, target, {4, 3}, c.keepAlpha, true));
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x)
                EXPECT_EQ(target.At(x, y), c.expected == 0 ? TmyPixel{} : PatternPixel(x, y, c.expected))
                    << int(c.alpha) << " keep " << c.keepAlpha;
    }
}

TEST(BitmapToImage, OneByOneTargetTakesTheSizeOfAFittingBitmap) {
    TestService s;
    TBitmap bitmap = PatternBitmap(20, 7, false);
    TmyImagePal target({1, 1}, 32);
    ASSERT_TRUE(s.service.BitmapToImage(bitmap, target, {64, 64}, false, false));
    ASSERT_EQ(target.Size(), (ImageSize{20, 7}));
    EXPECT_EQ(target.At(19, 6), PatternPixel(19, 6));
    // One larger than the maximum is fitted by the policy instead.
    TBitmap large = PatternBitmap(100, 50, false);
    s.settings.ClipboardAction = fpCrop;
    TmyImagePal other({1, 1}, 32);
    ASSERT_TRUE(s.service.BitmapToImage(large, other, {64, 64}, false, false));
    EXPECT_EQ(other.Size(), (ImageSize{64, 64}));
}

// The resize policy: the size FitSize gives, centred with truncating offsets.
TEST(BitmapToImage, ResizePolicyFitsAndCentres) {
    struct Case {
        ImageSize picture, target;
        bool keepAspect;
        int x, y, w, h;
    } cases[] = {
        {{100, 50}, {32, 32}, true, 0, 8, 32, 16},  {{100, 50}, {32, 32}, false, 0, 0, 32, 32},
        {{50, 100}, {32, 32}, true, 8, 0, 16, 32},  {{1000, 3}, {32, 32}, true, 0, 15, 32, 1},
        {{33, 33}, {32, 16}, true, 8, 0, 16, 16},   {{300, 200}, {48, 48}, true, 0, 8, 48, 32},
    };
    for (const Case& c : cases) {
        TestService s;
        s.settings.ImportAction = fpResize;
        s.settings.KeepAspectRatio = c.keepAspect;
        TBitmap bitmap = PatternBitmap(c.picture.Width, c.picture.Height, false);
        TmyImagePal target = MarkedTarget(c.target);
        ASSERT_TRUE(s.service.BitmapToImage(bitmap, target, c.target, false, true));
        ASSERT_EQ(target.Size(), c.target);
        for (int y = 0; y < c.target.Height; ++y)
            for (int x = 0; x < c.target.Width; ++x) {
                const bool inside = x >= c.x && y >= c.y && x < c.x + c.w && y < c.y + c.h;
                // The target was resized first: outside the picture it is transparent.
                ASSERT_EQ(target.At(x, y).A, inside ? 255 : 0) << x << "," << y;
            }
    }
}

TEST(BitmapToImage, CropPolicyTakesTheTopLeftCorner) {
    struct Case {
        ImageSize picture, target;
        int x, y, w, h;
    } cases[] = {
        {{100, 10}, {32, 32}, 0, 11, 32, 10},
        {{10, 100}, {32, 32}, 11, 0, 10, 32},
        {{40, 40}, {32, 16}, 0, 0, 32, 16},
    };
    for (const Case& c : cases) {
        TestService s;
        s.settings.ImportAction = fpCrop;
        TBitmap bitmap = PatternBitmap(c.picture.Width, c.picture.Height, false);
        TmyImagePal target = MarkedTarget(c.target);
        ASSERT_TRUE(s.service.BitmapToImage(bitmap, target, c.target, false, true));
        for (int y = 0; y < c.target.Height; ++y)
            for (int x = 0; x < c.target.Width; ++x) {
                const bool inside = x >= c.x && y >= c.y && x < c.x + c.w && y < c.y + c.h;
                ASSERT_EQ(target.At(x, y), inside ? PatternPixel(x - c.x, y - c.y) : TmyPixel{}) << x << "," << y;
            }
    }
}

// Which policy runs: the setting by IsImport, AllowAdvanced, and the answers
// of the question and the advanced dialog.
TEST(BitmapToImage, PolicyChoiceAndHooks) {
    enum Outcome { Resized, Cropped, Advanced, CancelledAdvanced, Untouched };
    struct Case {
        std::uint8_t importAction, clipboardAction;
        bool isImport, allowAdvanced;
        int answer;        // of the question
        bool advancedOk;   // of the dialog
        Outcome outcome;
        int asked, shown;  // how often each hook ran
    } cases[] = {
        {fpResize, fpCrop, true, true, -1, true, Resized, 0, 0},
        {fpResize, fpCrop, false, true, -1, true, Cropped, 0, 0},
        {fpAdvanced, fpResize, true, true, -1, true, Advanced, 0, 1},
        {fpAdvanced, fpResize, true, true, -1, false, CancelledAdvanced, 0, 1},
        {fpAdvanced, fpResize, true, false, -1, true, Resized, 0, 0},
        {fpAsk, fpResize, true, false, 1, true, Resized, 0, 0},
        {fpAsk, fpResize, true, true, 0, true, Resized, 1, 0},
        {fpAsk, fpResize, true, true, 1, true, Cropped, 1, 0},
        {fpAsk, fpResize, true, true, 2, true, Advanced, 1, 1},
        {fpResize, fpAsk, false, true, 2, false, CancelledAdvanced, 1, 1},
        {4, fpResize, true, true, -1, true, Untouched, 0, 0},
        {255, fpResize, true, false, -1, true, Untouched, 0, 0},
    };
    for (const Case& c : cases) {
        TestService s;
        s.settings.ImportAction = c.importAction;
        s.settings.ClipboardAction = c.clipboardAction;
        s.service.AllowAdvanced = c.allowAdvanced;
        int asked = 0, shown = 0;
        bool askedAsImport = false;
        s.service.Hooks.AskPolicy = [&](bool isImport) {
            ++asked;
            askedAsImport = isImport;
            return c.answer;
        };
        s.service.Hooks.AdvancedImport = [&](TBitmap& source, TmyImagePal& work) {
            ++shown;
            EXPECT_EQ(source.Width(), 40);
            EXPECT_EQ(source.PixelFormat(), pf32bit);
            EXPECT_EQ(work.Size(), (ImageSize{16, 16}));
            for (TmyPixel& p : work.Pixels()) p = {1, 2, 3, 200};
            return c.advancedOk;
        };
        TBitmap bitmap = PatternBitmap(40, 20, false);
        TmyImagePal target = MarkedTarget({16, 16});
        s.service.Cancelled = !c.advancedOk;  // the conversion resets it
        ASSERT_TRUE(s.service.BitmapToImage(bitmap, target, {16, 16}, false, c.isImport));
        EXPECT_EQ(asked, c.asked);
        EXPECT_EQ(shown, c.shown);
        if (asked) {
            EXPECT_EQ(askedAsImport, c.isImport);
        }
        EXPECT_EQ(s.service.Cancelled, c.outcome == CancelledAdvanced);
        switch (c.outcome) {
        case Resized:  // 40 x 20 into 16 x 16: 16 x 8 at y = 4
            EXPECT_EQ(target.At(0, 3), TmyPixel{});
            EXPECT_EQ(target.At(0, 4).A, 255);
            break;
        case Cropped:  // the top-left 16 x 16
            EXPECT_EQ(target.At(0, 0), PatternPixel(0, 0));
            EXPECT_EQ(target.At(15, 15), PatternPixel(15, 15));
            break;
        case Advanced:
            EXPECT_EQ(target.At(5, 5), (TmyPixel{1, 2, 3, 200}));
            EXPECT_EQ(target.Zoom, 32);
            break;
        case CancelledAdvanced:
        case Untouched:
            EXPECT_EQ(target.At(5, 5), kMarker);
            break;
        }
    }
}

TEST(BitmapToImage, AdvancedWithoutHookCountsAsCancelled) {
    TestService s;
    s.settings.ImportAction = fpAdvanced;
    TBitmap bitmap = PatternBitmap(40, 20, false);
    TmyImagePal target = MarkedTarget({16, 16});
    ASSERT_TRUE(s.service.BitmapToImage(bitmap, target, {16, 16}, false, true));
    EXPECT_TRUE(s.service.Cancelled);
    EXPECT_EQ(target.At(0, 0), kMarker);
}

TEST(BitmapToImage, EmptyBitmapFailsAndBusyCursorAlwaysEnds) {
    TestService s;
    int busy = 0;
    s.service.Hooks.Busy = [&](bool on) { busy = on ? 1 : 0; };
    TBitmap empty;
    TmyImagePal target = MarkedTarget({8, 8});
    EXPECT_FALSE(s.service.BitmapToImage(empty, target, {8, 8}, false, true));
    EXPECT_EQ(target.At(0, 0), kMarker);
    s.settings.ImportAction = fpAdvanced;
    s.service.Hooks.AdvancedImport = [&](TBitmap&, TmyImagePal&) -> bool {
        EXPECT_EQ(busy, 1);
        throw std::runtime_error("dialog failed");
    };
    TBitmap bitmap = PatternBitmap(40, 20, false);
    EXPECT_THROW(s.service.BitmapToImage(bitmap, target, {8, 8}, false, true), std::runtime_error);
    EXPECT_EQ(busy, 0);
}

TEST(FitSize, ProportionsTruncationAndNoDivisionByZero) {
    struct Case {
        ImageSize picture, max;
        bool keepAspect;
        ImageSize expected;
    } cases[] = {
        {{100, 50}, {32, 32}, true, {32, 16}},  {{100, 50}, {32, 32}, false, {32, 32}},
        {{50, 100}, {32, 32}, true, {16, 32}},  {{3, 1000}, {32, 32}, true, {1, 32}},
        {{1000, 3}, {32, 32}, true, {32, 1}},   {{10000, 1}, {32, 32}, true, {32, 1}},
        {{0, 10}, {32, 32}, true, {1, 32}},     {{10, 0}, {32, 32}, true, {32, 1}},
        {{0, 0}, {0, 0}, true, {1, 1}},         {{7, 3}, {256, 256}, true, {256, 109}},
        {{65535, 65535}, {256, 48}, true, {48, 48}},
    };
    for (const Case& c : cases) {
        TestService s;
        s.settings.KeepAspectRatio = c.keepAspect;
        EXPECT_EQ(s.service.FitSize(c.picture, c.max), c.expected)
            << c.picture.Width << "x" << c.picture.Height << " into " << c.max.Width << "x" << c.max.Height;
    }
    EXPECT_EQ(tmyimport::ClampSize(100, 50, 32), 32);
    EXPECT_EQ(tmyimport::ClampSize(10, 20, 32), 20);
}

}  // namespace
}  // namespace velto
