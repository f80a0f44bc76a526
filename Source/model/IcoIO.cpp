#include "model/IcoIO.h"

#include <algorithm>
#include <array>
#include <numeric>

#include "model/PaletteIndexer.h"
#include "platform/FileIO.h"
#include "platform/FileWriter.h"
#include "platform/PixelRows.h"
#include "core/Language.h"
#include "core/MessageBox.h"

namespace velto {

namespace {

constexpr std::uint32_t kBitmapHeaderSize = 40;
constexpr std::uint64_t kDirEntrySize = 16;
constexpr std::uint64_t kHeaderSize = 6;

// Bytes of one stored row of `bits`-per-pixel pixels, padded to 4 bytes.
constexpr std::int64_t RowBytes(std::int64_t width, int bits) {
    return (width * bits + 31) / 32 * 4;
}

bool IsModelDepth(int bits) { return bits == 1 || bits == 4 || bits == 8 || bits == 24 || bits == 32; }

struct BitmapHeader {
    std::uint32_t Size = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::uint16_t Planes = 0;
    std::uint16_t BitCount = 0;
    std::uint32_t Compression = 0;
};

bool ReadBitmapHeader(ByteReader& r, BitmapHeader& h) {
    std::uint32_t unused = 0;
    return r.u32le(h.Size) && r.i32le(h.Width) && r.i32le(h.Height) && r.u16le(h.Planes) && r.u16le(h.BitCount) &&
           r.u32le(h.Compression) && r.u32le(unused) && r.u32le(unused) && r.u32le(unused) && r.u32le(unused) &&
           r.u32le(unused);
}

struct DirEntry {
    std::int16_t Word4 = 0;  // icon: planes; cursor: hotspot X
    std::int16_t Word6 = 0;  // icon: bit count; cursor: hotspot Y
    std::uint32_t Offset = 0;
};

}  // namespace

TmyIcoIO::TmyIcoIO(bool showMessages) : ShowMessagesFlag(showMessages) {}

void TmyIcoIO::ShowMessage(const std::string& text, int kind) const {
    if (ShowMessagesFlag) ShowMessageBox(text, kind, mbOK);
}

// ---------------------------------------------------------------- reading

bool TmyIcoIO::LoadFromFile(TmyIcon& doc, const std::string& fileName, FileError* error) {
    if (error) *error = FileError::None;
    std::vector<std::uint8_t> data;
    if (!ReadWholeFile(fileName, data, Limits.fileSize, error)) return false;
    ByteReader reader(data);
    if (LoadFromStream(doc, reader)) return true;
    if (error) *error = FileError::Unsupported;
    return false;
}

bool TmyIcoIO::LoadFromStream(TmyIcon& doc, ByteReader& stream) {
    const std::uint64_t start = stream.pos();
    std::uint16_t reserved = 0, type = 0;
    std::int16_t count = 0;
    if (!stream.u16le(reserved) || !stream.u16le(type) || !stream.i16le(count) || reserved != 0 ||
        (type != 1 && type != 2)) {
        stream.seek(start);
        ShowMessage(Lang().GetMessage("msgInvalidFormat", "Invalid File Format!"), mkError);
        return false;
    }
    const bool cursor = type == 2;
    doc.IsCursor = cursor;

    // A negative count holds no entries; beyond the entry limit the rest is
    // ignored, and only entries wholly inside the data are read.
    const std::uint64_t declared = std::min<std::uint64_t>(static_cast<std::uint64_t>(std::max<int>(count, 0)), Limits.entries);
    const std::uint64_t entries = std::min(declared, stream.remaining() / kDirEntrySize);
    if (declared > 0 && entries == 0) {
        ShowMessage(Lang().GetMessage("msgInvalidFormat", "Invalid File Format!"), mkError);
        return false;
    }
    std::vector<DirEntry> dir(static_cast<std::size_t>(entries));
    for (std::uint64_t i = 0; i < entries; ++i) {
        std::uint32_t head = 0, size = 0;
        DirEntry& e = dir[static_cast<std::size_t>(i)];
        stream.u32le(head);  // width, height, colour count, reserved: the image header says it all
        stream.i16le(e.Word4);
        stream.i16le(e.Word6);
        stream.u32le(size);
        stream.u32le(e.Offset);
    }
    std::uint64_t endPos = stream.pos();

    int read = 0;
    for (std::uint64_t i = 0; i < entries; ++i) {
        const DirEntry& e = dir[static_cast<std::size_t>(i)];
        if (!stream.seek(start + e.Offset)) continue;
        const bool ok = ReadImage(doc, static_cast<std::uint8_t>(e.Word6 & 0xFF), stream, cursor);
        endPos = stream.pos();
        if (!ok) continue;
        ++read;
        TmyImagePal& img = doc.CurrentImage();
        img.SetHotSpotX(cursor ? e.Word4 : 0);
        img.SetHotSpotY(cursor ? e.Word6 : 0);
    }
    stream.seek(endPos);
    if (read == 0) return false;
    doc.SortImages();
    return true;
}

bool TmyIcoIO::ReadImage(TmyIcon& doc, std::uint8_t hint, ByteReader& stream, bool depthFromPng) {
    const std::uint64_t p = stream.pos();
    ByteReader peek = stream;
    BitmapHeader h;
    const bool haveHeader = ReadBitmapHeader(peek, h);
    if (haveHeader && h.Size == kBitmapHeaderSize && h.Planes == 1 && h.Compression == 0) return ReadBitmap(doc, stream, p);

    if (!depthFromPng && !IsModelDepth(hint)) {
        std::string text = Lang().GetMessage("msgNotSupported", "%i1 bit images are not suported!");
        ShowMessage(ReplacePlaceholder(std::move(text), "%i1", std::to_string(hint)), mkInformation);
        return false;
    }
    return ReadPNG(doc, hint, depthFromPng, stream);
}

bool TmyIcoIO::ReadBitmap(TmyIcon& doc, ByteReader& stream, std::uint64_t start) {
    BitmapHeader h;
    if (!stream.seek(start) || !ReadBitmapHeader(stream, h)) return false;
    const std::int32_t height = h.Height / 2;
    const std::int32_t width = h.Width;
    if (height > MaxSide || width > MaxSide) {
        std::string text = Lang().GetMessage("msgBigImg", "Image ignored: Too big (%i1x%i2)");
        text = ReplacePlaceholder(std::move(text), "%i1", std::to_string(h.Width));
        text = ReplacePlaceholder(std::move(text), "%i2", std::to_string(h.Height));
        ShowMessage(text, mkWarning);
        return false;
    }
    // No image of the model is empty; a header claiming so is a broken entry.
    if (height < 1 || width < 1) return false;
    const int bits = h.BitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
        std::string text = Lang().GetMessage("msgNotSupported", "%i1 bit images are not suported!");
        ShowMessage(ReplacePlaceholder(std::move(text), "%i1", std::to_string(bits)), mkInformation);
        return false;
    }

