// The one file writer: what a replacement keeps and refuses, what a creation
// never replaces, what a failure leaves, and which leftovers of killed saves
// the next save removes.
#include <gtest/gtest.h>

#include <grp.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <set>

#include "ChildCost.h"
#include "FailingCall.h"
#include "FileTrouble.h"
#include "platform/FileWriter.h"

using namespace velto;
namespace fs = std::filesystem;

namespace {

class WriterFolder {
public:
    WriterFolder() {
        char tmpl[] = "/tmp/velto-writer-XXXXXX";
        path_ = ::mkdtemp(tmpl);
        ::chmod(path_.c_str(), 0777);
    }
    ~WriterFolder() { fs::remove_all(path_); }
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    std::vector<std::string> Names() const {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(path_)) out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }

private:
    std::string path_;
};

void Put(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
std::string Text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
std::vector<std::uint8_t> B(const std::string& s) { return {s.begin(), s.end()}; }

struct stat Stat(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
}

// Mode and extended attributes, the access list among them.
std::string Keeps(const std::string& path) {
    std::vector<FileAttribute> attributes;
    EXPECT_EQ(ReadFileAttributes(path, attributes), 0);
    std::ranges::sort(attributes, {}, &FileAttribute::name);
    std::string out = std::to_string(Stat(path).st_mode);
    for (const FileAttribute& a : attributes) out += " " + a.name + "=" + a.value;
    return out;
}

// The id of a process that has ended.
pid_t EndedProcess() {
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

// A temporary's name as a save on that machine makes it ("": as earlier versions did).
std::string TemporaryNameOf(const std::string& target, pid_t pid, const std::string& machine = ThisMachineTag()) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08lx", static_cast<unsigned long>(pid));
    return "." + target + ".velto-" + (machine.empty() ? "" : machine + "-") + hex + "-Ab12Cd";
}

// "name=content " of the folder's files, by name.
std::string Contents(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
    std::string out;
    for (const std::string& name : names) out += name + "=" + Text(folder + "/" + name) + " ";
    return out;
}

// Gives path an access list (or a folder's default one) where owner, nobody and the owning group read and write.
int GiveList(const std::string& path, const char* name = kAccessListAttribute) {
    static const std::string list("\2\0\0\0\1\0\6\0\0\0\0\0\2\0\6\0\376\377\0\0\4\0\6\0\0\0\0\0"
                                  "\20\0\6\0\0\0\0\0\40\0\0\0\0\0\0\0", 44);
    return ::setxattr(path.c_str(), name, list.data(), list.size(), 0);
}

WriteOptions Creating() {
    WriteOptions o;
    o.mode = WriteMode::Create;
    return o;
}

}  // namespace

TEST(FileWriter, AReplacedFileKeepsModeOwnerAndGroupWhenItsOwnerOrRootSavesIt) {
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
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"doc.cur"});
}

