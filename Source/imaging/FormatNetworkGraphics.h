#pragma once
// PNG, MNG and JNG: one chunk engine splits a file into frames (embedded PNG
// or JNG images with their palette, transparency and data), and the frame
// coder turns a frame into an image and back. This codec is the library's own
// and independent of the program's PNG graphic.
#include <cstdint>
#include <vector>

#include "imaging/FileFormat.h"

namespace velto {

// Options of the three formats.
inline constexpr std::int32_t ImagingPNGPreFilter = 25;
inline constexpr std::int32_t ImagingPNGCompressLevel = 26;
inline constexpr std::int32_t ImagingMNGLossyCompression = 28;
inline constexpr std::int32_t ImagingMNGLossyAlpha = 29;
inline constexpr std::int32_t ImagingMNGPreFilter = 30;
inline constexpr std::int32_t ImagingMNGCompressLevel = 31;
inline constexpr std::int32_t ImagingMNGQuality = 32;
inline constexpr std::int32_t ImagingMNGProgressive = 33;
inline constexpr std::int32_t ImagingJNGLossyAlpha = 40;
inline constexpr std::int32_t ImagingJNGAlphaPreFilter = 41;
inline constexpr std::int32_t ImagingJNGAlphaCompressLevel = 42;
inline constexpr std::int32_t ImagingJNGQuality = 43;
inline constexpr std::int32_t ImagingJNGProgressive = 44;

enum TNGFileKind : std::int32_t { ngPNG = 0, ngMNG = 1, ngJNG = 2 };

class TNetworkGraphicsFileFormat : public TImageFileFormat {
public:
    void GetSupportedFormats(TImageFormats& formats) const override;
    void ConvertToSupported(TImageData& image, const TImageFormatInfo& info) override;
    bool TestFormat(const TIOFunctions& io, TImagingHandle handle) override;
    void CheckOptionsValidity() override;

    TNGFileKind Kind = ngPNG;  // whose signature TestFormat looks for
    std::int32_t RowFilter = 5;
    std::int32_t DeflateLevel = 5;
    std::int32_t ColorAsJpeg = 0;
    std::int32_t AlphaAsJpeg = 0;
    std::int32_t JpegQuality = 90;
    std::int32_t JpegProgressive = 0;

protected:
    explicit TNetworkGraphicsFileFormat(TNGFileKind kind);
    // Loads the first frame of a PNG or JNG file (a frame of the other kind
    // leaves the image empty).
    bool LoadFirstFrame(const TIOFunctions& io, TImagingHandle handle, TDynImageDataArray& images, bool asJng);
    // Saves one image as a PNG or JNG file.
    bool SaveOneFrame(const TIOFunctions& io, TImagingHandle handle, const TDynImageDataArray& images,
                      std::int32_t index, bool asJng);
};

class TPNGFileFormat : public TNetworkGraphicsFileFormat {
public:
    TPNGFileFormat();
    bool LoadData(const TIOFunctions& io, TImagingHandle handle, TDynImageDataArray& images,
                  bool onlyFirstLevel) override;
    bool SaveData(const TIOFunctions& io, TImagingHandle handle, const TDynImageDataArray& images,
                  std::int32_t index) override;
};

class TMNGFileFormat : public TNetworkGraphicsFileFormat {
public:
    TMNGFileFormat();
    bool LoadData(const TIOFunctions& io, TImagingHandle handle, TDynImageDataArray& images,
                  bool onlyFirstLevel) override;
    bool SaveData(const TIOFunctions& io, TImagingHandle handle, const TDynImageDataArray& images,
                  std::int32_t index) override;
};

class TJNGFileFormat : public TNetworkGraphicsFileFormat {
public:
    TJNGFileFormat();
    bool LoadData(const TIOFunctions& io, TImagingHandle handle, TDynImageDataArray& images,
                  bool onlyFirstLevel) override;
    bool SaveData(const TIOFunctions& io, TImagingHandle handle, const TDynImageDataArray& images,
                  std::int32_t index) override;
};

}  // namespace velto
