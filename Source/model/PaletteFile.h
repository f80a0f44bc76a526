#pragma once
// Palette files: ".pal" (a RIFF "PAL " chunk) and ".act" (a bare table of 256
// RGB triples). TmyPalette::SaveToFile/LoadFromFile pick the format by the
// file name's extension; the routines here work on bytes in memory.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "model/Palette.h"

namespace velto {

enum class PaletteFileKind { Pal, Act };

// The extension of the file name's last component, dot included, in lower case
// ("" when there is none).
std::string PaletteFileExtension(const std::string& fileName);
// The format chosen by that extension, or nothing.
std::optional<PaletteFileKind> PaletteFileKindOf(const std::string& fileName);

// The whole file for the palette: ".pal" with one record per entry, or ".act"
// padded with white to 256 entries.
std::vector<std::uint8_t> PaletteFileBytes(const TmyPalette& palette, PaletteFileKind kind);

// Loads a palette file's content into the palette without changing its number
// of entries (R, G, B only; alpha stays). Invalid content ("msgInvalidPal")
// leaves the palette unchanged and returns false; differing counts are
// reported ("msgManyColors", "msgFewColors") and the load goes on. Messages
// are shown only when showMessages is set.
bool LoadPaletteFromBytes(TmyPalette& palette, std::span<const std::uint8_t> data, PaletteFileKind kind,
                          bool showMessages);

}  // namespace velto