    const int depth = bits == 16 ? 24 : bits;
    auto image = std::make_unique<TmyImagePal>(ImageSize{width, height}, depth);

    const int paletteCount = PaletteCountForBits(bits);
    std::array<TmyPixel, 256> palette{};
    if (paletteCount > 0) {
        std::span<const std::uint8_t> raw;
        if (!stream.view(static_cast<std::uint64_t>(paletteCount) * 4, raw)) return false;
        TmyPalette& pal = *image->Palette;
        for (int i = 0; i < paletteCount; ++i) {
            const auto* q = raw.data() + 4 * i;
            palette[static_cast<std::size_t>(i)] = TmyPixel::CreateRGBA(q[2], q[1], q[0], 255);
            pal[i] = palette[static_cast<std::size_t>(i)];
        }
    }

    const std::int64_t rowBytes = bits == 32 ? 4LL * width : RowBytes(width, bits);
    std::span<const std::uint8_t> rows;
    if (!stream.view(static_cast<std::uint64_t>(rowBytes) * static_cast<std::uint64_t>(height), rows)) return false;
    std::vector<std::uint8_t> indices(paletteCount > 0 ? static_cast<std::size_t>(width) : 0);
    for (int y = height - 1, fileRow = 0; y >= 0; --y, ++fileRow) {
        const std::uint8_t* src = rows.data() + static_cast<std::size_t>(fileRow) * static_cast<std::size_t>(rowBytes);
        auto dst = image->Row(y);
        switch (bits) {
        case 1:
        case 4:
        case 8:
            UnpackPixels(src, indices.size(), bits, indices.data());
            for (int x = 0; x < width; ++x) dst[x] = palette[indices[static_cast<std::size_t>(x)]];
            break;
        case 16:
            for (int x = 0; x < width; ++x) {
                const unsigned w = static_cast<unsigned>(src[2 * x]) | static_cast<unsigned>(src[2 * x + 1]) << 8;
                dst[x] = TmyPixel::CreateRGBA(static_cast<std::uint8_t>(((w >> 10) & 31) * 255 / 31),
                                              static_cast<std::uint8_t>(((w >> 5) & 31) * 255 / 31),
                                              static_cast<std::uint8_t>((w & 31) * 255 / 31), 255);
            }
            break;
        case 24:
            for (int x = 0; x < width; ++x) dst[x] = TmyPixel::CreateRGBA(src[3 * x + 2], src[3 * x + 1], src[3 * x], 255);
            break;
        default:
            for (int x = 0; x < width; ++x)
                dst[x] = TmyPixel::CreateRGBA(src[4 * x + 2], src[4 * x + 1], src[4 * x], src[4 * x + 3]);
            break;
        }
    }

