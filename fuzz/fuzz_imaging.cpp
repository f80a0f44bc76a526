// Every registered format of the image library on arbitrary bytes, the way
// the program meets unnamed data: TSingleImage loading from a memory stream,
// the format found by content. Detection must leave the stream where it was;
// a load gives a valid image or an invalid one, never a crash; a valid image
// converts to A8R8G8B8 and back.
#include <cstddef>
#include <cstdint>
#include <span>

#include "core/MessageBox.h"
#include "imaging/Classes.h"
#include "imaging/FileFormat.h"
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
    TMemoryStream stream(std::span<const std::uint8_t>(data, size));
    // Each format's content test keeps the position.
    for (std::int32_t i = 0; i < GetFileFormatCount(); ++i) {
        stream.SetPosition(0);
        GetFileFormatAtIndex(i)->TestFormat(StreamIO(), &stream);
        Check(stream.Position() == 0);
    }
    (void)DetectStreamFormat(stream);
    Check(stream.Position() == 0);

    TSingleImage image;
    try {
        image.LoadFromStream(stream);
    } catch (const EImagingError&) {
        Check(!image.Valid());
        return 0;
    }
    if (!image.Valid()) return 0;
    TImageFormatInfo info;
    image.GetFormatInfo(info);
    Check(info.FormatId == image.Format() && image.Width() > 0 && image.Height() > 0);
    if (!info.IsBlockCompressed) {
        TImageData copy;
        Check(CloneImage(image.ImageData, copy));
        ConvertImage(copy, ifA8R8G8B8);
        Check(TestImage(copy) && copy.Width == image.Width());
        FreeImage(copy);
    }
    return 0;
}
