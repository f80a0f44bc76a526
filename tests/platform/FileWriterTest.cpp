// The one file writer: what a replacement keeps and refuses, what a creation
// never replaces, what a failure leaves, and which leftovers of killed saves
// the next save removes.
#include <gtest/gtest.h>

#include <sched.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>

#include "FileTrouble.h"
#include "WriterFolder.h"
#include "platform/FileWriter.h"

using namespace velto;
using namespace velto::test;
namespace fs = std::filesystem;

namespace {

// The id of a process that has ended.
pid_t EndedProcess() {
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

// A temporary's name as a save on that machine makes it ("": as earlier
// versions did, naming none).
std::string TemporaryNameOf(const std::string& target, pid_t pid, const std::string& machine = ThisMachineTag()) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08lx", static_cast<unsigned long>(pid));
    return "." + target + ".velto-" + (machine.empty() ? "" : machine + "-") + hex + "-Ab12Cd";
}

// Runs work in a child that is a machine of its own: its host name, and with
// ownProcesses, process ids that mean nothing to the others. Its exit code,
// or 90 when this system gives no such child.
pid_t StartMachine(const std::string& host, bool ownProcesses, const std::function<int()>& work) {
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child != 0) return child;
    if (::unshare(CLONE_NEWUTS | (ownProcesses ? CLONE_NEWPID : 0)) != 0 ||
        ::sethostname(host.data(), host.size()) != 0)
        ::_exit(90);
    if (!ownProcesses) ::_exit(work());
    const pid_t first = ::fork();  // the first process of the new ids
    if (first == 0) ::_exit(work());
    int status = 0;
    ::waitpid(first, &status, 0);
    ::_exit(WIFEXITED(status) ? WEXITSTATUS(status) : 91);
}

int ExitCodeOf(pid_t child) {
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

WriteOptions Creating() {
    WriteOptions o;
    o.mode = WriteMode::Create;
    return o;
}

}  // namespace

TEST(FileWriter, AReplacedFileKeepsModeOwnerAndGroupAndLosesSetIdBitsOnlyWhereItCannot) {
    WriterFolder dir;
    const std::string doc = dir.File("doc.cur");
    Put(doc, "old");
    ASSERT_EQ(::chmod(doc.c_str(), 0640), 0);
    ASSERT_TRUE(WriteWholeFile(doc, B("new")));
    EXPECT_EQ(Stat(doc).st_mode & 07777, 0640u);
    EXPECT_EQ(Text(doc), "new");
    if (::geteuid() != 0) GTEST_SKIP() << "owners other than oneself need root";

    // Another user's file with the set-group-ID bit, replaced by root: all kept.
    ASSERT_EQ(::chown(doc.c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chmod(doc.c_str(), 02640), 0);
    ASSERT_TRUE(WriteWholeFile(doc, B("newer")));
    struct stat st = Stat(doc);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);
    EXPECT_EQ(st.st_mode & 07777, 02640u);

    // An ordinary user replacing root's group-writable file: the system lets
    // the group be kept but not the owner, and the set-ID bit must not pass
    // to a file the saver now owns.
    ASSERT_EQ(::chown(doc.c_str(), 0, 65534), 0);
    ASSERT_EQ(::chmod(doc.c_str(), 02664), 0);
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        if (!test::detail::DropPrivileges()) ::_exit(3);
        ::_exit(WriteWholeFile(doc, B("theirs")) ? 0 : 4);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    st = Stat(doc);
    EXPECT_EQ(Text(doc), "theirs");
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);
    EXPECT_EQ(st.st_mode & 07777, 0664u);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"doc.cur"});
}

TEST(FileWriter, ReplaceRefusesWhatIsNotARegularFileAndLeavesItAsItWas) {
    WriterFolder dir;
    fs::create_directory(dir.File("folder"));
    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", dir.File("sock").c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::symlink("fifo", dir.File("link").c_str()), 0);
    const std::vector<std::string> before = dir.Names();
    // (Never a device of the system's: a fault here would replace it.)
    for (const std::string name : {"folder", "fifo", "sock", "link"}) {
        SCOPED_TRACE(name);
        const std::string path = dir.File(name);
        const mode_t type = Stat(path).st_mode & S_IFMT;
        FileError error;
        EXPECT_FALSE(WriteWholeFile(path, B("data"), &error));
        EXPECT_EQ(error, FileError::NotRegular);
        EXPECT_EQ(Stat(path).st_mode & S_IFMT, type);
    }
    ::close(sock);
    EXPECT_EQ(dir.Names(), before) << "nothing beside them";
}

