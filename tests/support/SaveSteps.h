#pragma once
// Steps of several users around one file in a shared sticky folder, for tests of saves that meet. User 1000 owns
// "doc.cur" (group 3000, 0664) and saves it by rename; 2001 and 2004 are in group 3000 and save it in place; 2002 may
// only put things beside it; 4242 may only read it; root stands for the owner's hand (cp, mv, ln, an editor). Each
// step runs in a child as its user, its words coming back as text; a row is a series of steps and what the folder
// holds after them.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "FailingCall.h"
#include "platform/FileWriter.h"
#include "platform/PreviousCopy.h"
#include "platform/PreviousCopyRecord.h"
#include "platform/Sha256.h"

namespace velto::test {

namespace fs = std::filesystem;

inline constexpr unsigned kOwner = 1000, kSaver = 2001, kPlanter = 2002, kOther = 2004, kReader = 4242, kTeam = 3000;

// What each user saves: told apart in the listings.
inline std::string BytesOf(unsigned uid) {
    return uid == kOwner ? std::string(120000, 'w') : uid == kOther ? std::string(150000, 'b')
           : uid == 0    ? std::string(90000, 'r')
                         : std::string(150000, 'n');
}
inline const std::string kOldBytes(100000, 'o');

// Work of another user (nogroup; the team but for 2002 and 4242) in a child; its words come back by a pipe.
class AsUser {
public:
    AsUser(unsigned uid, const std::function<std::string()>& work) {
        int fds[2];
        if (::pipe(fds) != 0) return;
        std::fflush(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(fds[0]);
            const gid_t team = kTeam;
            ::alarm(60);  // (a save that waits without end fails the row, not the run)
            std::string words = "!cannot become user " + std::to_string(uid);
            const bool inTeam = uid != kPlanter && uid != kReader;
            if (::setgroups(inTeam ? 1 : 0, &team) == 0 && ::setgid(uid == 0 ? 0 : 65534) == 0 && ::setuid(uid) == 0)
                words = work();
            (void)!::write(fds[1], words.data(), words.size());
            ::_exit(0);
        }
        ::close(fds[1]);
        out_ = fds[0];
    }
    std::string Words() {
        std::string words;
        char buf[512];
        for (ssize_t n; out_ >= 0 && (n = ::read(out_, buf, sizeof buf)) > 0;) words.append(buf, n);
        if (out_ >= 0) ::close(out_);
        out_ = -1;
        int status = 0;
        if (pid_ > 0 && (::waitpid(pid_, &status, 0) != pid_ || !WIFEXITED(status))) words = "!died";
        pid_ = -1;
        return words;
    }
    ~AsUser() { Words(); }

private:
    pid_t pid_ = -1;
    int out_ = -1;
};

inline std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// "saved" or why not, and what the save waited for, if anything (onWait is called when it starts to).
inline std::string SaveOf(const std::string& path, const std::string& bytes,
                          const std::function<void()>& onWait = nullptr) {
    SaveWait waited = SaveWait::Over;
    SetSaveWaitHook([&](SaveWait w) {
        if (w != SaveWait::Over && waited == SaveWait::Over && onWait) onWait();
        if (w != SaveWait::Over) waited = w;
    });
    FileError error;
    std::string said = WriteWholeFile(path, {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()},
                                      &error)
                           ? "saved"
                           : FileErrorText(error);
    SetSaveWaitHook(nullptr);
    if (waited != SaveWait::Over)
        said += waited == SaveWait::Save ? " after waiting for a save" : " after waiting for a reader";
    return said;
}

// What the listings call a file's bytes.
inline std::string Label(const std::string& bytes) {
    return bytes == kOldBytes             ? "old"
           : bytes == BytesOf(kSaver)     ? "new"
           : bytes == BytesOf(kOther)     ? "2004's"
           : bytes == BytesOf(kOwner)     ? "owner's"
           : bytes == BytesOf(0)          ? "root's"
           : bytes.starts_with("EVIL")    ? "planted"
           : bytes.empty()                ? "empty"
                                          : "?";
}

// What an open or a rebuild found beside the file; for an open that shows the file as it was, what a read of it
// gives meanwhile.
inline std::string FoundWords(const FileError& e, const UnfinishedSave& found, const std::string& path = "") {
    std::vector<std::uint8_t> read;
    if (found.found == UnfinishedSave::Found::Shown && !ReadWholeFile(path, read)) read.assign({'!'});
    return !e.ok()                                            ? FileErrorText(e)
           : found.found == UnfinishedSave::Found::Undone ? std::string("undone")
           : found.found == UnfinishedSave::Found::Others
               ? "others " + std::to_string(found.owner) + ": " + FileErrorText(found.why)
           : found.found == UnfinishedSave::Found::Shown
               ? "shown " + Label(std::string(read.begin(), read.end())) + ": " + FileErrorText(found.why)
               : "none";
}

class SharedFolder {
public:
    SharedFolder() : path_(::mkdtemp(std::string("/tmp/velto-shared-XXXXXX").data())) {
        ::chmod(path_.c_str(), 01777);
    }
    ~SharedFolder() { fs::remove_all(path_); }
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    std::string Doc(const std::string& name) const {  // the owner's, of old bytes
        std::ofstream(File(name), std::ios::binary) << kOldBytes;
        ::chown(File(name).c_str(), kOwner, kTeam);
        ::chmod(File(name).c_str(), 0664);
        return File(name);
    }
    // "name=what " by name: a copy's name as "copy(uid)", a long name by its end, what a file holds as a label.
    std::string Listing() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(path_)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        std::string out;
        for (const std::string& name : names) {
            std::smatch m;
            out += std::regex_match(name, m, std::regex(R"(\..*\.velto-previous\.(\d+)\.[0-9a-f]+)"))
                       ? "copy(" + m[1].str() + ")"
                       : name.substr(name.size() > 100 ? name.size() - 6 : 0);
            const fs::file_status st = fs::symlink_status(File(name));
            out += fs::is_symlink(st) ? "=link " : fs::is_directory(st) ? "=folder " : fs::is_fifo(st) ? "=fifo "
                   : "=" + Label(fs::is_regular_file(st) ? Read(File(name)) : "") + " ";
        }
        return out;
    }

private:
    std::string path_;
};

