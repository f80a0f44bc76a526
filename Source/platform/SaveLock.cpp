#include "platform/SaveLock.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
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

std::chrono::milliseconds WaitLimit() { return std::chrono::milliseconds(waitLimitMs > 0 ? waitLimitMs : kDefaultWaitMs); }

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
    const auto limit = WaitLimit();
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

constexpr const char* kChanged = "the file was changed by another save after it was read";

FileError ChangedSinceRead() { return FileError::WithWords(FileError::FromErrno(EAGAIN), kChanged); }

// 0 or the system's reason; both names stay, each with the other's file.
int Exchange(const std::string& a, const std::string& b) {
    return ::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0 ? 0 : errno;
}

// The exchange took from path the file took, not the one read: it goes back,
// and temp gets own again. Other saves that read the file may have exchanged
// path meanwhile, each holding what it took until it gives it back; so
// whatever temp holds that is not took goes back to path, and took goes back
// whenever path holds own. false when own did not come back in time: temp
// then holds what it holds.
bool GiveBack(const std::string& path, std::string& temp, int own, const FileState& took) {
    const auto start = std::chrono::steady_clock::now();
    while (!StillNamed(AT_FDCWD, temp.c_str(), own)) {
        if (std::chrono::steady_clock::now() - start >= WaitLimit()) return false;
        FileState held;
        if (!StateOf(AT_FDCWD, temp.c_str(), AT_SYMLINK_NOFOLLOW, held)) return false;
        if (!held.SameFile(took) || StillNamed(AT_FDCWD, path.c_str(), own)) {
            if (Exchange(temp, path) != 0) return false;
            continue;
        }
        // A rename over path replaced own for good: took, which own had
        // replaced, would have gone with it.
        struct stat st {};
        if (::fstat(own, &st) == 0 && st.st_nlink == 0) {
            ::unlink(temp.c_str());
            temp.clear();
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
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

FileError SaveLock::Replace(const std::string& path, std::string& temp, int own) {
    // Held, the lock kept away every write into the file but this save's own
    // (a killed save's copy put back before the read): which file it is is
    // all that counts. An exchange moves the ctime.
    const auto asRead = [&](const std::string& name, bool exchanged) {
        FileState now;
        return fd_ >= 0 && StateOf(AT_FDCWD, name.c_str(), AT_SYMLINK_NOFOLLOW, now) &&
               (held() ? now.SameFile(taken_) : exchanged ? now.Unwritten(taken_) : now.Unchanged(taken_));
    };
    if (!asRead(path, false)) return ChangedSinceRead();
    const int err = Exchange(temp, path);
    if (err == EINVAL || err == ENOSYS || err == EOPNOTSUPP) {
        // No exchange here: checked again just before the rename, another
        // such save may still come between the two.
        if (!asRead(path, false)) return ChangedSinceRead();
        if (::rename(temp.c_str(), path.c_str()) != 0) return FileError::FromErrno(errno);
        temp.clear();
        return FileError::None;
    }
    if (err == ENOENT) return ChangedSinceRead();  // removed since the check
    if (err != 0) return FileError::FromErrno(err);
    // What came out must be the file read, and no other save may be writing
    // into it (one that took its lock before the exchange would write into a
    // removed file).
    if (asRead(temp, true) && (HoldForSave(fd_) != EAGAIN || !WriterHolds(fd_))) {
        // (A removal that fails leaves it to a sweep, as a killed save's temporary.)
        ::unlink(temp.c_str());
        temp.clear();
        return FileError::None;
    }
    FileState out;
    if (StateOf(AT_FDCWD, temp.c_str(), AT_SYMLINK_NOFOLLOW, out) && GiveBack(path, temp, own, out))
        return ChangedSinceRead();
    const std::string left = temp;
    temp.clear();
    return FileError::WithWords(FileError::FromErrno(EAGAIN),
                                std::string(kChanged) + "; what the file held then is left in " + left);
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
