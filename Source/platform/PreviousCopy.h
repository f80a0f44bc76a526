#pragma once
// The copy of a file's old bytes that a save writing the file in place keeps
// beside it until the file is whole again: "<folder>/.<name>.velto-previous.
// <saver's uid>.<the file's inode, hex>", made by that save (created new,
// flushed, then named), never anything found at a name. It is trusted only as
// the save made it: a regular file of one link, mode 0600, owned by the user
// its name gives. It records which file it was made from (device, inode,
// birth time where the system keeps one), the size of the content the save
// writes and a digest of each of its pages, and the process that made it.
//
// A copy is found by the file it was made from, in that file's folder,
// whatever the file is called now. It goes back only over a state its own
// save, a crash during it or a killed put-back of the copy could have left:
// each page the save's new one or the old one (CopyJudge.h). A file that
// holds the whole new content was saved: the copy goes. A file that holds
// anything else was written since: the copy is stale, never put back; its
// maker's next save of the file removes it, and the sweep of a folder
// removes the copies whose file no longer lies there. Only its maker puts a
// copy back, once that save is gone and no other save can write the file
// meanwhile; another user's copy is never put back.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileIO.h"
#include "platform/SaveLock.h"

namespace velto {

class ReadInstead;

// The name of the copy that user uid's save of target (inode) makes.
std::string PreviousContentName(const std::string& target, unsigned uid, std::uint64_t inode);

// What a piece of work does with the file, for what lies beside it.
enum class Road : std::uint8_t {
    Open,     // reads it to show it
    Rebuild,  // reads it to write it again from its bytes (a library's update)
    Save,     // writes it whole
};

// What lay beside a file from a save that did not finish.
struct UnfinishedSave {
    enum class Found : std::uint8_t {
        None,
        Undone,  // this user's copy was put back into the file
        Others,  // a copy that may hold the file's earlier content stays beside it (why says whose and why)
        Shown,   // this user's copy of a torn file could not go back (why says why): instead holds its content
    };
    Found found = Found::None;
    std::string copy;
    unsigned owner = 0;
    FileError why;
    // While held, reads of the file give its earlier content (ReadInstead.h).
    std::shared_ptr<const ReadInstead> instead;
};

// The one rule for every road. This user's copies of the file go back, go or
// stay as their verdict says, where no save can write the file meanwhile
// (lock held, or no locks kept and their maker gone). A torn file that
// cannot be put back now, or another user's copy that may hold the file's
// earlier content, is said in out; a rebuild fails on it, a save ignores
// another user's, and an open is given the earlier content to show (Shown).
// Open: lock is empty, and taken only where a copy of this user's lies
// beside the file. Save, Rebuild: lock is the save's, taken.
FileError LookBeside(const std::string& target, SaveLock& lock, Road road, UnfinishedSave& out);

// Before a document or library is read to be shown: LookBeside's Open road,
// beside the file a link leads to.
FileError RecoverUnfinishedSave(const std::string& path, UnfinishedSave& out);

// Makes the copy of the open file (target, fd, locked) beside it, for a save
// that writes the first newSize bytes of newFd into it: written, flushed
// when asked, named, its name flushed; open in copyFd.
FileError MakePreviousCopy(const std::string& target, int fd, int newFd, std::uint64_t newSize, bool flush,
                           int& copyFd, std::string& copy);
// Writes the copy's content back into the file, cuts it there and flushes it.
FileError PutBack(int copyFd, int fd);

// Whether a name in a folder is that of one of this user's copies.
bool IsOwnCopyName(std::string_view name);
// Removes, of this user's copies mine in the folder open as dir, those whose
// file no longer lies there and whose save is gone (for the sweep of
// temporaries, which walks the folder once for both).
void RemoveStaleCopies(int dir, const std::vector<std::string>& mine);

// Writes length bytes of from (from its start; all of it for UINT64_MAX)
// over to from its start, and cuts to there.
FileError CopyContent(int from, int to, std::uint64_t length);

}  // namespace velto
