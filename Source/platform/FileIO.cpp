#include "platform/FileIO.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "platform/ReadInstead.h"

namespace velto {
namespace {

void setError(FileError* out, FileError e) {
    if (out) *out = e;
}

FileError fromErrno(int err) { return FileError::FromErrno(err); }

// File systems whose files the kernel makes up at each read (/proc, /sys and
// their kind): their sizes say nothing (most read as 0), some never end or
// block, and reading some has effects. They hold no documents or pictures.
constexpr unsigned long kKernelFileSystems[] = {
    PROC_SUPER_MAGIC,   SYSFS_MAGIC,         DEBUGFS_MAGIC, TRACEFS_MAGIC,  SECURITYFS_MAGIC,
    CGROUP_SUPER_MAGIC, CGROUP2_SUPER_MAGIC, BPF_FS_MAGIC,  PSTOREFS_MAGIC, EFIVARFS_MAGIC,
    SELINUX_MAGIC,      SMACK_MAGIC,         BINFMTFS_MAGIC, USBDEVICE_SUPER_MAGIC,
};

bool onKernelFileSystem(int fd) {
    struct statfs fs {};
    if (::fstatfs(fd, &fs) != 0) return false;
    const auto type = static_cast<unsigned long>(fs.f_type);
    for (const unsigned long magic : kKernelFileSystems)
        if (type == magic) return true;
    return false;
}

}  // namespace

// Whatever the path names is looked at before it is opened: opening a device
// may act (start a watchdog, rewind a tape). O_NONBLOCK keeps open() from
// waiting on a FIFO put there in between, which the checks after opening
// then refuse.
int OpenRegularFileItself(const std::string& path, int access, std::uint64_t& size, FileError* error) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        setError(error, fromErrno(errno));
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        setError(error, FileError::NotRegular);
        return -1;
    }
    const int fd = ::open(path.c_str(), access | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        setError(error, fromErrno(errno));
        return -1;
    }
    const FileError checked = CheckOpenedForReading(fd, size);
    if (!checked.ok()) {
        setError(error, checked);
        ::close(fd);
        return -1;
    }
    // Regular files never block; plain blocking reads are simpler to loop over.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

int OpenRegularFile(const std::string& path, int access, std::uint64_t& size, FileError* error) {
    const int fd = OpenRegularFileItself(path, access, size, error);
    if (fd < 0 || access != O_RDONLY) return fd;
    // A file torn by an unfinished save may be read as it was before it.
    const int read = OpenInstead(fd, size);
    if (read < 0) setError(error, fromErrno(errno));
    return read;
}

namespace {

// Reads up to n bytes; returns the count read, or -1 on error (errno set).
long long readFully(int fd, std::uint8_t* dst, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
        const ssize_t r = ::read(fd, dst + done, n - done);
        if (r < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (r == 0) break;
        done += static_cast<std::size_t>(r);
    }
    return static_cast<long long>(done);
}

}  // namespace

FileError FileError::FromErrno(int err) {
    switch (err) {
    case ENOENT:
    case ENOTDIR: return {NotFound, err};
    case EISDIR: return {NotRegular, err};
    case EFBIG: return {TooLarge, err};
    default: return {IoError, err ? err : EIO};
    }
}

namespace {

// One row per reason: the kinds' own words (no system number), then the
// system's reasons a file operation commonly meets. The system's words are
// fixed here rather than taken from the C library, whose texts follow the
// user's locale and would mix languages within one message.
struct ReasonRow {
    FileError::Kind kind;
    int sysError;
    const char* text;
};

constexpr ReasonRow kReasons[] = {
    {FileError::None, 0, "no error"},
    {FileError::NotFound, 0, "file not found"},
    {FileError::NotRegular, 0, "not a regular file"},
    {FileError::TooLarge, 0, "file too large"},
    {FileError::IoError, 0, "input/output error"},
    {FileError::Unsupported, 0, "the content does not fit this file format"},
    {FileError::IoError, EACCES, "Permission denied"},
    {FileError::IoError, EPERM, "Operation not permitted"},
    {FileError::IoError, EROFS, "Read-only file system"},
    {FileError::IoError, ENOSPC, "No space left on device"},
    {FileError::IoError, EDQUOT, "Disk quota exceeded"},
    {FileError::IoError, EIO, "Input/output error"},
    {FileError::NotFound, ENOENT, "No such file or directory"},
    {FileError::NotFound, ENOTDIR, "Not a directory"},
    {FileError::NotRegular, EISDIR, "Is a directory"},
    {FileError::TooLarge, EFBIG, "File too large"},
    {FileError::IoError, ENAMETOOLONG, "File name too long"},
    {FileError::IoError, ELOOP, "Too many levels of symbolic links"},
    {FileError::IoError, EMFILE, "Too many open files"},
    {FileError::IoError, ENFILE, "Too many open files in system"},
    {FileError::IoError, ENOMEM, "Cannot allocate memory"},
    {FileError::IoError, EBUSY, "Device or resource busy"},
    {FileError::IoError, ETXTBSY, "Text file busy"},
    {FileError::IoError, EXDEV, "Invalid cross-device link"},
    {FileError::IoError, EEXIST, "File exists"},
    {FileError::IoError, EINVAL, "Invalid argument"},
    {FileError::IoError, ESTALE, "Stale file handle"},
    {FileError::IoError, EOPNOTSUPP, "Operation not supported"},
    {FileError::IoError, EMLINK, "Too many links"},
    {FileError::IoError, EAGAIN, "Resource temporarily unavailable"},
    {FileError::IoError, EINTR, "Interrupted system call"},
    {FileError::IoError, ENOLCK, "No locks available"},
    {FileError::IoError, EUCLEAN, "Structure needs cleaning"},
    {FileError::IoError, ENOTCONN, "Transport endpoint is not connected"},  // a user file system gone
    {FileError::IoError, ETIMEDOUT, "Connection timed out"},
    // A file operation meets it only from the attribute calls, whose list of
    // names the system gives only up to 64 KiB: its own words ("Argument
    // list too long") would not say what is too long.
    {FileError::IoError, E2BIG,
     "Too many extended attributes to copy (the system lists at most 64 KiB of their names)"},
};

}  // namespace