enum Op : std::uint8_t {
    Save, Open,
    Rebuild,        // a read to build on the file (a library's update) up to its read
    Torn,           // a save whose writes into the file fail for room from the second on (nothing puts them back)
    Failing,        // a save whose second write into the file fails with arg
    SyncFile,       // a save whose flush of the file fails with arg
    SyncCopy,       // a save whose flush of its copy fails with arg
    OpenFailing,    // an open whose first write into the file fails with arg
    RebuildFailing, // a rebuild whose first write into the file fails with arg
    OpenSyncFails,  // an open whose flush of the file fails with arg
    NoLocks,        // five saves that end before naming their file, then a save, where lock calls fail with arg
    NoLocksOpen,    // an open where lock calls fail with ENOLCK
    Rewrite,        // root rewrites the file (same inode) as cp or a shell's redirection do
    Patch,          // root writes "EVIL" over the file's first bytes, as a hand edit does
    Rename,         // root renames the file "moved.cur" (file 3)
    Link,           // root gives the file a second name, "link.cur" (file 4)
    Reuse,          // root replaces the file, and user arg's copy takes the new file's inode as a file system that
                    // keeps no birth time and hands the old inode number out again would leave it
    ReadLock,       // 4242 reads the file under a read lock (arg: 0 whole file, 1 the open file's, 2 a byte at 1 TiB)
    Chmod,          // root gives the file mode arg
    TwoLinks,       // root gives 2001's copy a second name
    Scratch,        // 2001 makes "scratch", a world-writable file of its own
    Unscratch,      // 2001 removes that name
    PlantLinked,    // 2002 links "scratch" at 2001's copy name and writes a forged copy into it
    PlantForged,    // 2002 writes a forged copy (mode 0600) at user arg's copy name
    PlantEmpty,     // 2002 leaves an empty file (mode 0600) at its own copy name
    PlantFile, PlantSecret, PlantHeld, PlantLink, PlantFolder, PlantFifo,  // by 2002, at the earlier versions' name
                                                                            // (arg 0) or at 2001's copy's (arg 1)
};
struct Step {
    unsigned uid;
    Op op;
    int arg = 0;
    std::string words;  // (a regular expression)
    int file = 0;       // 0: doc.cur; 1, 2: long names cut alike; 3: moved.cur; 4: link.cur
};
struct Series {
    const char* what;
    std::vector<Step> steps;
    const char* after;
};

