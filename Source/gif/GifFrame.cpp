// Frames: descriptor, pixels, reading and writing, bounds, rendering to a
// bitmap with its transparency mask, assignment, trimming and blanking.
#include <algorithm>
#include <cstring>
#include <new>

#include "gif/GifImage.h"
#include "gif/GifLzw.h"
#include "platform/PixelRows.h"

namespace velto {

namespace {

constexpr int kMaxSide = 65535;

// The colour at index when the map holds it.
bool MapColor(const TGIFColorMap& map, int index, TGIFColor& out) {
    if (index < 0 || index >= map.Count()) return false;
    out = map.Entries()[static_cast<std::size_t>(index)];
    return true;
}

}  // namespace

TGIFSubImage::TGIFSubImage(TGIFImage& image) : fImage(&image), fColorMap(*this), fExtensions(*this) {}

TGIFSubImage::~TGIFSubImage() { fExtensions.Clear(); }

const TGIFColorMap& TGIFSubImage::UsedColorMap() const {
    if (fColorMap.Count() > 0) return fColorMap;
    if (fImage->GlobalColorMap().Count() > 0) return fImage->GlobalColorMap();
    return fColorMap;
}

TGIFColorMap& TGIFSubImage::UsedColorMap() {
    return const_cast<TGIFColorMap&>(static_cast<const TGIFSubImage&>(*this).UsedColorMap());
}

int TGIFSubImage::GetVersion() const { return fColorMap.Optimized || fExtensions.Count() > 0 ? 2 : 1; }

void TGIFSubImage::SetInterlaced(bool on) {
    fDescriptor.PackedFields = static_cast<std::uint8_t>(on ? fDescriptor.PackedFields | 0x40
                                                            : fDescriptor.PackedFields & ~0x40);
}

// ---------------------------------------------------------------------------
// Pixels.

void TGIFSubImage::AllocPixels() {
    FreePixels();
    const std::uint64_t n = static_cast<std::uint64_t>(Width()) * static_cast<std::uint64_t>(Height());
    if (n == 0) return;
    if (n > fImage->Limits.pixels) throw GIFLimitException();
    fImage->ChargePixels(n);
    try {
        fPixels.assign(static_cast<std::size_t>(n), 0);
    } catch (const std::bad_alloc&) {
        throw GIFLimitException();
    }
}

void TGIFSubImage::FreePixels() {
    fPixels.clear();
    fPixels.shrink_to_fit();
}

void TGIFSubImage::EnsurePixels() {
    if (!fPixels.empty()) return;
    if (Width() == 0 || Height() == 0) throw GIFException(sGIFImageEmpty);
    AllocPixels();
}

std::uint8_t TGIFSubImage::Pixels(int x, int y) const { return Scanline(y)[CheckedColumn(x)]; }

void TGIFSubImage::SetPixels(int x, int y, std::uint8_t value) {
    Scanline(y)[CheckedColumn(x)] = value;
    DropBitmap();
    DropMask();
}

const std::uint8_t* TGIFSubImage::Scanline(int y) const {
    if (fPixels.empty()) throw GIFException(sGIFImageEmpty);
    if (y < 0 || y >= Height()) throw GIFException(sGIFBadPixelCoord);
    return fPixels.data() + static_cast<std::uint64_t>(y) * static_cast<std::uint64_t>(Width());
}

std::uint8_t* TGIFSubImage::Scanline(int y) {
    return const_cast<std::uint8_t*>(static_cast<const TGIFSubImage&>(*this).Scanline(y));
}

int TGIFSubImage::CheckedColumn(int x) const {
    if (x < 0 || x >= Width()) throw GIFException(sGIFBadPixelCoord);
    return x;
}

// ---------------------------------------------------------------------------
// Bounds.

void TGIFSubImage::SetBounds(int left, int top, int width, int height) {
    left = std::clamp(left, 0, kMaxSide);
    top = std::clamp(top, 0, kMaxSide);
    width = std::clamp(width, 0, kMaxSide);
    height = std::clamp(height, 0, kMaxSide);
    const bool resized = width != Width() || height != Height();
    fDescriptor.Left = static_cast<std::uint16_t>(left);
    fDescriptor.Top = static_cast<std::uint16_t>(top);
    fDescriptor.Width = static_cast<std::uint16_t>(width);
    fDescriptor.Height = static_cast<std::uint16_t>(height);
    if (resized) {
        DropBitmap();
        DropMask();
        AllocPixels();
    }
    // The logical screen grows to hold the frame (as far as the format can say).
    TGIFHeader& header = fImage->Header();
    bool warned = false;
    if (header.Width < left + width) {
        if (header.Width > 0) {
            fImage->Warning(this, 1, sGIFScreenWidth);
            warned = true;
        }
        header.Width = static_cast<std::uint16_t>(std::min(kMaxSide, left + width));
    }
    if (header.Height < top + height) {
        if (header.Height > 0) {
            fImage->Warning(this, 1, sGIFScreenHeight);
            warned = true;
        }
        header.Height = static_cast<std::uint16_t>(std::min(kMaxSide, top + height));
    }
    if (warned) fImage->Warning(this, 1, sGIFScreenExceeded);
}

// ---------------------------------------------------------------------------
// Reading and writing.

void TGIFSubImage::Clear() {
    fExtensions.Clear();
    fColorMap.Clear();
    FreePixels();
    fDescriptor.Width = fDescriptor.Height = 0;
    fTransparent = false;
    fGCE = nullptr;
    DropBitmap();
    DropMask();
    fHasPalette = false;
}

void TGIFSubImage::LoadFromStream(ByteReader& stream) {
    Clear();
    fExtensions.LoadFromStream(stream);
    std::uint8_t next = 0;
    if (!stream.u8(next)) return;
    stream.seek(stream.pos() - 1);
    if (next == ';' || next == 0) return;  // a frame of extensions only

    std::uint8_t separator = 0;
    if (!stream.u8(separator) || !stream.u16le(fDescriptor.Left) || !stream.u16le(fDescriptor.Top) ||
        !stream.u16le(fDescriptor.Width) || !stream.u16le(fDescriptor.Height) || !stream.u8(fDescriptor.PackedFields))
        throw GIFException(sGIFPrematureEnd);
    if (fDescriptor.Width == 0 || fDescriptor.Height == 0) {
        fDescriptor.Width = fImage->Header().Width;
        fDescriptor.Height = fImage->Header().Height;
        fImage->Warning(this, 1, sGIFScreenExceeded);
    }
    if (fDescriptor.PackedFields & 0x80) {
        const int count = 2 << (fDescriptor.PackedFields & 7);
        if (count < 2 || count > 256) throw GIFException(sGIFBadImageColors);
        fColorMap.LoadFromStream(stream, count);
    }

    AllocPixels();
    if (fTransparent && fGCE) std::fill(fPixels.begin(), fPixels.end(), fGCE->TransparentIndex);
    DecodeLZW(stream, fPixels.data(), Width(), Height(), Interlaced(),
              [this](int severity, const std::string& message) { fImage->Warning(this, severity, message); });
    if (GIFRenderFramesOnLoad) Bitmap();
}

void TGIFSubImage::SaveToStream(ByteWriter& stream) {
    fExtensions.SaveToStream(stream);
    if (Empty()) return;
    std::uint8_t& packed = fDescriptor.PackedFields;
    if (fColorMap.Count() > 0)
        packed = static_cast<std::uint8_t>(0x80 | (fColorMap.Optimized ? 0x20 : 0) | (ColorResolution() & 7) |
                                           (packed & 0x58));
    else
        packed = static_cast<std::uint8_t>(packed & 0x58);
    stream.u8(',');
    stream.u16le(fDescriptor.Left);
    stream.u16le(fDescriptor.Top);
    stream.u16le(fDescriptor.Width);
    stream.u16le(fDescriptor.Height);
    stream.u8(packed);
    fColorMap.SaveToStream(stream);

    int bits = fColorMap.BitsPerPixel(), colors = fColorMap.Count();
    if (colors == 0) {
        bits = fImage->BitsPerPixel();
        colors = 1 << bits;
    }
    if (fImage->Compression == 1) {
        TRLEEncoder encoder;
        encoder.Encode(stream, bits, colors, fPixels.data(), Interlaced(), Height(), Width());
    } else {
        TLZWEncoder encoder;
        encoder.Encode(stream, bits, colors, fPixels.data(), Interlaced(), Height(), Width());
    }
}

// ---------------------------------------------------------------------------
// Rendering.

const TBitmap* TGIFSubImage::Bitmap() {
    if (fBitmap) return fBitmap.get();
    if (Empty()) return nullptr;
    fImage->Progress(this, psStarting, 0, false, sGIFRendering);
    try {
        // Dithered rendering for palette displays is not done here: frames render plain.
        Render();
    } catch (...) {
        fImage->Progress(this, psEnding, 0, false, sGIFRendering);
        throw;
    }
    fImage->Progress(this, psEnding, 100, false, sGIFRendering);
    return fBitmap.get();
}

void TGIFSubImage::Render() {
    auto bitmap = std::make_unique<TBitmap>();
    if (!bitmap->Allocate(Width(), Height(), pf8bit)) throw GIFException(sGIFOutOfMemory);
    bitmap->SetPalette(GetPalette());
    const auto w = static_cast<std::size_t>(Width());
    for (int y = 0; y < Height(); ++y) {
        std::memcpy(bitmap->ScanLine(y), fPixels.data() + static_cast<std::uint64_t>(y) * w, w);
        if (y % 32 == 0) fImage->Progress(this, psRunning, y * 100 / Height(), false, sGIFRendering);
    }
    fBitmap = std::move(bitmap);
    BuildMask();
}

void TGIFSubImage::BuildMask() {
    if (!fNeedMask || !fTransparent || !fGCE || fPixels.empty()) return;
    fNeedMask = false;
    const std::uint8_t t = fGCE->TransparentIndex;
    auto mask = std::make_unique<TBitmap>();
    if (!mask->Allocate(Width(), Height(), pf1bit)) throw GIFException(sGIFOutOfMemory);
    bool any = false;
    for (int y = 0; y < Height(); ++y) {
        const std::uint8_t* src = fPixels.data() + static_cast<std::uint64_t>(y) * static_cast<std::uint64_t>(Width());
        std::uint8_t* row = mask->ScanLine(y);
        for (int x = 0; x < Width(); ++x)
            if (src[x] == t) {
                OrPackedPixel(row, static_cast<std::size_t>(x), 1, 1);
                any = true;
            }
    }
    if (any) fMask = std::move(mask);
}

void TGIFSubImage::DropBitmap() { fBitmap.reset(); }

bool TGIFSubImage::MaskReady() {
    if (fNeedMask && fTransparent) {
        if (fBitmap) BuildMask();
        else Bitmap();
    }
    return fMask != nullptr;
}

void TGIFSubImage::DropMask() {
    fMask.reset();
    fNeedMask = true;
}

TPaletteEntries TGIFSubImage::GetPalette() {
    if (fBitmap) return fBitmap->Palette();
    if (fHasPalette) return fPalette;
    if (fColorMap.Count() == 0) return fImage->GetPalette();
    fPalette = fColorMap.MakePalette();
    fHasPalette = true;
    return fPalette;
}

void TGIFSubImage::SetPalette(std::span<const TPaletteEntry> palette) {
    const TPaletteEntries entries(palette.begin(), palette.end());
    if (fHasPalette && fPalette == entries) return;
    fPalette = entries;
    fHasPalette = true;
    if (fBitmap && fBitmap->Palette() != entries) DropBitmap();
}

// ---------------------------------------------------------------------------
// Assignment.

void TGIFSubImage::Assign(const TGIFSubImage* source) {
    if (source == this) return;
    Clear();
    if (!source || source->Empty()) return;
    fDescriptor = source->fDescriptor;
    fTransparent = source->fTransparent;
    fPixels = source->fPixels;
    fColorMap.Assign(source->fColorMap);
    // Extensions are copied by writing and reading them back.
    ByteWriter copy;
    source->fExtensions.SaveToStream(copy);
    ByteReader reader(copy.buffer());
    fExtensions.LoadFromStream(reader);
    if (source->fExtensions.Count() == 0 && source->fBitmap) fBitmap = std::make_unique<TBitmap>(*source->fBitmap);
}

void TGIFSubImage::Assign(const TBitmap& source) {
    Clear();
    if (source.Empty()) return;
    const TPixelFormat pf = source.PixelFormat();
    TBitmap bitmap = pf == pf1bit || pf == pf4bit || pf == pf8bit
                         ? source
                         : ReduceColors(source, static_cast<TReductionMethod>(fImage->ColorReduction),
                                        static_cast<TDitherKind>(fImage->DitherMode), fImage->ReductionBits);
    // A reduction that gives no pixels (an unknown method) leaves the frame empty.
    if (bitmap.Width() != source.Width() || bitmap.Height() != source.Height()) return;
    SetBounds(Left(), Top(), source.Width(), source.Height());
    fImage->Progress(this, psStarting, 0, false, sGIFConverting);
    try {
        AssignIndexed(bitmap);
    } catch (...) {
        fImage->Progress(this, psEnding, 0, false, sGIFConverting);
        throw;
    }
    fImage->Progress(this, psEnding, 100, false, sGIFConverting);
}

void TGIFSubImage::AssignIndexed(const TBitmap& bitmap) {
    const int w = Width(), h = Height();
    const TPixelFormat pf = bitmap.PixelFormat();
    TBitmap direct;
    if (pf == pf1bit || pf == pf4bit) {
        fColorMap.LoadPalette(bitmap.Palette());
    } else if (pf == pf8bit) {
        fColorMap.LoadQuads(bitmap.ColorTable());
    } else if (pf != pf24bit) {
        direct = bitmap;
        if (!direct.SetPixelFormat(pf24bit)) throw GIFException(sGIFOutOfMemory);
    }
    const TBitmap& rows = direct.Empty() ? bitmap : direct;
    const int bits = velto::BitsPerPixel(rows.PixelFormat());
    // Recent colours of a true-colour picture and their indices, searched from the last hit.
    std::array<std::uint32_t, 8> cacheColor;
    std::array<int, 8> cacheIndex{};
    cacheColor.fill(0xFFFFFFFFu);
    int last = 0, nextSlot = 0;
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* src = rows.ScanLine(y);
        std::uint8_t* dst = fPixels.data() + static_cast<std::uint64_t>(y) * static_cast<std::uint64_t>(w);
        if (bits <= 8) {
            UnpackPixels(src, static_cast<std::size_t>(w), bits, dst);
        } else {
            for (int x = 0; x < w; ++x, src += 3) {
                const TColor c = MakeColor(src[2], src[1], src[0]);
                int slot = last, k = 0;
                while (k < 8 && cacheColor[static_cast<std::size_t>(slot)] != ColorValue(c)) {
                    slot = (slot + 7) & 7;
                    ++k;
                }
                if (k == 8) {
                    slot = nextSlot;
                    nextSlot = (nextSlot + 1) & 7;
                    cacheColor[static_cast<std::size_t>(slot)] = ColorValue(c);
                    cacheIndex[static_cast<std::size_t>(slot)] = fColorMap.AddOrFind(c);
                }
                last = slot;
                dst[x] = static_cast<std::uint8_t>(cacheIndex[static_cast<std::size_t>(slot)]);
            }
        }
        if (y % 32 == 0) fImage->Progress(this, psRunning, y * 100 / h, false, sGIFConverting);
    }
}

