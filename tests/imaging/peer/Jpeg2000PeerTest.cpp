// JPEG 2000 against peers: every sample of the shared corpus loads with the
// samples opj_decompress gives (and, for 8-bit files, the RGBA ImageMagick
// gives) or is refused; images we save are read back exactly by
// opj_decompress, ImageMagick and Pillow.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "Corpus.h"
#include "Jpeg2000Rows.h"
#include "imaging/Classes.h"
#include "imaging/FileFormat.h"
#include "imaging/FormatJpeg2000.h"
#include "imaging/Formats.h"
#include "imaging/Options.h"
#include "platform/FileIO.h"
#include "platform/FileWriter.h"

namespace velto {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

bool Have(const char* tool) { return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0; }

// Runs a shell command; its standard output goes to `out`.
int RunTool(const std::string& command, std::string* out = nullptr) {
    const std::string log = (fs::temp_directory_path() / ("velto-peer-" + std::to_string(::getpid()) + ".log")).string();
    const int rc = std::system((command + " >'" + log + "' 2>&1").c_str());
    if (out) {
        std::ifstream in(log);
        std::stringstream ss;
        ss << in.rdbuf();
        *out = ss.str();
    }
    fs::remove(log);
    return rc;
}

Bytes ReadAll(const std::string& path) {
    Bytes b;
    ReadWholeFile(path, b);
    return b;
}

class Work : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("velto-jp2-peer-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    fs::path dir_;
};

struct RawComponent {
    int w = 0, h = 0, prec = 0;
    bool sgnd = false;
};

// opj_decompress's raw output: each component's samples as a plane of its own
// size, 16-bit little-endian words above 8 bits of precision.
bool DecodeWithOpenJpegTool(const std::string& file, const std::string& raw, std::vector<RawComponent>& comps,
                            Bytes& data) {
    std::string out;
    if (RunTool("opj_decompress -i '" + file + "' -o '" + raw + "'", &out) != 0 || !fs::exists(raw)) return false;
    const std::regex line(R"(Component (\d+) characteristics: (\d+)x(\d+)x(\d+) (signed|unsigned))");
    for (auto it = std::sregex_iterator(out.begin(), out.end(), line); it != std::sregex_iterator(); ++it) {
        RawComponent c;
        c.w = std::stoi((*it)[2]);
        c.h = std::stoi((*it)[3]);
        c.prec = std::stoi((*it)[4]);
        c.sgnd = (*it)[5] == "signed";
        comps.push_back(c);
    }
    data = ReadAll(raw);
    fs::remove(raw);
    return !comps.empty();
}

// Samples of our image against the tool's: channel by the component order,
// samples unscaled (a signed one offset to unsigned), a subsampled sample
// found at the top left of the block it covers.
std::string CompareWithRaw(const TImageData& image, const std::vector<RawComponent>& comps, const Bytes& data) {
    const TImageFormatInfo& info = *FormatInfo(image.Format);
    const int n = info.ChannelCount, size = info.BytesPerPixel / n;
    std::size_t offset = 0;
    for (int c = 0; c < static_cast<int>(comps.size()) && c < n; ++c) {
        const RawComponent& rc = comps[static_cast<std::size_t>(c)];
        const int bytes = rc.prec <= 8 ? 1 : 2;
        const int channel = info.HasAlpha ? (c == n - 1 ? n - 1 : n - 2 - c) : n - 1 - c;
        const int dx = (image.Width + rc.w - 1) / rc.w, dy = (image.Height + rc.h - 1) / rc.h;
        for (int y = 0; y < rc.h; ++y)
            for (int x = 0; x < rc.w; ++x) {
                const std::size_t at = offset + (std::size_t(y) * std::size_t(rc.w) + std::size_t(x)) * std::size_t(bytes);
                if (at + std::size_t(bytes) > data.size()) return "raw output too short";
                std::int64_t v = bytes == 1 ? data[at] : (data[at] | data[at + 1] << 8);
                if (rc.sgnd) v = bytes == 1 ? std::int8_t(v) : std::int16_t(v);
                const std::uint32_t expected = static_cast<std::uint32_t>(v + (rc.sgnd ? (size == 1 ? 128 : 32768) : 0));
                const int px = x * dx, py = y * dy;
                if (px >= image.Width || py >= image.Height) continue;
                const std::uint8_t* p = image.Bits + (std::size_t(py) * std::size_t(image.Width) + std::size_t(px)) *
                                                         std::size_t(info.BytesPerPixel) + std::size_t(channel * size);
                const std::uint32_t got = size == 1 ? p[0] : static_cast<std::uint32_t>(p[0] | p[1] << 8);
                const std::uint32_t mask = size == 1 ? 0xFF : 0xFFFF;
                if (got != (expected & mask))
                    return "component " + std::to_string(c) + " at (" + std::to_string(px) + ", " + std::to_string(py) +
                           "): ours " + std::to_string(got) + ", opj_decompress " + std::to_string(expected);
            }
        offset += std::size_t(rc.w) * std::size_t(rc.h) * std::size_t(bytes);
    }
    return {};
}

Bytes OurRgba(const TImageData& image) {
    TImageData copy;
    CloneImage(image, copy);
    ConvertImage(copy, ifA8R8G8B8);
    Bytes out(static_cast<std::size_t>(copy.Size));
    for (std::size_t i = 0; i < out.size(); i += 4) {
        out[i] = copy.Bits[i + 2];
        out[i + 1] = copy.Bits[i + 1];
        out[i + 2] = copy.Bits[i];
        out[i + 3] = copy.Bits[i + 3];
    }
    FreeImage(copy);
    return out;
}

TEST_F(Work, CorpusSamplesMatchPeersOrAreRefused) {
    VELTO_NEED_CORPUS();
    if (!Have("opj_decompress") || !Have("convert")) GTEST_SKIP() << "needs opj_decompress and ImageMagick";
    int compared = 0, refused = 0, withMagick = 0;
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(test::Corpus("pillow"))) {
        const std::string ext = entry.path().extension().string();
        if (ext == ".jp2" || ext == ".j2k") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.filename().string());
        TSingleImage image;
        bool ok = false;
        try {
            image.LoadFromFile(file.string());
            ok = image.Valid();
        } catch (const EImagingError&) {
        }
        if (!ok) {
            ++refused;
            continue;
        }
        std::vector<RawComponent> comps;
        Bytes raw;
        if (!DecodeWithOpenJpegTool(file.string(), Path("out.raw"), comps, raw)) {
            // The tool writes no raw file for components of unequal precision;
            // its decoder is ours, so a peer with the same codec has nothing to add.
            std::printf("  %s: loaded as %dx%d %s, opj_decompress wrote no raw output\n", file.filename().c_str(),
                        image.Width(), image.Height(), GetFormatName(image.Format()).c_str());
            continue;
        }
        ++compared;
        EXPECT_EQ(CompareWithRaw(image.ImageData, comps, raw), "");
        const bool eightBit = std::all_of(comps.begin(), comps.end(), [&](const RawComponent& c) {
            return c.prec == 8 && !c.sgnd && c.w == image.Width() && c.h == image.Height();
        });
        if (!eightBit) continue;
        if (RunTool("convert '" + file.string() + "' -depth 8 rgba:'" + Path("im.rgba") + "'") != 0) continue;
        ++withMagick;
        EXPECT_EQ(ReadAll(Path("im.rgba")), OurRgba(image.ImageData)) << "ImageMagick's RGBA";
    }
    std::printf("  %d compared with opj_decompress, %d with ImageMagick, %d refused\n", compared, withMagick, refused);
    EXPECT_GE(compared, 10);
}

