// Targa images. Sizes from the header are checked against the input before
// anything is allocated; run-length data ends where the input ends.
#include "imaging/FormatTga.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "imaging/FormatInput.h"
#include "imaging/Formats.h"
#include "imaging/Options.h"
#include "platform/ByteReader.h"
#include "platform/ByteWriter.h"

namespace velto {

namespace {

constexpr std::size_t kHeaderSize = 18, kFooterSize = 26, kExtensionSize = 495;
constexpr char kFooterSignature[] = "TRUEVISION-XFILE";

struct TgaHeader {
    std::uint8_t idLength = 0, colorMapType = 0, imageType = 0;
    std::uint16_t firstEntry = 0, mapLength = 0;
    std::uint8_t entrySize = 0;
    std::uint16_t width = 0, height = 0;
    std::uint8_t depth = 0, descriptor = 0;
};

TgaHeader ParseHeader(const std::uint8_t* b) {
    TgaHeader h;
    h.idLength = b[0];
    h.colorMapType = b[1];
    h.imageType = b[2];
    h.firstEntry = static_cast<std::uint16_t>(b[3] | b[4] << 8);
    h.mapLength = static_cast<std::uint16_t>(b[5] | b[6] << 8);
    h.entrySize = b[7];
    h.width = static_cast<std::uint16_t>(b[12] | b[13] << 8);
    h.height = static_cast<std::uint16_t>(b[14] | b[15] << 8);
    h.depth = b[16];
    h.descriptor = b[17];
    return h;
}

TImageFormat FormatByDepth(std::uint8_t depth) {
    switch (depth) {
    case 8: return ifGray8;
    case 15: return ifX1R5G5B5;
    case 16: return ifA1R5G5B5;
    case 24: return ifR8G8B8;
    case 32: return ifA8R8G8B8;
    default: return ifUnknown;
    }
}

TImageFormat FormatOf(const TgaHeader& h) {
    switch (h.imageType) {
    case 1: case 9:
        // Indices wider than a byte do not fit Index8.
        return h.depth == 8 ? ifIndex8 : ifUnknown;
    case 2: case 10:
        if (h.depth == 8) break;
        return FormatByDepth(h.depth);
    case 3: case 11:
        // Grey with an alpha byte beside each sample.
        if (h.depth == 16) return ifA8Gray8;
        return h.depth == 8 ? ifGray8 : ifUnknown;
    default: break;
    }
    return FormatByDepth(h.depth);
}

}  // namespace

std::size_t DecodeTargaRLE(std::span<const std::uint8_t> in, std::span<std::uint8_t> out, std::size_t bpp) {
    std::size_t pos = 0, at = 0;
    while (at < out.size() && pos < in.size()) {
        const std::uint8_t h = in[pos++];
        const std::size_t count = (h & 0x7Fu) + 1;
        const std::size_t bytes = std::min(count * bpp, out.size() - at);
        if (h & 0x80) {  // one pixel, repeated
            if (in.size() - pos < bpp) break;
            for (std::size_t i = 0; i < bytes; ++i) out[at + i] = in[pos + i % bpp];
            pos += bpp;
        } else {  // pixels one by one
            const std::size_t avail = in.size() - pos, n = std::min(bytes, avail);
            std::memcpy(out.data() + at, in.data() + pos, n);
            pos += std::min(count * bpp, avail);
            if (n < bytes) break;
        }
        at += bytes;
    }
    return pos;
}

void EncodeTargaRLERow(const std::uint8_t* row, std::size_t count, std::size_t bpp, std::vector<std::uint8_t>& out) {
    const auto same = [&](std::size_t a, std::size_t b) { return std::memcmp(row + a * bpp, row + b * bpp, bpp) == 0; };
    std::size_t x = 0;
    while (x < count) {
        // d: pixels before the first that equals its successor; s: equal pixels from here.
        std::size_t d = 0;
        while (x + d < count && d < 128 && !(x + d + 1 < count && same(x + d, x + d + 1))) ++d;
        std::size_t s = 1;
        while (x + s < count && s < 128 && same(x, x + s)) ++s;
        if (d > 0) {
            out.push_back(static_cast<std::uint8_t>(d - 1));
            out.insert(out.end(), row + x * bpp, row + (x + d) * bpp);
            x += d;
        } else {
            out.push_back(static_cast<std::uint8_t>((s - 1) + 128));
            out.insert(out.end(), row + x * bpp, row + (x + 1) * bpp);
            x += s;
        }
    }
}

TTargaFileFormat::TTargaFileFormat() {
    Name = "Truevision Targa Image";
    AddMasks("*.tga");
    CanLoad = true;
    CanSave = true;
    IsMultiImage = false;
    for (const TImageFormat f : {ifIndex8, ifGray8, ifA1R5G5B5, ifR8G8B8, ifA8R8G8B8}) SupportedFormats.set(f);
    RegisterOption(ImagingTargaRLE, &UseRLE);
}

bool TTargaFileFormat::TestFormat(const TIOFunctions& io, TImagingHandle handle) {
    std::uint8_t b[kHeaderSize];
    if (PeekFormatInput(io, handle, b, kHeaderSize) != static_cast<std::int64_t>(kHeaderSize)) return false;
    const TgaHeader h = ParseHeader(b);
    const auto oneOf = [](std::uint8_t v, std::initializer_list<std::uint8_t> set) {
        return std::find(set.begin(), set.end(), v) != set.end();
    };
    return oneOf(h.imageType, {0, 1, 2, 3, 9, 10, 11}) && oneOf(h.depth, {1, 8, 15, 16, 24, 32}) &&
           oneOf(h.entrySize, {0, 16, 24, 32});
}

void TTargaFileFormat::ConvertToSupported(TImageData& image, const TImageFormatInfo& info) {
    TImageFormat target;
    if (info.IsGray) target = info.HasAlpha ? ifA8R8G8B8 : ifGray8;
    else if (info.IsIndexed) target = ifIndex8;
    else if (info.HasAlpha) target = ifA8R8G8B8;
    else if (info.IsPacked && info.BitFields) target = ifA1R5G5B5;
    else target = ifR8G8B8;
    ConvertImage(image, target);
}

bool TTargaFileFormat::LoadData(const TIOFunctions& io, TImagingHandle handle, TDynImageDataArray& images, bool) {
    const TFormatInput in = ReadFormatInput(io, handle);
    ByteReader r(in.data());
    std::uint8_t b[kHeaderSize];
    if (!r.bytes(b, kHeaderSize)) RaiseBadImageData("Targa header cut short.");
    const TgaHeader h = ParseHeader(b);
    r.skip(std::min<std::uint64_t>(h.idLength, r.remaining()));

    const TImageFormat format = FormatOf(h);
    if (format == ifUnknown) return false;
    if (h.width == 0 || h.height == 0) RaiseBadImageData("Targa image of no pixels.");
    const std::size_t bpp = static_cast<std::size_t>(FormatInfo(format)->BytesPerPixel);
    const std::uint64_t size = std::uint64_t(h.width) * h.height * bpp;

    // The colour map: used by colour-mapped images, skipped by the others.
    std::span<const std::uint8_t> map;
    std::uint32_t entryBytes = 0;
    if (h.colorMapType == 1) {
        entryBytes = (h.entrySize + 7u) / 8;
        if (!r.view(std::uint64_t(h.mapLength) * entryBytes, map)) RaiseBadImageData("Targa colour map cut short.");
        if (format == ifIndex8 && h.mapLength > 0 && entryBytes != 2 && entryBytes != 3 && entryBytes != 4)
            RaiseBadImageData("Targa colour-map entries of an unknown size.");
    }
    const bool rle = h.imageType >= 9;
    if (!rle && size > r.remaining()) RaiseBadImageData("Targa pixel data cut short.");
    // Packets of at most 128 pixels each need a header byte and a pixel.
    if (rle && (size / bpp + 127) / 128 * (bpp + 1) > r.remaining()) RaiseBadImageData("Targa pixel data cut short.");

    images.assign(1, TImageData{});
    TImageData& image = images[0];
    if (!NewImage(h.width, h.height, format, image)) return false;

    if (format == ifIndex8 && !map.empty()) {
        const std::size_t entries = std::min<std::size_t>(256, h.mapLength);
        for (std::size_t i = 0; i < entries; ++i) {
            const std::uint8_t* e = map.data() + i * entryBytes;
            if (entryBytes == 4) {
                image.Palette[i] = Color32(e[3], e[2], e[1], e[0]);
            } else if (entryBytes == 3) {
                image.Palette[i] = Color32(255, e[2], e[1], e[0]);
            } else {
                // Five bits a channel; bit 15 is not taken as alpha.
                const unsigned v = e[0] | e[1] << 8;
                image.Palette[i] = Color32(255, static_cast<std::uint8_t>((v >> 10 & 31) * 8),
                                           static_cast<std::uint8_t>((v >> 5 & 31) * 8),
                                           static_cast<std::uint8_t>((v & 31) * 8));
            }
        }
    }

    const std::span<std::uint8_t> out(image.Bits, static_cast<std::size_t>(image.Size));
    // Rows stored bottom first are turned over as they are copied.
    const bool bottomUp = (h.descriptor & 0x20) == 0;
    if (rle) {
        // At most one and a half times the raw size (and a byte) is read for the packets.
        const std::uint64_t window = std::min<std::uint64_t>(r.remaining(), size + size / 2 + 1);
        const std::size_t used = DecodeTargaRLE(r.rest().first(static_cast<std::size_t>(window)), out, bpp);
        r.skip(used);
        if (bottomUp) FlipImage(image);
    } else if (bottomUp) {
        const std::size_t row = std::size_t(h.width) * bpp;
        const std::uint8_t* src = r.rest().data();
        for (std::size_t y = 0; y < h.height; ++y)
            std::memcpy(out.data() + (h.height - 1 - y) * row, src + y * row, row);
        r.skip(size);
    } else {
        r.bytes(out.data(), size);
    }

    if (format == ifA1R5G5B5 &&
        !Has16BitImageAlpha(out.size() / 2, reinterpret_cast<const std::uint16_t*>(image.Bits)))
        image.Format = ifX1R5G5B5;

    // The extension area and the footer, in any order, are consumed.
    for (bool found = true; found;) {
        found = false;
        const std::span<const std::uint8_t> rest = r.rest();
        if (rest.size() >= kExtensionSize && (rest[0] | rest[1] << 8) == int(kExtensionSize)) {
            r.skip(kExtensionSize);
            found = true;
        }
        std::span<const std::uint8_t> footer;
        if (r.has(kFooterSize) && std::memcmp(r.rest().data() + 8, kFooterSignature, 16) == 0) {
            r.view(kFooterSize, footer);
            found = true;
        }
    }
    in.LeaveAt(r.pos());
    return true;
}

bool TTargaFileFormat::SaveData(const TIOFunctions& io, TImagingHandle handle, const TDynImageDataArray& images,
                                std::int32_t index) {
    TSavableCopy copy;
    if (!MakeCompatible(images[static_cast<std::size_t>(index)], copy.image, copy.owned)) return false;
    const TImageData& image = copy.image;
    if (image.Width > 32767 || image.Height > 32767)
        throw EImagingError("Targa images are at most 32767 pixels wide and high.");
    const TImageFormatInfo& info = *FormatInfo(image.Format);
    const bool palette = info.PaletteEntries > 0;
    std::uint8_t type = info.IsIndexed ? 1 : info.IsGray ? 3 : 2;
    if (UseRLE != 0) type += 8;
    std::uint8_t descriptor = 0x20;
    if (image.Format == ifA8R8G8B8) descriptor = 0x28;
    else if (image.Format == ifA1R5G5B5) descriptor = 0x21;

    ByteWriter w;
    w.u8(0);
    w.u8(palette ? 1 : 0);
    w.u8(type);
    w.u16le(0);
    w.u16le(static_cast<std::uint16_t>(info.PaletteEntries));
    w.u8(palette ? 24 : 0);
    w.u16le(0);
    w.u16le(0);
    w.u16le(static_cast<std::uint16_t>(image.Width));
    w.u16le(static_cast<std::uint16_t>(image.Height));
    w.u8(static_cast<std::uint8_t>(info.BytesPerPixel * 8));
    w.u8(descriptor);
    for (std::int32_t i = 0; i < info.PaletteEntries; ++i) {
        w.u8(Color32B(image.Palette[i]));
        w.u8(Color32G(image.Palette[i]));
        w.u8(Color32R(image.Palette[i]));
    }
    const std::size_t bpp = static_cast<std::size_t>(info.BytesPerPixel);
    if (UseRLE == 0) {
        ReserveFormatOutput(w.buffer(), static_cast<std::size_t>(image.Size));
        w.bytes(image.Bits, static_cast<std::size_t>(image.Size));
    } else {
        const std::size_t row = std::size_t(image.Width) * bpp;
        w.reserve(w.size() + static_cast<std::size_t>(image.Size) * 3 / 2 + 1);
        for (std::int32_t y = 0; y < image.Height; ++y)
            EncodeTargaRLERow(image.Bits + std::size_t(y) * row, std::size_t(image.Width), bpp, w.buffer());
    }
    return WriteFormatOutput(io, handle, w.buffer());
}

void RegisterFormatTga() { RegisterImageFileFormat(frTarga, std::make_unique<TTargaFileFormat>()); }

}  // namespace velto
