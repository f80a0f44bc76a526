// The private X server of the display tests: a test process that dies while
// its server runs must not leave the server holding the test's error output,
// or CTest would wait for that output to end until its timeout.
#include <gtest/gtest.h>

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QStandardPaths>

#include "XvfbSession.h"

namespace {

// Bounds only a real failure (a server that never starts or never goes).
constexpr int kDeadlineMs = 30000;

// Reads fd until its end, or false when the deadline passes first.
bool ReadsToTheEnd(int fd) {
    QElapsedTimer t;
    t.start();
    char buffer[4096];
    while (t.elapsed() < kDeadlineMs) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(kDeadlineMs - t.elapsed())) <= 0) continue;
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0) return true;
        if (n < 0 && errno != EINTR) return true;
    }
    return false;
}

TEST(XvfbSession, ATestThatDiesTakesItsServerWithIt) {
    if (QStandardPaths::findExecutable("Xvfb").isEmpty()) GTEST_SKIP() << "Xvfb is not installed";
    int report[2], errors[2];  // the server's process id; the dying process's error output
    ASSERT_EQ(::pipe2(report, O_CLOEXEC), 0);
    ASSERT_EQ(::pipe2(errors, O_CLOEXEC), 0);
    // The runtime folder is made (and removed) here: the killed child could
    // not remove its own.
    velto::test::UsePrivateRuntimeFolder();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The error output as CTest gives it: a pipe every child inherits.
        ::dup2(errors[1], STDERR_FILENO);
        QProcess* server = nullptr;
        QApplication* app = nullptr;
        const char* skip = "";
        static char name[] = "test_shell_peer";
        velto::test::StartXvfbApplication(server, app, skip, name, kDeadlineMs);
        const qint64 pid = app ? server->processId() : 0;
        (void)!::write(report[1], &pid, sizeof pid);
        ::kill(::getpid(), SIGKILL);  // dies as a crash or CTest's timeout ends it: nothing cleans up
    }
    ::close(report[1]);
    ::close(errors[1]);
    qint64 server = 0;
    const bool reported = ::read(report[0], &server, sizeof server) == static_cast<ssize_t>(sizeof server);
    ::close(report[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    ASSERT_TRUE(reported);
    if (server == 0) {
        ::close(errors[0]);
        GTEST_SKIP() << "Xvfb did not start";
    }
    const bool released = ReadsToTheEnd(errors[0]);
    ::close(errors[0]);
    EXPECT_TRUE(released) << "the server (process " << server << ") outlived its test and kept its output open";
    if (!released) ::kill(static_cast<pid_t>(server), SIGKILL);
}

}  // namespace
