#pragma once
// Arithmetic shared by the pixel-format sources: the conversion constants as
// single-precision values, rounding half to even, unaligned loads and stores.
// Products of channel values are computed in double from the single-precision
// constants and rounded half to even, so results do not depend on contraction
// or the build's float settings.
#include <cmath>
#include <cstdint>
#include <cstring>

namespace velto::pixel_math {

// Constants of the conversions, as single-precision values.
constexpr float kGrayR = 0.299f, kGrayG = 0.587f, kGrayB = 0.114f;
constexpr float kOneDiv8Bit = 0.003921569f;
constexpr float kOneDiv16Bit = 0.0000152590219f;

// Round half to even and clamp to 0..max.
inline std::uint32_t RoundClamp(double v, std::uint32_t max) {
    const double r = std::nearbyint(v);
    if (!(r >= 0.0)) return 0;  // NaN too
    if (r >= static_cast<double>(max)) return max;
    return static_cast<std::uint32_t>(r);
}

// A channel of 0.0..1.0 as a byte.
inline std::uint8_t Byte(float c) { return static_cast<std::uint8_t>(RoundClamp(static_cast<double>(c) * 255.0, 255)); }

inline double GrayOf(double r, double g, double b) {
    return static_cast<double>(kGrayR) * r + static_cast<double>(kGrayG) * g + static_cast<double>(kGrayB) * b;
}

inline float Div8(std::uint32_t v) { return static_cast<float>(static_cast<double>(v) * kOneDiv8Bit); }
inline float Div16(std::uint32_t v) { return static_cast<float>(static_cast<double>(v) * kOneDiv16Bit); }

inline std::uint16_t Load16(const std::uint8_t* p) {
    std::uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}
inline void Store16(std::uint8_t* p, std::uint16_t v) { std::memcpy(p, &v, 2); }
inline std::uint32_t Load32(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline void Store32(std::uint8_t* p, std::uint32_t v) { std::memcpy(p, &v, 4); }
inline float LoadF(const std::uint8_t* p) {
    float v;
    std::memcpy(&v, p, 4);
    return v;
}
inline void StoreF(std::uint8_t* p, float v) { std::memcpy(p, &v, 4); }

}  // namespace velto::pixel_math
