// The rewrite that ends an update: the tree laid out as a new resource
// section, everything behind the old section moved by the change of its raw
// size, every header field that depends on either fixed, and the checksum
// recomputed. The new file is streamed to a sink (the file writer's temporary
// beside the original, renamed over it at the end, or memory); header fields
// are changed as patches on the stream, so the original bytes are never
// modified.
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/ByteReader.h"
#include "platform/FileWriter.h"
#include "resources/ResourceUpdate.h"

namespace velto {

namespace testhooks {
namespace {
thread_local int failStep = 0;
thread_local int failExit = 0;
}  // namespace
void FailCommitAfter(int step, int exitCode) {
    failStep = step;
    failExit = exitCode;
}
}  // namespace testhooks

namespace {

bool StepFails(int step) {
    if (testhooks::failStep != step) return false;
    if (testhooks::failExit) ::_exit(testhooks::failExit);
    SetLastError(kErrorWriteFault, FileError::FromErrno(EIO));
    return true;
}

class Sink {
public:
    virtual ~Sink() = default;
    virtual bool Write(std::span<const std::uint8_t> data) = 0;
    virtual bool WriteAt(std::uint64_t at, std::span<const std::uint8_t> data) = 0;
};

class MemorySink final : public Sink {
public:
    explicit MemorySink(std::vector<std::uint8_t>& out) : out_(out) { out_.clear(); }
    bool Write(std::span<const std::uint8_t> data) override {
        out_.insert(out_.end(), data.begin(), data.end());
        return true;
    }
    bool WriteAt(std::uint64_t at, std::span<const std::uint8_t> data) override {
        if (at > out_.size() || data.size() > out_.size() - at) return false;
        std::copy(data.begin(), data.end(), out_.begin() + static_cast<std::ptrdiff_t>(at));
        return true;
    }

private:
    std::vector<std::uint8_t>& out_;
};

// The new file through the one file writer: a temporary beside the target,
// renamed over it by Replace. Until then the target is untouched, and a sink
// that is not renamed removes its file.
class FileSink final : public Sink {
public:
    FileSink(const std::string& target, const WriteOptions& options) : writer_(target, options) {
        if (!writer_.ok())
            SetLastError(writer_.error() == FileError::NotFound ? kErrorFileNotFound : kErrorAccessDenied,
                         writer_.error());
    }
    bool Ok() const { return writer_.ok(); }

    bool Write(std::span<const std::uint8_t> data) override { return writer_.Write(data) || WriteFailed(); }
    bool WriteAt(std::uint64_t at, std::span<const std::uint8_t> data) override {
        return writer_.WriteAt(at, data) || WriteFailed();
    }

    // Gives the new file the replaced one's permission bits, owner and group,
    // flushes it and renames it over the target.
    bool Replace() {
        if (!writer_.Flush()) return WriteFailed();
        if (StepFails(testhooks::kCommitFlushed)) return false;
        if (!writer_.Commit()) {
            SetLastError(kErrorAccessDenied, writer_.error());
            return false;
        }
        return true;
    }

private:
    bool WriteFailed() {
        SetLastError(kErrorWriteFault, writer_.error());
        return false;
    }
    FileWriter writer_;
};

struct Patch {
    std::uint64_t at;  // offset in the new file
    std::uint32_t value;
};

// Buffers the new file on its way to the sink, applies the patches and sums
// the checksum over the final bytes.
class Output {
public:
    Output(Sink& sink, std::vector<Patch> patches) : sink_(sink), patches_(std::move(patches)) {
        buf_.reserve(kChunk);
    }

