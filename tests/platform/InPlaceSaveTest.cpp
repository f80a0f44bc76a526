// Saves of one file by several users in a shared sticky folder: what others leave at a copy's name, two saves at
// once, a save whose writes fail, and the copies of saves that did not finish. User 1000 owns "doc.cur" (group 3000,
// 0664); 2001 and 2004 are in group 3000 and save it in place; 2002 may only plant things beside it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>

#include "FailingCall.h"
#include "platform/FileWriter.h"
#include "platform/PreviousCopy.h"

using namespace velto;
namespace fs = std::filesystem;

namespace {

constexpr unsigned kOwner = 1000, kSaver = 2001, kPlanter = 2002, kOther = 2004, kTeam = 3000;

// A process of another user (group nogroup, and the team when asked), whose work's words come back by a pipe.
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
    // What the work said ("!died" when it did not end by itself).
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

std::string Said(unsigned uid, const std::function<std::string()>& work) { return AsUser(uid, work).Words(); }

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string SaveOf(const std::string& path, const std::string& bytes, WriteOptions options = {}) {
    FileError error;
    return WriteWholeFile(path, {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, &error, options)
               ? "saved"
               : FileErrorText(error);
}

std::string OpenOf(const std::string& path) {
    UnfinishedSave found;
    const FileError e = RecoverUnfinishedSave(path, found);
    if (!e.ok()) return FileErrorText(e);
    return found.found == UnfinishedSave::Found::Undone   ? "undone"
           : found.found == UnfinishedSave::Found::Others ? "others " + std::to_string(found.owner)
                                                          : "none";
}

class SharedFolder {
public:
    SharedFolder() {
        char tmpl[] = "/tmp/velto-shared-XXXXXX";
        path_ = ::mkdtemp(tmpl);
        ::chmod(path_.c_str(), 01777);
    }
    ~SharedFolder() { fs::remove_all(path_); }
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    // The owner's file of old bytes, as the team may write it.
    std::string Doc(const std::string& name, const std::string& bytes) const {
        std::ofstream(File(name), std::ios::binary) << bytes;
        ::chown(File(name).c_str(), kOwner, kTeam);
        ::chmod(File(name).c_str(), 0664);
        return File(name);
    }
    // "name=what " for each name, by name: contents as labels gives them ("?" else), copies as "copy(uid)".
    std::string Listing(const std::map<std::string, std::string>& labels) const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(path_)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        std::string out;
        const std::regex copy(R"(\..*\.velto-previous\.(\d+)\.[0-9a-f]+)");
        for (const std::string& name : names) {
            std::smatch m;
            if (std::regex_match(name, m, copy)) {
                out += "copy(" + m[1].str() + ") ";
                continue;
            }
            const auto label = labels.find(Read(File(name)));
            out += (name.size() > 100 ? name.substr(name.size() - 6) : name) + "=" +
                   (label == labels.end() ? "?" : label->second) + " ";
        }
        return out;
    }

private:
    std::string path_;
};

const std::string kOld(100000, 'o'), kNew(150000, 'n'), kOwners(120000, 'w');
const std::map<std::string, std::string> kLabels = {
    {kOld, "old"}, {kNew, "new"}, {kOwners, "owner's"}, {"EVIL", "planted"}};

}  // namespace

