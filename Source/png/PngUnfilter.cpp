// Row unfiltering: the scalar reference for every pixel width, and vector code
// for the 3- and 4-byte pixels of 8-bit RGB and RGBA, where nearly all the
// bytes of large images are. Also the byte shuffles from file rows of those two
// layouts to the DIB's B, G, R (and the alpha plane).
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "png/PngInternal.h"
#include "png/PngUnfilter.h"

#if defined(__SSE2__)
#include "png/PngVector.h"
#endif

namespace velto::png_detail {

namespace {

template <int Bpp>
void UnfilterFixed(std::uint8_t type, std::uint8_t* cur, const std::uint8_t* prior, std::size_t n) {
    switch (type) {
        case pfSub:
            for (std::size_t i = Bpp; i < n; ++i) cur[i] = static_cast<std::uint8_t>(cur[i] + cur[i - Bpp]);
            break;
        case pfUp:
            for (std::size_t i = 0; i < n; ++i) cur[i] = static_cast<std::uint8_t>(cur[i] + prior[i]);
            break;
        case pfAverage: {
            const std::size_t m = std::min<std::size_t>(Bpp, n);
            for (std::size_t i = 0; i < m; ++i) cur[i] = static_cast<std::uint8_t>(cur[i] + (prior[i] >> 1));
            for (std::size_t i = Bpp; i < n; ++i)
                cur[i] = static_cast<std::uint8_t>(cur[i] + ((cur[i - Bpp] + prior[i]) >> 1));
            break;
        }
        case pfPaeth: {
            const std::size_t m = std::min<std::size_t>(Bpp, n);
            for (std::size_t i = 0; i < m; ++i) cur[i] = static_cast<std::uint8_t>(cur[i] + prior[i]);
            for (std::size_t i = Bpp; i < n; ++i)
                cur[i] = static_cast<std::uint8_t>(cur[i] + PaethPredictor(cur[i - Bpp], prior[i], prior[i - Bpp]));
            break;
        }
        default: break;  // unknown filter types leave the row as read
    }
}

#if defined(__SSE2__)

bool HasSsse3() {
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
}

// The vector part of a row: the bytes done, from the start of the row.
template <int Bpp>
std::size_t UnfilterVector(std::uint8_t type, std::uint8_t* cur, const std::uint8_t* prior, std::size_t n) {
    switch (type) {
        case pfSub: return SubWindows<Bpp>(cur, n);
        case pfAverage: return AvgWindows<Bpp>(cur, prior, n);
        case pfPaeth: return HasSsse3() ? PaethSsse3(cur, prior, n, Bpp) : PaethWindows<Bpp>(cur, prior, n);
        default: return 0;
    }
}

#endif

// The scalar filters for the bytes from `done` on, whose left neighbours are final.
template <int Bpp>
void UnfilterTail(std::uint8_t type, std::uint8_t* cur, const std::uint8_t* prior, std::size_t n, std::size_t done) {
    if (done == 0) return UnfilterFixed<Bpp>(type, cur, prior, n);
    for (std::size_t i = done; i < n; ++i) {
        const int a = cur[i - Bpp], b = prior[i], c = prior[i - Bpp];
        const int p = type == pfSub ? a : type == pfAverage ? (a + b) >> 1 : PaethPredictor(a, b, c);
        cur[i] = static_cast<std::uint8_t>(cur[i] + p);
    }
}

template <int Bpp>
void UnfilterFast(std::uint8_t type, std::uint8_t* cur, const std::uint8_t* prior, std::size_t n) {
    if (type == pfNone || type > pfPaeth) return;
    if (type == pfUp) {
        for (std::size_t i = 0; i < n; ++i) cur[i] = static_cast<std::uint8_t>(cur[i] + prior[i]);
        return;
    }
    std::size_t done = 0;
#if defined(__SSE2__)
    done = UnfilterVector<Bpp>(type, cur, prior, n);
#endif
    UnfilterTail<Bpp>(type, cur, prior, n, done);
}

}  // namespace

std::uint8_t PaethPredictor(std::uint8_t a, std::uint8_t b, std::uint8_t c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return a;
    if (pb <= pc) return b;
    return c;
}

void UnfilterRow(std::uint8_t type, std::uint8_t* cur, const std::uint8_t* prior, std::size_t n, std::size_t bpp) {
    switch (bpp) {
        case 1: UnfilterFixed<1>(type, cur, prior, n); break;
        case 2: UnfilterFixed<2>(type, cur, prior, n); break;
        case 3: UnfilterFixed<3>(type, cur, prior, n); break;
        case 4: UnfilterFixed<4>(type, cur, prior, n); break;
        case 6: UnfilterFixed<6>(type, cur, prior, n); break;
        default: UnfilterFixed<8>(type, cur, prior, n); break;
    }
}

void UnfilterRowFast(std::uint8_t type, std::uint8_t* cur, const std::uint8_t* prior, std::size_t n, std::size_t bpp) {
    if (bpp == 3)
        UnfilterFast<3>(type, cur, prior, n);
    else if (bpp == 4)
        UnfilterFast<4>(type, cur, prior, n);
    else
        UnfilterRow(type, cur, prior, n, bpp);
}

namespace {
thread_local bool tPortable = false;

bool UseAvx2() {
#if defined(VELTO_PNG_AVX2)
    static const bool has = __builtin_cpu_supports("avx2");
    return has && !tPortable;
#else
    return false;
#endif
}
}  // namespace

ScopedPortableUnfilter::ScopedPortableUnfilter() : fOld(tPortable) { tPortable = true; }
ScopedPortableUnfilter::~ScopedPortableUnfilter() { tPortable = fOld; }

void UnfilterRowsFast(std::uint8_t* rows, std::size_t stride, std::size_t count, const std::uint8_t* above,
                      std::size_t n, std::size_t bpp) {
    const bool four = count >= 4 && UseAvx2();
    for (std::size_t i = 0; i < count;) {
        std::uint8_t* r = rows + i * stride;
#if defined(VELTO_PNG_AVX2)
        if (four && i + 4 <= count) {
            const std::uint8_t types[4] = {r[0], r[stride], r[2 * stride], r[3 * stride]};
            std::uint8_t* const data[4] = {r + 1, r + stride + 1, r + 2 * stride + 1, r + 3 * stride + 1};
            if (FourRowsAvx2(types, data, above, n, bpp)) {
                above = data[3];
                i += 4;
                continue;
            }
        }
#endif
        UnfilterRowFast(r[0], r + 1, above, n, bpp);
        above = r + 1;
        ++i;
    }
}

// ---------------------------------------------------------------------------
// File rows of 8-bit RGB and RGBA -> B, G, R (and alpha), without gamma.

void RgbRowToBgr(const std::uint8_t* s, std::uint8_t* d, std::size_t n) {
    std::size_t k = 0;
#if defined(__SSE2__)
    if (HasSsse3()) k = RgbToBgrSsse3(s, d, n);
#endif
    for (; k < n; ++k) {
        d[3 * k] = s[3 * k + 2];
        d[3 * k + 1] = s[3 * k + 1];
        d[3 * k + 2] = s[3 * k];
    }
}

void RgbaRowToBgr(const std::uint8_t* s, std::uint8_t* d, std::uint8_t* alpha, std::size_t n) {
    std::size_t k = 0;
#if defined(__SSE2__)
    if (HasSsse3()) k = RgbaToBgrSsse3(s, d, alpha, n);
#endif
    for (; k < n; ++k) {
        d[3 * k] = s[4 * k + 2];
        d[3 * k + 1] = s[4 * k + 1];
        d[3 * k + 2] = s[4 * k];
        alpha[k] = s[4 * k + 3];
    }
}

void CopySwappingRedBlue(const std::uint8_t* s, std::uint8_t* d, std::size_t n, std::size_t bpp) {
    if (bpp == 3) return RgbRowToBgr(s, d, n);
    std::size_t k = 0;
#if defined(__SSE2__)
    if (HasSsse3()) k = RgbaToBgraSsse3(s, d, n);
#endif
    for (; k < n; ++k) {
        d[4 * k] = s[4 * k + 2];
        d[4 * k + 1] = s[4 * k + 1];
        d[4 * k + 2] = s[4 * k];
        d[4 * k + 3] = s[4 * k + 3];
    }
}

}  // namespace velto::png_detail
