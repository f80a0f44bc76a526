#pragma once
// One pixel: four 8-bit channels. A plain 4-byte value, so an image's pixels
// are one contiguous array.
#include <cstdint>

#include "platform/Color.h"

namespace velto {

struct TmyPixel {
    std::uint8_t R = 0;
    std::uint8_t G = 0;
    std::uint8_t B = 0;
    std::uint8_t A = 0;  // 0 fully transparent, 255 opaque

    // (0, 0, 0, 0): transparent black.
    static constexpr TmyPixel Create() { return {}; }
    // R, G, B from the colour value, A = 0.
    static constexpr TmyPixel CreateColor(TColor c) { return {ColorR(c), ColorG(c), ColorB(c), 0}; }
    static constexpr TmyPixel CreateCopy(const TmyPixel& s) { return s; }
    static constexpr TmyPixel CreateRGBA(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a) {
        return {r, g, b, a};
    }

    constexpr void Assign(const TmyPixel& s) { *this = s; }
    constexpr bool Equals(const TmyPixel& o) const { return R == o.R && G == o.G && B == o.B && A == o.A; }
    constexpr bool EqualsRGB(const TmyPixel& o) const { return R == o.R && G == o.G && B == o.B; }
    constexpr bool IsTransparent() const { return A == 0; }
    constexpr void SetRGB(std::uint8_t r, std::uint8_t g, std::uint8_t b) { R = r; G = g; B = b; }
    constexpr void SetRGBA(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a) { R = r; G = g; B = b; A = a; }
    constexpr void SetColor(TColor c) { SetRGB(ColorR(c), ColorG(c), ColorB(c)); }
    constexpr TColor GetColor() const { return MakeColor(R, G, B); }

    friend constexpr bool operator==(const TmyPixel& a, const TmyPixel& b) { return a.Equals(b); }
};
static_assert(sizeof(TmyPixel) == 4, "pixels are stored as packed RGBA");

// An RGB colour of the colour dialogs.
struct TmyColor {
    std::uint8_t R = 0;
    std::uint8_t G = 0;
    std::uint8_t B = 0;

    static constexpr TmyColor Create() { return {}; }
    static constexpr TmyColor CreateColor(TColor c) { return {ColorR(c), ColorG(c), ColorB(c)}; }
    constexpr void SetColor(TColor c) { R = ColorR(c); G = ColorG(c); B = ColorB(c); }
};

}  // namespace velto
