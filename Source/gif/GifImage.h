#pragma once
// TGIFImage: a GIF file held in memory as a tree that mirrors its blocks. The
// image owns a header (logical screen and global colour map) and the list of
// frames; each frame (TGIFSubImage) owns its image descriptor, local colour
// map, the extensions that stood before it in the file and its pixels, one
// palette index per pixel, top row first.
//
// Reading takes a ByteReader from its current position (a 4-byte prefix before
// the signature is accepted); writing appends to a ByteWriter. Errors raise
// GIFException; problems the reader can read past are reported through
// OnWarning and reading goes on. An error while loading leaves the frames read
// so far in the image. Everything a file declares is bounded by Limits before
// it is allocated.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "gif/ColorReduction.h"
#include "platform/Bitmap.h"
#include "platform/ByteReader.h"
#include "platform/ByteWriter.h"
#include "platform/Color.h"
#include "platform/FileIO.h"
#include "platform/ReadLimits.h"

namespace velto {

// ---------------------------------------------------------------------------
// Texts of the codec's errors, warnings and progress reports.

inline constexpr const char* sGIFPrematureEnd = "Premature end of data";
inline constexpr const char* sGIFBadSignature = "Invalid GIF signature";
inline constexpr const char* sGIFBadScreenColors = "Invalid number of colors specified in Screen Descriptor";
inline constexpr const char* sGIFBadImageColors = "Invalid number of colors specified in Image Descriptor";
inline constexpr const char* sGIFUnsupportedVersion = "Unsupported GIF version";
inline constexpr const char* sGIFUnknownBlock = "Unknown GIF block type";
inline constexpr const char* sGIFBadTrailer = "Invalid Image trailer";
inline constexpr const char* sGIFColorOverflow = "Color table overflow";
inline constexpr const char* sGIFBadColorIndex = "Invalid color index";
inline constexpr const char* sGIFEmptyColorMap = "Color table is empty";
inline constexpr const char* sGIFScreenExceeded = "Image exceeds Logical Screen size";
inline constexpr const char* sGIFScreenWidth = "Image width too small for contained frames";
inline constexpr const char* sGIFScreenHeight = "Image height too small for contained frames";
inline constexpr const char* sGIFBadPixelCoord = "Invalid pixel coordinates";
inline constexpr const char* sGIFImageEmpty = "Image is empty";
inline constexpr const char* sGIFBadIntroducer = "Invalid extension introducer";
inline constexpr const char* sGIFUnknownExtension = "Unknown extension type";
inline constexpr const char* sGIFExtensionMismatch = "Internal error: Extension Instance does not match Extension Label";
inline constexpr const char* sGIFBadAppBlockSize = "Unsupported Application Extension block size";
inline constexpr const char* sGIFBadData = "Invalid GIF data";
inline constexpr const char* sGIFBitBufferUnderrun = "Decoder bit buffer under-run";
inline constexpr const char* sGIFCircularTable = "Circular decoder table entry";
inline constexpr const char* sGIFColorNotInTable = "Color not in color table";
inline constexpr const char* sGIFNoColorTable = "No global or local color table defined";
// What the declared sizes of a file would take is beyond Limits, or memory ran out.
inline constexpr const char* sGIFOutOfMemory = "Out of memory";

// A file (or frame) refused for the memory it asks, not for damage: beyond
// Limits (a frame or screen over the pixel cap, frames over their byte budget
// or count, extensions over theirs), or more than there is. Says "Out of memory".
class GIFLimitException : public GIFException {
public:
    GIFLimitException() : GIFException(sGIFOutOfMemory) {}
};

inline constexpr const char* sGIFLoading = "Loading...";
inline constexpr const char* sGIFSaving = "Saving...";
inline constexpr const char* sGIFRendering = "Rendering...";
inline constexpr const char* sGIFConverting = "Converting...";

// ---------------------------------------------------------------------------
// Events.

enum TProgressStage : std::uint8_t { psStarting, psRunning, psEnding };

// Sender is the object that reports: the image, a frame or a colour map.
using TGIFWarningEvent = std::function<void(const void* sender, int severity, const std::string& message)>;
using TGIFProgressEvent = std::function<void(const void* sender, TProgressStage stage, int percent, bool redrawNow,
                                             const TRect& rect, const std::string& message)>;

// Drawing options (the painter that reads most of them is not part of this library).
enum : std::uint16_t {
    drAsync = 0x0001,
    drTransparent = 0x0002,
    drAnimate = 0x0004,
    drLoop = 0x0008,
    drLoopForever = 0x0010,
    drCheckCanvas = 0x0020,
    drDirect = 0x0040,
    drClearOnPass = 0x0080,
    drTile = 0x0100,
    drDither = 0x0200,
    drAutoDither = 0x0400,
};

// Settings every new TGIFImage copies; programs may change them once at start.
struct TGIFImageDefaults {
    std::uint16_t DrawOptions = 0x060F;
    std::uint8_t ColorReduction = 6;
    std::int32_t ReductionBits = 8;
    std::uint8_t DitherMode = 0;
    std::uint8_t Compression = 0;  // 0 LZW, 1 run-length codes
    std::uint8_t ThreadPriority = 3;
    std::int32_t AnimationSpeed = 100;
    std::int32_t FixedFrame = -1;
    TColor PaintBackgroundColor = ColorFromValue(0x1FFFFFFF);  // none
};
inline TGIFImageDefaults GIFImageDefaults;
// Every frame renders its bitmap right after it is loaded.
inline bool GIFRenderFramesOnLoad = false;
// The display shows 8 bits per pixel or fewer: dithered drawing is wanted.
inline bool GIFAutoDitherDisplay = false;

// Frame timing of an animation, in hundredths of a second, and the
// milliseconds one hundredth is played as.
inline constexpr int GIFDefaultDelay = 10;
inline constexpr int GIFMinimumDelay = 3;
inline constexpr int GIFMaximumDelay = 1000;
inline constexpr int GIFDelayTimeFactor = 12;

// Windows' MulDiv: a * b / c rounded half away from zero; -1 when c is 0 or the
// result does not fit 32 bits.
int MulDiv(int a, int b, int c);

class TGIFImage;
class TGIFSubImage;

// ---------------------------------------------------------------------------
// Colour maps.

struct TGIFColor {
    std::uint8_t Red = 0, Green = 0, Blue = 0;
    friend bool operator==(const TGIFColor&, const TGIFColor&) = default;
};

// Use count of one entry, for sorting a map by use.
struct TGIFColorUse {
    std::uint32_t Count = 0;
    int Index = 0;
};
using TGIFColorUses = std::array<TGIFColorUse, 256>;

class TGIFColorMap {
public:
    TGIFColorMap() = default;
    virtual ~TGIFColorMap() = default;
    TGIFColorMap(const TGIFColorMap&) = delete;
    TGIFColorMap& operator=(const TGIFColorMap&) = delete;

