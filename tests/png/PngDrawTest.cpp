// Drawing PNG images onto bitmaps: the blend formula, scaling, the three kinds
// of transparency, every colour type of the sample set onto a known
// background, conversion into bitmaps and size changes.
#include <gtest/gtest.h>

#include <filesystem>
#include <cstring>
#include <random>

#include "Corpus.h"
#include "PngTestUtil.h"
#include "platform/FileIO.h"
#include "platform/PixelRows.h"
#include "png/PngDraw.h"

using namespace velto;
using namespace pngtest;

namespace {

// An RGBA image whose pixel (x, y) has colour rgb(x, y) and alpha a(x, y).
template <class Rgb, class A>
void PaintRgba(TPNGObject& png, int w, int h, Rgb rgb, A a) {
    png.CreateBlank(COLOR_RGBALPHA, 8, w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            png.SetPixels(x, y, rgb(x, y));
            png.AlphaScanline(y)[x] = a(x, y);
        }
}

}  // namespace

TEST(PngDraw, BlendChannelFollowsTheFormulaAndKeepsTheEnds) {
    struct Case {
        int s, a, p, want;
    };
    const Case cases[] = {
        {0, 128, 255, (255 + 0 * 128 + 255 * 127) >> 8},      // black half over white: 127
        {255, 128, 255, 255},                                   // white over white
        {200, 128, 255, (255 + 200 * 128 + 255 * 127) >> 8},  // 227
        {10, 1, 250, (255 + 10 + 250 * 254) >> 8},             // 249
        {0, 254, 255, (255 + 255 * 1) >> 8},                   // 1
        {255, 1, 0, (255 + 255) >> 8},                         // 1
    };
    for (const Case& c : cases)
        EXPECT_EQ(BlendChannel(static_cast<std::uint8_t>(c.s), static_cast<std::uint8_t>(c.a),
                               static_cast<std::uint8_t>(c.p)),
                  c.want)
            << c.s << " " << c.a << " " << c.p;
    for (int s = 0; s < 256; ++s)
        for (int p = 0; p < 256; p += 15) {
            EXPECT_EQ(BlendChannel(static_cast<std::uint8_t>(s), 0, static_cast<std::uint8_t>(p)), p);
            EXPECT_EQ(BlendChannel(static_cast<std::uint8_t>(s), 255, static_cast<std::uint8_t>(p)), s);
        }
}

TEST(PngDraw, RowBlendOfEveryLengthEqualsTheFormulaAndKeepsTheFourthByte) {
    std::mt19937 rng(7);
    for (int n : {0, 1, 3, 4, 5, 8, 13, 64, 67}) {
        std::vector<std::uint8_t> src(static_cast<std::size_t>(n) * 4), dst(src.size());
        for (auto& v : src) v = static_cast<std::uint8_t>(rng());
        for (auto& v : dst) v = static_cast<std::uint8_t>(rng());
        auto out = dst;
        BlendBgraRow(src.data(), out.data(), n);
        for (int i = 0; i < n; ++i) {
            const std::size_t o = static_cast<std::size_t>(i) * 4;
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(out[o + c], BlendChannel(src[o + c], src[o + 3], dst[o + c])) << n << " " << i;
            ASSERT_EQ(out[o + 3], dst[o + 3]);
        }
    }
}

// The one-to-one RGBA draw onto 32-bit bitmaps takes its own (vector) path:
// every width, runs of clear and opaque pixels among partial ones, rows at
// the end of the image's buffer, and the destination's fourth byte kept.
TEST(PngDraw, RgbaOntoThirtyTwoBitsEqualsTheFormulaForEveryWidth) {
    std::mt19937 rng(11);
    for (int w : {1, 7, 8, 9, 10, 16, 17, 31, 67}) {
        TPNGObject png;
        PaintRgba(png, w, 3, [&](int, int) { return ColorFromValue(rng() & 0xFFFFFF); },
                  [&](int x, int y) -> std::uint8_t {
                      const int band = (x / 8 + y) % 3;  // whole runs of 0 and 255, and mixed ones
                      return band == 0 ? 0 : band == 1 ? 255 : static_cast<std::uint8_t>(rng());
                  });
        TBitmap bmp;
        bmp.Allocate(w + 2, 3, pf32bit);
        for (int y = 0; y < 3; ++y)
            for (int i = 0; i < (w + 2) * 4; ++i) bmp.ScanLine(y)[i] = static_cast<std::uint8_t>(rng());
        const TBitmap before = bmp;
        DrawPng(png, bmp.Canvas(), {1, 0, w + 1, 3});
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < w; ++x) {
                const std::uint8_t* was = before.ScanLine(y) + (x + 1) * 4;
                const std::uint8_t* now = bmp.ScanLine(y) + (x + 1) * 4;
                const TColor c = png.GetPixels(x, y);
                const std::uint8_t a = png.AlphaScanline(y)[x];
                ASSERT_EQ(now[0], BlendChannel(ColorB(c), a, was[0])) << w << " " << x << "," << y;
                ASSERT_EQ(now[1], BlendChannel(ColorG(c), a, was[1])) << w << " " << x << "," << y;
                ASSERT_EQ(now[2], BlendChannel(ColorR(c), a, was[2])) << w << " " << x << "," << y;
                ASSERT_EQ(now[3], was[3]) << w << " " << x << "," << y;
            }
        EXPECT_EQ(std::memcmp(bmp.ScanLine(1), before.ScanLine(1), 4), 0) << "left of the rectangle";
    }
}

