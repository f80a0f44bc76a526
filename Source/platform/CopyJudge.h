#pragma once
// What a file holds against a copy of its old bytes (PreviousCopy.h): the
// save's whole new content, the copy's content, a state the save could have
// left, or something written since.
//
// A save writes the new content over the old from the start, then cuts the
// file to its size, and flushes it once, at the end. A kill stops it at a
// page; a crash keeps any of the pages written and any size the file had,
// in no order; a put-back of the copy, killed or not, writes old pages over
// any of those. So a state the save left is one where each page holds the
// new content's page or the old one at that place, and the size lies between
// the old size and the new one. Two pages need more than their digest: the
// one holding the new end, whose old bytes past it stay until the cut, and
// the one holding the old end, which the file may end in with the new bytes
// below it (a crash), or run on past with zeros after them (the old page, as
// a file extended without it holds it).
#include <cstdint>
#include <vector>

#include "platform/PreviousCopyRecord.h"

namespace velto::copies {

enum class Verdict : std::uint8_t {
    Saved,      // the file holds the save's whole new content
    Unchanged,  // the file holds the copy's content
    Torn,       // each page the save's new one or the old one
    Stale,      // anything else: written since
};

// The pages of an open file, read and hashed once for all the copies judged
// against it, however many lie beside it.
class FilePages {
public:
    explicit FilePages(int fd) : fd_(fd) {}
    // Another descriptor of the same file.
    void Use(int fd) { fd_ = fd; }
    int fd() const { return fd_; }
    // Reads the file, the first time only; false when it cannot be read whole.
    bool Read();
    // The file was written: it is read again when next asked.
    void Forget() { read_ = false; }
    std::uint64_t size() const { return size_; }
    const Digest& page(std::uint64_t index) const { return pages_[index]; }

private:
    int fd_;
    bool read_ = false, ok_ = false;
    std::uint64_t size_ = 0;
    std::vector<Digest> pages_;
};

Verdict Judge(FilePages& file, const Copy& copy);

}  // namespace velto::copies
