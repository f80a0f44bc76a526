#pragma once
// The pixel-format table and everything that touches single pixels: reading
// and writing one pixel of any plain format, the sixteen conversions between
// format classes, half floats, packed-row expansion and the median-cut
// reduction to a palette.
#include <cstddef>
#include <cstdint>

#include "imaging/ImagingTypes.h"

namespace velto {

// ---------------------------------------------------------------------------
// The table. Slot 1 points at the A8R8G8B8 record; an id without a format
// gives nullptr.

const TImageFormatInfo* FormatInfo(TImageFormat id);
bool IsImageFormatValid(TImageFormat id);

std::int32_t GetStdPixelsSize(TImageFormat format, std::int32_t width, std::int32_t height);
void CheckStdDimensions(TImageFormat format, std::int32_t& width, std::int32_t& height);
void CheckBlockDimensions(TImageFormat format, std::int32_t& width, std::int32_t& height);
std::int32_t GetDXTPixelsSize(TImageFormat format, std::int32_t width, std::int32_t height);
std::int32_t GetBTCPixelsSize(TImageFormat format, std::int32_t width, std::int32_t height);

// Builds the bit-field record of a packed format (alpha highest, blue lowest).
TBitFieldInfo MakeBitFieldInfo(std::uint8_t aBits, std::uint8_t rBits, std::uint8_t gBits, std::uint8_t bBits);

// ---------------------------------------------------------------------------
// Class readers and writers: the intermediate value of each format class.

TColor64Rec ChannelGetSrcPixel(const std::uint8_t* src, const TImageFormatInfo& info);
void ChannelSetDstPixel(std::uint8_t* dst, const TImageFormatInfo& info, TColor64Rec pix);
// The grey class's value: grey64 (significant part in its top 16 bits) and alpha16.
void GrayGetSrcPixel(const std::uint8_t* src, const TImageFormatInfo& info, std::uint64_t& gray, std::uint16_t& alpha);
void GraySetDstPixel(std::uint8_t* dst, const TImageFormatInfo& info, std::uint64_t gray, std::uint16_t alpha);
TColorFPRec FloatGetSrcPixel(const std::uint8_t* src, const TImageFormatInfo& info);
void FloatSetDstPixel(std::uint8_t* dst, const TImageFormatInfo& info, TColorFPRec pix);
std::uint32_t IndexGetSrcPixel(const std::uint8_t* src, const TImageFormatInfo& info);
void IndexSetDstPixel(std::uint8_t* dst, const TImageFormatInfo& info, std::uint32_t index);

// The generic pixel routines (those the table stores for most formats).
TColor32 GetPixel32Generic(const std::uint8_t* pixel, const TImageFormatInfo& info, const TColor32* palette);
void SetPixel32Generic(std::uint8_t* pixel, const TImageFormatInfo& info, const TColor32* palette, TColor32 color);
TColorFPRec GetPixelFPGeneric(const std::uint8_t* pixel, const TImageFormatInfo& info, const TColor32* palette);
void SetPixelFPGeneric(std::uint8_t* pixel, const TImageFormatInfo& info, const TColor32* palette,
                       const TColorFPRec& color);

// ---------------------------------------------------------------------------
// Conversions of a run of pixels between format classes. The destination is
// zeroed beforehand by the caller; palettes hold the formats' entry counts.

using TConvertRoutine = void (*)(std::size_t count, const std::uint8_t* src, std::uint8_t* dst,
                                 const TImageFormatInfo& srcInfo, const TImageFormatInfo& dstInfo,
                                 const TColor32* srcPal, TColor32* dstPal);

void IndexToIndex(std::size_t, const std::uint8_t*, std::uint8_t*, const TImageFormatInfo&, const TImageFormatInfo&,
                  const TColor32*, TColor32*);
void IndexToGray(std::size_t, const std::uint8_t*, std::uint8_t*, const TImageFormatInfo&, const TImageFormatInfo&,
                 const TColor32*, TColor32*);
void IndexToFloat(std::size_t, const std::uint8_t*, std::uint8_t*, const TImageFormatInfo&, const TImageFormatInfo&,
                  const TColor32*, TColor32*);
void IndexToChannel(std::size_t, const std::uint8_t*, std::uint8_t*, const TImageFormatInfo&,
                    const TImageFormatInfo&, const TColor32*, TColor32*);
void GrayToIndexed(std::size_t, const std::uint8_t*, std::uint8_t*, const TImageFormatInfo&, const TImageFormatInfo&,
                   const TColor32*, TColor32*);
void GrayToGray(std::size_t, const std::uint8_t*, std::uint8_t*, const TImageFormatInfo&, const TImageFormatInfo&,
                const TColor32*, TColor32*);
void GrayToFloat(std::size_t, const std::uint8_t*, std::uint8_t*, const TImageFormatInfo&, const TImageFormatInfo&,
                 const TColor32*, TColor32*);
void GrayToChannel(std::size_t, const std::uint8_t*, std::uint8_t*, const TImageFormatInfo&, const TImageFormatInfo&,
                   const TColor32*, TColor32*);
void FloatToIndexed(std::size_t, const std::uint8_t*, std::uint8_t*, const TImageFormatInfo&,
                    const TImageFormatInfo&, const TColor32*, TColor32*);
void FloatToGray(std::size_t, const std::uint8_t*, std::uint8_t*, const TImageFormatInfo&, const TImageFormatInfo&,
                 const TColor32*, TColor32*);
void FloatToFloat(std::size_t, const std::uint8_t*, std::uint8_t*, const TImageFormatInfo&, const TImageFormatInfo&,
                  const TColor32*, TColor32*);
void FloatToChannel(std::size_t, const std::uint8_t*, std::uint8_t*, const TImageFormatInfo&,
                    const TImageFormatInfo&, const TColor32*, TColor32*);
void ChannelToIndexed(std::size_t, const std::uint8_t*, std::uint8_t*, const TImageFormatInfo&,
                      const TImageFormatInfo&, const TColor32*, TColor32*);
void ChannelToGray(std::size_t, const std::uint8_t*, std::uint8_t*, const TImageFormatInfo&, const TImageFormatInfo&,
                   const TColor32*, TColor32*);
void ChannelToFloat(std::size_t, const std::uint8_t*, std::uint8_t*, const TImageFormatInfo&,
                    const TImageFormatInfo&, const TColor32*, TColor32*);
void ChannelToChannel(std::size_t, const std::uint8_t*, std::uint8_t*, const TImageFormatInfo&,
                      const TImageFormatInfo&, const TColor32*, TColor32*);

// The routine for a pair of formats, by the class of each (indexed, grey,
// float, channel, tested in that order).
TConvertRoutine ConversionFor(const TImageFormatInfo& src, const TImageFormatInfo& dst);

// ---------------------------------------------------------------------------
// Row routines.

void Convert1To8(const std::uint8_t* src, std::uint8_t* dst, std::int32_t width, std::int32_t height,
                 std::int32_t srcRowBytes);
void Convert2To8(const std::uint8_t* src, std::uint8_t* dst, std::int32_t width, std::int32_t height,
                 std::int32_t srcRowBytes);
void Convert4To8(const std::uint8_t* src, std::uint8_t* dst, std::int32_t width, std::int32_t height,
                 std::int32_t srcRowBytes);
void RemovePadBytes(const std::uint8_t* src, std::uint8_t* dst, std::int32_t width, std::int32_t height,
                    std::int32_t bytesPerPixel, std::int32_t srcRowBytes);
// Pixels of 3 or 4 bytes copied with their first and third bytes exchanged
// (red-first file order to blue-first memory order and back); a fourth byte
// stays. src may be dst.
void CopySwapRedBlue(const std::uint8_t* src, std::uint8_t* dst, std::size_t pixels, std::size_t bytesPerPixel);
void CopyPixel(const std::uint8_t* src, std::uint8_t* dst, std::int32_t bytesPerPixel);
void TranslatePixel(const std::uint8_t* src, std::uint8_t* dst, TImageFormat srcFormat, TImageFormat dstFormat,
                    const TColor32* srcPalette, const TColor32* dstPalette);
bool Has16BitImageAlpha(std::size_t count, const std::uint16_t* data);
bool Has32BitImageAlpha(std::size_t count, const std::uint32_t* data);

float HalfToFloat(std::uint16_t half);
std::uint16_t FloatToHalf(float value);

// ---------------------------------------------------------------------------
// Median-cut reduction to at most maxColors palette entries.

enum TReduceColorsAction : std::uint32_t {
    raCreateHistogram = 1,
    raUpdateHistogram = 2,
    raMakeColorMap = 4,
    raMapImage = 8,
};
inline constexpr std::uint32_t raAll = raCreateHistogram | raUpdateHistogram | raMakeColorMap | raMapImage;

void ReduceColorsMedianCut(std::size_t count, const std::uint8_t* src, std::uint8_t* dst,
                           const TImageFormatInfo& srcInfo, const TImageFormatInfo& dstInfo, std::int32_t maxColors,
                           std::uint8_t channelMask, TColor32* dstPal, std::uint32_t actions = raAll);

// Index of the first palette entry equal to the colour, else of the nearest
// one (sum of absolute channel differences; 1020 is never taken).
std::int32_t NearestPaletteIndex(const TColor32* palette, std::int32_t entries, TColor32 color);

}  // namespace velto
