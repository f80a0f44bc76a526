#pragma once
// Runs a piece of work in a child process and reports what it cost: the
// processor time it used and its peak resident size, as the system counts them
// (processor time, unlike the clock, does not grow when other work shares the
// machine). The work returns the child's exit code.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace velto::test {

struct ChildCost {
    bool exited = false;
    int exitCode = -1;
    double cpuSeconds = 0;
    long peakKiB = 0;
};

inline ChildCost RunInChild(const std::function<int()>& work) {
    ChildCost cost;
    const pid_t pid = ::fork();
    if (pid < 0) return cost;
    if (pid == 0) {
        int code = 99;
        try {
            code = work();
        } catch (...) {
        }
        ::_exit(code);
    }
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid) return cost;
    cost.exited = WIFEXITED(status);
    cost.exitCode = cost.exited ? WEXITSTATUS(status) : -1;
    cost.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                      static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    cost.peakKiB = usage.ru_maxrss;
    return cost;
}

}  // namespace velto::test
