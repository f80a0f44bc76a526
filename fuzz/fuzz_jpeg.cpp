// The JPEG format on arbitrary bytes through its format object: libjpeg's
// fatal errors must come back as EImagingError (never a crash, a leak of the
// codec or an exception through libjpeg), the stream stays inside its bytes,
// and a small loaded image saves and reads back at its size.
#include <cstddef>
#include <cstdint>
#include <span>

#include "FormatFuzz.h"
#include "imaging/FormatJpeg.h"

using namespace velto;
using fuzz::Check;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::InitImagingFuzzer();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto* format = FindImageFileFormatByClass<TJpegFileFormat>();
    Check(format != nullptr);
    TMemoryStream stream(std::span<const std::uint8_t>(data, size));
    TDynImageDataArray images;
    const bool loaded = fuzz::LoadThrough(*format, stream, images, true);
    Check(stream.Position() >= 0 && stream.Position() <= static_cast<std::int64_t>(size));
    if (!loaded) return 0;
    Check(images.size() == 1);
    const TImageData& image = images[0];
    if (std::int64_t(image.Width) * image.Height <= 4096) {
        TMemoryStream out;
        Check(format->SaveToStream(out, images, true));
        out.SetPosition(0);
        TDynImageDataArray back;
        Check(format->LoadFromStream(out, back, true));
        Check(back.size() == 1 && back[0].Width == image.Width && back[0].Height == image.Height);
        FreeImagesInArray(back);
    }
    FreeImagesInArray(images);
    return 0;
}
