// The library's PNG, MNG and JNG formats on arbitrary bytes, each through its
// format object over a memory stream: a load fails (false or EImagingError)
// or gives valid images; a small loaded image saves as PNG and reads back
// with the same pixels.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "core/MessageBox.h"
#include "imaging/FormatNetworkGraphics.h"
#include "imaging/Imaging.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    velto::SilenceMessages();
    velto::ImagingLimits().imageBytes = 16u << 20;
    velto::ImagingLimits().imageLoadBytes = 64u << 20;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velto;
    TImageFileFormat* formats[] = {FindImageFileFormatByClass<TPNGFileFormat>(),
                                   FindImageFileFormatByClass<TMNGFileFormat>(),
                                   FindImageFileFormatByClass<TJNGFileFormat>()};
    auto* png = static_cast<TPNGFileFormat*>(formats[0]);
    for (TImageFileFormat* format : formats) {
        Check(format != nullptr);
        TMemoryStream stream(std::span<const std::uint8_t>(data, size));
        TDynImageDataArray images;
        bool loaded = false;
        try {
            loaded = format->LoadFromStream(stream, images);
        } catch (const EImagingError&) {
            Check(images.empty() && stream.Position() == 0);
            continue;
        }
        if (!loaded) {
            Check(images.empty());
            continue;
        }
        Check(!images.empty() && TestImagesInArray(images));
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
