#include "platform/ReadInstead.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <vector>

#include "platform/FileWriter.h"
#include "platform/PreviousCopyRecord.h"

namespace velto {

namespace {

// Few live at once (one for each open under way): a list will do.
std::mutex& Lock() {
    static std::mutex lock;
    return lock;
}
std::vector<const ReadInstead*>& Live() {
    static std::vector<const ReadInstead*> live;
    return live;
}

}  // namespace

ReadInstead::ReadInstead(const FileState& file, int from, std::uint64_t size)
    : file_(file), from_(::fcntl(from, F_DUPFD_CLOEXEC, 0)), size_(size) {
    const std::lock_guard hold(Lock());
    Live().push_back(this);
}

ReadInstead::~ReadInstead() {
    {
        const std::lock_guard hold(Lock());
        std::erase(Live(), this);
    }
    if (from_ >= 0) ::close(from_);
}

// A private copy each time: a reader moves its descriptor's offset, and
// readers on other threads may open the file meanwhile.
int ReadInstead::Open() const {
    if (from_ < 0) return -1;
    const int fd = ::memfd_create("velto-earlier-content", MFD_CLOEXEC);
    if (fd < 0) return -1;
    std::vector<std::uint8_t> buf(1 << 16);
    for (std::uint64_t at = 0; at < size_; at += buf.size()) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(buf.size(), size_ - at));
        const FileError e = copies::ReadAt(from_, buf.data(), n, at) == static_cast<long long>(n)
                                ? WriteAllAt(fd, {buf.data(), n}, at)
                                : FileError::FromErrno(EIO);
        if (!e.ok()) {
            ::close(fd);
            errno = e.sysError() ? e.sysError() : EIO;
            return -1;
        }
    }
    return fd;
}

int OpenInstead(int fd, std::uint64_t& size) {
    FileState file;
    const std::lock_guard hold(Lock());
    if (Live().empty() || !StateOf(fd, file)) return fd;
    for (const ReadInstead* instead : Live()) {
        if (!instead->file_.SameFile(file)) continue;
        const int content = instead->Open();
        const int err = errno;
        ::close(fd);
        errno = err;
        if (content >= 0) size = instead->size();
        return content;
    }
    return fd;
}

}  // namespace velto
