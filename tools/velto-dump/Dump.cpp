// velto-dump's entry: detection, the table of kinds, and the kinds' shared helpers.
#include <algorithm>

#include "Dump.h"
#include "core/MessageBox.h"
#include "model/Detect.h"
#include "platform/FileIO.h"

namespace velto::dump {

namespace {

std::vector<DumpKind>& Kinds() {
    static std::vector<DumpKind> kinds;
    return kinds;
}

}  // namespace

int RegisterDumpKind(const DumpKind& kind) {
    auto& kinds = Kinds();
    kinds.insert(std::upper_bound(kinds.begin(), kinds.end(), kind,
                                  [](const DumpKind& a, const DumpKind& b) { return a.order < b.order; }),
                 kind);
    return static_cast<int>(kinds.size());
}

bool NotReadable(JsonWriter& json, std::string_view kind) {
    json.key("error");
    json.string("not readable as " + std::string(kind));
    return false;
}

bool TooLargeToRead(JsonWriter& json, std::string_view kind) {
    json.key("error");
    json.string("too large to be read as " + std::string(kind));
    return false;
}

const char* TypeName(std::uint8_t type) {
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

namespace {

int usage() {
    std::fputs("usage: velto-dump FILE\n       velto-dump --import W H FILE\n", stderr);
    return 2;
}

}  // namespace

}  // namespace velto::dump

namespace {

// A side of the --import target: 1..256, as the model's images.
bool ParseSide(const char* text, int& out) {
    const std::string_view s = text;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), out);
    return r.ec == std::errc() && r.ptr == s.data() + s.size() && out >= 1 && out <= 256;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace velto::dump;
    if (argc >= 2 && std::string_view(argv[1]) == "--import") {
        int width = 0, height = 0;
        if (argc != 5 || !ParseSide(argv[2], width) || !ParseSide(argv[3], height)) return usage();
        velto::SilenceMessages();
        JsonWriter json;
        json.beginObject();
        const int rc = DumpImport(json, width, height, argv[4]);
        json.endObject();
        std::printf("%s\n", json.text().c_str());
        return rc;
    }
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
    velto::SilenceMessages();

    JsonWriter json;
    json.beginObject();
    const velto::FileTypeResult detected = velto::DetectFileType(file);
    int rc = 0;
    if (!detected.ok()) {
        json.key("error");
        json.string(std::string(velto::FileErrorText(detected.error)) + ": " + file);
        rc = 1;
    } else {
        DumpInput input{file, detected.type, {}, 0};
        velto::ReadFileHead(file, 4096, input.head, input.size);
        const DumpKind* kind = nullptr;
        for (const DumpKind& k : Kinds())
            if (k.claims(input)) {
                kind = &k;
                break;
            }
        if (kind) {
            if (!kind->dump(json, input)) rc = 1;
        } else {
            json.key("kind");
            json.string(TypeName(detected.type));
        }
    }
    json.endObject();
    std::printf("%s\n", json.text().c_str());
    return rc;
}
