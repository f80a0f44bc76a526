// The old-game formats (IMG, CIF, texture archives, BSI images) on arbitrary
// bytes, each through its format object: a load fails or gives valid images;
// what IMG and CIF load saves again (or fails with the size error) and the
// result loads without a fault.
#include <cstddef>
#include <cstdint>
#include <span>

#include "FormatFuzz.h"
#include "imaging/FormatElder.h"

using namespace velto;
using fuzz::Check;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::InitImagingFuzzer();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TElderFileFormat* formats[] = {FindImageFileFormatByClass<TIMGFileFormat>(),
                                   FindImageFileFormatByClass<TCIFFileFormat>(),
                                   FindImageFileFormatByClass<TTextureFileFormat>(),
                                   FindImageFileFormatByClass<TBSIFileFormat>()};
    for (TElderFileFormat* format : formats) {
        Check(format != nullptr);
        TMemoryStream stream(std::span<const std::uint8_t>(data, size));
        TDynImageDataArray images;
        if (!fuzz::LoadThrough(*format, stream, images)) continue;
        if (format->CanSave && images.size() <= 8) {
            TMemoryStream out;
            bool saved = false;
            try {
                saved = format->SaveToStream(out, images);
            } catch (const EImagingError&) {
                // An image in the format's palette but larger than 65535 pixels.
            }
            if (saved) {
                out.SetPosition(0);
                TDynImageDataArray back;
                fuzz::LoadThrough(*format, out, back);
                FreeImagesInArray(back);
            }
        }
        FreeImagesInArray(images);
    }
    return 0;
}
