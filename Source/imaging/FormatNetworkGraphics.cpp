// PNG, MNG and JNG. The chunk engine reads a file chunk by chunk into frames
// (checking every length against the bytes left before it allocates); the
// frame coder inflates, unfilters and de-interlaces PNG data in one pass per
// frame, decodes JNG colour and alpha through the JPEG format, and encodes
// images back into frames. CRCs are written but not checked on reading.
#include "imaging/FormatNetworkGraphics.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>

#include "imaging/FormatInput.h"
#include "imaging/FormatJpeg.h"
#include "imaging/Formats.h"
#include "imaging/Imaging.h"
#include "imaging/Options.h"
#include "imaging/Utility.h"
#include "platform/ByteWriter.h"
#include "platform/PixelRows.h"
#include "png/PngInflate.h"
#include "png/PngUnfilter.h"

namespace velto {

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kSignatures[3][8] = {
    {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A},
    {0x8A, 'M', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A},
    {0x8B, 'J', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A},
};

constexpr std::uint32_t kMngSimplicityProfile = 473;

inline std::uint32_t BE32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

// ---------------------------------------------------------------------------
// Frames

struct PngHeader {
    std::uint32_t Width = 0, Height = 0;
    std::uint8_t BitDepth = 0, ColorType = 0, Compression = 0, Filter = 0, Interlace = 0;
};

struct JngHeader {
    std::uint32_t Width = 0, Height = 0;
    std::uint8_t ColorType = 0, SampleDepth = 0, Compression = 0, Interlace = 0;
    std::uint8_t AlphaSampleDepth = 0, AlphaCompression = 0, AlphaFilter = 0, AlphaInterlace = 0;
};

// The first bytes of a chunk's data, zero-extended to n.
template <std::size_t N>
void TakeFirst(const Bytes& d, std::uint8_t (&out)[N]) {
    if (!d.empty()) std::memcpy(out, d.data(), std::min(d.size(), N));
}

// The header records as they stand in a chunk (a short chunk reads as zeros).
PngHeader ParsePngHeader(const Bytes& d) {
    std::uint8_t b[13] = {};
    TakeFirst(d, b);
    return {BE32(b), BE32(b + 4), b[8], b[9], b[10], b[11], b[12]};
}
JngHeader ParseJngHeader(const Bytes& d) {
    std::uint8_t b[16] = {};
    TakeFirst(d, b);
    return {BE32(b), BE32(b + 4), b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]};
}

struct TFrameInfo {
    bool HoldsJng = false;
    PngHeader IHDR;
    JngHeader JHDR;
    // Present when not empty; the palette holds R, G, B triplets.
    Bytes PaletteData, AlphaTable, BackgroundData;
    Bytes DeflatedData, JpegData, JpegAlphaData;
    // Bytes of the whole input: what a frame without image data of its own
    // (its pixels in chunks not read here) is held against.
    std::uint64_t InputBytes = 0;
};

struct TNGFileHandler {
    TNGFileKind FileKind = ngPNG;
    std::vector<std::unique_ptr<TFrameInfo>> FrameList;
    std::array<std::uint32_t, 7> MngHeader{};
    Bytes GlobalPalette, GlobalAlphaTable;

    TFrameInfo* LastFrame() { return FrameList.empty() ? nullptr : FrameList.back().get(); }
    TFrameInfo& NewFrame() { return *FrameList.emplace_back(std::make_unique<TFrameInfo>()); }
};

// ---------------------------------------------------------------------------
// Chunk reading

[[noreturn]] void RaiseChunkError(const char* id) {
    throw EImagingError(ImagingFormat("Error when reading %.4s chunk data. File may be corrupted.", id));
}

// The chunk's data and its (unchecked) CRC; a length beyond the input left is
// refused before anything is allocated.
Bytes ReadChunkData(const TIOFunctions& io, TImagingHandle handle, std::uint32_t length, const char* id,
                    std::int64_t inputEnd) {
    const std::int64_t left = std::max<std::int64_t>(0, inputEnd - io.Tell(handle));
    if (length > 0x7FFFFFFFu || std::int64_t(length) > left) RaiseChunkError(id);
    ChargeDecodeBudget(length);
    Bytes data(length);
    if (length && io.Read(handle, data.data(), length) != std::int64_t(length)) RaiseChunkError(id);
    std::uint8_t crc[4];
    io.Read(handle, crc, 4);
    return data;
}

void Append(Bytes& to, const Bytes& from) { to.insert(to.end(), from.begin(), from.end()); }

// A palette or transparency chunk: before any frame it is the global one; a
// frame takes only its first, and one of length 0 stands for the global one.
void TakeTable(TNGFileHandler& h, Bytes data, Bytes& global, Bytes TFrameInfo::*member) {
    TFrameInfo* frame = h.LastFrame();
    if (!frame) {
        global = std::move(data);
        return;
    }
    Bytes& own = frame->*member;
    if (!own.empty()) return;
    own = data.empty() && !global.empty() ? global : std::move(data);
}