    bool Bytes(std::span<const std::uint8_t> data) {
        while (!data.empty()) {
            const std::size_t n = std::min(data.size(), kChunk - buf_.size());
            buf_.insert(buf_.end(), data.begin(), data.begin() + static_cast<std::ptrdiff_t>(n));
            data = data.subspan(n);
            if (buf_.size() == kChunk && !Flush()) return false;
        }
        return true;
    }
    bool Zeros(std::uint64_t n) {
        static const std::uint8_t zeros[4096] = {};
        while (n) {
            const std::size_t k = static_cast<std::size_t>(std::min<std::uint64_t>(n, sizeof zeros));
            if (!Bytes({zeros, k})) return false;
            n -= k;
        }
        return true;
    }
    bool Flush() {
        for (const Patch& p : patches_)
            for (int i = 0; i < 4; ++i)
                if (p.at + i >= pos_ && p.at + i < pos_ + buf_.size())
                    buf_[p.at + i - pos_] = static_cast<std::uint8_t>(p.value >> (8 * i));
        sum_.Update(buf_);
        if (!buf_.empty() && !sink_.Write(buf_)) return false;
        pos_ += buf_.size();
        buf_.clear();
        return true;
    }
    std::uint64_t Pos() const { return pos_ + buf_.size(); }
    std::uint32_t Checksum() const { return sum_.Finish(); }

private:
    static constexpr std::size_t kChunk = 1 << 20;
    Sink& sink_;
    std::vector<Patch> patches_;
    std::vector<std::uint8_t> buf_;
    std::uint64_t pos_ = 0;
    PeChecksum sum_;
};

std::uint32_t Read32(const std::vector<std::uint8_t>& v, std::uint64_t at) {
    std::uint32_t x = 0;
    ByteReader(v).sub(at, 4)->u32le(x);
    return x;
}

// Where the new file differs from the old one.
struct Plan {
    std::uint64_t rawStart = 0;   // the resource section's raw data, unchanged
    std::uint64_t oldRawEnd = 0;  // end of its old (aligned) raw data: the tail starts here
    std::uint64_t newRaw = 0;     // R
    std::int64_t delta = 0;       // change of every file offset from the tail on
    TResourceLayout layout;
    std::uint64_t T = 0;
    std::vector<Patch> patches;
};

// Positions past the old raw data move with the tail.
std::uint64_t NewOffset(const Plan& plan, std::uint64_t old) {
    return old >= plan.oldRawEnd ? static_cast<std::uint64_t>(static_cast<std::int64_t>(old) + plan.delta) : old;
}

bool MakePlan(const TResourceUpdateHandle& h, Plan& plan) {
    const TPeHeaders& pe = h.Headers;
    const TPeSection& rs = pe.Sections[h.ResourceSection];
    const std::uint64_t fileSize = h.View.size();
    const TResourceMeasure m = MeasureResourceTree(*h.Root);
    plan.T = m.T();
    if (plan.T > 0x7FFFFFFF) {
        SetLastError(kErrorFileTooLarge);
        return false;
    }
    plan.rawStart = rs.PointerToRawData;
    const std::uint64_t oldRaw = AlignUp(rs.SizeOfRawData, pe.FileAlignment);
    plan.oldRawEnd = plan.rawStart + oldRaw;
    plan.newRaw = AlignUp(plan.T, pe.FileAlignment);
    plan.delta = static_cast<std::int64_t>(plan.newRaw) - static_cast<std::int64_t>(oldRaw);
    const std::uint64_t tail = fileSize > plan.oldRawEnd ? fileSize - plan.oldRawEnd : 0;
    if (plan.rawStart + plan.newRaw + tail > h.Limits.executableSize) {
        SetLastError(kErrorFileTooLarge);
        return false;
    }
    // The virtual move comes from the real extents, old and new.
    const std::uint32_t vr = rs.VirtualAddress;
    const std::uint64_t oldVirtual =
        AlignUp(std::max<std::uint64_t>(rs.VirtualExtent(), pe.Dirs[kDirResource].Size), pe.SectionAlignment);
    const std::int64_t V = static_cast<std::int64_t>(AlignUp(plan.T, pe.SectionAlignment)) -
                           static_cast<std::int64_t>(oldVirtual);
    // Code and data behind the resources are referred to by address; only
    // discardable sections (relocations, debug information) may move.
    if (V != 0)
        for (const TPeSection& s : pe.Sections)
            if (s.VirtualAddress > vr && !(s.Characteristics & kScnMemDiscardable)) {
                SetLastError(kErrorNotSupported);
                return false;
            }

    auto& P = plan.patches;
    auto add = [](std::uint32_t v, std::int64_t d) { return static_cast<std::uint32_t>(static_cast<std::int64_t>(v) + d); };
    // File pointers behind the section move with it; one past the end of the
    // file points at nothing and is left as it is.
    auto shiftFile = [&](std::uint32_t v) {
        return v && v >= plan.oldRawEnd && v <= fileSize ? add(v, plan.delta) : v;
    };
    auto shiftVirtual = [&](std::uint32_t v) { return v > vr ? add(v, V) : v; };

    P.push_back({pe.SizeOfInitializedDataOffset(), add(pe.SizeOfInitializedData, plan.delta)});
    P.push_back({pe.CheckSumOffset(), 0});
    P.push_back({pe.DirOffset(kDirResource) + 4, static_cast<std::uint32_t>(plan.T)});
    std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges;  // new virtual ranges
    std::uint64_t imageEnd = 0;
    for (std::size_t i = 0; i < pe.Sections.size(); ++i) {
        const TPeSection& s = pe.Sections[i];
        const std::uint64_t at = s.HeaderOffset;
        std::uint64_t va = s.VirtualAddress, extent = s.VirtualExtent();
        if (i == h.ResourceSection) {
            P.push_back({at + 8, static_cast<std::uint32_t>(plan.T)});
            P.push_back({at + 16, static_cast<std::uint32_t>(plan.newRaw)});
            extent = plan.T;
        } else {
            va = shiftVirtual(s.VirtualAddress);
            P.push_back({at + 12, static_cast<std::uint32_t>(va)});
            P.push_back({at + 20, shiftFile(s.PointerToRawData)});
            P.push_back({at + 24, shiftFile(s.PointerToRelocations)});
            P.push_back({at + 28, shiftFile(s.PointerToLinenumbers)});
        }
        ranges.emplace_back(va, va + extent);
        imageEnd = std::max(imageEnd, AlignUp(va + extent, pe.SectionAlignment));
    }
    std::sort(ranges.begin(), ranges.end());
    for (std::size_t i = 1; i < ranges.size(); ++i)
        if (ranges[i].first < ranges[i - 1].second) {
            SetLastError(kErrorInvalidData);
            return false;
        }
    const std::uint64_t sizeOfImage = std::max<std::uint64_t>(add(pe.SizeOfImage, V), imageEnd);
    if (sizeOfImage > 0xFFFFFFFF) {
        SetLastError(kErrorInvalidData);
        return false;
    }
    P.push_back({pe.SizeOfImageOffset(), static_cast<std::uint32_t>(sizeOfImage)});
    for (std::uint32_t d = 0; d < pe.NumberOfRvaAndSizes; ++d) {
        if (d == kDirResource) continue;
        const std::uint32_t va = pe.Dirs[d].VirtualAddress;
        P.push_back({pe.DirOffset(static_cast<int>(d)), d == kDirCertificate ? shiftFile(va) : shiftVirtual(va)});
    }
    P.push_back({pe.SymbolTableFieldOffset(), shiftFile(pe.PointerToSymbolTable)});

    // Debug entries: Size / 28 of them, or Size itself when it is not a
    // multiple of 28 (an entry count), never past their section or the file.
    const TPeDataDirectory dbg = pe.NumberOfRvaAndSizes > kDirDebug ? pe.Dirs[kDirDebug] : TPeDataDirectory{};
    if (dbg.Size && dbg.VirtualAddress)
        if (const TPeSection* s = pe.SectionOfRva(dbg.VirtualAddress)) {
            const std::uint64_t at = s->PointerToRawData + (dbg.VirtualAddress - s->VirtualAddress);
            const std::uint64_t end = std::min<std::uint64_t>(s->PointerToRawData + std::uint64_t{s->SizeOfRawData}, fileSize);
            const std::uint64_t room = at < end ? (end - at) / 28 : 0;
            std::uint64_t count = dbg.Size % 28 == 0 ? dbg.Size / 28 : dbg.Size;
            if (count > room) count = std::min<std::uint64_t>(dbg.Size / 28, room);
            for (std::uint64_t k = 0; k < count; ++k) {
                const std::uint64_t e = at + 28 * k;
                const std::uint32_t address = Read32(h.View, e + 20), pointer = Read32(h.View, e + 24);
                P.push_back({NewOffset(plan, e + 20), address ? shiftVirtual(address) : 0});
                P.push_back({NewOffset(plan, e + 24), shiftFile(pointer)});
            }
        }
    return true;
}

bool WriteLeaf(Output& out, const TResourceNode& leaf) {
    if (leaf.MappedData) {
        if (!out.Bytes({leaf.MappedData, leaf.Size})) return false;
    } else if (!leaf.NewData.empty() || leaf.Size == 0) {
        if (!out.Bytes(leaf.NewData)) return false;
    } else {
        // Parked data must be there in full: a leaf is never written as zeros.
        if (leaf.ParkFile < 0) {
            SetLastError(kErrorInvalidData);
            return false;
        }
        std::vector<std::uint8_t> chunk(std::min<std::uint32_t>(leaf.Size, 1u << 20));
        for (std::uint64_t done = 0; done < leaf.Size;) {
            const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), leaf.Size - done));
            const ssize_t r = ::pread(leaf.ParkFile, chunk.data(), want, static_cast<off_t>(done));
            if (r != static_cast<ssize_t>(want)) {
                SetLastError(kErrorInvalidData);
                return false;
            }
            if (!out.Bytes({chunk.data(), want})) return false;
            done += want;
        }
    }
    return out.Zeros(AlignUp(leaf.Size, 4) - leaf.Size);
}

