#pragma once
// Inside the copies of old bytes (PreviousCopy.h): their names, the record
// each carries behind the content, and the one rule for trusting what lies
// at a copy's name.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileState.h"

namespace velto::copies {

inline constexpr std::uint64_t kPage = 4096;  // what a digest covers: a killed write ends at a page
using Digest = std::array<std::uint8_t, 32>;

// What a copy says of itself. Copies of the first version carry neither the
// new content's digests nor their maker; those of the second lack the digest
// of the new bytes below the old end.
struct Record {
    std::uint32_t version = 0;
    FileState made;             // the file when the copy was taken; made.size: the old content's
    std::string file;           // its name then
    std::uint64_t newSize = 0;  // what the save writes
    std::uint64_t digestsAt = 0;
    // Where the new content runs past the old end inside a page: the digest
    // of that page's new bytes below the old end (a crash may keep the page
    // written but the file at its old size).
    bool hasBelowOldEnd = false;
    Digest belowOldEnd{};
    unsigned long pid = 0;      // the process that made it
    std::string machine;        // and its machine
};
bool ReadRecord(int fd, Record& out);
// The page that holds both the old end and new bytes past it, if any.
bool SplitByOldEnd(std::uint64_t oldSize, std::uint64_t newSize);
// The process of this machine that made the copy (0: another machine's, or unknown).
unsigned long MakerHere(const Record& record);
// What follows the old content: the name, the digests of each page of the
// new content, the digest of the new bytes below the old end (zeros where no
// page is split by it), the fixed part.
std::vector<std::uint8_t> RecordBytes(const FileState& made, const std::string& name, std::uint64_t newSize,
                                      const std::vector<Digest>& digests, const Digest& belowOldEnd = {});

// A copy's name in its folder, and what one tells.
std::string CopyName(const std::string& target, unsigned uid, std::uint64_t inode);
bool ParseCopyName(std::string_view name, unsigned& uid, std::uint64_t& inode);

// What lies at a copy's name in folder dir, when it is a copy as a save makes
// them (a regular file of one link, mode 0600, owned by the user its name
// gives): open (readable where this user may read it) with its record when
// it has one.
struct Copy {
    std::string name;
    unsigned owner = 0;
    int fd = -1;
    bool hasRecord = false;
    Record record;
    Copy() = default;
    Copy(const Copy&) = delete;
    Copy& operator=(const Copy&) = delete;
    ~Copy();
};
bool ReadCopy(int dir, const std::string& name, unsigned owner, Copy& out);

// Reads n bytes at offset at, as many as there are; -1 on failure.
long long ReadAt(int fd, std::uint8_t* to, std::size_t n, std::uint64_t at);

}  // namespace velto::copies