bool LoadChunks(TNGFileHandler& h, const TIOFunctions& io, TImagingHandle handle) {
    h = TNGFileHandler{};
    std::uint8_t sig[8] = {};
    if (io.Read(handle, sig, 8) != 8) return false;
    bool known = false;
    for (int k = 0; k < 3; ++k)
        if (std::memcmp(sig, kSignatures[k], 8) == 0) {
            h.FileKind = static_cast<TNGFileKind>(k);
            known = true;
        }
    if (!known) return false;
    const std::int64_t inputEnd = GetInputSize(io, handle);

    std::uint8_t head[8];
    if (h.FileKind == ngMNG && io.Read(handle, head, 8) == 8) {
        // The first chunk's first 28 bytes, zero-extended when it is shorter.
        const char* id = reinterpret_cast<const char*>(head + 4);
        const Bytes data = ReadChunkData(io, handle, BE32(head), id, inputEnd);
        std::uint8_t mhdr[28] = {};
        TakeFirst(data, mhdr);
        for (int i = 0; i < 7; ++i) h.MngHeader[std::size_t(i)] = BE32(mhdr + 4 * i);
    }
    while (io.Read(handle, head, 8) == 8) {
        const std::uint32_t length = BE32(head);
        const char* id = reinterpret_cast<const char*>(head + 4);
        const auto is = [id](const char* name) { return std::memcmp(id, name, 4) == 0; };
        TFrameInfo* last = h.LastFrame();
        if (is("IHDR") || is("JHDR")) {
            const Bytes data = ReadChunkData(io, handle, length, id, inputEnd);
            TFrameInfo& frame = h.NewFrame();
            frame.InputBytes = static_cast<std::uint64_t>(std::max<std::int64_t>(0, inputEnd));
            frame.HoldsJng = is("JHDR");
            if (frame.HoldsJng) frame.JHDR = ParseJngHeader(data);
            else frame.IHDR = ParsePngHeader(data);
        } else if (is("IDAT") || is("JDAT") || is("JDAA")) {
            const Bytes data = ReadChunkData(io, handle, length, id, inputEnd);
            // Image data before any header has no frame to go to.
            if (last) Append(is("IDAT") ? last->DeflatedData : is("JDAT") ? last->JpegData : last->JpegAlphaData, data);
        } else if (is("PLTE")) {
            TakeTable(h, ReadChunkData(io, handle, length, id, inputEnd), h.GlobalPalette, &TFrameInfo::PaletteData);
        } else if (is("tRNS")) {
            TakeTable(h, ReadChunkData(io, handle, length, id, inputEnd), h.GlobalAlphaTable, &TFrameInfo::AlphaTable);
        } else if (is("bKGD")) {
            Bytes data = ReadChunkData(io, handle, length, id, inputEnd);
            if (last && last->BackgroundData.empty()) last->BackgroundData = std::move(data);
        } else {
            io.Seek(handle, std::int64_t(length) + 4, smFromCurrent);
        }
        if (io.Tell(handle) >= inputEnd || is("MEND") || (h.FileKind != ngMNG && is("IEND"))) break;
    }
    return true;
}

// ---------------------------------------------------------------------------
// PNG frame decoding

struct PngLayout {
    TImageFormat format;
    int bitsPerPixel;
};

// The pixel format of a colour type and bit depth; ifUnknown outside the table.
PngLayout LayoutOf(std::uint8_t colorType, std::uint8_t depth) {
    switch (colorType) {
    case 0:
        if (depth == 1 || depth == 2 || depth == 4 || depth == 8) return {ifGray8, depth};
        if (depth == 16) return {ifGray16, 16};
        break;
    case 2:
        if (depth == 8 || depth == 16) return {depth == 8 ? ifR8G8B8 : ifR16G16B16, depth * 3};
        break;
    case 3:
        if (depth == 1 || depth == 2 || depth == 4 || depth == 8) return {ifIndex8, depth};
        break;
    case 4:
        if (depth == 8 || depth == 16) return {depth == 8 ? ifA8Gray8 : ifA16Gray16, depth * 2};
        break;
    case 6:
        if (depth == 8 || depth == 16) return {depth == 8 ? ifA8R8G8B8 : ifA16R16G16B16, depth * 4};
        break;
    default: break;
    }
    return {ifUnknown, 0};
}

constexpr int kPassRow[7] = {0, 0, 4, 0, 2, 0, 1};
constexpr int kPassCol[7] = {0, 4, 0, 2, 0, 1, 0};
constexpr int kPassRowInc[7] = {8, 8, 8, 4, 4, 2, 2};
constexpr int kPassColInc[7] = {8, 8, 4, 4, 2, 2, 1};

std::uint64_t RowBytes(std::uint64_t width, int bitsPerPixel) { return (width * std::uint64_t(bitsPerPixel) + 7) / 8; }

// Inflates a zlib stream, at most `limit` bytes of it. The buffer grows with
// the output the stream actually makes (each step charged to the decode
// budget), never sized from a header up front; a stream that ends early
// gives fewer bytes, one that holds more is cut.
Bytes Inflate(const Bytes& in, std::uint64_t limit) {
    constexpr std::uint64_t kFirstStep = 65536;
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK) throw EImagingError("Error when decompressing image data.");
    struct End {
        z_stream& zs;
        ~End() { inflateEnd(&zs); }
    } end{zs};
    zs.next_in = const_cast<Bytef*>(in.data());
    zs.avail_in = static_cast<uInt>(std::min<std::size_t>(in.size(), UINT32_MAX));
    Bytes out;
    std::size_t produced = 0;
    for (;;) {
        if (produced == out.size()) {
            if (out.size() >= limit) break;
            // A first step of four times the input covers most real images at once.
            const std::uint64_t step =
                out.empty() ? std::max<std::uint64_t>(kFirstStep, std::uint64_t(in.size()) * 4) : out.size() * 2;
            const std::uint64_t next = std::min<std::uint64_t>(limit, step);
            ChargeDecodeBudget(next - out.size());
            out.resize(static_cast<std::size_t>(next));
        }
        zs.next_out = out.data() + produced;
        zs.avail_out = static_cast<uInt>(std::min<std::size_t>(out.size() - produced, UINT32_MAX));
        const uInt room = zs.avail_out;
        const int rc = inflate(&zs, Z_NO_FLUSH);
        produced += room - zs.avail_out;
        if (rc == Z_STREAM_END) break;
        if (rc != Z_OK && rc != Z_BUF_ERROR) throw EImagingError("Error when decompressing image data.");
        if (zs.avail_out != 0) break;  // the input ended before the stream did
    }
    out.resize(produced);
    return out;
}

// A stored row of `length` bytes at `at`: in place when the inflated data
// holds it whole, else what there is of it, padded with zeros in `scratch`.
const std::uint8_t* StoredRow(const Bytes& inflated, std::size_t at, std::size_t length, Bytes& scratch) {
    if (at <= inflated.size() && inflated.size() - at >= length) return inflated.data() + at;
    scratch.assign(length, 0);
    if (at < inflated.size()) std::memcpy(scratch.data(), inflated.data() + at, inflated.size() - at);
    return scratch.data();
}

void SwapFirstThird(std::uint8_t* row, std::size_t pixels, int depth, std::size_t unit) {
    for (std::size_t i = 0; i < pixels; ++i) {
        std::uint8_t* p = row + i * unit;
        if (depth == 16) {
            std::swap(p[0], p[4]);
            std::swap(p[1], p[5]);
        } else {
            std::swap(p[0], p[2]);
        }
    }
}

// Rows are unfiltered by the PNG codec's routine (vector code for 3- and
// 4-byte pixels); filter types above 4 are never passed to it.
using png_detail::PaethPredictor;
using png_detail::UnfilterRowFast;

