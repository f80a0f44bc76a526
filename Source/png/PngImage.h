#pragma once
// TPNGObject: a PNG image held as the ordered list of its chunks, exactly as they
// stand in the file. The header chunk owns the decoded pixels: a bottom-up DIB
// (TBitmap of 1, 4, 8 or 24 bits; 2-bit images are held as 4-bit, 16-bit samples as
// their high byte), a top-down 8-bit alpha plane for colour types 4 and 6 and an
// "extra" plane with the low bytes of 16-bit samples.
//
// Reading takes a ByteReader and starts at its current position (a PNG inside an
// icon file); on success the position is just after the IEND chunk. Writing
// appends to a ByteWriter. Every failure raises an EPngError descendant.
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Bitmap.h"
#include "platform/ByteReader.h"
#include "platform/ByteWriter.h"
#include "platform/Color.h"
#include "platform/FileIO.h"
#include "platform/PixelStorage.h"
#include "platform/ReadLimits.h"

namespace velto {

// ---------------------------------------------------------------------------
// Errors. Callers catch EPngError; the texts are the codec's own.

class EPngError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
#define VELTO_PNG_ERROR(name)               \
    class name : public EPngError {         \
    public:                                 \
        using EPngError::EPngError;         \
    };
VELTO_PNG_ERROR(EPNGOutMemory)
VELTO_PNG_ERROR(EPNGHeaderNotPresent)
VELTO_PNG_ERROR(EPNGInvalidNewSize)
VELTO_PNG_ERROR(EPNGInvalidSpec)
VELTO_PNG_ERROR(EPngInvalidCRC)
VELTO_PNG_ERROR(EPngInvalidIHDR)
VELTO_PNG_ERROR(EPNGMissingMultipleIDAT)
VELTO_PNG_ERROR(EPNGZLIBError)
VELTO_PNG_ERROR(EPNGInvalidPalette)
VELTO_PNG_ERROR(EPNGInvalidFileHeader)
VELTO_PNG_ERROR(EPNGIHDRNotFirst)
VELTO_PNG_ERROR(EPNGSizeExceeds)
VELTO_PNG_ERROR(EPNGUnknownCriticalChunk)
VELTO_PNG_ERROR(EPNGUnknownCompression)
VELTO_PNG_ERROR(EPNGUnknownInterlace)
VELTO_PNG_ERROR(EPngUnexpectedEnd)
VELTO_PNG_ERROR(EPNGNoImageData)
#undef VELTO_PNG_ERROR
// A file refused by a bound of Limits (pixels, chunks, bytes kept), not found
// damaged: callers tell it apart from memory that ran out, as too large.
class EPNGLimit : public EPNGOutMemory {
public:
    using EPNGOutMemory::EPNGOutMemory;
};

// Message texts (string-table numbers 65152..65183).
inline constexpr const char* EPngExistentChunkText =
    "The program tried to add a existent critical chunk to the current image which is not allowed.";
inline constexpr const char* EPngInvalidImageText =
    "It's not allowed to add a new chunk because the current image is invalid.";
inline constexpr const char* EPngNoPaletteEntryText = "There is no such palette entry.";
inline constexpr const char* EPngIncompatibleAssignText = "The chunks must be compatible to be assigned.";
inline constexpr const char* EPNGOutMemoryText =
    "Some operation could not be performed because the system is out of resources. Close some windows and "
    "try again.";
inline constexpr const char* EPNGHeaderNotPresentText =
    "This operation is not valid because the current image contains no valid header.";
inline constexpr const char* EPNGInvalidNewSizeText = "The new size provided for image resizing is invalid.";
inline constexpr const char* EPNGInvalidSpecText =
    "The \"Portable Network Graphics\" could not be created because invalid image type parameters have "
    "being provided.";
inline constexpr const char* EPngInvalidCRCText =
    "This \"Portable Network Graphics\" image is not valid because it contains invalid pieces of data (crc "
    "error)";
inline constexpr const char* EPngInvalidIHDRText =
    "The \"Portable Network Graphics\" image could not be loaded because one of its main piece of data "
    "(ihdr) might be corrupted";
inline constexpr const char* EPNGMissingMultipleIDATText =
    "This \"Portable Network Graphics\" image is invalid because it has missing image parts.";
inline constexpr const char* EPNGZLIBErrorText =
    "Could not decompress the image because it contains invalid compressed data.";
inline constexpr const char* EPNGInvalidPaletteText =
    "The \"Portable Network Graphics\" image contains an invalid palette.";
inline constexpr const char* EPNGInvalidFileHeaderText =
    "The file being readed is not a valid \"Portable Network Graphics\" image because it contains an invalid "
    "header. This file may be corruped, try obtaining it again.";
inline constexpr const char* EPNGIHDRNotFirstText =
    "This \"Portable Network Graphics\" image is not supported or it might be invalid.\n(IHDR chunk is not "
    "the first)";
inline constexpr const char* EPNGSizeExceedsText =
    "This \"Portable Network Graphics\" image is not supported because either it's width or height exceeds "
    "the maximum size, which is 65535 pixels length.";
inline constexpr const char* EPNGUnknownCriticalChunkText =
    "This \"Portable Network Graphics\" image contains an unknown critical part which could not be decoded.";
inline constexpr const char* EPNGUnknownCompressionText =
    "This \"Portable Network Graphics\" image is encoded with an unknown compression scheme which could not "
    "be decoded.";
inline constexpr const char* EPNGUnknownInterlaceText =
    "This \"Portable Network Graphics\" image uses an unknown interlace scheme which could not be decoded.";
inline constexpr const char* EPngUnexpectedEndText =
    "This \"Portable Network Graphics\" image is invalid because the decoder found an unexpected end of the "
    "file.";
inline constexpr const char* EPNGNoImageDataText = "This \"Portable Network Graphics\" image contains no data.";

// The zlib result text the decompression error appends, e.g. "data error (-3)".
std::string ZlibResultText(int code);

// ---------------------------------------------------------------------------
// Settings types.

// Row filters; a TFilters set has bit n for filter n.
enum TFilter : std::uint8_t { pfNone, pfSub, pfUp, pfAverage, pfPaeth };
using TFilters = std::uint8_t;
constexpr TFilters FilterBit(TFilter f) { return static_cast<TFilters>(1u << f); }

// Colour types of the header.
enum : std::uint8_t {
    COLOR_GRAYSCALE = 0,
    COLOR_RGB = 2,
    COLOR_PALETTE = 3,
    COLOR_GRAYSCALEALPHA = 4,
    COLOR_RGBALPHA = 6,
};

using TChunkName = std::array<char, 4>;

class TPNGObject;
class TChunkIHDR;
namespace png_detail {
void WidenGreyTo8Bits(TChunkIHDR& header);
}

// ---------------------------------------------------------------------------
// Chunks.

class TChunk {
public:
    explicit TChunk(TPNGObject& owner);
    virtual ~TChunk();
    TChunk(const TChunk&) = delete;
    TChunk& operator=(const TChunk&) = delete;