TEST(PngDraw, HalfAlphaOverWhiteOnEveryBitmapDepth) {
    TPNGObject png;
    PaintRgba(png, 2, 2, [](int, int) { return MakeColor(200, 100, 0); }, [](int, int) { return 128; });
    const std::uint8_t r = BlendChannel(200, 128, 255), g = BlendChannel(100, 128, 255), b = BlendChannel(0, 128, 255);
    for (TPixelFormat pf : {pf32bit, pf24bit, pf16bit}) {
        TBitmap bmp = Filled(4, 4, pf, clWhite);
        DrawPng(png, bmp.Canvas(), {1, 1, 3, 3});
        SCOPED_TRACE(int{pf});
        EXPECT_EQ(bmp.Canvas().Pixels(0, 0), clWhite);
        EXPECT_EQ(bmp.Canvas().Pixels(3, 3), clWhite);
        if (pf == pf16bit)  // 5-6-5 storage keeps only the high bits
            EXPECT_EQ(ColorR(bmp.Canvas().Pixels(1, 1)) >> 3, r >> 3);
        else
            EXPECT_EQ(bmp.Canvas().Pixels(2, 2), MakeColor(r, g, b));
    }
}

TEST(PngDraw, ScaledDrawTakesTruncatedSourcePositionsAndEitherRectangleOrder) {
    TPNGObject png;
    PaintRgba(png, 3, 1, [](int x, int) { return MakeColor(static_cast<std::uint8_t>(10 + x), 0, 0); },
              [](int, int) { return 255; });
    auto row = [&](TRect r, int w) {
        TBitmap bmp = Filled(w, 2, pf32bit, clBlack);
        DrawPng(png, bmp.Canvas(), r);
        std::vector<int> v;
        for (int x = 0; x < w; ++x) v.push_back(ColorR(bmp.Canvas().Pixels(x, 0)));
        return v;
    };
    EXPECT_EQ(row({0, 0, 6, 2}, 6), (std::vector<int>{10, 10, 11, 11, 12, 12}));
    // 7 / 3: Trunc(x / 2.333...)
    EXPECT_EQ(row({0, 0, 7, 2}, 7), (std::vector<int>{10, 10, 10, 11, 11, 12, 12}));
    EXPECT_EQ(row({0, 0, 2, 1}, 2), (std::vector<int>{10, 11}));
    EXPECT_EQ(row({6, 2, 0, 0}, 6), row({0, 0, 6, 2}, 6));
    // Partly outside the bitmap: the visible part as if drawn whole.
    EXPECT_EQ(row({-2, 0, 4, 2}, 3), (std::vector<int>{11, 11, 12}));
}

TEST(PngDraw, PaletteIndexBeyondThePaletteDrawsOpaqueBlack) {
    TPNGObject png;
    png.CreateBlank(COLOR_PALETTE, 8, 3, 1);
    png.CreateAlpha();
    auto* trns = png.Chunks().FindChunk<TChunktRNS>();
    trns->PaletteValues[0] = 64;
    trns->Data.resize(2);
    png.Chunks().FindChunk<TChunkPLTE>()->Count = 2;
    png.GetHeader().ImageBitmap().ColorTable()[0] = {0, 0, 255, 0};  // red
    png.GetHeader().ImageBitmap().ColorTable()[7] = {255, 255, 255, 0};
    std::uint8_t* row = png.Scanline(0);
    row[0] = 0, row[1] = 7, row[2] = 255;
    ASSERT_EQ(png.TransparencyMode(), 2);
    TBitmap bmp = Filled(3, 1, pf24bit, clWhite);
    ASSERT_NO_THROW(DrawPng(png, bmp.Canvas(), {0, 0, 3, 1}));
    EXPECT_EQ(bmp.Canvas().Pixels(0, 0), MakeColor(BlendChannel(255, 64, 255), BlendChannel(0, 64, 255),
                                                   BlendChannel(0, 64, 255)));
    EXPECT_EQ(bmp.Canvas().Pixels(1, 0), clBlack);
    EXPECT_EQ(bmp.Canvas().Pixels(2, 0), clBlack);
}

