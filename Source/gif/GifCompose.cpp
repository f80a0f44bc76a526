// Composing the frames of a GIF on its logical screen the way a player shows them.
#include "gif/GifCompose.h"

#include <algorithm>
#include <array>
#include <new>

namespace velto {

namespace {

constexpr TColor kNoColor = ColorFromValue(0x1FFFFFFF);
constexpr TGIFPixel kOpaqueBlack{0, 0, 0, 255};

TGIFPixel Opaque(TColor c) { return {ColorR(c), ColorG(c), ColorB(c), 255}; }

}  // namespace

std::array<TGIFPixel, 256> GIFFrameColors(const TGIFSubImage& frame, bool transparent) {
    std::array<TGIFPixel, 256> lut;
    lut.fill(kOpaqueBlack);
    const auto entries = frame.UsedColorMap().Entries();
    for (std::size_t i = 0; i < entries.size() && i < lut.size(); ++i)
        lut[i] = {entries[i].Red, entries[i].Green, entries[i].Blue, 255};
    if (transparent && frame.Transparent() && frame.GraphicControlExtension())
        lut[frame.GraphicControlExtension()->TransparentIndex].A = 0;
    return lut;
}

TRect GIFFrameArea(const TGIFSubImage& frame, int screenWidth, int screenHeight) {
    const TRect b = frame.BoundsRect();
    return {std::min(b.Left, screenWidth), std::min(b.Top, screenHeight), std::min(b.Right, screenWidth),
            std::min(b.Bottom, screenHeight)};
}

TGIFPixel GIFBackgroundPixel(const TGIFImage& image, TColor windowColor) {
    if (image.PaintBackgroundColor != kNoColor) return Opaque(image.PaintBackgroundColor);
    const auto entries = image.GlobalColorMap().Entries();
    if (entries.empty()) return Opaque(windowColor);
    const std::size_t index = image.Header().BackgroundColorIndex;
    if (index >= entries.size()) return kOpaqueBlack;
    return {entries[index].Red, entries[index].Green, entries[index].Blue, 255};
}

std::uint8_t GIFFrameDisposal(const TGIFSubImage& frame) {
    const TGIFGraphicControlExtension* gce = frame.GraphicControlExtension();
    const std::uint8_t d = gce ? gce->Disposal() : std::uint8_t{dmNoDisposal};
    return d == dmBackground || d == dmPrevious ? d : std::uint8_t{dmNoDisposal};
}

TGIFComposer::TGIFComposer(const TGIFImage& image, const TGIFComposeOptions& options)
    : fImage(&image), fOptions(options) {
    fCanvas.Width = image.Width();
    fCanvas.Height = image.Height();
    const std::uint64_t n = static_cast<std::uint64_t>(fCanvas.Width) * static_cast<std::uint64_t>(fCanvas.Height);
    if (n > image.Limits.pixels) throw GIFException(sGIFOutOfMemory);
    try {
        fCanvas.Pixels.assign(static_cast<std::size_t>(n), fOptions.Background);
    } catch (const std::bad_alloc&) {
        throw GIFException(sGIFOutOfMemory);
    }
}

void TGIFComposer::Reset() {
    std::fill(fCanvas.Pixels.begin(), fCanvas.Pixels.end(), fOptions.Background);
    fLast = -1;
    fInOrder = true;
    fSaved.clear();
}

TRect TGIFComposer::Clipped(const TGIFSubImage& frame) const {
    return GIFFrameArea(frame, fCanvas.Width, fCanvas.Height);
}

void TGIFComposer::Dispose() {
    if (fLast < 0 || fLast >= fImage->Images().Count()) return;
    const TGIFSubImage& frame = fImage->Images()[fLast];
    switch (GIFFrameDisposal(frame)) {
        case dmBackground: {
            // A screen 0 pixels wide (or high) has no pixel to restore.
            const TRect r = Clipped(frame);
            if (r.Width() <= 0 || r.Height() <= 0) break;
            for (int y = r.Top; y < r.Bottom; ++y)
                std::fill_n(&fCanvas.At(r.Left, y), r.Width(), fOptions.Background);
            break;
        }
        case dmPrevious: {
            const TRect& r = fSavedRect;
            if (fSaved.size() != static_cast<std::size_t>(r.Width()) * static_cast<std::size_t>(r.Height())) break;
            for (int y = r.Top; y < r.Bottom; ++y)
                std::copy_n(fSaved.data() + static_cast<std::size_t>(y - r.Top) * static_cast<std::size_t>(r.Width()),
                            r.Width(), &fCanvas.At(r.Left, y));
            break;
        }
        default: break;
    }
    fSaved.clear();
}

void TGIFComposer::Draw(const TGIFSubImage& frame) {
    const TRect r = Clipped(frame);
    if (r.Width() <= 0 || r.Height() <= 0) return;
    if (GIFFrameDisposal(frame) == dmPrevious) {
        fSavedRect = r;
        fSaved.resize(static_cast<std::size_t>(r.Width()) * static_cast<std::size_t>(r.Height()));
        for (int y = r.Top; y < r.Bottom; ++y)
            std::copy_n(&fCanvas.At(r.Left, y), r.Width(),
                        fSaved.data() + static_cast<std::size_t>(y - r.Top) * static_cast<std::size_t>(r.Width()));
    }
    if (frame.Empty()) return;
    const std::array<TGIFPixel, 256> lut = GIFFrameColors(frame, fOptions.Transparent);
    for (int y = r.Top; y < r.Bottom; ++y) {
        const std::uint8_t* src = frame.Scanline(y - frame.Top());
        TGIFPixel* dst = &fCanvas.At(r.Left, y);
        for (int x = 0; x < r.Width(); ++x) {
            const TGIFPixel& c = lut[src[x]];
            if (c.A != 0) dst[x] = c;
        }
    }
}

void TGIFComposer::Step(int index) {
    Dispose();
    if (index != fLast + 1) fInOrder = false;
    fLast = index;
    if (index < 0 || index >= fImage->Images().Count()) return;
    Draw(fImage->Images()[index]);
}

const TGIFCanvas& TGIFComposer::Compose(int index) {
    if (!fInOrder || fLast > index) Reset();
    while (fLast < index) Step(fLast + 1);
    return fCanvas;
}

TGIFCanvas ComposeGIFFrame(const TGIFImage& image, int index, const TGIFComposeOptions& options) {
    TGIFComposer composer(image, options);
    composer.Compose(index);
    return composer.Canvas();
}

}  // namespace velto
