// The image library's PNG/MNG/JNG, JPEG and DDS formats against peers: every
// PngSuite file loads with the pixels of the program's own PNG codec (two
// independent decoders), pngcheck accepts the PNG, MNG and JNG files we write,
// sample JPEGs load as djpeg decodes them and our saved JPEGs are read by it,
// sample DDS files load as Pillow (or nvdecompress) reads them, and our DXT encoder's error on
// a photograph is measured beside libsquish.
#include <gtest/gtest.h>

#include <squish.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "Corpus.h"
#include "PeerShell.h"
#include "imaging/FormatDds.h"
#include "imaging/FormatJpeg.h"
#include "imaging/FormatNetworkGraphics.h"
#include "imaging/Formats.h"
#include "imaging/Options.h"
#include "platform/ByteReader.h"
#include "platform/FileIO.h"
#include "png/PngImage.h"

namespace velto {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using test::Have;
using test::HavePillow;

Bytes ReadAll(const std::string& path) {
    Bytes b;
    ReadWholeFile(path, b);
    return b;
}

class Formats2Work : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("velto-formats2-peer-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    fs::path dir_;
};

struct Rgba {
    std::int32_t width = 0, height = 0;
    Bytes px;  // R, G, B, A rows top to bottom
};

// Our image as 8-bit RGBA: 16-bit samples by their high byte (as the program's
// PNG codec keeps them), packed fields widened to 0..255, palettes looked up.
Rgba OurRgba(const TImageData& image) {
    Rgba out{image.Width, image.Height, {}};
    const TImageFormatInfo& info = *FormatInfo(image.Format);
    const std::size_t n = std::size_t(image.Width) * std::size_t(image.Height);
    out.px.resize(n * 4);
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t* p = image.Bits + i * std::size_t(info.BytesPerPixel);
        std::uint8_t* o = out.px.data() + 4 * i;
        const bool wide = info.BytesPerPixel == 2 * info.ChannelCount && !info.IsIndexed;
        const auto sample = [&](int c) { return wide ? p[2 * c + 1] : p[c]; };
        if (info.IsPacked && info.BitFields) {
            const TBitFieldInfo& bf = *info.BitFields;
            const std::uint32_t v = info.BytesPerPixel == 1 ? p[0] : std::uint32_t(p[0] | p[1] << 8);
            const auto field = [v](std::uint32_t mask, int shift, int max) {
                return max ? std::uint8_t(((v & mask) >> shift) * 255 / std::uint32_t(max)) : std::uint8_t(255);
            };
            o[0] = field(bf.RMask, bf.RShift, bf.RMax), o[1] = field(bf.GMask, bf.GShift, bf.GMax);
            o[2] = field(bf.BMask, bf.BShift, bf.BMax), o[3] = info.HasAlpha ? field(bf.AMask, bf.AShift, bf.AMax) : 255;
        } else if (info.IsIndexed) {
            const TColor32 c = image.Palette[p[0]];
            o[0] = Color32R(c), o[1] = Color32G(c), o[2] = Color32B(c), o[3] = Color32A(c);
        } else if (info.IsGray) {
            o[0] = o[1] = o[2] = sample(0);
            o[3] = info.HasAlpha ? sample(1) : 255;
        } else {
            o[0] = sample(2), o[1] = sample(1), o[2] = sample(0);
            o[3] = info.HasAlpha ? sample(3) : 255;
        }
    }
    return out;
}

