// PSD images on arbitrary bytes; see ClassicFormatFuzz.h.
#include "ClassicFormatFuzz.h"
#include "imaging/FormatPsd.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    velto::fuzz::Initialize();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto* found = velto::FindImageFileFormatByClass<velto::TPSDFileFormat>();
    velto::fuzz::Check(found != nullptr);
    auto& format = *found;
    velto::fuzz::LoadAndResave(format, data, size, [&](const velto::TImageData& image) { return format.IsSupported(image) ? &format : nullptr; });
    return 0;
}
