// The codec against libpng on the sample files, and what we write against
// libpng and pngcheck.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <unistd.h>
#include <cstring>
#include <algorithm>

#include "../PngTestUtil.h"
#include "platform/FileIO.h"

using namespace velto;
using namespace pngtest;
namespace fs = std::filesystem;

namespace {

// libpng's straight RGBA of a file, no gamma: expand palette, grey and tRNS,
// keep the high byte of 16-bit samples, add opaque alpha.
bool LibpngRgba(const Bytes& file, Rgba& out, std::string& error) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    struct Src {
        const Bytes* b;
        std::size_t pos;
    } src{&file, 0};
    std::vector<png_bytep> rows;
    if (setjmp(png_jmpbuf(png))) {
        error = "libpng error";
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, &src, [](png_structp p, png_bytep data, png_size_t n) {
        auto* s = static_cast<Src*>(png_get_io_ptr(p));
        if (s->b->size() - s->pos < n) png_error(p, "read past end");
        std::memcpy(data, s->b->data() + s->pos, n);
        s->pos += n;
    });
    png_set_crc_action(png, PNG_CRC_ERROR_QUIT, PNG_CRC_ERROR_QUIT);
    png_read_info(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    out.width = static_cast<int>(png_get_image_width(png, info));
    out.height = static_cast<int>(png_get_image_height(png, info));
    out.px.assign(static_cast<std::size_t>(out.width) * out.height * 4, 0);
    rows.resize(static_cast<std::size_t>(out.height));
    for (int y = 0; y < out.height; ++y) rows[static_cast<std::size_t>(y)] = &out.px[static_cast<std::size_t>(y) * out.width * 4];
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

Bytes ReadFile(const fs::path& p) {
    Bytes b;
    ReadWholeFile(p.string(), b);
    return b;
}

std::vector<fs::path> PngFiles(const fs::path& dir) {
    std::vector<fs::path> out;
    if (!fs::is_directory(dir)) return out;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file() && e.path().extension() == ".png") out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
}

enum class Outcome { Equal, Different, BothRefuse, OnlyWeRefuse, OnlyLibpngRefuses };

Outcome Compare(const Bytes& raw, std::string& detail) {
    const Bytes file = StripChunks(raw, {"gAMA"});
    Rgba theirs, ours;
    std::string err;
    const bool libOk = LibpngRgba(file, theirs, err);
    bool weOk = false;
    try {
        TPNGObject png;
        ByteReader r(file);
        png.LoadFromStream(r);
        ours = ToRgba(png);
        weOk = true;
    } catch (const EPngError& e) {
        detail = e.what();
    }
    if (!libOk) return weOk ? Outcome::OnlyLibpngRefuses : Outcome::BothRefuse;
    if (!weOk) return Outcome::OnlyWeRefuse;
    detail = DescribeMismatch(ours, theirs);
    return detail.empty() ? Outcome::Equal : Outcome::Different;
}

}  // namespace

TEST(PngPeer, PngSuiteDecodesLikeLibpng) {
    const auto files = PngFiles(fs::path(VELTO_CORPUS_DIR) / "pngsuite");
    ASSERT_GE(files.size(), 60u);
    for (const auto& f : files) {
        std::string detail;
        EXPECT_EQ(Compare(ReadFile(f), detail), Outcome::Equal) << f.filename() << ": " << detail;
    }
}

// Where the two readers are allowed to differ on these files, and why.
const std::set<std::string> kKnownDifferences = {};

TEST(PngPeer, PillowFilesDecodeLikeLibpngOrAreRefused) {
    const auto files = PngFiles(fs::path(VELTO_CORPUS_DIR) / "pillow");
    ASSERT_GE(files.size(), 100u);
    int equal = 0, refused = 0;
    for (const auto& f : files) {
        std::string detail;
        const Outcome o = Compare(ReadFile(f), detail);
        const std::string name = fs::relative(f, fs::path(VELTO_CORPUS_DIR) / "pillow").string();
        if (kKnownDifferences.count(name)) continue;
        if (o == Outcome::Equal) ++equal;
        if (o == Outcome::BothRefuse) ++refused;
        EXPECT_TRUE(o == Outcome::Equal || o == Outcome::BothRefuse)
            << name << ": outcome " << static_cast<int>(o) << " " << detail;
    }
    EXPECT_GT(equal, 100);
    EXPECT_GT(refused, 0);
}

