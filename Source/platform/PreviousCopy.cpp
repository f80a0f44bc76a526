#include "platform/PreviousCopy.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdlib>
#include <cstdio>
#include <span>
#include <vector>

#include "platform/ByteReader.h"
#include "platform/ByteWriter.h"
#include "platform/FileWriter.h"
#include "platform/SaveLock.h"
#include "platform/Temporaries.h"

namespace velto {

namespace {

constexpr std::string_view kPrevious = ".velto-previous.";
// "." + uid (at most 10 digits) + "." + inode (at most 16 hex digits).
constexpr std::size_t kIdentityChars = 1 + 10 + 1 + 16;
// Behind the content: the file's name, then a record of fixed size.
constexpr char kMagic[] = "velto-pc";
constexpr std::size_t kRecordSize = 8 + 4 + 4 + 6 * 8;

// Which file a copy was made from, and how it stood then.
struct FileState {
    std::uint64_t dev = 0, ino = 0, size = 0;
    std::int64_t mtime = 0, ctime = 0, btime = 0;  // nanoseconds; btime 0: not kept
    bool SameFile(const FileState& o) const {
        return dev == o.dev && ino == o.ino && (btime == 0 || o.btime == 0 || btime == o.btime);
    }
    bool Unchanged(const FileState& o) const {
        return SameFile(o) && size == o.size && mtime == o.mtime && ctime == o.ctime;
    }
};

std::int64_t Nanoseconds(const statx_timestamp& t) { return t.tv_sec * 1000000000LL + t.tv_nsec; }

bool StateOf(int dir, const char* name, int flags, FileState& out) {
    struct statx st {};
    if (::statx(dir, name, flags | AT_STATX_SYNC_AS_STAT, STATX_BASIC_STATS | STATX_BTIME, &st) != 0) return false;
    out.dev = (std::uint64_t{st.stx_dev_major} << 32) | st.stx_dev_minor;
    out.ino = st.stx_ino;
    out.size = st.stx_size;
    out.mtime = Nanoseconds(st.stx_mtime);
    out.ctime = Nanoseconds(st.stx_ctime);
    out.btime = (st.stx_mask & STATX_BTIME) ? Nanoseconds(st.stx_btime) : 0;
    return true;
}
bool StateOf(int fd, FileState& out) { return StateOf(fd, "", AT_EMPTY_PATH, out); }

std::string BaseOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return path.substr(slash == std::string::npos ? 0 : slash + 1);
}

// "." + the name (cut to leave room) + ".velto-previous.": what every copy
// of the file's name begins with.
std::string CopyPrefix(const std::string& target) {
    std::string base = BaseOf(target);
    const std::size_t room = NAME_MAX - 1 - kPrevious.size() - kIdentityChars;
    if (base.size() > room) base.resize(room);
    return "." + base + std::string(kPrevious);
}

std::string Hex(std::uint64_t v) {
    char s[20];
    std::snprintf(s, sizeof s, "%" PRIx64, v);
    return s;
}

// The record a copy carries, read from its open file: false when it has none
// that holds together (then it is not a copy of ours).
bool ReadRecord(int fd, FileState& made, std::string& name) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_size < static_cast<off_t>(kRecordSize)) return false;
    const auto total = static_cast<std::uint64_t>(st.st_size);
    std::uint8_t raw[kRecordSize];
    if (::pread(fd, raw, kRecordSize, static_cast<off_t>(total - kRecordSize)) != static_cast<ssize_t>(kRecordSize))
        return false;
    ByteReader r({raw, kRecordSize});
    char magic[8];
    std::uint32_t version = 0, nameLength = 0;
    std::uint64_t fields[6];
    if (!r.bytes(magic, 8) || std::string_view(magic, 8) != std::string_view(kMagic, 8) || !r.u32le(version) ||
        version != 1 || !r.u32le(nameLength) || nameLength == 0 || nameLength > NAME_MAX)
        return false;
    for (std::uint64_t& f : fields)
        if (!r.u64le(f)) return false;
    made = {fields[0], fields[1], fields[2], static_cast<std::int64_t>(fields[3]), static_cast<std::int64_t>(fields[4]),
            static_cast<std::int64_t>(fields[5])};
    if (made.size != total - kRecordSize - nameLength) return false;
    name.resize(nameLength);
    return ::pread(fd, name.data(), nameLength, static_cast<off_t>(made.size)) == static_cast<ssize_t>(nameLength);
}

