#include "platform/Temporaries.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>
#include <vector>

namespace velto {

namespace {

constexpr std::string_view kTag = ".velto-";
constexpr std::size_t kPidDigits = 8, kUniqueChars = 6;
// "." + name + tag + pid + "-" + unique.
constexpr std::size_t kAdded = 1 + kTag.size() + kPidDigits + 1 + kUniqueChars;

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

}  // namespace

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

int CreateTemporaryBeside(const std::string& target, unsigned mode, std::string& path) {
    const auto slash = target.find_last_of('/');
    std::string base = target.substr(slash == std::string::npos ? 0 : slash + 1);
    // A long name still leaves room for the additions within the folder's
    // limit on a name; the owner is read from the end.
    if (base.size() + kAdded > NAME_MAX) base.resize(NAME_MAX - kAdded);
    char pid[kPidDigits + 1];
    std::snprintf(pid, sizeof pid, "%08lx", static_cast<unsigned long>(::getpid()));
    const std::string stem = FolderOf(target) + "/." + base + std::string(kTag) + pid + "-";
    for (int tries = 0; tries < 100; ++tries) {
        path = stem + UniquePart();
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) {
            if (fd < 0) path.clear();
            return fd;
        }
    }
    path.clear();
    return -1;  // errno is EEXIST
}

unsigned long TemporaryOwner(std::string_view name) {
    if (name.size() < kAdded + 1 || name[0] != '.') return 0;
    const std::size_t pidAt = name.size() - kUniqueChars - 1 - kPidDigits;
    if (name.substr(pidAt - kTag.size(), kTag.size()) != kTag || name[pidAt + kPidDigits] != '-') return 0;
    const std::string_view pid = name.substr(pidAt, kPidDigits);
    if (!HexDigits(pid)) return 0;
    return std::stoul(std::string(pid), nullptr, 16);
}

void RemoveStaleFiles(const std::string& folder, const std::function<unsigned long(std::string_view)>& ownerOf) {
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return;
    DIR* d = ::fdopendir(dir);
    if (!d) {
        ::close(dir);
        return;
    }
    std::vector<std::string> stale;
    while (const dirent* e = ::readdir(d))
        if (ProcessGone(ownerOf(e->d_name))) stale.push_back(e->d_name);
    const uid_t me = ::geteuid();
    for (const std::string& name : stale) {
        struct stat st {};
        if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) && st.st_uid == me)
            ::unlinkat(dir, name.c_str(), 0);
    }
    ::closedir(d);  // closes dir too
}

void StaleSweep::Folder(const std::string& folder) {
    std::lock_guard lock(mutex_);
    if (done_.insert(folder).second) RemoveStaleFiles(folder);
}

}  // namespace velto
