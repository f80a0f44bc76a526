#pragma once
// JPEG files through libjpeg: baseline and progressive, grey, YCbCr and CMYK.
// The codec reads and writes through an I/O table, so a JPEG may come from a
// file, a stream or memory (JNG frames hold theirs in memory streams).
#include <cstdint>

#include "imaging/FileFormat.h"

namespace velto {

// Options of the format.
inline constexpr std::int32_t ImagingJpegQuality = 10;      // 1..100
inline constexpr std::int32_t ImagingJpegProgressive = 11;  // not 0: progressive

class TJpegFileFormat : public TImageFileFormat {
public:
    TJpegFileFormat();

    bool LoadData(TImagingHandle handle, TDynImageDataArray& images, bool onlyFirstLevel) override;
    bool SaveData(TImagingHandle handle, const TDynImageDataArray& images, std::int32_t index) override;
    void ConvertToSupported(TImageData& image, const TImageFormatInfo& info) override;
    bool TestFormat(TImagingHandle handle) override;
    void CheckOptionsValidity() override;
    // The table the codec reads and writes through, set at every load and save.
    virtual void SetJpegIO(const TIOFunctions& io);

    bool SaveAsGray = false;
    std::int32_t JpegQuality = 90;
    std::int32_t JpegProgressive = 0;

protected:
    explicit TJpegFileFormat(bool registerOptions);
    TIOFunctions JpegIO;
};

// A JPEG coder over an I/O table of its own (the JNG frames' memory streams);
// never registered.
class TCustomIOJpegFileFormat : public TJpegFileFormat {
public:
    TCustomIOJpegFileFormat() : TJpegFileFormat(false) {}
    void SetJpegIO(const TIOFunctions& io) override;
    void SetCustomIO(const TIOFunctions& io) { CustomIO = io; }

    TIOFunctions CustomIO;
};

}  // namespace velto
