#pragma once
// The headers of a Windows executable or library (PE32 and PE32+), read with
// every offset checked against the file. Both optional-header forms are
// supported: they differ only in where the data directories start.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/ReadLimits.h"

namespace velto {

inline constexpr std::uint16_t kPe32Magic = 0x10B;
inline constexpr std::uint16_t kPe32PlusMagic = 0x20B;
inline constexpr std::uint32_t kScnMemDiscardable = 0x02000000;

// Data directories the engine reads or fixes.
enum : int { kDirResource = 2, kDirCertificate = 4, kDirBaseReloc = 5, kDirDebug = 6 };

struct TPeDataDirectory {
    std::uint32_t VirtualAddress = 0;  // a file offset for the certificate table
    std::uint32_t Size = 0;
};

struct TPeSection {
    std::uint64_t HeaderOffset = 0;  // file offset of its 40-byte header
    std::uint32_t VirtualSize = 0;
    std::uint32_t VirtualAddress = 0;
    std::uint32_t SizeOfRawData = 0;
    std::uint32_t PointerToRawData = 0;
    std::uint32_t PointerToRelocations = 0;
    std::uint32_t PointerToLinenumbers = 0;
    std::uint32_t Characteristics = 0;

    // Bytes the section spans in memory: its virtual size, or its raw size
    // when the linker left the virtual size 0.
    std::uint64_t VirtualExtent() const { return VirtualSize ? VirtualSize : SizeOfRawData; }
};

struct TPeHeaders {
    std::uint64_t NtOffset = 0;  // the "PE\0\0" signature
    std::uint16_t NumberOfSections = 0;
    std::uint32_t PointerToSymbolTable = 0;
    std::uint32_t NumberOfSymbols = 0;
    std::uint16_t SizeOfOptionalHeader = 0;
    std::uint16_t Magic = 0;
    std::uint32_t SizeOfInitializedData = 0;
    std::uint32_t SectionAlignment = 0;
    std::uint32_t FileAlignment = 0;
    std::uint32_t SizeOfImage = 0;
    std::uint32_t SizeOfHeaders = 0;
    std::uint32_t CheckSum = 0;
    std::uint32_t NumberOfRvaAndSizes = 0;
    std::array<TPeDataDirectory, 16> Dirs{};  // entries past NumberOfRvaAndSizes read as 0
    std::uint64_t SectionTableOffset = 0;
    std::vector<TPeSection> Sections;

    bool Pe32Plus() const { return Magic == kPe32PlusMagic; }
    // File offsets of the fields a rewrite changes.
    std::uint64_t OptionalHeaderOffset() const { return NtOffset + 24; }
    std::uint64_t SymbolTableFieldOffset() const { return NtOffset + 12; }
    std::uint64_t SizeOfInitializedDataOffset() const { return OptionalHeaderOffset() + 8; }
    std::uint64_t SizeOfImageOffset() const { return OptionalHeaderOffset() + 56; }
    std::uint64_t CheckSumOffset() const { return OptionalHeaderOffset() + 64; }
    std::uint64_t DirOffset(int index) const {
        return OptionalHeaderOffset() + (Pe32Plus() ? 112 : 96) + 8ull * static_cast<unsigned>(index);
    }
    // The section holding `size` bytes at rva in its raw data, or nothing.
    const TPeSection* SectionOfRva(std::uint64_t rva, std::uint64_t size = 1) const;
    // The file offset of `size` bytes at rva when they lie in a section's raw
    // data inside a file of fileSize bytes.
    std::optional<std::uint64_t> RvaToOffset(std::uint64_t rva, std::uint64_t size, std::uint64_t fileSize) const;
};

// Offset of the PE signature: "MZ" at 0, e_lfanew at 60 pointing at
// "PE\0\0" inside the data; nothing otherwise.
std::optional<std::uint64_t> GetImageNtHeaders(std::span<const std::uint8_t> image);

// Reads the file and optional headers and the section table. Fails with
// kErrorBadExeFormat when the data is not a PE image and kErrorInvalidData
// when its headers do not fit the data or contradict themselves (unknown
// optional-header magic, alignments that are not powers of two, more
// sections than limits.peSections).
bool ParsePeHeaders(std::span<const std::uint8_t> image, TPeHeaders& out, const ReadLimits& limits,
                    std::uint32_t& error);

// The smallest multiple of alignment (not 0) not below value.
constexpr std::uint64_t AlignUp(std::uint64_t value, std::uint64_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

// The image checksum of a file's bytes, computed as a sum of its little-endian
// 16-bit words with end-around carry (an odd last byte is a word of its own)
// plus the file length. It is computed on data in pieces, in file order.
class PeChecksum {
public:
    void Update(std::span<const std::uint8_t> data);
    std::uint32_t Finish() const;

private:
    void AddWords(const std::uint8_t* p, std::size_t bytes);
    std::uint64_t sum_ = 0;  // exact sum of the words so far
    std::uint64_t length_ = 0;
    int pending_ = -1;       // the low byte of a word split between pieces
};

// Sets the CheckSum field of a whole image in memory to its checksum
// (computed with the field as 0). False when the image has no PE headers.
bool UpdatePeChecksum(std::span<std::uint8_t> image);

}  // namespace velto
