#pragma once
// The block-compressed formats: DXT1, DXT3 and DXT5 (4x4 texel blocks of
// R5G6B5 endpoints with 2-bit indices; explicit or interpolated alpha) and
// BTC (1-bit grey block truncation). They have no pixel access: conversions
// decode blocks into A8R8G8B8 (DXT) or Gray8 (BTC) and encode from those.
#include <cstdint>

#include "imaging/ImagingTypes.h"

namespace velto {

// Converts the image between a block-compressed and a plain format (or between
// two block formats). A plain image becomes a block image of the size rounded
// up to multiples of 4, stretched (not padded) to it.
void ConvertImageSpecial(TImageData& image, const TImageFormatInfo& src, const TImageFormatInfo& dst);

// Decodes the blocks of a block image into A8R8G8B8 (DXT) or Gray8 (BTC)
// pixels of the same width and height.
void DecodeBlocks(const TImageData& image, std::uint8_t* dst, const TImageFormatInfo& srcInfo);
// Encodes A8R8G8B8 (DXT) or Gray8 (BTC) pixels of an image whose sides are
// multiples of 4 into blocks of the target format.
void EncodeBlocks(const TImageData& image, std::uint8_t* dst, const TImageFormatInfo& dstInfo);

// One codec each: width div 4 by height div 4 blocks, row of blocks after row
// of blocks. Decoders write only the pixels inside width and height.
void DecodeDXT1(const std::uint8_t* src, std::uint8_t* dst, std::int32_t width, std::int32_t height);
void DecodeDXT3(const std::uint8_t* src, std::uint8_t* dst, std::int32_t width, std::int32_t height);
void DecodeDXT5(const std::uint8_t* src, std::uint8_t* dst, std::int32_t width, std::int32_t height);
void DecodeBTC(const std::uint8_t* src, std::uint8_t* dst, std::int32_t width, std::int32_t height);
void EncodeDXT1(const std::uint8_t* src, std::uint8_t* dst, std::int32_t width, std::int32_t height);
void EncodeDXT3(const std::uint8_t* src, std::uint8_t* dst, std::int32_t width, std::int32_t height);
void EncodeDXT5(const std::uint8_t* src, std::uint8_t* dst, std::int32_t width, std::int32_t height);
void EncodeBTC(const std::uint8_t* src, std::uint8_t* dst, std::int32_t width, std::int32_t height);

}  // namespace velto