// Saving through a link (a document opened through one, settings kept in
// another folder) changes the file the link leads to, never the link.
TEST(FileWriter, ReplacingThroughALinkChangesTheFileItLeadsToAndKeepsTheLink) {
    WriterFolder dir;
    fs::create_directory(dir.File("real"));
    const std::string real = dir.File("real/doc.cur"), link = dir.File("doc.cur"), chain = dir.File("chain.cur");
    Put(real, "old");
    ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
    ASSERT_EQ(::symlink("real/doc.cur", link.c_str()), 0);
    ASSERT_EQ(::symlink("doc.cur", chain.c_str()), 0);
    const auto names = [&](const std::string& folder) {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(dir.File(folder))) out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    };
    const auto linksKept = [&] {
        EXPECT_TRUE(fs::is_symlink(fs::symlink_status(link)));
        EXPECT_EQ(fs::read_symlink(link), "real/doc.cur");
        EXPECT_TRUE(fs::is_symlink(fs::symlink_status(chain)));
        EXPECT_EQ(dir.Names(), (std::vector<std::string>{"chain.cur", "doc.cur", "real"}));
    };
    {
        // The new file grows beside the one it replaces, not beside the link.
        FileWriter writer(link);
        ASSERT_TRUE(writer.Write(B("new")));
        EXPECT_EQ(names("real").size(), 2u);
        linksKept();
        ASSERT_TRUE(writer.Commit()) << FileErrorText(writer.error());
    }
    linksKept();
    EXPECT_EQ(Text(real), "new");
    EXPECT_EQ(Stat(real).st_mode & 07777, 0640u);
    EXPECT_EQ(names("real"), std::vector<std::string>{"doc.cur"});
    // A link to a link leads to the same file.
    ASSERT_TRUE(WriteWholeFile(chain, B("newer")));
    linksKept();
    EXPECT_EQ(Text(real), "newer");
    EXPECT_EQ(names("real"), std::vector<std::string>{"doc.cur"});

    // Create never follows one: the name is taken.
    FileError error;
    EXPECT_FALSE(WriteWholeFile(link, B("created"), &error, Creating()));
    EXPECT_EQ(error.sysError(), EEXIST);
    EXPECT_EQ(Text(real), "newer");
    linksKept();

    // A link to nowhere is replaced by the file; what it named is not made.
    const std::string dangling = dir.File("gone.cur");
    ASSERT_EQ(::symlink("real/nowhere.cur", dangling.c_str()), 0);
    ASSERT_TRUE(WriteWholeFile(dangling, B("here")));
    EXPECT_TRUE(S_ISREG(Stat(dangling).st_mode));
    EXPECT_EQ(Text(dangling), "here");
    EXPECT_EQ(names("real"), std::vector<std::string>{"doc.cur"});
    // A link to a folder is refused as the folder is.
    const std::string toFolder = dir.File("folder.cur");
    ASSERT_EQ(::symlink("real", toFolder.c_str()), 0);
    EXPECT_FALSE(WriteWholeFile(toFolder, B("x"), &error));
    EXPECT_EQ(error, FileError::NotRegular);
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(toFolder)));
}

