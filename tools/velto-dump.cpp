// velto-dump FILE: prints what our readers make of a file as one JSON object,
// for tests and comparisons with other tools.
//   {"kind": "<type>"}            the detected file type
//   {"error": "<reason>: <file>"} exit code 1, when the file cannot be read
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "model/Detect.h"
#include "platform/FileIO.h"
#include "platform/Text.h"

namespace {

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
    void boolean(bool b) { value(); out_ += b ? "true" : "false"; }
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

const char* typeName(std::uint8_t type) {
    switch (type) {
    case velto::ftIcon: return "ico";
    case velto::ftCursor: return "cur";
    case velto::ftAnimatedCursor: return "ani";
    case velto::ftBmp: return "bmp";
    case velto::ftJpeg: return "jpeg";
    case velto::ftPng: return "png";
    case velto::ftGif: return "gif";
    case velto::ftMacBinary: return "macbinary";
    case velto::ftIcns: return "icns";
    case velto::ftAppleSingle: return "applesingle";
    case velto::ftAppleDouble: return "appledouble";
    case velto::ftResourceFork: return "resourcefork";
    case velto::ftJp2: return "jp2";
    case velto::ftJ2k: return "j2k";
    default: return "unknown";
    }
}

int usage() {
    std::fputs("usage: velto-dump FILE\n", stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string file;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--") {
            if (i + 2 != argc) return usage();
            file = argv[i + 1];
            break;
        }
        if (!arg.empty() && arg[0] == '-') return usage();
        if (!file.empty()) return usage();
        file = argv[i];
    }
    if (file.empty()) return usage();

    JsonWriter json;
    json.beginObject();
    const velto::FileTypeResult detected = velto::DetectFileType(file);
    int rc = 0;
    if (!detected.ok()) {
        json.key("error");
        json.string(std::string(velto::FileErrorText(detected.error)) + ": " + file);
        rc = 1;
    } else {
        json.key("kind");
        json.string(typeName(detected.type));
    }
    json.endObject();
    std::printf("%s\n", json.text().c_str());
    return rc;
}
