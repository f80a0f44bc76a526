#pragma once
// What the classic raster formats share around the I/O table: a loader takes
// the rest of its input into memory once (within the read limit) and parses it
// with checked reads, then leaves the handle right behind what it used; a
// saver builds the file in memory and writes it at once; a content test peeks
// and puts the position back.
#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "imaging/FileFormat.h"
#include "imaging/Imaging.h"
#include "imaging/ImagingIO.h"

namespace velto {

// The input from the handle's position to its end.
struct TFormatInput {
    const TIOFunctions* io = nullptr;
    TImagingHandle handle = nullptr;
    std::int64_t start = 0;
    std::vector<std::uint8_t> bytes;

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
    in.bytes.resize(static_cast<std::size_t>(left));
    const std::int64_t got = left ? io.Read(handle, in.bytes.data(), left) : 0;
    in.bytes.resize(static_cast<std::size_t>(std::max<std::int64_t>(got, 0)));
    return in;
}

// Reads up to `count` bytes at the current position of a content test and
// moves back by as many; the number read.
inline std::int64_t PeekFormatInput(TImagingHandle handle, void* buffer, std::int64_t count) {
    if (!handle) return 0;
    const TIOFunctions& io = CurrentIO();
    const std::int64_t n = io.Read(handle, buffer, count);
    if (n > 0) io.Seek(handle, -n, smFromCurrent);
    return std::max<std::int64_t>(n, 0);
}

inline bool WriteFormatOutput(const TIOFunctions& io, TImagingHandle handle, const std::vector<std::uint8_t>& out) {
    const auto n = static_cast<std::int64_t>(out.size());
    return io.Write(handle, out.data(), n) == n;
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

}  // namespace velto
