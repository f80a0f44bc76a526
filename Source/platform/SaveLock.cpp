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
thread_local std::function<void(SaveWait)> waitHook;

// Whether a write lock, which only a save (or another writer) holds, lies on
// the file: a read lock asked for conflicts with write locks alone.
bool WriterHolds(int fd) {
    struct flock probe {};
    probe.l_type = F_RDLCK;
    probe.l_whence = SEEK_SET;
    if (::fcntl(fd, F_OFD_GETLK, &probe) != 0) return true;  // (unknown: counted as a save)
    return probe.l_type != F_UNLCK;
}

FileError SaveInProgress() {
    return FileError::WithWords(FileError::FromErrno(EAGAIN), "another save of this file is in progress");
}

// Polled, not waited for in the system: a wait there could not be bounded,
// nor let the window draw. 0 once held; EAGAIN when the wait ran out, with
// what it waited for last in waited; the system's reason where no lock can be
// taken. Readers are waited for only when forReaders.
int WaitForLock(int fd, bool forReaders, SaveWait& waited) {
    using Clock = std::chrono::steady_clock;
    const auto limit = std::chrono::milliseconds(waitLimitMs > 0 ? waitLimitMs : kDefaultWaitMs);
    const auto start = Clock::now();
    waited = SaveWait::Over;
    bool told = false;
    int err = 0;
    while ((err = HoldForSave(fd)) == EAGAIN) {
        waited = WriterHolds(fd) ? SaveWait::Save : SaveWait::Reader;
        if ((waited == SaveWait::Reader && !forReaders) || Clock::now() - start >= limit) break;
        if (waitHook) {
            waitHook(waited);
            told = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (told && waitHook) waitHook(SaveWait::Over);
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
        SaveWait waited = SaveWait::Over;
        const int err = WaitForLock(fd_, false, waited);
        if (err == EAGAIN && waited == SaveWait::Save) {
            Close();
            return SaveInProgress();
        }
        if (err != 0 && err != EAGAIN && !NoLocksHere(err)) {
            Close();
            return FileError::FromErrno(err);
        }
        state_ = err == 0 ? LockState::Held : err == EAGAIN ? LockState::Readers : LockState::NoLocks;
        // The save that held it may have replaced the file: then the new one.
        if (StillNamed(AT_FDCWD, path.c_str(), fd_) && StateOf(fd_, taken_)) return FileError::None;
        Close();
    }
    return SaveInProgress();
}

FileError SaveLock::Exclusive(const std::string& path, bool& replaced) {
    replaced = false;
    if (state_ == LockState::Held) return FileError::None;
    if (fd_ < 0) return FileError::FromErrno(EBADF);
    SaveWait waited = SaveWait::Over;
    const int err = state_ == LockState::NoLocks ? ENOLCK : WaitForLock(fd_, true, waited);
    if (err == EAGAIN)
        return waited == SaveWait::Save ? SaveInProgress()
                                        : FileError::WithWords(FileError::FromErrno(EAGAIN),
                                                               "a program reading the file holds a lock on it");
    if (NoLocksHere(err)) {
        state_ = LockState::NoLocks;
        return FileError::WithWords(FileError::FromErrno(ENOLCK),
                                    "the file cannot be written in place here: its file system keeps no locks, "
                                    "without which another save of it could mix with this one");
    }
    if (err != 0) return FileError::FromErrno(err);
    state_ = LockState::Held;
    if (StillNamed(AT_FDCWD, path.c_str(), fd_)) return FileError::None;
    replaced = true;
    Close();
    return FileError::WithWords(FileError::FromErrno(EAGAIN), "the file was replaced while this save waited for it");
}

bool SaveLock::Unchanged(const std::string& path) const {
    FileState now;
    return fd_ >= 0 && StateOf(AT_FDCWD, path.c_str(), 0, now) && now.Unchanged(taken_);
}

int SaveLock::Close() {
    state_ = LockState::None;
    if (fd_ < 0) return 0;
    const int r = ::close(fd_);
    fd_ = -1;
    return r == 0 ? 0 : errno;
}

void SetSaveWaitHook(std::function<void(SaveWait)> hook) { waitHook = std::move(hook); }

namespace testhooks {
void SetSaveWaitLimit(int milliseconds) { waitLimitMs = milliseconds; }
}  // namespace testhooks

}  // namespace velto