// The words of work run where calls `call` that fails picks fail with err (FailingCall.h); "!" and why where
// that cannot be.
inline std::string WordsWithFailingCall(long call, const std::function<bool(const std::string&, std::uint64_t)>& fails,
                                        int err, const std::function<std::string()>& work) {
    int out[2];
    if (::pipe(out) != 0) return "!no pipe";
    std::string why, said;
    RunWithFailingCall(call, fails, err, [&] {
        const std::string w = work();
        return ::write(out[1], w.data(), w.size()) >= 0 ? 0 : 1;
    }, why);
    ::close(out[1]);
    char buf[1024];
    for (ssize_t n; (n = ::read(out[0], buf, sizeof buf)) > 0;) said.append(buf, n);
    ::close(out[0]);
    return why.empty() ? said : "!" + why;
}

// A copy that says the file is torn (its first page the save's new content, the rest the old one), whose old
// content begins with "EVIL".
inline std::string ForgedCopy(const std::string& doc) {
    const std::string file = Read(doc), old = "EVIL" + file.substr(4);
    FileState made;
    StateOf(AT_FDCWD, doc.c_str(), 0, made);
    made.size = old.size();
    const auto record = copies::RecordBytes(made, "doc.cur", copies::kPage,
                                            {Sha256::Of(reinterpret_cast<const std::uint8_t*>(file.data()), copies::kPage)});
    return old + std::string(record.begin(), record.end());
}

// One row: its steps in a fresh folder, in order, and what is left.
class SeriesRun {
public:
    SeriesRun() { (void)!::pipe(release_); }
    ~SeriesRun() {
        ::close(release_[1]);
        holders_.clear();
        ::close(release_[0]);
    }
    // Something held by a user until the row ends: its words ("" once held).
    std::string Hold(unsigned uid, const std::function<bool()>& take) {
        int ready[2];
        if (::pipe(ready) != 0) return "!no pipe";
        holders_.emplace_back(std::make_unique<AsUser>(uid, [&] {
            ::close(release_[1]);
            char c = take() ? 'h' : '-';
            if (::write(ready[1], &c, 1) == 1 && c == 'h') (void)!::read(release_[0], &c, 1);  // until the row ends
            return std::string();
        }));
        char c = '-';
        const bool held = ::read(ready[0], &c, 1) == 1 && c == 'h';
        ::close(ready[0]);
        ::close(ready[1]);
        return held ? "" : "!cannot hold a lock here";
    }

private:
    int release_[2] = {-1, -1};
    std::vector<std::unique_ptr<AsUser>> holders_;
};

