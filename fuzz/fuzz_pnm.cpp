// Portable maps on arbitrary bytes, through the class that detection picks by
// the magic; loaded images are saved again as arbitrary maps (integer
// samples) or float maps; see ClassicFormatFuzz.h.
#include "ClassicFormatFuzz.h"
#include "imaging/FormatPnm.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    velto::fuzz::Initialize();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velto;
    TMemoryStream probe(std::span<const std::uint8_t>(data, size));
    TImageFileFormat* format = FindImageFileFormatByExt(DetectStreamFormat(probe));
    if (!dynamic_cast<TPortableMapFileFormat*>(format)) return 0;
    auto* pam = FindImageFileFormatByClass<TPAMFileFormat>();
    auto* pfm = FindImageFileFormatByClass<TPFMFileFormat>();
    fuzz::LoadAndResave(*format, data, size, [&](const TImageData& image) -> TImageFileFormat* {
        if (pam->IsSupported(image)) return pam;
        return pfm->IsSupported(image) ? pfm : nullptr;
    });
    return 0;
}
