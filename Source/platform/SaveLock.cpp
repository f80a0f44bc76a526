#include "platform/SaveLock.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/Temporaries.h"

namespace velto {

namespace {

constexpr int kDefaultWaitMs = 4000;
int waitLimitMs = 0;
thread_local std::function<void(bool)> waitHook;

// 0 once held, EAGAIN when the wait ran out, or the system's reason.
int WaitForLock(int fd) {
    using Clock = std::chrono::steady_clock;
    const auto limit = std::chrono::milliseconds(waitLimitMs > 0 ? waitLimitMs : kDefaultWaitMs);
    const auto start = Clock::now();
    bool told = false;
    int err = 0;
    // Polled, not waited for in the system: a wait there could not be bounded,
    // nor let the window draw.
    while ((err = HoldForSave(fd)) == EAGAIN && Clock::now() - start < limit) {
        if (waitHook) {
            waitHook(true);
            told = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (told && waitHook) waitHook(false);
    return err;
}

}  // namespace

bool NoLocksHere(int err) { return err == ENOLCK || err == EOPNOTSUPP || err == ENOSYS || err == EINVAL; }

FileError SaveLock::Take(const std::string& path) {
    Close();
    for (int tries = 0; tries < 10; ++tries) {
        std::uint64_t size = 0;
        FileError e;
        fd_ = OpenRegularFile(path, O_RDWR, size, &e);
        // (A file one may write but not read is still replaced whole.)
        if (fd_ < 0 && e.sysError() == EACCES) fd_ = OpenRegularFile(path, O_WRONLY, size, &e);
        if (fd_ < 0) return e;
        const int err = WaitForLock(fd_);
        if (err == EAGAIN) {
            Close();
            return FileError::WithWords(FileError::FromErrno(EAGAIN), "another save of this file is in progress");
        }
        if (err != 0 && !NoLocksHere(err)) {
            Close();
            return FileError::FromErrno(err);
        }
        // The save that held it may have replaced the file: then the new one.
        if (StillNamed(AT_FDCWD, path.c_str(), fd_)) return FileError::None;
        Close();
    }
    return FileError::WithWords(FileError::FromErrno(EAGAIN), "another save of this file is in progress");
}

int SaveLock::Close() {
    if (fd_ < 0) return 0;
    const int r = ::close(fd_);
    fd_ = -1;
    return r == 0 ? 0 : errno;
}

void SetSaveWaitHook(std::function<void(bool)> hook) { waitHook = std::move(hook); }

namespace testhooks {
void SetSaveWaitLimit(int milliseconds) { waitLimitMs = milliseconds; }
}  // namespace testhooks

}  // namespace velto
