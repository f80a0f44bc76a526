// Windows bitmaps. The loader reads the rest of the input once and checks
// every size it takes from the headers against what is there before it
// allocates; the RLE decoders never write outside the image.
#include "imaging/FormatBmp.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "imaging/FormatInput.h"
#include "imaging/Formats.h"
#include "imaging/Options.h"
#include "platform/ByteReader.h"
#include "platform/ByteWriter.h"

namespace velto {

namespace {

constexpr std::uint32_t kBiRGB = 0, kBiRLE8 = 1, kBiRLE4 = 2, kBiBitFields = 3;
constexpr std::uint32_t kCoreHeader = 12, kInfoHeader = 40, kV4Header = 108;
constexpr std::uint32_t kMaxWindowsBody = 104;

struct BmpInfo {
    std::int32_t width = 0, height = 0;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = 0, sizeImage = 0, clrUsed = 0;
    std::uint32_t redMask = 0, greenMask = 0, blueMask = 0, alphaMask = 0;
};

// The destination row of the n-th decoded line; -1 outside the image.
std::uint8_t* RleRow(TImageData& image, std::int64_t line, bool topDown) {
    if (line < 0 || line >= image.Height) return nullptr;
    const std::int64_t row = topDown ? line : image.Height - 1 - line;
    return image.Bits + static_cast<std::size_t>(row) * static_cast<std::size_t>(image.Width);
}

template <bool Four>
void DecodeRLE(std::span<const std::uint8_t> data, TImageData& image, bool topDown) {
    const std::int64_t width = image.Width;
    std::size_t pos = 0;
    std::int64_t x = 0, line = 0;
    const auto left = [&] { return data.size() - pos; };
    while (line < image.Height && left() >= 2) {
        const std::uint8_t n = data[pos], v = data[pos + 1];
        pos += 2;
        if (n > 0) {  // a run
            std::uint8_t* row = RleRow(image, line, topDown);
            const std::int64_t count = std::min<std::int64_t>(n, width - x);
            for (std::int64_t i = 0; i < count; ++i)
                row[x + i] = Four ? static_cast<std::uint8_t>((i & 1) ? (v & 15) : (v >> 4)) : v;
            x += std::max<std::int64_t>(count, 0);
            continue;
        }
        if (v == 0) {  // end of line
            ++line;
            x = 0;
        } else if (v == 1) {  // end of bitmap
            break;
        } else if (v == 2) {  // delta
            if (left() < 2) break;
            x += data[pos];
            line += data[pos + 1];
            pos += 2;
            if (x > width || line > image.Height) throw EImagingError("Bitmap RLE delta moves outside the image.");
        } else {  // literal of v pixels
            std::uint8_t* row = RleRow(image, line, topDown);
            if (Four) {
                const std::int64_t count = std::min<std::int64_t>({v, std::int64_t(left()) * 2, width - x});
                for (std::int64_t i = 0; i < count; ++i) {
                    const std::uint8_t b = data[pos + static_cast<std::size_t>(i / 2)];
                    row[x + i] = (i & 1) ? (b & 15) : (b >> 4);
                }
                // Pairs of pixels a byte; the data of a literal ends on a 16-bit boundary.
                pos += static_cast<std::size_t>((count + 1) / 2);
                if (count % 4 == 1 || count % 4 == 2) ++pos;
                x += count;
            } else {
                const std::int64_t count = std::min<std::int64_t>({v, std::int64_t(left()), width - x});
                if (count > 0) std::memcpy(row + x, data.data() + pos, static_cast<std::size_t>(count));
                pos += v + (v & 1u);
                x += std::max<std::int64_t>(count, 0);
            }
            pos = std::min(pos, data.size());
        }
    }
}

TImageFormat FormatForBitCount(const BmpInfo& h) {
    switch (h.bitCount) {
    case 1: case 4: case 8: return ifIndex8;
    case 16:
        if (h.redMask == 0x0F00) return h.alphaMask == 0 ? ifX4R4G4B4 : ifA4R4G4B4;
        if (h.redMask == 0xF800) return ifR5G6B5;
        return ifA1R5G5B5;
    case 24: return ifR8G8B8;
    case 32: return ifA8R8G8B8;
    default: return ifUnknown;
    }
}

}  // namespace

void DecodeBitmapRLE8(std::span<const std::uint8_t> data, TImageData& image, bool topDown) {
    DecodeRLE<false>(data, image, topDown);
}

void DecodeBitmapRLE4(std::span<const std::uint8_t> data, TImageData& image, bool topDown) {
    DecodeRLE<true>(data, image, topDown);
}

std::vector<std::uint8_t> EncodeBitmapRLE8(const TImageData& image) {
    std::vector<std::uint8_t> out;
    const std::size_t width = static_cast<std::size_t>(image.Width);
    out.reserve(static_cast<std::size_t>(image.Size) / 2 + 16);
    for (std::int32_t y = image.Height - 1; y >= 0; --y) {
        const std::uint8_t* row = image.Bits + static_cast<std::size_t>(y) * width;
        std::size_t x = 0;
        while (x < width) {
            std::size_t r = 1;
            while (r < 255 && x + r < width && row[x + r] == row[x]) ++r;
            std::size_t a = 0;
            if (r == 1)
                while (a < 255 && x + a < width && (x + a + 1 == width || row[x + a] != row[x + a + 1])) ++a;
            if (a >= 3) {
                out.push_back(0);
                out.push_back(static_cast<std::uint8_t>(a));
                out.insert(out.end(), row + x, row + x + a);
                if (a & 1) out.push_back(0);
                x += a;
            } else {
                out.push_back(static_cast<std::uint8_t>(r));
                out.push_back(row[x]);
                x += r;
            }
        }
        out.push_back(0);
        out.push_back(0);
    }
    out.push_back(0);
    out.push_back(1);
    return out;
}

TBitmapFileFormat::TBitmapFileFormat() {
    Name = "Windows Bitmap Image";
    AddMasks("*.bmp,*.dib");
    CanLoad = true;
    CanSave = true;
    IsMultiImage = false;
    for (const TImageFormat f : {ifIndex8, ifR5G6B5, ifA1R5G5B5, ifA4R4G4B4, ifX1R5G5B5, ifX4R4G4B4, ifR8G8B8,
                                 ifA8R8G8B8, ifX8R8G8B8})
        SupportedFormats.set(f);
    RegisterOption(ImagingBitmapRLE, &BitmapRLE);
}

bool TBitmapFileFormat::TestFormat(const TIOFunctions& io, TImagingHandle handle) {
    std::uint8_t head[14];
    return PeekFormatInput(io, handle, head, 14) == 14 && head[0] == 'B' && head[1] == 'M';
}

void TBitmapFileFormat::ConvertToSupported(TImageData& image, const TImageFormatInfo& info) {
    TImageFormat target;
    if (info.IsFloat) target = info.HasAlpha ? ifA8R8G8B8 : ifR8G8B8;
    else if (info.IsGray || info.IsIndexed) target = info.HasAlpha ? ifA8R8G8B8 : ifIndex8;
    else if (info.HasAlpha) target = ifA8R8G8B8;
    else target = info.IsPacked ? ifX1R5G5B5 : ifR8G8B8;
    ConvertImage(image, target);
}

bool TBitmapFileFormat::LoadData(const TIOFunctions& io, TImagingHandle handle, TDynImageDataArray& images, bool) {
    const TFormatInput in = ReadFormatInput(io, handle);
    ByteReader r(in.data());
    std::uint16_t type = 0;
    std::uint32_t fileSize = 0, reserved = 0, offset = 0, headerSize = 0;
    if (!r.u16le(type) || !r.u32le(fileSize) || !r.u32le(reserved) || !r.u32le(offset) || !r.u32le(headerSize))
        RaiseBadImageData("Bitmap header cut short.");
    BmpInfo h;
    if (headerSize == kCoreHeader) {
        std::uint16_t w = 0, ht = 0, planes = 0;
        if (!r.u16le(w) || !r.u16le(ht) || !r.u16le(planes) || !r.u16le(h.bitCount))
            RaiseBadImageData("Bitmap header cut short.");
        h.width = w;
        h.height = ht;
    } else {
        if (headerSize < 4) RaiseBadImageData("Bitmap header size below 4.");
        // Fields the header does not reach stay zero.
        std::uint8_t body[kMaxWindowsBody] = {};
        const std::uint64_t want = std::min<std::uint64_t>(headerSize - 4, kMaxWindowsBody);
        r.bytes(body, std::min<std::uint64_t>(want, r.remaining()));
        ByteReader b(std::span<const std::uint8_t>(body, sizeof body));
        std::uint16_t planes = 0;
        std::uint32_t xres, yres;
        b.i32le(h.width);
        b.i32le(h.height);
        b.u16le(planes);
        b.u16le(h.bitCount);
        b.u32le(h.compression);
        b.u32le(h.sizeImage);
        b.u32le(xres);
        b.u32le(yres);
        b.u32le(h.clrUsed);
        b.skip(4);
        b.u32le(h.redMask);
        b.u32le(h.greenMask);
        b.u32le(h.blueMask);
        b.u32le(h.alphaMask);
        if (h.compression == kBiBitFields && headerSize == kInfoHeader) {
            ByteReader m(in.data());
            m.seek(14 + 40);
            m.u32le(h.redMask);
            m.u32le(h.greenMask);
            m.u32le(h.blueMask);
        }
    }
    const TImageFormat format = FormatForBitCount(h);
    if (format == ifUnknown) return false;
    if (h.width <= 0 || h.height == 0 || h.height == INT32_MIN) RaiseBadImageData("Bitmap size out of range.");
    const bool topDown = h.height < 0;
    const std::int32_t height = topDown ? -h.height : h.height;
    const std::uint64_t rowBytes = (std::uint64_t(h.width) * h.bitCount + 31) / 32 * 4;
    const std::uint64_t dataStart = offset;
    const std::uint64_t available = dataStart < in.bytes.size() ? in.bytes.size() - dataStart : 0;
    const bool rows = h.compression == kBiRGB || h.compression == kBiBitFields;
    const bool rle = h.compression == kBiRLE8 || h.compression == kBiRLE4;
    // RLE data: the size the header gives (or the file's), no more than there is.
    std::int64_t rleSize = h.sizeImage ? std::int64_t(h.sizeImage) : std::int64_t(fileSize) - std::int64_t(offset);
    if (rleSize <= 0 || std::uint64_t(rleSize) > available) rleSize = static_cast<std::int64_t>(available);
    if (rle) {
        RequireStoredData(std::uint64_t(h.width) * std::uint64_t(height), std::uint64_t(rleSize), kBitmapRleBound,
                          "Bitmap RLE data too short for the image size.");
    } else {
        // Rows as stored; a compression not read here leaves the pixels zero,
        // but its file must still be as large as the rows would be. The last
        // row may come without its padding.
        const std::uint64_t need = rowBytes * std::uint64_t(height - 1) + (std::uint64_t(h.width) * h.bitCount + 7) / 8;
        if (need > available) RaiseBadImageData("Bitmap pixel data cut short.");
    }

    images.assign(1, TImageData{});
    TImageData& image = images[0];
    if (!NewImage(h.width, height, format, image)) return false;
    const std::size_t width = static_cast<std::size_t>(h.width);

    if (h.bitCount <= 8) {
        const std::uint64_t paletteAt = std::uint64_t(14) + headerSize;
        ByteReader p(in.data());
        if (p.seek(paletteAt)) {
            const bool os2 = headerSize == kCoreHeader;
            std::uint32_t entries = os2 || h.clrUsed == 0 ? 1u << h.bitCount : h.clrUsed;
            entries = std::min<std::uint32_t>(entries, 256);  // a larger count does not fit the palette
            for (std::uint32_t i = 0; i < entries; ++i) {
                std::uint8_t bgr[4] = {};
                if (!p.bytes(bgr, os2 ? 3 : 4)) break;
                image.Palette[i] = Color32(255, bgr[2], bgr[1], bgr[0]);
            }
        }
    }

    const std::span<const std::uint8_t> data =
        available ? in.data().subspan(static_cast<std::size_t>(dataStart)) : std::span<const std::uint8_t>();
    std::uint64_t used = 0;  // bytes of pixel data taken
    if (rows) {
        used = std::min<std::uint64_t>(rowBytes * std::uint64_t(height), available);
        const std::size_t bpp = static_cast<std::size_t>(FormatInfo(format)->BytesPerPixel);
        for (std::int32_t n = 0; n < height; ++n) {
            const std::uint8_t* src = data.data() + std::size_t(n) * rowBytes;
            std::uint8_t* dst = image.Bits + std::size_t(topDown ? n : height - 1 - n) * width * bpp;
            switch (h.bitCount) {
            case 1: Convert1To8(src, dst, h.width, 1, static_cast<std::int32_t>(rowBytes)); break;
            case 4: Convert4To8(src, dst, h.width, 1, static_cast<std::int32_t>(rowBytes)); break;
            default: std::memcpy(dst, src, width * bpp); break;
            }
        }
    } else if (rle) {
        const auto coded = data.first(static_cast<std::size_t>(rleSize));
        if (h.compression == kBiRLE8) DecodeBitmapRLE8(coded, image, topDown);
        else DecodeBitmapRLE4(coded, image, topDown);
        used = static_cast<std::uint64_t>(rleSize);
    }
    // Other compressions leave the pixels zero.

    if (h.alphaMask == 0) {
        const std::size_t count = width * std::size_t(height);
        if (image.Format == ifA1R5G5B5 && !Has16BitImageAlpha(count, reinterpret_cast<const std::uint16_t*>(image.Bits)))
            image.Format = ifX1R5G5B5;
        else if (image.Format == ifA8R8G8B8 &&
                 !Has32BitImageAlpha(count, reinterpret_cast<const std::uint32_t*>(image.Bits)))
            image.Format = ifX8R8G8B8;
    }
    in.LeaveAt(available ? dataStart + used : in.bytes.size());
    return true;
}

bool TBitmapFileFormat::SaveData(const TIOFunctions& io, TImagingHandle handle, const TDynImageDataArray& images,
                                 std::int32_t index) {
    TSavableCopy copy;
    if (!MakeCompatible(images[static_cast<std::size_t>(index)], copy.image, copy.owned)) return false;
    const TImageData& image = copy.image;
    const TImageFormatInfo& info = *FormatInfo(image.Format);
    const bool v4 = info.HasAlpha && info.BytesPerPixel == 2;
    const std::uint32_t headerSize = v4 ? kV4Header : kInfoHeader;
    std::uint32_t compression = kBiRGB;
    if (image.Format == ifIndex8 && BitmapRLE != 0) compression = kBiRLE8;
    else if (info.BytesPerPixel == 2 && image.Format != ifX1R5G5B5) compression = kBiBitFields;

    ByteWriter w;
    w.text("BM");
    w.fill(0, 12);  // file size, reserved, offset: patched below
    w.u32le(headerSize);
    w.i32le(image.Width);
    w.i32le(image.Height);
    w.u16le(1);
    w.u16le(static_cast<std::uint16_t>(info.BytesPerPixel * 8));
    w.u32le(compression);
    w.u32le(0);  // image data size: patched below
    w.u32le(2835);
    w.u32le(2835);
    w.u32le(0);
    w.u32le(0);
    const TBitFieldInfo* bits = info.BitFields;
    if (v4) {
        w.u32le(bits->RMask);
        w.u32le(bits->GMask);
        w.u32le(bits->BMask);
        w.u32le(bits->AMask);
        w.fill(0, kV4Header - kInfoHeader - 16);  // colour-space type, endpoints and gammas
    } else if (compression == kBiBitFields) {
        w.u32le(bits->RMask);
        w.u32le(bits->GMask);
        w.u32le(bits->BMask);
    }
    for (std::int32_t i = 0; i < info.PaletteEntries; ++i) {
        const TColor32 c = image.Palette[i];
        w.u8(Color32B(c));
        w.u8(Color32G(c));
        w.u8(Color32R(c));
        w.u8(Color32A(c));
    }
    const auto offset = static_cast<std::uint32_t>(w.size());
    if (compression == kBiRLE8) {
        w.bytes(EncodeBitmapRLE8(image));
    } else {
        const std::size_t row = std::size_t(image.Width) * std::size_t(info.BytesPerPixel);
        const std::size_t padded = (row + 3) / 4 * 4;
        ReserveFormatOutput(w.buffer(), padded * std::size_t(image.Height));
        for (std::int32_t y = image.Height - 1; y >= 0; --y) {
            w.bytes(image.Bits + std::size_t(y) * row, row);
            w.fill(0, padded - row);
        }
    }
    const std::uint64_t total = w.size();
    if (total > UINT32_MAX) return false;
    w.patchU32le(2, static_cast<std::uint32_t>(total));
    w.patchU32le(10, offset);
    w.patchU32le(34, static_cast<std::uint32_t>(total - offset));
    return WriteFormatOutput(io, handle, w.buffer());
}

void RegisterFormatBmp() { RegisterImageFileFormat(frBitmap, std::make_unique<TBitmapFileFormat>()); }

}  // namespace velto
