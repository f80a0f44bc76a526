#include "platform/Temporaries.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <random>
#include <vector>

#include "platform/PreviousCopy.h"
#include "platform/SaveLock.h"

namespace velto {

namespace {

constexpr std::string_view kTag = ".velto-";
constexpr std::size_t kPidDigits = 8, kUniqueChars = 6, kMachineChars = 32;
// "-" + pid + "-" + unique, behind the machine.
constexpr std::size_t kTail = 1 + kPidDigits + 1 + kUniqueChars;
// A temporary in the form of earlier versions (no machine) younger than this
// may belong to a save still running on another machine.
constexpr std::time_t kUnnamedMachineAge = 24 * 60 * 60;

bool MachineChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
}

bool HexDigits(std::string_view s) {
    for (const char c : s)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

bool ProcessGone(unsigned long pid) {
    return pid != 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

// Characters of the unique part, which a rival of the same process must not
// guess either: seeded once per thread from the system's random source.
std::string UniquePart() {
    static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 random{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kChars - 2);
    std::string s(kUniqueChars, ' ');
    for (char& c : s) c = kChars[pick(random)];
    return s;
}

using Stale = std::vector<std::pair<std::string, unsigned long>>;

// Removes, in the folder open as dir, the names of stale (each with the gone
// process of this machine that made it) that are this user's regular files
// byStatus confirms.
void RemoveListed(int dir, const Stale& stale, const std::function<bool(std::string_view, const struct stat&)>& byStatus) {
    const uid_t me = ::geteuid();
    for (const auto& [name, pid] : stale) {
        struct stat st {};
        if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) || st.st_uid != me ||
            !byStatus(name, st))
            continue;
        // Held while it goes: a save that has just made it takes the lock
        // first or finds its file gone.
        const int fd = ::openat(dir, name.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) continue;
        if (NoSaveHolds(fd, pid) && StillNamed(dir, name.c_str(), fd)) ::unlinkat(dir, name.c_str(), 0);
        ::close(fd);
    }
}

std::uint32_t Fnv1a(std::string_view s) {
    std::uint32_t hash = 2166136261u;
    for (const char c : s) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    return hash;
}

// The name part of a path, shortened where what is added would pass the
// folder's limit on a name.
std::string BaseWithRoom(const std::string& target, std::size_t added) {
    const auto slash = target.find_last_of('/');
    std::string base = target.substr(slash == std::string::npos ? 0 : slash + 1);
    if (base.size() + added > NAME_MAX) base.resize(NAME_MAX - added);
    return base;
}

}  // namespace

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

int SyncFolder(const std::string& folder) {
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return 0;
    const int err = ::fsync(dir) == 0 || errno == EINVAL ? 0 : errno;
    ::close(dir);
    return err;
}

int LinkToFreeName(const std::string& temp, const std::string& target) {
    if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    if (::link(temp.c_str(), target.c_str()) != 0) return errno;
    ::unlink(temp.c_str());
    return 0;
}

int CreateTemporaryBeside(const std::string& target, unsigned mode, std::string& path) {
    const std::string machine = ThisMachineTag();
    // A long name still leaves room for the additions; the origin is read from the end.
    const std::string base = BaseWithRoom(target, 1 + kTag.size() + machine.size() + kTail);
    char pid[kPidDigits + 1];
    std::snprintf(pid, sizeof pid, "%08lx", static_cast<unsigned long>(::getpid()));
    const std::string stem = FolderOf(target) + "/." + base + std::string(kTag) + machine + "-" + pid + "-";
    for (int tries = 0; tries < 100; ++tries) {
        path = stem + UniquePart();
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, mode);
        if (fd < 0 && errno != EEXIST) break;
        if (fd < 0) continue;
        // A sweep may take a file between its creation and its lock, and
        // remove it: then another name. Where the file system keeps no locks
        // a sweep can take none either, and the file is safe as it is.
        const int err = HoldForSave(fd);
        if (err == 0 ? StillNamed(AT_FDCWD, path.c_str(), fd) : err != EAGAIN) return fd;
        ::close(fd);
        errno = EEXIST;
    }
    path.clear();
    return -1;
}

int HoldForSave(int fd) {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;  // from 0 to the end, however far it grows
    while (::fcntl(fd, F_OFD_SETLK, &lock) != 0)
        if (errno != EINTR) return errno == EACCES ? EAGAIN : errno;
    return 0;
}

