#include "resources/ResName.h"

#include "platform/Text.h"

namespace velto {

namespace {
thread_local std::uint32_t lastError = 0;
thread_local FileError lastFileError;
thread_local std::string lastWords;

// What each code means, for a failure that brought no words of its own.
struct CodeText {
    std::uint32_t code;
    const char* text;
};
constexpr CodeText kCodeTexts[] = {
    {kErrorFileNotFound, "file not found"},
    {kErrorAccessDenied, "access denied"},
    {kErrorInvalidHandle, "no update is open"},
    {kErrorNotEnoughMemory, "not enough memory"},
    {kErrorInvalidData, "the data is invalid"},
    {kErrorWriteFault, "write fault"},
    {kErrorSharingViolation, "the file is being changed by another save"},
    {kErrorNotSupported, "not supported"},
    {kErrorInvalidParameter, "invalid parameter"},
    {kErrorBadExeFormat, "not a Windows executable or library"},
    {kErrorFileTooLarge, "file too large"},
};

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
    lastWords.clear();
}

FileError GetLastFileError() { return lastFileError; }

void SetLastRefusal(std::uint32_t code, std::string words) {
    SetLastError(code);
    if (code != kErrorSuccess) lastWords = std::move(words);
}

TLastError GetLastErrorState() { return {lastError, lastFileError, lastWords}; }

void SetLastError(const TLastError& state) {
    SetLastError(state.Code, state.Cause);
    if (state.Code != kErrorSuccess) lastWords = state.Words;
}

std::string LastErrorText() {
    if (!lastWords.empty()) return lastWords;
    if (!lastFileError.ok()) return FileErrorText(lastFileError);
    for (const CodeText& row : kCodeTexts)
        if (row.code == lastError) return row.text;
    return lastError == kErrorSuccess ? std::string() : "error " + std::to_string(lastError);
}

std::uint32_t ErrorOfUnreadFile(FileError e) {
    switch (e.kind()) {
    case FileError::NotFound: return kErrorFileNotFound;
    case FileError::TooLarge: return kErrorFileTooLarge;
    default: return kErrorAccessDenied;
    }
}

std::string ResNameText(const ResName& name) {
    return name.IsId ? "#" + std::to_string(name.Id) : Utf16ToUtf8(name.Name);
}

std::optional<ResName> ResNameToId(std::string_view text) {
    if (text.empty()) return std::nullopt;
    if (text[0] != '#') {
        std::u16string name = Utf8ToUtf16(text);
        if (name.size() > kMaxResNameUnits) return std::nullopt;
        return ResName::FromString(std::move(name));
    }
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
