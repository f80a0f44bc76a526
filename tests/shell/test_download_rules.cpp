// The rules of the language download and the update check that need no
// server, and the main window brought back onto the screens it has.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QScreen>
#include <QTemporaryDir>

#include "MainWindowFixture.h"
#include "core/Language.h"
#include "shell/DownloadRules.h"

void PrintTo(const QRect& r, std::ostream* os) { *os << r.x() << ',' << r.y() << ' ' << r.width() << 'x' << r.height(); }

using namespace velto;
using velto::test::MainWindowTest;

namespace {

TEST(LanguageFileNames, OnlyAPlainNameFromTheLastSegmentIsTaken) {
    const struct {
        const char* url;
        const char* name;
        bool plain;
    } rows[] = {
        {"http://h/velto/v1_0/German.lng", "German.lng", true},
        {"http://h/a/Portugu%C3%AAs.lng", "Portugu\u00eas.lng", true},  // letters of any language
        {"http://h/a/Espa%C3%B1ol.lng", "Espa\u00f1ol.lng", true},
        {"http://h/a/Fran%C3%A7ais.lng", "Fran\u00e7ais.lng", true},
        {"http://h/a/Fran%C3%A7ais%20(Canada).lng", "Fran\u00e7ais (Canada).lng", false},
        {"http://h/a/%E6%97%A5%E6%9C%AC%E8%AA%9E.lng", "\u65e5\u672c\u8a9e.lng", true},
        {"http://h/a/Franc%CC%A7ais.lng", "Franc\u0327ais.lng", true},  // a letter and its mark
        {"http://h/a/%D7%A2%D7%91%D7%A8%D7%99%D7%AA.lng", "\u05e2\u05d1\u05e8\u05d9\u05ea.lng", true},
        {"http://h/a/x%E2%80%AEgnl.lng", "x\u202egnl.lng", false},    // a direction mark is no letter
        {"http://h/a/x%01.lng", "x\u0001.lng", false},
        {"http://h/a/x%09y.lng", "x\ty.lng", false},
        {"http://h/a/x%C2%A0y.lng", "x\u00a0y.lng", false},
        {"http://h/a/%EF%BC%8Fx.lng", "\uff0fx.lng", false},          // a slash of another width
        {"http://h/a/%C3%A9%2F..%2Fx.lng", "\u00e9/../x.lng", false},
        {"http://h/a/Chinese%20Simplified.lng", "Chinese Simplified.lng", true},
        {"http://h/a/pt_BR-2.1.lng", "pt_BR-2.1.lng", true},
        {"http://h/a/..%2Fx.lng", "../x.lng", false},
        {"http://h/a/a%2Fb.lng", "a/b.lng", false},
        {"http://h/a/a%5Cb.lng", "a\\b.lng", false},
        {"http://h/a/.lng", ".lng", false},
        {"http://h/a/.hidden.lng", ".hidden.lng", false},
        {"http://h/a/x..lng", "x..lng", false},
        {"http://h/a/x.lng?y=1", "x.lng", true},
        {"http://h/a/", "", false},
    };
    for (const auto& r : rows) {
        const QUrl url(QString::fromUtf8(r.url));
        EXPECT_EQ(LanguageFileNameFromUrl(url), QString::fromUtf8(r.name)) << r.url;
        EXPECT_EQ(IsPlainLanguageFileName(LanguageFileNameFromUrl(url)), r.plain) << r.url;
    }
    EXPECT_TRUE(IsLanguageFileLink(QUrl("http://h/a/German.lng")));
    EXPECT_FALSE(IsLanguageFileLink(QUrl("http://h/a/German.LNG")));
    EXPECT_FALSE(IsLanguageFileLink(QUrl("http://h/a/German.lng.html")));
    EXPECT_FALSE(IsLanguageFileLink(QUrl("http://h/a/page.html#German.lng")));
}

class LanguageFiles : public ::testing::Test {
protected:
    QString put(const QString& name, const QByteArray& version) {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[General]\nVersion=" + version + "\n");
        return path;
    }
    QByteArray text(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
    }
    QTemporaryDir dir;
};

TEST_F(LanguageFiles, VersionsReadAsNumbersWithZeroForTheRest) {
    EXPECT_DOUBLE_EQ(LanguageFileVersion(put("a.lng", "1.25")), 1.25);
    EXPECT_DOUBLE_EQ(LanguageFileVersion(put("a.lng", " 2 ")), 2.0);
    EXPECT_DOUBLE_EQ(LanguageFileVersion(put("a.lng", "1,5")), 0.0);  // not in any locale
    EXPECT_DOUBLE_EQ(LanguageFileVersion(put("a.lng", "v3")), 0.0);
    EXPECT_DOUBLE_EQ(LanguageFileVersion(dir.filePath("none.lng")), 0.0);
    EXPECT_DOUBLE_EQ(LanguageFileVersion(QByteArray("[General]\nVersion=1.25\n")), 1.25);
    EXPECT_DOUBLE_EQ(LanguageFileVersion(QByteArray("[General]\nVersion=1,5\n")), 0.0);
    EXPECT_DOUBLE_EQ(LanguageFileVersion(QByteArray()), 0.0);
}

// A download is judged from its bytes, the installed file as the program
// reads the language in use: both must read the same version from the same
// bytes, or a download could pass as newer and then be used as older.
TEST_F(LanguageFiles, ADownloadsVersionIsReadAsTheLanguageFileWillBeRead) {
    const struct {
        QByteArray text;
        double version;
    } rows[] = {
        {"[General]\r\nVersion=2.5\r\n", 2.5},
        {"\xEF\xBB\xBF[General]\nVersion=2.5\n", 2.5},  // UTF-8 mark
        {QByteArray("\xFF\xFE[\0G\0e\0n\0e\0r\0a\0l\0]\0\n\0V\0e\0r\0s\0i\0o\0n\0=\0003\0\n\0", 42), 3},  // UTF-16
        {"[general]\nVERSION=3\n", 3},  // names in any case
        {"[General]\nVersion=\"4\"\n", 4},  // quoted
        {"[General]\n\tVersion =  5 \n", 5},
        {"[ General ]\nVersion=6\n", 6},
        {"[General]\nVersion=1\nVersion=9\n", 1},  // the first key wins
        {"[General]\nAuthor=a\n[General]\nVersion=9\n", 0},  // only the first section is searched
        {"[General]\n;Version=9\n", 0},
        {"Version=9\n[General]\n", 0},  // before any section
        {"[General]\nVersion=9\xE9\n", 0},  // not UTF-8, and no number
        {"<html><title>Version 7</title></html>", 0},
    };
    for (const auto& [text, version] : rows) {
        SCOPED_TRACE(text.toStdString());
        const QString path = dir.filePath("same.lng");
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
        f.close();
        TLanguage language;
        language.SetFileName(path.toStdString());
        EXPECT_DOUBLE_EQ(LanguageFileVersion(text), version);
        EXPECT_DOUBLE_EQ(LanguageFileVersion(path), version);
        EXPECT_EQ(LanguageFileProblem(text).isEmpty(),
                  !QString::fromStdString(language.GetVersion()).trimmed().isEmpty());
    }
}

TEST_F(LanguageFiles, AnInstallKeepsTheHigherVersionAndLeavesNothingElse) {
    const QString installed = put("German.lng", "1.0");
    const auto download = [](const char* v) { return QByteArray("[General]\nVersion=") + v + "\n"; };
    EXPECT_EQ(InstallLanguageFile(installed, download("1.1"), installed), InstallResult::Installed);
    EXPECT_EQ(text(installed), "[General]\nVersion=1.1\n");
    // Equal or lower: the installed file stays.
    for (const char* v : {"1.1", "0.9", "x"}) {
        EXPECT_EQ(InstallLanguageFile(installed, download(v), installed), InstallResult::NotNewer) << v;
        EXPECT_EQ(text(installed), "[General]\nVersion=1.1\n");
    }
    // Installed elsewhere: the newer download goes to the target beside none.
    const QString target = dir.filePath("mine/German.lng");
    QDir().mkpath(dir.filePath("mine"));
    EXPECT_EQ(InstallLanguageFile(installed, download("1.0"), target), InstallResult::NotNewer);
    EXPECT_FALSE(QFile::exists(target));
    EXPECT_EQ(InstallLanguageFile(installed, download("2"), target), InstallResult::Installed);
    EXPECT_EQ(text(target), "[General]\nVersion=2\n");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList{"German.lng", "mine"}));
    EXPECT_EQ(QDir(dir.filePath("mine")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"German.lng"});
    // A target that cannot be written: the system's reason comes back, nothing is made.
    QString reason;
    EXPECT_EQ(InstallLanguageFile({}, download("5"), dir.filePath("no/such/folder/x.lng"), &reason),
              InstallResult::Failed);
    EXPECT_EQ(reason, "No such file or directory");
    EXPECT_FALSE(QFile::exists(dir.filePath("no")));
}