    // The chunk name of the class ("IHDR" for TChunkIHDR); empty for a plain chunk.
    virtual std::string_view GetName() const { return {}; }
    // Copies Name and Data from another chunk.
    virtual void Assign(const TChunk& source);
    // Reads size data bytes and the CRC from the stream; raises on a short read or a
    // CRC mismatch. False ends the file reader's loop.
    virtual bool LoadFromStream(ByteReader& stream, const TChunkName& name, std::uint32_t size);
    // Writes the whole chunk (length, name, Data, CRC).
    virtual bool SaveToStream(ByteWriter& stream);

    TChunkName Name{};
    std::vector<std::uint8_t> Data;
    std::uint32_t DataSize() const { return static_cast<std::uint32_t>(Data.size()); }
    void ResizeData(std::uint32_t size) { Data.assign(size, 0); }
    std::string_view NameView() const { return {Name.data(), Name.size()}; }

    TPNGObject& Owner() const { return *fOwner; }
    // The owner's first chunk as header (raises EPNGHeaderNotPresent without one).
    TChunkIHDR& Header() const;
    // Position in the owner's list, -1 when absent.
    int Index() const;

protected:
    friend class TPNGObject;
    // A new, empty chunk of this chunk's own class for another owner.
    virtual std::unique_ptr<TChunk> NewOfSameClass(TPNGObject& owner) const;

private:
    TPNGObject* fOwner;
};

class TChunkIEND : public TChunk {
public:
    static constexpr std::string_view kName = "IEND";
    using TChunk::TChunk;
    std::string_view GetName() const override { return kName; }

protected:
    std::unique_ptr<TChunk> NewOfSameClass(TPNGObject& owner) const override;
};

class TChunkIHDR : public TChunk {
public:
    static constexpr std::string_view kName = "IHDR";
    explicit TChunkIHDR(TPNGObject& owner);
    std::string_view GetName() const override { return kName; }
    void Assign(const TChunk& source) override;
    bool LoadFromStream(ByteReader& stream, const TChunkName& name, std::uint32_t size) override;
    bool SaveToStream(ByteWriter& stream) override;

