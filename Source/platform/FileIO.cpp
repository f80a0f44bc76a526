#include "platform/FileIO.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace velto {
namespace {

void setError(FileError* out, FileError e) {
    if (out) *out = e;
}

FileError fromErrno(int err) { return FileError::FromErrno(err); }

// Opens a regular file for reading. O_NONBLOCK keeps open() from waiting on a
// FIFO; the fstat afterwards refuses anything that is not a regular file.
int openRegular(const std::string& path, std::uint64_t& size, FileError* error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        setError(error, fromErrno(errno));
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        setError(error, fromErrno(errno));
        ::close(fd);
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        setError(error, FileError::NotRegular);
        ::close(fd);
        return -1;
    }
    // Regular files never block; plain blocking reads are simpler to loop over.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    size = static_cast<std::uint64_t>(st.st_size);
    return fd;
}

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
};

}  // namespace

std::string FileErrorText(FileError e) {
    const int sys = e.sysError();
    for (const ReasonRow& row : kReasons)
        if (sys != 0 ? row.sysError == sys : (row.sysError == 0 && row.kind == e.kind())) return row.text;
    // A reason the table lacks: the system's number says which.
    if (sys != 0) return "system error " + std::to_string(sys);
    return "unknown error";
}

namespace {

template <class Bytes>
bool readWholeFile(const std::string& path, Bytes& out, std::uint64_t cap, FileError* error) {
    setError(error, FileError::None);
    std::uint64_t size = 0;
    const int fd = openRegular(path, size, error);
    if (fd < 0) return false;
    if (size > cap) {
        ::close(fd);
        setError(error, FileError::TooLarge);
        return false;
    }
    // The size may change under us; read one byte more than announced to notice growth.
    Bytes data(static_cast<std::size_t>(size) + 1);
    const long long got = readFully(fd, data.data(), data.size());
    const int readErr = errno;
    ::close(fd);
    if (got < 0) {
        setError(error, fromErrno(readErr));
        return false;
    }
    if (static_cast<std::uint64_t>(got) > size) {
        // The file grew while we read it: keep reading within the cap.
        Bytes more;
        FileError e = FileError::None;
        if (!readWholeFile(path, more, cap, &e)) {
            setError(error, e);
            return false;
        }
        out = std::move(more);
        return true;
    }
    data.resize(static_cast<std::size_t>(got));
    out = std::move(data);
    return true;
}

}  // namespace

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
    const int fd = openRegular(path, size, error);
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
