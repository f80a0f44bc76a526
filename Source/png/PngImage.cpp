#include "png/PngImage.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <typeinfo>

#include "platform/FileIO.h"
#include "platform/FileWriter.h"
#include "platform/PixelRows.h"
#include "png/PngInternal.h"

namespace velto {

namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};

bool NameIs(const TChunkName& n, std::string_view s) { return std::string_view(n.data(), 4) == s; }

struct RegistryEntry {
    TChunkName name;
    TChunkFactory factory;
};

template <class T>
std::unique_ptr<TChunk> Make(TPNGObject& owner) {
    return std::make_unique<T>(owner);
}

std::vector<RegistryEntry>& Registry() {
    // The common chunks, in the order they are looked up.
    static std::vector<RegistryEntry> list = {
        {{'I', 'E', 'N', 'D'}, &Make<TChunkIEND>}, {{'I', 'H', 'D', 'R'}, &Make<TChunkIHDR>},
        {{'I', 'D', 'A', 'T'}, &Make<TChunkIDAT>}, {{'P', 'L', 'T', 'E'}, &Make<TChunkPLTE>},
        {{'g', 'A', 'M', 'A'}, &Make<TChunkgAMA>}, {{'t', 'R', 'N', 'S'}, &Make<TChunktRNS>},
        {{'p', 'H', 'Y', 's'}, &Make<TChunkpHYs>}, {{'t', 'I', 'M', 'E'}, &Make<TChunktIME>},
        {{'t', 'E', 'X', 't'}, &Make<TChunktEXt>}, {{'z', 'T', 'X', 't'}, &Make<TChunkzTXt>},
    };
    return list;
}

}  // namespace

std::string ZlibResultText(int code) {
    static constexpr const char* kTexts[] = {
        "incompatible version (-6)", "buffer error (-5)", "insufficient memory (-4)", "data error (-3)",
        "stream error (-2)",         "file error (-1)",   "(0)",                      "stream end (1)",
        "need dictionary (2)"};
    if (code < -6 || code > 2) return "(" + std::to_string(code) + ")";
    return kTexts[code + 6];
}

namespace png_detail {

[[noreturn]] void RaiseZlib(int code) {
    throw EPNGZLIBError(std::string(EPNGZLIBErrorText) + "\n Description: " + ZlibResultText(code));
}

std::uint32_t ChunkCrc(const TChunkName& name, std::span<const std::uint8_t> data) {
    const std::uint32_t crc = Crc32(0, {reinterpret_cast<const std::uint8_t*>(name.data()), 4});
    return Crc32(crc, data);
}

void WriteChunk(ByteWriter& out, const TChunkName& name, std::span<const std::uint8_t> data) {
    out.u32be(static_cast<std::uint32_t>(data.size()));
    out.bytes(name.data(), 4);
    out.bytes(data);
    out.u32be(ChunkCrc(name, data));
}

void ReadChunkData(ByteReader& stream, const TChunkName& name, std::uint32_t size,
                   std::span<const std::uint8_t>& data) {
    std::uint32_t stored = 0;
    if (size > kMaxChunkLength || !stream.view(size, data) || !stream.u32be(stored))
        throw EPngUnexpectedEnd(EPngUnexpectedEndText);
    if (ChunkCrc(name, data) != stored) throw EPngInvalidCRC(EPngInvalidCRCText);
}

}  // namespace png_detail

using namespace png_detail;

// ---------------------------------------------------------------------------
// TChunk

TChunk::TChunk(TPNGObject& owner) : fOwner(&owner) {}
TChunk::~TChunk() = default;

void TChunk::Assign(const TChunk& source) {
    Name = source.Name;
    Data = source.Data;
}

bool TChunk::LoadFromStream(ByteReader& stream, const TChunkName& name, std::uint32_t size) {
    std::span<const std::uint8_t> data;
    ReadChunkData(stream, name, size, data);
    Data.assign(data.begin(), data.end());
    return true;
}

