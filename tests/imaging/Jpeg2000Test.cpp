// The JPEG 2000 format: lossless round trips of every savable pixel format
// and size, small images (fewer resolution levels), the component layouts of
// the loader (alpha, signed, subsampled sYCC, image areas away from the grid
// origin, high precision), options, and where a load leaves its stream.
#include <gtest/gtest.h>
#include <openjpeg.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "ChildCost.h"
#include "Corpus.h"
#include "ImagingTestUtil.h"
#include "Sanitizer.h"
#include "imaging/Classes.h"
#include "imaging/FormatJpeg2000.h"
#include "imaging/Options.h"

namespace velto {
namespace {

using test::Bytes;
using test::Image;

TJpeg2000FileFormat& Jp2() { return *FindImageFileFormatByClass<TJpeg2000FileFormat>(); }

// Saves an image through the registry and loads it back.
Bytes Save(const TImageData& image) {
    TMemoryStream stream;
    EXPECT_TRUE(SaveImageToStream("jp2", stream, image));
    return stream.Data();
}

bool Load(const Bytes& bytes, TImageData& out) {
    TMemoryStream stream(bytes);
    return LoadImageFromStream(stream, out);
}

void Fill(TImageData& image, unsigned seed) {
    for (std::int32_t i = 0; i < image.Size; ++i)
        image.Bits[i] = static_cast<std::uint8_t>((i * 31u + seed) ^ (i >> 7) * 13u);
}

struct RoundTripRow {
    const char* name;
    std::int32_t w, h;
    TImageFormat format;
};
void PrintTo(const RoundTripRow& row, std::ostream* os) { *os << row.name; }
class Jpeg2000RoundTrip : public ::testing::TestWithParam<RoundTripRow> {};

TEST_P(Jpeg2000RoundTrip, LosslessExact) {
    const RoundTripRow& row = GetParam();
    Image image(row.w, row.h, row.format);
    Fill(image.data, 5);
    const Bytes file = Save(image.data);
    ASSERT_GT(file.size(), 12u);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 8), Bytes({0, 0, 0, 0x0C, 0x6A, 0x50, 0x20, 0x20}));
    Image back;
    ASSERT_TRUE(Load(file, back.data));
    EXPECT_EQ(back->Format, row.format);
    EXPECT_EQ(back->Width, row.w);
    EXPECT_EQ(back->Height, row.h);
    EXPECT_EQ(back.bits(), image.bits());
}