TEST(FileWriter, CreateNeverReplacesWhatHoldsTheNameEvenWhenItAppearsDuringTheWrite) {
    WriterFolder dir;
    const std::string out = dir.File("out.png");
    const mode_t mask = ::umask(027);
    FileError error;
    ASSERT_TRUE(WriteWholeFile(out, B("first"), &error, Creating()));
    EXPECT_EQ(Stat(out).st_mode & 07777, 0640u) << "a new file's bits come from the umask";
    ::umask(mask);
    EXPECT_FALSE(WriteWholeFile(out, B("second"), &error, Creating()));
    EXPECT_EQ(error.sysError(), EEXIST);
    EXPECT_EQ(FileErrorText(error), "File exists");
    EXPECT_EQ(Text(out), "first");

    // A rival takes the name after the write began: a file, a folder, or a
    // link to nowhere (whose destination must not be created either).
    const std::string elsewhere = dir.File("elsewhere");
    const std::vector<std::pair<const char*, std::function<void(const std::string&)>>> rivals = {
        {"file", [](const std::string& p) { Put(p, "rival"); }},
        {"folder", [](const std::string& p) { fs::create_directory(p); }},
        {"dangling link", [&](const std::string& p) { ASSERT_EQ(::symlink(elsewhere.c_str(), p.c_str()), 0); }},
    };
    for (const auto& [what, rival] : rivals) {
        SCOPED_TRACE(what);
        const std::string name = dir.File(std::string("taken-") + what);
        {
            FileWriter writer(name, Creating());
            ASSERT_TRUE(writer.Write(B("ours")));
            rival(name);
            EXPECT_FALSE(writer.Commit());
            EXPECT_EQ(writer.error().sysError(), EEXIST);
        }
        if (std::string(what) == "file") {
            EXPECT_EQ(Text(name), "rival");
        }
        EXPECT_FALSE(fs::exists(elsewhere));
    }
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"out.png", "taken-dangling link", "taken-file", "taken-folder"}));
}

TEST(FileWriter, AFailedOrAbandonedWriteLeavesTheTargetAndNothingBeside) {
    WriterFolder dir;
    const std::string doc = dir.File("doc.ani");
    Put(doc, "old");
    for (const WriteMode mode : {WriteMode::Replace, WriteMode::Create}) {
        WriteOptions o;
        o.mode = mode;
        FileWriter writer(mode == WriteMode::Replace ? doc : dir.File("new.ani"), o);
        ASSERT_TRUE(writer.Write(B("part")));
        ASSERT_TRUE(writer.WriteAt(0, B("P")));
    }
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"doc.ani"});
    EXPECT_EQ(Text(doc), "old");

    // Troubles the system reports: the reason comes back, nothing is left.
    // (A read-only target, for a replacement, is among FileIO's troubles.)
    const std::vector<std::uint8_t> data(20000, 5);
    for (const test::FileTrouble t : {test::FileTrouble::ReadOnlyFolder, test::FileTrouble::MissingFolder,
                                      test::FileTrouble::ReadOnlyFileSystem, test::FileTrouble::FullDisk}) {
        SCOPED_TRACE(test::FileTroubleName(t));
        const test::FileTroubleOutcome o = test::SaveWithTrouble(t, "out.bmp", [&](const std::string& path) {
            FileWriter writer(path, Creating());
            writer.Write(data) && writer.Write(data) && writer.Commit();
            std::string out;
            std::error_code ec;
            for (const auto& e : fs::directory_iterator(FolderOf(path), ec))
                if (e.path().filename() != "filler") out += "left " + e.path().filename().string() + ", ";
            return out + FileErrorText(writer.error());
        });
        if (o.skipped) {
            std::printf("skipped %s: %s\n", test::FileTroubleName(t), o.text.c_str());
            continue;
        }
        EXPECT_EQ(o.text, test::FileTroubleReason(t));
    }
}

// A flush or close the system fails (a disk that fails, a network file
// system that reports a lost write only then) fails the save.
TEST(FileWriter, AFailedFlushOrCloseFailsTheSaveWithItsReasonAndKeepsTheOldBytes) {
    WriterFolder dir;
    const std::string doc = dir.File("doc.cur");
    struct Case {
        testhooks::WriterStep step;
        int err;
        WriteMode mode;
    };
    for (const Case c : {Case{testhooks::WriterStep::Flush, EIO, WriteMode::Replace},
                         Case{testhooks::WriterStep::Close, EIO, WriteMode::Replace},
                         Case{testhooks::WriterStep::Flush, ENOSPC, WriteMode::Create},
                         Case{testhooks::WriterStep::Close, EDQUOT, WriteMode::Create}}) {
        SCOPED_TRACE(std::strerror(c.err));
        Put(doc, "old");
        WriteOptions o;
        o.mode = c.mode;
        const std::string target = c.mode == WriteMode::Replace ? doc : dir.File("new.cur");
        testhooks::FailWriterAt(c.step, c.err);
        FileError error;
        EXPECT_FALSE(WriteWholeFile(target, B("new"), &error, o));
        testhooks::FailWriterAt(c.step, 0);
        EXPECT_EQ(FileErrorText(error), std::strerror(c.err));
        EXPECT_EQ(Text(doc), "old");
        EXPECT_EQ(dir.Names(), std::vector<std::string>{"doc.cur"});
    }
}

