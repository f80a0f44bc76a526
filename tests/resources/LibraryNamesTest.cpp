// Names and languages as the resource editor accepts and lists them.
#include <gtest/gtest.h>

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
        {"Arrow2", true, "ARROW2"}, {"\xc3\xa9t\xc3\xa9", true, "\xc3\xa9T\xc3\xa9"},  // ASCII letters only
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
