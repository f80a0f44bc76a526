#pragma once
// What the fuzz targets of single image-library formats share: the check that
// stops a run, the decode budget they run under, and one load through a format
// object over a memory stream.
#include <cstdint>

#include "core/MessageBox.h"
#include "imaging/FileFormat.h"
#include "imaging/Imaging.h"
#include "imaging/ImagingIO.h"

namespace velto::fuzz {

inline void Check(bool condition) {
    if (!condition) __builtin_trap();
}

// Messages off; a budget small enough that the codecs' buffers and ours stay
// far below the fuzzer's memory limit.
inline void InitImagingFuzzer() {
    SilenceMessages();
    ImagingLimits().imageBytes = 16u << 20;
    ImagingLimits().imageLoadBytes = 64u << 20;
}

// True with valid images; false with none, for a refused file or after
// EImagingError (which puts the stream back at its start).
inline bool LoadThrough(TImageFileFormat& format, TMemoryStream& stream, TDynImageDataArray& images,
                        bool firstOnly = false) {
    bool loaded = false;
    try {
        loaded = format.LoadFromStream(stream, images, firstOnly);
    } catch (const EImagingError&) {
        Check(images.empty() && stream.Position() == 0);
        return false;
    }
    if (!loaded) {
        Check(images.empty());
        return false;
    }
    Check(!images.empty() && TestImagesInArray(images));
    return true;
}

}  // namespace velto::fuzz
