#pragma once
// The 8-bit palette images of old game data files: single images (IMG),
// multi-image files (CIF), texture archives and chunked BSI images. They share
// a base that holds the palette used for files without one, the run-length
// decoder, the headerless sizes and the content test. Images load as Index8
// whose palette entry 0 is transparent.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "imaging/FileFormat.h"

namespace velto {

using TElderRawPalette = std::array<std::uint8_t, 768>;

// The two built-in palettes (R, G, B triplets).
const TElderRawPalette& ElderFirstDefaultPalette();
const TElderRawPalette& ElderSecondDefaultPalette();

// Run-length data: a control byte b below 128 copies the next b + 1 bytes, one
// of 128 or more repeats the next byte b - 127 times. Output stops at
// `expected` bytes, input at the end of `source`; the bytes produced.
std::size_t ElderDecodeRle(std::span<const std::uint8_t> source, std::size_t expected, std::uint8_t* destination);

class TElderFileFormat : public TImageFileFormat {
public:
    void ConvertToSupported(TImageData& image, const TImageFormatInfo& info) override;
    bool IsSupported(const TImageData& image) const override;
    bool TestFormat(const TIOFunctions& io, TImagingHandle handle) override;

    // Takes 768 bytes of R, G, B and rebuilds the 32-bit palette.
    void SetPalette(const TElderRawPalette& raw);

    // Appends an Index8 image with a copy of the format's palette; its index.
    std::size_t AddPaletteImage(TDynImageDataArray& images, std::int32_t width, std::int32_t height) const;

    TElderRawPalette RawPalette{};
    std::array<TColor32, 256> ArgbPalette{};

protected:
    TElderFileFormat();
    // Saves the images from first to last as headers and raw pixels; `message`
    // names the format in the size error.
    bool SaveImages(const TIOFunctions& io, TImagingHandle handle, const TDynImageDataArray& images, std::int32_t first,
                    std::int32_t last, const char* message);
};

class TIMGFileFormat : public TElderFileFormat {
public:
    TIMGFileFormat();
    bool LoadData(const TIOFunctions& io, TImagingHandle handle, TDynImageDataArray& images,
                  bool onlyFirstLevel) override;
    bool SaveData(const TIOFunctions& io, TImagingHandle handle, const TDynImageDataArray& images,
                  std::int32_t index) override;
};

class TCIFFileFormat : public TElderFileFormat {
public:
    TCIFFileFormat();
    bool LoadData(const TIOFunctions& io, TImagingHandle handle, TDynImageDataArray& images,
                  bool onlyFirstLevel) override;
    bool SaveData(const TIOFunctions& io, TImagingHandle handle, const TDynImageDataArray& images,
                  std::int32_t index) override;
};

class TTextureFileFormat : public TElderFileFormat {
public:
    TTextureFileFormat();
    bool LoadData(const TIOFunctions& io, TImagingHandle handle, TDynImageDataArray& images,
                  bool onlyFirstLevel) override;
    bool TestFormat(const TIOFunctions& io, TImagingHandle handle) override;

    // The name in the last texture file loaded on this thread.
    const std::string& LastTextureName() const;
};

class TBSIFileFormat : public TElderFileFormat {
public:
    TBSIFileFormat();
    bool LoadData(const TIOFunctions& io, TImagingHandle handle, TDynImageDataArray& images,
                  bool onlyFirstLevel) override;
    bool TestFormat(const TIOFunctions& io, TImagingHandle handle) override;
};

}  // namespace velto
