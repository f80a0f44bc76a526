#include "engine/ColorDepth.h"

#include <array>
#include <new>

#include "engine/Composite.h"
#include "gif/ColorReduction.h"
#include "gif/Octree.h"
#include "platform/Bitmap.h"

namespace velto {

namespace {

// An optimised palette is searched with this many bits of each channel.
constexpr int kOctreeColorBits = 6;

// Fixed tables by depth: the Windows and the Macintosh filler.
struct FixedTables {
    TBitDepth bits;
    void (TmyPalette::*windows)();
    void (TmyPalette::*mac)();
};
constexpr FixedTables kFixedTables[] = {
    {TBitDepth::Bits1, &TmyPalette::SetBlackWhite, &TmyPalette::SetWhiteBlack},
    {TBitDepth::Bits4, &TmyPalette::SetWindows16, &TmyPalette::SetMac16},
    {TBitDepth::Bits8, &TmyPalette::SetDefault256, &TmyPalette::SetMac256},
};

// Below 128 transparent black; 128 to 254 laid over opaque white; 255 kept.
void ApplyAlphaRule(TmyImage& image) {
    constexpr TmyPixel kWhite{255, 255, 255, 255};
    for (TmyPixel& p : image.Pixels()) {
        if (p.A < 128) p = TmyPixel{};
        else if (p.A < 255) AlphaBlendPixel(p, kWhite, false);
    }
}

// The image drawn on black at 24 bits: pixels of alpha above 128 in their
// colour, the others left black.
TBitmap WorkingBitmap(const TmyImage& image) {
    TBitmap bitmap;
    if (!bitmap.Allocate(image.Width(), image.Height(), pf24bit)) throw std::bad_alloc();
    for (int y = 0; y < image.Height(); ++y) {
        std::uint8_t* row = bitmap.ScanLine(y);
        for (const TmyPixel& p : image.Row(y)) {
            if (p.A > 128) row[0] = p.B, row[1] = p.G, row[2] = p.R;
            row += 3;
        }
    }
    return bitmap;
}

// Entries 0.. take the octree's colours (at most n - 1 of them); black goes
// right after them unless some entry, default ones included, is black already.
void FillOptimisedPalette(TmyPalette& palette, const TBitmap& working) {
    TColorQuantizer quantizer(palette.Count() - 1, kOctreeColorBits);
    quantizer.ProcessImage(working, TRowOrder::Storage);
    const auto table = quantizer.GetColorTable();
    const int count = static_cast<int>(table.size());
    for (int i = 0; i < count; ++i) palette[i].SetRGB(table[static_cast<std::size_t>(i)].Red,
                                                       table[static_cast<std::size_t>(i)].Green,
                                                       table[static_cast<std::size_t>(i)].Blue);
    if (palette.IndexOfColor(clBlack) < 0 && count < palette.Count()) palette[count].SetRGB(0, 0, 0);
}

// Every pixel's R, G, B from the working bitmap, then the nearest palette entry's.
void MapNearest(TmyImagePal& image, const TBitmap& working) {
    const TmyPalette& palette = *image.Palette;
    for (int y = 0; y < image.Height(); ++y) {
        const std::uint8_t* row = working.ScanLine(y);
        for (TmyPixel& p : image.Row(y)) {
            const TmyPixel drawn{row[2], row[1], row[0], p.A};
            p = palette.NearestColor(drawn);
            row += 3;
        }
    }
}

void Dither(TmyImagePal& image, const TBitmap& working, TBitDepth bits) {
    const TmyPalette& palette = *image.Palette;
    TPaletteEntries entries;
    entries.reserve(static_cast<std::size_t>(palette.Count()));
    for (const TmyPixel& e : palette.Colors()) entries.push_back({e.R, e.G, e.B, 0});
    const TBitmap reduced = ReduceColors(working, TReductionMethod::crGivenPalette, TDitherKind::dtFloydSteinberg,
                                         static_cast<int>(bits), entries);
    if (reduced.Empty()) return;
    // A reduced pixel's colour depends on its index alone: find each index's
    // nearest palette colour once.
    std::array<TmyPixel, 256> nearest{};
    const auto table = reduced.ColorTable();
    for (std::size_t i = 0; i < table.size(); ++i)
        nearest[i] = palette.NearestColor(TmyPixel{table[i].Red, table[i].Green, table[i].Blue, 0});
    for (int y = 0; y < image.Height(); ++y) {
        const std::uint8_t* row = reduced.ScanLine(y);
        for (TmyPixel& p : image.Row(y)) {
            const TmyPixel& e = nearest[*row++];
            p.SetRGB(e.R, e.G, e.B);
        }
    }
}

}  // namespace

void ChangeColorDepth(TmyImagePal& image, TBitDepth bits, TPaletteKind kind, TDither dither) {
    const int n = PaletteCountForBits(static_cast<int>(bits));
    if (n == 0) {
        image.Palette.reset();
        if (image.BitCount < 32) {
            for (TmyPixel& p : image.Pixels())
                if (p.A != 0) p.A = 255;
        } else if (bits != TBitDepth::Bits32) {
            ApplyAlphaRule(image);
        }
    } else {
        ApplyAlphaRule(image);
        const TBitmap working = WorkingBitmap(image);
        if (image.Palette) image.Palette->SetCount(n);
        else image.Palette.emplace(n);
        const FixedTables* fixed = nullptr;
        for (const FixedTables& t : kFixedTables)
            if (t.bits == bits) fixed = &t;
        if (kind == TPaletteKind::Windows) (*image.Palette.*fixed->windows)();
        else if (kind == TPaletteKind::Mac) (*image.Palette.*fixed->mac)();
        else FillOptimisedPalette(*image.Palette, working);
        if (dither == TDither::On) Dither(image, working, bits);
        else MapNearest(image, working);
    }
    image.BitCount = static_cast<std::uint8_t>(bits);
}

void ApplyPalette(TmyImagePal& image, const TmyPalette& palette, TDither dither) {
    if (!image.Palette) return;
    image.Palette->Assign(palette);
    RemapToPalette(image, dither);
}

void RemapToPalette(TmyImagePal& image, TDither dither) {
    if (!image.Palette) return;
    if (dither == TDither::On) {
        DitherToPalette(image, static_cast<TBitDepth>(image.BitCount));
        return;
    }
    for (TmyPixel& p : image.Pixels()) p = image.Palette->NearestColor(p);
}

void DitherToPalette(TmyImagePal& image, TBitDepth bits) {
    if (!image.Palette) return;
    Dither(image, WorkingBitmap(image), bits);
}

}  // namespace velto