bool TChunk::SaveToStream(ByteWriter& stream) {
    // A chunk made outside the list has not been named yet: it carries its class's name.
    if (Name == TChunkName{} && GetName().size() == 4) std::copy_n(GetName().begin(), 4, Name.begin());
    WriteChunk(stream, Name, Data);
    return true;
}

TChunkIHDR& TChunk::Header() const { return fOwner->GetHeader(); }

int TChunk::Index() const {
    const TPNGList& list = fOwner->Chunks();
    for (int i = 0; i < list.Count(); ++i)
        if (list.GetItem(i) == this) return i;
    return -1;
}

std::unique_ptr<TChunk> TChunk::NewOfSameClass(TPNGObject& owner) const { return std::make_unique<TChunk>(owner); }

// ---------------------------------------------------------------------------
// Registry

void RegisterChunk(std::string_view name, TChunkFactory factory) {
    if (name.size() != 4 || !factory) return;
    Registry().push_back({{name[0], name[1], name[2], name[3]}, factory});
}

std::unique_ptr<TChunk> CreateClassChunk(TPNGObject& owner, const TChunkName& name) {
    std::unique_ptr<TChunk> chunk;
    for (const auto& e : Registry())
        if (e.name == name) {
            chunk = e.factory(owner);
            break;
        }
    if (!chunk) chunk = std::make_unique<TChunk>(owner);
    chunk->Name = name;
    return chunk;
}

// ---------------------------------------------------------------------------
// TPNGList

TChunk* TPNGList::GetItem(int index) const {
    return index >= 0 && index < Count() ? fItems[static_cast<std::size_t>(index)].get() : nullptr;
}

void TPNGList::RemoveChunk(TChunk* chunk) {
    auto it = std::find_if(fItems.begin(), fItems.end(), [&](const auto& p) { return p.get() == chunk; });
    if (it != fItems.end()) fItems.erase(it);
}

TChunk* TPNGList::AddChunk(std::unique_ptr<TChunk> chunk) {
    const std::string_view n = chunk->GetName();
    const bool creating = fOwner->BeingCreated;
    if ((n == "IHDR" || n == "IDAT" || n == "PLTE" || n == "IEND") && !creating)
        throw EPngError(EPngExistentChunkText);
    auto indexOf = [&](std::string_view name) -> int {
        for (std::size_t i = 0; i < fItems.size(); ++i)
            if (fItems[i]->GetName() == name) return static_cast<int>(i);
        return -1;
    };
    if ((n == "gAMA" || n == "tRNS" || n == "pHYs") && indexOf(n) >= 0) throw EPngError(EPngExistentChunkText);
    if ((indexOf("IEND") < 0 || indexOf("IHDR") < 0) && !creating) throw EPngError(EPngInvalidImageText);

    if (chunk->GetName().size() == 4) {
        const auto name = chunk->GetName();
        chunk->Name = {name[0], name[1], name[2], name[3]};
    }
    int pos;
    if (n == "gAMA" || n == "pHYs" || n == "PLTE") {
        pos = indexOf("IHDR") + 1;  // position 0 when there is no header yet
    } else if (n == "IEND") {
        pos = Count();
    } else if (n == "IHDR") {
        pos = 0;
    } else if (n == "tRNS") {
        if (int p = indexOf("PLTE"); p >= 0)
            pos = p + 1;
        else if (int d = indexOf("IDAT"); d >= 0)
            pos = d;
        else
            pos = indexOf("IHDR") + 1;
    } else {
        const int e = indexOf("IEND");
        pos = e >= 0 ? e : Count();
    }
    TChunk* raw = chunk.get();
    fItems.insert(fItems.begin() + pos, std::move(chunk));
    return raw;
}

// ---------------------------------------------------------------------------
// TPNGObject

TPNGObject::TPNGObject() : fChunks(*this) { InitializeGamma(); }
TPNGObject::~TPNGObject() { fChunks.fItems.clear(); }

void TPNGObject::InitializeGamma() {
    for (std::size_t i = 0; i < 256; ++i) GammaTable[i] = InverseGamma[i] = static_cast<std::uint8_t>(i);
}

void TPNGObject::SetMaxIdatSize(std::int32_t value) { fMaxIdatSize = value < 65535 ? 65535 : value; }