void Filter(std::uint8_t type, const std::uint8_t* row, const std::uint8_t* prev, std::uint8_t* out, std::size_t len,
            std::size_t unit) {
    for (std::size_t i = 0; i < len; ++i) {
        const int a = i >= unit ? row[i - unit] : 0, b = prev[i], c = i >= unit ? prev[i - unit] : 0;
        int v = row[i];
        switch (type) {
        case 1: v -= a; break;
        case 2: v -= b; break;
        case 3: v -= (a + b) >> 1; break;
        case 4:
            v -= PaethPredictor(static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(c));
            break;
        default: break;
        }
        out[i] = static_cast<std::uint8_t>(v);
    }
}

// A frame's rows as stored: geometry shared by both ways of decoding them.
struct FrameRows {
    std::size_t width, height;
    int bpp;            // bits per pixel
    std::size_t unit;   // filter distance: bytes of one pixel, at least 1
    std::size_t rowSize;
    int depth;
    bool interlaced, swapRB;
};

// Plain path: the inflated data whole in memory, rows copied into the pixels
// and unfiltered there.
void UnfilterInflated(const FrameRows& g, const Bytes& inflated, std::uint8_t* pixels) {
    const std::size_t width = g.width, height = g.height, rowSize = g.rowSize, unit = g.unit;
    const int bpp = g.bpp;
    Bytes scratch;
    if (!g.interlaced) {
        const Bytes zero(rowSize, 0);
        const std::uint8_t* prev = zero.data();
        for (std::size_t y = 0; y < height; ++y) {
            const std::uint8_t* src = StoredRow(inflated, y * (rowSize + 1), rowSize + 1, scratch);
            std::uint8_t* row = pixels + y * rowSize;
            if (src[0] <= 4) {
                std::memcpy(row, src + 1, rowSize);
                if (g.swapRB) SwapFirstThird(row, width, g.depth, unit);
                UnfilterRowFast(src[0], row, prev, rowSize, unit);
            }
            prev = row;
        }
        return;
    }
    std::size_t pos = 0;
    for (int p = 0; p < 7; ++p) {
        if (std::size_t(kPassCol[p]) >= width) continue;
        const std::size_t pw = (width - kPassCol[p] + kPassColInc[p] - 1) / kPassColInc[p];
        const std::size_t prs = RowBytes(pw, bpp);
        Bytes work[2] = {Bytes(prs + 1, 0), Bytes(prs + 1, 0)};
        int cur = 0;
        for (std::size_t y = std::size_t(kPassRow[p]); y < height; y += std::size_t(kPassRowInc[p])) {
            std::uint8_t* row = work[cur].data();
            std::memcpy(row, StoredRow(inflated, pos, prs + 1, scratch), prs + 1);
            pos += prs + 1;
            if (g.swapRB) SwapFirstThird(row + 1, pw, g.depth, unit);
            if (row[0] <= 4) UnfilterRowFast(row[0], row + 1, work[1 - cur].data() + 1, prs, unit);
            std::uint8_t* out = pixels + y * rowSize;
            for (std::size_t i = 0; i < pw; ++i) {
                const std::size_t x = std::size_t(kPassCol[p]) + i * std::size_t(kPassColInc[p]);
                if (bpp < 8) OrPackedPixel(out, x, bpp, PackedPixel(row + 1, i, bpp));
                else std::memcpy(out + x * unit, row + 1 + i * unit, unit);
            }
            cur = 1 - cur;
        }
    }
}

// Fast path: the stream inflated a batch of rows at a time by the PNG codec's
// inflater (the batch stays in cache, no buffer of the whole data), rows
// unfiltered in place and copied into the pixels with red and blue swapped on
// the way. Gives the plain path's pixels for every clean stream; false for any
// other (cut short, damaged, or holding more than the image), which the plain
// path then decodes as it always has.
bool UnfilterStreamed(const FrameRows& g, const Bytes& data, std::uint64_t expected, std::uint8_t* pixels) {
    const std::size_t stride = g.rowSize + 1;
    const std::size_t batchRows = png_detail::RowsPerBatch(stride, g.height);
    png_detail::FastInflater in(data, expected, batchRows * stride);
    Bytes prior(g.rowSize, 0);
    const int passes = g.interlaced ? 7 : 1;
    for (int p = 0; p < passes; ++p) {
        const std::size_t col = g.interlaced ? std::size_t(kPassCol[p]) : 0, dx = g.interlaced ? kPassColInc[p] : 1;
        const std::size_t row0 = g.interlaced ? std::size_t(kPassRow[p]) : 0, dy = g.interlaced ? kPassRowInc[p] : 1;
        if (col >= g.width || row0 >= g.height) continue;
        const std::size_t pw = (g.width - col + dx - 1) / dx, ph = (g.height - row0 + dy - 1) / dy;
        const std::size_t prs = RowBytes(pw, g.bpp), rs = prs + 1;
        std::fill(prior.begin(), prior.end(), std::uint8_t{0});
        const std::uint8_t* above = prior.data();
        for (std::size_t j = 0; j < ph;) {
            const std::size_t want = std::min(batchRows, ph - j);
            std::uint8_t* batch = nullptr;
            if (in.Next(batch, want * rs) != want * rs) return false;
            // Unknown filters: a plain row stays zero, an interlaced one as read.
            if (!g.interlaced)
                for (std::size_t i = 0; i < want; ++i)
                    if (batch[i * rs] > 4) std::memset(batch + i * rs + 1, 0, prs);
            png_detail::UnfilterRowsFast(batch, rs, want, above, prs, g.unit);
            for (std::size_t i = 0; i < want; ++i, ++j) {
                std::uint8_t* row = batch + i * rs;
                std::uint8_t* out = pixels + (row0 + j * dy) * g.rowSize;
                above = row + 1;
                if (!g.interlaced) {
                    if (g.swapRB && g.depth == 8) {
                        png_detail::CopySwappingRedBlue(row + 1, out, pw, g.unit);
                    } else {
                        std::memcpy(out, row + 1, prs);
                        if (g.swapRB) SwapFirstThird(out, pw, g.depth, g.unit);
                    }
                    continue;
                }
                for (std::size_t k = 0, x = col; k < pw; ++k, x += dx) {
                    if (g.bpp < 8) {
                        OrPackedPixel(out, x, g.bpp, PackedPixel(row + 1, k, g.bpp));
                    } else {
                        std::memcpy(out + x * g.unit, row + 1 + k * g.unit, g.unit);
                        if (g.swapRB) SwapFirstThird(out + x * g.unit, 1, g.depth, g.unit);
                    }
                }
            }
            std::memcpy(prior.data(), above, prs);
            above = prior.data();
        }
    }
    return in.Clean();
}

