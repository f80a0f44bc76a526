#pragma once
// An INI file with the semantics of the Windows profile functions, which the
// settings file "config.cfg" and the ".lng" language files were written for:
//
// - Section and key names compare case-insensitively (ASCII letters).
// - When a section or a key occurs more than once, the first occurrence wins:
//   only the first section of a name is searched, and within it the first key.
// - Names and values are trimmed of spaces and tabs; a value enclosed in a
//   matching pair of double or single quotes loses them on reading.
// - Lines whose first non-blank character is ";" are comments. A line without
//   "=" inside a section is kept but is not a value. Lines before the first
//   section belong to no section and cannot be looked up.
// - LF and CRLF line ends are read. Text is held as UTF-8: a file that is not
//   valid UTF-8 is decoded as Windows-1252 (the ANSI code page such files were
//   written in); a UTF-8 BOM is skipped, and UTF-16 text with a BOM is decoded.
// - Rewriting keeps everything it did not change: unknown sections, unknown
//   keys, comments, blank lines and the order of lines. Changed keys are
//   written as "key=value"; new keys go after the last line of their section,
//   new sections at the end. The file's own line end is kept (CRLF for a new
//   file) and the output is UTF-8 without BOM.
// - Booleans are written as "1" and "0" and read as integer != 0.
//
// Values are single lines: line breaks and NUL characters in written values
// are replaced by spaces, so a value can never add lines of its own. Names
// that could not be read back (a key that is empty, holds "=" or a line break,
// or starts with "[" or ";"; a section name holding "]" or a line break) are
// not written.
// A written value that would not read back the same (blanks at either end, or
// enclosed in quotes) is written within double quotes.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/FileIO.h"
#include "platform/ReadLimits.h"
#include "platform/Text.h"

namespace velto {

class IniFile {
public:
    // Largest file LoadFromFile accepts (the shared read limit).
    static constexpr std::uint64_t kMaxFileSize = ReadLimits{}.iniFileSize;

    IniFile();

    // Replaces the content by the text in bytes (any bytes are accepted).
    void Parse(std::span<const std::uint8_t> bytes);
    void Parse(std::string_view text);

    // Replaces the content by the file's. A missing, unreadable, special or
    // too large file leaves the content empty and returns false.
    bool LoadFromFile(const std::string& path, FileError* error = nullptr);

    // The text as it would be saved (UTF-8).
    std::string ToText() const;
    std::vector<std::uint8_t> ToBytes() const;

    // Writes the text atomically: the old file stays intact on failure.
    bool SaveToFile(const std::string& path, FileError* error = nullptr) const;

    // Lookups. An empty key always gives the default.
    std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
    // A decimal number with an optional sign, or hexadecimal after "0x" or
    // "$" (up to 32 bits, so "0xFFFFFFFF" is -1). Anything else, including a
    // decimal number out of range, gives the default.
    std::int32_t ReadInteger(std::string_view section, std::string_view key, std::int32_t def) const;
    bool ReadBool(std::string_view section, std::string_view key, bool def) const;

    // Creates the section and the key when missing. Names that cannot be
    // written (see above) leave the file unchanged.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, std::int32_t value);
    void WriteBool(std::string_view section, std::string_view key, bool value);

    // True when the section holds at least one value.
    bool SectionExists(std::string_view section) const;
    bool ValueExists(std::string_view section, std::string_view key) const;
    // The key names of the section in file order, each once (as first written).
    std::vector<std::string> ReadSection(std::string_view section) const;
    // The names of all sections in file order, each once.
    std::vector<std::string> ReadSections() const;
    // Removes every section of that name with all its lines.
    void EraseSection(std::string_view section);
    // Removes the key (every line of it) from the section lookups see.
    void DeleteKey(std::string_view section, std::string_view key);

    // Line end used by ToText: the file's own, "\r\n" for a new file.
    void SetLineBreak(std::string_view eol) { eol_ = std::string(eol); }
    const std::string& LineBreak() const { return eol_; }

private:
    // Lines are kept small (a hostile file may hold millions): the key and
    // value are ranges of the raw text.
    struct Line {
        std::string raw;  // the text as read; rewritten when changed
        std::uint32_t keyPos = 0, keyLen = 0, valuePos = 0, valueLen = 0;
        bool isValue = false;  // a "key=value" line with a non-empty key
        std::string_view key() const { return std::string_view(raw).substr(keyPos, keyLen); }
        std::string_view value() const { return std::string_view(raw).substr(valuePos, valueLen); }
    };
    struct Section {
        std::string name;     // trimmed name between the brackets
        std::string header;   // header line as read
        bool hasHeader = true;  // false only for lines before the first section
        std::vector<Line> lines;
        std::unordered_map<std::string, std::size_t> index;  // folded key -> first line
    };

    const Section* findSection(std::string_view name) const;
    Section* findSection(std::string_view name);
    const Line* findLine(std::string_view section, std::string_view key) const;
    void rebuildIndex();
    static void indexSection(Section& s);
    static Line parseLine(std::string_view raw);

    std::vector<Section> sections_;
    std::unordered_map<std::string, std::size_t> sectionIndex_;  // folded name -> first section
    std::string eol_ = "\r\n";
};

}  // namespace velto
