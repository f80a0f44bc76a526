// The one conversion every picture takes into a cursor image, and the ways a
// picture larger than its target is fitted: resize, crop, the advanced
// dialog, or the user's answer to the question.
#include <algorithm>
#include <cstdint>

#include "engine/Clipboard.h"
#include "engine/Transform.h"
#include "import/Busy.h"
#include "import/MyImport.h"
#include "import/Picture.h"

namespace velto {

namespace {

// Copies width x height pixels from (sx, sy) of the source to (dx, dy) of the
// target, clipped to both; alpha 0 arrives as (0, 0, 0, 0).
void CopyPixels(TConstPixelsView source, int sx, int sy, int width, int height, TmyImage& target, int dx, int dy) {
    const int x0 = std::max({0, -dx, -sx});
    const int y0 = std::max({0, -dy, -sy});
    const int x1 = std::min({width, target.Width() - dx, source.Width - sx});
    const int y1 = std::min({height, target.Height() - dy, source.Height - sy});
    for (int y = y0; y < y1; ++y) {
        const TmyPixel* s = &source.At(sx + x0, sy + y);
        TmyPixel* d = &target.At(dx + x0, dy + y);
        for (int x = x0; x < x1; ++x, ++s, ++d) *d = s->A == 0 ? TmyPixel{} : *s;
    }
}

bool AllAlphaZero(const TWorkPicture& picture) {
    const TmyPixel* p = picture.Data();
    const std::size_t n = static_cast<std::size_t>(picture.Width) * static_cast<std::size_t>(picture.Height);
    for (std::size_t i = 0; i < n; ++i)
        if (p[i].A != 0) return false;
    return true;
}

void MakeOpaque(TWorkPicture& picture) {
    TmyPixel* p = picture.Data();
    const std::size_t n = static_cast<std::size_t>(picture.Width) * static_cast<std::size_t>(picture.Height);
    for (std::size_t i = 0; i < n; ++i) p[i].A = 255;
}

}  // namespace

int tmyimport::ClampSize(int width, int height, int max) { return std::min(std::max(width, height), max); }

// The paste's rule, so that a pasted and an imported picture take one size.
ImageSize tmyimport::FitSize(ImageSize picture, ImageSize max) const {
    return velto::FitSize(picture, max, Settings().KeepAspectRatio);
}

void tmyimport::ResizePictureToFit(const TWorkPicture& picture, TmyImagePal& target) {
    TBusy busy(Hooks);
    const ImageSize fit = FitSize({picture.Width, picture.Height}, target.Size());
    TWorkPicture resized;
    if (!resized.Allocate(fit.Width, fit.Height)) return;
    ResampleBitmap(picture.View(), resized.View());
    CopyPixels(resized.View(), 0, 0, fit.Width, fit.Height, target, (target.Width() - fit.Width) / 2,
               (target.Height() - fit.Height) / 2);
}

void tmyimport::CropPicture(const TWorkPicture& picture, TmyImagePal& target, ImageSize size) {
    target.SetSize(size);
    const int w = std::min(target.Width(), picture.Width);
    const int h = std::min(target.Height(), picture.Height);
    CopyPixels(picture.View(), 0, 0, w, h, target, (target.Width() - w) / 2, (target.Height() - h) / 2);
}

bool tmyimport::PictureToImage(TWorkPicture& picture, TmyImagePal& target, ImageSize max, bool keepAlpha,
                               bool isImport) {
    TBusy busy(Hooks);
    Cancelled = false;
    if (picture.Empty()) return false;
    if (!picture.Bits32 || (!keepAlpha && AllAlphaZero(picture))) MakeOpaque(picture);
    picture.Bits32 = true;

    if (picture.Height <= max.Height && picture.Width <= max.Width) {
        if (target.Width() == 1 && target.Height() == 1) target.SetSize({picture.Width, picture.Height});
        CopyPixels(picture.View(), 0, 0, picture.Width, picture.Height, target, (target.Width() - picture.Width) / 2,
                   (target.Height() - picture.Height) / 2);
        return true;
    }

    const TImportSettings settings = Settings();
    int policy = isImport ? settings.ImportAction : settings.ClipboardAction;
    if (!AllowAdvanced && (policy == fpAdvanced || policy == fpAsk)) policy = fpResize;
    if (policy == fpAsk) policy = Hooks.AskPolicy ? Hooks.AskPolicy(isImport) : fpResize;
    switch (policy) {
    case fpResize:
        target.SetSize(max);
        ResizePictureToFit(picture, target);
        break;
    case fpCrop:
        CropPicture(picture, target, max);
        break;
    case fpAdvanced: {
        TBitmap source;
        TmyImagePal work(max, 32);
        if (PictureToBitmap(picture, source) && Hooks.AdvancedImport && Hooks.AdvancedImport(source, work)) {
            target.Assign(work);
            target.UpdateZoom();
        } else {
            Cancelled = true;
        }
        break;
    }
    default:
        break;  // an unknown policy leaves the target as it was
    }
    return true;
}

bool tmyimport::BitmapToImage(TBitmap& bitmap, TmyImagePal& target, ImageSize max, bool keepAlpha, bool isImport) {
    Cancelled = false;
    TWorkPicture picture;
    if (!PictureFromBitmap(bitmap, picture)) return false;
    if (!picture.Bits32 || (!keepAlpha && AllAlphaZero(picture))) {
        // The caller's bitmap arrives opaque too, as the conversion promises.
        for (int y = 0; y < bitmap.Height(); ++y) {
            std::uint8_t* row = bitmap.ScanLine(y);
            for (int x = 0; x < bitmap.Width(); ++x) row[4 * x + 3] = 255;
        }
    }
    return PictureToImage(picture, target, max, keepAlpha, isImport);
}

void tmyimport::ResizeToFit(const TBitmap& bitmap, TmyImagePal& target) {
    TBitmap copy(bitmap);
    TWorkPicture picture;
    if (PictureFromBitmap(copy, picture)) ResizePictureToFit(picture, target);
}

void tmyimport::CropTopLeft(const TBitmap& bitmap, TmyImagePal& target, ImageSize size) {
    TBitmap copy(bitmap);
    TWorkPicture picture;
    if (PictureFromBitmap(copy, picture)) CropPicture(picture, target, size);
}

bool tmyimport::ImportPicture(TWorkPicture& picture, TmyImagePal& target, ImageSize max, bool square, bool keepAlpha) {
    if (picture.Empty()) return false;
    if (square) {
        const int side = ClampSize(picture.Width, picture.Height, target.Width());
        target.SetSize({side, side});
    }
    return PictureToImage(picture, target, max, keepAlpha, true);
}

}  // namespace velto