bool StillNamed(int dir, const char* name, int fd) {
    struct stat named {}, held {};
    return ::fstatat(dir, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(fd, &held) == 0 &&
           named.st_dev == held.st_dev && named.st_ino == held.st_ino;
}

std::string MachineTag(std::string_view hostName) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string tag;
    for (const char c : hostName) {
        if (MachineChar(c)) {
            tag += c;
        } else {
            const auto b = static_cast<unsigned char>(c);
            tag += {'_', kHex[b >> 4], kHex[b & 15]};
        }
    }
    if (tag.empty()) return "_";
    if (tag.size() <= kMachineChars) return tag;
    // Long names of one domain differ at their start mostly, but not always.
    char tail[10];
    std::snprintf(tail, sizeof tail, "_%08x", static_cast<unsigned>(Fnv1a(hostName)));
    return tag.substr(0, kMachineChars - 9) + tail;
}

std::string ThisMachineTag() {
    struct utsname u {};
    return MachineTag(::uname(&u) == 0 ? u.nodename : "");
}

TemporaryOrigin OriginOfTemporary(std::string_view name) {
    // "." + at least one character of the name + tag, before the tail.
    if (name.size() < 2 + kTag.size() + kTail || name[0] != '.') return {};
    const std::size_t pidAt = name.size() - kUniqueChars - 1 - kPidDigits;
    if (name[pidAt - 1] != '-' || name[pidAt + kPidDigits] != '-') return {};
    const std::string_view pid = name.substr(pidAt, kPidDigits);
    if (!HexDigits(pid)) return {};
    TemporaryOrigin origin;
    if (name.substr(pidAt - kTag.size(), kTag.size()) != kTag) {
        // A machine tag holds no ".": the last one before it starts the tag.
        const std::string_view head = name.substr(0, pidAt - 1);
        const std::size_t tagAt = head.find_last_of('.');
        if (tagAt == std::string_view::npos || tagAt < 2 || head.substr(tagAt, kTag.size()) != kTag) return {};
        origin.machine = head.substr(tagAt + kTag.size());
        if (origin.machine.empty()) return {};
        for (const char c : origin.machine)
            if (!MachineChar(c) && c != '_') return {};
    }
    origin.pid = std::stoul(std::string(pid), nullptr, 16);
    return origin;
}

unsigned long TemporaryOwner(std::string_view name) {
    const TemporaryOrigin origin = OriginOfTemporary(name);
    return origin.machine == ThisMachineTag() ? origin.pid : 0;
}

void RemoveStaleFiles(const std::string& folder) {
    const std::string machine = ThisMachineTag();
    const std::time_t now = std::time(nullptr);
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return;
    // One walk of the folder for temporaries and copies alike: it may hold thousands of names.
    Stale stale;
    std::vector<std::string> copies;
    EachName(dir, [&](const char* name, std::uint64_t) {
        const TemporaryOrigin o = OriginOfTemporary(name);
        if (o.pid != 0 && (o.machine.empty() || o.machine == machine) && ProcessGone(o.pid))
            stale.emplace_back(name, o.pid);
        else if (IsOwnCopyName(name))
            copies.emplace_back(name);
    });
    RemoveListed(dir, stale, [&](std::string_view name, const struct stat& st) {
        return !OriginOfTemporary(name).machine.empty() || now - st.st_mtime > kUnnamedMachineAge;
    });
    RemoveStaleCopies(dir, copies);
    ::close(dir);
}

void RemoveStaleFiles(const std::string& folder, const std::function<unsigned long(std::string_view)>& ownerOf) {
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return;
    Stale stale;
    EachName(dir, [&](const char* name, std::uint64_t) {
        if (const unsigned long pid = ownerOf(name); ProcessGone(pid)) stale.emplace_back(name, pid);
    });
    RemoveListed(dir, stale, [](std::string_view, const struct stat&) { return true; });
    ::close(dir);
}

void EachName(int dir, const std::function<void(const char*, std::uint64_t)>& each) {
    const int again = ::dup(dir);
    DIR* d = again < 0 ? nullptr : ::fdopendir(again);
    if (!d) {
        if (again >= 0) ::close(again);
        return;
    }
    ::rewinddir(d);  // (the copy shares its place in the folder with dir)
    while (const dirent* e = ::readdir(d)) each(e->d_name, e->d_ino);
    ::closedir(d);
}

bool NoSaveHolds(int fd, unsigned long pid) {
    const int held = HoldForSave(fd);
    return held == 0 || (NoLocksHere(held) && ProcessGone(pid));
}

void StaleSweep::Folder(const std::string& folder) {
    std::lock_guard lock(mutex_);
    if (done_.insert(folder).second) RemoveStaleFiles(folder);
}

}  // namespace velto
