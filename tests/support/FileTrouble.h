#pragma once
// Saves into places where the system refuses the file for real: a read-only
// folder or target, a missing folder, a read-only file system, a full disk.
// Each save runs in a child process, which may drop to an unprivileged user
// (root writes through permission bits) and mount small file systems in a
// mount namespace of its own, so the machine and the test program are left
// as they were. Only for test programs without Qt: the child runs the save
// right after fork().
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

namespace velto::test {

enum class FileTrouble { ReadOnlyFolder, ReadOnlyTarget, MissingFolder, ReadOnlyFileSystem, FullDisk };

inline const char* FileTroubleName(FileTrouble t) {
    switch (t) {
    case FileTrouble::ReadOnlyFolder: return "read-only folder";
    case FileTrouble::ReadOnlyTarget: return "read-only target";
    case FileTrouble::MissingFolder: return "missing folder";
    case FileTrouble::ReadOnlyFileSystem: return "read-only file system";
    case FileTrouble::FullDisk: return "full disk";
    }
    return "?";
}

// What the system calls each trouble (the words the user is to be shown).
inline const char* FileTroubleReason(FileTrouble t) {
    switch (t) {
    case FileTrouble::ReadOnlyFolder:
    case FileTrouble::ReadOnlyTarget: return "Permission denied";
    case FileTrouble::MissingFolder: return "No such file or directory";
    case FileTrouble::ReadOnlyFileSystem: return "Read-only file system";
    case FileTrouble::FullDisk: return "No space left on device";
    }
    return "?";
}

inline constexpr FileTrouble kAllFileTroubles[] = {FileTrouble::ReadOnlyFolder, FileTrouble::ReadOnlyTarget,
                                                   FileTrouble::MissingFolder, FileTrouble::ReadOnlyFileSystem,
                                                   FileTrouble::FullDisk};

struct FileTroubleOutcome {
    bool skipped = false;
    std::string text;  // why it was skipped, or what save returned
};

namespace detail {

// Becomes an ordinary user when root, so that permission bits hold.
inline bool DropPrivileges() {
    if (::geteuid() != 0) return true;
    return ::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0;
}

inline bool WriteAll(int fd, const std::string& s) {
    return ::write(fd, s.data(), s.size()) == static_cast<ssize_t>(s.size());
}

// A private mount namespace (a user namespace too when not root), in which
// mounts vanish with the child.
inline bool PrivateMounts() {
    if (::geteuid() == 0) {
        if (::unshare(CLONE_NEWNS) != 0) return false;
    } else {
        const uid_t uid = ::geteuid();
        const gid_t gid = ::getegid();
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
        auto put = [](const char* file, const std::string& text) {
            const int fd = ::open(file, O_WRONLY);
            const bool ok = fd >= 0 && WriteAll(fd, text);
            if (fd >= 0) ::close(fd);
            return ok;
        };
        put("/proc/self/setgroups", "deny");
        if (!put("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
            !put("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1"))
            return false;
    }
    return ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

// Puts a file of that content at path (mode 0644); false when it cannot.
inline bool PutFile(const std::filesystem::path& path, const std::string& content, mode_t mode = 0644) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, mode);
    const bool ok = fd >= 0 && WriteAll(fd, content);
    if (fd >= 0) ::close(fd);
    return ok && ::chmod(path.c_str(), mode) == 0;
}

// Sets the trouble up under base; the path to save to, or "!" and why not.
// An existing content is put at the path first where a file can be there.
inline std::string Prepare(FileTrouble t, const std::filesystem::path& base, const std::string& fileName,
                           const std::string* existing) {
    namespace fs = std::filesystem;
    switch (t) {
    case FileTrouble::ReadOnlyFolder: {
        const fs::path folder = base / "ro";
        fs::create_directory(folder);
        // Writable itself: the folder alone refuses.
        if (existing && !PutFile(folder / fileName, *existing, 0666)) return "!cannot create the file";
        ::chmod(folder.c_str(), 0555);
        if (!DropPrivileges()) return "!cannot become an ordinary user";
        return (folder / fileName).string();
    }
    case FileTrouble::ReadOnlyTarget: {
        const fs::path folder = base / "rw";
        fs::create_directory(folder);
        ::chmod(folder.c_str(), 0777);
        const fs::path target = folder / fileName;
        if (!PutFile(target, existing ? *existing : "old", 0444)) return "!cannot create the target";
        if (!DropPrivileges()) return "!cannot become an ordinary user";
        return target.string();
    }
    case FileTrouble::MissingFolder: return (base / "missing" / fileName).string();
    case FileTrouble::ReadOnlyFileSystem:
    case FileTrouble::FullDisk: {
        const fs::path mnt = base / "mnt";
        fs::create_directory(mnt);
        if (!PrivateMounts()) return "!no private mount namespace here (needs root or user namespaces)";
        // Room for the existing file only, filled below for the full disk.
        const std::size_t pages = existing ? existing->size() / 4096 + 2 : 1;
        const std::string options = "size=" + std::to_string(pages * 4) + "k,mode=0777";
        if (::mount("tmpfs", mnt.c_str(), "tmpfs", 0, options.c_str()) != 0)
            return "!cannot mount a small file system here";
        if (existing && !PutFile(mnt / fileName, *existing)) return "!cannot create the file";
        if (t == FileTrouble::ReadOnlyFileSystem &&
            ::mount("tmpfs", mnt.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, options.c_str()) != 0)
            return "!cannot make the small file system read-only";
        if (t == FileTrouble::FullDisk) {
            const fs::path filler = mnt / "filler";
            const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (fd < 0) return "!cannot fill the file system";
            const std::string block(512, 'x');
            while (::write(fd, block.data(), block.size()) > 0) {
            }
            ::close(fd);
        }
        return (mnt / fileName).string();
    }
    }
    return "!unknown trouble";
}

}  // namespace detail

// Runs save(path) in a child process where saving to path meets trouble t;
// save returns what the test compares (say, the reason reported, or "saved").
// With existing, the file is there with that content before the trouble
// starts (an update of a file rather than a new one).
// A trouble this machine cannot set up comes back skipped, saying why.
inline FileTroubleOutcome SaveWithTrouble(FileTrouble t, const std::string& fileName,
                                          const std::function<std::string(const std::string& path)>& save,
                                          const std::string* existing = nullptr) {
    namespace fs = std::filesystem;
    char tmpl[] = "/tmp/velto-trouble-XXXXXX";
    if (!::mkdtemp(tmpl)) return {true, "cannot make a temporary folder"};
    const fs::path base = tmpl;
    ::chmod(base.c_str(), 0755);
    int fds[2];
    if (::pipe(fds) != 0) return {true, "no pipe"};
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        // The child never returns into the test program, whatever happens.
        std::string out;
        try {
            const std::string path = detail::Prepare(t, base, fileName, existing);
            out = !path.empty() && path[0] == '!' ? path : "=" + save(path);
        } catch (const std::exception& e) {
            out = std::string("=exception: ") + e.what();
        } catch (...) {
            out = "=unknown exception";
        }
        detail::WriteAll(fds[1], out);
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string got;
    char buf[512];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) != 0;) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        got.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    int status = 0;
    if (pid > 0) ::waitpid(pid, &status, 0);
    // The child's folders may be read-only to their owner: opened up first.
    std::error_code ec;
    for (const auto& e : fs::recursive_directory_iterator(base, ec))
        if (e.is_directory(ec)) ::chmod(e.path().c_str(), 0755);
    fs::remove_all(base, ec);
    if (pid < 0) return {true, "cannot fork"};
    if (got.empty()) return {false, "<the saving child ended without an answer>"};
    if (got[0] == '!') return {true, got.substr(1)};
    return {false, got.substr(1)};
}

