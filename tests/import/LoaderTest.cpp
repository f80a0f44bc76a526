// Loaders and writers on files the test makes: PNG transparency decisions,
// the square flag, document images, screen capture through its hook, and
// what a failed export leaves behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <vector>

#include "CostlyFiles.h"
#include "ImportTestUtil.h"
#include "OverLimitPictures.h"
#include "imaging/FileFormat.h"
#include "import/BatchConvert.h"
#include "import/MyImport.h"
#include "model/IcoIO.h"
#include "platform/FileIO.h"
#include "platform/FileWriter.h"
#include "png/PngImage.h"

namespace velto {
namespace {

using test::PatternBitmap;
using test::PatternPixel;
using test::ScratchDir;
using test::TestService;

// A w x h PNG of colour type 6 or 4 whose pixel (x, y) the function gives.
template <class Pixel>
std::string WritePng(const ScratchDir& dir, const char* name, std::uint8_t colorType, int w, int h, Pixel pixel) {
    TPNGObject png;
    png.CreateBlank(colorType, 8, w, h);
    for (int y = 0; y < h; ++y) {
        std::uint8_t* row = png.Scanline(y);
        std::uint8_t* alpha = png.AlphaScanline(y);
        for (int x = 0; x < w; ++x) {
            const TmyPixel p = pixel(x, y);
            if (colorType == COLOR_RGBALPHA) {
                row[3 * x] = p.B;
                row[3 * x + 1] = p.G;
                row[3 * x + 2] = p.R;
            } else {
                row[x] = p.R;
            }
            alpha[x] = p.A;
        }
    }
    const std::string file = dir.File(name);
    EXPECT_TRUE(png.SaveToFile(file));
    return file;
}

TEST(LoadPng, TransparencyDecisions) {
    ScratchDir dir;
    TestService s;
    // Transparent throughout: an opaque black picture.
    const std::string clear = WritePng(dir, "clear.png", COLOR_RGBALPHA, 3, 2, [](int, int) {
        return TmyPixel{200, 100, 50, 0};
    });
    TmyImagePal target({3, 2}, 32);
    ASSERT_TRUE(s.service.LoadPng(clear, target, target.Size(), false));
    for (const TmyPixel& p : target.Pixels()) EXPECT_EQ(p, (TmyPixel{0, 0, 0, 255}));
    // Grey with alpha arrives grey in R, G and B with its alpha.
    const std::string grey = WritePng(dir, "grey.png", COLOR_GRAYSCALEALPHA, 3, 1, [](int x, int) {
        return TmyPixel{static_cast<std::uint8_t>(60 * x + 10), 0, 0, static_cast<std::uint8_t>(x * 100)};
    });
    TmyImagePal g({3, 1}, 32);
    ASSERT_TRUE(s.service.LoadPng(grey, g, g.Size(), false));
    EXPECT_EQ(g.At(0, 0), TmyPixel{});
    EXPECT_EQ(g.At(1, 0), (TmyPixel{70, 70, 70, 100}));
    EXPECT_EQ(g.At(2, 0), (TmyPixel{130, 130, 130, 200}));
    // A half transparent RGBA pixel keeps its colour and alpha.
    const std::string rgba = WritePng(dir, "rgba.png", COLOR_RGBALPHA, 2, 1, [](int x, int) {
        return x == 0 ? TmyPixel{1, 2, 3, 0} : TmyPixel{10, 20, 30, 40};
    });
    TmyImagePal r({2, 1}, 32);
    ASSERT_TRUE(s.service.LoadPng(rgba, r, r.Size(), false));
    EXPECT_EQ(r.At(0, 0), TmyPixel{});
    EXPECT_EQ(r.At(1, 0), (TmyPixel{10, 20, 30, 40}));
}

TEST(LoadPng, SquareTargetAndFailures) {
    ScratchDir dir;
    TestService s;
    const std::string wide = WritePng(dir, "wide.png", COLOR_RGBALPHA, 20, 10, [](int x, int y) {
        return PatternPixel(x, y);
    });
    // Square: side min(max(20, 10), target width 32) = 20, the picture centred in it.
    TmyImagePal target({32, 32}, 32);
    ASSERT_TRUE(s.service.LoadPng(wide, target, {32, 32}, true));
    EXPECT_EQ(target.Size(), (ImageSize{20, 20}));
    EXPECT_EQ(target.At(0, 5), PatternPixel(0, 0));
    EXPECT_EQ(target.At(0, 4), TmyPixel{});
    // A side clamped to the target: 20 into a 16-wide target gives 16 x 16,
    // and the maximum (the target's own size) decides the fitting.
    s.settings.ImportAction = fpCrop;
    TmyImagePal small({16, 16}, 32);
    ASSERT_TRUE(s.service.LoadPng(wide, small, small.Size(), true));
    EXPECT_EQ(small.Size(), (ImageSize{16, 16}));
    EXPECT_EQ(small.At(0, 3), PatternPixel(0, 0));

    FileError error;
    TmyImagePal untouched({4, 4}, 32);
    EXPECT_FALSE(s.service.LoadPng(dir.File("none.png"), untouched, {4, 4}, false, &error));
    EXPECT_EQ(error, FileError::NotFound);
    ASSERT_TRUE(WriteWholeFile(dir.File("bad.png"), std::vector<std::uint8_t>{0x89, 'P', 'N', 'G', 1, 2}));
    EXPECT_FALSE(s.service.LoadPng(dir.File("bad.png"), untouched, {4, 4}, false));
    EXPECT_FALSE(s.service.LoadJpeg(dir.File("bad.png"), untouched, {4, 4}, false));
    EXPECT_FALSE(s.service.LoadBmp(dir.File("bad.png"), untouched, {4, 4}, false));
    EXPECT_FALSE(s.service.LoadJpeg2000(dir.File("bad.png"), untouched, {4, 4}, false));
    EXPECT_FALSE(s.service.LoadGif(untouched, dir.File("bad.png"), false));
    EXPECT_FALSE(s.service.LoadIcoCur(dir.File("bad.png"), untouched, false));
    EXPECT_FALSE(s.service.LoadAni(untouched, dir.File("bad.png"), false));
    for (const TmyPixel& p : untouched.Pixels()) EXPECT_EQ(p, TmyPixel{});
}

TEST(IconImageToImage, IndexRangeAlphaKeptAndCursorFiles) {
    TestService s;
    TmyIcon doc;
    const int i = doc.AddImage({4, 4}, 32);
    for (TmyPixel& p : doc.Image(i).Pixels()) p = {9, 9, 9, 0};  // alpha 0 everywhere stays
    TmyImagePal target({8, 8}, 32);
    for (TmyPixel& p : target.Pixels()) p = {1, 1, 1, 1};
    EXPECT_FALSE(s.service.IconImageToImage(doc, false, 1, target));
    EXPECT_FALSE(s.service.IconImageToImage(doc, false, -1, target));
    EXPECT_EQ(target.At(2, 2), (TmyPixel{1, 1, 1, 1}));
    ASSERT_TRUE(s.service.IconImageToImage(doc, false, 0, target));
    EXPECT_EQ(target.At(2, 2), TmyPixel{});
    EXPECT_EQ(target.At(0, 0), (TmyPixel{1, 1, 1, 1}));

    // The first image of a cursor file.
    ScratchDir dir;
    TmyIcon cursor;
    cursor.IsCursor = true;
    const int c = cursor.AddImage({16, 16}, 32);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) cursor.Image(c).At(x, y) = PatternPixel(x, y, 200);
    ASSERT_TRUE(TmyIcoIO(false).SaveToFile(cursor, dir.File("a.cur"), false));
    TmyImagePal fromFile({16, 16}, 32);
    const TImageFileResult result = s.service.LoadImageFile(fromFile, dir.File("a.cur"), false, true);
    ASSERT_TRUE(result.Ok);
    EXPECT_EQ(fromFile.At(3, 5), PatternPixel(3, 5, 200));
}

// A cursor cut short is refused as a cursor and is no picture either, though
// its size is one an old-game format knows its files by.
TEST(LoadImageFile, ACursorCutShortIsNoPicture) {
    ScratchDir dir;
    TmyIcon cursor;
    cursor.IsCursor = true;
    const int c = cursor.AddImage({32, 32}, 32);
    for (TmyPixel& p : cursor.Image(c).Pixels()) p = {10, 20, 30, 255};
    const std::string whole = dir.File("whole.cur"), cut = dir.File("cut.cur");
    ASSERT_TRUE(TmyIcoIO(false).SaveToFile(cursor, whole, false));
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(ReadWholeFile(whole, bytes, 1 << 20));
    bytes.resize(90);
    ASSERT_TRUE(WriteWholeFile(cut, bytes));
    ASSERT_EQ(DetectFileFormat(cut), "img") << "the size alone names an old-game picture";

    TestService s;
    TmyImagePal target({32, 32}, 32);
    const TImageFileResult r = s.service.LoadImageFile(target, cut, false, true);
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.FileType, 1);
    EXPECT_STREQ(r.MessageKey, "msgNotICO");
    EXPECT_STREQ(r.Message, "Invalid icon or cursor file!");
    const auto untouched = [](const TmyPixel& p) { return p == TmyPixel{}; };
    EXPECT_TRUE(std::all_of(target.Pixels().begin(), target.Pixels().end(), untouched)) << "the target as it was";
}

