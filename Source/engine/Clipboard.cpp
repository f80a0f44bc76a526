// The image clipboard's own part, and the fitting of a pasted picture.
#include "engine/Clipboard.h"

#include <algorithm>

#include "engine/Line.h"
#include "engine/Transform.h"

namespace velto {

namespace {

// One picture pixel as it lands in an image.
TmyPixel Landed(const TmyPixel& p) { return p.A == 0 ? TmyPixel{} : p; }

// The part of the picture from (sx, sy), w x h, written to target at (tx, ty).
void CopyBlock(const TmyImage& picture, int sx, int sy, int w, int h, TmyImagePal& target, int tx, int ty) {
    for (int y = 0; y < h; ++y) {
        if (ty + y < 0 || ty + y >= target.Height()) continue;
        for (int x = 0; x < w; ++x)
            if (tx + x >= 0 && tx + x < target.Width()) target.At(tx + x, ty + y) = Landed(picture.At(sx + x, sy + y));
    }
}

}  // namespace

TRgbBuffer ClipboardBitmap(const TmyImagePal& image) {
    TRgbBuffer bitmap;
    PaintImage(image, bitmap, clWhite);
    return bitmap;
}

bool SameBitmaps(const TRgbBuffer& a, const TRgbBuffer& b) {
    return a.Width == b.Width && a.Height == b.Height && a.Bytes == b.Bytes;
}

TRgbBuffer TClipboardMemory::Copy(const TmyImagePal& image) {
    lastCopy_.emplace(image);
    lastBitmap_ = ClipboardBitmap(image);
    return lastBitmap_;
}

TPicture TClipboardMemory::Picture(const TRgbBuffer& bitmap) const {
    TPicture picture;
    picture.Pixels.SetSize({std::max(bitmap.Width, 1), std::max(bitmap.Height, 1)});
    // Our own copy, unchanged: its pixels as they were, alpha included.
    if (lastCopy_ && SameBitmaps(bitmap, lastBitmap_)) {
        std::copy(lastCopy_->Pixels().begin(), lastCopy_->Pixels().end(), picture.Pixels.Pixels().begin());
        picture.HasAlpha = true;
        return picture;
    }
    for (int y = 0; y < bitmap.Height; ++y) {
        const std::uint8_t* row = bitmap.Row(y);
        for (TmyPixel& p : picture.Pixels.Row(y)) {
            p = {row[0], row[1], row[2], 255};
            row += 3;
        }
    }
    return picture;
}

ImageSize FitSize(ImageSize picture, ImageSize max, bool keepAspectRatio) {
    ImageSize out = max;
    if (keepAspectRatio) {
        out.Height = static_cast<int>(static_cast<long long>(picture.Height) * max.Width / std::max(picture.Width, 1));
        if (out.Height > max.Height) {
            out.Height = max.Height;
            out.Width = static_cast<int>(static_cast<long long>(picture.Width) * max.Height / std::max(picture.Height, 1));
        }
    }
    out.Width = std::max(out.Width, 1);
    out.Height = std::max(out.Height, 1);
    return out;
}

void ResizeToFit(const TmyImage& picture, TmyImagePal& target, bool keepAspectRatio) {
    const ImageSize size = FitSize(picture.Size(), target.Size(), keepAspectRatio);
    TmyImage resized(size);
    ResampleBitmap(ViewOf(picture), ViewOf(resized));
    CopyBlock(resized, 0, 0, size.Width, size.Height, target, (target.Width() - size.Width) / 2,
              (target.Height() - size.Height) / 2);
}

void CropTopLeft(const TmyImage& picture, TmyImagePal& target, ImageSize size) {
    target.SetSize(size);
    const int w = std::min(size.Width, picture.Width());
    const int h = std::min(size.Height, picture.Height());
    CopyBlock(picture, 0, 0, w, h, target, (target.Width() - w) / 2, (target.Height() - h) / 2);
}

bool BitmapToImage(TPicture picture, TmyImagePal& target, ImageSize max, bool keepAlpha, const TFitRule& rule) {
    auto pixels = picture.Pixels.Pixels();
    const bool allZero =
        picture.HasAlpha && !keepAlpha && std::all_of(pixels.begin(), pixels.end(), [](const TmyPixel& p) { return p.A == 0; });
    if (!picture.HasAlpha || allZero)
        for (TmyPixel& p : pixels) p.A = 255;
    const TmyImage& pic = picture.Pixels;
    if (pic.Width() <= max.Width && pic.Height() <= max.Height) {
        if (target.Width() == 1 && target.Height() == 1) target.SetSize(pic.Size());
        CopyBlock(pic, 0, 0, pic.Width(), pic.Height(), target, (target.Width() - pic.Width()) / 2,
                  (target.Height() - pic.Height()) / 2);
        return true;
    }
    std::uint8_t policy = rule.Policy;
    if (policy == 3) policy = rule.Ask ? rule.Ask() : 0;
    switch (policy) {
        case 0:
        case 2:  // no advanced import here: the picture is resized
            target.SetSize(max);
            ResizeToFit(pic, target, rule.KeepAspectRatio);
            break;
        case 1: CropTopLeft(pic, target, max); break;
        default: break;
    }
    return true;
}

}  // namespace velto
