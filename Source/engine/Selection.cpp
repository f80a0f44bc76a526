// The floating selection: lift, resize, compositing into an image, and the drop.
#include "engine/Selection.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "engine/Composite.h"
#include "engine/Transform.h"

namespace velto {

namespace {

// Taken as the selection's own pixels: 32 bits, no palette.
void MakePlain32(TmyImagePal& image) {
    image.BitCount = 32;
    image.Palette.reset();
}

}  // namespace

TSelRect RectBetween(TPoint a, TPoint b) {
    return {std::min(a.X, b.X), std::min(a.Y, b.Y), std::max(a.X, b.X) + 1, std::max(a.Y, b.Y) + 1};
}

tmyselection::tmyselection() : BaseImage({1, 1}, 32), Image({1, 1}, 8) {}

void tmyselection::Lift(const TmyImagePal& source) {
    // A block reaching past the image (a Shift square near an edge) takes only
    // what lies inside.
    Rect.Left = std::clamp(Rect.Left, 0, source.Width());
    Rect.Right = std::clamp(Rect.Right, Rect.Left, source.Width());
    Rect.Top = std::clamp(Rect.Top, 0, source.Height());
    Rect.Bottom = std::clamp(Rect.Bottom, Rect.Top, source.Height());
    if (Rect.IsEmpty()) return;
    Image.SetSize({Rect.Width(), Rect.Height()});
    MakePlain32(Image);
    for (int r = 0; r < Rect.Height(); ++r) {
        const auto from = source.Row(Rect.Top + r).subspan(static_cast<std::size_t>(Rect.Left),
                                                             static_cast<std::size_t>(Rect.Width()));
        std::copy(from.begin(), from.end(), Image.Row(r).begin());
    }
    BaseImage.Assign(Image);
}

void tmyselection::Take(const TmyImagePal& pixels) {
    Image.Assign(pixels);
    MakePlain32(Image);
    BaseImage.Assign(Image);
    InFront = true;
}

void tmyselection::Resize(int w, int h) {
    Image.Assign(BaseImage);
    ResizeFrame(Image, {w, h});
}

TDirtyRect tmyselection::PasteTo(int x, int y, TmyImagePal& dest, bool transparentSelection) const {
    TDirtyRect changed;
    const bool blend = transparentSelection || !InFront;
    const bool snap = dest.BitCount < 32;
    // Only the rows and columns that land inside dest.
    const int c0 = std::max(0, -x), c1 = std::min(Image.Width(), dest.Width() - x);
    const int r0 = std::max(0, -y), r1 = std::min(Image.Height(), dest.Height() - y);
    for (int r = r0; r < r1; ++r)
        for (int c = c0; c < c1; ++c) {
            TmyPixel& target = dest.At(c + x, r + y);
            const TmyPixel& mine = Image.At(c, r);
            TmyPixel top = InFront ? mine : target;
            const TmyPixel& under = InFront ? target : mine;
            if (blend) AlphaBlendPixel(top, under, true);
            if (snap) top.A = top.A > 128 ? 255 : 0;
            if (top.A == 0) top = TmyPixel{};
            target = top;
        }
    if (r0 < r1 && c0 < c1) changed = {c0 + x, r0 + y, c1 + x, r1 + y};
    return changed;
}

bool HasColorOutsidePalette(const TmyImage& image, const TmyPalette& palette) {
    // The entries as sorted keys: one lookup per pixel is a binary search,
    // not a walk over up to 256 entries.
    auto key = [](const TmyPixel& p) {
        return std::uint32_t{p.R} | std::uint32_t{p.G} << 8 | std::uint32_t{p.B} << 16 | std::uint32_t{p.A} << 24;
    };
    std::vector<std::uint32_t> entries;
    entries.reserve(static_cast<std::size_t>(palette.Count()));
    for (const TmyPixel& e : palette.Colors()) entries.push_back(key(e));
    std::sort(entries.begin(), entries.end());
    for (const TmyPixel& p : image.Pixels()) {
        TmyPixel opaque = p;
        opaque.A = 255;
        if (!std::binary_search(entries.begin(), entries.end(), key(opaque))) return true;
    }
    return false;
}

TDirtyRect ClearRect(TmyImagePal& image, const TSelRect& rect) {
    const int l = std::clamp(rect.Left, 0, image.Width()), r = std::clamp(rect.Right, l, image.Width());
    const int t = std::clamp(rect.Top, 0, image.Height()), b = std::clamp(rect.Bottom, t, image.Height());
    for (int y = t; y < b; ++y) {
        const auto row = image.Row(y).subspan(static_cast<std::size_t>(l), static_cast<std::size_t>(r - l));
        std::fill(row.begin(), row.end(), TmyPixel{});
    }
    return r > l && b > t ? TDirtyRect{l, t, r, b} : TDirtyRect{};
}

namespace {

// The image keeps its palette whatever the selection brings: it has one, and
// it is below 24 bits.
bool Indexed(const TmyImagePal& image) { return image.BitCount < 24 && image.Palette.has_value(); }

bool SamePalette(const tmyselection& sel, const TmyImagePal& image) {
    return sel.Image.Palette && image.Palette && sel.Image.Palette->Equals(*image.Palette);
}

}  // namespace

bool DropMayAsk(const tmyselection& sel, const TmyImagePal& image, std::uint8_t paletteAction) {
    return !sel.IsEmpty() && Indexed(image) && paletteAction == 2 && !SamePalette(sel, image);
}

TPaletteChoice DropPaletteChoice(const tmyselection& sel, const TmyImagePal& image, std::uint8_t paletteAction,
                                 const std::function<TPaletteChoice()>& ask) {
    if (!Indexed(image) || SamePalette(sel, image)) return TPaletteChoice::Change;
    if (!HasColorOutsidePalette(sel.Image, *image.Palette)) return TPaletteChoice::Keep;
    switch (paletteAction) {
        case 0: return TPaletteChoice::Change;
        case 2: return ask ? ask() : TPaletteChoice::Change;
        default: return TPaletteChoice::Keep;
    }
}

TPaletteChoice DropSelection(tmyselection& sel, TmyImagePal& image, int x, int y, const TDropSettings& settings,
                             const std::function<TPaletteChoice()>& ask) {
    if (sel.IsEmpty()) return TPaletteChoice::Keep;
    const TPaletteChoice choice = DropPaletteChoice(sel, image, settings.PaletteAction, ask);
    sel.PasteTo(x, y, image, settings.TransparentSelection);
    sel.Clear();
    if (choice == TPaletteChoice::Keep) {
        if (image.Palette) {
            const TmyPalette own = *image.Palette;
            ApplyPalette(image, own, settings.Dithering);
        }
    } else {
        ChangeColorDepth(image, static_cast<TBitDepth>(image.BitCount), TPaletteKind::Optimised, settings.Dithering);
    }
    return choice;
}

}  // namespace velto
