#pragma once
// Valid pictures of 16384 x 16384 pixels, beyond what a load may decode, made
// compactly (headers that declare the size, run-length bodies), each with
// the length that cuts it into a damaged file and the words that one gets.
#include <string>
#include <vector>

#include "CostlyFiles.h"

namespace velto::test::overlimit {

using costly::Bytes;

constexpr int kSide = 16384;

// A grey baseline JPEG whose frame header says width x height, padded to the
// bit a block its Huffman data takes at least.
inline Bytes BaselineJpeg(std::uint16_t width, std::uint16_t height) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = cinfo.image_height = 8;
    cinfo.input_components = 1;
    cinfo.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(8, 128);
    for (JSAMPROW r = row.data(); cinfo.next_scanline < 8;) jpeg_write_scanlines(&cinfo, &r, 1);
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes out(buffer, buffer + size);
    std::free(buffer);
    for (std::size_t at = 2; at + 9 <= out.size(); at += 2 + (std::size_t(out[at + 2]) << 8 | out[at + 3]))
        if (out[at + 1] == 0xC0) {
            out[at + 5] = static_cast<std::uint8_t>(height >> 8), out[at + 6] = static_cast<std::uint8_t>(height);
            out[at + 7] = static_cast<std::uint8_t>(width >> 8), out[at + 8] = static_cast<std::uint8_t>(width);
            break;
        }
    out.resize(out.size() + std::size_t(width / 8) * (height / 8) / 8);
    return out;
}

// An 8-bit RLE bitmap: runs of 255 pixels, each row ended, then the end.
inline Bytes RleBitmap(int side) {
    Bytes row;
    for (int x = 0; x < side; x += 255) row.insert(row.end(), {std::uint8_t(std::min(255, side - x)), 1});
    row.insert(row.end(), {0, 0});
    Bytes body;
    for (int y = 0; y < side; ++y) body.insert(body.end(), row.begin(), row.end());
    body.back() = 1;  // the last row's end is the bitmap's
    const auto le32 = [](Bytes& b, std::uint32_t v) { costly::Le16(b, v & 0xFFFF), costly::Le16(b, v >> 16); };
    Bytes out = {'B', 'M'};
    const std::uint32_t offset = 14 + 40 + 256 * 4;
    le32(out, offset + std::uint32_t(body.size())), le32(out, 0), le32(out, offset);
    for (const std::uint32_t v : {40u, std::uint32_t(side), std::uint32_t(side)}) le32(out, v);
    costly::Le16(out, 1), costly::Le16(out, 8);
    for (const std::uint32_t v : {1u, std::uint32_t(body.size()), 2835u, 2835u, 256u, 0u}) le32(out, v);
    for (int i = 0; i < 256; ++i) out.insert(out.end(), {std::uint8_t(i), std::uint8_t(i), std::uint8_t(i), 0});
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

// A grey run-length Targa: runs of 128 pixels in two bytes each.
inline Bytes RleTarga(int side) {
    Bytes out = {0, 0, 11, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    costly::Le16(out, std::uint32_t(side)), costly::Le16(out, std::uint32_t(side));
    out.insert(out.end(), {8, 0x20});
    for (std::uint64_t i = 0; i < std::uint64_t(side) * side / 128; ++i) out.insert(out.end(), {0xFF, 0x40});
    return out;
}

// A grey PNG: its header, and one row of zeros as its data, padded to the
// least that deflated data of the whole picture takes.
inline Bytes GreyPng(int width, int height) {
    Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}, ihdr;
    costly::Be32(ihdr, std::uint32_t(width)), costly::Be32(ihdr, std::uint32_t(height));
    ihdr.insert(ihdr.end(), {8, 0, 0, 0, 0});
    costly::PngChunk(out, "IHDR", ihdr);
    const Bytes row(std::size_t(width) + 1, 0);
    Bytes idat(compressBound(uLong(row.size())));
    uLongf length = uLongf(idat.size());
    compress(idat.data(), &length, row.data(), uLong(row.size()));
    idat.resize(std::max<std::size_t>(length, std::size_t(width + 1) * height / 1032));
    costly::PngChunk(out, "IDAT", idat);
    costly::PngChunk(out, "IEND", {});
    return out;
}

// A GIF of a 2 x 2 screen whose one frame is side x side: its data a clear
// code and the end (the rest of the frame is the background).
inline Bytes GifFrameOf(int side) {
    Bytes out = {'G', 'I', 'F', '8', '9', 'a', 2, 0, 2, 0, 0x80, 0, 0, 0, 0, 0, 255, 255, 255, ',', 0, 0, 0, 0};
    costly::Le16(out, std::uint32_t(side)), costly::Le16(out, std::uint32_t(side));
    out.insert(out.end(), {0, 2, 1, 0x2C, 0, ';'});
    return out;
}

struct Picture {
    const char* name;  // a file name whose extension says the kind
    Bytes bytes;
    std::size_t cut;   // a length that leaves a damaged file
    const char* damaged;
};

inline std::vector<Picture> Pictures() {
    return {
        {"rle8.bmp", RleBitmap(kSide), 4000, "Invalid bmp file!"},
        {"rle.tga", RleTarga(kSide), 4000, "Unknown file type!"},
        {"grey.png", GreyPng(kSide, kSide), 20, "Invalid png file!"},
        {"wide.png", GreyPng(70000, 1), 20, "Invalid png file!"},  // wider than the codec takes
        {"baseline.jpg", BaselineJpeg(kSide, kSide), 4000, "Invalid jpg file!"},
        {"arithmetic.jpg", costly::ArithmeticJpeg(1, false, kSide, kSide), 40, "Invalid jpg file!"},
        {"frame.gif", GifFrameOf(kSide), 25, "Invalid gif file!"},
    };
}

}  // namespace velto::test::overlimit
