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

#include "platform/Sha256.h"
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
