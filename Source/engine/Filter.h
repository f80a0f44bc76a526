#pragma once
// The 5 x 5 convolution filter and its 29 named kernels.
//
// Weights are applied as a correlation: weight 5 * (dy + 2) + (dx + 2) takes
// the neighbour (x + dx, y + dy). A neighbour coordinate outside the image is
// replaced by the centre pixel's coordinate on that axis. Transparent
// neighbours lend the average colour of the visible ones. Each channel is
// round(sum / divisor) (halves to even) + offset, clamped into 0..255.
#include <array>
#include <cstdint>

#include "model/Image.h"
#include "model/Pixel.h"

namespace velto {

struct TFilterKernel {
    std::array<std::int32_t, 25> Weights{};  // row 0 two above the centre, column 0 two to its left
    std::int32_t Divisor = 1;                // 0 counts as 1
    std::int32_t Offset = 0;                 // added after the division
};

struct TKernelPreset {
    const char* Name;      // its item in the Custom Filter dialog
    int DialogItem;        // position in that list (item 0 is "None")
    int EffectTag;         // the effect command that applies it
    TFilterKernel Kernel;
};

inline constexpr int KernelPresetCount = 29;
extern const std::array<TKernelPreset, KernelPresetCount> FilterKernels;

// Records of the blur/sharpen brush and the drop shadow.
inline constexpr int KernelBlur = 4;
inline constexpr int KernelBlurMore = 6;
inline constexpr int KernelSharpen = 8;

// The record an effect tag (12..40) or a dialog item (1..29) stands for; -1
// for any other value.
int KernelForEffectTag(int tag);
int KernelForDialogItem(int item);

// Filters the image in place; every read is from the pixels as they were.
// Visible pixels take the filtered colour and keep their alpha; with
// filterOnAlpha every pixel takes the filtered colour and alpha (the kernel's
// offset is then added to alpha as well). Below 32 bits alpha snaps to 0 or
// 255 at 128; a transparent pixel ends as (0, 0, 0, 0).
void ApplyFilter5x5(TmyImagePal& image, const TFilterKernel& kernel, bool filterOnAlpha);

// The filtered pixel at (x, y) (inside the image): filtered R, G, B, and the
// filtered alpha with filterOnAlpha, else the pixel's own.
TmyPixel FilterPixel5x5(int x, int y, bool filterOnAlpha, const TFilterKernel& kernel, const TmyImage& image);

// Keeps the current thread's filters off the AVX2 code while it lives (for
// tests holding it against the portable code).
class ScopedPortableFilter {
public:
    ScopedPortableFilter();
    ~ScopedPortableFilter();
    ScopedPortableFilter(const ScopedPortableFilter&) = delete;
    ScopedPortableFilter& operator=(const ScopedPortableFilter&) = delete;

private:
    bool fOld;
};

}  // namespace velto
