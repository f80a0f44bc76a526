#pragma once
// Valid pictures of 16384 x 16384 pixels, or of a side beyond a codec's bound,
// made small: headers that declare the size, run-length or padded bodies.
#include "CostlyFiles.h"
#include "import/MyImport.h"

namespace velto::test::overlimit {

using costly::Bytes;
constexpr std::uint64_t kSide = 16384;

// head, then unit n times.
inline Bytes Repeat(Bytes head, std::uint64_t n, const Bytes& unit) {
    while (n--) head.insert(head.end(), unit.begin(), unit.end());
    return head;
}

// A baseline JPEG of this program's writer whose frame header says width x
// height, padded to the bit each block's Huffman data takes at least.
inline Bytes BaselineJpeg(unsigned width, unsigned height) {
    Bytes out;
    tmyimport().EncodePicture(efJpeg, TmyImagePal({8, 8}, 32), out);
    std::size_t at = 2;
    while (out[at + 1] != 0xC0) at += 2 + (std::size_t(out[at + 2]) << 8 | out[at + 3]);
    out[at + 5] = height >> 8, out[at + 6] = height & 0xFF, out[at + 7] = width >> 8, out[at + 8] = width & 0xFF;
    return Repeat(out, std::uint64_t(width) * height / 64 * 3 / 8, {0});
}

// A picture (its extension names the kind), a length that cuts it into a
// damaged file, and the words that one gets.
struct Picture { const char* name; Bytes bytes; std::size_t cut; const char* damaged; };

inline std::vector<Picture> Pictures() {
    // 8-bit RLE: each row 64 runs of 255 pixels and one of 64, ended; the last end the picture's.
    const Bytes header = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 0, 0x40, 0, 0, 0, 0x40, 0, 0, 1, 0, 8, 0, 1};
    Bytes bmp = Repeat(Repeat(header, 23, {0}), kSide, Repeat(Repeat({}, 64, {255, 1}), 1, {64, 1, 0, 0}));
    bmp.back() = 1;
    const Bytes targa = {0, 0, 11, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x40, 0, 0x40, 8, 0x20};  // grey, runs of 128
    Bytes gif = costly::GifAnimation(2, 2, {{}});  // its one frame made 16384 x 16384
    gif[32] = gif[34] = 0, gif[33] = gif[35] = 0x40;
    return {
        {"rle8.bmp", bmp, 4000, "Invalid bmp file!"},
        {"rle.tga", Repeat(targa, kSide * kSide / 128, {0xFF, 0x40}), 4000, "Unknown file type!"},
        {"grey.png", costly::PngOfZeros(kSide, kSide, 1, 0, 1), 20, "Invalid png file!"},
        {"wide.png", costly::PngOfZeros(70000, 1, 8, 0, 1), 20, "Invalid png file!"},  // beyond the codec's side
        {"baseline.jpg", BaselineJpeg(kSide, kSide), 4000, "Invalid jpg file!"},
        {"wide.jpg", BaselineJpeg(65535, 8), 40, "Invalid jpg file!"},  // beyond the decoder's side
        {"arithmetic.jpg", costly::ArithmeticJpeg(1, false, kSide, kSide), 40, "Invalid jpg file!"},
        {"frame.gif", gif, 25, "Invalid gif file!"},
    };
}

}  // namespace velto::test::overlimit
