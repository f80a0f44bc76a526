#pragma once
// The copy of a file's old bytes that a save writing the file in place keeps
// beside it until the file is whole again: "<folder>/.<name>.velto-previous.
// <saver's uid>.<the file's inode, hex>", made by that save (created new,
// flushed, then named), never anything found at a name. It is trusted only as
// a regular file of one link owned by the user its name gives, and it
// records which file it was made from (device, inode, birth time where the
// system keeps one) and that file's size and times when it was taken.
//
// A copy its save left (killed, or unable to put it back) is the file as it
// was before a save that never finished: before anything reads the file to
// build on it or writes into it, its maker puts it back; another user's makes
// an in-place save refuse, naming it and its owner. A copy whose file has
// since been replaced is stale: never put back, and its maker's next save
// into the folder removes it. Copies at the name of earlier versions,
// ".<name>.velto-previous", which nothing could tell from a thing someone
// planted there, are left alone.
#include <cstdint>
#include <string>

#include "platform/FileIO.h"

namespace velto {

// The name of the copy that user uid's save of target (inode) makes.
std::string PreviousContentName(const std::string& target, unsigned uid, std::uint64_t inode);

// What lay beside a file from a save that did not finish.
struct UnfinishedSave {
    enum class Found : std::uint8_t {
        None,
        Undone,  // this user's copy was put back into the file
        Others,  // another user's copy (or this user's, where the file cannot be written)
    };
    Found found = Found::None;
    std::string copy;  // Others: the copy
    unsigned owner = 0;
};

// With target open for writing (fd) and its save lock held: puts this user's
// copy back into it, or removes a copy of the file as it still is.
FileError PutBackOwnCopy(const std::string& target, int fd, UnfinishedSave& out);
// Another user's copy of the open file beside target, when there is one.
void FindOthersCopy(const std::string& target, int fd, UnfinishedSave& out);
// Why an in-place save or a read that builds on the file refuses.
FileError OthersCopyError(const UnfinishedSave& found);

// For a save or an open that reads the file to build on it: takes its save
// lock (where the user may write it), puts this user's copy back and looks
// for another's.
FileError RecoverUnfinishedSave(const std::string& path, UnfinishedSave& out);

// Makes the copy of the open file (target, fd, locked) beside it: written,
// flushed when asked, named, its name flushed; open for reading in copyFd.
FileError MakePreviousCopy(const std::string& target, int fd, bool flush, int& copyFd, std::string& copy);
// Writes the copy's content back into the file, cuts it there and flushes it.
FileError PutBack(int copyFd, int fd);

// Removes this user's stale copies in folder (as the sweep of temporaries does).
void RemoveStaleCopies(const std::string& folder);

// Writes length bytes of from (from its start; all of it for UINT64_MAX)
// over to from its start, and cuts to there.
FileError CopyContent(int from, int to, std::uint64_t length);

}  // namespace velto