    int Count() const { return fCount; }
    // Entries the storage holds: 16, then multiples of 32, at most 256.
    int Capacity() const { return static_cast<int>(fEntries.size()); }
    std::span<const TGIFColor> Entries() const { return {fEntries.data(), static_cast<std::size_t>(fCount)}; }

    // The colour at index; outside 0..Count-1 warns "Invalid color index" and
    // gives entry 0, or raises "Color table is empty" when there is none.
    TColor Colors(int index) const;
    // Raises "Invalid color index" outside 0..Count-1.
    void SetColors(int index, TColor color);

    // Appends and returns the new index; raises "Color table overflow" at 256.
    int Add(TColor color);
    int AddOrFind(TColor color);
    void Delete(int index);
    // Exact match or -1: the highest matching index, or the lowest once the map is optimized.
    int IndexOf(TColor color) const;
    void Clear();

    void LoadPalette(std::span<const TPaletteEntry> palette);
    void LoadQuads(std::span<const TRGBQuad> quads);
    // The entries with the no-collapse flag (4); empty for an empty map.
    TPaletteEntries MakePalette() const;
    // 0 for an empty map, 1 for 1 or 2 entries, else the least b with 2^b >= Count.
    int BitsPerPixel() const;
    void Assign(const TGIFColorMap& source);