bool Commit(TResourceUpdateHandle& h, Sink& sink) {
    Plan plan;
    if (!MakePlan(h, plan)) return false;
    const TPeSection& rs = h.Headers.Sections[h.ResourceSection];
    std::optional<TResourceLayout> layout = WriteResourceTree(*h.Root, rs.VirtualAddress);
    if (!layout) return false;
    plan.layout = std::move(*layout);
    const std::uint64_t checksumAt = h.Headers.CheckSumOffset();
    Output out(sink, std::move(plan.patches));
    const std::span<const std::uint8_t> view(h.View);
    if (!out.Bytes(view.first(plan.rawStart)) || StepFails(testhooks::kCommitHead)) return false;
    if (!out.Bytes(plan.layout.Head)) return false;
    for (const TResourceNode* leaf : plan.layout.Leaves)
        if (!WriteLeaf(out, *leaf)) return false;
    if (!out.Zeros(plan.rawStart + plan.newRaw - out.Pos()) || StepFails(testhooks::kCommitSection)) return false;
    if (plan.oldRawEnd < view.size() && !out.Bytes(view.subspan(plan.oldRawEnd))) return false;
    if (!out.Flush() || StepFails(testhooks::kCommitTail)) return false;
    const std::uint32_t sum = out.Checksum();
    const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(sum), static_cast<std::uint8_t>(sum >> 8),
                                   static_cast<std::uint8_t>(sum >> 16), static_cast<std::uint8_t>(sum >> 24)};
    return sink.WriteAt(checksumAt, bytes) && !StepFails(testhooks::kCommitChecksum);
}

