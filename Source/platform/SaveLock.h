#pragma once
// Saves of one existing file exclude each other, whoever makes them: each
// holds a write lock on the file itself (an open-file-description lock, which
// only a process that may write the file can take) while it works on it. A
// save that finds the lock taken waits a bounded time, then fails with
// "another save of this file is in progress"; a mere reader never holds it.
// Where the file system keeps no such locks, saves go on without.
#include <functional>
#include <string>

#include "platform/FileIO.h"

namespace velto {

class SaveLock {
public:
    SaveLock() = default;
    ~SaveLock() { Close(); }
    SaveLock(const SaveLock&) = delete;
    SaveLock& operator=(const SaveLock&) = delete;

    // Opens the regular file at path for writing (and reading, where it may)
    // and takes its lock; again when the name was given another file while
    // waiting.
    FileError Take(const std::string& path);
    // The open file, or -1.
    int fd() const { return fd_; }
    // Lets the lock go; 0 or the reason the system gave for the close.
    int Close();

private:
    int fd_ = -1;
};

// Called on this thread over and over (true) while one of its saves waits for
// another save's lock, and once (false) when that wait ends: a window shows
// it is busy and keeps drawing meanwhile. Null: none.
void SetSaveWaitHook(std::function<void(bool waiting)> hook);

// A file system that keeps no byte-range locks said so.
bool NoLocksHere(int err);

namespace testhooks {
// How long a save waits for another's lock (milliseconds; 0: the default, a few seconds).
void SetSaveWaitLimit(int milliseconds);
}  // namespace testhooks

}  // namespace velto