void TPNGObject::ClearChunks() {
    InitializeGamma();
    fChunks.fItems.clear();
}

bool TPNGObject::HeaderPresent() const {
    return fChunks.Count() > 0 && dynamic_cast<TChunkIHDR*>(fChunks.GetItem(0)) != nullptr;
}

TChunkIHDR& TPNGObject::GetHeader() const {
    auto* h = fChunks.Count() > 0 ? dynamic_cast<TChunkIHDR*>(fChunks.GetItem(0)) : nullptr;
    if (!h) throw EPNGHeaderNotPresent(EPNGHeaderNotPresentText);
    return *h;
}

int TPNGObject::Width() const { return HeaderPresent() ? GetHeader().Width : 0; }
int TPNGObject::Height() const { return HeaderPresent() ? GetHeader().Height : 0; }

void TPNGObject::CreateBlank(std::uint8_t colorType, std::uint8_t bitDepth, int width, int height) {
    if (!ValidTypeAndDepth(colorType, bitDepth)) throw EPNGInvalidSpec(EPNGInvalidSpecText);
    if (width <= 0 || height <= 0) throw EPNGInvalidNewSize(EPNGInvalidNewSizeText);
    if (width > 65535 || height > 65535) throw EPNGSizeExceeds(EPNGSizeExceedsText);
    ClearChunks();
    Filters = FilterBit(pfSub);
    CompressionLevel = 7;
    InterlaceMethod = 0;
    fMaxIdatSize = 65535;
    if (bitDepth == 2) bitDepth = 4;
    BeingCreated = true;
    try {
        fChunks.Add<TChunkIEND>();
        auto* h = fChunks.Add<TChunkIHDR>();
        h->ColorType = colorType;
        h->BitDepth = bitDepth;
        h->Width = width;
        h->Height = height;
        h->PrepareImageData();
        if (colorType == COLOR_PALETTE) fChunks.Add<TChunkPLTE>()->Count = 1 << bitDepth;
        fChunks.Add<TChunkIDAT>();
    } catch (...) {
        BeingCreated = false;
        ClearChunks();
        throw;
    }
    BeingCreated = false;
}

void TPNGObject::LoadFromStream(ByteReader& stream) {
    ClearChunks();
    fKeptBytes = 0;
    fInflatedBytes = 0;
    std::uint8_t sig[8];
    if (!stream.bytes(sig, 8) || std::memcmp(sig, kSignature, 8) != 0)
        throw EPNGInvalidFileHeader(EPNGInvalidFileHeaderText);
    bool hasIdat = false;
    bool first = true;
    for (;;) {
        std::uint32_t length = 0;
        TChunkName name{};
        if (!stream.u32be(length) || !stream.bytes(name.data(), 4)) throw EPngUnexpectedEnd(EPngUnexpectedEndText);
        // Data and CRC must be present before anything is allocated for them.
        if (length > kMaxChunkLength || stream.remaining() < std::uint64_t{length} + 4)
            throw EPngUnexpectedEnd(EPngUnexpectedEndText);
        if (first && !NameIs(name, "IHDR")) throw EPNGIHDRNotFirst(EPNGIHDRNotFirstText);
        first = false;
        if ((hasIdat && NameIs(name, "IDAT")) || NameIs(name, "cHRM")) {
            // IDATs after the image data and chromaticities are dropped unread.
            stream.skip(std::uint64_t{length} + 4);
            continue;
        }
        if (NameIs(name, "IHDR") && fChunks.Count() > 0) throw EPngInvalidIHDR(EPngInvalidIHDRText);
        if (NameIs(name, "IDAT")) hasIdat = true;
        // Every chunk kept costs an object and (the image data aside) a copy of its
        // data: a file of millions of empty chunks must not cost millions of objects.
        if (fChunks.fItems.size() >= Limits.chunks) throw EPNGLimit(EPNGOutMemoryText);
        if (!NameIs(name, "IDAT")) {
            if (length > Limits.chunkBytes - std::min(fKeptBytes, Limits.chunkBytes))
                throw EPNGLimit(EPNGOutMemoryText);
            fKeptBytes += length;
        }
        std::unique_ptr<TChunk> chunk = CreateClassChunk(*this, name);
        TChunk* raw = chunk.get();
        const bool plain = typeid(*raw) == typeid(TChunk);
        fChunks.fItems.push_back(std::move(chunk));
        if (plain && (name[0] & 0x20) == 0 && name[0] != 0)
            throw EPNGUnknownCriticalChunk(EPNGUnknownCriticalChunkText);
        if (!raw->LoadFromStream(stream, name, length)) break;
        if (NameIs(name, "IEND")) break;
    }
    if (!hasIdat) throw EPNGNoImageData(EPNGNoImageDataText);
}