// The first difference of two RGBA images (colours of pixels transparent in
// both are not compared), or "".
std::string Compare(const Rgba& ours, const Rgba& theirs, int tolerance = 0) {
    if (ours.width != theirs.width || ours.height != theirs.height)
        return "size " + std::to_string(ours.width) + "x" + std::to_string(ours.height) + " vs " +
               std::to_string(theirs.width) + "x" + std::to_string(theirs.height);
    if (theirs.px.size() != ours.px.size()) return "peer gave " + std::to_string(theirs.px.size()) + " bytes";
    for (std::size_t i = 0; i < ours.px.size(); i += 4) {
        const bool hidden = ours.px[i + 3] == 0 && theirs.px[i + 3] == 0;
        for (std::size_t c = hidden ? 3 : 0; c < 4; ++c)
            if (std::abs(int(ours.px[i + c]) - int(theirs.px[i + c])) > tolerance) {
                const std::size_t p = i / 4;
                return "pixel (" + std::to_string(p % std::size_t(ours.width)) + ", " +
                       std::to_string(p / std::size_t(ours.width)) + ") channel " + std::to_string(c) + ": ours " +
                       std::to_string(ours.px[i + c]) + ", peer " + std::to_string(theirs.px[i + c]);
            }
    }
    return {};
}

// A PNG file without its gamma chunk: the program's codec applies gamma to the
// samples, the library hands them over as stored.
Bytes WithoutGamma(const Bytes& file) {
    Bytes out(file.begin(), file.begin() + 8);
    for (std::size_t at = 8; at + 12 <= file.size();) {
        const std::size_t n = std::size_t(file[at]) << 24 | file[at + 1] << 16 | file[at + 2] << 8 | file[at + 3];
        if (at + 12 + n > file.size()) break;
        if (std::string(file.begin() + std::ptrdiff_t(at + 4), file.begin() + std::ptrdiff_t(at + 8)) != "gAMA")
            out.insert(out.end(), file.begin() + std::ptrdiff_t(at), file.begin() + std::ptrdiff_t(at + 12 + n));
        at += 12 + n;
    }
    return out;
}

TEST(Formats2Peer, PngSuiteMatchesTheProgramsPngCodec) {
    VELTO_NEED_CORPUS();
    int files = 0;
    for (const auto& entry : fs::directory_iterator(test::CorpusDir() / "pngsuite")) {
        if (entry.path().extension() != ".png") continue;
        SCOPED_TRACE(entry.path().filename().string());
        ++files;
        TImageData image;
        ASSERT_TRUE(LoadImageFromFile(entry.path().string(), image));
        const Rgba ours = OurRgba(image);
        FreeImage(image);

        TPNGObject png;
        const Bytes bytes = WithoutGamma(ReadAll(entry.path().string()));
        ByteReader reader(bytes);
        png.LoadFromStream(reader);
        Rgba theirs{png.Width(), png.Height(), Bytes(std::size_t(png.Width()) * std::size_t(png.Height()) * 4)};
        for (int y = 0; y < png.Height(); ++y) png.GetRGBA(y, theirs.px.data() + std::size_t(y) * std::size_t(png.Width()) * 4);
        EXPECT_EQ(Compare(ours, theirs), "");
    }
    EXPECT_GE(files, 60);
}