// What we save, peers read back: every savable layout at several sizes.
struct SaveRow {
    const char* name;
    int w, h;
    TImageFormat format;
};
void PrintTo(const SaveRow& row, std::ostream* os) { *os << row.name; }
class SavedImages : public Work, public ::testing::WithParamInterface<SaveRow> {};

TEST_P(SavedImages, PeersReadThemExactly) {
    const SaveRow& row = GetParam();
    if (!Have("opj_decompress") || !Have("convert") || !Have("/usr/bin/python3")) GTEST_SKIP() << "needs the peers";
    TSingleImage image(row.w, row.h, row.format);
    for (std::int32_t i = 0; i < image.ImageData.Size; ++i) image.Bits()[i] = static_cast<std::uint8_t>(i * 13 + i / 97);
    const std::string file = Path(std::string(row.name) + ".jp2");
    image.SaveToFile(file);
    ASSERT_TRUE(fs::exists(file));
    // opj_decompress: the samples of every component.
    std::vector<RawComponent> comps;
    Bytes raw;
    ASSERT_TRUE(DecodeWithOpenJpegTool(file, Path("out.raw"), comps, raw));
    EXPECT_EQ(CompareWithRaw(image.ImageData, comps, raw), "");
    // ImageMagick and Pillow: RGBA of the 8-bit layouts.
    if (FormatInfo(row.format)->BytesPerPixel / FormatInfo(row.format)->ChannelCount != 1) return;
    const Bytes rgba = OurRgba(image.ImageData);
    ASSERT_EQ(RunTool("convert '" + file + "' -depth 8 rgba:'" + Path("im.rgba") + "'"), 0);
    EXPECT_EQ(ReadAll(Path("im.rgba")), rgba) << "ImageMagick";
    const std::string script = "import sys; from PIL import Image; im = Image.open(sys.argv[1]).convert('RGBA'); "
                               "open(sys.argv[2], 'wb').write(im.tobytes())";
    ASSERT_EQ(RunTool("/usr/bin/python3 -c \"" + script + "\" '" + file + "' '" + Path("pil.rgba") + "'"), 0);
    EXPECT_EQ(ReadAll(Path("pil.rgba")), rgba) << "Pillow";
}

