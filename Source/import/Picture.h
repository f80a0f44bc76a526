#pragma once
// The service's working picture: straight R, G, B, A pixels, rows from the
// top, one allocation that is not zero-filled twice (a decoded photo of many
// megabytes is written once by the decoder's conversion). Every loader makes
// one, and one conversion turns it into a cursor image. A picture may instead
// be read row by row from the pixels its decoder keeps: a large one is then
// never copied whole beside them.
#include <cstdint>
#include <functional>
#include <vector>

#include "engine/PixelBuffers.h"
#include "model/Pixel.h"
#include "platform/Bitmap.h"
#include "platform/PixelStorage.h"

namespace velto {

struct TImageData;

struct TWorkPicture {
    int Width = 0;
    int Height = 0;
    // The picture came with an alpha byte per pixel (a 32-bit bitmap); else
    // its alpha means nothing and it arrives opaque.
    bool Bits32 = false;
    // Every pixel reads with alpha 255 (its colour kept).
    bool Opaque = false;

    // Zeroed pixels of the size, held here; false (nothing changed) for a
    // side below 1 or a buffer beyond kMaxBitmapBytes.
    bool Allocate(int width, int height);
    // Rows made when read: rows(y, out) writes row y's Width pixels, and what
    // it reads from must outlive the picture. False for a side below 1.
    using TRowMaker = std::function<void(int y, TmyPixel* out)>;
    bool MakeRows(int width, int height, TRowMaker rows);
    bool Empty() const { return Width <= 0 || Height <= 0; }
    // The pixels are held here (Data, Row, View and Fill need that).
    bool Held() const { return !Rows; }
    // Row y as read (Opaque applied): a held row itself, or made into scratch.
    const TmyPixel* ReadRow(int y, std::vector<TmyPixel>& scratch) const;

    TmyPixel* Data() { return reinterpret_cast<TmyPixel*>(Bytes.data()); }
    const TmyPixel* Data() const { return reinterpret_cast<const TmyPixel*>(Bytes.data()); }
    TmyPixel* Row(int y) { return Data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(Width); }
    const TmyPixel* Row(int y) const { return Data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(Width); }
    TmyPixel& At(int x, int y) { return Row(y)[x]; }
    const TmyPixel& At(int x, int y) const { return Row(y)[x]; }
    TPixelsView View() { return {Data(), Width, Height}; }
    TConstPixelsView View() const { return {Data(), Width, Height}; }

    // Every pixel's R, G, B := (r, g, b) and A := a.
    void Fill(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a);

private:
    TPixelBytes Bytes;
    TRowMaker Rows;
};

// Copies width x height pixels from (sx, sy) of the picture to (dx, dy) of
// the target, clipped to both; alpha 0 arrives as (0, 0, 0, 0).
void CopyPicturePixels(const TWorkPicture& source, int sx, int sy, int width, int height, TmyImage& target, int dx,
                       int dy);

// The bitmap is first made 32 bits (as the conversion promises its callers);
// Bits32 tells whether it had that depth before. False when it is empty or
// too large.
bool PictureFromBitmap(TBitmap& bitmap, TWorkPicture& out);
// A 32-bit bitmap of the picture (B, G, R, A); false when too large.
bool PictureToBitmap(const TWorkPicture& picture, TBitmap& out);
// An image of the image library in any format, read row by row from it (a
// row converted as it is read; compressed blocks converted whole first, in
// place); the image must outlive the picture. Bits32 when the format has an
// alpha channel. False for an invalid image or one too large.
bool PictureFromImageData(TImageData& image, TWorkPicture& out);

}  // namespace velto

namespace velto {

class TGIFImage;
class tmyimport;

// Frame n of the GIF onto the picture (held) at its place in the logical
// screen: the pixels it covers opaquely take its colours and alpha 255, the
// others keep what they held. The work follows the frame's size. Answers the
// rectangle it covers (cut to the screen and the picture; empty when it draws
// nothing) and adds to turnedOpaque the pixels whose alpha went from 0 to 255.
TRect DrawGifFrame(TWorkPicture& picture, const TGIFImage& gif, int n, std::uint64_t* turnedOpaque = nullptr);
// The logical screen showing frame n drawn as DrawGifFrame draws it over
// `background`, read row by row (the GIF must outlive the picture): a
// large screen is never held for a small frame. False for an empty screen.
bool GifFramePicture(const TGIFImage& gif, int n, TmyPixel background, TWorkPicture& out);

}  // namespace velto
