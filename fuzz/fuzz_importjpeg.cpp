// The import's direct JPEG road on arbitrary bytes: never a crash or a jump
// out of libjpeg into C++ frames; what it decodes has the size the header
// declares, and the image library reads the same bytes to the same pixels.
#include <cstddef>
#include <cstdint>
#include <span>

#include "FormatFuzz.h"
#include "imaging/FormatJpeg.h"
#include "import/JpegDecode.h"

using namespace velto;
using fuzz::Check;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::InitImagingFuzzer();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TWorkPicture picture;
    if (DecodeJpeg(std::span<const std::uint8_t>(data, size), picture) != TJpegDecode::Decoded) return 0;
    Check(picture.Width > 0 && picture.Height > 0);
    auto* format = FindImageFileFormatByClass<TJpegFileFormat>();
    TMemoryStream stream(std::span<const std::uint8_t>(data, size));
    TDynImageDataArray images;
    if (!fuzz::LoadThrough(*format, stream, images, true)) return 0;  // the library is stricter (its scan count)
    TImageData& image = images[0];
    Check(image.Width == picture.Width && image.Height == picture.Height);
    Check(ConvertImage(image, ifA8R8G8B8));
    for (int y = 0; y < picture.Height; ++y)
        for (int x = 0; x < picture.Width; ++x) {
            const std::uint8_t* p = image.Bits + (static_cast<std::size_t>(y) * image.Width + x) * 4;
            const TmyPixel& q = picture.At(x, y);
            Check(q.R == p[2] && q.G == p[1] && q.B == p[0] && q.A == 255);
        }
    FreeImagesInArray(images);
    return 0;
}
