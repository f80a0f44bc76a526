#pragma once
// Makes one system call fail in a child as a failing disk would, on chosen
// files only, whatever code makes it: for tests of what a save does then.
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iterator>
#include <signal.h>
#include <string>
#include <vector>

namespace velto::test {

// The exit code of work, run in a child (its children too) whose calls of those numbered `calls` that fails(path of
// the object the call's first argument names, its second argument) picks fail with err, as a failing disk fails them:
// a seccomp filter hands those calls to this process, which answers them (and may hold one there meanwhile); every
// other call runs. -1, and why, where the system lets no process answer another's calls.
inline int RunWithFailingCalls(const std::vector<long>& calls,
                               const std::function<bool(const std::string&, std::uint64_t)>& fails, int err,
                               const std::function<int()>& work, std::string& why) {
    int fds[2];
    if (::pipe(fds) != 0) return why = "no pipe", -1;
    std::fflush(nullptr);  // (or the child may write this process's pending output again)
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Each call picked jumps to the last statement.
        std::vector<sock_filter> code = {BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr))};
        for (std::size_t i = 0; i < calls.size(); ++i)
            code.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<unsigned>(calls[i]),
                                    static_cast<unsigned char>(calls.size() - i), 0));
        code.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
        code.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_USER_NOTIF));
        sock_fprog prog{static_cast<unsigned short>(code.size()), code.data()};
        const int listener = ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) ? -1 : static_cast<int>(::syscall(
            SYS_seccomp, SECCOMP_SET_MODE_FILTER, SECCOMP_FILTER_FLAG_NEW_LISTENER, &prog));
        // Its number, for this process to take it.
        if (::write(fds[1], &listener, sizeof listener) != sizeof listener || listener < 0) ::_exit(90);
        ::_exit(work());
    }
    ::close(fds[1]);
    int theirs = -1, listener = -1;
    if (pid > 0 && ::read(fds[0], &theirs, sizeof theirs) == sizeof theirs && theirs >= 0) {
        const int child = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
        listener = static_cast<int>(::syscall(SYS_pidfd_getfd, child, theirs, 0));
        ::close(child);
        if (listener < 0) ::kill(pid, SIGKILL);  // (its calls would wait for an answer forever)
    }
    ::close(fds[0]);
    // Until the child is gone, which the listener reports as a hang-up.
    for (pollfd p{listener, POLLIN, 0}; listener >= 0 && ::poll(&p, 1, -1) > 0 && (p.revents & POLLIN);) {
        seccomp_notif n{};
        if (::ioctl(listener, SECCOMP_IOCTL_NOTIF_RECV, &n) != 0) continue;  // its caller went away
        const std::string fd = "/proc/" + std::to_string(n.pid) + "/fd/" + std::to_string(n.data.args[0]);
        std::error_code ec;
        const std::string object = std::filesystem::read_symlink(fd, ec).string();
        const bool failed = fails(object, n.data.args[1]);
        seccomp_notif_resp answer{n.id, 0, failed ? -err : 0,
                                  failed ? 0u : unsigned{SECCOMP_USER_NOTIF_FLAG_CONTINUE}};
        ::ioctl(listener, SECCOMP_IOCTL_NOTIF_SEND, &answer);
    }
    if (listener >= 0) ::close(listener);
    int status = 0;
    if (pid > 0) ::waitpid(pid, &status, 0);
    if (listener < 0) return why = "the system lets no process answer another's calls (seccomp notification)", -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The same for one call.
inline int RunWithFailingCall(long call, const std::function<bool(const std::string&, std::uint64_t)>& fails, int err,
                              const std::function<int()>& work, std::string& why) {
    return RunWithFailingCalls({call}, fails, err, work, why);
}

}  // namespace velto::test
