#pragma once
// File-type detection by leading bytes (never by extension), and the road a
// file of each type takes when it is opened.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "platform/FileIO.h"

namespace velto {

// Type codes returned by DetectFileType.
enum FileType : std::uint8_t {
    ftIcon = 0,            // ".ico"
    ftCursor = 1,          // ".cur"
    ftAnimatedCursor = 2,  // ".ani"
    ftBmp = 3,
    ftJpeg = 4,
    ftPng = 5,
    ftGif = 6,
    ftUnknown = 7,
    ftMacBinary = 8,
    ftIcns = 9,
    ftAppleSingle = 10,
    ftAppleDouble = 11,
    ftResourceFork = 12,  // Macintosh resource fork
    ftJp2 = 13,           // JPEG 2000 file
    ftJ2k = 14,           // JPEG 2000 code stream
};

// Categories returned by FileCategory: how a file is opened.
enum FileRoad : std::uint8_t {
    fcDocument = 0,      // icon, cursor or animated cursor: opened by the document readers
    fcImage = 1,         // raster picture: imported into a new document
    fcExtract = 2,       // anything else: icon extraction from executables and libraries
    fcAppleIcon = 3,     // ".icns"
    fcMacContainer = 4,  // MacBinary, AppleSingle/Double, resource fork: icon extraction
};

// Leading bytes detection looks at: the MacBinary signature at offset 102 ends at 106.
inline constexpr std::size_t kDetectHeadSize = 106;

// Type of a file whose first bytes are `head` (up to kDetectHeadSize of them)
// and whose full size is fileSize. Bytes the head does not hold never match,
// so a short file is at worst ftUnknown.
std::uint8_t DetectFileType(std::span<const std::uint8_t> head, std::uint64_t fileSize);

// The result of detecting a file: either a type (error == None) or the reason
// the file could not be read (missing, not a regular file, I/O error), which
// callers must tell apart from ftUnknown.
struct FileTypeResult {
    std::uint8_t type = ftUnknown;
    FileError error = FileError::None;
    bool ok() const { return error == FileError::None; }
};

struct FileCategoryResult {
    std::uint8_t category = fcExtract;
    FileError error = FileError::None;
    bool ok() const { return error == FileError::None; }
};

// Reads the head of a regular file (FIFOs, devices and folders are refused
// without being read) and detects its type.
FileTypeResult DetectFileType(const std::string& fileName);

// The road of a type code.
std::uint8_t FileCategoryOf(std::uint8_t type);

// DetectFileType followed by FileCategoryOf; a read failure is passed through.
FileCategoryResult FileCategory(const std::string& fileName);

}  // namespace velto
