#pragma once
// Text held as UTF-8, decoded from the encodings old files were written in.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velto {

// Appends the UTF-8 bytes of one code point.
void AppendUtf8(std::string& out, std::uint32_t cp);

// Length of the well-formed UTF-8 sequence at b[i] (no overlongs, surrogates
// or values past U+10FFFF), or 0.
std::size_t Utf8SequenceAt(std::span<const std::uint8_t> b, std::size_t i);

// ASCII letters in lower case; other bytes unchanged (names compare this way).
std::string AsciiLower(std::string_view s);

// True when bytes are well-formed UTF-8 (no overlongs, surrogates or values
// beyond U+10FFFF).
bool IsValidUtf8(std::span<const std::uint8_t> bytes);

// The text with every malformed UTF-8 byte replaced by U+FFFD.
std::string RepairUtf8(std::string_view text);

// UTF-16 text (resource names) as UTF-8, unpaired surrogates as U+FFFD; and
// back, malformed UTF-8 bytes as U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);
std::u16string Utf8ToUtf16(std::string_view text);

// Decodes file bytes to UTF-8: a UTF-8 BOM is dropped, UTF-16 with a BOM is
// decoded, valid UTF-8 is kept, anything else is taken as Windows-1252.
std::string DecodeTextToUtf8(std::span<const std::uint8_t> bytes);

// The Windows-1252 bytes of UTF-8 text, replacing out; false (out then
// unspecified) when the text is not valid UTF-8 or holds a character that
// code page lacks. The five bytes it leaves unassigned stand for the C1
// controls of the same value, as the decoding above reads them.
bool EncodeCp1252(std::string_view utf8, std::vector<std::uint8_t>& out);

}  // namespace velto