void TPNGObject::SaveToStream(ByteWriter& stream) {
    stream.bytes(kSignature, 8);
    for (auto& c : fChunks.fItems) c->SaveToStream(stream);
}

bool TPNGObject::LoadFromFile(const std::string& path, FileError* error) {
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(path, bytes, Limits.fileSize, error)) return false;
    ByteReader r(bytes);
    LoadFromStream(r);
    return true;
}

bool TPNGObject::SaveToFile(const std::string& path, FileError* error) {
    ByteWriter w;
    SaveToStream(w);
    return WriteWholeFile(path, w.buffer(), error);
}

void TPNGObject::AssignPNG(const TPNGObject& source) {
    if (&source == this) return;
    InterlaceMethod = source.InterlaceMethod;
    SetMaxIdatSize(source.MaxIdatSize());
    CompressionLevel = source.CompressionLevel;
    CompareCompressors = source.CompareCompressors;
    Filters = source.Filters;
    ClearChunks();
    Limits = source.Limits;
    for (const auto& c : source.fChunks.fItems) {
        fChunks.fItems.push_back(c->NewOfSameClass(*this));
        fChunks.fItems.back()->Assign(*c);
    }
    GammaTable = source.GammaTable;
    InverseGamma = source.InverseGamma;
}

void TPNGObject::Assign(const TBitmap& source) {
    AssignHandle(source, source.Transparent(), source.TransparentColor());
}

void TPNGObject::AssignHandle(const TBitmap& source, bool transparent, TColor transparentColor) {
    ClearChunks();
    const int bpp = BitsPerPixel(source.PixelFormat());
    const bool indexed = bpp < 16;
    BeingCreated = true;
    try {
        auto* h = fChunks.Add<TChunkIHDR>();
        h->Width = source.Width();
        h->Height = source.Height();
        h->ColorType = indexed ? COLOR_PALETTE : COLOR_RGB;
        h->BitDepth = static_cast<std::uint8_t>(indexed ? bpp : 8);
        h->PrepareImageData();
        TBitmap& dib = h->ImageBitmap();
        if (indexed) {
            std::memcpy(dib.Bits(), source.Bits(), std::min(dib.ByteSize(), source.ByteSize()));
            auto table = source.ColorTable();
            dib.SetColorTable(table);
            auto* plte = fChunks.Add<TChunkPLTE>();
            plte->Count = 1 << bpp;
        } else if (!source.Empty()) {
            TBitmap copy;
            const TBitmap* src = &source;
            if (source.PixelFormat() != pf24bit) {
                copy = source;
                if (!copy.SetPixelFormat(pf24bit)) throw EPNGOutMemory(EPNGOutMemoryText);
                src = &copy;
            }
            std::memcpy(dib.Bits(), src->Bits(), std::min(dib.ByteSize(), src->ByteSize()));
        }
        if (transparent) fChunks.Add<TChunktRNS>()->SetTransparentColor(transparentColor);
        fChunks.Add<TChunkIDAT>();
        fChunks.Add<TChunkIEND>();
    } catch (...) {
        BeingCreated = false;
        ClearChunks();
        throw;
    }
    BeingCreated = false;
}

// ---------------------------------------------------------------------------
// Pixel access

std::uint8_t* TPNGObject::Scanline(int row) {
    TChunkIHDR& h = GetHeader();
    if (row < 0 || row >= h.Height || h.ImageBitmap().Empty()) return nullptr;
    return h.ImageBitmap().ScanLine(row);
}

