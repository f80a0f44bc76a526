// The frame coder of PNG, MNG and JNG, decoding: PNG data inflated,
// unfiltered and de-interlaced in one pass per frame; JNG colour and alpha
// decoded through the JPEG format; then a frame's palette and transparency.
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <span>

#include "imaging/FormatInput.h"
#include "imaging/FormatJpeg.h"
#include "imaging/Formats.h"
#include "imaging/NetworkGraphicsFrames.h"
#include "imaging/Utility.h"
#include "platform/PixelRows.h"
#include "png/PngInflate.h"
#include "png/PngUnfilter.h"

namespace velto::ng_detail {

namespace {

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

}  // namespace

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

namespace {

// Rows are unfiltered by the PNG codec's routine (vector code for 3- and
// 4-byte pixels); filter types above 4 are never passed to it.
using png_detail::UnfilterRowFast;

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

}  // namespace

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

}  // namespace velto::ng_detail
