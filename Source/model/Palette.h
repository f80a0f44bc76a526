#pragma once
// A colour list of 1 to 256 opaque entries, stored contiguously. Indexed
// images (1, 4 and 8 bits) and the colour-depth change start from one of the
// built-in tables below.
#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "model/Pixel.h"
#include "platform/Color.h"
#include "platform/FileIO.h"

namespace velto {

class TmyPalette {
public:
    // Entry indices are bytes in every file format and lookup, hence the cap;
    // the nearest-colour search needs at least one entry.
    static constexpr int MinCount = 1;
    static constexpr int MaxCount = 256;

    // Count opaque black entries, then the default table for that count:
    // 2 -> black, white; 16 -> Windows16; 256 -> Default256; other counts stay
    // black. Counts outside 1..256 are clamped into that range.
    explicit TmyPalette(int count);
    static TmyPalette Create(int count) { return TmyPalette(count); }

    // Drops the entries and re-creates count entries as the constructor does.
    void SetCount(int count);
    int Count() const { return static_cast<int>(Entries.size()); }

    // Entry access; index must be in 0..Count()-1.
    TmyPixel& operator[](int index) { return Entries[static_cast<std::size_t>(index)]; }
    const TmyPixel& operator[](int index) const { return Entries[static_cast<std::size_t>(index)]; }
    std::span<TmyPixel> Colors() { return Entries; }
    std::span<const TmyPixel> Colors() const { return Entries; }

    // Copies every entry (alpha included) and the count; self-assignment does nothing.
    void Assign(const TmyPalette& source);
    // Same count and every entry equal, alpha included.
    bool Equals(const TmyPalette& other) const;
    friend bool operator==(const TmyPalette& a, const TmyPalette& b) { return a.Equals(b); }

    // First entry equal in R, G, B and A, or -1. A pixel built from a TColor
    // has A = 0 and so never matches an opaque entry: use IndexOfColor.
    int IndexOf(const TmyPixel& pixel) const;
    // First entry whose colour value equals color, or -1.
    int IndexOfColor(TColor color) const;
    // True when an entry among 0..min(upTo, Count()-1) has the pixel's R, G, B;
    // false when upTo < 0.
    bool ContainsRGB(const TmyPixel& pixel, int upTo) const;
    // Index of the entry nearest in |dR| + |dG| + |dB| (lowest index on ties);
    // alpha plays no part. -1 for an empty palette.
    int NearestIndex(const TmyPixel& pixel) const;
    // That entry's colour, carrying the given pixel's alpha.
    TmyPixel NearestColor(const TmyPixel& pixel) const;

    // Overwrite R, G, B of the first 2, 2, 16, 16, 256 or 256 entries; alpha
    // is left alone. A shorter palette takes only as many as it has.
    void SetBlackWhite();
    void SetWhiteBlack();
    void SetWindows16();
    void SetMac16();
    void SetDefault256();
    void SetMac256();

    // Palette files (".pal", ".act"); messages go through ShowMessageBox. On
    // false, error says why: the file's reason, Unsupported for an unknown
    // extension or content, None when the overwrite question was declined.
    bool SaveToFile(const std::string& fileName, FileError* error = nullptr);
    bool LoadFromFile(const std::string& fileName, FileError* error = nullptr);

private:
    void SetTable(std::span<const TmyColor> table);

    std::vector<TmyPixel> Entries;
};

}  // namespace velto
