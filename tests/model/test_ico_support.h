#pragma once
// Builders of icon, cursor and PNG bytes for the icon-file tests, and a
// message sink that records what would have been shown.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <zlib.h>

#include "model/Image.h"
#include "platform/ByteWriter.h"
#include "core/MessageBox.h"

namespace icotest {

using Bytes = std::vector<std::uint8_t>;

class MessageLog {
public:
    MessageLog() {
        old_ = velto::SetMessageSink([this](const velto::MessageRequest& r) { return shown.push_back(r), int{velto::idOK}; });
    }
    ~MessageLog() { velto::SetMessageSink(std::move(old_)); }
    std::vector<velto::MessageRequest> shown;

private:
    velto::MessageSink old_;
};

// A bitmap header as icon entries hold it (biHeight is twice the image).
inline Bytes DibHeader(std::int32_t width, std::int32_t biHeight, std::uint16_t bits, std::uint32_t size = 40,
                       std::uint32_t clrUsed = 0) {
    velto::ByteWriter w;
    w.u32le(size), w.i32le(width), w.i32le(biHeight), w.u16le(1), w.u16le(bits), w.fill(0, 16);
    w.u32le(clrUsed), w.u32le(0);
    return w.take();
}

struct Entry {
    Bytes data;
    std::int16_t word4 = 0, word6 = 0;  // planes and bit count, or the hotspot
    std::uint32_t offset = 0xFFFFFFFF;  // default: where the data is placed
};

// Header, directory and the entries' data in order.
inline Bytes IcoFile(std::uint16_t type, const std::vector<Entry>& entries, int count = -1, std::uint16_t reserved = 0) {
    velto::ByteWriter w;
    w.u16le(reserved), w.u16le(type);
    w.u16le(static_cast<std::uint16_t>(count < 0 ? static_cast<int>(entries.size()) : count));
    std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(entries.size());
    for (const Entry& e : entries) {
        w.u32le(0), w.i16le(e.word4), w.i16le(e.word6), w.u32le(static_cast<std::uint32_t>(e.data.size()));
        w.u32le(e.offset != 0xFFFFFFFF ? e.offset : offset);
        offset += static_cast<std::uint32_t>(e.data.size());
    }
    for (const Entry& e : entries) w.bytes(e.data);
    return w.take();
}

inline void Chunk(velto::ByteWriter& w, const char* name, const Bytes& data) {
    Bytes body(name, name + 4);
    body.insert(body.end(), data.begin(), data.end());
    w.u32be(static_cast<std::uint32_t>(data.size())), w.bytes(body);
    w.u32be(static_cast<std::uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size()))));
}

// A PNG of the given rows (without their filter bytes).
inline Bytes PngFile(std::uint32_t width, std::uint32_t height, std::uint8_t bitDepth, std::uint8_t colorType,
                     const std::vector<Bytes>& rows, const Bytes& plte = {}, const Bytes& trns = {},
                     std::uint32_t gama = 0) {
    velto::ByteWriter w, ihdr, g;
    w.bytes(Bytes{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A});
    ihdr.u32be(width), ihdr.u32be(height), ihdr.bytes(Bytes{bitDepth, colorType, 0, 0, 0});
    Chunk(w, "IHDR", ihdr.take());
    if (gama) g.u32be(gama), Chunk(w, "gAMA", g.take());
    if (!plte.empty()) Chunk(w, "PLTE", plte);
    if (!trns.empty()) Chunk(w, "tRNS", trns);
    Bytes raw, z;
    for (const Bytes& r : rows) raw.push_back(0), raw.insert(raw.end(), r.begin(), r.end());
    uLongf zsize = compressBound(static_cast<uLong>(raw.size()));
    z.resize(zsize);
    compress(z.data(), &zsize, raw.data(), static_cast<uLong>(raw.size()));
    z.resize(zsize);
    Chunk(w, "IDAT", z);
    Chunk(w, "IEND", {});
    return w.take();
}

// Every kind of pixel the depth holds: palette colours (any colour above 8
// bits), transparent pixels, partial alpha at 32 bits.
inline void Paint(velto::TmyImagePal& img, int seed) {
    for (int y = 0; y < img.Height(); ++y)
        for (int x = 0; x < img.Width(); ++x) {
            const auto v = static_cast<std::uint8_t>(x * 7 + y * 13 + seed);
            const velto::TmyPixel p =
                img.Palette ? (*img.Palette)[v % img.Palette->Count()]
                            : velto::TmyPixel::CreateRGBA(v, static_cast<std::uint8_t>(v * 3), static_cast<std::uint8_t>(255 - v),
                                                          img.BitCount == 32 ? static_cast<std::uint8_t>(1 + v % 250) : 255);
            img.At(x, y) = (x * 7 + y * 13 + seed) % 5 ? p : velto::TmyPixel::Create();
        }
}

}  // namespace icotest
