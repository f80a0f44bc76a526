// Row routines: packed pixels to bytes, padding removed, red and blue
// swapped, single pixels copied or translated, alpha present.
#include "imaging/Formats.h"

#include <cstring>

#if defined(__x86_64__) && defined(__SSE2__)
#include <immintrin.h>
#endif

namespace velto {

namespace {
template <int Bits>
void ConvertPackedTo8(const std::uint8_t* src, std::uint8_t* dst, std::int32_t width, std::int32_t height,
                      std::int32_t srcRowBytes) {
    constexpr int perByte = 8 / Bits;
    constexpr unsigned mask = (1u << Bits) - 1u;
    for (std::int32_t y = 0; y < height; ++y) {
        const std::uint8_t* row = src + std::size_t(y) * std::size_t(srcRowBytes);
        for (std::int32_t x = 0; x < width; ++x) {
            const int slot = x % perByte;
            *dst++ = static_cast<std::uint8_t>((row[x / perByte] >> (8 - Bits - slot * Bits)) & mask);
        }
    }
}
}  // namespace

void Convert1To8(const std::uint8_t* src, std::uint8_t* dst, std::int32_t width, std::int32_t height,
                 std::int32_t srcRowBytes) {
    ConvertPackedTo8<1>(src, dst, width, height, srcRowBytes);
}
void Convert2To8(const std::uint8_t* src, std::uint8_t* dst, std::int32_t width, std::int32_t height,
                 std::int32_t srcRowBytes) {
    ConvertPackedTo8<2>(src, dst, width, height, srcRowBytes);
}
void Convert4To8(const std::uint8_t* src, std::uint8_t* dst, std::int32_t width, std::int32_t height,
                 std::int32_t srcRowBytes) {
    ConvertPackedTo8<4>(src, dst, width, height, srcRowBytes);
}

void RemovePadBytes(const std::uint8_t* src, std::uint8_t* dst, std::int32_t width, std::int32_t height,
                    std::int32_t bytesPerPixel, std::int32_t srcRowBytes) {
    const std::size_t row = std::size_t(width) * std::size_t(bytesPerPixel);
    for (std::int32_t y = 0; y < height; ++y)
        std::memcpy(dst + std::size_t(y) * row, src + std::size_t(y) * std::size_t(srcRowBytes), row);
}

namespace {

#if defined(__x86_64__) && defined(__SSE2__)
#define VELTO_SWAP_SSSE3 1
// Five 3-byte pixels a 16-byte window; the 16th byte is copied as it is and
// written again by the next window, so a window ends inside the row and src
// may be dst. The pixels done.
__attribute__((target("ssse3"))) std::size_t SwapRedBlue3Ssse3(const std::uint8_t* src, std::uint8_t* dst,
                                                               std::size_t pixels) {
    const __m128i order = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15);
    std::size_t i = 0;
    for (; 3 * i + 16 <= 3 * pixels; i += 5) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 3 * i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 3 * i), _mm_shuffle_epi8(v, order));
    }
    return i;
}

bool HasSsse3() {
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
}
#endif

}  // namespace

void CopySwapRedBlue(const std::uint8_t* src, std::uint8_t* dst, std::size_t pixels, std::size_t bytesPerPixel) {
    std::size_t i = 0;
    if (bytesPerPixel == 4) {
        for (; i < pixels; ++i) {
            std::uint32_t v;
            std::memcpy(&v, src + i * 4, 4);
            v = (v & 0xFF00FF00u) | (v >> 16 & 0xFFu) | (v & 0xFFu) << 16;
            std::memcpy(dst + i * 4, &v, 4);
        }
        return;
    }
#ifdef VELTO_SWAP_SSSE3
    if (HasSsse3()) i = SwapRedBlue3Ssse3(src, dst, pixels);
#endif
    // Four 3-byte pixels are three 32-bit words, rearranged in registers.
    for (; i + 4 <= pixels; i += 4) {
        std::uint32_t w[3];
        std::memcpy(w, src + i * 3, 12);
        const std::uint32_t a = w[0], b = w[1], c = w[2];
        w[0] = (a >> 16 & 0xFFu) | (a & 0xFF00u) | (a & 0xFFu) << 16 | (b >> 8 & 0xFFu) << 24;
        w[1] = (b & 0xFFu) | (a >> 24) << 8 | (c & 0xFFu) << 16 | (b & 0xFF000000u);
        w[2] = (b >> 16 & 0xFFu) | (c >> 24) << 8 | (c & 0xFF0000u) | (c >> 8 & 0xFFu) << 24;
        std::memcpy(dst + i * 3, w, 12);
    }
    for (; i < pixels; ++i) {
        const std::uint8_t r = src[i * 3], g = src[i * 3 + 1], b = src[i * 3 + 2];
        dst[i * 3] = b;
        dst[i * 3 + 1] = g;
        dst[i * 3 + 2] = r;
    }
}

void CopyPixel(const std::uint8_t* src, std::uint8_t* dst, std::int32_t bytesPerPixel) {
    switch (bytesPerPixel) {
    case 1: case 2: case 3: case 4: case 6: case 8: case 16:
        std::memcpy(dst, src, std::size_t(bytesPerPixel));
        break;
    default:
        break;
    }
}

void TranslatePixel(const std::uint8_t* src, std::uint8_t* dst, TImageFormat srcFormat, TImageFormat dstFormat,
                    const TColor32* srcPalette, const TColor32* dstPalette) {
    const TImageFormatInfo* si = FormatInfo(srcFormat);
    const TImageFormatInfo* di = FormatInfo(dstFormat);
    if (!si || !di || si->IsBlockCompressed || di->IsBlockCompressed) return;
    SetPixelFPGeneric(dst, *di, dstPalette, GetPixelFPGeneric(src, *si, srcPalette));
}

bool Has16BitImageAlpha(std::size_t count, const std::uint16_t* data) {
    for (std::size_t i = 0; i < count; ++i)
        if (data[i] & 0x8000u) return true;
    return false;
}

bool Has32BitImageAlpha(std::size_t count, const std::uint32_t* data) {
    for (std::size_t i = 0; i < count; ++i)
        if (data[i] >= 0x01000000u) return true;
    return false;
}

}  // namespace velto
