#pragma once
// The service's working picture: straight R, G, B, A pixels, rows from the
// top, one allocation that is not zero-filled twice (a decoded photo of many
// megabytes is written once by the decoder's conversion). Every loader makes
// one, and one conversion turns it into a cursor image.
#include <cstdint>

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

    // Zeroed pixels of the size; false (nothing changed) for a side below 1
    // or a buffer beyond kMaxBitmapBytes.
    bool Allocate(int width, int height);
    bool Empty() const { return Width <= 0 || Height <= 0; }

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
};

// The bitmap is first made 32 bits (as the conversion promises its callers);
// Bits32 tells whether it had that depth before. False when it is empty or
// too large.
bool PictureFromBitmap(TBitmap& bitmap, TWorkPicture& out);
// A 32-bit bitmap of the picture (B, G, R, A); false when too large.
bool PictureToBitmap(const TWorkPicture& picture, TBitmap& out);
// An image of the image library in any format; Bits32 when the format has
// an alpha channel. False for an invalid image or one too large.
bool PictureFromImageData(const TImageData& image, TWorkPicture& out);

}  // namespace velto

namespace velto {

class TGIFImage;
class tmyimport;

// Frame n of the GIF onto the picture at its place in the logical screen:
// the pixels it covers opaquely take its colours and alpha 255, the others
// keep what they held.
void DrawGifFrame(TWorkPicture& picture, const TGIFImage& gif, int n);

}  // namespace velto
