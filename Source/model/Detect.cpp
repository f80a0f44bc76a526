#include "model/Detect.h"

#include <initializer_list>
#include <vector>

#include "platform/ByteReader.h"

namespace velto {
namespace {

// True when head holds `sig` at offset `at`; bytes beyond the head never match.
bool has(std::span<const std::uint8_t> head, std::size_t at, std::initializer_list<std::uint8_t> sig) {
    if (at > head.size() || sig.size() > head.size() - at) return false;
    std::size_t i = at;
    for (std::uint8_t b : sig)
        if (head[i++] != b) return false;
    return true;
}

bool hasText(std::span<const std::uint8_t> head, std::size_t at, const char (&sig)[5]) {
    return has(head, at,
               {static_cast<std::uint8_t>(sig[0]), static_cast<std::uint8_t>(sig[1]),
                static_cast<std::uint8_t>(sig[2]), static_cast<std::uint8_t>(sig[3])});
}

// A resource fork starts with data offset, map offset, data length and map
// length (big-endian); data and map must tile the file exactly. The sums are
// 64-bit so that wrapped 32-bit values cannot fake a match, and a file too
// short to hold the header (an empty one in particular) is never a fork.
bool isResourceFork(std::span<const std::uint8_t> head, std::uint64_t fileSize) {
    if (fileSize < 16 || head.size() < 16) return false;
    ByteReader r(head);
    std::uint32_t d0 = 0, d1 = 0, d2 = 0, d3 = 0;
    r.u32be(d0);
    r.u32be(d1);
    r.u32be(d2);
    r.u32be(d3);
    return std::uint64_t{d1} + d3 == fileSize && std::uint64_t{d0} + d2 == d1;
}

}  // namespace

std::uint8_t DetectFileType(std::span<const std::uint8_t> head, std::uint64_t fileSize) {
    if (head.size() > fileSize) head = head.first(static_cast<std::size_t>(fileSize));
    if (isResourceFork(head, fileSize)) return ftResourceFork;

    if (has(head, 0, {0x00, 0x00, 0x01, 0x00})) return ftIcon;
    if (has(head, 0, {0x00, 0x00, 0x02, 0x00})) return ftCursor;
    if (hasText(head, 0, "RIFF") && hasText(head, 8, "ACON")) return ftAnimatedCursor;
    if (has(head, 0, {'B', 'M'})) return ftBmp;
    if (has(head, 0, {0xFF, 0xD8, 0xFF})) return ftJpeg;
    if (has(head, 0, {0x89, 'P', 'N', 'G'})) return ftPng;
    if (has(head, 0, {'G', 'I', 'F'})) return ftGif;
    if (has(head, 0, {0x00, 0x00, 0x00, 0x0C}) && hasText(head, 4, "jP  ")) return ftJp2;
    if (has(head, 0, {0xFF, 0x4F, 0xFF, 0x51, 0x00})) return ftJ2k;
    if (hasText(head, 0, "icns")) return ftIcns;
    if (has(head, 0, {0x00, 0x05, 0x16, 0x00})) return ftAppleSingle;
    if (has(head, 0, {0x00, 0x05, 0x16, 0x07})) return ftAppleDouble;
    // MacBinary has no magic at offset 0; its creator signature sits at 65 (II)
    // or 102 (III), and the container is always longer than its 128-byte header.
    if (fileSize > 128 && (hasText(head, 65, "mBIN") || hasText(head, 102, "mBIN"))) return ftMacBinary;
    return ftUnknown;
}

FileTypeResult DetectFileType(const std::string& fileName) {
    FileTypeResult result;
    std::vector<std::uint8_t> head;
    std::uint64_t size = 0;
    FileError error = FileError::None;
    if (!ReadFileHead(fileName, kDetectHeadSize, head, size, &error)) {
        result.error = error.ok() ? FileError(FileError::IoError) : error;
        return result;
    }
    result.type = DetectFileType(head, size);
    return result;
}

std::uint8_t FileCategoryOf(std::uint8_t type) {
    switch (type) {
    case ftIcon:
    case ftCursor:
    case ftAnimatedCursor: return fcDocument;
    case ftBmp:
    case ftJpeg:
    case ftPng:
    case ftGif:
    case ftJp2:
    case ftJ2k: return fcImage;
    case ftIcns: return fcAppleIcon;
    case ftMacBinary:
    case ftAppleSingle:
    case ftAppleDouble:
    case ftResourceFork: return fcMacContainer;
    default: return fcExtract;
    }
}

FileCategoryResult FileCategory(const std::string& fileName) {
    const FileTypeResult t = DetectFileType(fileName);
    FileCategoryResult result;
    result.error = t.error;
    if (t.ok()) result.category = FileCategoryOf(t.type);
    return result;
}

}  // namespace velto
