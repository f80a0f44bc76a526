// The JPEG 2000 format on arbitrary bytes, through the format object and a
// memory stream: a load either fails (false or EImagingError) or yields a
// valid image of the size the header gave, with the stream left inside its
// bytes; a loaded image saves losslessly and reads back the same.
// With VELTO_FUZZ_REAL_LIMITS set, the inputs are files the program must
// refuse as too large at its own limits, before the codec runs: past the
// charge the codec's huge allocations would merely fail under a sanitizer,
// a refusal no run would see.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "core/MessageBox.h"
#include "imaging/FormatJpeg2000.h"
#include "imaging/Imaging.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

bool gRealLimits = false;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    velto::SilenceMessages();
    gRealLimits = std::getenv("VELTO_FUZZ_REAL_LIMITS") != nullptr;
    if (gRealLimits) return 0;
    // Small enough that the codec's buffers and ours stay far below the memory
    // limit, and its packet iterator's steps far below the time limit.
    velto::ImagingLimits().imageBytes = 16u << 20;
    velto::ImagingLimits().imageLoadBytes = 64u << 20;
    velto::ImagingLimits().jpeg2000PacketSteps = 1u << 22;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velto;
    if (gRealLimits && size == 0) return 0;  // libFuzzer's own first input
    auto* format = FindImageFileFormatByClass<TJpeg2000FileFormat>();
    Check(format != nullptr);
    TMemoryStream stream(std::span<const std::uint8_t>(data, size));
    TDynImageDataArray images;
    bool loaded = false;
    try {
        loaded = format->LoadFromStream(stream, images, true);
    } catch (const EImagingError& e) {
        Check(images.empty() && stream.Position() == 0);
        Check(!gRealLimits || e.FileStatus() == FileError::TooLarge);
        return 0;
    }
    Check(!gRealLimits);
    Check(stream.Position() >= 0 && stream.Position() <= static_cast<std::int64_t>(size));
    if (!loaded) {
        Check(images.empty());
        return 0;
    }
    Check(images.size() == 1 && TestImage(images[0]));
    const TImageData& image = images[0];
    // A pixel format the saver takes saves losslessly and reads back the same
    // (small images only, to keep runs fast).
    if (format->IsSupported(image) && std::int64_t(image.Width) * image.Height <= 4096) {
        TMemoryStream out;
        Check(format->SaveToStream(out, images, true));
        out.SetPosition(0);
        TDynImageDataArray back;
        Check(format->LoadFromStream(out, back, true));
        Check(back.size() == 1 && back[0].Format == image.Format && back[0].Size == image.Size);
        Check(std::memcmp(back[0].Bits, image.Bits, static_cast<std::size_t>(image.Size)) == 0);
        FreeImagesInArray(back);
    }
    FreeImagesInArray(images);
    return 0;
}
