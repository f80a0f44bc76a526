// GIF bytes on the clipboard.
#include "imagingqt/GifClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>

namespace velto {

std::unique_ptr<QMimeData> GIFMimeData(TGIFGraphic& graphic) {
    if (graphic.Empty()) return nullptr;
    const std::vector<std::uint8_t> bytes = graphic.SaveToBytes();
    auto data = std::make_unique<QMimeData>();
    data->setImageData(graphic.Bitmap);
    data->setData(kGIFMimeType, QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())));
    return data;
}

bool LoadGIFFromMimeData(TGIFGraphic& graphic, const QMimeData* data, std::string* error) {
    std::string reason = sUnsupportedClipboardFormat;
    if (data && data->hasFormat(kGIFMimeType)) {
        const QByteArray bytes = data->data(kGIFMimeType);
        const std::span<const std::uint8_t> view(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                                 static_cast<std::size_t>(bytes.size()));
        if (graphic.LoadFromBytes(view, &reason)) return true;
    }
    if (data && data->hasImage()) {
        const QImage image = qvariant_cast<QImage>(data->imageData());
        // Another program's picture is bounded like a file's before it is copied.
        if (!image.isNull() &&
            static_cast<std::uint64_t>(image.width()) * static_cast<std::uint64_t>(image.height()) <= graphic.Image().Limits.pixels &&
            graphic.AssignPicture(image, &reason))
            return true;
    }
    if (error) *error = reason;
    return false;
}

bool CopyGIFToClipboard(TGIFGraphic& graphic, std::string* error) {
    std::unique_ptr<QMimeData> data;
    try {
        data = GIFMimeData(graphic);
    } catch (const GIFException& e) {
        if (error) *error = e.what();
        return false;
    }
    if (!data) return true;  // an empty image puts nothing there
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) {
        if (error) *error = sGIFClipboardFailed;
        return false;
    }
    clipboard->setMimeData(data.release());
    return true;
}

bool PasteGIFFromClipboard(TGIFGraphic& graphic, std::string* error) {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    return LoadGIFFromMimeData(graphic, clipboard ? clipboard->mimeData() : nullptr, error);
}

}  // namespace velto
