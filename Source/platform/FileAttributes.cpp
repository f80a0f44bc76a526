#include "platform/FileAttributes.h"

#include <linux/limits.h>
#include <sys/xattr.h>

#include <cerrno>
#include <cstring>

namespace velto {

namespace {

// The system has no attributes there (or none of that name).
bool NoneThere(int err) { return err == ENODATA || err == ENOTSUP || err == EOPNOTSUPP || err == ENOSYS; }

// Reads a list or value whose size the system tells first, again when it
// changed in between. The system's own bound holds before the allocation.
template <class Get>
int ReadSized(std::string& out, const Get& get) {
    for (;;) {
        const ssize_t size = get(nullptr, 0);
        if (size < 0) return errno;
        if (size > XATTR_SIZE_MAX) return E2BIG;
        out.resize(static_cast<std::size_t>(size));
        const ssize_t got = get(out.data(), out.size());
        if (got >= 0) {
            out.resize(static_cast<std::size_t>(got));
            return 0;
        }
        if (errno != ERANGE) return errno;
    }
}

int ReadValue(const std::string& path, const char* name, std::string& value) {
    return ReadSized(value, [&](char* buf, std::size_t size) { return ::getxattr(path.c_str(), name, buf, size); });
}

constexpr std::string_view kOfOldBytes[] = {"security.capability", "security.ima", "security.evm"};

}  // namespace

bool BelongsToOldBytes(std::string_view name) {
    for (const std::string_view n : kOfOldBytes)
        if (name == n) return true;
    return false;
}

int ReadFileAttribute(const std::string& path, const char* name, std::string& value) {
    const int err = ReadValue(path, name, value);
    if (err != 0) value.clear();
    return NoneThere(err) ? 0 : err;
}

int ReadFileAttributes(const std::string& path, std::vector<FileAttribute>& out) {
    out.clear();
    std::string names;
    const int err =
        ReadSized(names, [&](char* buf, std::size_t size) { return ::listxattr(path.c_str(), buf, size); });
    if (err != 0) return NoneThere(err) ? 0 : err;
    for (std::size_t at = 0; at < names.size(); at += std::strlen(names.c_str() + at) + 1) {
        FileAttribute a{names.c_str() + at, {}};
        const int e = ReadValue(path, a.name.c_str(), a.value);
        if (e == 0)
            out.push_back(std::move(a));
        else if (e != ENODATA)  // (one removed since the list was read is gone from the file too)
            return e;
    }
    return 0;
}

int SetFileAttribute(int fd, const std::string& name, const std::string& value) {
    std::string now;
    if (ReadSized(now, [&](char* buf, std::size_t size) { return ::fgetxattr(fd, name.c_str(), buf, size); }) == 0 &&
        now == value)
        return 0;
    return ::fsetxattr(fd, name.c_str(), value.data(), value.size(), 0) == 0 ? 0 : errno;
}

int RemoveFileAttribute(int fd, const char* name) {
    if (::fremovexattr(fd, name) == 0) return 0;
    return NoneThere(errno) ? 0 : errno;
}

}  // namespace velto
