// JP2 files with a palette: a code stream of indexes 0..7 (from our own
// writer) in crafted boxes opens in the format of the components the codec
// expands it to, with the samples opj_decompress gives.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "ImagingTestUtil.h"
#include "PeerShell.h"
#include "imaging/FileFormat.h"
#include "imaging/FormatJpeg2000.h"
#include "imaging/Formats.h"
#include "imaging/ImagingIO.h"
#include "imaging/Options.h"
#include "platform/FileIO.h"
#include "platform/FileWriter.h"

namespace velto {
namespace {

using test::Bytes;
namespace fs = std::filesystem;

constexpr int kPixels = 8 * 4;

void Be(Bytes& out, std::uint32_t v, int bytes) {
    while (bytes--) out.push_back(static_cast<std::uint8_t>(v >> (8 * bytes)));
}
Bytes Box(const char* type, const Bytes& content) {
    Bytes out;
    Be(out, static_cast<std::uint32_t>(content.size() + 8), 4);
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), content.begin(), content.end());
    return out;
}

struct PaletteRow {
    const char* name;
    std::vector<int> bits;  // of each column
    int entries;
    bool direct;  // the last column's place maps a second component directly
    TImageFormat format;
};
void PrintTo(const PaletteRow& row, std::ostream* os) { *os << row.name; }

Bytes PaletteJp2(const PaletteRow& r) {
    test::Image indexes(8, 4, r.direct ? ifA8Gray8 : ifGray8);  // grey before alpha in memory
    for (int i = 0; i < indexes->Size; ++i) {
        const int pixel = r.direct ? i / 2 : i;
        indexes->Bits[i] = static_cast<std::uint8_t>(r.direct && i % 2 ? pixel * 7 + 3 : pixel % 8);
    }
    EXPECT_TRUE(PushOptions());
    SetOption(ImagingJpeg2000CodeStream, 1);
    TMemoryStream codeStream;
    EXPECT_TRUE(SaveImageToStream("jp2", codeStream, indexes.data));
    EXPECT_TRUE(PopOptions());

    const auto columns = static_cast<int>(r.bits.size());
    Bytes ihdr, pclr, cmap;
    Be(ihdr, 4, 4), Be(ihdr, 8, 4), Be(ihdr, r.direct ? 2 : 1, 2), Be(ihdr, 0x07070000, 4);
    Be(pclr, static_cast<std::uint32_t>(r.entries), 2), Be(pclr, static_cast<std::uint32_t>(columns), 1);
    for (const int b : r.bits) Be(pclr, static_cast<std::uint32_t>(b - 1), 1);
    for (int e = 0; e < r.entries; ++e)
        for (int c = 0; c < columns; ++c) Be(pclr, e * 0x3B5Du + c * 0x61u + 7u, r.bits[c] / 8);
    // Column c of the palette for component 0, or component 1 as it is.
    for (int c = 0; c < columns; ++c) Be(cmap, r.direct && c == columns - 1 ? 0x00010000u : 0x0100u + c, 4);
    Bytes header = Box("ihdr", ihdr), file = Box("jP  ", {0x0D, 0x0A, 0x87, 0x0A});
    for (const Bytes& b : {Box("colr", {1, 0, 0, 0, 0, 0, 16}), Box("pclr", pclr), Box("cmap", cmap)})
        header.insert(header.end(), b.begin(), b.end());
    for (const Bytes& b : {Box("ftyp", Bytes(12, 0x20)), Box("jp2h", header), Box("jp2c", codeStream.Data())})
        file.insert(file.end(), b.begin(), b.end());
    return file;
}

// Sample c (red, green, blue, alpha order) of pixel i, from memory's B, G, R, A.
std::uint32_t SampleOf(const TImageData& image, int i, int c) {
    const TImageFormatInfo& info = *FormatInfo(image.Format);
    const int n = info.ChannelCount, size = info.BytesPerPixel / n;
    const int channel = info.HasAlpha ? (c == n - 1 ? n - 1 : n - 2 - c) : n - 1 - c;
    const std::uint8_t* p = image.Bits + i * info.BytesPerPixel + channel * size;
    return size == 1 ? p[0] : static_cast<std::uint32_t>(p[0] | p[1] << 8);
}

class Jpeg2000Palette : public ::testing::TestWithParam<PaletteRow> {};

TEST_P(Jpeg2000Palette, OpensAsOpjDecompressExpandsIt) {
    const PaletteRow& r = GetParam();
    const Bytes file = PaletteJp2(r);
    test::Image image;
    TMemoryStream stream(file);
    ASSERT_TRUE(LoadImageFromStream(stream, image.data));
    ASSERT_EQ(image->Format, r.format);

    if (!test::Have("opj_decompress")) GTEST_SKIP() << "opj_decompress (libopenjp2-tools) is absent";
    const fs::path dir = fs::temp_directory_path() / ("velto-palette-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    ASSERT_TRUE(WriteWholeFile((dir / "p.jp2").string(), file));
    test::Shell("opj_decompress -i " + test::Quote((dir / "p.jp2").string()) + " -o " +
                test::Quote((dir / "o.pgx").string()) + " >/dev/null 2>&1");
    for (int c = 0; c < static_cast<int>(r.bits.size()); ++c) {
        // One file per component: "PG ML + bits w h", then big-endian samples.
        Bytes pgx;
        ASSERT_TRUE(ReadWholeFile((dir / ("o_" + std::to_string(c) + ".pgx")).string(), pgx)) << "component " << c;
        const auto end = std::find(pgx.begin(), pgx.end(), '\n');
        int bits = 0;
        ASSERT_EQ(std::sscanf(std::string(pgx.begin(), end).c_str(), "PG ML + %d", &bits), 1);
        const int bytes = bits > 8 ? 2 : 1;
        ASSERT_EQ(pgx.end() - end - 1, kPixels * bytes);
        for (int i = 0; i < kPixels; ++i) {
            const std::uint8_t* s = &*end + 1 + i * bytes;
            ASSERT_EQ(SampleOf(image.data, i, c), bytes == 1 ? s[0] : static_cast<std::uint32_t>(s[0] << 8 | s[1]))
                << "pixel " << i << ", component " << c;
        }
    }
    fs::remove_all(dir);
}

// An index past the last entry takes the last, as the codec clamps it.
const PaletteRow kPaletteRows[] = {
    {"ThreeColumns", {8, 8, 8}, 8, false, ifR8G8B8},
    {"FourColumnsAreRgba", {8, 8, 8, 8}, 8, false, ifA8R8G8B8},
    {"IndexesPastTheLastEntry", {8, 8, 8}, 5, false, ifR8G8B8},
    {"MoreEntriesThanIndexes", {8, 8, 8}, 256, false, ifR8G8B8},
    {"SixteenBitColumns", {16, 16, 16}, 8, false, ifR16G16B16},
    {"ComponentMappedBesideThreeColumns", {8, 8, 8, 8}, 8, true, ifA8R8G8B8},
};
INSTANTIATE_TEST_SUITE_P(Rows, Jpeg2000Palette, ::testing::ValuesIn(kPaletteRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velto
