// The library's GIF format. Frames are decoded into the part of the logical
// screen they cover (what falls outside is dropped as it is decoded), so no
// buffer is sized by a frame descriptor; every canvas is charged against the
// decode budget; sub-block chains end with the input.
#include "imaging/FormatLibGif.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "gif/GifCodeReader.h"
#include "gif/GifInterlace.h"
#include "imaging/FormatInput.h"
#include "imaging/Formats.h"
#include "platform/ByteWriter.h"

namespace velto {

namespace {

constexpr std::uint8_t kExtension = 0x21, kImage = 0x2C, kTrailer = 0x3B;
constexpr std::uint8_t kGraphicControl = 0xF9, kComment = 0xFE, kApplication = 0xFF, kPlainText = 0x01;
constexpr int kMaxCodes = 4096;
constexpr const char* kLzwError = "Error when decoding GIF LZW data";

// The LZW codes of a frame's data sub-blocks, read as the GIF codec reads
// them; the end of the input ends the sub-blocks as a terminator would.
// Nothing is reported on the way (damaged data show in what a load yields).
class CodeReader {
public:
    CodeReader(std::span<const std::uint8_t> data, std::size_t& pos) : pos_(pos), codes_(data.subspan(pos), kQuiet) {}
    // -1 when the data have ended.
    int Read(int size) { return codes_.Read(size); }
    // Moves past what is left, the terminator included.
    void SkipRest() {
        codes_.SkipToTerminator();
        pos_ += static_cast<std::size_t>(codes_.Consumed());
    }

private:
    static inline const TGIFCodecWarning kQuiet;
    std::size_t& pos_;
    gif_detail::TGIFCodeReader codes_;
};

// Where decoded pixels go: rows in order or in the four interlaced passes;
// Put(x, row, index) for each. The number of pixels decoded.
//
// With `linear` (rows in order, every pixel stored one after another from
// there) the string of a code whose entries were all made since the last clear
// code is copied from where it was first decoded instead of being walked
// through the table byte by byte; any other code is walked as always, so the
// pixels are the same either way.
template <class Put>
std::uint64_t DecodeLZW(std::span<const std::uint8_t> data, std::size_t& pos, std::int32_t width, std::int32_t height,
                        bool interlaced, Put put, std::uint8_t* linear = nullptr) {
    if (pos >= data.size()) throw EImagingError(kLzwError);
    const int s = data[pos++];
    CodeReader reader(data, pos);
    if (width <= 0 || height <= 0) {  // a frame of no pixels: its data is passed over
        reader.SkipRest();
        return 0;
    }
    if (s < 2 || s > 9) throw EImagingError(kLzwError);
    const int clear = 1 << s, end = clear + 1;
    int size = s + 1, limit = 1 << size, free = clear + 2;
    std::array<std::uint16_t, kMaxCodes> prefix{}, suffix{};
    std::array<std::uint8_t, kMaxCodes + 1> stack{};
    int old = -1, first = 0;
    bool full = false;

    int pass = 0;
    std::int32_t x = 0, row = 0;
    std::uint64_t decoded = 0;
    const std::uint64_t count = linear ? std::uint64_t(width) * std::uint64_t(height) : 0;
    const auto output = [&](std::uint8_t v) {
        if (linear) {
            if (decoded < count) linear[decoded++] = v;
            return;
        }
        if (row >= height) return;
        put(x, row, v);
        ++decoded;
        if (++x < width) return;
        x = 0;
        if (!interlaced) {
            ++row;
            return;
        }
        row = gif_detail::NextInterlacedRow(row, pass, height);
    };
    const auto more = [&] { return linear ? decoded < count : row < height; };

    // Linear output: where each code's string was decoded, its length and
    // first pixel, and whether that string is fixed (every entry on its chain
    // made since the last clear code; older entries may hold leftovers).
    struct Known {
        std::uint64_t at;
        std::uint16_t length, root;
        bool valid;
    };
    std::vector<Known> known(linear ? kMaxCodes : 0);
    std::uint64_t lastAt = 0, lastLength = 0;  // the string just decoded
    const auto stable = [&](int c) { return c < clear || known[static_cast<std::size_t>(c)].valid; };
    // Earlier output copied to the end; it never overlaps, as it ends at or before `decoded`.
    const auto copy = [&](std::uint64_t from, std::uint64_t n) {
        const std::uint64_t k = std::min(n, count - decoded);
        std::memcpy(linear + decoded, linear + from, static_cast<std::size_t>(k));
        decoded += k;
    };

    int code = reader.Read(size);
    while (code >= 0 && code != end && more()) {
        if (code == clear) {
            size = s + 1;
            limit = 1 << size;
            free = clear + 2;
            full = false;
            old = -1;
            for (Known& k : known) k.valid = false;
            code = reader.Read(size);
            continue;
        }
        if (old < 0) {
            // The first code after a clear code, or of a stream that starts without one.
            first = code & (clear - 1);
            lastAt = decoded;
            lastLength = 1;
            output(static_cast<std::uint8_t>(first));
            old = code;
            code = reader.Read(size);
            continue;
        }
        const int incoming = code;
        const std::uint64_t at = decoded;
        if (linear && code < free && stable(code)) {
            if (code < clear) {
                first = code;
                output(static_cast<std::uint8_t>(code));
            } else {
                const Known& k = known[static_cast<std::size_t>(code)];
                first = k.root;
                copy(k.at, k.length);
            }
        } else if (linear && code >= free && stable(old)) {
            // The code being made: the last string and its own first pixel.
            copy(lastAt, lastLength);
            output(static_cast<std::uint8_t>(first));
        } else {
            int sp = 0;
            if (code >= free) {
                stack[sp++] = static_cast<std::uint8_t>(first);
                code = old;
            }
            while (code >= clear) {
                if (sp >= kMaxCodes) throw EImagingError(kLzwError);
                stack[sp++] = static_cast<std::uint8_t>(suffix[static_cast<std::size_t>(code)]);
                code = prefix[static_cast<std::size_t>(code)];
            }
            first = code & (clear - 1);
            stack[sp++] = static_cast<std::uint8_t>(first);
            while (sp > 0) output(stack[--sp]);
        }
        if (!full) {
            prefix[static_cast<std::size_t>(free)] = static_cast<std::uint16_t>(old);
            suffix[static_cast<std::size_t>(free)] = static_cast<std::uint16_t>(first);
            if (linear) {
                // The last string followed by this one's first pixel, where they were decoded.
                const bool valid = stable(old) && lastLength < 0xFFFF;
                const auto root = static_cast<std::uint16_t>(old < clear ? old : known[static_cast<std::size_t>(old)].root);
                known[static_cast<std::size_t>(free)] = {lastAt, static_cast<std::uint16_t>(lastLength + 1), root, valid};
            }
            if (++free >= limit) {
                if (size < 12) {
                    ++size;
                    limit <<= 1;
                } else {
                    full = true;
                }
            }
        }
        lastAt = at;
        lastLength = decoded - at;
        old = incoming;
        code = reader.Read(size);
    }
    // Data after the last pixel (or after the end code) up to the terminator.
    reader.SkipRest();
    return decoded;
}

// Place of a frame row in the order rows are decoded (the four passes of an
// interlaced frame: every 8th row from 0, every 8th from 4, every 4th from 2,
// every 2nd from 1).
std::uint64_t DecodedRank(std::int32_t row, std::int32_t height, bool interlaced) {
    if (!interlaced) return std::uint64_t(row);
    const std::uint64_t h = std::uint64_t(height), r = std::uint64_t(row);
    const std::uint64_t pass0 = (h + 7) / 8, pass1 = (h + 3) / 8, pass2 = (h + 1) / 4;
    if (r % 8 == 0) return r / 8;
    if (r % 8 == 4) return pass0 + r / 8;
    if (r % 4 == 2) return pass0 + pass1 + r / 4;
    return pass0 + pass1 + pass2 + r / 2;
}

// Codes written least significant bit first into 255-byte sub-blocks.
class CodeWriter {
public:
    explicit CodeWriter(std::vector<std::uint8_t>& out) : out_(out) {}
    void Write(int code, int size) {
        acc_ |= std::uint32_t(code) << bits_;
        bits_ += size;
        while (bits_ >= 8) {
            block_[count_++] = static_cast<std::uint8_t>(acc_);
            acc_ >>= 8;
            bits_ -= 8;
            if (count_ == 255) FlushBlock();
        }
    }
    void Finish() {
        if (bits_ > 0) block_[count_++] = static_cast<std::uint8_t>(acc_);
        if (count_ > 0) FlushBlock();
        out_.push_back(0);
    }

private:
    void FlushBlock() {
        out_.push_back(static_cast<std::uint8_t>(count_));
        out_.insert(out_.end(), block_.begin(), block_.begin() + count_);
        count_ = 0;
    }
    std::vector<std::uint8_t>& out_;
    std::array<std::uint8_t, 255> block_{};
    int count_ = 0;
    std::uint32_t acc_ = 0;
    int bits_ = 0;
};

void ReadColorTable(std::span<const std::uint8_t> data, std::size_t& pos, int entries, TColor32* palette) {
    for (int i = 0; i < entries && data.size() - pos >= 3; ++i, pos += 3)
        palette[i] = Color32(255, data[pos], data[pos + 1], data[pos + 2]);
}

}  // namespace

std::uint64_t DecodeGifLZW(std::span<const std::uint8_t> data, std::size_t& pos, std::uint8_t* pixels,
                           std::int32_t width, std::int32_t height, bool interlaced, bool walkTable) {
    return DecodeLZW(
        data, pos, width, height, interlaced,
        [&](std::int32_t x, std::int32_t row, std::uint8_t v) {
            pixels[std::size_t(row) * std::size_t(width) + std::size_t(x)] = v;
        },
        interlaced || walkTable ? nullptr : pixels);
}

void EncodeGifLZW(const std::uint8_t* pixels, std::size_t count, std::vector<std::uint8_t>& out) {
    constexpr int kClear = 256, kEnd = 257;
    constexpr std::uint32_t kSlots = 17777;
    struct Entry {
        std::uint16_t prefix = 0, code = 0;
        std::uint8_t suffix = 0;
        bool used = false;
    };
    std::vector<Entry> table(kSlots);
    out.push_back(8);
    CodeWriter writer(out);
    int last = kEnd, size = 9, limit = 512;
    writer.Write(kClear, size);
    int current = 0;
    std::uint64_t h = 0;
    std::size_t length = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t p = pixels[i];
        ++length;
        if (length == 1) {
            current = p;
            h = (p + 3u) * 301u;
            continue;
        }
        h = ((p + length + 4) * h) % kSlots;
        std::uint64_t slot = h;
        while (table[slot].used && !(table[slot].prefix == current && table[slot].suffix == p))
            slot = slot + 1 == kSlots ? 0 : slot + 1;
        if (table[slot].used) {
            current = table[slot].code;
            continue;
        }
        writer.Write(current, size);
        ++last;
        table[slot] = Entry{static_cast<std::uint16_t>(current), static_cast<std::uint16_t>(last), p, true};
        current = p;
        h = (p + 3u) * 301u;
        length = 1;
        if (last == limit) {
            limit <<= 1;
            ++size;
        } else if (last >= 4094) {
            writer.Write(current, size);
            writer.Write(kClear, size);
            length = 0;
            last = kEnd;
            size = 9;
            limit = 512;
            std::fill(table.begin(), table.end(), Entry{});
        }
    }
    if (length > 0) writer.Write(current, size);
    writer.Write(kEnd, size);
    writer.Finish();
}

