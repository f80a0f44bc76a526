// Single instance: the names a later start hands over (absolute, CR LF
// lines), the per-user socket, and hand-overs between this test process as
// the running instance and a helper program as the later start.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <QtEndian>
#include <cstring>
#include <utility>
#include <stdexcept>

#include "shell/SingleInstance.h"
#include "GuiTestApp.h"

using namespace velto;

namespace {

class InstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::EnsureGuiApp();
        socket = tmp.filePath("s");  // each test meets its helper at a socket of its own
        qputenv("VELTO_INSTANCE_NAME", socket.toLocal8Bit());
    }
    void TearDown() override { qunsetenv("VELTO_INSTANCE_NAME"); }

    // Runs the helper as a later start in folder cwd and returns its exit code
    // (0 handed over, 10 runs on its own), while this process keeps serving.
    // env: the helper's environment, when not this process's.
    int laterStart(const QStringList& args, const QString& cwd = QString(),
                   const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(cwd.isEmpty() ? tmp.path() : cwd);
        p.start(VELTO_INSTANCE_HELPER, args);
        if (!p.waitForStarted(10000) || !QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 40000))
            return -1;
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

    QTemporaryDir tmp;
    QString socket;
};

}  // namespace

TEST(InstancePayload, NamesGoOutAbsoluteOnePerCrLfLine) {
    EXPECT_EQ(TInstanceHandler::EncodeParams({"a.cur", "b.ani"}, "/dir"), "/dir/a.cur\r\n/dir/b.ani\r\n");
    EXPECT_EQ(TInstanceHandler::EncodeParams({"/x/y.cur", "./sub//c.cur", "../d.cur", ""}, "/dir/"),
              "/x/y.cur\r\n/dir/sub/c.cur\r\n/dir/../d.cur\r\n\r\n");
    using L = QStringList;
    EXPECT_EQ(TInstanceHandler::DecodeParams("a.cur\nb.ani"), (L{"a.cur", "b.ani"}));
    EXPECT_EQ(TInstanceHandler::DecodeParams("a\r\n\r\nb\r\n"), (L{"a", "", "b"}));
    EXPECT_EQ(TInstanceHandler::DecodeParams(QByteArray("x\0y\r\nz\r\n", 9)), (L{"z"}));  // never cut short
    const QString utf = QString::fromUtf8("/\xC3\xA9.cur");
    EXPECT_EQ(TInstanceHandler::DecodeParams(TInstanceHandler::EncodeParams({utf}, "/")), L{utf});
}

