#pragma once
// Helpers of the image library's tests: images from literal bytes, byte
// builders for 16-bit words and floats, and an image that frees itself.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "imaging/Imaging.h"

namespace velto::test {

using Bytes = std::vector<std::uint8_t>;

// Little-endian pieces of a pixel.
inline Bytes W16(std::initializer_list<std::uint16_t> words) {
    Bytes out;
    for (const std::uint16_t w : words) {
        out.push_back(static_cast<std::uint8_t>(w));
        out.push_back(static_cast<std::uint8_t>(w >> 8));
    }
    return out;
}
inline Bytes W32(std::initializer_list<std::uint32_t> values) {
    Bytes out;
    for (const std::uint32_t v : values)
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return out;
}
inline Bytes F32(std::initializer_list<float> values) {
    Bytes out;
    for (const float f : values) {
        std::uint8_t b[4];
        std::memcpy(b, &f, 4);
        out.insert(out.end(), b, b + 4);
    }
    return out;
}

// An image record freed at the end of its scope.
struct Image {
    TImageData data;
    Image() = default;
    Image(std::int32_t w, std::int32_t h, TImageFormat format) { NewImage(w, h, format, data); }
    // w x h pixels of `format` holding the given bytes (repeated to fill).
    Image(std::int32_t w, std::int32_t h, TImageFormat format, const Bytes& bytes) : Image(w, h, format) {
        for (std::int32_t i = 0; i < data.Size; ++i)
            data.Bits[i] = bytes.empty() ? 0 : bytes[static_cast<std::size_t>(i) % bytes.size()];
    }
    ~Image() { FreeImage(data); }
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;
    Bytes bits() const { return data.Bits ? Bytes(data.Bits, data.Bits + data.Size) : Bytes(); }
    TImageData* operator->() { return &data; }
};

}  // namespace velto::test
