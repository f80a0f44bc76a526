// Saves of one file by several users in a shared sticky folder. User 1000 owns "doc.cur" (group 3000, 0664); 2001
// and 2004 are in group 3000 and save it in place; 2002 may only put things beside it. Each row is a series of steps
// (plants, saves, opens, saves whose calls fail as a failing disk fails them), the words of each, and what the
// folder holds after them.
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

#include "FailingCall.h"
#include "platform/FileWriter.h"
#include "platform/PreviousCopy.h"

using namespace velto;
namespace fs = std::filesystem;

namespace {

constexpr unsigned kOwner = 1000, kSaver = 2001, kPlanter = 2002, kOther = 2004, kTeam = 3000;
const std::string kOld(100000, 'o'), kNew(150000, 'n'), kOwners(120000, 'w');

// Work of another user (nogroup; the team but for 2002) in a child; its words come back by a pipe.
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
            if (::setgroups(uid == kPlanter ? 0 : 1, &team) == 0 && ::setgid(65534) == 0 && ::setuid(uid) == 0)
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

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string SaveOf(const std::string& path, const std::string& bytes) {
    FileError error;
    return WriteWholeFile(path, {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, &error)
               ? "saved"
               : FileErrorText(error);
}

class SharedFolder {
public:
    SharedFolder() : path_(::mkdtemp(std::string("/tmp/velto-shared-XXXXXX").data())) {
        ::chmod(path_.c_str(), 01777);
    }
    ~SharedFolder() { fs::remove_all(path_); }
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    std::string Doc(const std::string& name) const {  // the owner's, of old bytes
        std::ofstream(File(name), std::ios::binary) << kOld;
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
            const std::string bytes = fs::is_regular_file(st) ? Read(File(name)) : "";
            out += fs::is_symlink(st) ? "=link " : fs::is_directory(st) ? "=folder " : fs::is_fifo(st) ? "=fifo "
                   : bytes == kOld ? "=old " : bytes == kNew ? "=new " : bytes == kOwners ? "=owner's "
                   : bytes == "EVIL" ? "=planted " : "=? ";
        }
        return out;
    }

private:
    std::string path_;
};

enum Op : std::uint8_t {
    Save, Open,
    Torn,      // a save whose writes into the file fail for room from the second on (nothing puts them back)
    Failing,   // a save whose second write into the file fails with arg
    SyncFile,  // a save whose flush of the file fails with arg
    SyncCopy,  // a save whose flush of its copy fails with arg
    NoLocks,   // five saves that end before naming their file, then a save, where no lock can be taken
    PlantFile, PlantSecret, PlantHeld, PlantLink, PlantFolder, PlantFifo,  // by 2002, at the earlier versions' name
                                                                            // (arg 0) or at the copy's (arg 1)
};
struct Step {
    unsigned uid;
    Op op;
    int arg = 0;
    std::string words;  // (a regular expression)
    int file = 0;            // 0: doc.cur; 1, 2: long names cut alike
};
struct Series {
    const char* what;
    std::vector<Step> steps;
    const char* after;
};

// The words of one step in folder dir on its file doc; a process holding a planted thing locked goes in holder,
// to end when release is closed.
std::string StepWords(const Step& s, const SharedFolder& dir, const std::string& doc, std::optional<AsUser>& holder,
                const int release[2]) {
    const std::string bytes = s.uid == kOwner ? kOwners : kNew, target = fs::canonical(doc);
    struct stat st {};
    ::stat(doc.c_str(), &st);
    const std::string at = s.arg ? PreviousContentName(doc, kSaver, st.st_ino) : dir.File(".doc.cur.velto-previous");
    if (s.op >= PlantFile) {
        const std::string planted = AsUser(kPlanter, [&] {
            if (s.op <= PlantHeld) (std::ofstream(at) << "EVIL").close(), ::chmod(at.c_str(), s.op == PlantSecret ? 0600 : 0666);
            const int made = s.op == PlantLink ? ::symlink("doc.cur", at.c_str()) : s.op == PlantFolder ? ::mkdir(at.c_str(), 0777)
                             : s.op == PlantFifo ? ::mkfifo(at.c_str(), 0666) : 0;
            return std::string(made == 0 ? "" : "!cannot plant");
        }).Words();
        if (s.op != PlantHeld || !planted.empty()) return planted;
        int ready[2];
        if (::pipe(ready) != 0) return "!no pipe";
        holder.emplace(kPlanter, [&] {
            ::close(release[1]);
            struct flock lock {};
            lock.l_type = F_WRLCK;
            const bool held = ::fcntl(::open(at.c_str(), O_RDWR), F_OFD_SETLK, &lock) == 0;
            char c = held ? 'h' : '-';
            if (::write(ready[1], &c, 1) == 1 && held) (void)!::read(release[0], &c, 1);  // until the row ends
            return std::string();
        });
        char c = '-';
        const bool held = ::read(ready[0], &c, 1) == 1 && c == 'h';
        ::close(ready[0]);
        ::close(ready[1]);
        return held ? "" : "!cannot hold a lock here";
    }
    const auto work = [&] {
        return AsUser(s.uid, [&] {
            for (int i = 0; s.op == NoLocks && i < 5; ++i) {
                if (::fork() == 0) {
                    FileWriter writer(doc);
                    ::_exit(writer.Write({reinterpret_cast<const std::uint8_t*>(bytes.data()), 9}) ? 0 : 1);
                }
                ::wait(nullptr);
            }
            if (s.op != Open) return SaveOf(doc, bytes);
            UnfinishedSave found;
            const FileError e = RecoverUnfinishedSave(doc, found);
            return !e.ok() ? FileErrorText(e)
                   : found.found == UnfinishedSave::Found::Undone ? std::string("undone")
                   : found.found == UnfinishedSave::Found::Others ? "others " + std::to_string(found.owner) : "none";
        }).Words();
    };
    if (s.op == Save || s.op == Open) return work();
    int seen = 0;
    const auto fails = [&](const std::string& object, std::uint64_t arg) {
        if (s.op == NoLocks) return arg == F_OFD_SETLK || arg == F_OFD_SETLKW;
        if (s.op == SyncCopy) return object.starts_with(FolderOf(target) + "/") && object != target && ++seen == 1;
        return object == target && (++seen == (s.op == SyncFile ? 1 : 2) || (s.op == Torn && seen > 2));
    };
    const long call = s.op == NoLocks ? SYS_fcntl : s.op == SyncFile || s.op == SyncCopy ? SYS_fsync : SYS_pwrite64;
    int out[2];
    if (::pipe(out) != 0) return "!no pipe";
    std::string why, said;
    test::RunWithFailingCall(call, fails, s.op == Torn ? ENOSPC : s.op == NoLocks ? ENOLCK : s.arg, [&] {
        const std::string w = work();
        return ::write(out[1], w.data(), w.size()) >= 0 ? 0 : 1;
    }, why);
    ::close(out[1]);
    char buf[1024];
    for (ssize_t n; (n = ::read(out[0], buf, sizeof buf)) > 0;) said.append(buf, n);
    ::close(out[0]);
    return why.empty() ? said : "!" + why;
}

}  // namespace

