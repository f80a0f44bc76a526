// What a replaced file keeps beyond its bytes and permission bits: its access
// list and extended attributes, and so who may read or write it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <linux/posix_acl.h>
#include <linux/posix_acl_xattr.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>

#include "ChildCost.h"
#include "FileTrouble.h"
#include "WriterFolder.h"
#include "platform/FileWriter.h"

using namespace velto;
using namespace velto::test;

namespace {

constexpr unsigned kOwner = 4242, kGroup = 4343, kNobody = 65534;

struct AclEntry {
    std::uint16_t tag, perm;
    std::uint32_t id = static_cast<std::uint32_t>(ACL_UNDEFINED_ID);
};

// An access list as the system stores it (entries by tag, then id).
std::string AccessList(std::initializer_list<AclEntry> entries) {
    std::string out;
    const auto put = [&](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) out += static_cast<char>(v >> (8 * i));
    };
    put(POSIX_ACL_XATTR_VERSION, 4);
    for (const AclEntry& e : entries) {
        put(e.tag, 2);
        put(e.perm, 2);
        put(e.id, 4);
    }
    return out;
}

constexpr std::uint16_t kRW = ACL_READ | ACL_WRITE, kRWX = kRW | ACL_EXECUTE;

// Who may open the file for reading and for writing, found by trying as each
// of them (root would pass every check).
std::string Rights(const std::string& path) {
    struct Who {
        const char* name;
        unsigned uid, gid;
    };
    static constexpr Who kWho[] = {
        {"owner", kOwner, kOwner}, {"nobody", kNobody, kNobody}, {"group", 5000, kGroup}, {"other", 5001, 5001}};
    std::string out;
    for (const Who& w : kWho) {
        const int can = RunInChild([&] {
                            if (::setgroups(0, nullptr) != 0 || ::setgid(w.gid) != 0 || ::setuid(w.uid) != 0) return 9;
                            int r = 0;
                            for (const int flag : {O_RDONLY, O_WRONLY}) {
                                const int fd = ::open(path.c_str(), flag | O_CLOEXEC);
                                if (fd >= 0) ::close(fd);
                                r = r * 2 + (fd >= 0);
                            }
                            return r;
                        }).exitCode;
        out += std::string(w.name) + (can < 0 || can > 3 ? ":?? " : can & 2 ? ":r" : ":-") + (can & 1 ? "w " : "- ");
    }
    return out;
}

// Mode, owner, group, attributes (the access list among them) and rights.
std::string Keeps(const std::string& path) {
    const struct stat st = Stat(path);
    std::vector<FileAttribute> attributes;
    EXPECT_EQ(ReadFileAttributes(path, attributes), 0);
    std::sort(attributes.begin(), attributes.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o ", static_cast<unsigned>(st.st_mode & 07777));
    std::string out = mode + std::to_string(st.st_uid) + ":" + std::to_string(st.st_gid) + " " + Rights(path);
    for (const FileAttribute& a : attributes)
        out += a.name + "=" + std::to_string(std::hash<std::string>{}(a.value)) + " ";  // (values may be binary)
    return out;
}

}  // namespace

