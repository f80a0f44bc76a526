#pragma once
// What format loaders and savers read and write through: an opaque handle and
// a table of eight I/O functions, one table for files and one for streams.
// Files are read whole (regular files only, within the read limits) and
// written to a temporary file that replaces the target only when the handle is
// closed after a complete write; both go through a 16 KiB buffered stream.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace velto {

enum TSeekMode : std::int32_t {
    smFromBeginning = 0,
    smFromCurrent = 1,
    smFromEnd = 2,
};

// A seekable byte stream (the caller's stream of the stream table).
class TStream {
public:
    virtual ~TStream() = default;
    // Bytes actually read or written.
    virtual std::int64_t Read(void* buffer, std::int64_t count) = 0;
    virtual std::int64_t Write(const void* buffer, std::int64_t count) = 0;
    // The new position, or -1 when it cannot be reached.
    virtual std::int64_t Seek(std::int64_t offset, TSeekMode origin) = 0;
    virtual std::int64_t Size() = 0;
    std::int64_t Position() { return Seek(0, smFromCurrent); }
    void SetPosition(std::int64_t pos) { Seek(pos, smFromBeginning); }
};

// A stream over bytes in memory. Writing past the end grows it; a gap left by
// a seek beyond the end reads as zeros.
class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::vector<std::uint8_t> data) : data_(std::move(data)) {}
    explicit TMemoryStream(std::span<const std::uint8_t> data) : data_(data.begin(), data.end()) {}

    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekMode origin) override;
    std::int64_t Size() override { return static_cast<std::int64_t>(data_.size()); }

    const std::vector<std::uint8_t>& Data() const { return data_; }
    std::vector<std::uint8_t>& Data() { return data_; }
    void Clear() {
        data_.clear();
        pos_ = 0;
    }

private:
    std::vector<std::uint8_t> data_;
    std::int64_t pos_ = 0;
};

// A read/write cache of 16384 bytes over a stream, aligned to multiples of its
// size in the stream. Close() writes what is pending and leaves the stream at
// the logical position; the destructor does the same but swallows failures.
class TBufferedStream {
public:
    static constexpr std::int32_t BufSize = 16384;

    explicit TBufferedStream(TStream& stream);
    ~TBufferedStream();
    TBufferedStream(const TBufferedStream&) = delete;
    TBufferedStream& operator=(const TBufferedStream&) = delete;

    std::int64_t Read(void* buffer, std::int64_t count);
    std::int64_t Write(const void* buffer, std::int64_t count);
    std::int64_t Seek(std::int64_t offset, std::int32_t origin);
    void Flush();
    void Close();
    std::int64_t Position() const { return bufStart_ + bufPos_; }
    std::int64_t Size() const { return size_; }

    // The cache's state, for tests.
    std::int64_t BufStart() const { return bufStart_; }
    std::int64_t BufPos() const { return bufPos_; }

private:
    void Fill();

    TStream& stream_;
    std::vector<std::uint8_t> buf_;
    std::int64_t bufStart_ = 0;
    std::int64_t bufPos_ = 0;
    std::int64_t bytesInBuf_ = 0;
    std::int64_t size_ = 0;
    bool dirty_ = false;
    bool closed_ = false;
};

// ---------------------------------------------------------------------------
// I/O function tables

using TImagingHandle = void*;

struct TIOFunctions {
    // name: a file name (const char*) for the file table, a TStream* for the stream table.
    TImagingHandle (*OpenRead)(const void* name) = nullptr;
    TImagingHandle (*OpenWrite)(const void* name) = nullptr;
    void (*Close)(TImagingHandle handle) = nullptr;
    bool (*Eof)(TImagingHandle handle) = nullptr;
    std::int64_t (*Seek)(TImagingHandle handle, std::int64_t offset, TSeekMode mode) = nullptr;
    std::int64_t (*Tell)(TImagingHandle handle) = nullptr;
    std::int64_t (*Read)(TImagingHandle handle, void* buffer, std::int64_t count) = nullptr;
    std::int64_t (*Write)(TImagingHandle handle, const void* buffer, std::int64_t count) = nullptr;
    // The whole input when it already lies in memory (a file read whole, a
    // TMemoryStream), valid while the handle is open; empty otherwise.
    std::span<const std::uint8_t> (*Memory)(TImagingHandle handle) = nullptr;
    // Takes `bytes` as the whole output, leaving the position at its end, when
    // nothing has been written yet: a saver's finished file then needs no
    // copy. False (bytes untouched) when the output cannot take them so.
    bool (*Adopt)(TImagingHandle handle, std::vector<std::uint8_t>& bytes) = nullptr;
};

// The two tables. A loader, saver or content test is handed the table its
// handle belongs to; there is no current table, so loads on several threads
// do not meet.
const TIOFunctions& FileIO();
const TIOFunctions& StreamIO();

// Marks a write handle of the file table as failed: closing it then leaves the
// target file as it was.
void AbandonFileWrite(TImagingHandle handle);

// Size of the input behind a handle (the position is kept).
std::int64_t GetInputSize(const TIOFunctions& io, TImagingHandle handle);

}  // namespace velto