const std::uint8_t* TPNGObject::Scanline(int row) const { return const_cast<TPNGObject*>(this)->Scanline(row); }

std::uint8_t* TPNGObject::ExtraScanline(int row) {
    TChunkIHDR& h = GetHeader();
    if (row < 0 || row >= h.Height || h.ExtraImageData.empty()) return nullptr;
    return h.ExtraImageData.data() + static_cast<std::size_t>(h.Height - 1 - row) * h.BytesPerRow();
}

const std::uint8_t* TPNGObject::ExtraScanline(int row) const {
    return const_cast<TPNGObject*>(this)->ExtraScanline(row);
}

std::uint8_t* TPNGObject::AlphaScanline(int row) {
    TChunkIHDR& h = GetHeader();
    if (row < 0 || row >= h.Height || h.ImageAlpha.empty()) return nullptr;
    return h.ImageAlpha.data() + static_cast<std::size_t>(row) * static_cast<std::size_t>(h.Width);
}

const std::uint8_t* TPNGObject::AlphaScanline(int row) const {
    return const_cast<TPNGObject*>(this)->AlphaScanline(row);
}

TColor TPNGObject::GetPixels(int x, int y) const {
    const TChunkIHDR& h = GetHeader();
    if (x < 0 || y < 0 || x >= h.Width || y >= h.Height || h.ImageBitmap().Empty()) return ColorFromValue(0);
    const std::uint8_t* row = h.ImageBitmap().ScanLine(y);
    switch (h.ColorType) {
        case COLOR_GRAYSCALE: {
            // Grey levels of the DIB's own depth (2-bit samples are held as 4-bit).
            const int bpp = h.BitsPerPixel();
            const int v = static_cast<int>(PackedPixel(row, static_cast<std::size_t>(x), bpp));
            const int grey = bpp == 1 ? v * 255 : bpp == 4 ? v * 17 : v;
            const std::uint8_t g = GammaTable[static_cast<std::size_t>(grey)];
            return MakeColor(g, g, g);
        }
        case COLOR_PALETTE: {
            // The colour table already holds gamma-corrected entries; an index beyond
            // the palette reads as black.
            const int v = static_cast<int>(PackedPixel(row, static_cast<std::size_t>(x), h.BitsPerPixel()));
            const auto* plte = fChunks.FindChunk<TChunkPLTE>();
            const int count = plte ? plte->Count : 0;
            if (v >= count) return MakeColor(0, 0, 0);
            return ColorFromQuad(h.ImageBitmap().ColorTable()[static_cast<std::size_t>(v)]);
        }
        case COLOR_RGB:
        case COLOR_RGBALPHA: {
            const std::uint8_t* p = row + static_cast<std::size_t>(x) * 3;
            return MakeColor(p[2], p[1], p[0]);
        }
        case COLOR_GRAYSCALEALPHA: {
            const std::uint8_t g = row[x];
            return MakeColor(g, g, g);
        }
        default: return ColorFromValue(0);
    }
}

void TPNGObject::SetPixels(int x, int y, TColor c) {
    TChunkIHDR& h = GetHeader();
    if (x < 0 || y < 0 || x >= h.Width || y >= h.Height || h.ImageBitmap().Empty()) return;
    std::uint8_t* row = h.ImageBitmap().ScanLine(y);
    switch (h.ColorType) {
        case COLOR_GRAYSCALE:
        case COLOR_PALETTE: {
            auto table = h.ImageBitmap().ColorTable();
            if (h.ColorType == COLOR_PALETTE)
                if (const auto* plte = fChunks.FindChunk<TChunkPLTE>(); plte && plte->Count > 0)
                    table = table.first(std::min<std::size_t>(table.size(), static_cast<std::size_t>(plte->Count)));
            const int idx = NearestColorIndex(std::span<const TRGBQuad>(table), ColorR(c), ColorG(c), ColorB(c));
            if (idx >= 0) SetPackedPixel(row, static_cast<std::size_t>(x), h.BitsPerPixel(), static_cast<unsigned>(idx));
            break;
        }
        case COLOR_RGB:
        case COLOR_RGBALPHA: {
            std::uint8_t* p = row + static_cast<std::size_t>(x) * 3;
            p[0] = ColorB(c);
            p[1] = ColorG(c);
            p[2] = ColorR(c);
            break;
        }
        case COLOR_GRAYSCALEALPHA: row[x] = ColorR(c); break;
        default: break;
    }
}

