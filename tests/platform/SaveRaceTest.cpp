// Library updates of one file (its lock taken, the file read, what was read and one byte more written by rename)
// while 4242 reads it under a lock, and saves that meet them or the reader (users as in SaveSteps.h).
#include <gtest/gtest.h>

#include <sys/syscall.h>

#include <cstdio>
#include <iterator>
#include <optional>

#include "SaveSteps.h"

using namespace velto;
using namespace velto::test;

namespace {

const std::string kRefused = "the file was changed by another save after it was read";

// A lock of uid's on the file until let go: told by a byte, as children forked meanwhile hold the pipe's end too.
class Holder {
public:
    Holder(unsigned uid, const std::string& doc, short type) {
        if (::pipe(ready_) != 0 || ::pipe(go_) != 0) return;
        user_.emplace(uid, [&] {
            struct flock lock {};
            lock.l_type = type;
            const int fd = ::open(doc.c_str(), type == F_RDLCK ? O_RDONLY : O_RDWR);
            char c = ::fcntl(fd, F_OFD_SETLK, &lock) == 0 ? 'h' : '-';
            if (::write(ready_[1], &c, 1) == 1 && c == 'h') (void)!::read(go_[0], &c, 1);
            return std::string();
        });
        ::close(ready_[1]);
        char c = '-';
        held_ = ::read(ready_[0], &c, 1) == 1 && c == 'h';
    }
    ~Holder() {
        LetGo();
        for (const int fd : {ready_[0], go_[0], go_[1]}) ::close(fd);
    }
    bool held() const { return held_; }
    void LetGo() {
        if (user_) (void)!::write(go_[1], "g", 1);
        user_.reset();
    }

private:
    int ready_[2] = {-1, -1}, go_[2] = {-1, -1};
    std::optional<AsUser> user_;
    bool held_ = false;
};

// The owner's update adding `adds` to what it read: "saved" or why not.
std::string UpdateOf(const std::string& doc, char adds) {
    SaveLock lock;
    FileError e = lock.Take(doc);
    std::string bytes(1 << 20, '\0');
    const ssize_t n = e.ok() ? ::pread(lock.fd(), bytes.data(), bytes.size(), 0) : -1;
    if (n < 0) return e.ok() ? "!cannot read" : FileErrorText(e);
    bytes.resize(static_cast<std::size_t>(n));
    bytes += adds;
    WriteOptions options;
    options.lock = &lock;
    return WriteWholeFile(doc, {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, &e, options)
               ? "saved"
               : FileErrorText(e);
}

// Until the file system's clock stands past the file's times: a write then gives it new ones, as one a moment later.
void ClockPast(const std::string& path) {
    struct stat file {}, probe {};
    ::stat(path.c_str(), &file);
    const std::string clock = path + ".clock";
    do {
        std::ofstream(clock) << 'x';
        ::stat(clock.c_str(), &probe);
    } while (probe.st_mtim.tv_sec == file.st_mtim.tv_sec && probe.st_mtim.tv_nsec <= file.st_mtim.tv_nsec);
    ::unlink(clock.c_str());
}

}  // namespace

// Two updates never both say "saved" when one's change is lost: whatever comes while one stands at its naming call
// (the exchange, or the rename where the system has none), the file keeps it or the update refuses, and what came
// out of the name is not left beside it; left to race, one saves and the other refuses.
TEST(SaveRace, AnUpdateReplacesOnlyTheFileItRead) {
    if (::geteuid() != 0) GTEST_SKIP() << "files of several users need root";
    const std::string cp(kOldBytes.size(), 'c');
    using Meanwhile = std::function<std::string(const std::string&, Holder&, std::optional<Holder>&)>;
    const Meanwhile nothing = [](auto&, auto&, auto&) { return std::string(); };
    const Meanwhile update = [](const std::string& doc, auto&, auto&) {
        return AsUser(kOwner, [&] { return UpdateOf(doc, 'B'); }).Words();
    };
    struct Row {
        const char* what;
        bool noExchange;
        Meanwhile meanwhile;
        std::string said;
        bool saves;
        std::string holds;
    };
    const std::vector<Row> rows = {
        {"nothing", false, nothing, "", true, kOldBytes + 'A'},
        {"another update", false, update, "saved", false, kOldBytes + 'B'},
        {"the owner's save", false,
         [](const std::string& doc, auto&, auto&) {
             return AsUser(kOwner, [&] { return SaveOf(doc, BytesOf(kOwner)); }).Words();
         },
         "saved", false, BytesOf(kOwner)},
        {"root's cp of the same size", false,
         [&](const std::string& doc, auto&, auto&) {
             ClockPast(doc);
             std::ofstream(doc, std::ios::binary | std::ios::trunc) << cp;
             return std::string();
         },
         "", false, cp},
        {"2001's lock once the reader let go", false,
         [](const std::string& doc, Holder& reader, std::optional<Holder>& saver) {
             reader.LetGo();
             saver.emplace(kSaver, doc, F_WRLCK);
             return std::string(saver->held() ? "" : "!no lock");
         },
         "", false, kOldBytes},
        {"nothing, no exchange here", true, nothing, "", true, kOldBytes + 'A'},
        {"another update, no exchange here", true, update, "saved", false, kOldBytes + 'B'},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        SharedFolder dir;
        const std::string doc = dir.Doc("doc.cur");
        Holder reader(kReader, doc, F_RDLCK);
        if (!reader.held()) GTEST_SKIP() << "no lock can be held here";
        std::optional<Holder> saver;
        std::optional<std::string> said;
        const auto stand = [&](const std::string&, std::uint64_t) {
            if (!said) said = row.meanwhile(doc, reader, saver);
            return row.noExchange;
        };
        std::vector<long> calls = {SYS_renameat2};
#ifdef SYS_rename
        if (!row.noExchange) calls.push_back(SYS_rename);
#endif
        std::string why;
        const int code = RunWithFailingCalls(calls, stand, EINVAL, [&] {
            const std::string words = AsUser(kOwner, [&] { return UpdateOf(doc, 'A'); }).Words();
            if (words != "saved" && words != kRefused) std::fprintf(stderr, "the update: %s\n", words.c_str());
            return words == "saved" ? 0 : words == kRefused ? 1 : 2;
        }, why);
        if (!why.empty()) GTEST_SKIP() << why;
        EXPECT_EQ(said.value_or("(the update never came to its naming call)"), row.said);
        EXPECT_EQ(code, row.saves ? 0 : 1);
        EXPECT_TRUE(Read(doc) == row.holds);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.File("")), {}), 1) << dir.Listing();
    }
    constexpr int kRounds = 20;
    int lost = 0, refused = 0;
    for (int round = 0; round < kRounds; ++round) {
        SharedFolder dir;
        const std::string doc = dir.Doc("doc.cur");
        Holder reader(kReader, doc, F_RDLCK);
        AsUser a(kOwner, [&] { return UpdateOf(doc, 'A'); }), b(kOwner, [&] { return UpdateOf(doc, 'B'); });
        const std::string saidA = a.Words(), saidB = b.Words(), now = Read(doc);
        const int saved = (saidA == "saved") + (saidB == "saved");
        lost += saved == 2 && now.size() < kOldBytes.size() + 2;
        refused += (saidA == kRefused) + (saidB == kRefused);
        EXPECT_TRUE((saidA == "saved" || saidA == kRefused) && (saidB == "saved" || saidB == kRefused))
            << saidA << " / " << saidB;
        EXPECT_EQ(now.size(), kOldBytes.size() + static_cast<std::size_t>(saved)) << saidA << " / " << saidB;
    }
    std::printf("two updates under a reader's lock, %d rounds: %d lost a change, %d refused\n", kRounds, lost, refused);
    EXPECT_EQ(lost, 0);
}

