#pragma once
// The image library's own GIF reader and writer: every frame becomes one
// Index8 image of the logical screen, composited with what came before; any
// list of images is written as one animated GIF.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "imaging/FileFormat.h"

namespace velto {

class TGIFFileFormat : public TImageFileFormat {
public:
    TGIFFileFormat();

    bool LoadData(const TIOFunctions& io, TImagingHandle handle, TDynImageDataArray& images,
                  bool onlyFirstLevel) override;
    bool SaveData(const TIOFunctions& io, TImagingHandle handle, const TDynImageDataArray& images,
                  std::int32_t index) override;
    void ConvertToSupported(TImageData& image, const TImageFormatInfo& info) override;
    bool TestFormat(const TIOFunctions& io, TImagingHandle handle) override;
};

// Decodes the LZW data that starts at data[pos] (the minimum code size, then
// sub-blocks) into a width x height Index8 raster (empty for a frame of no
// pixels), rows in interlaced order when asked; pos ends behind the block
// terminator. Throws EImagingError("Error when decoding GIF LZW data") for a
// bad code size or a code chain longer than the table. The number of pixels
// decoded; pixels the data does not reach are left as they were. Rows in
// order copy a repeated string from where it was first decoded; `walkTable`
// walks the code table for every code instead (the same pixels, slower).
std::uint64_t DecodeGifLZW(std::span<const std::uint8_t> data, std::size_t& pos, std::uint8_t* pixels,
                           std::int32_t width, std::int32_t height, bool interlaced, bool walkTable = false);
// Encodes 8-bit pixels as LZW data (minimum code size 8), in sub-blocks ended
// by a terminator.
void EncodeGifLZW(const std::uint8_t* pixels, std::size_t count, std::vector<std::uint8_t>& out);

}  // namespace velto
