// The codec against libpng on the sample files, and what we write against
// libpng and pngcheck.
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "../PngTestUtil.h"
#include "Corpus.h"
#include "platform/FileIO.h"

using namespace velto;
using namespace pngtest;
namespace fs = std::filesystem;

namespace {

// libpng's straight RGBA of a file, no gamma: expand palette, grey and tRNS,
// keep the high byte of 16-bit samples, add opaque alpha.
bool LibpngRgba(const Bytes& file, Rgba& out) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    struct Src {
        const Bytes* b;
        std::size_t pos;
    } src{&file, 0};
    std::vector<png_bytep> rows;
    if (setjmp(png_jmpbuf(png))) {
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
    for (int y = 0; y < out.height; ++y) rows.push_back(&out.px[static_cast<std::size_t>(y) * out.width * 4]);
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

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
    png_set_write_fn(png, &out, [](png_structp p, png_bytep d, png_size_t n) {
        auto* o = static_cast<Bytes*>(png_get_io_ptr(p));
        o->insert(o->end(), d, d + n);
    }, nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), depth, type, interlace,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_color pal[256];
    for (int i = 0; i < 256; ++i) pal[i] = {static_cast<png_byte>(i), static_cast<png_byte>(255 - i), static_cast<png_byte>(i * 7)};
    if (type == PNG_COLOR_TYPE_PALETTE) png_set_PLTE(png, info, pal, 1 << depth);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, filter);
    png_write_info(png, info);
    const int channels = type == 0 || type == 3 ? 1 : type == 2 ? 3 : type == 4 ? 2 : 4;
    const std::size_t rowBytes = (static_cast<std::size_t>(w) * channels * depth + 7) / 8;
    Bytes pixels(rowBytes * static_cast<std::size_t>(h));
    unsigned seed = 1;
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        seed = seed * 1103515245u + 12345u;
        pixels[i] = static_cast<std::uint8_t>(i % rowBytes * 3 + i / rowBytes * 5 + ((seed >> 16) & 7));
    }
    std::vector<png_bytep> ptrs;
    for (std::size_t i = 0; i < pixels.size(); i += rowBytes) ptrs.push_back(&pixels[i]);
    png_write_image(png, ptrs.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

Bytes ReadFile(const fs::path& p) {
    Bytes b;
    ReadWholeFile(p.string(), b);
    return b;
}

std::vector<fs::path> PngFiles(const std::string& dir) {
    std::vector<fs::path> out;
    const fs::path root = fs::path(VELTO_CORPUS_DIR) / dir;
    if (!fs::is_directory(root)) return out;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file() && e.path().extension() == ".png") out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
}

// How our reader differs from libpng on a file without gamma: "" when alike,
// "both refuse", or what differs.
std::string Compare(const Bytes& raw) {
    const Bytes file = StripChunks(raw, {"gAMA"});
    Rgba theirs;
    const bool libOk = LibpngRgba(file, theirs);
    try {
        TPNGObject png;
        Load(png, file);
        return libOk ? DescribeMismatch(ToRgba(png), theirs) : "only libpng refuses";
    } catch (const EPngError& e) {
        return libOk ? std::string("only we refuse: ") + e.what() : "both refuse";
    }
}

bool HavePngcheck() { return std::system("command -v pngcheck >/dev/null 2>&1") == 0; }

bool PngcheckAccepts(const Bytes& file, std::string& output) {
    const fs::path tmp = fs::temp_directory_path() / ("velto_pngcheck_" + std::to_string(::getpid()) + ".png");
    std::ofstream(tmp, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    FILE* p = popen(("pngcheck -q '" + tmp.string() + "' 2>&1").c_str(), "r");
    if (!p) return false;
    char buf[512];
    while (fgets(buf, sizeof buf, p)) output += buf;
    const int rc = pclose(p);
    fs::remove(tmp);
    return rc == 0;
}

// What is wrong with a file we wrote from `png`: pngcheck's complaint, or libpng
// refusing it or seeing other pixels.
std::string WrittenFileProblem(const Bytes& file, const TPNGObject& png) {
    std::string out;
    if (!PngcheckAccepts(file, out)) return "pngcheck: " + out;
    Rgba theirs;
    if (!LibpngRgba(file, theirs)) return "libpng refuses it";
    return DescribeMismatch(ToRgba(png), theirs);
}

}  // namespace

