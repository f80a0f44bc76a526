// What lies beside a file from saves that did not finish, and what each road
// does with it: the one rule of PreviousCopy.h.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

#include "platform/CopyJudge.h"
#include "platform/PreviousCopy.h"
#include "platform/PreviousCopyRecord.h"
#include "platform/ReadInstead.h"
#include "platform/Temporaries.h"

namespace velto {

using namespace copies;

namespace {

// Removes a copy, flushing its name's removal (nothing else waits on it).
void Remove(int dir, const Copy& copy) {
    if (StillNamed(dir, copy.name.c_str(), copy.fd)) ::unlinkat(dir, copy.name.c_str(), 0);
    (void)::fsync(dir);
}

FileError Damaged(const std::string& words) {
    return FileError::WithWords(FileError::FromErrno(EBUSY), words + ": the file may be damaged");
}

// A descriptor closed when it goes.
struct Owned {
    int fd = -1;
    ~Owned() {
        if (fd >= 0) ::close(fd);
    }
};

// The names in the folder of copies of the file (inode), with their users.
std::vector<std::pair<std::string, unsigned>> CopiesOf(int dir, std::uint64_t inode) {
    std::vector<std::pair<std::string, unsigned>> found;
    EachName(dir, [&](const char* name, std::uint64_t) {
        unsigned uid = 0;
        std::uint64_t ino = 0;
        if (ParseCopyName(name, uid, ino) && ino == inode) found.emplace_back(name, uid);
    });
    return found;
}

// One of this user's copies of the file pages reads (now): put back, removed or left.
FileError Settle(const std::string& target, int dir, FilePages& pages, SaveLock& lock, Road road, Copy& copy,
                 const FileState& now, UnfinishedSave& out) {
    const std::string where = FolderOf(target) + "/" + copy.name;
    const int fd = pages.fd();
    // A save still running keeps its copy: only a gone save's is settled.
    if (!NoSaveHolds(copy.fd, MakerHere(copy.record))) return FileError::None;
    const Verdict verdict = Judge(pages, copy);
    const bool alone = lock.held() || lock.state() == LockState::NoLocks;
    // Whole already: the copy goes once the file is on disk (a put-back whose flush failed left it only in memory).
    if (verdict == Verdict::Saved || verdict == Verdict::Unchanged) {
        if (::fsync(fd) == 0) Remove(dir, copy);
        return FileError::None;
    }
    if (verdict == Verdict::Stale) {
        // Its maker's next save of the file takes its place.
        if (road != Road::Open && alone) Remove(dir, copy);
        return FileError::None;
    }
    std::string why;
    if (alone) {
        const FileError e = PutBack(copy.fd, fd);
        pages.Forget();
        if (e.ok()) {
            Remove(dir, copy);
            out = {UnfinishedSave::Found::Undone, where, ::geteuid(), {}, {}};
            return FileError::None;
        }
        why = FileErrorText(e);
        if (road != Road::Open)
            return FileError::WithWords(e, "an unfinished save's previous content, kept in " + where +
                                               ", could not be put back: " + why);
    } else {
        why = lock.state() == LockState::Readers ? "a program reading the file holds a lock on it"
                                                 : "this user may not write the file";
        if (road != Road::Open) {
            out = {UnfinishedSave::Found::Others, where, ::geteuid(),
                   Damaged("an unfinished save of this file left its previous content in " + where +
                           ", which could not be put back now (" + why + ")"),
                   {}};
            return road == Road::Rebuild ? out.why : FileError();
        }
    }
    // Nothing is built on the torn bytes: an open reads the earlier content from the copy.
    out = {UnfinishedSave::Found::Shown, where, ::geteuid(),
           FileError::WithWords(FileError::FromErrno(EBUSY),
                                "its earlier content, kept in " + where + ", could not be put back into it (" + why + ")"),
           std::make_shared<const ReadInstead>(now, copy.fd, copy.record.made.size)};
    return FileError::None;
}

// Another user's copy of the file: said, unless it can be read and the file
// is no torn state of it.
bool MayHoldEarlierContent(FilePages& pages, const Copy& copy, const FileState& now) {
    if (copy.fd < 0) return true;  // not ours to read
    if (!copy.hasRecord || !copy.record.made.SameFile(now)) return false;
    return Judge(pages, copy) == Verdict::Torn;
}

}  // namespace

FileError LookBeside(const std::string& target, SaveLock& lock, Road road, UnfinishedSave& out) {
    out = {};
    // Opening only looks, on a file of its own, until a copy of this user's turns up.
    int fd = lock.fd();
    Owned looking;
    if (fd < 0) {
        std::uint64_t size = 0;
        looking.fd = fd = OpenRegularFileItself(target, O_RDONLY, size);
        if (fd < 0) return FileError::None;  // the reader says why
    }
    FileState now;
    const Owned folder{::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (!StateOf(fd, now) || folder.fd < 0) return FileError::None;
    // Read once, whatever the number of copies beside it.
    FilePages pages(fd);
    for (const auto& [name, uid] : CopiesOf(folder.fd, now.ino)) {
        Copy copy;
        if (uid != ::geteuid()) {
            if (road == Road::Save || out.found != UnfinishedSave::Found::None ||
                !ReadCopy(folder.fd, name, uid, copy) || !MayHoldEarlierContent(pages, copy, now))
                continue;
            const std::string where = FolderOf(target) + "/" + name;
            out = {UnfinishedSave::Found::Others, where, uid,
                   Damaged(where + ", a file of user " + std::to_string(uid) +
                           ", may hold this file's earlier content, left by an unfinished save of that user"),
                   {}};
            if (road == Road::Rebuild) return out.why;
            continue;
        }
        if (!ReadCopy(folder.fd, name, uid, copy) || !copy.record.made.SameFile(now)) continue;
        if (lock.state() == LockState::None) {
            const FileError e = lock.Take(target);
            // One who may only read the file is told of it.
            if (!e.ok() && e.sysError() != EACCES && e.sysError() != EROFS && e.sysError() != EPERM) return e;
            FileState locked;
            if (e.ok() && (!StateOf(lock.fd(), locked) || !locked.SameFile(now))) continue;  // replaced meanwhile
            if (e.ok()) pages.Use(lock.fd());
        }
        if (const FileError e = Settle(target, folder.fd, pages, lock, road, copy, now, out); !e.ok()) return e;
    }
    return FileError::None;
}

FileError RecoverUnfinishedSave(const std::string& given, UnfinishedSave& out) {
    // The copy lies beside the file a link leads to, as its save wrote there.
    char* resolved = ::realpath(given.c_str(), nullptr);
    const std::string path = resolved ? resolved : given;
    std::free(resolved);
    SaveLock lock;
    return LookBeside(path, lock, Road::Open, out);
}

}  // namespace velto
