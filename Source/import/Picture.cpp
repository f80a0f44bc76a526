// Conversions between the working picture and the bitmaps and image records
// the codecs deliver.
#include "import/Picture.h"

#include <algorithm>
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
    Rows = nullptr;
    Width = width;
    Height = height;
    return true;
}

bool TWorkPicture::MakeRows(int width, int height, TRowMaker rows) {
    if (width < 1 || height < 1 || !rows) return false;
    Bytes = TPixelBytes();
    Rows = std::move(rows);
    Width = width;
    Height = height;
    return true;
}

const TmyPixel* TWorkPicture::ReadRow(int y, std::vector<TmyPixel>& scratch) const {
    if (Held() && !Opaque) return Row(y);
    scratch.resize(static_cast<std::size_t>(Width));
    if (Held()) std::copy(Row(y), Row(y) + Width, scratch.begin());
    else Rows(y, scratch.data());
    if (Opaque)
        for (TmyPixel& p : scratch) p.A = 255;
    return scratch.data();
}

void TWorkPicture::Fill(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a) {
    const TmyPixel p{r, g, b, a};
    TmyPixel* d = Data();
    const std::size_t n = static_cast<std::size_t>(Width) * static_cast<std::size_t>(Height);
    for (std::size_t i = 0; i < n; ++i) d[i] = p;
}

void CopyPicturePixels(const TWorkPicture& source, int sx, int sy, int width, int height, TmyImage& target, int dx,
                       int dy) {
    const int x0 = std::max({0, -dx, -sx});
    const int y0 = std::max({0, -dy, -sy});
    const int x1 = std::min({width, target.Width() - dx, source.Width - sx});
    const int y1 = std::min({height, target.Height() - dy, source.Height - sy});
    std::vector<TmyPixel> scratch;
    for (int y = y0; y < y1; ++y) {
        const TmyPixel* s = source.ReadRow(sy + y, scratch) + sx + x0;
        TmyPixel* d = &target.At(dx + x0, dy + y);
        for (int x = x0; x < x1; ++x, ++s, ++d) *d = s->A == 0 ? TmyPixel{} : *s;
    }
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
    std::vector<TmyPixel> scratch;
    for (int y = 0; y < picture.Height; ++y) {
        const TmyPixel* s = picture.ReadRow(y, scratch);
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

bool PictureFromImageData(TImageData& image, TWorkPicture& source) {
    if (!TestImage(image)) return false;
    TImageFormatInfo info;
    if (!GetImageFormatInfo(image.Format, info)) return false;
    // Compressed blocks convert only whole (in place, so the pixels are
    // still held once); every other format is converted a row at a time.
    if (info.IsBlockCompressed && !ConvertImage(image, ifA8R8G8B8)) return false;
    if (std::uint64_t(image.Width) * std::uint64_t(image.Height) * 4 > kMaxBitmapBytes) return false;
    const TImageData* rows = &image;
    TWorkPicture::TRowMaker maker;
    if (image.Format == ifR8G8B8 || image.Format == ifA8R8G8B8) {
        // The two layouts decoders deliver most are read as they are.
        const bool three = rows->Format == ifR8G8B8;
        const std::size_t step = three ? 3 : 4;
        maker = [rows, three, step](int y, TmyPixel* d) {
            const std::uint8_t* s = rows->Bits + static_cast<std::size_t>(y) * static_cast<std::size_t>(rows->Width) * step;
            if (three) {
                // Whole words, so that the compiler turns the loop into byte shuffles.
                auto* out = reinterpret_cast<std::uint32_t*>(d);
                for (int x = 0; x < rows->Width; ++x, s += 3)
                    out[x] = 0xFF000000u | std::uint32_t(s[0]) << 16 | std::uint32_t(s[1]) << 8 | s[2];
            } else {
                for (int x = 0; x < rows->Width; ++x, s += 4) d[x] = {s[2], s[1], s[0], s[3]};
            }
        };
    } else {
        maker = [rows](int y, TmyPixel* d) {
            const std::size_t width = static_cast<std::size_t>(rows->Width);
            auto* bytes = reinterpret_cast<std::uint8_t*>(d);
            ConvertPixelsTo32(*rows, static_cast<std::size_t>(y) * width, width, bytes);
            for (std::size_t x = 0; x < width; ++x) std::swap(bytes[4 * x], bytes[4 * x + 2]);  // B, G, R, A to R, G, B, A
        };
    }
    source.Bits32 = info.HasAlpha;
    return source.MakeRows(rows->Width, rows->Height, std::move(maker));
}

}  // namespace velto