// clang-format off
const RoundTripRow kRoundTrips[] = {
    {"Gray8_16x16", 16, 16, ifGray8},        {"A8Gray8_24x24", 24, 24, ifA8Gray8},
    {"Gray16_31x17", 31, 17, ifGray16},      {"A16Gray16_32x32", 32, 32, ifA16Gray16},
    {"R8G8B8_16x16", 16, 16, ifR8G8B8},      {"A8R8G8B8_16x16", 16, 16, ifA8R8G8B8},
    {"A8R8G8B8_1x1", 1, 1, ifA8R8G8B8},      {"R8G8B8_1x40", 1, 40, ifR8G8B8},
    {"R16G16B16_20x9", 20, 9, ifR16G16B16},  {"A16R16G16B16_33x33", 33, 33, ifA16R16G16B16},
    {"A8R8G8B8_256x256", 256, 256, ifA8R8G8B8}, {"Gray8_1024x1024", 1024, 1024, ifGray8},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(Formats, Jpeg2000RoundTrip, ::testing::ValuesIn(kRoundTrips),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Jpeg2000, ResolutionLevelsFitSmallImages) {
    struct Row {
        std::int32_t w, h, levels;
    };
    for (const Row r : {Row{1, 1, 1}, Row{16, 16, 5}, Row{31, 100, 5}, Row{32, 32, 6}, Row{2000, 64, 6}, Row{3, 2, 2}}) {
        SCOPED_TRACE(testing::Message() << r.w << "x" << r.h);
        EXPECT_EQ(Jpeg2000Resolutions(r.w, r.h), r.levels);
    }
}

TEST(Jpeg2000, UnsavableFormatsAreConverted) {
    struct Row {
        const char* name;
        TImageFormat from, to;
    };
    const Row rows[] = {{"Gray32", ifGray32, ifGray16},       {"R32F", ifR32F, ifGray16},
                        {"A32R32G32B32F", ifA32R32G32B32F, ifA16R16G16B16}, {"Index8", ifIndex8, ifA8R8G8B8},
                        {"X8R8G8B8", ifX8R8G8B8, ifR8G8B8},    {"R5G6B5", ifR5G6B5, ifR8G8B8},
                        {"A4R4G4B4", ifA4R4G4B4, ifA8R8G8B8},  {"B16G16R16", ifB16G16R16, ifR16G16B16},
                        {"Gray64", ifGray64, ifGray16}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Image image(3, 3, r.from);
        Image back;
        ASSERT_TRUE(Load(Save(image.data), back.data));
        EXPECT_EQ(back->Format, r.to);
    }
    Image x8(1, 1, ifX8R8G8B8, {1, 2, 3, 4});
    Image back;
    ASSERT_TRUE(Load(Save(x8.data), back.data));
    EXPECT_EQ(back.bits(), Bytes({1, 2, 3}));
}

TEST(Jpeg2000, OptionsCodeStreamAndLossy) {
    ASSERT_TRUE(PushOptions());
    Image image(40, 30, ifR8G8B8);
    Fill(image.data, 9);
    SetOption(ImagingJpeg2000CodeStream, -1);
    const Bytes stream = Save(image.data);
    EXPECT_EQ(Bytes(stream.begin(), stream.begin() + 4), Bytes({0xFF, 0x4F, 0xFF, 0x51}));
    Image back;
    ASSERT_TRUE(Load(stream, back.data));
    EXPECT_EQ(back.bits(), image.bits());
    SetOption(ImagingJpeg2000CodeStream, 0);
    SetOption(ImagingJpeg2000LosslessCompression, 0);
    SetOption(ImagingJpeg2000Quality, 101);
    const Bytes lossy = Save(image.data);
    EXPECT_EQ(GetOption(ImagingJpeg2000Quality), 80) << "quality outside 1..100 becomes 80 before saving";
    EXPECT_LT(lossy.size(), Save(image.data).size() + 1);
    Image lossyBack;
    ASSERT_TRUE(Load(lossy, lossyBack.data));
    EXPECT_EQ(lossyBack->Format, ifR8G8B8);
    ASSERT_TRUE(PopOptions());
    EXPECT_GT(Save(image.data).size(), lossy.size()) << "lossless takes more bytes";
}

// Builds a code stream or JP2 file with OpenJPEG itself: the layouts our
// saver never writes.
struct Comp {
    OPJ_UINT32 dx = 1, dy = 1, prec = 8, sgnd = 0, alpha = 0;
};

OPJ_SIZE_T WriteTo(void* b, OPJ_SIZE_T n, void* u) {
    auto* out = static_cast<Bytes*>(u);
    out->insert(out->end(), static_cast<std::uint8_t*>(b), static_cast<std::uint8_t*>(b) + n);
    return n;
}
OPJ_OFF_T SkipIn(OPJ_OFF_T n, void*) { return n; }
OPJ_BOOL SeekIn(OPJ_OFF_T, void*) { return OPJ_TRUE; }

Bytes Encode(std::vector<Comp> comps, OPJ_UINT32 x0, OPJ_UINT32 y0, OPJ_UINT32 w, OPJ_UINT32 h, OPJ_COLOR_SPACE space,
             int (*sample)(int c, int x, int y)) {
    std::vector<opj_image_cmptparm_t> p(comps.size());
    for (std::size_t c = 0; c < comps.size(); ++c) {
        std::memset(&p[c], 0, sizeof p[c]);
        p[c].dx = comps[c].dx;
        p[c].dy = comps[c].dy;
        p[c].x0 = x0;
        p[c].y0 = y0;
        p[c].w = (x0 + w + comps[c].dx - 1) / comps[c].dx - (x0 + comps[c].dx - 1) / comps[c].dx;
        p[c].h = (y0 + h + comps[c].dy - 1) / comps[c].dy - (y0 + comps[c].dy - 1) / comps[c].dy;
        p[c].prec = comps[c].prec;
        p[c].sgnd = comps[c].sgnd;
    }
    opj_image_t* im = opj_image_create(static_cast<OPJ_UINT32>(comps.size()), p.data(), space);
    im->x0 = x0;
    im->y0 = y0;
    im->x1 = x0 + w;
    im->y1 = y0 + h;
    for (std::size_t c = 0; c < comps.size(); ++c) {
        im->comps[c].alpha = static_cast<OPJ_UINT16>(comps[c].alpha);
        for (OPJ_UINT32 y = 0; y < im->comps[c].h; ++y)
            for (OPJ_UINT32 x = 0; x < im->comps[c].w; ++x)
                im->comps[c].data[y * im->comps[c].w + x] = sample(static_cast<int>(c), static_cast<int>(x), static_cast<int>(y));
    }
    opj_codec_t* codec = opj_create_compress(OPJ_CODEC_J2K);
    opj_cparameters_t cp;
    opj_set_default_encoder_parameters(&cp);
    cp.numresolution = 1;
    cp.tcp_numlayers = 1;
    cp.cp_disto_alloc = 1;
    cp.tcp_rates[0] = 0;
    opj_setup_encoder(codec, &cp, im);
    Bytes out;
    opj_stream_t* s = opj_stream_create(1 << 16, OPJ_FALSE);
    opj_stream_set_write_function(s, WriteTo);
    opj_stream_set_skip_function(s, SkipIn);
    opj_stream_set_seek_function(s, SeekIn);
    opj_stream_set_user_data(s, &out, nullptr);
    const bool ok = opj_start_compress(codec, im, s) && opj_encode(codec, s) && opj_end_compress(codec, s);
    opj_stream_destroy(s);
    opj_destroy_codec(codec);
    opj_image_destroy(im);
    EXPECT_TRUE(ok);
    return out;
}

TEST(Jpeg2000Load, ChannelOrderSignedAndPrecision) {
    // Grey and alpha: component 1 is the alpha.
    Image ga;
    ASSERT_TRUE(Load(Encode({Comp{}, Comp{}}, 0, 0, 2, 1, OPJ_CLRSPC_GRAY, [](int c, int x, int) { return c * 100 + x; }), ga.data));
    EXPECT_EQ(ga->Format, ifA8Gray8);
    EXPECT_EQ(ga.bits(), Bytes({0, 100, 1, 101}));
    // Four components: R, G, B, A into B, G, R, A order.
    Image rgba;
    ASSERT_TRUE(Load(Encode({Comp{}, Comp{}, Comp{}, Comp{}}, 0, 0, 1, 1, OPJ_CLRSPC_SRGB, [](int c, int, int) { return 10 + c; }),
                     rgba.data));
    EXPECT_EQ(rgba->Format, ifA8R8G8B8);
    EXPECT_EQ(rgba.bits(), Bytes({12, 11, 10, 13}));
    // Signed 8 bits: -128 becomes 0, 127 becomes 255.
    Comp s8;
    s8.sgnd = 1;
    Image signed8;
    ASSERT_TRUE(Load(Encode({s8}, 0, 0, 2, 1, OPJ_CLRSPC_GRAY, [](int, int x, int) { return x ? 127 : -128; }), signed8.data));
    EXPECT_EQ(signed8.bits(), Bytes({0, 255}));
    // Samples are not scaled: 4 bits keep 0..15, 12 bits go to a 16-bit channel.
    Comp p4;
    p4.prec = 4;
    Image four;
    ASSERT_TRUE(Load(Encode({p4}, 0, 0, 1, 1, OPJ_CLRSPC_GRAY, [](int, int, int) { return 15; }), four.data));
    EXPECT_EQ(four.bits(), Bytes({15}));
    Comp p12;
    p12.prec = 12;
    Image twelve;
    ASSERT_TRUE(Load(Encode({p12}, 0, 0, 1, 1, OPJ_CLRSPC_GRAY, [](int, int, int) { return 4095; }), twelve.data));
    EXPECT_EQ(twelve->Format, ifGray16);
    EXPECT_EQ(twelve.bits(), test::W16({4095}));
    // 20 bits: Gray32 with one component, nothing with three.
    Comp p20;
    p20.prec = 20;
    Image twenty;
    ASSERT_TRUE(Load(Encode({p20}, 0, 0, 1, 1, OPJ_CLRSPC_GRAY, [](int, int, int) { return 0xABCDE; }), twenty.data));
    EXPECT_EQ(twenty->Format, ifGray32);
    EXPECT_EQ(twenty.bits(), test::W32({0xABCDE}));
    Image none;
    EXPECT_FALSE(Load(Encode({p20, p20, p20}, 0, 0, 1, 1, OPJ_CLRSPC_SRGB, [](int, int, int) { return 1; }), none.data));
    // Five components: only the first is read, as grey.
    Image five;
    ASSERT_TRUE(Load(Encode({Comp{}, Comp{}, Comp{}, Comp{}, Comp{}}, 0, 0, 1, 1, OPJ_CLRSPC_SRGB,
                            [](int c, int, int) { return 50 + c; }),
                     five.data));
    EXPECT_EQ(five->Format, ifGray8);
    EXPECT_EQ(five.bits(), Bytes({50}));
}

TEST(Jpeg2000Load, SubsampledCodeStreamIsYCbCr) {
    // A bare code stream says nothing of its colours; full-size luma with 2x2
    // chroma is sYCC. Neutral chroma gives grey, each chroma sample spread over
    // a 2x2 block.
    Comp chroma;
    chroma.dx = chroma.dy = 2;
    const Bytes stream = Encode({Comp{}, chroma, chroma}, 0, 0, 4, 4, OPJ_CLRSPC_SRGB, [](int c, int x, int y) {
        if (c == 0) return 100 + 10 * y + x;
        return c == 2 && x == 1 && y == 0 ? 228 : 128;  // red-shifted chroma in the top right block
    });
    Image image;
    ASSERT_TRUE(Load(stream, image.data));
    EXPECT_EQ(image->Format, ifR8G8B8);
    EXPECT_EQ(GetPixel32(image.data, 0, 0), Color32(255, 100, 100, 100));
    EXPECT_EQ(GetPixel32(image.data, 1, 1), Color32(255, 111, 111, 111));
    // Cr 228 at the block of pixels 2..3 x 0..1: R = Y + 1.402 x 100, G = Y - 0.71414 x 100.
    EXPECT_EQ(GetPixel32(image.data, 2, 0), Color32(255, 242, 31, 102));
    EXPECT_EQ(GetPixel32(image.data, 3, 1), Color32(255, 253, 42, 113));
    EXPECT_EQ(GetPixel32(image.data, 2, 2), Color32(255, 122, 122, 122));
    // Three components at full size stay RGB.
    Image rgb;
    ASSERT_TRUE(Load(Encode({Comp{}, Comp{}, Comp{}}, 0, 0, 1, 1, OPJ_CLRSPC_SRGB, [](int c, int, int) { return 60 + c; }), rgb.data));
    EXPECT_EQ(rgb.bits(), Bytes({62, 61, 60}));
}

TEST(Jpeg2000Load, ImageAreaAwayFromTheGridOrigin) {
    // A 5x3 image whose area starts at (7, 4): sized by its area, each row read
    // from its component's own rows.
    const Bytes stream = Encode({Comp{}}, 7, 4, 5, 3, OPJ_CLRSPC_GRAY, [](int, int x, int y) { return 10 * y + x; });
    Image image;
    ASSERT_TRUE(Load(stream, image.data));
    EXPECT_EQ(image->Width, 5);
    EXPECT_EQ(image->Height, 3);
    EXPECT_EQ(image.bits(), Bytes({0, 1, 2, 3, 4, 10, 11, 12, 13, 14, 20, 21, 22, 23, 24}));
}

TEST(Jpeg2000Load, StreamPositionAndBrokenInput) {
    Image image(6, 5, ifA8R8G8B8);
    Fill(image.data, 1);
    for (const bool codeStream : {false, true}) {
        SCOPED_TRACE(codeStream ? "code stream" : "JP2");
        ASSERT_TRUE(PushOptions());
        SetOption(ImagingJpeg2000CodeStream, codeStream ? 1 : 0);
        const Bytes file = Save(image.data);
        ASSERT_TRUE(PopOptions());
        EXPECT_EQ(Jpeg2000DataEnd(file, !codeStream), file.size());
        Bytes framed = {'a', 'b', 'c'};
        framed.insert(framed.end(), file.begin(), file.end());
        framed.insert(framed.end(), {'t', 'a', 'i', 'l'});
        TMemoryStream stream(framed);
        stream.SetPosition(3);
        TDynImageDataArray images;
        ASSERT_TRUE(Jp2().LoadFromStream(stream, images));
        EXPECT_EQ(stream.Position(), static_cast<std::int64_t>(3 + file.size())) << "just behind the image's data";
        EXPECT_EQ(Bytes(images[0].Bits, images[0].Bits + images[0].Size), image.bits());
        FreeImagesInArray(images);
        // Cut short: refused, or a partial image, never a crash.
        for (const std::size_t keep : {std::size_t(8), std::size_t(40), file.size() / 2, file.size() - 3}) {
            TMemoryStream cut(Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(keep)));
            try {
                if (Jp2().LoadFromStream(cut, images)) {
                    EXPECT_TRUE(TestImagesInArray(images));
                }
            } catch (const EImagingError&) {
            }
            FreeImagesInArray(images);
        }
    }
    EXPECT_EQ(Jpeg2000DataEnd(Bytes({0, 0, 0, 0x0C, 'j', 'P', ' ', ' ', 1, 2, 3, 4, 0, 0, 0, 0}), true), 16u)
        << "a box of length 0 runs to the end";
    EXPECT_EQ(Jpeg2000DataEnd(Bytes({0xFF, 0x4F, 0xFF, 0x51, 0x00}), false), 5u);
}

