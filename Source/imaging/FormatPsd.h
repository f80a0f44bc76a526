#pragma once
// The merged image of layered PSD files: grey, indexed, RGB, CMYK (and
// multichannel, duotone and Lab taken as grey or RGB) at 8, 16 and 32 bits,
// raw or PackBits; written raw with no layers.
#include <cstddef>
#include <cstdint>
#include <span>

#include "imaging/FileFormat.h"

namespace velto {

class TPSDFileFormat : public TImageFileFormat {
public:
    TPSDFileFormat();

    bool LoadData(const TIOFunctions& io, TImagingHandle handle, TDynImageDataArray& images,
                  bool onlyFirstLevel) override;
    bool SaveData(const TIOFunctions& io, TImagingHandle handle, const TDynImageDataArray& images,
                  std::int32_t index) override;
    void ConvertToSupported(TImageData& image, const TImageFormatInfo& info) override;
    bool TestFormat(const TIOFunctions& io, TImagingHandle handle) override;
};

// PackBits expansion, cut at the end of either buffer; the bytes written.
std::size_t DecodePackBits(std::span<const std::uint8_t> in, std::span<std::uint8_t> out);

}  // namespace velto