    std::int32_t Width = 0, Height = 0;
    std::uint8_t BitDepth = 0, ColorType = 0;
    std::uint8_t CompressionMethod = 0, FilterMethod = 0, InterlaceMethod = 0;

    // Frees the former pixels and allocates zeroed ones for the fields above (alpha
    // plane for types 4 and 6, extra plane for depth 16); palette-based DIBs get the
    // grey ramp (types 0, 4) or the default colour table (type 3). Raises on a size
    // beyond the owner's pixel limit (Limits.pixels) or when memory runs out.
    void PrepareImageData();

    // The DIB: ScanLine(0) is the top row.
    TBitmap& ImageBitmap() { return fImage; }
    const TBitmap& ImageBitmap() const { return fImage; }
    // Bits per pixel of the DIB rows (4 for 2-bit images, 8 for 16-bit grey and palette).
    int BitsPerPixel() const { return fBitsPerPixel; }
    bool HasPalette() const { return fBitsPerPixel <= 8 && fBitsPerPixel > 0; }
    std::uint64_t BytesPerRow() const { return fBytesPerRow; }
    // Top-down, Width bytes per row; empty unless colour type 4 or 6.
    TPixelBytes ImageAlpha;
    // The DIB's geometry (bottom-up); empty unless bit depth 16.
    TPixelBytes ExtraImageData;
    // Grey and RGB images loaded with a usable tRNS: 1 where the file's samples
    // equalled the transparent colour (all 16 bits, before gamma), else 0;
    // top-down, Width bytes per row. Empty otherwise: images built in memory
    // are compared by their stored samples. Pixel edits do not update it.
    TPixelBytes KeyedPixels;

protected:
    std::unique_ptr<TChunk> NewOfSameClass(TPNGObject& owner) const override;

private:
    friend class TPNGObject;
    friend void png_detail::WidenGreyTo8Bits(TChunkIHDR& header);
    TBitmap fImage;
    int fBitsPerPixel = 0;
    std::uint64_t fBytesPerRow = 0;
};

class TChunkIDAT : public TChunk {
public:
    static constexpr std::string_view kName = "IDAT";
    using TChunk::TChunk;
    std::string_view GetName() const override { return kName; }
    // Decodes every consecutive IDAT chunk into the header's pixels.
    bool LoadFromStream(ByteReader& stream, const TChunkName& name, std::uint32_t size) override;
    // Encodes the header's pixels as a run of IDAT chunks.
    bool SaveToStream(ByteWriter& stream) override;

protected:
    std::unique_ptr<TChunk> NewOfSameClass(TPNGObject& owner) const override;
};

class TChunkPLTE : public TChunk {
public:
    static constexpr std::string_view kName = "PLTE";
    using TChunk::TChunk;
    std::string_view GetName() const override { return kName; }
    void Assign(const TChunk& source) override;
    bool LoadFromStream(ByteReader& stream, const TChunkName& name, std::uint32_t size) override;
    bool SaveToStream(ByteWriter& stream) override;