TEST_F(Formats2Work, PngcheckAcceptsWhatWeWrite) {
    if (!Have("pngcheck")) GTEST_SKIP() << "pngcheck is not installed";
    TImageData argb, grey16, indexed;
    NewImage(23, 9, ifA8R8G8B8, argb);
    for (std::int32_t i = 0; i < argb.Size; ++i) argb.Bits[i] = std::uint8_t(i * 7);
    CloneImage(argb, grey16);
    ConvertImage(grey16, ifGray16);
    CloneImage(argb, indexed);
    ConvertImage(indexed, ifIndex8);
    struct Case {
        const char* name;
        const char* file;
        std::vector<const TImageData*> images;
        std::int32_t option, value;
    };
    const Case cases[] = {
        {"PNG of A8R8G8B8, adaptive filters", "a.png", {&argb}, ImagingPNGPreFilter, 6},
        {"PNG of Gray16", "g.png", {&grey16}, ImagingPNGPreFilter, 2},
        {"PNG of Index8 with palette alphas", "i.png", {&indexed}, ImagingPNGPreFilter, 0},
        {"MNG of three frames", "m.mng", {&argb, &grey16, &indexed}, ImagingMNGPreFilter, 5},
        {"MNG of JNG frames", "j.mng", {&argb, &indexed}, ImagingMNGLossyCompression, -1},
        {"JNG with PNG alpha", "p.jng", {&argb}, ImagingJNGLossyAlpha, 0},
        {"JNG with JPEG alpha", "q.jng", {&argb}, ImagingJNGLossyAlpha, -1},
        {"JNG progressive", "r.jng", {&argb}, ImagingJNGProgressive, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PushOptions();
        SetOption(c.option, c.value);
        TDynImageDataArray images;
        for (const TImageData* i : c.images) images.push_back(*i);
        TImageFileFormat* format = FindImageFileFormatByName(c.file);
        ASSERT_TRUE(format->SaveToFile(Path(c.file), images));
        PopOptions();
        const std::vector<std::string> out = test::Shell("pngcheck " + test::Quote(Path(c.file)) + " 2>&1; echo rc=$?");
        ASSERT_FALSE(out.empty());
        std::string text;
        for (const std::string& line : out) text += line + "\n";
        if (c.option == ImagingJNGLossyAlpha && c.value != 0) {
            // pngcheck 3.0 knows no JPEG alpha (alpha compression 8) and refuses any such
            // file for that alone, at the header; the rest is checked by reading the file back.
            EXPECT_NE(text.find("alpha-channel compression method (8)"), std::string::npos) << text;
            TDynImageDataArray back;
            EXPECT_TRUE(format->LoadFromFile(Path(c.file), back));
            FreeImagesInArray(back);
            continue;
        }
        EXPECT_EQ(out.back(), "rc=0") << text;
    }
    FreeImage(argb);
    FreeImage(grey16);
    FreeImage(indexed);
}

// A binary PGM or PPM as RGBA.
bool ReadPnm(const std::string& path, Rgba& out) {
    const Bytes b = ReadAll(path);
    std::istringstream head(std::string(b.begin(), b.begin() + std::ptrdiff_t(std::min<std::size_t>(b.size(), 64))));
    std::string magic;
    int maxval = 0;
    head >> magic >> out.width >> out.height >> maxval;
    if ((magic != "P5" && magic != "P6") || maxval != 255) return false;
    const std::size_t start = std::size_t(head.tellg()) + 1, n = std::size_t(out.width) * std::size_t(out.height);
    const std::size_t channels = magic == "P5" ? 1 : 3;
    if (b.size() < start + n * channels) return false;
    out.px.resize(n * 4);
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t* p = b.data() + start + i * channels;
        out.px[4 * i] = p[0];
        out.px[4 * i + 1] = p[channels == 3 ? 1 : 0];
        out.px[4 * i + 2] = p[channels == 3 ? 2 : 0];
        out.px[4 * i + 3] = 255;
    }
    return true;
}

TEST_F(Formats2Work, JpegSamplesLoadAsDjpegDecodesThem) {
    VELTO_NEED_CORPUS();
    if (!Have("djpeg")) GTEST_SKIP() << "djpeg (libjpeg-turbo-progs) is not installed";
    auto& jpeg = *FindImageFileFormatByClass<TJpegFileFormat>();
    int compared = 0;
    for (const auto& entry : fs::directory_iterator(test::CorpusDir() / "pillow")) {
        if (entry.path().extension() != ".jpg") continue;
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        TDynImageDataArray images;
        bool ours = false;
        try {
            ours = jpeg.LoadFromFile(entry.path().string(), images);
        } catch (const EImagingError&) {
        }
        const std::string pnm = Path("out.pnm");
        // djpeg ends with status 2 after a warning (a cut file) but still writes the image.
        const int rc = std::system(("djpeg -pnm " + test::Quote(entry.path().string()) + " >" + test::Quote(pnm) +
                                    " 2>/dev/null").c_str());
        const bool theirs = WIFEXITED(rc) && (WEXITSTATUS(rc) == 0 || WEXITSTATUS(rc) == 2);
        Rgba ref;
        if (ours && images[0].Format == ifA8R8G8B8) {
            // CMYK: djpeg writes no CMYK PNM; the colours are checked in the unit tests.
            EXPECT_TRUE(theirs || !ReadPnm(pnm, ref));
        } else if (theirs && ReadPnm(pnm, ref)) {
            ASSERT_TRUE(ours) << "djpeg decodes it, we refuse it";
            EXPECT_EQ(Compare(OurRgba(images[0]), ref), "");
            ++compared;
        } else {
            EXPECT_FALSE(ours) << "we load what djpeg refuses";
        }
        FreeImagesInArray(images);
    }
    EXPECT_GE(compared, 40);
}

