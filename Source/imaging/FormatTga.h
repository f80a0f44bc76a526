#pragma once
// Truevision Targa images: colour-mapped, true-colour and grey, plain or
// run-length encoded, with the extension area and footer of version 2 files.
#include <cstdint>
#include <span>
#include <vector>

#include "imaging/FileFormat.h"

namespace velto {

inline constexpr std::int32_t ImagingTargaRLE = 13;  // not 0: save run-length encoded

class TTargaFileFormat : public TImageFileFormat {
public:
    TTargaFileFormat();

    bool LoadData(const TIOFunctions& io, TImagingHandle handle, TDynImageDataArray& images,
                  bool onlyFirstLevel) override;
    bool SaveData(const TIOFunctions& io, TImagingHandle handle, const TDynImageDataArray& images,
                  std::int32_t index) override;
    void ConvertToSupported(TImageData& image, const TImageFormatInfo& info) override;
    bool TestFormat(const TIOFunctions& io, TImagingHandle handle) override;

    std::int32_t UseRLE = 0;
};

// Expands run-length packets of pixels of bpp bytes into out (cut at its end);
// the number of input bytes used.
std::size_t DecodeTargaRLE(std::span<const std::uint8_t> in, std::span<std::uint8_t> out, std::size_t bpp);
// Packs one row of pixels of bpp bytes into raw and run packets.
void EncodeTargaRLERow(const std::uint8_t* row, std::size_t count, std::size_t bpp, std::vector<std::uint8_t>& out);

}  // namespace velto
