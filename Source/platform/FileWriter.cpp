#include "platform/FileWriter.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstdint>
#include <vector>

#include "platform/PreviousCopy.h"

namespace velto {

namespace testhooks {
namespace {
thread_local int failFlush = 0, failClose = 0;
}  // namespace
void FailWriterAt(WriterStep step, int err) { (step == WriterStep::Flush ? failFlush : failClose) = err; }
}  // namespace testhooks

namespace {

int SyncFile(int fd) {
    if (testhooks::failFlush == 0) return ::fsync(fd);
    errno = testhooks::failFlush;
    return -1;
}

int CloseFile(int fd) {
    const int r = ::close(fd);
    if (testhooks::failClose == 0) return r;
    errno = testhooks::failClose;
    return -1;
}

// The one write loop: at a given offset (pwrite) or from where fd stands.
FileError WriteLoop(int fd, std::span<const std::uint8_t> data, const std::uint64_t* at) {
    std::uint64_t offset = at ? *at : 0;
    while (!data.empty()) {
        const ssize_t w = at ? ::pwrite(fd, data.data(), data.size(), static_cast<off_t>(offset))
                             : ::write(fd, data.data(), data.size());
        if (w < 0 && errno == EINTR) continue;
        if (w < 0) return FileError::FromErrno(errno);
        if (w == 0) return FileError::FromErrno(ENOSPC);
        data = data.subspan(static_cast<std::size_t>(w));
        offset += static_cast<std::uint64_t>(w);
    }
    return FileError::None;
}

// What a replacement of path replaces. A link that leads to a regular file
// stands for that file: who saves through a link means the file, and the link
// must stay. Any other path (a dangling link or one to something else too) is
// taken as it is.
std::string ReplacedFile(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return path;
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved) return path;
    std::string file(resolved);
    std::free(resolved);
    return file;
}

// Which of owner and group the system lets a new file of ours take, tried
// on the empty temporary. Its owner goes back to the saver meanwhile, so that
// a killed save's temporary stays the saver's to sweep.
struct Givable {
    bool owner = false, group = false;
};
Givable TryOwnership(int fd, unsigned uid, unsigned gid) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return {};
    if (::fchown(fd, uid, gid) == 0) {
        if (st.st_uid != uid) ::fchown(fd, st.st_uid, static_cast<gid_t>(-1));
        return {true, true};
    }
    return {st.st_uid == uid, st.st_gid == gid || ::fchown(fd, static_cast<uid_t>(-1), gid) == 0};
}

// Takes away what the owning group may do: in the access list's entry for it
// (as the system stores a list: a 4-byte header, then 8-byte entries of tag,
// rights and id), and in the bits where they are that entry (without a mask;
// with one they are the mask, which named entries need).
void DropGroupRights(FileOwnership& o) {
    constexpr std::size_t kHeader = 4, kEntry = 8;
    constexpr unsigned kOwningGroup = 0x04, kMask = 0x10;
    bool masked = false;
    std::string& list = o.accessList;
    for (std::size_t at = kHeader; at + kEntry <= list.size(); at += kEntry) {
        const unsigned tag = static_cast<unsigned char>(list[at]) | static_cast<unsigned char>(list[at + 1]) << 8;
        if (tag == kOwningGroup) list[at + 2] = list[at + 3] = '\0';
        masked |= tag == kMask;
    }
    if (!masked) o.mode &= ~070u;
}

}  // namespace

FileError WriteAll(int fd, std::span<const std::uint8_t> data) { return WriteLoop(fd, data, nullptr); }

FileError WriteAllAt(int fd, std::span<const std::uint8_t> data, std::uint64_t at) {
    return WriteLoop(fd, data, &at);
}

bool FileOwnershipOf(const std::string& path, FileOwnership& out) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    out = {static_cast<unsigned>(st.st_mode & 07777), st.st_uid, st.st_gid, {}};
    return ReadFileAttribute(path, kAccessListAttribute, out.accessList) == 0;
}

