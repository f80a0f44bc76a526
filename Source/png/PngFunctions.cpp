#include "png/PngFunctions.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "png/PngDraw.h"

namespace velto {

namespace {

void TransformColour(std::uint8_t& r, std::uint8_t& g, std::uint8_t& b, std::uint8_t amount) {
    const int grey = GreyOf(r, g, b);
    r = GreyedChannel(r, grey, amount);
    g = GreyedChannel(g, grey, amount);
    b = GreyedChannel(b, grey, amount);
}

// A 24-bit copy of a bitmap of another depth (the bitmap itself when it has 24).
const TBitmap& AsDirect(const TBitmap& source, TBitmap& holder) {
    if (source.PixelFormat() == pf24bit || source.PixelFormat() == pf32bit) return source;
    holder = source;
    if (!holder.SetPixelFormat(pf24bit)) throw EPNGOutMemory(EPNGOutMemoryText);
    return holder;
}

// An RGB image of the bitmap with an alpha plane from alphaOf(x, y).
template <class AlphaOf>
std::unique_ptr<TPNGObject> WithAlpha(const TBitmap& bitmap, AlphaOf alphaOf) {
    TBitmap holder;
    auto png = std::make_unique<TPNGObject>();
    png->Assign(AsDirect(bitmap, holder));
    png->CreateAlpha();
    for (int y = 0; y < png->Height(); ++y) {
        std::uint8_t* a = png->AlphaScanline(y);
        for (int x = 0; x < png->Width(); ++x) a[x] = alphaOf(x, y);
    }
    return png;
}

// The work bitmap with its mask as the image: RGB, or RGBA when useAlpha.
std::unique_ptr<TPNGObject> FromWork(const TBitmap& work, const std::vector<std::uint8_t>& mask, bool useAlpha) {
    auto png = std::make_unique<TPNGObject>();
    png->Assign(work);
    if (useAlpha) {
        png->CreateAlpha();
        const auto w = static_cast<std::size_t>(work.Width());
        for (int y = 0; y < work.Height(); ++y)
            std::memcpy(png->AlphaScanline(y), mask.data() + static_cast<std::size_t>(y) * w, w);
    }
    return png;
}

TBitmap WorkBitmap(int w, int h) {
    TBitmap work;
    if (!work.Allocate(w, h, pf24bit)) throw EPNGOutMemory(EPNGOutMemoryText);
    return work;
}

}  // namespace

void MakeImageHalfTransparent(TPNGObject& png, std::uint8_t amount) {
    if (!png.HeaderPresent()) return;
    const bool bit = png.TransparencyMode() == 1;
    const TColor key = png.TransparentColor();
    TChunkIHDR& h = png.GetHeader();
    const int w = h.Width, ht = h.Height;
    if (h.ColorType == COLOR_GRAYSCALE || h.ColorType == COLOR_PALETTE) {
        // Grey and palette images cannot carry an alpha per pixel: the image is
        // rebuilt as RGBA from its colours.
        TPNGObject rgba;
        rgba.CreateBlank(COLOR_RGBALPHA, 8, w, ht);
        for (int y = 0; y < ht; ++y) {
            std::uint8_t* row = rgba.Scanline(y);
            std::uint8_t* alpha = rgba.AlphaScanline(y);
            for (int x = 0; x < w; ++x) {
                const TColor c = png.GetPixels(x, y);
                row[3 * x] = ColorB(c), row[3 * x + 1] = ColorG(c), row[3 * x + 2] = ColorR(c);
                alpha[x] = bit && c == key ? 0 : amount;
            }
        }
        png.Assign(rgba);
        return;
    }
    if (h.ColorType == COLOR_RGB) png.CreateAlpha();
    if (h.ColorType != COLOR_RGBALPHA && h.ColorType != COLOR_GRAYSCALEALPHA) return;
    for (int y = 0; y < ht; ++y) {
        std::uint8_t* alpha = png.AlphaScanline(y);
        if (!alpha) continue;
        for (int x = 0; x < w; ++x)
            alpha[x] = bit && png.GetPixels(x, y) == key ? 0 : FadedAlpha(alpha[x], amount);
    }
}

void MakeDisabledImage(TPNGObject& png, std::uint8_t amount) {
    if (!png.HeaderPresent()) return;
    TChunkIHDR& h = png.GetHeader();
    switch (h.ColorType) {
        case COLOR_PALETTE: {
            TPaletteEntries palette = png.Palette();
            if (palette.size() > 256) palette.resize(256);
            for (TPaletteEntry& e : palette) TransformColour(e.Red, e.Green, e.Blue, amount);
            png.SetPalette(palette);
            break;
        }
        case COLOR_RGB:
        case COLOR_RGBALPHA:
            for (int y = 0; y < h.Height; ++y) {
                std::uint8_t* p = png.Scanline(y);
                for (int x = 0; x < h.Width; ++x, p += 3) TransformColour(p[2], p[1], p[0], amount);
            }
            break;
        default: break;  // grey already
    }
}

std::unique_ptr<TPNGObject> DisabledCopy(const TPNGObject& png, TPngOptions options) {
    auto copy = std::make_unique<TPNGObject>();
    copy->Assign(png);
    if (options & pngBlendOnDisabled) MakeImageHalfTransparent(*copy, 127);
    if (options & pngGrayscaleOnDisabled) MakeDisabledImage(*copy, 255);
    return copy;
}

void DrawPNG(const TPNGObject& png, TCanvas& canvas, const TRect& rect, TPngOptions options) {
    if (options == 0) {
        DrawPng(png, canvas, rect);
        return;
    }
    DrawPng(*DisabledCopy(png, options), canvas, rect);
}

std::unique_ptr<TPNGObject> ConvertToPNG(const TPNGObject& source) {
    auto png = std::make_unique<TPNGObject>();
    png->Assign(source);
    return png;
}

std::unique_ptr<TPNGObject> ConvertToPNG(const TBitmap& source) {
    const int w = source.Width(), h = source.Height();
    TBitmap work = WorkBitmap(w, h);
    std::vector<std::uint8_t> mask(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 255);
    bool useAlpha = false;
    work.Canvas().Draw(0, 0, source);
    if (source.Transparent()) {
        const TColor key = source.TransparentColor();
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (source.Canvas().Pixels(x, y) == key) {
                    mask[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)] = 0;
                    useAlpha = true;
                }
    }
    return FromWork(work, mask, useAlpha);
}

