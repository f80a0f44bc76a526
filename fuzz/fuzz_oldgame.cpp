// The old-game formats (IMG, CIF, texture archives, BSI images) on arbitrary
// bytes, each through its format object: a load fails or gives valid images;
// IMG and CIF images save and read back.
#include <cstddef>
#include <cstdint>
#include <span>

#include "core/MessageBox.h"
#include "imaging/FormatElder.h"
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
    TElderFileFormat* formats[] = {FindImageFileFormatByClass<TIMGFileFormat>(),
                                   FindImageFileFormatByClass<TCIFFileFormat>(),
                                   FindImageFileFormatByClass<TTextureFileFormat>(),
                                   FindImageFileFormatByClass<TBSIFileFormat>()};
    for (TElderFileFormat* format : formats) {
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
                try {
                    format->LoadFromStream(out, back);
                } catch (const EImagingError&) {
                }
                FreeImagesInArray(back);
            }
        }
        FreeImagesInArray(images);
    }
    return 0;
}