TEST(PngPeer, TruncatedFilesAreRefusedAtEveryLength) {
    // Every prefix of a few sample files: an EPngError or a complete image, never a crash.
    for (const char* name : {"basn6a08.png", "ibasn3p02.png", "ftbwn0g16.png", "basn0g01.png"}) {
        const fs::path p = fs::path(VELTO_CORPUS_DIR) / "pngsuite" / name;
        if (!fs::exists(p)) continue;
        const Bytes file = ReadFile(p);
        for (std::size_t n = 0; n < file.size(); ++n) {
            const Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(n));
            TPNGObject png;
            ByteReader r(cut);
            EXPECT_THROW(png.LoadFromStream(r), EPngError) << name << " cut at " << n;
        }
    }
}

namespace {

bool PngcheckAccepts(const Bytes& file, std::string& output) {
    const fs::path tmp = fs::temp_directory_path() / ("velto_pngcheck_" + std::to_string(::getpid()) + ".png");
    { std::ofstream(tmp, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size())); }
    const std::string cmd = "pngcheck -q '" + tmp.string() + "' 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return false;
    char buf[512];
    while (fgets(buf, sizeof buf, p)) output += buf;
    const int rc = pclose(p);
    fs::remove(tmp);
    return rc == 0;
}

}  // namespace

