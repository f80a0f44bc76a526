// The PNG format's streamed decoding (the codec's inflater and vector
// unfiltering) against its plain one (zlib into one buffer): the same images
// or errors for every sample file, every layout and filter, and streams cut
// short, damaged or followed by more data.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "Corpus.h"
#include "Formats2TestUtil.h"
#include "imaging/FormatNetworkGraphics.h"
#include "platform/FileIO.h"
#include "png/PngInflate.h"

namespace velto {
namespace {

using namespace test;
using png_detail::CodecPath;

// What one load left: the error or none, and every image's format, size and bytes.
std::string Outcome(const Bytes& file, CodecPath path) {
    png_detail::ScopedCodecPath scope(path);
    Images images;
    std::string error;
    const bool loaded = LoadBytes(FormatObject<TPNGFileFormat>(), file, images, &error);
    // The texts name the stream by its address, which differs between the
    // two loads whenever the stack does: only the rest of the text counts.
    static const std::regex address("0x[0-9a-fA-F]+");
    std::string o = loaded ? "loaded" : "refused: " + std::regex_replace(error, address, "<stream>");
    for (std::size_t i = 0; i < images.size(); ++i) {
        const TImageData& d = images[i];
        o += "\n" + std::to_string(d.Format) + " " + std::to_string(d.Width) + "x" + std::to_string(d.Height) + " ";
        if (d.Bits) o.append(reinterpret_cast<const char*>(d.Bits), static_cast<std::size_t>(d.Size));
    }
    return o;
}

void ExpectSameBothWays(const Bytes& file, const std::string& name) {
    const std::string fast = Outcome(file, CodecPath::Fast), plain = Outcome(file, CodecPath::Reference);
    EXPECT_TRUE(fast == plain) << name << ": streamed [" << fast.substr(0, 80) << "] plain [" << plain.substr(0, 80)
                               << "]";
}

struct Lcg {
    std::uint32_t s;
    std::uint8_t next() {
        s = s * 1103515245u + 12345u;
        return static_cast<std::uint8_t>(s >> 24);
    }
};

// Rows of a w x h image of the layout, filter bytes as given (cycled), the
// samples smooth with noise so that every filter has work to do.
Bytes FilteredRows(std::uint32_t w, std::uint32_t h, std::uint8_t depth, std::uint8_t type, bool interlaced,
                   const Bytes& filters, std::uint32_t seed) {
    const int samples = type == 2 ? 3 : type == 4 ? 2 : type == 6 ? 4 : 1;
    const auto rowBytes = [&](std::uint32_t pw) { return (std::size_t(pw) * depth * samples + 7) / 8; };
    Lcg rng{seed};
    Bytes rows;
    std::size_t k = 0;
    auto addRows = [&](std::uint32_t pw, std::uint32_t ph) {
        for (std::uint32_t y = 0; y < ph && pw > 0; ++y) {
            rows.push_back(filters[k++ % filters.size()]);
            for (std::size_t i = 0; i < rowBytes(pw); ++i) rows.push_back(static_cast<std::uint8_t>(i * 3 + y + (rng.next() & 7)));
        }
    };
    if (!interlaced) {
        addRows(w, h);
        return rows;
    }
    const std::uint32_t c0[7] = {0, 4, 0, 2, 0, 1, 0}, r0[7] = {0, 0, 4, 0, 2, 0, 1};
    const std::uint32_t dc[7] = {8, 8, 4, 4, 2, 2, 1}, dr[7] = {8, 8, 8, 4, 4, 2, 2};
    for (int p = 0; p < 7; ++p)
        addRows(w > c0[p] ? (w - c0[p] + dc[p] - 1) / dc[p] : 0, h > r0[p] ? (h - r0[p] + dr[p] - 1) / dr[p] : 0);
    return rows;
}

TEST(FastPngLoad, EveryLayoutFilterAndInterlaceAsThePlainPath) {
    const struct {
        std::uint8_t type, depth;
    } layouts[] = {{0, 1}, {0, 2}, {0, 4}, {0, 8}, {0, 16}, {2, 8}, {2, 16}, {3, 1}, {3, 2},
                   {3, 4}, {3, 8}, {4, 8}, {4, 16}, {6, 8}, {6, 16}};
    const Bytes filterSets[] = {{0}, {1}, {2}, {3}, {4}, {0, 1, 2, 3, 4}, {4, 7, 1}};  // 7: unknown
    const Bytes palette(3 * 256, 0x5A);
    // Sizes: a row shorter than a vector window, odd widths, and images of
    // several inflater batches (large ones go through the streaming inflater).
    const std::uint32_t sizes[][2] = {{1, 1}, {3, 5}, {17, 9}, {67, 33}, {1500, 120}};
    std::uint32_t seed = 1;
    for (const auto& l : layouts)
        for (const Bytes& filters : filterSets)
            for (const auto& sz : sizes)
                for (bool interlaced : {false, true}) {
                    if (sz[0] > 1000 && filters.size() < 5) continue;  // the large size once per layout
                    const Bytes rows = FilteredRows(sz[0], sz[1], l.depth, l.type, interlaced, filters, ++seed);
                    const Bytes ihdr = Ihdr(sz[0], sz[1], l.depth, l.type, interlaced ? 1 : 0);
                    const Bytes file = l.type == 3 ? MakePng(ihdr, rows, {{"PLTE", palette}}) : MakePng(ihdr, rows);
                    ExpectSameBothWays(file, "type " + std::to_string(l.type) + " depth " + std::to_string(l.depth) +
                                                 " " + std::to_string(sz[0]) + "x" + std::to_string(sz[1]) +
                                                 (interlaced ? " interlaced" : "") + " filters " +
                                                 std::to_string(filters.size()));
                }
}

TEST(FastPngLoad, StreamsCutShortDamagedOrLongerAsThePlainPath) {
    for (const std::uint32_t side : {40u, 300u}) {
        const Bytes rows = FilteredRows(side, side, 8, 6, false, {0, 1, 2, 3, 4}, side);
        const Bytes z = Deflate(rows);
        auto file = [&](const Bytes& data) {
            return FileBuilder().raw(kPngSignature).chunk("IHDR", Ihdr(side, side, 8, 6)).chunk("IDAT", data).chunk("IEND", {}).bytes;
        };
        const std::string name = std::to_string(side) + " a side: ";
        // Cut at every length near the ends and at a spread of lengths between.
        for (std::size_t n = 0; n < z.size(); n += n < 64 || z.size() - n < 64 ? 1 : z.size() / 40)
            ExpectSameBothWays(file(Bytes(z.begin(), z.begin() + static_cast<std::ptrdiff_t>(n))), name + "cut at " + std::to_string(n));
        Bytes badAdler = z;
        badAdler.back() ^= 1;
        ExpectSameBothWays(file(badAdler), name + "wrong check value");
        ExpectSameBothWays(file(z + Bytes{1, 2, 3}), name + "bytes after the stream");
        const Bytes shorter = Deflate(Bytes(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(rows.size() / 2)));
        ExpectSameBothWays(file(shorter), name + "a stream of half the rows");
        ExpectSameBothWays(file(Deflate(rows + Bytes(500, 9))), name + "a stream of more rows");
        Bytes dictionary = z;
        dictionary[1] |= 0x20;
        ExpectSameBothWays(file(dictionary), name + "asks for a dictionary");
        Lcg rng{side};
        for (int k = 0; k < 30; ++k) {
            Bytes damaged = z;
            damaged[2 + rng.next() * (damaged.size() - 2) / 256] ^= static_cast<std::uint8_t>(1 + rng.next() % 255);
            ExpectSameBothWays(file(damaged), name + "damaged " + std::to_string(k));
        }
    }
}

TEST(FastPngLoad, SampleFilesAsThePlainPath) {
    VELTO_NEED_CORPUS();
    int files = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(CorpusDir())) {
        if (!e.is_regular_file() || e.path().extension() != ".png") continue;
        Bytes file;
        ASSERT_TRUE(ReadWholeFile(e.path().string(), file));
        ExpectSameBothWays(file, e.path().filename().string());
        ++files;
    }
    EXPECT_GT(files, 100);
}

}  // namespace
}  // namespace velto
