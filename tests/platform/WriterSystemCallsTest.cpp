// The file writer against the system itself: its flushes and closes failing
// as a failing disk fails them, file systems without attributes or with
// little room for them, and the attributes a new file must not take over.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

#include "ChildCost.h"
#include "FailingCalls.h"
#include "FileTrouble.h"
#include "platform/FileWriter.h"

using namespace velto;
namespace fs = std::filesystem;

namespace writer_calls {

struct Scratch {
    Scratch() {
        char tmpl[] = "/tmp/velto-calls-XXXXXX";
        path = fs::canonical(::mkdtemp(tmpl)).string();
    }
    ~Scratch() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    std::string At(const std::string& name) const { return path + "/" + name; }
    std::string path;
};

void PutText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

// "name=content ..." of the folder's files, by name.
std::string Contents(const std::string& folder) {
    std::vector<fs::path> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path());
    std::ranges::sort(names);
    std::string text;
    for (const fs::path& p : names) {
        std::ifstream in(p, std::ios::binary);
        text += (text.empty() ? "" : " ") + p.filename().string() + "=";
        text.append(std::istreambuf_iterator<char>(in), {});
    }
    return text;
}

// Mounts a fresh file system of that type at folder, in the child's own
// mount namespace; "" or why it cannot. (mkdtemp's names need no quotes.)
std::string MountOwn(const std::string& type, const std::string& base, const std::string& folder) {
    if (!test::detail::PrivateMounts()) return "no private mount namespace here (needs root or user namespaces)";
    if (type != "ext4")
        return ::mount(type.c_str(), folder.c_str(), type.c_str(), 0, "mode=0777") == 0 ? "" : "cannot mount " + type;
    if (::geteuid() != 0) return "an ext4 image on a loop device needs root";
    const std::string image = base + "/image", quiet = " >/dev/null 2>&1";
    PutText(image, "");
    if (::truncate(image.c_str(), 8 << 20) != 0 || std::system(("mkfs.ext4 -q -F -b 4096 " + image + quiet).c_str()))
        return "cannot make an ext4 image here (mkfs.ext4 of e2fsprogs)";
    if (std::system(("mount -o loop -t ext4 " + image + " " + folder + quiet).c_str()))
        return "cannot mount an ext4 image here";
    return "";
}