    // Reads exactly count entries (raises "Premature end of data").
    void LoadFromStream(ByteReader& stream, int count);
    // The entries, then black ones up to 2^BitsPerPixel; nothing for an empty map.
    void SaveToStream(ByteWriter& stream) const;

    // Sorts the entries by use, most used first, rewrites the pixels that use
    // this map and drops unused entries from the end. False for 0 or 1 entries.
    bool Optimize();
    bool Optimized = false;

protected:
    // The image whose warnings this map reports (may be none).
    virtual TGIFImage* WarningTarget() const = 0;
    virtual void Changed() = 0;
    virtual void CountUse(TGIFColorUses& uses) const = 0;
    // Replaces every pixel p of the frames using this map by map[p], and their transparent index.
    virtual void RemapPixels(const std::array<std::uint8_t, 256>& map) = 0;

private:
    void Reserve(int wanted);
    template <class Entry>
    void LoadEntries(std::span<const Entry> entries);
    std::vector<TGIFColor> fEntries;  // Capacity entries
    int fCount = 0;
};

class TGIFGlobalColorMap final : public TGIFColorMap {
public:
    explicit TGIFGlobalColorMap(TGIFImage& image) : fImage(&image) {}

protected:
    TGIFImage* WarningTarget() const override { return fImage; }
    void Changed() override;
    void CountUse(TGIFColorUses& uses) const override;
    void RemapPixels(const std::array<std::uint8_t, 256>& map) override;

private:
    TGIFImage* fImage;
};

class TGIFLocalColorMap final : public TGIFColorMap {
public:
    explicit TGIFLocalColorMap(TGIFSubImage& frame) : fFrame(&frame) {}

protected:
    TGIFImage* WarningTarget() const override;
    void Changed() override;
    void CountUse(TGIFColorUses& uses) const override;
    void RemapPixels(const std::array<std::uint8_t, 256>& map) override;

private:
    TGIFSubImage* fFrame;
};

// ---------------------------------------------------------------------------
// Header: signature, version, logical screen descriptor and global colour map.

class TGIFHeader {
public:
    explicit TGIFHeader(TGIFImage& image) : fImage(&image), fColorMap(image) {}

    std::uint16_t Width = 0, Height = 0;
    std::uint8_t Packed = 0, BackgroundColorIndex = 0, AspectRatio = 0;

    TGIFGlobalColorMap& ColorMap() { return fColorMap; }
    const TGIFGlobalColorMap& ColorMap() const { return fColorMap; }
    TColor BackgroundColor() const { return fColorMap.Colors(BackgroundColorIndex); }
    int BitsPerPixel() const { return fColorMap.BitsPerPixel(); }
    int ColorResolution() const { return BitsPerPixel() - 1; }

    void Clear();
    void Assign(const TGIFHeader& source);
    // The packed byte as it is written.
    void Prepare();
    void LoadFromStream(ByteReader& stream);
    void SaveToStream(ByteWriter& stream);

private:
    TGIFImage* fImage;
    TGIFGlobalColorMap fColorMap;
};

// ---------------------------------------------------------------------------
// Extensions: '!', a label and the label's data. Each frame keeps, in file
// order, the extensions that stood before its image descriptor.

class TGIFExtension;

// What a class of extension is: its label, how it picks a more specific class
// from the block at the stream position, and how it is made.
struct TGIFExtensionClass {
    const char* Name;
    std::uint8_t Label;
    // The class that should read the block at the stream's position (which it
    // may move); nullptr when none can. Null for classes that answer themselves.
    const TGIFExtensionClass* (*ResolveClass)(ByteReader& stream);
    std::unique_ptr<TGIFExtension> (*Create)(TGIFSubImage& frame);
};

// Registries: label -> class and 11-byte application identifier -> class; the
// entry registered last wins. The common classes are registered on first use.
void RegisterExtensionClass(const TGIFExtensionClass& cls);
void RegisterAppExtensionClass(std::string_view identifier, const TGIFExtensionClass& cls);
// The class for the extension whose label stands at the stream's position (the
// '!' already read), or nullptr when none can read it; the position is left unchanged.
const TGIFExtensionClass* FindExtensionClass(ByteReader& stream);

class TGIFExtension {
public:
    explicit TGIFExtension(TGIFSubImage& frame) : fFrame(&frame) {}
    virtual ~TGIFExtension() = default;
    TGIFExtension(const TGIFExtension&) = delete;
    TGIFExtension& operator=(const TGIFExtension&) = delete;

