#pragma once
// JPEG files through libjpeg: baseline and progressive, grey, YCbCr and CMYK.
// The codec reads and writes through an I/O table, so a JPEG may come from a
// file, a stream or memory (JNG frames hold theirs in memory streams).
#include <cstdint>
#include <functional>

#include "imaging/FileFormat.h"

namespace velto {

// Options of the format.
inline constexpr std::int32_t ImagingJpegQuality = 10;      // 1..100
inline constexpr std::int32_t ImagingJpegProgressive = 11;  // not 0: progressive

class TJpegFileFormat : public TImageFileFormat {
public:
    TJpegFileFormat();

    bool LoadData(const TIOFunctions& io, TImagingHandle handle, TDynImageDataArray& images,
                  bool onlyFirstLevel) override;
    bool SaveData(const TIOFunctions& io, TImagingHandle handle, const TDynImageDataArray& images,
                  std::int32_t index) override;
    void ConvertToSupported(TImageData& image, const TImageFormatInfo& info) override;
    bool TestFormat(const TIOFunctions& io, TImagingHandle handle) override;
    void CheckOptionsValidity() override;

    std::int32_t JpegQuality = 90;
    std::int32_t JpegProgressive = 0;
    // Asked once the header gave the full size: the load decodes at 1/n of
    // it (n 2, 4 or 8; any other answer is full size), libjpeg's scaled
    // decode, which costs a fraction of a full one. Unset: full size.
    std::function<int(std::int32_t width, std::int32_t height)> ScaleDenominator;

protected:
    explicit TJpegFileFormat(bool registerOptions);
};

// A JPEG coder with options of its own, not bound to the option table (the
// JNG frames' data, coded with the JNG format's settings); never registered.
class TPrivateJpegFileFormat : public TJpegFileFormat {
public:
    TPrivateJpegFileFormat() : TJpegFileFormat(false) {}
};

}  // namespace velto
