// Where the file system keeps no byte-range locks (it says ENOLCK), saves still work and the leftovers of killed
// saves still go: this machine's process ids decide. The file system is a passthrough of a folder, served by a
// child of this test through FUSE, that refuses every lock.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/FileWriter.h"

#ifdef VELTO_HAVE_FUSE3
#define FUSE_USE_VERSION 31
#include <dirent.h>
#include <fcntl.h>
#include <fuse.h>
#endif

using namespace velto;
namespace fs = std::filesystem;

#ifdef VELTO_HAVE_FUSE3
namespace {

std::string backing;  // (the server's; set in its child)

std::string Real(const char* path) { return backing + path; }
int Result(int r) { return r < 0 ? -errno : r; }

fuse_operations NoLockOperations() {
    fuse_operations o{};
    o.getattr = [](const char* p, struct stat* st, fuse_file_info*) { return Result(::lstat(Real(p).c_str(), st)); };
    o.readdir = [](const char* p, void* buf, fuse_fill_dir_t fill, off_t, fuse_file_info*, fuse_readdir_flags) {
        DIR* d = ::opendir(Real(p).c_str());
        if (!d) return -errno;
        while (const dirent* e = ::readdir(d)) fill(buf, e->d_name, nullptr, 0, fuse_fill_dir_flags{});
        ::closedir(d);
        return 0;
    };
    o.open = [](const char* p, fuse_file_info* fi) {
        const int fd = ::open(Real(p).c_str(), fi->flags);
        fi->fh = static_cast<std::uint64_t>(fd);
        return fd < 0 ? -errno : 0;
    };
    o.create = [](const char* p, mode_t mode, fuse_file_info* fi) {
        const int fd = ::open(Real(p).c_str(), fi->flags, mode);
        fi->fh = static_cast<std::uint64_t>(fd);
        return fd < 0 ? -errno : 0;
    };
    o.read = [](const char*, char* buf, size_t n, off_t at, fuse_file_info* fi) {
        return Result(static_cast<int>(::pread(static_cast<int>(fi->fh), buf, n, at)));
    };
    o.write = [](const char*, const char* buf, size_t n, off_t at, fuse_file_info* fi) {
        return Result(static_cast<int>(::pwrite(static_cast<int>(fi->fh), buf, n, at)));
    };
    o.release = [](const char*, fuse_file_info* fi) { return Result(::close(static_cast<int>(fi->fh))); };
    o.fsync = [](const char*, int, fuse_file_info* fi) { return Result(::fsync(static_cast<int>(fi->fh))); };
    o.truncate = [](const char* p, off_t n, fuse_file_info*) { return Result(::truncate(Real(p).c_str(), n)); };
    o.unlink = [](const char* p) { return Result(::unlink(Real(p).c_str())); };
    o.mkdir = [](const char* p, mode_t m) { return Result(::mkdir(Real(p).c_str(), m)); };
    o.rmdir = [](const char* p) { return Result(::rmdir(Real(p).c_str())); };
    o.link = [](const char* from, const char* to) { return Result(::link(Real(from).c_str(), Real(to).c_str())); };
    o.rename = [](const char* from, const char* to, unsigned flags) {
        return Result(::renameat2(AT_FDCWD, Real(from).c_str(), AT_FDCWD, Real(to).c_str(), flags));
    };
    o.chmod = [](const char* p, mode_t m, fuse_file_info*) { return Result(::chmod(Real(p).c_str(), m)); };
    o.chown = [](const char* p, uid_t u, gid_t g, fuse_file_info*) { return Result(::lchown(Real(p).c_str(), u, g)); };
    o.utimens = [](const char* p, const timespec t[2], fuse_file_info*) {
        return Result(::utimensat(AT_FDCWD, Real(p).c_str(), t, AT_SYMLINK_NOFOLLOW));
    };
    // The point of it: no lock of any kind.
    o.lock = [](const char*, fuse_file_info*, int, struct flock*) { return -ENOLCK; };
    o.flock = [](const char*, fuse_file_info*, int) { return -ENOLCK; };
    return o;
}

// Serves folder at mount in a child until unmounted; its pid, or -1 with why.
pid_t ServeWithoutLocks(const std::string& folder, const std::string& mount, std::string& why) {
    int ready[2];
    if (::pipe(ready) != 0) return why = "no pipe", -1;
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(ready[0]);
        backing = folder;
        const fuse_operations ops = NoLockOperations();
        char name[] = "velto-nolocks", opt[] = "-o", allow[] = "allow_other";
        char* argv[] = {name, opt, allow};
        fuse_args args = FUSE_ARGS_INIT(3, argv);
        fuse* f = fuse_new(&args, &ops, sizeof ops, nullptr);
        const char ok = f && fuse_mount(f, mount.c_str()) == 0 ? 'y' : 'n';
        (void)!::write(ready[1], &ok, 1);
        ::close(ready[1]);
        if (ok == 'y') fuse_loop(f);
        ::_exit(0);
    }
    ::close(ready[1]);
    char ok = 'n';
    const bool mounted = ::read(ready[0], &ok, 1) == 1 && ok == 'y';
    ::close(ready[0]);
    if (!mounted) {
        ::waitpid(pid, nullptr, 0);
        return why = "no FUSE mount here (needs /dev/fuse and the right to mount)", -1;
    }
    return pid;
}

}  // namespace
#endif

