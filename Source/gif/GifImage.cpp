// The file structure: colour maps, header, the block list and the image.
#include "gif/GifImage.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/FileIO.h"
#include "platform/FileWriter.h"

namespace velto {

int MulDiv(int a, int b, int c) {
    if (c == 0) return -1;
    std::int64_t num = static_cast<std::int64_t>(a) * b, den = c;
    if (den < 0) {
        num = -num;
        den = -den;
    }
    const std::int64_t magnitude = num < 0 ? -num : num;
    std::int64_t q = magnitude / den;
    if (2 * (magnitude % den) >= den) ++q;  // halves away from zero
    if (num < 0) q = -q;
    if (q > std::numeric_limits<int>::max() || q < std::numeric_limits<int>::min()) return -1;
    return static_cast<int>(q);
}

// ---------------------------------------------------------------------------
// Colour maps.

TColor TGIFColorMap::Colors(int index) const {
    if (index < 0 || index >= fCount) {
        if (TGIFImage* image = WarningTarget()) image->Warning(this, 1, sGIFBadColorIndex);
        if (fCount == 0) throw GIFException(sGIFEmptyColorMap);
        index = 0;
    }
    const TGIFColor& c = fEntries[static_cast<std::size_t>(index)];
    return MakeColor(c.Red, c.Green, c.Blue);
}

void TGIFColorMap::SetColors(int index, TColor color) {
    if (index < 0 || index >= fCount) throw GIFException(sGIFBadColorIndex);
    fEntries[static_cast<std::size_t>(index)] = {ColorR(color), ColorG(color), ColorB(color)};
    Changed();
}

void TGIFColorMap::Reserve(int wanted) {
    if (wanted < Capacity()) return;
    const int capacity = std::min(256, wanted <= 16 ? 16 : (wanted + 31) / 32 * 32);
    fEntries.resize(static_cast<std::size_t>(capacity));
}

int TGIFColorMap::Add(TColor color) {
    if (fCount >= 256) throw GIFException(sGIFColorOverflow);
    Reserve(fCount + 1);
    fEntries[static_cast<std::size_t>(fCount)] = {ColorR(color), ColorG(color), ColorB(color)};
    const int index = fCount++;
    Optimized = false;
    Changed();
    return index;
}

int TGIFColorMap::AddOrFind(TColor color) {
    const int index = IndexOf(color);
    return index >= 0 ? index : Add(color);
}

void TGIFColorMap::Delete(int index) {
    if (index < 0 || index >= fCount) throw GIFException(sGIFBadColorIndex);
    fEntries.erase(fEntries.begin() + index);
    fEntries.push_back({});
    --fCount;
    Optimized = false;
    Changed();
}

int TGIFColorMap::IndexOf(TColor color) const {
    const TGIFColor c{ColorR(color), ColorG(color), ColorB(color)};
    if (Optimized) {
        for (int i = 0; i < fCount; ++i)
            if (fEntries[static_cast<std::size_t>(i)] == c) return i;
    } else {
        for (int i = fCount - 1; i >= 0; --i)
            if (fEntries[static_cast<std::size_t>(i)] == c) return i;
    }
    return -1;
}

void TGIFColorMap::Clear() {
    fEntries.clear();
    fCount = 0;
    Optimized = false;
}

template <class Entry>
void TGIFColorMap::LoadEntries(std::span<const Entry> entries) {
    Clear();
    const int n = static_cast<int>(std::min<std::size_t>(entries.size(), 256));
    Reserve(n);
    for (int i = 0; i < n; ++i) {
        const Entry& e = entries[static_cast<std::size_t>(i)];
        fEntries[static_cast<std::size_t>(i)] = {e.Red, e.Green, e.Blue};
    }
    fCount = n;
}

void TGIFColorMap::LoadPalette(std::span<const TPaletteEntry> palette) {
    LoadEntries(palette);
    if (fCount > 0) Changed();
}

void TGIFColorMap::LoadQuads(std::span<const TRGBQuad> quads) {
    LoadEntries(quads);
    Changed();
}

TPaletteEntries TGIFColorMap::MakePalette() const {
    TPaletteEntries palette;
    palette.reserve(static_cast<std::size_t>(fCount));
    for (const TGIFColor& c : Entries()) palette.push_back({c.Red, c.Green, c.Blue, 4});
    return palette;
}

int TGIFColorMap::BitsPerPixel() const {
    if (fCount == 0) return 0;
    int bits = 1;
    while ((1 << bits) < fCount) ++bits;
    return bits;
}

void TGIFColorMap::Assign(const TGIFColorMap& source) {
    if (&source == this) return;
    fEntries = source.fEntries;
    fCount = source.fCount;
    Optimized = source.Optimized;
    Changed();
}

void TGIFColorMap::LoadFromStream(ByteReader& stream, int count) {
    Clear();
    Reserve(count);
    std::span<const std::uint8_t> bytes;
    if (!stream.view(3ull * static_cast<std::uint64_t>(count), bytes)) throw GIFException(sGIFPrematureEnd);
    for (int i = 0; i < count; ++i)
        fEntries[static_cast<std::size_t>(i)] = {bytes[3 * i], bytes[3 * i + 1], bytes[3 * i + 2]};
    fCount = count;
}

void TGIFColorMap::SaveToStream(ByteWriter& stream) const {
    if (fCount == 0) return;
    for (const TGIFColor& c : Entries()) {
        stream.u8(c.Red);
        stream.u8(c.Green);
        stream.u8(c.Blue);
    }
    stream.fill(0, 3 * static_cast<std::size_t>((1 << BitsPerPixel()) - fCount));
}

bool TGIFColorMap::Optimize() {
    if (fCount <= 1) return false;
    Optimized = true;
    TGIFColorUses uses;
    for (int i = 0; i < 256; ++i) uses[static_cast<std::size_t>(i)] = {0, i};
    CountUse(uses);
    std::stable_sort(uses.begin(), uses.begin() + fCount,
                     [](const TGIFColorUse& a, const TGIFColorUse& b) { return a.Count > b.Count; });
    bool inOrder = true;
    for (int i = 0; i < fCount; ++i) inOrder = inOrder && uses[static_cast<std::size_t>(i)].Index == i;
    if (inOrder) return true;

    std::array<std::uint8_t, 256> map;
    for (int i = 0; i < 256; ++i) map[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    for (int i = 0; i < fCount; ++i)
        map[static_cast<std::size_t>(uses[static_cast<std::size_t>(i)].Index)] = static_cast<std::uint8_t>(i);
    RemapPixels(map);
    const std::vector<TGIFColor> old = fEntries;
    for (int i = 0; i < fCount; ++i)
        fEntries[static_cast<std::size_t>(i)] = old[static_cast<std::size_t>(uses[static_cast<std::size_t>(i)].Index)];
    for (int i = 0; i < fCount; ++i)
        if (uses[static_cast<std::size_t>(i)].Count == 0) {
            fCount = i;
            break;
        }
    Changed();
    return true;
}

namespace {

// The frames whose pixels index the global map.
template <class F>
void ForFramesUsingGlobalMap(TGIFImage& image, F&& f) {
    for (int i = 0; i < image.Images().Count(); ++i) {
        TGIFSubImage& frame = image.Images()[i];
        if (&frame.UsedColorMap() == &image.GlobalColorMap()) f(frame);
    }
}

void CountFrameUse(const TGIFSubImage& frame, TGIFColorUses& uses) {
    const std::uint8_t* p = frame.Data();
    for (std::uint64_t i = 0, n = frame.DataSize(); i < n; ++i) ++uses[p[i]].Count;
}

void RemapFrame(TGIFSubImage& frame, const std::array<std::uint8_t, 256>& map) {
    std::uint8_t* p = frame.Data();
    for (std::uint64_t i = 0, n = frame.DataSize(); i < n; ++i) p[i] = map[p[i]];
    if (TGIFGraphicControlExtension* gce = frame.GraphicControlExtension())
        gce->TransparentIndex = map[gce->TransparentIndex];
    frame.DropBitmap();
    frame.DropMask();
}

}  // namespace

void TGIFGlobalColorMap::Changed() {
    // Frames drawn with these colours are drawn again.
    ForFramesUsingGlobalMap(*fImage, [](TGIFSubImage& frame) {
        frame.DropBitmap();
        frame.fHasPalette = false;
    });
}

void TGIFGlobalColorMap::CountUse(TGIFColorUses& uses) const {
    ForFramesUsingGlobalMap(*fImage, [&](TGIFSubImage& frame) { CountFrameUse(frame, uses); });
}

void TGIFGlobalColorMap::RemapPixels(const std::array<std::uint8_t, 256>& map) {
    ForFramesUsingGlobalMap(*fImage, [&](TGIFSubImage& frame) { RemapFrame(frame, map); });
}

TGIFImage* TGIFLocalColorMap::WarningTarget() const { return &fFrame->Image(); }

void TGIFLocalColorMap::Changed() {
    fFrame->DropBitmap();
    fFrame->fHasPalette = false;
}

void TGIFLocalColorMap::CountUse(TGIFColorUses& uses) const { CountFrameUse(*fFrame, uses); }

void TGIFLocalColorMap::RemapPixels(const std::array<std::uint8_t, 256>& map) { RemapFrame(*fFrame, map); }

// ---------------------------------------------------------------------------
// Header.

void TGIFHeader::Clear() {
    fColorMap.Clear();
    Width = Height = 0;
    Packed = BackgroundColorIndex = AspectRatio = 0;
}

void TGIFHeader::Assign(const TGIFHeader& source) {
    Width = source.Width;
    Height = source.Height;
    Packed = source.Packed;
    BackgroundColorIndex = source.BackgroundColorIndex;
    AspectRatio = source.AspectRatio;
    fColorMap.Assign(source.fColorMap);
}

void TGIFHeader::Prepare() {
    Packed = 0;
    if (fColorMap.Count() > 0) {
        // The size field describes the table written after the header: the global map's own.
        Packed = static_cast<std::uint8_t>(0x80 | (fColorMap.Optimized ? 0x08 : 0) | ((fColorMap.BitsPerPixel() - 1) & 7));
    }
    Packed = static_cast<std::uint8_t>(Packed | ((fImage->ColorResolution() * 16) & 0x70));
}

void TGIFHeader::LoadFromStream(ByteReader& stream) {
    const std::uint64_t start = stream.pos();
    std::array<char, 6> signature{};
    if (!stream.bytes(signature.data(), signature.size())) throw GIFException(sGIFPrematureEnd);
    if (std::memcmp(signature.data(), "GIF", 3) != 0) {
        stream.seek(start);
        if (!stream.skip(4) || !stream.bytes(signature.data(), signature.size()))
            throw GIFException(sGIFPrematureEnd);
        if (std::memcmp(signature.data(), "GIF", 3) != 0) throw GIFException(sGIFBadSignature);
    }
    if (!stream.u16le(Width) || !stream.u16le(Height) || !stream.u8(Packed) || !stream.u8(BackgroundColorIndex) ||
        !stream.u8(AspectRatio))
        throw GIFException(sGIFPrematureEnd);
    // The logical screen is what a viewer allocates to show the frames.
    if (static_cast<std::uint64_t>(Width) * Height > fImage->Limits.pixels) throw GIFLimitException();
    if (Packed & 0x80) {
        const int count = 2 << (Packed & 7);
        if (count < 2 || count > 256) throw GIFException(sGIFBadScreenColors);
        fColorMap.LoadFromStream(stream, count);
    } else {
        fColorMap.Clear();
    }
}

void TGIFHeader::SaveToStream(ByteWriter& stream) {
    const int version = fImage->Version();
    if (version == 0) throw GIFException(sGIFUnsupportedVersion);
    stream.text(version == 1 ? "GIF87a" : "GIF89a");
    Prepare();
    stream.u16le(Width);
    stream.u16le(Height);
    stream.u8(Packed);
    stream.u8(BackgroundColorIndex);
    stream.u8(AspectRatio);
    if (Packed & 0x80) fColorMap.SaveToStream(stream);
}

// ---------------------------------------------------------------------------
// Frame list.

int TGIFImageList::Add(std::unique_ptr<TGIFSubImage> frame) {
    fItems.push_back(std::move(frame));
    return Count() - 1;
}

void TGIFImageList::Delete(int index) { fItems.erase(fItems.begin() + index); }

void TGIFImageList::Clear() {
    while (!fItems.empty()) fItems.pop_back();
}

int TGIFImageList::IndexOf(const TGIFSubImage& frame) const {
    for (int i = 0; i < Count(); ++i)
        if (fItems[static_cast<std::size_t>(i)].get() == &frame) return i;
    return -1;
}

namespace {

// The next block byte, past any zero bytes; false at the end of the stream.
bool NextBlockByte(ByteReader& stream, std::uint8_t& b) {
    while (stream.u8(b))
        if (b != 0) return true;
    return false;
}

}  // namespace

void TGIFImageList::LoadFromStream(ByteReader& stream) { LoadFromStream(stream, -1); }

void TGIFImageList::LoadFromStream(ByteReader& stream, int most) {
    std::uint8_t b = 0;
    if (!NextBlockByte(stream, b)) return;
    while (b != ';') {
        if (Count() == most) {
            stream.seek(stream.pos() - 1);
            return;
        }
        stream.seek(stream.pos() - 1);
        if (b != '!' && b != ',') {
            fImage->Warning(this, 1, sGIFUnknownBlock);
            return;  // the trailer reads this byte
        }
        fImage->ChargeFrame();
        auto frame = std::make_unique<TGIFSubImage>(*fImage);
        frame->LoadFromStream(stream);
        fItems.push_back(std::move(frame));
        const int percent = stream.size() > 0x7FFFFFFF
                                ? static_cast<int>(stream.pos() * 100 / stream.size())
                                : MulDiv(static_cast<int>(stream.pos()), 100, static_cast<int>(stream.size()));
        fImage->Progress(fImage, psRunning, percent, GIFRenderFramesOnLoad, sGIFLoading);
        if (!NextBlockByte(stream, b)) return;
    }
    stream.seek(stream.pos() - 1);
}

void TGIFImageList::SaveToStream(ByteWriter& stream) const {
    for (int i = 0; i < Count(); ++i) {
        fItems[static_cast<std::size_t>(i)]->SaveToStream(stream);
        fImage->Progress(fImage, psRunning, (i + 1) * 100 / Count(), false, sGIFSaving);
    }
}

// ---------------------------------------------------------------------------
// Image.

TGIFImage::TGIFImage()
    : DrawOptions(GIFImageDefaults.DrawOptions),
      ColorReduction(GIFImageDefaults.ColorReduction),
      ReductionBits(GIFImageDefaults.ReductionBits),
      DitherMode(GIFImageDefaults.DitherMode),
      Compression(GIFImageDefaults.Compression),
      ThreadPriority(GIFImageDefaults.ThreadPriority),
      AnimationSpeed(GIFImageDefaults.AnimationSpeed),
      FixedFrame(GIFImageDefaults.FixedFrame),
      PaintBackgroundColor(GIFImageDefaults.PaintBackgroundColor),
      fHeader(*this),
      fImages(*this) {}

TGIFImage::~TGIFImage() { fImages.Clear(); }

std::vector<int> TGIFImage::PictureFrames() const {
    std::vector<int> out;
    for (int i = 0; i < fImages.Count(); ++i)
        if (!fImages[i].Empty()) out.push_back(i);
    return out;
}

int TGIFImage::Version() const {
    int version = 0;
    for (int i = 0; i < fImages.Count() && version < 2; ++i) version = std::max(version, fImages[i].GetVersion());
    return version;
}

// Only the maps that are written count: an empty frame is written without its
// map, and a header or code size sized by that map would not read back.
int TGIFImage::ColorResolution() const {
    int r = fHeader.ColorResolution();
    for (int i = 0; i < fImages.Count(); ++i)
        if (!fImages[i].Empty()) r = std::max(r, fImages[i].ColorResolution());
    return r;
}

int TGIFImage::BitsPerPixel() const {
    int b = fHeader.BitsPerPixel();
    for (int i = 0; i < fImages.Count(); ++i)
        if (!fImages[i].Empty()) b = std::max(b, fImages[i].BitsPerPixel());
    return b;
}

void TGIFImage::LoadFromStream(ByteReader& stream) { Load(stream, -1); }

void TGIFImage::LoadFirstFrame(ByteReader& stream) { Load(stream, 1); }

void TGIFImage::Load(ByteReader& stream, int mostFrames) {
    Progress(this, psStarting, 0, false, sGIFLoading);
    fLoading = true;
    fChargedFrameBytes = fChargedExtensionBytes = fChargedExtensions = fChargedFrames = 0;
    try {
        Clear();
        fHeader.LoadFromStream(stream);
        fImages.LoadFromStream(stream, mostFrames);
        std::uint8_t trailer = 0;
        if (fImages.Count() != mostFrames && stream.u8(trailer) && trailer != ';') Warning(this, 1, sGIFBadTrailer);
    } catch (...) {
        fLoading = false;
        Progress(this, psEnding, 0, false, sGIFLoading);
        throw;
    }
    fLoading = false;
    Progress(this, psEnding, 100, false, sGIFLoading);
}

void TGIFImage::SaveToStream(ByteWriter& stream) {
    Progress(this, psStarting, 0, false, sGIFSaving);
    try {
        fHeader.SaveToStream(stream);
        fImages.SaveToStream(stream);
        stream.u8(';');
    } catch (...) {
        Progress(this, psEnding, 0, false, sGIFSaving);
        throw;
    }
    Progress(this, psEnding, 100, false, sGIFSaving);
}

bool TGIFImage::LoadFile(const std::string& path, FileError* error, int mostFrames) {
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(path, bytes, Limits.fileSize, error)) return false;
    ByteReader reader(bytes);
    Load(reader, mostFrames);
    return true;
}

bool TGIFImage::LoadFromFile(const std::string& path, FileError* error) { return LoadFile(path, error, -1); }

bool TGIFImage::LoadFirstFrameFromFile(const std::string& path, FileError* error) { return LoadFile(path, error, 1); }

bool TGIFImage::SaveToFile(const std::string& path, FileError* error) {
    ByteWriter out;
    SaveToStream(out);
    return WriteWholeFile(path, out.buffer(), error);
}

void TGIFImage::Clear() {
    fImages.Clear();
    fHeader.ColorMap().Clear();
    fHeader.Width = fHeader.Height = 0;
    fHeader.Prepare();
}

TPaletteEntries TGIFImage::GetPalette() {
    if (fInPalette) throw GIFException(sGIFNoColorTable);
    fInPalette = true;
    struct Guard {
        bool& flag;
        ~Guard() { flag = false; }
    } guard{fInPalette};
    if (GlobalColorMap().Count() > 0) return GlobalColorMap().MakePalette();
    if (!Empty()) return fImages[0].GetPalette();
    return {};
}

void TGIFImage::Warning(const void* sender, int severity, const std::string& message) {
    if (OnWarning) OnWarning(sender, severity, message);
}

void TGIFImage::Progress(const void* sender, TProgressStage stage, int percent, bool redrawNow,
                         const std::string& message) {
    if (OnProgress) OnProgress(sender, stage, percent, redrawNow, TRect{}, message);
}

void TGIFImage::ChargePixels(std::uint64_t pixels) {
    if (!fLoading) return;
    if (pixels > Limits.gifFrameBytes || fChargedFrameBytes > Limits.gifFrameBytes - pixels) throw GIFLimitException();
    fChargedFrameBytes += pixels;
}

void TGIFImage::ChargeFrame() {
    if (fLoading && ++fChargedFrames > Limits.gifFrames) throw GIFLimitException();
}

void TGIFImage::ChargeExtension() {
    if (fLoading && ++fChargedExtensions > Limits.gifExtensions) throw GIFLimitException();
}

void TGIFImage::ChargeExtensionBytes(std::uint64_t bytes) {
    if (!fLoading) return;
    if (bytes > Limits.gifExtensionBytes || fChargedExtensionBytes > Limits.gifExtensionBytes - bytes)
        throw GIFLimitException();
    fChargedExtensionBytes += bytes;
}

}  // namespace velto
