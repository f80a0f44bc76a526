#pragma once
// Conversion to and from the block-compressed formats (DXT1, DXT3, DXT5, BTC).
#include "imaging/ImagingTypes.h"

namespace velto {

// Converts the image between a block-compressed and a plain format (or between
// two block formats); raises EImagingError when the conversion is not available.
void ConvertImageSpecial(TImageData& image, const TImageFormatInfo& src, const TImageFormatInfo& dst);

}  // namespace velto