FileWriter::FileWriter(std::string target, const WriteOptions& options)
    : target_(std::move(target)), options_(options) {
    bool existing = false;
    if (options_.mode == WriteMode::Replace && !options_.ownName) {
        target_ = ReplacedFile(target_);
        struct stat st {};
        if (::stat(target_.c_str(), &st) == 0) {
            // The rename below would replace a file its owner made read-only:
            // the target is refused as a write into it would be.
            if (!S_ISREG(st.st_mode)) {
                error_ = FileError::NotRegular;
                return;
            }
            if (::access(target_.c_str(), W_OK) != 0) {
                Fail(errno);
                return;
            }
            existing = true;
        } else if (errno != ENOENT) {
            Fail(errno);
            return;
        }
    }
    if (options_.mode == WriteMode::Replace && options_.ownership) {
        owned_ = true;
        ownership_ = *options_.ownership;
    }
    const std::string folder = FolderOf(target_);
    if (options_.sweep)
        options_.sweep->Folder(folder);
    else
        RemoveStaleFiles(folder);
    if (existing) {
        TakeExisting();
        return;
    }
    // A replacement stays private until it has the replaced file's bits; a
    // new file gets the usual ones from the umask.
    fd_ = CreateTemporaryBeside(target_, owned_ ? 0600 : 0666, temp_);
    if (fd_ < 0) {
        Fail(errno);
        return;
    }
    if (owned_) ChooseRoad();
}

// Held until the save ends: no other save of the file meanwhile (but where
// only readers' locks keep it away from a save by rename).
void FileWriter::TakeExisting() {
    lock_ = options_.lock ? options_.lock : &ownLock_;
    for (int tries = 0; tries < 10; ++tries) {
        if (lock_->state() == LockState::None)
            if (const FileError e = lock_->Take(target_); !e.ok()) {
                Fail(e);
                return;
            }
        struct stat st {};
        if (::fstat(lock_->fd(), &st) != 0) {
            Fail(errno);
            return;
        }
        owned_ = true;
        ownership_ = {static_cast<unsigned>(st.st_mode & 07777), st.st_uid, st.st_gid, {}};
        attributes_.clear();
        if (const int err = ReadFileAttributes(target_, attributes_)) {
            Fail(err);
            return;
        }
        // The access list goes with the permission bits.
        std::erase_if(attributes_, [&](FileAttribute& a) {
            if (a.name == kAccessListAttribute) ownership_.accessList = std::move(a.value);
            return a.name == kAccessListAttribute || BelongsToOldBytes(a.name);
        });
        fd_ = CreateTemporaryBeside(target_, 0600, temp_);
        if (fd_ < 0) {
            Fail(errno);
            return;
        }
        ChooseRoad();
        if (!ok()) return;
        // A write into the file itself excludes readers' locks too.
        bool replaced = false;
        if (inPlace_)
            if (const FileError e = lock_->Exclusive(target_, replaced); !e.ok()) {
                if (!replaced || lock_ != &ownLock_) {
                    Fail(e);
                    return;
                }
                // Another save replaced it meanwhile: this save starts over on the new file.
                ::unlink(temp_.c_str());
                temp_.clear();
                ::close(fd_);
                fd_ = -1;
                inPlace_ = false;
                continue;
            }
        // What a killed save of ours left goes back before anything else.
        UnfinishedSave found;
        if (const FileError e = LookBeside(target_, *lock_, Road::Save, found); !e.ok()) Fail(e);
        return;
    }
    Fail(FileError::WithWords(FileError::FromErrno(EAGAIN), "another save of this file is in progress"));
}

// Decided before anything is written, on what the system lets the saver do.
void FileWriter::ChooseRoad() {
    const Givable can = TryOwnership(fd_, ownership_.uid, ownership_.gid);
    if (can.owner && can.group) return;
    if (options_.ownership) {
        if (!can.group) DropGroupRights(ownership_);
        return;
    }
    // The temporary only gathers the content: the target keeps all it has.
    inPlace_ = true;
    owned_ = false;
    attributes_.clear();
}

FileWriter::~FileWriter() { Discard(); }

bool FileWriter::Fail(int err) { return Fail(FileError::FromErrno(err)); }

bool FileWriter::Fail(FileError e) {
    KeepFirstError(&error_, e);
    Discard();
    return false;
}

void FileWriter::Discard() {
    // Removed while still held, or a sweep could take the name meanwhile.
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
    for (int* fd : {&fd_, &held_}) {
        if (*fd >= 0) ::close(*fd);
        *fd = -1;
    }
    ownLock_.Close();
    lock_ = nullptr;
}

bool FileWriter::Write(std::span<const std::uint8_t> data) {
    if (!ok()) return false;
    const FileError e = WriteLoop(fd_, data, nullptr);
    return e.ok() || Fail(e.sysError());
}

bool FileWriter::WriteAt(std::uint64_t at, std::span<const std::uint8_t> data) {
    if (!ok()) return false;
    const FileError e = WriteLoop(fd_, data, &at);
    return e.ok() || Fail(e.sysError());
}

