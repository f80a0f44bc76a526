// Half-precision floats to and from single precision.
#include "imaging/Formats.h"

#include <cstring>

namespace velto {

float HalfToFloat(std::uint16_t half) {
    const std::uint32_t s = (half >> 15) & 1u;
    std::int32_t e = (half >> 10) & 0x1F;
    std::uint32_t m = half & 0x3FFu;
    std::uint32_t bits;
    if (e == 0) {
        if (m == 0) {
            bits = s << 31;
        } else {
            int k = 0;
            while (!(m & 0x400u)) {
                m <<= 1;
                ++k;
            }
            m &= ~0x400u;
            bits = s << 31 | static_cast<std::uint32_t>(113 - k) << 23 | m << 13;
        }
    } else if (e == 31) {
        bits = s << 31 | 0x7F800000u | m << 13;
    } else {
        bits = s << 31 | static_cast<std::uint32_t>(e + 112) << 23 | m << 13;
    }
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

std::uint16_t FloatToHalf(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, 4);
    const std::uint32_t s = bits >> 31;
    std::int32_t e = static_cast<std::int32_t>((bits >> 23) & 0xFF) - 127 + 15;
    std::uint32_t m = bits & 0x7FFFFFu;
    if (e > 0 && e < 30) return static_cast<std::uint16_t>((s << 15) + (static_cast<std::uint32_t>(e) << 10) + ((m + 0x1000u) >> 13));
    if ((bits & 0x7FFFFFFFu) == 0 && s == 0) return 0;
    if (e <= 0) {
        if (e < -10) return 0;
        m = (m | 0x800000u) >> (1 - e);
        if (m & 0x1000u) m += 0x2000u;
        return static_cast<std::uint16_t>(s << 15 | (m >> 13));
    }
    if (e == 143) {
        std::uint32_t r = s << 15 | 0x7C00u;
        if (m) r |= m >> 13;
        return static_cast<std::uint16_t>(r);
    }
    if (m & 0x1000u) {
        m += 0x2000u;
        if (m & 0x800000u) {
            m = 0;
            ++e;
        }
    }
    if (e > 30) return static_cast<std::uint16_t>(s << 15 | 0x7C00u);
    return static_cast<std::uint16_t>(s << 15 | static_cast<std::uint32_t>(e) << 10 | m >> 13);
}

}  // namespace velto