TEST_F(LanguageFiles, ALanguageFileHasAVersionInItsGeneralSectionAndFitsTheReadLimit) {
    EXPECT_EQ(LanguageFileProblem("[General]\nVersion=1.5\n"), "");
    EXPECT_EQ(LanguageFileProblem("[General]\nVersion=beta\n"), "") << "a version, if not a number (it counts as 0)";
    for (const char* text : {"<html><head><title>Not found</title></head><body>404</body></html>",
                             "[General]\nAuthor=Someone\n", "[General]\nVersion=  \n", "[Other]\nVersion=1\n", ""}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(LanguageFileProblem(text), "This is no language file: it has no [General] section with a Version.");
    }
    // As large as a language file is read, and one byte more.
    QByteArray full = "[General]\nVersion=2\n[Pad]\nX=";
    full += QByteArray(kMaxLanguageFileBytes - full.size() - 1, 'x') + "\n";
    ASSERT_EQ(full.size(), kMaxLanguageFileBytes);
    EXPECT_EQ(LanguageFileProblem(full), "");
    EXPECT_EQ(LanguageFileProblem(full + "\n"), "The file is larger than a language file can be.");
}

TEST(VersionPages, TheTitleIsFoundDecodedAndJudged) {
    const struct {
        const char* html;
        const char* title;
        VersionAnswer answer;
    } rows[] = {
        {"<html><head><title>Version 1.0</title></head></html>", "Version 1.0", VersionAnswer::Current},
        {"<TITLE lang=\"en\">\n Version\t1.0 \n</Title>", "Version 1.0", VersionAnswer::Current},
        {"<title>Version 1.0.1</title>", "Version 1.0.1", VersionAnswer::Newer},
        {"<title>Version 2 &amp; &lt;beta&gt; &#233;&#x41;</title>", "Version 2 & <beta> \u00e9A", VersionAnswer::Newer},
        {"<title>version 1.0</title>", "version 1.0", VersionAnswer::Unknown},
        {"<title>Home &bogus; page</title>", "Home &bogus; page", VersionAnswer::Unknown},
        {"<titles>Version 1.0</titles>", "", VersionAnswer::Unknown},
        {"<title>Version 1.0", "", VersionAnswer::Unknown},
        {"", "", VersionAnswer::Unknown},
        // The encoding the page names.
        {"<meta charset=\"windows-1252\"><title>Version 2 \xe9t\xe9</title>", "Version 2 \u00e9t\u00e9",
         VersionAnswer::Newer},
    };
    for (const auto& r : rows) {
        const QString title = ExtractHtmlTitle(QByteArray(r.html));
        EXPECT_EQ(title, QString::fromUtf8(r.title)) << r.html;
        EXPECT_EQ(JudgeVersionTitle(title), r.answer) << r.html;
    }
}

