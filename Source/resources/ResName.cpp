#include "resources/ResName.h"

#include "platform/Text.h"

namespace velto {

namespace {
thread_local std::uint32_t lastError = 0;
thread_local FileError lastFileError;

template <class Char>
int CompareUnits(std::basic_string_view<Char> a, std::basic_string_view<Char> b) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i)
        if (a[i] != b[i])
            return static_cast<int>(static_cast<std::make_unsigned_t<Char>>(a[i])) -
                   static_cast<int>(static_cast<std::make_unsigned_t<Char>>(b[i]));
    return static_cast<int>(a.size()) - static_cast<int>(b.size());
}

}  // namespace

std::uint32_t GetLastError() { return lastError; }
void SetLastError(std::uint32_t code) { SetLastError(code, FileError::None); }

void SetLastError(std::uint32_t code, FileError cause) {
    lastError = code;
    lastFileError = code == kErrorSuccess ? FileError(FileError::None) : cause;
}

FileError GetLastFileError() { return lastFileError; }

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

}  // namespace velto
