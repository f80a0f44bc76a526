#pragma once
// What the resource editor shows and accepts as a group's name and language:
// the rules for names typed by the user and a table of language ids with
// English names of our own (the system's own list of locales is not asked).
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace velto {

// A name as typed is acceptable: not empty, not "#" alone, not longer than
// a library holds (IsGroupNameTooLong), and when it begins with "#", decimal
// digits after it making a number from 1 to 32767.
bool IsValidGroupName(std::string_view text);
// More UTF-16 units than a library holds in a name (kMaxResNameUnits); the
// words why are kResNameTooLongText.
bool IsGroupNameTooLong(std::string_view text);

// The name as it is kept and stored: every letter upper-cased as the
// system's loader does it (UpperCaseName), and for "#" names the number without leading zeros
// ("#0012" is "#12", the same id). Meant for names IsValidGroupName accepts.
std::string CanonicalGroupName(std::string_view text);

struct TLanguageName {
    std::uint16_t Id;
    const char* Name;
};

// Every language the editor lists, in no particular order; names unique.
std::span<const TLanguageName> LanguageTable();

// The name of a language id; nothing for an id the table does not hold.
std::optional<std::string> LanguageName(std::uint16_t id);
// The id of a name of the table; nothing for another text.
std::optional<std::uint16_t> LanguageIdByName(std::string_view name);

// How an id the table does not hold is listed: "Language 0x0c0b" (read from
// a file, so that it can be shown and kept).
std::string UnknownLanguageName(std::uint16_t id);
// The id of such a text; nothing for another text.
std::optional<std::uint16_t> UnknownLanguageId(std::string_view name);

}  // namespace velto