// A JPEG 2000 file refused by a limit cannot be opened, for that reason: it is not called invalid.
TEST(LoadImageFile, AJpeg2000FileTooCostlySaysSo) {
    test::costly::J2kStream blocks;  // 4 x 4 blocks over 8192 x 8192: gigabytes in the codec
    blocks.width = blocks.height = 8192;
    blocks.style.xcb = blocks.style.ycb = 0;
    ScratchDir dir;
    ASSERT_TRUE(WriteWholeFile(dir.File("a.j2k"), J2kCodeStream(blocks)));
    TestService s;
    TmyImagePal target({32, 32}, 32);
    const TImageFileResult r = s.service.LoadImageFile(target, dir.File("a.j2k"), false, true);
    EXPECT_STREQ(r.MessageKey, "msgErrorOpen");
    EXPECT_EQ(r.Error, FileError::TooLarge);
}

// A valid picture beyond what a load may decode is too large, on the import and
// in the batch, whatever its kind (a GIF's one frame too); cut short, damaged.
TEST(LoadImageFile, APictureBeyondTheLimitsIsTooLargeAndOneCutShortInvalid) {
    ScratchDir in, out;
    for (const test::overlimit::Picture& p : test::overlimit::Pictures()) {
        const std::string whole = in.File(p.name), cut = in.File(std::string("cut-") + p.name);
        ASSERT_TRUE(WriteWholeFile(whole, p.bytes) && WriteWholeFile(cut, {p.bytes.data(), p.cut}));
        for (const auto& [file, text, error] : {std::tuple(whole, "Cannot open file", FileError::TooLarge),
                                                std::tuple(cut, p.damaged, FileError::None)}) {
            TmyImagePal target({32, 32}, 32);
            const TImageFileResult r = TestService().service.LoadImageFile(target, file, false, true);
            EXPECT_EQ(std::tuple(r.Ok, std::string(r.Message), r.Error), std::tuple(false, text, error)) << file;
            EXPECT_EQ(TBatchRun({.Files = {file}, .OutputDir = out.File(""), .Import = {}}).RunAll().at(1).Text,
                      "      Error: " + file + " - " + text + (error ? " - file too large" : ""));
        }
    }
}

