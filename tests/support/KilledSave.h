#pragma once
// A file left as a save that writes it in place leaves it when killed after
// its first page: that page of the new bytes over the old ones, and the
// save's copy of the old bytes beside it, its maker gone (the copy closed).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/PreviousCopy.h"
#include "platform/PreviousCopyRecord.h"

namespace velto::test {

// The new bytes are the old ones inverted: unlike them in every page, so
// that the file is neither the old one nor the new one. The file must be
// longer than a page. The copy's name, or "" (with a failure).
inline std::string KillSaveAfterFirstPage(const std::string& path) {
    const std::string target = std::filesystem::canonical(path).string();
    const int fd = ::open(target.c_str(), O_RDWR | O_CLOEXEC);
    const int newFd = ::memfd_create("new", MFD_CLOEXEC);
    std::vector<std::uint8_t> bytes(fd >= 0 ? static_cast<std::size_t>(::lseek(fd, 0, SEEK_END)) : 0);
    const auto size = static_cast<ssize_t>(bytes.size());
    bool written = fd >= 0 && newFd >= 0 && bytes.size() > copies::kPage &&
                   ::pread(fd, bytes.data(), bytes.size(), 0) == size;
    for (std::uint8_t& b : bytes) b = static_cast<std::uint8_t>(~b);
    written = written && ::write(newFd, bytes.data(), bytes.size()) == size;
    std::string copy;
    int copyFd = -1;
    const FileError made = written ? MakePreviousCopy(target, fd, newFd, bytes.size(), false, copyFd, copy)
                                   : FileError::FromErrno(EINVAL);
    const bool torn = made.ok() && ::pwrite(fd, bytes.data(), copies::kPage, 0) == static_cast<ssize_t>(copies::kPage);
    for (const int open : {copyFd, newFd, fd})
        if (open >= 0) ::close(open);
    EXPECT_TRUE(torn) << path << ": " << FileErrorText(made);
    return torn ? copy : std::string();
}

}  // namespace velto::test
