#pragma once
// Pictures for tiles, made from files, documents and GIF frames. Every
// function here is safe on any thread: it reads through its own readers
// (messages off) and touches no widget, so the folder fill runs them on its
// workers.
#include <QImage>
#include <QSize>

#include <cstdint>
#include <span>
#include <string>

namespace velto {

class TmyImagePal;

// A tile's picture, already fitted to the tile, and the size of the picture
// it was made from. Ok is false when the source could not be read (the tile
// then shows no picture).
struct TTilePicture {
    QImage Bitmap;
    QSize Source;
    bool Ok = false;
};

// The file types the folder listing shows: icons, cursors, animated cursors,
// BMP, JPEG, PNG, GIF, Apple icons and JPEG 2000 files and code streams.
bool IsFolderPictureType(std::uint8_t type);

// An image of a document rendered over opaque white, fitted to tileSize.
TTilePicture PictureOfImage(const TmyImagePal& image, int tileSize);
// A picture (any format) fitted to tileSize; alpha is shown over white.
TTilePicture PictureOfBitmap(const QImage& picture, QSize source, int tileSize);

// The picture of a file of detected type `type` (one the folder shows): the
// first image of an icon, cursor or Apple icon file, the first frame of an
// animated cursor, the picture of BMP, JPEG, PNG, GIF or JPEG 2000 files.
TTilePicture PictureOfFile(const std::string& fileName, std::uint8_t type, int tileSize);

// The first image of an icon or cursor file, or of such a file's bytes.
TTilePicture PictureOfIconFile(const std::string& fileName, int tileSize);
TTilePicture PictureOfIconBytes(std::span<const std::uint8_t> bytes, int tileSize);

}  // namespace velto
