// File-name masks, CRC-32, fills, swaps, mipmap counts and rectangle clipping.
#include "imaging/Utility.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstring>

#include <sys/mman.h>

namespace velto {

std::string GetFileExt(std::string_view fileName) {
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos) return {};
    if (fileName.size() == 1) return ".";
    return std::string(fileName.substr(dot + 1));
}

namespace {

bool SameChar(char a, char b, bool caseSensitive) {
    if (caseSensitive) return a == b;
    return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b));
}

bool Match(std::string_view name, std::string_view mask, bool cs) {
    std::size_t n = 0, m = 0;
    while (n < name.size() && m < mask.size()) {
        const char mc = mask[m];
        if (mc == '*') {
            while (m < mask.size() && mask[m] == '*') ++m;
            if (m == mask.size()) return true;
            for (std::size_t skip = n; skip <= name.size(); ++skip)
                if (Match(name.substr(skip), mask.substr(m), cs)) return true;
            return false;
        }
        if (mc != '?' && !SameChar(mc, name[n], cs)) return false;
        ++n;
        ++m;
    }
    while (m < mask.size() && (mask[m] == '*' || mask[m] == '?')) ++m;
    return m == mask.size() && n == name.size();
}

}  // namespace

bool MatchFileNameMask(std::string_view fileName, std::string_view mask, bool caseSensitive) {
    if (mask.empty()) return true;
    return Match(fileName, mask, caseSensitive);
}

void SwapEndianWords(void* p, std::size_t count) {
    auto* b = static_cast<std::uint8_t*>(p);
    for (std::size_t i = 0; i < count; ++i) std::swap(b[2 * i], b[2 * i + 1]);
}

void SwapEndianLongWords(void* p, std::size_t count) {
    auto* b = static_cast<std::uint8_t*>(p);
    for (std::size_t i = 0; i < count; ++i) {
        std::swap(b[4 * i], b[4 * i + 3]);
        std::swap(b[4 * i + 1], b[4 * i + 2]);
    }
}

namespace {
const std::array<std::uint32_t, 256>& CrcTable() {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    return table;
}
}  // namespace