    virtual const TGIFExtensionClass& Class() const = 0;
    std::uint8_t Label() const { return Class().Label; }
    int GetVersion() const { return 2; }
    TGIFSubImage& SubImage() const { return *fFrame; }

    // Checks the introducer and label, then reads the data.
    void LoadFromStream(ByteReader& stream);
    void SaveToStream(ByteWriter& stream) const;

protected:
    virtual void ReadData(ByteReader& stream) = 0;
    virtual void WriteData(ByteWriter& stream) const = 0;
    // Sub-blocks as lines (comments, plain text): one line per sub-block.
    void ReadLines(ByteReader& stream, std::vector<std::string>& lines);
    static void WriteLines(ByteWriter& stream, const std::vector<std::string>& lines);

private:
    TGIFSubImage* fFrame;
};

// Disposal methods.
enum : std::uint8_t { dmNone = 0, dmNoDisposal = 1, dmBackground = 2, dmPrevious = 3 };

class TGIFGraphicControlExtension final : public TGIFExtension {
public:
    static constexpr std::uint8_t kLabel = 0xF9;
    static const TGIFExtensionClass& ClassInfo();
    // Becomes the frame's graphic control extension when it has none yet.
    explicit TGIFGraphicControlExtension(TGIFSubImage& frame);
    ~TGIFGraphicControlExtension() override;
    const TGIFExtensionClass& Class() const override { return ClassInfo(); }

    bool Transparent() const { return (Packed & 0x01) != 0; }
    // Also sets the frame's flag.
    void SetTransparent(bool on);
    std::uint8_t TransparentColorIndex() const { return TransparentIndex; }
    // An index beyond the frame's colour map (when it has entries) warns and stores 0.
    void SetTransparentColorIndex(int index);
    bool UserInput() const { return (Packed & 0x02) != 0; }
    void SetUserInput(bool on) { Packed = static_cast<std::uint8_t>(on ? Packed | 0x02 : Packed & ~0x02); }
    std::uint8_t Disposal() const { return static_cast<std::uint8_t>((Packed & 0x1C) >> 2); }
    void SetDisposal(std::uint8_t d) { Packed = static_cast<std::uint8_t>((Packed & ~0x1C) | ((d * 4) & 0x1C)); }

    // The block as on disk.
    std::uint8_t BlockSize = 4;
    std::uint8_t Packed = 0;
    std::uint16_t Delay = 0;  // hundredths of a second
    std::uint8_t TransparentIndex = 0;
    std::uint8_t Terminator = 0;

protected:
    void ReadData(ByteReader& stream) override;
    void WriteData(ByteWriter& stream) const override;
};

class TGIFTextExtension final : public TGIFExtension {
public:
    static constexpr std::uint8_t kLabel = 0x01;
    static const TGIFExtensionClass& ClassInfo();
    using TGIFExtension::TGIFExtension;
    const TGIFExtensionClass& Class() const override { return ClassInfo(); }

