// Header, palette, transparency, gamma, physical size, time and text chunks.
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "platform/PixelRows.h"
#include "png/PngImage.h"
#include "png/PngInternal.h"

namespace velto {

using namespace png_detail;

namespace {

std::uint32_t BE32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}
void PutBE32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}

// Bits per pixel of the DIB that holds a colour type and bit depth.
int DibBitsPerPixel(std::uint8_t type, std::uint8_t depth) {
    if (type == COLOR_RGB || type == COLOR_RGBALPHA) return 24;
    if (depth == 2) return 4;
    if (depth == 16) return 8;
    return depth;
}

TPixelFormat FormatOfBits(int bpp) {
    switch (bpp) {
        case 1: return pf1bit;
        case 4: return pf4bit;
        case 8: return pf8bit;
        default: return pf24bit;
    }
}

[[noreturn]] void Incompatible() { throw EPngError(EPngIncompatibleAssignText); }

// The decoding table of a gamma value (x 100000, not 0). Its 256 pow() calls
// cost more than decoding a small image, and files of one source share a few
// values: the last tables built are kept, per thread.
const std::array<std::uint8_t, 256>& GammaTableOf(std::uint32_t value) {
    struct Entry {
        std::uint32_t value = 0;  // 0: unused
        std::array<std::uint8_t, 256> table{};
    };
    thread_local std::array<Entry, 16> cache;
    thread_local std::size_t next = 0;
    for (const Entry& e : cache)
        if (e.value == value) return e.table;
    Entry& e = cache[next];
    next = (next + 1) % cache.size();
    const double exponent = 1.0 / (static_cast<double>(value) / 100000.0 * 2.2);
    for (int i = 0; i < 256; ++i) {
        const double v = i == 0 ? 0.0 : 255.0 * std::pow(i / 255.0, exponent);
        e.table[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(std::clamp(std::nearbyint(v), 0.0, 255.0));
    }
    e.value = value;
    return e.table;
}

}  // namespace

// ---------------------------------------------------------------------------
// Shared helpers

namespace png_detail {

std::uint64_t FilteredImageBytes(std::uint64_t width, std::uint64_t height, std::uint8_t type, std::uint8_t depth,
                                 bool interlaced) {
    if (!interlaced) return height * (RowBytes(width, type, depth) + 1);
    std::uint64_t total = 0;
    for (const auto& p : kAdam7) {
        const std::uint64_t w = PassWidth(width, p), h = PassHeight(height, p);
        if (w && h) total += h * (RowBytes(w, type, depth) + 1);
    }
    return total;
}

void BuildGreyPalette(TChunkIHDR& header) {
    if (!header.HasPalette()) return;
    const int n = 1 << header.BitsPerPixel();
    const auto& gamma = header.Owner().GammaTable;
    std::array<TRGBQuad, 256> table{};
    for (int i = 0; i < n; ++i) {
        const std::uint8_t g = gamma[static_cast<std::size_t>(i * 255 / (n - 1))];
        table[static_cast<std::size_t>(i)] = {g, g, g, 0};
    }
    header.ImageBitmap().SetColorTable(std::span<const TRGBQuad>(table.data(), static_cast<std::size_t>(n)));
}

void WidenGreyTo8Bits(TChunkIHDR& h) {
    const int oldBpp = h.BitsPerPixel();
    if (oldBpp >= 8) return;
    TBitmap wide;
    if (!wide.Allocate(h.Width, h.Height, pf8bit)) throw EPNGOutMemory(EPNGOutMemoryText);
    const int maxV = (1 << oldBpp) - 1;
    for (int y = 0; y < h.Height; ++y) {
        const std::uint8_t* src = h.ImageBitmap().ScanLine(y);
        std::uint8_t* dst = wide.ScanLine(y);
        for (int x = 0; x < h.Width; ++x) {
            const unsigned v = PackedPixel(src, static_cast<std::size_t>(x), oldBpp);
            dst[x] = static_cast<std::uint8_t>(v * 255 / static_cast<unsigned>(maxV));
        }
    }
    h.fImage = std::move(wide);
    h.fBitsPerPixel = 8;
    h.fBytesPerRow = h.fImage.Stride();
    h.BitDepth = 8;
    BuildGreyPalette(h);
}

bool InflateBuffer(std::span<const std::uint8_t> in, std::size_t maxOut, std::vector<std::uint8_t>& out,
                   std::size_t* produced) {
    out.clear();
    if (produced) *produced = 0;
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return false;
    z.next_in = const_cast<Bytef*>(in.data());
    z.avail_in = static_cast<uInt>(std::min<std::size_t>(in.size(), 0xFFFFFFFFu));
    std::uint8_t block[16384];
    bool ok = false;
    for (;;) {
        z.next_out = block;
        z.avail_out = sizeof block;
        const int r = inflate(&z, Z_NO_FLUSH);
        const std::size_t made = sizeof block - z.avail_out;
        if (produced) *produced += made;
        if (r != Z_OK && r != Z_STREAM_END) break;  // errors, a dictionary request, or data that stops early
        if (out.size() + made > maxOut) break;
        out.insert(out.end(), block, block + made);
        if (r == Z_STREAM_END) {
            ok = true;
            break;
        }
    }
    inflateEnd(&z);
    if (!ok) out.clear();
    return ok;
}

bool DeflateBuffer(std::span<const std::uint8_t> in, int level, std::vector<std::uint8_t>& out) {
    out.clear();
    z_stream z{};
    if (deflateInit(&z, level) != Z_OK) return false;
    z.next_in = const_cast<Bytef*>(in.data());
    z.avail_in = static_cast<uInt>(in.size());
    std::uint8_t block[16384];
    bool ok = false;
    for (;;) {
        z.next_out = block;
        z.avail_out = sizeof block;
        const int r = deflate(&z, Z_FINISH);
        if (r != Z_OK && r != Z_STREAM_END) break;
        out.insert(out.end(), block, block + (sizeof block - z.avail_out));
        if (r == Z_STREAM_END) {
            ok = true;
            break;
        }
    }
    deflateEnd(&z);
    return ok;
}

}  // namespace png_detail

