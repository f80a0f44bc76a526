// The DDS format on arbitrary bytes through its format object: a load fails
// or gives valid images (levels, faces and slices); a small loaded texture
// saves again as what it was (cube map, volume or plain) and reads back.
#include <cstddef>
#include <cstdint>
#include <span>

#include "FormatFuzz.h"
#include "imaging/FormatDds.h"
#include "imaging/Options.h"

using namespace velto;
using fuzz::Check;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::InitImagingFuzzer();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto* format = FindImageFileFormatByClass<TDDSFileFormat>();
    Check(format != nullptr);
    TMemoryStream stream(std::span<const std::uint8_t>(data, size));
    TDynImageDataArray images;
    if (!fuzz::LoadThrough(*format, stream, images)) return 0;
    std::int64_t pixels = 0;
    for (const TImageData& image : images) pixels += std::int64_t(image.Width) * image.Height;
    if (pixels <= 16384 && images.size() <= 64) {
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
