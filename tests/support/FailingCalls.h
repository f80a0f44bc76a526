#pragma once
// Makes one system call of a child process fail as a failing disk would make
// it fail, on the objects a test picks (a regular file or a folder under a
// path), while every other call runs as usual: a seccomp filter hands that
// call to this process, which looks at the object behind the descriptor and
// answers with the error or lets the call run. So a test proves that the code
// makes the real call and reads its result. Only for test programs without
// Qt: the child runs the work right after fork().
#include <fcntl.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <climits>
#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>

namespace velto::test {

struct FailingCall {
    long call;          // the system call's number: SYS_fsync, SYS_close...
    bool folder;        // on the folder itself, else on regular files in it
    std::string under;  // that folder
    int err;            // what the call then fails with
};

struct FailingCallOutcome {
    bool skipped = false;
    std::string why;  // why it was skipped
    int exitCode = -1;
    int failed = 0;  // how many calls were made to fail
};

namespace detail {

#if defined(__x86_64__)
inline constexpr unsigned kAuditArch = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
inline constexpr unsigned kAuditArch = AUDIT_ARCH_AARCH64;
#else
inline constexpr unsigned kAuditArch = 0;
#endif

// The listener of a filter that hands every call of that number to it; -1 when refused.
inline int HandOverCalls(long call) {
    sock_filter code[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kAuditArch, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<unsigned>(call), 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_USER_NOTIF),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog prog{static_cast<unsigned short>(std::size(code)), code};
    if (kAuditArch == 0 || ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) return -1;
    return static_cast<int>(
        ::syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, SECCOMP_FILTER_FLAG_NEW_LISTENER, &prog));
}

// Whether descriptor fd of process pid stands for what is to fail.
inline bool Picked(const FailingCall& f, int pid, unsigned long long fd) {
    const std::string link = "/proc/" + std::to_string(pid) + "/fd/" + std::to_string(fd);
    struct stat st {};
    char path[PATH_MAX];
    const ssize_t n = ::readlink(link.c_str(), path, sizeof path - 1);
    if (n <= 0 || ::stat(link.c_str(), &st) != 0) return false;
    const std::string target(path, static_cast<std::size_t>(n));
    return f.folder ? S_ISDIR(st.st_mode) && target == f.under
                    : S_ISREG(st.st_mode) && target.starts_with(f.under + "/");
}

}  // namespace detail

// Runs work in a child whose calls that f picks fail with f.err, and waits
// for its end; the work's result is the child's exit code. Where the system
// lets no process hand its calls over, it comes back skipped, saying why.
inline FailingCallOutcome RunWithFailingCall(const FailingCall& f, const std::function<int()>& work) {
    int fds[2];
    if (::pipe(fds) != 0) return {true, "no pipe"};
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        // The listener's number; this process takes the listener itself.
        const int listener = detail::HandOverCalls(f.call);
        if (::write(fds[1], &listener, sizeof listener) != sizeof listener || listener < 0) ::_exit(90);
        ::close(fds[1]);
        int code = 99;
        try {
            code = work();
        } catch (...) {
        }
        ::_exit(code);
    }
    ::close(fds[1]);
    FailingCallOutcome out;
    int theirs = -1, listener = -1;
    if (pid > 0 && ::read(fds[0], &theirs, sizeof theirs) == sizeof theirs && theirs >= 0) {
        const int child = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
        listener = child < 0 ? -1 : static_cast<int>(::syscall(SYS_pidfd_getfd, child, theirs, 0));
        if (child >= 0) ::close(child);
        if (listener < 0) ::kill(pid, SIGKILL);  // (its calls would wait for an answer forever)
    }
    ::close(fds[0]);
    // Until the child is gone, which the listener reports as a hang-up.
    for (pollfd p{listener, POLLIN, 0}; listener >= 0;) {
        if (::poll(&p, 1, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (!(p.revents & POLLIN)) break;
        seccomp_notif call{};
        if (::ioctl(listener, SECCOMP_IOCTL_NOTIF_RECV, &call) != 0) continue;  // its caller went away
        seccomp_notif_resp answer{};
        answer.id = call.id;
        if (detail::Picked(f, static_cast<int>(call.pid), call.data.args[0])) {
            answer.error = -f.err;
            ++out.failed;
        } else {
            answer.flags = SECCOMP_USER_NOTIF_FLAG_CONTINUE;
        }
        ::ioctl(listener, SECCOMP_IOCTL_NOTIF_SEND, &answer);
    }
    if (listener >= 0) ::close(listener);
    int status = 0;
    if (pid > 0) ::waitpid(pid, &status, 0);
    if (listener < 0) return {true, "the system lets no process hand its calls to another (seccomp notification)"};
    out.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

}  // namespace velto::test