    bool useMask = true;
    if (bits == 32) {
        const auto px = image->Pixels();
        const bool noAlpha = std::all_of(px.begin(), px.end(), [](const TmyPixel& q) { return q.A == 0; });
        if (noAlpha) {
            for (TmyPixel& q : px) q.A = 255;
            MaskFor32Flag = 1;
        } else {
            MaskFor32Flag = 0;
            useMask = false;
        }
    }

    const std::int64_t maskRow = RowBytes(width, 1);
    const std::uint64_t maskBytes = static_cast<std::uint64_t>(maskRow) * static_cast<std::uint64_t>(height);
    if (!useMask) {
        // The alpha channel decides; a mask cut off by the end of the data is harmless.
        stream.skip(std::min(maskBytes, stream.remaining()));
    } else {
        std::span<const std::uint8_t> mask;
        if (!stream.view(maskBytes, mask)) return false;
        for (int y = height - 1, fileRow = 0; y >= 0; --y, ++fileRow) {
            const std::uint8_t* src = mask.data() + static_cast<std::size_t>(fileRow) * static_cast<std::size_t>(maskRow);
            auto dst = image->Row(y);
            for (int x = 0; x < width; ++x)
                if (PackedPixel(src, static_cast<std::size_t>(x), 1)) dst[x] = TmyPixel::Create();
        }
    }

    doc.AppendImage(std::move(image));
    return true;
}

// ---------------------------------------------------------------- writing

std::int64_t TmyIcoIO::ImageDataSize(int height, int width, int bitCount) {
    const std::int64_t h = height, w = width;
    switch (bitCount) {
    case 1: return h * RowBytes(w, 1) + 8;
    case 4: return h * RowBytes(w, 4) + 64;
    case 8: return h * RowBytes(w, 8) + 1024;
    case 24: return h * RowBytes(w, 24);
    case 32: return h * 4 * w;
    default: return 0;
    }
}

std::int64_t TmyIcoIO::MaskDataSize(int height, int width, int /*bitCount*/) {
    return static_cast<std::int64_t>(height) * RowBytes(width, 1);
}

std::int64_t TmyIcoIO::PNGDataSize(const TmyImagePal& image) {
    return static_cast<std::int64_t>(EncodePNG(image).size());
}

bool TmyIcoIO::SaveToFile(const TmyIcon& doc, const std::string& fileName, bool png, FileError* error) {
    if (error) *error = FileError::None;
    ByteWriter out;
    if (!SaveToStream(doc, out, png)) {
        if (error) *error = FileError::Unsupported;
        return false;
    }
    return WriteWholeFile(fileName, out.buffer(), error);
}

