#pragma once
// Conversions of JPEG 2000, JPEG and PSD samples to RGB.
#include <cstdint>

namespace velto {

// Colour spaces: JFIF YCbCr and CMYK (ink amounts) to RGB.
void YCbCrToRGB(std::uint8_t y, std::uint8_t cb, std::uint8_t cr, std::uint8_t& r, std::uint8_t& g, std::uint8_t& b);
void YCbCrToRGB16(std::uint16_t y, std::uint16_t cb, std::uint16_t cr, std::uint16_t& r, std::uint16_t& g,
                  std::uint16_t& b);
void CMYKToRGB(std::uint8_t c, std::uint8_t m, std::uint8_t y, std::uint8_t k, std::uint8_t& r, std::uint8_t& g,
               std::uint8_t& b);
void CMYKToRGB16(std::uint16_t c, std::uint16_t m, std::uint16_t y, std::uint16_t k, std::uint16_t& r,
                 std::uint16_t& g, std::uint16_t& b);

}  // namespace velto
