// Saves of one file by several users in a shared sticky folder (SaveSteps.h): what is planted beside the file, and
// saves whose calls fail as a failing disk fails them.
#include <gtest/gtest.h>

#include <optional>
#include <regex>

#include "SaveSteps.h"

using namespace velto;
using namespace velto::test;

// What 2002 puts at the name of 2001's copy, or at the earlier versions' name, is never read, written, removed or
// waited for; failing writes and flushes of the file put its old bytes back or leave them in the save's copy, which
// goes back only into its own file, as it was left. Where no lock can be taken, saves by rename go on (and sweep the
// temporaries of saves that ended), saves into the file itself are refused, and a gone save's copy goes back.
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
         {{kSaver, Torn, 0, "No space.*"}, {kOther, Save, 0, "saved"},
          {kOwner, Open, 0, "others 2001: .*a file of user 2001, may hold this file's earlier content.*"},
          {kSaver, Open, 0, "none"}, {kSaver, Save, 0, "saved"}},
         "doc.cur=new "},
        {"two long names cut alike",
         {{kSaver, Torn, 0, "No space.*", 1}, {kSaver, Torn, 0, "No space.*", 2}, {kSaver, Open, 0, "undone", 1},
          {kSaver, Open, 0, "undone", 2}},
         "doc.cur=old r1.cur=old r2.cur=old "},
        {"no locks", {{kOwner, NoLocks, ENOLCK, "saved"}}, "doc.cur=owner's "},
        {"no locks (a mount's word for it)", {{kOwner, NoLocks, EINVAL, "saved"}}, "doc.cur=owner's "},
        {"no locks, in place",
         {{kSaver, NoLocks, ENOLCK, "the file cannot be written in place here: its file system keeps no locks.*"}},
         "doc.cur=old "},
        {"no locks, a killed save's copy", {{kSaver, Torn, 0, "No space.*"}, {kSaver, NoLocksOpen, 0, "undone"}},
         "doc.cur=old "},
    };
    RunSeries(rows);
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
            return SaveOf(doc, b, [&] { (void)!::write(waiting[1], "w", 1); });
        });
        ::close(waiting[1]);
        EXPECT_EQ(::read(waiting[0], &c, 1), 1) << "the second save did not wait";
        const std::string secondSaid = waitMs < 1000 ? second.Words() : "";
        ASSERT_EQ(::write(go[1], "g", 1), 1);
        EXPECT_EQ(first.Words(), "saved");
        if (waitMs < 1000) {
            EXPECT_EQ(secondSaid, "another save of this file is in progress after waiting for a save");
            EXPECT_TRUE(Read(doc) == a);
        } else {
            EXPECT_EQ(second.Words(), "saved after waiting for a save");
            EXPECT_TRUE(Read(doc) == b);
        }
        for (const int fd : {held[0], held[1], go[0], go[1], waiting[0]}) ::close(fd);
    }
    SharedFolder dir;
    const std::string doc = dir.Doc("doc.cur");
    int mixed = 0;
    for (int round = 0; round < 12; ++round) {
        AsUser first(kSaver, [&] { return SaveOf(doc, a); }), second(kOther, [&] { return SaveOf(doc, b); });
        const std::regex saved("saved( after waiting for a save)?");
        EXPECT_TRUE(std::regex_match(first.Words(), saved) && std::regex_match(second.Words(), saved));
        mixed += Read(doc) != a && Read(doc) != b;
    }
    EXPECT_EQ(mixed, 0);
}

// A save that waits for another goes on only once that save's lock is gone, which is after its rename or its copy's
// removal, and on the file it left at the name: the owner's save by rename, or 2001's in place, stands at that call
// while 2004's save into the file itself comes; 2004 waits, then saves.
TEST(InPlaceSave, AWaitingSaveGoesOnOnlyOnceTheOtherEndedAndOnWhatItLeft) {
    if (::geteuid() != 0) GTEST_SKIP() << "files of several users need root";
    // (No structured binding: clang 14 lets no lambda capture one.)
    for (const std::pair<unsigned, long>& held : {std::pair{kOwner, long{SYS_rename}}, std::pair{kSaver, long{SYS_unlink}}}) {
        const unsigned first = held.first;
        const long call = held.second;
        SCOPED_TRACE(first);
        SharedFolder dir;
        const std::string doc = dir.Doc("doc.cur");
        std::optional<AsUser> second;
        bool waited = false;
        int calls = 0;
        std::string why;
        const auto standing = [&](const std::string&, std::uint64_t) {
            if (++calls > 1) return false;
            // (Made only now, so that only the second save holds its end: it ends saved or waiting.)
            int waiting[2];
            if (::pipe(waiting) != 0) return false;
            second.emplace(kOther, [&] {
                ::close(waiting[0]);
                return SaveOf(doc, BytesOf(kOther), [&] { (void)!::write(waiting[1], "w", 1); });
            });
            ::close(waiting[1]);
            char c;
            waited = ::read(waiting[0], &c, 1) == 1;
            ::close(waiting[0]);
            return false;
        };
        const auto save = [&] { return AsUser(first, [&] { return SaveOf(doc, BytesOf(first)); }).Words() == "saved" ? 0 : 1; };
        const int code = RunWithFailingCall(call, standing, 0, save, why);
        if (!why.empty()) GTEST_SKIP() << why;
        EXPECT_EQ(code, 0);
        ASSERT_TRUE(second.has_value()) << "the first save never came to that call";
        EXPECT_TRUE(waited) << "the second save did not wait";
        EXPECT_EQ(second->Words(), "saved after waiting for a save");
        EXPECT_EQ(dir.Listing(), "doc.cur=2004's ");
    }
}

// A copy counts as a killed save's only when its maker is gone: where the opener can take no lock (a file system
// whose locks some of its users lack), 2001's open leaves alone the copy of 2001's own save still writing the file.
TEST(InPlaceSave, ALiveSavesCopyIsNeverPutBack) {
    if (::geteuid() != 0) GTEST_SKIP() << "files of several users need root";
    SharedFolder dir;
    const std::string doc = dir.Doc("doc.cur"), target = fs::canonical(doc);
    std::string opened, why;
    int writes = 0;
    const auto midway = [&](const std::string& object, std::uint64_t) {
        if (object != target || ++writes != 2) return false;
        // The save has written its first block into the file: an open comes, without locks.
        const auto noLocks = [](const std::string&, std::uint64_t command) { return command == F_OFD_SETLK; };
        opened = WordsWithFailingCall(SYS_fcntl, noLocks, ENOLCK, [&] {
            return AsUser(kSaver, [&] {
                UnfinishedSave found;
                return FoundWords(RecoverUnfinishedSave(doc, found), found);
            }).Words();
        });
        return false;
    };
    const auto save = [&] { return AsUser(kSaver, [&] { return SaveOf(doc, BytesOf(kSaver)); }).Words() == "saved" ? 0 : 1; };
    const int code = RunWithFailingCall(SYS_pwrite64, midway, 0, save, why);
    if (!why.empty() || opened.starts_with("!")) GTEST_SKIP() << why << opened.substr(1);
    EXPECT_EQ(opened, "none");
    EXPECT_EQ(code, 0);
    EXPECT_EQ(dir.Listing(), "doc.cur=new ");
}
