// A GIF image as a picture: frames added from bitmaps, copies of another
// image (what is copied and what is not, progress through the source's
// handler), the logical screen's size against its frames, and optimizing
// (each option alone, and screens that look the same after it).
#include "GifTestUtil.h"
#include "gif/GifCompose.h"
#include "gif/GifImageOps.h"

using namespace giftest;

namespace {

std::vector<std::string> Screens(const TGIFImage& gif) {
    std::vector<std::string> out;
    TGIFComposer c(gif);
    for (int i = 0; i < gif.Images().Count(); ++i) {
        c.Step(i);
        const auto& px = c.Canvas().Pixels;
        out.push_back(Hash(Bytes(reinterpret_cast<const std::uint8_t*>(px.data()),
                                 reinterpret_cast<const std::uint8_t*>(px.data() + px.size()))));
    }
    return out;
}

TEST(GifImageOps, AddAndAssignBitmaps) {
    TGIFImage gif;
    TBitmap one;
    ASSERT_TRUE(one.Allocate(1, 1, pf24bit));
    EXPECT_EQ(GIFAddBitmap(gif, one), 0);
    EXPECT_EQ(gif.Width(), 1);
    EXPECT_EQ(gif.Height(), 1);
    TBitmap wide;
    ASSERT_TRUE(wide.Allocate(5, 2, pf8bit));
    EXPECT_EQ(GIFAddBitmap(gif, wide), 1);
    EXPECT_EQ(gif.Width(), 5) << "the screen grows";
    GIFAssignBitmap(gif, one);
    EXPECT_EQ(gif.Images().Count(), 1);
}

TEST(GifImageOps, CopyOfAnotherImage) {
    TGIFImage source;
    BuildFeatureGif(source);
    source.DrawOptions = 0x0102;
    source.ColorReduction = 7;
    source.DitherMode = 1;
    source.FixedFrame = 2;
    source.PaintBackgroundColor = MakeColor(1, 2, 3);
    source.ThreadPriority = 1;
    source.ReductionBits = 4;
    source.Compression = 1;
    source.AnimationSpeed = 50;
    std::vector<std::string> progress;
    source.OnProgress = [&](const void*, TProgressStage s, int percent, bool, const TRect&, const std::string& m) {
        progress.push_back(m + std::to_string(int(s)) + ":" + std::to_string(percent));
    };
    TGIFImage copy;
    copy.OnWarning = [](const void*, int, const std::string&) {};
    GIFAssignImage(copy, source);
    const auto reported = progress;
    const int compression = copy.Compression;
    copy.Compression = 1;
    EXPECT_EQ(Save(copy), Save(source)) << "header and frames";
    EXPECT_EQ(copy.DrawOptions, 0x0102);
    EXPECT_EQ(copy.ColorReduction, 7);
    EXPECT_EQ(copy.DitherMode, 1);
    EXPECT_EQ(copy.FixedFrame, 2);
    EXPECT_EQ(copy.PaintBackgroundColor, MakeColor(1, 2, 3));
    EXPECT_EQ(copy.ThreadPriority, 1);
    EXPECT_EQ(copy.ReductionBits, 8) << "not copied";
    EXPECT_EQ(compression, 0) << "not copied";
    EXPECT_EQ(copy.AnimationSpeed, 100) << "not copied";
    EXPECT_FALSE(copy.OnWarning);
    EXPECT_FALSE(copy.OnProgress);
    ASSERT_GE(reported.size(), 3u);
    EXPECT_EQ(reported.front(), "Copying...0:0");
    EXPECT_EQ(reported.back(), "Copying...2:100");
    EXPECT_NE(std::find(reported.begin(), reported.end(), "Copying...1:40"), reported.end()) << "2 of 5 frames";
    GIFAssignImage(copy, copy);
    EXPECT_EQ(copy.Images().Count(), 5) << "itself: nothing";
}

TEST(GifImageOps, ScreenSizeAgainstFrames) {
    TGIFImage gif;
    AddFrame(gif, 10, 4, 20, 6, 4, -1);
    EXPECT_THROW(GIFSetWidth(gif, 29), GIFException);
    EXPECT_EQ(gif.Width(), 30) << "unchanged";
    EXPECT_THROW(GIFSetHeight(gif, 9), GIFException);
    GIFSetWidth(gif, 30);
    GIFSetWidth(gif, 100000);
    EXPECT_EQ(gif.Width(), 65535);
    GIFSetHeight(gif, 12);
    EXPECT_EQ(gif.Height(), 12);
    try {
        GIFSetWidth(gif, 0);
        FAIL();
    } catch (const GIFException& e) {
        EXPECT_STREQ(e.what(), "Image width too small for contained frames");
    }
}

TEST(GifImageOps, OptimizeEachOption) {
    {
        SCOPED_TRACE("an empty image: nothing, not even progress");
        TGIFImage gif;
        bool reported = false;
        gif.OnProgress = [&](const void*, TProgressStage, int, bool, const TRect&, const std::string&) { reported = true; };
        GIFOptimize(gif, 0x1F);
        EXPECT_FALSE(reported);
    }
    {
        SCOPED_TRACE("trim: a fully transparent middle frame goes, its delay to the transparent frame before");
        TGIFImage gif;
        for (int i = 0; i < 4; ++i) gif.GlobalColorMap().Add(MakeColor(std::uint8_t(i * 50), 0, 0));
        AddFrame(gif, 0, 0, 4, 4, 0, 1, 3, false, 10);
        TGIFSubImage& middle = AddFrame(gif, 0, 0, 4, 4, 0, 1, 2, false, 25);
        std::fill(middle.Data(), middle.Data() + middle.DataSize(), 2);
        TGIFSubImage& last = AddFrame(gif, 0, 0, 4, 4, 0, 1, 0, false, 5);
        std::fill(last.Data(), last.Data() + last.DataSize(), 0);
        last.SetPixels(1, 2, 3);
        GIFOptimize(gif, ooTrim);
        ASSERT_EQ(gif.Images().Count(), 2);
        EXPECT_EQ(gif.Images()[0].GraphicControlExtension()->Delay, 35);
        EXPECT_EQ(gif.Images()[1].BoundsRect().Left, 1);
        EXPECT_EQ(gif.Images()[1].Width(), 1) << "cut to its one visible pixel";
    }
    {
        SCOPED_TRACE("tidy");
        TGIFImage gif;
        for (int i = 0; i < 4; ++i) gif.GlobalColorMap().Add(MakeColor(std::uint8_t(i * 50), 0, 0));
        TGIFSubImage& a = AddFrame(gif, 1, 1, 2, 2, 0, 2, 3, false, 10);  // disposal 2, the next opaque over it
        std::fill(a.Data(), a.Data() + a.DataSize(), 1);                  // index 3 unused
        a.Extensions().Add<TGIFAppExtNSLoop>();
        a.Extensions().Add<TGIFCommentExtension>();
        TGIFSubImage& b = AddFrame(gif, 0, 0, 4, 4, 0, 1, -1, false, 0);  // a needless control extension
        b.Extensions().Add<TGIFAppExtNSLoop>();
        b.Extensions().Add<TGIFTextExtension>();
        GIFOptimize(gif, ooTidy);
        EXPECT_FALSE(a.Transparent()) << "its transparent index was never used";
        EXPECT_EQ(a.GraphicControlExtension()->Disposal(), 0);
        ASSERT_EQ(a.Extensions().Count(), 2) << "the loop of frame 0 stays, the comment goes";
        EXPECT_NE(a.Extensions().Find<TGIFAppExtNSLoop>(), nullptr);
        EXPECT_EQ(b.Extensions().Count(), 0);
        EXPECT_EQ(b.GraphicControlExtension(), nullptr);
    }
    {
        SCOPED_TRACE("sort colours: most used first");
        TGIFImage gif;
        for (int i = 0; i < 4; ++i) gif.GlobalColorMap().Add(MakeColor(std::uint8_t(i * 50), 0, 0));
        TGIFSubImage& f = AddFrame(gif, 0, 0, 3, 1, 0, -1);
        f.SetPixels(0, 0, 2), f.SetPixels(1, 0, 2), f.SetPixels(2, 0, 1);
        const auto before = Screens(gif);
        GIFOptimize(gif, ooSortColors);
        EXPECT_EQ(gif.GlobalColorMap().Count(), 2);
        EXPECT_EQ(f.Pixels(0, 0), 0);
        EXPECT_EQ(Screens(gif), before);
    }
    {
        SCOPED_TRACE("a reduction by a given palette is refused without tidy, nothing changed");
        TGIFImage gif;
        BuildFeatureGif(gif);
        const Bytes before = Save(gif);
        EXPECT_THROW(GIFOptimize(gif, ooReduce | ooTrim, TReductionMethod::crGivenPalette), GIFException);
        EXPECT_EQ(Save(gif), before);
        GIFOptimize(gif, ooReduce | ooTidy, TReductionMethod::crGivenPalette);
    }
}

// Blanking repeated pixels, trimming and tidying change the file, not what a
// player shows.
TEST(GifImageOps, OptimizedAnimationsLookTheSame) {
    TGIFImage gif;
    for (int i = 0; i < 16; ++i) gif.GlobalColorMap().Add(MakeColor(std::uint8_t(i * 16), std::uint8_t(i), 200));
    for (int i = 0; i < 5; ++i) {
        TGIFSubImage& f = AddFrame(gif, i, i / 2, 20 - i, 12, 0, i == 2 ? 3 : 1, i % 2 ? 15 : -1, false, 8);
        for (int y = 0; y < f.Height(); ++y)
            for (int x = 0; x < f.Width(); ++x) f.SetPixels(x, y, std::uint8_t((x / 3 + y / 4 + (x == i) * 5) % 15));
    }
    const auto before = Screens(gif);
    GIFOptimize(gif, ooBlank | ooTrim | ooTidy);
    EXPECT_EQ(Screens(gif), before);
    EXPECT_TRUE(gif.Images()[1].Transparent());
}

}  // namespace
