#pragma once
// What the classic raster formats share around the I/O table: a loader takes
// the rest of its input into memory once (within the read limit) and parses it
// with checked reads, then leaves the handle right behind what it used; a
// saver builds the file in memory and writes it at once; a content test peeks
// and puts the position back.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "imaging/FileFormat.h"
#include "imaging/Imaging.h"
#include "imaging/ImagingIO.h"
#include "imaging/Utility.h"

namespace velto {

// The input from the handle's position to its end: read in place when the I/O
// table holds it in memory already, else read once into a buffer of its own.
// Either way the handle is left at the end of the input, as a read would.
struct TFormatInput {
    const TIOFunctions* io = nullptr;
    TImagingHandle handle = nullptr;
    std::int64_t start = 0;
    std::span<const std::uint8_t> bytes;
    std::unique_ptr<std::uint8_t[]> owned;

    std::span<const std::uint8_t> data() const { return bytes; }
    // Leaves the handle `consumed` bytes behind the start.
    void LeaveAt(std::uint64_t consumed) const {
        io->Seek(handle, start + static_cast<std::int64_t>(std::min<std::uint64_t>(consumed, bytes.size())),
                 smFromBeginning);
    }
};

inline TFormatInput ReadFormatInput(const TIOFunctions& io, TImagingHandle handle) {
    TFormatInput in;
    in.io = &io;
    in.handle = handle;
    in.start = io.Tell(handle);
    const std::int64_t left = std::max<std::int64_t>(0, GetInputSize(io, handle) - in.start);
    if (static_cast<std::uint64_t>(left) > ImagingLimits().fileSize)
        throw EImagingError("Image data larger than the read limit.");
    const std::span<const std::uint8_t> memory = io.Memory ? io.Memory(handle) : std::span<const std::uint8_t>();
    if (!memory.empty() && in.start >= 0 && static_cast<std::uint64_t>(in.start) + static_cast<std::uint64_t>(left) == memory.size()) {
        in.bytes = memory.subspan(static_cast<std::size_t>(in.start));
        io.Seek(handle, in.start + left, smFromBeginning);
        return in;
    }
    // Every byte is read over, so the buffer is not cleared first.
    in.owned.reset(new std::uint8_t[static_cast<std::size_t>(left ? left : 1)]);
    AdviseHugePages(in.owned.get(), static_cast<std::size_t>(left));
    const std::int64_t got = left ? io.Read(handle, in.owned.get(), left) : 0;
    in.bytes = std::span<const std::uint8_t>(in.owned.get(), static_cast<std::size_t>(std::max<std::int64_t>(got, 0)));
    return in;
}

// Reads up to `count` bytes at the current position of a content test and
// moves back by as many; the number read.
inline std::int64_t PeekFormatInput(const TIOFunctions& io, TImagingHandle handle, void* buffer, std::int64_t count) {
    if (!handle) return 0;
    const std::int64_t n = io.Read(handle, buffer, count);
    if (n > 0) io.Seek(handle, -n, smFromCurrent);
    return std::max<std::int64_t>(n, 0);
}

// Writes a finished file; an output that has nothing in it yet takes the
// buffer itself, so `out` may be left empty.
inline bool WriteFormatOutput(const TIOFunctions& io, TImagingHandle handle, std::vector<std::uint8_t>& out) {
    if (io.Adopt && io.Adopt(handle, out)) return true;
    const auto n = static_cast<std::int64_t>(out.size());
    return io.Write(handle, out.data(), n) == n;
}

// Appends `count` items of `itemBytes` bytes each, made by make(dst, first, n)
// for items first..first+n-1 in pieces that stay in the cache: the output is
// written once, never zero-filled before.
template <class Make>
void AppendFormatOutput(std::vector<std::uint8_t>& out, std::size_t count, std::size_t itemBytes, Make make) {
    constexpr std::size_t kPiece = 32768;
    const std::size_t perPiece = std::max<std::size_t>(1, kPiece / std::max<std::size_t>(itemBytes, 1));
    std::vector<std::uint8_t> piece(std::min(count, perPiece) * itemBytes);
    for (std::size_t first = 0; first < count; first += perPiece) {
        const std::size_t n = std::min(perPiece, count - first);
        make(piece.data(), first, n);
        out.insert(out.end(), piece.data(), piece.data() + n * itemBytes);
    }
}

// Room for `extra` more bytes of output, on huge pages when it is large.
inline void ReserveFormatOutput(std::vector<std::uint8_t>& out, std::size_t extra) {
    const std::size_t before = out.capacity();
    out.reserve(out.size() + extra);
    if (out.capacity() != before) AdviseHugePages(out.data() + out.size(), out.capacity() - out.size());
}

// A savable copy from MakeCompatible, released at the end of the save.
struct TSavableCopy {
    TImageData image;
    bool owned = false;
    TSavableCopy() = default;
    TSavableCopy(const TSavableCopy&) = delete;
    TSavableCopy& operator=(const TSavableCopy&) = delete;
    ~TSavableCopy() {
        if (owned) FreeImage(image);
    }
};

// Raises the loader's error for file data that breaks a bound.
[[noreturn]] inline void RaiseBadImageData(const char* what) { throw EImagingError(what); }

// How far a compression can expand its input at best: every `inputBytes`
// stored bytes make at most `outputBytes` (pixels or bytes, as the loader
// counts them). A header that declares more than its stored bytes can make
// is refused before anything is sized from it: a small file must not make a
// loader allocate or fill a large, mostly empty image.
struct TExpansionBound {
    std::uint64_t inputBytes;
    std::uint64_t outputBytes;
};
// Stored bytes: one byte a byte.
inline constexpr TExpansionBound kStoredBound{1, 1};
// zlib: a 258-byte match coded in two bits, and a few header bytes.
inline constexpr TExpansionBound kDeflateBound{1, 1032};
// PackBits (PSD) and the old-game run-length: a 2-byte packet repeats a byte
// at most 128 times.
inline constexpr TExpansionBound kPackBitsBound{2, 128};
// Bitmap RLE: a 2-byte run paints at most 255 pixels.
inline constexpr TExpansionBound kBitmapRleBound{2, 255};
// Huffman-coded JPEG: each 8 x 8 block of each component costs a bit at least.
inline constexpr TExpansionBound kJpegHuffmanBound{1, 8};

// The most output `bytes` stored bytes can make (saturating; a partial
// packet counts as a whole one).
inline std::uint64_t MaxExpandedSize(TExpansionBound bound, std::uint64_t bytes) {
    const std::uint64_t packets = bytes / bound.inputBytes + (bytes % bound.inputBytes ? 1 : 0);
    return packets > UINT64_MAX / bound.outputBytes ? UINT64_MAX : packets * bound.outputBytes;
}

// Refuses with `message` when `declared` is more than `bytes` stored bytes
// can make under `bound`.
inline void RequireStoredData(std::uint64_t declared, std::uint64_t bytes, TExpansionBound bound, const char* message) {
    if (declared > MaxExpandedSize(bound, bytes)) RaiseBadImageData(message);
}

// LZW (GIF): codes take three bits at least, and the n-th code after a clear
// stands for at most n + 1 pixels (no string grows past 4096). The most
// pixels `bytes` of code data can make.
inline std::uint64_t MaxLzwOutput(std::uint64_t bytes) {
    constexpr std::uint64_t kLongest = 4096;
    const std::uint64_t codes = bytes > UINT64_MAX / 8 ? UINT64_MAX / 3 : bytes * 8 / 3;
    if (codes <= kLongest) return codes * (codes + 3) / 2;
    const std::uint64_t head = kLongest * (kLongest + 3) / 2;
    return (codes - kLongest) > (UINT64_MAX - head) / kLongest ? UINT64_MAX : head + (codes - kLongest) * kLongest;
}

}  // namespace velto
