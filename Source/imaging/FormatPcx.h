#pragma once
// ZSoft paintbrush images (loading only): 1, 2, 4 and 8 bits in one plane,
// 1 bit in four planes, 8 bits in three or four planes, raw or run-length.
#include <cstddef>
#include <cstdint>
#include <span>

#include "imaging/FileFormat.h"

namespace velto {

class TPCXFileFormat : public TImageFileFormat {
public:
    TPCXFileFormat();

    bool LoadData(const TIOFunctions& io, TImagingHandle handle, TDynImageDataArray& images,
                  bool onlyFirstLevel) override;
    bool TestFormat(const TIOFunctions& io, TImagingHandle handle) override;
};

// Expands run-length data into out (runs cut at its end, and may cross lines);
// the number of input bytes used.
std::size_t DecodePcxRLE(std::span<const std::uint8_t> in, std::span<std::uint8_t> out);

}  // namespace velto
