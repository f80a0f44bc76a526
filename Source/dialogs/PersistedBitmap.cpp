#include "PersistedBitmap.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>

#include <vector>

#include "platform/FileIO.h"

namespace velto {

QImage LoadPersistedBitmap(const QString& path, const QImage& defaults, const ReadLimits& limits) {
    const QImage fallback = defaults.convertToFormat(QImage::Format_RGB32);
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(path.toStdString(), bytes, limits.persistedBitmapSize)) return fallback;
    QByteArray data(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    // The name says nothing of the format: it is always a Windows bitmap.
    QImageReader reader(&buffer, "bmp");
    const QSize declared = reader.size();
    if (!declared.isValid() || declared.isEmpty() ||
        static_cast<std::uint64_t>(declared.width()) * static_cast<std::uint64_t>(declared.height()) >
            limits.persistedBitmapPixels)
        return fallback;
    QImage read = reader.read();
    if (read.isNull()) return fallback;
    // Alpha bytes of such files mean nothing: the colours are opaque.
    read = read.convertToFormat(QImage::Format_RGB32);
    if (read.size() == fallback.size()) return read;
    QImage out = fallback;
    QPainter p(&out);
    p.drawImage(QPoint(0, 0), read);
    return out;
}

bool SavePersistedBitmap(const QString& path, const QImage& image) {
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "bmp");
    if (!writer.write(image.convertToFormat(QImage::Format_RGB32))) return false;
    return SaveFileAtomic(path.toStdString(),
                          {reinterpret_cast<const std::uint8_t*>(data.constData()), static_cast<std::size_t>(data.size())});
}

}  // namespace velto