std::vector<std::uint8_t> Record(const FileState& s, const std::string& name) {
    ByteWriter w;
    w.text(name);
    w.bytes(kMagic, 8);
    w.u32le(1);
    w.u32le(static_cast<std::uint32_t>(name.size()));
    for (const std::uint64_t f : {s.dev, s.ino, s.size, static_cast<std::uint64_t>(s.mtime),
                                  static_cast<std::uint64_t>(s.ctime), static_cast<std::uint64_t>(s.btime)}) {
        w.u32le(static_cast<std::uint32_t>(f));
        w.u32le(static_cast<std::uint32_t>(f >> 32));
    }
    return w.take();
}

// The one rule for what lies at a copy's name in folder dir: a copy only when
// it is a regular file of one link owned by the user its name gives (so that
// no one else can have planted it), and, for this user's own, when it opens
// as such and carries its record.
struct Copy {
    bool trusted = false;
    unsigned owner = 0;
    int fd = -1;  // this user's: open
    FileState made;
    std::string file;  // the name of the file it was made from
    ~Copy() {
        if (fd >= 0) ::close(fd);
    }
};

bool ReadCopy(int dir, const std::string& name, unsigned owner, Copy& out) {
    struct stat st {};
    if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1 ||
        st.st_uid != owner)
        return false;
    out.owner = owner;
    if (owner != ::geteuid()) return out.trusted = true;
    out.fd = ::openat(dir, name.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat held {};
    out.trusted = out.fd >= 0 && ::fstat(out.fd, &held) == 0 && held.st_ino == st.st_ino &&
                  held.st_dev == st.st_dev && S_ISREG(held.st_mode) && held.st_nlink == 1 &&
                  ReadRecord(out.fd, out.made, out.file);
    return out.trusted;
}

// The uid a copy's name gives, when the name is one of prefix and inode.
bool OwnerInName(std::string_view name, std::string_view prefix, std::string_view inode, unsigned& uid) {
    if (!name.starts_with(prefix) || name.size() < prefix.size() + 2 + inode.size()) return false;
    const std::string_view middle = name.substr(prefix.size(), name.size() - prefix.size() - inode.size() - 1);
    if (name.substr(name.size() - inode.size() - 1) != "." + std::string(inode)) return false;
    if (middle.empty() || middle.size() > 10) return false;
    std::uint64_t v = 0;
    for (const char c : middle) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<unsigned>(c - '0');
    }
    if (v > UINT_MAX) return false;
    uid = static_cast<unsigned>(v);
    return true;
}

std::string Describe(int dir, const std::string& name) {
    struct stat st {};
    if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return "something";
    const std::string user = "user " + std::to_string(st.st_uid);
    if (S_ISLNK(st.st_mode)) return "a link of " + user;
    if (S_ISDIR(st.st_mode)) return "a folder of " + user;
    if (S_ISFIFO(st.st_mode)) return "a FIFO of " + user;
    if (!S_ISREG(st.st_mode)) return "a special file of " + user;
    if (st.st_nlink != 1) return "a file of " + user + " with " + std::to_string(st.st_nlink) + " links";
    return "a file of " + user + " that is no copy of this program";
}

}  // namespace

std::string PreviousContentName(const std::string& target, unsigned uid, std::uint64_t inode) {
    return FolderOf(target) + "/" + CopyPrefix(target) + std::to_string(uid) + "." + Hex(inode);
}

