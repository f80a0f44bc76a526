#include "ClipMngr.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <cstring>

#include "platform/ReadLimits.h"

namespace velto {

QImage ToQImage(const TRgbBuffer& bitmap) {
    QImage image(bitmap.Width, bitmap.Height, QImage::Format_RGB888);
    // Rows of the picture are padded to 4 bytes, those of the buffer are not.
    for (int y = 0; y < bitmap.Height; ++y)
        std::memcpy(image.scanLine(y), bitmap.Row(y), static_cast<std::size_t>(bitmap.Stride()));
    return image;
}

TRgbBuffer ToRgbBuffer(const QImage& image) {
    TRgbBuffer bitmap;
    if (image.isNull()) return bitmap;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    bitmap.SetSize(rgb.width(), rgb.height());
    for (int y = 0; y < bitmap.Height; ++y)
        std::memcpy(bitmap.Row(y), rgb.constScanLine(y), static_cast<std::size_t>(bitmap.Stride()));
    return bitmap;
}

bool tmyClipMngr::HasBitmap() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data && data->hasImage();
}

void tmyClipMngr::Copy(const TmyImagePal& image) {
    QGuiApplication::clipboard()->setImage(ToQImage(memory_.Copy(image)));
}

bool tmyClipMngr::Paste(TmyImagePal& target, TmyImagePal& mirror, int maxHeight, int maxWidth, const TFitRule& rule) {
    if (!HasBitmap()) return false;
    const QImage image = QGuiApplication::clipboard()->image();
    // Another program's picture is input like a file's: its size is bounded
    // before the program makes its own copies of it.
    if (image.isNull() ||
        static_cast<std::uint64_t>(image.width()) * static_cast<std::uint64_t>(image.height()) > ReadLimits().pixels)
        return false;
    target.SetSize({1, 1});
    target.BitCount = 32;
    const bool done = BitmapToImage(memory_.Picture(ToRgbBuffer(image)), target, {maxWidth, maxHeight}, true, rule);
    target.Palette.reset();
    mirror.Assign(target);
    return done;
}

}  // namespace velto