// What 2002 puts at the name of 2001's copy, or at the earlier versions' name, is never read, written, removed or
// waited for; failing writes and flushes of the file put its old bytes back or leave them in the save's copy, which
// goes back only into its own file, as it was left; temporaries of saves that ended go where no lock can be taken.
TEST(InPlaceSave, CopiesAreTheSavesOwnAndGoBackOnlyIntoTheirFile) {
    if (::geteuid() != 0) GTEST_SKIP() << "files of several users need root";
    const std::string way = ".* is in the way of this save's copy of the file: it is ";
    const std::vector<Series> rows = {
        {"a file", {{kPlanter, PlantFile, 0, ""}, {kSaver, Failing, ENOSPC, "No space left on device"}},
         ".doc.cur.velto-previous=planted doc.cur=old "},
        {"a file", {{kPlanter, PlantFile, 1, ""}, {kSaver, Save, 0, way + "a file of user 2002 .*"}},
         "copy(2001)=planted doc.cur=old "},
        {"a private file", {{kPlanter, PlantSecret, 0, ""}, {kSaver, Save, 0, "saved"}},
         ".doc.cur.velto-previous=planted doc.cur=new "},
        {"a private file", {{kPlanter, PlantSecret, 1, ""}, {kSaver, Save, 0, way + "a file of user 2002 .*"}},
         "copy(2001)=planted doc.cur=old "},
        {"a held file", {{kPlanter, PlantHeld, 0, ""}, {kSaver, Save, 0, "saved"}},
         ".doc.cur.velto-previous=planted doc.cur=new "},
        {"a held file", {{kPlanter, PlantHeld, 1, ""}, {kSaver, Save, 0, way + "a file of user 2002 .*"}},
         "copy(2001)=planted doc.cur=old "},
        {"a link", {{kPlanter, PlantLink, 0, ""}, {kSaver, Save, 0, "saved"}}, ".doc.cur.velto-previous=link doc.cur=new "},
        {"a link", {{kPlanter, PlantLink, 1, ""}, {kSaver, Save, 0, way + "a link of user 2002"}},
         "copy(2001)=link doc.cur=old "},
        {"a folder", {{kPlanter, PlantFolder, 1, ""}, {kSaver, Save, 0, way + "a folder of user 2002"}},
         "copy(2001)=folder doc.cur=old "},
        {"a FIFO", {{kPlanter, PlantFifo, 1, ""}, {kSaver, Save, 0, way + "a FIFO of user 2002"}},
         "copy(2001)=fifo doc.cur=old "},
        {"the file's write fails", {{kSaver, Failing, EIO, "Input/output error"}}, "doc.cur=old "},
        {"the file's flush fails", {{kSaver, SyncFile, EIO, "Input/output error"}}, "doc.cur=old "},
        {"the copy's flush fails", {{kSaver, SyncCopy, ENOSPC, "No space left on device"}}, "doc.cur=old "},
        {"the copy stays", {{kSaver, Torn, 0, "No space.*kept in .*/.doc.cur.velto-previous.2001.*"}},
         "copy(2001)=? doc.cur=? "},
        {"the next open", {{kSaver, Torn, 0, "No space.*"}, {kSaver, Open, 0, "undone"}}, "doc.cur=old "},
        {"stale after the owner's save",
         {{kSaver, Torn, 0, "No space.*"}, {kOwner, Save, 0, "saved"}, {kSaver, Failing, EIO, "Input/output error"}},
         "doc.cur=owner's "},
        {"another user's",
         {{kSaver, Torn, 0, "No space.*"}, {kOther, Save, 0, "an unfinished save of user 2001 left .*"},
          {kOwner, Open, 0, "others 2001"}, {kSaver, Open, 0, "undone"}},
         "doc.cur=old "},
        {"two long names cut alike",
         {{kSaver, Torn, 0, "No space.*", 1}, {kSaver, Torn, 0, "No space.*", 2}, {kSaver, Open, 0, "undone", 1},
          {kSaver, Open, 0, "undone", 2}},
         "doc.cur=old r1.cur=old r2.cur=old "},
        {"no locks", {{kSaver, NoLocks, 0, "saved"}}, "doc.cur=new "},
    };
    for (const Series& row : rows) {
        SCOPED_TRACE(row.what);
        SharedFolder dir;
        const std::string files[] = {dir.Doc("doc.cur"), dir.File(std::string(240, 'n') + "r1.cur"),
                                     dir.File(std::string(240, 'n') + "r2.cur")};
        for (const Step& step : row.steps)
            if (step.file && !fs::exists(files[step.file])) dir.Doc(fs::path(files[step.file]).filename());
        std::optional<AsUser> holder;
        int release[2];
        ASSERT_EQ(::pipe(release), 0);
        for (const Step& step : row.steps) {
            const std::string said = StepWords(step, dir, files[step.file], holder, release);
            if (said.starts_with("!")) GTEST_SKIP() << said.substr(1);
            EXPECT_TRUE(std::regex_match(said, std::regex(step.words))) << step.uid << ", step " << int{step.op} << ": "
                                                                        << said;
        }
        const std::string after = dir.Listing();
        ::close(release[1]);
        holder.reset();
        ::close(release[0]);
        EXPECT_EQ(after, row.after);
    }
}

