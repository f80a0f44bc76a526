// PSD merged images. Section lengths, the row-count table and raw planes are
// checked against the input before anything is sized from them; CMYK is taken
// only in the layouts the conversion reads (four channels or more, 8 or 16 bits).
#include "imaging/FormatPsd.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/Colors.h"
#include "imaging/FormatInput.h"
#include "imaging/Formats.h"
#include "platform/ByteReader.h"
#include "platform/ByteWriter.h"

namespace velto {

namespace {

constexpr std::size_t kHeaderSize = 26;
constexpr std::uint16_t kGray = 1, kIndexed = 2, kRGB = 3, kCMYK = 4, kMultichannel = 7, kDuotone = 8, kLab = 9;
constexpr std::uint32_t kPaletteBytes = 768;

struct PsdHeader {
    std::uint32_t signature = 0;
    std::uint16_t version = 0, channels = 0;
    std::uint32_t rows = 0, columns = 0;
    std::uint16_t depth = 0, mode = 0;
};

bool ReadHeader(ByteReader& r, PsdHeader& h) {
    return r.u32be(h.signature) && r.u16be(h.version) && r.skip(6) && r.u16be(h.channels) && r.u32be(h.rows) &&
           r.u32be(h.columns) && r.u16be(h.depth) && r.u16be(h.mode);
}

bool Valid(const PsdHeader& h) { return h.signature == 0x38425053u && h.version == 1; }  // "8BPS"

TImageFormat FormatOf(const PsdHeader& h) {
    const std::uint16_t n = h.channels;
    switch (h.mode) {
    case kGray: case kDuotone:
        if (n < 1) return ifUnknown;
        if (h.depth == 8) return n == 1 ? ifGray8 : ifA8Gray8;
        if (h.depth == 16) return n == 1 ? ifGray16 : ifA16Gray16;
        if (h.depth == 32 && n == 1) return ifR32F;
        return ifUnknown;
    case kIndexed: return h.depth == 8 && n >= 1 ? ifIndex8 : ifUnknown;
    case kRGB: case kCMYK: case kMultichannel: case kLab:
        // The ink conversion reads four channels of 8 or 16 bits.
        if (h.mode == kCMYK && (n < 4 || h.depth == 32)) return ifUnknown;
        if (n < 3) return ifUnknown;
        if (h.depth == 8) return n == 3 ? ifR8G8B8 : ifA8R8G8B8;
        if (h.depth == 16) return n == 3 ? ifR16G16B16 : ifA16R16G16B16;
        if (h.depth == 32) return ifA32R32G32B32F;
        return ifUnknown;
    default: return ifUnknown;
    }
}

// Image channel of stored channel i (-1: not kept): red, green, blue and
// alpha in the file, blue first in memory.
int TargetChannel(int i, const TImageFormatInfo& info, bool cmyk) {
    const int n = info.ChannelCount;
    if (i >= 5) return -1;
    if (info.HasAlpha && !cmyk) return i == n - 1 ? n - 1 : (n - 2) - i;
    return (n - 1) - i;
}

}  // namespace

std::size_t DecodePackBits(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
    std::size_t pos = 0, at = 0;
    while (pos < in.size() && at < out.size()) {
        const auto n = static_cast<std::int8_t>(in[pos++]);
        if (n >= 0) {
            const std::size_t count = std::min<std::size_t>({std::size_t(n) + 1, out.size() - at, in.size() - pos});
            std::memcpy(out.data() + at, in.data() + pos, count);
            pos += count;
            at += count;
        } else if (n != -128) {
            if (pos >= in.size()) break;
            const std::size_t count = std::min<std::size_t>(std::size_t(1 - n), out.size() - at);
            std::memset(out.data() + at, in[pos++], count);
            at += count;
        }
    }
    return at;
}

namespace {

// Channel planes of samples of more than a byte, one plane after another: each
// line is taken (or unpacked), then its big-endian samples go to their place
// in every pixel.
void ReadPlanesWide(ByteReader& r, const std::vector<std::uint16_t>& counts, std::size_t rows, std::size_t columns,
                    std::size_t channels, std::size_t channelBytes, const TImageFormatInfo& info, bool cmyk,
                    std::uint8_t* bits) {
    const std::size_t lineSize = columns * channelBytes;
    const bool packed = !counts.empty();
    std::vector<std::uint8_t> line(lineSize);
    const std::size_t bpp = static_cast<std::size_t>(info.BytesPerPixel);
    const std::size_t sampleBytes = static_cast<std::size_t>(info.BytesPerPixel / info.ChannelCount);
    for (std::size_t i = 0; i < channels; ++i) {
        const int target = TargetChannel(static_cast<int>(i), info, cmyk);
        if (target < 0) {
            if (packed) {
                std::uint64_t skip = 0;
                for (std::size_t y = 0; y < rows; ++y) skip += counts[i * rows + y];
                r.skip(std::min<std::uint64_t>(skip, r.remaining()));
            } else {
                r.skip(std::min<std::uint64_t>(std::uint64_t(rows) * lineSize, r.remaining()));
            }
            continue;
        }
        for (std::size_t y = 0; y < rows; ++y) {
            std::fill(line.begin(), line.end(), std::uint8_t(0));
            if (packed) {
                const std::size_t n = std::min<std::size_t>(counts[i * rows + y], static_cast<std::size_t>(r.remaining()));
                DecodePackBits(r.rest().first(n), line);
                r.skip(n);
            } else {
                const std::size_t n = std::min<std::size_t>(lineSize, static_cast<std::size_t>(r.remaining()));
                r.bytes(line.data(), n);
            }
            std::uint8_t* row = bits + y * columns * bpp;
            // Big-endian samples into memory order.
            const std::size_t offset = static_cast<std::size_t>(target) * sampleBytes;
            for (std::size_t x = 0; x < columns; ++x)
                for (std::size_t b = 0; b < channelBytes; ++b)
                    row[x * bpp + offset + b] = line[x * channelBytes + channelBytes - 1 - b];
        }
    }
}

// Byte lines of the planes (the used ones) into the bytes of each pixel.
template <std::size_t Bpp>
void InterleaveRow(const std::uint8_t* const* lines, std::uint8_t* row, std::size_t columns) {
    for (std::size_t x = 0; x < columns; ++x)
        for (std::size_t k = 0; k < Bpp; ++k) row[x * Bpp + k] = lines[k][x];
}

// Planes of byte samples, row by row: where each plane's line starts is known
// from the row-count table (or the plane size), so the lines of one row are
// taken together and every pixel is written once. Where the data runs out,
// lines end as the plane-by-plane reading would end them.
void ReadPlanes8(ByteReader& r, const std::vector<std::uint16_t>& counts, std::size_t rows, std::size_t columns,
                 std::size_t channels, const TImageFormatInfo& info, bool cmyk, std::uint8_t* bits) {
    const bool packed = !counts.empty();
    const std::size_t bpp = static_cast<std::size_t>(info.BytesPerPixel);
    const std::span<const std::uint8_t> data = r.rest();
    const std::uint64_t total = data.size();
    // Offsets of each plane's first line in `data`, without the clamp to the end.
    std::vector<std::uint64_t> at(channels + 1, 0);
    for (std::size_t i = 0; i < channels; ++i) {
        std::uint64_t plane = 0;
        if (packed) {
            for (std::size_t y = 0; y < rows; ++y) plane += counts[i * rows + y];
        } else {
            plane = std::uint64_t(rows) * columns;
        }
        at[i + 1] = at[i] + plane;
    }
    // The plane feeding each byte of a pixel; bytes no plane feeds stay zero.
    std::vector<std::int64_t> source(bpp, -1);
    for (std::size_t i = 0; i < channels; ++i) {
        const int target = TargetChannel(static_cast<int>(i), info, cmyk);
        if (target >= 0) source[static_cast<std::size_t>(target)] = static_cast<std::int64_t>(i);
    }
    const bool everyByte = std::none_of(source.begin(), source.end(), [](std::int64_t s) { return s < 0; });
    std::vector<std::uint8_t> unpacked(packed ? bpp * columns : 0);
    const std::vector<std::uint8_t> zeros(everyByte ? 0 : columns, 0);
    std::vector<const std::uint8_t*> lines(bpp);
    std::vector<std::uint64_t> pos(at.begin(), at.end() - 1);
    for (std::size_t y = 0; y < rows; ++y) {
        for (std::size_t k = 0; k < bpp; ++k) {
            if (source[k] < 0) {
                lines[k] = zeros.data();
                continue;
            }
            const auto i = static_cast<std::size_t>(source[k]);
            const std::uint64_t from = std::min(pos[i], total);
            if (!packed) {
                // Planes that are read were checked to be there whole.
                lines[k] = data.data() + from;
                pos[i] += columns;
                continue;
            }
            std::uint8_t* line = unpacked.data() + k * columns;
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(counts[i * rows + y], total - from));
            const std::size_t made = DecodePackBits(data.subspan(static_cast<std::size_t>(from), n), {line, columns});
            std::memset(line + made, 0, columns - made);
            lines[k] = line;
            pos[i] += counts[i * rows + y];
        }
        std::uint8_t* row = bits + y * columns * bpp;
        if (everyByte) {
            switch (bpp) {
            case 1: std::memcpy(row, lines[0], columns); continue;
            case 2: InterleaveRow<2>(lines.data(), row, columns); continue;
            case 3: InterleaveRow<3>(lines.data(), row, columns); continue;
            case 4: InterleaveRow<4>(lines.data(), row, columns); continue;
            default: break;
            }
        }
        for (std::size_t k = 0; k < bpp; ++k)
            if (source[k] >= 0)
                for (std::size_t x = 0; x < columns; ++x) row[x * bpp + k] = lines[k][x];
    }
    r.skip(std::min(at[channels], total));
}

}  // namespace

