// PCX images. Lines must hold the width they announce, and the data buffer is
// sized only after its size was checked against what the input can give.
#include "imaging/FormatPcx.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/FormatInput.h"
#include "imaging/Formats.h"
#include "platform/ByteReader.h"

namespace velto {

namespace {

constexpr std::size_t kHeaderSize = 128;
constexpr std::uint8_t kPaletteMarker = 12;
// One run byte pair gives at most this many bytes.
constexpr std::uint64_t kLongestRun = 63;

struct PcxHeader {
    std::uint8_t manufacturer, version, encoding, bitsPerPixel;
    std::uint16_t xMin, yMin, xMax, yMax;
    std::uint8_t palette16[48];
    std::uint8_t planes;
    std::uint16_t bytesPerLine, paletteInfo;
};

PcxHeader ParseHeader(const std::uint8_t* b) {
    PcxHeader h;
    const auto u16 = [&](int at) { return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8); };
    h.manufacturer = b[0];
    h.version = b[1];
    h.encoding = b[2];
    h.bitsPerPixel = b[3];
    h.xMin = u16(4);
    h.yMin = u16(6);
    h.xMax = u16(8);
    h.yMax = u16(10);
    std::memcpy(h.palette16, b + 16, 48);
    h.planes = b[65];
    h.bytesPerLine = u16(66);
    h.paletteInfo = u16(68);
    return h;
}

}  // namespace

std::size_t DecodePcxRLE(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
    std::size_t pos = 0, at = 0;
    while (at < out.size() && pos < in.size()) {
        const std::uint8_t b = in[pos++];
        if ((b & 0xC0) == 0xC0) {
            if (pos >= in.size()) break;
            const std::size_t count = std::min<std::size_t>(b & 0x3Fu, out.size() - at);
            std::memset(out.data() + at, in[pos++], count);
            at += count;
        } else {
            out[at++] = b;
        }
    }
    return pos;
}

TPCXFileFormat::TPCXFileFormat() {
    Name = "ZSoft Paintbrush Image";
    AddMasks("*.pcx");
    CanLoad = true;
    CanSave = false;
    IsMultiImage = false;
}

bool TPCXFileFormat::TestFormat(const TIOFunctions& io, TImagingHandle handle) {
    std::uint8_t b[kHeaderSize];
    if (PeekFormatInput(io, handle, b, kHeaderSize) != static_cast<std::int64_t>(kHeaderSize)) return false;
    const PcxHeader h = ParseHeader(b);
    return h.manufacturer == 10 && (h.version == 0 || (h.version >= 2 && h.version <= 5)) && h.encoding <= 1 &&
           (h.bitsPerPixel == 1 || h.bitsPerPixel == 2 || h.bitsPerPixel == 4 || h.bitsPerPixel == 8) &&
           (h.planes == 1 || h.planes == 3 || h.planes == 4) && (h.paletteInfo == 1 || h.paletteInfo == 2);
}

bool TPCXFileFormat::LoadData(const TIOFunctions& io, TImagingHandle handle, TDynImageDataArray& images, bool) {
    const TFormatInput in = ReadFormatInput(io, handle);
    ByteReader r(in.data());
    std::uint8_t raw[kHeaderSize];
    if (!r.bytes(raw, kHeaderSize)) RaiseBadImageData("PCX header cut short.");
    const PcxHeader h = ParseHeader(raw);
    if (h.xMax < h.xMin || h.yMax < h.yMin) RaiseBadImageData("PCX image of no pixels.");
    const std::int32_t width = h.xMax - h.xMin + 1, height = h.yMax - h.yMin + 1;

    const int bits = h.bitsPerPixel, planes = h.planes;
    TImageFormat format;
    if ((bits == 1 && planes == 1) || bits == 2 || bits == 4 || (bits == 1 && planes == 4)) format = ifIndex8;
    else if (bits == 8 && planes == 1) format = ifIndex8;
    else if (bits == 8 && planes == 3) format = ifR8G8B8;
    else if (bits == 8 && planes == 4) format = ifA8R8G8B8;
    else return false;
    // Each plane's line must hold the whole width.
    if (std::uint64_t(h.bytesPerLine) * 8 < std::uint64_t(width) * std::uint64_t(bits))
        RaiseBadImageData("PCX lines shorter than the width.");

    const std::uint64_t lineSize = std::uint64_t(h.bytesPerLine) * std::uint64_t(planes);
    const std::uint64_t dataSize = lineSize * std::uint64_t(height);
    const std::uint64_t minInput = h.encoding == 1 ? (dataSize + kLongestRun - 1) / kLongestRun * 2 : dataSize;
    if (minInput > r.remaining()) RaiseBadImageData("PCX data cut short.");

    images.assign(1, TImageData{});
    TImageData& image = images[0];
    if (!NewImage(width, height, format, image)) return false;
    if (bits < 8)
        for (int i = 0; i < 16; ++i)
            image.Palette[i] = Color32(255, h.palette16[3 * i], h.palette16[3 * i + 1], h.palette16[3 * i + 2]);

    ChargeDecodeBudget(dataSize);
    std::vector<std::uint8_t> data(static_cast<std::size_t>(dataSize));
    if (h.encoding == 1) r.skip(DecodePcxRLE(r.rest(), data));
    else r.bytes(data.data(), dataSize);

    const std::size_t w = static_cast<std::size_t>(width), bpl = h.bytesPerLine;
    for (std::int32_t y = 0; y < height; ++y) {
        const std::uint8_t* line = data.data() + std::size_t(y) * lineSize;
        if (format == ifIndex8) {
            std::uint8_t* dst = image.Bits + std::size_t(y) * w;
            if (bits == 8) {
                std::memcpy(dst, line, w);
            } else if (bits == 1 && planes == 4) {
                for (std::size_t x = 0; x < w; ++x) {
                    std::uint8_t v = 0;
                    for (int p = 0; p < 4; ++p) v |= ((line[p * bpl + x / 8] >> (7 - x % 8)) & 1u) << p;
                    dst[x] = v;
                }
            } else if (bits == 1) {
                Convert1To8(line, dst, width, 1, static_cast<std::int32_t>(bpl));
            } else if (bits == 2) {
                Convert2To8(line, dst, width, 1, static_cast<std::int32_t>(bpl));
            } else if (planes == 1) {
                Convert4To8(line, dst, width, 1, static_cast<std::int32_t>(bpl));
            }
            // Four bits in several planes stay zero.
        } else {
            // Planes red, green, blue (and alpha), into blue, green, red (alpha).
            const std::size_t bpp = static_cast<std::size_t>(planes);
            std::uint8_t* dst = image.Bits + std::size_t(y) * w * bpp;
            for (std::size_t x = 0; x < w; ++x) {
                dst[x * bpp + 2] = line[x];
                dst[x * bpp + 1] = line[bpl + x];
                dst[x * bpp + 0] = line[2 * bpl + x];
                if (planes == 4) dst[x * bpp + 3] = line[3 * bpl + x];
            }
        }
    }

    if (bits == 8 && planes == 1) {
        std::uint8_t marker = 0;
        std::span<const std::uint8_t> pal;
        ByteReader p = r;
        if (p.u8(marker) && marker == kPaletteMarker && p.view(768, pal)) {
            for (int i = 0; i < 256; ++i) image.Palette[i] = Color32(255, pal[3 * i], pal[3 * i + 1], pal[3 * i + 2]);
            r = p;
        }
    }
    in.LeaveAt(r.pos());
    return true;
}

void RegisterFormatPcx() { RegisterImageFileFormat(frPCX, std::make_unique<TPCXFileFormat>()); }

}  // namespace velto
