#pragma once
// GIF LZW data written code by code, for tests that need streams our encoder
// never makes (early clears, codes beyond the table, a full table).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "platform/ByteWriter.h"

namespace velto::test {

// The minimum code size, then codes of the given sizes packed least
// significant bit first into sub-blocks of up to 255 bytes, then the terminator.
inline std::vector<std::uint8_t> Codes(std::uint8_t minSize, const std::vector<std::pair<int, int>>& codes) {
    std::vector<std::uint8_t> packed;
    std::uint32_t acc = 0;
    int bits = 0;
    for (const auto& [code, size] : codes) {
        acc |= std::uint32_t(code) << bits;
        bits += size;
        while (bits >= 8) {
            packed.push_back(static_cast<std::uint8_t>(acc));
            acc >>= 8;
            bits -= 8;
        }
    }
    if (bits > 0) packed.push_back(static_cast<std::uint8_t>(acc));
    ByteWriter out;
    out.u8(minSize);
    for (std::size_t at = 0; at < packed.size(); at += 255) {
        const std::size_t n = std::min<std::size_t>(255, packed.size() - at);
        out.u8(static_cast<std::uint8_t>(n));
        out.bytes(packed.data() + at, n);
    }
    out.u8(0);
    return out.take();
}

}  // namespace velto::test