// Whatever user 2002 puts at the name a copy of 2001's save would take, or at the name of earlier versions, is never
// read, written, removed or waited for: the save goes on beside what is at the old name, and names what stands at
// its own copy's name.
TEST(InPlaceSave, AThingPlantedAtACopysNameIsNeverUsedAndABlockedSaveNamesIt) {
    if (::geteuid() != 0) GTEST_SKIP() << "files of several users need root";
    struct Row {
        const char* what;  // as the refusal names it
        std::function<void(const std::string&)> plant;
        bool held;  // a process of 2002 holds a lock on it meanwhile
    };
    const auto file = [](mode_t mode) {
        return [mode](const std::string& at) {
            std::ofstream(at, std::ios::binary) << "EVIL";
            ::chmod(at.c_str(), mode);
        };
    };
    const std::string theirs = "a file of user 2002 that is no copy";
    const Row rows[] = {
        {theirs.c_str(), file(0666), false},
        {theirs.c_str(), file(0600), false},
        {theirs.c_str(), file(0666), true},
        {"a link of user 2002", [](const std::string& at) { ::symlink("doc.cur", at.c_str()); }, false},
        {"a folder of user 2002", [](const std::string& at) { ::mkdir(at.c_str(), 0777); }, false},
        {"a FIFO of user 2002", [](const std::string& at) { ::mkfifo(at.c_str(), 0666); }, false},
    };
    for (const Row& row : rows)
        for (const bool earlierName : {true, false}) {
            SCOPED_TRACE(std::string(row.what) + (row.held ? ", held" : "") +
                         (earlierName ? " at the earlier versions' name" : " at the copy's"));
            SharedFolder dir;
            const std::string doc = dir.Doc("doc.cur", kOld);
            struct stat st {};
            ASSERT_EQ(::stat(doc.c_str(), &st), 0);
            const std::string at = earlierName ? dir.File(".doc.cur.velto-previous")
                                               : PreviousContentName(doc, kSaver, st.st_ino);
            int ready[2], until[2];
            ASSERT_EQ(::pipe(ready) | ::pipe(until), 0);
            AsUser planter(kPlanter, [&] {
                ::close(until[1]);
                row.plant(at);
                struct flock lock {};
                lock.l_type = F_WRLCK;
                const int fd = row.held ? ::open(at.c_str(), O_RDWR) : -1;
                const bool locked = fd >= 0 && ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
                char c = 'p';
                (void)!::write(ready[1], &c, 1);
                if (locked) (void)!::read(until[0], &c, 1);  // held until this test lets it go
                return std::string(row.held && !locked ? "not held" : "");
            });
            ::close(ready[1]);
            char c;
            ASSERT_EQ(::read(ready[0], &c, 1), 1);
            struct stat planted {};
            ASSERT_EQ(::lstat(at.c_str(), &planted), 0);
            const std::string said = Said(kSaver, [&] { return SaveOf(doc, kNew); });
            ::close(until[1]);
            EXPECT_EQ(planter.Words(), "");
            ::close(ready[0]);
            ::close(until[0]);
            if (earlierName)
                EXPECT_EQ(said, "saved");
            else
                EXPECT_TRUE(std::regex_match(said, std::regex(".*" + at.substr(at.rfind('/') + 1) +
                                                              " is in the way.* it is " + row.what + ".*")))
                    << said;
            EXPECT_EQ(Read(doc), earlierName ? kNew : kOld);
            struct stat now {};
            ASSERT_EQ(::lstat(at.c_str(), &now), 0);
            EXPECT_EQ(std::tie(now.st_ino, now.st_mode, now.st_size, now.st_mtim.tv_nsec),
                      std::tie(planted.st_ino, planted.st_mode, planted.st_size, planted.st_mtim.tv_nsec));
        }
}

// The file's own writes and flushes failing as a failing disk fails them, on the in-place road: the old bytes go
// back, or stay in the save's copy (named in the message), which the next open puts back.
TEST(InPlaceSave, AFailingWriteOrFlushOfTheFilePutsItsOldBytesBackOrKeepsThemInTheCopy) {
    if (::geteuid() != 0) GTEST_SKIP() << "files of several users need root";
    struct Row {
        long call;
        bool ofTheFile;  // else of the copy being made
        int from, to;    // the calls that fail, counted from 1 (to 0: all from there on)
        int err;
        bool plantAtEarlierName;
        const char* after;  // the folder after the save; after the next open when a copy stayed
    };
    const Row rows[] = {
        {SYS_pwrite64, true, 2, 2, EIO, false, "doc.cur=old "},
        {SYS_pwrite64, true, 2, 2, ENOSPC, true, ".doc.cur.velto-previous=planted doc.cur=old "},
        {SYS_pwrite64, true, 2, 0, ENOSPC, false, "doc.cur=old "},
        {SYS_fsync, true, 1, 1, EIO, false, "doc.cur=old "},
        {SYS_fsync, false, 1, 1, ENOSPC, false, "doc.cur=old "},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.call << (row.ofTheFile ? " of the file, " : " of the copy, ") << row.from
                                        << " " << std::strerror(row.err));
        SharedFolder dir;
        const std::string doc = dir.Doc("doc.cur", kOld);
        if (row.plantAtEarlierName)
            Said(kPlanter, [&] { return std::ofstream(dir.File(".doc.cur.velto-previous")) << "EVIL", ""; });
        const std::string folder = fs::canonical(dir.File(".")), file = fs::canonical(doc);
        int seen = 0;
        const auto fails = [&](const std::string& object) {
            const bool mine = row.ofTheFile ? object == file : object.starts_with(folder + "/") && object != file;
            return mine && ++seen >= row.from && (row.to == 0 || seen <= row.to);
        };
        int out[2];
        ASSERT_EQ(::pipe(out), 0);
        std::string why;
        const int exit = test::RunWithFailingCall(row.call, fails, row.err, [&] {
            const std::string said = Said(kSaver, [&] { return SaveOf(doc, kNew); });
            return ::write(out[1], said.data(), said.size()) > 0 ? 0 : 1;
        }, why);
        ::close(out[1]);
        char buf[1024] = {};
        const std::string said(buf, std::max<ssize_t>(0, ::read(out[0], buf, sizeof buf)));
        ::close(out[0]);
        if (!why.empty()) GTEST_SKIP() << why;
        ASSERT_EQ(exit, 0);
        EXPECT_TRUE(said.starts_with(std::strerror(row.err))) << said;
        if (row.to == 0) {
            EXPECT_NE(said.find("kept in " + dir.File(".doc.cur.velto-previous.2001.")), std::string::npos) << said;
            EXPECT_EQ(dir.Listing(kLabels), "copy(2001) doc.cur=? ");
            EXPECT_EQ(Said(kSaver, [&] { return OpenOf(doc); }), "undone");
        }
        EXPECT_EQ(dir.Listing(kLabels), row.after);
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
        const std::string doc = dir.Doc("doc.cur", kOld);
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
    const std::string doc = dir.Doc("doc.cur", kOld);
    int mixed = 0;
    for (int round = 0; round < 12; ++round) {
        AsUser first(kSaver, [&] { return SaveOf(doc, a); }), second(kOther, [&] { return SaveOf(doc, b); });
        EXPECT_EQ(first.Words() + second.Words(), "savedsaved");
        mixed += Read(doc) != a && Read(doc) != b;
    }
    EXPECT_EQ(mixed, 0);
}