// ---------------------------------------------------------------------------
// Transparency

std::uint8_t TPNGObject::TransparencyMode() const {
    const TChunkIHDR& h = GetHeader();
    const auto* trns = fChunks.FindChunk<TChunktRNS>();
    const bool usable = trns && trns->AppliesToImage();
    switch (h.ColorType) {
        case COLOR_GRAYSCALE:
        case COLOR_RGB: return usable ? 1 : 0;
        case COLOR_PALETTE: return !usable ? 0 : trns->BitTransparency ? 1 : 2;
        case COLOR_GRAYSCALEALPHA:
        case COLOR_RGBALPHA: return 2;
        default: return 0;
    }
}

TColor TPNGObject::TransparentColor() const {
    const auto* trns = fChunks.FindChunk<TChunktRNS>();
    return trns ? trns->TransparentColor() : ColorFromValue(0);
}

bool TPNGObject::PartialAlpha() const {
    const TChunkIHDR& h = GetHeader();
    if (h.ColorType == COLOR_GRAYSCALEALPHA || h.ColorType == COLOR_RGBALPHA) return true;
    const auto* trns = fChunks.FindChunk<TChunktRNS>();
    if (h.ColorType != COLOR_PALETTE || !trns || !trns->AppliesToImage()) return false;
    return std::any_of(trns->Data.begin(), trns->Data.end(), [](std::uint8_t a) { return a != 0 && a != 255; });
}

void TPNGObject::GetRGBA(int row, std::uint8_t* out) const {
    const TChunkIHDR& h = GetHeader();
    if (row < 0 || row >= h.Height || h.ImageBitmap().Empty()) return;
    const auto w = static_cast<std::size_t>(h.Width);
    const std::uint8_t* dib = h.ImageBitmap().ScanLine(row);
    const int bpp = h.BitsPerPixel();
    auto put = [&out](std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a) {
        out[0] = r, out[1] = g, out[2] = b, out[3] = a;
        out += 4;
    };
    switch (h.ColorType) {
        case COLOR_PALETTE: {
            // Transparency belongs to the palette index, never to a colour:
            // entries of one colour may have different alpha.
            const auto* plte = fChunks.FindChunk<TChunkPLTE>();
            const auto* trns = fChunks.FindChunk<TChunktRNS>();
            const std::size_t count = plte ? static_cast<std::size_t>(std::max(plte->Count, 0)) : 0;
            const std::size_t alphas = trns && trns->AppliesToImage() ? trns->Data.size() : 0;
            const auto table = h.ImageBitmap().ColorTable();
            for (std::size_t x = 0; x < w; ++x) {
                const unsigned i = PackedPixel(dib, x, bpp);
                if (i >= count || i >= table.size()) {
                    put(0, 0, 0, 255);
                    continue;
                }
                put(table[i].Red, table[i].Green, table[i].Blue, i < alphas ? trns->PaletteValues[i] : 255);
            }
            break;
        }
        case COLOR_GRAYSCALEALPHA:
        case COLOR_RGBALPHA: {
            const std::uint8_t* alpha = AlphaScanline(row);  // none only for a header changed by hand
            for (std::size_t x = 0; x < w; ++x) {
                const std::uint8_t a = alpha ? alpha[x] : 255;
                if (h.ColorType == COLOR_GRAYSCALEALPHA)
                    put(dib[x], dib[x], dib[x], a);
                else
                    put(dib[3 * x + 2], dib[3 * x + 1], dib[3 * x], a);
            }
            break;
        }
        default: {
            // Grey or RGB, perhaps with one transparent colour: decided on the
            // file's samples when loaded, else on the stored ones.
            const SampleKey key = KeyOf(*this, h);
            const std::uint8_t* keyed = h.KeyedPixels.size() == w * static_cast<std::size_t>(h.Height)
                                            ? h.KeyedPixels.data() + static_cast<std::size_t>(row) * w
                                            : nullptr;
            const std::uint8_t* extra = h.BitDepth == 16 ? ExtraScanline(row) : nullptr;
            const int samples = SamplesPerPixel(h.ColorType);
            auto stored = [&](std::size_t x, int c) -> unsigned {
                // DIB order is B, G, R; 2-bit grey is held as 4-bit values x5.
                const std::size_t i = x * static_cast<std::size_t>(samples) + static_cast<std::size_t>(samples - 1 - c);
                if (extra) return (unsigned{dib[i]} << 8) | extra[i];
                if (samples == 3 || bpp == 8) return dib[i];
                return PackedPixel(dib, x, bpp) / (h.BitDepth == 2 ? 5u : 1u);
            };
            for (std::size_t x = 0; x < w; ++x) {
                std::uint8_t r, g, b;
                if (samples == 3) {
                    r = dib[3 * x + 2], g = dib[3 * x + 1], b = dib[3 * x];
                } else {
                    const unsigned v = bpp == 8 ? dib[x] : PackedPixel(dib, x, bpp);
                    r = g = b = GammaTable[bpp == 1 ? v * 255 : bpp == 4 ? v * 17 : v];
                }
                bool transparent = false;
                if (key.present && keyed) {
                    transparent = keyed[x] != 0;
                } else if (key.present) {
                    transparent = true;
                    for (int c = 0; c < samples; ++c) transparent &= stored(x, c) == key.value[c];
                }
                put(r, g, b, transparent ? 0 : 255);
            }
            break;
        }
    }
}