    std::uint8_t BlockSize = 12;
    std::uint16_t Left = 0, Top = 0, GridWidth = 0, GridHeight = 0;
    std::uint8_t CharWidth = 0, CharHeight = 0, ForegroundColorIndex = 0, BackgroundColorIndex = 0;
    std::vector<std::string> Text;

protected:
    void ReadData(ByteReader& stream) override;
    void WriteData(ByteWriter& stream) const override;
};

class TGIFCommentExtension final : public TGIFExtension {
public:
    static constexpr std::uint8_t kLabel = 0xFE;
    static const TGIFExtensionClass& ClassInfo();
    using TGIFExtension::TGIFExtension;
    const TGIFExtensionClass& Class() const override { return ClassInfo(); }

    std::vector<std::string> Text;

protected:
    void ReadData(ByteReader& stream) override;
    void WriteData(ByteWriter& stream) const override;
};

// Application data: an 8-byte identifier and 3-byte code, then sub-blocks.
class TGIFApplicationExtension : public TGIFExtension {
public:
    static constexpr std::uint8_t kLabel = 0xFF;
    static const TGIFExtensionClass& ClassInfo();
    using TGIFExtension::TGIFExtension;

    std::array<std::uint8_t, 11> Identifier{};
    std::string_view IdentifierText() const {
        return {reinterpret_cast<const char*>(Identifier.data()), Identifier.size()};
    }
    // The bytes of an identification block longer than 11 past the identifier,
    // written back after it (at most 244; only blocks read as unknown data have them).
    std::vector<std::uint8_t> IdentifierTail;

protected:
    void ReadData(ByteReader& stream) final;
    void WriteData(ByteWriter& stream) const final;
    virtual void ReadAppData(ByteReader& stream) = 0;
    virtual void WriteAppData(ByteWriter& stream) const = 0;
};

// Application data of an identifier nobody registered, kept as its raw sub-blocks.
class TGIFUnknownAppExtension final : public TGIFApplicationExtension {
public:
    static const TGIFExtensionClass& ClassInfo();
    using TGIFApplicationExtension::TGIFApplicationExtension;
    const TGIFExtensionClass& Class() const override { return ClassInfo(); }

    std::vector<std::vector<std::uint8_t>> Blocks;  // each 1..255 bytes

protected:
    void ReadAppData(ByteReader& stream) override;
    void WriteAppData(ByteWriter& stream) const override;
};

// The loop count of an animation ("NETSCAPE2.0", also read from "ANIMEXTS1.0").
class TGIFAppExtNSLoop final : public TGIFApplicationExtension {
public:
    static const TGIFExtensionClass& ClassInfo();
    explicit TGIFAppExtNSLoop(TGIFSubImage& frame);
    const TGIFExtensionClass& Class() const override { return ClassInfo(); }

    std::uint16_t Loops = 0;
    std::uint32_t BufferSize = 0;

protected:
    void ReadAppData(ByteReader& stream) override;
    void WriteAppData(ByteWriter& stream) const override;
};

class TGIFExtensionList {
public:
    explicit TGIFExtensionList(TGIFSubImage& frame) : fFrame(&frame) {}
    TGIFExtensionList(const TGIFExtensionList&) = delete;
    TGIFExtensionList& operator=(const TGIFExtensionList&) = delete;

    int Count() const { return static_cast<int>(fItems.size()); }
    TGIFExtension& operator[](int index) const { return *fItems[static_cast<std::size_t>(index)]; }
    // Appends; returns the extension.
    TGIFExtension& Add(std::unique_ptr<TGIFExtension> extension);
    template <class T>
    T& Add() {
        return static_cast<T&>(Add(std::make_unique<T>(*fFrame)));
    }
    void Delete(int index);
    void Clear();
    // The first extension of the class, or nullptr.
    template <class T>
    T* Find() const {
        for (const auto& e : fItems)
            if (auto* t = dynamic_cast<T*>(e.get())) return t;
        return nullptr;
    }