// A save into the file itself (2001's) that waits for a reader while root puts another of the owner's files at the
// name starts over on that file once the reader lets go: it never writes into the file removed and says "saved".
TEST(SaveRace, ASaveThatWaitedForAReaderWritesTheFileNowNamed) {
    if (::geteuid() != 0) GTEST_SKIP() << "files of several users need root";
    SharedFolder dir;
    const std::string doc = dir.Doc("doc.cur"), other = dir.Doc("other.cur");
    Holder reader(kReader, doc, F_RDLCK);
    if (!reader.held()) GTEST_SKIP() << "no lock can be held here";
    int waiting[2];
    ASSERT_EQ(::pipe(waiting), 0);
    AsUser saver(kSaver, [&] {
        testhooks::SetSaveWaitLimit(60000);
        return SaveOf(doc, BytesOf(kSaver), [&] { (void)!::write(waiting[1], "w", 1); });
    });
    ::close(waiting[1]);
    char c;
    ASSERT_EQ(::read(waiting[0], &c, 1), 1) << "the save did not wait";
    ::close(waiting[0]);
    std::ofstream(other, std::ios::binary | std::ios::trunc) << BytesOf(0);
    ASSERT_EQ(::rename(other.c_str(), doc.c_str()), 0);
    reader.LetGo();
    EXPECT_EQ(saver.Words(), "saved after waiting for a reader");
    EXPECT_EQ(dir.Listing(), "doc.cur=new ");
}
