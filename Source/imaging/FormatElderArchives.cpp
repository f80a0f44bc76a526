// Old-game texture archives and BSI images (load only). Both are parsed in
// memory; every offset a file gives is checked against the data it points
// into, and every table is bounded before it is walked.
#include <algorithm>
#include <cstring>
#include <memory>

#include "imaging/FormatElder.h"
#include "imaging/FormatInput.h"
#include "imaging/Formats.h"
#include "imaging/Imaging.h"
#include "platform/ByteReader.h"

namespace velto {

namespace {

constexpr std::int64_t kColourSetSize = 2586;
constexpr std::uint32_t kMaxFrames = 64;      // frames of an animated record
constexpr std::uint32_t kMaxTableRows = 256;  // rows of a run-length row table
constexpr std::uint32_t kRawRowStride = 256;  // raw rows lie this far apart
// A coded row's run: a 16-bit count of up to 32768 and the byte repeated.
constexpr TExpansionBound kElderRowRunBound{3, 32768};
constexpr TExpansionBound kSkipCopyBound{2, 256};
constexpr const char* kTextureShort = "Texture data too short for the image size.";

// The characters a texture archive's name may hold.
bool NameByte(std::uint8_t c) {
    if (c == 0 || c == 9 || c == ' ' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))
        return true;
    return std::strchr("\"'()+,-./\\_", c) != nullptr && c != 0;
}

// Run-length rows of `frames` frames: a table of height (offset, flag) pairs a
// frame, offsets from the record's start; flag 0x8000 marks a coded row.
bool ReadRleRows(const ByteReader& record, ByteReader tables, std::uint16_t width, std::uint16_t height,
                 std::uint32_t frames, TDynImageDataArray& images, const TElderFileFormat& format) {
    if (height > kMaxTableRows || frames > kMaxFrames) return false;
    // Every row's table entry must be there, and the rows together must be
    // able to make the frames' pixels: a raw row takes a byte a pixel, a coded
    // one at most 32768 pixels from each 3-byte run.
    if (std::uint64_t(frames) * height * 4 > tables.remaining()) return false;
    {
        ByteReader t = tables;
        std::uint64_t possible = 0;
        for (std::uint32_t i = 0; i < frames * height; ++i) {
            std::uint16_t offset = 0, flag = 0;
            t.u16le(offset);
            t.u16le(flag);
            const std::uint64_t after = offset < record.size() ? record.size() - offset : 0;
            possible += std::min<std::uint64_t>(width, flag == 0x8000 ? MaxExpandedSize(kElderRowRunBound, after) : after);
        }
        RequireStoredData(std::uint64_t(frames) * width * height, possible, kStoredBound, kTextureShort);
    }
    for (std::uint32_t f = 0; f < frames; ++f) {
        TImageData& image = images[format.AddPaletteImage(images, width, height)];
        if (!TestImage(image)) return false;
        for (std::uint16_t y = 0; y < height; ++y) {
            std::uint16_t offset = 0, flag = 0;
            if (!tables.u16le(offset) || !tables.u16le(flag)) return false;
            ByteReader row = record;
            if (!row.seek(offset)) return false;  // a row outside the record's data
            std::uint8_t* out = image.Bits + std::size_t(y) * width;
            if (flag != 0x8000) {
                std::span<const std::uint8_t> raw;
                const std::uint64_t n = std::min<std::uint64_t>(width, row.remaining());
                row.view(n, raw);
                if (!raw.empty()) std::memcpy(out, raw.data(), raw.size());
                continue;
            }
            std::uint16_t length = 0;
            if (!row.u16le(length)) continue;
            std::uint32_t written = 0;
            std::int16_t code = 0;
            while (written < length && row.i16le(code)) {
                if (code <= 0) {
                    std::uint8_t v = 0;
                    if (!row.u8(v)) break;
                    for (int i = 0; i < -code; ++i, ++written)
                        if (written < width) out[written] = v;
                } else {
                    std::span<const std::uint8_t> lit;
                    if (!row.view(std::min<std::uint64_t>(std::uint64_t(code), row.remaining()), lit)) break;
                    for (const std::uint8_t b : lit) {
                        if (written < width) out[written] = b;
                        ++written;
                    }
                    if (lit.size() < std::size_t(code)) break;
                }
            }
        }
    }
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Texture archives

TTextureFileFormat::TTextureFileFormat() {
    Name = "Daggerfall Texture";
    AddMasks("texture.*,*.dagtexture");
    CanSave = false;
}

bool TTextureFileFormat::TestFormat(const TIOFunctions& io, TImagingHandle handle) {
    std::uint8_t head[26] = {};
    const std::int64_t n = PeekFormatInput(io, handle, head, 26);
    const std::uint16_t count = static_cast<std::uint16_t>(head[0] | head[1] << 8);
    return n == 26 && count >= 1 && count <= 2048 && std::all_of(head + 2, head + 26, NameByte);
}

namespace {
thread_local std::string tLastTextureName;
}  // namespace

const std::string& TTextureFileFormat::LastTextureName() const { return tLastTextureName; }

bool TTextureFileFormat::LoadData(const TIOFunctions& io, TImagingHandle handle, TDynImageDataArray& images, bool) {
    const std::int64_t size = GetInputSize(io, handle);
    const TFormatInput in = ReadFormatInput(io, handle);
    const std::span<const std::uint8_t> data = in.data();
    ByteReader r(data);
    std::uint16_t count = 0;
    std::uint8_t name[24] = {};
    if (!r.u16le(count) || !r.bytes(name, 24)) return false;
    std::string& textureName = tLastTextureName;
    textureName.clear();
    for (const std::uint8_t c : name)
        if (c >= 32 && !(c == ' ' && textureName.empty())) textureName += static_cast<char>(c);
    images.clear();

    if (size == kColourSetSize) {
        // A colour set: one 16 x 16 image of each palette index, up to the last index there is.
        const int base = textureName.find('B') != std::string::npos ? 128 : 0;
        for (int i = 0; i < count && base + i <= 255; ++i) {
            TImageData& image = images[AddPaletteImage(images, 16, 16)];
            std::memset(image.Bits, base + i, std::size_t(image.Size));
        }
        return true;
    }
    if (size == 46 || size == 126 || size == 266) return false;

    for (std::uint16_t e = 0; e < count; ++e) {
        std::uint32_t offset = 0;
        ByteReader dir = r;
        if (!dir.skip(std::uint64_t(e) * 20 + 2) || !dir.u32le(offset)) return false;
        if (offset > data.size()) return false;  // a record outside the archive
        const std::optional<ByteReader> rec = r.sub(offset, data.size() - offset);
        std::uint16_t width = 0, height = 0, compression = 0, frames = 0;
        std::uint32_t dataOffset = 0;
        ByteReader h = *rec;
        if (!h.skip(4) || !h.u16le(width) || !h.u16le(height) || !h.u16le(compression) || !h.skip(4) ||
            !h.u32le(dataOffset) || !h.skip(2) || !h.u16le(frames))
            return false;
        ByteReader body = *rec;
        if (!body.seek(dataOffset)) return false;
        const bool rle = compression == 0x108 || compression == 0x1108;
        if (frames <= 1 && rle) {
            if (!ReadRleRows(*rec, body, width, height, 1, images, *this))
                return false;
        } else if (frames <= 1) {
            if (width > kRawRowStride) return false;
            RequireStoredData(std::uint64_t(width) * height, body.remaining(), kStoredBound, kTextureShort);
            TImageData& image = images[AddPaletteImage(images, width, height)];
            if (!TestImage(image)) return false;
            for (std::uint16_t y = 0; y < height; ++y) {
                std::span<const std::uint8_t> row;
                if (!body.view(std::min<std::uint64_t>(width, body.remaining()), row)) break;
                if (!row.empty()) std::memcpy(image.Bits + std::size_t(y) * width, row.data(), row.size());
                if (!body.skip(std::min<std::uint64_t>(kRawRowStride - width, body.remaining()))) break;
            }
        } else if (compression == 0x108) {
            if (!ReadRleRows(*rec, body, width, height, frames, images, *this))
                return false;
        } else {
            if (frames > kMaxFrames) return false;
            const ByteReader frameData = *rec->sub(dataOffset, rec->size() - dataOffset);
            ByteReader table = frameData;
            if (std::uint64_t(frames) * 4 > frameData.size()) return false;
            for (std::uint16_t f = 0; f < frames; ++f) {
                std::uint32_t at = 0;
                if (!table.u32le(at)) return false;
                ByteReader fr = frameData;
                std::uint16_t fw = 0, fh = 0;
                if (!fr.seek(at) || !fr.u16le(fw) || !fr.u16le(fh)) return false;
                // A (skip, copy) pair of bytes passes over 255 pixels at most
                // and copies a byte a pixel: the frame's data must reach its area.
                RequireStoredData(std::uint64_t(width) * height, fr.remaining(), kSkipCopyBound, kTextureShort);
                TImageData& image = images[AddPaletteImage(images, width, height)];
                if (!TestImage(image)) return false;
                for (std::uint16_t y = 0; y < height; ++y) {
                    std::uint8_t* out = image.Bits + std::size_t(y) * width;
                    std::uint32_t x = 0;
                    while (x < width) {
                        std::uint8_t skip = 0, copy = 0;
                        if (!fr.u8(skip) || !fr.u8(copy)) break;
                        if (skip == 0 && copy == 0) break;  // no progress: the row ends here
                        x += skip;
                        std::span<const std::uint8_t> pixels;
                        if (!fr.view(std::min<std::uint64_t>(copy, fr.remaining()), pixels)) break;
                        for (const std::uint8_t p : pixels) {
                            if (x < width) out[x] = p;
                            ++x;
                        }
                    }
                }
            }
        }
    }
    return true;
}

// ---------------------------------------------------------------------------
// BSI images

namespace {

constexpr std::uint8_t kRecordNameBytes = 13;

bool IsId(const std::uint8_t* p, const char* id) { return std::memcmp(p, id, 4) == 0; }

// What a record's chunks hold; HICL and HTBL stay for the records after it.
struct BsiState {
    std::vector<std::uint8_t> header, palette, hicl, htbl, data;
    bool hasPalette = false;
};

[[noreturn]] void RaiseBsiChunk(const std::uint8_t* id) {
    throw EImagingError(ImagingFormat("Error when reading %.4s chunk data.", reinterpret_cast<const char*>(id)));
}

// One chunk: its id and its data.
bool ReadChunk(ByteReader& r, std::uint8_t id[4], std::vector<std::uint8_t>& data) {
    std::uint32_t size = 0;
    if (!r.bytes(id, 4)) return false;
    if (!r.u32be(size)) RaiseBsiChunk(id);
    std::span<const std::uint8_t> bytes;
    if (!r.view(size, bytes)) RaiseBsiChunk(id);
    data.assign(bytes.begin(), bytes.end());
    return true;
}

}  // namespace

TBSIFileFormat::TBSIFileFormat() {
    Name = "Bethesda Image";
    AddMasks("*.bsi,texbsi.*");
    CanSave = false;
    SetPalette(ElderSecondDefaultPalette());
}

bool TBSIFileFormat::TestFormat(const TIOFunctions& io, TImagingHandle handle) {
    std::uint8_t head[kRecordNameBytes + 4] = {};
    const std::int64_t n = PeekFormatInput(io, handle, head, sizeof head);
    if (n == sizeof head && (IsId(head + kRecordNameBytes, "IFHD") || IsId(head + kRecordNameBytes, "BSIF")))
        return true;
    return n >= 4 && IsId(head, "IFHD");
}

bool TBSIFileFormat::LoadData(const TIOFunctions& io, TImagingHandle handle, TDynImageDataArray& images, bool) {
    const TFormatInput in = ReadFormatInput(io, handle);
    const std::span<const std::uint8_t> input = in.data();
    ByteReader r(input);
    const bool multi = input.size() >= kRecordNameBytes + 4u &&
                       (IsId(input.data() + kRecordNameBytes, "IFHD") || IsId(input.data() + kRecordNameBytes, "BSIF"));
    images.clear();
    BsiState st;
    for (bool first = true; multi || first; first = false) {
        if (multi) {
            std::uint32_t recordSize = 0;
            if (!r.skip(9) || !r.u32le(recordSize) || recordSize < 1) break;
        }
        st.hasPalette = false;
        std::uint8_t id[4];
        std::vector<std::uint8_t> chunk;
        if (!ReadChunk(r, id, chunk)) break;  // the record's first chunk says nothing we use
        while (ReadChunk(r, id, chunk)) {
            if (IsId(id, "END ")) break;
            if (IsId(id, "BHDR")) st.header = std::move(chunk);
            else if (IsId(id, "CMAP")) {
                st.palette = std::move(chunk);
                st.hasPalette = true;
            } else if (IsId(id, "HICL")) st.hicl = std::move(chunk);
            else if (IsId(id, "HTBL")) st.htbl = std::move(chunk);
            else if (IsId(id, "DATA")) st.data = std::move(chunk);
        }
        if (st.header.size() < 16) return false;
        ByteReader bh(st.header);
        std::int16_t width = 0, height = 0;
        std::uint16_t frames = 0;
        bh.skip(4);
        bh.i16le(width);
        bh.i16le(height);
        bh.skip(6);
        bh.u16le(frames);
        if (width <= 0 || height <= 0 || frames == 0) return false;
        const std::size_t w = std::size_t(width), h = std::size_t(height), area = w * h;
        const bool hiColour = !st.hicl.empty();
        if (hiColour && (st.hicl.size() < 256 || (frames > 1 && st.htbl.size() < 4096 * 2))) return false;
        if (st.hasPalette && st.palette.size() > 768) return false;

        // The byte of frame f, row y (row offsets after a table of frames x height offsets).
        std::vector<const std::uint8_t*> rows;
        if (frames > 1) {
            if (std::uint64_t(frames) * h * 4 > st.data.size()) return false;
            ByteReader table(st.data);
            rows.resize(std::size_t(frames) * h);
            for (const std::uint8_t*& row : rows) {
                std::uint32_t at = 0;
                table.u32le(at);
                if (hiColour) at &= 0xFFFF;
                if (std::uint64_t(at) + w > st.data.size()) return false;  // a row outside the data
                row = st.data.data() + at;
            }
        } else if (st.data.size() < area) {
            return false;  // fewer pixels than the image has
        }
        for (std::uint16_t f = 0; f < frames; ++f) {
            const auto source = [&](std::size_t y) { return frames > 1 ? rows[std::size_t(f) * h + y] : st.data.data() + y * w; };
            if (!hiColour) {
                TImageData& image = images[AddPaletteImage(images, width, height)];
                if (st.hasPalette) {
                    std::uint8_t raw[768] = {};
                    if (!st.palette.empty()) std::memcpy(raw, st.palette.data(), st.palette.size());
                    for (std::size_t i = 0; i < 256; ++i)
                        image.Palette[i] = Color32(i == 0 ? 0 : 255, raw[3 * i], raw[3 * i + 1], raw[3 * i + 2]);
                }
                for (std::size_t y = 0; y < h; ++y) std::memcpy(image.Bits + y * w, source(y), w);
                continue;
            }
            images.emplace_back();
            TImageData& image = images.back();
            NewImage(width, height, ifA8R8G8B8, image);
            const auto put = [&](std::size_t i, std::uint8_t v) {
                std::uint8_t r8, g8, b8;
                if (frames > 1) {
                    const std::uint16_t e = static_cast<std::uint16_t>(st.htbl[2 * (3840 + v)] | st.htbl[2 * (3840 + v) + 1] << 8);
                    r8 = static_cast<std::uint8_t>((e >> 10 & 31) * 255 / 31);
                    g8 = static_cast<std::uint8_t>((e >> 5 & 31) * 255 / 31);
                    b8 = static_cast<std::uint8_t>((e & 31) * 255 / 31);
                } else {
                    r8 = g8 = b8 = static_cast<std::uint8_t>((st.hicl[v] & 63) * 255 / 63);
                }
                const TColor32 c = Color32(v == 0 ? 0 : 255, r8, g8, b8);
                std::memcpy(image.Bits + 4 * i, &c, 4);
            };
            if (frames > 1) {
                for (std::size_t y = 0; y < h; ++y)
                    for (std::size_t x = 0; x < w; ++x) put(y * w + x, source(y)[x]);
            } else {
                // Single-frame data: no more bytes than the image has pixels.
                const std::size_t n = std::min(area, st.data.size());
                for (std::size_t i = 0; i < n; ++i) put(i, st.data[i]);
            }
        }
    }
    return true;
}

void RegisterFormatElderArchives() {
    RegisterImageFileFormat(frBSI, std::make_unique<TBSIFileFormat>());
    RegisterImageFileFormat(frTexture, std::make_unique<TTextureFileFormat>());
}

}  // namespace velto
