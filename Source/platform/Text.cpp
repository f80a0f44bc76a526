// Text decoding shared by the readers of settings, language and cursor files.
#include "platform/Text.h"

#include <algorithm>
#include <iterator>

namespace velto {

void AppendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

namespace {

// Windows-1252 0x80..0x9F; the five unassigned bytes map to the C1 controls
// of the same value, as Windows' own conversion does.
constexpr std::uint16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// The code points of valid UTF-8, one call each; false on a malformed sequence.
template <class F>
bool forEachCodePoint(std::span<const std::uint8_t> b, F&& f);

std::string decodeCp1252(std::span<const std::uint8_t> b) {
    std::string out;
    out.reserve(b.size() + b.size() / 2);
    for (std::uint8_t c : b) AppendUtf8(out, (c >= 0x80 && c < 0xA0) ? kCp1252High[c - 0x80] : c);
    return out;
}


// UTF-16 code units (unit(k) for k below units) as UTF-8; unpaired
// surrogates become U+FFFD.
template <class Unit>
std::string utf16ToUtf8(std::size_t units, Unit&& unit) {
    std::string out;
    out.reserve(units);
    for (std::size_t k = 0; k < units; ++k) {
        const std::uint32_t u = unit(k);
        if (u >= 0xD800 && u <= 0xDBFF && k + 1 < units) {
            const std::uint32_t v = unit(k + 1);
            if (v >= 0xDC00 && v <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00));
                ++k;
                continue;
            }
        }
        AppendUtf8(out, (u >= 0xD800 && u <= 0xDFFF) ? 0xFFFD : u);
    }
    return out;
}

std::string decodeUtf16(std::span<const std::uint8_t> b, bool bigEndian) {
    // An odd last byte is dropped.
    return utf16ToUtf8(b.size() / 2, [&](std::size_t k) -> std::uint32_t {
        const std::uint32_t x = b[2 * k], y = b[2 * k + 1];
        return bigEndian ? (x << 8 | y) : (y << 8 | x);
    });
}

template <class F>
bool forEachCodePoint(std::span<const std::uint8_t> b, F&& f) {
    for (std::size_t i = 0; i < b.size();) {
        const std::size_t n = Utf8SequenceAt(b, i);
        if (n == 0) return false;
        std::uint32_t cp = n == 1 ? b[i] : b[i] & (0x7F >> n);
        for (std::size_t k = 1; k < n; ++k) cp = cp << 6 | (b[i + k] & 0x3F);
        if (!f(cp)) return false;
        i += n;
    }
    return true;
}

}  // namespace

std::size_t Utf8SequenceAt(std::span<const std::uint8_t> b, std::size_t i) {
    const std::uint8_t c = b[i];
    if (c < 0x80) return 1;
    std::size_t n;
    std::uint8_t lo = 0x80, hi = 0xBF;  // bounds of the second byte
    if (c >= 0xC2 && c <= 0xDF) n = 2;
    else if (c == 0xE0) { n = 3; lo = 0xA0; }
    else if (c == 0xED) { n = 3; hi = 0x9F; }  // no surrogates
    else if (c >= 0xE1 && c <= 0xEF) n = 3;
    else if (c == 0xF0) { n = 4; lo = 0x90; }
    else if (c >= 0xF1 && c <= 0xF3) n = 4;
    else if (c == 0xF4) { n = 4; hi = 0x8F; }
    else return 0;
    if (b.size() - i < n) return 0;
    if (b[i + 1] < lo || b[i + 1] > hi) return 0;
    for (std::size_t k = 2; k < n; ++k)
        if ((b[i + k] & 0xC0) != 0x80) return 0;
    return n;
}

std::string RepairUtf8(std::string_view text) {
    const std::span<const std::uint8_t> b(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    std::string out;
    out.reserve(b.size());
    for (std::size_t i = 0; i < b.size();) {
        const std::size_t n = Utf8SequenceAt(b, i);
        if (n == 0) {
            AppendUtf8(out, 0xFFFD);
            ++i;
        } else {
            out.append(reinterpret_cast<const char*>(b.data() + i), n);
            i += n;
        }
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    return utf16ToUtf8(text.size(), [&](std::size_t k) -> std::uint32_t { return text[k]; });
}

std::u16string Utf8ToUtf16(std::string_view text) {
    const std::string valid = RepairUtf8(text);
    std::u16string out;
    out.reserve(valid.size());
    forEachCodePoint({reinterpret_cast<const std::uint8_t*>(valid.data()), valid.size()}, [&](std::uint32_t cp) {
        if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        return true;
    });
    return out;
}

std::string AsciiLower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool IsValidUtf8(std::span<const std::uint8_t> b) {
    for (std::size_t i = 0; i < b.size();) {
        const std::size_t n = Utf8SequenceAt(b, i);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

bool EncodeCp1252(std::string_view utf8, std::vector<std::uint8_t>& out) {
    out.clear();
    const std::span<const std::uint8_t> b(reinterpret_cast<const std::uint8_t*>(utf8.data()), utf8.size());
    return forEachCodePoint(b, [&](std::uint32_t cp) {
        if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
            out.push_back(static_cast<std::uint8_t>(cp));
            return true;
        }
        const auto* hit = std::find(std::begin(kCp1252High), std::end(kCp1252High), cp);
        if (hit == std::end(kCp1252High)) return false;
        out.push_back(static_cast<std::uint8_t>(0x80 + (hit - std::begin(kCp1252High))));
        return true;
    });
}

std::string DecodeTextToUtf8(std::span<const std::uint8_t> b) {
    if (b.size() >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) 
        return RepairUtf8(std::string_view(reinterpret_cast<const char*>(b.data()) + 3, b.size() - 3));
    if (b.size() >= 2 && b[0] == 0xFF && b[1] == 0xFE) return decodeUtf16(b.subspan(2), false);
    if (b.size() >= 2 && b[0] == 0xFE && b[1] == 0xFF) return decodeUtf16(b.subspan(2), true);
    if (IsValidUtf8(b)) return std::string(reinterpret_cast<const char*>(b.data()), b.size());
    return decodeCp1252(b);
}

}  // namespace velto
