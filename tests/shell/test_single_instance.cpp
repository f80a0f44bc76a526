// Single instance: the names a later start hands over (absolute, CR LF
// lines), the per-user socket, and hand-overs between this test process as
// the running instance and a helper program as the later start.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <QtEndian>
#include <cstring>
#include <stdexcept>

#include "shell/SingleInstance.h"

using namespace velto;

namespace {

QApplication* guiApp() {
    if (!QApplication::instance()) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "test_shell";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
    }
    return qApp;
}

// Each test meets its helper at a socket of its own.
class InstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        guiApp();
        socketPath = tmp.filePath("s");
        old_ = qgetenv("VELTO_INSTANCE_NAME");
        qputenv("VELTO_INSTANCE_NAME", socketPath.toLocal8Bit());
        handler.OnInstanceDenied = [this](TInstanceHandler* h) {
            received << h->DeniedInstanceParams;
            ++denied;
        };
    }
    void TearDown() override {
        if (old_.isNull()) qunsetenv("VELTO_INSTANCE_NAME");
        else qputenv("VELTO_INSTANCE_NAME", old_);
    }

    // Runs the helper as a later start in folder cwd; returns its exit code
    // (-1 when it did not end in time).
    int laterStart(const QStringList& args, const QString& cwd = QString()) {
        QProcess p;
        p.setWorkingDirectory(cwd.isEmpty() ? tmp.path() : cwd);
        p.start(VELTO_INSTANCE_HELPER, args);
        if (!p.waitForStarted(10000)) return -1;
        // This process must keep serving while the helper waits for its answer.
        if (!QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 40000)) {
            p.kill();
            p.waitForFinished();
            return -1;
        }
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

    QTemporaryDir tmp;
    QString socketPath;
    TInstanceHandler handler;
    QStringList received;
    int denied = 0;

private:
    QByteArray old_;
};

}  // namespace

TEST(InstancePayload, NamesGoOutAbsoluteOnePerCrLfLine) {
    EXPECT_EQ(TInstanceHandler::EncodeParams({"a.cur", "b.ani"}, "/dir"), QByteArray("/dir/a.cur\r\n/dir/b.ani\r\n"));
    EXPECT_EQ(TInstanceHandler::EncodeParams({"/x/y.cur", "./sub//c.cur", "../d.cur", ""}, "/dir/"),
              QByteArray("/x/y.cur\r\n/dir/sub/c.cur\r\n/dir/../d.cur\r\n\r\n"));
    EXPECT_EQ(TInstanceHandler::EncodeParams({QString::fromUtf8("Gr\xC3\xBC\xC3\x9F" "e.ani")}, "/d"),
              QByteArray("/d/Gr\xC3\xBC\xC3\x9F" "e.ani\r\n"));
    EXPECT_TRUE(TInstanceHandler::EncodeParams({}, "/d").isEmpty());

    using L = QStringList;
    EXPECT_EQ(TInstanceHandler::DecodeParams("a.cur\r\nb.ani\r\n"), (L{"a.cur", "b.ani"}));
    EXPECT_EQ(TInstanceHandler::DecodeParams("a.cur\nb.ani"), (L{"a.cur", "b.ani"}));
    EXPECT_EQ(TInstanceHandler::DecodeParams("a\r\n\r\nb\r\n"), (L{"a", "", "b"}));
    EXPECT_EQ(TInstanceHandler::DecodeParams(QByteArray("x\0y\r\nz\r\n", 9)), (L{"z"}));  // never cut short
    EXPECT_EQ(TInstanceHandler::DecodeParams(""), L{});
    EXPECT_EQ(TInstanceHandler::DecodeParams(TInstanceHandler::EncodeParams({QString::fromUtf8("\xC3\xA9.cur")}, "/")),
              (L{QString::fromUtf8("/\xC3\xA9.cur")}));
}