// ---------------------------------------------------------------------------
// IEND

std::unique_ptr<TChunk> TChunkIEND::NewOfSameClass(TPNGObject& o) const { return std::make_unique<TChunkIEND>(o); }

// ---------------------------------------------------------------------------
// IHDR

TChunkIHDR::TChunkIHDR(TPNGObject& owner) : TChunk(owner) {}

std::unique_ptr<TChunk> TChunkIHDR::NewOfSameClass(TPNGObject& o) const { return std::make_unique<TChunkIHDR>(o); }

bool TChunkIHDR::LoadFromStream(ByteReader& stream, const TChunkName& name, std::uint32_t size) {
    TChunk::LoadFromStream(stream, name, size);
    if (Data.size() < 13) throw EPngInvalidIHDR(EPngInvalidIHDRText);
    const std::uint32_t w = BE32(Data.data()), h = BE32(Data.data() + 4);
    if (w == 0 || h == 0) throw EPngInvalidIHDR(EPngInvalidIHDRText);
    if (w > 65535 || h > 65535) throw EPNGSizeExceeds(EPNGSizeExceedsText);
    const std::uint8_t depth = Data[8], type = Data[9];
    if (Data[10] != 0) throw EPNGUnknownCompression(EPNGUnknownCompressionText);
    if (Data[12] > 1) throw EPNGUnknownInterlace(EPNGUnknownInterlaceText);
    if (!ValidTypeAndDepth(type, depth)) throw EPngInvalidIHDR(EPngInvalidIHDRText);
    // No valid stream can inflate to more than this; refuse before allocating.
    const std::uint64_t needed = FilteredImageBytes(w, h, type, depth, Data[12] == 1);
    if (needed / kMaxInflateRatio > stream.remaining() + 64) throw EPngUnexpectedEnd(EPngUnexpectedEndText);
    Width = static_cast<std::int32_t>(w);
    Height = static_cast<std::int32_t>(h);
    BitDepth = depth;
    ColorType = type;
    CompressionMethod = Data[10];
    FilterMethod = Data[11];
    InterlaceMethod = Data[12];
    Owner().InterlaceMethod = InterlaceMethod;
    PrepareImageData();
    return true;
}

