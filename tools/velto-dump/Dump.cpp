// velto-dump's entry: detection, the table of kinds, and the kinds' shared helpers.
#include <algorithm>
#if defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>
#endif

#include "Dump.h"
#include "core/MessageBox.h"
#include "model/Detect.h"
#include "platform/FileIO.h"

namespace velto::dump {

namespace {

#if defined(__x86_64__)
__attribute__((target("sha,sse4.1"))) void ShaInstructionBlocks(std::uint32_t state[8], const std::uint8_t* data,
                                                                 std::size_t blocks) {
    // The instructions keep the state as (A, B, E, F) and (C, D, G, H).
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
    __m128i t = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0xB1);
    __m128i cdgh = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4)), 0x1B);
    __m128i abef = _mm_alignr_epi8(t, cdgh, 8);
    cdgh = _mm_blend_epi16(cdgh, t, 0xF0);
    for (; blocks > 0; --blocks, data += 64) {
        const __m128i abefBefore = abef, cdghBefore = cdgh;
        // Four rounds at a time; from the fifth group on, the schedule makes
        // the next four words from the last sixteen.
        __m128i w[4];
        for (int i = 0; i < 16; ++i) {
            if (i < 4) {
                w[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i)), byteSwap);
            } else {
                __m128i m = _mm_sha256msg1_epu32(w[i & 3], w[(i + 1) & 3]);
                m = _mm_add_epi32(m, _mm_alignr_epi8(w[(i + 3) & 3], w[(i + 2) & 3], 4));
                w[i & 3] = _mm_sha256msg2_epu32(m, w[(i + 3) & 3]);
            }
            __m128i k = _mm_add_epi32(w[i & 3], _mm_loadu_si128(reinterpret_cast<const __m128i*>(kSha256Rounds + 4 * i)));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, k);
            k = _mm_shuffle_epi32(k, 0x0E);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, k);
        }
        abef = _mm_add_epi32(abef, abefBefore);
        cdgh = _mm_add_epi32(cdgh, cdghBefore);
    }
    t = _mm_shuffle_epi32(abef, 0x1B);
    cdgh = _mm_shuffle_epi32(cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(t, cdgh, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(cdgh, t, 8));
}
#endif

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

bool Sha256Blocks(std::uint32_t state[8], const std::uint8_t* data, std::size_t blocks) {
#if defined(__x86_64__)
    // Asked of the processor itself: not every compiler knows "sha" as a feature name.
    static const bool available = [] {
        unsigned a = 0, b = 0, c = 0, d = 0;
        const bool sse41 = __get_cpuid(1, &a, &b, &c, &d) && (c & bit_SSE4_1);
        return sse41 && __get_cpuid_count(7, 0, &a, &b, &c, &d) && (b & bit_SHA);
    }();
    if (available) {
        ShaInstructionBlocks(state, data, blocks);
        return true;
    }
#endif
    (void)state, (void)data, (void)blocks;
    return false;
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
