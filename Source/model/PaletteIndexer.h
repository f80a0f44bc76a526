#pragma once
// The palette index a pixel of an indexed image is stored as, for the writers
// of every format with palette images.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <unordered_map>

#include "model/Palette.h"

namespace velto {

// The entry equal in R, G, B and A, else the first entry with its R, G, B,
// else the nearest colour. Images edited or read from PNG entries can hold
// colours their palette lacks; those must never become an out-of-range index.
// Lookups are cached: an image has few distinct colours and many pixels.
class PaletteIndexer {
public:
    explicit PaletteIndexer(const TmyPalette& palette) : Pal(palette) {}

    std::uint8_t IndexOf(const TmyPixel& p) {
        const std::uint32_t key = static_cast<std::uint32_t>(p.R) | static_cast<std::uint32_t>(p.G) << 8 |
                                  static_cast<std::uint32_t>(p.B) << 16 | static_cast<std::uint32_t>(p.A) << 24;
        if (HaveLast && key == LastKey) return LastIndex;
        auto it = Cache.find(key);
        std::uint8_t index;
        if (it != Cache.end()) {
            index = it->second;
        } else {
            index = Lookup(p);
            Cache.emplace(key, index);
        }
        HaveLast = true;
        LastKey = key;
        LastIndex = index;
        return index;
    }

private:
    std::uint8_t Lookup(const TmyPixel& p) const {
        int found = Pal.IndexOf(p);
        if (found < 0) {
            const auto colors = Pal.Colors();
            for (std::size_t i = 0; i < colors.size(); ++i) {
                if (colors[i].EqualsRGB(p)) {
                    found = static_cast<int>(i);
                    break;
                }
            }
        }
        if (found < 0) found = Pal.NearestIndex(p);
        return static_cast<std::uint8_t>(std::clamp(found, 0, 255));
    }

    const TmyPalette& Pal;
    std::unordered_map<std::uint32_t, std::uint8_t> Cache;
    bool HaveLast = false;
    std::uint32_t LastKey = 0;
    std::uint8_t LastIndex = 0;
};

}  // namespace velto