// Saves under every trouble and expects what save returns to end with the
// system's words for it. The troubles this machine cannot set up are
// returned, one line each, for the test to skip with.
inline std::string ExpectEveryTroubleReported(const std::string& fileName,
                                              const std::function<std::string(const std::string& path)>& save,
                                              const std::string* existing = nullptr) {
    std::string skipped;
    for (const FileTrouble t : kAllFileTroubles) {
        SCOPED_TRACE(FileTroubleName(t));
        const FileTroubleOutcome o = SaveWithTrouble(t, fileName, save, existing);
        if (o.skipped) {
            skipped += std::string(FileTroubleName(t)) + ": " + o.text + "\n";
            continue;
        }
        const std::string reason = FileTroubleReason(t);
        EXPECT_TRUE(o.text.size() >= reason.size() && o.text.ends_with(reason))
            << "reported \"" << o.text << "\", expected it to end with \"" << reason << '"';
    }
    return skipped;
}

}  // namespace velto::test

// Every trouble reported; those that could not be set up skip the test,
// saying why, once the others were checked.
#define VELTO_EXPECT_TROUBLES_REPORTED(fileName, ...)                                     \
    do {                                                                                   \
        const std::string skipped_ = ::velto::test::ExpectEveryTroubleReported(fileName, __VA_ARGS__); \
        if (!skipped_.empty()) GTEST_SKIP() << skipped_;                                   \
    } while (0)