void DecodePngFrame(const PngHeader& h, const Bytes& data, std::uint64_t inputBytes, TImageData& image) {
    FreeImage(image);
    if (h.Width > 0x7FFFFFFFu || h.Height > 0x7FFFFFFFu) throw EImagingError("Range check error");
    const PngLayout layout = LayoutOf(h.ColorType, h.BitDepth);
    if (layout.format == ifUnknown)
        throw EImagingError(ImagingFormat("Unsupported PNG colour type %u with bit depth %u.", h.ColorType, h.BitDepth));
    if (h.Width == 0 || h.Height == 0) return;
    const std::size_t width = h.Width, height = h.Height;
    const int bpp = layout.bitsPerPixel;
    const std::size_t unit = std::size_t(bpp + 7) / 8;
    const std::size_t rowSize = RowBytes(width, bpp);
    const bool interlaced = h.Interlace == 1;
    std::uint64_t expected = 0;
    if (interlaced) {
        for (int p = 0; p < 7; ++p) {
            if (std::size_t(kPassCol[p]) >= width || std::size_t(kPassRow[p]) >= height) continue;
            const std::uint64_t pw = (width - kPassCol[p] + kPassColInc[p] - 1) / kPassColInc[p];
            const std::uint64_t ph = (height - kPassRow[p] + kPassRowInc[p] - 1) / kPassRowInc[p];
            expected += ph * (RowBytes(pw, bpp) + 1);
        }
    } else {
        expected = std::uint64_t(height) * (rowSize + 1);
    }
    // A frame without image data loads blank, held against the whole input.
    RequireStoredData(expected, data.empty() ? inputBytes : data.size(), kDeflateBound,
                      "PNG image data too short for the image size.");
    const bool swapRB = h.ColorType == 2 || h.ColorType == 6;
    const FrameRows g{width, height, bpp, unit, rowSize, h.BitDepth, interlaced, swapRB};

    // The rows as stored: in the image itself at 8 and 16 bits, packed below.
    Bytes packed;
    bool allocated = false;
    auto allocate = [&] {
        NewImage(static_cast<std::int32_t>(width), static_cast<std::int32_t>(height), layout.format, image);
        if (bpp < 8) {
            ChargeDecodeBudget(std::uint64_t(height) * rowSize);
            packed.assign(height * rowSize, 0);
        }
        allocated = true;
    };
    auto pixels = [&] { return bpp < 8 ? packed.data() : image.Bits; };
    bool done = false;
    if (png_detail::ActiveCodecPath() == png_detail::CodecPath::Fast) {
        allocate();
        done = UnfilterStreamed(g, data, expected, pixels());
    }
    if (!done) {
        const Bytes inflated = Inflate(data, expected);
        if (allocated) {
            // What the fast path left is cleared, the image not charged twice.
            std::memset(image.Bits, 0, static_cast<std::size_t>(image.Size));
            std::fill(packed.begin(), packed.end(), std::uint8_t{0});
        } else {
            allocate();
        }
        UnfilterInflated(g, inflated, pixels());
    }

    if (bpp < 8) {
        // One byte a sample: grey scaled to 0..255, palette indices as they are.
        const unsigned scale = h.ColorType == 0 ? (bpp == 1 ? 255u : bpp == 2 ? 85u : 17u) : 1u;
        for (std::size_t y = 0; y < height; ++y) {
            std::uint8_t* dst = image.Bits + y * width;
            UnpackPixels(packed.data() + y * rowSize, width, bpp, dst);
            if (scale != 1)
                for (std::size_t x = 0; x < width; ++x) dst[x] = static_cast<std::uint8_t>(dst[x] * scale);
        }
    }
    if (h.BitDepth == 16) SwapEndianWords(image.Bits, std::size_t(image.Size) / 2);
    if (h.Filter == 64 && swapRB) {
        // Intrapixel differencing: green was subtracted from red and blue.
        const std::size_t count = width * height;
        for (std::size_t i = 0; i < count; ++i) {
            if (h.BitDepth == 16) {
                std::uint16_t s[3];
                std::memcpy(s, image.Bits + i * unit, 6);
                s[0] = static_cast<std::uint16_t>(s[0] + s[1]);
                s[2] = static_cast<std::uint16_t>(s[2] + s[1]);
                std::memcpy(image.Bits + i * unit, s, 6);
            } else {
                std::uint8_t* s = image.Bits + i * unit;
                s[0] = static_cast<std::uint8_t>(s[0] + s[1]);
                s[2] = static_cast<std::uint8_t>(s[2] + s[1]);
            }
        }
    }
}

// ---------------------------------------------------------------------------
// JPEG data of JNG frames, through the JPEG format over memory streams

bool LoadJpegFromMemory(const Bytes& data, TImageData& image) {
    FreeImage(image);
    TMemoryStream stream(std::span<const std::uint8_t>(data.data(), data.size()));
    TPrivateJpegFileFormat jpeg;
    TDynImageDataArray images;
    TImagingHandle handle = StreamIO().OpenRead(&stream);
    bool ok = false;
    try {
        ok = jpeg.LoadData(StreamIO(), handle, images, true);
    } catch (...) {
        StreamIO().Close(handle);
        FreeImagesInArray(images);
        throw;
    }
    StreamIO().Close(handle);
    if (ok && !images.empty()) {
        image = images[0];
        images.erase(images.begin());
    }
    FreeImagesInArray(images);
    return ok;
}

bool SaveJpegToMemory(const TImageData& image, Bytes& out, std::int32_t quality, bool progressive) {
    TMemoryStream stream;
    TPrivateJpegFileFormat jpeg;
    jpeg.JpegQuality = quality;
    jpeg.JpegProgressive = progressive ? -1 : 0;
    const TDynImageDataArray images{image};  // shares the buffers
    TImagingHandle handle = StreamIO().OpenWrite(&stream);
    const bool ok = jpeg.SaveData(StreamIO(), handle, images, 0);
    StreamIO().Close(handle);
    out = std::move(stream.Data());
    return ok;
}

