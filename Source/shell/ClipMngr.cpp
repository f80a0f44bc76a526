#include "ClipMngr.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <algorithm>
#include <cstring>

#include "imagingqt/GifClipboard.h"
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
    return data && (data->hasImage() || data->hasFormat(kGIFMimeType));
}

void tmyClipMngr::Copy(const TmyImagePal& image) {
    const QImage plain = ToQImage(memory_.Copy(image));
    auto* data = new QMimeData;
    data->setImageData(plain);
    // The GIF shows what the plain picture shows, but where nothing of the
    // image is (alpha 0) a GIF reader sees through it.
    QImage picture = plain.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < picture.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x)
            if (image.At(x, y).A == 0) row[x] = 0;
    }
    lastGif_.clear();
    TGIFGraphic gif;
    if (gif.AssignPicture(picture)) {
        try {
            lastGif_ = gif.SaveToBytes();
            data->setData(kGIFMimeType, QByteArray(reinterpret_cast<const char*>(lastGif_.data()),
                                                   static_cast<qsizetype>(lastGif_.size())));
        } catch (const GIFException&) {
            lastGif_.clear();  // the plain picture alone
        }
    }
    QGuiApplication::clipboard()->setMimeData(data);
}

bool tmyClipMngr::GifPicture(const QMimeData& data, TPicture& picture) const {
    if (!data.hasFormat(kGIFMimeType)) return false;
    const QByteArray bytes = data.data(kGIFMimeType);
    const auto* begin = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    const std::vector<std::uint8_t> gifBytes(begin, begin + bytes.size());
    if (memory_.LastCopy() && !lastGif_.empty() && gifBytes == lastGif_) {
        picture = memory_.Picture(ClipboardBitmap(*memory_.LastCopy()));
        return true;
    }
    TGIFGraphic gif;  // within the codec's limits, as a file
    if (!gif.LoadFromBytes(gifBytes) || gif.Bitmap.isNull()) return false;
    const QImage& frame = gif.Bitmap;
    picture.Pixels.SetSize({frame.width(), frame.height()});
    for (int y = 0; y < frame.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(frame.constScanLine(y));
        for (int x = 0; x < frame.width(); ++x)
            picture.Pixels.At(x, y) = qAlpha(row[x]) ? TmyPixel{std::uint8_t(qRed(row[x])), std::uint8_t(qGreen(row[x])),
                                                                std::uint8_t(qBlue(row[x])), 255}
                                                     : TmyPixel{};
    }
    picture.HasAlpha = true;
    return true;
}

bool tmyClipMngr::Paste(TmyImagePal& target, TmyImagePal& mirror, int maxHeight, int maxWidth, const TFitRule& rule) {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data) return false;
    TPicture picture;
    if (!GifPicture(*data, picture)) {
        if (!data->hasImage()) return false;
        // GIF bytes the codec refused are not handed to another decoder:
        // the plain picture counts only when it is more than those bytes.
        if (data->hasFormat(kGIFMimeType) && !QGuiApplication::clipboard()->ownsClipboard()) {
            const QStringList formats = data->formats();
            if (std::none_of(formats.begin(), formats.end(), [](const QString& f) {
                    return f.startsWith("image/") && f != kGIFMimeType;
                }))
                return false;
        }
        const QImage image = QGuiApplication::clipboard()->image();
        // Another program's picture is input like a file's: its size is bounded
        // before the program makes its own copies of it.
        if (image.isNull() ||
            static_cast<std::uint64_t>(image.width()) * static_cast<std::uint64_t>(image.height()) > ReadLimits().pixels)
            return false;
        picture = memory_.Picture(ToRgbBuffer(image));
    }
    target.SetSize({1, 1});
    target.BitCount = 32;
    const bool done = BitmapToImage(std::move(picture), target, {maxWidth, maxHeight}, true, rule);
    target.Palette.reset();
    mirror.Assign(target);
    return done;
}

}  // namespace velto