    // Raises EPngError "There is no such palette entry." when index >= Count.
    TRGBQuad GetPaletteItem(int index) const;
    int Count = 0;

protected:
    std::unique_ptr<TChunk> NewOfSameClass(TPNGObject& owner) const override;
};

class TChunktRNS : public TChunk {
public:
    static constexpr std::string_view kName = "tRNS";
    using TChunk::TChunk;
    std::string_view GetName() const override { return kName; }
    void Assign(const TChunk& source) override;
    bool LoadFromStream(ByteReader& stream, const TChunkName& name, std::uint32_t size) override;
    bool SaveToStream(ByteWriter& stream) override;

    // False when the chunk's size does not fit the header's colour type (or the type
    // has an alpha channel): the chunk is then kept for writing but ignored.
    bool AppliesToImage() const;
    TColor TransparentColor() const;
    void SetTransparentColor(TColor c);

    bool BitTransparency = false;
    // One alpha per palette index (type 3); the raw chunk bytes for types 0 and 2.
    std::array<std::uint8_t, 256> PaletteValues{};

protected:
    std::unique_ptr<TChunk> NewOfSameClass(TPNGObject& owner) const override;
};

class TChunkgAMA : public TChunk {
public:
    static constexpr std::string_view kName = "gAMA";
    explicit TChunkgAMA(TPNGObject& owner);
    std::string_view GetName() const override { return kName; }
    void Assign(const TChunk& source) override;
    bool LoadFromStream(ByteReader& stream, const TChunkName& name, std::uint32_t size) override;
    // Gamma x 100000.
    std::uint32_t Gamma() const;
    void SetGamma(std::uint32_t value);

protected:
    std::unique_ptr<TChunk> NewOfSameClass(TPNGObject& owner) const override;
};

class TChunkpHYs : public TChunk {
public:
    static constexpr std::string_view kName = "pHYs";
    using TChunk::TChunk;
    std::string_view GetName() const override { return kName; }
    void Assign(const TChunk& source) override;
    bool LoadFromStream(ByteReader& stream, const TChunkName& name, std::uint32_t size) override;
    bool SaveToStream(ByteWriter& stream) override;

    std::uint32_t PPUnitX = 0, PPUnitY = 0;
    std::uint8_t UnitType = 0;

protected:
    std::unique_ptr<TChunk> NewOfSameClass(TPNGObject& owner) const override;
};

class TChunktIME : public TChunk {
public:
    static constexpr std::string_view kName = "tIME";
    using TChunk::TChunk;
    std::string_view GetName() const override { return kName; }
    void Assign(const TChunk& source) override;
    bool LoadFromStream(ByteReader& stream, const TChunkName& name, std::uint32_t size) override;
    bool SaveToStream(ByteWriter& stream) override;

    std::uint16_t Year = 0;
    std::uint8_t Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;

protected:
    std::unique_ptr<TChunk> NewOfSameClass(TPNGObject& owner) const override;
};

class TChunktEXt : public TChunk {
public:
    static constexpr std::string_view kName = "tEXt";
    using TChunk::TChunk;
    std::string_view GetName() const override { return kName; }
    void Assign(const TChunk& source) override;
    bool LoadFromStream(ByteReader& stream, const TChunkName& name, std::uint32_t size) override;
    bool SaveToStream(ByteWriter& stream) override;

    std::string Keyword, Text;

protected:
    std::unique_ptr<TChunk> NewOfSameClass(TPNGObject& owner) const override;
};

class TChunkzTXt : public TChunktEXt {
public:
    static constexpr std::string_view kName = "zTXt";
    using TChunktEXt::TChunktEXt;
    std::string_view GetName() const override { return kName; }
    bool LoadFromStream(ByteReader& stream, const TChunkName& name, std::uint32_t size) override;
    bool SaveToStream(ByteWriter& stream) override;

protected:
    std::unique_ptr<TChunk> NewOfSameClass(TPNGObject& owner) const override;
};

// ---------------------------------------------------------------------------
// Chunk registry: chunk name -> class. The common chunks are registered first.

using TChunkFactory = std::unique_ptr<TChunk> (*)(TPNGObject& owner);
void RegisterChunk(std::string_view name, TChunkFactory factory);
// A chunk of the first registered class with that name, or a plain TChunk; Name set.
std::unique_ptr<TChunk> CreateClassChunk(TPNGObject& owner, const TChunkName& name);

// ---------------------------------------------------------------------------
// The chunk list.

class TPNGList {
public:
    explicit TPNGList(TPNGObject& owner) : fOwner(&owner) {}
    TPNGList(const TPNGList&) = delete;
    TPNGList& operator=(const TPNGList&) = delete;