// Another user whom the group or access list lets write saves a file in place, as a new file would be the saver's,
// and so does an owner not in the file's group; a backup lets in no group it cannot be given, nor keeps set-ID bits
// for an owner it could not keep.
TEST(FileWriter, AnotherUserSavesTheFileInPlaceAndNoOneGainsOrLosesAccess) {
    if (::geteuid() != 0) GTEST_SKIP() << "files of several users and saving as another need root";
    const auto as = [](unsigned uid, const std::function<bool()>& work) {  // nogroup its only group
        const auto run = [&] { return ::setgroups(0, nullptr) || ::setgid(65534) || ::setuid(uid) || !work(); };
        return test::RunInChild(run).exitCode == 0;
    };
    struct Row {
        unsigned uid, gid, mode;
        bool listed, backup;
        unsigned saver;
    };
    const Row cases[] = {{1000, 1000, 0660, true, false, 65534}, {0, 65534, 02664, false, false, 65534},
                         {1000, 3000, 0664, false, false, 1000},  {1000, 1000, 0660, true, true, 65534},
                         {1000, 1000, 0660, false, true, 65534},  {1000, 1000, 06664, false, true, 65534}};
    for (const Row& row : cases) {
        SCOPED_TRACE(testing::Message() << row.uid << ":" << row.gid << " " << row.listed << row.backup);
        WriterFolder dir;
        const std::string doc = dir.File("doc.cur"), bak = dir.File("doc.bak");
        Put(doc, "old");
        ASSERT_EQ(::chown(doc.c_str(), row.uid, row.gid) | ::chmod(doc.c_str(), row.mode), 0);
        if (row.listed && GiveList(doc) != 0)
            GTEST_SKIP() << "no access lists here: " << std::strerror(errno);
        const std::string before = Keeps(doc);
        const struct stat old = Stat(doc);
        FileOwnership library;
        ASSERT_TRUE(FileOwnershipOf(doc, library) && as(row.saver, [&] {
            return row.backup ? WriteWholeFile(bak, B("old"), nullptr, {.ownership = &library, .ownName = true})
                              : WriteWholeFile(doc, B("new"));
        }));
        if (row.backup) {
            EXPECT_FALSE(as(4242, [&] { return !::access(bak.c_str(), R_OK); })) << "the saver's group gets in";
            EXPECT_EQ(Stat(bak).st_mode & 06000, 0u) << "set-ID bits of an owner not kept";
            continue;
        }
        const struct stat now = Stat(doc);
        EXPECT_EQ(std::tie(now.st_ino, now.st_uid, now.st_gid), std::tie(old.st_ino, old.st_uid, old.st_gid));
        EXPECT_EQ(Keeps(doc), before);
        EXPECT_EQ(Contents(dir.File(".")), "doc.cur=new ");
    }
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

// A replacement keeps its access list and attributes, or fails; no save grants more
// than the old file did: not the temporary while written, not a folder's default
// list (the bits would open the file to those it names), not a backup's copy.
TEST(FileWriter, AReplacedFileKeepsItsAccessListAndAttributesOrFailsAndNoSaveGrantsMore) {
    // As the system keeps it: owner and nobody read and write, the group reads.
    std::string list("\2\0\0\0\1\0\6\0\0\0\0\0\2\0\6\0\376\377\0\0\4\0\4\0\0\0\0\0"
                     "\20\0\6\0\0\0\0\0\40\0\0\0\0\0\0\0", 44), folderList = list;
    folderList[14] = '\4';  // the folder's default lets nobody only read
    WriterFolder dir;
    const std::string listed = dir.File("listed.cur"), plain = dir.File("plain.cur");
    for (const std::string& doc : {listed, plain}) Put(doc, "old");
    ASSERT_EQ(::chmod(listed.c_str(), 02640) | ::chmod(plain.c_str(), 0640), 0);
    const std::string attributes[][3] = {{listed, kAccessListAttribute, list}, {plain, "user.tag", {"\0\xff", 2}},
                                         {dir.File("."), "system.posix_acl_default", folderList}};
    for (const auto& [path, name, value] : attributes)
        if (::setxattr(path.c_str(), name.c_str(), value.data(), value.size(), 0) != 0) {
            if (errno == ENOTSUP) GTEST_SKIP() << "this file system keeps no " << name << " attribute";
            FAIL() << name << ": " << std::strerror(errno);
        }
    FileOwnership ownership;
    const WriteOptions copy{.ownership = &ownership};
    ASSERT_TRUE(FileOwnershipOf(listed, ownership) && WriteWholeFile(dir.File("bak"), B("old"), nullptr, copy));
    EXPECT_EQ(Keeps(dir.File("bak")), Keeps(listed));
    for (const std::string& doc : {listed, plain}) {
        const std::string before = Keeps(doc);
        FileWriter writer(doc);
        ASSERT_TRUE(writer.Write(B("new")));
        EXPECT_EQ(Stat(dir.File(dir.Names().front())).st_mode & 077, 0u) << "the temporary is private while written";
        ASSERT_TRUE(writer.Commit()) << FileErrorText(writer.error());
        EXPECT_EQ(Keeps(doc), before);
    }

    // One the saver may not set (a security module's, for an ordinary user).
    if (::geteuid() != 0) GTEST_SKIP() << "setting it and then saving as an ordinary user needs root";
    ASSERT_EQ(::chown(plain.c_str(), 65534, 65534), 0);
    if (::setxattr(plain.c_str(), "security.velto-test", "label", 5, 0) != 0)
        GTEST_SKIP() << "this file system keeps no security attributes: " << std::strerror(errno);
    const std::string before = Keeps(plain);
    const int reason = test::RunInChild([&] {
        FileError error;
        return test::detail::DropPrivileges() && !WriteWholeFile(plain, B("newer"), &error) ? error.sysError() : 0;
    }).exitCode;
    EXPECT_EQ(reason, EPERM);
    EXPECT_EQ(Keeps(plain), before);
}

// A failing disk, or a network file system that reports a lost write only at close.
TEST(FileWriter, AFailedFlushOrCloseFailsTheSaveWithItsReasonAndKeepsTheOldBytes) {
    WriterFolder dir;
    const std::string doc = dir.File("doc.cur");
    Put(doc, "old");
    using enum testhooks::WriterStep;
    const std::tuple<testhooks::WriterStep, int, const char*> cases[] = {
        {Flush, EIO, "doc.cur"}, {Close, EDQUOT, "doc.cur"}, {Flush, ENOSPC, "new.cur"}, {Close, ESTALE, "new.cur"}};
    for (const auto& [step, err, target] : cases) {
        testhooks::FailWriterAt(step, err);
        FileError error;
        EXPECT_FALSE(WriteWholeFile(dir.File(target), B("new"), &error));
        testhooks::FailWriterAt(step, 0);
        EXPECT_EQ(FileErrorText(error), std::strerror(err));
        EXPECT_EQ(Text(doc), "old");
        EXPECT_EQ(dir.Names(), std::vector<std::string>{"doc.cur"});
    }
}

// The same with the real calls failing. After the rename, the new bytes stay but the save is not done; in place
// (root's file saved by nobody), the copy's name must last before the file is touched.
TEST(FileWriter, TheSystemsOwnFlushCloseAndFolderFlushFailingFailTheSave) {
    const std::tuple<long, bool, WriteMode, bool, int, const char*> cases[] = {  // on the folder, in place
        {SYS_fsync, false, WriteMode::Replace, false, EIO, "doc.cur=old "},
        {SYS_close, false, WriteMode::Replace, false, EDQUOT, "doc.cur=old "},
        {SYS_fsync, true, WriteMode::Replace, false, EIO, "doc.cur=new "},
        {SYS_fsync, true, WriteMode::Create, false, ENOSPC, "doc.cur=old new.cur=new "},
        {SYS_fsync, true, WriteMode::Replace, true, EIO, "doc.cur=old "}};
    for (const auto& row : cases) {
        const long call = std::get<0>(row);
        const bool onFolder = std::get<1>(row);
        const WriteMode mode = std::get<2>(row);
        const bool inPlace = std::get<3>(row);
        const int err = std::get<4>(row);
        const std::string after = std::get<5>(row);
        SCOPED_TRACE(std::string(inPlace ? "in place: " : "") + after + std::strerror(err));
        if (inPlace && ::geteuid() != 0) continue;
        WriterFolder dir;
        const std::string doc = dir.File("doc.cur"), target = mode == WriteMode::Create ? dir.File("new.cur") : doc;
        Put(doc, "old");
        ASSERT_TRUE(!inPlace || (::chown(doc.c_str(), 0, 65534) | ::chmod(doc.c_str(), 0664)) == 0);
        std::string why;
        const std::string folder = fs::canonical(dir.File("."));
        const auto fails = [&](const std::string& object, std::uint64_t) {
            return onFolder ? object == folder : object.starts_with(folder + "/");
        };
        const int reason = test::RunWithFailingCall(call, fails, err, [&] {
            FileError error;
            if (inPlace && !test::detail::DropPrivileges()) return 90;
            return WriteWholeFile(target, B("new"), &error, {.mode = mode}) ? 0 : error.sysError();
        }, why);
        if (!why.empty()) GTEST_SKIP() << why;
        EXPECT_EQ(reason, err);
        EXPECT_EQ(Contents(dir.File(".")), after);
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

// A folder shared by machines (a network home): another's process ids say
// nothing here, and an earlier version's names carry no machine at all.
TEST(FileWriter, TemporariesNameTheirMachineAndASweepTakesOnlyThisMachinesLeftovers) {
    const std::string hosts[] = {"box", "a/b c_d\xff", "", std::string(64, 'h'), std::string(63, 'h') + "i",
                                 std::string(40, '.') + "x", std::string(40, '.') + "y"};
    std::set<std::string> tags;  // each safe in a file name, bounded and its own
    for (const std::string& host : hosts)
        EXPECT_TRUE(std::regex_match(*tags.insert(MachineTag(host)).first, std::regex("[A-Za-z0-9_-]{1,32}"))) << host;
    EXPECT_EQ(tags.size(), std::size(hosts));

    WriterFolder dir;
    const pid_t dead = EndedProcess();
    const std::tuple<std::string, bool, bool> cases[] = {  // name, changed two days ago, removed
        {TemporaryNameOf("a.cur", dead, "elsewhere"), true, false}, {TemporaryNameOf("b.cur", dead, ""), false, false},
        {TemporaryNameOf("c.cur", dead, ""), true, true}, {TemporaryNameOf("d.cur", ::getpid(), ""), true, false}};
    for (const auto& [name, old, removed] : cases) {
        Put(dir.File(name), "x");
        fs::last_write_time(dir.File(name), fs::file_time_type::clock::now() - std::chrono::hours(old ? 48 : 0));
    }
    ASSERT_TRUE(WriteWholeFile(dir.File("doc.cur"), B("doc")));
    for (const auto& [name, old, removed] : cases) EXPECT_NE(fs::exists(dir.File(name)), removed) << name;

    // A long name saved on a machine of the longest host name, its save ended
    // here before naming it (as one still running there looks): it stays.
    WriterFolder far;
    const std::string host(64, '.'), name = std::string(250, 'n') + ".cur";
    const int wrote = test::RunInChild([&] {
        if (!test::detail::PrivateMounts() || ::unshare(CLONE_NEWUTS) || ::sethostname(host.data(), 64)) return 90;
        FileWriter writer(far.File(name));
        ::_exit(writer.Write(B("theirs")) ? 0 : 1);  // (no destructor to remove it)
    }).exitCode;
    if (wrote == 90) GTEST_SKIP() << "no namespace of hosts here (needs root or user namespaces)";
    ASSERT_EQ(wrote, 0);
    const std::string theirs = far.Names().front();
    EXPECT_EQ(OriginOfTemporary(theirs).machine, MachineTag(host));
    ASSERT_TRUE(WriteWholeFile(far.File(name), B("ours")));
    EXPECT_EQ(far.Names(), (std::vector<std::string>{theirs, name}));
}

// Sandboxes of one host name, each with its own process ids, share a folder: a temporary's name then says nothing
// certain of its save, the lock the save holds does, flushed and waiting for its commit too.
TEST(FileWriter, ASweepTakesATemporaryOnlyOnceNoSaveHoldsIt) {
    WriterFolder dir;
    const pid_t ended = EndedProcess();  // (named as by saves of another namespace)
    const std::string forged[] = {dir.File(TemporaryNameOf("a.cur", ended)), dir.File(TemporaryNameOf("b.cur", ended))};
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        FileWriter writing(dir.File("a.cur")), flushed(dir.File("b.cur"));
        const std::vector<std::string> temps = dir.Names();
        const char ok = temps.size() == 2 && writing.Write(B("a")) && flushed.Write(B("b")) && flushed.Flush() &&
                        ::link(dir.File(temps[0]).c_str(), forged[0].c_str()) == 0 &&
                        ::link(dir.File(temps[1]).c_str(), forged[1].c_str()) == 0;
        if (::write(ready[1], &ok, 1) == 1) ::pause();  // until killed
        ::_exit(0);
    }
    ::close(ready[1]);
    char ok = 0;
    const bool saved = ::read(ready[0], &ok, 1) == 1 && ok && WriteWholeFile(dir.File("other.cur"), B("x"));
    const std::size_t named = dir.Names().size();
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(ready[0]);
    ASSERT_TRUE(saved);
    EXPECT_EQ(named, 5u) << "a sweep took a held temporary";
    ASSERT_TRUE(WriteWholeFile(dir.File("other.cur"), B("y")));
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"other.cur"});
}

