// LZW decoding of a frame's data, the sub-block writer and the two encoders.
#include "gif/GifLzw.h"

#include <algorithm>
#include <cstring>

#include "gif/ColorReduction.h"
#include "gif/GifCodeReader.h"
#include "gif/GifImage.h"
#include "gif/GifInterlace.h"

namespace velto {

namespace gif_detail {

void TGIFCodeReader::Warn(bool underrun) const {
    if (fWarning) fWarning(1, underrun ? sGIFBitBufferUnderrun : sGIFPrematureEnd);
}

}  // namespace gif_detail

namespace {

constexpr int kMaxCodes = 4096;

using CodeReader = gif_detail::TGIFCodeReader;

// Where decoded pixels go: rows in file order, mapped to interlace passes.
class PixelSink {
public:
    PixelSink(std::uint8_t* pixels, int width, int height, bool interlaced)
        : fPixels(pixels), fWidth(static_cast<std::uint64_t>(width)), fHeight(height) {
        // Without interlacing the frame is one long row.
        fRowLength = interlaced ? fWidth : fWidth * static_cast<std::uint64_t>(height);
        fRowsLeft = fRowLength == 0 ? 0 : interlaced ? height : 1;
        fDst = fPixels;
        fLeftInRow = fRowLength;
    }
    bool Full() const { return fRowsLeft == 0; }

    void Put(const std::uint8_t* s, std::uint64_t n) {
        while (n && fRowsLeft) {
            const std::uint64_t k = std::min(n, fLeftInRow);
            std::memcpy(fDst, s, static_cast<std::size_t>(k));
            fDst += k;
            s += k;
            n -= k;
            fLeftInRow -= k;
            if (fLeftInRow == 0) NextRow();
        }
    }

private:
    void NextRow() {
        if (--fRowsLeft == 0) return;
        fRow = gif_detail::NextInterlacedRow(fRow, fPass, fHeight);
        fDst = fPixels + static_cast<std::uint64_t>(fRow) * fWidth;
        fLeftInRow = fRowLength;
    }

