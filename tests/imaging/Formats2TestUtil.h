#pragma once
// Helpers of the tests of the PNG/MNG/JNG, JPEG, DDS and old-game formats:
// saving and loading through a format object over memory streams, an image
// array that frees itself, and builders of hand-made files.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "ImagingTestUtil.h"
#include "imaging/FileFormat.h"
#include "imaging/Imaging.h"
#include "imaging/ImagingIO.h"
#include "imaging/Utility.h"

namespace velto::test {

// An image array freed at the end of its scope.
struct Images {
    TDynImageDataArray list;
    ~Images() { FreeImagesInArray(list); }
    std::size_t size() const { return list.size(); }
    TImageData& operator[](std::size_t i) { return list[i]; }
};

template <class Format>
Format& FormatObject() {
    auto* f = FindImageFileFormatByClass<Format>();
    EXPECT_NE(f, nullptr);
    return *f;
}

// What the format writes for the images (all of them, or the first only).
inline Bytes SaveBytes(TImageFileFormat& format, const TDynImageDataArray& images, bool firstOnly = false) {
    TMemoryStream stream;
    EXPECT_TRUE(format.SaveToStream(stream, images, firstOnly));
    return stream.Data();
}

// Loads bytes through the format; false for a refused file (an exception is a failure too).
inline bool LoadBytes(TImageFileFormat& format, const Bytes& bytes, Images& out, std::string* error = nullptr) {
    FreeImagesInArray(out.list);
    TMemoryStream stream(bytes);
    try {
        return format.LoadFromStream(stream, out.list);
    } catch (const EImagingError& e) {
        if (error) *error = e.what();
        return false;
    }
}

inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Big- and little-endian pieces of a file.
struct FileBuilder {
    Bytes bytes;
    FileBuilder& u8(std::initializer_list<std::uint8_t> v) {
        bytes.insert(bytes.end(), v);
        return *this;
    }
    FileBuilder& raw(const Bytes& v) {
        bytes.insert(bytes.end(), v.begin(), v.end());
        return *this;
    }
    FileBuilder& text(const std::string& s) {
        bytes.insert(bytes.end(), s.begin(), s.end());
        return *this;
    }
    FileBuilder& be32(std::uint32_t v) { return u8({std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)}); }
    FileBuilder& be16(std::uint16_t v) { return u8({std::uint8_t(v >> 8), std::uint8_t(v)}); }
    FileBuilder& le16(std::uint16_t v) { return u8({std::uint8_t(v), std::uint8_t(v >> 8)}); }
    FileBuilder& le32(std::uint32_t v) { return le16(std::uint16_t(v)).le16(std::uint16_t(v >> 16)); }
    FileBuilder& zeros(std::size_t n) {
        bytes.insert(bytes.end(), n, 0);
        return *this;
    }
    // A PNG-style chunk: big-endian length, id, data and CRC.
    FileBuilder& chunk(const char* id, const Bytes& data) {
        be32(static_cast<std::uint32_t>(data.size()));
        const std::size_t at = bytes.size();
        text(std::string(id, 4)).raw(data);
        std::uint32_t crc = 0xFFFFFFFFu;
        UpdateCrc32(crc, bytes.data() + at, bytes.size() - at);
        return be32(~crc);
    }
};

inline Bytes Deflate(const Bytes& raw) {
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    Bytes out(size);
    compress2(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()), 6);
    out.resize(size);
    return out;
}

inline const Bytes kPngSignature = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
inline const Bytes kMngSignature = {0x8A, 'M', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
inline const Bytes kJngSignature = {0x8B, 'J', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

inline Bytes Ihdr(std::uint32_t w, std::uint32_t h, std::uint8_t depth, std::uint8_t colorType,
                  std::uint8_t interlace = 0, std::uint8_t filter = 0) {
    FileBuilder b;
    b.be32(w).be32(h).u8({depth, colorType, 0, filter, interlace});
    return b.bytes;
}

// A PNG of one IDAT holding the deflated rows (each row with its filter byte).
inline Bytes MakePng(const Bytes& ihdr, const Bytes& rows, std::initializer_list<std::pair<const char*, Bytes>> extra = {}) {
    FileBuilder b;
    b.raw(kPngSignature).chunk("IHDR", ihdr);
    for (const auto& [id, data] : extra) b.chunk(id, data);
    b.chunk("IDAT", Deflate(rows)).chunk("IEND", {});
    return b.bytes;
}

// The 32-bit pixel at (x, y) of an A8R8G8B8 image.
inline TColor32 Pixel32(const TImageData& image, std::int32_t x, std::int32_t y) {
    TColor32 c;
    std::memcpy(&c, image.Bits + (std::size_t(y) * std::size_t(image.Width) + std::size_t(x)) * 4, 4);
    return c;
}

// An A8R8G8B8 image of smooth colours and a soft alpha ramp (a stand-in for a photograph).
inline void FillPhotoLike(TImageData& image, std::uint32_t seed = 1) {
    std::uint32_t s = seed;
    for (std::int32_t y = 0; y < image.Height; ++y)
        for (std::int32_t x = 0; x < image.Width; ++x) {
            s = s * 1103515245u + 12345u;
            const int noise = int(s >> 28) - 8;
            std::uint8_t* p = image.Bits + (std::size_t(y) * std::size_t(image.Width) + std::size_t(x)) * 4;
            const auto clampByte = [](int v) { return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
            p[0] = clampByte((x * 255) / std::max(1, image.Width - 1) + noise);
            p[1] = clampByte(((x + y) * 127) / std::max(1, image.Width + image.Height - 2) + 64 + noise);
            p[2] = clampByte((y * 255) / std::max(1, image.Height - 1) - noise);
            p[3] = clampByte(255 - (x * 200) / std::max(1, image.Width - 1));
        }
}

}  // namespace velto::test
