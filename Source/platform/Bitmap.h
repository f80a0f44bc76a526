#pragma once
// TBitmap: the device-independent bitmap that the picture codecs, the colour-depth
// change and the import service hand to each other, with a small canvas for the
// raster operations they use. Qt-free; conversion to and from QImage is in the GUI.
//
// Storage is a Windows-style DIB in one allocation: rows bottom-up in memory, each
// row padded to a multiple of 4 bytes. ScanLine(0) is the TOP row (the last one in
// memory); step rows through ScanLine, never by pointer arithmetic across rows.
// Row layouts: 1 and 4 bits are colour-table indices, leftmost pixel in the high
// bits; 8 bits one index per byte; 15 bits 5-5-5 and 16 bits 5-6-5 little-endian
// words (red highest); 24 bits B, G, R; 32 bits B, G, R, A.
//
// Raster operations (FillRect, SetPixels, Draw from a bitmap without alpha, format
// changes to 32 bits) write 0 into the fourth byte, as a display driver does; only
// a copy from another 32-bit bitmap carries that byte over. Callers that need alpha
// set it through ScanLine.
#include <array>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

#include "platform/Color.h"
#include "platform/PixelStorage.h"

namespace velto {

enum TPixelFormat : std::uint8_t { pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit };

// tmAuto: the transparent colour is the bottom-left pixel; tmFixed: the one set.
enum TTransparentMode : std::uint8_t { tmAuto, tmFixed };

// One colour-table entry, in DIB byte order.
struct TRGBQuad {
    std::uint8_t Blue = 0, Green = 0, Red = 0, Reserved = 0;
    friend bool operator==(const TRGBQuad&, const TRGBQuad&) = default;
};

// A logical palette (what a palette handle stands for): entries in R, G, B order.
struct TPaletteEntry {
    std::uint8_t Red = 0, Green = 0, Blue = 0, Flags = 0;
    friend bool operator==(const TPaletteEntry&, const TPaletteEntry&) = default;
};
using TPaletteEntries = std::vector<TPaletteEntry>;

// Right and Bottom are exclusive.
struct TRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    constexpr int Width() const { return Right - Left; }
    constexpr int Height() const { return Bottom - Top; }
};

// Pixels() outside the bitmap (what the display layer reports for "no pixel").
inline constexpr TColor clInvalidPixel = ColorFromValue(0xFFFFFFFFu);

// Largest pixel buffer a bitmap may hold.
inline constexpr std::uint64_t kMaxBitmapBytes = 1ull << 30;

class EInvalidGraphicOperation : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

int BitsPerPixel(TPixelFormat pf);
bool IsIndexed(TPixelFormat pf);
// Entries of the colour table of a format: 2, 16, 256, or 0 for direct colour.
int ColorTableSize(TPixelFormat pf);
// Bytes of one stored row, padded to 32 bits; 64-bit so that no width overflows.
std::uint64_t BytesPerRow(std::uint64_t width, TPixelFormat pf);

// Colour table a bitmap gets when it takes an indexed format: black and white for
// 1 bit, the Windows 16-colour table for 4 bits; for 8 bits the 20 static system
// colours at 0-9 and 246-255, the 6x6x6 cube (levels 0, 51, ..., 255, red slowest)
// at 10-225 and a grey ramp at 226-245. Empty for direct formats.
std::span<const TRGBQuad> DefaultColorTable(TPixelFormat pf);
// The 20 static system colours (the display's default palette), in index order.
std::span<const TRGBQuad, 20> SystemColors20();

// Nearest entry by squared Euclidean distance over R, G, B; the lowest index wins
// ties. -1 for an empty table.
int NearestColorIndex(std::span<const TRGBQuad> table, std::uint8_t r, std::uint8_t g, std::uint8_t b);
int NearestColorIndex(std::span<const TPaletteEntry> palette, std::uint8_t r, std::uint8_t g, std::uint8_t b);

constexpr TRGBQuad QuadFromColor(TColor c) {
    return {ColorB(c), ColorG(c), ColorR(c), 0};
}
constexpr TColor ColorFromQuad(const TRGBQuad& q) {
    return MakeColor(q.Red, q.Green, q.Blue);
}

class TBitmap;

struct TBrush {
    TColor Color = clWhite;
};

// Drawing surface of one bitmap, reached through TBitmap::Canvas(). Every operation
// clips to the bitmap; colours going into an indexed bitmap take the nearest entry
// of its colour table. Stretching samples the nearest source pixel.
class TCanvas {
public:
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    TBrush Brush;

    // clInvalidPixel outside the bitmap; setting outside does nothing. The high
    // byte of a TColor is ignored.
    TColor Pixels(int x, int y) const;
    void SetPixels(int x, int y, TColor c);