    // Reads the extensions up to the next image descriptor or trailer.
    void LoadFromStream(ByteReader& stream);
    void SaveToStream(ByteWriter& stream) const;

private:
    TGIFSubImage* fFrame;
    std::vector<std::unique_ptr<TGIFExtension>> fItems;
};

// ---------------------------------------------------------------------------
// Frames.

class TGIFSubImage {
public:
    explicit TGIFSubImage(TGIFImage& image);
    ~TGIFSubImage();
    TGIFSubImage(const TGIFSubImage&) = delete;
    TGIFSubImage& operator=(const TGIFSubImage&) = delete;

    TGIFImage& Image() const { return *fImage; }

    // The image descriptor as on disk (the separator ',' precedes it).
    struct TImageDescriptor {
        std::uint16_t Left = 0, Top = 0, Width = 0, Height = 0;
        std::uint8_t PackedFields = 0;  // 0x80 local map, 0x40 interlaced, 0x20 sorted, 0x07 map size
    };
    const TImageDescriptor& Descriptor() const { return fDescriptor; }

    int Left() const { return fDescriptor.Left; }
    int Top() const { return fDescriptor.Top; }
    int Width() const { return fDescriptor.Width; }
    int Height() const { return fDescriptor.Height; }
    TRect BoundsRect() const { return {Left(), Top(), Left() + Width(), Top() + Height()}; }
    // A new size frees the pixels and bitmaps and allocates zeroed pixels; the
    // logical screen grows to hold the frame (with warnings when it was not empty).
    // Values are taken into 0..65535.
    void SetBounds(int left, int top, int width, int height);
    void SetLeft(int v) { SetBounds(v, Top(), Width(), Height()); }
    void SetTop(int v) { SetBounds(Left(), v, Width(), Height()); }
    void SetWidth(int v) { SetBounds(Left(), Top(), v, Height()); }
    void SetHeight(int v) { SetBounds(Left(), Top(), Width(), v); }

    bool Interlaced() const { return (fDescriptor.PackedFields & 0x40) != 0; }
    void SetInterlaced(bool on);

    // No pixels, or a side of 0.
    bool Empty() const { return fPixels.empty() || Width() == 0 || Height() == 0; }

    TGIFLocalColorMap& ColorMap() { return fColorMap; }
    const TGIFLocalColorMap& ColorMap() const { return fColorMap; }
    // The local map when it has entries, else the global one when it has, else the (empty) local map.
    const TGIFColorMap& UsedColorMap() const;
    TGIFColorMap& UsedColorMap();
    int BitsPerPixel() const { return fColorMap.BitsPerPixel(); }
    int ColorResolution() const { return BitsPerPixel() - 1; }
    // 2 ("89a") with an optimized local map or any extension, else 1.
    int GetVersion() const;

    // Pixels: one palette index each, row y at y * Width. Raise "Image is
    // empty" without pixels and "Invalid pixel coordinates" outside the frame.
    std::uint8_t Pixels(int x, int y) const;
    void SetPixels(int x, int y, std::uint8_t value);
    std::uint8_t* Scanline(int y);
    const std::uint8_t* Scanline(int y) const;
    std::uint8_t* Data() { return fPixels.data(); }
    const std::uint8_t* Data() const { return fPixels.data(); }
    std::uint64_t DataSize() const { return fPixels.size(); }
    // A zeroed buffer of Width x Height (none when that is 0); raises
    // "Out of memory" beyond the image's pixel limit.
    void AllocPixels();
    void FreePixels();
    // Allocates when missing; raises "Image is empty" for a size of 0.
    void EnsurePixels();

    TGIFExtensionList& Extensions() { return fExtensions; }
    const TGIFExtensionList& Extensions() const { return fExtensions; }
    // Kept in step with the graphic control extension's transparency flag.
    bool Transparent() const { return fTransparent; }
    TGIFGraphicControlExtension* GraphicControlExtension() const { return fGCE; }