TEST(PngPeer, WhatWeWriteIsValidAndDecodesAlikeInLibpng) {
    if (std::system("command -v pngcheck >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "pngcheck not installed";
    struct Case {
        std::uint8_t type, depth;
    };
    const Case cases[] = {{0, 1}, {0, 2}, {0, 4}, {0, 8}, {0, 16}, {2, 8}, {2, 16}, {3, 1}, {3, 2},
                          {3, 4}, {3, 8}, {4, 8}, {4, 16}, {6, 8}, {6, 16}};
    for (const Case& c : cases)
        for (std::uint8_t interlace : {0, 1})
            for (TFilters filters : {TFilters(FilterBit(pfSub)), TFilters(0x1F)}) {
                TPNGObject png;
                png.CreateBlank(c.type, c.depth, 37, 19);
                png.InterlaceMethod = interlace;
                png.Filters = filters;
                for (int y = 0; y < 19; ++y)
                    for (int x = 0; x < 37; ++x) {
                        png.SetPixels(x, y, MakeColor(static_cast<std::uint8_t>(x * 7), static_cast<std::uint8_t>(y * 13),
                                                      static_cast<std::uint8_t>(x * y)));
                        if (auto* a = png.AlphaScanline(y)) a[x] = static_cast<std::uint8_t>(x * 11 + y);
                    }
                if (c.type == COLOR_PALETTE) {
                    TPaletteEntries pal(static_cast<std::size_t>(1) << c.depth);
                    for (std::size_t i = 0; i < pal.size(); ++i)
                        pal[i] = {static_cast<std::uint8_t>(i * 37), static_cast<std::uint8_t>(255 - i), static_cast<std::uint8_t>(i * 5), 0};
                    png.SetPalette(pal);
                }
                ByteWriter w;
                png.SaveToStream(w);
                const Bytes file = w.take();
                const std::string what = "type " + std::to_string(c.type) + " depth " + std::to_string(c.depth) +
                                         " interlace " + std::to_string(interlace) + " filters " + std::to_string(filters);
                std::string out;
                EXPECT_TRUE(PngcheckAccepts(file, out)) << what << ": " << out;
                Rgba theirs;
                std::string err;
                ASSERT_TRUE(LibpngRgba(file, theirs, err)) << what;
                TPNGObject back;
                ByteReader r(file);
                back.LoadFromStream(r);
                EXPECT_EQ(DescribeMismatch(ToRgba(png), theirs), "") << what;
            }
}

namespace {

// libpng writes an image with one forced filter; the pixels are a noisy gradient
// so that every predictor matters.
Bytes LibpngWrite(int w, int h, int type, int depth, int filter, int interlace) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep d, png_size_t n) {
            auto* o = static_cast<Bytes*>(png_get_io_ptr(p));
            o->insert(o->end(), d, d + n);
        },
        nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), depth, type, interlace,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (type == PNG_COLOR_TYPE_PALETTE) {
        png_color pal[256];
        for (int i = 0; i < 256; ++i)
            pal[i] = {static_cast<png_byte>(i), static_cast<png_byte>(255 - i), static_cast<png_byte>(i * 7)};
        png_set_PLTE(png, info, pal, 1 << depth);
    }
    png_set_filter(png, PNG_FILTER_TYPE_BASE, filter);
    png_write_info(png, info);
    const int channels = type == 0 || type == 3 ? 1 : type == 2 ? 3 : type == 4 ? 2 : 4;
    const std::size_t rowBytes = (static_cast<std::size_t>(w) * channels * depth + 7) / 8;
    std::vector<Bytes> rows(static_cast<std::size_t>(h), Bytes(rowBytes));
    std::vector<png_bytep> ptrs;
    unsigned seed = 1;
    for (int y = 0; y < h; ++y) {
        for (std::size_t i = 0; i < rowBytes; ++i) {
            seed = seed * 1103515245u + 12345u;
            rows[static_cast<std::size_t>(y)][i] = static_cast<std::uint8_t>(i * 3 + y * 5 + ((seed >> 16) & 7));
        }
        ptrs.push_back(rows[static_cast<std::size_t>(y)].data());
    }
    png_write_image(png, ptrs.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

}  // namespace

TEST(PngPeer, EveryFilterAndLayoutWrittenByLibpngDecodesAlike) {
    const std::pair<int, int> layouts[] = {{0, 1}, {0, 2}, {0, 4}, {0, 8}, {0, 16}, {2, 8}, {2, 16}, {3, 1},
                                           {3, 2}, {3, 4}, {3, 8}, {4, 8}, {4, 16}, {6, 8}, {6, 16}};
    for (auto [type, depth] : layouts)
        for (int filter : {PNG_FILTER_NONE, PNG_FILTER_SUB, PNG_FILTER_UP, PNG_FILTER_AVG, PNG_FILTER_PAETH})
            for (int interlace : {0, 1}) {
                const Bytes file = LibpngWrite(29, 11, type, depth, filter, interlace);
                ASSERT_FALSE(file.empty());
                std::string detail;
                EXPECT_EQ(Compare(file, detail), Outcome::Equal)
                    << type << "/" << depth << " filter " << filter << " interlace " << interlace << ": " << detail;
            }
}

TEST(PngPeer, SampleFilesRewrittenStayValid) {
    if (std::system("command -v pngcheck >/dev/null 2>&1") != 0) GTEST_SKIP() << "pngcheck not installed";
    auto files = PngFiles(fs::path(VELTO_CORPUS_DIR) / "pngsuite");
    const auto pillow = PngFiles(fs::path(VELTO_CORPUS_DIR) / "pillow");
    files.insert(files.end(), pillow.begin(), pillow.end());
    int checked = 0;
    for (const auto& f : files) {
        const Bytes original = StripChunks(ReadFile(f), {"gAMA"});
        std::string out;
        if (original.size() > (4u << 20) || !PngcheckAccepts(original, out)) continue;  // only files valid to begin with
        TPNGObject png;
        ByteReader r(original);
        try {
            png.LoadFromStream(r);
        } catch (const EPngError&) {
            continue;
        }
        ByteWriter w;
        png.SaveToStream(w);
        const Bytes rewritten = w.take();
        out.clear();
        EXPECT_TRUE(PngcheckAccepts(rewritten, out)) << f.filename() << ": " << out;
        Rgba theirs;
        std::string err;
        ASSERT_TRUE(LibpngRgba(rewritten, theirs, err)) << f.filename();
        // 16-bit images lose their low bytes on saving, so keys compared at full precision may differ.
        if (png.GetHeader().BitDepth != 16) {
            EXPECT_EQ(DescribeMismatch(ToRgba(png), theirs), "") << f.filename();
        }
        ++checked;
    }
    EXPECT_GT(checked, 150);
}