    int Count() const { return static_cast<int>(fItems.size()); }
    // nullptr beyond the count.
    TChunk* GetItem(int index) const;

    // The first chunk of the class or one derived from it; nullptr when none.
    template <class T>
    T* FindChunk() const {
        for (const auto& c : fItems)
            if (auto* t = dynamic_cast<T*>(c.get())) return t;
        return nullptr;
    }
    // Creates a chunk of the class and inserts it by the list's rules (IHDR first,
    // gAMA/pHYs/PLTE after IHDR, tRNS after PLTE or before IDAT, others before IEND).
    template <class T>
    T* Add() {
        return static_cast<T*>(AddChunk(std::make_unique<T>(*fOwner)));
    }
    // Removes the chunk from the list and frees it.
    void RemoveChunk(TChunk* chunk);

private:
    friend class TPNGObject;
    TChunk* AddChunk(std::unique_ptr<TChunk> chunk);
    TPNGObject* fOwner;
    std::vector<std::unique_ptr<TChunk>> fItems;
};

// ---------------------------------------------------------------------------
// The PNG graphic.

class TPNGObject {
public:
    // Empty: no chunks, settings at their defaults.
    TPNGObject();
    ~TPNGObject();
    TPNGObject(const TPNGObject&) = delete;
    TPNGObject& operator=(const TPNGObject&) = delete;

    // Rebuilds the object as a new image of zeroed pixels (alpha plane of zeros):
    // IHDR, [PLTE,] IDAT, IEND. Raises EPNGInvalidSpec for a pair PNG does not allow.
    void CreateBlank(std::uint8_t colorType, std::uint8_t bitDepth, int width, int height);

    void LoadFromStream(ByteReader& stream);
    void SaveToStream(ByteWriter& stream);
    // Reads a whole file and loads it; false when the file cannot be read, error
    // saying why (content errors raise as in LoadFromStream).
    bool LoadFromFile(const std::string& path, FileError* error = nullptr);
    // Encodes in memory and saves atomically; false when the file cannot be
    // written, error saying why.
    bool SaveToFile(const std::string& path, FileError* error = nullptr);

    // Copies settings and every chunk of another image.
    void Assign(const TPNGObject& source) { AssignPNG(source); }
    // Replaces the content by the bitmap's pixels: below 16 bits per pixel a palette
    // image of that depth, else 8-bit RGB (a 32-bit bitmap's fourth byte is dropped).
    // A transparent bitmap gives a tRNS chunk with its transparent colour.
    void Assign(const TBitmap& source);
    void AssignPNG(const TPNGObject& source);
    void AssignHandle(const TBitmap& source, bool transparent, TColor transparentColor);

    // Resets the gamma tables and frees every chunk.
    void ClearChunks();
    bool Empty() const { return fChunks.Count() == 0; }

    // Header's size, 0 without a header.
    int Width() const;
    int Height() const;
    // New size, the top-left corner kept; new pixels are zero (black or
    // index 0) and opaque. A size not above 0 raises EPNGInvalidNewSize and
    // changes nothing.
    void Resize(int cx, int cy);
    void SetWidth(int width) { Resize(width, Height()); }
    void SetHeight(int height) { Resize(Width(), height); }
    // The first chunk as header; raises EPNGHeaderNotPresent when it is not one.
    TChunkIHDR& GetHeader() const;
    TChunkIHDR& Header() const { return GetHeader(); }
    bool HeaderPresent() const;
    TPNGList& Chunks() { return fChunks; }
    const TPNGList& Chunks() const { return fChunks; }