TEST(NoLocks, KilledSavesTemporariesGoAndSavesWorkWhereTheFileSystemKeepsNoLocks) {
#ifndef VELTO_HAVE_FUSE3
    GTEST_SKIP() << "built without libfuse3 (libfuse3-dev), which serves a file system without locks";
#else
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a FUSE file system needs root";
    char tmpl[] = "/tmp/velto-nolocks-XXXXXX";
    const std::string base = ::mkdtemp(tmpl), folder = base + "/real", mount = base + "/mnt";
    fs::create_directory(folder);
    fs::create_directory(mount);
    std::string why;
    const pid_t server = ServeWithoutLocks(folder, mount, why);
    if (server < 0) {
        fs::remove_all(base);
        GTEST_SKIP() << why;
    }
    const std::string doc = mount + "/doc.cur";
    std::ofstream(doc) << "old";
    const std::vector<std::uint8_t> bytes = {'n', 'e', 'w'};
    struct flock lock {};
    lock.l_type = F_WRLCK;
    const int fd = ::open(doc.c_str(), O_RDWR);
    EXPECT_TRUE(::fcntl(fd, F_OFD_SETLK, &lock) != 0 && errno == ENOLCK) << "this file system keeps locks";
    ::close(fd);
    // Five saves killed after their temporaries were made (ended without removing them), one still running.
    for (int killed = 0; killed < 5; ++killed) {
        std::fflush(nullptr);
        const pid_t child = ::fork();
        if (child == 0) {
            FileWriter writer(doc);
            ::_exit(writer.Write(bytes) ? 0 : 1);  // (no destructor to remove it)
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_EQ(status, 0);
    }
    const std::size_t leftovers = fs::directory_iterator(folder) == fs::directory_iterator() ? 0 : 6;
    {
        FileWriter running(mount + "/other.cur");
        ASSERT_TRUE(running.Write(bytes));
        FileError error;
        EXPECT_TRUE(WriteWholeFile(doc, bytes, &error)) << FileErrorText(error);
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
        EXPECT_EQ(names.size(), 2u) << "the killed saves' temporaries stayed, or the running one went";
        EXPECT_TRUE(running.Commit());
    }
    std::ifstream in(doc);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "new");
    EXPECT_EQ(leftovers, 6u);
    // (The server ends with its mount; a lazy unmount would leave it waiting.)
    if (::umount2(mount.c_str(), 0) != 0) {
        ::umount2(mount.c_str(), MNT_DETACH);
        ::kill(server, SIGKILL);
    }
    ::waitpid(server, nullptr, 0);
    fs::remove_all(base);
#endif
}