TEST(FileWriter, TheNextSaveRemovesOnlyOurLeftoversOfEndedProcessesOncePerSweep) {
    WriterFolder dir;
    const pid_t dead = EndedProcess();
    const std::string ours = TemporaryNameOf("doc.cur", dead);
    const std::string live = TemporaryNameOf("doc.cur", ::getpid());
    const std::string folder = TemporaryNameOf("a.cur", dead), link = TemporaryNameOf("b.cur", dead);
    const std::string theirs = TemporaryNameOf("c.cur", dead);
    for (const std::string& name : {ours, live, theirs, std::string(".doc.cur.velto-notapid-Ab12Cd"),
                                    std::string("notes.txt")})
        Put(dir.File(name), "x");
    fs::create_directory(dir.File(folder));
    ASSERT_EQ(::symlink("notes.txt", dir.File(link).c_str()), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(dir.File(theirs).c_str(), 65534, 65534), 0);
    }
    EXPECT_EQ(TemporaryOwner(ours), static_cast<unsigned long>(dead));
    EXPECT_EQ(TemporaryOwner(".doc.cur.velto-notapid-Ab12Cd"), 0u);
    EXPECT_EQ(TemporaryOwner("doc.cur"), 0u);

    ASSERT_TRUE(WriteWholeFile(dir.File("doc.cur"), B("doc")));
    std::vector<std::string> kept = {live, ".doc.cur.velto-notapid-Ab12Cd", folder, link, "doc.cur", "notes.txt"};
    if (root) kept.push_back(theirs);
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(dir.Names(), kept);

    // A run that writes many files looks at the folder once.
    fs::remove_all(dir.File(folder));
    fs::remove(dir.File(link));
    fs::remove(dir.File(theirs));
    StaleSweep sweep;
    WriteOptions once = Creating();
    once.sweep = &sweep;
    ASSERT_TRUE(WriteWholeFile(dir.File("1.cur"), B("1"), nullptr, once));
    Put(dir.File(ours), "x");
    ASSERT_TRUE(WriteWholeFile(dir.File("2.cur"), B("2"), nullptr, once));
    EXPECT_TRUE(fs::exists(dir.File(ours)));
    ASSERT_TRUE(WriteWholeFile(dir.File("3.cur"), B("3"), nullptr, Creating()));
    EXPECT_FALSE(fs::exists(dir.File(ours)));
}

TEST(FileWriter, ALongNameLeavesRoomForItsTemporaryWhoseOwnerStillReads) {
    WriterFolder dir;
    const std::string name = std::string(250, 'n') + ".cur";
    {
        FileWriter writer(dir.File(name));
        ASSERT_TRUE(writer.ok()) << FileErrorText(writer.error());
        const std::vector<std::string> names = dir.Names();
        ASSERT_EQ(names.size(), 1u);
        EXPECT_LE(names[0].size(), 255u);
        EXPECT_EQ(TemporaryOwner(names[0]), static_cast<unsigned long>(::getpid()));
        ASSERT_TRUE(writer.Write(B("long")) && writer.Commit());
    }
    EXPECT_EQ(dir.Names(), std::vector<std::string>{name});
    EXPECT_EQ(Text(dir.File(name)), "long");
}

// A folder shared by machines (a network home): a sweep takes this machine's
// leftovers only, and those of earlier versions (no machine in the name) only
// once no save can still be writing them.
TEST(FileWriter, TheSweepTakesOnlyThisMachinesLeftoversAndOldOnesOnceTheyAreOld) {
    WriterFolder dir;
    const pid_t dead = EndedProcess(), live = ::getpid();
    constexpr time_t kDay = 24 * 60 * 60;
    const struct {
        const char* what;
        std::string name;
        time_t age;
        bool removed;
    } cases[] = {
        {"this machine's, ended", TemporaryNameOf("a.cur", dead), 0, true},
        {"this machine's, running", TemporaryNameOf("b.cur", live), 2 * kDay, false},
        {"another machine's", TemporaryNameOf("c.cur", dead, "elsewhere"), 2 * kDay, false},
        {"an earlier version's, new", TemporaryNameOf("d.cur", dead, ""), 0, false},
        {"an earlier version's, two days old", TemporaryNameOf("e.cur", dead, ""), 2 * kDay, true},
        {"an earlier version's, running here", TemporaryNameOf("f.cur", live, ""), 2 * kDay, false},
    };
    for (const auto& c : cases) {
        Put(dir.File(c.name), "x");
        const timespec when[2] = {{0, UTIME_OMIT}, {::time(nullptr) - c.age, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, dir.File(c.name).c_str(), when, 0), 0);
    }
    ASSERT_TRUE(WriteWholeFile(dir.File("doc.cur"), B("doc")));
    for (const auto& c : cases) EXPECT_EQ(!fs::exists(dir.File(c.name)), c.removed) << c.what;
}

