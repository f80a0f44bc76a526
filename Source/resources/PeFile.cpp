#include "resources/PeFile.h"

#include <algorithm>
#include <cstring>

#include "platform/ByteReader.h"
#include "resources/ResName.h"

namespace velto {

namespace {
bool IsPowerOfTwo(std::uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }
}  // namespace

const TPeSection* TPeHeaders::SectionOfRva(std::uint64_t rva, std::uint64_t size) const {
    for (const TPeSection& s : Sections) {
        if (rva < s.VirtualAddress) continue;
        const std::uint64_t into = rva - s.VirtualAddress;
        if (into < s.SizeOfRawData && size <= s.SizeOfRawData - into) return &s;
    }
    return nullptr;
}

std::optional<std::uint64_t> TPeHeaders::RvaToOffset(std::uint64_t rva, std::uint64_t size,
                                                     std::uint64_t fileSize) const {
    const TPeSection* s = SectionOfRva(rva, size ? size : 1);
    if (!s) return std::nullopt;
    const std::uint64_t at = s->PointerToRawData + (rva - s->VirtualAddress);
    if (at > fileSize || size > fileSize - at) return std::nullopt;
    return at;
}

std::optional<std::uint64_t> GetImageNtHeaders(std::span<const std::uint8_t> image) {
    ByteReader r(image);
    std::uint16_t mz = 0;
    std::uint32_t lfanew = 0, sig = 0;
    if (!r.u16le(mz) || mz != 0x5A4D) return std::nullopt;
    if (!r.seek(60) || !r.u32le(lfanew)) return std::nullopt;
    if (!r.seek(lfanew) || !r.u32le(sig) || sig != 0x00004550) return std::nullopt;
    return lfanew;
}

bool ParsePeHeaders(std::span<const std::uint8_t> image, TPeHeaders& out, const ReadLimits& limits,
                    std::uint32_t& error) {
    out = TPeHeaders{};
    const auto nt = GetImageNtHeaders(image);
    if (!nt) {
        error = kErrorBadExeFormat;
        return false;
    }
    error = kErrorInvalidData;
    out.NtOffset = *nt;
    ByteReader r(image);
    std::uint16_t machine = 0, characteristics = 0;
    std::uint32_t stamp = 0;
    if (!r.seek(*nt + 4) || !r.u16le(machine) || !r.u16le(out.NumberOfSections) || !r.u32le(stamp) ||
        !r.u32le(out.PointerToSymbolTable) || !r.u32le(out.NumberOfSymbols) || !r.u16le(out.SizeOfOptionalHeader) ||
        !r.u16le(characteristics))
        return false;
    const std::uint64_t opt = out.OptionalHeaderOffset();
    if (!r.u16le(out.Magic)) return false;
    if (out.Magic != kPe32Magic && out.Magic != kPe32PlusMagic) {
        error = kErrorBadExeFormat;
        return false;
    }
    // The fixed part of the optional header, up to the data directories.
    const std::uint32_t fixed = out.Pe32Plus() ? 112 : 96;
    if (out.SizeOfOptionalHeader < fixed) return false;
    auto field = [&](std::uint64_t at, std::uint32_t& v) { return r.seek(opt + at) && r.u32le(v); };
    if (!field(8, out.SizeOfInitializedData) || !field(32, out.SectionAlignment) || !field(36, out.FileAlignment) ||
        !field(56, out.SizeOfImage) || !field(60, out.SizeOfHeaders) || !field(64, out.CheckSum) ||
        !field(fixed - 4, out.NumberOfRvaAndSizes))
        return false;
    if (!IsPowerOfTwo(out.SectionAlignment) || !IsPowerOfTwo(out.FileAlignment)) return false;
    // Directories beyond the optional header's declared size are not there.
    const std::uint64_t room = (out.SizeOfOptionalHeader - fixed) / 8;
    const std::uint64_t dirs = std::min<std::uint64_t>({out.NumberOfRvaAndSizes, room, 16});
    for (std::uint64_t i = 0; i < dirs; ++i)
        if (!r.seek(opt + fixed + 8 * i) || !r.u32le(out.Dirs[i].VirtualAddress) || !r.u32le(out.Dirs[i].Size))
            return false;
    out.NumberOfRvaAndSizes = static_cast<std::uint32_t>(dirs);

    if (out.NumberOfSections > limits.peSections) return false;
    out.SectionTableOffset = opt + out.SizeOfOptionalHeader;
    out.Sections.resize(out.NumberOfSections);
    for (std::uint16_t i = 0; i < out.NumberOfSections; ++i) {
        TPeSection& s = out.Sections[i];
        s.HeaderOffset = out.SectionTableOffset + 40ull * i;
        if (!r.seek(s.HeaderOffset + 8) || !r.u32le(s.VirtualSize) || !r.u32le(s.VirtualAddress) ||
            !r.u32le(s.SizeOfRawData) || !r.u32le(s.PointerToRawData) || !r.u32le(s.PointerToRelocations) ||
            !r.u32le(s.PointerToLinenumbers) || !r.seek(s.HeaderOffset + 36) || !r.u32le(s.Characteristics))
            return false;
    }
    error = kErrorSuccess;
    return true;
}

void PeChecksum::AddWords(const std::uint8_t* p, std::size_t bytes) {
    // Two 32-bit lanes of 16-bit halves per 64-bit load; a lane takes 65536
    // additions before it could overflow, so the block is flushed before that.
    std::size_t i = 0;
    while (bytes - i >= 8) {
        std::uint64_t lo = 0, hi = 0;
        const std::size_t block = std::min<std::size_t>((bytes - i) / 8, 65535);
        for (std::size_t k = 0; k < block; ++k, i += 8) {
            std::uint64_t w;
            std::memcpy(&w, p + i, 8);
            lo += w & 0x0000FFFF0000FFFFull;
            hi += (w >> 16) & 0x0000FFFF0000FFFFull;
        }
        sum_ += (lo & 0xFFFFFFFF) + (lo >> 32) + (hi & 0xFFFFFFFF) + (hi >> 32);
    }
    for (; i + 1 < bytes; i += 2) sum_ += static_cast<std::uint64_t>(p[i]) | static_cast<std::uint64_t>(p[i + 1]) << 8;
    if (i < bytes) pending_ = p[i];
}

void PeChecksum::Update(std::span<const std::uint8_t> data) {
    const std::uint8_t* p = data.data();
    std::size_t n = data.size();
    length_ += n;
    if (n && pending_ >= 0) {
        sum_ += static_cast<std::uint64_t>(pending_) | static_cast<std::uint64_t>(p[0]) << 8;
        pending_ = -1;
        ++p;
        --n;
    }
    if (n) AddWords(p, n);
}

std::uint32_t PeChecksum::Finish() const {
    const std::uint64_t total = sum_ + (pending_ >= 0 ? static_cast<std::uint64_t>(pending_) : 0);
    // The end-around-carry sum: congruent to the total modulo 0xFFFF, and 0
    // only when every word was 0.
    const std::uint64_t folded = total == 0 ? 0 : (total - 1) % 0xFFFF + 1;
    return static_cast<std::uint32_t>(length_ + folded);
}

bool UpdatePeChecksum(std::span<std::uint8_t> image) {
    const auto nt = GetImageNtHeaders(image);
    if (!nt) return false;
    const std::uint64_t at = *nt + 24 + 64;
    if (at > image.size() || image.size() - at < 4) return false;
    std::memset(image.data() + at, 0, 4);
    PeChecksum sum;
    sum.Update(image);
    const std::uint32_t v = sum.Finish();
    for (int i = 0; i < 4; ++i) image[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    return true;
}

}  // namespace velto