    // The frame as an 8-bit bitmap with its palette; nullptr for an Empty frame.
    // Rendered on first use and kept until pixels, size or colours change.
    const TBitmap* Bitmap();
    bool HasBitmap() const { return fBitmap != nullptr; }
    void DropBitmap();
    // Renders when a mask is still needed and the frame is transparent; true when a mask exists.
    bool MaskReady();
    // One bit per pixel, 1 (white) where the pixel is transparent; nullptr when
    // no pixel is (or the frame is not transparent).
    const TBitmap* Mask() const { return fMask.get(); }
    void DropMask();
    // The palette of the frame's bitmap: the local map's colours, else the image's palette.
    TPaletteEntries GetPalette();
    void SetPalette(std::span<const TPaletteEntry> palette);

    // How long the frame shows when played, in hundredths of a second: its
    // delay, at least GIFMinimumDelay; GIFDefaultDelay without one (or for a
    // delay of 0); a painter waiting in the caller's thread plays at most GIFMaximumDelay.
    int PlayDelay(bool synchronous) const;

    // Cuts transparent rows and columns from the edges, moving the frame so that
    // the picture stays in place; a frame transparent throughout is cleared.
    void TrimTransparent();
    // Makes the pixels that show the same colour as the previous frame at the
    // same screen position transparent.
    void BlankUnchanged(TGIFSubImage& previous);

    void Clear();
    void Assign(const TGIFSubImage* source);
    // Takes size and pixels from a bitmap: 1, 4 and 8 bits as they are, other
    // formats reduced with the image's colour reduction first.
    void Assign(const TBitmap& source);

    void LoadFromStream(ByteReader& stream);
    // Recomputes the descriptor's packed byte, then writes extensions, descriptor, map and data.
    void SaveToStream(ByteWriter& stream);

private:
    friend class TGIFGraphicControlExtension;
    friend class TGIFLocalColorMap;
    friend class TGIFGlobalColorMap;
    void Render();
    void BuildMask();
    void AssignIndexed(const TBitmap& bitmap);
    int CheckedColumn(int x) const;
    // The index blanked pixels take in a frame without transparency; -1 when its map is full or empty.
    int NewTransparentIndex();

    TGIFImage* fImage;
    std::unique_ptr<TBitmap> fBitmap;
    std::unique_ptr<TBitmap> fMask;
    bool fNeedMask = true;
    TPaletteEntries fPalette;
    bool fHasPalette = false;
    std::vector<std::uint8_t> fPixels;
    TImageDescriptor fDescriptor;
    bool fTransparent = false;
    TGIFGraphicControlExtension* fGCE = nullptr;
    TGIFLocalColorMap fColorMap;
    // Declared last so that extensions, which reach back into the frame when
    // they go, go first.
    TGIFExtensionList fExtensions;
};

class TGIFImageList {
public:
    explicit TGIFImageList(TGIFImage& image) : fImage(&image) {}
    TGIFImageList(const TGIFImageList&) = delete;
    TGIFImageList& operator=(const TGIFImageList&) = delete;

    int Count() const { return static_cast<int>(fItems.size()); }
    TGIFSubImage& operator[](int index) const { return *fItems[static_cast<std::size_t>(index)]; }
    // Takes the frame; returns its index.
    int Add(std::unique_ptr<TGIFSubImage> frame);
    void Delete(int index);
    void Clear();
    int IndexOf(const TGIFSubImage& frame) const;

    void LoadFromStream(ByteReader& stream);
    // Stops before a further frame once the list holds most (none when negative).
    void LoadFromStream(ByteReader& stream, int most);
    void SaveToStream(ByteWriter& stream) const;

private:
    TGIFImage* fImage;
    std::vector<std::unique_ptr<TGIFSubImage>> fItems;
};

// ---------------------------------------------------------------------------
// The image.

class TGIFImage {
public:
    TGIFImage();
    virtual ~TGIFImage();
    TGIFImage(const TGIFImage&) = delete;
    TGIFImage& operator=(const TGIFImage&) = delete;

    TGIFHeader& Header() { return fHeader; }
    const TGIFHeader& Header() const { return fHeader; }
    TGIFImageList& Images() { return fImages; }
    const TGIFImageList& Images() const { return fImages; }

