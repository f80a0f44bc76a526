#pragma once
// A file written now and given its name later, or never: a companion of a
// save (a backup) that must take its name only once the save has succeeded,
// and must leave whatever holds that name alone when the save fails.
//
// The content waits, whole and flushed, in a temporary beside the target
// (written by FileWriter, so a killed save leaves only a temporary that the
// next save into the folder removes). Naming it replaces what holds the name
// itself: the name is the program's own, not one the user chose, so a link
// there is replaced, never followed to the file it leads to.
#include <cstdint>
#include <span>
#include <string>

#include "platform/FileWriter.h"

namespace velto {

class PendingFile {
public:
    // The file gets options.ownership when given, else the saver's and
    // permission bits 0600.
    PendingFile(std::string target, std::span<const std::uint8_t> data, const WriteOptions& options = {});
    ~PendingFile();  // a file never named is removed
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    bool ok() const { return error_.ok(); }
    FileError error() const { return error_; }
    // Renames the file to the target; false, with the file removed, when that fails.
    bool Name();

private:
    void Drop();

    std::string target_, temp_;
    FileError error_;
};

}  // namespace velto