TEST(Jpeg2000Load, TileBookkeepingChargedBeforeTheHeaderIsRead) {
    // A size marker of 61185 x 254 pixels in 16 x 16 tiles: the codec sets up
    // 61200 tiles while it reads the header, so the charge comes first.
    Bytes siz = {0xFF, 0x4F, 0xFF, 0x51, 0x00, 41, 0x00, 0x00};
    for (const std::uint32_t v : {61185u, 254u, 0u, 0u, 16u, 16u, 0u, 0u})
        for (int shift = 24; shift >= 0; shift -= 8) siz.push_back(static_cast<std::uint8_t>(v >> shift));
    siz.insert(siz.end(), {0x00, 0x01, 0x07, 0x01, 0x01, 0xFF, 0x52});
    EXPECT_GE(Jpeg2000DecodeCost(siz, false), 3825ull * 16 * 4096 + 61186ull * 255 * 4) << "every tile and sample";
    Bytes jp2 = {0, 0, 0, 12, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A, 0, 0, 0, 0, 'j', 'p', '2', 'c'};
    jp2.insert(jp2.end(), siz.begin(), siz.end());
    EXPECT_EQ(Jpeg2000DecodeCost(jp2, true), Jpeg2000DecodeCost(siz, false));
    EXPECT_EQ(Jpeg2000DecodeCost(Bytes({0xFF, 0x4F, 0xFF, 0x51}), false), 0u) << "no size marker to read";
    const ReadLimits saved = ImagingLimits();
    ImagingLimits().imageLoadBytes = 64u << 20;
    Image image;
    EXPECT_THROW(Load(siz, image.data), EImagingError);
    ImagingLimits() = saved;
}

