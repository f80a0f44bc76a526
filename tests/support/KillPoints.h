#pragma once
// Kills a piece of work (a save) at chosen points, for tests of what a killed
// save leaves. The work runs in a child process traced from its first system
// call on; each entry into and exit from a system call, in any of its
// threads, is one point, and SIGKILL comes at the point asked for. The moment
// is the work's own, not a guessed time: every run is repeatable for
// single-threaded work, and whatever the moment, the outcome is checkable.
// Only for test programs without Qt: the child runs the work right after fork().
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace velto::test {

struct KillRun {
    bool killed = false;  // killed at the point; false: the work ended first
    long points = 0;      // points the work passed
    int exitCode = -1;    // the work's exit code when it ended by itself
};

// Runs work in a traced child, killed at point `at` (from 1; 0 never).
// False, with why, when this machine does not let a child be traced.
inline bool RunKilledAt(const std::function<void()>& work, long at, KillRun& run, std::string& why) {
    run = {};
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) {
        why = "cannot fork";
        return false;
    }
    if (pid == 0) {
        if (::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) ::_exit(90);
        ::raise(SIGSTOP);
        work();
        ::_exit(0);
    }
    int status = 0;
    if (::waitpid(pid, &status, __WALL) != pid || !WIFSTOPPED(status) ||
        ::ptrace(PTRACE_SETOPTIONS, pid, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_TRACECLONE | PTRACE_O_EXITKILL) != 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, __WALL);
        why = "no child can be traced here (ptrace refused)";
        return false;
    }
    ::ptrace(PTRACE_SYSCALL, pid, nullptr, nullptr);
    for (;;) {
        const pid_t t = ::waitpid(-1, &status, __WALL);
        if (t < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (WIFEXITED(status) || WIFSIGNALED(status)) {
            if (t != pid) continue;  // one of its threads
            if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
            break;
        }
        if (!WIFSTOPPED(status)) continue;
        const int sig = WSTOPSIG(status);
        int pass = 0;
        if (sig == (SIGTRAP | 0x80)) {
            if (!run.killed && ++run.points == at) {
                ::kill(pid, SIGKILL);
                run.killed = true;
            }
        } else if ((status >> 16) == 0 && sig != SIGSTOP) {
            pass = sig;  // the work's own signal; a new thread's first stop and events are ours
        }
        ::ptrace(PTRACE_SYSCALL, t, nullptr, pass);
    }
    return true;
}

// Runs work to its end once to count its points, then `kills` times killed at
// points spread over them (kill i lands at a random point of the i-th
// kills-th part, the last parts reaching a little past the end for work
// whose threads make the count vary). before() runs ahead of every run,
// after(run) behind every killed one, both in this process. Returns the
// count of points of the whole run, or -1 with why when tracing is refused.
inline long KillAtSpreadPoints(int kills, const std::function<void()>& before, const std::function<void()>& work,
                               const std::function<void(int kill, const KillRun&)>& after, std::string& why,
                               unsigned seed = 20261207) {
    KillRun whole;
    before();
    if (!RunKilledAt(work, 0, whole, why)) return -1;
    EXPECT_EQ(whole.exitCode, 0) << "the work ended badly when left alone";
    std::mt19937 random(seed);
    const double span = static_cast<double>(whole.points) * 1.1 / kills;
    for (int i = 0; i < kills; ++i) {
        const long at = 1 + static_cast<long>(span * i + std::uniform_real_distribution<double>(0, span)(random));
        before();
        KillRun run;
        if (!RunKilledAt(work, at, run, why)) return -1;
        after(i, run);
    }
    return whole.points;
}

// A folder for the files of a killed save, and a temporary folder ($TMPDIR)
// of its own while it lives, so that what the saves leave there is seen.
class KillFolder {
public:
    KillFolder() {
        char tmpl[] = "/tmp/velto-kill-XXXXXX";
        path_ = ::mkdtemp(tmpl);
        std::filesystem::create_directory(Temp());
        if (const char* old = std::getenv("TMPDIR")) oldTemp_ = old;
        hadTemp_ = std::getenv("TMPDIR") != nullptr;
        ::setenv("TMPDIR", Temp().c_str(), 1);
    }
    ~KillFolder() {
        if (hadTemp_)
            ::setenv("TMPDIR", oldTemp_.c_str(), 1);
        else
            ::unsetenv("TMPDIR");
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    KillFolder(const KillFolder&) = delete;
    KillFolder& operator=(const KillFolder&) = delete;

    std::string File(const std::string& name) const { return path_ + "/" + name; }
    std::string Temp() const { return path_ + "/tmp"; }
    // Names in a folder of it ("" itself), sorted, without the temporary folder.
    std::vector<std::string> Names(const std::string& sub = "") const {
        std::vector<std::string> out;
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(sub.empty() ? path_ : File(sub), ec))
            if (e.path() != Temp()) out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }
    std::vector<std::string> TempNames() const { return Names("tmp"); }

private:
    std::string path_, oldTemp_;
    bool hadTemp_ = false;
};

}  // namespace velto::test
