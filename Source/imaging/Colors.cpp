// YCbCr (JFIF coefficients) and CMYK to RGB. Products in double, rounded half
// to even and clamped.
#include "imaging/Colors.h"

#include <algorithm>
#include <cmath>

namespace velto {

namespace {

template <class T>
void YCbCr(double y, double cb, double cr, double centre, double max, T& r, T& g, T& b) {
    const auto fit = [max](double v) { return static_cast<T>(std::clamp(std::nearbyint(v), 0.0, max)); };
    r = fit(y + 1.402 * (cr - centre));
    g = fit(y - 0.34414 * (cb - centre) - 0.71414 * (cr - centre));
    b = fit(y + 1.772 * (cb - centre));
}

template <class T>
T Ink(std::uint32_t c, std::uint32_t k, std::uint32_t m) {
    const std::int64_t v = std::int64_t(m) - (std::int64_t(c) - std::int64_t(c) * k / m + k);
    return static_cast<T>(std::clamp<std::int64_t>(v, 0, m));
}

}  // namespace

void YCbCrToRGB(std::uint8_t y, std::uint8_t cb, std::uint8_t cr, std::uint8_t& r, std::uint8_t& g, std::uint8_t& b) {
    YCbCr(y, cb, cr, 128.0, 255.0, r, g, b);
}

void YCbCrToRGB16(std::uint16_t y, std::uint16_t cb, std::uint16_t cr, std::uint16_t& r, std::uint16_t& g,
                  std::uint16_t& b) {
    YCbCr(y, cb, cr, 32768.0, 65535.0, r, g, b);
}

void CMYKToRGB(std::uint8_t c, std::uint8_t m, std::uint8_t y, std::uint8_t k, std::uint8_t& r, std::uint8_t& g,
               std::uint8_t& b) {
    r = Ink<std::uint8_t>(c, k, 255);
    g = Ink<std::uint8_t>(m, k, 255);
    b = Ink<std::uint8_t>(y, k, 255);
}

void CMYKToRGB16(std::uint16_t c, std::uint16_t m, std::uint16_t y, std::uint16_t k, std::uint16_t& r,
                 std::uint16_t& g, std::uint16_t& b) {
    r = Ink<std::uint16_t>(c, k, 65535);
    g = Ink<std::uint16_t>(m, k, 65535);
    b = Ink<std::uint16_t>(y, k, 65535);
}

}  // namespace velto
