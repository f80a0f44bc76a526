// Exported pictures read back by other programs: Pillow and ImageMagick see
// the same pixels (exactly for the lossless formats, within the loss for
// JPEG), pngcheck, gifsicle and opj_dump accept the files, and an animated
// cursor plays in gifsicle with its frames, delays and disposal and no loop.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "../ImportTestUtil.h"
#include "Corpus.h"
#include "PeerShell.h"
#include "core/MessageBox.h"
#include "engine/Composite.h"
#include "gif/GifImage.h"
#include "import/MyImport.h"
#include "platform/FileIO.h"

namespace velto {
namespace {

using namespace test;
using Bytes = std::vector<std::uint8_t>;

// ImageMagick itself, not a stand-in that may flatten what it shows.
std::string Magick() { return Have("convert-im6.q16") ? "convert-im6.q16" : "convert"; }

struct Rgba {
    int width = 0, height = 0;
    Bytes pixels;  // straight RGBA, a pixel of alpha 0 as 0, 0, 0, 0
};

std::optional<Rgba> ReadRaw(const std::string& path, int w, int h) {
    Bytes b;
    if (w <= 0 || h <= 0 || !ReadWholeFile(path, b) || b.size() != std::size_t(w) * std::size_t(h) * 4) return std::nullopt;
    for (std::size_t i = 0; i + 3 < b.size(); i += 4)
        if (b[i + 3] == 0) b[i] = b[i + 1] = b[i + 2] = 0;
    return Rgba{w, h, b};
}

std::optional<Rgba> PillowRgba(const std::string& file, const ScratchDir& dir) {
    const std::string raw = dir.File("pillow.raw");
    const auto out = Shell(std::string(kPython) +
                           " -c 'import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1]); im.load()\n"
                           "open(sys.argv[2], \"wb\").write(im.convert(\"RGBA\").tobytes()); print(im.size[0], im.size[1])' " +
                           Quote(file) + " " + Quote(raw) + " 2>/dev/null");
    int w = 0, h = 0;
    if (out.empty() || std::sscanf(out[0].c_str(), "%d %d", &w, &h) != 2) return std::nullopt;
    return ReadRaw(raw, w, h);
}

std::optional<Rgba> MagickRgba(const std::string& file, const ScratchDir& dir) {
    const std::string raw = dir.File("magick.raw");
    const auto size = Shell(Magick() + " " + Quote(file + "[0]") + " -format '%w %h' info: 2>/dev/null");
    int w = 0, h = 0;
    if (size.empty() || std::sscanf(size[0].c_str(), "%d %d", &w, &h) != 2) return std::nullopt;
    if (std::system((Magick() + " " + Quote(file + "[0]") + " -depth 8 " + Quote("rgba:" + raw) + " >/dev/null 2>&1").c_str()) != 0)
        return std::nullopt;
    return ReadRaw(raw, w, h);
}

// 13 x 7 (rows need padding in a BMP): opaque colours, half-transparent
// pixels, fully transparent ones and the two sides of the GIF threshold.
TmyImagePal TestImage() {
    TmyImagePal image({13, 7}, 32);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 13; ++x) {
            const auto r = static_cast<std::uint8_t>(x * 19), g = static_cast<std::uint8_t>(y * 36 + 10);
            std::uint8_t a = 255;
            if (x == 0) a = 0;
            else if (x == 1) a = 128;
            else if (x == 2) a = y % 2 ? 126 : 127;
            image.At(x, y) = a == 0 ? TmyPixel{} : TmyPixel{r, g, 90, a};
        }
    return image;
}

// The image as it must come back: itself with alpha, or drawn over the matte colour.
Rgba Expected(const TmyImagePal& image, bool alpha, TColor matte) {
    Rgba e{image.Width(), image.Height(), {}};
    const TmyPixel back{ColorR(matte), ColorG(matte), ColorB(matte), 255};
    for (const TmyPixel& p : image.Pixels()) {
        if (alpha) {
            e.pixels.insert(e.pixels.end(), {p.R, p.G, p.B, p.A});
        } else {
            const TColor c = p.A == 0 ? matte : PixelOverColor(back, p);
            e.pixels.insert(e.pixels.end(), {ColorR(c), ColorG(c), ColorB(c), 255});
        }
    }
    return e;
}

// The largest channel difference.
int MaxDiff(const Rgba& a, const Rgba& b) {
    if (a.width != b.width || a.height != b.height) return 256;
    int m = 0;
    for (std::size_t i = 0; i < a.pixels.size(); ++i) m = std::max(m, std::abs(a.pixels[i] - b.pixels[i]));
    return m;
}

struct Format {
    const char* ext;
    bool keepsAlpha;  // with ExportAlpha on
    int tolerance;    // 0: lossless
};
constexpr Format kFormats[] = {
    {".bmp", true, 0}, {".png", true, 0}, {".jp2", true, 0}, {".j2k", true, 0}, {".jpg", false, 40},
};

TEST(ExportPeer, PillowAndImageMagickReadTheSamePixels) {
    if (!HavePillow() || !Have(Magick())) GTEST_SKIP() << "needs Pillow and ImageMagick";
    const TmyImagePal image = TestImage();
    for (const bool alpha : {true, false}) {
        for (const Format& f : kFormats) {
            ScratchDir dir;
            TestService s;
            s.settings.ExportAlpha = alpha;
            s.settings.PrevColor = MakeColor(255, 255, 255);
            TmyANI doc;
            doc.AppendImage(std::make_unique<TmyImagePal>(image));
            const std::string file = dir.File(std::string("out") + f.ext);
            FileError error;
            ASSERT_TRUE(s.service.ExportImage(file, doc, false, &error)) << f.ext << " " << FileErrorText(error);
            const Rgba expected = Expected(image, alpha && f.keepsAlpha, s.settings.PrevColor);
            const std::optional<Rgba> pillow = PillowRgba(file, dir);
            ASSERT_TRUE(pillow) << f.ext << " alpha " << alpha;
            EXPECT_LE(MaxDiff(*pillow, expected), f.tolerance) << "Pillow " << f.ext << " alpha " << alpha;
            const std::optional<Rgba> magick = MagickRgba(file, dir);
            ASSERT_TRUE(magick) << f.ext << " alpha " << alpha;
            EXPECT_LE(MaxDiff(*magick, expected), f.tolerance) << "ImageMagick " << f.ext << " alpha " << alpha;
        }
    }
}

TEST(ExportPeer, GifFrameKeepsTheThresholdAndBlendsOverWhite) {
    if (!HavePillow()) GTEST_SKIP() << "needs Pillow";
    const TmyImagePal image = TestImage();
    for (const bool alpha : {true, false}) {
        ScratchDir dir;
        TestService s;
        s.settings.ExportAlpha = alpha;
        const std::string file = dir.File("one.gif");
        ASSERT_TRUE(s.service.SaveGif(file, image));
        const std::optional<Rgba> pillow = PillowRgba(file, dir);
        ASSERT_TRUE(pillow);
        // With alpha: below 127 transparent, the rest over white; without: over the matte.
        TmyImagePal thresholded = image;
        if (alpha)
            for (TmyPixel& p : thresholded.Pixels()) {
                if (p.A < 127) p = {};
                else {
                    AlphaBlendPixel(p, {255, 255, 255, 255}, false);
                    p.A = 255;
                }
            }
        EXPECT_EQ(MaxDiff(*pillow, Expected(thresholded, alpha, s.settings.PrevColor)), 0) << "alpha " << alpha;
    }
}

TEST(ExportPeer, CheckersAcceptTheFiles) {
    const TmyImagePal image = TestImage();
    for (const bool alpha : {true, false}) {
        ScratchDir dir;
        TestService s;
        s.settings.ExportAlpha = alpha;
        if (Have("pngcheck")) {
            ASSERT_TRUE(s.service.SavePng(dir.File("a.png"), image));
            const auto out = Shell("pngcheck " + Quote(dir.File("a.png")) + " 2>&1");
            ASSERT_FALSE(out.empty());
            EXPECT_EQ(out[0].rfind("OK:", 0), 0u) << out[0];
            EXPECT_NE(out[0].find(alpha ? "RGB+alpha" : "RGB"), std::string::npos) << out[0];
        }
        if (Have("gifsicle")) {
            ASSERT_TRUE(s.service.SaveGif(dir.File("a.gif"), image));
            const auto out = Shell("gifsicle --info " + Quote(dir.File("a.gif")) + " 2>&1");
            ASSERT_GE(out.size(), 2u);
            EXPECT_NE(out[0].find("1 image"), std::string::npos) << out[0];
        }
        if (Have("opj_dump")) {
            for (const char* ext : {".jp2", ".j2k"}) {
                const std::string file = dir.File(std::string("a") + ext);
                ASSERT_TRUE(s.service.SaveJpeg2000(file, image));
                std::string text;
                for (const auto& line : Shell("opj_dump -i " + Quote(file) + " 2>&1")) text += line + "\n";
                EXPECT_NE(text.find("x1=13, y1=7"), std::string::npos) << text;
                EXPECT_NE(text.find(alpha ? "numcomps=4" : "numcomps=3"), std::string::npos) << text;
            }
        }
    }
}

TEST(ExportPeer, AnimatedCursorPlaysInGifsicle) {
    if (!Have("gifsicle")) GTEST_SKIP() << "needs gifsicle";
    ScratchDir dir;
    TestService s;
    TmyANI doc;
    const double rates[] = {0.3, 0.125, 0.375, 1.0};
    for (const double rate : rates) {
        const int i = doc.AddImage({16, 16}, 32);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                doc.Image(i).At(x, y) = x < i * 4 ? TmyPixel{} : TmyPixel{static_cast<std::uint8_t>(60 * i), 40, 200, 255};
        doc.Image(i).SetRate(rate);
    }
    const std::string file = dir.File("anim.gif");
    ASSERT_TRUE(s.service.ExportImage(file, doc, true));
    const auto lines = Shell("gifsicle --info " + Quote(file) + " 2>&1");
    std::string text;
    for (const auto& l : lines) text += l + "\n";
    EXPECT_NE(text.find("4 images"), std::string::npos) << text;
    EXPECT_EQ(text.find("loop"), std::string::npos) << "no loop extension\n" << text;
    const char* delays[] = {"delay 0.30s", "delay 0.12s", "delay 0.38s", "delay 1.00s"};
    std::size_t at = 0;
    for (int i = 0; i < 4; ++i) {
        at = text.find("+ image #" + std::to_string(i), at);
        ASSERT_NE(at, std::string::npos) << text;
        const std::size_t next = text.find("+ image #", at + 1);
        const std::string block = text.substr(at, next == std::string::npos ? std::string::npos : next - at);
        EXPECT_NE(block.find("disposal background"), std::string::npos) << block;
        EXPECT_NE(block.find(delays[i]), std::string::npos) << block;
        // Frame 0 has no transparent pixel; the others do.
        EXPECT_EQ(block.find("transparent") != std::string::npos, i > 0) << block;
    }
    // A static document exports its current image only.
    TmyIcon icon;
    icon.AddImage({8, 8}, 32);
    icon.AddImage({16, 16}, 32);
    ASSERT_TRUE(s.service.ExportImage(dir.File("still.gif"), icon, false));
    const auto still = Shell("gifsicle --info " + Quote(dir.File("still.gif")) + " 2>&1");
    ASSERT_FALSE(still.empty());
    EXPECT_NE(still[0].find("1 image"), std::string::npos) << still[0];
}

// The sample GIF animations import frame for frame, every frame at the
// animated cursor's default rate and in the document's format.
TEST(ExportPeer, SampleAnimationsImportFrameForFrame) {
    VELTO_NEED_CORPUS();
    if (!Have("gifsicle")) GTEST_SKIP() << "needs gifsicle";
    SilenceMessages();
    int animations = 0;
    for (const char* name : {"dispose_bgnd.gif", "dispose_none.gif", "dispose_prev.gif", "iss634.gif",
                             "transparent_dispose.gif", "test_extents.gif", "duplicate_frame.gif",
                             "different_transparency.gif", "dispose_bgnd_rgba.gif"}) {
        const std::string file = Corpus(std::string("pillow/") + name);
        const auto info = Shell("gifsicle --info " + Quote(file) + " 2>/dev/null");
        int frames = 0;
        if (info.empty() || std::sscanf(info[0].c_str(), "* %*s %d image", &frames) != 1) continue;
        TestService s;
        TmyANI doc;
        doc.AddImage({32, 32}, 32);
        ASSERT_TRUE(s.service.ImportAnimatedGif(doc, file)) << name;
        ASSERT_EQ(doc.Count(), frames) << name;
        for (int i = 0; i < doc.Count(); ++i) {
            EXPECT_EQ(doc.Image(i).Size(), (ImageSize{32, 32})) << name;
            EXPECT_DOUBLE_EQ(doc.Image(i).Rate(), 0.3) << name;
        }
        if (frames > 1) ++animations;
    }
    EXPECT_GE(animations, 5);
}

}  // namespace
}  // namespace velto