TEST(FileWriter, ASaveOnAnotherMachineKeepsItsTemporaryWhileThisOneSweepsTheFolder) {
    if (::geteuid() != 0) GTEST_SKIP() << "machines of their own (namespaces) need root";
    WriterFolder dir;
    const std::string doc = dir.File("doc.cur");
    Put(doc, "old");
    int ready[2], go[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(go), 0);
    // Alpha has written its file and waits to name it...
    const pid_t alpha = StartMachine("alpha", false, [&] {
        FileWriter writer(doc);
        const bool wrote = writer.Write(B("alpha's"));
        char c = 'r';
        if (::write(ready[1], &c, 1) != 1 || ::read(go[0], &c, 1) != 1) return 3;
        return wrote && writer.Commit() ? 0 : 1;
    });
    ::close(ready[1]);
    char c = 0;
    const bool started = ::read(ready[0], &c, 1) == 1;
    // ...while beta, to which alpha's process does not exist, saves beside it.
    const int beta = started ? ExitCodeOf(StartMachine("beta", true, [&] {
        return WriteWholeFile(dir.File("other.cur"), B("beta's")) ? 0 : 1;
    }))
                             : 90;
    (void)!::write(go[1], &c, 1);
    ::close(go[1]);
    const int alphaEnded = ExitCodeOf(alpha);
    if (alphaEnded == 90 || beta == 90) GTEST_SKIP() << "this system gives no namespaces of hosts and processes";
    EXPECT_EQ(beta, 0);
    EXPECT_EQ(alphaEnded, 0) << "alpha's temporary was taken";
    EXPECT_EQ(Text(doc), "alpha's");
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"doc.cur", "other.cur"}));
}

// Any host name goes into a file name safely, bounded so that a name near the
// limit still leaves room, and told apart from others.
TEST(FileWriter, AnyHostNameMakesASafeBoundedTagThatALongTargetNameStillFits) {
    const std::string hosts[] = {"box",
                                 "box.example.org",
                                 "a/b c_d\xff",
                                 "",
                                 std::string(64, 'h'),
                                 std::string(63, 'h') + "i",
                                 std::string(40, '.') + "x",
                                 std::string(40, '.') + "y"};
    std::set<std::string> tags;
    for (const std::string& host : hosts) {
        const std::string tag = MachineTag(host);
        EXPECT_TRUE(!tag.empty() && tag.size() <= 32) << tag;
        EXPECT_EQ(tag.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_"),
                  std::string::npos)
            << tag;
        tags.insert(tag);
    }
    EXPECT_EQ(tags.size(), std::size(hosts)) << "every host its own tag";
    EXPECT_EQ(MachineTag("box"), "box") << "a plain name reads as it is";

    if (::geteuid() != 0) GTEST_SKIP() << "a machine of its own (a namespace) needs root";
    WriterFolder dir;
    const std::string name = std::string(250, 'n') + ".cur";
    const int code = ExitCodeOf(StartMachine(std::string(64, '.'), false, [&] {
        FileWriter writer(dir.File(name));
        const std::vector<std::string> names = dir.Names();
        if (names.size() != 1 || names[0].size() > 255) return 1;
        const TemporaryOrigin origin = OriginOfTemporary(names[0]);
        if (origin.pid != static_cast<unsigned long>(::getpid()) || origin.machine != ThisMachineTag()) return 2;
        return writer.Write(B("long")) && writer.Commit() ? 0 : 3;
    }));
    if (code == 90) GTEST_SKIP() << "this system gives no namespaces of hosts";
    EXPECT_EQ(code, 0);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{name});
}
