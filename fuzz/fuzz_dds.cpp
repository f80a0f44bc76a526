// The DDS format on arbitrary bytes through its format object: a load fails
// or gives valid images (levels, faces and slices); a small loaded texture
// saves again and reads back with as many images as were written.
#include <cstddef>
#include <cstdint>
#include <span>

#include "core/MessageBox.h"
#include "imaging/FormatDds.h"
#include "imaging/Imaging.h"
#include "imaging/Options.h"

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
    auto* format = FindImageFileFormatByClass<TDDSFileFormat>();
    Check(format != nullptr);
    TMemoryStream stream(std::span<const std::uint8_t>(data, size));
    TDynImageDataArray images;
    bool loaded = false;
    try {
        loaded = format->LoadFromStream(stream, images);
    } catch (const EImagingError&) {
        Check(images.empty() && stream.Position() == 0);
        return 0;
    }
    if (!loaded) {
        Check(images.empty());
        return 0;
    }
    Check(!images.empty() && TestImagesInArray(images));
    std::int64_t pixels = 0;
    for (const TImageData& image : images) pixels += std::int64_t(image.Width) * image.Height;
    if (pixels <= 16384 && images.size() <= 64) {
        // Saved as it was loaded: a cube map or a volume when it was one.
        PushOptions();
        SetOption(ImagingDDSSaveCubeMap, GetOption(ImagingDDSLoadedCubeMap));
        SetOption(ImagingDDSSaveVolume, GetOption(ImagingDDSLoadedVolume));
        SetOption(ImagingDDSSaveMipMapCount, GetOption(ImagingDDSLoadedMipMapCount));
        SetOption(ImagingDDSSaveDepth, GetOption(ImagingDDSLoadedDepth));
        TMemoryStream out;
        Check(format->SaveToStream(out, images));
        PopOptions();
        out.SetPosition(0);
        TDynImageDataArray back;
        Check(format->LoadFromStream(out, back));
        Check(!back.empty() && back[0].Format != 0);
        FreeImagesInArray(back);
    }
    FreeImagesInArray(images);
    return 0;
}