TPSDFileFormat::TPSDFileFormat() {
    Name = "Photoshop Image";
    AddMasks("*.psd,*.pdd");
    CanLoad = true;
    CanSave = true;
    IsMultiImage = false;
    for (const TImageFormat f : {ifIndex8, ifGray8, ifA8Gray8, ifGray16, ifA16Gray16, ifR8G8B8, ifA8R8G8B8, ifR16G16B16,
                                 ifA16R16G16B16, ifR32F, ifA32R32G32B32F})
        SupportedFormats.set(f);
}

bool TPSDFileFormat::TestFormat(const TIOFunctions& io, TImagingHandle handle) {
    std::uint8_t b[kHeaderSize];
    if (PeekFormatInput(io, handle, b, kHeaderSize) != static_cast<std::int64_t>(kHeaderSize)) return false;
    ByteReader r(std::span<const std::uint8_t>(b, kHeaderSize));
    PsdHeader h;
    return ReadHeader(r, h) && Valid(h);
}

void TPSDFileFormat::ConvertToSupported(TImageData& image, const TImageFormatInfo& info) {
    TImageFormat target;
    if (info.IsFloat) target = info.ChannelCount == 1 ? ifR32F : ifA32R32G32B32F;
    else if (info.IsGray) target = info.HasAlpha ? ifA16Gray16 : ifGray16;
    else if (info.SwappedTwin != ifUnknown && SupportedFormats.test(info.SwappedTwin)) target = info.SwappedTwin;
    else target = info.HasAlpha ? ifA8R8G8B8 : ifR8G8B8;
    ConvertImage(image, target);
}

