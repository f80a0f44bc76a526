#pragma once
// velto-dump FILE: prints what our readers make of a file as one JSON object,
// for tests and comparisons with other tools.
//   {"kind": "<type>"}  a detected file type that no reader here dumps
//   {"kind": "<kind>", "images": [{"width": W, "height": H, "bitcount": B, ...,
//     "rgba_sha256": "<hex>"}, ...], ...}  what a reader made of the file
//   {"kind": ..., "error": "not readable as <kind>"}  exit code 1
//   {"error": "<reason>: <file>"}  exit code 1, when the file cannot be read
// rgba_sha256 covers the R, G, B, A bytes of every pixel, rows from the top, a
// pixel of alpha 0 counted as 0, 0, 0, 0.
//
// Each reader adds a Dump<Kind>.cpp that registers a DumpKind: which files it
// claims and how it writes them.
#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Text.h"

namespace velto {
class TmyIcon;
}

namespace velto::dump {

// A minimal streaming JSON writer: objects, arrays, strings and numbers, with
// commas placed automatically. Strings are escaped and made valid UTF-8 (file
// names may hold any bytes; invalid ones become U+FFFD).
class JsonWriter {
public:
    void beginObject() { value(); out_ += '{'; first_.push_back(true); }
    void endObject() { out_ += '}'; first_.pop_back(); }
    void beginArray() { value(); out_ += '['; first_.push_back(true); }
    void endArray() { out_ += ']'; first_.pop_back(); }
    void key(std::string_view k) {
        separator();
        quoted(k);
        out_ += ": ";
        afterKey_ = true;
    }
    void string(std::string_view s) { value(); quoted(s); }
    void number(std::int64_t n) { value(); out_ += std::to_string(n); }
    // Shortest text that reads back as the same double.
    void real(double d) {
        value();
        char buf[32];
        const auto r = std::to_chars(buf, buf + sizeof buf, d);
        out_.append(buf, r.ptr);
    }
    void boolean(bool b) { value(); out_ += b ? "true" : "false"; }
    void null() { value(); out_ += "null"; }
    const std::string& text() const { return out_; }

private:
    void separator() {
        if (first_.empty()) return;
        if (!first_.back()) out_ += ", ";
        first_.back() = false;
    }
    void value() {
        if (afterKey_) afterKey_ = false;
        else separator();
    }
    void quoted(std::string_view raw) {
        const std::string s = velto::RepairUtf8(raw);
        out_ += '"';
        for (const char ch : s) {
            const auto c = static_cast<unsigned char>(ch);
            if (c == '"' || c == '\\') {
                out_ += '\\';
                out_ += ch;
            } else if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out_ += buf;
            } else {
                out_ += ch;
            }
        }
        out_ += '"';
    }

    std::string out_;
    std::vector<bool> first_;
    bool afterKey_ = false;
};

// SHA-256 with the processor's SHA instructions, for whole 64-byte blocks
// (Dump.cpp); false when the processor has none. Pictures at the pixel cap
// hash a quarter of a gigabyte: the plain compression would take longer
// than reading them.
bool Sha256Blocks(std::uint32_t state[8], const std::uint8_t* data, std::size_t blocks);

