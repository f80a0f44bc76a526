#include "platform/PendingFile.h"

#include <stdio.h>
#include <unistd.h>

#include <cerrno>

namespace velto {

PendingFile::PendingFile(std::string target, std::span<const std::uint8_t> data, const WriteOptions& options)
    : target_(std::move(target)) {
    const int fd = CreateTemporaryBeside(target_, 0600, temp_);
    if (fd < 0) {
        error_ = FileError::FromErrno(errno);
        return;
    }
    ::close(fd);
    // The writer replaces the empty temporary as a whole: never a part of
    // the content under the name that is to be renamed.
    WriteOptions replace = options;
    replace.mode = WriteMode::Replace;
    if (!WriteWholeFile(temp_, data, &error_, replace)) Drop();
}

PendingFile::~PendingFile() { Drop(); }

void PendingFile::Drop() {
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
}

bool PendingFile::Name() {
    if (!ok()) return false;
    // rename() takes the name itself, whatever it is. The folder is not
    // flushed again: until it is, a crash leaves the old file under the name.
    if (::rename(temp_.c_str(), target_.c_str()) != 0) {
        error_ = FileError::FromErrno(errno);
        Drop();
        return false;
    }
    temp_.clear();
    return true;
}

}  // namespace velto
