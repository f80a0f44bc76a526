// What lies beside a file from saves that did not finish, and what each road
// does with it: the one rule of PreviousCopy.h.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/PreviousCopy.h"
#include "platform/PreviousCopyRecord.h"
#include "platform/Sha256.h"
#include "platform/Temporaries.h"

namespace velto {

using namespace copies;

namespace {

enum class Verdict : std::uint8_t {
    Saved,      // the file holds the save's whole new content
    Unchanged,  // the file holds the copy's content
    Torn,       // the save's new bytes up to a page, then the old ones
    Stale,      // anything else: written since
};

// Reads the file once, page by page: how far it holds the new content (each
// page against its digest), then whether the rest is the old content.
Verdict Judge(int fd, const Copy& copy) {
    const Record& r = copy.record;
    struct stat st {};
    if (::fstat(fd, &st) != 0) return Verdict::Stale;
    const auto size = static_cast<std::uint64_t>(st.st_size), old = r.made.size;
    std::vector<std::uint8_t> file(kPage), before(kPage);
    std::uint64_t at = 0;
    bool asBefore = true;  // the pages read so far hold the old content too
    for (std::uint64_t page = 0; r.version >= 2 && at < r.newSize; ++page) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kPage, r.newSize - at));
        Digest expected{};
        if (ReadAt(fd, file.data(), n, at) != static_cast<long long>(n) ||
            ReadAt(copy.fd, expected.data(), expected.size(), r.digestsAt + page * expected.size()) !=
                static_cast<long long>(expected.size()) ||
            Sha256::Of(file.data(), n) != expected)
            break;
        asBefore = asBefore && at + n <= old && ReadAt(copy.fd, before.data(), n, at) == static_cast<long long>(n) &&
                   std::memcmp(file.data(), before.data(), n) == 0;
        at += n;
    }
    if (r.version >= 2 && at == r.newSize && size == r.newSize) return Verdict::Saved;
    // Writes go in order and the file is cut only once all are done.
    if (size != std::max(old, at)) return Verdict::Stale;
    for (; at < size; at += kPage) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kPage, size - at));
        if (ReadAt(fd, file.data(), n, at) != static_cast<long long>(n) ||
            ReadAt(copy.fd, before.data(), n, at) != static_cast<long long>(n) ||
            std::memcmp(file.data(), before.data(), n) != 0)
            return Verdict::Stale;
    }
    return asBefore && size == old ? Verdict::Unchanged : Verdict::Torn;
}

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

// One of this user's copies of the open file fd: put back, removed or left.
FileError Settle(const std::string& target, int dir, int fd, SaveLock& lock, Road road, Copy& copy,
                 UnfinishedSave& out) {
    const std::string where = FolderOf(target) + "/" + copy.name;
    // A save still running keeps its copy: only a gone save's is settled.
    if (!NoSaveHolds(copy.fd, MakerHere(copy.record))) return FileError::None;
    const Verdict verdict = Judge(fd, copy);
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
    if (!alone) {
        const std::string why = lock.state() == LockState::Readers
                                    ? "a program reading the file holds a lock on it"
                                    : "this user may not write the file";
        out = {UnfinishedSave::Found::Others, where, ::geteuid(),
               Damaged("an unfinished save of this file left its previous content in " + where +
                       ", which could not be put back now (" + why + ")")};
        return road == Road::Rebuild ? out.why : FileError();
    }
    if (const FileError e = PutBack(copy.fd, fd); !e.ok())
        return FileError::WithWords(e, "an unfinished save's previous content, kept in " + where +
                                           ", could not be put back: " + FileErrorText(e));
    Remove(dir, copy);
    out = {UnfinishedSave::Found::Undone, where, ::geteuid(), {}};
    return FileError::None;
}

// Another user's copy of the file: said, unless it can be read and the file
// is no torn state of it.
bool MayHoldEarlierContent(int fd, const Copy& copy, const FileState& now) {
    if (copy.fd < 0) return true;  // not ours to read
    if (!copy.hasRecord || !copy.record.made.SameFile(now)) return false;
    return Judge(fd, copy) == Verdict::Torn;
}

}  // namespace

FileError LookBeside(const std::string& target, SaveLock& lock, Road road, UnfinishedSave& out) {
    out = {};
    // Opening only looks, on a file of its own, until a copy of this user's turns up.
    int fd = lock.fd();
    Owned looking;
    if (fd < 0) {
        std::uint64_t size = 0;
        looking.fd = fd = OpenRegularFile(target, O_RDONLY, size);
        if (fd < 0) return FileError::None;  // the reader says why
    }
    FileState now;
    const Owned folder{::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (!StateOf(fd, now) || folder.fd < 0) return FileError::None;
    for (const auto& [name, uid] : CopiesOf(folder.fd, now.ino)) {
        Copy copy;
        if (uid != ::geteuid()) {
            if (road == Road::Save || out.found != UnfinishedSave::Found::None ||
                !ReadCopy(folder.fd, name, uid, copy) || !MayHoldEarlierContent(fd, copy, now))
                continue;
            const std::string where = FolderOf(target) + "/" + name;
            out = {UnfinishedSave::Found::Others, where, uid,
                   Damaged(where + ", a file of user " + std::to_string(uid) +
                           ", may hold this file's earlier content, left by an unfinished save of that user")};
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
            if (e.ok()) fd = lock.fd();
        }
        if (const FileError e = Settle(target, folder.fd, fd, lock, road, copy, out); !e.ok()) return e;
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