bool TChunkIHDR::SaveToStream(ByteWriter& stream) {
    if (BitDepth == 2) {
        BitDepth = 4;  // the DIB holds 2-bit images as 4-bit
        // A grey key follows its samples into 4 bits (x5), or the transparent
        // pixels would turn opaque once written.
        auto* trns = Owner().Chunks().FindChunk<TChunktRNS>();
        if (ColorType == COLOR_GRAYSCALE && trns && trns->Data.size() == 2) {
            const auto v = static_cast<std::uint8_t>((trns->Data[1] & 3) * 5);
            trns->Data = {0, v};
            trns->PaletteValues[0] = 0;
            trns->PaletteValues[1] = v;
        }
    }
    ResizeData(13);
    PutBE32(Data.data(), static_cast<std::uint32_t>(Width));
    PutBE32(Data.data() + 4, static_cast<std::uint32_t>(Height));
    Data[8] = BitDepth;
    Data[9] = ColorType;
    Data[10] = CompressionMethod;
    Data[11] = FilterMethod;
    Data[12] = Owner().InterlaceMethod;
    return TChunk::SaveToStream(stream);
}

void TChunkIHDR::Assign(const TChunk& source) {
    const auto* s = dynamic_cast<const TChunkIHDR*>(&source);
    if (!s) Incompatible();
    TChunk::Assign(source);
    Width = s->Width;
    Height = s->Height;
    BitDepth = s->BitDepth;
    ColorType = s->ColorType;
    CompressionMethod = s->CompressionMethod;
    FilterMethod = s->FilterMethod;
    InterlaceMethod = s->InterlaceMethod;
    try {
        fImage = s->fImage;
        ImageAlpha = s->ImageAlpha;
        ExtraImageData = s->ExtraImageData;
        KeyedPixels = s->KeyedPixels;
    } catch (const std::bad_alloc&) {
        throw EPNGOutMemory(EPNGOutMemoryText);
    }
    fBitsPerPixel = s->fBitsPerPixel;
    fBytesPerRow = s->fBytesPerRow;
}

void TChunkIHDR::PrepareImageData() {
    fImage = TBitmap();
    ImageAlpha.clear();
    ImageAlpha.shrink_to_fit();
    ExtraImageData.clear();
    ExtraImageData.shrink_to_fit();
    KeyedPixels.clear();
    KeyedPixels.shrink_to_fit();
    fBitsPerPixel = 0;
    fBytesPerRow = 0;
    if (Width <= 0 || Height <= 0) throw EPngInvalidIHDR(EPngInvalidIHDRText);
    const std::uint64_t pixels = std::uint64_t(Width) * std::uint64_t(Height);
    if (pixels > Owner().Limits.pixels) throw EPNGLimit(EPNGOutMemoryText);
    const int bpp = DibBitsPerPixel(ColorType, BitDepth);
    if (!fImage.Allocate(Width, Height, FormatOfBits(bpp))) throw EPNGOutMemory(EPNGOutMemoryText);
    fBitsPerPixel = bpp;
    fBytesPerRow = fImage.Stride();
    try {
        if (ColorType == COLOR_GRAYSCALEALPHA || ColorType == COLOR_RGBALPHA)
            ImageAlpha = TPixelBytes(static_cast<std::size_t>(pixels));
        if (BitDepth == 16) ExtraImageData = TPixelBytes(fImage.ByteSize());
    } catch (const std::bad_alloc&) {
        fImage = TBitmap();
        ImageAlpha.clear();
        throw EPNGOutMemory(EPNGOutMemoryText);
    }
    if (ColorType == COLOR_GRAYSCALE || ColorType == COLOR_GRAYSCALEALPHA) BuildGreyPalette(*this);
}

// ---------------------------------------------------------------------------
// PLTE

std::unique_ptr<TChunk> TChunkPLTE::NewOfSameClass(TPNGObject& o) const { return std::make_unique<TChunkPLTE>(o); }