// An image freed at the end of its scope.
struct OwnedImage {
    TImageData data;
    ~OwnedImage() { FreeImage(data); }
};

void DecodeJngFrame(const TFrameInfo& frame, TImageData& image) {
    const JngHeader& h = frame.JHDR;
    FreeImage(image);
    if (h.Width > 0x7FFFFFFFu || h.Height > 0x7FFFFFFFu) throw EImagingError("Range check error");
    // 12-bit samples are not decoded: the colour image stays black.
    if (h.SampleDepth == 12) {
        // Its JPEG data must still be able to hold a bit for each 8 x 8 block.
        RequireStoredData((std::uint64_t(h.Width) + 7) / 8 * ((std::uint64_t(h.Height) + 7) / 8), frame.JpegData.size(),
                          kJpegHuffmanBound, "JNG image data too short for the image size.");
        NewImage(std::int32_t(h.Width), std::int32_t(h.Height), ifR8G8B8, image);
    }
    else LoadJpegFromMemory(frame.JpegData, image);
    if ((h.ColorType != 12 && h.ColorType != 14) || !TestImage(image) ||
        (image.Format != ifGray8 && image.Format != ifR8G8B8))
        return;
    OwnedImage alpha;
    if (h.AlphaCompression == 0) {
        PngHeader ph;
        ph.Width = h.Width;
        ph.Height = h.Height;
        ph.BitDepth = h.AlphaSampleDepth;
        ph.ColorType = 0;
        ph.Filter = h.AlphaFilter;
        ph.Interlace = h.AlphaInterlace;
        DecodePngFrame(ph, frame.DeflatedData, frame.InputBytes, alpha.data);
    } else {
        LoadJpegFromMemory(frame.JpegAlphaData, alpha.data);
    }
    if (!TestImage(alpha.data)) return;
    if (alpha.data.Width != image.Width || alpha.data.Height != image.Height)
        ResizeImage(alpha.data, image.Width, image.Height, rfNearest);
    if (alpha.data.Format != ifGray8) ConvertImage(alpha.data, ifGray8);
    const bool grey = image.Format == ifGray8;
    ConvertImage(image, grey ? ifA8Gray8 : ifA8R8G8B8);
    const std::size_t step = grey ? 2 : 4, count = std::size_t(image.Width) * std::size_t(image.Height);
    for (std::size_t i = 0; i < count; ++i) image.Bits[i * step + step - 1] = alpha.data.Bits[i];
}

// Palette, palette alphas and colour-key transparency of a frame.
void ApplyFrameExtras(const TFrameInfo& frame, TImageData& image) {
    if (!TestImage(image)) return;
    const TImageFormatInfo& info = *FormatInfo(image.Format);
    const std::uint8_t colorType = frame.HoldsJng ? frame.JHDR.ColorType : frame.IHDR.ColorType;
    const bool colourFrame = frame.HoldsJng ? (colorType == 10 || colorType == 14) : (colorType == 2 || colorType == 6);
    const auto colourOf = [&](const Bytes& data, std::array<std::uint16_t, 4>& v) {
        v.fill(0);
        std::memcpy(v.data(), data.data(), std::min<std::size_t>(data.size(), 8));
        if (colourFrame) std::swap(v[0], v[2]);
        for (int i = 0; i < 3; ++i) v[std::size_t(i)] = static_cast<std::uint16_t>(v[std::size_t(i)] >> 8 | v[std::size_t(i)] << 8);
        if (!frame.HoldsJng && colorType == 0) {
            const int depth = frame.IHDR.BitDepth;
            const unsigned scale = depth == 1 ? 255u : depth == 2 ? 85u : depth == 4 ? 17u : 1u;
            v[0] = static_cast<std::uint16_t>(v[0] * scale);
        }
    };
    std::array<std::uint16_t, 4> key{}, background{};
    bool hasKey = false, hasBackground = false;
    const Bytes* paletteAlphas = nullptr;
    if (!frame.AlphaTable.empty()) {
        if (info.IsIndexed) paletteAlphas = &frame.AlphaTable;
        else if (!info.HasAlpha) {
            colourOf(frame.AlphaTable, key);
            hasKey = true;
        }
    }
    if (!frame.BackgroundData.empty()) {
        colourOf(frame.BackgroundData, background);
        hasBackground = true;
    }
    if (info.IsIndexed && image.Palette) {
        const std::size_t entries = std::size_t(info.PaletteEntries);
        std::fill(image.Palette, image.Palette + entries, 0xFFFFFFFFu);
        const std::size_t colours = std::min(frame.PaletteData.size() / 3, entries);
        for (std::size_t i = 0; i < colours; ++i) {
            const std::uint8_t* t = frame.PaletteData.data() + 3 * i;
            image.Palette[i] = Color32(255, t[0], t[1], t[2]);
        }
        if (paletteAlphas)
            for (std::size_t i = 0; i < std::min(paletteAlphas->size(), entries); ++i)
                image.Palette[i] = (image.Palette[i] & 0x00FFFFFFu) | TColor32((*paletteAlphas)[i]) << 24;
    }
    if (!hasKey || info.HasAlpha) return;
    TImageFormat target;
    switch (image.Format) {
    case ifGray8: target = ifA8Gray8; break;
    case ifGray16: target = ifA16Gray16; break;
    case ifR8G8B8: target = ifA8R8G8B8; break;
    case ifR16G16B16: target = ifA16R16G16B16; break;
    default: return;
    }
    if (!hasBackground) background = key;
    ConvertImage(image, target);
    // Key and background as one pixel of the target: opaque key, transparent background.
    std::uint8_t keyPixel[8] = {}, backPixel[8] = {};
    const auto lay = [&](const std::array<std::uint16_t, 4>& v, std::uint16_t alpha, std::uint8_t* px) {
        const bool grey = target == ifA8Gray8 || target == ifA16Gray16;
        const bool wide = target == ifA16Gray16 || target == ifA16R16G16B16;
        std::uint16_t words[4] = {v[0], v[1], v[2], 0};
        const int channels = grey ? 1 : 3;
        words[channels] = alpha;
        for (int c = 0; c <= channels; ++c) {
            if (wide) std::memcpy(px + 2 * c, &words[c], 2);
            else px[c] = static_cast<std::uint8_t>(words[c]);
        }
    };
    const bool wide = target == ifA16Gray16 || target == ifA16R16G16B16;
    lay(key, wide ? 0xFFFF : 0xFF, keyPixel);
    lay(background, 0, backPixel);
    ReplaceColor(image, 0, 0, image.Width, image.Height, keyPixel, backPixel);
}

