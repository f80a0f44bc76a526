// Streams, the buffered stream and the two I/O tables.
#include "imaging/ImagingIO.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <typeinfo>

#include "imaging/Imaging.h"
#include "platform/FileIO.h"
#include "platform/FileWriter.h"
#include "platform/PixelStorage.h"

namespace velto {

// ---------------------------------------------------------------------------
// TMemoryStream

namespace {

// Reading, writing and seeking over bytes in memory, for the memory stream
// and the bytes of a file read whole.
template <class Bytes>
std::int64_t ReadMemory(const Bytes& data, std::int64_t& pos, void* buffer, std::int64_t count) {
    const auto size = static_cast<std::int64_t>(data.size());
    if (count <= 0 || pos >= size) return 0;
    const std::int64_t n = std::min(count, size - pos);
    std::memcpy(buffer, data.data() + pos, static_cast<std::size_t>(n));
    pos += n;
    return n;
}

// Writing past the end grows the bytes; a gap left by a seek beyond the end
// holds zeros. What overlaps the present bytes is overwritten and the rest
// appended, not zero-filled first.
template <class Bytes>
std::int64_t WriteMemory(Bytes& data, std::int64_t& pos, const void* buffer, std::int64_t count) {
    if (count <= 0) return 0;
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    const std::int64_t end = pos + count;
    if (pos > static_cast<std::int64_t>(data.size())) data.resize(static_cast<std::size_t>(pos), 0);
    const std::int64_t inside = std::min(count, static_cast<std::int64_t>(data.size()) - pos);
    // An empty vector's data() may be null: memcpy must not see it even for 0 bytes.
    if (inside > 0) std::memcpy(data.data() + pos, bytes, static_cast<std::size_t>(inside));
    data.insert(data.end(), bytes + inside, bytes + count);
    pos = end;
    return count;
}

std::int64_t SeekMemory(std::int64_t size, std::int64_t& pos, std::int64_t offset, TSeekMode origin) {
    std::int64_t base;
    switch (origin) {
    case smFromBeginning: base = 0; break;
    case smFromCurrent: base = pos; break;
    case smFromEnd: base = size; break;
    default: return -1;
    }
    if (offset > INT64_MAX - base) return -1;
    const std::int64_t next = base + offset;
    if (next < 0) return -1;
    pos = next;
    return pos;
}

}  // namespace

std::int64_t TMemoryStream::Read(void* buffer, std::int64_t count) { return ReadMemory(data_, pos_, buffer, count); }

std::int64_t TMemoryStream::Write(const void* buffer, std::int64_t count) {
    return WriteMemory(data_, pos_, buffer, count);
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekMode origin) {
    return SeekMemory(Size(), pos_, offset, origin);
}

// ---------------------------------------------------------------------------
// TBufferedStream

TBufferedStream::TBufferedStream(TStream& stream) : stream_(stream), buf_(BufSize) {
    size_ = stream.Size();
    if (size_ < 0 || size_ > INT32_MAX) throw std::runtime_error("TBufferedStream: stream larger than 2 GiB");
}

TBufferedStream::~TBufferedStream() {
    try {
        Close();
    } catch (...) {
        // Reported by the explicit Close of the I/O table already.
    }
}

void TBufferedStream::Close() {
    if (closed_) return;
    closed_ = true;
    Flush();
    stream_.Seek(Position(), smFromBeginning);
}

void TBufferedStream::Fill() {
    if (stream_.Seek(bufStart_, smFromBeginning) == -1) throw std::runtime_error("TBufferedStream.ReadBuffer: seek failed");
    bytesInBuf_ = stream_.Read(buf_.data(), BufSize);
    if (bytesInBuf_ <= 0) {
        bytesInBuf_ = 0;
        throw std::runtime_error("TBufferedStream.ReadBuffer: read failed");
    }
}

void TBufferedStream::Flush() {
    if (!dirty_) return;
    if (stream_.Seek(bufStart_, smFromBeginning) == -1) throw std::runtime_error("TBufferedStream.WriteBuffer: seek failed");
    if (stream_.Write(buf_.data(), bytesInBuf_) != bytesInBuf_)
        throw std::runtime_error("TBufferedStream.WriteBuffer: write failed");
    dirty_ = false;
}

std::int64_t TBufferedStream::Read(void* buffer, std::int64_t count) {
    if (count > size_ - Position()) count = size_ - Position();
    if (count < 1) return 0;
    auto* out = static_cast<std::uint8_t*>(buffer);
    if (bytesInBuf_ == 0) Fill();
    std::int64_t piece = std::clamp<std::int64_t>(bytesInBuf_ - bufPos_, 0, count);
    std::memcpy(out, buf_.data() + bufPos_, static_cast<std::size_t>(piece));
    std::int64_t done = piece;
    while (done < count) {
        Flush();
        bufStart_ += BufSize;
        bufPos_ = 0;
        bytesInBuf_ = 0;
        Fill();
        piece = std::min(bytesInBuf_, count - done);
        std::memcpy(out + done, buf_.data(), static_cast<std::size_t>(piece));
        done += piece;
        if (piece == 0) break;
    }
    bufPos_ += piece;
    if (bufPos_ >= BufSize) {
        Flush();  // the cache leaves this block: what it holds of it must be out first
        bufStart_ += BufSize;
        bufPos_ = 0;
        bytesInBuf_ = 0;
    }
    return done;
}

std::int64_t TBufferedStream::Write(const void* buffer, std::int64_t count) {
    if (count < 1) return 0;
    if (Position() > INT32_MAX - count) throw std::runtime_error("TBufferedStream: stream larger than 2 GiB");
    const auto* in = static_cast<const std::uint8_t*>(buffer);
    if (bytesInBuf_ == 0 && size_ > bufStart_) Fill();
    // A seek beyond the end leaves a gap before the written bytes: it holds zeros.
    if (bufPos_ > bytesInBuf_) std::memset(buf_.data() + bytesInBuf_, 0, static_cast<std::size_t>(bufPos_ - bytesInBuf_));
    std::int64_t piece = std::min<std::int64_t>(BufSize - bufPos_, count);
    std::memcpy(buf_.data() + bufPos_, in, static_cast<std::size_t>(piece));
    dirty_ = true;
    std::int64_t done = piece;
    while (done < count) {
        bytesInBuf_ = BufSize;
        Flush();
        bufStart_ += BufSize;
        bufPos_ = 0;
        bytesInBuf_ = 0;
        if (size_ > bufStart_) Fill();
        piece = std::min<std::int64_t>(BufSize, count - done);
        std::memcpy(buf_.data(), in + done, static_cast<std::size_t>(piece));
        dirty_ = true;
        done += piece;
    }
    bufPos_ += piece;
    bytesInBuf_ = std::max(bytesInBuf_, bufPos_);
    size_ = std::max(size_, bufStart_ + bytesInBuf_);
    if (bufPos_ >= BufSize) {
        Flush();
        bufStart_ += BufSize;
        bufPos_ = 0;
        bytesInBuf_ = 0;
    }
    return count;
}

std::int64_t TBufferedStream::Seek(std::int64_t offset, std::int32_t origin) {
    std::int64_t next;
    switch (origin) {
    case 0: next = offset; break;
    case 1: next = Position() + offset; break;
    case 2: next = size_ + offset; break;
    default: throw std::runtime_error("TBufferedStream.Seek: invalid origin");
    }
    if (next < 0 || next > INT32_MAX) throw std::runtime_error("TBufferedStream.Seek: invalid position");
    const std::int64_t cacheStart = next - next % BufSize;
    if (cacheStart != bufStart_) {
        Flush();
        bufStart_ = cacheStart;
        bytesInBuf_ = 0;
    }
    bufPos_ = next - cacheStart;
    return next;
}

// ---------------------------------------------------------------------------
// The file table: a file read whole into memory, or written to memory and
// saved atomically on close.

namespace {

// A file read whole, as a memory stream over pixel storage the read fills
// without zeroing it first.
class TFileBytesStream : public TStream {
public:
    TPixelBytes bytes;

