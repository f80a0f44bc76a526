#include "platform/PreviousCopy.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <map>
#include <span>
#include <vector>

#include "platform/ByteReader.h"
#include "platform/ByteWriter.h"
#include "platform/FileWriter.h"
#include "platform/PreviousCopyRecord.h"
#include "platform/Sha256.h"
#include "platform/Temporaries.h"

namespace velto {

namespace copies {

namespace {

constexpr std::string_view kPrevious = ".velto-previous.";
// "." + uid (at most 10 digits) + "." + inode (at most 16 hex digits).
constexpr std::size_t kIdentityChars = 1 + 10 + 1 + 16;
// The record's fixed part, last in the copy: magic, version, the name's
// length, six fields of the file; from version 2 on the new content's size,
// the maker's process id and machine (version 3 adds a digest before it).
constexpr char kMagic[] = "velto-pc";
constexpr std::size_t kFixedV1 = 8 + 4 + 4 + 6 * 8, kMachineBytes = 32;
constexpr std::size_t kFixedV2 = kFixedV1 + 8 + 4 + 4 + kMachineBytes;

std::string BaseOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return path.substr(slash == std::string::npos ? 0 : slash + 1);
}

// The fixed part of a version, from its last bytes: false when it is none.
bool ReadFixed(int fd, std::uint64_t total, std::size_t size, std::uint32_t version, Record& out,
               std::uint32_t& nameLength) {
    if (total < size) return false;
    std::uint8_t raw[kFixedV2];
    if (ReadAt(fd, raw, size, total - size) != static_cast<long long>(size)) return false;
    ByteReader r({raw, size});
    char magic[8];
    std::uint32_t v = 0, pid = 0, spare = 0;
    std::uint64_t fields[6];
    if (!r.bytes(magic, 8) || std::string_view(magic, 8) != std::string_view(kMagic, 8) || !r.u32le(v) ||
        (version == 1 ? v != 1 : v != 2 && v != 3) || !r.u32le(nameLength) || nameLength == 0 || nameLength > NAME_MAX)
        return false;
    for (std::uint64_t& f : fields)
        if (!r.u64le(f)) return false;
    out.version = v;
    out.made = {fields[0], fields[1], fields[2], static_cast<std::int64_t>(fields[3]),
                static_cast<std::int64_t>(fields[4]), static_cast<std::int64_t>(fields[5])};
    if (version == 1) return true;
    char machine[kMachineBytes];
    if (!r.u64le(out.newSize) || !r.u32le(pid) || !r.u32le(spare) || !r.bytes(machine, kMachineBytes)) return false;
    out.pid = pid;
    out.machine.assign(machine, strnlen(machine, kMachineBytes));
    return true;
}

}  // namespace

long long ReadAt(int fd, std::uint8_t* to, std::size_t n, std::uint64_t at) {
    std::size_t got = 0;
    while (got < n) {
        const ssize_t r = ::pread(fd, to + got, n - got, static_cast<off_t>(at + got));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return -1;
        if (r == 0) break;
        got += static_cast<std::size_t>(r);
    }
    return static_cast<long long>(got);
}

bool ReadRecord(int fd, Record& out) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return false;
    const auto total = static_cast<std::uint64_t>(st.st_size);
    out = {};
    std::uint32_t nameLength = 0;
    std::uint64_t behind = 0;  // what follows the old content
    if (ReadFixed(fd, total, kFixedV2, 2, out, nameLength)) {
        const std::uint64_t pages = out.newSize / kPage + (out.newSize % kPage != 0) + (out.version == 3);
        if (pages > total / sizeof(Digest)) return false;
        behind = kFixedV2 + nameLength + pages * sizeof(Digest);
    } else if (ReadFixed(fd, total, kFixedV1, 1, out, nameLength)) {
        behind = kFixedV1 + nameLength;
    } else {
        return false;
    }
    if (behind > total || out.made.size != total - behind) return false;
    out.digestsAt = out.made.size + nameLength;
    out.file.resize(nameLength);
    if (ReadAt(fd, reinterpret_cast<std::uint8_t*>(out.file.data()), nameLength, out.made.size) !=
        static_cast<long long>(nameLength))
        return false;
    if (out.version < 3 || !SplitByOldEnd(out.made.size, out.newSize)) return true;
    out.hasBelowOldEnd = true;
    const std::uint64_t at = total - kFixedV2 - sizeof(Digest);
    return ReadAt(fd, out.belowOldEnd.data(), sizeof(Digest), at) == static_cast<long long>(sizeof(Digest));
}

bool SplitByOldEnd(std::uint64_t oldSize, std::uint64_t newSize) { return newSize > oldSize && oldSize % kPage != 0; }

unsigned long MakerHere(const Record& record) { return record.machine == ThisMachineTag() ? record.pid : 0; }