int TGIFSubImage::PlayDelay(bool synchronous) const {
    if (!fGCE || fGCE->Delay == 0) return GIFDefaultDelay;
    const int delay = std::max<int>(fGCE->Delay, GIFMinimumDelay);
    return synchronous ? std::min(delay, GIFMaximumDelay) : delay;
}

// ---------------------------------------------------------------------------
// Trimming and blanking.

void TGIFSubImage::TrimTransparent() {
    if (!fTransparent || !fGCE || Empty()) return;
    const std::uint8_t t = fGCE->TransparentIndex;
    const int w = Width(), h = Height();
    int left = w, right = -1, top = h, bottom = -1;
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* row = fPixels.data() + static_cast<std::uint64_t>(y) * static_cast<std::uint64_t>(w);
        for (int x = 0; x < w; ++x)
            if (row[x] != t) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    }
    if (right < 0) {
        Clear();
        return;
    }
    const int nw = right - left + 1, nh = bottom - top + 1;
    if (nw == w && nh == h) return;
    std::vector<std::uint8_t> inner(static_cast<std::size_t>(nw) * static_cast<std::size_t>(nh));
    for (int y = 0; y < nh; ++y)
        std::memcpy(inner.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(nw),
                    fPixels.data() + static_cast<std::uint64_t>(y + top) * static_cast<std::uint64_t>(w) +
                        static_cast<std::uint64_t>(left),
                    static_cast<std::size_t>(nw));
    fPixels = std::move(inner);
    fDescriptor.Left = static_cast<std::uint16_t>(fDescriptor.Left + left);
    fDescriptor.Top = static_cast<std::uint16_t>(fDescriptor.Top + top);
    fDescriptor.Width = static_cast<std::uint16_t>(nw);
    fDescriptor.Height = static_cast<std::uint16_t>(nh);
    DropBitmap();
    DropMask();
}

