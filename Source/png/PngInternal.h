#pragma once
// Helpers shared by the codec's source files; not part of the public interface.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "png/PngImage.h"
#include "png/PngInflate.h"
#include "png/PngVectorAvx2.h"

namespace velto::png_detail {

// PNG's own limit on a chunk's data length.
inline constexpr std::uint32_t kMaxChunkLength = 0x7FFFFFFFu;

// Deflate cannot expand data by more than this factor: a header asking for more
// filtered bytes than the rest of the stream could hold is refused before
// anything is allocated for it.
inline constexpr std::uint64_t kMaxInflateRatio = 1032;

// Colour type and bit depth pairs PNG allows.
constexpr bool ValidTypeAndDepth(std::uint8_t type, std::uint8_t depth) {
    switch (type) {
        case COLOR_GRAYSCALE: return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
        case COLOR_RGB:
        case COLOR_GRAYSCALEALPHA:
        case COLOR_RGBALPHA: return depth == 8 || depth == 16;
        case COLOR_PALETTE: return depth == 1 || depth == 2 || depth == 4 || depth == 8;
        default: return false;
    }
}

// Samples per pixel of a colour type (0 for an unknown one).
constexpr int SamplesPerPixel(std::uint8_t type) {
    switch (type) {
        case COLOR_GRAYSCALE:
        case COLOR_PALETTE: return 1;
        case COLOR_RGB: return 3;
        case COLOR_GRAYSCALEALPHA: return 2;
        case COLOR_RGBALPHA: return 4;
        default: return 0;
    }
}

// Bytes of one filtered row of `pixels` pixels, without the filter byte.
constexpr std::uint64_t RowBytes(std::uint64_t pixels, std::uint8_t type, std::uint8_t depth) {
    return (pixels * depth * static_cast<std::uint64_t>(SamplesPerPixel(type)) + 7) / 8;
}

// Filter distance: bytes of one complete pixel, at least 1.
constexpr std::uint32_t FilterOffset(std::uint8_t type, std::uint8_t depth) {
    const std::uint32_t bits = static_cast<std::uint32_t>(depth) * static_cast<std::uint32_t>(SamplesPerPixel(type));
    return bits < 8 ? 1 : bits / 8;
}

// Adam7 pass geometry.
struct Adam7Pass {
    int rowStart, colStart, rowInc, colInc;
};
inline constexpr Adam7Pass kAdam7[7] = {{0, 0, 8, 8}, {0, 4, 8, 8}, {4, 0, 8, 4}, {0, 2, 4, 4},
                                        {2, 0, 4, 2}, {0, 1, 2, 2}, {1, 0, 2, 1}};
constexpr std::uint64_t PassWidth(std::uint64_t width, const Adam7Pass& p) {
    return width > static_cast<std::uint64_t>(p.colStart)
               ? (width - p.colStart + p.colInc - 1) / p.colInc
               : 0;
}
constexpr std::uint64_t PassHeight(std::uint64_t height, const Adam7Pass& p) {
    return PassWidth(height, {0, p.rowStart, 0, p.rowInc});
}

// Filtered bytes (filter bytes included) of the whole image data.
std::uint64_t FilteredImageBytes(std::uint64_t width, std::uint64_t height, std::uint8_t type, std::uint8_t depth,
                                 bool interlaced);

std::uint8_t PaethPredictor(std::uint8_t a, std::uint8_t b, std::uint8_t c);
// Undoes one row's filter in place; prior is the unfiltered previous row (zeros
// for the first). Unknown filter types leave the row as read. The scalar
// reference, for every pixel width.
void UnfilterRow(std::uint8_t type, std::uint8_t* cur, const std::uint8_t* prior, std::size_t n, std::size_t bpp);
// The same with vector code for 3- and 4-byte pixels (others as UnfilterRow).
void UnfilterRowFast(std::uint8_t type, std::uint8_t* cur, const std::uint8_t* prior, std::size_t n, std::size_t bpp);
// n pixels of a file row of 8-bit RGB or RGBA to the DIB's B, G, R (and alpha), no gamma.
void RgbRowToBgr(const std::uint8_t* s, std::uint8_t* d, std::size_t n);
void RgbaRowToBgr(const std::uint8_t* s, std::uint8_t* d, std::uint8_t* alpha, std::size_t n);
// The SSSE3 builds of the kernels (only where the processor has it): the bytes
// or pixels done from the start of the row.
std::size_t PaethSsse3(std::uint8_t* cur, const std::uint8_t* prior, std::size_t n, std::size_t bpp);
std::size_t RgbToBgrSsse3(const std::uint8_t* s, std::uint8_t* d, std::size_t n);
std::size_t RgbaToBgrSsse3(const std::uint8_t* s, std::uint8_t* d, std::uint8_t* alpha, std::size_t n);
std::size_t RgbaToBgraSsse3(const std::uint8_t* s, std::uint8_t* d, std::size_t n);

// The CRC-32 of PNG and zlib, continued from crc (0 to start).
std::uint32_t Crc32(std::uint32_t crc, std::span<const std::uint8_t> data);

// The whole filtered image data as one zlib stream at a zlib level (1..9), by
// libdeflate at FastLevel(level); false when not built with it or it fails (the
// caller then streams through zlib).
bool DeflateFast(std::span<const std::uint8_t> in, int level, std::vector<std::uint8_t>& out);
int FastLevel(int level);

// Fills the row buffer of every filter in the set (Sub..Paeth), copies cur into
// prior (which is then also the None-filtered row) and returns the filter to
// write: the only one of a one-filter set, else the best repetition score, ties
// to the lower number, None when nothing scores.
std::uint8_t FilterToEncode(TFilters filters, const std::uint8_t* cur, std::uint8_t* prior,
                            std::vector<std::uint8_t>* filtered, std::size_t n, std::size_t offset);

[[noreturn]] void RaiseZlib(int code);
std::uint32_t ChunkCrc(const TChunkName& name, std::span<const std::uint8_t> data);
void WriteChunk(ByteWriter& out, const TChunkName& name, std::span<const std::uint8_t> data);
// Views `size` data bytes and checks the CRC after them; raises on a short read or
// a mismatch.
void ReadChunkData(ByteReader& stream, const TChunkName& name, std::uint32_t size,
                   std::span<const std::uint8_t>& data);

// Whole-buffer zlib helpers for text chunks. Inflate gives false on any failure or
// when the output would exceed maxOut; `produced` (when given) receives the bytes
// it inflated either way.
bool InflateBuffer(std::span<const std::uint8_t> in, std::size_t maxOut, std::vector<std::uint8_t>& out,
                   std::size_t* produced = nullptr);
bool DeflateBuffer(std::span<const std::uint8_t> in, int level, std::vector<std::uint8_t>& out);

// The tRNS colour of a grey or RGB image as samples of its bit depth (bits
// beyond the depth are ignored, as other readers do); not present without a
// usable tRNS.
struct SampleKey {
    bool present = false;
    int samples = 1;
    unsigned value[3] = {};
};
SampleKey KeyOf(const TPNGObject& owner, const TChunkIHDR& h);

// Grey of 1, 2 or 4 bits becomes 8-bit grey with the same levels.
void WidenGreyTo8Bits(TChunkIHDR& header);

// The grey ramp of a palette-based grey DIB through the owner's gamma table.
void BuildGreyPalette(TChunkIHDR& header);

}  // namespace velto::png_detail
