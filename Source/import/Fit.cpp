// The one conversion every picture takes into a cursor image, and the ways a
// picture larger than its target is fitted: resize, crop, the advanced
// dialog, or the user's answer to the question.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "engine/Clipboard.h"
#include "engine/Transform.h"
#include "import/Busy.h"
#include "import/MyImport.h"
#include "import/Picture.h"

namespace velto {

namespace {

bool AllAlphaZero(const TWorkPicture& picture) {
    std::vector<TmyPixel> scratch;
    for (int y = 0; y < picture.Height; ++y) {
        const TmyPixel* p = picture.ReadRow(y, scratch);
        for (int x = 0; x < picture.Width; ++x)
            if (p[x].A != 0) return false;
    }
    return true;
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
    // Row by row: a picture read from its decoder's pixels is never copied whole.
    std::vector<TmyPixel> scratch;
    ResampleRows({picture.Width, picture.Height}, [&](int y) { return picture.ReadRow(y, scratch); }, resized.View(),
                 {0, 0, fit.Width, fit.Height});
    CopyPicturePixels(resized, 0, 0, fit.Width, fit.Height, target, (target.Width() - fit.Width) / 2,
               (target.Height() - fit.Height) / 2);
}

void tmyimport::CropPicture(const TWorkPicture& picture, TmyImagePal& target, ImageSize size) {
    target.SetSize(size);
    const int w = std::min(target.Width(), picture.Width);
    const int h = std::min(target.Height(), picture.Height);
    CopyPicturePixels(picture, 0, 0, w, h, target, (target.Width() - w) / 2, (target.Height() - h) / 2);
}

int tmyimport::FitPolicy(bool isImport) {
    const TImportSettings settings = Settings();
    int policy = isImport ? settings.ImportAction : settings.ClipboardAction;
    if (!AllowAdvanced && (policy == fpAdvanced || policy == fpAsk)) policy = fpResize;
    if (policy == fpAsk) policy = Hooks.AskPolicy ? Hooks.AskPolicy(isImport) : fpResize;
    return policy;
}

bool tmyimport::PictureToImage(TWorkPicture& picture, TmyImagePal& target, ImageSize max, bool keepAlpha,
                               bool isImport) {
    TBusy busy(Hooks);
    Cancelled = false;
    if (picture.Empty()) return false;
    if (!picture.Bits32 || (!keepAlpha && AllAlphaZero(picture))) picture.Opaque = true;
    picture.Bits32 = true;

    if (picture.Height <= max.Height && picture.Width <= max.Width) {
        if (target.Width() == 1 && target.Height() == 1) target.SetSize({picture.Width, picture.Height});
        CopyPicturePixels(picture, 0, 0, picture.Width, picture.Height, target, (target.Width() - picture.Width) / 2,
                   (target.Height() - picture.Height) / 2);
        return true;
    }

    switch (FitPolicy(isImport)) {
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