// The rewritten file replaces target. What killed saves parked in the
// temporary folder goes first (the writer sweeps the target's folder).
bool CommitToFile(TResourceUpdateHandle& h, const std::string& target) {
    RemoveStaleParkedData();
    // The update holds the file's save lock: the writer works under it.
    WriteOptions options;
    if (target == h.FileName) options.lock = &h.Lock;
    FileSink sink(target, options);
    return sink.Ok() && !StepFails(testhooks::kCommitCreated) && Commit(h, sink) && sink.Replace();
}

// Frees the handle, keeping the outcome's last error with its words.
bool Ended(TResourceUpdateHandle* handle, bool ok) {
    const TLastError why = GetLastErrorState();
    delete handle;
    if (ok) SetLastError(kErrorSuccess);
    else SetLastError(why);
    return ok;
}

}  // namespace

bool EndUpdateResourceFile(TResourceUpdateHandle* handle, bool discard) {
    if (!handle) {
        SetLastError(kErrorInvalidHandle);
        return false;
    }
    bool ok = true;
    if (!discard) {
        if (handle->File < 0) {
            SetLastError(kErrorInvalidHandle);
            ok = false;
        } else {
            ok = CommitToFile(*handle, handle->FileName);
        }
    }
    return Ended(handle, ok);
}

bool CommitResourceUpdateToFile(TResourceUpdateHandle* handle, const std::string& target) {
    if (!handle) {
        SetLastError(kErrorInvalidHandle);
        return false;
    }
    return Ended(handle, CommitToFile(*handle, target));
}

bool CommitResourceUpdateToMemory(TResourceUpdateHandle* handle, std::vector<std::uint8_t>& out) {
    if (!handle) {
        SetLastError(kErrorInvalidHandle);
        return false;
    }
    MemorySink sink(out);
    const bool ok = Commit(*handle, sink);
    if (!ok) out.clear();
    return Ended(handle, ok);
}

}  // namespace velto
