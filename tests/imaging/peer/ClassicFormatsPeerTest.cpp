// The classic raster formats against peers. Every sample file of these
// formats loads to the RGBA that Pillow, ImageMagick or netpbm give, or is
// refused; the differences we agree with are listed below with their reasons.
// Images we save in every pixel format each saver takes are read back to the
// same pixels by ImageMagick.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "../ClassicFormatsTestUtil.h"
#include "Corpus.h"
#include "PeerShell.h"
#include "imaging/FormatBmp.h"
#include "imaging/FormatLibGif.h"
#include "imaging/FormatPnm.h"
#include "imaging/FormatPsd.h"
#include "imaging/FormatTga.h"
#include "platform/FileIO.h"
#include "platform/FileWriter.h"

namespace velto {
namespace {

using namespace test;
namespace fs = std::filesystem;

// Straight RGBA, top row first; a pixel of alpha 0 is 0, 0, 0, 0.
struct Rgba {
    std::int32_t width = 0, height = 0;
    Bytes pixels;
};

void ClearTransparent(Bytes& px) {
    for (std::size_t i = 0; i + 3 < px.size(); i += 4)
        if (px[i + 3] == 0) px[i] = px[i + 1] = px[i + 2] = 0;
}

Rgba ToRgba(const TImageData& source) {
    TImageData image;
    CloneImage(source, image);
    ConvertImage(image, ifA8R8G8B8);
    Rgba out{image.Width, image.Height, Bytes(static_cast<std::size_t>(image.Size))};
    for (std::int32_t i = 0; i < image.Size; i += 4) {
        out.pixels[i] = image.Bits[i + 2];
        out.pixels[i + 1] = image.Bits[i + 1];
        out.pixels[i + 2] = image.Bits[i];
        out.pixels[i + 3] = image.Bits[i + 3];
    }
    FreeImage(image);
    ClearTransparent(out.pixels);
    return out;
}

// Our first image of a file, its format found by content.
std::optional<Rgba> Ours(const std::string& path) {
    try {
        TImageFileFormat* format = FindImageFileFormatByExt(DetectFileFormat(path));
        if (!format) return std::nullopt;
        Images images;
        if (!format->LoadFromFile(path, images.list, false) || images.size() == 0) return std::nullopt;
        return ToRgba(images[0]);
    } catch (const EImagingError&) {
        return std::nullopt;
    }
}

std::optional<Rgba> ReadRaw(const std::string& path, std::int32_t w, std::int32_t h) {
    Bytes b;
    if (w <= 0 || h <= 0 || !ReadWholeFile(path, b) || b.size() != std::size_t(w) * std::size_t(h) * 4) return std::nullopt;
    ClearTransparent(b);
    return Rgba{w, h, b};
}

// Pillow's RGBA of the first frame of each file (nullopt when it refuses).
std::vector<std::optional<Rgba>> Pillow(const std::vector<std::string>& files, const fs::path& dir) {
    const fs::path list = dir / "files.txt", script = dir / "pillow.py";
    {
        std::string text;
        for (const auto& f : files) text += f + "\n";
        WriteWholeFile(list.string(), Bytes(text.begin(), text.end()));
        const std::string py =
            "import sys\nfrom PIL import Image\n"
            "for i, p in enumerate(open(sys.argv[1]).read().splitlines()):\n"
            "    try:\n"
            "        im = Image.open(p)\n"
            "        im.load()\n"
            "        data = im.convert('RGBA').tobytes()\n"
            "        open('%s/%d.raw' % (sys.argv[2], i), 'wb').write(data)\n"
            "        print(i, im.size[0], im.size[1])\n"
            "    except Exception as e:\n"
            "        print(i, 0, 0)\n";
        WriteWholeFile(script.string(), Bytes(py.begin(), py.end()));
    }
    std::vector<std::optional<Rgba>> out(files.size());
    for (const std::string& line : Shell(std::string(kPython) + " " + Quote(script.string()) + " " +
                                         Quote(list.string()) + " " + Quote(dir.string()) + " 2>/dev/null")) {
        std::size_t i = 0;
        int w = 0, h = 0;
        if (std::sscanf(line.c_str(), "%zu %d %d", &i, &w, &h) == 3 && i < files.size())
            out[i] = ReadRaw((dir / (std::to_string(i) + ".raw")).string(), w, h);
    }
    return out;
}

// ImageMagick's RGBA of the first frame, drawn on the full canvas.
std::optional<Rgba> Magick(const std::string& file, const fs::path& dir) {
    const std::string raw = (dir / "magick.raw").string();
    const auto size = Shell("convert " + Quote(file + "[0]") + " -format '%w %h' info: 2>/dev/null");
    int w = 0, h = 0;
    if (size.empty() || std::sscanf(size[0].c_str(), "%d %d", &w, &h) != 2) return std::nullopt;
    if (std::system(("convert " + Quote(file + "[0]") + " -depth 8 " + Quote("rgba:" + raw) + " >/dev/null 2>&1").c_str()) != 0)
        return std::nullopt;
    return ReadRaw(raw, w, h);
}

// netpbm's reading of a float map, scaled to 8 bits.
std::optional<Rgba> Netpbm(const std::string& file, const fs::path& dir) {
    const std::string pam = (dir / "netpbm.pam").string();
    if (std::system(("pfmtopam -maxval 255 " + Quote(file) + " > " + Quote(pam) + " 2>/dev/null").c_str()) != 0)
        return std::nullopt;
    const auto raw = (dir / "netpbm.raw").string();
    const auto size = Shell("convert " + Quote(pam) + " -format '%w %h' info: 2>/dev/null");
    int w = 0, h = 0;
    if (size.empty() || std::sscanf(size[0].c_str(), "%d %d", &w, &h) != 2) return std::nullopt;
    if (std::system(("convert " + Quote(pam) + " -depth 8 " + Quote("rgba:" + raw) + " >/dev/null 2>&1").c_str()) != 0)
        return std::nullopt;
    return ReadRaw(raw, w, h);
}

// Largest difference of any channel of ours (a) and a peer's (b); -1 when the sizes differ.
// redOnly: grey float maps load as the library's one-channel float format,
// which converts to red alone; its red is compared with the peer's grey.
int Difference(const Rgba& a, const Rgba& b, bool skipOurTransparent = false, bool redOnly = false) {
    if (a.width != b.width || a.height != b.height || a.pixels.size() != b.pixels.size()) return -1;
    int d = 0;
    for (std::size_t i = 0; i < a.pixels.size(); ++i) {
        if (skipOurTransparent && a.pixels[i | 3] == 0) continue;
        if (redOnly && (i & 3) != 0) continue;
        // The colour of a pixel transparent on either side does not count.
        if ((i & 3) != 3 && (a.pixels[i | 3] == 0 || b.pixels[i | 3] == 0)) continue;
        d = std::max(d, std::abs(int(a.pixels[i]) - int(b.pixels[i])));
    }
    return d;
}

// Files whose pixels differ from every peer, and why we keep our result:
// tolerance -1 for pixels that differ outright, else the largest channel
// difference accepted.
struct Agreed {
    int tolerance;
    const char* reason;
};
constexpr const char* kMasks = "32-bit bit fields are read as bytes B, G, R, A whatever the masks say";
constexpr const char* kFiveBits = "5- and 6-bit channels are widened by the library's conversion, peers round otherwise";
constexpr const char* kBrokenLayers = "peers refuse the broken layer section; the merged image behind it is read";
constexpr const char* kFloatRange =
    "samples lie in 0..255, not 0..1: the library clamps floats at 1.0 when converting, netpbm scales by the largest";
const std::map<std::string, Agreed> kAgreedDifferences = {
    {"pillow/rgb32bf-abgr.bmp", {-1, kMasks}},
    {"pillow/rgb32bf-rgba.bmp", {-1, kMasks}},
    {"pillow/bmp/g/rgb32bf.bmp", {-1, kMasks}},
    {"pillow/bmp/q/rgb32-111110.bmp", {-1, kMasks}},
    {"pillow/bmp/q/rgb32bf-xbgr.bmp", {-1, kMasks}},
    {"pillow/bmp/q/rgb32h52.bmp", {-1, kMasks}},
    {"pillow/bmp/q/rgba32.bmp", {-1, kMasks}},
    {"pillow/bmp/q/rgba32h56.bmp", {-1, kMasks}},
    {"pillow/bmp/q/rgba32abf.bmp", {-1, "compression 6 is not one of the four the format reads: the pixels stay zero"}},
    {"pillow/bmp/q/rgb16-231.bmp", {-1, "16-bit masks only choose among the fixed layouts (here A1R5G5B5)"}},
    {"pillow/bmp/g/rgb16.bmp", {1, kFiveBits}},
    {"pillow/bmp/g/rgb16-565.bmp", {1, kFiveBits}},
    {"pillow/bmp/g/rgb16-565pal.bmp", {1, kFiveBits}},
    {"pillow/rgba16.tga", {1, kFiveBits}},
    {"pillow/bmp/q/rgba16-4444.bmp", {17, "4-bit channels widen as x * 17; ImageMagick shifts, Pillow refuses"}},
    {"pillow/bmp/q/pal8oversizepal.bmp", {-1, "a colour count above 256 is clamped to the 256 entries peers refuse"}},
    {"pillow/bmp/b/badpalettesize.bmp", {-1, "a colour count above 256 is clamped to the 256 entries peers refuse"}},
    {"pillow/bmp/b/pal8badindex.bmp", {-1, "indices beyond the palette read are transparent black (unread entries)"}},
    {"pillow/mmap_error.bmp", {-1, "pixels are read at the offset the header gives (inside the palette here)"}},
    {"pillow/p_16.tga", {7, "16-bit colour-map entries widen 5 bits as x * 8"}},
    {"pillow/rgb32rle_bottom_right.tga", {-1, "the right-to-left bit of the descriptor is ignored"}},
    {"pillow/cross_scan_line_truncated.tga", {-1, "packets missing at the end of the input leave zeros; peers refuse"}},
    {"pillow/hopper.pfm", {-1, kFloatRange}},
    {"pillow/hopper_be.pfm", {-1, kFloatRange}},
    {"pillow/timeout-1ee28a249896e05b83840ae8140622de8e648ba9.psd", {-1, kBrokenLayers}},
    {"pillow/timeout-598843abc37fc080ec36a2699ebbd44f795d3a6f.psd", {-1, kBrokenLayers}},
    {"pillow/timeout-c8efc3fded6426986ba867a399791bae544f59bc.psd", {-1, kBrokenLayers}},
};

struct CorpusSet {
    const char* name;
    std::vector<const char*> patterns;
    // GIF: the background entry of the global colour table is transparent in
    // every frame (peers draw it opaque), so our transparent pixels are not compared.
    bool skipOurTransparent = false;
};

class ClassicCorpus : public ::testing::TestWithParam<CorpusSet> {};

TEST_P(ClassicCorpus, AgreesWithAPeerOrIsRefused) {
    VELTO_NEED_CORPUS();
    if (!HavePillow() || !Have("convert")) GTEST_SKIP() << "needs Pillow and ImageMagick";
    std::vector<std::string> files, names;
    for (const char* pattern : GetParam().patterns) {
        // "folder/*.ext"
        const std::string pat(pattern);
        const std::string folder = pat.substr(0, pat.rfind('/')), ext = pat.substr(pat.rfind('*') + 1);
        const fs::path dir = CorpusDir() / folder;
        if (!fs::is_directory(dir)) continue;
        std::vector<fs::path> found;
        for (const auto& e : fs::directory_iterator(dir))
            if (e.is_regular_file() && e.path().extension() == ext) found.push_back(e.path());
        std::sort(found.begin(), found.end());
        for (const fs::path& f : found) {
            files.push_back(f.string());
            names.push_back(folder + "/" + f.filename().string());
        }
    }
    ASSERT_FALSE(files.empty());
    const fs::path dir = fs::temp_directory_path() / ("velto-classic-peer-" + std::to_string(::getpid()) + GetParam().name);
    fs::create_directories(dir);
    const auto pillow = Pillow(files, dir);
    int loaded = 0, refused = 0, agreed = 0, listed = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(names[i]);
        const std::optional<Rgba> ours = Ours(files[i]);
        if (!ours) {
            ++refused;
            continue;
        }
        ++loaded;
        const bool skip = GetParam().skipOurTransparent;
        int best = pillow[i] ? Difference(*ours, *pillow[i], skip) : -1;
        if (best != 0) {
            const auto magick = Magick(files[i], dir);
            const int d = magick ? Difference(*ours, *magick, skip) : -1;
            if (d >= 0 && (best < 0 || d < best)) best = d;
        }
        if (best != 0 && fs::path(files[i]).extension() == ".pfm") {
            const auto netpbm = Netpbm(files[i], dir);
            const int d = netpbm ? Difference(*ours, *netpbm, false, true) : -1;
            if (d >= 0 && (best < 0 || d < best)) best = d;
        }
        if (best == 0) {
            ++agreed;
            continue;
        }
        const auto known = kAgreedDifferences.find(names[i]);
        if (known != kAgreedDifferences.end() && (known->second.tolerance < 0 || (best >= 0 && best <= known->second.tolerance))) {
            ++listed;
            continue;
        }
        ADD_FAILURE() << "no peer gives our pixels (smallest difference " << best << ", -1: another size or refused)";
    }
    fs::remove_all(dir);
    std::printf("%s: %zu files, %d loaded (%d as a peer, %d listed differences), %d refused\n", GetParam().name,
                files.size(), loaded, agreed, listed, refused);
}

const CorpusSet kSets[] = {
    {"bmp", {"pillow/*.bmp", "pillow/bmp/g/*.bmp", "pillow/bmp/q/*.bmp", "pillow/bmp/b/*.bmp"}},
    {"pcx", {"pillow/*.pcx"}},
    {"psd", {"pillow/*.psd"}},
    {"pnm", {"pillow/*.ppm", "pillow/*.pgm", "pillow/*.pbm", "pillow/*.pnm", "pillow/*.pfm", "pillow/*.pam"}},
    {"tga", {"pillow/*.tga", "pillow/tga/common/*.tga"}},
    {"gif", {"pillow/*.gif", "pillow/avif/*.gif"}, true},
};
INSTANTIATE_TEST_SUITE_P(Samples, ClassicCorpus, ::testing::ValuesIn(kSets),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// What we save, read by ImageMagick.

struct SaveCase {
    const char* name;
    const char* ext;  // the format saving it
    TImageFormat format;
    int tolerance;  // largest channel difference accepted, with the reason in the name's comment
    std::int32_t option = 0, value = 0;  // an option set for the save
    // The peers do not take the alpha we write as alpha (a PSD extra channel
    // without layer records; the 1-bit alpha mask of 16-bit bitmaps): colours
    // alone are compared.
    bool colourOnly = false;
};

// Tolerances: widening 4-, 5- and 6-bit channels and narrowing 16-bit and
// float samples to 8 bits round differently in ImageMagick.
const SaveCase kSaveCases[] = {
    {"bmp_Index8_rle", "bmp", ifIndex8, 0},
    {"bmp_Index8_plain", "bmp", ifIndex8, 0, ImagingBitmapRLE, 0},
    {"bmp_R5G6B5", "bmp", ifR5G6B5, 2},
    {"bmp_A1R5G5B5", "bmp", ifA1R5G5B5, 2, 0, 0, true},
    {"bmp_X1R5G5B5", "bmp", ifX1R5G5B5, 2},
    {"bmp_A4R4G4B4", "bmp", ifA4R4G4B4, 17},
    {"bmp_X4R4G4B4", "bmp", ifX4R4G4B4, 17},
    {"bmp_R8G8B8", "bmp", ifR8G8B8, 0},
    {"bmp_A8R8G8B8", "bmp", ifA8R8G8B8, 0},
    {"bmp_X8R8G8B8", "bmp", ifX8R8G8B8, 0},
    {"tga_Index8", "tga", ifIndex8, 0},
    {"tga_Index8_rle", "tga", ifIndex8, 0, ImagingTargaRLE, 1},
    {"tga_Gray8", "tga", ifGray8, 0},
    {"tga_Gray8_rle", "tga", ifGray8, 0, ImagingTargaRLE, 1},
    {"tga_A1R5G5B5", "tga", ifA1R5G5B5, 2},
    {"tga_A1R5G5B5_rle", "tga", ifA1R5G5B5, 2, ImagingTargaRLE, 1},
    {"tga_R8G8B8", "tga", ifR8G8B8, 0},
    {"tga_R8G8B8_rle", "tga", ifR8G8B8, 0, ImagingTargaRLE, 1},
    {"tga_A8R8G8B8", "tga", ifA8R8G8B8, 0},
    {"tga_A8R8G8B8_rle", "tga", ifA8R8G8B8, 0, ImagingTargaRLE, 1},
    {"pgm_Gray8", "pgm", ifGray8, 0},
    {"pgm_Gray8_text", "pgm", ifGray8, 0, ImagingPGMSaveBinary, 0},
    {"pgm_Gray16", "pgm", ifGray16, 1},
    {"pgm_Gray16_text", "pgm", ifGray16, 1, ImagingPGMSaveBinary, 0},
    {"ppm_R8G8B8", "ppm", ifR8G8B8, 0},
    {"ppm_R8G8B8_text", "ppm", ifR8G8B8, 0, ImagingPPMSaveBinary, 0},
    {"ppm_R16G16B16", "ppm", ifR16G16B16, 1},
    {"ppm_R16G16B16_text", "ppm", ifR16G16B16, 1, ImagingPPMSaveBinary, 0},
    {"pam_Gray8", "pam", ifGray8, 0},
    {"pam_A8Gray8", "pam", ifA8Gray8, 0},
    {"pam_Gray16", "pam", ifGray16, 1},
    {"pam_A16Gray16", "pam", ifA16Gray16, 1},
    {"pam_R8G8B8", "pam", ifR8G8B8, 0},
    {"pam_A8R8G8B8", "pam", ifA8R8G8B8, 0},
    {"pam_R16G16B16", "pam", ifR16G16B16, 1},
    {"pam_A16R16G16B16", "pam", ifA16R16G16B16, 1},
    {"pfm_R32F", "pfm", ifR32F, 1},
    {"pfm_A32B32G32R32F", "pfm", ifA32B32G32R32F, 1},
    {"psd_Index8", "psd", ifIndex8, 0},
    {"psd_Gray8", "psd", ifGray8, 0},
    {"psd_A8Gray8", "psd", ifA8Gray8, 0, 0, 0, true},
    {"psd_Gray16", "psd", ifGray16, 1},
    {"psd_A16Gray16", "psd", ifA16Gray16, 1, 0, 0, true},
    {"psd_R8G8B8", "psd", ifR8G8B8, 0},
    {"psd_A8R8G8B8", "psd", ifA8R8G8B8, 0},
    {"psd_R16G16B16", "psd", ifR16G16B16, 1},
    {"psd_A16R16G16B16", "psd", ifA16R16G16B16, 1, 0, 0, true},
    {"psd_R32F", "psd", ifR32F, 1},
    {"psd_A32R32G32B32F", "psd", ifA32R32G32B32F, 1, 0, 0, true},
    {"gif_Index8", "gif", ifIndex8, 0},
};

class SavedFiles : public ::testing::TestWithParam<SaveCase> {};

TEST_P(SavedFiles, ReadBackByImageMagick) {
    if (!Have("convert")) GTEST_SKIP() << "needs ImageMagick";
    const SaveCase& c = GetParam();
    const fs::path dir = fs::temp_directory_path() / ("velto-classic-save-" + std::to_string(::getpid()) + c.name);
    fs::create_directories(dir);
    Image image(37, 11, c.format);
    FillPattern(image.data, 5);
    const TImageFormatInfo& info = *FormatInfo(c.format);
    if (info.IsFloat) {
        // Samples in 0..1 (every fourth an alpha of a four-channel format).
        auto* f = reinterpret_cast<float*>(image.data.Bits);
        for (std::int32_t i = 0; i < image.data.Size / 4; ++i) f[i] = static_cast<float>((i * 37) % 256) / 255.0f;
        // Float maps keep red, green and blue only.
        if (std::string(c.ext) == "pfm" && info.ChannelCount == 4)
            for (std::int32_t i = 3; i < image.data.Size / 4; i += 4) f[i] = 1.0f;
    }
    // The formats without alpha keep their unused bits clear.
    if (c.format == ifX1R5G5B5 || c.format == ifX4R4G4B4)
        for (std::int32_t i = 1; i < image.data.Size; i += 2) image.data.Bits[i] &= c.format == ifX1R5G5B5 ? 0x7F : 0x0F;
    if (c.format == ifX8R8G8B8)
        for (std::int32_t i = 3; i < image.data.Size; i += 4) image.data.Bits[i] = 0;
    // Whole alpha values only where the formats' alpha is a single bit.
    const std::string path = (dir / (std::string("saved.") + c.ext)).string();
    {
        if (c.option) PushOptions(), SetOption(c.option, c.value);
        const bool saved = SaveImageToFile(path, image.data);
        if (c.option) PopOptions();
        ASSERT_TRUE(saved);
    }
    // Our own loader first: the same pixel values.
    TImageData back;
    ASSERT_TRUE(LoadImageFromFile(path, back));
    EXPECT_EQ(Difference(ToRgba(back), ToRgba(image.data)), 0);
    if (c.colourOnly) {
        const TImageFormatInfo& i = *FormatInfo(c.format);
        const std::size_t bpp = static_cast<std::size_t>(i.BytesPerPixel), size = bpp / static_cast<std::size_t>(i.ChannelCount);
        for (std::size_t p = 0; p < std::size_t(image.data.Size) / bpp; ++p) {  // opaque everywhere
            std::memset(image.data.Bits + p * bpp + (i.ChannelCount - 1) * size, 0xFF, size);
            if (c.format == ifA1R5G5B5) image.data.Bits[p * 2 + 1] |= 0x80;
        }
        if (i.IsFloat)
            for (std::size_t p = 0; p < std::size_t(image.data.Size) / bpp; ++p) {
                const float one = 1.0f;
                std::memcpy(image.data.Bits + p * bpp + (i.ChannelCount - 1) * size, &one, 4);
            }
    }
    const Rgba ours = ToRgba(image.data);
    FreeImage(back);
    // One-channel floats convert to red alone here; peers read them as grey.
    const bool redOnly = c.format == ifR32F;
    std::string verdict;
    bool agreed = false;
    if (const std::optional<Rgba> magick = Magick(path, dir)) {
        const int d = Difference(ours, *magick, false, redOnly);
        agreed = d >= 0 && d <= c.tolerance;
        verdict += "ImageMagick: difference " + std::to_string(d) + "; ";
    } else {
        verdict += "ImageMagick refused; ";
    }
    if (!agreed && HavePillow()) {
        if (const std::optional<Rgba> pillow = Pillow({path}, dir)[0]) {
            const int d = Difference(ours, *pillow, false, redOnly);
            agreed = d >= 0 && d <= c.tolerance;
            verdict += "Pillow: difference " + std::to_string(d);
        } else {
            verdict += "Pillow refused";
        }
    }
    EXPECT_TRUE(agreed) << verdict;
    fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Formats, SavedFiles, ::testing::ValuesIn(kSaveCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velto
