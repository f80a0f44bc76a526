#pragma once
// One format of the image library on arbitrary bytes, through its format
// object and a memory stream: a load either fails (false, or EImagingError
// with nothing kept and the stream back at the start) or yields valid images
// with the stream left inside the input; small loaded images saved again (by
// the format itself, or the one given for its pixel format) load back to the
// same pixels.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "core/MessageBox.h"
#include "imaging/FileFormat.h"
#include "imaging/Formats.h"
#include "imaging/Imaging.h"

namespace velto::fuzz {

inline void Check(bool condition) {
    if (!condition) __builtin_trap();
}

inline void Initialize() {
    SilenceMessages();
    // Small enough that a run stays far below the fuzzer's memory limit.
    ImagingLimits().imageBytes = 16u << 20;
    ImagingLimits().imageLoadBytes = 64u << 20;
}

// saverFor: the format that saves an image of that pixel format (nullptr: none).
template <class SaverFor>
void LoadAndResave(TImageFileFormat& format, const std::uint8_t* data, std::size_t size, SaverFor saverFor) {
    TMemoryStream stream(std::span<const std::uint8_t>(data, size));
    TDynImageDataArray images;
    bool loaded = false;
    try {
        loaded = format.LoadFromStream(stream, images);
    } catch (const EImagingError&) {
        Check(images.empty() && stream.Position() == 0);
        return;
    }
    Check(stream.Position() >= 0 && stream.Position() <= static_cast<std::int64_t>(size));
    if (!loaded) {
        Check(images.empty());
        return;
    }
    Check(!images.empty() && TestImagesInArray(images));
    std::int64_t area = 0;
    for (const TImageData& image : images) area += std::int64_t(image.Width) * image.Height;
    TImageFileFormat* saver = saverFor(images[0]);
    if (saver && area <= 16384) {
        TMemoryStream out;
        Check(saver->SaveToStream(out, images));
        out.SetPosition(0);
        TDynImageDataArray back;
        Check(saver->LoadFromStream(out, back));
        Check(back.size() == images.size());
        for (std::size_t i = 0; i < images.size(); ++i) {
            Check(back[i].Width == images[i].Width && back[i].Height == images[i].Height);
            // Formats told by content (alpha bits present or not) may load as their twin.
            if (back[i].Format == images[i].Format)
                Check(std::memcmp(back[i].Bits, images[i].Bits, static_cast<std::size_t>(images[i].Size)) == 0);
        }
        FreeImagesInArray(back);
    }
    FreeImagesInArray(images);
}

}  // namespace velto::fuzz