std::vector<std::uint8_t> RecordBytes(const FileState& made, const std::string& name, std::uint64_t newSize,
                                      const std::vector<Digest>& digests, const Digest& belowOldEnd) {
    ByteWriter w;
    w.text(name);
    for (const Digest& d : digests) w.bytes(d.data(), d.size());
    w.bytes(belowOldEnd.data(), belowOldEnd.size());
    w.bytes(kMagic, 8);
    w.u32le(3);
    w.u32le(static_cast<std::uint32_t>(name.size()));
    for (const std::uint64_t f : {made.dev, made.ino, made.size, static_cast<std::uint64_t>(made.mtime),
                                  static_cast<std::uint64_t>(made.ctime), static_cast<std::uint64_t>(made.btime),
                                  newSize}) {
        w.u32le(static_cast<std::uint32_t>(f));
        w.u32le(static_cast<std::uint32_t>(f >> 32));
    }
    w.u32le(static_cast<std::uint32_t>(::getpid()));
    w.u32le(0);
    char machine[kMachineBytes] = {};
    const std::string tag = ThisMachineTag();
    std::memcpy(machine, tag.data(), std::min(tag.size(), kMachineBytes));
    w.bytes(machine, kMachineBytes);
    return w.take();
}

std::string CopyName(const std::string& target, unsigned uid, std::uint64_t inode) {
    // The file's name, cut to leave room for the rest.
    std::string base = BaseOf(target);
    const std::size_t room = NAME_MAX - 1 - kPrevious.size() - kIdentityChars;
    if (base.size() > room) base.resize(room);
    char identity[kIdentityChars + 1];
    std::snprintf(identity, sizeof identity, "%u.%" PRIx64, uid, inode);
    return "." + base + std::string(kPrevious) + identity;
}

bool ParseCopyName(std::string_view name, unsigned& uid, std::uint64_t& inode) {
    const auto at = name.rfind(kPrevious);
    if (!name.starts_with(".") || at == std::string_view::npos || at < 2) return false;
    const std::string_view identity = name.substr(at + kPrevious.size());
    const auto dot = identity.find('.');
    if (dot == std::string_view::npos || dot == 0 || dot > 10 || identity.size() - dot - 1 == 0 ||
        identity.size() - dot - 1 > 16)
        return false;
    std::uint64_t u = 0, i = 0;
    for (const char c : identity.substr(0, dot)) {
        if (c < '0' || c > '9') return false;
        u = u * 10 + static_cast<unsigned>(c - '0');
    }
    for (const char c : identity.substr(dot + 1)) {
        const int v = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (v < 0) return false;
        i = i << 4 | static_cast<unsigned>(v);
    }
    if (u > UINT_MAX) return false;
    uid = static_cast<unsigned>(u);
    inode = i;
    return true;
}

Copy::~Copy() {
    if (fd >= 0) ::close(fd);
}

bool ReadCopy(int dir, const std::string& name, unsigned owner, Copy& out) {
    const auto asMade = [owner](const struct stat& st) {
        return S_ISREG(st.st_mode) && st.st_nlink == 1 && st.st_uid == owner && (st.st_mode & 07777) == 0600;
    };
    struct stat st {};
    if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !asMade(st)) return false;
    out.name = name;
    out.owner = owner;
    // This user's own, open for writing (its lock, and a put-back's cut); another's as far as one may read it.
    out.fd = ::openat(dir, name.c_str(), (owner == ::geteuid() ? O_RDWR : O_RDONLY) | O_NOFOLLOW | O_NONBLOCK |
                                             O_NOCTTY | O_CLOEXEC);
    if (out.fd < 0) return owner != ::geteuid();
    struct stat held {};
    if (::fstat(out.fd, &held) != 0 || held.st_ino != st.st_ino || held.st_dev != st.st_dev || !asMade(held))
        return false;
    out.hasRecord = ReadRecord(out.fd, out.record);
    return out.hasRecord || owner != ::geteuid();
}

}  // namespace copies

using namespace copies;

std::string PreviousContentName(const std::string& target, unsigned uid, std::uint64_t inode) {
    return FolderOf(target) + "/" + CopyName(target, uid, inode);
}

FileError CopyContent(int from, int to, std::uint64_t length) {
    std::vector<std::uint8_t> buf(1 << 16);
    std::uint64_t at = 0;
    while (at < length) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(buf.size(), length - at));
        const long long r = ReadAt(from, buf.data(), want, at);
        if (r < 0) return FileError::FromErrno(errno);
        if (r == 0) break;
        if (const FileError e = WriteAllAt(to, {buf.data(), static_cast<std::size_t>(r)}, at); !e.ok()) return e;
        at += static_cast<std::uint64_t>(r);
    }
    return ::ftruncate(to, static_cast<off_t>(at)) == 0 ? FileError() : FileError::FromErrno(errno);
}