TEST_F(Formats2Work, DjpegReadsWhatWeSave) {
    if (!Have("djpeg")) GTEST_SKIP() << "djpeg (libjpeg-turbo-progs) is not installed";
    TImageData image;
    NewImage(61, 37, ifA8R8G8B8, image);
    for (std::int32_t i = 0; i < image.Size; ++i) image.Bits[i] = std::uint8_t((i * 13) ^ (i >> 5));
    auto& jpeg = *FindImageFileFormatByClass<TJpegFileFormat>();
    for (const std::int32_t quality : {1, 50, 90, 100})
        for (const std::int32_t progressive : {0, -1})
            for (const TImageFormat format : {ifR8G8B8, ifGray8}) {
                SCOPED_TRACE("quality " + std::to_string(quality) + (progressive ? " progressive " : " baseline ") +
                             GetFormatName(format));
                TImageData copy;
                CloneImage(image, copy);
                ConvertImage(copy, format);
                PushOptions();
                SetOption(ImagingJpegQuality, quality);
                SetOption(ImagingJpegProgressive, progressive);
                const std::string file = Path("q.jpg"), pnm = Path("q.pnm");
                ASSERT_TRUE(jpeg.SaveToFile(file, {copy}));
                PopOptions();
                ASSERT_EQ(std::system(("djpeg -pnm " + test::Quote(file) + " >" + test::Quote(pnm)).c_str()), 0);
                Rgba ref;
                ASSERT_TRUE(ReadPnm(pnm, ref));
                TDynImageDataArray back;
                ASSERT_TRUE(jpeg.LoadFromFile(file, back));
                EXPECT_EQ(Compare(OurRgba(back[0]), ref), "");
                FreeImagesInArray(back);
                FreeImage(copy);
            }
    FreeImage(image);
}

// Pillow's RGBA of a file; false when Pillow cannot read it.
bool PillowRgba(const std::string& file, const std::string& raw, Rgba& out) {
    const std::vector<std::string> lines = test::Shell(
        "/usr/bin/python3 -c 'import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1]).convert(\"RGBA\")\n"
        "open(sys.argv[2], \"wb\").write(im.tobytes())\nprint(im.size[0], im.size[1])' " +
        test::Quote(file) + " " + test::Quote(raw) + " 2>/dev/null");
    if (lines.size() != 1 || std::sscanf(lines[0].c_str(), "%d %d", &out.width, &out.height) != 2) return false;
    out.px = ReadAll(raw);
    return true;
}

// nvdecompress's decoding of a file (as a Targa file beside a copy), read back
// by ImageMagick; false when either cannot.
bool NvidiaRgba(const std::string& file, const std::string& copy, const std::string& tga, const std::string& raw, Rgba& out) {
    if (!Have("nvdecompress") || !Have("convert")) return false;
    fs::remove(tga);
    fs::copy_file(file, copy, fs::copy_options::overwrite_existing);
    if (std::system(("nvdecompress " + test::Quote(copy) + " >/dev/null 2>&1").c_str()) != 0 || !fs::exists(tga)) return false;
    const std::vector<std::string> size = test::Shell("identify -format '%w %h' " + test::Quote(tga) + " 2>/dev/null");
    if (size.size() != 1 || std::sscanf(size[0].c_str(), "%d %d", &out.width, &out.height) != 2) return false;
    if (std::system(("convert " + test::Quote(tga) + " -depth 8 rgba:" + test::Quote(raw) + " 2>/dev/null").c_str()) != 0)
        return false;
    out.px = ReadAll(raw);
    return true;
}

