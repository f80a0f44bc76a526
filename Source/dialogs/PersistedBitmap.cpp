#include "PersistedBitmap.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>

#include <vector>

#include "platform/ByteReader.h"
#include "platform/FileIO.h"
#include "platform/FileWriter.h"

namespace velto {

namespace {

// Whether an uncompressed bitmap holds every row its header declares (the
// toolkit's reader fills a short file's missing rows with whatever it has).
// Compressed files are left to the reader.
bool RowsComplete(std::span<const std::uint8_t> file) {
    ByteReader r(file);
    std::uint32_t offBits = 0, headerSize = 0, compression = 0;
    std::int64_t width = 0, height = 0;
    std::uint16_t bpp = 0;
    if (!r.seek(10) || !r.u32le(offBits) || !r.u32le(headerSize)) return false;
    if (headerSize == 12) {
        std::uint16_t w = 0, h = 0, planes = 0;
        if (!r.u16le(w) || !r.u16le(h) || !r.u16le(planes) || !r.u16le(bpp)) return false;
        width = w;
        height = h;
    } else {
        std::int32_t w = 0, h = 0;
        std::uint16_t planes = 0;
        if (!r.i32le(w) || !r.i32le(h) || !r.u16le(planes) || !r.u16le(bpp) || !r.u32le(compression)) return false;
        width = w;
        height = h < 0 ? -std::int64_t(h) : h;
    }
    if (compression != 0 && compression != 3 && compression != 6) return true;
    const std::uint64_t rowBytes = ((static_cast<std::uint64_t>(width) * bpp + 31) / 32) * 4;
    return static_cast<std::uint64_t>(offBits) + rowBytes * static_cast<std::uint64_t>(height) <= file.size();
}

}  // namespace

QImage LoadPersistedBitmap(const QString& path, const QImage& defaults, const ReadLimits& limits) {
    const QImage fallback = defaults.convertToFormat(QImage::Format_RGB32);
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(path.toStdString(), bytes, limits.persistedBitmapSize) || !RowsComplete(bytes)) return fallback;
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
    return WriteWholeFile(path.toStdString(),
                          {reinterpret_cast<const std::uint8_t*>(data.constData()), static_cast<std::size_t>(data.size())});
}

}  // namespace velto
