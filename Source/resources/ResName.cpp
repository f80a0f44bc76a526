#include "resources/ResName.h"

#include "platform/Text.h"

namespace velto {

namespace {
thread_local std::uint32_t lastError = 0;

template <class Char>
int CompareUnits(std::basic_string_view<Char> a, std::basic_string_view<Char> b) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i)
        if (a[i] != b[i])
            return static_cast<int>(static_cast<std::make_unsigned_t<Char>>(a[i])) -
                   static_cast<int>(static_cast<std::make_unsigned_t<Char>>(b[i]));
    return static_cast<int>(a.size()) - static_cast<int>(b.size());
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}
}  // namespace

std::uint32_t GetLastError() { return lastError; }
void SetLastError(std::uint32_t code) { lastError = code; }

std::string ResNameText(const ResName& name) {
    return name.IsId ? "#" + std::to_string(name.Id) : Utf16ToUtf8(name.Name);
}

std::optional<ResName> ResNameToId(std::string_view text) {
    if (text.empty()) return std::nullopt;
    if (text[0] != '#') return ResName::FromString(Utf8ToUtf16(text));
    if (text.size() == 1) return std::nullopt;
    std::uint32_t value = 0;
    for (const char c : text.substr(1)) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
        if (value > 0xFFFF) return std::nullopt;
    }
    if (value == 0) return std::nullopt;
    return ResName::FromId(value);
}

std::string IntToHexEx(std::uint64_t value, int minDigits, char fill) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    do {
        hex.insert(hex.begin(), digits[value & 15]);
        value >>= 4;
    } while (value);
    if (static_cast<int>(hex.size()) < minDigits) hex.insert(0, static_cast<std::size_t>(minDigits) - hex.size(), fill);
    return "$" + hex;
}

int CompareStr(std::string_view a, std::string_view b) { return CompareUnits(a, b); }
int CompareStr(std::u16string_view a, std::u16string_view b) { return CompareUnits(a, b); }

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        AppendUtf8(out, c);
    }
    return out;
}

std::u16string Utf8ToUtf16(std::string_view text) {
    const std::string valid = RepairUtf8(text);
    std::u16string out;
    out.reserve(valid.size());
    for (std::size_t i = 0; i < valid.size();) {
        const auto b = static_cast<unsigned char>(valid[i]);
        const int len = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        char32_t c = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
        for (int k = 1; k < len; ++k) c = (c << 6) | (static_cast<unsigned char>(valid[i + k]) & 0x3F);
        i += static_cast<std::size_t>(len);
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

}  // namespace velto