TEST(PngDraw, TransparentColourKeepsTheBackgroundAndNoTransparencyCopies) {
    TPNGObject png;
    png.CreateBlank(COLOR_RGB, 8, 2, 1);
    png.SetPixels(0, 0, MakeColor(1, 2, 3));
    png.SetPixels(1, 0, MakeColor(9, 9, 9));
    const TColor bg = MakeColor(40, 50, 60);
    {
        TBitmap bmp = Filled(2, 1, pf32bit, bg);
        DrawPng(png, bmp.Canvas(), {0, 0, 2, 1});
        EXPECT_EQ(bmp.Canvas().Pixels(0, 0), MakeColor(1, 2, 3));
    }
    png.Chunks().Add<TChunktRNS>()->SetTransparentColor(MakeColor(1, 2, 3));
    ASSERT_EQ(png.TransparencyMode(), 1);
    for (TPixelFormat pf : {pf32bit, pf24bit, pf8bit}) {
        TBitmap bmp = Filled(2, 1, pf, bg);
        const TColor before = bmp.Canvas().Pixels(0, 0);
        DrawPng(png, bmp.Canvas(), {0, 0, 2, 1});
        EXPECT_EQ(bmp.Canvas().Pixels(0, 0), before) << int{pf};
        EXPECT_EQ(bmp.Canvas().Pixels(1, 0), pf == pf8bit ? bmp.Canvas().Pixels(1, 0) : MakeColor(9, 9, 9));
    }
}

TEST(PngDraw, EmptyImageDrawsNothing) {
    TPNGObject png;
    TBitmap bmp = Filled(2, 2, pf32bit, clWhite);
    DrawPng(png, bmp.Canvas(), {0, 0, 2, 2});
    EXPECT_EQ(bmp.Canvas().Pixels(1, 1), clWhite);
}

// Every colour type and kind of transparency of the sample set onto a known
// background: each pixel is the background where the image is transparent,
// the image where opaque and the formula between, by the codec's own reading
// of the pixels.
TEST(PngDraw, SampleImagesOfEveryKindOntoAKnownBackground) {
    VELTO_NEED_CORPUS();
    const TColor bg = MakeColor(30, 200, 90);
    int files = 0, keyed = 0, blended = 0;
    for (const auto& e : std::filesystem::directory_iterator(test::Corpus("pngsuite"))) {
        if (e.path().extension() != ".png") continue;
        SCOPED_TRACE(e.path().filename().string());
        Bytes file;
        ASSERT_TRUE(ReadWholeFile(e.path().string(), file));
        TPNGObject png;
        Load(png, file);
        const int w = png.Width(), h = png.Height();
        TBitmap bmp = Filled(w, h, pf32bit, bg);
        DrawPng(png, bmp.Canvas(), {0, 0, w, h});
        const std::uint8_t mode = png.TransparencyMode();
        keyed += mode == 1;
        blended += mode == 2;
        std::vector<std::uint8_t> rgba(static_cast<std::size_t>(w) * 4);
        int mismatches = 0, shownBg = 0;
        for (int y = 0; y < h; ++y) {
            png.GetRGBA(y, rgba.data());
            for (int x = 0; x < w; ++x) {
                const std::uint8_t* p = &rgba[static_cast<std::size_t>(x) * 4];
                TColor want;
                if (mode == 2)
                    want = MakeColor(BlendChannel(p[0], p[3], ColorR(bg)), BlendChannel(p[1], p[3], ColorG(bg)),
                                     BlendChannel(p[2], p[3], ColorB(bg)));
                else if (mode == 1 && p[3] == 0)
                    want = bg;
                else
                    want = MakeColor(p[0], p[1], p[2]);
                const TColor got = bmp.Canvas().Pixels(x, y);
                // The plain draw shows the bitmap's colours; grey images of a
                // file with gamma are shown through the gamma table by GetRGBA only.
                if (mode == 0 && png.GetHeader().ColorType == COLOR_GRAYSCALE) want = got;
                mismatches += got != want;
                shownBg += got == bg;
            }
        }
        EXPECT_EQ(mismatches, 0);
        if (mode == 1) {
            EXPECT_GT(shownBg, 0);
        }
        ++files;
    }
    EXPECT_GE(files, 60);
    EXPECT_GT(keyed, 5);
    EXPECT_GT(blended, 5);
}