std::unique_ptr<TPNGObject> ConvertIconToPNG(const TBitmap& color, const TBitmap& mask) {
    const int w = color.Width(), h = color.Height();
    TBitmap work = WorkBitmap(w, h);
    work.Canvas().Draw(0, 0, color);
    std::vector<std::uint8_t> plane(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 255);
    bool useAlpha = false;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const TColor m = mask.Canvas().Pixels(x, y);
            if (m != clBlack && m != clInvalidPixel) {
                plane[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)] = 0;
                useAlpha = true;
            }
        }
    if (color.PixelFormat() == pf32bit) {
        useAlpha = true;
        bool anyAlpha = false;
        for (int y = 0; y < h && !anyAlpha; ++y) {
            const std::uint8_t* row = color.ScanLine(y);
            for (int x = 0; x < w && !anyAlpha; ++x) anyAlpha = row[4 * x + 3] != 0;
        }
        if (anyAlpha)
            for (int y = 0; y < h; ++y) {
                const std::uint8_t* row = color.ScanLine(y);
                for (int x = 0; x < w; ++x)
                    plane[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)] =
                        row[4 * x + 3];
            }
    }
    return FromWork(work, plane, useAlpha);
}

std::unique_ptr<TPNGObject> CreatePNG(const TBitmap& color, const TBitmap& mask, bool inverseMask) {
    return WithAlpha(color, [&](int x, int y) {
        const std::uint8_t v = ColorR(mask.Canvas().Pixels(x, y));
        return static_cast<std::uint8_t>(inverseMask ? 255 - v : v);
    });
}

std::unique_ptr<TPNGObject> CreatePNGMasked(const TBitmap& bitmap, TColor transparentColor) {
    return WithAlpha(bitmap, [&](int x, int y) {
        return static_cast<std::uint8_t>(bitmap.Canvas().Pixels(x, y) == transparentColor ? 0 : 255);
    });
}

}  // namespace velto