// clang-format off
const SaveRow kSaved[] = {
    {"Gray8_16x16", 16, 16, ifGray8},          {"Gray8_1024x1024", 1024, 1024, ifGray8},
    {"A8Gray8_24x24", 24, 24, ifA8Gray8},      {"R8G8B8_16x16", 16, 16, ifR8G8B8},
    {"R8G8B8_300x200", 300, 200, ifR8G8B8},    {"A8R8G8B8_16x16", 16, 16, ifA8R8G8B8},
    {"A8R8G8B8_256x256", 256, 256, ifA8R8G8B8}, {"A8R8G8B8_1024x1024", 1024, 1024, ifA8R8G8B8},
    {"Gray16_40x40", 40, 40, ifGray16},        {"A16R16G16B16_32x32", 32, 32, ifA16R16G16B16},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(Layouts, SavedImages, ::testing::ValuesIn(kSaved),
                         [](const auto& info) { return std::string(info.param.name); });

// JP2 palettes over indexes 0..7 (coded by our writer) open in the format of the components the codec expands them
// to, with the samples opj_decompress gives; an index past the last entry takes the last.
TEST_F(Work, PalettesOpenAsOpjDecompressExpandsThem) {
    using namespace test::costly;
    // With `direct`, the last column's place maps a second component as it is.
    const struct { const char* name; std::uint8_t columns, bits, entries; bool direct; TImageFormat opens; } rows[] = {
        {"three columns", 3, 8, 8, false, ifR8G8B8},
        {"four columns are RGBA", 4, 8, 8, false, ifA8R8G8B8},
        {"indexes past the last entry", 3, 8, 5, false, ifR8G8B8},
        {"16-bit columns", 3, 16, 8, false, ifR16G16B16},
        {"a component mapped beside three columns", 4, 8, 8, true, ifA8R8G8B8},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        TSingleImage indexes(8, 8, r.direct ? ifA8Gray8 : ifGray8);  // grey before alpha in memory
        for (std::int32_t i = 0; i < indexes.ImageData.Size; ++i)
            indexes.Bits()[i] = static_cast<std::uint8_t>(r.direct && i % 2 ? i * 7 : i / (r.direct ? 2 : 1) % 8);
        TMemoryStream codeStream;
        ASSERT_TRUE(PushOptions() && SetOption(ImagingJpeg2000CodeStream, 1));
        indexes.SaveToStream("jp2", codeStream);
        ASSERT_TRUE(PopOptions());
        Bytes pclr = {0, r.entries, r.columns}, cmap;
        pclr.insert(pclr.end(), r.columns, static_cast<std::uint8_t>(r.bits - 1));
        for (std::uint32_t e = 0; e < std::uint32_t(r.entries * r.columns); ++e)  // entry by entry, column by column
            for (int byte = r.bits / 8; byte--;) pclr.push_back(std::uint8_t((e * 0x3B5D + 7) >> 8 * byte));
        for (std::uint32_t c = 0; c < r.columns; ++c) Be32(cmap, r.direct && c + 1 == r.columns ? 0x10000 : 0x100 + c);
        const std::string file = Path("palette.jp2");
        ASSERT_TRUE(WriteWholeFile(file, Jp2Of(codeStream.Data(), 8, r.direct ? 2 : 1, pclr, cmap)));
        TSingleImage image;
        image.LoadFromFile(file);
        ASSERT_EQ(image.Format(), r.opens);
        if (!Have("opj_decompress")) continue;
        std::vector<RawComponent> comps;
        Bytes raw;
        ASSERT_TRUE(DecodeWithOpenJpegTool(file, Path("palette.raw"), comps, raw));
        EXPECT_EQ(comps.size(), r.columns);
        EXPECT_EQ(CompareWithRaw(image.ImageData, comps, raw), "");
    }
    if (!Have("opj_decompress")) GTEST_SKIP() << "opj_decompress is absent: only the formats were checked";
}

// Pictures of many small tiles written by Pillow (losslessly) open with the pixels it wrote (raw, in our channel
// order; its own decoder takes half a minute over 12,000 tiles): their charge once refused them, and so did the steps
// of many quality layers (all but the first empty). A test for each: mode, width, height, tile side, and quality
// layers when more than one.
class TiledPictures : public Work, public ::testing::WithParamInterface<const char*> {};

TEST_P(TiledPictures, OpenWithPillowsPixels) {
    if (!Have("/usr/bin/python3")) GTEST_SKIP() << "needs Pillow on Debian's python3";
    const std::string script =
        "import sys; from PIL import Image, ImageChops; m, *size = sys.argv[1].split(); w, h, t, *l = map(int, size); "
        "g, r = (Image.linear_gradient('L').resize((w, h)), Image.radial_gradient('L').resize((w, h))); "
        "p = ImageChops.add(g, r, scale=2) if m == 'L' else Image.merge('RGB', (g, r, ImageChops.difference(g, r))); "
        "p.save(sys.argv[2], tile_size=(t, t), quality_layers=[0] * l[0] if l else None); "
        "open(sys.argv[3], 'wb').write(p.tobytes('raw', 'L' if m == 'L' else 'BGR'))";
    const std::string file = Path("tiled.j2k"), raw = Path("tiled.raw");
    ASSERT_EQ(RunTool("/usr/bin/python3 -c \"" + script + "\" '" + GetParam() + "' '" + file + "' '" + raw + "'"), 0);
    TSingleImage image;
    image.LoadFromFile(file);
    const Bytes pillow = ReadAll(raw);
    ASSERT_TRUE(image.Valid() && pillow.size() == std::size_t(image.ImageData.Size));
    EXPECT_TRUE(std::equal(pillow.begin(), pillow.end(), image.Bits()));
}
INSTANTIATE_TEST_SUITE_P(Pillow, TiledPictures,
                         ::testing::Values("RGB 2560 2560 16", "L 3600 3600 16", "L 4096 4080 16", "RGB 8192 8192 128",
                                           "RGB 7200 7200 64", "RGB 3200 3200 16", "RGB 2048 2048 32 100",
                                           "RGB 4096 4096 64 100", "RGB 3000 3000 16 20"));

// Pictures of 100 quality layers over small code blocks, as Pillow and opj_compress write them, open with the pixels
// of their writer's decoder: all but the first few layers are empty, yet each packet of one, a few bytes, makes the
// decoder visit every block of its precinct, so they are charged many steps for few bytes (a step limit that grew
// with the data refused them). Each about the least whose steps were beyond that allowance: a drawing of 1440 x 1440
// or one colour of 1360 x 1360 in blocks of 4 x 4, a drawing of 2880 x 2880 in blocks of 8 x 8. The writer: Pillow's
// quality mode (rates of 100, 21.5, 4.6 and 0, or 20, 30, 40 and 0 dB), or opj_compress's options beside -b, whose
// layers follow its -r or -q (the writers' rates take four times as long).
struct DenseRow {
    const char* name;
    const char* writer;
    bool drawing;
    int side, block;
};
void PrintTo(const DenseRow& row, std::ostream* os) { *os << row.name; }
class DensePictures : public Work, public ::testing::WithParamInterface<DenseRow> {};

TEST_P(DensePictures, OpenWithTheirWritersPixels) {
    const DenseRow& row = GetParam();
    const bool opj = row.writer[0] == '-';
    if (!Have("/usr/bin/python3") || (opj && (!Have("opj_compress") || !Have("opj_decompress"))))
        GTEST_SKIP() << "needs Pillow on Debian's python3, and opj_compress and opj_decompress";
    const std::string script = R"(import sys
from PIL import Image, ImageDraw
drawing, side, block, out, mode = sys.argv[1] == 'drawing', int(sys.argv[2]), int(sys.argv[3]), sys.argv[4], sys.argv[5]
p = Image.new('RGB', (side, side), 'white' if drawing else (200, 30, 90))
if drawing:
    d, q = ImageDraw.Draw(p), side // 8
    d.rectangle((q, q, 4 * q, 3 * q), fill=(30, 60, 200))
    d.rectangle((3 * q, 2 * q, 7 * q, 5 * q), fill=(250, 200, 0), outline=(0, 0, 0))
    d.ellipse((2 * q, 4 * q, 5 * q, 7 * q), fill=(200, 30, 90))
    d.line((0, side - 1, side - 1, 0), fill=(0, 0, 0))
if mode == 'ppm':
    p.save(out)
else:
    layers = [100, 21.5, 4.6] + [0] * 97 if mode == 'rates' else [20, 30, 40] + [0] * 97
    p.save(out, codeblock_size=(block, block), quality_mode=mode, quality_layers=layers)
    open(out + '.raw', 'wb').write(Image.open(out).tobytes('raw', 'BGR'))
)";
    const std::string file = Path("dense.j2k"), picture = opj ? Path("dense.ppm") : file;
    ASSERT_TRUE(WriteWholeFile(Path("dense.py"), Bytes(script.begin(), script.end())));
    ASSERT_EQ(RunTool("/usr/bin/python3 '" + Path("dense.py") + "' " + (row.drawing ? "drawing " : "colour ") +
                      std::to_string(row.side) + " " + std::to_string(row.block) + " '" + picture + "' " +
                      (opj ? "ppm" : row.writer)),
              0);
    if (opj) {
        std::string options = row.writer, layers = options[1] == 'r' ? "100,20,5" : "20,30,40";
        for (int i = 3; i < 100; ++i) layers += ",0";
        options.insert(2, " " + layers);
        const std::string block = std::to_string(row.block) + "," + std::to_string(row.block);
        ASSERT_EQ(RunTool("opj_compress -i '" + picture + "' -o '" + file + "' -b " + block + " " + options), 0);
    }
    TSingleImage image;
    image.LoadFromFile(file);
    ASSERT_TRUE(image.Valid());
    if (!opj) {
        const Bytes pillow = ReadAll(file + ".raw");
        ASSERT_EQ(pillow.size(), std::size_t(image.ImageData.Size));
        EXPECT_TRUE(std::equal(pillow.begin(), pillow.end(), image.Bits()));
        return;
    }
    std::vector<RawComponent> comps;
    Bytes raw;
    ASSERT_TRUE(DecodeWithOpenJpegTool(file, Path("dense.raw"), comps, raw));
    EXPECT_EQ(CompareWithRaw(image.ImageData, comps, raw), "");
}
// clang-format off
const DenseRow kDense[] = {
    {"PillowOneColour", "rates", false, 1360, 4},       {"PillowDrawing", "dB", true, 1440, 4},
    {"PillowDrawingBlocksOf8", "dB", true, 2880, 8},    {"OpjRates", "-r", false, 1360, 4},
    {"OpjIrreversible", "-q -I", true, 1440, 4},        {"OpjMarkers", "-q -SOP -EPH -PLT -TLM", false, 1360, 4},
    {"OpjRpcl", "-q -p RPCL", false, 1360, 4},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(Layers, DensePictures, ::testing::ValuesIn(kDense),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velto
