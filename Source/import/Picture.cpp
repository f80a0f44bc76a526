// Conversions between the working picture and the bitmaps and image records
// the codecs deliver.
#include "import/Picture.h"

#include <cstring>

#include "imaging/Imaging.h"
#include "imaging/ImagingTypes.h"

namespace velto {

bool TWorkPicture::Allocate(int width, int height) {
    if (width < 1 || height < 1) return false;
    const std::uint64_t bytes = std::uint64_t(width) * std::uint64_t(height) * 4;
    if (bytes > kMaxBitmapBytes) return false;
    try {
        Bytes = TPixelBytes(static_cast<std::size_t>(bytes));
    } catch (const std::bad_alloc&) {
        return false;
    }
    Width = width;
    Height = height;
    return true;
}

void TWorkPicture::Fill(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a) {
    const TmyPixel p{r, g, b, a};
    TmyPixel* d = Data();
    const std::size_t n = static_cast<std::size_t>(Width) * static_cast<std::size_t>(Height);
    for (std::size_t i = 0; i < n; ++i) d[i] = p;
}

bool PictureFromBitmap(TBitmap& bitmap, TWorkPicture& out) {
    if (bitmap.Empty()) return false;
    out.Bits32 = bitmap.PixelFormat() == pf32bit;
    if (!out.Bits32 && !bitmap.SetPixelFormat(pf32bit)) return false;
    if (!out.Allocate(bitmap.Width(), bitmap.Height())) return false;
    for (int y = 0; y < out.Height; ++y) {
        const std::uint8_t* s = bitmap.ScanLine(y);
        TmyPixel* d = out.Row(y);
        for (int x = 0; x < out.Width; ++x, s += 4) d[x] = {s[2], s[1], s[0], s[3]};
    }
    return true;
}

bool PictureToBitmap(const TWorkPicture& picture, TBitmap& out) {
    if (!out.Allocate(picture.Width, picture.Height, pf32bit)) return false;
    for (int y = 0; y < picture.Height; ++y) {
        const TmyPixel* s = picture.Row(y);
        std::uint8_t* d = out.ScanLine(y);
        for (int x = 0; x < picture.Width; ++x, d += 4) {
            d[0] = s[x].B;
            d[1] = s[x].G;
            d[2] = s[x].R;
            d[3] = s[x].A;
        }
    }
    return true;
}

bool PictureFromImageData(const TImageData& image, TWorkPicture& source) {
    if (!TestImage(image)) return false;
    TImageFormatInfo info;
    if (!GetImageFormatInfo(image.Format, info)) return false;
    // The two layouts decoders deliver most are copied directly; anything
    // else goes through the library's own conversion first.
    const TImageData* rows = &image;
    TImageData converted;
    InitImage(converted);
    struct Freer {
        TImageData& d;
        ~Freer() { FreeImage(d); }
    } freer{converted};
    if (image.Format != ifR8G8B8 && image.Format != ifA8R8G8B8) {
        if (!CloneImage(image, converted) || !ConvertImage(converted, ifA8R8G8B8)) return false;
        rows = &converted;
    }
    if (!source.Allocate(rows->Width, rows->Height)) return false;
    source.Bits32 = info.HasAlpha;
    const bool three = rows->Format == ifR8G8B8;
    const std::size_t step = three ? 3 : 4;
    for (int y = 0; y < source.Height; ++y) {
        const std::uint8_t* s = rows->Bits + static_cast<std::size_t>(y) * static_cast<std::size_t>(rows->Width) * step;
        TmyPixel* d = source.Row(y);
        if (three) {
            // Whole words, so that the compiler turns the loop into byte shuffles.
            auto* out = reinterpret_cast<std::uint32_t*>(d);
            for (int x = 0; x < source.Width; ++x, s += 3)
                out[x] = 0xFF000000u | std::uint32_t(s[0]) << 16 | std::uint32_t(s[1]) << 8 | s[2];
        } else {
            for (int x = 0; x < source.Width; ++x, s += 4) d[x] = {s[2], s[1], s[0], s[3]};
        }
    }
    return true;
}

}  // namespace velto
