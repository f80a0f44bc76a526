#include "TileGeometry.h"

#include <algorithm>

namespace velto {

TTileLayout TTileLayout::Of(int clientWidth, int scrollBarWidth, int tileWidth, bool captions) {
    TTileLayout l;
    l.TileWidth = std::max(1, tileWidth);
    l.TileHeight = l.TileWidth + (captions ? 20 : 0);
    const int avail = clientWidth - scrollBarWidth - 4;
    l.Cols = std::max(1, avail / (l.TileWidth + 5));
    l.Gap = (avail - l.TileWidth * l.Cols) / l.Cols;
    l.Margin = l.Gap >= 10 ? l.Gap / 2 : 5;
    return l;
}

QPoint TTileLayout::TopLeft(int index) const {
    const int col = index % Cols;
    const int row = index / Cols;
    return {col * (TileWidth + Gap) + Margin, row * RowHeight() + 5};
}

int TTileLayout::ContentHeight(int count) const {
    if (count <= 0) return 0;
    const int rows = (count + Cols - 1) / Cols;
    return rows * RowHeight() + 5;
}

std::pair<int, int> TTileLayout::IndexRange(int y0, int y1, int count) const {
    if (count <= 0 || y1 <= y0) return {0, 0};
    // Row r covers 5 + r * RowHeight .. + TileHeight.
    const int firstRow = std::max(0, (y0 - 5 - TileHeight) / RowHeight());
    const int lastRow = std::max(0, (y1 - 5) / RowHeight());
    const int first = std::min(count, firstRow * Cols);
    const int last = std::min(count, (lastRow + 1) * Cols);
    return {first, last};
}

QSize FittedPictureSize(QSize source, int tileSize) {
    const int w = source.width();
    const int h = source.height();
    if (w <= 0 || h <= 0) return {0, 0};
    const int box = tileSize - 10;
    if (w <= box && h <= box) return source;
    if (h >= w) return {static_cast<int>(static_cast<long long>(w) * box / h), box};
    return {box, static_cast<int>(static_cast<long long>(h) * box / w)};
}

QPoint PictureOffset(QSize fitted, int tileSize) {
    return {(tileSize - fitted.width() - 10) / 2 + 5, (tileSize - fitted.height() - 10) / 2 + 5};
}

QString ShortenCaption(const QString& caption, int width, const QFontMetrics& metrics) {
    if (metrics.horizontalAdvance(caption) <= width) return caption;
    const QString dots = QStringLiteral("...");
    QString text = caption;
    // Ends at the empty text however narrow the tile.
    while (!text.isEmpty()) {
        text.chop(1);
        if (metrics.horizontalAdvance(text + dots) < width) break;
    }
    return text + dots;
}

int JpegDecodeDenominator(int width, int height, int tileSize) {
    if (tileSize <= 0) return 1;
    const int r = std::max(width, height) / tileSize;
    if (r >= 8) return 8;
    if (r >= 5) return 4;
    if (r >= 2) return 2;
    return 1;
}

QSize JpegSourceSize(int width, int height, int tileSize) {
    const int n = JpegDecodeDenominator(width, height, tileSize);
    // The decoder's scaled size rounds up.
    return {(width + n - 1) / n * n, (height + n - 1) / n * n};
}

int ChooseGroupEntry(std::span<const std::uint8_t> widths) {
    const int n = static_cast<int>(widths.size());
    if (n <= 1) return 0;
    int last = widths[static_cast<std::size_t>(n - 1)];
    for (int k = n - 2; k >= 0; --k) {
        const int w = widths[static_cast<std::size_t>(k)];
        if (w > last) last = w;
        else return k + 1;
    }
    return 0;
}

}  // namespace velto
