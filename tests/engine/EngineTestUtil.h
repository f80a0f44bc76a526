#pragma once
// Small helpers of the engine tests: pixels, images filled by a formula, and
// printing pixels in failure messages.
#include <cstdint>
#include <ostream>

#include "model/Image.h"
#include "model/Pixel.h"

namespace velto {

inline std::ostream& operator<<(std::ostream& os, const TmyPixel& p) {
    return os << "(" << int(p.R) << "," << int(p.G) << "," << int(p.B) << "," << int(p.A) << ")";
}

inline bool operator==(const TmyColor& a, const TmyColor& b) { return a.R == b.R && a.G == b.G && a.B == b.B; }
inline std::ostream& operator<<(std::ostream& os, const TmyColor& c) {
    return os << "(" << int(c.R) << "," << int(c.G) << "," << int(c.B) << ")";
}

namespace test {

inline TmyPixel Px(int r, int g, int b, int a = 255) {
    return TmyPixel::CreateRGBA(static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
                                static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(a));
}

// A deterministic pseudo-random byte stream (xorshift).
struct TBytes {
    std::uint32_t s;
    explicit TBytes(std::uint32_t seed) : s(seed ? seed : 1) {}
    std::uint8_t Next() {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        return static_cast<std::uint8_t>(s >> 24);
    }
};

// An image of the size and depth whose pixels come from the generator; when
// holes is set about one pixel in four is transparent black.
inline TmyImagePal NoiseImage(ImageSize size, int bits, std::uint32_t seed, bool holes = false) {
    TmyImagePal img(size, bits);
    TBytes rnd(seed);
    for (TmyPixel& p : img.Pixels()) {
        p = Px(rnd.Next(), rnd.Next(), rnd.Next(), bits == 32 ? rnd.Next() | 1 : 255);
        if (holes && rnd.Next() < 64) p = TmyPixel::Create();
    }
    return img;
}

inline TmyImagePal Uniform(ImageSize size, int bits, TmyPixel p) {
    TmyImagePal img(size, bits);
    for (TmyPixel& q : img.Pixels()) q = p;
    return img;
}

}  // namespace test
}  // namespace velto
