#pragma once
// PNG, MNG and JNG files as frames, between the chunk engine (which reads a
// file chunk by chunk into frames and writes frames back as chunks) and the
// frame coder (which decodes a frame into an image and encodes an image into
// a frame). Only the image library's network graphics formats use this.
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/FileFormat.h"
#include "imaging/FormatNetworkGraphics.h"
#include "imaging/Imaging.h"

namespace velto::ng_detail {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint8_t kSignatures[3][8] = {
    {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A},
    {0x8A, 'M', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A},
    {0x8B, 'J', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A},
};

inline constexpr std::uint32_t kMngSimplicityProfile = 473;

inline std::uint32_t BE32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

struct PngHeader {
    std::uint32_t Width = 0, Height = 0;
    std::uint8_t BitDepth = 0, ColorType = 0, Compression = 0, Filter = 0, Interlace = 0;
};

struct JngHeader {
    std::uint32_t Width = 0, Height = 0;
    std::uint8_t ColorType = 0, SampleDepth = 0, Compression = 0, Interlace = 0;
    std::uint8_t AlphaSampleDepth = 0, AlphaCompression = 0, AlphaFilter = 0, AlphaInterlace = 0;
};

struct TFrameInfo {
    bool HoldsJng = false;
    PngHeader IHDR;
    JngHeader JHDR;
    // Present when not empty; the palette holds R, G, B triplets.
    Bytes PaletteData, AlphaTable, BackgroundData;
    Bytes DeflatedData, JpegData, JpegAlphaData;
    // Bytes of the whole input: what a frame without image data of its own
    // (its pixels in chunks not read here) is held against.
    std::uint64_t InputBytes = 0;
};

struct TNGFileHandler {
    TNGFileKind FileKind = ngPNG;
    std::vector<std::unique_ptr<TFrameInfo>> FrameList;
    std::array<std::uint32_t, 7> MngHeader{};
    Bytes GlobalPalette, GlobalAlphaTable;

    TFrameInfo* LastFrame() { return FrameList.empty() ? nullptr : FrameList.back().get(); }
    TFrameInfo& NewFrame() { return *FrameList.emplace_back(std::make_unique<TFrameInfo>()); }
};

// An image freed at the end of its scope.
struct OwnedImage {
    TImageData data;
    ~OwnedImage() { FreeImage(data); }
};

// The save options of a format, as the frame coder takes them.
struct SaveSettings {
    std::int32_t RowFilter = 5, DeflateLevel = 5;
    bool AlphaAsJpeg = false, JpegProgressive = false;
    std::int32_t JpegQuality = 90;
};

// The chunk engine (NetworkGraphicsChunks.cpp): a file's signature and chunks
// read into frames (false for another signature), and frames written as a file.
bool LoadChunks(TNGFileHandler& h, const TIOFunctions& io, TImagingHandle handle);
bool SaveChunks(const TNGFileHandler& saver, const TIOFunctions& io, TImagingHandle handle);

// Decoding (NetworkGraphicsDecode.cpp): a frame's pixels, then its palette,
// palette alphas and colour-key transparency.
void DecodeFrame(const TFrameInfo& frame, TImageData& image);
void ApplyFrameExtras(const TFrameInfo& frame, TImageData& image);
// Swaps the first and third sample of each pixel of a row (red and blue).
void SwapFirstThird(std::uint8_t* row, std::size_t pixels, int depth, std::size_t unit);

// Encoding (NetworkGraphicsEncode.cpp).
SaveSettings TakeOptions(const TNetworkGraphicsFileFormat& f);
// Appends a frame built from an image of a savable format.
bool EncodeFrame(TNGFileHandler& saver, const SaveSettings& s, const TImageData& image, bool asJng);

}  // namespace velto::ng_detail