// SHA-256 round constants, for the plain compression and the processor's instructions alike.
inline constexpr std::uint32_t kSha256Rounds[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

// SHA-256 (FIPS 180-4), enough for fingerprints of pixel data.
class Sha256 {
public:
    // Whole blocks are compressed straight from the input; only a partial
    // block is copied.
    void update(const std::uint8_t* p, std::size_t n) {
        length_ += n;
        if (fill_ != 0) {
            const std::size_t take = std::min(n, block_.size() - fill_);
            std::memcpy(block_.data() + fill_, p, take);
            fill_ += take;
            p += take;
            n -= take;
            if (fill_ < block_.size()) return;
            compress(block_.data());
            fill_ = 0;
        }
        if (n >= 64 && Sha256Blocks(h_.data(), p, n / 64)) {
            p += n / 64 * 64;
            n %= 64;
        }
        for (; n >= 64; p += 64, n -= 64) compress(p);
        std::memcpy(block_.data(), p, n);
        fill_ = n;
    }
    std::string hex() {
        const std::uint64_t bits = length_ * 8;
        const std::uint8_t one = 0x80, zero = 0;
        update(&one, 1);
        while (fill_ != 56) update(&zero, 1);
        std::uint8_t len[8];
        for (int i = 0; i < 8; ++i) len[i] = static_cast<std::uint8_t>(bits >> (56 - 8 * i));
        update(len, 8);
        std::string out;
        char buf[9];
        for (const std::uint32_t v : h_) {
            std::snprintf(buf, sizeof buf, "%08x", v);
            out += buf;
        }
        return out;
    }

private:
    static std::uint32_t rotr(std::uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }
    void compress(const std::uint8_t* block) {
        std::uint32_t w[64];
        for (int i = 0; i < 16; ++i)
            w[i] = static_cast<std::uint32_t>(block[4 * i]) << 24 | static_cast<std::uint32_t>(block[4 * i + 1]) << 16 |
                   static_cast<std::uint32_t>(block[4 * i + 2]) << 8 | block[4 * i + 3];
        for (int i = 16; i < 64; ++i) {
            const std::uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
            const std::uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        std::uint32_t a = h_[0], b = h_[1], c = h_[2], d = h_[3], e = h_[4], f = h_[5], g = h_[6], h = h_[7];
        for (int i = 0; i < 64; ++i) {
            const std::uint32_t t1 = h + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + ((e & f) ^ (~e & g)) + kSha256Rounds[i] + w[i];
            const std::uint32_t t2 = (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
            h = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        h_[0] += a; h_[1] += b; h_[2] += c; h_[3] += d;
        h_[4] += e; h_[5] += f; h_[6] += g; h_[7] += h;
    }

    std::array<std::uint32_t, 8> h_ = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                       0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::array<std::uint8_t, 64> block_{};
    std::size_t fill_ = 0;
    std::uint64_t length_ = 0;
};

// SHA-256 of `height` rows of straight RGBA that fill(y, row) writes, a pixel
// of alpha 0 counted as 0, 0, 0, 0.
template <class Fill>
std::string RgbaHash(int height, std::size_t width, Fill&& fill) {
    Sha256 sha;
    std::vector<std::uint8_t> row(width * 4);
    for (int y = 0; y < height; ++y) {
        fill(y, row.data());
        for (std::size_t i = 3; i < row.size(); i += 4)
            if (row[i] == 0) row[i - 3] = row[i - 2] = row[i - 1] = 0;
        sha.update(row.data(), row.size());
    }
    return sha.hex();
}

// Writes "images": every image of a document (width, height, bitcount,
// hotspot, rate (null unless animated), rgba_sha256).
void WriteDocumentImages(JsonWriter& json, const TmyIcon& doc, bool animated);

// The detected type's name ("ico", "png", "unknown", ...).
const char* TypeName(std::uint8_t type);

// One file as the kinds see it: its path, detected type and leading bytes.
struct DumpInput {
    std::string path;
    std::uint8_t type = 0;
    std::vector<std::uint8_t> head;  // at most the first 4096 bytes
    std::uint64_t size = 0;
};

struct DumpKind {
    int order;                                    // lower asks first
    bool (*claims)(const DumpInput&);             // this kind reads the file
    bool (*dump)(JsonWriter&, const DumpInput&);  // writes "kind", then "images" or "error"; false on failure
};

// Called by a static initialiser in each Dump<Kind>.cpp.
int RegisterDumpKind(const DumpKind& kind);

// The image library's view of a file (found by content): whether it claims
// the file, and its dump. The cursor kind hands over files it cannot read
// that the library can (Targa files may begin with a cursor's bytes).
bool ClaimsImaging(const DumpInput& in);
bool DumpImaging(JsonWriter& json, const DumpInput& in);

// velto-dump --import W H FILE: the 32-bit cursor image that importing FILE
// makes for a new W x H document (resize keeping the aspect ratio, other
// settings at their defaults), as {"kind": ..., "images": [...]}. Returns the
// exit code.
int DumpImport(JsonWriter& json, int width, int height, const std::string& file);

// Writes "error": "not readable as <kind>" and returns false.
bool NotReadable(JsonWriter& json, std::string_view kind);
// The same for a file refused by a read limit, not for damage.
bool TooLargeToRead(JsonWriter& json, std::string_view kind);

}  // namespace velto::dump
