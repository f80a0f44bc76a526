// The language window and the update check against the test web server on
// loopback: pages that load, fail, stall or are garbage; downloads that are
// new, newer, older, hostile, cut off, partial, redirected, no language
// file, too large or refused by the server; names in any letters; version
// pages with every kind of title, one that never answers, one that trickles
// and a host that cannot be found; one deadline and one page limit for every
// request, its connection closed by its end; closed windows end theirs.
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QMenu>
#include <QSignalSpy>
#include <QTextBrowser>

#include <tuple>

#include "LocalWebServer.h"
#include "MainWindowFixture.h"
#include "shell/DownloadRules.h"
#include "shell/FormLanguage.h"
#include "shell/FormUpdate.h"
#include "shell/MainWindowText.h"
#include "shell/WebPages.h"

using namespace velto;
using velto::test::LocalWebServer;

namespace {

constexpr int kShortTimeout = 400;  // ms; the slow answer never comes

const char kListPage[] =
    "<html><head><title>Languages</title></head><body><h1>Language files</h1>"
    "<a href=\"German.lng\">German</a> <a href=\"more.html\">More languages</a></body></html>";

QByteArray LanguageFile(const char* version, const char* untitled = "Unbenannt") {
    return QByteArray("[General]\nAuthor=Tester\nVersion=") + version + "\n[MSG]\nmsgUntitled=" + untitled + "\n";
}

class NetworkWindowTest : public velto::test::MainWindowTest {
protected:
    void SetUp() override {
        QString why;
        server = LocalWebServer::Get(&why);
        if (!server) GTEST_SKIP() << "no local web server: " << why.toStdString();
        MainWindowTest::SetUp();
        SetMessageSink([this](const MessageRequest& r) {
            messages << QString::fromStdString(r.text);
            return answer;
        });
        SetUrlOpener([this](const QUrl& url) {
            opened << url.toString();
            return true;
        });
        folder = dir.filePath("languages");
        QDir().mkpath(folder);
        errorPage = dir.filePath("Error.html");
        QFile f(errorPage);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("<html><body>Local error page</body></html>");
        f.close();
        server->Put("velto/v1_0/languages.html", kListPage);
        server->Put("velto/v1_0/more.html", "<html><body>More to come</body></html>");
        server->Put("velto/v1_0/German.lng", LanguageFile("1.5"));
        useServer();
    }
    void TearDown() override {
        SetWebServer({});
        SetUrlOpener(nullptr);
        if (server) MainWindowTest::TearDown();
    }
    void useServer(const QString& mode = {}) { SetWebServer(server->Base(mode)); }

