// Both palette-file parsers into palettes of 2, 16 and 256 entries: the entry
// count never changes, a refused file leaves the palette untouched, and what
// was loaded saves and reloads to the same colours.
#include <cstddef>
#include <cstdint>
#include <span>

#include "model/PaletteFile.h"
#include "core/MessageBox.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    velto::SilenceMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    for (const int count : {2, 16, 256}) {
        for (const auto kind : {velto::PaletteFileKind::Pal, velto::PaletteFileKind::Act}) {
            velto::TmyPalette palette(count);
            const velto::TmyPalette before = palette;
            const bool ok = velto::LoadPaletteFromBytes(palette, bytes, kind, false);
            if (palette.Count() != count) __builtin_trap();
            if (!ok && !(palette == before)) __builtin_trap();
            if (!ok) continue;
            const auto saved = velto::PaletteFileBytes(palette, kind);
            velto::TmyPalette again(count);
            if (!velto::LoadPaletteFromBytes(again, saved, kind, false)) __builtin_trap();
            for (int i = 0; i < count; ++i)
                if (!again[i].EqualsRGB(palette[i])) __builtin_trap();
        }
    }
    return 0;
}