    std::int64_t Read(void* buffer, std::int64_t count) override { return ReadMemory(bytes, pos_, buffer, count); }
    std::int64_t Write(const void* buffer, std::int64_t count) override {
        return WriteMemory(bytes, pos_, buffer, count);
    }
    std::int64_t Seek(std::int64_t offset, TSeekMode origin) override {
        return SeekMemory(Size(), pos_, offset, origin);
    }
    std::int64_t Size() override { return static_cast<std::int64_t>(bytes.size()); }

private:
    std::int64_t pos_ = 0;
};

struct FileHandle {
    std::string path;
    bool writing = false;
    bool abandoned = false;
    TFileBytesStream input;  // reading
    TMemoryStream memory;    // writing
    std::unique_ptr<TBufferedStream> buffered;
};

FileHandle* AsFile(TImagingHandle h) { return static_cast<FileHandle*>(h); }

TImagingHandle FileOpenRead(const void* name) {
    auto handle = std::make_unique<FileHandle>();
    handle->path = static_cast<const char*>(name);
    FileError error = FileError::None;
    if (!ReadWholeFile(handle->path, handle->input.bytes, ImagingLimits().fileSize, &error))
        throw EImagingError(std::string("Cannot open file \"") + handle->path + "\": " + FileErrorText(error), error);
    handle->buffered = std::make_unique<TBufferedStream>(handle->input);
    return handle.release();
}

TImagingHandle FileOpenWrite(const void* name) {
    auto handle = std::make_unique<FileHandle>();
    handle->path = static_cast<const char*>(name);
    handle->writing = true;
    if (DirectoryExists(handle->path))
        throw EImagingError(std::string("Cannot create file \"") + handle->path + "\": " +
                                FileErrorText(FileError::NotRegular), FileError::NotRegular);
    handle->buffered = std::make_unique<TBufferedStream>(handle->memory);
    return handle.release();
}

void FileClose(TImagingHandle h) {
    std::unique_ptr<FileHandle> handle(AsFile(h));
    if (!handle) return;
    if (!handle->writing || handle->abandoned) return;
    handle->buffered->Close();
    FileError error = FileError::None;
    if (!WriteWholeFile(handle->path, handle->memory.Data(), &error))
        throw EImagingError(std::string("Cannot write file \"") + handle->path + "\": " + FileErrorText(error), error);
}

bool FileEof(TImagingHandle h) { return AsFile(h)->buffered->Position() >= AsFile(h)->buffered->Size(); }
std::int64_t FileSeek(TImagingHandle h, std::int64_t offset, TSeekMode mode) {
    return AsFile(h)->buffered->Seek(offset, mode);
}
std::int64_t FileTell(TImagingHandle h) { return AsFile(h)->buffered->Position(); }
std::int64_t FileRead(TImagingHandle h, void* buffer, std::int64_t count) { return AsFile(h)->buffered->Read(buffer, count); }
std::int64_t FileWrite(TImagingHandle h, const void* buffer, std::int64_t count) {
    return AsFile(h)->buffered->Write(buffer, count);
}
std::span<const std::uint8_t> FileMemory(TImagingHandle h) {
    if (AsFile(h)->writing) return {};
    return AsFile(h)->input.bytes;
}
bool FileAdopt(TImagingHandle h, std::vector<std::uint8_t>& bytes) {
    FileHandle* file = AsFile(h);
    // Past 2 GiB the buffered stream refuses the write, and so it must still.
    if (!file->writing || file->abandoned || bytes.empty() || bytes.size() > INT32_MAX ||
        !file->memory.Data().empty() || file->buffered->Size() != 0 || file->buffered->Position() != 0)
        return false;
    file->memory.Data() = std::move(bytes);
    bytes.clear();
    file->buffered = std::make_unique<TBufferedStream>(file->memory);
    file->buffered->Seek(file->memory.Size(), smFromBeginning);
    return true;
}

// The stream table: the handle is the caller's stream.
TStream* AsStream(TImagingHandle h) { return static_cast<TStream*>(h); }
TImagingHandle StreamOpen(const void* name) { return const_cast<void*>(name); }
void StreamClose(TImagingHandle) {}
bool StreamEof(TImagingHandle h) { return AsStream(h)->Position() >= AsStream(h)->Size(); }
std::int64_t StreamSeek(TImagingHandle h, std::int64_t offset, TSeekMode mode) { return AsStream(h)->Seek(offset, mode); }
std::int64_t StreamTell(TImagingHandle h) { return AsStream(h)->Position(); }
std::int64_t StreamRead(TImagingHandle h, void* buffer, std::int64_t count) { return AsStream(h)->Read(buffer, count); }
std::int64_t StreamWrite(TImagingHandle h, const void* buffer, std::int64_t count) {
    return AsStream(h)->Write(buffer, count);
}
// Only a plain TMemoryStream: a derived class may read or write otherwise.
TMemoryStream* AsPlainMemoryStream(TImagingHandle h) {
    TStream* s = AsStream(h);
    return s && typeid(*s) == typeid(TMemoryStream) ? static_cast<TMemoryStream*>(s) : nullptr;
}
std::span<const std::uint8_t> StreamMemory(TImagingHandle h) {
    if (TMemoryStream* m = AsPlainMemoryStream(h)) return m->Data();
    return {};
}
bool StreamAdopt(TImagingHandle h, std::vector<std::uint8_t>& bytes) {
    TMemoryStream* m = AsPlainMemoryStream(h);
    if (!m || bytes.empty() || m->Size() != 0 || m->Position() != 0) return false;
    m->Data() = std::move(bytes);
    bytes.clear();
    m->Seek(m->Size(), smFromBeginning);
    return true;
}

const TIOFunctions kFileIO{FileOpenRead, FileOpenWrite, FileClose, FileEof,     FileSeek,
                           FileTell,     FileRead,      FileWrite, FileMemory, FileAdopt};
const TIOFunctions kStreamIO{StreamOpen, StreamOpen, StreamClose, StreamEof,    StreamSeek,
                             StreamTell, StreamRead, StreamWrite, StreamMemory, StreamAdopt};

}  // namespace

const TIOFunctions& FileIO() { return kFileIO; }
const TIOFunctions& StreamIO() { return kStreamIO; }

void AbandonFileWrite(TImagingHandle handle) {
    if (handle) AsFile(handle)->abandoned = true;
}

std::int64_t GetInputSize(const TIOFunctions& io, TImagingHandle handle) {
    const std::int64_t pos = io.Tell(handle);
    io.Seek(handle, 0, smFromEnd);
    const std::int64_t size = io.Tell(handle);
    io.Seek(handle, pos, smFromBeginning);
    return size;
}

}  // namespace velto