    TfrmLanguage* languageWindow() {
        auto* w = qobject_cast<TfrmLanguage*>(main->Forms().Form("frmLanguage"));
        EXPECT_NE(w, nullptr);
        w->SetErrorPage(errorPage);
        w->SetTransferTimeout(kShortTimeout);
        return w;
    }
    // Shows the window and waits for its first page (or the error page).
    TfrmLanguage* openLanguageWindow() {
        TfrmLanguage* w = languageWindow();
        QSignalSpy spy(w, &TfrmLanguage::navigated);
        w->show();
        EXPECT_TRUE(spy.wait(10000));
        return w;
    }
    // A click on a link of the shown page; waits for its end.
    void click(TfrmLanguage* w, const QString& link) {
        QSignalSpy spy(w, &TfrmLanguage::navigated);
        emit w->Browser()->anchorClicked(QUrl(link));
        // A refused link ends at once, before the wait.
        ASSERT_TRUE(!spy.isEmpty() || spy.wait(10000)) << link.toStdString();
    }
    // The names in the language folder, hidden ones too.
    QStringList folderFiles() const {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    QByteArray read(const QString& name) const {
        QFile f(QDir(folder).filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void install(const QString& name, const QByteArray& text) {
        QFile f(QDir(folder).filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }

    LocalWebServer* server = nullptr;
    QString folder, errorPage;
    QStringList opened;
    int answer = idYes;
};

// ---------------------------------------------------------------- the list page

TEST_F(NetworkWindowTest, TheListPageShowsAndItsLinksNavigate) {
    TfrmLanguage* w = openLanguageWindow();
    EXPECT_EQ(w->State(), TfrmLanguage::Showing::Page);
    EXPECT_EQ(w->CurrentUrl(), WebPageUrl(kLanguagesPage));
    EXPECT_TRUE(w->Browser()->toPlainText().contains("Language files"));
    // A relative link is taken from the page's own address.
    click(w, "more.html");
    EXPECT_EQ(w->State(), TfrmLanguage::Showing::Page);
    EXPECT_TRUE(w->Browser()->toPlainText().contains("More to come"));
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(messages.isEmpty());
    // An upper-case extension is a page like any other: here a missing one.
    click(w, "German.LNG");
    EXPECT_EQ(w->State(), TfrmLanguage::Showing::ErrorPage);
    EXPECT_TRUE(folderFiles().isEmpty());
}

TEST_F(NetworkWindowTest, AListPageThatFailsGivesWayToTheLocalErrorPage) {
    for (const char* mode : {"404", "500", "slow", "malformed"}) {
        SCOPED_TRACE(mode);
        useServer(mode);
        TfrmLanguage* w = openLanguageWindow();
        EXPECT_EQ(w->State(), TfrmLanguage::Showing::ErrorPage);
        EXPECT_EQ(w->CurrentUrl(), QUrl::fromLocalFile(errorPage));
        EXPECT_TRUE(w->Browser()->toPlainText().contains("Local error page"));
        EXPECT_FALSE(w->Browser()->toPlainText().contains("Error 404"));  // the server's page is not shown
        w->hide();
    }
    EXPECT_TRUE(messages.isEmpty());
    // Without the local page a text of the program's own stands in.
    useServer("404");
    TfrmLanguage* w = languageWindow();
    w->SetErrorPage(dir.filePath("missing/Error.html"));
    QSignalSpy spy(w, &TfrmLanguage::navigated);
    w->show();
    ASSERT_TRUE(spy.wait(10000));
    EXPECT_EQ(w->State(), TfrmLanguage::Showing::ErrorPage);
    EXPECT_TRUE(w->Browser()->toPlainText().contains("could not be loaded"));
    // So it does for a local page that is no file to read: a FIFO would
    // block the window for ever, a /proc entry shows what is not a page.
    const QString fifo = dir.filePath("Error-fifo.html");
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    for (const QString& page : {fifo, QStringLiteral("/proc/self/status")}) {
        SCOPED_TRACE(page.toStdString());
        w->hide();
        w->SetErrorPage(page);
        QSignalSpy again(w, &TfrmLanguage::navigated);
        w->show();
        ASSERT_TRUE(again.wait(10000));
        EXPECT_EQ(w->State(), TfrmLanguage::Showing::ErrorPage);
        EXPECT_TRUE(w->Browser()->toPlainText().contains("could not be loaded"));
        EXPECT_FALSE(w->Browser()->toPlainText().contains("Pid"));
    }
}

// ---------------------------------------------------------------- downloads

TEST_F(NetworkWindowTest, ANewLanguageIsDownloadedAndChosenOnYes) {
    TfrmLanguage* w = openLanguageWindow();
    click(w, "German.lng");
    EXPECT_EQ(messages, QStringList{"Download successful. Change language to German ?"});
    EXPECT_EQ(folderFiles(), QStringList{"German.lng"});
    EXPECT_EQ(read("German.lng"), LanguageFile("1.5"));
    EXPECT_EQ(Options().Language, "German");
    // The Languages menu lists it, checked, and the program speaks it.
    const QList<QAction*> items = main->LanguagesMenu()->actions();
    ASSERT_FALSE(items.isEmpty());
    EXPECT_EQ(items.last()->property("languageName").toString(), "German");
    EXPECT_TRUE(items.last()->isChecked());
    EXPECT_EQ(Msg("msgUntitled", "Untitled"), "Unbenannt");
    EXPECT_FALSE(w->isVisible());  // the window closes after a download
}

TEST_F(NetworkWindowTest, NoKeepsTheLanguageInUse) {
    answer = idNo;
    Options().Language = "English";
    TfrmLanguage* w = openLanguageWindow();
    click(w, "German.lng");
    EXPECT_EQ(read("German.lng"), LanguageFile("1.5"));
    EXPECT_EQ(Options().Language, "English");
    // Listed in the Languages menu, not chosen.
    const QList<QAction*> items = main->LanguagesMenu()->actions();
    ASSERT_FALSE(items.isEmpty());
    EXPECT_EQ(items.last()->property("languageName").toString(), "German");
    EXPECT_FALSE(items.last()->isChecked());
    EXPECT_EQ(Msg("msgUntitled", "Untitled"), "Untitled");
}

TEST_F(NetworkWindowTest, AnInstalledLanguageIsReplacedOnlyByAHigherVersion) {
    const struct {
        const char* installed;
        bool replaced;
    } rows[] = {{"1.0", true}, {"1.5", false}, {"2", false}, {"", true}, {"not a number", true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.installed);
        messages.clear();
        install("German.lng", LanguageFile(row.installed, "Alt"));
        TfrmLanguage* w = openLanguageWindow();
        click(w, "German.lng");
        EXPECT_EQ(read("German.lng"), row.replaced ? LanguageFile("1.5") : LanguageFile(row.installed, "Alt"));
        EXPECT_EQ(messages, QStringList{row.replaced ? "Download successful. Change language to German ?"
                                                     : "You already have the latest version of the language file."});
        EXPECT_EQ(folderFiles(), QStringList{"German.lng"});  // nothing of the download is left
    }
}

TEST_F(NetworkWindowTest, AFileOfAnotherFolderIsComparedAndTheNewerOneGoesToTheUsersFolder) {
    // Installed with the program (read first), newer on the server.
    const QString shipped = dir.filePath("shipped");
    QDir().mkpath(shipped);
    QFile f(shipped + "/German.lng");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(LanguageFile("1.0"));
    f.close();
    main->SetLanguageFolders({shipped, folder});
    TfrmLanguage* w = openLanguageWindow();
    click(w, "German.lng");
    EXPECT_EQ(read("German.lng"), LanguageFile("1.5"));
    // An older one on the server does not come in beside it.
    server->Put("velto/v1_0/Old.lng", LanguageFile("0.5"));
    QFile old(shipped + "/Old.lng");
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(LanguageFile("0.9"));
    old.close();
    messages.clear();
    w = openLanguageWindow();
    click(w, "Old.lng");
    EXPECT_EQ(messages, QStringList{"You already have the latest version of the language file."});
    EXPECT_EQ(folderFiles(), QStringList{"German.lng"});
}

TEST_F(NetworkWindowTest, HostileNamesAreRefusedAndNothingIsWritten) {
    server->Put("x.lng", LanguageFile("3"));
    server->Put("velto/v1_0/a/b.lng", LanguageFile("3"));
    for (const char* link : {"..%2Fx.lng", "a%2Fb.lng", ".lng", "..%2F..%2F..%2Fx.lng", "%2E%2E%2Fx.lng",
                             "bad%5Cname.lng", "a%00.lng"}) {
        SCOPED_TRACE(link);
        messages.clear();
        TfrmLanguage* w = openLanguageWindow();
        click(w, link);
        ASSERT_EQ(messages.size(), 1);
        EXPECT_TRUE(messages[0].startsWith("Error downloading language file!"));
        EXPECT_TRUE(folderFiles().isEmpty());
        EXPECT_FALSE(QFile::exists(dir.filePath("x.lng")));
    }
}

TEST_F(NetworkWindowTest, AFailedDownloadKeepsTheInstalledFileAndLeavesNoTemporaryFile) {
    // Cut off halfway, an error page, an empty answer, a server that stalls,
    // garbage, more than any language file.
    for (const char* mode : {"cut", "404", "500", "empty", "slow", "malformed", "big"}) {
        SCOPED_TRACE(mode);
        messages.clear();
        install("German.lng", LanguageFile("1.0", "Alt"));
        TfrmLanguage* w = openLanguageWindow();
        QSignalSpy spy(w, &TfrmLanguage::navigated);
        w->Navigate(QUrl(server->Base(mode) + "/velto/v1_0/German.lng"));
        ASSERT_TRUE(spy.wait(10000));
        ASSERT_EQ(messages.size(), 1);
        EXPECT_TRUE(messages[0].startsWith("Error downloading language file!\n")) << messages[0].toStdString();
        EXPECT_EQ(read("German.lng"), LanguageFile("1.0", "Alt"));
        EXPECT_EQ(folderFiles(), QStringList{"German.lng"});
    }
    // Not installed before: no file at all afterwards.
    QFile::remove(QDir(folder).filePath("German.lng"));
    TfrmLanguage* w = openLanguageWindow();
    QSignalSpy spy(w, &TfrmLanguage::navigated);
    w->Navigate(QUrl(server->Base("cut") + "/velto/v1_0/German.lng"));
    ASSERT_TRUE(spy.wait(10000));
    EXPECT_TRUE(folderFiles().isEmpty());
}

// A download is kept in memory and written as any file of the program: while
// it runs (when the program may be killed) nothing of it is in the folder,
// nor after it was dropped half way; once installed, the file is the only
// one there and has the bits of the file it replaced, or a new file's.
TEST_F(NetworkWindowTest, ADownloadLeavesOnlyTheInstalledFileWithTheBitsOfTheOneItReplaces) {
    install("German.lng", LanguageFile("1.0", "Alt"));
    TfrmLanguage* w = openLanguageWindow();
    server->Forget();
    w->Navigate(QUrl(server->Base("trickle") + "/velto/v1_0/German.lng"));
    EXPECT_EQ(folderFiles(), QStringList{"German.lng"});
    auto* job = w->findChild<TLanguageDownload*>();
    ASSERT_NE(job, nullptr);
    ASSERT_TRUE(server->Saw("OPEN /trickle/velto/v1_0/German.lng", 10000));
    EXPECT_EQ(folderFiles(), QStringList{"German.lng"});
    delete job;
    w->hide();
    EXPECT_EQ(folderFiles(), QStringList{"German.lng"});
    EXPECT_EQ(read("German.lng"), LanguageFile("1.0", "Alt"));
    EXPECT_TRUE(messages.isEmpty());

    const auto bits = [&](const char* name) {
        struct stat st {};
        EXPECT_EQ(::stat(QDir(folder).filePath(name).toLocal8Bit().constData(), &st), 0) << name;
        return st.st_mode & 07777;
    };
    const mode_t mask = ::umask(022);
    ASSERT_EQ(::chmod(QDir(folder).filePath("German.lng").toLocal8Bit().constData(), 0640), 0);
    server->Put("velto/v1_0/Dansk.lng", LanguageFile("1"));
    answer = idNo;
    for (const char* link : {"German.lng", "Dansk.lng"}) {
        SCOPED_TRACE(link);
        messages.clear();
        click(openLanguageWindow(), link);
        EXPECT_TRUE(messages.size() == 1 && messages[0].startsWith("Download successful."))
            << messages.join('|').toStdString();
    }
    ::umask(mask);
    EXPECT_EQ(read("German.lng"), LanguageFile("1.5"));
    EXPECT_EQ(folderFiles(), (QStringList{"Dansk.lng", "German.lng"}));
    EXPECT_EQ(bits("German.lng"), 0640u);
    EXPECT_EQ(bits("Dansk.lng"), 0644u);
}

// Root writes through permission bits. For a while this thread alone (the
// GUI thread, where downloads are installed) takes an ordinary user's
// identity: the raw system call changes the calling thread only, where the C
// library's would change every thread. Root's saved id brings it back.
class OrdinaryUserOnThisThread {
public:
    OrdinaryUserOnThisThread() {
        if (::geteuid() == 0) dropped_ = ::syscall(SYS_setresuid, 65534, 65534, 0) == 0;
    }
    ~OrdinaryUserOnThisThread() {
        if (dropped_) ::syscall(SYS_setresuid, 0, 0, 0);
    }
    bool Ordinary() const { return ::geteuid() != 0; }

private:
    bool dropped_ = false;
};

TEST_F(NetworkWindowTest, AnInstallTheSystemRefusesSaysWhyAndKeepsTheOldFile) {
    const QString target = QDir(folder).filePath("German.lng");
    const struct {
        const char* trouble;
        QFileDevice::Permissions folder, file;
    } rows[] = {
        {"read-only folder", QFileDevice::Permissions(0x5555), QFileDevice::Permissions(0x6644)},
        {"read-only target", QFileDevice::Permissions(0x7777), QFileDevice::Permissions(0x4444)},
    };
    // The folders above it let anyone through.
    ASSERT_TRUE(QFile::setPermissions(dir.path(), QFileDevice::Permissions(0x7755)));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.trouble);
        messages.clear();
        QFile::setPermissions(target, QFileDevice::Permissions(0x6644));
        install("German.lng", LanguageFile("1.0", "Alt"));
        ASSERT_TRUE(QFile::setPermissions(target, row.file));
        ASSERT_TRUE(QFile::setPermissions(folder, row.folder));
        TfrmLanguage* w = openLanguageWindow();
        {
            OrdinaryUserOnThisThread user;
            if (!user.Ordinary()) {
                QFile::setPermissions(folder, QFileDevice::Permissions(0x7755));
                GTEST_SKIP() << "cannot take an ordinary user's identity here";
            }
            click(w, "German.lng");
        }
        QFile::setPermissions(folder, QFileDevice::Permissions(0x7755));
        EXPECT_EQ(messages, QStringList{"Error downloading language file!\nPermission denied"});
        EXPECT_EQ(read("German.lng"), LanguageFile("1.0", "Alt"));
        EXPECT_EQ(folderFiles(), QStringList{"German.lng"});
    }
}

TEST_F(NetworkWindowTest, AnswersThatAreNoWholeLanguageFileAreRefusedWithTheReason) {
    const struct {
        const char* mode;
        const char* reason;
    } rows[] = {
        {"206", "HTTP status 206"},                      // half of the file
        {"html", "This is no language file"},            // a page served under the name
        {"loop", ""},                                    // redirected for ever
        {"big", "larger than a language file can be"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.mode);
        messages.clear();
        install("German.lng", LanguageFile("1.0", "Alt"));
        TfrmLanguage* w = openLanguageWindow();
        QSignalSpy spy(w, &TfrmLanguage::navigated);
        w->Navigate(QUrl(server->Base(row.mode) + "/velto/v1_0/German.lng"));
        ASSERT_TRUE(spy.wait(10000));
        ASSERT_EQ(messages.size(), 1);
        EXPECT_TRUE(messages[0].startsWith("Error downloading language file!\n")) << messages[0].toStdString();
        EXPECT_TRUE(messages[0].contains(row.reason)) << messages[0].toStdString();
        EXPECT_EQ(read("German.lng"), LanguageFile("1.0", "Alt"));
        EXPECT_EQ(folderFiles(), QStringList{"German.lng"});
    }
    // Redirected to the file itself: taken as any other download.
    messages.clear();
    TfrmLanguage* w = openLanguageWindow();
    QSignalSpy spy(w, &TfrmLanguage::navigated);
    w->Navigate(QUrl(server->Base("redirect") + "/velto/v1_0/German.lng"));
    ASSERT_TRUE(spy.wait(10000));
    EXPECT_EQ(messages, QStringList{"Download successful. Change language to German ?"});
    EXPECT_EQ(read("German.lng"), LanguageFile("1.5"));
}

// A file as large as language files are read is downloaded and read whole;
// one byte more is refused, not installed as a language that reads empty.
TEST_F(NetworkWindowTest, OneLimitForLanguageFilesDownloadedAndRead) {
    QByteArray full = LanguageFile("2", "Riesig") + "[Pad]\nX=";
    full += QByteArray(kMaxLanguageFileBytes - full.size() - 1, 'x') + "\n";
    server->Put("velto/v1_0/Large.lng", full);
    TfrmLanguage* w = openLanguageWindow();
    click(w, "Large.lng");
    EXPECT_EQ(messages, QStringList{"Download successful. Change language to Large ?"});
    EXPECT_EQ(read("Large.lng").size(), kMaxLanguageFileBytes);
    EXPECT_EQ(Msg("msgUntitled", "Untitled"), "Riesig");

    server->Put("velto/v1_0/Larger.lng", full + "\n");
    messages.clear();
    w = openLanguageWindow();
    click(w, "Larger.lng");
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0], "Error downloading language file!\nThe file is larger than a language file can be.");
    EXPECT_EQ(folderFiles(), QStringList{"Large.lng"});
}

TEST_F(NetworkWindowTest, LanguagesNamedInAnyLettersAreDownloadedAndListed) {
    server->Put(QString::fromUtf8("velto/v1_0/Espa\u00f1ol.lng"), LanguageFile("1", "Sin t\u00edtulo"));
    server->Put(QString::fromUtf8("velto/v1_0/Fran\u00e7ais.lng"), LanguageFile("1", "Sans titre"));
    answer = idNo;
    for (const char* link : {"Espa%C3%B1ol.lng", "Fran\u00e7ais.lng"}) {
        SCOPED_TRACE(link);
        messages.clear();
        TfrmLanguage* w = openLanguageWindow();
        click(w, QString::fromUtf8(link));
        ASSERT_EQ(messages.size(), 1);
        EXPECT_TRUE(messages[0].startsWith("Download successful. Change language to ")) << messages[0].toStdString();
    }
    EXPECT_EQ(folderFiles(), (QStringList{QString::fromUtf8("Espa\u00f1ol.lng"), QString::fromUtf8("Fran\u00e7ais.lng")}));
    QStringList listed;
    for (QAction* item : main->LanguagesMenu()->actions()) listed << item->property("languageName").toString();
    EXPECT_TRUE(listed.contains(QString::fromUtf8("Espa\u00f1ol")));
    EXPECT_TRUE(listed.contains(QString::fromUtf8("Fran\u00e7ais")));
}

TEST_F(NetworkWindowTest, ALanguageListPageTooLargeGivesWayToTheErrorPage) {
    useServer("big");
    TfrmLanguage* w = openLanguageWindow();
    EXPECT_EQ(w->State(), TfrmLanguage::Showing::ErrorPage);
    EXPECT_TRUE(w->Browser()->toPlainText().contains("Local error page"));
}

// A byte every 200 ms keeps the silence timeout (here a minute) from firing:
// the deadline ends a language page or download. A page without a length
// ends as soon as the bytes received pass the page limit.
TEST_F(NetworkWindowTest, ALanguageRequestEndsByTheDeadlineOrThePageLimit) {
    TfrmLanguage* w = openLanguageWindow();
    w->SetTransferTimeout(60000);
    for (const auto& [path, deadline, failure] :
         {std::tuple<QString, int, QString>{"/trickle/velto/v1_0/more.html", 300, "Timed out."},
          {"/nolength/velto/v1_0/more.html", 60000, "The page is larger than a page of the server can be."},
          {"/trickle/velto/v1_0/German.lng", 300, "Error downloading language file!\nTimed out."}}) {
        SCOPED_TRACE(path.toStdString());
        w->SetDeadline(deadline);
        QSignalSpy done(w, &TfrmLanguage::navigated);
        w->Navigate(QUrl(server->Base() + path));
        ASSERT_TRUE(done.wait(10000));
        EXPECT_EQ(messages.isEmpty() ? w->Failure() : messages.join('|'), failure);
    }
}

// A closed window's page or download is ended at once, and nothing of it
// comes later (the request's own end included).
TEST_F(NetworkWindowTest, ClosingTheLanguageWindowEndsItsRequests) {
    for (const char* link : {"more.html", "German.lng"}) {
        SCOPED_TRACE(link);
        TfrmLanguage* w = openLanguageWindow();
        QSignalSpy late(w, &TfrmLanguage::navigated);
        server->Forget();
        w->Navigate(QUrl(server->Base("trickle") + "/velto/v1_0/" + link));
        ASSERT_TRUE(server->Saw(QStringLiteral("OPEN /trickle/velto/v1_0/") + link, 10000));
        w->reject();
        EXPECT_TRUE(server->Saw(QStringLiteral("CLOSED /trickle/velto/v1_0/") + link, 1000));
        QCoreApplication::processEvents();
        EXPECT_TRUE(late.isEmpty());
        EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();
    }
}

// Whatever the server sends, a request ends by its deadline, its refusal or its
// window's closing with its connection closed: within a second, before any message.
TEST_F(NetworkWindowTest, EveryRequestEndsWithItsConnectionClosed) {
    enum Ending { ByDeadline, ByRefusal, ByClosing };
    const char *version = "version.html", *page = "v1_0/more.html", *file = "v1_0/German.lng";
    const struct { const char *mode, *path; Ending ending; const char* said; } rows[] = {
        {"endless-header", version, ByRefusal, "version.\nThe server's answer has headers larger than"},
        {"endless-headers", page, ByRefusal, "The server's answer has headers larger than"},
        {"slow-header", version, ByDeadline, "Failed to check version. - Timed out."},
        {"404-endless", file, ByRefusal, "language file!\nError transferring"},
        {"big-endless", version, ByRefusal, "version.\nThe version page is larger than"},
        {"endless", page, ByRefusal, "The page is larger than"},
        {"chunk-extension", version, ByRefusal, "version.\nThe version page is larger than"},  // framing only
        {"chunk-trailer", page, ByRefusal, "The server's answer has headers larger than"},
        {"trickle", file, ByDeadline, "language file!\nTimed out."},
        {"slow-header", page, ByClosing, ""},
        {"slow-header", file, ByClosing, ""},
        {"trickle", version, ByClosing, ""},
    };
    QString closed;
    SetMessageSink([&](const MessageRequest& r) {
        messages << QString::fromStdString(r.text);
        EXPECT_TRUE(server->Saw(closed, 1000)) << "a message while the connection is open";
        return answer;
    });
    for (const auto& row : rows) {
        const QString path = QStringLiteral("/%1/velto/%2").arg(row.mode, row.path);
        SCOPED_TRACE(path.toStdString());
        closed = "CLOSED " + path;
        messages.clear();
        useServer(row.path == version ? row.mode : "");
        const int deadline = row.ending == ByDeadline ? 600 : 30000;
        const auto limit = [&](auto* w) { w->SetTransferTimeout(deadline); w->SetDeadline(deadline); return w; };
        TfrmLanguage* language = row.path == version ? nullptr : limit(openLanguageWindow());
        auto* update = limit(qobject_cast<TfrmUpdate*>(main->Forms().Form("frmUpdate")));
        QDialog* window = language ? static_cast<QDialog*>(language) : update;
        QSignalSpy done(window, language ? SIGNAL(navigated()) : SIGNAL(checked()));
        server->Forget();
        window->show();
        if (language) language->Navigate(QUrl(server->Base() + path));
        else update->CheckForUpdate();  // at once, not after the start delay
        if (row.ending == ByClosing) {
            ASSERT_TRUE(server->Saw("OPEN " + path, 10000));
            window->close();
        } else {  // the window hears of the end only once the connection is closed
            ASSERT_TRUE(done.wait((row.ending == ByDeadline ? deadline : 0) + 1000));
        }
        EXPECT_TRUE(server->Saw(closed, 1000));
        QCoreApplication::processEvents();
        EXPECT_EQ(done.size(), row.ending == ByClosing ? 0 : 1);  // nothing comes after a close
        const QString told = messages.join('|') + (language ? language->Failure() : "");
        EXPECT_TRUE(*row.said ? told.contains(row.said) : told.isEmpty()) << told.toStdString();
        window->hide();
    }
}

TEST_F(NetworkWindowTest, TheDownloadMenuCommandShowsTheWindow) {
    EXPECT_TRUE(act("actMoreLanguages")->isEnabled());
    EXPECT_EQ(main->Forms().Form("frmLanguage")->windowTitle(), "Download Languages");
    EXPECT_EQ(main->Forms().Form("frmUpdate")->windowTitle(), "Check For Update");
}

// ---------------------------------------------------------------- the update check

class UpdateCheckTest : public NetworkWindowTest {
protected:
    // Shows the update window and waits for its answer.
    void check(const QString& mode = {}, int deadlineMs = 10000, int transferTimeoutMs = kShortTimeout) {
        if (!mode.startsWith("http:")) useServer(mode);
        else SetWebServer(mode);
        auto* w = qobject_cast<TfrmUpdate*>(main->Forms().Form("frmUpdate"));
        ASSERT_NE(w, nullptr);
        w->SetStartDelay(0);
        w->SetTransferTimeout(transferTimeoutMs);
        w->SetDeadline(deadlineMs);
        QSignalSpy spy(w, &TfrmUpdate::checked);
        w->show();
        ASSERT_TRUE(spy.wait(std::max(deadlineMs, transferTimeoutMs) + 10000));
        EXPECT_FALSE(w->isVisible());
    }
    void versionPage(const QByteArray& head) {
        server->Put("velto/version.html", "<html><head>" + head + "</head><body>x</body></html>");
    }
};

TEST_F(UpdateCheckTest, TheTitleOfThisVersionMeansNoUpdate) {
    versionPage("<TITLE>\n  Version 1.0 </TITLE>");
    check();
    EXPECT_EQ(messages, QStringList{"There are no new updates available."});
    EXPECT_TRUE(opened.isEmpty());
}

TEST_F(UpdateCheckTest, AnyOtherVersionIsOfferedWithTheWholeTitle) {
    versionPage("<title>Version 1.1 &amp; more</title>");
    check();
    EXPECT_EQ(messages, QStringList{"An update for Velto is available: Velto Version 1.1 & more. Download?"});
    EXPECT_EQ(opened, QStringList{WebPageUrl(kHomePage).toString()});
    // No: nothing opened.
    answer = idNo;
    messages.clear();
    opened.clear();
    check();
    EXPECT_EQ(messages.size(), 1);
    EXPECT_TRUE(opened.isEmpty());
}

TEST_F(UpdateCheckTest, NoVersionInTheTitleOrNoAnswerIsAFailure) {
    versionPage("<title>Welcome</title>");
    check();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith("Failed to check version."));
    messages.clear();
    versionPage("");
    check();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith("Failed to check version."));
    // The 404 page's title names a version, but an error answer counts for nothing.
    messages.clear();
    check("404");
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("404"));
    // A server that never answers: the transfer timeout ends the wait.
    messages.clear();
    check("slow");
    EXPECT_EQ(messages, QStringList{"Failed to check version. - Timed out."});
}

