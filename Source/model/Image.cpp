// Frames: pixel storage, hotspot and rate rules, deep copy and palette building.
#include "model/Image.h"

#include <algorithm>
#include <cmath>

namespace velto {

TmyImage::TmyImage(ImageSize size) { SetSize(size); }

void TmyImage::SetSize(ImageSize size) {
    W = std::max(size.Width, 1);
    H = std::max(size.Height, 1);
    // One allocation per frame; the size product is computed in 64 bits.
    Data.assign(static_cast<std::size_t>(W) * static_cast<std::size_t>(H), TmyPixel::Create());
}

void TmyImage::SetHotSpotX(int value) { HotX = std::min(std::max(value, 0), W - 1); }
void TmyImage::SetHotSpotY(int value) { HotY = std::min(std::max(value, 0), H - 1); }

void TmyImage::SetRate(double value) {
    RateValue = value;
    if (!(RateValue > 0.0)) RateValue = MinRate;  // also catches NaN
    if (RateValue > MaxRate) RateValue = MaxRate;
}

bool TmyImage::Equals(const TmyImage& other) const {
    return W == other.W && H == other.H && Data == other.Data;
}

TmyImagePal::TmyImagePal(ImageSize size, int bitCount)
    : TmyImage(size), BitCount(static_cast<std::uint8_t>(bitCount)) {
    if (const int n = PaletteCountForBits(bitCount); n > 0) Palette.emplace(n);
    UpdateZoom();
}

void TmyImagePal::UpdateZoom() { Zoom = std::clamp(512 / std::max(Width(), Height()), 1, 100); }

void TmyImagePal::Assign(const TmyImagePal& source) {
    if (&source == this) return;
    // Size before hotspot, so the hotspot is clamped to the new size.
    if (Size() != source.Size()) SetSize(source.Size());
    BitCount = source.BitCount;
    SetHotSpotX(source.HotSpotX());
    SetHotSpotY(source.HotSpotY());
    SetRate(source.Rate());
    std::copy(source.Pixels().begin(), source.Pixels().end(), Pixels().begin());
    Palette = source.Palette;
    Zoom = source.Zoom;
}

void TmyImagePal::Clear() { std::fill(Pixels().begin(), Pixels().end(), TmyPixel::Create()); }

void TmyImagePal::CopyAlphaFrom(const TmyImage& source) {
    if (Size() != source.Size()) return;
    auto dst = Pixels();
    auto src = source.Pixels();
    for (std::size_t i = 0; i < dst.size(); ++i) {
        if (src[i].A != 0)
            dst[i].A = src[i].A;
        else
            dst[i] = TmyPixel::Create();
    }
}

void TmyImagePal::BuildPalette() {
    if (!Palette) return;
    TmyPalette& pal = *Palette;
    int next = 0;
    // Row order from the top matters: the first colours met get the low entries.
    for (const TmyPixel& p : Pixels()) {
        if (next >= pal.Count()) break;
        if (!pal.ContainsRGB(p, next - 1)) {
            pal[next].SetRGB(p.R, p.G, p.B);
            ++next;
        }
    }
}

bool TmyImagePal::Equals(const TmyImagePal& other) const {
    if (Palette.has_value() != other.Palette.has_value()) return false;
    if (Palette && !Palette->Equals(*other.Palette)) return false;
    return TmyImage::Equals(other);
}

}  // namespace velto