TEST_F(Formats2Work, DdsSamplesLoadAsPillowReadsThem) {
    VELTO_NEED_CORPUS();
    if (!HavePillow()) GTEST_SKIP() << "Pillow is not installed for /usr/bin/python3";
    // Files we refuse, with the reason; everything else must load like Pillow.
    const std::map<std::string, std::string> refused = {
        {"DXGI_FORMAT_BC7_UNORM_SRGB.dds", "extended header (BC7)"},
        {"DXGI_FORMAT_R8G8B8A8_UNORM_SRGB.dds", "extended header"},
        {"argb-32bpp_MipMaps-1.dds", "extended header"},
        {"bc1_typeless.dds", "extended header"},
        {"bc4_typeless.dds", "extended header (BC4)"},
        {"bc4_unorm.dds", "extended header (BC4)"},
        {"bc1.dds", "extended header (BC1)"},
        {"bc4u.dds", "BC4 four-character code"},
        {"bc5_snorm.dds", "extended header (BC5)"},
        {"bc5_typeless.dds", "extended header (BC5)"},
        {"bc5_unorm.dds", "extended header (BC5)"},
        {"bc5s.dds", "BC5 four-character code"},
        {"bc5u.dds", "BC5 four-character code"},
        {"ati1.dds", "BC4 four-character code"},
        {"ati2.dds", "BC5 four-character code"},
        {"bc6h.dds", "extended header (BC6)"},
        {"bc6h_sf.dds", "extended header (BC6)"},
        {"bc7-argb-8bpp_MipMaps-1.dds", "extended header (BC7)"},
        {"palette.dds", "palette textures are not in the table"},
        {"unimplemented_dxgi_format.dds", "extended header"},
        {"unimplemented_pixel_format.dds", "unknown four-character code"},
        {"unimplemented_pfflags.dds", "pixel-format flags of no group"},
        {"unsupported_bitcount.dds", "bit count of no format"},
        {"timeout-c60a3d7314213624607bfb3e38d551a8b24a7435.dds", "a 1 x 16777217 image in 3 bytes of data"},
    };
    int compared = 0;
    for (const auto& entry : fs::directory_iterator(test::CorpusDir() / "pillow")) {
        if (entry.path().extension() != ".dds") continue;
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        TImageData image;
        bool ours = false;
        try {
            ours = LoadImageFromFile(entry.path().string(), image);
        } catch (const EImagingError&) {
        }
        Rgba ref;
        // Pillow 9.4 and ImageMagick 6 read no 16-bit RGB textures: nvdecompress then.
        const bool theirs = PillowRgba(entry.path().string(), Path("dds.raw"), ref) ||
                            NvidiaRgba(entry.path().string(), Path("x.dds"), Path("x.tga"), Path("dds.raw"), ref);
        if (refused.count(name)) {
            if (ours) {
                // Loaded after all: then it must agree with Pillow.
                if (FormatInfo(image.Format)->IsBlockCompressed) ConvertImage(image, ifA8R8G8B8);
                if (theirs) {
                    EXPECT_EQ(Compare(OurRgba(image), ref, 3), "") << refused.at(name);
                }
            }
            FreeImage(image);
            continue;
        }
        if (!theirs) {
            EXPECT_FALSE(ours) << "we load what Pillow and nvdecompress refuse";
            FreeImage(image);
            continue;
        }
        ASSERT_TRUE(ours) << "Pillow reads it, we refuse it";
        const TImageFormatInfo& info = *FormatInfo(image.Format);
        if (info.IsBlockCompressed || info.IsFloat) ConvertImage(image, ifA8R8G8B8);
        // Block formats: endpoint expansion and interpolation round differently (within 3);
        // packed fields: peers widen 5 bits by replication, we scale and truncate (within 1).
        EXPECT_EQ(Compare(OurRgba(image), ref, info.IsBlockCompressed ? 3 : info.IsPacked ? 1 : 0), "");
        ++compared;
        FreeImage(image);
    }
    EXPECT_GE(compared, 8);
}