// The access list, extended attributes and who may do what survive a save;
// the temporary is private until it gets them, whatever the folder's default
// list says, and a copy given the file's ownership is as private as the file.
TEST(FileWriterAttributes, AReplacedFileKeepsItsAccessListAttributesAndWhoMayUseIt) {
    if (::geteuid() != 0) GTEST_SKIP() << "acting as other users to check their rights needs root";
    const std::string nobodyWrites = AccessList({{ACL_USER_OBJ, kRW},
                                                 {ACL_USER, kRW, kNobody},
                                                 {ACL_GROUP_OBJ, ACL_READ},
                                                 {ACL_MASK, kRW},
                                                 {ACL_OTHER, 0}});
    const std::string nobodyByDefault = AccessList({{ACL_USER_OBJ, kRWX},
                                                    {ACL_USER, kRWX, kNobody},
                                                    {ACL_GROUP_OBJ, ACL_READ | ACL_EXECUTE},
                                                    {ACL_MASK, kRWX},
                                                    {ACL_OTHER, 0}});
    struct Case {
        const char* what;
        unsigned mode;
        std::string list, folderDefault;
    };
    const Case cases[] = {
        {"a list letting nobody write and the owning group only read", 0640, nobodyWrites, ""},
        {"the same with the set-group-ID bit", 02640, nobodyWrites, ""},
        {"no list, in a folder whose default list lets nobody in", 0640, "", nobodyByDefault},
    };
    WriterFolder dir;
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string folder = dir.File(std::to_string(++n)), doc = folder + "/doc.cur";
        ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
        Put(doc, "old");
        ASSERT_EQ(::chown(doc.c_str(), kOwner, kGroup), 0);
        ASSERT_EQ(::chmod(doc.c_str(), c.mode), 0);
        const struct {
            std::string path, name, value;
        } attributes[] = {{doc, "user.author", "alice"},
                          {doc, "user.empty", ""},
                          {doc, "user.bytes", {"\0\xff", 2}},
                          {doc, kAccessListAttribute, c.list},
                          {folder, "system.posix_acl_default", c.folderDefault}};
        for (const auto& a : attributes) {
            if (a.name.starts_with("system.") && a.value.empty()) continue;
            if (::setxattr(a.path.c_str(), a.name.c_str(), a.value.data(), a.value.size(), 0) == 0) continue;
            if (errno == ENOTSUP) GTEST_SKIP() << "this file system keeps no " << a.name << " attribute";
            FAIL() << a.name << ": " << std::strerror(errno);
        }
        const std::string before = Keeps(doc), rights = Rights(doc);
        ASSERT_NE(before.find("user.author="), std::string::npos) << before;
        EXPECT_EQ(before.find("nobody:rw") != std::string::npos, !c.list.empty()) << before;
        {
            FileWriter writer(doc);
            ASSERT_TRUE(writer.Write(B("new")));
            std::string temp;
            for (const auto& e : std::filesystem::directory_iterator(folder))
                if (e.path().filename() != "doc.cur") temp = e.path().string();
            EXPECT_EQ(Rights(temp), "owner:-- nobody:-- group:-- other:-- ") << "private while written";
            ASSERT_TRUE(writer.Flush()) << FileErrorText(writer.error());
            EXPECT_EQ(Keeps(temp), before) << "complete, not yet named";
            ASSERT_TRUE(writer.Commit());
        }
        EXPECT_EQ(Text(doc), "new");
        EXPECT_EQ(Keeps(doc), before);

        // A copy given the file's ownership (a backup) grants what the file grants.
        FileOwnership ownership;
        ASSERT_TRUE(FileOwnershipOf(doc, ownership));
        WriteOptions copy;
        copy.ownership = &ownership;
        ASSERT_TRUE(WriteWholeFile(doc + ".bak", B("old"), nullptr, copy));
        EXPECT_EQ(Rights(doc + ".bak"), rights);
    }
}

// An attribute the saver may not set (a security module's, for an ordinary
// user) fails the save with the reason; the file stays as it was.
TEST(FileWriterAttributes, AnAttributeThatCannotBeKeptFailsTheSaveAndLeavesTheFile) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to set the attribute and act as an ordinary user";
    WriterFolder dir;
    const std::string doc = dir.File("doc.cur");
    Put(doc, "old");
    ASSERT_EQ(::chown(doc.c_str(), kNobody, kNobody), 0);
    if (::setxattr(doc.c_str(), "security.velto-test", "label", 5, 0) != 0)
        GTEST_SKIP() << "this file system keeps no security attributes: " << std::strerror(errno);
    const std::string before = Keeps(doc);
    const int reason = RunInChild([&] {
                           if (!detail::DropPrivileges()) return 99;
                           FileError error;
                           return WriteWholeFile(doc, B("new"), &error) ? 0 : error.sysError();
                       }).exitCode;
    EXPECT_EQ(reason, EPERM) << "the save must fail with the system's reason";
    EXPECT_EQ(Text(doc), "old");
    EXPECT_EQ(Keeps(doc), before);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"doc.cur"});
}