FileError FileError::WithWords(FileError e, std::string words) {
    e.words_ = std::make_shared<const std::string>(std::move(words));
    return e;
}

std::string FileErrorText(FileError e) {
    if (e.words()) return *e.words();
    const int sys = e.sysError();
    for (const ReasonRow& row : kReasons)
        if (sys != 0 ? row.sysError == sys : (row.sysError == 0 && row.kind == e.kind())) return row.text;
    // A reason the table lacks: the system's number says which.
    if (sys != 0) return "system error " + std::to_string(sys);
    return "unknown error";
}

FileError CheckOpenedForReading(int fd, std::uint64_t& size) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return fromErrno(errno);
    if (!S_ISREG(st.st_mode) || onKernelFileSystem(fd)) return FileError::NotRegular;
    size = static_cast<std::uint64_t>(st.st_size);
    return FileError::None;
}

namespace {

// What a read meets past the end of the room it was given: the end of the
// file, or bytes of a file longer than it said.
constexpr std::size_t kProbeBytes = 16 * 1024;

// Reads the whole open file into out, at most cap bytes. The size the file
// announced only sizes the first room: the file may have changed since, or
// (on some file systems) announce 0. Room grows by doubling, never beyond
// cap, so at most the old room and the new one are held at once; a file that
// has more than cap bytes, or grows past it while read, is TooLarge and
// nothing of it is kept.
template <class Bytes>
FileError readOpenFile(int fd, std::uint64_t announced, std::uint64_t cap, Bytes& out) {
    if (announced > cap) return FileError::TooLarge;
    Bytes data;
    data.reserve(static_cast<std::size_t>(announced));
    // Within reserved room the elements are not written before the read
    // fills them (pixel storage adds no zero-fill pass).
    data.resize(static_cast<std::size_t>(announced));
    std::size_t filled = 0;
    for (;;) {
        const long long got = readFully(fd, data.data() + filled, data.size() - filled);
        if (got < 0) return fromErrno(errno);
        filled += static_cast<std::size_t>(got);
        if (filled < data.size()) break;  // the end came first
        std::uint8_t probe[kProbeBytes];
        const long long more = readFully(fd, probe, sizeof probe);
        if (more < 0) return fromErrno(errno);
        if (more == 0) break;
        const std::uint64_t held = std::uint64_t{filled} + static_cast<std::uint64_t>(more);
        if (held > cap) return FileError::TooLarge;
        const std::uint64_t room = std::min<std::uint64_t>(
            cap, std::max<std::uint64_t>({held, std::uint64_t{filled} * 2, std::uint64_t{kProbeBytes} * 4}));
        Bytes grown;
        grown.reserve(static_cast<std::size_t>(room));
        grown.resize(static_cast<std::size_t>(room));
        std::copy_n(data.data(), filled, grown.data());
        std::copy_n(probe, static_cast<std::size_t>(more), grown.data() + filled);
        filled = static_cast<std::size_t>(held);
        data = std::move(grown);  // the old room goes before the next read
    }
    data.resize(filled);
    out = std::move(data);
    return FileError::None;
}

template <class Bytes>
bool readWholeFile(const std::string& path, Bytes& out, std::uint64_t cap, FileError* error) {
    setError(error, FileError::None);
    std::uint64_t size = 0;
    const int fd = OpenRegularFile(path, O_RDONLY, size, error);
    if (fd < 0) return false;
    const FileError e = readOpenFile(fd, size, cap, out);
    ::close(fd);
    if (!e.ok()) setError(error, e);
    return e.ok();
}

}  // namespace

FileError ReadOpenedFile(int fd, std::uint64_t announced, std::uint64_t cap, std::vector<std::uint8_t>& out) {
    return readOpenFile(fd, announced, cap, out);
}

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& out, std::uint64_t cap, FileError* error) {
    return readWholeFile(path, out, cap, error);
}

bool ReadWholeFile(const std::string& path, TPixelBytes& out, std::uint64_t cap, FileError* error) {
    return readWholeFile(path, out, cap, error);
}

bool ReadFileHead(const std::string& path, std::size_t maxBytes, std::vector<std::uint8_t>& out,
                  std::uint64_t& fileSize, FileError* error) {
    setError(error, FileError::None);
    std::uint64_t size = 0;
    const int fd = OpenRegularFile(path, O_RDONLY, size, error);
    if (fd < 0) return false;
    const std::size_t want = size < maxBytes ? static_cast<std::size_t>(size) : maxBytes;
    std::vector<std::uint8_t> data(want);
    const long long got = readFully(fd, data.data(), want);
    const int readErr = errno;
    ::close(fd);
    if (got < 0) {
        setError(error, fromErrno(readErr));
        return false;
    }
    data.resize(static_cast<std::size_t>(got));
    out = std::move(data);
    fileSize = size;
    return true;
}

std::string ExtractFileName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace velto