// A bare code stream of 61 bytes: a size marker of cols x rows tiles of
// 16 x 16 pixels, one component, a coding style, the end marker, and no tile.
Bytes TilesWithoutData(std::uint32_t cols, std::uint32_t rows) {
    Bytes f = {0xFF, 0x4F, 0xFF, 0x51, 0x00, 41, 0x00, 0x00};
    for (const std::uint32_t v : {cols * 16, rows * 16, 0u, 0u, 16u, 16u, 0u, 0u})
        for (int shift = 24; shift >= 0; shift -= 8) f.push_back(static_cast<std::uint8_t>(v >> shift));
    f.insert(f.end(), {0x00, 0x01, 0x07, 0x01, 0x01});
    f.insert(f.end(), {0xFF, 0x52, 0x00, 0x0C, 0x00, 0x00, 0x00, 0x01, 0x00, 0x05, 0x04, 0x04, 0x00, 0x01});
    f.insert(f.end(), {0xFF, 0xD9});
    return f;
}

TEST(Jpeg2000Load, TilesTheDataCannotHoldAreRefusedQuicklyInLittleMemory) {
    // Tens of thousands of declared tiles fit the default image budget; the
    // codec would still set up each of them (hundreds of MiB) for a file that
    // holds none. The loads run in a child process with the default limits,
    // whose peak resident size the system reports.
    const std::pair<std::uint32_t, std::uint32_t> grids[] = {{3825, 16}, {250, 252}, {260, 250}};
    for (const auto& [cols, rows] : grids) {
        const Bytes file = TilesWithoutData(cols, rows);
        ASSERT_EQ(file.size(), 61u);
        EXPECT_FALSE(Jpeg2000TilesFit(file, false)) << cols * rows << " tiles";
    }
    // A tile-part header for every tile would make them fit.
    EXPECT_TRUE(Jpeg2000TilesFit(TilesWithoutData(2, 2), false));
    Bytes padded = TilesWithoutData(3, 3);
    EXPECT_FALSE(Jpeg2000TilesFit(padded, false));
    padded.resize(9 * 14);
    EXPECT_TRUE(Jpeg2000TilesFit(padded, false));

    // The child starts with the resident pages of this process (earlier tests
    // may have left tens of MiB), so what counts is its peak over its start.
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::close(pipeFds[0]);
        int code = 0;
        double report[2] = {0, static_cast<double>(test::ResidentKiB())};  // slowest load (s), resident at start (KiB)
        for (const auto& [cols, rows] : grids) {
            const auto start = std::chrono::steady_clock::now();
            try {
                TMemoryStream stream(TilesWithoutData(cols, rows));
                TSingleImage image;
                image.LoadFromStream(stream);
                code = 1;  // read without an error: there is nothing to read
            } catch (const EImagingError&) {
            } catch (...) {
                code = 2;
            }
            report[0] = std::max(report[0], std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        }
        (void)!::write(pipeFds[1], report, sizeof report);
        ::_exit(code);
    }
    ::close(pipeFds[1]);
    double report[2] = {-1, 0};
    const bool reported = ::read(pipeFds[0], report, sizeof report) == static_cast<ssize_t>(sizeof report);
    ::close(pipeFds[0]);
    int status = 0;
    rusage usage{};
    ASSERT_EQ(::wait4(pid, &status, 0, &usage), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: a file was read, 2: an error other than the library's";
    ASSERT_TRUE(reported);
    const double grownKiB = static_cast<double>(usage.ru_maxrss) - report[1];
    std::printf("slowest refusal %.4f s, peak resident size %ld KiB, %.0f KiB over the start\n", report[0],
                usage.ru_maxrss, grownKiB);
    VELTO_SKIP_COST_LIMITS_UNDER_SANITIZER("the slowest refusal's time and the child's growth in resident size");
    EXPECT_LT(report[0], 0.5);
    EXPECT_LT(grownKiB, 64 * 1024);
}

// Every sample of the shared corpus loads to a valid image or is refused,
// never a crash (the pixels are compared with peers in the peer tests).
TEST(Jpeg2000Load, CorpusSamplesLoadOrAreRefused) {
    VELTO_NEED_CORPUS();
    int loaded = 0;
    for (const auto& entry : std::filesystem::directory_iterator(test::Corpus("pillow"))) {
        const std::string ext = entry.path().extension().string();
        if (ext != ".jp2" && ext != ".j2k") continue;
        SCOPED_TRACE(entry.path().filename().string());
        TSingleImage image;
        try {
            image.LoadFromFile(entry.path().string());
        } catch (const EImagingError&) {
            continue;
        }
        if (image.Valid()) ++loaded;
    }
    EXPECT_GE(loaded, 10);
}

}  // namespace
}  // namespace velto
