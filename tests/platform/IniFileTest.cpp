#include "platform/IniFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace velto {
namespace {

IniFile parsed(std::string_view text) {
    IniFile ini;
    ini.Parse(text);
    return ini;
}

IniFile parsedBytes(std::initializer_list<std::uint8_t> bytes) {
    const std::vector<std::uint8_t> v(bytes);
    IniFile ini;
    ini.Parse(std::span<const std::uint8_t>(v));
    return ini;
}

TEST(IniFile, NamesIgnoreCaseAndFirstOccurrenceWins) {
    const IniFile ini = parsed(
        "[General]\nLanguage=German\nlanguage=French\n"
        "[general]\nBKSize=8\n"
        "[MSG]\nmsgA=one\n");
    EXPECT_EQ(ini.ReadString("GENERAL", "LANGUAGE", "x"), "German");
    EXPECT_EQ(ini.ReadString("general", "language", "x"), "German");
    // Only the first section of a name is searched.
    EXPECT_EQ(ini.ReadString("General", "BKSize", "def"), "def");
    EXPECT_EQ(ini.ReadSection("general"), std::vector<std::string>({"Language"}));
    EXPECT_EQ(ini.ReadSections(), std::vector<std::string>({"General", "MSG"}));
    EXPECT_EQ(ini.ReadString("msg", "MSGA", ""), "one");
}

TEST(IniFile, ValuesTrimmedAndQuotesStripped) {
    const IniFile ini = parsed(
        "  [ Sec ]  \n  a  =  spaced value \t\nb=\"  quoted  \"\nc='single'\nd=\"mismatched'\ne=\"\n"
        "f=x ; not a comment\n; g=comment\nh\n=nameless\ni=\n");
    const std::pair<const char*, const char*> cases[] = {
        {"a", "spaced value"}, {"b", "  quoted  "}, {"c", "single"}, {"d", "\"mismatched'"}, {"e", "\""},
        {"f", "x ; not a comment"}, {"h", "def"}, {"", "def"}, {"i", ""}};
    for (const auto& [key, want] : cases) EXPECT_EQ(ini.ReadString("Sec", key, "def"), want) << key;
    EXPECT_FALSE(ini.ValueExists("Sec", "; g"));
    EXPECT_FALSE(ini.ValueExists("Sec", "h"));  // a line without "=" holds no value
    EXPECT_EQ(ini.ReadSection("Sec"), std::vector<std::string>({"a", "b", "c", "d", "e", "f", "i"}));
}

TEST(IniFile, LinesBeforeFirstSectionAndBrokenHeadersAreNoSection) {
    const IniFile ini = parsed("k=v\n[Open\nx=1\n[]\ny=2\n");
    EXPECT_FALSE(ini.ValueExists("", "k"));
    EXPECT_EQ(ini.ReadString("", "y", ""), "2");
    EXPECT_FALSE(ini.SectionExists("Open"));
}

TEST(IniFile, Integers) {
    const IniFile ini = parsed(
        "[N]\ndec=300\nneg=-42\nplus=+7\nhex=0x1F\nup=0XfF\ndollar=$10\nall=0xFFFFFFFF\n"
        "max=2147483647\nmin=-2147483648\nover=2147483648\nlonghex=0x100000000\n"
        "word=abc\ntrail=12abc\nbare=0x\nempty=\nspace=1 2\nsign=-\n");
    const std::pair<const char*, int> good[] = {{"dec", 300}, {"neg", -42}, {"plus", 7},
                                                {"hex", 31},  {"up", 255},  {"dollar", 16},
                                                {"all", -1},  {"max", INT32_MAX}, {"min", INT32_MIN}};
    for (const auto& [key, want] : good) EXPECT_EQ(ini.ReadInteger("N", key, 99), want) << key;
    for (const char* key : {"over", "longhex", "word", "trail", "bare", "empty", "space", "sign", "missing"})
        EXPECT_EQ(ini.ReadInteger("N", key, 99), 99) << key;
}

TEST(IniFile, BooleansWrittenAsDigitsReadAsNonZero) {
    IniFile ini = parsed("[B]\ntwo=2\nzero=0\nword=true\n");
    EXPECT_TRUE(ini.ReadBool("B", "two", false));
    EXPECT_FALSE(ini.ReadBool("B", "zero", true));
    EXPECT_TRUE(ini.ReadBool("B", "word", true));  // not a number: the default
    EXPECT_FALSE(ini.ReadBool("B", "word", false));
    ini.WriteBool("B", "t", true);
    ini.WriteBool("B", "f", false);
    EXPECT_EQ(ini.ReadString("B", "t", "") + ini.ReadString("B", "f", ""), "10");
}

TEST(IniFile, RewriteKeepsEverythingUnchangedInPlace) {
    const std::string original =
        "; settings\r\n[MainForm]\r\nTop = 10\r\nCustom=kept\r\n\r\n[Unknown]\r\nWhatever=\"x\"\r\n";
    IniFile ini = parsed(original);
    EXPECT_EQ(ini.ReadString("MainForm", "Top", ""), "10");
    EXPECT_EQ(ini.ToText(), original);
    ini.WriteInteger("mainform", "TOP", 20);
    ini.WriteInteger("MainForm", "Height", 480);
    ini.WriteString("General", "Language", "English");
    EXPECT_EQ(ini.ToText(),
              "; settings\r\n[MainForm]\r\nTop=20\r\nCustom=kept\r\nHeight=480\r\n\r\n"
              "[Unknown]\r\nWhatever=\"x\"\r\n\r\n[General]\r\nLanguage=English\r\n");
    // Line ends follow the file; a new file gets CRLF.
    IniFile lf = parsed("[A]\nx=1\n");
    lf.WriteString("A", "y", "2");
    EXPECT_EQ(lf.ToText(), "[A]\nx=1\ny=2\n");
    IniFile fresh;
    fresh.WriteString("A", "x", "1");
    EXPECT_EQ(fresh.ToText(), "[A]\r\nx=1\r\n");
}

TEST(IniFile, WrittenValuesReadBackExactlyAndStayOnOneLine) {
    IniFile ini;
    for (const std::string v : {"  padded  ", "\"quoted\"", "'q'", "plain", "", "a=b", "x\"", "\xC3\xA9t\xC3\xA9"}) {
        ini.WriteString("S", "k", v);
        EXPECT_EQ(parsed(ini.ToText()).ReadString("S", "k", "?"), v) << v;
    }
    ini.WriteString("S", "k", "line1\r\n[Evil]\nk=2");
    const IniFile back = parsed(ini.ToText());
    EXPECT_EQ(back.ReadString("S", "k", ""), "line1  [Evil] k=2");
    EXPECT_FALSE(back.SectionExists("Evil"));
    // Names that would read back as something else are not written.
    const std::string before = ini.ToText();
    for (const char* key : {"", "  ", "a=b", "[x", ";x", "a\nb"}) ini.WriteString("S", key, "]");
    ini.WriteString("a]b", "k", "v");
    ini.WriteString("a\nb", "k", "v");
    EXPECT_EQ(ini.ToText(), before);
}

TEST(IniFile, EraseSectionAndDeleteKey) {
    IniFile ini = parsed("[A]\nx=1\nX=2\ny=3\n[B]\nz=4\n[a]\nw=5\n");
    EXPECT_TRUE(ini.SectionExists("a"));
    ini.DeleteKey("A", "x");
    EXPECT_FALSE(ini.ValueExists("A", "x"));  // the later duplicate goes too
    EXPECT_EQ(ini.ReadString("A", "y", ""), "3");
    ini.EraseSection("a");
    EXPECT_FALSE(ini.SectionExists("A"));
    EXPECT_EQ(ini.ReadString("A", "w", "gone"), "gone");  // the duplicate section is gone too
    EXPECT_EQ(ini.ToText(), "[B]\nz=4\n");
    IniFile empty = parsed("[Empty]\n; only a comment\n");
    EXPECT_FALSE(empty.SectionExists("Empty"));  // a section exists when it holds a value
}

TEST(IniFile, TextEncodings) {
    // Windows-1252: 0xE7 c-cedilla, 0x80 euro, 0x81 unassigned.
    const IniFile ansi = parsedBytes({'[', 'M', ']', '\n', 'k', '=', 'F', 0xE7, 'a', ' ', 0x80, 0x81});
    EXPECT_EQ(ansi.ReadString("M", "k", ""), "F\xC3\xA7" "a \xE2\x82\xAC\xC2\x81");
    const IniFile utf8Bom = parsedBytes({0xEF, 0xBB, 0xBF, '[', 'M', ']', '\n', 'k', '=', 0xC3, 0xA9});
    EXPECT_EQ(utf8Bom.ReadString("M", "k", ""), "\xC3\xA9");
    const IniFile utf16 = parsedBytes({0xFF, 0xFE, '[', 0, 'M', 0, ']', 0, '\n', 0, 'k', 0, '=', 0, 0xE9, 0});
    EXPECT_EQ(utf16.ReadString("M", "k", ""), "\xC3\xA9");
    // Overlong and surrogate forms are not UTF-8.
    EXPECT_FALSE(IsValidUtf8(std::vector<std::uint8_t>{0xC0, 0xAF}));
    EXPECT_FALSE(IsValidUtf8(std::vector<std::uint8_t>{0xED, 0xA0, 0x80}));
    EXPECT_TRUE(IsValidUtf8(std::vector<std::uint8_t>{0xF0, 0x9F, 0x98, 0x80}));
}

TEST(IniFile, FilesLoadAndSave) {
    const auto dir = std::filesystem::temp_directory_path() / ("velto-ini-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "config.cfg").string();
    IniFile ini;
    FileError err = FileError::None;
    EXPECT_FALSE(ini.LoadFromFile(path, &err));
    EXPECT_EQ(err, FileError::NotFound);
    ini.WriteInteger("Grid", "Style", 1);
    ASSERT_TRUE(ini.SaveToFile(path));
    IniFile back;
    ASSERT_TRUE(back.LoadFromFile(path));
    EXPECT_EQ(back.ReadInteger("grid", "style", 0), 1);
    EXPECT_FALSE(back.LoadFromFile(dir.string(), &err));  // a folder is not read
    EXPECT_EQ(err, FileError::NotRegular);
    EXPECT_FALSE(back.ValueExists("Grid", "Style"));
    std::ofstream(path, std::ios::binary | std::ios::app) << std::string(IniFile::kMaxFileSize, '\n');
    EXPECT_FALSE(back.LoadFromFile(path, &err));
    EXPECT_EQ(err, FileError::TooLarge);
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace velto
