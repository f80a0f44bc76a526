// The base of the old-game formats, single images (IMG) and multi-image files
// (CIF). Loaders parse the whole input in memory with checked reads:
// run-length output stops at the image's size and input at the data read.
#include "imaging/FormatElder.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <typeinfo>

#include "imaging/FormatInput.h"
#include "imaging/Formats.h"
#include "imaging/Imaging.h"
#include "imaging/Utility.h"
#include "platform/ByteReader.h"
#include "platform/ByteWriter.h"

namespace velto {

namespace {

// A built-in palette: black, magenta up to `magentaEnd`, the given colours,
// then ramps of earthy and sky shades down to black.
TElderRawPalette BuildPalette(int magentaEnd, std::initializer_list<std::array<std::uint8_t, 3>> given) {
    TElderRawPalette p{};
    for (int i = 1; i < magentaEnd; ++i) {
        p[std::size_t(3 * i)] = 0xFF;
        p[std::size_t(3 * i + 2)] = 0xFF;
    }
    int at = magentaEnd;
    for (const auto& c : given) {
        std::memcpy(&p[std::size_t(3 * at)], c.data(), 3);
        ++at;
    }
    static constexpr std::uint8_t kRamps[][3] = {{0xF4, 0xCA, 0xA7}, {0x9C, 0x7A, 0x52}, {0x6E, 0x9A, 0x4C},
                                                 {0x85, 0xC4, 0xB7}, {0x7C, 0x94, 0xD0}, {0xC8, 0xC8, 0xC8},
                                                 {0xD0, 0x5C, 0x48}, {0xE8, 0xD0, 0x60}};
    for (int i = at; i < 256; ++i) {
        const int ramp = (i - at) / 16 % 8, shade = (i - at) % 16;
        for (int c = 0; c < 3; ++c)
            p[std::size_t(3 * i + c)] = static_cast<std::uint8_t>(kRamps[ramp][c] * (16 - shade) / 16);
    }
    return p;
}

// Headerless files, known by their exact size: (bytes, width, height).
struct SizeEntry {
    std::int64_t size;
    std::int32_t width, height;
};
constexpr SizeEntry kImgSizes[] = {{64, 8, 8},       {90, 9, 10},      {128, 8, 16},     {720, 9, 80},
                                   {990, 45, 22},    {1720, 43, 40},   {2140, 107, 20},  {2916, 81, 36},
                                   {3200, 40, 80},   {3938, 179, 22},  {4096, 64, 64},   {4280, 107, 40},
                                   {4508, 322, 14},  {20480, 320, 64}, {26496, 184, 144}, {64000, 320, 200},
                                   {64768, 320, 200}, {68800, 320, 215}, {112128, 512, 219}};
constexpr SizeEntry kCifSizes[] = {{2601, 17, 17},   {3168, 44, 9},    {4356, 22, 22},   {10752, 32, 16},
                                   {49152, 64, 64},  {249856, 64, 64}, {2060295, 64, 64}};

template <std::size_t N>
const SizeEntry* FindSizeEntry(std::int64_t size, const SizeEntry (&table)[N]) {
    for (const SizeEntry& e : table)
        if (e.size == size) return &e;
    return nullptr;
}

enum class SizeClass { None, Img, Cif };
SizeClass ClassForFileSize(std::int64_t size) {
    if (FindSizeEntry(size, kImgSizes)) return SizeClass::Img;
    if (FindSizeEntry(size, kCifSizes)) return SizeClass::Cif;
    return SizeClass::None;
}

// The 12-byte image header of IMG and CIF files.
struct ImageHeader {
    std::uint16_t x = 0, y = 0, width = 0, height = 0, compression = 0, dataSize = 0;
};
bool ReadImageHeader(ByteReader& r, ImageHeader& h) {
    return r.u16le(h.x) && r.u16le(h.y) && r.u16le(h.width) && r.u16le(h.height) && r.u16le(h.compression) &&
           r.u16le(h.dataSize);
}

constexpr std::uint16_t kRle = 2, kGroup = 0x15, kGroupHeader = 76;
constexpr const char* kCifShort = "CIF image data too short for the image size.";

// Takes n raw bytes (fewer at the end of the data) into the image; the rest stays 0.
void TakeRaw(ByteReader& r, TImageData& image, std::uint64_t n) {
    std::span<const std::uint8_t> bytes;
    n = std::min<std::uint64_t>(n, r.remaining());
    r.view(n, bytes);
    if (!bytes.empty())
        std::memcpy(image.Bits, bytes.data(), static_cast<std::size_t>(std::min<std::uint64_t>(n, std::uint64_t(image.Size))));
}

void TakeRle(ByteReader& r, TImageData& image, std::uint64_t n) {
    std::span<const std::uint8_t> bytes;
    r.view(std::min<std::uint64_t>(n, r.remaining()), bytes);
    ElderDecodeRle(bytes, std::size_t(image.Size), image.Bits);
}

}  // namespace

const TElderRawPalette& ElderFirstDefaultPalette() {
    static const TElderRawPalette p = BuildPalette(32, {{0xF4, 0xCA, 0xA7}, {0xE3, 0xB4, 0x90}, {0xCF, 0x98, 0x76}});
    return p;
}

const TElderRawPalette& ElderSecondDefaultPalette() {
    static const TElderRawPalette p = BuildPalette(16, {{0x85, 0xC4, 0xB7}, {0x64, 0xB5, 0x99}, {0x42, 0xA5, 0x7C}});
    return p;
}

std::size_t ElderDecodeRle(std::span<const std::uint8_t> source, std::size_t expected, std::uint8_t* destination) {
    std::size_t in = 0, out = 0;
    while (out < expected && in < source.size()) {
        const std::uint8_t b = source[in++];
        if (b < 128) {
            const std::size_t n = std::min({std::size_t(b) + 1, source.size() - in, expected - out});
            std::memcpy(destination + out, source.data() + in, n);
            in += std::size_t(b) + 1;
            out += n;
        } else {
            if (in >= source.size()) break;
            const std::size_t n = std::min(std::size_t(b) - 127, expected - out);
            std::memset(destination + out, source[in++], n);
            out += n;
        }
    }
    return out;
}

// ---------------------------------------------------------------------------
// The base

TElderFileFormat::TElderFileFormat() {
    CanLoad = true;
    CanSave = true;
    IsMultiImage = true;
    SetPalette(ElderFirstDefaultPalette());
}

void TElderFileFormat::SetPalette(const TElderRawPalette& raw) {
    RawPalette = raw;
    for (std::size_t i = 0; i < 256; ++i)
        ArgbPalette[i] = Color32(i == 0 ? 0 : 255, raw[3 * i], raw[3 * i + 1], raw[3 * i + 2]);
}

bool TElderFileFormat::IsSupported(const TImageData& image) const {
    return image.Format == ifIndex8 && image.Palette &&
           std::memcmp(image.Palette, ArgbPalette.data(), sizeof(TColor32) * 256) == 0;
}

void TElderFileFormat::ConvertToSupported(TImageData& image, const TImageFormatInfo&) {
    if (std::int64_t(image.Width) * image.Height > 65535) {
        // Shrunk to fit 320 x 200 (or 200 x 320 when not wider than high), keeping its proportions.
        const TRect box = image.Width > image.Height ? Rect(0, 0, 320, 200) : Rect(0, 0, 200, 320);
        const TRect fit = ScaleRectToRect(Rect(0, 0, image.Width, image.Height), box);
        ResizeImage(image, std::max(1, fit.Right - fit.Left), std::max(1, fit.Bottom - fit.Top), rfBilinear);
    }
    MapImageToPalette(image, ArgbPalette.data(), 256);
}

bool TElderFileFormat::TestFormat(const TIOFunctions& io, TImagingHandle handle) {
    if (!handle) return false;
    const std::int64_t size = GetInputSize(io, handle);
    switch (ClassForFileSize(size)) {
    case SizeClass::Img: return typeid(*this) == typeid(TIMGFileFormat);
    case SizeClass::Cif: return typeid(*this) == typeid(TCIFFileFormat);
    case SizeClass::None: break;
    }
    std::uint8_t head[12] = {};
    const std::int64_t n = PeekFormatInput(io, handle, head, 12);
    ImageHeader h;
    ByteReader r(head);
    ReadImageHeader(r, h);
    const std::int64_t area = std::int64_t(h.width) * h.height;
    if (n <= 0 || area < h.dataSize || area >= 65536 || h.dataSize == 0 || h.width == 0 || h.height == 0) return false;
    return IsMultiImage ? size > std::int64_t(h.dataSize) + 12 : size == std::int64_t(h.dataSize) + 12;
}

std::size_t TElderFileFormat::AddPaletteImage(TDynImageDataArray& images, std::int32_t width, std::int32_t height) const {
    images.emplace_back();
    TImageData& image = images.back();
    NewImage(width, height, ifIndex8, image);
    if (image.Palette) std::memcpy(image.Palette, ArgbPalette.data(), sizeof(TColor32) * 256);
    return images.size() - 1;
}

bool TElderFileFormat::SaveImages(const TIOFunctions& io, TImagingHandle handle, const TDynImageDataArray& images,
                                  std::int32_t first, std::int32_t last, const char* message) {
    ByteWriter w;
    // What was written stays written when a later image fails.
    const auto flush = [&] { return WriteFormatOutput(io, handle, w.buffer()); };
    for (std::int32_t i = first; i <= last; ++i) {
        TSavableCopy copy;
        const TImageData& image = copy.image;
        if (!MakeCompatible(images[static_cast<std::size_t>(i)], copy.image, copy.owned)) {
            flush();
            return false;
        }
        if (image.Width >= 65536 || image.Height >= 65536) {
            flush();
            return false;
        }
        if (std::int64_t(image.Width) * image.Height > 65535) {
            flush();
            throw EImagingError(ImagingFormat(message, DescribeImage(image).c_str()));
        }
        w.u16le(0);
        w.u16le(0);
        w.u16le(static_cast<std::uint16_t>(image.Width));
        w.u16le(static_cast<std::uint16_t>(image.Height));
        w.u16le(0);
        w.u16le(static_cast<std::uint16_t>(image.Width * image.Height));
        w.bytes(image.Bits, std::size_t(image.Size));
    }
    return flush();
}

// ---------------------------------------------------------------------------
// IMG

TIMGFileFormat::TIMGFileFormat() {
    Name = "Daggerfall Image";
    AddMasks("*.img");
    IsMultiImage = false;
}

bool TIMGFileFormat::LoadData(const TIOFunctions& io, TImagingHandle handle, TDynImageDataArray& images, bool) {
    const std::int64_t size = GetInputSize(io, handle);
    const TFormatInput in = ReadFormatInput(io, handle);
    const std::span<const std::uint8_t> data = in.data();
    ByteReader r(data);
    images.clear();
    if (const SizeEntry* e = FindSizeEntry(size, kImgSizes)) {
        TImageData& image = images[AddPaletteImage(images, e->width, e->height)];
        TakeRaw(r, image, std::uint64_t(image.Size));
    } else {
        ImageHeader h;
        if (!ReadImageHeader(r, h) || h.compression == 0x104 || h.compression == 0x108) return false;
        TImageData& image = images[AddPaletteImage(images, h.width, h.height)];
        if (!TestImage(image)) return false;
        if (h.compression == kRle) TakeRle(r, image, h.dataSize);
        else TakeRaw(r, image, std::uint64_t(image.Size));
    }
    TImageData& image = images[0];
    if (TestImage(image) && r.remaining() == 768) {
        // The file's own palette; index 0 stays transparent.
        for (std::size_t i = 0; i < 256; ++i) {
            const std::uint8_t* t = data.data() + r.pos() + 3 * i;
            image.Palette[i] = Color32(i == 0 ? 0 : 255, t[0], t[1], t[2]);
        }
    }
    return true;
}

bool TIMGFileFormat::SaveData(const TIOFunctions& io, TImagingHandle handle, const TDynImageDataArray& images,
                              std::int32_t index) {
    return SaveImages(io, handle, images, index, index, "Size of image in IMG format cannot exceed 65535 bytes. %s");
}

// ---------------------------------------------------------------------------
// CIF

TCIFFileFormat::TCIFFileFormat() {
    Name = "Daggerfall MultiImage";
    AddMasks("*.cif,*.rci");
}

bool TCIFFileFormat::LoadData(const TIOFunctions& io, TImagingHandle handle, TDynImageDataArray& images, bool) {
    const std::int64_t size = GetInputSize(io, handle);
    const TFormatInput in = ReadFormatInput(io, handle);
    const std::span<const std::uint8_t> data = in.data();
    ByteReader r(data);
    images.clear();
    if (const SizeEntry* e = FindSizeEntry(size, kCifSizes)) {
        const std::uint64_t bytes = std::uint64_t(e->width) * std::uint64_t(e->height);
        while (r.remaining() >= bytes) {
            TImageData& image = images[AddPaletteImage(images, e->width, e->height)];
            TakeRaw(r, image, bytes);
        }
        return true;
    }
    ImageHeader first;
    {
        ByteReader peek = r;
        if (!ReadImageHeader(peek, first)) return false;
    }
    bool grouped = first.compression == kGroup;
    if (!grouped && r.has(12u + first.dataSize + kGroupHeader)) {
        std::uint16_t tag = 0;
        ByteReader peek = r;
        grouped = peek.skip(12u + first.dataSize + 12u) && peek.u16le(tag) && tag == kGroupHeader;
    }
    if (!grouped) {
        while (r.remaining() >= 12) {
            ImageHeader h;
            ReadImageHeader(r, h);
            const std::uint64_t area = std::uint64_t(h.width) * h.height;
            if (h.compression != kRle && h.dataSize > area) return false;  // more data than pixels
            if (h.compression == kRle)
                RequireStoredData(area, std::min<std::uint64_t>(h.dataSize, r.remaining()), kPackBitsBound, kCifShort);
            else
                RequireStoredData(area, r.remaining(), kStoredBound, kCifShort);
            TImageData& image = images[AddPaletteImage(images, h.width, h.height)];
            if (!TestImage(image)) return false;
            if (h.compression == kRle) TakeRle(r, image, h.dataSize);
            else TakeRaw(r, image, h.dataSize);
        }
        return true;
    }
    bool firstRecord = true;
    while (!r.atEnd()) {
        if (firstRecord && first.compression != kGroup) {
            // A plain image before the frame groups.
            ImageHeader h;
            if (!ReadImageHeader(r, h)) break;
            RequireStoredData(std::uint64_t(h.width) * h.height, r.remaining(), kStoredBound, kCifShort);
            TImageData& image = images[AddPaletteImage(images, h.width, h.height)];
            if (!TestImage(image)) return false;
            TakeRaw(r, image, h.dataSize);
            r.skip(std::min<std::uint64_t>(r.remaining(), h.dataSize > image.Size ? h.dataSize - image.Size : 0));
            firstRecord = false;
            continue;
        }
        firstRecord = false;
        const std::uint64_t start = r.pos();
        std::uint16_t width = 0, height = 0, offsets[32] = {};
        ByteReader g = r;
        if (!g.u16le(width) || !g.u16le(height) || !g.skip(8)) break;
        for (std::uint16_t& o : offsets)
            if (!g.u16le(o)) break;
        const std::uint16_t total = offsets[31];
        if (total < kGroupHeader) return false;  // a group must at least hold its header
        const ByteReader group = *r.sub(start, std::min<std::uint64_t>(total, r.remaining()));
        for (int k = 0; k < 31 && offsets[k] != 0; ++k) {
            const std::uint16_t end = offsets[k + 1] < offsets[k] ? total : offsets[k + 1];
            if (offsets[k] > end || end > total) return false;  // frame data outside its group
            const std::uint64_t coded =
                std::min<std::uint64_t>(end, group.size()) - std::min<std::uint64_t>(offsets[k], group.size());
            RequireStoredData(std::uint64_t(width) * height, coded, kPackBitsBound, kCifShort);
            ByteReader frame = group;
            TImageData& image = images[AddPaletteImage(images, width, height)];
            if (!TestImage(image)) return false;
            if (!frame.seek(offsets[k])) break;
            TakeRle(frame, image, std::uint64_t(end - offsets[k]));
        }
        if (!r.seek(std::min<std::uint64_t>(start + total, data.size()))) break;
    }
    return true;
}

bool TCIFFileFormat::SaveData(const TIOFunctions& io, TImagingHandle handle, const TDynImageDataArray& images,
                              std::int32_t index) {
    const TSaveRange range = SaveRange(images, index);
    return SaveImages(io, handle, images, range.first, range.last,
                      "Size of image in IMG/CIF format cannot exceed 65535 bytes. %s");
}

void RegisterFormatElder() {
    RegisterImageFileFormat(frCIF, std::make_unique<TCIFFileFormat>());
    RegisterImageFileFormat(frIMG, std::make_unique<TIMGFileFormat>());
}

}  // namespace velto
