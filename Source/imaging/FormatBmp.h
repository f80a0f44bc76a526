#pragma once
// Windows device-independent bitmaps: OS/2 core and Windows headers of
// versions 3 to 5, 1 to 32 bits per pixel, plain, RLE8, RLE4 and bit fields.
#include <cstdint>
#include <span>
#include <vector>

#include "imaging/FileFormat.h"

namespace velto {

inline constexpr std::int32_t ImagingBitmapRLE = 12;  // not 0: save Index8 images RLE8-compressed

class TBitmapFileFormat : public TImageFileFormat {
public:
    TBitmapFileFormat();

    bool LoadData(const TIOFunctions& io, TImagingHandle handle, TDynImageDataArray& images,
                  bool onlyFirstLevel) override;
    bool SaveData(const TIOFunctions& io, TImagingHandle handle, const TDynImageDataArray& images,
                  std::int32_t index) override;
    void ConvertToSupported(TImageData& image, const TImageFormatInfo& info) override;
    bool TestFormat(const TIOFunctions& io, TImagingHandle handle) override;

    std::int32_t BitmapRLE = -1;
};

// Run-length decoding into an Index8 image (one index a byte); rows go from
// the bottom up unless topDown. Throws EImagingError for a delta that leaves
// the image.
void DecodeBitmapRLE8(std::span<const std::uint8_t> data, TImageData& image, bool topDown);
void DecodeBitmapRLE4(std::span<const std::uint8_t> data, TImageData& image, bool topDown);
// Run-length encoding of an Index8 image, last row first, ended by end-of-bitmap.
std::vector<std::uint8_t> EncodeBitmapRLE8(const TImageData& image);

}  // namespace velto
