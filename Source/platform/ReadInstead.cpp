#include "platform/ReadInstead.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <vector>

#include "platform/PreviousCopy.h"

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
    FileError e = CopyContent(from_, fd, size_);
    // (A copy that holds fewer bytes than its record says is no earlier content.)
    if (e.ok() && ::lseek(fd, 0, SEEK_END) != static_cast<off_t>(size_)) e = FileError::FromErrno(EIO);
    if (e.ok() && ::lseek(fd, 0, SEEK_SET) == 0) return fd;
    ::close(fd);
    errno = e.sysError() ? e.sysError() : EIO;
    return -1;
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
