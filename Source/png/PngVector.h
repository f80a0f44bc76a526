#pragma once
// Vector kernels of the row decoder, for 8-bit RGB and RGBA rows (3- and
// 4-byte pixels). Included by PngUnfilter.cpp (SSE2, the x86-64 baseline) and
// by PngVectorSsse3.cpp (compiled for SSSE3, called only where the processor
// has it): each includes its own copy, in an unnamed namespace, built for its
// instruction set. Only intrinsics here: a standard template instantiated in
// the SSSE3 file could otherwise be picked by the linker for every caller.
//
// The loops work on windows of 16 bytes holding four whole pixels (12 or 16
// bytes) and never read or write outside the row; each returns the bytes it
// finished, from the start of the row. The rest is left to scalar code.
#include <emmintrin.h>
#if defined(__SSSE3__)
#include <tmmintrin.h>
#endif

#include <cstddef>
#include <cstdint>

namespace velto::png_detail {
namespace {

inline __m128i Load(const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void Store(std::uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

inline __m128i Abs16(__m128i v) {
#if defined(__SSSE3__)
    return _mm_abs_epi16(v);
#else
    return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v));
#endif
}

// Bytes 12..15 of a 3-byte-pixel window belong to the next window: stored back as read.
template <int Bpp>
inline __m128i KeepTail(__m128i result, __m128i read) {
    if constexpr (Bpp == 4) {
        return result;
    } else {
        const __m128i low12 = _mm_srli_si128(_mm_set1_epi8(-1), 4);
        return _mm_or_si128(_mm_and_si128(result, low12), _mm_andnot_si128(low12, read));
    }
}

// Pixels 0..3 of a window from four registers holding one pixel each in their low bytes.
template <int Bpp>
inline __m128i Gather(__m128i p0, __m128i p1, __m128i p2, __m128i p3) {
    if constexpr (Bpp == 4) {
        return _mm_unpacklo_epi64(_mm_unpacklo_epi32(p0, p1), _mm_unpacklo_epi32(p2, p3));
    } else {
        const __m128i px = _mm_cvtsi32_si128(0xFFFFFF);
        return _mm_or_si128(_mm_or_si128(_mm_and_si128(p0, px), _mm_slli_si128(_mm_and_si128(p1, px), 3)),
                            _mm_or_si128(_mm_slli_si128(_mm_and_si128(p2, px), 6),
                                         _mm_slli_si128(_mm_and_si128(p3, px), 9)));
    }
}

// Sub: a prefix sum of the window's pixels, the last pixel before it added to the first.
template <int Bpp>
std::size_t SubWindows(std::uint8_t* cur, std::size_t n) {
    std::size_t i = 0;
    __m128i last = _mm_setzero_si128();  // the pixel on the left, in bytes 0..Bpp-1
    for (; i + 16 <= n; i += 4 * Bpp) {
        const __m128i read = Load(cur + i);
        __m128i x = _mm_add_epi8(read, last);
        x = _mm_add_epi8(x, _mm_slli_si128(x, Bpp));
        x = _mm_add_epi8(x, _mm_slli_si128(x, 2 * Bpp));
        Store(cur + i, KeepTail<Bpp>(x, read));
        last = _mm_srli_si128(x, 3 * Bpp);
        if constexpr (Bpp == 3) last = _mm_and_si128(last, _mm_cvtsi32_si128(0xFFFFFF));
    }
    return i;
}

// Average, in the complemented domain: with A = ~a and B = ~b, the filter's
// x + floor((a + b) / 2) is ~(avg(A, B) - x) for the instruction's rounding-up
// average, so one pixel leads to the next through two instructions.
template <int Bpp>
std::size_t AvgWindows(std::uint8_t* cur, const std::uint8_t* prior, std::size_t n) {
    const __m128i ones = _mm_set1_epi8(-1);
    std::size_t i = 0;
    __m128i A = ones;  // no pixel on the left of the first: a = 0
    for (; i + 16 <= n; i += 4 * Bpp) {
        const __m128i read = Load(cur + i);
        const __m128i B = _mm_xor_si128(Load(prior + i), ones);
        const __m128i A0 = _mm_sub_epi8(_mm_avg_epu8(A, B), read);
        const __m128i A1 = _mm_sub_epi8(_mm_avg_epu8(A0, _mm_srli_si128(B, Bpp)), _mm_srli_si128(read, Bpp));
        const __m128i A2 = _mm_sub_epi8(_mm_avg_epu8(A1, _mm_srli_si128(B, 2 * Bpp)), _mm_srli_si128(read, 2 * Bpp));
        const __m128i A3 = _mm_sub_epi8(_mm_avg_epu8(A2, _mm_srli_si128(B, 3 * Bpp)), _mm_srli_si128(read, 3 * Bpp));
        Store(cur + i, KeepTail<Bpp>(_mm_xor_si128(Gather<Bpp>(A0, A1, A2, A3), ones), read));
        A = A3;
    }
    return i;
}

// One Paeth pixel in 16-bit lanes, the predictor chosen by masks; a and c (the
// left and upper-left pixels) move on to the next pixel.
inline __m128i PaethPixel(__m128i x8, __m128i b8, __m128i& a, __m128i& c) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i b = _mm_unpacklo_epi8(b8, zero);
    const __m128i x = _mm_unpacklo_epi8(x8, zero);
    const __m128i bc = _mm_sub_epi16(b, c);
    const __m128i ac = _mm_sub_epi16(a, c);
    const __m128i pa = Abs16(bc);
    const __m128i pb = Abs16(ac);
    const __m128i pc = Abs16(_mm_add_epi16(ac, bc));
    // a when pa <= pb and pa <= pc; else b when pb <= pc; else c.
    const __m128i notA = _mm_or_si128(_mm_cmpgt_epi16(pa, pb), _mm_cmpgt_epi16(pa, pc));
    const __m128i useC = _mm_cmpgt_epi16(pb, pc);
    const __m128i bOrC = _mm_or_si128(_mm_andnot_si128(useC, b), _mm_and_si128(useC, c));
    const __m128i pred = _mm_or_si128(_mm_andnot_si128(notA, a), _mm_and_si128(notA, bOrC));
    a = _mm_and_si128(_mm_add_epi16(x, pred), _mm_set1_epi16(0xFF));
    c = b;
    return _mm_packus_epi16(a, zero);
}

template <int Bpp>
std::size_t PaethWindows(std::uint8_t* cur, const std::uint8_t* prior, std::size_t n) {
    std::size_t i = 0;
    __m128i a = _mm_setzero_si128(), c = _mm_setzero_si128();
    for (; i + 16 <= n; i += 4 * Bpp) {
        const __m128i read = Load(cur + i);
        const __m128i up = Load(prior + i);
        const __m128i p0 = PaethPixel(read, up, a, c);
        const __m128i p1 = PaethPixel(_mm_srli_si128(read, Bpp), _mm_srli_si128(up, Bpp), a, c);
        const __m128i p2 = PaethPixel(_mm_srli_si128(read, 2 * Bpp), _mm_srli_si128(up, 2 * Bpp), a, c);
        const __m128i p3 = PaethPixel(_mm_srli_si128(read, 3 * Bpp), _mm_srli_si128(up, 3 * Bpp), a, c);
        Store(cur + i, KeepTail<Bpp>(Gather<Bpp>(p0, p1, p2, p3), read));
    }
    return i;
}

}  // namespace
}  // namespace velto::png_detail