TEST_F(UpdateCheckTest, OnlyAWholeAnswerCounts) {
    // The title of this version in the first half of a page, then more: the
    // half a 206 brings says nothing.
    versionPage("<title>Version 1.0</title>" + QByteArray(4000, ' '));
    check("206");
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("HTTP status 206")) << messages[0].toStdString();
    // A redirect is followed to the page; one that never ends is a failure.
    messages.clear();
    check("redirect");
    EXPECT_EQ(messages, QStringList{"There are no new updates available."});
    messages.clear();
    check("loop");
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith("Failed to check version.")) << messages[0].toStdString();
    EXPECT_TRUE(opened.isEmpty());
    // A page larger than pages are read is not read to its end.
    messages.clear();
    check("big");
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("The version page is larger than a page of the server can be."))
        << messages[0].toStdString();
}

// A byte every 200 ms keeps the transfer timeout from firing: the check's
// own deadline ends it.
TEST_F(UpdateCheckTest, AServerThatTricklesMeetsTheDeadline) {
    versionPage("<title>Version 1.0</title>");
    QElapsedTimer clock;
    clock.start();
    check("trickle", 1500, 1000);
    EXPECT_EQ(messages, QStringList{"Failed to check version. - Timed out."});
    EXPECT_LT(clock.elapsed(), 9000);
}

