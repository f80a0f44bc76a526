// The desktop associations behind the preferences: the user's desktop entry,
// the default handlers in mimeapps.list and the handlers kept for undoing,
// written only when asked and undone without leaving anything of ours behind.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include <map>
#include <string>

#include "dialogs/ShellAssoc.h"
#include "platform/IniFile.h"

namespace velto::test {
namespace {

class ShellAssocTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        paths.applications = dir.filePath("data/applications");
        paths.mimeApps = dir.filePath("config/mimeapps.list");
        paths.undoFile = dir.filePath("config/Velto/associations.cfg");
    }
    void writeMimeApps(const QByteArray& text) const {
        QDir().mkpath(dir.filePath("config"));
        QFile f(paths.mimeApps);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QString readFile(const QString& path) const {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    std::string defaultFor(int kind) const {
        IniFile ini;
        if (!ini.LoadFromFile(paths.mimeApps.toStdString())) return "<none>";
        if (!ini.ValueExists("Default Applications", AssocMimeType(kind).toStdString())) return "<none>";
        return ini.ReadString("Default Applications", AssocMimeType(kind).toStdString(), "");
    }
    std::string kept(int kind) const {
        IniFile ini;
        if (!ini.LoadFromFile(paths.undoFile.toStdString())) return "<none>";
        if (!ini.ValueExists("UndoClass", AssocMimeType(kind).toStdString())) return "<none>";
        return ini.ReadString("UndoClass", AssocMimeType(kind).toStdString(), "");
    }
    bool entryExists() const { return QFile::exists(paths.DesktopFile()); }

    QTemporaryDir dir;
    TAssocPaths paths;
    const QString program = QStringLiteral("/opt/velto/bin/velto");
};

TEST(ShellAssocText, TheCommandLineQuotesThePathAndEscapesWhatTheEntryReserves) {
    struct Row {
        const char* name;
        const char* path;
        const char* command;  // as the desktop runs it
        const char* stored;   // as written after "Exec="
    };
    const Row rows[] = {
        {"plain", "/usr/bin/velto", "\"/usr/bin/velto\" %F", "\"/usr/bin/velto\" %F"},
        {"blank", "/opt/my apps/velto", "\"/opt/my apps/velto\" %F", "\"/opt/my apps/velto\" %F"},
        {"percent", "/opt/100%/velto", "\"/opt/100%%/velto\" %F", "\"/opt/100%%/velto\" %F"},
        {"quote and dollar", "/opt/a\"b$c/velto", "\"/opt/a\\\"b\\$c/velto\" %F", "\"/opt/a\\\\\"b\\\\$c/velto\" %F"},
        {"backslash and backtick", "/opt/a\\b`c", "\"/opt/a\\\\b\\`c\" %F", "\"/opt/a\\\\\\\\b\\\\`c\" %F"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(AssocCommandLine(QString::fromUtf8(row.path)).toStdString(), row.command);
        EXPECT_EQ(DesktopExecValue(QString::fromUtf8(row.path)).toStdString(), row.stored);
    }
    EXPECT_EQ(AssocMimeType(akCursor), "image/x-win-bitmap");
    EXPECT_EQ(AssocMimeType(akAnimated), "application/x-navi-animation");
}

TEST_F(ShellAssocTest, AssociatingKeepsTheFirstHandlerAndRestoringGivesItBack) {
    writeMimeApps("[Default Applications]\nimage/x-win-bitmap=gimp.desktop;\ntext/plain=gedit.desktop;\n");
    EXPECT_FALSE(IsFileTypeAssociated(akCursor, paths));
    AssociateFileType(akCursor, program, paths);
    EXPECT_TRUE(IsFileTypeAssociated(akCursor, paths));
    EXPECT_EQ(defaultFor(akCursor), "velto.desktop;");
    EXPECT_EQ(kept(akCursor), "gimp.desktop;");
    // Again: ours is never kept as the one before.
    AssociateFileType(akCursor, program, paths);
    EXPECT_EQ(kept(akCursor), "gimp.desktop;");
    const QString entry = readFile(paths.DesktopFile());
    EXPECT_TRUE(entry.contains("Exec=\"/opt/velto/bin/velto\" %F\n")) << entry.toStdString();
    EXPECT_TRUE(entry.contains("image/x-win-bitmap;")) << entry.toStdString();
    EXPECT_FALSE(entry.contains("application/octet-stream"));

    RestoreFileType(akCursor, paths);
    EXPECT_FALSE(IsFileTypeAssociated(akCursor, paths));
    EXPECT_EQ(defaultFor(akCursor), "gimp.desktop;");
    EXPECT_EQ(kept(akCursor), "<none>");
    EXPECT_FALSE(entryExists());
    EXPECT_FALSE(QFile::exists(paths.undoFile));
    // The user's other defaults are untouched.
    IniFile ini;
    ASSERT_TRUE(ini.LoadFromFile(paths.mimeApps.toStdString()));
    EXPECT_EQ(ini.ReadString("Default Applications", "text/plain", ""), "gedit.desktop;");
}

TEST_F(ShellAssocTest, RestoringWithoutAKeptHandlerLeavesTheTypeToTheSystem) {
    struct Row {
        const char* name;
        QByteArray mimeApps;  // before associating ("" : no file)
        QByteArray undo;      // a kept handler written by hand (empty: none)
    };
    const Row rows[] = {
        {"no file before", "", ""},
        {"no default before", "[Added Associations]\nimage/png=eog.desktop;\n", ""},
        {"kept handler empty", "", "[UndoClass]\napplication/x-navi-animation=\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QDir(dir.path()).removeRecursively();
        QDir().mkpath(dir.path());
        if (!row.mimeApps.isEmpty()) writeMimeApps(row.mimeApps);
        AssociateFileType(akAnimated, program, paths);
        if (!row.undo.isEmpty()) {
            QDir().mkpath(QFileInfo(paths.undoFile).absolutePath());
            QFile f(paths.undoFile);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(row.undo);
        }
        ASSERT_TRUE(IsFileTypeAssociated(akAnimated, paths));
        RestoreFileType(akAnimated, paths);
        EXPECT_FALSE(IsFileTypeAssociated(akAnimated, paths));
        EXPECT_EQ(defaultFor(akAnimated), "<none>");
        EXPECT_FALSE(entryExists());
    }
}

TEST_F(ShellAssocTest, EachKindAndTheOpenWithChoiceAreUndoneOnTheirOwn) {
    AssociateFileType(akCursor, program, paths);
    AssociateFileType(akAnimated, program, paths);
    RegisterOpenWith(program, paths);
    EXPECT_TRUE(IsOpenWithRegistered(program, paths));
    EXPECT_TRUE(readFile(paths.DesktopFile()).contains("MimeType=application/octet-stream;image/x-win-bitmap;"));

    // Undoing one kind leaves the other one working: the entry stays.
    RestoreFileType(akCursor, paths);
    EXPECT_FALSE(IsFileTypeAssociated(akCursor, paths));
    EXPECT_TRUE(IsFileTypeAssociated(akAnimated, paths));
    EXPECT_TRUE(entryExists());
    // The entry no longer offers itself for every file, but still handles ".ani".
    UnregisterOpenWith(paths);
    EXPECT_FALSE(IsOpenWithRegistered(program, paths));
    EXPECT_TRUE(entryExists());
    EXPECT_FALSE(readFile(paths.DesktopFile()).contains("octet-stream"));
    RestoreFileType(akAnimated, paths);
    EXPECT_FALSE(entryExists());

    // The open-with choice alone, on and off.
    SetOpenWith(program, true, paths);
    EXPECT_TRUE(IsOpenWithRegistered(program, paths));
    SetOpenWith(program, false, paths);
    EXPECT_FALSE(entryExists());
}

TEST_F(ShellAssocTest, ReadBacksFollowTheProgramAndIgnoreWhatIsNotOurs) {
    RegisterOpenWith(program, paths);
    EXPECT_TRUE(IsOpenWithRegistered(program, paths));
    // The program moved: the entry names the old place.
    EXPECT_FALSE(IsOpenWithRegistered(QStringLiteral("/home/me/velto"), paths));

    // Another program's default is not ours, and restoring leaves it alone.
    writeMimeApps("[Default Applications]\nimage/x-win-bitmap=gimp.desktop;velto.desktop;\n");
    EXPECT_FALSE(IsFileTypeAssociated(akCursor, paths));
    RestoreFileType(akCursor, paths);
    EXPECT_EQ(defaultFor(akCursor), "gimp.desktop;velto.desktop;");
    SetFileTypeAssociation(akAnimated, program, false, paths);
    EXPECT_EQ(defaultFor(akAnimated), "<none>");
    EXPECT_TRUE(IsOpenWithRegistered(program, paths));
}

TEST_F(ShellAssocTest, NothingIsWrittenWhereTheFoldersCannotBeWritten) {
    EXPECT_TRUE(CanWriteClassesRoot(paths));
    // A file where a folder should be: nothing can go below it.
    QFile blocker(dir.filePath("blocked"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    TAssocPaths blocked = paths;
    blocked.applications = dir.filePath("blocked/applications");
    EXPECT_FALSE(CanWriteClassesRoot(blocked));
    TAssocPaths unknown;
    EXPECT_FALSE(CanWriteClassesRoot(unknown));

    writeMimeApps("[Default Applications]\nimage/x-win-bitmap=gimp.desktop;\n");
    AssociateFileType(akCursor, program, blocked);
    RegisterOpenWith(program, blocked);
    // The default never names an entry that could not be written.
    EXPECT_EQ(defaultFor(akCursor), "gimp.desktop;");
    EXPECT_FALSE(IsOpenWithRegistered(program, blocked));
    AssociateFileType(akCursor, program, unknown);
    EXPECT_EQ(defaultFor(akCursor), "gimp.desktop;");
}

TEST_F(ShellAssocTest, AMimeAppsFileThatCannotBeReadIsNeverRewritten) {
    // A folder in the file's place: it can't be read, so it is not replaced.
    QDir().mkpath(paths.mimeApps);
    AssociateFileType(akCursor, program, paths);
    EXPECT_TRUE(QFileInfo(paths.mimeApps).isDir());
    EXPECT_FALSE(IsFileTypeAssociated(akCursor, paths));
    EXPECT_FALSE(CanWriteClassesRoot(paths));
}

// The files below a folder, by path relative to it, with their contents.
std::map<QString, QByteArray> FilesBelow(const QString& root) {
    std::map<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        files[QDir(root).relativeFilePath(path)] = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("?");
    }
    return files;
}

// The places the preferences use by default: the user's folders as the
// environment names them (here a temporary folder), and every change undone
// leaves the user's files as they were.
TEST_F(ShellAssocTest, TheUsersFoldersAreLeftAsTheyWereOnceEverythingIsUndone) {
    const QByteArray oldData = qgetenv("XDG_DATA_HOME"), oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_DATA_HOME", dir.filePath("data").toUtf8());
    qputenv("XDG_CONFIG_HOME", dir.filePath("config").toUtf8());
    const TAssocPaths home = TAssocPaths::Default();
    EXPECT_EQ(home.applications, paths.applications);
    EXPECT_EQ(home.mimeApps, paths.mimeApps);
    EXPECT_EQ(home.undoFile, paths.undoFile);

    struct Row {
        const char* name;
        QByteArray mimeApps;  // the user's file before ("": none)
        bool cache;           // the folder of entries holds a cache of them
    };
    const Row rows[] = {
        {"nothing before", "", false},
        {"other handlers, comments and sections",
         "# mine\n[Default Applications]\nimage/x-win-bitmap=gimp.desktop;\ntext/plain=gedit.desktop;\n\n"
         "[Added Associations]\napplication/x-navi-animation=eog.desktop;\n",
         false},
        {"a cache of entries", "[Default Applications]\napplication/x-navi-animation=eog.desktop;\n", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QDir(dir.path()).removeRecursively();
        QDir().mkpath(paths.applications);
        if (!row.mimeApps.isEmpty()) writeMimeApps(row.mimeApps);
        if (row.cache) {
            QFile cache(paths.applications + "/mimeinfo.cache");
            ASSERT_TRUE(cache.open(QIODevice::WriteOnly));
            cache.write("[MIME Cache]\n");
        }
        const auto before = FilesBelow(dir.path());
        SetFileTypeAssociation(akCursor, program, true);
        SetFileTypeAssociation(akAnimated, program, true);
        SetOpenWith(program, true);
        EXPECT_TRUE(IsFileTypeAssociated(akCursor));
        EXPECT_TRUE(IsFileTypeAssociated(akAnimated));
        EXPECT_TRUE(IsOpenWithRegistered(program));
        // No cache of entries is made where there was none.
        EXPECT_EQ(QFile::exists(paths.applications + "/mimeinfo.cache"), row.cache);
        SetFileTypeAssociation(akCursor, program, false);
        SetOpenWith(program, false);
        SetFileTypeAssociation(akAnimated, program, false);
        auto after = FilesBelow(dir.path());
        // A cache that was there is kept in step with the entries (rebuilt
        // where the desktop's tool for it is installed).
        if (row.cache) {
            EXPECT_FALSE(after["data/applications/mimeinfo.cache"].contains("velto.desktop"));
            after["data/applications/mimeinfo.cache"] = before.at("data/applications/mimeinfo.cache");
        }
        // Only the line ends of a rewritten file may differ: none here.
        EXPECT_EQ(after, before);
    }
    qputenv("XDG_DATA_HOME", oldData);
    qputenv("XDG_CONFIG_HOME", oldConfig);
    if (oldData.isEmpty()) qunsetenv("XDG_DATA_HOME");
    if (oldConfig.isEmpty()) qunsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace velto::test
