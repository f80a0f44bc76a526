#pragma once
// The image record's routines: create, test, free, clone, convert, flip,
// resize, stretch, copy, fill, palettes and single pixels. Routines answer
// false for an invalid input image and raise EImagingError for failures inside
// (the routine's message, then " Exception Message: " and the cause).
#include <cstdint>
#include <string>

#include "imaging/ImagingTypes.h"
#include "platform/ReadLimits.h"

namespace velto {

// Filters of ResizeImage and StretchRect.
enum TResizeFilter : std::int32_t {
    rfNearest = 0,
    rfBilinear = 1,
    rfBicubic = 2,
};

// ---------------------------------------------------------------------------
// Errors

// printf-style formatting of the library's own message texts (never of data).
std::string ImagingFormat(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Raises EImagingError with the message, already formatted; inside a handler
// the handled exception's text follows after " Exception Message: ", verbatim.
[[noreturn]] void RaiseImagingError(const std::string& message);

// ---------------------------------------------------------------------------
// Decode budget. Loaders take their bounds from these limits (a settable copy
// of the shared read limits). While a load runs, every image it creates and
// every buffer it sizes from the file is charged against the budget first.
// The limits are shared by every thread (set them between loads; loads only
// read them); each thread's loads have a budget of their own.

ReadLimits& ImagingLimits();

class TDecodeBudgetScope {
public:
    TDecodeBudgetScope();
    ~TDecodeBudgetScope();
    TDecodeBudgetScope(const TDecodeBudgetScope&) = delete;
    TDecodeBudgetScope& operator=(const TDecodeBudgetScope&) = delete;

private:
    std::uint64_t savedUsed_;
    bool savedActive_;
};

// Raises EImagingError when a load in progress may not allocate this many
// more bytes; its file status is TooLarge (the file is refused by a limit,
// not found damaged).
void ChargeDecodeBudget(std::uint64_t bytes);
// ...or when an image it makes has more pixels than the limit (every image
// a load makes is held to it, whatever its bytes: each is later converted,
// resampled and hashed pixel by pixel).
void CheckDecodePixels(std::uint64_t pixels);
// The largest single charge the last load on this thread asked for, granted
// or not (kept after the load ends, so tests can see how much a refused file
// cost).
std::uint64_t DecodeBudgetLargestRequest();

// ---------------------------------------------------------------------------
// The record

TImageFormat DefaultFormat();

void InitImage(TImageData& image);
bool NewImage(std::int32_t width, std::int32_t height, TImageFormat format, TImageData& image);
bool TestImage(const TImageData& image);
void FreeImage(TImageData& image);
void FreeImagesInArray(TDynImageDataArray& images);
bool TestImagesInArray(const TDynImageDataArray& images);
bool CloneImage(const TImageData& image, TImageData& clone);
bool ConvertImage(TImageData& image, TImageFormat target);
// Pixels first..first+count-1 of the image (in memory order) as ConvertImage
// to A8R8G8B8 makes them, 4 bytes each into out: a large image taken a row
// at a time, without a converted copy of all of it. False for an invalid
// image, pixels beyond it, or a block-compressed format (converted whole).
bool ConvertPixelsTo32(const TImageData& image, std::size_t first, std::size_t count, std::uint8_t* out);
bool FlipImage(TImageData& image);
bool ResizeImage(TImageData& image, std::int32_t newWidth, std::int32_t newHeight, TResizeFilter filter);
bool SwapChannels(TImageData& image, std::int32_t a, std::int32_t b);
bool MapImageToPalette(TImageData& image, const TColor32* palette, std::int32_t entries);
bool CopyRect(const TImageData& src, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
              TImageData& dst, std::int32_t dstX, std::int32_t dstY);
bool FillRect(TImageData& image, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
              const void* fillColor);
bool ReplaceColor(TImageData& image, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                  const void* oldColor, const void* newColor);
bool StretchRect(const TImageData& src, std::int32_t srcX, std::int32_t srcY, std::int32_t srcWidth,
                 std::int32_t srcHeight, TImageData& dst, std::int32_t dstX, std::int32_t dstY,
                 std::int32_t dstWidth, std::int32_t dstHeight, TResizeFilter filter);

// Single pixels; the caller passes coordinates inside a valid image of a
// format with pixel access.
TColor32 GetPixel32(const TImageData& image, std::int32_t x, std::int32_t y);
void SetPixel32(TImageData& image, std::int32_t x, std::int32_t y, TColor32 color);
TColorFPRec GetPixelFP(const TImageData& image, std::int32_t x, std::int32_t y);
void SetPixelFP(TImageData& image, std::int32_t x, std::int32_t y, const TColorFPRec& color);

// ---------------------------------------------------------------------------
// Palettes

TColor32* NewPalette(std::int32_t entries);
void FreePalette(TColor32*& palette);
std::int32_t FindColor(const TColor32* palette, std::int32_t entries, TColor32 color);
void FillGrayscalePalette(TColor32* palette, std::int32_t entries);
void FillCustomPalette(TColor32* palette, std::int32_t entries, std::uint8_t redBits, std::uint8_t greenBits,
                       std::uint8_t blueBits, std::uint8_t alpha);
void SwapChannelsOfPalette(TColor32* palette, std::int32_t entries, std::int32_t a, std::int32_t b);

// ---------------------------------------------------------------------------
// Descriptions

bool GetImageFormatInfo(TImageFormat format, TImageFormatInfo& info);
std::string GetFormatName(TImageFormat format);
std::string DescribeImage(const TImageData& image);

}  // namespace velto
