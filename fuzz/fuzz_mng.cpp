// The library's PNG, MNG and JNG formats on arbitrary bytes, each through its
// format object over a memory stream: a load fails (false or EImagingError)
// or gives valid images; a small loaded image saves as PNG and reads back at
// its size.
#include <cstddef>
#include <cstdint>
#include <span>

#include "FormatFuzz.h"
#include "imaging/FormatNetworkGraphics.h"

using namespace velto;
using fuzz::Check;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::InitImagingFuzzer();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto* png = FindImageFileFormatByClass<TPNGFileFormat>();
    TImageFileFormat* formats[] = {png, FindImageFileFormatByClass<TMNGFileFormat>(),
                                   FindImageFileFormatByClass<TJNGFileFormat>()};
    for (TImageFileFormat* format : formats) {
        Check(format != nullptr);
        TMemoryStream stream(std::span<const std::uint8_t>(data, size));
        TDynImageDataArray images;
        if (!fuzz::LoadThrough(*format, stream, images)) continue;
        const TImageData& first = images[0];
        if (png->IsSupported(first) && std::int64_t(first.Width) * first.Height <= 4096) {
            TMemoryStream out;
            Check(png->SaveToStream(out, images, true));
            out.SetPosition(0);
            TDynImageDataArray back;
            Check(png->LoadFromStream(out, back));
            Check(back.size() == 1 && back[0].Size == first.Size);
            FreeImagesInArray(back);
        }
        FreeImagesInArray(images);
    }
    return 0;
}
