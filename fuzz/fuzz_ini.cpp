// INI and language files: any bytes parse; every value the file shows reads
// the same after a rewrite; written values read back exactly and never change
// other values; deleted keys and sections are gone.
#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "platform/IniFile.h"

namespace {

using Values = std::map<std::pair<std::string, std::string>, std::string>;

// Every value visible through lookups, keyed by lower-case names.
Values visible(const velto::IniFile& ini) {
    Values out;
    auto lower = [](std::string s) {
        for (char& c : s)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return s;
    };
    for (const std::string& section : ini.ReadSections()) {
        for (const std::string& key : ini.ReadSection(section)) {
            if (!ini.ValueExists(section, key)) __builtin_trap();
            out[{lower(section), lower(key)}] = ini.ReadString(section, key, "\x01missing");
        }
    }
    return out;
}

// What a written value reads back as: line breaks and NULs become spaces.
std::string oneLine(std::string s) {
    for (char& c : s)
        if (c == '\r' || c == '\n' || c == '\0') c = ' ';
    return s;
}

velto::IniFile reparsed(const velto::IniFile& ini) {
    velto::IniFile back;
    back.Parse(std::span<const std::uint8_t>(ini.ToBytes()));
    return back;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    velto::IniFile ini;
    ini.Parse(std::span<const std::uint8_t>(data, size));

    // Lookups the program makes on settings and language files.
    (void)ini.ReadString("General", "Author", "Anonymous");
    (void)ini.ReadInteger("MainForm", "Width", 640);
    (void)ini.ReadBool("MainForm", "Maximized", true);
    (void)ini.ReadString("MSG", "msgCapWarning", "Warning");
    (void)ini.SectionExists("frmMain");

    const Values before = visible(ini);
    for (const auto& [names, value] : before) {
        (void)ini.ReadInteger(names.first, names.second, 0);
        (void)ini.ReadBool(names.first, names.second, false);
    }
    if (visible(reparsed(ini)) != before) __builtin_trap();

    // Rewrites: a few values from the file itself, turned inside out.
    Values expected = before;
    int writes = 0;
    for (const auto& [names, value] : before) {
        // Names that could not be read back as written are refused.
        if (names.second.front() == '[' || oneLine(names.second) != names.second ||
            oneLine(names.first) != names.first)
            continue;
        if (++writes > 8) break;
        const std::string written = (writes % 2) ? " " + value + "\t" : "\"" + value + "\"";
        ini.WriteString(names.first, names.second, written);
        expected[names] = oneLine(written);
    }
    ini.WriteInteger("General", "BKSize", -7);
    ini.WriteBool("General", "Dithering", true);
    ini.WriteString("New Section", "Key", "line\r\nbreak");
    expected[{"general", "bksize"}] = "-7";
    expected[{"general", "dithering"}] = "1";
    expected[{"new section", "key"}] = "line  break";
    if (visible(ini) != expected) __builtin_trap();
    const velto::IniFile back = reparsed(ini);
    if (visible(back) != expected) __builtin_trap();
    if (back.ReadInteger("General", "BKSize", 0) != -7 || !back.ReadBool("General", "Dithering", false))
        __builtin_trap();

    // Removal of the first value's key and of the last section.
    if (!before.empty()) {
        const auto& names = before.begin()->first;
        ini.DeleteKey(names.first, names.second);
        if (ini.ValueExists(names.first, names.second)) __builtin_trap();
    }
    ini.EraseSection("New Section");
    if (ini.SectionExists("new section") || reparsed(ini).SectionExists("New Section")) __builtin_trap();
    return 0;
}
