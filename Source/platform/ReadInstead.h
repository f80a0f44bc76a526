#pragma once
// Content read in place of a file's own: an open that finds a file left torn
// by an unfinished save, whose copy of the earlier content cannot go back
// into it yet, shows that earlier content and builds nothing on the torn
// bytes. While a ReadInstead lives, every open of the file (by any name) for
// reading through OpenRegularFile gets a private file of that content.
#include <cstdint>

#include "platform/FileState.h"

namespace velto {

class ReadInstead {
public:
    // The first size bytes of the open file from stand for file; from is duplicated.
    ReadInstead(const FileState& file, int from, std::uint64_t size);
    ~ReadInstead();
    ReadInstead(const ReadInstead&) = delete;
    ReadInstead& operator=(const ReadInstead&) = delete;

    std::uint64_t size() const { return size_; }
    // A new descriptor of a private file of that content, positioned at its start, or -1 (errno set).
    int Open() const;

private:
    FileState file_;
    int from_;
    std::uint64_t size_;

    friend int OpenInstead(int fd, std::uint64_t& size);
};

// For an open file fd: the descriptor of what stands for it (then fd is
// closed and size is the content's), fd itself when nothing does, or -1 with
// errno set (fd closed).
int OpenInstead(int fd, std::uint64_t& size);

}  // namespace velto
