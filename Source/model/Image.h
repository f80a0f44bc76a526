#pragma once
// One frame of a cursor or icon. Pixels live in one row-major array and are
// addressed (x, y), row 0 at the top. TmyImagePal adds the colour format and
// the editor's zoom; its Assign is the deep copy of a frame used everywhere.
//
// Sizes are passed as an ImageSize with named fields, never as a bare pair of
// ints: some callers think height-first and others width-first.
// Drawing onto a screen canvas belongs to the GUI layer.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "model/Palette.h"
#include "model/Pixel.h"

namespace velto {

struct ImageSize {
    int Width = 1;
    int Height = 1;
    friend constexpr bool operator==(const ImageSize&, const ImageSize&) = default;
};

class TmyImage {
public:
    static constexpr double DefaultRate = 0.3;
    static constexpr double MinRate = 0.1;         // what a rate <= 0 or NaN becomes
    static constexpr double MaxRate = 2147483647.0;

    // Every pixel transparent black, hotspot (0, 0), Rate 0.3. A side below 1
    // is taken as 1: the zoom rule and every reader rely on a non-empty image.
    explicit TmyImage(ImageSize size);

    int Width() const { return W; }
    int Height() const { return H; }
    ImageSize Size() const { return {W, H}; }

    // New transparent pixels of the given size; hotspot, rate and zoom are left
    // as they were (the hotspot may then lie outside until set again).
    void SetSize(ImageSize size);

    int HotSpotX() const { return HotX; }
    int HotSpotY() const { return HotY; }
    // Clamped into 0..Width-1 and 0..Height-1.
    void SetHotSpotX(int value);
    void SetHotSpotY(int value);

    double Rate() const { return RateValue; }
    // <= 0 or NaN -> 0.1; above 2147483647 -> 2147483647.
    void SetRate(double value);

    // Pixel at column x, row y; both must be inside the image.
    TmyPixel& At(int x, int y) { return Data[Index(x, y)]; }
    const TmyPixel& At(int x, int y) const { return Data[Index(x, y)]; }
    // All pixels, row-major from the top row.
    std::span<TmyPixel> Pixels() { return Data; }
    std::span<const TmyPixel> Pixels() const { return Data; }
    std::span<TmyPixel> Row(int y) { return Pixels().subspan(Index(0, y), static_cast<std::size_t>(W)); }
    std::span<const TmyPixel> Row(int y) const { return Pixels().subspan(Index(0, y), static_cast<std::size_t>(W)); }

    // Same size and every pixel equal (alpha included); hotspot and rate take no part.
    bool Equals(const TmyImage& other) const;

private:
    std::size_t Index(int x, int y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(W) + static_cast<std::size_t>(x);
    }

    int HotX = 0;
    int HotY = 0;
    double RateValue = DefaultRate;
    int W = 1;
    int H = 1;
    std::vector<TmyPixel> Data;
};

class TmyImagePal : public TmyImage {
public:
    // Image of the size, then the format: 1, 4 and 8 bits get a palette of 2,
    // 16 or 256 entries with its default table, other depths none; then the zoom.
    TmyImagePal(ImageSize size, int bitCount);

    // 1, 4, 8, 24 or 32 in documents (16 is accepted and has no palette).
    std::uint8_t BitCount = 32;
    // 2, 16 or 256 entries for 1, 4 or 8 bits; absent for other depths.
    std::optional<TmyPalette> Palette;
    // Screen pixels per image pixel in a document window, 1..100.
    int Zoom = 1;

    // Zoom := 512 div the larger side, at most 100 and at least 1.
    void UpdateZoom();

    // Deep copy: size, format, hotspot (clamped to the new size), rate, pixels,
    // palette and zoom.
    void Assign(const TmyImagePal& source);
    // Every pixel (0, 0, 0, 0).
    void Clear();
    // When both images have one size: each pixel takes the source's alpha where
    // that is not 0, and becomes (0, 0, 0, 0) where it is 0. Else nothing.
    void CopyAlphaFrom(const TmyImage& source);
    // Fills the palette from the front with the image's distinct colours in
    // row order (alpha ignored) until it is full; later entries keep their
    // colours. Nothing without a palette.
    void BuildPalette();
    // Both without palette or both with equal palettes, then equal pixels;
    // BitCount, hotspot and rate take no part.
    bool Equals(const TmyImagePal& other) const;
};

// The palette size belonging to a depth: 2, 16 or 256 for 1, 4 or 8 bits, else 0.
constexpr int PaletteCountForBits(int bitCount) {
    return bitCount == 1 ? 2 : bitCount == 4 ? 16 : bitCount == 8 ? 256 : 0;
}

}  // namespace velto
