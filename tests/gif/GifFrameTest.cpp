// Frames: whole images written and read back, bounds and the logical screen,
// pixel access, rendering with the transparency mask, assignment from frames
// and bitmaps, trimming and blanking.
#include "GifTestUtil.h"

using namespace giftest;

namespace {

// What a frame holds, as text for comparison.
std::string Describe(const TGIFSubImage& f) {
    std::string s = std::to_string(f.Left()) + "," + std::to_string(f.Top()) + " " + std::to_string(f.Width()) + "x" +
                    std::to_string(f.Height()) + (f.Interlaced() ? " interlaced" : "") + " pixels " +
                    Hash(Bytes(f.Data(), f.Data() + f.DataSize())) + " map";
    for (const TGIFColor& c : f.ColorMap().Entries()) s += " " + std::to_string(c.Red) + "/" + std::to_string(c.Blue);
    for (int i = 0; i < f.Extensions().Count(); ++i) {
        const TGIFExtension& e = f.Extensions()[i];
        s += std::string(" ") + e.Class().Name;
        if (auto* g = dynamic_cast<const TGIFGraphicControlExtension*>(&e))
            s += "(" + std::to_string(g->Packed) + "," + std::to_string(g->Delay) + "," + std::to_string(g->TransparentIndex) + ")";
        if (auto* c = dynamic_cast<const TGIFCommentExtension*>(&e))
            for (const auto& line : c->Text) s += "[" + line + "]";
        if (auto* l = dynamic_cast<const TGIFAppExtNSLoop*>(&e)) s += "(" + std::to_string(l->Loops) + ")";
    }
    return s;
}

std::vector<std::string> Describe(const TGIFImage& gif) {
    std::vector<std::string> out = {std::to_string(gif.Width()) + "x" + std::to_string(gif.Height())};
    for (int i = 0; i < gif.Images().Count(); ++i) out.push_back(Describe(gif.Images()[i]));
    return out;
}

// Written with either encoder and read back, every frame comes back as it
// was: descriptor, interlacing, pixels, extensions; local maps come back
// padded to a power of two.
TEST(GifFrames, WrittenAndReadBack) {
    for (const std::uint8_t compression : {0, 1}) {
        SCOPED_TRACE(int(compression));
        TGIFImage gif;
        const Bytes file = FeatureFile(gif, compression);
        EXPECT_EQ(std::string(file.begin(), file.begin() + 6), "GIF89a");
        TGIFImage back;
        WarningLog log;
        log.Attach(back);
        ASSERT_EQ(Load(back, file), "");
        EXPECT_TRUE(log.texts.empty());
        for (int i = 0; i < 3; ++i) gif.Images()[1].ColorMap().Add(clBlack);  // 5 colours are written as 8
        EXPECT_EQ(Describe(back), Describe(gif));
        back.Compression = compression;
        EXPECT_EQ(Save(back), file);
    }
}

TEST(GifFrames, BoundsGrowTheScreen) {
    TGIFImage gif;
    WarningLog log;
    log.Attach(gif);
    TGIFSubImage& a = AddFrame(gif, 0, 0, 16, 8, 0, -1);
    EXPECT_EQ(gif.Width(), 16);  // an empty screen grows silently
    EXPECT_TRUE(log.texts.empty());
    TGIFSubImage& b = AddFrame(gif, 10, 0, 20, 4, 0, -1);
    EXPECT_EQ(gif.Width(), 30);
    EXPECT_EQ(log.texts, (std::vector<std::string>{"Image width too small for contained frames",
                                                   "Image exceeds Logical Screen size"}));
    log.texts.clear();
    b.SetTop(6);
    EXPECT_EQ(gif.Height(), 10);
    EXPECT_EQ(log.texts, (std::vector<std::string>{"Image height too small for contained frames",
                                                   "Image exceeds Logical Screen size"}));
    // A new size gives new, zeroed pixels; a move keeps them.
    a.Data()[5] = 7;
    a.SetLeft(1);
    EXPECT_EQ(a.Pixels(5, 0), 7);
    a.SetWidth(3);
    EXPECT_EQ(a.DataSize(), 24u);
    EXPECT_EQ(a.Pixels(2, 7), 0);
    a.SetBounds(-5, 70000, 2, 2);
    EXPECT_EQ(a.BoundsRect().Left, 0);
    EXPECT_EQ(a.BoundsRect().Top, 65535);
    EXPECT_EQ(gif.Height(), 65535);
    // Pixel access is checked.
    EXPECT_THROW(a.Pixels(2, 0), GIFException);   // "Invalid pixel coordinates"
    EXPECT_THROW(a.Scanline(-1), GIFException);
    a.SetBounds(0, 0, 0, 5);
    EXPECT_THROW(a.Pixels(0, 0), GIFException);   // "Image is empty"
    EXPECT_THROW(a.EnsurePixels(), GIFException);
    // Clamped to 65535 x 65535, which is beyond the pixel limit: refused before allocating.
    EXPECT_THROW(a.SetBounds(0, 0, 300000, 300000), GIFException);
    EXPECT_EQ(a.DataSize(), 0u);
}

// The bitmap holds the pixels with the frame's colours (padded with black);
// the mask has a bit set where the transparent index is, and exists only
// when some pixel is transparent.
TEST(GifFrames, RendersBitmapAndMask) {
    TGIFImage gif;
    for (int i = 0; i < 4; ++i) gif.GlobalColorMap().Add(MakeColor(std::uint8_t(10 + i), 0, 0));
    TGIFSubImage& global = AddFrame(gif, 0, 0, 5, 3, 0, 0, 2);
    TGIFSubImage& local = AddFrame(gif, 0, 0, 3, 2, 3, 0, 7);
    TGIFSubImage& plain = AddFrame(gif, 0, 0, 2, 2, 0, -1);
    for (TGIFSubImage* f : {&global, &local, &plain}) {
        const TBitmap* bmp = f->Bitmap();
        ASSERT_NE(bmp, nullptr);
        EXPECT_EQ(bmp->PixelFormat(), pf8bit);
        const TGIFColorMap& map = f->UsedColorMap();
        for (int i = 0; i < 256; ++i) {
            const TRGBQuad q = bmp->ColorTable()[std::size_t(i)];
            EXPECT_EQ(ColorFromQuad(q), i < map.Count() ? map.Colors(i) : clBlack) << i;
        }
        const bool transparent = f->MaskReady();
        for (int y = 0; y < f->Height(); ++y)
            for (int x = 0; x < f->Width(); ++x) {
                EXPECT_EQ(bmp->ScanLine(y)[x], f->Pixels(x, y));
                if (transparent) {
                    EXPECT_EQ(f->Mask()->Canvas().Pixels(x, y) == clWhite, f->Pixels(x, y) == 2);
                }
            }
        EXPECT_EQ(bmp, f->Bitmap());  // kept
    }
    EXPECT_NE(global.Mask(), nullptr);
    EXPECT_EQ(local.Mask(), nullptr);  // index 7 is not used
    EXPECT_EQ(plain.Mask(), nullptr);
    // Edits drop what was rendered.
    global.SetPixels(0, 0, 1);
    EXPECT_FALSE(global.HasBitmap());
    local.ColorMap().SetColors(0, clWhite);
    EXPECT_FALSE(local.HasBitmap());
    EXPECT_EQ(ColorFromQuad(local.Bitmap()->ColorTable()[0]), clWhite);
    gif.GlobalColorMap().SetColors(1, clWhite);
    EXPECT_EQ(ColorFromQuad(plain.Bitmap()->ColorTable()[1]), clWhite);
    TGIFSubImage empty(gif);
    EXPECT_EQ(empty.Bitmap(), nullptr);
}

// Frames without any colour map ask the image, which asks frame 0 again.
TEST(GifFrames, NoColourMapAnywhere) {
    TGIFImage gif;
    TGIFSubImage& f = AddFrame(gif, 0, 0, 2, 2, 0, -1);
    try {
        f.Bitmap();
        ADD_FAILURE();
    } catch (const GIFException& e) {
        EXPECT_STREQ(e.what(), "No global or local color table defined");
    }
    AddFrame(gif, 0, 0, 2, 2, 0, -1);
    gif.Images()[0].ColorMap().Add(clWhite);
    EXPECT_EQ(gif.Images()[1].GetPalette(), (TPaletteEntries{{255, 255, 255, 4}}));
}

TBitmap Picture(TPixelFormat pf, int w, int h, int colors) {
    TBitmap b;
    b.Allocate(w, h, pf);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int v = (y * w + x) % colors;
            b.Canvas().SetPixels(x, y, pf <= pf8bit ? ColorFromQuad(b.ColorTable()[std::size_t(v)])
                                                   : MakeColor(std::uint8_t(v), std::uint8_t(v >> 8), 3));
        }
    return b;
}

