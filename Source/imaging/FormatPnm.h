#pragma once
// The portable maps: bit, grey, pixel, arbitrary and float maps ("P1" to
// "P7", "PF" and "Pf"), one reader for all five classes (the file's own magic
// decides how it is read) and one writer driven by the map header.
#include <cstdint>

#include "imaging/FileFormat.h"

namespace velto {

inline constexpr std::int32_t ImagingPGMSaveBinary = 50;  // 0: write grey maps as text
inline constexpr std::int32_t ImagingPPMSaveBinary = 51;  // 0: write pixel maps as text

// Tuple types, by their index.
enum TTupleType : std::int32_t {
    ttInvalid = 0,
    ttBlackAndWhite,
    ttGrayScale,
    ttRGB,
    ttBlackAndWhiteAlpha,
    ttGrayScaleAlpha,
    ttRGBAlpha,
    ttGrayScaleFP,
    ttRGBFP,
};
inline constexpr const char* TupleTypeNames[] = {"INVALID", "BLACKANDWHITE", "GRAYSCALE", "RGB",
                                                 "BLACKANDWHITE_ALPHA", "GRAYSCALE_ALPHA", "RGB_ALPHA",
                                                 "GRAYSCALEFP", "RGBFP"};

struct TPortableMapInfo {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    char IdChar = 0;
    std::int32_t MaxVal = 0;
    std::int32_t BitCount = 0;
    std::int32_t Depth = 0;
    std::int32_t TupleType = ttInvalid;
    bool Binary = false;
    bool HasPAMHeader = false;
    bool BigEndian = false;
};

class TPortableMapFileFormat : public TImageFileFormat {
public:
    TPortableMapFileFormat();

    bool LoadData(const TIOFunctions& io, TImagingHandle handle, TDynImageDataArray& images,
                  bool onlyFirstLevel) override;
    bool SaveData(const TIOFunctions& io, TImagingHandle handle, const TDynImageDataArray& images,
                  std::int32_t index) override;
    bool TestFormat(const TIOFunctions& io, TImagingHandle handle) override;

    char IdChars[2] = {0, 0};
    std::int32_t SaveBinary = -1;

protected:
    // The common writer, given what the descendant chose of the header.
    bool WriteMap(const TIOFunctions& io, TImagingHandle handle, const TDynImageDataArray& images, std::int32_t index,
                  TPortableMapInfo m);
    // The grey and pixel maps: text or binary by SaveBinary.
    bool WriteTextOrBinary(const TIOFunctions& io, TImagingHandle handle, const TDynImageDataArray& images,
                           std::int32_t index);
};

class TPBMFileFormat : public TPortableMapFileFormat {
public:
    TPBMFileFormat();
};

class TPGMFileFormat : public TPortableMapFileFormat {
public:
    TPGMFileFormat();
    bool SaveData(const TIOFunctions& io, TImagingHandle handle, const TDynImageDataArray& images,
                  std::int32_t index) override;
    void ConvertToSupported(TImageData& image, const TImageFormatInfo& info) override;
};

class TPPMFileFormat : public TPortableMapFileFormat {
public:
    TPPMFileFormat();
    bool SaveData(const TIOFunctions& io, TImagingHandle handle, const TDynImageDataArray& images,
                  std::int32_t index) override;
    void ConvertToSupported(TImageData& image, const TImageFormatInfo& info) override;
};

class TPAMFileFormat : public TPortableMapFileFormat {
public:
    TPAMFileFormat();
    bool SaveData(const TIOFunctions& io, TImagingHandle handle, const TDynImageDataArray& images,
                  std::int32_t index) override;
    void ConvertToSupported(TImageData& image, const TImageFormatInfo& info) override;
};

class TPFMFileFormat : public TPortableMapFileFormat {
public:
    TPFMFileFormat();
    bool SaveData(const TIOFunctions& io, TImagingHandle handle, const TDynImageDataArray& images,
                  std::int32_t index) override;
    void ConvertToSupported(TImageData& image, const TImageFormatInfo& info) override;
};

}  // namespace velto