    // 0 none, 1 one transparent colour, 2 partial (alpha).
    std::uint8_t TransparencyMode() const;
    // True when pixels may be partly transparent: colour types 4 and 6, and
    // palette images whose tRNS gives an entry an alpha other than 0 and 255.
    // An indexed picture cannot keep such alpha: importers of PNG images build
    // a 32-bit one for them.
    bool PartialAlpha() const;
    // Row `row` (0 = top) as shown: Width pixels of straight R, G, B, A. Colours
    // as GetPixels gives them (through the gamma tables); alpha from the alpha
    // plane, from the tRNS value of the pixel's palette index (an index beyond
    // the palette is opaque black), or 0 where the file's grey or RGB samples
    // equal the tRNS colour (compared at full depth, before gamma; see
    // KeyedPixels); else 255. Nothing is written for a row outside the image.
    void GetRGBA(int row, std::uint8_t* out) const;
    std::uint8_t GetTransparencyMode() const { return TransparencyMode(); }
    // The colour tRNS makes transparent; 0 without (a usable) tRNS.
    TColor TransparentColor() const;
    TColor GetTransparentColor() const { return TransparentColor(); }

    // Colours as 0x00BBGGRR; 0 outside the image. Setting outside does nothing and
    // never touches alpha; palette images take the nearest palette entry.
    TColor GetPixels(int x, int y) const;
    void SetPixels(int x, int y, TColor c);

    // Row `row` (0 = top) of the DIB, of the extra plane (nullptr unless depth 16)
    // and of the alpha plane (nullptr unless colour type 4 or 6). Rows must be
    // stepped through these accessors.
    std::uint8_t* Scanline(int row);
    const std::uint8_t* Scanline(int row) const;
    std::uint8_t* GetScanline(int row) { return Scanline(row); }
    std::uint8_t* ExtraScanline(int row);
    const std::uint8_t* ExtraScanline(int row) const;
    std::uint8_t* AlphaScanline(int row);
    const std::uint8_t* AlphaScanline(int row) const;
    std::uint8_t* GetAlphaScanline(int row) { return AlphaScanline(row); }

    // Grey becomes grey with alpha, RGB becomes RGBA (alpha 255); palette images get
    // a tRNS of 256 values 255.
    void CreateAlpha();

    // The header's palette (empty without a colour table) and its replacement.
    TPaletteEntries Palette() const;
    void SetPalette(std::span<const TPaletteEntry> palette);

    // Stored value of a file sample (decoder) and file value of a stored one (encoder).
    std::array<std::uint8_t, 256> GammaTable{};
    std::array<std::uint8_t, 256> InverseGamma{};
    void InitializeGamma();

    // Encoder settings.
    TFilters Filters = FilterBit(pfSub);
    std::uint8_t CompressionLevel = 7;
    std::uint8_t InterlaceMethod = 0;
    // A small image is also compressed by zlib and the smaller stream kept,
    // so that the fast compressor never makes a file larger; off: the fast
    // compressor alone (about half the time for many small files).
    bool CompareCompressors = true;
    std::int32_t MaxIdatSize() const { return fMaxIdatSize; }
    // Values below 65535 are stored as 65535.
    void SetMaxIdatSize(std::int32_t value);

    // Bounds of loading: pixels a header may ask for (also when creating), chunks
    // and their bytes kept, text inflated from a zTXt chunk.
    ReadLimits Limits;

    // True only while CreateBlank or AssignHandle builds the chunk list.
    bool BeingCreated = false;

private:
    friend class TChunkzTXt;
    std::int32_t fMaxIdatSize = 65535;
    // Bytes held for the chunks of the file being loaded (see Limits.chunkBytes).
    std::uint64_t fKeptBytes = 0;
    // Bytes inflated from compressed texts, kept or not (see Limits.chunkBytes).
    std::uint64_t fInflatedBytes = 0;
    TPNGList fChunks;
};

}  // namespace velto
