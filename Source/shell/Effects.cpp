#include "Effects.h"

#include "engine/AlphaEffects.h"
#include "engine/Transform.h"

namespace velto {

namespace {

using enum TEffectKind;

constexpr int Tint(TGrayTint t) { return static_cast<int>(t); }
constexpr int Swap(TChannelSwap s) { return static_cast<int>(s); }

// Row i is Tag i.
constexpr TEffectSpec kEffects[kEffectCount] = {
    {0, CustomFilter},
    {1, GrayTint, Tint(TGrayTint::Grayscale)},
    {2, Invert},
    {3, GrayTint, Tint(TGrayTint::Red)},
    {4, GrayTint, Tint(TGrayTint::Green)},
    {5, GrayTint, Tint(TGrayTint::Blue)},
    {6, GrayTint, Tint(TGrayTint::Yellow)},
    {7, GrayTint, Tint(TGrayTint::Cyan)},
    {8, GrayTint, Tint(TGrayTint::Magenta)},
    {9, SwapChannels, Swap(TChannelSwap::RedGreen)},
    {10, SwapChannels, Swap(TChannelSwap::RedBlue)},
    {11, SwapChannels, Swap(TChannelSwap::GreenBlue)},
    {12, Filter, 0},   // colour emboss
    {13, Filter, 1},   // light emboss
    {14, Filter, 2},   // emboss
    {15, Filter, 3},   // dark emboss
    {16, Filter, 19},  // average
    {17, Filter, 4},   // blur
    {18, Filter, 5},   // soft blur
    {19, Filter, 6},   // blur more
    {20, Filter, 7},   // motion blur
    {21, Filter, 12},  // vertical edges
    {22, Filter, 13},  // horizontal edges
    {23, Filter, 14},  // enhance edges
    {24, Filter, 15},  // detect edges
    {25, Filter, 16},  // strong edges
    {26, Filter, 17},  // weak edges
    {27, Filter, 18},  // contour
    {28, Filter, 8},   // sharpen
    {29, Filter, 10},  // sharpen less
    {30, Filter, 9},   // sharpen more
    {31, Filter, 11},  // directional sharpen
    {32, Filter, 20},  // glow
    {33, Filter, 21},  // waggle
    {34, Filter, 22},  // pattern
    {35, Filter, 23},  // dark paint
    {36, Filter, 24},  // bright paint
    {37, Filter, 26},  // shake
    {38, Filter, 25},  // shake less
    {39, Filter, 27},  // pale
    {40, Filter, 28},  // scene
    {41, FlipHoriz},
    {42, FlipVert},
    {43, TurnLeft},
    {44, TurnRight},
    {45, Turn180},
    {46, ShiftLeft},
    {47, ShiftRight},
    {48, ShiftUp},
    {49, ShiftDown},
    {50, Shadow},
};

constexpr bool RowsAreTags() {
    for (int i = 0; i < kEffectCount; ++i)
        if (kEffects[i].Tag != i) return false;
    return true;
}
static_assert(RowsAreTags());

}  // namespace

const TEffectSpec* EffectOfTag(int tag) { return tag >= 0 && tag < kEffectCount ? &kEffects[tag] : nullptr; }

void RunEffect(TmyImagePal& image, int tag, TPaletteRule& palette, bool filterOnAlpha, const TFilterKernel* custom) {
    const TEffectSpec* e = EffectOfTag(tag);
    if (!e) return;
    switch (e->Kind) {
    case CustomFilter:
        if (custom) ApplyFilter5x5(image, *custom, filterOnAlpha);
        break;
    case GrayTint: GrayscaleTint(image, static_cast<TGrayTint>(e->Arg), &palette); break;
    case Invert: InvertColors(image, &palette); break;
    case SwapChannels: SwapFrameChannels(image, static_cast<TChannelSwap>(e->Arg), &palette); break;
    case Filter:
        ApplyFilter5x5(image, FilterKernels[static_cast<std::size_t>(e->Arg)].Kernel, filterOnAlpha);
        break;
    case FlipHoriz: FlipHorizontal(image); break;
    case FlipVert: FlipVertical(image); break;
    case TurnLeft: RotateLeft90(image); break;
    case TurnRight: RotateRight90(image); break;
    case Turn180:
        FlipHorizontal(image);
        FlipVertical(image);
        break;
    case ShiftLeft: ShiftImageLeft(image, 1); break;
    case ShiftRight: ShiftImageRight(image, 1); break;
    case ShiftUp: ShiftImageUp(image, 1); break;
    case ShiftDown: ShiftImageDown(image, 1); break;
    case Shadow: MakeShadow(image, clBlack, 1, 1, 1, -30); break;
    }
}

}  // namespace velto
