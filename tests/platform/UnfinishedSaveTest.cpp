// What a save killed while writing a file in place left beside it, met by the users around it (SaveSteps.h): the
// owner mending the file by hand, renaming it or giving it a second name, a program reading it under a lock, and
// things planted to pass for a copy.
#include <gtest/gtest.h>

#include "SaveSteps.h"

using namespace velto;
using namespace velto::test;

// The copy goes back over nothing but a state its save left, found by the file it was made from whatever the file
// is called now; a copy of a file written since stays until its maker's next save.
TEST(UnfinishedSave, ACopyGoesBackOnlyOverAStateItsSaveLeft) {
    if (::geteuid() != 0) GTEST_SKIP() << "files of several users need root";
    const Step torn = {kSaver, Torn, 0, "No space.*"};
    RunSeries({
        {"the owner's cp", {torn, {0, Rewrite, 0, ""}, {kSaver, Open, 0, "none"}}, "copy(2001)=? doc.cur=root's "},
        {"the next save after it", {torn, {0, Rewrite, 0, ""}, {kSaver, Save, 0, "saved"}}, "doc.cur=new "},
        {"a hand edit", {torn, {0, Patch, 0, ""}, {kSaver, Rebuild, 0, "none"}}, "doc.cur=planted "},
        {"a number used again", {torn, {0, Reuse, kSaver, ""}, {kSaver, Open, 0, "none"}},
         "copy(2001)=? doc.cur=root's "},
        {"a second name", {torn, {0, Link, 0, ""}, {kSaver, Open, 0, "undone", 4}}, "doc.cur=old link.cur=old "},
        {"a save through it", {torn, {0, Link, 0, ""}, {kOther, Save, 0, "saved", 4}, {kSaver, Open, 0, "none"}},
         "copy(2001)=? doc.cur=2004's link.cur=2004's "},
        {"a rename", {torn, {0, Rename, 0, ""}, {kSaver, Rebuild, 0, "undone", 3}}, "moved.cur=old "},
        {"a sweep after it", {torn, {0, Rename, 0, ""}, {kSaver, Save, 0, "saved", 1}, {kSaver, Open, 0, "undone", 3}},
         "moved.cur=old r1.cur=new "},
    });
}

// Only a copy as its save made it is ever put back (its owner's, named for its owner, of one link, mode 0600), and
// only by its maker; another user's stops no save that writes the file whole, and a rebuild it stops says whose it
// is; a put-back that fails or cannot be flushed is said, and the copy stays for the next.
TEST(UnfinishedSave, ACopyIsTrustedOnlyAsItsSaveMadeIt) {
    if (::geteuid() != 0) GTEST_SKIP() << "files of several users need root";
    const Step torn = {kSaver, Torn, 0, "No space.*"};
    const std::string notPutBack = "an unfinished save's previous content, kept in .*, could not be put back: ";
    const std::string shown = "shown old: its earlier content, kept in .*, could not be put back into it \\(";
    RunSeries({
        {"a forged copy in a file of 2001's",
         {{kSaver, Scratch, 0, ""}, {kPlanter, PlantLinked, 0, ""}, {kSaver, Unscratch, 0, ""}, {kSaver, Open, 0, "none"}},
         "copy(2001)=planted doc.cur=old "},
        {"a forged copy named for root", {{kPlanter, PlantForged, 0, ""}, {0, Open, 0, "none"}},
         "copy(0)=planted doc.cur=old "},
        {"a copy of two names", {torn, {0, TwoLinks, 0, ""}, {kSaver, Open, 0, "none"}},
         "copy(2001)=? copy-link=? doc.cur=? "},
        {"an empty file of 2002's",
         {{kPlanter, PlantEmpty, 0, ""}, {kSaver, Save, 0, "saved"},
          {kOwner, Rebuild, 0, ".*, a file of user 2002, may hold this file's earlier content, left by an unfinished "
                               "save of that user: the file may be damaged"},
          {0, Rebuild, 0, "none"}},
         "copy(2002)=empty doc.cur=new "},
        {"a file the group may write but not read", {{0, Chmod, 0620, ""}, {kSaver, Save, 0, "Permission denied"}},
         "doc.cur=old "},
        {"a put-back that fails", {torn, {kSaver, OpenFailing, EIO, shown + "Input/output error\\)"}, {kSaver, Open, 0, "undone"}},
         "doc.cur=old "},
        {"a put-back that cannot be flushed",
         {torn, {kSaver, OpenSyncFails, EIO, shown + "Input/output error\\)"}, {kSaver, Open, 0, "none"}},
         "doc.cur=old "},
        {"a rebuild whose put-back fails",
         {torn, {kSaver, RebuildFailing, EIO, notPutBack + "Input/output error"}, {kSaver, Rebuild, 0, "undone"}},
         "doc.cur=old "},
    });
}

// A lock only readers hold (4242 may only read) keeps no save by rename and no open waiting, and is never called
// another save; a save into the file itself waits for it a bounded time and says what holds it; a torn file beside
// which it keeps the copy from going back is said.
TEST(SaveLockReaders, NoSaveByRenameNorOpenWaitsForThem) {
    if (::geteuid() != 0) GTEST_SKIP() << "files of several users need root";
    const std::string held = "a program reading the file holds a lock on it";
    std::vector<Series> rows;
    for (const int kind : {0, 1, 2})
        rows.push_back({"a reader's lock",
                        {{kReader, ReadLock, kind, ""}, {kSaver, Save, 0, held + " after waiting for a reader"},
                         {kOwner, Open, 0, "none"}, {kOwner, Save, 0, "saved"}},
                        "doc.cur=owner's "});
    rows.push_back({"beside a torn file",
                    {{kSaver, Torn, 0, "No space.*"}, {kReader, ReadLock, 1, ""},
                     {kSaver, Open, 0, "shown old: .*could not be put back into it \\(" + held + "\\)"},
                     {kSaver, Rebuild, 0, ".*could not be put back now \\(" + held + "\\).*"}},
                    "copy(2001)=? doc.cur=? "});
    RunSeries(rows);
}
