#pragma once
// Types shared by every part of the image library: pixel values, the image
// record, the pixel-format description and the library's one exception.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/FileIO.h"

namespace velto {

// ---------------------------------------------------------------------------
// Pixel-format ids. Id 1 stands for the default format (A8R8G8B8).

using TImageFormat = std::uint32_t;

inline constexpr TImageFormat ifUnknown = 0;
inline constexpr TImageFormat ifDefault = 1;
inline constexpr TImageFormat ifIndex8 = 10;
inline constexpr TImageFormat ifGray8 = 40;
inline constexpr TImageFormat ifA8Gray8 = 41;
inline constexpr TImageFormat ifGray16 = 42;
inline constexpr TImageFormat ifGray32 = 43;
inline constexpr TImageFormat ifGray64 = 44;
inline constexpr TImageFormat ifA16Gray16 = 45;
inline constexpr TImageFormat ifX5R1G1B1 = 80;
inline constexpr TImageFormat ifR3G3B2 = 81;
inline constexpr TImageFormat ifR5G6B5 = 82;
inline constexpr TImageFormat ifA1R5G5B5 = 83;
inline constexpr TImageFormat ifA4R4G4B4 = 84;
inline constexpr TImageFormat ifX1R5G5B5 = 85;
inline constexpr TImageFormat ifX4R4G4B4 = 86;
inline constexpr TImageFormat ifR8G8B8 = 87;
inline constexpr TImageFormat ifA8R8G8B8 = 88;
inline constexpr TImageFormat ifX8R8G8B8 = 89;
inline constexpr TImageFormat ifR16G16B16 = 90;
inline constexpr TImageFormat ifA16R16G16B16 = 91;
inline constexpr TImageFormat ifB16G16R16 = 92;
inline constexpr TImageFormat ifA16B16G16R16 = 93;
inline constexpr TImageFormat ifR32F = 170;
inline constexpr TImageFormat ifA32R32G32B32F = 171;
inline constexpr TImageFormat ifA32B32G32R32F = 172;
inline constexpr TImageFormat ifR16F = 173;
inline constexpr TImageFormat ifA16R16G16B16F = 174;
inline constexpr TImageFormat ifA16B16G16R16F = 175;
inline constexpr TImageFormat ifDXT1 = 220;
inline constexpr TImageFormat ifDXT3 = 221;
inline constexpr TImageFormat ifDXT5 = 222;
inline constexpr TImageFormat ifBTC = 223;

// Slots of the format table (ids 0..225).
inline constexpr TImageFormat kFormatSlots = 226;

// ---------------------------------------------------------------------------
// Pixel values. Each lies in memory as blue, green, red, alpha.

// 32-bit ARGB: alpha in bits 31-24, red 23-16, green 15-8, blue 7-0.
using TColor32 = std::uint32_t;

inline constexpr std::uint8_t Color32B(TColor32 c) { return static_cast<std::uint8_t>(c); }
inline constexpr std::uint8_t Color32G(TColor32 c) { return static_cast<std::uint8_t>(c >> 8); }
inline constexpr std::uint8_t Color32R(TColor32 c) { return static_cast<std::uint8_t>(c >> 16); }
inline constexpr std::uint8_t Color32A(TColor32 c) { return static_cast<std::uint8_t>(c >> 24); }
inline constexpr TColor32 Color32(std::uint8_t a, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return static_cast<TColor32>(a) << 24 | static_cast<TColor32>(r) << 16 | static_cast<TColor32>(g) << 8 | b;
}

struct TColor64Rec {
    std::uint16_t B = 0, G = 0, R = 0, A = 0;
};

struct TColorFPRec {
    float B = 0, G = 0, R = 0, A = 0;
};

// ---------------------------------------------------------------------------
// The image record. Plain data: whoever holds it owns its two buffers, which
// the library's routines allocate and release (FreeImage).

struct TImageData {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    TImageFormat Format = ifUnknown;
    std::int32_t Size = 0;
    std::uint8_t* Bits = nullptr;
    TColor32* Palette = nullptr;
};

using TDynImageDataArray = std::vector<TImageData>;

// ---------------------------------------------------------------------------
// Pixel-format description (one read-only record per format).

struct TBitFieldInfo {
    std::uint8_t ABits = 0, RBits = 0, GBits = 0, BBits = 0;
    std::uint32_t AMask = 0, RMask = 0, GMask = 0, BMask = 0;
    std::uint8_t AShift = 0, RShift = 0, GShift = 0, BShift = 0;
    std::uint8_t AMax = 0, RMax = 0, GMax = 0, BMax = 0;
};

struct TImageFormatInfo;

using TGetPixelsSizeFunc = std::int32_t (*)(TImageFormat format, std::int32_t width, std::int32_t height);
using TCheckDimensionsFunc = void (*)(TImageFormat format, std::int32_t& width, std::int32_t& height);
using TGetPixel32Func = TColor32 (*)(const std::uint8_t* pixel, const TImageFormatInfo& info, const TColor32* palette);
using TGetPixelFPFunc = TColorFPRec (*)(const std::uint8_t* pixel, const TImageFormatInfo& info,
                                         const TColor32* palette);
using TSetPixel32Func = void (*)(std::uint8_t* pixel, const TImageFormatInfo& info, const TColor32* palette,
                                 TColor32 color);
using TSetPixelFPFunc = void (*)(std::uint8_t* pixel, const TImageFormatInfo& info, const TColor32* palette,
                                 const TColorFPRec& color);

struct TImageFormatInfo {
    TImageFormat FormatId = ifUnknown;
    char Name[16] = {};
    std::int32_t BytesPerPixel = 0;
    std::int32_t ChannelCount = 0;
    std::int32_t PaletteEntries = 0;
    bool IsGray = false;
    bool HasAlpha = false;
    bool IsFloat = false;
    bool IsPacked = false;
    bool IsRBSwapped = false;
    TImageFormat SwappedTwin = ifUnknown;
    bool IsIndexed = false;
    bool IsBlockCompressed = false;
    const TBitFieldInfo* BitFields = nullptr;
    TGetPixelsSizeFunc GetPixelsSize = nullptr;
    TCheckDimensionsFunc CheckDimensions = nullptr;
    TGetPixel32Func GetPixel32 = nullptr;
    TGetPixelFPFunc GetPixelFP = nullptr;
    TSetPixel32Func SetPixel32 = nullptr;
    TSetPixelFPFunc SetPixelFP = nullptr;
    TImageFormat NearestPlainFormat = ifUnknown;
};

// ---------------------------------------------------------------------------
// The library's exception. Every failure inside a routine reaches callers as
// this class, with the routine's message. A failure of the file itself also
// carries the file's status, so that whoever shows the message can say why
// (the routine's wrappers keep it when they rethrow with their own message).

class EImagingError : public std::runtime_error {
public:
    explicit EImagingError(const std::string& message, FileError fileError = FileError::None)
        : std::runtime_error(message), fileError_(fileError) {}
    // None when the file was not the cause.
    FileError FileStatus() const { return fileError_; }

private:
    FileError fileError_;
};

}  // namespace velto
