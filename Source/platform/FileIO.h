#pragma once
// File access used by every reader and writer: only regular files are read
// (never FIFOs, devices or the kernel's files under /proc and /sys, which
// could block, never end or act when read) and reads are capped. Files are
// written by FileWriter.h.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/PixelStorage.h"
#include "platform/ReadLimits.h"

namespace velto {

// How a file operation ended: a kind that callers branch on and, when the
// system refused it, the system's own error number (errno) so that the user
// can be told why (permission denied, disk full, read-only file system...).
// It converts to and compares as its kind, so `error == FileError::NotFound`
// reads as before; the number only adds the reason.
class FileError {
public:
    enum Kind : std::uint8_t {
        None,
        NotFound,     // missing, or a path component is not a folder
        NotRegular,   // a folder, FIFO, device or socket, or a file of /proc, /sys and the like
        TooLarge,     // larger than the caller's cap
        IoError,      // permission denied, read or write failure
        Unsupported,  // the content cannot be read or stored in this format
    };

    constexpr FileError(Kind kind = None, int sysError = 0) : kind_(kind), sysError_(kind == None ? 0 : sysError) {}
    constexpr operator Kind() const { return kind_; }
    constexpr Kind kind() const { return kind_; }
    // The system's error number behind the failure; 0 when the system said nothing.
    constexpr int sysError() const { return sysError_; }
    constexpr bool ok() const { return kind_ == None; }
    // The failure of a system call that just set errno.
    static FileError FromErrno(int err);
    // A failure that needs more than the system's words (what stands in a
    // save's way, and whose it is): kind and number still say what it is.
    static FileError WithWords(FileError e, std::string words);
    // Those words, or null.
    const std::string* words() const { return words_.get(); }

private:
    Kind kind_;
    int sysError_;
    std::shared_ptr<const std::string> words_;
};

// Why an operation failed, in words: the system's reason when it gave one,
// else the kind's. Every reader and writer reports through this one table.
std::string FileErrorText(FileError e);

// The first failure of a sequence wins: later steps do not overwrite it.
inline void KeepFirstError(FileError* out, FileError e) {
    if (out && out->ok()) *out = e;
}

// The checks every reader applies to a file it opened: a regular file of a
// file system that stores files (not /proc, /sys and their kind, whose sizes
// say nothing). Its size on success: a hint only, as the file may change.
FileError CheckOpenedForReading(int fd, std::uint64_t& size);

// Opens a regular file with the readers' checks, before and after opening;
// access is O_RDONLY, or O_RDWR for a file that is to be rewritten. The
// descriptor (blocking, closed on exec) and the size as CheckOpenedForReading
// gives it, or -1 with the reason in error. Opened for reading, a file that
// an open shows as it was before an unfinished save gives that content
// instead (ReadInstead.h).
int OpenRegularFile(const std::string& path, int access, std::uint64_t& size, FileError* error = nullptr);
// The same, always the file itself.
int OpenRegularFileItself(const std::string& path, int access, std::uint64_t& size, FileError* error = nullptr);

// Reads an opened file whole from where it stands, as ReadWholeFile does;
// announced is the size OpenRegularFile gave.
FileError ReadOpenedFile(int fd, std::uint64_t announced, std::uint64_t cap, std::vector<std::uint8_t>& out);

// Reads a whole regular file. Fails with TooLarge when it holds more than cap
// bytes, whatever size it announced, also when it grows past cap while read;
// at most cap bytes and one copy of what was read are held meanwhile.
bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& out,
                   std::uint64_t cap = ReadLimits{}.fileSize, FileError* error = nullptr);
// The same into pixel storage: a large file goes into fresh pages that the
// read fills, with no pass writing zeros first.
bool ReadWholeFile(const std::string& path, TPixelBytes& out, std::uint64_t cap = ReadLimits{}.fileSize,
                   FileError* error = nullptr);

// Reads at most maxBytes leading bytes of a regular file and reports its full size.
bool ReadFileHead(const std::string& path, std::size_t maxBytes, std::vector<std::uint8_t>& out,
                  std::uint64_t& fileSize, FileError* error = nullptr);

// The last component of a path: the text after the last "/".
std::string ExtractFileName(const std::string& path);

bool FileExists(const std::string& path);  // a regular file
bool DirectoryExists(const std::string& path);

}  // namespace velto