TEST(CaptureScreen, TheGrabbedPixelsExactlyOrNothing) {
    TestService s;
    TmyImagePal target({5, 3}, 32);
    for (TmyPixel& p : target.Pixels()) p = {1, 2, 3, 4};
    // No platform grab: nothing changes.
    EXPECT_FALSE(s.service.CaptureScreen(target, 10, 20));
    EXPECT_EQ(target.At(0, 0), (TmyPixel{1, 2, 3, 4}));
    int askedLeft = -1, askedTop = -1;
    s.service.Hooks.GrabScreen = [&](TBitmap& out, int left, int top, int w, int h) {
        askedLeft = left;
        askedTop = top;
        out = PatternBitmap(w, h, false);
        return true;
    };
    ASSERT_TRUE(s.service.CaptureScreen(target, 10, 20));
    EXPECT_EQ(askedLeft, 20);
    EXPECT_EQ(askedTop, 10);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(target.At(x, y), PatternPixel(x, y));
    // A grab of another size (a scaled screen) is refused rather than fitted.
    s.service.Hooks.GrabScreen = [&](TBitmap& out, int, int, int w, int h) {
        out = PatternBitmap(w * 2, h * 2, false);
        return true;
    };
    for (TmyPixel& p : target.Pixels()) p = {1, 2, 3, 4};
    EXPECT_FALSE(s.service.CaptureScreen(target, 0, 0));
    EXPECT_EQ(target.At(0, 0), (TmyPixel{1, 2, 3, 4}));
}