// Two users save one file at once: the second waits for the first and then saves, or after its wait says why; the
// file is one save's bytes, never a mixture, also left to race.
TEST(InPlaceSave, TwoUsersSavesOfOneFileNeverMix) {
    if (::geteuid() != 0) GTEST_SKIP() << "files of several users need root";
    const std::string a(1 << 20, 'A'), b(1 << 20, 'B');
    for (const int waitMs : {30000, 200}) {
        SCOPED_TRACE(waitMs);
        SharedFolder dir;
        const std::string doc = dir.Doc("doc.cur");
        int held[2], go[2], waiting[2];
        ASSERT_EQ(::pipe(held) | ::pipe(go) | ::pipe(waiting), 0);
        AsUser first(kSaver, [&] {
            ::close(waiting[1]);  // (so that the test hears the second save end without waiting)
            FileWriter writer(doc);
            const bool wrote = writer.Write({reinterpret_cast<const std::uint8_t*>(a.data()), a.size()});
            char c = 'h';
            (void)!::write(held[1], &c, 1);
            (void)!::read(go[0], &c, 1);
            return wrote && writer.Commit() ? std::string("saved") : FileErrorText(writer.error());
        });
        char c;
        ASSERT_EQ(::read(held[0], &c, 1), 1);
        AsUser second(kOther, [&] {
            testhooks::SetSaveWaitLimit(waitMs);
            bool told = false;
            SetSaveWaitHook([&](bool wait) {
                if (wait && !told) told = ::write(waiting[1], "w", 1) == 1;
            });
            return SaveOf(doc, b);
        });
        ::close(waiting[1]);
        EXPECT_EQ(::read(waiting[0], &c, 1), 1) << "the second save did not wait";
        const std::string secondSaid = waitMs < 1000 ? second.Words() : "";
        ASSERT_EQ(::write(go[1], "g", 1), 1);
        EXPECT_EQ(first.Words(), "saved");
        if (waitMs < 1000) {
            EXPECT_EQ(secondSaid, "another save of this file is in progress");
            EXPECT_TRUE(Read(doc) == a);
        } else {
            EXPECT_EQ(second.Words(), "saved");
            EXPECT_TRUE(Read(doc) == b);
        }
        for (const int fd : {held[0], held[1], go[0], go[1], waiting[0]}) ::close(fd);
    }
    SharedFolder dir;
    const std::string doc = dir.Doc("doc.cur");
    int mixed = 0;
    for (int round = 0; round < 12; ++round) {
        AsUser first(kSaver, [&] { return SaveOf(doc, a); }), second(kOther, [&] { return SaveOf(doc, b); });
        EXPECT_EQ(first.Words() + second.Words(), "savedsaved");
        mixed += Read(doc) != a && Read(doc) != b;
    }
    EXPECT_EQ(mixed, 0);
}