    // The logical screen.
    int Width() const { return fHeader.Width; }
    int Height() const { return fHeader.Height; }
    bool Empty() const { return fImages.Count() == 0; }
    // The indexes of the frames that hold an image, in order. A file may end
    // in extensions after its last image: they are kept as a frame of their
    // own (written back as read) that shows nothing.
    std::vector<int> PictureFrames() const;
    TGIFGlobalColorMap& GlobalColorMap() { return fHeader.ColorMap(); }
    const TGIFGlobalColorMap& GlobalColorMap() const { return fHeader.ColorMap(); }
    TColor BackgroundColor() const { return fHeader.BackgroundColor(); }
    // 1 ("87a") or 2 ("89a") by the frames; 0 without frames.
    int Version() const;
    // The largest of the header's and of the frames that hold pixels.
    int ColorResolution() const;
    int BitsPerPixel() const;

    void LoadFromStream(ByteReader& stream);
    // The header and frame 0 only, read as LoadFromStream reads them: enough
    // to show the first frame, and nothing after it is looked at (a picture
    // of the file, not a document to edit or save).
    void LoadFirstFrame(ByteReader& stream);
    // Raises "Unsupported GIF version" for an image without frames.
    void SaveToStream(ByteWriter& stream);
    // Reads a whole file (false when it cannot be read, error saying why;
    // content errors raise).
    bool LoadFromFile(const std::string& path, FileError* error = nullptr);
    bool LoadFirstFrameFromFile(const std::string& path, FileError* error = nullptr);
    // Encodes in memory and replaces the file atomically; false when it cannot
    // be written, error saying why.
    bool SaveToFile(const std::string& path, FileError* error = nullptr);

    // Frees every frame, empties the global map and sets the screen to 0 x 0.
    void Clear();

    // The palette frames without a colour map of their own show: the global
    // map's colours, else frame 0's. Raises "No global or local color table
    // defined" when asked again while it runs (neither has colours).
    TPaletteEntries GetPalette();
    // Frames render dithered to the web palette (not done by this library yet:
    // frames render plain).
    bool DoDither() const { return (DrawOptions & drDither) && (!(DrawOptions & drAutoDither) || GIFAutoDitherDisplay); }

    // Calls OnWarning when set.
    virtual void Warning(const void* sender, int severity, const std::string& message);
    void Progress(const void* sender, TProgressStage stage, int percent, bool redrawNow, const std::string& message);

    std::uint16_t DrawOptions;
    std::uint8_t ColorReduction;
    std::int32_t ReductionBits;
    std::uint8_t DitherMode;
    std::uint8_t Compression;
    std::uint8_t ThreadPriority;
    std::int32_t AnimationSpeed;
    std::int32_t FixedFrame;
    TColor PaintBackgroundColor;
    TGIFWarningEvent OnWarning;
    TGIFProgressEvent OnProgress;

    // Bounds of loading: Limits.fileSize, Limits.pixels for the logical screen
    // and for each frame, Limits.gifFrameBytes for the pixels of all frames
    // together, Limits.gifFrames, Limits.gifExtensions and
    // Limits.gifExtensionBytes (comment, text and application data kept).
    // Frames built in memory are held to Limits.pixels each.
    ReadLimits Limits;

    // The readers count what a load keeps against Limits; beyond them these
    // raise GIFLimitException. Outside a load they count nothing.
    // A frame's pixels, before they are allocated (a byte each).
    void ChargePixels(std::uint64_t pixels);
    void ChargeFrame();
    void ChargeExtension();
    void ChargeExtensionBytes(std::uint64_t bytes);
    bool Loading() const { return fLoading; }

private:
    void Load(ByteReader& stream, int mostFrames);
    bool LoadFile(const std::string& path, FileError* error, int mostFrames);

    TGIFHeader fHeader;
    TGIFImageList fImages;
    bool fInPalette = false;
    bool fLoading = false;
    std::uint64_t fChargedFrameBytes = 0, fChargedExtensionBytes = 0, fChargedExtensions = 0, fChargedFrames = 0;
};

}  // namespace velto
