#pragma once
// Which file a name or descriptor is, and how it stood: what tells a file
// from one that took its place, and a file from itself changed.
#include <cstdint>

namespace velto {

struct FileState {
    std::uint64_t dev = 0, ino = 0, size = 0;
    std::int64_t mtime = 0, ctime = 0, btime = 0;  // nanoseconds; btime 0: not kept
    // The same file (an inode number handed out again has another birth time, where one is kept).
    bool SameFile(const FileState& o) const {
        return dev == o.dev && ino == o.ino && (btime == 0 || o.btime == 0 || btime == o.btime);
    }
    // The same file, its content not written to since: what a rename of it
    // leaves alone (it moves the ctime).
    bool Unwritten(const FileState& o) const { return SameFile(o) && size == o.size && mtime == o.mtime; }
    // The same file, not changed at all since.
    bool Unchanged(const FileState& o) const { return Unwritten(o) && ctime == o.ctime; }
};

// statx of name in folder dir (flags as statx takes them), or of an open file.
bool StateOf(int dir, const char* name, int flags, FileState& out);
bool StateOf(int fd, FileState& out);

}  // namespace velto