void TPNGObject::CreateAlpha() {
    TChunkIHDR& h = GetHeader();
    switch (h.ColorType) {
        case COLOR_GRAYSCALE:
        case COLOR_RGB: {
            if (h.ColorType == COLOR_GRAYSCALE && h.BitDepth < 8) WidenGreyTo8Bits(h);
            const std::uint64_t n = std::uint64_t(h.Width) * std::uint64_t(h.Height);
            try {
                h.ImageAlpha.assign(static_cast<std::size_t>(n), 255);
            } catch (const std::bad_alloc&) {
                throw EPNGOutMemory(EPNGOutMemoryText);
            }
            h.ColorType = h.ColorType == COLOR_GRAYSCALE ? COLOR_GRAYSCALEALPHA : COLOR_RGBALPHA;
            h.KeyedPixels.clear();
            // A transparent colour is not allowed beside an alpha channel: the alpha
            // plane takes over, and the file written stays valid.
            if (auto* trns = fChunks.FindChunk<TChunktRNS>()) fChunks.RemoveChunk(trns);
            break;
        }
        case COLOR_PALETTE: {
            auto* trns = fChunks.FindChunk<TChunktRNS>();
            if (!trns) {
                const bool was = BeingCreated;
                BeingCreated = true;
                try {
                    trns = fChunks.Add<TChunktRNS>();
                } catch (...) {
                    BeingCreated = was;
                    throw;
                }
                BeingCreated = was;
            }
            trns->PaletteValues.fill(255);
            trns->ResizeData(static_cast<std::uint32_t>(1u << std::min<int>(h.BitDepth, 8)));
            std::fill(trns->Data.begin(), trns->Data.end(), 255);
            trns->BitTransparency = false;
            break;
        }
        default: break;
    }
}

// ---------------------------------------------------------------------------
// Palette

TPaletteEntries TPNGObject::Palette() const {
    const TChunkIHDR& h = GetHeader();
    return h.HasPalette() ? h.ImageBitmap().Palette() : TPaletteEntries{};
}

void TPNGObject::SetPalette(std::span<const TPaletteEntry> palette) {
    TChunkIHDR& h = GetHeader();
    if (h.HasPalette()) h.ImageBitmap().SetPalette(palette);
}

}  // namespace velto