// The system drops a program's capabilities at any write: a save must not keep them (root's), nor fail for want
// of the right to set them (the owner's).
TEST(FileWriter, CapabilitiesOfTheOldBytesNeverPassToTheNewFile) {
    if (::geteuid() != 0) GTEST_SKIP() << "giving a file capabilities needs root";
    const std::uint32_t rawSockets[5] = {0x02000001, 1u << 13, 0, 0, 0};  // permitted and effective, as stored
    WriterFolder dir;
    const std::string doc = dir.File("tool.cur");
    for (const bool byOwner : {false, true}) {
        SCOPED_TRACE(byOwner ? "the owner saves" : "root saves");
        Put(doc, "old");
        ASSERT_EQ(::chown(doc.c_str(), 65534, 65534), 0);  // (before: a change of owner drops them)
        if (::setxattr(doc.c_str(), "security.capability", rawSockets, sizeof rawSockets, 0) != 0)
            GTEST_SKIP() << "no capabilities on this file system: " << std::strerror(errno);
        const auto save = [&] { FileError e; return WriteWholeFile(doc, B("new"), &e) ? 0 : e.sysError(); };
        const int reason = test::RunInChild([&] { return byOwner && !test::detail::DropPrivileges() ? 90 : save(); })
                               .exitCode;
        EXPECT_EQ(reason, 0) << std::strerror(reason);
        EXPECT_EQ(Contents(dir.File(".")), "tool.cur=new ");
        EXPECT_LT(::getxattr(doc.c_str(), "security.capability", nullptr, 0), 0);
    }
}

