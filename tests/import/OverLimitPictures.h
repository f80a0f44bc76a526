#pragma once
// Valid pictures of 16384 x 16384 pixels, beyond what a load may decode, made
// compactly (headers that declare the size, run-length bodies), each with a
// length that cuts it into a damaged file and the words that one gets.
#include "CostlyFiles.h"
#include "import/MyImport.h"

namespace velto::test::overlimit {

using costly::Bytes;
constexpr int kSide = 16384;

inline void Le32(Bytes& b, std::uint32_t v) { costly::Le16(b, v & 0xFFFF), costly::Le16(b, v >> 16); }

// The header, and runs of pixels (of up to 128 or 255) as the format stores them.
inline Bytes Runs(Bytes out, std::uint64_t pixels, Bytes run, int most) {
    for (std::uint64_t i = 0; i < pixels / most; ++i) out.insert(out.end(), run.begin(), run.end());
    return out;
}

// An 8-bit RLE bitmap: rows of runs of 255 pixels, each row ended, then the end.
inline Bytes RleBitmap() {
    Bytes out = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0};
    Le32(out, kSide), Le32(out, kSide), Le32(out, 1 | 8 << 16), Le32(out, 1);
    out.resize(54);
    Bytes row = Runs({}, kSide, {255, 1}, 255);
    row.insert(row.end(), {64, 1, 0, 0});
    for (int y = 0; y < kSide; ++y) out.insert(out.end(), row.begin(), row.end());
    out.back() = 1;
    return out;
}

// A baseline JPEG of this program's writer, its frame header saying
// width x height, padded to the bit each block's Huffman data takes at least.
inline Bytes BaselineJpeg(unsigned width = kSide, unsigned height = kSide) {
    Bytes out;
    tmyimport().EncodePicture(efJpeg, TmyImagePal({8, 8}, 32), out);
    for (std::size_t at = 2; at + 9 <= out.size(); at += 2 + (std::size_t(out[at + 2]) << 8 | out[at + 3]))
        if (out[at + 1] == 0xC0)
            out[at + 5] = height >> 8, out[at + 6] = height & 0xFF, out[at + 7] = width >> 8, out[at + 8] = width & 0xFF;
    out.resize(out.size() + std::size_t(width) * height / 64 * 3 / 8);
    return out;
}

// A grey PNG: its header, then data as long as the deflated picture at least.
inline Bytes GreyPng(int width, int height) {
    Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}, ihdr;
    costly::Be32(ihdr, std::uint32_t(width)), costly::Be32(ihdr, std::uint32_t(height));
    ihdr.insert(ihdr.end(), {8, 0, 0, 0, 0});
    costly::PngChunk(out, "IHDR", ihdr);
    costly::PngChunk(out, "IDAT", Bytes(std::size_t(width + 1) * height / 1000 + 8, 0));
    costly::PngChunk(out, "IEND", {});
    return out;
}

// A GIF of a 2 x 2 screen whose one frame is side x side (a clear code, the end).
inline Bytes GifFrameOf(int side) {
    Bytes out = {'G', 'I', 'F', '8', '9', 'a', 2, 0, 2, 0, 0x80, 0, 0, 0, 0, 0, 255, 255, 255, ',', 0, 0, 0, 0};
    costly::Le16(out, std::uint32_t(side)), costly::Le16(out, std::uint32_t(side));
    out.insert(out.end(), {0, 2, 1, 0x2C, 0, ';'});
    return out;
}

struct Picture {
    const char* name;  // its extension says the kind
    Bytes bytes;
    std::size_t cut;   // a length that leaves a damaged file
    const char* damaged;
};

inline std::vector<Picture> Pictures() {
    const Bytes targa = {0, 0, 11, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x40, 0, 0x40, 8, 0x20};
    return {
        {"rle8.bmp", RleBitmap(), 4000, "Invalid bmp file!"},
        {"rle.tga", Runs(targa, std::uint64_t(kSide) * kSide, {0xFF, 0x40}, 128), 4000, "Unknown file type!"},
        {"grey.png", GreyPng(kSide, kSide), 20, "Invalid png file!"},
        {"wide.png", GreyPng(70000, 1), 20, "Invalid png file!"},  // wider than the codec takes
        {"baseline.jpg", BaselineJpeg(), 4000, "Invalid jpg file!"},
        {"wide.jpg", BaselineJpeg(65535, 8), 40, "Invalid jpg file!"},  // wider than the decoder takes
        {"arithmetic.jpg", costly::ArithmeticJpeg(1, false, kSide, kSide), 40, "Invalid jpg file!"},
        {"frame.gif", GifFrameOf(kSide), 25, "Invalid gif file!"},
    };
}

}  // namespace velto::test::overlimit
