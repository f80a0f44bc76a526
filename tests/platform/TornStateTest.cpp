// What a save that writes a file in place can leave in it (killed, or cut short by a crash that keeps any of its
// pages and any size the file had), what a killed put-back of its copy leaves over that, and what the owner's
// hand leaves instead: the first go back, the rest stay.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>

#include "FailingCall.h"
#include "TornFiles.h"
#include "platform/Sha256.h"

using namespace velto;
using namespace velto::test;

// Each state a save, a crash or a killed put-back can leave goes back to the old bytes; a file that holds the new
// content whole or the old one keeps it and the copy goes; anything else was written since, and stays with its copy.
TEST(TornState, EveryPageNewOrOldAtAnySizeBetweenGoesBackAndNothingElse) {
    // 300,007 bytes saved as 1,000,003 (the old end inside page 73, the new end inside page 244), and 700,003 as
    // 500,001 (the new end inside page 122, the old end inside page 170).
    constexpr std::size_t gO = 300007, gN = 1000003, sO = 700003, sN = 500001;
    enum Outcome { Undone, Kept, Stays };  // the old bytes back; the file as left, copy gone; both as left
    struct Row {
        const char* what;
        std::size_t oldSize, newSize, size;
        std::string pages;
        Outcome outcome;
        std::size_t flip = 0;  // a byte changed after (0: none)
        bool throughLink = false;
    };
    const std::vector<Row> rows = {
        // A crash: any of the pages written still old, in any order.
        {"one page in the middle still old", gO, gN, gN, Pages({{30, 'n'}, {1, 'o'}, {1, 'n'}}), Undone},
        {"the first half still old", sO, sN, sO, Pages({{64, 'o'}, {59, 'n'}, {1, 'o'}}), Undone},
        {"the last new page written, the earlier ones old", sO, sN, sO, Pages({{122, 'o'}, {1, 'n'}, {1, 'o'}}), Undone},
        {"grown, the old pages still old", gO, gN, gN, Pages({{74, 'o'}, {1, 'n'}}), Undone},
        {"the page of the old end new, the size still old", gO, gN, gO, Pages({{73, 'o'}, {1, 'n'}}), Undone},
        {"cut, the page of the new end still old", sO, sN, sN, Pages({{122, 'n'}, {1, 'o'}}), Undone},
        // Killed: the save's writes in order, the cut not made; a put-back of old pages over them.
        {"a growing save killed half way", gO, gN, 655360, "n", Undone},
        {"a shrinking save stopped at its final cut", sO, sN, sO, Pages({{123, 'n'}, {1, 'o'}}), Undone},
        {"a put-back killed half way", gO, gN, 655360, Pages({{40, 'o'}, {1, 'n'}}), Undone},
        {"a put-back killed before its cut", gO, gN, 655360, Pages({{74, 'o'}, {1, 'n'}}), Undone},
        // Whole: the copy goes, the file stays.
        {"saved", gO, gN, gN, "n", Kept},
        {"saved and cut", sO, sN, sN, "n", Kept},
        {"never written", sO, sN, sO, "o", Kept},
        // Written since.
        {"a page that is neither", gO, gN, gN, Pages({{100, 'n'}, {1, 'x'}, {1, 'n'}}), Stays},
        {"a page past the old end all zeros", gO, gN, gN, Pages({{100, 'n'}, {1, 'z'}, {1, 'n'}}), Stays},
        {"past the old end not zeros", gO, gN, gN, Pages({{73, 'n'}, {1, 'o'}, {1, 'n'}}), Stays, gO + 5},
        {"one byte of the old tail changed by the owner", sO, sN, sO, Pages({{123, 'n'}, {1, 'o'}}), Stays, sO - 1},
        {"the new end's page changed past the new end", sO, sN, sO, Pages({{123, 'n'}, {1, 'o'}}), Stays, sN + 1},
        {"the last new byte changed", gO, gN, gN, "n", Stays, gN - 1},
        {"a same-size edit past the new size", sO, sN, sO, "o", Stays, 150 * kPage + 9},
        {"emptied by the owner", sO, sN, 0, "o", Stays},
        {"longer than both", sO, sN, sO + 1, "o", Stays},
        {"between the sizes but cut mid-page in the new pages", gO, gN, 500001, "n", Stays},
        // Opened through a link in another folder: the copy lies beside the file it leads to.
        {"opened through a link", gO, gN, gN, Pages({{30, 'n'}, {1, 'o'}, {1, 'n'}}), Undone, 0, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const InPlaceSaved saved(row.oldSize, row.newSize), elsewhere(1, 1);
        std::string state = saved.State(row.size, row.pages);
        if (row.flip) state[row.flip] = static_cast<char>(state[row.flip] ^ 0x20);
        saved.Leave(state);
        const std::string link = (elsewhere.dir / "link.ani").string();
        ASSERT_EQ(::symlink(saved.file.c_str(), link.c_str()), 0);
        EXPECT_EQ(RecoverWords(row.throughLink ? link : saved.file), row.outcome == Undone ? "undone" : "none");
        const std::string now = TornFileBytes(saved.file);
        EXPECT_TRUE(now == (row.outcome == Undone ? saved.before : state)) << "the file holds " << now.size() << " bytes";
        EXPECT_EQ(saved.CopyThere(), row.outcome == Stays);
    }
}

// However many copies lie beside a file, it is read and hashed once: each copy costs its own bytes.
TEST(TornState, ManyCopiesBesideAFileReadItOnce) {
    if (::geteuid() != 0) GTEST_SKIP() << "copies of other users need root";
    const InPlaceSaved saved(1 << 20, 1 << 20);
    saved.Leave(saved.after);
    struct stat st {};
    ASSERT_EQ(::stat(saved.file.c_str(), &st), 0);
    FileState made;
    ASSERT_TRUE(StateOf(AT_FDCWD, saved.file.c_str(), 0, made));
    // Copies of other users, each saying the file holds what it holds now (saved): each is judged, none is told.
    std::vector<copies::Digest> digests;
    for (std::size_t at = 0; at < saved.after.size(); at += kPage)
        digests.push_back(Sha256::Of(reinterpret_cast<const std::uint8_t*>(saved.after.data()) + at, kPage));
    const auto plant = [&](unsigned uid) {
        const std::string name = PreviousContentName(saved.file, uid, st.st_ino);
        const auto record = copies::RecordBytes({made.dev, made.ino, 4, made.mtime, made.ctime, made.btime}, "doc.ani",
                                                saved.after.size(), digests);
        std::ofstream(name, std::ios::binary) << "EVIL" << std::string(record.begin(), record.end());
        ASSERT_EQ(::chown(name.c_str(), uid, uid) | ::chmod(name.c_str(), 0600), 0);
    };
    const auto reads = [&] {
        long count = 0;
        std::string why;
        const auto counts = [&](const std::string& object, std::uint64_t) { return count += object == saved.file, false; };
        const int code = test::RunWithFailingCall(SYS_pread64, counts, 0, [&] { return RecoverWords(saved.file) == "none" ? 0 : 1; }, why);
        EXPECT_EQ(code, 0) << why;
        return count;
    };
    ::unlink(saved.copy.c_str());
    plant(3001);
    const long one = reads();
    for (unsigned uid = 3002; uid < 3064; ++uid) plant(uid);
    const long many = reads();
    EXPECT_GT(one, 0);
    EXPECT_EQ(many, one);
}

// SHA-256 against the standard's vectors, fed whole and a byte at a time, with the processor's instructions where
// it has them and without.
TEST(Sha256, KnownAnswersOnEveryPath) {
    const std::string million(1000000, 'a');
    const std::vector<std::pair<std::string, std::string>> vectors = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {million, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const bool portable : {false, true}) {
        testhooks::UsePortableSha256(portable);
        for (const auto& [text, hex] : vectors) {
            SCOPED_TRACE((portable ? "portable, " : "") + std::to_string(text.size()) + " bytes");
            const auto* p = reinterpret_cast<const std::uint8_t*>(text.data());
            Sha256 whole, bytewise;
            whole.update(p, text.size());
            for (std::size_t i = 0; i < text.size(); ++i) bytewise.update(p + i, 1);
            EXPECT_EQ(whole.hex(), hex);
            EXPECT_EQ(bytewise.hex(), hex);
        }
    }
    testhooks::UsePortableSha256(false);
}