// Runs what(folder) in a child with a file system of its own at folder,
// which goes with the child; what it returned, or "!" and why it could not.
std::string OnOwnFileSystem(const std::string& type, const std::function<std::string(const std::string&)>& what) {
    Scratch base;
    const std::string folder = base.At("mnt"), out = base.At("out");
    fs::create_directory(folder);
    std::fflush(nullptr);
    test::RunInChild([&] {
        const std::string trouble = MountOwn(type, base.path, folder);
        PutText(out, trouble.empty() ? what(folder) : "!" + trouble);
        return 0;
    });
    std::ifstream in(out, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

#define SKIP_WHEN_NOT_SET_UP(got) \
    if (got.starts_with("!")) GTEST_SKIP() << got.substr(1)

}  // namespace writer_calls

using namespace writer_calls;

// A disk that fails, or a network file system that reports a lost write only
// at close: the real calls fail and the save says so. A folder flush failing
// after the rename leaves the new bytes at the name, but the save is not done.
TEST(WriterSystemCalls, AFailingFlushCloseOrFolderFlushFailsTheSaveWithTheSystemsReason) {
    const std::tuple<long, bool, WriteMode, int, const char*> cases[] = {
        {SYS_fsync, false, WriteMode::Replace, EIO, "doc.cur=old"},
        {SYS_close, false, WriteMode::Replace, EDQUOT, "doc.cur=old"},
        {SYS_fsync, true, WriteMode::Replace, EIO, "doc.cur=new"},
        {SYS_fsync, true, WriteMode::Create, ENOSPC, "doc.cur=old new.cur=new"},
    };
    for (const auto& [call, folder, mode, err, after] : cases) {
        SCOPED_TRACE(std::string(after) + " " + std::strerror(err));
        Scratch dir;
        PutText(dir.At("doc.cur"), "old");
        const std::string target = dir.At(mode == WriteMode::Replace ? "doc.cur" : "new.cur");
        const test::FailingCallOutcome o = test::RunWithFailingCall({call, folder, dir.path, err}, [&] {
            FileError error;
            WriteWholeFile(target, Bytes("new"), &error, WriteOptions{.mode = mode});
            return error.sysError();
        });
        if (o.skipped) GTEST_SKIP() << o.why;
        EXPECT_EQ(o.exitCode, err) << o.failed << " calls failed";
        EXPECT_EQ(Contents(dir.path), after);
    }
}

TEST(WriterSystemCalls, ASaveOnAFileSystemWithoutAttributesSucceeds) {
    const std::string got = OnOwnFileSystem("ramfs", [](const std::string& dir) {
        PutText(dir + "/doc.cur", "old");
        FileOwnership ownership;
        const bool read = FileOwnershipOf(dir + "/doc.cur", ownership);
        const std::pair<const char*, WriteOptions> saves[] = {
            {"doc.cur", {}}, {"new.cur", {.mode = WriteMode::Create}}, {"doc.cur.bak", {.ownership = &ownership}}};
        std::string out = read ? "" : "ownership unread; ";
        for (const auto& [name, options] : saves) {
            FileError error;
            if (!WriteWholeFile(dir + "/" + name, Bytes("new"), &error, options))
                out += std::string(name) + ": " + FileErrorText(error) + "; ";
        }
        return out + Contents(dir);
    });
    SKIP_WHEN_NOT_SET_UP(got);
    EXPECT_EQ(got, "doc.cur=new doc.cur.bak=new new.cur=new");
}

// The system drops a program's capabilities at any write: a save must not
// keep them (root's), nor fail for want of the right to set them (the owner's).
TEST(WriterAttributes, CapabilitiesOfTheOldBytesNeverPassToTheNewFile) {
    if (::geteuid() != 0) GTEST_SKIP() << "giving a file capabilities needs root";
    // Raw sockets, permitted and effective, as the system stores them (revision 2, little-endian).
    const std::uint32_t capability[5] = {0x02000001, 1u << 13, 0, 0, 0};
    Scratch dir;
    const std::string doc = dir.At("tool.cur");
    ::chmod(dir.path.c_str(), 0777);
    for (const bool byOwner : {false, true}) {
        SCOPED_TRACE(byOwner ? "the owner saves" : "root saves");
        PutText(doc, "old");
        ASSERT_EQ(::chown(doc.c_str(), 65534, 65534), 0);  // (before: a change of owner drops them)
        if (::setxattr(doc.c_str(), "security.capability", capability, sizeof capability, 0) != 0)
            GTEST_SKIP() << "no capabilities on this file system: " << std::strerror(errno);
        const int reason = test::RunInChild([&] {
            FileError error;
            if (byOwner && !test::detail::DropPrivileges()) return 90;
            return WriteWholeFile(doc, Bytes("new"), &error) ? 0 : error.sysError();
        }).exitCode;
        EXPECT_EQ(reason, 0) << std::strerror(reason);
        EXPECT_EQ(Contents(dir.path), "tool.cur=new");
        EXPECT_LT(::getxattr(doc.c_str(), "security.capability", nullptr, 0), 0);
    }
}

// The system lists at most 64 KiB of a file's attribute names: a save cannot
// copy more and says why in words, as it does for every reason a write meets.
TEST(WriterAttributes, MoreAttributeNamesThanTheSystemListsFailTheSaveInWords) {
    const std::string got = OnOwnFileSystem("tmpfs", [](const std::string& dir) {
        const std::string doc = dir + "/doc.cur";
        PutText(doc, "old");
        for (int i = 0; i < 300; ++i)
            if (::setxattr(doc.c_str(), ("user." + std::to_string(i) + std::string(240, 'n')).c_str(), "", 0, 0) != 0)
                return "!no user attributes on tmpfs here: " + std::string(std::strerror(errno));
        FileError error;
        return WriteWholeFile(doc, Bytes("new"), &error) ? "saved" : FileErrorText(error) + "; " + Contents(dir);
    });
    SKIP_WHEN_NOT_SET_UP(got);
    EXPECT_TRUE(got.ends_with("; doc.cur=old")) << got;
    EXPECT_NE(got.find("extended attributes"), std::string::npos) << got;

    for (const int err : {EOPNOTSUPP, EMLINK, EAGAIN, EINTR, ENOLCK, EUCLEAN, ENOTCONN, ETIMEDOUT})
        EXPECT_EQ(FileErrorText(FileError::FromErrno(err)), std::strerror(err));
}

// ext4 keeps a file's attributes in one block: the access list the folder's
// default gives the temporary must not take the room the old file's need.
TEST(WriterAttributes, AFolderDefaultListLeavesRoomForTheAttributesOfAFileWithoutOne) {
    const std::string got = OnOwnFileSystem("ext4", [](const std::string& dir) {
        const std::string folder = dir + "/listed", doc = folder + "/doc.cur";
        fs::create_directory(folder);
        PutText(doc, "old");
        for (int i = 0; ::setxattr(doc.c_str(), ("user." + std::to_string(i)).c_str(), "12345678", 8, 0) == 0; ++i) {
        }
        if (errno != ENOSPC) return "!cannot fill the attributes' block: " + std::string(std::strerror(errno));
        // Owner and nobody read and write, the group reads, as the system keeps it.
        const std::string list("\2\0\0\0\1\0\6\0\0\0\0\0\2\0\6\0\376\377\0\0\4\0\4\0\0\0\0\0"
                               "\20\0\6\0\0\0\0\0\40\0\0\0\0\0\0\0", 44);
        if (::setxattr(folder.c_str(), "system.posix_acl_default", list.data(), list.size(), 0) != 0)
            return "!no access lists here: " + std::string(std::strerror(errno));
        std::vector<FileAttribute> before, after;
        ReadFileAttributes(doc, before);
        FileError error;
        const bool saved = WriteWholeFile(doc, Bytes("new"), &error);
        ReadFileAttributes(doc, after);
        const auto byName = [](std::vector<FileAttribute>& v) { std::ranges::sort(v, {}, &FileAttribute::name); };
        byName(before);
        byName(after);
        const bool same = std::ranges::equal(before, after, [](const auto& a, const auto& b) {
            return a.name == b.name && a.value == b.value;
        });
        return (saved ? "saved" : FileErrorText(error)) + (same ? "" : ", attributes changed") + "; " +
               Contents(folder);
    });
    SKIP_WHEN_NOT_SET_UP(got);
    EXPECT_EQ(got, "saved; doc.cur=new");
}