bool TChunkPLTE::LoadFromStream(ByteReader& stream, const TChunkName& name, std::uint32_t size) {
    TChunk::LoadFromStream(stream, name, size);
    if (Data.size() % 3 != 0 || Data.size() > 768) throw EPNGInvalidPalette(EPNGInvalidPaletteText);
    Count = static_cast<int>(Data.size() / 3);
    TChunkIHDR& h = Header();
    if (!h.HasPalette()) return true;  // a suggested palette of a true-colour image: kept as it is
    // Entries beyond what the pixels can index are dropped.
    Count = std::min(Count, 1 << h.BitsPerPixel());
    const auto& gamma = Owner().GammaTable;
    TPaletteEntries entries(static_cast<std::size_t>(Count));
    for (std::size_t i = 0; i < entries.size(); ++i)
        entries[i] = {gamma[Data[i * 3]], gamma[Data[i * 3 + 1]], gamma[Data[i * 3 + 2]], 0};
    Owner().SetPalette(entries);
    return true;
}

bool TChunkPLTE::SaveToStream(ByteWriter& stream) {
    const TChunkIHDR& h = Header();
    if (h.HasPalette()) {
        auto table = h.ImageBitmap().ColorTable();
        std::size_t n = Count > 0 ? static_cast<std::size_t>(Count) : table.size();
        n = std::min(n, table.size());
        const auto& inv = Owner().InverseGamma;
        ResizeData(static_cast<std::uint32_t>(n * 3));
        for (std::size_t i = 0; i < n; ++i) {
            Data[i * 3] = inv[table[i].Red];
            Data[i * 3 + 1] = inv[table[i].Green];
            Data[i * 3 + 2] = inv[table[i].Blue];
        }
    }
    return TChunk::SaveToStream(stream);
}

void TChunkPLTE::Assign(const TChunk& source) {
    const auto* s = dynamic_cast<const TChunkPLTE*>(&source);
    if (!s) Incompatible();
    TChunk::Assign(source);
    Count = s->Count;
}

TRGBQuad TChunkPLTE::GetPaletteItem(int index) const {
    if (index < 0 || index >= Count) throw EPngError(EPngNoPaletteEntryText);
    const TChunkIHDR& h = Header();
    auto table = h.ImageBitmap().ColorTable();
    if (h.HasPalette() && static_cast<std::size_t>(index) < table.size()) return table[static_cast<std::size_t>(index)];
    const std::size_t i = static_cast<std::size_t>(index) * 3;
    if (i + 2 < Data.size()) return {Data[i + 2], Data[i + 1], Data[i], 0};
    return {};
}

// ---------------------------------------------------------------------------
// tRNS

std::unique_ptr<TChunk> TChunktRNS::NewOfSameClass(TPNGObject& o) const { return std::make_unique<TChunktRNS>(o); }

bool TChunktRNS::LoadFromStream(ByteReader& stream, const TChunkName& name, std::uint32_t size) {
    TChunk::LoadFromStream(stream, name, size);
    PaletteValues.fill(255);
    std::copy_n(Data.begin(), std::min<std::size_t>(Data.size(), 256), PaletteValues.begin());
    const std::uint8_t type = Owner().HeaderPresent() ? Header().ColorType : 0;
    if (type == COLOR_PALETTE) {
        // One fully transparent entry is a transparent colour; any other value
        // below 255 needs blending.
        int below = 0, zeros = 0;
        for (std::size_t i = 0; i < std::min<std::size_t>(Data.size(), 256); ++i) {
            below += Data[i] < 255;
            zeros += Data[i] == 0;
        }
        BitTransparency = below == 1 && zeros == 1;
    } else {
        BitTransparency = true;
    }
    return true;
}

bool TChunktRNS::SaveToStream(ByteWriter& stream) {
    if (Data.size() > 256) Data.resize(256);
    std::copy_n(PaletteValues.begin(), Data.size(), Data.begin());
    return TChunk::SaveToStream(stream);
}

void TChunktRNS::Assign(const TChunk& source) {
    TChunk::Assign(source);
    if (const auto* s = dynamic_cast<const TChunktRNS*>(&source)) {
        PaletteValues = s->PaletteValues;
        BitTransparency = s->BitTransparency;
    }
}