void UpdateCrc32(std::uint32_t& crc, const void* buffer, std::size_t length) {
    const auto& t = CrcTable();
    const auto* p = static_cast<const std::uint8_t*>(buffer);
    for (std::size_t i = 0; i < length; ++i) crc = t[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
}

void AdviseHugePages(void* p, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
    constexpr std::uintptr_t kHuge = std::uintptr_t(2) << 20;
    if (!p || bytes < 2 * kHuge) return;
    const auto start = reinterpret_cast<std::uintptr_t>(p);
    const std::uintptr_t first = (start + kHuge - 1) & ~(kHuge - 1);
    const std::uintptr_t last = (start + bytes) & ~(kHuge - 1);
    // Advice only; a refusal leaves ordinary pages.
    if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    (void)p;
    (void)bytes;
#endif
}

void FillMemoryByte(void* p, std::size_t bytes, std::uint8_t value) { std::memset(p, value, bytes); }

void FillMemoryLongWord(void* p, std::size_t bytes, std::uint32_t value) {
    auto* b = static_cast<std::uint8_t*>(p);
    std::size_t i = 0;
    for (; i + 4 <= bytes; i += 4) std::memcpy(b + i, &value, 4);
    if (i + 2 <= bytes) {
        const auto w = static_cast<std::uint16_t>(value);
        std::memcpy(b + i, &w, 2);
        i += 2;
    }
    if (i < bytes) b[i] = static_cast<std::uint8_t>(value);
}

void FillMemoryWord(void* p, std::size_t bytes, std::uint16_t value) {
    FillMemoryLongWord(p, bytes, static_cast<std::uint32_t>(value) | static_cast<std::uint32_t>(value) << 16);
}

std::int32_t GetNumMipMapLevels(std::int32_t width, std::int32_t height) {
    if (width < 1 || height < 1) return 0;
    std::int32_t levels = 1;
    while (width > 1 || height > 1) {
        width = std::max(1, width / 2);
        height = std::max(1, height / 2);
        ++levels;
    }
    return levels;
}

std::int32_t GetVolumeLevelCount(std::int32_t depth, std::int32_t mipMaps) {
    std::int64_t sum = 0;
    for (std::int32_t level = 0; level < mipMaps; ++level) sum += std::max(1, level < 31 ? depth >> level : 0);
    return static_cast<std::int32_t>(std::min<std::int64_t>(sum, INT32_MAX));
}

namespace {

void ClipAxis(std::int32_t& start, std::int32_t& size, std::int32_t clipStart, std::int32_t clipEnd) {
    if (start < clipStart) {
        size -= clipStart - start;
        start = clipStart;
    }
    if (std::int64_t(start) + size > clipEnd) size = clipEnd - start;
    if (size < 0) size = 0;
}

void ClipCopyAxis(std::int32_t& src, std::int32_t& dst, std::int32_t& size, std::int32_t srcLen,
                  std::int32_t clipStart, std::int32_t clipEnd) {
    if (dst < clipStart) {
        const std::int32_t d = clipStart - dst;
        size -= d;
        src += d;
        dst = clipStart;
    }
    if (src < 0) {
        size += src;
        dst -= src;
        src = 0;
    }
    size = static_cast<std::int32_t>(std::min<std::int64_t>({size, std::int64_t(srcLen) - src, std::int64_t(clipEnd) - dst}));
}

std::int32_t RoundI(double v) { return static_cast<std::int32_t>(std::nearbyint(v)); }

void ClipStretchAxis(std::int32_t& src, std::int32_t& srcSize, std::int32_t& dst, std::int32_t& dstSize,
                     std::int32_t srcLen, std::int32_t clipStart, std::int32_t clipEnd) {
    if (srcSize <= 0 || dstSize <= 0) return;
    const double ratio = double(dstSize) / double(srcSize);
    if (dst < clipStart) {
        const std::int32_t d = clipStart - dst;
        const std::int32_t s = RoundI(d / ratio);
        dstSize -= d;
        dst = clipStart;
        src += s;
        srcSize -= s;
    }
    if (src < 0) {
        const std::int32_t d = RoundI(-src * ratio);
        srcSize += src;
        src = 0;
        dst += d;
        dstSize -= d;
    }
    if (std::int64_t(src) + srcSize > srcLen) {
        srcSize = srcLen - src;
        dstSize = RoundI(srcSize * ratio);
    }
    if (std::int64_t(dst) + dstSize > clipEnd) {
        dstSize = clipEnd - dst;
        srcSize = RoundI(dstSize / ratio);
    }
}

}  // namespace

void ClipRectBounds(std::int32_t& x, std::int32_t& y, std::int32_t& width, std::int32_t& height, const TRect& clip) {
    ClipAxis(x, width, clip.Left, clip.Right);
    ClipAxis(y, height, clip.Top, clip.Bottom);
}

void ClipCopyBounds(std::int32_t& srcX, std::int32_t& srcY, std::int32_t& width, std::int32_t& height,
                    std::int32_t& dstX, std::int32_t& dstY, std::int32_t srcWidth, std::int32_t srcHeight,
                    const TRect& dstClip) {
    ClipCopyAxis(srcX, dstX, width, srcWidth, dstClip.Left, dstClip.Right);
    ClipCopyAxis(srcY, dstY, height, srcHeight, dstClip.Top, dstClip.Bottom);
}

void ClipStretchBounds(std::int32_t& srcX, std::int32_t& srcY, std::int32_t& srcWidth, std::int32_t& srcHeight,
                       std::int32_t& dstX, std::int32_t& dstY, std::int32_t& dstWidth, std::int32_t& dstHeight,
                       std::int32_t srcImageWidth, std::int32_t srcImageHeight, const TRect& dstClip) {
    ClipStretchAxis(srcX, srcWidth, dstX, dstWidth, srcImageWidth, dstClip.Left, dstClip.Right);
    ClipStretchAxis(srcY, srcHeight, dstY, dstHeight, srcImageHeight, dstClip.Top, dstClip.Bottom);
}

TRect ScaleRectToRect(const TRect& source, const TRect& bounds) {
    const std::int64_t sw = source.Right - source.Left, sh = source.Bottom - source.Top;
    const std::int64_t bw = bounds.Right - bounds.Left, bh = bounds.Bottom - bounds.Top;
    if (sw <= 0 || sh <= 0) return bounds;
    if (sw * bh >= bw * sh) {
        const auto h = static_cast<std::int32_t>(bw * sh / sw);
        const auto off = static_cast<std::int32_t>((bh - h) / 2);
        return {bounds.Left, bounds.Top + off, bounds.Right, bounds.Top + off + h};
    }
    const auto w = static_cast<std::int32_t>(bh * sw / sh);
    const auto off = static_cast<std::int32_t>((bw - w) / 2);
    return {bounds.Left + off, bounds.Top, bounds.Left + off + w, bounds.Bottom};
}

}  // namespace velto
