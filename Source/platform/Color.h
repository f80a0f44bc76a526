#pragma once
// TColor is the windowing layer's colour value: R + G*256 + B*65536 (0x00BBGGRR).
// It is a distinct type so that a Qt QRgb (0xAARRGGBB) can never be passed
// where a TColor is expected, or the other way round, without an explicit
// conversion (the GUI layer has TColorToQRgb / QRgbToTColor).
#include <cstdint>

namespace velto {

enum class TColor : std::uint32_t {};

constexpr TColor MakeColor(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return static_cast<TColor>(static_cast<std::uint32_t>(r) | (static_cast<std::uint32_t>(g) << 8) |
                               (static_cast<std::uint32_t>(b) << 16));
}
constexpr TColor ColorFromValue(std::uint32_t v) { return static_cast<TColor>(v); }
constexpr std::uint32_t ColorValue(TColor c) { return static_cast<std::uint32_t>(c); }
constexpr std::uint8_t ColorR(TColor c) { return static_cast<std::uint8_t>(ColorValue(c)); }
constexpr std::uint8_t ColorG(TColor c) { return static_cast<std::uint8_t>(ColorValue(c) >> 8); }
constexpr std::uint8_t ColorB(TColor c) { return static_cast<std::uint8_t>(ColorValue(c) >> 16); }

inline constexpr TColor clBlack = MakeColor(0, 0, 0);
inline constexpr TColor clWhite = MakeColor(255, 255, 255);

}  // namespace velto