bool TChunktRNS::AppliesToImage() const {
    if (!Owner().HeaderPresent()) return false;
    const TChunkIHDR& h = Header();
    switch (h.ColorType) {
        case COLOR_GRAYSCALE: return Data.size() == 2;
        case COLOR_RGB: return Data.size() == 6;
        case COLOR_PALETTE: {
            if (Data.empty() || Data.size() > 256) return false;
            // More values than palette entries: the chunk is ignored, as other readers do.
            const auto* plte = Owner().Chunks().FindChunk<TChunkPLTE>();
            return !plte || Data.size() <= static_cast<std::size_t>(std::max(plte->Count, 0));
        }
        default: return false;
    }
}

TColor TChunktRNS::TransparentColor() const {
    if (!AppliesToImage()) return ColorFromValue(0);
    const TChunkIHDR& h = Header();
    switch (h.ColorType) {
        case COLOR_GRAYSCALE: {
            const int sample = (Data[0] << 8) | Data[1];
            int index;
            if (h.BitDepth == 16)
                index = sample >> 8;
            else
                index = (sample & ((1 << h.BitDepth) - 1)) * (h.BitDepth == 2 ? 5 : 1);
            auto table = h.ImageBitmap().ColorTable();
            if (static_cast<std::size_t>(index) >= table.size()) return ColorFromValue(0);
            const std::uint8_t g = table[static_cast<std::size_t>(index)].Red;
            return MakeColor(g, g, g);
        }
        case COLOR_RGB: {
            const auto& gamma = Owner().GammaTable;
            const std::size_t o = h.BitDepth == 16 ? 0 : 1;
            return MakeColor(gamma[Data[o]], gamma[Data[2 + o]], gamma[Data[4 + o]]);
        }
        case COLOR_PALETTE: {
            const auto* plte = Owner().Chunks().FindChunk<TChunkPLTE>();
            for (std::size_t i = 0; i < Data.size(); ++i)
                if (PaletteValues[i] == 0) {
                    if (!plte || static_cast<int>(i) >= plte->Count) return ColorFromValue(0);
                    return ColorFromQuad(plte->GetPaletteItem(static_cast<int>(i)));
                }
            return ColorFromValue(0);
        }
        default: return ColorFromValue(0);
    }
}

void TChunktRNS::SetTransparentColor(TColor c) {
    PaletteValues.fill(0);
    BitTransparency = true;
    TChunkIHDR& h = Header();
    // The pixels are compared with the new colour from now on.
    h.KeyedPixels.clear();
    // Samples of the header's depth; a 16-bit sample's high byte is the colour,
    // its low byte 0 as the encoder writes it, so that the key matches what is saved.
    auto sample = [&](std::uint8_t v) -> std::uint16_t {
        if (h.BitDepth == 16) return static_cast<std::uint16_t>(v << 8);
        if (h.BitDepth < 8) return static_cast<std::uint16_t>((v * ((1 << h.BitDepth) - 1) + 127) / 255);
        return v;
    };
    switch (h.ColorType) {
        case COLOR_GRAYSCALE: {
            const std::uint16_t s = sample(ColorR(c));
            Data = {static_cast<std::uint8_t>(s >> 8), static_cast<std::uint8_t>(s)};
            break;
        }
        case COLOR_RGB: {
            Data.clear();
            for (std::uint8_t v : {ColorR(c), ColorG(c), ColorB(c)}) {
                const std::uint16_t s = sample(v);
                Data.push_back(static_cast<std::uint8_t>(s >> 8));
                Data.push_back(static_cast<std::uint8_t>(s));
            }
            break;
        }
        case COLOR_PALETTE: {
            auto table = h.ImageBitmap().ColorTable();
            const auto* plte = Owner().Chunks().FindChunk<TChunkPLTE>();
            std::size_t n = plte && plte->Count > 0 ? static_cast<std::size_t>(plte->Count) : table.size();
            n = std::min(n, table.size());
            const TRGBQuad want = QuadFromColor(c);
            std::size_t found = n;
            for (std::size_t i = 0; i < n; ++i)
                if (table[i].Red == want.Red && table[i].Green == want.Green && table[i].Blue == want.Blue) {
                    found = i;
                    break;
                }
            if (found == n) {
                // No entry has that colour: nothing becomes transparent.
                PaletteValues.fill(255);
                BitTransparency = false;
                ResizeData(1);
                Data[0] = 255;
                break;
            }
            for (std::size_t i = 0; i < found; ++i) PaletteValues[i] = 255;
            PaletteValues[found] = 0;
            ResizeData(static_cast<std::uint32_t>(found + 1));
            std::copy_n(PaletteValues.begin(), found + 1, Data.begin());
            break;
        }
        default: break;
    }
    // The values of grey and RGB images are the chunk's bytes: writing copies
    // them back, so they must hold the key just set, not zeros.
    if (h.ColorType == COLOR_GRAYSCALE || h.ColorType == COLOR_RGB)
        std::copy(Data.begin(), Data.end(), PaletteValues.begin());
}