void DecodeFrame(const TFrameInfo& frame, TImageData& image) {
    if (frame.HoldsJng) DecodeJngFrame(frame, image);
    else DecodePngFrame(frame.IHDR, frame.DeflatedData, frame.InputBytes, image);
}

// ---------------------------------------------------------------------------
// Encoding

struct SaveSettings {
    std::int32_t RowFilter = 5, DeflateLevel = 5;
    bool AlphaAsJpeg = false, JpegProgressive = false;
    std::int32_t JpegQuality = 90;
};

SaveSettings TakeOptions(const TNetworkGraphicsFileFormat& f) {
    SaveSettings s;
    s.RowFilter = f.RowFilter;
    s.DeflateLevel = f.DeflateLevel;
    s.AlphaAsJpeg = f.AlphaAsJpeg != 0;
    s.JpegQuality = f.JpegQuality;
    s.JpegProgressive = f.JpegProgressive != 0;
    return s;
}

void EncodePngData(const SaveSettings& s, const PngHeader& h, const std::uint8_t* pixels, Bytes& out,
                   const TImageFormatInfo& info) {
    int fixed;
    bool adaptive = false;
    if (s.RowFilter >= 0 && s.RowFilter <= 4) fixed = s.RowFilter;
    else if (s.RowFilter == 6) {
        adaptive = h.BitDepth >= 8 && h.ColorType != 3;
        fixed = 0;
    } else fixed = h.ColorType == 2 || h.ColorType == 6 ? 4 : 0;
    const std::size_t width = h.Width, height = h.Height, unit = std::size_t(info.BytesPerPixel);
    const std::size_t rowSize = width * unit;
    ChargeDecodeBudget(std::uint64_t(height) * (rowSize + 1));
    Bytes raw(height * (rowSize + 1));
    const Bytes zero(rowSize, 0);
    Bytes scratch(adaptive ? rowSize : 0);
    const bool swapRB = (h.ColorType == 2 || h.ColorType == 6) && !info.IsRBSwapped;
    for (std::size_t y = 0; y < height; ++y) {
        const std::uint8_t* row = pixels + y * rowSize;
        const std::uint8_t* prev = y ? row - rowSize : zero.data();
        std::uint8_t* dst = raw.data() + y * (rowSize + 1);
        int type = fixed;
        if (adaptive) {
            std::int64_t best = 0x7FFFFFFF;
            for (int t = 0; t <= 4; ++t) {
                Filter(static_cast<std::uint8_t>(t), row, prev, scratch.data(), rowSize, unit);
                std::int64_t sum = 0;
                for (const std::uint8_t b : scratch) sum += std::abs(static_cast<int>(static_cast<std::int8_t>(b)));
                if (sum < best) {
                    best = sum;
                    type = t;
                }
            }
        }
        dst[0] = static_cast<std::uint8_t>(type);
        Filter(static_cast<std::uint8_t>(type), row, prev, dst + 1, rowSize, unit);
        if (swapRB) SwapFirstThird(dst + 1, width, h.BitDepth, unit);
        if (h.BitDepth == 16) SwapEndianWords(dst + 1, rowSize / 2);
    }
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    Bytes deflated(size);
    if (compress2(deflated.data(), &size, raw.data(), static_cast<uLong>(raw.size()), s.DeflateLevel) != Z_OK)
        throw EImagingError("Error when compressing image data.");
    out.insert(out.end(), deflated.begin(), deflated.begin() + static_cast<std::ptrdiff_t>(size));
}

bool EncodeJngData(const SaveSettings& s, const JngHeader& h, const TImageData& image, TFrameInfo& frame) {
    const TImageFormatInfo& info = *FormatInfo(image.Format);
    if (!info.HasAlpha) return SaveJpegToMemory(image, frame.JpegData, s.JpegQuality, s.JpegProgressive);
    OwnedImage colour, alpha;
    CloneImage(image, colour.data);
    ConvertImage(colour.data, info.IsGray ? ifGray8 : ifR8G8B8);
    if (!SaveJpegToMemory(colour.data, frame.JpegData, s.JpegQuality, s.JpegProgressive)) return false;
    NewImage(image.Width, image.Height, ifGray8, alpha.data);
    const std::size_t step = std::size_t(info.BytesPerPixel), count = std::size_t(image.Width) * std::size_t(image.Height);
    for (std::size_t i = 0; i < count; ++i) alpha.data.Bits[i] = image.Bits[i * step + step - 1];
    if (h.AlphaCompression != 0) return SaveJpegToMemory(alpha.data, frame.JpegAlphaData, s.JpegQuality, false);
    PngHeader ph;
    ph.Width = h.Width;
    ph.Height = h.Height;
    ph.BitDepth = h.AlphaSampleDepth;
    ph.Filter = h.AlphaFilter;
    ph.Interlace = h.AlphaInterlace;
    EncodePngData(s, ph, alpha.data.Bits, frame.DeflatedData, *FormatInfo(ifGray8));
    return true;
}

// Appends a frame built from an image of a savable format.
bool EncodeFrame(TNGFileHandler& saver, const SaveSettings& s, const TImageData& image, bool asJng) {
    TFrameInfo& frame = saver.NewFrame();
    frame.HoldsJng = asJng;
    const TImageFormatInfo& info = *FormatInfo(image.Format);
    const auto width = static_cast<std::uint32_t>(image.Width), height = static_cast<std::uint32_t>(image.Height);
    if (!asJng) {
        PngHeader& h = frame.IHDR;
        h.Width = width;
        h.Height = height;
        const int bits = info.BytesPerPixel * 8;
        if (info.IsGray) {
            h.ColorType = info.HasAlpha ? 4 : 0;
            h.BitDepth = static_cast<std::uint8_t>(info.HasAlpha ? bits / 2 : bits);
        } else if (info.IsIndexed) {
            h.ColorType = 3;
            h.BitDepth = 8;
        } else {
            h.ColorType = info.HasAlpha ? 6 : 2;
            h.BitDepth = static_cast<std::uint8_t>(info.HasAlpha ? bits / 4 : bits / 3);
        }
        EncodePngData(s, h, image.Bits, frame.DeflatedData, info);
        if (info.IsIndexed) {
            const std::size_t entries = std::size_t(info.PaletteEntries);
            bool translucent = false;
            for (std::size_t i = 0; i < entries; ++i) {
                const TColor32 c = image.Palette[i];
                frame.PaletteData.insert(frame.PaletteData.end(), {Color32R(c), Color32G(c), Color32B(c)});
                translucent = translucent || Color32A(c) != 255;
            }
            if (translucent)
                for (std::size_t i = 0; i < entries; ++i) frame.AlphaTable.push_back(Color32A(image.Palette[i]));
        }
        return true;
    }
    JngHeader& h = frame.JHDR;
    h.Width = width;
    h.Height = height;
    h.ColorType = image.Format == ifGray8 ? 8 : image.Format == ifA8Gray8 ? 12 : image.Format == ifR8G8B8 ? 10 : 14;
    h.SampleDepth = 8;
    h.Compression = 8;
    h.Interlace = s.JpegProgressive ? 8 : 0;
    h.AlphaSampleDepth = info.HasAlpha ? 8 : 0;
    h.AlphaCompression = s.AlphaAsJpeg ? 8 : 0;
    return EncodeJngData(s, h, image, frame);
}

