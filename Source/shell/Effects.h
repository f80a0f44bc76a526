#pragma once
// The one-click image effects, numbered by their command's Tag (0..50):
// colour modes, channel swaps, the 5x5 filters, flips, rotations, one-pixel
// shifts and the drop shadow. The table says which engine routine each runs;
// the commands and "Last Effect" go through RunEffect.
#include <cstdint>

#include "engine/Adjust.h"
#include "engine/Filter.h"
#include "model/Image.h"

namespace velto {

enum class TEffectKind : std::uint8_t {
    CustomFilter,  // the kernel entered in the Custom Filter dialog
    GrayTint,      // Arg: TGrayTint
    Invert,
    SwapChannels,  // Arg: TChannelSwap
    Filter,        // Arg: kernel preset
    FlipHoriz,
    FlipVert,
    TurnLeft,
    TurnRight,
    Turn180,
    ShiftLeft,
    ShiftRight,
    ShiftUp,
    ShiftDown,
    Shadow,
};

struct TEffectSpec {
    int Tag;
    TEffectKind Kind;
    int Arg = 0;
};

inline constexpr int kEffectCount = 51;
// The effect of a Tag, or null outside 0..50.
const TEffectSpec* EffectOfTag(int tag);

// Effects that only recolour pixels through a palette rule of their own
// (Tags 1..11); the others leave an indexed image's palette step to the caller.
constexpr bool IsColorModeEffect(int tag) { return tag >= 1 && tag <= 11; }
// Effects that exchange an image's width and height.
constexpr bool IsQuarterTurn(int tag) { return tag == 43 || tag == 44; }

// Applies the effect of tag to image. palette is the change's rule (the
// colour modes run it); custom is the Custom Filter's kernel (Tag 0: nothing
// without one); filterOnAlpha is the "FilterOnAlpha" setting.
void RunEffect(TmyImagePal& image, int tag, TPaletteRule& palette, bool filterOnAlpha,
               const TFilterKernel* custom = nullptr);

}  // namespace velto
