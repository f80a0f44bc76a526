#pragma once
// Reading the LZW codes of a frame's data sub-blocks, shared by the decoders
// of GIF data (this library's and the image library's).
#include <algorithm>
#include <cstdint>
#include <span>

#include "gif/GifLzw.h"

namespace velto::gif_detail {

// Codes read from the sub-blocks of one frame, least significant bit first.
// A code may span any number of sub-blocks.
class TGIFCodeReader {
public:
    TGIFCodeReader(std::span<const std::uint8_t> data, const TGIFCodecWarning& warning)
        : fData(data.data()), fSize(data.size()), fWarning(warning) {}

    // The next code of `size` bits, or -1 when the data end first.
    int Read(int size) {
        if (fBits < size && !Fill(size)) return -1;
        const int code = static_cast<int>(fAcc & ((1u << size) - 1));
        fAcc >>= size;
        fBits -= size;
        return code;
    }

    // Moves past the rest of the data up to and including the block terminator
    // (or to the end of the stream).
    void SkipToTerminator() {
        fPos += fBlockLeft;
        fBlockLeft = 0;
        while (!fTerminated && fPos < fSize) {
            const std::uint8_t len = fData[fPos++];
            if (len == 0) fTerminated = true;
            fPos += std::min<std::uint64_t>(len, fSize - fPos);
        }
    }

    std::uint64_t Consumed() const { return fPos; }

private:
    // Tops up the bits to `size` at least; false when the data end first.
    bool Fill(int size) {
        while (fBits < size) {
            if (fBlockLeft == 0 && !NextBlock()) {
                // Codes ran out at the terminator, before the end code.
                if (fTerminated && !fWarnedUnderrun) {
                    fWarnedUnderrun = true;
                    Warn(true);
                }
                return false;
            }
            std::uint64_t take = std::min<std::uint64_t>(fBlockLeft, static_cast<unsigned>(64 - fBits) >> 3);
            const std::uint8_t* p = fData + fPos;
            fPos += take;
            fBlockLeft -= take;
            for (; take; --take, fBits += 8) fAcc |= static_cast<std::uint64_t>(*p++) << fBits;
        }
        return true;
    }

    // Opens the next sub-block; false at the terminator or the end of the data.
    bool NextBlock() {
        if (fTerminated || fPos >= fSize) return false;
        std::uint64_t len = fData[fPos++];
        if (len == 0) {
            fTerminated = true;
            return false;
        }
        if (len > fSize - fPos) {
            Warn(false);
            len = fSize - fPos;
        }
        fBlockLeft = len;
        return len > 0;
    }

    // Reports codes running out at the terminator, or a sub-block cut by the
    // end of the data (rare; kept out of line with the messages).
    void Warn(bool underrun) const;

    const std::uint8_t* fData;
    std::uint64_t fSize;
    std::uint64_t fPos = 0;
    std::uint64_t fBlockLeft = 0;
    std::uint64_t fAcc = 0;
    int fBits = 0;
    bool fTerminated = false;
    bool fWarnedUnderrun = false;
    const TGIFCodecWarning& fWarning;
};

}  // namespace velto::gif_detail