// A copy left by a save that could not finish goes back only into the file it was made from, as it was left: not
// over the owner's save since, not from a copy of another user (that one is named, and stops an in-place save), not
// into a file of another name cut alike.
TEST(InPlaceSave, ACopyGoesBackOnlyIntoTheFileItWasMadeFrom) {
    if (::geteuid() != 0) GTEST_SKIP() << "files of several users need root";
    enum Op { Torn, Failing, Save, Open };  // Torn: every write into the file fails; Failing: its second
    struct Step {
        unsigned uid;
        Op op;
        int file;           // 0: doc.cur; 1, 2: two long names cut alike
        const char* words;  // (a regular expression)
    };
    struct Row {
        const char* what;
        std::vector<Step> steps;
        const char* after;
    };
    const std::string cut(240, 'n');
    const Row rows[] = {
        {"stale after the owner's save",
         {{kSaver, Torn, 0, "No space.*"}, {kOwner, Save, 0, "saved"}, {kSaver, Failing, 0, "Input/output error"}},
         "doc.cur=owner's r1.cur=old r2.cur=old "},
        {"another user's",
         {{kSaver, Torn, 0, "No space.*"}, {kOther, Save, 0, "an unfinished save of user 2001 left .*velto-previous.*"},
          {kOwner, Open, 0, "others 2001"}, {kSaver, Open, 0, "undone"}},
         "doc.cur=old r1.cur=old r2.cur=old "},
        {"two long names", {{kSaver, Torn, 1, "No space.*"}, {kSaver, Torn, 2, "No space.*"},
                            {kSaver, Open, 1, "undone"}, {kSaver, Open, 2, "undone"}},
         "doc.cur=old r1.cur=old r2.cur=old "},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        SharedFolder dir;
        const std::string files[] = {dir.Doc("doc.cur", kOld), dir.Doc(cut + "r1.cur", kOld),
                                     dir.Doc(cut + "r2.cur", kOld)};
        for (const Step& step : row.steps) {
            const std::string& doc = files[step.file];
            const std::string target = fs::canonical(doc);
            int seen = 0;
            const auto fails = [&](const std::string& object) {
                return object == target && (++seen == 2 || (step.op == Torn && seen > 2));
            };
            int out[2];
            ASSERT_EQ(::pipe(out), 0);
            std::string why;
            const auto work = [&] {
                const std::string said = Said(step.uid, [&] {
                    return step.op == Open ? OpenOf(doc) : SaveOf(doc, step.uid == kOwner ? kOwners : kNew);
                });
                return ::write(out[1], said.data(), said.size()) > 0 ? 0 : 1;
            };
            const bool failing = step.op == Torn || step.op == Failing;
            const int exit = failing ? test::RunWithFailingCall(SYS_pwrite64, fails, step.op == Torn ? ENOSPC : EIO, work, why)
                                     : work();
            ::close(out[1]);
            char buf[1024] = {};
            const std::string said(buf, std::max<ssize_t>(0, ::read(out[0], buf, sizeof buf)));
            ::close(out[0]);
            if (!why.empty()) GTEST_SKIP() << why;
            ASSERT_EQ(exit, 0);
            EXPECT_TRUE(std::regex_match(said, std::regex(step.words))) << step.uid << ": " << said;
        }
        EXPECT_EQ(dir.Listing(kLabels), row.after);
    }
}