TGIFFileFormat::TGIFFileFormat() {
    Name = "Graphics Interchange Format";
    AddMasks("*.gif");
    CanLoad = true;
    CanSave = true;
    IsMultiImage = true;
    SupportedFormats.set(ifIndex8);
}

bool TGIFFileFormat::TestFormat(const TIOFunctions& io, TImagingHandle handle) {
    std::uint8_t b[13];
    return PeekFormatInput(io, handle, b, 13) == 13 && std::memcmp(b, "GIF", 3) == 0 &&
           (std::memcmp(b + 3, "87a", 3) == 0 || std::memcmp(b + 3, "89a", 3) == 0);
}

void TGIFFileFormat::ConvertToSupported(TImageData& image, const TImageFormatInfo&) { ConvertImage(image, ifIndex8); }

bool TGIFFileFormat::LoadData(const TIOFunctions& io, TImagingHandle handle, TDynImageDataArray& images, bool) {
    const TFormatInput in = ReadFormatInput(io, handle);
    const std::span<const std::uint8_t> data = in.data();
    images.clear();
    if (data.size() < 13) RaiseBadImageData("GIF header cut short.");
    const auto u16 = [&](std::size_t at) { return std::int32_t(data[at] | data[at + 1] << 8); };
    const std::int32_t screenWidth = u16(6), screenHeight = u16(8);
    const std::uint8_t screenFlags = data[10], background = data[11];
    std::size_t pos = 13;
    const bool hasGlobal = screenFlags & 0x80;
    std::array<TColor32, 256> global{};
    if (hasGlobal) {
        ReadColorTable(data, pos, 2 << (screenFlags & 7), global.data());
        global[background] &= 0x00FFFFFFu;
    }

    std::vector<int> disposals;
    const auto next = [&]() -> std::uint8_t { return pos < data.size() ? data[pos++] : kTrailer; };
    std::uint8_t id = next();
    while (id != kTrailer) {
        bool control = false;
        std::uint8_t controlFlags = 0, transparent = 0;
        while (id == kExtension) {
            const std::uint8_t label = next();
            if (label == kGraphicControl) {
                if (data.size() - pos >= 6) {
                    controlFlags = data[pos + 1];
                    transparent = data[pos + 4];
                    control = true;
                }
                pos = std::min(pos + 6, data.size());
            } else if (label == kComment || label == kApplication || label == kPlainText) {
                CodeReader(data, pos).SkipRest();
            }
            id = next();
        }
        if (id == kTrailer) break;
        if (id == kImage) {
            if (images.size() >= ImagingLimits().gifFrames) RaiseBadImageData("GIF with too many frames.");
            if (data.size() - pos < 9) break;  // a descriptor cut short ends the file
            const std::int32_t left = u16(pos), top = u16(pos + 2), width = u16(pos + 4), height = u16(pos + 6);
            const std::uint8_t flags = data[pos + 8];
            pos += 9;
            // Every frame is a canvas of the whole screen: together they may not
            // cover more pixels than the file's bytes could make as LZW codes.
            if (std::uint64_t(screenWidth) * std::uint64_t(screenHeight) * (images.size() + 1) > MaxLzwOutput(data.size()))
                RaiseBadImageData("GIF screen too large for the file.");
            images.emplace_back();
            const std::size_t i = images.size() - 1;
            TImageData& image = images[i];
            NewImage(screenWidth, screenHeight, ifIndex8, image);
            std::array<TColor32, 256> local{};
            if (flags & 0x80) ReadColorTable(data, pos, 2 << (flags & 7), local.data());
            const int disposal = control ? (controlFlags >> 2) & 7 : 0;
            disposals.push_back(disposal);
            if (!TestImage(image)) return false;  // a screen of no pixels
            if (flags & 0x80) std::copy(local.begin(), local.end(), image.Palette);
            else if (hasGlobal) std::copy(global.begin(), global.end(), image.Palette);
            else FillCustomPalette(image.Palette, 2 << (screenFlags & 7), 3, 3, 2, 255);
            const bool transparency = control && (controlFlags & 1);
            if (transparency) image.Palette[transparent] &= 0x00FFFFFFu;

            // The canvas, from what the previous frame left.
            const std::int32_t W = screenWidth, H = screenHeight;
            if (i == 0) {
                FillRect(image, 0, 0, W, H, &background);
            } else {
                switch (disposals[i - 1]) {
                case 1: CopyRect(images[i - 1], 0, 0, W, H, image, 0, 0); break;
                case 2: FillRect(image, 0, 0, W, H, &background); break;
                case 3:
                    if (i >= 2) CopyRect(images[i - 2], 0, 0, W, H, image, 0, 0);
                    break;
                default: break;
                }
            }

            // The frame's pixels that land on the screen, but for the transparent
            // index; pixels the data does not reach count as index 0.
            const std::int32_t x1 = std::min<std::int64_t>(std::int64_t(left) + width, W);
            const std::int32_t y1 = std::min<std::int64_t>(std::int64_t(top) + height, H);
            const bool interlaced = flags & 0x40;
            const auto put = [&](std::int32_t sx, std::int32_t sy, std::uint8_t v) {
                if (!transparency || v != transparent) image.Bits[std::size_t(sy) * std::size_t(W) + std::size_t(sx)] = v;
            };
            // A frame of whole screen rows, all on the screen and every pixel kept,
            // is decoded straight into place.
            const bool whole = !interlaced && !transparency && left == 0 && width == W && y1 == top + height;
            std::uint8_t* linear = whole ? image.Bits + std::size_t(top) * std::size_t(W) : nullptr;
            const std::uint64_t decoded = DecodeLZW(
                data, pos, width, height, interlaced,
                [&](std::int32_t x, std::int32_t row, std::uint8_t v) {
                    const std::int32_t sx = left + x, sy = top + row;
                    if (sx < x1 && sy < y1) put(sx, sy, v);
                },
                linear);
            if (width > 0 && decoded < std::uint64_t(width) * std::uint64_t(height)) {
                const std::uint64_t fullRows = decoded / std::uint64_t(width);
                for (std::int32_t sy = top; sy < y1; ++sy) {
                    const std::uint64_t rank = DecodedRank(sy - top, height, interlaced);
                    if (rank < fullRows) continue;
                    const std::int64_t from = rank == fullRows ? std::int64_t(decoded % std::uint64_t(width)) : 0;
                    for (std::int64_t sx = left + from; sx < x1; ++sx) put(static_cast<std::int32_t>(sx), sy, 0);
                }
            }
        }
        id = next();
        if (id != kExtension && id != kImage && id != kTrailer) break;
    }
    in.LeaveAt(pos);
    return true;
}

