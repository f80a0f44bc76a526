#pragma once
// File access used by every reader and writer: only regular files are read
// (never FIFOs or devices, which could block or never end), reads are capped,
// and saving replaces the target only after the new content is on disk.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/PixelStorage.h"
#include "platform/ReadLimits.h"

namespace velto {

enum class FileError {
    None,
    NotFound,     // missing, or a path component is not a folder
    NotRegular,   // a folder, FIFO, device or socket
    TooLarge,     // larger than the caller's cap
    IoError,      // permission denied, read or write failure
};

const char* FileErrorText(FileError e);

// Reads a whole regular file. Fails with TooLarge when it holds more than cap bytes.
bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& out,
                   std::uint64_t cap = ReadLimits{}.fileSize, FileError* error = nullptr);
// The same into pixel storage: a large file goes into fresh pages that the
// read fills, with no pass writing zeros first.
bool ReadWholeFile(const std::string& path, TPixelBytes& out, std::uint64_t cap = ReadLimits{}.fileSize,
                   FileError* error = nullptr);

// Reads at most maxBytes leading bytes of a regular file and reports its full size.
bool ReadFileHead(const std::string& path, std::size_t maxBytes, std::vector<std::uint8_t>& out,
                  std::uint64_t& fileSize, FileError* error = nullptr);

// Writes data to a temporary file in the target's folder, flushes it to disk and
// renames it over the target. On any failure the target is untouched and the
// temporary file removed. An existing target's permission bits are kept.
bool SaveFileAtomic(const std::string& path, std::span<const std::uint8_t> data,
                    FileError* error = nullptr);

// The last component of a path: the text after the last "/".
std::string ExtractFileName(const std::string& path);

bool FileExists(const std::string& path);  // a regular file
bool DirectoryExists(const std::string& path);

}  // namespace velto