TEST(InstanceName, PerUserFolderAndOneNamePerExecutable) {
    guiApp();
    const QByteArray old = qgetenv("VELTO_INSTANCE_NAME");
    qunsetenv("VELTO_INSTANCE_NAME");
    const QString a = TInstanceHandler::ServerNameFor("/opt/velto/bin/velto");
    const QString b = TInstanceHandler::ServerNameFor("/home/u/velto/velto");
    EXPECT_NE(a, b);
    EXPECT_EQ(a, TInstanceHandler::ServerNameFor("/opt/velto/bin/velto"));
    // A very long executable path still gives a socket path that fits.
    EXPECT_LE(TInstanceHandler::ServerNameFor("/" + QString(400, 'x')).toLocal8Bit().size(), 107);
    const QString folder = TInstanceHandler::RuntimeFolder();
    ASSERT_FALSE(folder.isEmpty());
    EXPECT_TRUE(a.startsWith(folder + "/"));
    struct stat st {};
    ASSERT_EQ(::lstat(folder.toLocal8Bit().constData(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_uid, ::getuid());
    EXPECT_EQ(st.st_mode & 077, 0u) << "other users could reach the socket";
    EXPECT_TRUE(TInstanceHandler::ServerName().startsWith(folder + "/velto-"));

    qputenv("VELTO_INSTANCE_NAME", "/tmp/x/own");
    EXPECT_EQ(TInstanceHandler::ServerName(), "/tmp/x/own");
    qputenv("VELTO_INSTANCE_NAME", "plain");
    EXPECT_EQ(TInstanceHandler::ServerName(), folder + "/plain");
    if (old.isNull()) qunsetenv("VELTO_INSTANCE_NAME");
    else qputenv("VELTO_INSTANCE_NAME", old);
}

TEST(InstanceHandler, OnePerProcessOwnedByATopLevelWindow) {
    guiApp();
    QWidget window;
    QWidget child(&window);
    try {
        TInstanceHandler h(&child);
        FAIL() << "a child widget was accepted as owner";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "The component is not on the main form!");
    }
    {
        TInstanceHandler first(&window);
        EXPECT_FALSE(first.AllowMultippleInstances);
        EXPECT_TRUE(first.AllowInstanceWithoutParam);
        try {
            TInstanceHandler second;
            FAIL() << "a second handler was accepted";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "Only one instance of this component can be used per application!");
        }
    }
    TInstanceHandler again;  // the first is gone
    SUCCEED();
}

TEST_F(InstanceTest, ALaterStartHandsOverAbsoluteNamesAndEnds) {
    QWidget mainWindow;
    handler.SetMainWindow(&mainWindow);
    mainWindow.showMinimized();
    QSignalSpy spy(&handler, &TInstanceHandler::instanceDenied);
    ASSERT_TRUE(handler.CheckInstance({}));
    ASSERT_TRUE(handler.IsServing());

    QDir(tmp.path()).mkpath("work/sub");
    const QString work = tmp.filePath("work");
    EXPECT_EQ(laterStart({"a.cur", "sub/b.ani"}, work), 0);
    EXPECT_EQ(received, (QStringList{work + "/a.cur", work + "/sub/b.ani"}));
    EXPECT_EQ(denied, 1);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toStringList(), received);
    EXPECT_FALSE(mainWindow.isMinimized());
    EXPECT_TRUE(mainWindow.isVisible());

    // Without names the later start runs as a second copy; with the option
    // set it hands over even an empty list.
    received.clear();
    EXPECT_EQ(laterStart({}), 10);
    EXPECT_EQ(denied, 1);
    EXPECT_EQ(laterStart({"--deny-without-param"}), 0);
    EXPECT_EQ(denied, 2);
    EXPECT_TRUE(received.isEmpty());
    // Multiple instances allowed: every start runs.
    EXPECT_EQ(laterStart({"--multi", "c.cur"}), 10);
    EXPECT_EQ(denied, 2);
    // A name with a line break cannot travel as one line: that start opens it itself.
    EXPECT_EQ(laterStart({"two\nlines.cur"}), 10);
    EXPECT_EQ(denied, 2);
}

TEST_F(InstanceTest, NoRunningInstanceOrAStaleSocketLeftByACrash) {
    // Nobody serves: the later start becomes the first instance.
    EXPECT_EQ(laterStart({"a.cur"}), 10);

    // A socket file nobody listens on any more.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const QByteArray p = socketPath.toLocal8Bit();
    std::memcpy(addr.sun_path, p.constData(), static_cast<std::size_t>(p.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ::close(fd);
    ASSERT_TRUE(QFileInfo::exists(socketPath));

    ASSERT_TRUE(handler.CheckInstance({"own.cur"}));
    EXPECT_TRUE(handler.IsServing());
    EXPECT_EQ(laterStart({"/abs/x.cur"}), 0);
    EXPECT_EQ(received, QStringList{"/abs/x.cur"});
}

TEST_F(InstanceTest, BadConnectionsDoNotStopTheService) {
    ASSERT_TRUE(handler.CheckInstance({}));
    // A frame claiming more than any hand-over holds is dropped.
    QLocalSocket huge;
    huge.connectToServer(socketPath);
    ASSERT_TRUE(huge.waitForConnected(2000));
    QByteArray frame(4, '\0');
    qToBigEndian<qint32>(0x7fffffff, frame.data());
    huge.write(frame + "x");
    huge.flush();
    EXPECT_TRUE(QTest::qWaitFor([&] { return huge.state() == QLocalSocket::UnconnectedState; }, 3000));
    // A client that sends half a frame and waits does not hold up others.
    QLocalSocket slow;
    slow.connectToServer(socketPath);
    ASSERT_TRUE(slow.waitForConnected(2000));
    slow.write(QByteArray("\0\0\0\x10/half", 9));
    slow.flush();

    EXPECT_EQ(laterStart({"/ok.cur"}), 0);
    EXPECT_EQ(received, QStringList{"/ok.cur"});
    EXPECT_EQ(denied, 1);
}
