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

FileError fromErrno(int err) {
    switch (err) {
    case ENOENT:
    case ENOTDIR: return FileError::NotFound;
    default: return FileError::IoError;
    }
}

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
        setError(error, FileError::IoError);
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

// Reads up to n bytes; returns the count read, or -1 on error.
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

bool writeFully(int fd, const std::uint8_t* src, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
        const ssize_t w = ::write(fd, src + done, n - done);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(w);
    }
    return true;
}

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

}  // namespace

const char* FileErrorText(FileError e) {
    switch (e) {
    case FileError::None: return "no error";
    case FileError::NotFound: return "file not found";
    case FileError::NotRegular: return "not a regular file";
    case FileError::TooLarge: return "file too large";
    case FileError::IoError: return "input/output error";
    }
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
    ::close(fd);
    if (got < 0) {
        setError(error, FileError::IoError);
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
    ::close(fd);
    if (got < 0) {
        setError(error, FileError::IoError);
        return false;
    }
    data.resize(static_cast<std::size_t>(got));
    out = std::move(data);
    fileSize = size;
    return true;
}

bool SaveFileAtomic(const std::string& path, std::span<const std::uint8_t> data, FileError* error) {
    setError(error, FileError::None);
    const std::string folder = folderOf(path);
    std::string tmpl = folder + "/." + ExtractFileName(path) + ".velto-XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    const int fd = ::mkostemp(buf.data(), O_CLOEXEC);
    if (fd < 0) {
        setError(error, fromErrno(errno));
        return false;
    }
    const std::string tmp(buf.data());

    // Keep the permissions of a file we replace; new files get the usual 0666 & ~umask.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) {
            ::close(fd);
            ::unlink(tmp.c_str());
            setError(error, FileError::NotRegular);
            return false;
        }
        ::fchmod(fd, st.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }

    const bool ok = writeFully(fd, data.data(), data.size()) && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !ok) {
        ::unlink(tmp.c_str());
        setError(error, FileError::IoError);
        return false;
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        const int err = errno;
        ::unlink(tmp.c_str());
        setError(error, fromErrno(err));
        return false;
    }
    // Make the rename itself durable.
    const int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
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