// Without attributes (ramfs), more names than the system lists (64 KiB), one block for them all (ext4) that the
// folder's default list given to the temporary must not fill: a save and a backup keep what there is, or say why.
TEST(FileWriter, ASaveKeepsWhatAttributesAFileSystemHasOrSaysWhyInWords) {
    const std::tuple<const char*, int, std::size_t, const char*> cases[] = {  // user attributes (-1: till full), name
        {"ramfs", 0, 0, "saved; doc.bak=old doc.cur=new "},
        {"tmpfs", 300, 240, ".*extended attributes.*; doc.bak=old doc.cur=old "},
        {"ext4", -1, 0, "saved; doc.bak=old doc.cur=new "}};
    for (const int err : {EOPNOTSUPP, EMLINK, EAGAIN, EINTR, ENOLCK, EUCLEAN, ENOTCONN, ETIMEDOUT})
        EXPECT_EQ(FileErrorText(FileError::FromErrno(err)), std::strerror(err));
    for (const auto& row : cases) {
        // (Plain copies: clang 14 lets no lambda capture a structured binding.)
        const char* const type = std::get<0>(row);
        const int count = std::get<1>(row);
        const std::size_t length = std::get<2>(row);
        const char* const want = std::get<3>(row);
        WriterFolder base;
        const std::string mnt = base.File("mnt"), folder = mnt + "/d", doc = folder + "/doc.cur";
        const std::string out = base.File("out"), image = base.File("image");
        const std::string ext4 = "exec >/dev/null 2>&1; mkfs.ext4 -q -F -b 4096 " + image + " 8M && mount " + image;
        fs::create_directory(mnt);
        test::RunInChild([&] {  // (its mounts go with it)
            if (!test::detail::PrivateMounts() || (type == std::string("ext4")
                                                       ? std::system((ext4 + " " + mnt).c_str())
                                                       : ::mount(type, mnt.c_str(), type, 0, "")))
                return Put(out, "!cannot mount it here (needs user namespaces; ext4: root, e2fsprogs)"), 0;
            fs::create_directory(folder);
            Put(doc, "old");
            int i = 0;
            const auto name = [&] { return "user." + std::to_string(i) + std::string(length, 'n'); };
            while (i != count && ::setxattr(doc.c_str(), name().c_str(), "", 0, 0) == 0) ++i;
            const bool given = i == count || (count < 0 && errno == ENOSPC);
            if (!given || (count < 0 && GiveList(folder, "system.posix_acl_default") != 0))
                return Put(out, "!cannot give it attributes: " + std::string(std::strerror(errno))), 0;
            FileOwnership own;
            FileError error;
            const bool backup = FileOwnershipOf(doc, own) &&
                                WriteWholeFile(folder + "/doc.bak", B("old"), nullptr, {.ownership = &own});
            const bool saved = WriteWholeFile(doc, B("new"), &error);
            Put(out, (saved ? "saved" : FileErrorText(error)) + (backup ? "; " : ", no backup; ") + Contents(folder));
            return 0;
        });
        const std::string got = Text(out);
        if (got.starts_with("!")) GTEST_SKIP() << type << ": " << got.substr(1);  // (ext4, which needs most, last)
        EXPECT_TRUE(std::regex_match(got, std::regex(want))) << type << ": " << got;
    }
}
