#pragma once
// Small routines of the image library: file-name masks, CRC-32, fills, byte
// swaps, mipmap counts and the clipping of copy and stretch rectangles.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velto {

struct TRect {
    std::int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
};
inline TRect Rect(std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b) { return {l, t, r, b}; }

// "png" for "a.png"; empty without a dot; a lone "." stays ".".
std::string GetFileExt(std::string_view fileName);
bool MatchFileNameMask(std::string_view fileName, std::string_view mask, bool caseSensitive);

void SwapEndianWords(void* p, std::size_t count);
void SwapEndianLongWords(void* p, std::size_t count);

// Standard reflected CRC-32 update; the caller gives the start value and inverts at the end.
void UpdateCrc32(std::uint32_t& crc, const void* buffer, std::size_t length);

// Asks the system to back the whole 2 MiB pages inside a large buffer not yet
// touched with huge pages: one fault then serves 2 MiB instead of 4 KiB, which
// is most of the cost of filling a fresh buffer of tens of megabytes. Contents
// are unchanged; small buffers and systems without the advice are left alone.
void AdviseHugePages(void* p, std::size_t bytes);

void FillMemoryByte(void* p, std::size_t bytes, std::uint8_t value);
void FillMemoryWord(void* p, std::size_t bytes, std::uint16_t value);
void FillMemoryLongWord(void* p, std::size_t bytes, std::uint32_t value);

std::int32_t GetNumMipMapLevels(std::int32_t width, std::int32_t height);
std::int32_t GetVolumeLevelCount(std::int32_t depth, std::int32_t mipMaps);

void ClipRectBounds(std::int32_t& x, std::int32_t& y, std::int32_t& width, std::int32_t& height, const TRect& clip);
void ClipCopyBounds(std::int32_t& srcX, std::int32_t& srcY, std::int32_t& width, std::int32_t& height,
                    std::int32_t& dstX, std::int32_t& dstY, std::int32_t srcWidth, std::int32_t srcHeight,
                    const TRect& dstClip);
void ClipStretchBounds(std::int32_t& srcX, std::int32_t& srcY, std::int32_t& srcWidth, std::int32_t& srcHeight,
                       std::int32_t& dstX, std::int32_t& dstY, std::int32_t& dstWidth, std::int32_t& dstHeight,
                       std::int32_t srcImageWidth, std::int32_t srcImageHeight, const TRect& dstClip);
TRect ScaleRectToRect(const TRect& source, const TRect& bounds);

inline std::int32_t Iff(bool condition, std::int32_t a, std::int32_t b) { return condition ? a : b; }

}  // namespace velto