// ---------------------------------------------------------------------------
// gAMA

TChunkgAMA::TChunkgAMA(TPNGObject& owner) : TChunk(owner) { SetGamma(1); }

std::unique_ptr<TChunk> TChunkgAMA::NewOfSameClass(TPNGObject& o) const { return std::make_unique<TChunkgAMA>(o); }

std::uint32_t TChunkgAMA::Gamma() const { return Data.size() == 4 ? BE32(Data.data()) : 1; }

void TChunkgAMA::SetGamma(std::uint32_t value) {
    ResizeData(4);
    PutBE32(Data.data(), value);
}

bool TChunkgAMA::LoadFromStream(ByteReader& stream, const TChunkName& name, std::uint32_t size) {
    TChunk::LoadFromStream(stream, name, size);
    // A chunk of another size is ignored (kept as read): taken as the value 1 it
    // would darken the image to near black.
    if (Data.size() != 4) return true;
    const std::uint32_t value = Gamma();
    if (value != 0) {
        TPNGObject& o = Owner();
        o.GammaTable = GammaTableOf(value);
        for (std::size_t i = 0; i < 256; ++i) o.InverseGamma[o.GammaTable[i]] = static_cast<std::uint8_t>(i);
    }
    return true;
}

void TChunkgAMA::Assign(const TChunk& source) {
    if (!dynamic_cast<const TChunkgAMA*>(&source)) Incompatible();
    TChunk::Assign(source);
}

// ---------------------------------------------------------------------------
// pHYs, tIME

std::unique_ptr<TChunk> TChunkpHYs::NewOfSameClass(TPNGObject& o) const { return std::make_unique<TChunkpHYs>(o); }

bool TChunkpHYs::LoadFromStream(ByteReader& stream, const TChunkName& name, std::uint32_t size) {
    TChunk::LoadFromStream(stream, name, size);
    if (Data.size() == 9) {
        PPUnitX = BE32(Data.data());
        PPUnitY = BE32(Data.data() + 4);
        UnitType = Data[8];
    }
    return true;
}

bool TChunkpHYs::SaveToStream(ByteWriter& stream) {
    ResizeData(9);
    PutBE32(Data.data(), PPUnitX);
    PutBE32(Data.data() + 4, PPUnitY);
    Data[8] = UnitType;
    return TChunk::SaveToStream(stream);
}

void TChunkpHYs::Assign(const TChunk& source) {
    TChunk::Assign(source);
    if (const auto* s = dynamic_cast<const TChunkpHYs*>(&source)) {
        PPUnitX = s->PPUnitX;
        PPUnitY = s->PPUnitY;
        UnitType = s->UnitType;
    }
}

std::unique_ptr<TChunk> TChunktIME::NewOfSameClass(TPNGObject& o) const { return std::make_unique<TChunktIME>(o); }

bool TChunktIME::LoadFromStream(ByteReader& stream, const TChunkName& name, std::uint32_t size) {
    TChunk::LoadFromStream(stream, name, size);
    if (Data.size() == 7) {
        Year = static_cast<std::uint16_t>((Data[0] << 8) | Data[1]);
        Month = Data[2];
        Day = Data[3];
        Hour = Data[4];
        Minute = Data[5];
        Second = Data[6];
    }
    return true;
}

bool TChunktIME::SaveToStream(ByteWriter& stream) {
    Data = {static_cast<std::uint8_t>(Year >> 8), static_cast<std::uint8_t>(Year), Month, Day, Hour, Minute, Second};
    return TChunk::SaveToStream(stream);
}