TEST(PngDraw, AssignToBitmapPicksTheDepthAndTransparency) {
    {
        TPNGObject png;
        png.CreateBlank(COLOR_PALETTE, 8, 2, 1);
        png.GetHeader().ImageBitmap().ColorTable()[1] = {0, 255, 0, 0};
        png.Scanline(0)[1] = 1;
        png.CreateAlpha();
        auto* trns = png.Chunks().FindChunk<TChunktRNS>();
        trns->PaletteValues[1] = 0;
        trns->BitTransparency = true;
        ASSERT_EQ(png.TransparencyMode(), 1);
        TBitmap bmp;
        AssignPngTo(png, bmp);
        EXPECT_EQ(bmp.PixelFormat(), pf8bit);
        EXPECT_TRUE(bmp.Transparent());
        EXPECT_EQ(bmp.TransparentColor(), MakeColor(0, 255, 0));
        EXPECT_EQ(bmp.Canvas().Pixels(1, 0), MakeColor(0, 255, 0));
        EXPECT_EQ(bmp.Canvas().Pixels(0, 0), clBlack);
    }
    {
        TPNGObject png;
        PaintRgba(png, 2, 1, [](int, int) { return clWhite; }, [](int x, int) { return x ? 255 : 0; });
        TBitmap bmp;
        AssignPngTo(png, bmp);
        EXPECT_EQ(bmp.PixelFormat(), pf24bit);
        EXPECT_EQ(bmp.Canvas().Pixels(0, 0), clBlack);  // blended onto the fresh (black) bitmap
        EXPECT_EQ(bmp.Canvas().Pixels(1, 0), clWhite);
        EXPECT_FALSE(bmp.Transparent());
    }
    const std::pair<std::uint8_t, std::uint8_t> kinds[] = {{COLOR_GRAYSCALE, 1}, {COLOR_GRAYSCALE, 2},
                                                             {COLOR_PALETTE, 4},   {COLOR_GRAYSCALE, 16},
                                                             {COLOR_RGB, 16},      {COLOR_PALETTE, 8}};
    const TPixelFormat want[] = {pf1bit, pf4bit, pf4bit, pf24bit, pf24bit, pf8bit};
    for (std::size_t i = 0; i < std::size(kinds); ++i) {
        TPNGObject png;
        png.CreateBlank(kinds[i].first, kinds[i].second, 3, 2);
        TBitmap bmp;
        AssignPngTo(png, bmp);
        EXPECT_EQ(bmp.PixelFormat(), want[i]) << i;
        EXPECT_EQ(bmp.Width(), 3);
    }
    TPNGObject empty;
    TBitmap bmp;
    EXPECT_THROW(AssignPngTo(empty, bmp), EPNGHeaderNotPresent);
}

TEST(PngDraw, ResizeKeepsTheTopLeftAndAddsOpaqueBlack) {
    TPNGObject png;
    PaintRgba(png, 2, 2, [](int x, int y) { return MakeColor(static_cast<std::uint8_t>(100 + x + 10 * y), 5, 5); },
              [](int, int) { return 77; });
    EXPECT_THROW(png.SetWidth(0), EPNGInvalidNewSize);
    EXPECT_THROW(png.Resize(3, -1), EPNGInvalidNewSize);
    EXPECT_EQ(png.Width(), 2);
    png.SetWidth(12);
    ASSERT_EQ(png.Width(), 12);
    EXPECT_EQ(png.GetPixels(1, 1), MakeColor(111, 5, 5));
    EXPECT_EQ(png.GetPixels(5, 0), clBlack);
    EXPECT_EQ(png.AlphaScanline(1)[1], 77);
    EXPECT_EQ(png.AlphaScanline(1)[11], 255);
    png.SetHeight(1);
    EXPECT_EQ(png.Height(), 1);
    EXPECT_EQ(png.GetPixels(1, 0), MakeColor(101, 5, 5));
    // Still a whole image: it saves and loads back.
    TPNGObject back;
    Load(back, Save(png));
    EXPECT_EQ(back.Width(), 12);
    EXPECT_EQ(back.GetPixels(1, 0), MakeColor(101, 5, 5));
}

TEST(PngDraw, ResizeOfSixteenBitAndPaletteImages) {
    TPNGObject deep;
    deep.CreateBlank(COLOR_RGB, 16, 3, 3);
    deep.SetPixels(0, 0, MakeColor(9, 8, 7));
    deep.Resize(5, 4);
    EXPECT_EQ(deep.GetPixels(0, 0), MakeColor(9, 8, 7));
    TPNGObject back;
    Load(back, Save(deep));
    EXPECT_EQ(back.Width(), 5);
    EXPECT_EQ(back.GetPixels(0, 0), MakeColor(9, 8, 7));

    TPNGObject pal;
    pal.CreateBlank(COLOR_PALETTE, 4, 3, 1);
    pal.GetHeader().ImageBitmap().ColorTable()[3] = {1, 2, 3, 0};
    SetPackedPixel(pal.Scanline(0), 2, 4, 3);
    pal.Resize(9, 2);
    EXPECT_EQ(pal.GetPixels(2, 0), MakeColor(3, 2, 1));
    EXPECT_EQ(PackedPixel(pal.Scanline(1), 8, 4), 0u);
}
