#pragma once
// A frame's pixel data: variable-width LZW codes packed into data sub-blocks
// (a length byte 1..255 and that many bytes, ended by a length byte 0).
//
// The decoder reads the minimum code size byte and the sub-blocks, pulling as
// many sub-blocks as a code needs; after the frame's pixels it always moves to
// the block terminator, so data left over never reads as blocks. Two encoders
// write valid code streams: an LZW compressor with a hash table and a
// run-length coder that only emits codes a decoder has already built.
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/ByteReader.h"
#include "platform/ByteWriter.h"

namespace velto {

// severity, message
using TGIFCodecWarning = std::function<void(int severity, const std::string& message)>;

// Decodes width x height pixels (row-major, top row first) into `pixels`,
// which holds the fill value for pixels the data never reach. Interlaced data
// fill rows 0, 8, ...; 4, 12, ...; 2, 6, ...; 1, 3, .... A minimum code size
// of 0 or above 11 raises "Invalid GIF data", a chain of table entries that
// does not end raises "Circular decoder table entry"; data that end early
// leave the remaining pixels as they are.
void DecodeLZW(ByteReader& stream, std::uint8_t* pixels, int width, int height, bool interlaced,
               const TGIFCodecWarning& warning);

// Writes the sub-blocks of a frame's data: every full block of 255 bytes as
// it fills, the partial one when flushed or destroyed.
class TGIFWriter {
public:
    explicit TGIFWriter(ByteWriter& stream) : fStream(&stream) {}
    ~TGIFWriter() { FlushBuffer(); }
    TGIFWriter(const TGIFWriter&) = delete;
    TGIFWriter& operator=(const TGIFWriter&) = delete;

    void Write(const std::uint8_t* data, std::size_t count);
    void WriteByte(std::uint8_t b) {
        fBuffer[fFill++] = b;
        if (fFill == 256) FlushBuffer();
    }
    void FlushBuffer();

private:
    ByteWriter* fStream;
    std::array<std::uint8_t, 256> fBuffer{};  // [0] = length
    int fFill = 1;
};

// 16384 slots of (key << 12) | code, found by a multiplicative hash and the
// slots after it; all bits set marks a free slot. At most 4096 codes fill a
// quarter of it, so a search ends after a slot or two.
class THashTable {
public:
    static constexpr int kSize = 16384;
    THashTable() { Clear(); }
    void Clear() { fSlots.fill(0xFFFFFFFFu); }
    void Insert(std::uint32_t key, int code);
    // The code, or -1.
    int Lookup(std::uint32_t key) const;

private:
    static int Hash(std::uint32_t key) { return static_cast<int>((key * 0x9E3779B1u) >> 18); }
    std::array<std::uint32_t, kSize> fSlots;
};

class TGIFEncoder {
public:
    virtual ~TGIFEncoder() = default;
    // Writes the minimum code size byte (bitsPerPixel, at least 2), the data
    // sub-blocks and the terminator. Every pixel must be below colorCount
    // ("Color not in color table").
    void Encode(ByteWriter& stream, int bitsPerPixel, int colorCount, const std::uint8_t* pixels, bool interlace,
                int height, int width);

protected:
    virtual void Output(int code);
    // Output's packing of a code into bytes, for encoders calling it per code.
    void PutCode(int code) {
        fBucket &= (1u << fBucketBits) - 1;
        fBucket |= static_cast<std::uint32_t>(code) << fBucketBits;
        fBucketBits += BitsPerCode;
        for (; fBucketBits >= 8; fBucketBits -= 8, fBucket >>= 8) fWriter->WriteByte(static_cast<std::uint8_t>(fBucket));
        if (code == EOFCode && fBucketBits > 0) {
            fWriter->WriteByte(static_cast<std::uint8_t>(fBucket));
            fBucket = 0;
            fBucketBits = 0;
        }
    }
    virtual void Clear();
    virtual void Compress() = 0;
    // The next pixel in file order (interlace passes applied); false past the last.
    bool NextPixel(int& value);
    // The next whole row in file order (interlace passes applied), or null
    // past the last; a frame is read either by pixels or by rows.
    const std::uint8_t* NextRow();
    int RowWidth() const { return fWidth; }

    int ColorCount = 0;
    int InitialBitsPerPixel = 2;
    int InitCodeSize = 3;
    int BitsPerCode = 3;
    int MaxCode = 7;
    int ClearCode = 4;
    int EOFCode = 5;
    int BaseCode = 6;
    bool JustCleared = false;

private:
    std::uint32_t fBucket = 0;
    int fBucketBits = 0;
    TGIFWriter* fWriter = nullptr;
    const std::uint8_t* fPixels = nullptr;
    int fWidth = 0, fHeight = 0;
    bool fInterlace = false;
    std::uint64_t fLeftInPass = 0;
    int fRow = 0, fColumn = 0, fPass = 0;
    bool fDone = false;
};

class TLZWEncoder final : public TGIFEncoder {
protected:
    void Output(int code) override;
    void Clear() override;
    void Compress() override;

private:
    int fFreeEntry = 0;
    THashTable fHash;
};

// Run-length coding: single pixels and runs of one value whose codes the
// decoder's table already holds, with clears where starting a table again is cheaper.
class TRLEEncoder final : public TGIFEncoder {
protected:
    void Clear() override;
    void Compress() override;

private:
    void EmitCode(int code);
    void EndRun(int n);
    void EndRunAfterClear(int n);
    void EndRunByClearOrRepeat(int n);
    void EndRunFromTable(int n);
    static int RunCodeCount(int n, int k);

    int fCodeBudget = 0, fWidenStart = 0, fClearStart = 0;
    int fRunValue = -1, fLongestRun = 0, fRunTableValue = 0;
    int fCodesOut = 0, fClearAt = 0, fWidenAt = 0;
};

// Floor of the square root (Newton steps from a power of two).
int SquareRootFloor(int x);

}  // namespace velto
