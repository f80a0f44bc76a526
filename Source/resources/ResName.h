#pragma once
// Resource types and names, the engine's last-error codes and the small text
// routines the engine and the cursor-group layer share.
//
// A resource type or name is either an integer id or a UTF-16 string. It is
// kept typed everywhere ("#12" is only how an id is shown), so that a string
// name that happens to begin with "#" never reaches a number parser and
// "#0012" and "#12" cannot become two captions of one id.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/FileIO.h"
#include "platform/Text.h"

namespace velto {

struct ResName {
    bool IsId = true;
    std::uint32_t Id = 0;   // when IsId
    std::u16string Name;    // when not IsId; never empty

    static ResName FromId(std::uint32_t id) { return ResName{true, id, {}}; }
    static ResName FromString(std::u16string name) { return ResName{false, 0, std::move(name)}; }
    bool operator==(const ResName&) const = default;
};

// The most UTF-16 units a string name can have: a resource directory keeps
// a name's length in 16 bits. Longer names are refused, never cut.
inline constexpr std::size_t kMaxResNameUnits = 0xFFFF;
inline constexpr char kResNameTooLongText[] =
    "a resource name can be at most 65535 characters long: a library keeps its length in 16 bits";

// Resource types this program works with.
inline constexpr std::uint16_t RT_CURSOR = 1;
inline constexpr std::uint16_t RT_ICON = 3;
inline constexpr std::uint16_t RT_GROUP_CURSOR = 12;
inline constexpr std::uint16_t RT_GROUP_ICON = 14;

// "#" and the decimal id for an id; the name as UTF-8 otherwise.
std::string ResNameText(const ResName& name);

// The resource a caption names: "#" followed by decimal digits (leading zeros
// allowed) is that id, which must lie in 1..65535; any other non-empty text is
// a string name. Nothing for "", "#", "#12a", "#0", "#70000" or a name of
// more than kMaxResNameUnits units.
std::optional<ResName> ResNameToId(std::string_view text);

// Names as the system's loader looks them up: one UTF-16 unit at a time, a
// letter becomes its Unicode simple upper case where that capital's lower
// case is the letter again ("ärger" is "ÄRGER"). Final sigma, dotless i,
// title-case digraphs and the like, whose capital lowers to another letter,
// stay, as does "ß", whose upper case is two letters. Resource compilers
// store string names this way. Ids are left as they are.
char16_t UpperCaseUnit(char16_t unit);
std::u16string UpperCaseName(std::u16string_view name);
ResName UpperCaseResName(const ResName& name);

// Last-error codes the engine reports, with the values of the system whose
// resource functions it stands in for.
enum : std::uint32_t {
    kErrorSuccess = 0,
    kErrorFileNotFound = 2,
    kErrorAccessDenied = 5,
    kErrorInvalidHandle = 6,
    kErrorNotEnoughMemory = 8,
    kErrorInvalidData = 13,
    kErrorWriteFault = 29,
    kErrorSharingViolation = 32,
    kErrorNotSupported = 50,
    kErrorInvalidParameter = 87,
    kErrorBadExeFormat = 193,
    kErrorFileTooLarge = 223,
};

// The calling thread's last error, set by every failing engine call. When a
// file was the cause, its status comes along (the system's reason, for the
// message the user sees); a code set without one clears it.
std::uint32_t GetLastError();
void SetLastError(std::uint32_t code);
void SetLastError(std::uint32_t code, FileError cause);
FileError GetLastFileError();
// A refusal of the engine's own checks (a cursor file it will not store, a
// library it cannot rewrite), with the check's words for the user.
void SetLastRefusal(std::uint32_t code, std::string words);

// The whole last error, for a caller that must run other engine calls (a
// discard, a clean-up) before it reports the failure it met first.
struct TLastError {
    std::uint32_t Code = 0;
    FileError Cause;
    std::string Words;  // the refusing check's, or empty
};
TLastError GetLastErrorState();
void SetLastError(const TLastError& state);

// Why the last failing call failed, in words: the refusing check's, else the
// file's reason as the system gave it, else the code's meaning.
std::string LastErrorText();

// The code of a file that could not be read: missing, too large, or
// otherwise not to be had (refused, not a regular file, unreadable).
std::uint32_t ErrorOfUnreadFile(FileError e);

// Lower-case hexadecimal digits of value without leading zeros ("0" for 0),
// padded on the left with fill to minDigits, "$" in front: (26, 8, '0') gives
// "$0000001a".
std::string IntToHexEx(std::uint64_t value, int minDigits, char fill);

// Code-unit comparison of two texts: the difference of the first differing
// units, else the difference of the lengths.
int CompareStr(std::string_view a, std::string_view b);
int CompareStr(std::u16string_view a, std::u16string_view b);

}  // namespace velto