void TGIFSubImage::BlankUnchanged(TGIFSubImage& previous) {
    if (Empty() || previous.Empty()) return;
    if (const TGIFGraphicControlExtension* g = previous.fGCE; g && (g->Disposal() == 2 || g->Disposal() == 3)) return;
    const TRect a = BoundsRect(), b = previous.BoundsRect();
    const int x0 = std::max(a.Left, b.Left), x1 = std::min(a.Right, b.Right);
    const int y0 = std::max(a.Top, b.Top), y1 = std::min(a.Bottom, b.Bottom);
    if (x0 >= x1 || y0 >= y1) return;

    const TGIFColorMap& ownMap = UsedColorMap();
    const TGIFColorMap& prevMap = previous.UsedColorMap();
    const int prevT = previous.fTransparent && previous.fGCE ? previous.fGCE->TransparentIndex : -1;
    int t = fTransparent && fGCE ? fGCE->TransparentIndex : -1;
    const bool hadTransparency = t >= 0;
    bool changed = false;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            std::uint8_t& p = fPixels[static_cast<std::size_t>(y - a.Top) * static_cast<std::size_t>(Width()) +
                                      static_cast<std::size_t>(x - a.Left)];
            const int q = previous.fPixels[static_cast<std::size_t>(y - b.Top) * static_cast<std::size_t>(previous.Width()) +
                                           static_cast<std::size_t>(x - b.Left)];
            if (p == t || q == prevT) continue;
            TGIFColor mine, theirs;
            if (!MapColor(ownMap, p, mine) || !MapColor(prevMap, q, theirs) || !(mine == theirs)) continue;
            if (t < 0 && (t = NewTransparentIndex()) < 0) return;
            p = static_cast<std::uint8_t>(t);
            changed = true;
        }
    if (!changed) return;
    if (!hadTransparency) {
        if (!fGCE) fExtensions.Add<TGIFGraphicControlExtension>();
        fGCE->SetTransparent(true);
        fGCE->TransparentIndex = static_cast<std::uint8_t>(t);
    }
    DropBitmap();
    DropMask();
}

int TGIFSubImage::NewTransparentIndex() {
    TGIFColorMap& map = fColorMap.Count() > 0 ? static_cast<TGIFColorMap&>(fColorMap) : fImage->GlobalColorMap();
    if (map.Count() < 1 || map.Count() > 255) return -1;
    if (&map == &fColorMap) return fColorMap.Add(clBlack);
    // Frames on the global map can share one transparent index.
    for (int i = 0; i < fImage->Images().Count(); ++i) {
        const TGIFSubImage& other = fImage->Images()[i];
        if (&other != this && other.fColorMap.Count() == 0 && other.fTransparent && other.fGCE)
            return other.fGCE->TransparentIndex;
    }
    return map.Add(clBlack);
}

}  // namespace velto