TEST(ShowFramesDialog, ResultOfTheHookOrTwo) {
    TestService s;
    TmyImagePal target({24, 24}, 32);
    EXPECT_EQ(s.service.ShowFramesDialog("x.gif", target, 8), 2);
    s.service.Hooks.FramesDialog = [](const std::string& file, ImageSize size, int bits) {
        EXPECT_EQ(file, "x.gif");
        EXPECT_EQ(size, (ImageSize{24, 24}));
        EXPECT_EQ(bits, 8);
        return 0;
    };
    EXPECT_EQ(s.service.ImportFromFrames("x.gif", target, 8), 0);
    s.service.Hooks.FramesDialog = [](const std::string&, ImageSize, int) -> int {
        throw std::runtime_error("frames dialog failed");
    };
    EXPECT_EQ(s.service.ShowFramesDialog("x.gif", target, 8), 2);
}

TEST(ExportImage, WriterByExtensionAndFailuresLeaveFilesAlone) {
    struct Case {
        const char* name;
        TExportFormat format;
    } cases[] = {{"a.BMP", efBmp},  {"a.jpg", efJpeg}, {"a.Png", efPng},      {"a.gif", efGif},
                 {"a.jp2", efJpeg2000}, {"a.J2K", efJpeg2000}, {"a.ico", efNone}, {"a.icns", efNone},
                 {"a", efNone},     {"dir.png/a", efNone}, {"a.jpeg", efNone}};
    for (const Case& c : cases) EXPECT_EQ(ExportFormatOf(c.name), c.format) << c.name;

    ScratchDir dir;
    TestService s;
    TmyIcon doc;
    doc.AddImage({4, 4}, 32);
    const std::vector<std::uint8_t> before{1, 2, 3};
    ASSERT_TRUE(WriteWholeFile(dir.File("keep.ico"), before));
    FileError error;
    EXPECT_FALSE(s.service.ExportImage(dir.File("keep.ico"), doc, false, &error));
    EXPECT_EQ(error, FileError::Unsupported);
    std::vector<std::uint8_t> after;
    ASSERT_TRUE(ReadWholeFile(dir.File("keep.ico"), after));
    EXPECT_EQ(after, before);
    for (const char* name : {"a.bmp", "a.jpg", "a.png", "a.gif", "a.jp2"}) {
        error = FileError::None;
        EXPECT_FALSE(s.service.ExportImage(dir.File(std::string("missing/") + name), doc, false, &error)) << name;
        EXPECT_EQ(error, FileError::NotFound) << name;
        EXPECT_TRUE(s.service.ExportImage(dir.File(name), doc, false)) << name;
    }
    TmyIcon empty;
    EXPECT_FALSE(s.service.ExportImage(dir.File("b.png"), empty, false));
}

}  // namespace
}  // namespace velto

namespace velto {
namespace {

// What the writers keep comes back through the loaders unchanged.
TEST(ExportImage, LosslessFormatsComeBackExactly) {
    TmyImagePal image({13, 7}, 32);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 13; ++x)
            image.At(x, y) = x == 0 ? TmyPixel{} : test::PatternPixel(x, y, static_cast<std::uint8_t>(x * 20 + 5));
    struct Case {
        const char* name;
        bool alpha;
    } cases[] = {{"a.bmp", true}, {"a.png", true}, {"a.jp2", true}, {"a.j2k", true},
                 {"b.bmp", false}, {"b.png", false}, {"b.jp2", false}, {"b.j2k", false}};
    for (const Case& c : cases) {
        test::ScratchDir dir;
        test::TestService s;
        s.settings.ExportAlpha = c.alpha;
        s.settings.PrevColor = MakeColor(0, 0, 0);
        TmyIcon doc;
        doc.AppendImage(std::make_unique<TmyImagePal>(image));
        ASSERT_TRUE(s.service.ExportImage(dir.File(c.name), doc, false)) << c.name;
        TmyImagePal back({13, 7}, 32);
        ASSERT_TRUE(s.service.LoadImageFile(back, dir.File(c.name), false, true).Ok) << c.name;
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 13; ++x) {
                TmyPixel expected = image.At(x, y);
                if (!c.alpha) {  // over black, opaque
                    const auto over = [&](std::uint8_t v) {
                        return static_cast<std::uint8_t>((unsigned{v} * expected.A + 127u) / 255u);
                    };
                    expected = {over(expected.R), over(expected.G), over(expected.B), 255};
                }
                ASSERT_EQ(back.At(x, y), expected) << c.name << " at " << x << "," << y;
            }
    }
}

}  // namespace
}  // namespace velto