bool TmyIcoIO::SaveToStream(const TmyIcon& doc, ByteWriter& stream, bool png) {
    const int count = doc.Count();
    if (count < 1 || count > 0x7FFF) return false;
    for (int i = 0; i < count; ++i) {
        const TmyImagePal& img = doc.Image(i);
        if (!IsModelDepth(img.BitCount) || img.Width() < 1 || img.Width() > MaxSide || img.Height() < 1 ||
            img.Height() > MaxSide)
            return false;
        if (PaletteCountForBits(img.BitCount) > 0 &&
            (!img.Palette || img.Palette->Count() != PaletteCountForBits(img.BitCount)))
            return false;
    }

    // Ascending depth, then descending width and height, through an index
    // permutation: the caller's document keeps its order and current image.
    std::vector<int> order(static_cast<std::size_t>(count));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const TmyImagePal& x = doc.Image(a);
        const TmyImagePal& y = doc.Image(b);
        if (x.BitCount != y.BitCount) return x.BitCount < y.BitCount;
        if (x.Width() != y.Width()) return x.Width() > y.Width();
        return x.Height() > y.Height();
    });

    // PNG entries are encoded once; the directory's size is that buffer's length.
    std::vector<std::vector<std::uint8_t>> pngs(static_cast<std::size_t>(count));
    std::vector<std::int64_t> sizes(static_cast<std::size_t>(count));
    std::int64_t total = static_cast<std::int64_t>(kHeaderSize + kDirEntrySize * static_cast<std::uint64_t>(count));
    for (int k = 0; k < count; ++k) {
        const TmyImagePal& img = doc.Image(order[static_cast<std::size_t>(k)]);
        // Only 32-bit images: a PNG entry of a cursor reads back as 32 bits, so
        // a lower depth and its palette would not survive the round trip.
        if (png && img.BitCount == 32 && img.Width() == MaxSide && img.Height() == MaxSide) {
            pngs[static_cast<std::size_t>(k)] = EncodePNG(img);
            if (pngs[static_cast<std::size_t>(k)].empty()) return false;
            sizes[static_cast<std::size_t>(k)] = static_cast<std::int64_t>(pngs[static_cast<std::size_t>(k)].size());
        } else {
            sizes[static_cast<std::size_t>(k)] = kBitmapHeaderSize + ImageDataSize(img.Height(), img.Width(), img.BitCount) +
                                                 MaskDataSize(img.Height(), img.Width());
        }
        total += sizes[static_cast<std::size_t>(k)];
    }
    if (total > 0xFFFFFFFFLL) return false;

    const std::size_t begin = stream.buffer().size();
    stream.reserve(begin + static_cast<std::size_t>(total));
    stream.u16le(0);
    stream.u16le(2);
    stream.u16le(static_cast<std::uint16_t>(count));
    std::int64_t offset = static_cast<std::int64_t>(kHeaderSize + kDirEntrySize * static_cast<std::uint64_t>(count));
    for (int k = 0; k < count; ++k) {
        const TmyImagePal& img = doc.Image(order[static_cast<std::size_t>(k)]);
        stream.u8(static_cast<std::uint8_t>(img.Width() % 256));
        stream.u8(static_cast<std::uint8_t>(img.Height() % 256));
        stream.u8(0);
        stream.u8(0);
        stream.i16le(static_cast<std::int16_t>(img.HotSpotX()));
        stream.i16le(static_cast<std::int16_t>(img.HotSpotY()));
        stream.u32le(static_cast<std::uint32_t>(sizes[static_cast<std::size_t>(k)]));
        stream.u32le(static_cast<std::uint32_t>(offset));
        offset += sizes[static_cast<std::size_t>(k)];
    }

    for (int k = 0; k < count; ++k) {
        const TmyImagePal& img = doc.Image(order[static_cast<std::size_t>(k)]);
        if (!pngs[static_cast<std::size_t>(k)].empty()) {
            stream.bytes(pngs[static_cast<std::size_t>(k)]);
            continue;
        }
        const int w = img.Width(), h = img.Height(), bits = img.BitCount;
        stream.u32le(kBitmapHeaderSize);
        stream.i32le(w);
        stream.i32le(2 * h);
        stream.u16le(1);
        stream.u16le(static_cast<std::uint16_t>(bits));
        stream.fill(0, 24);  // compression, image size, resolution, colours used and important

        const std::size_t rowBytes = static_cast<std::size_t>(bits == 32 ? 4LL * w : RowBytes(w, bits));
        std::vector<std::uint8_t> row(rowBytes);
        if (img.Palette) {
            const TmyPalette& pal = *img.Palette;
            for (const TmyPixel& c : pal.Colors()) {
                const std::uint8_t entry[4] = {c.B, c.G, c.R, 0};
                stream.bytes(entry, 4);
            }
            int black = pal.IndexOfColor(TColor{0});
            if (black < 0) {
                ShowMessage(Lang().GetMessage("msgNoBlack", "The palette does not include the color Black."), mkWarning);
                black = 0;
            }
            PaletteIndexer indexer(pal);
            std::vector<std::uint8_t> indices(static_cast<std::size_t>(w));
            for (int y = h - 1; y >= 0; --y) {
                std::fill(row.begin(), row.end(), 0);
                const auto src = img.Row(y);
                for (int x = 0; x < w; ++x)
                    indices[static_cast<std::size_t>(x)] =
                        src[x].A == 0 ? static_cast<std::uint8_t>(black) : indexer.IndexOf(src[x]);
                PackPixels(indices.data(), indices.size(), bits, row.data());
                stream.bytes(row.data(), row.size());
            }
        } else {
            for (int y = h - 1; y >= 0; --y) {
                std::fill(row.begin(), row.end(), 0);
                const auto src = img.Row(y);
                std::uint8_t* d = row.data();
                if (bits == 24) {
                    for (int x = 0; x < w; ++x, d += 3) {
                        if (src[x].A == 0) continue;  // transparent: black under a set mask bit
                        d[0] = src[x].B;
                        d[1] = src[x].G;
                        d[2] = src[x].R;
                    }
                } else {
                    for (int x = 0; x < w; ++x, d += 4) {
                        d[0] = src[x].B;
                        d[1] = src[x].G;
                        d[2] = src[x].R;
                        d[3] = src[x].A;
                    }
                }
                stream.bytes(row.data(), row.size());
            }
        }

        const std::size_t maskRow = static_cast<std::size_t>(RowBytes(w, 1));
        std::vector<std::uint8_t> mask(maskRow);
        for (int y = h - 1; y >= 0; --y) {
            std::fill(mask.begin(), mask.end(), 0);
            const auto src = img.Row(y);
            for (int x = 0; x < w; ++x)
                if (src[x].A == 0) OrPackedPixel(mask.data(), static_cast<std::size_t>(x), 1, 1);
            stream.bytes(mask.data(), mask.size());
        }
    }
    return true;
}

}  // namespace velto