struct AssignCase {
    const char* name;
    TPixelFormat pf;
    int colors;
    std::uint8_t reduction;
    std::string error;
    int mapCount;
};

class GifAssignBitmap : public ::testing::TestWithParam<AssignCase> {};

// Indexed bitmaps keep their colour tables and indices; true colour is
// counted into a map of its own without reduction, else reduced first.
TEST_P(GifAssignBitmap, TakesPixelsAndColours) {
    const AssignCase& c = GetParam();
    const TBitmap source = Picture(c.pf, 37, 9, c.colors);
    TGIFImage gif;
    gif.ColorReduction = c.reduction;
    TGIFSubImage frame(gif);
    try {
        frame.Assign(source);
        EXPECT_EQ(c.error, "");
    } catch (const GIFException& e) {
        EXPECT_EQ(e.what(), c.error);
        return;
    }
    if (c.mapCount == 0) {  // a reduction that gives no picture leaves the frame empty
        EXPECT_TRUE(frame.Empty());
        return;
    }
    EXPECT_EQ(frame.Width(), 37);
    EXPECT_EQ(gif.Width(), 37);
    EXPECT_EQ(frame.ColorMap().Count(), c.mapCount);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 37; ++x) {
            const TColor want = source.Canvas().Pixels(x, y);
            const TColor got = frame.ColorMap().Colors(frame.Pixels(x, y));
            if (c.reduction == 0 || c.pf <= pf8bit) {
                ASSERT_EQ(got, want) << x << "," << y;
            }
        }
}

