#include "engine/AlphaEffects.h"

#include <algorithm>
#include <cmath>

#include "engine/Adjust.h"
#include "engine/Composite.h"
#include "engine/Filter.h"
#include "engine/Transform.h"

namespace velto {

namespace {

std::uint8_t ShiftBy(int n) { return static_cast<std::uint8_t>(std::min(n, 255)); }

// The alpha rule of images below 32 bits, then transparent black at alpha 0.
void FinishAlpha(TmyImagePal& image) {
    const bool snap = image.BitCount < 32;
    for (TmyPixel& p : image.Pixels()) {
        if (snap) p.A = p.A >= 128 ? 255 : 0;
        if (p.A == 0) p = TmyPixel::Create();
    }
}

}  // namespace

void MakeShadow(TmyImagePal& image, TColor color, std::uint8_t size, int x, int y, int opacity) {
    TmyImagePal shadow(image.Size(), image.BitCount);
    shadow.Assign(image);
    if (x < 0) ShiftImageLeft(shadow, ShiftBy(-x));
    else if (x > 0) ShiftImageRight(shadow, ShiftBy(x));
    if (y < 0) ShiftImageUp(shadow, ShiftBy(-y));
    else if (y > 0) ShiftImageDown(shadow, ShiftBy(y));
    FillVisiblePixels(shadow, color, opacity);
    for (int pass = 0; pass < size / 2; ++pass)
        ApplyFilter5x5(shadow, FilterKernels[KernelBlurMore].Kernel, true);
    if (size % 2 != 0) ApplyFilter5x5(shadow, FilterKernels[KernelBlur].Kernel, true);

    auto out = image.Pixels();
    const auto under = shadow.Pixels();
    for (std::size_t i = 0; i < out.size(); ++i) AlphaBlendPixel(out[i], under[i], true);
    // Transparent white, as a literal reading would leave, would make the fill
    // tool stop at invisible borders and legacy cursor masks invert the screen.
    FinishAlpha(image);
}

void FadeImage(TmyImagePal& image, TFadeDirection direction, int start, int end) {
    const bool columns = direction == TFadeDirection::Horizontal;
    const int n = columns ? image.Width() : image.Height();
    const double step = n > 1 ? static_cast<double>(end - start) / static_cast<double>(n - 1) : 0.0;
    const bool snap = image.BitCount < 32;
    double factor = start;
    for (int k = 0; k < n; ++k) {
        const int count = columns ? image.Height() : image.Width();
        for (int i = 0; i < count; ++i) {
            TmyPixel& p = columns ? image.At(k, i) : image.At(i, k);
            const double scaled = std::nearbyint(static_cast<double>(p.A) * factor / 100.0);
            int a = static_cast<int>(std::clamp(scaled, 0.0, 255.0));
            if (snap) a = a >= 128 ? 255 : 0;
            p.A = static_cast<std::uint8_t>(a);
            if (a == 0) p = TmyPixel::Create();
        }
        factor += step;
    }
}

std::uint8_t PercentToByte(int percent) {
    const auto p = static_cast<std::uint8_t>(percent);
    return static_cast<std::uint8_t>(std::min(255.0, std::nearbyint(p * 255.0 / 100.0)));
}

}  // namespace velto