bool TPSDFileFormat::LoadData(const TIOFunctions& io, TImagingHandle handle, TDynImageDataArray& images, bool) {
    const TFormatInput in = ReadFormatInput(io, handle);
    ByteReader r(in.data());
    PsdHeader h;
    if (!ReadHeader(r, h) || !Valid(h)) RaiseBadImageData("PSD header cut short.");
    const TImageFormat format = FormatOf(h);
    if (format == ifUnknown) return false;
    if (h.rows > INT32_MAX || h.columns > INT32_MAX) RaiseBadImageData("PSD image size out of range.");
    const TImageFormatInfo& info = *FormatInfo(format);
    const bool cmyk = h.mode == kCMYK;

    // Colour-mode data (the palette of indexed images), resources, layers.
    std::uint32_t modeLength = 0, resourcesLength = 0, layersLength = 0;
    std::span<const std::uint8_t> modeData;
    if (!r.u32be(modeLength) || !r.view(modeLength, modeData) || !r.u32be(resourcesLength) ||
        !r.skip(resourcesLength) || !r.u32be(layersLength) || !r.skip(layersLength))
        RaiseBadImageData("PSD section longer than the file.");
    std::uint16_t compression = 0;
    if (!r.u16be(compression)) RaiseBadImageData("PSD image data missing.");

    const std::size_t rows = h.rows, columns = h.columns, channels = h.channels;
    const std::size_t channelBytes = h.depth / 8u;
    const std::size_t lineSize = columns * channelBytes;
    std::vector<std::uint16_t> counts;
    std::uint16_t largest = 0;
    const int lastUsed = [&] {
        int last = -1;
        for (int i = 0; i < static_cast<int>(channels); ++i)
            if (TargetChannel(i, info, cmyk) >= 0) last = i;
        return last;
    }();
    if (compression == 1) {
        const std::uint64_t entries = std::uint64_t(rows) * channels;
        if (entries * 2 > r.remaining()) RaiseBadImageData("PSD row table longer than the file.");
        ChargeDecodeBudget(entries * 2);
        counts.resize(static_cast<std::size_t>(entries));
        for (std::uint16_t& c : counts) {
            r.u16be(c);
            largest = std::max(largest, c);
        }
        RequireStoredData(std::uint64_t(lastUsed + 1) * rows * lineSize, r.remaining(), kPackBitsBound,
                          "PSD image data cut short.");
    } else if (std::uint64_t(lastUsed + 1) * rows * lineSize > r.remaining()) {
        RaiseBadImageData("PSD image data cut short.");
    }

    images.assign(1, TImageData{});
    TImageData& image = images[0];
    if (!NewImage(static_cast<std::int32_t>(columns), static_cast<std::int32_t>(rows), format, image)) return false;
    if (format == ifIndex8) {
        // Reds, greens, blues; a shorter table leaves the rest zero, a longer one is skipped over.
        std::uint8_t pal[kPaletteBytes] = {};
        std::memcpy(pal, modeData.data(), std::min<std::size_t>(modeData.size(), kPaletteBytes));
        for (int i = 0; i < 256; ++i) image.Palette[i] = Color32(255, pal[i], pal[256 + i], pal[512 + i]);
    }

    ChargeDecodeBudget(lineSize);
    const std::size_t bpp = static_cast<std::size_t>(info.BytesPerPixel);
    const std::size_t sampleBytes = static_cast<std::size_t>(info.BytesPerPixel / info.ChannelCount);
    if (channelBytes == 1) ReadPlanes8(r, counts, rows, columns, channels, info, cmyk, image.Bits);
    else ReadPlanesWide(r, counts, rows, columns, channels, channelBytes, info, cmyk, image.Bits);

    const std::size_t pixels = rows * columns;
    if (cmyk) {
        // Stored as 255 (65535) for no ink: C in the alpha place, M red, Y green, K blue.
        for (std::size_t p = 0; p < pixels; ++p) {
            std::uint8_t* px = image.Bits + p * bpp;
            if (sampleBytes == 1) {
                std::uint8_t red, green, blue;
                CMYKToRGB(255 - px[3], 255 - px[2], 255 - px[1], 255 - px[0], red, green, blue);
                px[0] = blue;
                px[1] = green;
                px[2] = red;
                px[3] = 255;
            } else {
                std::uint16_t v[4], red, green, blue;
                std::memcpy(v, px, 8);
                CMYKToRGB16(65535 - v[3], 65535 - v[2], 65535 - v[1], 65535 - v[0], red, green, blue);
                const std::uint16_t out[4] = {blue, green, red, 65535};
                std::memcpy(px, out, 8);
            }
        }
    }
    if (format == ifA32R32G32B32F && channels == 3) {
        const float one = 1.0f;
        for (std::size_t p = 0; p < pixels; ++p) std::memcpy(image.Bits + p * bpp + 12, &one, 4);
    }
    in.LeaveAt(r.pos());
    return true;
}

