#include "resources/TempFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "resources/ResName.h"
#include "resources/ResourceUpdate.h"

namespace velto {

namespace {

constexpr const char kSiblingTag[] = ".velto-";

bool HexDigits(const std::string& s, std::size_t at, std::size_t n) {
    if (at + n > s.size()) return false;
    for (std::size_t i = at; i < at + n; ++i) {
        const char c = s[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    }
    return true;
}

bool ProcessGone(unsigned long pid) {
    return pid != 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

void RemoveStaleIn(const std::string& folder) {
    DIR* d = ::opendir(folder.c_str());
    if (!d) return;
    std::vector<std::string> stale;
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (ProcessGone(SaveFileOwner(name))) stale.push_back(folder + "/" + name);
    }
    ::closedir(d);
    for (const std::string& path : stale) ::unlink(path.c_str());
}

}  // namespace

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

int CreateSiblingTemp(const std::string& target, std::string& path) {
    const auto slash = target.find_last_of('/');
    const std::string base = target.substr(slash == std::string::npos ? 0 : slash + 1);
    std::string tmpl = FolderOf(target) + "/." + base + kSiblingTag +
                       IntToHexEx(static_cast<std::uint64_t>(::getpid()), 8, '0').substr(1) + "-XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    const int fd = ::mkostemp(buf.data(), O_CLOEXEC);
    if (fd >= 0) path = buf.data();
    return fd;
}

bool SaveFileBeside(const std::string& path, std::span<const std::uint8_t> data, FileError* error) {
    std::string temp;
    const int fd = CreateSiblingTemp(path, temp);
    if (fd < 0) {
        KeepFirstError(error, FileError::FromErrno(errno));
        return false;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    int err = ::fchmod(fd, 0666 & ~mask) != 0 ? errno : 0;
    for (std::size_t done = 0; err == 0 && done < data.size();) {
        const ssize_t w = ::write(fd, data.data() + done, data.size() - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) err = w < 0 ? errno : ENOSPC;
        else done += static_cast<std::size_t>(w);
    }
    if (err == 0 && ::fsync(fd) != 0) err = errno;
    if (::close(fd) != 0 && err == 0) err = errno;
    if (err == 0 && ::rename(temp.c_str(), path.c_str()) != 0) err = errno;
    if (err != 0) {
        ::unlink(temp.c_str());
        KeepFirstError(error, FileError::FromErrno(err));
        return false;
    }
    return true;
}

unsigned long SaveFileOwner(const std::string& name) {
    // A sibling: ".<name>.velto-<8 hex>-<6 characters>".
    const auto tag = name.rfind(kSiblingTag);
    const std::size_t pidAt = tag + sizeof kSiblingTag - 1;
    if (!name.empty() && name[0] == '.' && tag != std::string::npos && tag > 0 && name.size() == pidAt + 8 + 1 + 6 &&
        HexDigits(name, pidAt, 8) && name[pidAt + 8] == '-')
        return std::stoul(name.substr(pidAt, 8), nullptr, 16);
    // Parked data: "$rsx$res$<8 hex>$<hex>$".
    constexpr std::size_t parkPid = sizeof "$rsx$res$" - 1;
    if (name.rfind("$rsx$res$", 0) == 0 && name.size() > parkPid + 10 && HexDigits(name, parkPid, 8) &&
        name[parkPid + 8] == '$' && name.back() == '$' && HexDigits(name, parkPid + 9, name.size() - parkPid - 10))
        return std::stoul(name.substr(parkPid, 8), nullptr, 16);
    return 0;
}

void RemoveStaleSaveFiles(const std::string& folder) {
    RemoveStaleIn(folder);
    RemoveStaleIn(FolderOf(GetResTempFileName(0)));
}

}  // namespace velto
