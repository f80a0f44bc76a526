// GIF animations: frames made from cursor images (delays, the transparency
// key, disposal), GIF frames made into animated-cursor frames (format,
// over-imposing, progress and cancel), and one frame drawn.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "Corpus.h"
#include "ImportTestUtil.h"
#include "gif/GifImage.h"
#include "import/MyImport.h"
#include "platform/FileWriter.h"

namespace velto {
namespace {

using test::ScratchDir;
using test::TestService;

TmyImagePal Filled(ImageSize size, TmyPixel p, double rate = 0.3) {
    TmyImagePal image(size, 32);
    for (TmyPixel& q : image.Pixels()) q = p;
    image.SetRate(rate);
    return image;
}

// One frame made by AddGifFrame.
struct MadeFrame {
    TGIFImage gif;
    TGIFSubImage& Frame() { return gif.Images()[0]; }
    TGIFGraphicControlExtension& Gce() { return *Frame().GraphicControlExtension(); }
    TColor ColorAt(int x, int y) { return Frame().ColorMap().Colors(Frame().Pixels(x, y)); }
};

void Make(MadeFrame& out, TestService& s, const TmyImagePal& image) {
    s.service.AddGifFrame(out.gif, image);
    ASSERT_EQ(out.gif.Images().Count(), 1);
    ASSERT_NE(out.Frame().GraphicControlExtension(), nullptr);
}

TEST(AddGifFrame, DelayIsRateInHundredthsHalvesToEven) {
    struct Case {
        double rate;
        int delay;
    } cases[] = {{0.3, 30}, {0.125, 12}, {0.375, 38}, {0.1, 10}, {2.0, 200}, {1000.0, 65535}};
    for (const bool alpha : {true, false})
        for (const Case& c : cases) {
            TestService s;
            s.settings.ExportAlpha = alpha;
            MadeFrame m;
            Make(m, s, Filled({4, 4}, {10, 20, 30, 255}, c.rate));
            EXPECT_EQ(m.Gce().Delay, c.delay) << c.rate << " alpha " << alpha;
        }
}

TEST(AddGifFrame, AlphaThresholdKeyColourAndDisposal) {
    TestService s;
    // 126 vanishes; 127 is blended over white and becomes opaque.
    TmyImagePal image = Filled({2, 1}, {});
    image.At(0, 0) = {0, 0, 0, 126};
    image.At(1, 0) = {0, 0, 0, 127};
    MadeFrame m;
    Make(m, s, image);
    EXPECT_EQ(m.Gce().Disposal(), dmBackground);
    ASSERT_TRUE(m.Gce().Transparent());
    EXPECT_EQ(m.Frame().Pixels(0, 0), m.Gce().TransparentIndex);
    EXPECT_NE(m.Frame().Pixels(1, 0), m.Gce().TransparentIndex);
    EXPECT_EQ(m.ColorAt(1, 0), MakeColor(128, 128, 128));
}

TEST(AddGifFrame, OpaqueImageGetsDisposalButNoTransparency) {
    TestService s;
    MadeFrame m;
    Make(m, s, Filled({3, 3}, {200, 100, 50, 255}));
    EXPECT_EQ(m.Gce().Disposal(), dmBackground);
    EXPECT_FALSE(m.Gce().Transparent());
    EXPECT_EQ(m.ColorAt(1, 1), MakeColor(200, 100, 50));
}

// The key is the first candidate from white (blue fastest, then green, then
// red) with no colour of the picture within 14 on all channels.
TEST(AddGifFrame, KeyColourAvoidsColoursNearIt) {
    // The transparent pixel first shows the matte colour, so the key avoids it too.
    const TColor white = MakeColor(255, 255, 255), black = MakeColor(0, 0, 0);
    struct Case {
        std::vector<TmyPixel> opaque;  // the other pixels' colours
        TColor matte, key;
    } cases[] = {
        {{{255, 255, 255, 255}}, white, MakeColor(255, 255, 240)},
        {{{0, 0, 0, 255}}, white, MakeColor(255, 255, 240)},
        {{{0, 0, 0, 255}}, black, MakeColor(255, 255, 255)},
        {{{255, 255, 255, 255}, {255, 255, 240, 255}}, white, MakeColor(255, 255, 225)},
        {{{241, 255, 0, 255}}, black, MakeColor(255, 255, 255)},                        // blue far off
        {{{255, 241, 241, 255}, {255, 255, 0, 255}}, white, MakeColor(255, 255, 226)},  // 241 + 14 is taken
        {{{255, 255, 255, 255}, {255, 255, 240, 255}, {255, 255, 225, 255}, {255, 255, 210, 255},
          {255, 255, 195, 255}, {255, 255, 180, 255}, {255, 255, 165, 255}, {255, 255, 150, 255},
          {255, 255, 135, 255}, {255, 255, 120, 255}, {255, 255, 105, 255}, {255, 255, 90, 255},
          {255, 255, 75, 255}, {255, 255, 60, 255}, {255, 255, 45, 255}, {255, 255, 30, 255},
          {255, 255, 15, 255}, {255, 255, 0, 255}},
         white, MakeColor(255, 240, 255)},  // every blue of green 255 taken: green steps down
    };
    for (const Case& c : cases) {
        TestService s;
        s.settings.PrevColor = c.matte;
        TmyImagePal image(ImageSize{static_cast<int>(c.opaque.size()) + 1, 1}, 32);
        for (std::size_t i = 0; i < c.opaque.size(); ++i) image.At(static_cast<int>(i) + 1, 0) = c.opaque[i];
        MadeFrame m;
        Make(m, s, image);
        ASSERT_TRUE(m.Gce().Transparent());
        EXPECT_EQ(m.Frame().ColorMap().Colors(m.Gce().TransparentIndex), c.key) << c.opaque.size();
        EXPECT_EQ(m.ColorAt(0, 0), c.key);
    }
}

TEST(AddGifFrame, WithoutExportAlphaTheImageIsMattedAndOpaque) {
    TestService s;
    s.settings.ExportAlpha = false;
    s.settings.PrevColor = MakeColor(0, 0, 255);
    TmyImagePal image = Filled({2, 1}, {});
    image.At(1, 0) = {255, 0, 0, 255};
    MadeFrame m;
    Make(m, s, image);
    EXPECT_FALSE(m.Gce().Transparent());
    EXPECT_EQ(m.Gce().Disposal(), dmNone);
    EXPECT_EQ(m.ColorAt(0, 0), MakeColor(0, 0, 255));
    EXPECT_EQ(m.ColorAt(1, 0), MakeColor(255, 0, 0));
}

TEST(HasColorNear, StrictlyWithinFourteenOnEveryChannel) {
    TBitmap b;
    b.Allocate(1, 1, pf24bit);
    b.ScanLine(0)[0] = 100;  // B
    b.ScanLine(0)[1] = 100;  // G
    b.ScanLine(0)[2] = 100;  // R
    EXPECT_TRUE(tmyimport::HasColorNear(b, 114, 86, 100));
    EXPECT_FALSE(tmyimport::HasColorNear(b, 115, 100, 100));
    EXPECT_FALSE(tmyimport::HasColorNear(b, 100, 85, 100));
    EXPECT_FALSE(tmyimport::HasColorNear(b, 100, 100, 115));
}

TEST(SaveAnimationAsGif, OneFramePerImageNoLoop) {
    ScratchDir dir;
    TestService s;
    TmyANI doc;
    for (int i = 0; i < 3; ++i) {
        const int index = doc.AddImage({8, 8}, 32);
        for (TmyPixel& p : doc.Image(index).Pixels()) p = {static_cast<std::uint8_t>(80 * i), 10, 10, 255};
        doc.Image(index).SetRate(0.1 * (i + 1));
    }
    const std::string file = dir.File("a.gif");
    ASSERT_TRUE(s.service.SaveAnimationAsGif(file, doc));
    TGIFImage back;
    ASSERT_TRUE(back.LoadFromFile(file));
    ASSERT_EQ(back.Images().Count(), 3);
    for (int i = 0; i < 3; ++i) {
        TGIFSubImage& f = back.Images()[i];
        EXPECT_EQ(f.GraphicControlExtension()->Delay, 10 * (i + 1));
        EXPECT_EQ(f.UsedColorMap().Colors(f.Pixels(4, 4)), MakeColor(80 * i, 10, 10));
        EXPECT_EQ(f.Extensions().Find<TGIFAppExtNSLoop>(), nullptr);
    }
}

// A GIF of a 6 x 4 screen: frame k (k = 0, 1, 2) is a 2 x 2 block of colour
// k + 1 at (2k, 1) with a transparent corner; frame 3 is transparent
// throughout. With tail, an extension follows the last image (read back as
// a frame of extensions alone).
std::string WriteTestGif(const ScratchDir& dir, bool tail = false) {
    TGIFImage gif;
    gif.Header().Width = 6;
    gif.Header().Height = 4;
    for (TColor c : {MakeColor(0, 0, 0), MakeColor(255, 0, 0), MakeColor(0, 255, 0), MakeColor(0, 0, 255)})
        gif.GlobalColorMap().Add(c);
    for (int k = 0; k < 4; ++k) {
        auto frame = std::make_unique<TGIFSubImage>(gif);
        frame->SetBounds(k < 3 ? 2 * k : 0, k < 3 ? 1 : 0, 2, 2);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 2; ++x) frame->SetPixels(x, y, static_cast<std::uint8_t>(k < 3 ? k + 1 : 0));
        if (k < 3) frame->SetPixels(1, 1, 0);
        TGIFSubImage& added = gif.Images()[gif.Images().Add(std::move(frame))];
        auto& gce = added.Extensions().Add<TGIFGraphicControlExtension>();
        gce.Delay = 50;
        gce.SetTransparentColorIndex(0);
        gce.SetTransparent(true);
    }
    if (tail) {
        auto extensions = std::make_unique<TGIFSubImage>(gif);
        extensions->Extensions().Add<TGIFGraphicControlExtension>().Delay = 7;
        gif.Images().Add(std::move(extensions));
    }
    const std::string file = dir.File(tail ? "tail.gif" : "frames.gif");
    EXPECT_TRUE(gif.SaveToFile(file));
    return file;
}

TEST(ImportAnimatedGif, FramesTakeTheDocumentsFormat) {
    ScratchDir dir;
    const std::string file = WriteTestGif(dir);
    TestService s;
    s.settings.ImportAction = fpCrop;
    TmyANI doc;
    doc.AddImage({3, 2}, 8);
    ASSERT_TRUE(s.service.ImportAnimatedGif(doc, file));
    ASSERT_EQ(doc.Count(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(doc.Image(i).Size(), (ImageSize{3, 2}));
        EXPECT_EQ(doc.Image(i).BitCount, 8);
        EXPECT_DOUBLE_EQ(doc.Image(i).Rate(), 0.3) << "GIF delays are not copied";
    }
    // Cropped top-left 3 x 2 of frame 0 alone on black: row 1 holds its block.
    EXPECT_EQ(doc.Image(0).At(0, 0), TmyPixel{});
    EXPECT_EQ(doc.Image(0).At(0, 1), (TmyPixel{255, 0, 0, 255}));
    EXPECT_EQ(doc.Image(0).At(1, 1), (TmyPixel{255, 0, 0, 255}));
    // Frame 3 covers nothing opaquely: an opaque black frame.
    for (const TmyPixel& p : doc.Image(3).Pixels()) EXPECT_EQ(p, (TmyPixel{0, 0, 0, 255}));
}

TEST(ImportAnimatedGif, OverimposeAccumulatesFramesInTurn) {
    ScratchDir dir;
    const std::string file = WriteTestGif(dir);
    for (const bool overimpose : {false, true}) {
        TestService s;
        s.settings.Overimpose = overimpose;
        TmyANI doc;
        doc.AddImage({6, 4}, 32);
        ASSERT_TRUE(s.service.ImportAnimatedGif(doc, file));
        ASSERT_EQ(doc.Count(), 4);
        const TmyImagePal& third = doc.Image(2);
        EXPECT_EQ(third.At(4, 1), (TmyPixel{0, 0, 255, 255}));
        // Frame 0's block is there only when over-imposed.
        EXPECT_EQ(third.At(0, 1), overimpose ? (TmyPixel{255, 0, 0, 255}) : TmyPixel{});
        EXPECT_EQ(third.At(2, 2), overimpose ? (TmyPixel{0, 255, 0, 255}) : TmyPixel{});
        // Frame 3 adds nothing: with over-imposing it shows frames 0 to 2.
        EXPECT_EQ(doc.Image(3).Equals(third), overimpose);
    }
}

TEST(ImportAnimatedGif, ProgressCancelKeepsFramesAdded) {
    ScratchDir dir;
    const std::string file = WriteTestGif(dir);
    struct Case {
        bool allowAdvanced;
        int cancelAtStep;  // 0: never
        int frames, begun, steps, ended;
    } cases[] = {
        {true, 0, 4, 1, 4, 1},
        {true, 2, 2, 1, 2, 1},
        {true, 1, 1, 1, 1, 1},
        {false, 1, 4, 0, 0, 0},  // no window, nothing to cancel with
    };
    for (const Case& c : cases) {
        TestService s;
        s.service.AllowAdvanced = c.allowAdvanced;
        int begun = 0, steps = 0, ended = 0, maximum = 0, pumped = 0;
        s.service.Hooks.ProgressBegin = [&](int max) {
            ++begun;
            maximum = max;
        };
        s.service.Hooks.ProgressStep = [&] { return ++steps == c.cancelAtStep; };
        s.service.Hooks.ProgressEnd = [&] { ++ended; };
        s.service.Hooks.ProcessEvents = [&] { ++pumped; };
        TmyANI doc;
        doc.AddImage({8, 8}, 32);
        ASSERT_TRUE(s.service.ImportAnimatedGif(doc, file));
        EXPECT_EQ(doc.Count(), c.frames);
        EXPECT_EQ(begun, c.begun);
        EXPECT_EQ(steps, c.steps);
        EXPECT_EQ(ended, c.ended);
        EXPECT_EQ(pumped, c.frames);
        if (begun) {
            EXPECT_EQ(maximum, 4);
        }
        EXPECT_TRUE(s.service.AllowAdvanced);
    }
}

TEST(ImportAnimatedGif, EmptyDocumentAndUnreadableFile) {
    ScratchDir dir;
    const std::string file = WriteTestGif(dir);
    TestService s;
    TmyANI empty;
    ASSERT_TRUE(s.service.ImportAnimatedGif(empty, file));
    ASSERT_EQ(empty.Count(), 4);
    EXPECT_EQ(empty.Image(0).Size(), (ImageSize{32, 32}));
    EXPECT_EQ(empty.Image(0).BitCount, 32);

    TmyANI doc;
    doc.AddImage({16, 16}, 32);
    FileError error;
    EXPECT_FALSE(s.service.ImportAnimatedGif(doc, dir.File("missing.gif"), &error));
    EXPECT_EQ(error, FileError::NotFound);
    EXPECT_EQ(doc.Count(), 1) << "the document's image stays when nothing could be read";
    const std::string junk = dir.File("junk.gif");
    ASSERT_TRUE(WriteWholeFile(junk, std::vector<std::uint8_t>{'G', 'I', 'F', '8', '9', 'a', 1}));
    EXPECT_FALSE(s.service.ImportAnimatedGif(doc, junk));
    EXPECT_EQ(doc.Count(), 1);
}

// Extensions after the last image, or a GIF of extensions alone: only
// frames with an image count, and a GIF without one is no animation at all.
TEST(ImportAnimatedGif, FramesWithoutAnImageAreNoFrames) {
    ScratchDir dir;
    const std::string file = WriteTestGif(dir, true);
    {
        TGIFImage gif;
        ASSERT_TRUE(gif.LoadFromFile(file));
        ASSERT_EQ(gif.Images().Count(), 5) << "the tail is read as a frame of its own";
        EXPECT_EQ(gif.PictureFrames(), (std::vector<int>{0, 1, 2, 3}));
    }
    TestService s;
    int maximum = 0;
    s.service.Hooks.ProgressBegin = [&](int max) { maximum = max; };
    TmyANI doc;
    doc.AddImage({6, 4}, 32);
    ASSERT_TRUE(s.service.ImportAnimatedGif(doc, file));
    EXPECT_EQ(doc.Count(), 4);
    EXPECT_EQ(maximum, 4);

    // Only extensions: refused, and the document keeps its image.
    TGIFImage bare;
    bare.Header().Width = 4;
    bare.Header().Height = 4;
    bare.GlobalColorMap().Add(MakeColor(1, 2, 3));
    auto extensions = std::make_unique<TGIFSubImage>(bare);
    extensions->Extensions().Add<TGIFGraphicControlExtension>();
    bare.Images().Add(std::move(extensions));
    const std::string none = dir.File("none.gif");
    ASSERT_TRUE(bare.SaveToFile(none));
    TmyANI kept;
    kept.AddImage({8, 8}, 32);
    EXPECT_FALSE(s.service.ImportAnimatedGif(kept, none));
    EXPECT_EQ(kept.Count(), 1);
    EXPECT_EQ(kept.Image(0).Size(), (ImageSize{8, 8}));
    TmyImagePal target({8, 8}, 32);
    EXPECT_FALSE(s.service.LoadGif(target, none, false));
    EXPECT_STREQ(s.service.LoadImageFile(target, none, false, true).MessageKey, "msgNotGIF");
}

TEST(ImportAnimatedGif, CommentsAfterTheLastImageOfASample) {
    VELTO_NEED_CORPUS();
    TestService s;
    TmyANI doc;
    doc.AddImage({16, 16}, 32);
    ASSERT_TRUE(s.service.ImportAnimatedGif(doc, test::Corpus("pillow/multiple_comments.gif")));
    EXPECT_EQ(doc.Count(), 5);
}

TEST(RenderGifFrame, OpaquePixelsOfTheFrameAtItsPlace) {
    ScratchDir dir;
    TGIFImage gif;
    ASSERT_TRUE(gif.LoadFromFile(WriteTestGif(dir)));
    TBitmap bitmap;
    bitmap.Allocate(6, 4, pf32bit);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) bitmap.ScanLine(y)[4 * x + 1] = 77;  // green 77, alpha 0
    RenderGifFrame(bitmap, gif, 1);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) {
            const std::uint8_t* p = bitmap.ScanLine(y) + 4 * x;
            const bool opaque = (x == 2 || x == 3) && (y == 1 || y == 2) && !(x == 3 && y == 2);
            EXPECT_EQ(p[3], opaque ? 255 : 0) << x << "," << y;
            EXPECT_EQ(p[1], opaque ? 255 : 77) << x << "," << y;
        }
}

}  // namespace
}  // namespace velto