FileError CopyContent(int from, int to, std::uint64_t length) {
    std::vector<std::uint8_t> buf(1 << 16);
    std::uint64_t at = 0;
    while (at < length) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(buf.size(), length - at));
        const ssize_t r = ::pread(from, buf.data(), want, static_cast<off_t>(at));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return FileError::FromErrno(errno);
        if (r == 0) break;
        if (const FileError e = WriteAllAt(to, {buf.data(), static_cast<std::size_t>(r)}, at); !e.ok()) return e;
        at += static_cast<std::uint64_t>(r);
    }
    return ::ftruncate(to, static_cast<off_t>(at)) == 0 ? FileError() : FileError::FromErrno(errno);
}

FileError PutBack(int copyFd, int fd) {
    FileState made;
    std::string name;
    if (!ReadRecord(copyFd, made, name)) return FileError::FromErrno(EIO);
    FileError e = CopyContent(copyFd, fd, made.size);
    if (e.ok() && ::fsync(fd) != 0) e = FileError::FromErrno(errno);
    return e;
}

FileError PutBackOwnCopy(const std::string& target, int fd, UnfinishedSave& out) {
    FileState now;
    if (!StateOf(fd, now)) return FileError::FromErrno(errno);
    const std::string path = PreviousContentName(target, ::geteuid(), now.ino);
    Copy copy;
    if (!ReadCopy(AT_FDCWD, path, ::geteuid(), copy) || !copy.made.SameFile(now) || copy.file != BaseOf(target))
        return FileError::None;  // none, or not ours: a save that needs the name says so
    // A copy of the file as it still is (a save killed before it wrote) only goes.
    if (!copy.made.Unchanged(now)) {
        if (const FileError e = PutBack(copy.fd, fd); !e.ok())
            return FileError::WithWords(e, "an unfinished save's previous content, kept in " + path +
                                               ", could not be put back: " + FileErrorText(e));
        out.found = UnfinishedSave::Found::Undone;
    }
    ::unlink(path.c_str());
    (void)SyncFolder(FolderOf(target));  // (only the copy's removal)
    return FileError::None;
}

void FindOthersCopy(const std::string& target, int fd, UnfinishedSave& out) {
    FileState now;
    if (!StateOf(fd, now)) return;
    const std::string folder = FolderOf(target), prefix = CopyPrefix(target), inode = Hex(now.ino);
    DIR* d = ::opendir(folder.c_str());
    if (!d) return;
    while (const dirent* e = ::readdir(d)) {
        unsigned uid = 0;
        Copy copy;
        if (OwnerInName(e->d_name, prefix, inode, uid) && uid != ::geteuid() &&
            ReadCopy(::dirfd(d), e->d_name, uid, copy)) {
            out = {UnfinishedSave::Found::Others, folder + "/" + e->d_name, uid};
            break;
        }
    }
    ::closedir(d);
}

FileError OthersCopyError(const UnfinishedSave& found) {
    return FileError::WithWords(FileError::FromErrno(EBUSY),
                                "an unfinished save of user " + std::to_string(found.owner) +
                                    " left this file's previous content in " + found.copy +
                                    ": the file may be damaged");
}

FileError RecoverUnfinishedSave(const std::string& given, UnfinishedSave& out) {
    out = {};
    // The copy lies beside the file a link leads to, as its save wrote there.
    char* resolved = ::realpath(given.c_str(), nullptr);
    const std::string path = resolved ? resolved : given;
    std::free(resolved);
    SaveLock lock;
    const FileError e = lock.Take(path);
    if (e.ok()) {
        if (const FileError put = PutBackOwnCopy(path, lock.fd(), out); !put.ok()) return put;
        FindOthersCopy(path, lock.fd(), out);
        return FileError::None;
    }
    if (e.sysError() != EACCES && e.sysError() != EROFS) return e;
    // One who may only read the file is told of any copy, its own too.
    std::uint64_t size = 0;
    const int fd = OpenRegularFile(path, O_RDONLY, size);
    if (fd < 0) return FileError::None;  // the reader says why
    FileState now;
    struct stat st {};
    if (StateOf(fd, now) && ::lstat(PreviousContentName(path, ::geteuid(), now.ino).c_str(), &st) == 0 &&
        S_ISREG(st.st_mode) && st.st_uid == ::geteuid())
        out = {UnfinishedSave::Found::Others, PreviousContentName(path, ::geteuid(), now.ino), ::geteuid()};
    else
        FindOthersCopy(path, fd, out);
    ::close(fd);
    return FileError::None;
}

