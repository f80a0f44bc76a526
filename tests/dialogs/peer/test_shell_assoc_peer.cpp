// The desktop associations as the desktop's own tool reads them (gio): the
// cursor types open with our entry while associated, and with the handler of
// before once undone, whatever else was asked for in between. The user's
// folders are a temporary folder throughout.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "dialogs/ShellAssoc.h"

namespace velto::test {
namespace {

class ShellAssocPeerTest : public ::testing::Test {
protected:
    void SetUp() override {
        gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
        if (gio.isEmpty()) GTEST_SKIP() << "gio (libglib2.0-bin) is not installed";
        ASSERT_TRUE(dir.isValid());
        paths.applications = dir.filePath("data/applications");
        paths.mimeApps = dir.filePath("config/mimeapps.list");
        paths.undoFile = dir.filePath("config/Velto/associations.cfg");
        QDir().mkpath(paths.applications);
        QDir().mkpath(dir.filePath("config"));
        // Another handler of both cursor types, the user's default before.
        writeFile(paths.applications + "/viewer.desktop",
                  "[Desktop Entry]\nType=Application\nName=Viewer\nExec=/bin/true %f\n"
                  "MimeType=image/x-win-bitmap;application/x-navi-animation;\n");
        writeFile(paths.mimeApps, "[Default Applications]\nimage/x-win-bitmap=viewer.desktop;\n");
    }
    static void writeFile(const QString& path, const QByteArray& text) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    // gio's default handler of a type ("" when it names none).
    QString handler(const QString& mime) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath("data"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath("config"));
        // Only the entries here: none installed on the machine.
        env.insert(QStringLiteral("XDG_DATA_DIRS"), dir.filePath("none"));
        env.insert(QStringLiteral("XDG_CONFIG_DIRS"), dir.filePath("none"));
        p.setProcessEnvironment(env);
        p.start(gio, {QStringLiteral("mime"), mime});
        EXPECT_TRUE(p.waitForFinished(30000));
        for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split('\n'))
            if (line.startsWith(QStringLiteral("Default application"))) return line.section(QStringLiteral(": "), 1).trimmed();
        return {};
    }

    QString gio;
    QTemporaryDir dir;
    TAssocPaths paths;
    // gio lists an entry only when its program exists.
    const QString program = QStringLiteral("/bin/true");
};

TEST_F(ShellAssocPeerTest, TheDesktopOpensCursorsWithUsWhileAssociatedOnly) {
    using Act = void (*)(const QString& program, const TAssocPaths& paths);
    struct Step {
        const char* name;
        Act act;
        const char* curDefault;  // gio's default for .cur
        const char* aniDefault;  // and for .ani
    };
    const Step steps[] = {
        {"before", [](const QString&, const TAssocPaths&) {}, "viewer.desktop", ""},
        {"cur associated", [](const QString& p, const TAssocPaths& a) { AssociateFileType(akCursor, p, a); },
         "velto.desktop", ""},
        {"ani associated", [](const QString& p, const TAssocPaths& a) { AssociateFileType(akAnimated, p, a); },
         "velto.desktop", "velto.desktop"},
        {"open with", [](const QString& p, const TAssocPaths& a) { RegisterOpenWith(p, a); }, "velto.desktop",
         "velto.desktop"},
        {"cur undone", [](const QString&, const TAssocPaths& a) { RestoreFileType(akCursor, a); }, "viewer.desktop",
         "velto.desktop"},
        {"all undone",
         [](const QString&, const TAssocPaths& a) {
             UnregisterOpenWith(a);
             RestoreFileType(akAnimated, a);
         },
         "viewer.desktop", ""},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.act(program, paths);
        EXPECT_EQ(handler(AssocMimeType(akCursor)), QLatin1String(step.curDefault));
        EXPECT_EQ(handler(AssocMimeType(akAnimated)), QLatin1String(step.aniDefault));
    }
    EXPECT_FALSE(QFile::exists(paths.DesktopFile()));
}

}  // namespace
}  // namespace velto::test