TEST(SavedMainWindow, ComesBackInsideTheFreeAreaOfAScreen) {
    const QList<QRect> screens = {{0, 0, 1600, 1000}, {1600, 200, 1024, 740}};
    const struct {
        QRect saved, placed;
    } rows[] = {
        {{100, 80, 900, 600}, {100, 80, 900, 600}},          // fits: kept
        {{-300, -50, 900, 600}, {0, 0, 900, 600}},           // hanging off: moved in
        {{50, 40, 4000, 3000}, {0, 0, 1600, 1000}},          // larger than the screen
        {{9000, 9000, 800, 600}, {800, 400, 800, 600}},      // off every screen: the first
        {{-5000, 200, 800, 600}, {0, 200, 800, 600}},
        {{2000, 300, 900, 600}, {1724, 300, 900, 600}},      // on the second screen, moved into it
        {{1500, 100, 2000, 2000}, {1600, 200, 1024, 740}},   // mostly on the second, too large
    };
    for (const auto& r : rows) EXPECT_EQ(FitWindowToScreens(r.saved, screens), r.placed) << r.saved.x();
    EXPECT_EQ(FitWindowToScreens({1, 2, 3, 4}, {}), QRect(1, 2, 3, 4));
}

TEST_F(MainWindowTest, AMainWindowSavedOffTheScreenComesBackOnIt) {
    Options().MainLeft = 5000;
    Options().MainTop = -4000;
    Options().MainWidth = 3000;
    Options().MainHeight = 2500;
    Options().MainMaximized = false;
    main->SetScreenAreas(nullptr);  // the screen's own
    main->RestoreLayout();
    const QRect avail = main->screen()->availableGeometry();
    EXPECT_TRUE(avail.contains(QRect(main->pos(), main->size()))) << main->x() << ',' << main->y() << ' '
                                                                    << main->width() << 'x' << main->height();
}

}  // namespace
