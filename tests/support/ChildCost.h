#pragma once
// Runs a piece of work in a child process and reports what it cost: the
// processor time it used and its peak resident size, as the system counts them
// (processor time, unlike the clock, does not grow when other work shares the
// machine). The work returns the child's exit code. The child starts with the
// pages of the test program resident (earlier tests may have left tens of
// MiB), and the peak counts them: GrownKiB is what the work added.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace velto::test {

struct ChildCost {
    bool exited = false;
    int exitCode = -1;
    double cpuSeconds = 0;
    long peakKiB = 0;
    long startKiB = 0;  // resident when the work began
    long GrownKiB() const { return peakKiB > startKiB ? peakKiB - startKiB : 0; }
};

// This process's resident size in KiB (0 when it cannot be read).
inline long ResidentKiB() {
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f) return 0;
    long pages = 0, resident = 0;
    const bool read = std::fscanf(f, "%ld %ld", &pages, &resident) == 2;
    std::fclose(f);
    return read ? resident * (::sysconf(_SC_PAGESIZE) / 1024) : 0;
}

inline ChildCost RunInChild(const std::function<int()>& work) {
    ChildCost cost;
    int fds[2];
    if (::pipe(fds) != 0) return cost;
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return cost;
    }
    if (pid == 0) {
        ::close(fds[0]);
        const long start = ResidentKiB();
        (void)!::write(fds[1], &start, sizeof start);
        ::close(fds[1]);
        int code = 99;
        try {
            code = work();
        } catch (...) {
        }
        ::_exit(code);
    }
    ::close(fds[1]);
    if (::read(fds[0], &cost.startKiB, sizeof cost.startKiB) != static_cast<ssize_t>(sizeof cost.startKiB))
        cost.startKiB = 0;
    ::close(fds[0]);
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

// Ends the calling child by the system's signal after that much processor time: work that must end fails, not hangs.
inline void LimitProcessorSeconds(rlim_t seconds) {
    const rlimit limit{seconds, seconds};
    ::setrlimit(RLIMIT_CPU, &limit);
}

// A program run in a child process: its exit code, processor time and peak
// resident size (which counts the test program's pages at the fork, so it is
// never below what the program itself reached).
inline ChildCost RunProgram(const std::string& program, const std::vector<std::string>& args) {
    return RunInChild([&] {
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        // Its output is not wanted here.
        if (std::FILE* null = std::fopen("/dev/null", "w")) ::dup2(::fileno(null), 1);
        ::execv(program.c_str(), argv.data());
        return 127;
    });
}

}  // namespace velto::test