// The words of one step: "" for a step that only changes things, else what the user was told.
inline std::string StepWords(const Step& s, const SharedFolder& dir, const std::vector<std::string>& files,
                             SeriesRun& run) {
    const std::string doc = files[s.file], bytes = BytesOf(s.uid);
    struct stat st {};
    ::stat(doc.c_str(), &st);
    const auto by = [&](unsigned uid, const std::function<bool()>& act) {
        return AsUser(uid, [&] { return std::string(act() ? "" : "!cannot " + std::to_string(int{s.op})); }).Words();
    };
    const auto put = [](const std::string& path, const std::string& bytes, int flags, unsigned mode) {
        const int fd = ::open(path.c_str(), O_WRONLY | flags, mode);
        const bool ok = fd >= 0 && ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
        return (fd < 0 || ::close(fd) == 0) && ok;
    };
    const std::string copyOf2001 = PreviousContentName(doc, kSaver, st.st_ino);
    switch (s.op) {
    case Rewrite: return by(0, [&] { return put(doc, BytesOf(0), O_TRUNC, 0); });
    case Patch: return by(0, [&] { return put(doc, "EVIL", 0, 0); });
    case Rename: return by(0, [&] { return ::rename(doc.c_str(), files[3].c_str()) == 0; });
    case Link: return by(0, [&] { return ::link(doc.c_str(), files[4].c_str()) == 0; });
    case Chmod: return by(0, [&] { return ::chmod(doc.c_str(), static_cast<mode_t>(s.arg)) == 0; });
    case TwoLinks: return by(0, [&] { return ::link(copyOf2001.c_str(), dir.File("copy-link").c_str()) == 0; });
    case Scratch: return by(kSaver, [&] { return put(dir.File("scratch"), "", O_CREAT | O_EXCL, 0666) && ::chmod(dir.File("scratch").c_str(), 0666) == 0; });
    case Unscratch: return by(kSaver, [&] { return ::unlink(dir.File("scratch").c_str()) == 0; });
    case PlantLinked:
        return by(kPlanter, [&] {
            return ::link(dir.File("scratch").c_str(), copyOf2001.c_str()) == 0 && put(copyOf2001, ForgedCopy(doc), O_TRUNC, 0);
        });
    case PlantForged:
        return by(kPlanter, [&] {
            return put(PreviousContentName(doc, static_cast<unsigned>(s.arg), st.st_ino), ForgedCopy(doc), O_CREAT | O_EXCL, 0600);
        });
    case PlantEmpty:
        return by(kPlanter, [&] { return put(PreviousContentName(doc, kPlanter, st.st_ino), "", O_CREAT | O_EXCL, 0600); });
    case Reuse:
        return by(0, [&] {
            // The new file takes the old one's place, and the copy is moved to it as if the number had come back.
            const std::string fresh = dir.File("fresh");
            struct stat now {};
            if (!put(fresh, BytesOf(0), O_CREAT | O_EXCL, 0664) || ::chown(fresh.c_str(), kOwner, kTeam) != 0 ||
                ::rename(fresh.c_str(), doc.c_str()) != 0 || ::stat(doc.c_str(), &now) != 0)
                return false;
            const std::string from = PreviousContentName(doc, static_cast<unsigned>(s.arg), st.st_ino),
                              to = PreviousContentName(doc, static_cast<unsigned>(s.arg), now.st_ino);
            std::fstream copy(from, std::ios::in | std::ios::out | std::ios::binary);
            const std::uint64_t ino = now.st_ino, none = 0;
            copy.seekp(-112 + 24, std::ios::end).write(reinterpret_cast<const char*>(&ino), 8);
            copy.seekp(-112 + 56, std::ios::end).write(reinterpret_cast<const char*>(&none), 8);
            copy.close();
            return copy.good() && ::rename(from.c_str(), to.c_str()) == 0;
        });
    case ReadLock:
        return run.Hold(kReader, [&] {
            struct flock lock {};
            lock.l_type = F_RDLCK;
            lock.l_whence = SEEK_SET;
            if (s.arg == 2) lock.l_start = 1ll << 40, lock.l_len = 1;
            return ::fcntl(::open(doc.c_str(), O_RDONLY), s.arg == 1 ? F_OFD_SETLK : F_SETLK, &lock) == 0;
        });
    default: break;
    }
    if (s.op >= PlantFile) {
        const std::string at = s.arg ? copyOf2001 : dir.File(".doc.cur.velto-previous");
        if (s.op == PlantHeld) {
            const std::string planted = by(kPlanter, [&] { return put(at, "EVIL", O_CREAT | O_EXCL, 0666) && ::chmod(at.c_str(), 0666) == 0; });
            if (!planted.empty()) return planted;
            return run.Hold(kPlanter, [&] {
                struct flock lock {};
                lock.l_type = F_WRLCK;
                return ::fcntl(::open(at.c_str(), O_RDWR), F_OFD_SETLK, &lock) == 0;
            });
        }
        return by(kPlanter, [&] {
            if (s.op == PlantFile || s.op == PlantSecret) {
                const unsigned mode = s.op == PlantSecret ? 0600 : 0666;
                return put(at, "EVIL", O_CREAT | O_EXCL, mode) && ::chmod(at.c_str(), mode) == 0;
            }
            return (s.op == PlantLink ? ::symlink("doc.cur", at.c_str()) : s.op == PlantFolder ? ::mkdir(at.c_str(), 0777)
                                                                                               : ::mkfifo(at.c_str(), 0666)) == 0;
        });
    }
    const auto work = [&] {
        return AsUser(s.uid, [&] {
            testhooks::SetSaveWaitLimit(300);
            for (int i = 0; s.op == NoLocks && i < 5; ++i) {
                if (::fork() == 0) {
                    FileWriter writer(doc);
                    ::_exit(writer.Write({reinterpret_cast<const std::uint8_t*>(bytes.data()), 9}) ? 0 : 1);
                }
                ::wait(nullptr);
            }
            if (s.op != Open && s.op != OpenFailing && s.op != OpenSyncFails && s.op != NoLocksOpen && s.op != Rebuild &&
                s.op != RebuildFailing)
                return SaveOf(doc, bytes);
            UnfinishedSave found;
            if (s.op != Rebuild && s.op != RebuildFailing) {
                const FileError e = RecoverUnfinishedSave(doc, found);
                return FoundWords(e, found, doc);
            }
            SaveLock lock;
            FileError e = lock.Take(doc);
            if (e.ok()) e = LookBeside(doc, lock, Road::Rebuild, found);
            return FoundWords(e, found);
        }).Words();
    };
    if (s.op == Save || s.op == Open || s.op == Rebuild) return work();
    const std::string target = fs::canonical(doc);
    int seen = 0;
    const auto fails = [&](const std::string& object, std::uint64_t arg) {
        if (s.op == NoLocks || s.op == NoLocksOpen) return arg == F_OFD_SETLK || arg == F_OFD_SETLKW;
        if (s.op == SyncCopy) return object.starts_with(FolderOf(target) + "/") && object != target && ++seen == 1;
        if (s.op == OpenFailing || s.op == OpenSyncFails || s.op == RebuildFailing) return object == target && ++seen == 1;
        return object == target && (++seen == (s.op == SyncFile ? 1 : 2) || (s.op == Torn && seen > 2));
    };
    const long call = s.op == NoLocks || s.op == NoLocksOpen                          ? SYS_fcntl
                      : s.op == SyncFile || s.op == SyncCopy || s.op == OpenSyncFails ? SYS_fsync
                                                                                      : SYS_pwrite64;
    return WordsWithFailingCall(call, fails, s.op == Torn ? ENOSPC : s.op == NoLocksOpen ? ENOLCK : s.arg, work);
}

// Runs every row: each step's words must match, and the folder hold what the row says after them.
inline void RunSeries(const std::vector<Series>& rows) {
    for (const Series& row : rows) {
        SCOPED_TRACE(row.what);
        SharedFolder dir;
        const std::vector<std::string> files = {dir.Doc("doc.cur"), dir.File(std::string(240, 'n') + "r1.cur"),
                                                dir.File(std::string(240, 'n') + "r2.cur"), dir.File("moved.cur"),
                                                dir.File("link.cur")};
        for (const Step& step : row.steps)
            if ((step.file == 1 || step.file == 2) && !fs::exists(files[step.file]))
                dir.Doc(fs::path(files[step.file]).filename());
        std::string after;
        {
            SeriesRun run;
            for (const Step& step : row.steps) {
                const std::string said = StepWords(step, dir, files, run);
                if (said.starts_with("!")) GTEST_SKIP() << said.substr(1);
                EXPECT_TRUE(std::regex_match(said, std::regex(step.words)))
                    << "user " << step.uid << ", step " << int{step.op} << ": " << said;
            }
            after = dir.Listing();
        }
        EXPECT_EQ(after, row.after);
    }
}

}  // namespace velto::test