TEST(PngPeer, SampleFilesDecodeLikeLibpngOrBothRefuse) {
    VELTO_NEED_CORPUS();
    // Every PngSuite file decodes alike; among Pillow's files the broken ones are refused by both.
    for (const auto& [dir, minFiles, mayRefuse] : {std::tuple{"pngsuite", 60u, false}, {"pillow", 100u, true}}) {
        const auto files = PngFiles(dir);
        ASSERT_GE(files.size(), minFiles) << dir;
        std::size_t refused = 0;
        for (const auto& f : files) {
            const std::string problem = Compare(ReadFile(f));
            refused += problem == "both refuse";
            EXPECT_TRUE(problem.empty() || (mayRefuse && problem == "both refuse")) << f.string() << ": " << problem;
        }
        if (mayRefuse) {
            EXPECT_GT(refused, 0u);
            EXPECT_GT(files.size() - refused, 100u);
        }
    }
}

TEST(PngPeer, TruncatedFilesAreRefusedAtEveryLength) {
    VELTO_NEED_CORPUS();
    // Every prefix of a few sample files: an EPngError, never a crash or a partial image.
    for (const char* name : {"basn6a08.png", "ibasn3p02.png", "ftbwn0g16.png", "basn0g01.png"}) {
        const Bytes file = ReadFile(fs::path(VELTO_CORPUS_DIR) / "pngsuite" / name);
        for (std::size_t n = 0; n < file.size(); ++n) {
            TPNGObject png;
            EXPECT_THROW(Load(png, Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(n))), EPngError)
                << name << " cut at " << n;
        }
    }
}

TEST(PngPeer, WhatWeWriteIsValidAndLibpngSeesItAsWritten) {
    // Every layout, interlaced or not, with each filter alone and all of them
    // (our own reading back is a unit test).
    if (!HavePngcheck()) GTEST_SKIP() << "pngcheck not installed";
    for (auto [type, depth] : kLayouts)
        for (std::uint8_t interlace : {0, 1})
            for (TFilters filters : kFilterSets) {
                SCOPED_TRACE(std::to_string(type) + "/" + std::to_string(depth) + " interlace " +
                             std::to_string(interlace) + " filters " + std::to_string(filters));
                TPNGObject png;
                PaintLayout(png, type, depth, interlace, filters);
                EXPECT_EQ(WrittenFileProblem(Save(png), png), "");
            }
}

TEST(PngPeer, EveryFilterAndLayoutWrittenByLibpngDecodesAlike) {
    for (auto [type, depth] : kLayouts)
        for (int filter : {PNG_FILTER_NONE, PNG_FILTER_SUB, PNG_FILTER_UP, PNG_FILTER_AVG, PNG_FILTER_PAETH})
            for (int interlace : {0, 1}) {
                const Bytes file = LibpngWrite(29, 11, type, depth, filter, interlace);
                ASSERT_FALSE(file.empty());
                EXPECT_EQ(Compare(file), "") << type << "/" << depth << " filter " << filter << " interlace " << interlace;
            }
}

TEST(PngPeer, SampleFilesRewrittenStayValid) {
    VELTO_NEED_CORPUS();
    if (!HavePngcheck()) GTEST_SKIP() << "pngcheck not installed";
    auto files = PngFiles("pngsuite");
    const auto pillow = PngFiles("pillow");
    files.insert(files.end(), pillow.begin(), pillow.end());
    int checked = 0;
    for (const auto& f : files) {
        const Bytes original = StripChunks(ReadFile(f), {"gAMA"});
        std::string out;
        if (original.size() > (4u << 20) || !PngcheckAccepts(original, out)) continue;  // only files valid to begin with
        TPNGObject png;
        try {
            Load(png, original);
        } catch (const EPngError&) {
            continue;
        }
        EXPECT_EQ(WrittenFileProblem(Save(png), png), "") << f.filename();
        ++checked;
    }
    EXPECT_GT(checked, 150);
}
