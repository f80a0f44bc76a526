#pragma once
// The logical screen of a GIF as a player shows it after each frame: frames
// placed at their offsets and clipped to the screen, transparent pixels
// leaving what was there, and the disposal method of the frame shown before
// applied first (keep, restore the frame's area to the background, or restore
// the screen as it was before that frame). Straight RGBA, one contiguous
// buffer, top row first; a pixel holds either alpha 0 (background that lets
// the destination show) or 255.
//
// Palette indices beyond the colour map a frame uses read as opaque black,
// as does every index of a frame without any colour map: a broken file draws,
// it never stops a draw half-way.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "gif/GifImage.h"

namespace velto {

// Same byte order as the model's pixels (red first), so rows can be copied.
struct TGIFPixel {
    std::uint8_t R = 0, G = 0, B = 0, A = 0;
    friend bool operator==(const TGIFPixel&, const TGIFPixel&) = default;
};

struct TGIFCanvas {
    int Width = 0, Height = 0;
    std::vector<TGIFPixel> Pixels;  // Width x Height, row y at y * Width

    TGIFPixel& At(int x, int y) { return Pixels[Index(x, y)]; }
    const TGIFPixel& At(int x, int y) const { return Pixels[Index(x, y)]; }
    std::span<const TGIFPixel> Row(int y) const {
        return {Pixels.data() + Index(0, y), static_cast<std::size_t>(Width)};
    }

private:
    std::size_t Index(int x, int y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(Width) + static_cast<std::size_t>(x);
    }
};

struct TGIFComposeOptions {
    // What the screen holds before frame 0 and where a frame's area is
    // restored to the background. Transparent by default: the destination
    // shows there, as a player that draws with transparency shows it.
    TGIFPixel Background{};
    // Frames keep their transparent pixels out; off, those pixels show the
    // colour their index has in the map.
    bool Transparent = true;
};

// The colour a player without transparency restores to: the image's
// PaintBackgroundColor unless that is "none", else windowColor when the
// global colour map is empty, else the header's background colour. Opaque.
TGIFPixel GIFBackgroundPixel(const TGIFImage& image, TColor windowColor);

// Disposal method a frame leaves behind: its graphic control extension's
// (0 and values above 3 act as 1, keep), 1 without one.
std::uint8_t GIFFrameDisposal(const TGIFSubImage& frame);

// The colour each index of the frame draws with, as the composer draws it;
// alpha 0 marks the index left out (transparent, when `transparent`).
std::array<TGIFPixel, 256> GIFFrameColors(const TGIFSubImage& frame, bool transparent = true);
// The frame's rectangle cut to a logical screen of that size (empty when it
// lies wholly outside).
TRect GIFFrameArea(const TGIFSubImage& frame, int screenWidth, int screenHeight);

class TGIFComposer {
public:
    // The image must outlive the composer and keep its frames while it is
    // used. Raises GIFException ("Out of memory") when the logical screen is
    // beyond the image's pixel limit.
    explicit TGIFComposer(const TGIFImage& image, const TGIFComposeOptions& options = {});

    const TGIFCanvas& Canvas() const { return fCanvas; }
    // The frame drawn last; -1 after Reset.
    int Last() const { return fLast; }

    // The background everywhere, no frame drawn.
    void Reset();
    // The step a player makes to show frame index next: the frame drawn last
    // is disposed as its method says, then frame index is drawn over what
    // remains. Any order is allowed (a new pass of a loop starts again at
    // its first frame on the screen the last frame left). An index outside
    // the frames disposes the last one and draws nothing.
    void Step(int index);
    // The screen as a player shows frame index when the frames were played
    // in order from frame 0: continues from the frames already played in
    // order when it can, else starts again from the background.
    const TGIFCanvas& Compose(int index);

private:
    void Dispose();
    void Draw(const TGIFSubImage& frame);
    // The frame's rectangle cut to the screen.
    TRect Clipped(const TGIFSubImage& frame) const;

    const TGIFImage* fImage;
    TGIFComposeOptions fOptions;
    TGIFCanvas fCanvas;
    int fLast = -1;
    // Frames 0..fLast were drawn in that order since the last Reset.
    bool fInOrder = true;
    // Restore-to-previous: the area of the frame drawn last as it was before.
    TRect fSavedRect;
    std::vector<TGIFPixel> fSaved;
};

// Frame index of image as a player shows it, composed from frame 0 (one-shot
// form of TGIFComposer::Compose).
TGIFCanvas ComposeGIFFrame(const TGIFImage& image, int index, const TGIFComposeOptions& options = {});

}  // namespace velto