    // Fills with Brush.Color.
    void FillRect(const TRect& r);
    // Copies the source at (x, y), converting to this bitmap's format.
    void Draw(int x, int y, const TBitmap& source);
    // Scales the whole source into dest. Rectangles with no area draw nothing.
    void StretchDraw(const TRect& dest, const TBitmap& source);
    // Scales sourceRect of the source canvas into dest.
    void CopyRect(const TRect& dest, const TCanvas& source, const TRect& sourceRect);

    TBitmap& Bitmap() { return *fOwner; }
    const TBitmap& Bitmap() const { return *fOwner; }

private:
    friend class TBitmap;
    explicit TCanvas(TBitmap* owner) : fOwner(owner) {}
    void Blit(const TRect& dest, const TBitmap& source, const TRect& sourceRect);

    TBitmap* fOwner;
};

class TBitmap {
public:
    // Empty (0 x 0), 32 bits per pixel as a display bitmap.
    TBitmap();
    TBitmap(const TBitmap& other);
    TBitmap(TBitmap&& other) noexcept;
    TBitmap& operator=(const TBitmap& other);
    TBitmap& operator=(TBitmap&& other) noexcept;
    ~TBitmap() = default;

    // Copies size, format, pixels, colour table and transparency (not the brush).
    void Assign(const TBitmap& other) { *this = other; }

    int Width() const { return fWidth; }
    int Height() const { return fHeight; }
    bool Empty() const { return fWidth == 0 || fHeight == 0; }

    // Resizes, keeping the top-left part of the old pixels; new pixels take the
    // brush colour. A negative size, or one whose buffer would exceed
    // kMaxBitmapBytes or cannot be allocated, is refused (false, nothing changed).
    bool SetSize(int width, int height);

    // Replaces size, format and pixels by a zeroed buffer of the new size, with the
    // format's default colour table. Refused like SetSize (false, nothing changed).
    // Codecs use it to get storage they then fill row by row.
    bool Allocate(int width, int height, TPixelFormat pf);

    TPixelFormat PixelFormat() const { return fFormat; }
    // Converts the pixels. To a direct format colours are kept exactly (5-bit and
    // 6-bit channels truncated on the way down, widened by bit replication on the
    // way up). To a larger indexed format the colour table and indices are kept,
    // the new entries are black; to a smaller one the pixels take the nearest
    // entry of the format's default table. False when the new buffer would be
    // too large (nothing changed).
    bool SetPixelFormat(TPixelFormat pf);

    // Row `row` counted from the top. Throws EInvalidGraphicOperation ("Scan line
    // index out of range") outside 0..Height-1.
    std::uint8_t* ScanLine(int row);
    const std::uint8_t* ScanLine(int row) const;
    // Bytes per stored row.
    std::uint64_t Stride() const { return BytesPerRow(static_cast<std::uint64_t>(fWidth), fFormat); }
    // The whole buffer, bottom row first; Stride() * Height() bytes.
    std::uint8_t* Bits() { return fBits.data(); }
    const std::uint8_t* Bits() const { return fBits.data(); }
    std::size_t ByteSize() const { return fBits.size(); }

    // ColorTableSize(PixelFormat()) entries; empty for direct formats.
    std::span<TRGBQuad> ColorTable() {
        return {fTable.data(), static_cast<std::size_t>(ColorTableSize(fFormat))};
    }
    std::span<const TRGBQuad> ColorTable() const {
        return {fTable.data(), static_cast<std::size_t>(ColorTableSize(fFormat))};
    }
    // Copies as many entries as fit; the rest become black. No effect on direct formats.
    void SetColorTable(std::span<const TRGBQuad> table);
    // The colour table as a logical palette (empty for direct formats), and back.
    TPaletteEntries Palette() const;
    void SetPalette(std::span<const TPaletteEntry> palette);

    bool Transparent() const { return fTransparent; }
    void SetTransparent(bool on) { fTransparent = on; }
    TTransparentMode TransparentMode() const { return fTransparentMode; }
    void SetTransparentMode(TTransparentMode m) { fTransparentMode = m; }
    // tmAuto: the bottom-left pixel's colour; tmFixed: the colour set.
    TColor TransparentColor() const;
    // Also switches the mode to tmFixed.
    void SetTransparentColor(TColor c);

    TCanvas& Canvas() { return fCanvas; }
    const TCanvas& Canvas() const { return fCanvas; }

private:
    friend class TCanvas;
    void CopyFrom(const TBitmap& other);

    int fWidth = 0;
    int fHeight = 0;
    TPixelFormat fFormat = pf32bit;
    TPixelBytes fBits;  // one allocation, bottom-up rows
    std::array<TRGBQuad, 256> fTable{};
    bool fTransparent = false;
    TTransparentMode fTransparentMode = tmAuto;
    TColor fTransparentColor = clBlack;
    TCanvas fCanvas{this};
};

}  // namespace velto