    std::uint8_t* fPixels;
    std::uint64_t fWidth;
    int fHeight;
    std::uint64_t fRowLength;
    int fRowsLeft;
    int fRow = 0, fPass = 0;
    std::uint8_t* fDst;
    std::uint64_t fLeftInRow;
};

}  // namespace

void DecodeLZW(ByteReader& stream, std::uint8_t* pixels, int width, int height, bool interlaced,
               const TGIFCodecWarning& warning) {
    std::uint8_t minCodeSize = 0;
    if (!stream.u8(minCodeSize)) return;  // no data at all: the pixels keep their fill
    // Beyond 11 the first table entries would not fit the 4096-entry tables.
    if (minCodeSize == 0 || minCodeSize > 11) throw GIFException(sGIFBadData);

    CodeReader codes(stream.rest(), warning);
    PixelSink sink(pixels, width, height, interlaced);
    const int clearCode = 1 << minCodeSize, endCode = clearCode + 1;
    std::array<std::uint16_t, kMaxCodes> prefix{};
    std::array<std::uint8_t, kMaxCodes> suffix{};
    // A string is at most one entry per table slot plus the repeated first pixel.
    std::array<std::uint8_t, kMaxCodes + 2> stack;
    std::uint8_t* const stackEnd = stack.data() + stack.size();
    int codeSize = 0, maxCode = 0, maxCodeSize = 0, oldCode = 0;
    std::uint8_t firstCode = 0;
    bool cleared = true;  // a stream starts as if it began with a clear code

    while (!sink.Full()) {
        int code = clearCode;
        if (!cleared) {
            code = codes.Read(codeSize);
            if (code < 0) break;
        }
        if (code == clearCode) {
            cleared = false;
            for (int i = 0; i < clearCode; ++i) {
                prefix[static_cast<std::size_t>(i)] = 0;
                suffix[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
            }
            std::fill(prefix.begin() + clearCode, prefix.end(), 0);
            std::fill(suffix.begin() + clearCode, suffix.end(), 0);
            codeSize = minCodeSize + 1;
            maxCodeSize = 2 * clearCode;
            maxCode = clearCode + 2;
            do code = codes.Read(codeSize);
            while (code == clearCode);
            // After a clear only a plain pixel value can follow; the end code or
            // a code the table cannot hold yet ends the data.
            if (code < 0 || code >= clearCode) break;
            firstCode = static_cast<std::uint8_t>(code);
            oldCode = code;
            sink.Put(&firstCode, 1);
            continue;
        }
        if (code == endCode) break;

        const int inCode = code;
        std::uint8_t* sp = stackEnd;
        if (code >= maxCode) {
            *--sp = firstCode;
            code = oldCode;
        }
        // Codes above the table's end become links that may point forward: a
        // chain longer than the table has a loop.
        for (int steps = 0; code >= clearCode; ++steps) {
            if (steps == kMaxCodes) throw GIFException(sGIFCircularTable);
            *--sp = suffix[static_cast<std::size_t>(code)];
            code = prefix[static_cast<std::size_t>(code)];
        }
        firstCode = suffix[static_cast<std::size_t>(code)];
        *--sp = firstCode;
        if (maxCode < kMaxCodes) {
            prefix[static_cast<std::size_t>(maxCode)] = static_cast<std::uint16_t>(oldCode);
            suffix[static_cast<std::size_t>(maxCode)] = firstCode;
            if (++maxCode >= maxCodeSize && maxCodeSize < kMaxCodes) {
                maxCodeSize *= 2;
                ++codeSize;
            }
        }
        oldCode = inCode;
        sink.Put(sp, static_cast<std::uint64_t>(stackEnd - sp));
    }
    // Whatever ended the pixels, the frame's data end at the terminator.
    codes.SkipToTerminator();
    stream.skip(codes.Consumed());
}

// ---------------------------------------------------------------------------

void TGIFWriter::Write(const std::uint8_t* data, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) WriteByte(data[i]);
}

void TGIFWriter::FlushBuffer() {
    if (fFill <= 1) return;
    fBuffer[0] = static_cast<std::uint8_t>(fFill - 1);
    fStream->bytes(fBuffer.data(), static_cast<std::size_t>(fFill));
    fFill = 1;
}

void THashTable::Insert(std::uint32_t key, int code) {
    int h = Hash(key);
    while (fSlots[static_cast<std::size_t>(h)] != 0xFFFFFFFFu) h = (h + 1) & (kSize - 1);
    fSlots[static_cast<std::size_t>(h)] = (key << 12) | static_cast<std::uint32_t>(code);
}

int THashTable::Lookup(std::uint32_t key) const {
    for (int h = Hash(key);; h = (h + 1) & (kSize - 1)) {
        const std::uint32_t slot = fSlots[static_cast<std::size_t>(h)];
        if (slot == 0xFFFFFFFFu) return -1;
        if ((slot >> 12) == key) return static_cast<int>(slot & 0xFFF);
    }
}

// ---------------------------------------------------------------------------

void TGIFEncoder::Encode(ByteWriter& stream, int bitsPerPixel, int colorCount, const std::uint8_t* pixels,
                         bool interlace, int height, int width) {
    ColorCount = colorCount;
    InitialBitsPerPixel = std::max(2, bitsPerPixel);
    InitCodeSize = InitialBitsPerPixel + 1;
    stream.u8(static_cast<std::uint8_t>(InitialBitsPerPixel));
    BitsPerCode = InitCodeSize;
    MaxCode = (1 << BitsPerCode) - 1;
    ClearCode = 1 << InitialBitsPerPixel;
    EOFCode = ClearCode + 1;
    BaseCode = EOFCode + 1;
    fBucket = 0;
    fBucketBits = 0;
    fPixels = pixels;
    fWidth = width;
    fHeight = height;
    fInterlace = interlace;
    fLeftInPass = interlace ? static_cast<std::uint64_t>(width) : static_cast<std::uint64_t>(width) * height;
    fRow = fColumn = fPass = 0;
    fDone = fLeftInPass == 0;
    {
        TGIFWriter writer(stream);
        fWriter = &writer;
        if (pixels && width >= 1 && height >= 1) Compress();
        Output(EOFCode);
        fWriter = nullptr;
    }
    stream.u8(0);
}

void TGIFEncoder::Output(int code) { PutCode(code); }

void TGIFEncoder::Clear() {
    JustCleared = true;
    Output(ClearCode);
}

bool TGIFEncoder::NextPixel(int& value) {
    if (fDone) return false;
    value = fPixels[static_cast<std::uint64_t>(fRow) * static_cast<std::uint64_t>(fWidth) +
                    static_cast<std::uint64_t>(fColumn)];
    if (value >= ColorCount) throw GIFException(sGIFColorNotInTable);
    if (--fLeftInPass > 0) {
        if (++fColumn == fWidth) {  // only without interlacing: one pass over the whole frame
            fColumn = 0;
            ++fRow;
        }
        return true;
    }
    if (!fInterlace) {
        fDone = true;
        return true;
    }
    // The next row of the interlace passes.
    fColumn = 0;
    fRow = gif_detail::NextInterlacedRow(fRow, fPass, fHeight);
    if (fRow >= fHeight) fDone = true;
    else fLeftInPass = static_cast<std::uint64_t>(fWidth);
    return true;
}

const std::uint8_t* TGIFEncoder::NextRow() {
    if (fDone) return nullptr;
    const std::uint8_t* row = fPixels + static_cast<std::uint64_t>(fRow) * static_cast<std::uint64_t>(fWidth);
    if (!fInterlace) {
        if (++fRow == fHeight) fDone = true;
        return row;
    }
    fRow = gif_detail::NextInterlacedRow(fRow, fPass, fHeight);
    if (fRow >= fHeight) fDone = true;
    return row;
}

// ---------------------------------------------------------------------------

void TLZWEncoder::Output(int code) {
    PutCode(code);
    if (JustCleared) {
        BitsPerCode = InitCodeSize;
        MaxCode = (1 << BitsPerCode) - 1;
        JustCleared = false;
    } else if (fFreeEntry > MaxCode) {
        ++BitsPerCode;
        MaxCode = BitsPerCode == 12 ? kMaxCodes : (1 << BitsPerCode) - 1;
    }
}

void TLZWEncoder::Clear() {
    fHash.Clear();
    fFreeEntry = ClearCode + 2;
    TGIFEncoder::Clear();
}

// Row by row: the codes, the dictionary and the error at the first pixel
// beyond the colours are those of the pixel-by-pixel reading.
void TLZWEncoder::Compress() {
    Clear();
    const int width = RowWidth(), colors = ColorCount;
    int prefix = -1;
    while (const std::uint8_t* row = NextRow()) {
        for (int i = 0; i < width; ++i) {
            const int c = row[i];
            if (c >= colors) throw GIFException(sGIFColorNotInTable);
            if (prefix < 0) {
                prefix = c;
                continue;
            }
            const std::uint32_t key = static_cast<std::uint32_t>(prefix) * 256u + static_cast<std::uint32_t>(c);
            const int code = fHash.Lookup(key);
            if (code >= 0) {
                prefix = code;
                continue;
            }
            Output(prefix);
            prefix = c;
            if (fFreeEntry >= kMaxCodes - 1) {
                Clear();
            } else {
                fHash.Insert(key, fFreeEntry);
                ++fFreeEntry;
            }
        }
    }
    if (prefix >= 0) Output(prefix);
}

// ---------------------------------------------------------------------------

int SquareRootFloor(int x) {
    if (x < 2) return x;
    int r = 1;
    for (int v = x; v; v >>= 2) r <<= 1;
    for (;;) {
        const int next = (x / r + r) / 2;
        if (next == r || next == r + 1) return r;
        r = next;
    }
}

// Codes needed to send a run of n pixels by building runs of 1, 2, ..., k.
int TRLEEncoder::RunCodeCount(int n, int k) {
    std::int64_t left = n, cost = 0;
    const std::int64_t perRep = static_cast<std::int64_t>(k) * (k + 1) / 2;
    while (left >= perRep) {
        cost += k;
        left -= perRep;
    }
    if (left > 0) {
        std::int64_t r = SquareRootFloor(static_cast<int>(left));
        while (r * (r + 1) >= 2 * left) --r;
        while (r * (r + 1) < 2 * left) ++r;
        cost += r;
    }
    return static_cast<int>(std::min<std::int64_t>(cost, 0x7FFFFFFF));
}

void TRLEEncoder::Clear() {
    fWidenAt = fWidenStart;
    fClearAt = fClearStart;
    fCodesOut = 0;
    fLongestRun = 0;
    TGIFEncoder::Clear();
    BitsPerCode = InitCodeSize;
}

void TRLEEncoder::EmitCode(int code) {
    JustCleared = false;
    Output(code);
    ++fCodesOut;
    if (fCodesOut >= fWidenAt) {
        ++BitsPerCode;
        fWidenAt += 1 << (BitsPerCode - 1);
    }
    if (fCodesOut >= fClearAt) Clear();
}

void TRLEEncoder::Compress() {
    fWidenStart = ClearCode - 1;
    fClearStart = InitialBitsPerPixel >= 4 ? fWidenStart - 1 : 9;
    fCodeBudget = 4095 - BaseCode;
    Clear();
    fRunValue = -1;
    int count = 0, c = 0;
    while (NextPixel(c)) {
        if (count > 0 && c != fRunValue) {
            EndRun(count);
            count = 0;
        }
        if (c == fRunValue) {
            ++count;
        } else {
            fRunValue = c;
            count = 1;
        }
    }
    if (count > 0) EndRun(count);
}

void TRLEEncoder::EndRun(int n) {
    if (n == 1) EmitCode(fRunValue);
    else if (JustCleared) EndRunAfterClear(n);
    else if (fLongestRun >= 2 && fRunTableValue == fRunValue) EndRunFromTable(n);
    else EndRunByClearOrRepeat(n);
}

void TRLEEncoder::EndRunAfterClear(int n) {
    fClearAt = fCodeBudget;
    fRunTableValue = fRunValue;
    int k = 1;
    while (n > 0) {
        if (k == 1) {
            fLongestRun = 1;
            EmitCode(fRunValue);
            --n;
        } else if (n >= k) {
            fLongestRun = k;
            EmitCode(BaseCode + k - 2);
            n -= k;
        } else {
            ++fLongestRun;
            EmitCode(n == 1 ? fRunValue : BaseCode + n - 2);
            n = 0;
        }
        k = fCodesOut == 0 ? 1 : k + 1;
    }
    fClearAt = fClearStart;
    if (fCodesOut >= fClearAt) Clear();
}

void TRLEEncoder::EndRunByClearOrRepeat(int n) {
    if (1 + RunCodeCount(n, fCodeBudget) < n) {
        Clear();
        EndRunAfterClear(n);
    } else {
        for (; n > 0; --n) EmitCode(fRunValue);
    }
}

void TRLEEncoder::EndRunFromTable(int n) {
    int reps = n / fLongestRun;
    int left = n % fLongestRun;
    int leftCodes = left > 0 ? 1 : 0;
    if (fCodesOut + reps + leftCodes > fCodeBudget) {
        reps = fCodeBudget - fCodesOut;
        left = n - reps * fLongestRun;
        leftCodes = 1 + RunCodeCount(left, fCodeBudget);
    }
    if (1 + RunCodeCount(n, fCodeBudget) < reps + leftCodes) {
        Clear();
        EndRunAfterClear(n);
        return;
    }
    fClearAt = fCodeBudget;
    for (; reps > 0; --reps) EmitCode(BaseCode + fLongestRun - 2);
    if (left > 0) {
        if (JustCleared) EndRunAfterClear(left);
        else EmitCode(left == 1 ? fRunValue : BaseCode + left - 2);
    }
    fClearAt = fClearStart;
    if (fCodesOut >= fClearAt) Clear();
}

}  // namespace velto