// A failed check names its cause; "Timed out" is for a timeout alone.
TEST_F(UpdateCheckTest, AFailureIsToldByItsCause) {
    const QString tooLarge = "The version page is larger than a page of the server can be.";
    versionPage("<title>Welcome</title>");
    for (const auto& [mode, cause] :
         {std::pair<QString, QString>{"206", "HTTP status 206"},
          {"redirect//velto-test.invalid", "velto-test.invalid"},  // sent on to a host not found
          {"big", tooLarge},
          {"nolength", tooLarge},  // cut by the bytes received, before any timeout
          {"", "The version page names no version."}}) {
        SCOPED_TRACE(mode.toStdString());
        messages.clear();
        check(mode, 30000, 30000);
        const QString text = messages.join('|');
        EXPECT_TRUE(messages.size() == 1 && text.startsWith("Failed to check version.\n") && text.contains(cause))
            << text.toStdString();
    }
}

TEST_F(UpdateCheckTest, AHostThatCannotBeFoundSaysSoNotTimedOut) {
    // Names under .invalid are refused by the resolver at once; the limits
    // only bound a resolver that asks a server anyway.
    check("http://velto-test.invalid", 30000, 30000);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith("Failed to check version.\n")) << messages[0].toStdString();
    EXPECT_FALSE(messages[0].contains("Timed out")) << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains("velto-test.invalid")) << messages[0].toStdString();
}

TEST_F(UpdateCheckTest, ClosingTheWindowEarlyDropsTheQuestion) {
    versionPage("<title>Version 1.0</title>");
    useServer("slow");
    auto* w = qobject_cast<TfrmUpdate*>(main->Forms().Form("frmUpdate"));
    ASSERT_NE(w, nullptr);
    w->SetStartDelay(60000);
    w->SetTransferTimeout(60000);
    w->show();
    w->CheckForUpdate();
    EXPECT_TRUE(w->Checking());
    w->hide();
    EXPECT_FALSE(w->Checking());
    EXPECT_TRUE(messages.isEmpty());
}

}  // namespace