FileError MakePreviousCopy(const std::string& target, int fd, bool flush, int& copyFd, std::string& copy) {
    FileState now;
    if (!StateOf(fd, now)) return FileError::FromErrno(errno);
    copy = PreviousContentName(target, ::geteuid(), now.ino);
    const auto inTheWay = [&] {
        return FileError::WithWords(FileError::FromErrno(EEXIST), copy + " is in the way of this save's copy of the "
                                                                         "file: it is " + Describe(AT_FDCWD, copy));
    };
    struct stat st {};
    if (::lstat(copy.c_str(), &st) == 0) return inTheWay();
    std::string temp;
    const int made = CreateTemporaryBeside(target, 0600, temp);
    if (made < 0) return FileError::FromErrno(errno);
    FileError e = CopyContent(fd, made, now.size);
    if (e.ok()) {
        const std::vector<std::uint8_t> record = Record(now, BaseOf(target));
        e = WriteAllAt(made, record, now.size);
    }
    if (e.ok() && flush && ::fsync(made) != 0) e = FileError::FromErrno(errno);
    // Named only whole: a name never given to anything else, never replacing.
    if (e.ok()) {
        const int err = LinkToFreeName(temp, copy);
        if (err == 0)
            temp.clear();
        else
            e = err == EEXIST ? inTheWay() : FileError::FromErrno(err);
    }
    if (!e.ok()) {
        if (!temp.empty()) ::unlink(temp.c_str());
        ::close(made);
        return e;
    }
    // The copy's name must last before the file is touched.
    if (flush)
        if (const int err = SyncFolder(FolderOf(target))) {
            ::unlink(copy.c_str());
            ::close(made);
            return FileError::FromErrno(err);
        }
    copyFd = made;
    return FileError::None;
}

void RemoveStaleCopies(const std::string& folder) {
    DIR* d = ::opendir(folder.c_str());
    if (!d) return;
    const std::string uid = "." + std::to_string(::geteuid()) + ".";
    std::vector<std::string> mine;
    while (const dirent* e = ::readdir(d)) {
        const std::string_view name = e->d_name;
        const auto at = name.rfind(kPrevious);
        if (name.starts_with(".") && at != std::string_view::npos &&
            name.substr(at + kPrevious.size() - 1).starts_with(uid))
            mine.push_back(e->d_name);
    }
    for (const std::string& name : mine) {
        Copy copy;
        FileState file;
        if (!ReadCopy(::dirfd(d), name, ::geteuid(), copy) ||
            name != CopyPrefix(folder + "/" + copy.file) + std::to_string(::geteuid()) + "." + Hex(copy.made.ino))
            continue;
        // Its file is there as it was made from: not stale, whatever it holds.
        if (StateOf(::dirfd(d), copy.file.c_str(), AT_SYMLINK_NOFOLLOW, file) && copy.made.SameFile(file)) continue;
        // Held by a save still running (where the file system keeps locks).
        const int held = HoldForSave(copy.fd);
        if (held == EAGAIN || (held != 0 && !NoLocksHere(held))) continue;
        if (StillNamed(::dirfd(d), name.c_str(), copy.fd)) ::unlinkat(::dirfd(d), name.c_str(), 0);
    }
    ::closedir(d);
}

}  // namespace velto