void WriteChunk(ByteWriter& w, const char* id, std::span<const std::uint8_t> data) {
    if (data.size() > 0x7FFFFFFFu) throw EImagingError("Chunk data too large for a PNG chunk.");
    w.u32be(static_cast<std::uint32_t>(data.size()));
    w.bytes(id, 4);
    w.bytes(data);
    std::uint32_t crc = 0xFFFFFFFFu;
    UpdateCrc32(crc, id, 4);
    UpdateCrc32(crc, data.data(), data.size());
    w.u32be(~crc);
}

bool SaveChunks(const TNGFileHandler& saver, const TIOFunctions& io, TImagingHandle handle) {
    ByteWriter w;
    w.bytes(kSignatures[saver.FileKind], 8);
    if (saver.FileKind == ngMNG) {
        ByteWriter m;
        for (const std::uint32_t v : saver.MngHeader) m.u32be(v);
        WriteChunk(w, "MHDR", m.buffer());
    }
    for (const auto& f : saver.FrameList) {
        ByteWriter hdr;
        if (!f->HoldsJng) {
            const PngHeader& h = f->IHDR;
            hdr.u32be(h.Width);
            hdr.u32be(h.Height);
            for (const std::uint8_t b : {h.BitDepth, h.ColorType, h.Compression, h.Filter, h.Interlace}) hdr.u8(b);
            WriteChunk(w, "IHDR", hdr.buffer());
            if (!f->PaletteData.empty()) WriteChunk(w, "PLTE", f->PaletteData);
            if (!f->AlphaTable.empty()) WriteChunk(w, "tRNS", f->AlphaTable);
            WriteChunk(w, "IDAT", f->DeflatedData);
        } else {
            const JngHeader& h = f->JHDR;
            hdr.u32be(h.Width);
            hdr.u32be(h.Height);
            for (const std::uint8_t b : {h.ColorType, h.SampleDepth, h.Compression, h.Interlace, h.AlphaSampleDepth,
                                         h.AlphaCompression, h.AlphaFilter, h.AlphaInterlace})
                hdr.u8(b);
            WriteChunk(w, "JHDR", hdr.buffer());
            WriteChunk(w, "JDAT", f->JpegData);
            if (h.AlphaSampleDepth != 0) {
                if (h.AlphaCompression == 0) WriteChunk(w, "IDAT", f->DeflatedData);
                else WriteChunk(w, "JDAA", f->JpegAlphaData);
            }
        }
        WriteChunk(w, "IEND", {});
    }
    if (saver.FileKind == ngMNG) WriteChunk(w, "MEND", {});
    return WriteFormatOutput(io, handle, w.buffer());
}

}  // namespace

// ---------------------------------------------------------------------------
// The formats

TNetworkGraphicsFileFormat::TNetworkGraphicsFileFormat(TNGFileKind kind) : Kind(kind) {
    CanLoad = true;
    CanSave = true;
    IsMultiImage = false;
}

void TNetworkGraphicsFileFormat::GetSupportedFormats(TImageFormats& formats) const {
    formats.reset();
    if (ColorAsJpeg != 0) {
        for (const TImageFormat f : {ifGray8, ifA8Gray8, ifR8G8B8, ifA8R8G8B8}) formats.set(f);
        return;
    }
    for (const TImageFormat f : {ifIndex8, ifGray8, ifA8Gray8, ifGray16, ifA16Gray16, ifR8G8B8, ifA8R8G8B8,
                                 ifR16G16B16, ifA16R16G16B16, ifB16G16R16, ifA16B16G16R16})
        formats.set(f);
}

void TNetworkGraphicsFileFormat::ConvertToSupported(TImageData& image, const TImageFormatInfo& info) {
    TImageFormat target;
    if (ColorAsJpeg != 0) {
        if (info.IsGray) target = info.HasAlpha ? ifA8Gray8 : ifGray8;
        else target = info.HasAlpha ? ifA8R8G8B8 : ifR8G8B8;
    } else if (info.IsGray) {
        target = info.HasAlpha ? (info.BytesPerPixel > 2 ? ifA16Gray16 : ifA8Gray8) : ifGray16;
    } else if (info.IsFloat) {
        target = info.HasAlpha ? ifA16B16G16R16 : ifB16G16R16;
    } else if (info.HasAlpha || info.IsBlockCompressed) {
        target = ifA8R8G8B8;
    } else {
        target = ifR8G8B8;
    }
    ConvertImage(image, target);
}

bool TNetworkGraphicsFileFormat::TestFormat(const TIOFunctions& io, TImagingHandle handle) {
    std::uint8_t head[8] = {};
    return PeekFormatInput(io, handle, head, 8) == 8 && std::memcmp(head, kSignatures[Kind], 8) == 0;
}

void TNetworkGraphicsFileFormat::CheckOptionsValidity() {
    if (static_cast<std::uint32_t>(RowFilter) > 6u) RowFilter = 5;
    if (static_cast<std::uint32_t>(DeflateLevel) > 9u) DeflateLevel = 5;
    if (static_cast<std::uint32_t>(JpegQuality) - 1u > 99u) JpegQuality = 90;
}