TEST_F(InstanceTest, SocketInAFolderOnlyTheUserEntersOneNamePerExecutable) {
    qunsetenv("VELTO_INSTANCE_NAME");
    const QString a = TInstanceHandler::ServerNameFor("/opt/velto/bin/velto");
    EXPECT_NE(a, TInstanceHandler::ServerNameFor("/home/u/velto/velto"));
    EXPECT_LE(TInstanceHandler::ServerNameFor("/" + QString(400, 'x')).toLocal8Bit().size(), 107);
    const QString folder = TInstanceHandler::RuntimeFolder();
    EXPECT_TRUE(a.startsWith(folder + "/"));
    struct stat st {};
    ASSERT_EQ(::lstat(folder.toLocal8Bit().constData(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && (st.st_mode & 077) == 0);
    qputenv("VELTO_INSTANCE_NAME", "plain");
    EXPECT_EQ(TInstanceHandler::ServerName(), folder + "/plain");

    // Without a runtime folder of the session: one of our own in the
    // temporary folder (here the test's, which goes with it).
    const auto restore = [](const char* name, const QByteArray& value, bool was) {
        if (was) qputenv(name, value);
        else qunsetenv(name);
    };
    const bool hadRuntime = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR"), hadTemp = qEnvironmentVariableIsSet("TMPDIR");
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR"), temp = qgetenv("TMPDIR");
    qunsetenv("XDG_RUNTIME_DIR");
    qputenv("TMPDIR", tmp.path().toLocal8Bit());
    const QString own = TInstanceHandler::RuntimeFolder();
    restore("XDG_RUNTIME_DIR", runtime, hadRuntime);
    restore("TMPDIR", temp, hadTemp);
    // A socket path has room for 107 bytes: a long one goes to the system's.
    const QString mine = tmp.path() + "/velto-" + QString::number(::getuid());
    EXPECT_EQ(own, mine.toLocal8Bit().size() < 64 ? mine : "/tmp/velto-" + QString::number(::getuid()));
    ASSERT_EQ(::lstat(own.toLocal8Bit().constData(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && (st.st_mode & 077) == 0);
}

TEST_F(InstanceTest, OneNamePerDisplay) {
    qunsetenv("VELTO_INSTANCE_NAME");
    const QString exe = "/opt/velto/bin/velto";
    const auto nameOn = [&](const char* x11, const char* wayland) {
        for (const auto& [var, value] : {std::pair{"DISPLAY", x11}, std::pair{"WAYLAND_DISPLAY", wayland}}) {
            if (value) qputenv(var, value);
            else qunsetenv(var);
        }
        return TInstanceHandler::ServerNameFor(exe);
    };
    const QByteArray x11 = qgetenv("DISPLAY"), wayland = qgetenv("WAYLAND_DISPLAY");
    const QString first = nameOn(":1", nullptr);
    EXPECT_NE(first, nameOn(":2", nullptr));
    EXPECT_NE(first, nameOn("remote:1", nullptr));
    EXPECT_NE(first, nameOn(":1", "wayland-0"));
    EXPECT_NE(nameOn(nullptr, "wayland-0"), nameOn(nullptr, "wayland-1"));
    EXPECT_NE(first, nameOn(nullptr, nullptr));
    // The screens of one display are one place.
    EXPECT_EQ(first, nameOn(":1.0", nullptr));
    EXPECT_EQ(first, nameOn(":1.1", nullptr));
    EXPECT_EQ(nameOn("host.example:3.1", nullptr), nameOn("host.example:3", nullptr));
    nameOn(x11.isNull() ? nullptr : x11.constData(), wayland.isNull() ? nullptr : wayland.constData());
}

// The same program started again in a second session of the user: on its
// own display it runs as an instance of its own; on the first one's display
// it hands its names over.
TEST_F(InstanceTest, AStartOnAnotherDisplayIsAnInstanceOfItsOwn) {
    // This process serves where the helper started on display :71 looks.
    const QByteArray x11 = qgetenv("DISPLAY"), wayland = qgetenv("WAYLAND_DISPLAY");
    qputenv("DISPLAY", ":71");
    qunsetenv("WAYLAND_DISPLAY");
    const QString name = TInstanceHandler::ServerNameFor(QFileInfo(VELTO_INSTANCE_HELPER).canonicalFilePath());
    if (x11.isNull()) qunsetenv("DISPLAY");
    else qputenv("DISPLAY", x11);
    if (!wayland.isNull()) qputenv("WAYLAND_DISPLAY", wayland);
    qputenv("VELTO_INSTANCE_NAME", name.toLocal8Bit());
    TInstanceHandler handler;
    int denied = 0;
    handler.OnInstanceDenied = [&](TInstanceHandler*) { ++denied; };
    ASSERT_TRUE(handler.CheckInstance({}));
    const auto on = [](const QString& x11, const QString& wayland) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("VELTO_INSTANCE_NAME");
        env.insert("DISPLAY", x11);
        if (wayland.isEmpty()) env.remove("WAYLAND_DISPLAY");
        else env.insert("WAYLAND_DISPLAY", wayland);
        return env;
    };
    EXPECT_EQ(laterStart({"a.cur"}, {}, on(":72", {})), 10);
    EXPECT_EQ(laterStart({"a.cur"}, {}, on(":71", "wayland-3")), 10);
    EXPECT_EQ(denied, 0);
    EXPECT_EQ(laterStart({"a.cur"}, {}, on(":71.0", {})), 0);
    EXPECT_EQ(denied, 1);
}

TEST_F(InstanceTest, OneHandlerPerProcessOwnedByATopLevelWindow) {
    QWidget window;
    QWidget child(&window);
    const auto error = [](auto make) -> std::string {
        try { make(); } catch (const std::runtime_error& e) { return e.what(); }
        return {};
    };
    EXPECT_EQ(error([&] { TInstanceHandler h(&child); }), "The component is not on the main form!");
    TInstanceHandler first(&window);
    EXPECT_EQ(error([] { TInstanceHandler h; }), "Only one instance of this component can be used per application!");
}

TEST_F(InstanceTest, ALaterStartHandsOverAbsoluteNamesAndEnds) {
    TInstanceHandler handler;
    QStringList received;
    int denied = 0;
    handler.OnInstanceDenied = [&](TInstanceHandler* h) { received = h->DeniedInstanceParams, ++denied; };
    QWidget mainWindow;
    handler.SetMainWindow(&mainWindow);
    mainWindow.showMinimized();
    ASSERT_TRUE(handler.CheckInstance({}));

    QDir(tmp.path()).mkpath("work/sub");
    const QString work = tmp.filePath("work");
    EXPECT_EQ(laterStart({"a.cur", "sub/b.ani"}, work), 0);
    EXPECT_EQ(received, (QStringList{work + "/a.cur", work + "/sub/b.ani"}));
    EXPECT_TRUE(mainWindow.isVisible() && !mainWindow.isMinimized());

    EXPECT_EQ(laterStart({}), 10);  // no names: a second copy
    EXPECT_EQ(laterStart({"--multi", "c.cur"}), 10);
    EXPECT_EQ(laterStart({"two\nlines.cur"}), 10);  // cannot travel as one line: opened by that start
    EXPECT_EQ(denied, 1);
    EXPECT_EQ(laterStart({"--deny-without-param"}), 0);
    EXPECT_EQ(denied, 2);
    EXPECT_TRUE(received.isEmpty());
}

TEST_F(InstanceTest, StaleSocketsAndBadClientsDoNotStopTheService) {
    EXPECT_EQ(laterStart({"a.cur"}), 10);  // nobody serves: that start is the first
    // A socket left by a crash: bound, never listened on, never removed.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, socket.toLocal8Bit().constData(), sizeof addr.sun_path - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ::close(fd);

    TInstanceHandler handler;
    QStringList received;
    handler.OnInstanceDenied = [&](TInstanceHandler* h) { received += h->DeniedInstanceParams; };
    ASSERT_TRUE(handler.CheckInstance({"own.cur"}));
    ASSERT_TRUE(handler.IsServing());

    QLocalSocket huge, slow;  // a frame longer than any hand-over; half a frame, then silence
    huge.connectToServer(socket);
    slow.connectToServer(socket);
    ASSERT_TRUE(huge.waitForConnected(10000) && slow.waitForConnected(10000));
    QByteArray frame(4, '\0');
    qToBigEndian<qint32>(0x7fffffff, frame.data());
    huge.write(frame + "x");
    slow.write(QByteArray("\0\0\0\x10/half", 9));
    huge.flush();
    slow.flush();
    EXPECT_TRUE(QTest::qWaitFor([&] { return huge.state() == QLocalSocket::UnconnectedState; }, 10000));
    EXPECT_EQ(laterStart({"/ok.cur"}), 0);
    EXPECT_EQ(received, QStringList{"/ok.cur"});
}
