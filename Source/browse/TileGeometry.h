#pragma once
// The arithmetic of the thumbnail grid, apart from any widget so that it is
// tested on its own: where tile i lies, how large a picture is drawn in a
// tile, how a caption is shortened, at which scale a JPEG is decoded, and
// which image of a cursor group stands for the group.
#include <QFontMetrics>
#include <QPoint>
#include <QSize>
#include <QString>

#include <cstdint>
#include <span>

namespace velto {

// Columns of a grid whose client area is clientWidth wide (the vertical
// scroll bar's room, scrollBarWidth, is always kept free, shown or not).
struct TTileLayout {
    int Cols = 1;
    int Gap = 0;         // room between two columns beyond the tile width
    int Margin = 5;      // left edge of column 0
    int TileWidth = 100;
    int TileHeight = 100;  // the width, +20 with captions

    static TTileLayout Of(int clientWidth, int scrollBarWidth, int tileWidth, bool captions);
    // Top-left of tile index in content coordinates (scroll position 0).
    QPoint TopLeft(int index) const;
    int RowHeight() const { return TileHeight + 5; }
    // Height the tiles of count need: the last row's bottom edge and 5 below it.
    int ContentHeight(int count) const;
    // The first and one past the last tile index whose rows meet content rows y0..y1-1.
    std::pair<int, int> IndexRange(int y0, int y1, int count) const;
};

// Size of a picture of sourceSize drawn in a tile of tileSize: fitted into
// (tileSize - 10) square keeping its proportions, never enlarged; (0, 0) for
// a picture with a side of 0.
QSize FittedPictureSize(QSize sourceSize, int tileSize);

// Where the fitted picture lies inside its tile.
QPoint PictureOffset(QSize fitted, int tileSize);

// The caption as shown in a tile width pixels wide: whole when it fits,
// else cut a character at a time and ended with "..." until it fits (an
// empty text with "..." at the least).
QString ShortenCaption(const QString& caption, int width, const QFontMetrics& metrics);

// A JPEG of width x height shown in a tile of tileSize is decoded at 1/n,
// n one of 1, 2, 4, 8.
int JpegDecodeDenominator(int width, int height, int tileSize);
// The size the tile records for such a JPEG: the scaled decode's size times n.
QSize JpegSourceSize(int width, int height, int tileSize);

// The group entry that stands for a cursor group whose entries have the
// widths given (a width of 0 stands for 256 and counts as the narrowest):
// the first of the trailing run of strictly decreasing widths.
int ChooseGroupEntry(std::span<const std::uint8_t> widths);

}  // namespace velto