bool TPSDFileFormat::SaveData(const TIOFunctions& io, TImagingHandle handle, const TDynImageDataArray& images,
                              std::int32_t index) {
    TSavableCopy copy;
    if (!MakeCompatible(images[static_cast<std::size_t>(index)], copy.image, copy.owned)) return false;
    const TImageData& image = copy.image;
    const TImageFormatInfo& info = *FormatInfo(image.Format);
    const int channels = info.ChannelCount;
    const std::size_t sampleBytes = static_cast<std::size_t>(info.BytesPerPixel / channels);
    const std::size_t bpp = static_cast<std::size_t>(info.BytesPerPixel);
    const std::size_t width = static_cast<std::size_t>(image.Width), height = static_cast<std::size_t>(image.Height);

    const std::size_t pixels = width * height;
    ByteWriter w;
    ReserveFormatOutput(w.buffer(), kHeaderSize + 4 + kPaletteBytes + 10 + pixels * sampleBytes * std::size_t(channels));
    w.text("8BPS");
    w.u16be(1);
    w.fill(0, 6);
    w.u16be(static_cast<std::uint16_t>(channels));
    w.u32be(static_cast<std::uint32_t>(image.Height));
    w.u32be(static_cast<std::uint32_t>(image.Width));
    w.u16be(static_cast<std::uint16_t>(sampleBytes * 8));
    w.u16be(info.IsIndexed ? kIndexed : (info.IsGray || channels == 1) ? kGray : kRGB);
    if (info.IsIndexed) {
        w.u32be(kPaletteBytes);
        for (int c = 0; c < 3; ++c)
            for (int i = 0; i < 256; ++i) {
                const TColor32 e = i < info.PaletteEntries ? image.Palette[i] : 0;
                w.u8(c == 0 ? Color32R(e) : c == 1 ? Color32G(e) : Color32B(e));
            }
    } else {
        w.u32be(0);
    }
    w.u32be(0);  // image resources
    w.u32be(0);  // layers and masks
    w.u16be(0);  // raw data
    for (int i = 0; i < channels; ++i) {
        const std::uint8_t* plane = image.Bits + static_cast<std::size_t>(TargetChannel(i, info, false)) * sampleBytes;
        AppendFormatOutput(w.buffer(), pixels, sampleBytes, [&](std::uint8_t* dst, std::size_t first, std::size_t n) {
            const std::uint8_t* s = plane + first * bpp;
            if (sampleBytes == 1) {
                for (std::size_t p = 0; p < n; ++p) dst[p] = s[p * bpp];
                return;
            }
            for (std::size_t p = 0; p < n; ++p, s += bpp)
                for (std::size_t b = sampleBytes; b-- > 0;) *dst++ = s[b];  // big-endian
        });
    }
    return WriteFormatOutput(io, handle, w.buffer());
}

void RegisterFormatPsd() { RegisterImageFileFormat(frPSD, std::make_unique<TPSDFileFormat>()); }

}  // namespace velto
