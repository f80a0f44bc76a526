#include "core/Language.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "core/MessageBox.h"

namespace velto {
namespace {

namespace fs = std::filesystem;

class LanguageTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("velto-lang-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override {
        Lang().SetFileName("");
        fs::remove_all(dir_);
    }
    std::string write(const std::string& name, const std::string& text) {
        const fs::path p = dir_ / name;
        fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << text;
        return p.string();
    }
    fs::path dir_;
};

TEST_F(LanguageTest, ReadValueKeyRules) {
    TLanguage lang;
    lang.SetFileName(write("de.lng", "[frmMain]\nbtnOK.Caption=Gut\n.Caption=Nameless\n[MSG]\nmsgEmpty=\n"));
    EXPECT_EQ(lang.ReadValue("FRMMAIN", "BTNOK.CAPTION", "OK"), "Gut");
    EXPECT_EQ(lang.GetMessage("msgEmpty", "English"), "");  // an empty message stays empty
    const std::pair<const char*, const char*> missing[] = {
        {"frmMain", ".Caption"}, {"frmMain", ""}, {"", "btnOK.Caption"}, {"frmMain", "missing"}};
    for (const auto& [section, key] : missing) EXPECT_EQ(lang.ReadValue(section, key, "dflt"), "dflt") << key;
    lang.SetFileName((dir_ / "absent.lng").string());
    EXPECT_EQ(lang.ReadValue("frmMain", "btnOK.Caption", "OK"), "OK");
    lang.SetFileName(dir_.string());  // a folder is no language file
    EXPECT_EQ(lang.ReadValue("frmMain", "btnOK.Caption", "OK"), "OK");
}

TEST_F(LanguageTest, GeneralValuesAndChangedFiles) {
    TLanguage lang;
    const std::string path = write("x.lng", "");
    lang.SetFileName(path);
    EXPECT_EQ(lang.GetAuthor(), "Anonymous");
    EXPECT_EQ(lang.GetWebAddress(), "");
    const std::pair<const char*, const char*> web[] = {{"-", ""},
                                                       {"example.org/lang", "http://example.org/lang"},
                                                       {"see http://example.org", "see http://example.org"},
                                                       {"https://example.org", "https://example.org"},
                                                       {"HTTPS://example.org", "HTTPS://example.org"},
                                                       {"ftp://example.org/x", "ftp://example.org/x"}};
    for (const auto& [stored, shown] : web) {
        write("x.lng", std::string("[General]\nAuthor=\nVersion=1.2\nWebAddress=") + stored + "\n");
        EXPECT_EQ(lang.GetWebAddress(), shown) << stored;
    }
    EXPECT_EQ(lang.GetAuthor(), "Anonymous");
    EXPECT_EQ(lang.GetVersion(), "1.2");
    write("x.lng", "[general]\nauthor = Jan \n");
    EXPECT_EQ(lang.GetAuthor(), "Jan");

    // Same size and possibly the same timestamp: a replaced file is still read anew.
    write("x.lng", "[MSG]\nmsgA=eins\n");
    EXPECT_EQ(lang.GetMessage("msgA", "one"), "eins");
    fs::rename(write("tmp", "[MSG]\nmsgA=zwei\n"), path);
    EXPECT_EQ(lang.GetMessage("msgA", "one"), "zwei");
    fs::remove(path);
    EXPECT_EQ(lang.GetMessage("msgA", "one"), "one");
}

TEST_F(LanguageTest, PlaceholdersReplacedAfterLookupFirstOccurrenceOnly) {
    TLanguage lang;
    lang.SetFileName(write("de.lng", "[MSG]\nmsgExists=%s1 gibt es schon (%s1)! %i1\n"));
    std::string text = lang.GetMessage("msgExists", "%s1 already exists! Overwrite?");
    text = ReplacePlaceholder(text, "%s1", "a%i1.cur");  // the value is not scanned again
    text = ReplacePlaceholder(text, "%i1", "7");
    EXPECT_EQ(text, "a7.cur gibt es schon (%s1)! %i1");
    EXPECT_EQ(ReplacePlaceholder("%S1 %s1", "%s1", "x"), "%S1 x");
    EXPECT_EQ(ReplacePlaceholder("none", "%s2", "x"), "none");
    EXPECT_EQ(ReplacePlaceholder("abc", "", "x"), "abc");

    Lang().SetFileName(write("w.lng", "[MSG]\nmsgCapWarning=Achtung\n"));
    EXPECT_EQ(MessageCaption(mkWarning), "Achtung");
    EXPECT_EQ(MessageCaption(mkError), "Error");
    EXPECT_EQ(MessageCaption(mkInformation), "Information");
}

TEST_F(LanguageTest, ListingUnionSortedLaterFolderOverrides) {
    const fs::path app = dir_ / "app" / "bin";
    for (const char* name : {"German.lng", "french.lng", "Polish.LNG", "x.lng.lng", "readme.txt", ".lng"})
        write(std::string("app/bin/languages/") + name, "x");
    fs::create_directories(app / "languages" / "Dir.lng");
    ::mkfifo((app / "languages" / "Pipe.lng").c_str(), 0600);
    write("app/share/velto/languages/German.lng", "x");
    write("app/share/velto/languages/Czech.lng", "x");
    write("data/velto/languages/french.lng", "x");

    const char* oldData = std::getenv("XDG_DATA_HOME");
    const std::string saved = oldData ? oldData : "";
    ::setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
    const auto folders = LanguageFolders(app.string());
    if (oldData) ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else ::unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(folders, std::vector<std::string>({(app / "languages").string(),
                                                 (dir_ / "app" / "share" / "velto" / "languages").string(),
                                                 (dir_ / "data" / "velto" / "languages").string()}));
    std::vector<std::string> names;
    for (const auto& f : ListLanguageFiles(folders)) names.push_back(f.name);
    EXPECT_EQ(names, std::vector<std::string>({"Czech", "french", "German", "Polish.LNG", "x.lng"}));
    EXPECT_EQ(FindLanguageFile(folders, "German"), folders[1] + "/German.lng");
    EXPECT_EQ(FindLanguageFile(folders, "french"), folders[2] + "/french.lng");
    EXPECT_EQ(FindLanguageFile(folders, "Pipe"), "");
}

}  // namespace
}  // namespace velto