bool TNetworkGraphicsFileFormat::LoadFirstFrame(const TIOFunctions& io, TImagingHandle handle,
                                                TDynImageDataArray& images, bool asJng) {
    TNGFileHandler loader;
    if (!LoadChunks(loader, io, handle) || loader.FrameList.empty()) return false;
    images.assign(1, TImageData{});
    const TFrameInfo& frame = *loader.FrameList.front();
    if (frame.HoldsJng == asJng) DecodeFrame(frame, images[0]);
    ApplyFrameExtras(frame, images[0]);
    return true;
}

bool TNetworkGraphicsFileFormat::SaveOneFrame(const TIOFunctions& io, TImagingHandle handle,
                                              const TDynImageDataArray& images, std::int32_t index, bool asJng) {
    TSavableCopy c;
    if (!MakeCompatible(images[static_cast<std::size_t>(index)], c.image, c.owned)) return false;
    TNGFileHandler saver;
    saver.FileKind = asJng ? ngJNG : ngPNG;
    if (!EncodeFrame(saver, TakeOptions(*this), c.image, asJng)) return false;
    return SaveChunks(saver, io, handle);
}

TPNGFileFormat::TPNGFileFormat() : TNetworkGraphicsFileFormat(ngPNG) {
    Name = "Portable Network Graphics";
    AddMasks("*.png");
    RegisterOption(ImagingPNGPreFilter, &RowFilter);
    RegisterOption(ImagingPNGCompressLevel, &DeflateLevel);
}

bool TPNGFileFormat::LoadData(const TIOFunctions& io, TImagingHandle handle, TDynImageDataArray& images, bool) {
    return LoadFirstFrame(io, handle, images, false);
}

bool TPNGFileFormat::SaveData(const TIOFunctions& io, TImagingHandle handle, const TDynImageDataArray& images,
                              std::int32_t index) {
    return SaveOneFrame(io, handle, images, index, false);
}

TJNGFileFormat::TJNGFileFormat() : TNetworkGraphicsFileFormat(ngJNG) {
    Name = "JPEG Network Graphics";
    AddMasks("*.jng");
    ColorAsJpeg = -1;
    RegisterOption(ImagingJNGLossyAlpha, &AlphaAsJpeg);
    RegisterOption(ImagingJNGAlphaPreFilter, &RowFilter);
    RegisterOption(ImagingJNGAlphaCompressLevel, &DeflateLevel);
    RegisterOption(ImagingJNGQuality, &JpegQuality);
    RegisterOption(ImagingJNGProgressive, &JpegProgressive);
}

bool TJNGFileFormat::LoadData(const TIOFunctions& io, TImagingHandle handle, TDynImageDataArray& images, bool) {
    return LoadFirstFrame(io, handle, images, true);
}

bool TJNGFileFormat::SaveData(const TIOFunctions& io, TImagingHandle handle, const TDynImageDataArray& images,
                              std::int32_t index) {
    return SaveOneFrame(io, handle, images, index, true);
}

TMNGFileFormat::TMNGFileFormat() : TNetworkGraphicsFileFormat(ngMNG) {
    Name = "Multiple Network Graphics";
    AddMasks("*.mng");
    IsMultiImage = true;
    RegisterOption(ImagingMNGLossyCompression, &ColorAsJpeg);
    RegisterOption(ImagingMNGLossyAlpha, &AlphaAsJpeg);
    RegisterOption(ImagingMNGPreFilter, &RowFilter);
    RegisterOption(ImagingMNGCompressLevel, &DeflateLevel);
    RegisterOption(ImagingMNGQuality, &JpegQuality);
    RegisterOption(ImagingMNGProgressive, &JpegProgressive);
}

bool TMNGFileFormat::LoadData(const TIOFunctions& io, TImagingHandle handle, TDynImageDataArray& images, bool) {
    TNGFileHandler loader;
    if (!LoadChunks(loader, io, handle)) return false;
    if (loader.FrameList.empty()) {
        // No embedded image: one blank image of the animation's frame size.
        images.assign(1, TImageData{});
        const std::uint32_t w = loader.MngHeader[0], h = loader.MngHeader[1];
        if (w > 0x7FFFFFFFu || h > 0x7FFFFFFFu) throw EImagingError("Range check error");
        // Blank, but no larger than the file's bytes could have held deflated.
        RequireStoredData(std::uint64_t(w) * h * 4,
                          static_cast<std::uint64_t>(std::max<std::int64_t>(0, GetInputSize(io, handle))),
                          kDeflateBound, "MNG frame size too large for the file.");
        NewImage(static_cast<std::int32_t>(w), static_cast<std::int32_t>(h), ifDefault, images[0]);
        return true;
    }
    images.assign(loader.FrameList.size(), TImageData{});
    for (std::size_t i = 0; i < loader.FrameList.size(); ++i) {
        DecodeFrame(*loader.FrameList[i], images[i]);
        ApplyFrameExtras(*loader.FrameList[i], images[i]);
    }
    return true;
}

bool TMNGFileFormat::SaveData(const TIOFunctions& io, TImagingHandle handle, const TDynImageDataArray& images,
                              std::int32_t index) {
    const TSaveRange range = SaveRange(images, index);
    TNGFileHandler saver;
    saver.FileKind = ngMNG;
    const SaveSettings settings = TakeOptions(*this);
    std::uint32_t maxWidth = 0, maxHeight = 0;
    for (std::int32_t i = range.first; i <= range.last; ++i) {
        TSavableCopy c;
        if (!MakeCompatible(images[static_cast<std::size_t>(i)], c.image, c.owned)) return false;
        if (!EncodeFrame(saver, settings, c.image, ColorAsJpeg != 0)) return false;
        maxWidth = std::max(maxWidth, static_cast<std::uint32_t>(c.image.Width));
        maxHeight = std::max(maxHeight, static_cast<std::uint32_t>(c.image.Height));
    }
    saver.MngHeader = {maxWidth, maxHeight, 0, 0, static_cast<std::uint32_t>(saver.FrameList.size()), 0,
                       kMngSimplicityProfile};
    return SaveChunks(saver, io, handle);
}

void RegisterFormatNetworkGraphics() {
    RegisterImageFileFormat(frPNG, std::make_unique<TPNGFileFormat>());
    RegisterImageFileFormat(frMNG, std::make_unique<TMNGFileFormat>());
    RegisterImageFileFormat(frJNG, std::make_unique<TJNGFileFormat>());
}

}  // namespace velto