INSTANTIATE_TEST_SUITE_P(Gif, GifAssignBitmap,
                         ::testing::Values(AssignCase{"OneBit", pf1bit, 2, 6, "", 2},
                                           AssignCase{"FourBits", pf4bit, 16, 6, "", 16},
                                           AssignCase{"EightBits", pf8bit, 256, 6, "", 256},
                                           AssignCase{"TrueColourCounted", pf24bit, 256, 0, "", 256},
                                           AssignCase{"ThirtyTwoBitsCounted", pf32bit, 40, 0, "", 40},
                                           AssignCase{"TooManyColours", pf24bit, 257, 0, "Color table overflow", 0},
                                           AssignCase{"TooManyColoursReduced", pf24bit, 257, 6, "", 256},
                                           AssignCase{"UnknownReduction", pf24bit, 20, 42, "", 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(GifFrames, AssignFromFrame) {
    TGIFImage gif;
    BuildFeatureGif(gif);
    TGIFImage other;
    for (int i = 0; i < gif.Images().Count(); ++i) {
        TGIFSubImage copy(other);
        copy.Assign(&gif.Images()[i]);
        EXPECT_EQ(Describe(copy), Describe(gif.Images()[i]));
        EXPECT_EQ(copy.Transparent(), gif.Images()[i].Transparent());
    }
    TGIFSubImage copy(other);
    copy.Assign(nullptr);
    EXPECT_TRUE(copy.Empty());
}

// Trimming cuts the transparent edges and moves the frame so that the
// picture stays where it was; a frame transparent throughout is cleared.
TEST(GifFrames, TrimTransparent) {
    TGIFImage gif;
    for (int i = 0; i < 4; ++i) gif.GlobalColorMap().Add(MakeColor(std::uint8_t(i), 0, 0));
    TGIFSubImage& f = AddFrame(gif, 3, 2, 6, 5, 0, 0, 3);
    std::fill(f.Data(), f.Data() + f.DataSize(), 3);
    f.SetPixels(2, 1, 0);
    f.SetPixels(4, 3, 1);
    f.TrimTransparent();
    EXPECT_EQ(Describe(f).substr(0, 9), "5,3 3x3 p");
    EXPECT_EQ(Bytes(f.Data(), f.Data() + 9), (Bytes{0, 3, 3, 3, 3, 3, 3, 3, 1}));
    std::fill(f.Data(), f.Data() + f.DataSize(), 3);
    f.TrimTransparent();
    EXPECT_TRUE(f.Empty());
    EXPECT_EQ(f.Extensions().Count(), 0);
}

// Pixels showing the colour the previous frame shows at the same place become
// transparent; a frame without transparency gets a new black entry and a
// graphic control extension for it.
TEST(GifFrames, BlankUnchanged) {
    TGIFImage gif;
    for (int i = 0; i < 4; ++i) gif.GlobalColorMap().Add(MakeColor(std::uint8_t(40 * i), 0, 0));
    TGIFSubImage& prev = AddFrame(gif, 0, 0, 4, 2, 0, 1);
    const Bytes before = {0, 1, 2, 3, 3, 2, 1, 0};
    std::copy(before.begin(), before.end(), prev.Data());
    TGIFSubImage& next = AddFrame(gif, 2, 0, 3, 2, 3, -1);
    next.ColorMap().SetColors(0, MakeColor(80, 0, 0));   // = global 2
    next.ColorMap().SetColors(1, MakeColor(120, 0, 0));  // = global 3
    next.ColorMap().SetColors(2, MakeColor(1, 2, 3));
    const Bytes mine = {0, 0, 2, 1, 0, 1};
    std::copy(mine.begin(), mine.end(), next.Data());
    next.BlankUnchanged(prev);
    ASSERT_NE(next.GraphicControlExtension(), nullptr);
    EXPECT_TRUE(next.Transparent());
    EXPECT_EQ(next.ColorMap().Count(), 4);
    EXPECT_EQ(next.GraphicControlExtension()->TransparentIndex, 3);
    EXPECT_EQ(Bytes(next.Data(), next.Data() + 6), (Bytes{3, 0, 2, 1, 0, 1}));
    // After a frame disposed to the background nothing is blanked.
    prev.GraphicControlExtension()->SetDisposal(2);
    std::copy(mine.begin(), mine.end(), next.Data());
    next.BlankUnchanged(prev);
    EXPECT_EQ(Bytes(next.Data(), next.Data() + 6), mine);
}

}  // namespace