double Rmse(const Bytes& a, const Bytes& b, bool alpha) {
    double sum = 0;
    std::size_t n = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if ((i % 4 == 3) != alpha) continue;
        const double d = double(a[i]) - double(b[i]);
        sum += d * d;
        ++n;
    }
    return std::sqrt(sum / double(n));
}

TEST(Formats2Peer, DxtEncoderErrorBesideLibsquish) {
    VELTO_NEED_CORPUS();
    TImageData photo;
    ASSERT_TRUE(LoadImageFromFile(test::Corpus("pillow/hopper.jpg"), photo));
    ConvertImage(photo, ifA8R8G8B8);
    // A soft alpha ramp for the formats that carry alpha.
    for (std::int32_t y = 0; y < photo.Height; ++y)
        for (std::int32_t x = 0; x < photo.Width; ++x)
            photo.Bits[(std::size_t(y) * std::size_t(photo.Width) + std::size_t(x)) * 4 + 3] =
                std::uint8_t(255 - x * 255 / photo.Width / 2);
    const Rgba source = OurRgba(photo);
    const int w = photo.Width, h = photo.Height;
    struct Case {
        const char* name;
        TImageFormat format;
        int squishFlags;
    };
    const Case cases[] = {{"DXT1", ifDXT1, squish::kDxt1}, {"DXT3", ifDXT3, squish::kDxt3}, {"DXT5", ifDXT5, squish::kDxt5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rgba input = source;
        if (c.format == ifDXT1)
            for (std::size_t i = 3; i < input.px.size(); i += 4) input.px[i] = 255;
        TImageData ours;
        NewImage(w, h, ifA8R8G8B8, ours);
        for (std::size_t i = 0; i < input.px.size(); i += 4) {
            ours.Bits[i] = input.px[i + 2], ours.Bits[i + 1] = input.px[i + 1];
            ours.Bits[i + 2] = input.px[i], ours.Bits[i + 3] = input.px[i + 3];
        }
        ASSERT_TRUE(ConvertImage(ours, c.format));
        // Our blocks decoded by libsquish agree with our own decoder (within its rounding).
        Bytes squishOfOurs(input.px.size());
        squish::DecompressImage(squishOfOurs.data(), w, h, ours.Bits, c.squishFlags);
        ConvertImage(ours, ifA8R8G8B8);
        const Rgba ourBack = OurRgba(ours);
        EXPECT_EQ(Compare(ourBack, Rgba{w, h, squishOfOurs}, 3), "");
        FreeImage(ours);

        std::map<std::string, Bytes> results = {{"velto", ourBack.px}};
        for (const auto& [fit, flag] : {std::pair{"squish range fit", squish::kColourRangeFit},
                                        std::pair{"squish cluster fit", squish::kColourClusterFit}}) {
            Bytes blocks(std::size_t(squish::GetStorageRequirements(w, h, c.squishFlags)));
            squish::CompressImage(input.px.data(), w, h, blocks.data(), c.squishFlags | flag);
            Bytes back(input.px.size());
            squish::DecompressImage(back.data(), w, h, blocks.data(), c.squishFlags);
            results[fit] = back;
        }
        for (const auto& [who, px] : results) {
            const double rgb = Rmse(input.px, px, false), alpha = Rmse(input.px, px, true);
            std::printf("%s %-20s RGB RMSE %6.2f  alpha RMSE %6.2f\n", c.name, who.c_str(), rgb, alpha);
            RecordProperty(std::string(c.name) + " " + who + " rgb_rmse", std::to_string(rgb));
        }
        // Our endpoint search (the farthest pair of colours) is cruder than libsquish's fits, but
        // stays in their range.
        EXPECT_LT(Rmse(input.px, results["velto"], false), 2.5 * Rmse(input.px, results["squish range fit"], false));
    }
    FreeImage(photo);
}

}  // namespace
}  // namespace velto
