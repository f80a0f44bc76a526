#pragma once
// Saves of one existing file exclude each other, whoever makes them: each
// holds a write lock on the file itself (an open-file-description lock, which
// only a process that may write the file can take) while it works on it. A
// save that finds another save's lock waits a bounded time, then fails with
// "another save of this file is in progress".
//
// A program that only reads the file (a backup, a sync or sharing service)
// may hold a read lock on it, which keeps every write lock away but says no
// save runs. A save that replaces the file by rename goes on without the lock
// then (the reader keeps what it opened); one that writes into the file
// itself waits for the readers a bounded time, then fails saying so. Where
// the file system keeps no locks at all, saves by rename go on, and writes
// into the file itself are refused: nothing could keep two of them apart.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/FileIO.h"
#include "platform/FileState.h"

namespace velto {

enum class LockState : std::uint8_t {
    None,     // no file open
    Held,     // this save holds the file's lock
    Readers,  // only readers' locks kept it away
    NoLocks,  // the file system keeps no locks
};

class SaveLock {
public:
    SaveLock() = default;
    ~SaveLock() { Close(); }
    SaveLock(const SaveLock&) = delete;
    SaveLock& operator=(const SaveLock&) = delete;

    // Opens the regular file at path for writing (and reading, where it may)
    // and takes its lock, waiting only while another save holds it; again
    // when the name was given another file meanwhile.
    FileError Take(const std::string& path);
    // For a write into the file itself: the lock, held. Waits a bounded time
    // for readers that kept it away; replaced is set (and the error is
    // EAGAIN) when the file at path was replaced meanwhile.
    FileError Exclusive(const std::string& path, bool& replaced);
    // Renames the complete file temp (open as own) over path, for a save that
    // read the file taken to build on it: only while path still holds that
    // file, unwritten since (held, the lock kept writes away: only which file
    // counts) and in no other save's hands, or a save made after the read
    // would be lost without a word. Readers' locks let several such saves
    // work at once, so the check and the rename are one step where the system
    // has it: the two names are exchanged, and what came out of path is
    // checked, then removed or given back. Elsewhere they are two steps,
    // checked just before. temp is cleared once its name holds nothing of
    // this save's to remove.
    FileError Replace(const std::string& path, std::string& temp, int own);
    // The open file, or -1.
    int fd() const { return fd_; }
    LockState state() const { return state_; }
    bool held() const { return state_ == LockState::Held; }
    // Lets the lock go; 0 or the reason the system gave for the close.
    int Close();

private:
    int fd_ = -1;
    LockState state_ = LockState::None;
    FileState taken_;  // the file as it was when taken
};

// What a save waits for.
enum class SaveWait : std::uint8_t {
    Over,    // the wait ended
    Save,    // another save of the file
    Reader,  // a program reading the file, for a save into the file itself
};
// Called on this thread over and over while one of its saves waits for a
// lock, and once with Over when that wait ends: a window shows it is busy
// and keeps drawing meanwhile. Null: none.
void SetSaveWaitHook(std::function<void(SaveWait)> hook);

// A file system that keeps no byte-range locks said so.
bool NoLocksHere(int err);

namespace testhooks {
// How long a save waits for another's lock (milliseconds; 0: the default, a few seconds).
void SetSaveWaitLimit(int milliseconds);
}  // namespace testhooks

}  // namespace velto