bool TGIFFileFormat::SaveData(const TIOFunctions& io, TImagingHandle handle, const TDynImageDataArray& images,
                              std::int32_t index) {
    const TSaveRange range = SaveRange(images, index);
    std::int32_t screenWidth = 0, screenHeight = 0;
    for (std::int32_t i = range.first; i <= range.last; ++i) {
        screenWidth = std::max(screenWidth, images[static_cast<std::size_t>(i)].Width);
        screenHeight = std::max(screenHeight, images[static_cast<std::size_t>(i)].Height);
    }
    // Sizes are 16-bit fields.
    if (screenWidth > 65535 || screenHeight > 65535) return false;
    ByteWriter w;
    w.text("GIF89a");
    w.u16le(static_cast<std::uint16_t>(screenWidth));
    w.u16le(static_cast<std::uint16_t>(screenHeight));
    w.u8(0x70);
    w.u8(0);
    w.u8(0);
    for (std::int32_t i = range.first; i <= range.last; ++i) {
        TSavableCopy copy;
        try {
            if (!MakeCompatible(images[static_cast<std::size_t>(i)], copy.image, copy.owned)) continue;
        } catch (const EImagingError&) {
            continue;  // an image that cannot be converted is left out
        }
        const TImageData& image = copy.image;
        static constexpr std::uint8_t kControl[] = {kExtension, kGraphicControl, 4, 0, 0x41, 0, 0, 0};
        w.bytes(kControl, sizeof kControl);
        w.u8(kImage);
        w.u16le(0);
        w.u16le(0);
        w.u16le(static_cast<std::uint16_t>(image.Width));
        w.u16le(static_cast<std::uint16_t>(image.Height));
        w.u8(0x87);
        for (int e = 0; e < 256; ++e) {
            w.u8(Color32R(image.Palette[e]));
            w.u8(Color32G(image.Palette[e]));
            w.u8(Color32B(image.Palette[e]));
        }
        EncodeGifLZW(image.Bits, static_cast<std::size_t>(image.Size), w.buffer());
    }
    w.u8(kTrailer);
    return WriteFormatOutput(io, handle, w.buffer());
}

void RegisterFormatLibGif() { RegisterImageFileFormat(frGIF, std::make_unique<TGIFFileFormat>()); }

}  // namespace velto