bool FileWriter::Flush() {
    if (!ok()) return false;
    if (flushed_) return true;
    if (owned_) {
        // The owner first: a change of owner clears the set-ID bits, which the
        // mode then restores only where both owner and group were kept.
        struct stat st {};
        bool kept = ::fstat(fd_, &st) == 0 && st.st_uid == ownership_.uid && st.st_gid == ownership_.gid;
        if (!kept) kept = ::fchown(fd_, ownership_.uid, ownership_.gid) == 0;
        if (!kept) ::fchown(fd_, static_cast<uid_t>(-1), ownership_.gid);  // the group alone, when ours
        // What the folder's default list gave the temporary goes first: it
        // takes room the attributes may need (an ext4 file's one block), and
        // the bits would open the file to those it names. Its mask, the group
        // bits, is none, so the file stays private.
        if (const int err = RemoveFileAttribute(fd_, kAccessListAttribute)) return Fail(err);
        // The other attributes grant nothing: they go while the file is still
        // writable to the saver, and after the owner, whose change clears some.
        for (const FileAttribute& a : attributes_)
            if (const int err = SetFileAttribute(fd_, a.name, a.value)) return Fail(err);
        // The access list before the bits: with a list, the group bits are its
        // mask, which on their own would give the owning group what only the
        // list's named entries had.
        if (!ownership_.accessList.empty())
            if (const int err = SetFileAttribute(fd_, kAccessListAttribute, ownership_.accessList)) return Fail(err);
        if (::fchmod(fd_, kept ? ownership_.mode : ownership_.mode & 01777) != 0) return Fail(errno);
    }
    // In place, the target's own flush makes the content durable.
    if (options_.flush && !inPlace_ && SyncFile(fd_) != 0) return Fail(errno);
    // The lock stays with a descriptor of the same open file until the
    // temporary is named or removed.
    held_ = ::dup(fd_);
    if (held_ < 0) return Fail(errno);
    const int fd = fd_;
    fd_ = -1;
    // Some file systems report a full disk only here.
    if (CloseFile(fd) != 0) return Fail(errno);
    flushed_ = true;
    return true;
}

bool FileWriter::Commit() {
    if (!Flush()) return false;
    if (inPlace_) return CommitInPlace();
    if (options_.mode == WriteMode::Create) {
        if (const int err = LinkToFreeName(temp_, target_)) return Fail(err);
    } else if (options_.lock) {
        // A caller that built on the file replaces only what it read. Its
        // lock, even held, keeps away no save that began while only readers'
        // locks stood, and such saves keep away nothing.
        if (const FileError e = options_.lock->Replace(target_, temp_, held_); !e.ok()) return Fail(e);
    } else if (::rename(temp_.c_str(), target_.c_str()) != 0) {
        return Fail(errno);
    }
    temp_.clear();
    Discard();
    // Makes the new name itself durable. When the system says it may not be,
    // the save is not reported done, though the name holds the new bytes: the
    // caller, told why, keeps its work unsaved and may save again.
    if (options_.flush)
        if (const int err = SyncFolder(FolderOf(target_))) return Fail(err);
    return true;
}

// The copy of the old bytes is complete, flushed and named before the file
// is touched, and goes, with the lock still held, once the file is whole and
// flushed again: a save waiting for the lock never finds it.
bool FileWriter::CommitInPlace() {
    const int target = lock_->fd();
    struct stat content {};
    if (::fstat(held_, &content) != 0) return Fail(errno);
    int copyFd = -1;
    std::string copy;
    if (const FileError e = MakePreviousCopy(target_, target, held_, static_cast<std::uint64_t>(content.st_size),
                                             options_.flush, copyFd, copy);
        !e.ok())
        return Fail(e);
    FileError e = CopyContent(held_, target, UINT64_MAX);
    if (e.ok() && options_.flush && SyncFile(target) != 0) e = FileError::FromErrno(errno);
    // Some file systems report a lost write only at a close: one of a second
    // descriptor, as the first holds the lock.
    if (e.ok()) {
        const int probe = ::dup(target);
        if (probe < 0 || CloseFile(probe) != 0) e = FileError::FromErrno(errno);
    }
    // A failed write puts the old bytes back where it can; else the copy keeps them.
    const bool whole = e.ok() || PutBack(copyFd, target).ok();
    if (whole) {
        ::unlink(copy.c_str());
        if (options_.flush) (void)SyncFolder(FolderOf(target_));  // only the copy's removal
    } else {
        e = FileError::WithWords(e, FileErrorText(e) + "; the file's previous content is kept in " + copy);
    }
    ::close(copyFd);
    if (!e.ok()) return Fail(e);
    Discard();
    return true;
}

bool WriteWholeFile(const std::string& path, std::span<const std::uint8_t> data, FileError* error,
                    const WriteOptions& options) {
    FileWriter writer(path, options);
    const bool ok = writer.Write(data) && writer.Commit();
    if (error) *error = writer.error();
    return ok;
}

}  // namespace velto
