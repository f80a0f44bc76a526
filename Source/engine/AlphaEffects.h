#pragma once
// Alpha effects of the shadow and fade-out dialogs (the drop-shadow effect
// command uses the shadow too): a soft drop shadow laid under a frame, and a
// linear alpha ramp across it.
#include <cstdint>

#include "model/Image.h"
#include "platform/Color.h"

namespace velto {

// Gives the image a drop shadow, in place: a copy of the image is shifted by
// (x, y) pixels, its visible pixels take color with their alpha moved by
// opacity percent (AddToAlpha, 24 bits or more only), it is blurred (size div 2
// "Blur More" passes, then one "Blur" pass when size is odd, alpha filtered
// too) and laid under the image. Below 32 bits alpha then snaps to 0 or 255 at
// 128. A pixel left at alpha 0 is transparent black, as everywhere else.
// Size, palette, depth, hotspot and rate stay; an indexed image may hold
// colours outside its palette afterwards (callers refit it).
void MakeShadow(TmyImagePal& image, TColor color, std::uint8_t size, int x, int y, int opacity);

// The ramp of a fade-out: along the columns (left to right) or the rows (top
// to bottom).
enum class TFadeDirection : std::uint8_t { Vertical = 0, Horizontal = 1 };

// Scales every pixel's alpha by a percentage running linearly from start on
// the first column (or row) to end on the last: line k takes
// start + k * (end - start) / (n - 1), summed step by step in double
// precision, and the alpha is rounded to nearest (halves to even). Below 32
// bits alpha snaps to 0 or 255 at 128. A pixel left at alpha 0 becomes
// transparent black. Nothing else of the image changes.
void FadeImage(TmyImagePal& image, TFadeDirection direction, int start, int end);

// percent (taken as an unsigned byte) * 255 / 100, rounded halves to even,
// at most 255.
std::uint8_t PercentToByte(int percent);

}  // namespace velto
