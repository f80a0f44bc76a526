#pragma once
// JPEG 2000 images, as JP2 files or bare code streams, through OpenJPEG.
#include <cstdint>
#include <span>

#include "imaging/FileFormat.h"

namespace velto {

// Options of the format.
inline constexpr std::int32_t ImagingJpeg2000Quality = 55;     // 1..100, lossy saving
inline constexpr std::int32_t ImagingJpeg2000CodeStream = 56;  // not 0: write a bare code stream
inline constexpr std::int32_t ImagingJpeg2000LosslessCompression = 57;  // not 0: lossless

class TJpeg2000FileFormat : public TImageFileFormat {
public:
    TJpeg2000FileFormat();

    bool LoadData(const TIOFunctions& io, TImagingHandle handle, TDynImageDataArray& images,
                  bool onlyFirstLevel) override;
    bool SaveData(const TIOFunctions& io, TImagingHandle handle, const TDynImageDataArray& images,
                  std::int32_t index) override;
    void ConvertToSupported(TImageData& image, const TImageFormatInfo& info) override;
    bool TestFormat(const TIOFunctions& io, TImagingHandle handle) override;
    void CheckOptionsValidity() override;

    std::int32_t Quality = 80;
    std::int32_t CodeStream = 0;
    std::int32_t LosslessCompression = -1;
};

// What data begins with: the signature box of a JP2 file, the first two
// markers of a code stream, or neither (fewer than 8 bytes are neither).
enum class TJpeg2000Kind : std::uint8_t { None, Jp2, CodeStream };
TJpeg2000Kind Jpeg2000KindOf(std::span<const std::uint8_t> head);

// Resolution levels the encoder uses for an image of that size: six, fewer
// for images too small to be halved that often.
std::int32_t Jpeg2000Resolutions(std::int32_t width, std::int32_t height);

// Where JPEG 2000 data starting at data[0] ends: after the "jp2c" box of a JP2
// file, after the end-of-code-stream marker of a code stream; the whole input
// when that cannot be told.
std::uint64_t Jpeg2000DataEnd(std::span<const std::uint8_t> data, bool jp2);

// Bytes the codec will allocate to decode the data, at most: its fixed
// structures, the bookkeeping of every tile, the samples of every component,
// the code blocks and precincts of the tiles by the coding styles (one tile
// at a time), the packet iterator of a tile by its quality layers, the tile
// parts' data and the index of the marker segments; of the headers as far as
// they could be read when they are damaged, 0 without a size marker.
std::uint64_t Jpeg2000DecodeCost(std::span<const std::uint8_t> data, bool jp2);

// Code blocks the codec sets up to decode the data, over every tile and
// component, by the coding styles of the main header and of the tile-part
// headers (as far as they could be read).
std::uint64_t Jpeg2000CodeBlocks(std::span<const std::uint8_t> data, bool jp2);

// Both of the above from one reading of the headers, as a load asks them,
// and whether the headers are damaged: read as the codec reads them (markers
// it does not know included), they end before the first tile part, hold
// something the codec fails on, or declare no coding style; more tiles are
// declared than the data could hold (see Jpeg2000TilesFit); a tile part's
// length is shorter than its header or points back. Reason says which.
struct TJpeg2000Cost {
    std::uint64_t Pixels = 0;  // of the image area; 0 without a size marker
    std::uint64_t CodeBlocks = 0;
    std::uint64_t DecodeBytes = 0;
    // Steps of the codec's packet iterator over every tile, at most: each
    // layer of every precinct, in every progression, whether the file holds
    // data for them or not, and half a step for each layer of every code
    // block the packets the data can hold may visit (see ReadLimits).
    std::uint64_t PacketSteps = 0;
    bool Damaged = false;
    const char* Reason = "";
    std::uint64_t DataEnd = 0;  // as Jpeg2000DataEnd
};
TJpeg2000Cost Jpeg2000Cost(std::span<const std::uint8_t> data, bool jp2);

// False when the size marker declares more tiles than the data could hold,
// each needing its tile-part header at least; true when there is no size
// marker to read.
bool Jpeg2000TilesFit(std::span<const std::uint8_t> data, bool jp2);

// What JPEG 2000 data (a JP2 file or a code stream, told by its signature)
// declares in its size marker, read without decoding anything.
struct TJpeg2000Header {
    std::uint32_t Width = 0;
    std::uint32_t Height = 0;
    std::uint16_t Components = 0;
    bool Subsampled = false;  // a component sampled at a step other than 1
    std::uint64_t DecodeCost = 0;  // as Jpeg2000DecodeCost
};
// False when the data has no signature, or its headers are damaged (as
// TJpeg2000Cost tells).
bool ReadJpeg2000Header(std::span<const std::uint8_t> data, TJpeg2000Header& header);

}  // namespace velto
