#pragma once
// A file saved in place and the copy of its old bytes that the save made, its maker gone, for tests of what a
// killed save, a crash or a killed put-back leaves in the file. Every page of the contents differs from every
// other, and neither size need be a whole number of pages.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/PreviousCopy.h"
#include "platform/PreviousCopyRecord.h"

namespace velto::test {

inline constexpr std::size_t kPage = copies::kPage;

inline std::string Patterned(std::size_t size, unsigned seed) {
    std::string s(size, '\0');
    std::uint32_t x = seed * 2654435761u + 1;
    for (char& c : s) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        c = static_cast<char>(x);
    }
    return s;
}

inline std::string TornFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A file of old bytes and the copy its save of the new ones made, its maker gone (the copy closed).
struct InPlaceSaved {
    std::filesystem::path dir;
    std::string file, copy, before, after;
    InPlaceSaved(std::size_t oldSize, std::size_t newSize)
        : dir(::mkdtemp(std::string("/tmp/velto-torn-XXXXXX").data())), file((dir / "doc.ani").string()),
          before(Patterned(oldSize, 1)), after(Patterned(newSize, 2)) {
        std::ofstream(file, std::ios::binary) << before;
        const int fd = ::open(file.c_str(), O_RDWR), newFd = ::memfd_create("new", 0);
        int copyFd = -1;
        EXPECT_EQ(::write(newFd, after.data(), after.size()), static_cast<ssize_t>(after.size()));
        const FileError e = MakePreviousCopy(file, fd, newFd, after.size(), false, copyFd, copy);
        EXPECT_TRUE(e.ok()) << FileErrorText(e);
        for (const int open : {fd, newFd, copyFd}) ::close(open);
    }
    ~InPlaceSaved() { std::filesystem::remove_all(dir); }
    // Writes the state into the file itself (the same inode, as the save did).
    void Leave(const std::string& state) const {
        const int fd = ::open(file.c_str(), O_WRONLY);
        EXPECT_EQ(::pwrite(fd, state.data(), state.size(), 0), static_cast<ssize_t>(state.size()));
        EXPECT_EQ(::ftruncate(fd, static_cast<off_t>(state.size())), 0);
        ::close(fd);
    }
    // size bytes, page by page as pages says: 'n' the new page (old bytes past the new end, as before the cut),
    // 'o' the old page (zeros past the old end, as a file extended without it holds them), 'z' zeros, 'x' bytes
    // that are neither; the last letter stands for the pages beyond.
    std::string State(std::size_t size, const std::string& pages) const {
        std::string s(size, '\0');
        for (std::size_t i = 0; i < size; ++i) {
            const char kind = pages[std::min(i / kPage, pages.size() - 1)];
            s[i] = kind == 'n' ? (i < after.size() ? after[i] : i < before.size() ? before[i] : '?')
                   : kind == 'o' ? (i < before.size() ? before[i] : '\0')
                   : kind == 'x' ? static_cast<char>(before.size() > i ? ~before[i] : 'x') : '\0';
        }
        return s;
    }
    bool CopyThere() const { return std::filesystem::exists(copy); }
};

// Pages as letters: n copies of c.
inline std::string Pages(std::initializer_list<std::pair<std::size_t, char>> runs) {
    std::string s;
    for (const auto& [n, c] : runs) s.append(n, c);
    return s;
}

inline std::string RecoverWords(const std::string& file) {
    UnfinishedSave found;
    const FileError e = RecoverUnfinishedSave(file, found);
    return !e.ok() ? FileErrorText(e) : found.found == UnfinishedSave::Found::Undone ? "undone" : "none";
}

}  // namespace velto::test
