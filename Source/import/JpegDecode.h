#pragma once
// JPEG files straight into the working picture (see JpegDecode.cpp).
#include <cstdint>
#include <span>

#include "import/Picture.h"

namespace velto {

enum class TJpegDecode : std::uint8_t {
    Decoded,   // the picture holds the pixels, alpha 255
    NotTaken,  // a kind this road leaves to the image library (progressive, CMYK...)
    Failed,    // damaged
    TooLarge,  // beyond the image library's bounds of pixels or bytes
};

TJpegDecode DecodeJpeg(std::span<const std::uint8_t> data, TWorkPicture& picture);

}  // namespace velto
