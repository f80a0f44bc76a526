// Names and languages as the resource editor accepts and lists them.
#include <gtest/gtest.h>

#include <clocale>
#include <cwctype>
#include <set>

#include "resources/LibraryNames.h"
#include "resources/ResName.h"

using namespace velto;

TEST(LibraryNames, TypedNamesAreCheckedAndKeptInOneSpelling) {
    const struct {
        const char* typed;
        bool valid;
        const char* kept;  // when valid
    } rows[] = {
        {"", false, ""},         {"#", false, ""},          {"#0", false, ""},      {"#00", false, ""},
        {"#32768", false, ""},   {"#12a", false, ""},       {"#-1", false, ""},     {"#99999999999", false, ""},
        {"#1", true, "#1"},      {"#32767", true, "#32767"}, {"#0012", true, "#12"}, {"arrow", true, "ARROW"},
        {"Arrow2", true, "ARROW2"}, {"\xc3\xa9t\xc3\xa9", true, "\xc3\x89T\xc3\x89"},  // every letter
        {"12", true, "12"},      {"a#1", true, "A#1"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.typed);
        EXPECT_EQ(IsValidGroupName(row.typed), row.valid);
        if (!row.valid) continue;
        EXPECT_EQ(CanonicalGroupName(row.typed), row.kept);
        // The kept spelling names the same resource the engine stores.
        const auto typed = ResNameToId(CanonicalGroupName(row.typed));
        ASSERT_TRUE(typed);
        EXPECT_EQ(ResNameText(*typed), row.kept);
    }
}

// Upper case one UTF-16 unit at a time, as the system's loader makes it.
TEST(LibraryNames, UpperCaseAsTheLoaderMakesIt) {
    const struct {
        const char16_t* name;
        const char16_t* upper;
    } rows[] = {
        {u"\u00e4rger", u"\u00c4RGER"},
        {u"fran\u00e7ais \u00ff", u"FRAN\u00c7AIS \u0178"},                 // beyond Latin-1
        {u"\u03c3\u03af\u03c3\u03c5\u03c6\u03bf\u03c2", u"\u03a3\u038a\u03a3\u03a5\u03a6\u039f\u03c2"},  // final sigma stays
        {u"\u0451\u0436 \u0563", u"\u0401\u0416 \u0533"},                 // Cyrillic, Armenian
        {u"\u01c6 \u01c5", u"\u01c4 \u01c5"},                               // a digraph; its title case stays
        {u"\u0101\u0103\u0105", u"\u0100\u0102\u0104"},                    // pairs a unit apart
        {u"\u1f00 \u1fb3 \u2170 \u24d0 \uff41", u"\u1f08 \u1fbc \u2160 \u24b6 \uff21"},
        {u"stra\u00dfe \u0149", u"STRA\u00dfE \u0149"},                      // no one-unit upper case
        {u"\U0001F600\U00010428", u"\U0001F600\U00010428"},                  // units of surrogate pairs stay
        {u"ABC 123 #_-", u"ABC 123 #_-"},
    };
    for (const auto& row : rows) EXPECT_TRUE(UpperCaseName(row.name) == row.upper) << ResNameText(ResName::FromString(row.name));
    // Every unit: an upper case is its own upper case, and only letters change,
    // each to the C library's capital of it where that lowers back to it.
    const std::string locale = std::setlocale(LC_CTYPE, nullptr);
    const bool mapped = std::setlocale(LC_CTYPE, "C.UTF-8") != nullptr;
    int changed = 0;
    for (std::uint32_t u = 0; u <= 0xFFFF; ++u) {
        const std::uint32_t upper = UpperCaseUnit(char16_t(u)), c = std::towupper(u);
        changed += upper != u;
        EXPECT_EQ(UpperCaseUnit(char16_t(upper)), upper) << std::hex << u;
        if (u < 0x80 || (u >= 0xD800 && u <= 0xDFFF)) {
            EXPECT_EQ(upper, u >= 'a' && u <= 'z' ? u - 32 : u) << std::hex << u;
        } else if (mapped) {
            EXPECT_EQ(upper, c != u && c <= 0xFFFF && std::towlower(c) == u ? c : u) << std::hex << u;
        }
    }
    std::setlocale(LC_CTYPE, locale.c_str());
    EXPECT_EQ(changed, 1163);
    EXPECT_EQ(UpperCaseResName(ResName::FromId(7)), ResName::FromId(7));
    EXPECT_EQ(UpperCaseResName(ResName::FromString(u"a\u00e4")), ResName::FromString(u"A\u00c4"));
    if (!mapped) GTEST_SKIP() << "no C.UTF-8 locale: the table was not checked against the C library's capitals";
}

TEST(LibraryNames, TheLanguageTableIsOneToOne) {
    std::set<std::uint16_t> ids;
    std::set<std::string> names;
    for (const TLanguageName& l : LanguageTable()) {
        EXPECT_TRUE(ids.insert(l.Id).second) << "id listed twice: " << l.Id;
        EXPECT_TRUE(names.insert(l.Name).second) << "name listed twice: " << l.Name;
        EXPECT_NE(l.Id, 0) << "neutral is the editor's own first entry";
        EXPECT_EQ(LanguageIdByName(l.Name), l.Id);
        EXPECT_EQ(LanguageName(l.Id), std::string(l.Name));
        EXPECT_FALSE(UnknownLanguageId(l.Name)) << l.Name;
    }
    EXPECT_GT(ids.size(), 150u);
    EXPECT_EQ(LanguageName(1033), std::string("English (United States)"));
    EXPECT_EQ(LanguageIdByName("German (Germany)"), 1031);
    EXPECT_FALSE(LanguageIdByName("english (united states)"));
    // Ids of no name read from a library keep a name of their own.
    EXPECT_FALSE(LanguageName(0x7ABC));
    EXPECT_EQ(UnknownLanguageName(0x7ABC), "Language 0x7abc");
    for (const std::uint16_t id : {0x0001, 0x7ABC, 0xFFFF}) EXPECT_EQ(UnknownLanguageId(UnknownLanguageName(id)), id);
    EXPECT_FALSE(UnknownLanguageId("Language 0x7ab"));
    EXPECT_FALSE(UnknownLanguageId("Language 0x7abg"));
}