void TChunktIME::Assign(const TChunk& source) {
    TChunk::Assign(source);
    if (const auto* s = dynamic_cast<const TChunktIME*>(&source)) {
        Year = s->Year;
        Month = s->Month;
        Day = s->Day;
        Hour = s->Hour;
        Minute = s->Minute;
        Second = s->Second;
    }
}

// ---------------------------------------------------------------------------
// tEXt, zTXt

std::unique_ptr<TChunk> TChunktEXt::NewOfSameClass(TPNGObject& o) const { return std::make_unique<TChunktEXt>(o); }

namespace {
// Keyword up to the first zero byte; without one the whole data is the keyword.
std::size_t SplitKeyword(const std::vector<std::uint8_t>& data, std::string& keyword) {
    const auto zero = std::find(data.begin(), data.end(), std::uint8_t{0});
    keyword.assign(data.begin(), zero);
    return static_cast<std::size_t>(zero - data.begin());
}
}  // namespace

bool TChunktEXt::LoadFromStream(ByteReader& stream, const TChunkName& name, std::uint32_t size) {
    TChunk::LoadFromStream(stream, name, size);
    if (Data.size() >= 3) {
        const std::size_t k = SplitKeyword(Data, Keyword);
        if (k < Data.size())
            Text.assign(Data.begin() + static_cast<std::ptrdiff_t>(k) + 1, Data.end());
        else
            Text.clear();
    }
    return true;
}

bool TChunktEXt::SaveToStream(ByteWriter& stream) {
    Data.assign(Keyword.begin(), Keyword.end());
    Data.push_back(0);
    Data.insert(Data.end(), Text.begin(), Text.end());
    return TChunk::SaveToStream(stream);
}

void TChunktEXt::Assign(const TChunk& source) {
    TChunk::Assign(source);
    if (const auto* s = dynamic_cast<const TChunktEXt*>(&source)) {
        Keyword = s->Keyword;
        Text = s->Text;
    }
}

std::unique_ptr<TChunk> TChunkzTXt::NewOfSameClass(TPNGObject& o) const { return std::make_unique<TChunkzTXt>(o); }

bool TChunkzTXt::LoadFromStream(ByteReader& stream, const TChunkName& name, std::uint32_t size) {
    TChunk::LoadFromStream(stream, name, size);
    if (Data.size() >= 4) {
        const std::size_t k = SplitKeyword(Data, Keyword);
        Text.clear();
        if (k + 1 < Data.size() && Data[k + 1] == 0) {
            // Inflated text counts against the bytes the file may hold, so that many
            // small chunks cannot each expand to the largest text. What texts
            // inflate, kept or not (damaged, or too long), is bounded by the same
            // number, or chunks that never fit would each cost the largest text.
            TPNGObject& o = Owner();
            const std::uint64_t spent = std::max(o.fKeptBytes, o.fInflatedBytes);
            const std::uint64_t room = o.Limits.chunkBytes - std::min(spent, o.Limits.chunkBytes);
            const auto most = static_cast<std::size_t>(std::min(o.Limits.inflatedText, room));
            if (most > 0) {
                std::vector<std::uint8_t> text;
                std::size_t inflated = 0;
                const std::span<const std::uint8_t> packed(Data.data() + k + 2, Data.size() - k - 2);
                if (InflateBuffer(packed, most, text, &inflated)) Text.assign(text.begin(), text.end());
                o.fKeptBytes += Text.size();
                o.fInflatedBytes += inflated;
            }
        }
    }
    return true;
}

bool TChunkzTXt::SaveToStream(ByteWriter& stream) {
    if (Text.empty()) Text = " ";
    std::vector<std::uint8_t> packed;
    const std::span<const std::uint8_t> text(reinterpret_cast<const std::uint8_t*>(Text.data()), Text.size());
    if (!DeflateBuffer(text, Owner().CompressionLevel, packed)) return true;  // not written
    Data.assign(Keyword.begin(), Keyword.end());
    Data.push_back(0);
    Data.push_back(0);
    Data.insert(Data.end(), packed.begin(), packed.end());
    return TChunk::SaveToStream(stream);
}

}  // namespace velto