// Every page goes back whole, so that a kill leaves each page old or as the
// save left it: where the file runs on past the old end, the page holding
// that end is written with zeros after it, as the old file's page held them,
// and the file is cut only after all are written.
FileError PutBack(int copyFd, int fd) {
    Record record;
    struct stat st {};
    if (!ReadRecord(copyFd, record)) return FileError::FromErrno(EIO);
    if (::fstat(fd, &st) != 0) return FileError::FromErrno(errno);
    const std::uint64_t old = record.made.size, size = static_cast<std::uint64_t>(st.st_size);
    std::vector<std::uint8_t> buf(1 << 16);
    for (std::uint64_t at = 0; at < old; at += buf.size()) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(buf.size(), old - at));
        if (ReadAt(copyFd, buf.data(), n, at) != static_cast<long long>(n)) return FileError::FromErrno(EIO);
        std::size_t padded = n;
        if (at + n == old && size > old) {
            padded = static_cast<std::size_t>(std::min<std::uint64_t>((old + kPage - 1) / kPage * kPage, size) - at);
            std::fill(buf.begin() + static_cast<std::ptrdiff_t>(n), buf.begin() + static_cast<std::ptrdiff_t>(padded), 0);
        }
        if (const FileError e = WriteAllAt(fd, {buf.data(), padded}, at); !e.ok()) return e;
    }
    if (::ftruncate(fd, static_cast<off_t>(old)) != 0 || ::fsync(fd) != 0) return FileError::FromErrno(errno);
    return FileError::None;
}

FileError MakePreviousCopy(const std::string& target, int fd, int newFd, std::uint64_t newSize, bool flush,
                           int& copyFd, std::string& copy) {
    FileState now;
    if (!StateOf(fd, now)) return FileError::FromErrno(errno);
    // The old bytes must be read: a file one may write but not read cannot be saved in place.
    const int access = ::fcntl(fd, F_GETFL);
    if (access < 0 || (access & O_ACCMODE) == O_WRONLY) return FileError::FromErrno(access < 0 ? errno : EACCES);
    copy = PreviousContentName(target, ::geteuid(), now.ino);
    const auto inTheWay = [&] {
        std::string what = "something";
        struct stat st {};
        if (::lstat(copy.c_str(), &st) == 0) {
            const std::string user = "user " + std::to_string(st.st_uid);
            what = S_ISLNK(st.st_mode)    ? "a link of " + user
                   : S_ISDIR(st.st_mode)  ? "a folder of " + user
                   : S_ISFIFO(st.st_mode) ? "a FIFO of " + user
                   : !S_ISREG(st.st_mode) ? "a special file of " + user
                   : st.st_nlink != 1     ? "a file of " + user + " with " + std::to_string(st.st_nlink) + " links"
                                          : "a file of " + user + " that is no copy of this program";
        }
        return FileError::WithWords(FileError::FromErrno(EEXIST),
                                    copy + " is in the way of this save's copy of the file: it is " + what);
    };
    struct stat st {};
    if (::lstat(copy.c_str(), &st) == 0) return inTheWay();
    // A digest of each page the save will write, so that a torn file can be
    // told from one written since.
    std::vector<Digest> digests;
    Digest belowOldEnd{};
    std::vector<std::uint8_t> page(kPage);
    for (std::uint64_t at = 0; at < newSize; at += kPage) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kPage, newSize - at));
        if (ReadAt(newFd, page.data(), n, at) != static_cast<long long>(n)) return FileError::FromErrno(EIO);
        digests.push_back(Sha256::Of(page.data(), n));
        if (SplitByOldEnd(now.size, newSize) && at == now.size / kPage * kPage)
            belowOldEnd = Sha256::Of(page.data(), static_cast<std::size_t>(now.size - at));
    }
    std::string temp;
    const int made = CreateTemporaryBeside(target, 0600, temp);
    if (made < 0) return FileError::FromErrno(errno);
    // Exactly as trusted, whatever the umask took.
    FileError e = ::fchmod(made, 0600) == 0 ? CopyContent(fd, made, now.size) : FileError::FromErrno(errno);
    if (e.ok()) e = WriteAllAt(made, RecordBytes(now, BaseOf(target), newSize, digests, belowOldEnd), now.size);
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

bool IsOwnCopyName(std::string_view name) {
    unsigned uid = 0;
    std::uint64_t inode = 0;
    return ParseCopyName(name, uid, inode) && uid == ::geteuid();
}

void RemoveStaleCopies(int dir, const std::vector<std::string>& mine) {
    if (mine.empty()) return;
    // Every name by its inode.
    std::multimap<std::uint64_t, std::string> files;
    EachName(dir, [&](const char* name, std::uint64_t ino) { files.emplace(ino, name); });
    for (const std::string& name : mine) {
        Copy copy;
        if (!ReadCopy(dir, name, ::geteuid(), copy)) continue;
        // Its file still lies in the folder, under whatever name: not stale here.
        bool there = false;
        const auto [from, to] = files.equal_range(copy.record.made.ino);
        for (auto it = from; it != to && !there; ++it) {
            FileState file;
            there = StateOf(dir, it->second.c_str(), AT_SYMLINK_NOFOLLOW, file) && copy.record.made.SameFile(file);
        }
        if (there) continue;
        if (NoSaveHolds(copy.fd, MakerHere(copy.record)) && StillNamed(dir, name.c_str(), copy.fd)) ::unlinkat(dir, name.c_str(), 0);
    }
}

}  // namespace velto
