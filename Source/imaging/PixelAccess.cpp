// Reading and writing pixels of any format: the readers and writers of each
// class of formats, and the generic 32-bit and floating-point pixel routines.
#include "imaging/Formats.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "imaging/PixelMath.h"

namespace velto {

using namespace pixel_math;

TColor64Rec ChannelGetSrcPixel(const std::uint8_t* src, const TImageFormatInfo& info) {
    TColor64Rec c;
    switch (info.BytesPerPixel) {
    case 1:
    case 2: {
        const std::uint32_t pix = info.BytesPerPixel == 1 ? src[0] : Load16(src);
        const TBitFieldInfo& bf = *info.BitFields;
        const auto field = [&](std::uint32_t mask, std::uint8_t shift, std::uint8_t max) {
            const std::uint32_t c8 = ((pix & mask) >> shift) * 255u / max;
            return static_cast<std::uint16_t>(c8 * 256u);
        };
        c.A = field(bf.AMask, bf.AShift, bf.AMax);
        c.R = field(bf.RMask, bf.RShift, bf.RMax);
        c.G = field(bf.GMask, bf.GShift, bf.GMax);
        c.B = field(bf.BMask, bf.BShift, bf.BMax);
        break;
    }
    case 3:
        c.B = static_cast<std::uint16_t>(src[0] * 65535u / 255u);
        c.G = static_cast<std::uint16_t>(src[1] * 65535u / 255u);
        c.R = static_cast<std::uint16_t>(src[2] * 65535u / 255u);
        c.A = 0;
        break;
    case 4:
        c.B = static_cast<std::uint16_t>(src[0] * 65535u / 255u);
        c.G = static_cast<std::uint16_t>(src[1] * 65535u / 255u);
        c.R = static_cast<std::uint16_t>(src[2] * 65535u / 255u);
        c.A = static_cast<std::uint16_t>(src[3] * 65535u / 255u);
        break;
    case 6:
        c.B = Load16(src);
        c.G = Load16(src + 2);
        c.R = Load16(src + 4);
        break;
    case 8:
        c.B = Load16(src);
        c.G = Load16(src + 2);
        c.R = Load16(src + 4);
        c.A = Load16(src + 6);
        break;
    default:
        break;
    }
    if (!info.HasAlpha) c.A = 65535;
    if (info.IsRBSwapped) std::swap(c.R, c.B);
    return c;
}

void ChannelSetDstPixel(std::uint8_t* dst, const TImageFormatInfo& info, TColor64Rec pix) {
    if (info.IsRBSwapped) std::swap(pix.R, pix.B);
    const auto to8 = [](std::uint16_t v) { return static_cast<std::uint8_t>(v * 255u / 65535u); };
    switch (info.BytesPerPixel) {
    case 1:
    case 2: {
        const TBitFieldInfo& bf = *info.BitFields;
        const auto field = [](std::uint16_t c16, std::uint8_t bits, std::uint8_t shift) {
            const std::uint32_t c8 = c16 >> 8;
            return ((c8 << bits) >> 8) << shift;
        };
        const std::uint32_t v = field(pix.A, bf.ABits, bf.AShift) | field(pix.R, bf.RBits, bf.RShift) |
                                field(pix.G, bf.GBits, bf.GShift) | field(pix.B, bf.BBits, bf.BShift);
        if (info.BytesPerPixel == 1) dst[0] = static_cast<std::uint8_t>(v);
        else Store16(dst, static_cast<std::uint16_t>(v));
        break;
    }
    case 3:
        dst[0] = to8(pix.B);
        dst[1] = to8(pix.G);
        dst[2] = to8(pix.R);
        break;
    case 4:
        dst[0] = to8(pix.B);
        dst[1] = to8(pix.G);
        dst[2] = to8(pix.R);
        dst[3] = to8(pix.A);
        break;
    case 6:
        Store16(dst, pix.B);
        Store16(dst + 2, pix.G);
        Store16(dst + 4, pix.R);
        break;
    case 8:
        Store16(dst, pix.B);
        Store16(dst + 2, pix.G);
        Store16(dst + 4, pix.R);
        Store16(dst + 6, pix.A);
        break;
    default:
        break;
    }
}

void GrayGetSrcPixel(const std::uint8_t* src, const TImageFormatInfo& info, std::uint64_t& gray,
                     std::uint16_t& alpha) {
    gray = 0;
    alpha = 65535;
    const auto top = [](std::uint64_t w) { return w << 48; };
    switch (info.BytesPerPixel) {
    case 1:
        gray = top(src[0] * 65535u / 255u);
        break;
    case 2:
        if (info.HasAlpha) {
            gray = top(src[0] * 65535u / 255u);
            alpha = static_cast<std::uint16_t>(src[1] * 65535u / 255u);
        } else {
            gray = top(Load16(src));
        }
        break;
    case 4:
        if (info.HasAlpha) {
            gray = top(Load16(src));
            alpha = Load16(src + 2);
        } else {
            gray = static_cast<std::uint64_t>(Load32(src)) << 32;
        }
        break;
    case 8:
        std::memcpy(&gray, src, 8);
        break;
    default:
        break;
    }
}

void GraySetDstPixel(std::uint8_t* dst, const TImageFormatInfo& info, std::uint64_t gray, std::uint16_t alpha) {
    const auto topWord = static_cast<std::uint32_t>(gray >> 48);
    switch (info.BytesPerPixel) {
    case 1:
        dst[0] = static_cast<std::uint8_t>(topWord * 255u / 65535u);
        break;
    case 2:
        if (info.HasAlpha) {
            dst[0] = static_cast<std::uint8_t>(topWord * 255u / 65535u);
            dst[1] = static_cast<std::uint8_t>(alpha * 255u / 65535u);
        } else {
            Store16(dst, static_cast<std::uint16_t>(topWord));
        }
        break;
    case 4:
        if (info.HasAlpha) {
            Store16(dst, static_cast<std::uint16_t>(topWord));
            Store16(dst + 2, alpha);
        } else {
            Store32(dst, static_cast<std::uint32_t>(gray >> 32));
        }
        break;
    case 8:
        std::memcpy(dst, &gray, 8);
        break;
    default:
        break;
    }
}

TColorFPRec FloatGetSrcPixel(const std::uint8_t* src, const TImageFormatInfo& info) {
    TColorFPRec c;
    switch (info.BytesPerPixel) {
    case 4:
        c.R = LoadF(src);
        break;
    case 16:
        std::memcpy(&c, src, 16);
        break;
    case 2:
        c.R = HalfToFloat(Load16(src));
        break;
    case 8:
        c.B = HalfToFloat(Load16(src));
        c.G = HalfToFloat(Load16(src + 2));
        c.R = HalfToFloat(Load16(src + 4));
        c.A = HalfToFloat(Load16(src + 6));
        break;
    default:
        break;
    }
    if (!info.HasAlpha) c.A = 1.0f;
    if (info.IsRBSwapped) std::swap(c.R, c.B);
    return c;
}

void FloatSetDstPixel(std::uint8_t* dst, const TImageFormatInfo& info, TColorFPRec pix) {
    if (info.IsRBSwapped) std::swap(pix.R, pix.B);
    switch (info.BytesPerPixel) {
    case 4:
        StoreF(dst, pix.R);
        break;
    case 16:
        std::memcpy(dst, &pix, 16);
        break;
    case 2:
        Store16(dst, FloatToHalf(pix.R));
        break;
    case 8:
        Store16(dst, FloatToHalf(pix.B));
        Store16(dst + 2, FloatToHalf(pix.G));
        Store16(dst + 4, FloatToHalf(pix.R));
        Store16(dst + 6, FloatToHalf(pix.A));
        break;
    default:
        break;
    }
}

std::uint32_t IndexGetSrcPixel(const std::uint8_t* src, const TImageFormatInfo&) { return src[0]; }

void IndexSetDstPixel(std::uint8_t* dst, const TImageFormatInfo& info, std::uint32_t index) {
    switch (info.BytesPerPixel) {
    case 1: dst[0] = static_cast<std::uint8_t>(index); break;
    case 2: Store16(dst, static_cast<std::uint16_t>(index)); break;
    case 4: Store32(dst, index); break;
    default: break;
    }
}

std::int32_t NearestPaletteIndex(const TColor32* palette, std::int32_t entries, TColor32 color) {
    for (std::int32_t i = 0; i < entries; ++i)
        if (palette[i] == color) return i;
    std::int32_t best = 0, bestDist = 1020;
    for (std::int32_t i = 0; i < entries; ++i) {
        const TColor32 e = palette[i];
        const int d = std::abs(int(Color32R(e)) - int(Color32R(color))) +
                      std::abs(int(Color32G(e)) - int(Color32G(color))) +
                      std::abs(int(Color32B(e)) - int(Color32B(color))) +
                      std::abs(int(Color32A(e)) - int(Color32A(color)));
        if (d < bestDist) {
            bestDist = d;
            best = i;
        }
    }
    return best;
}

// ---------------------------------------------------------------------------
// Generic pixel routines

TColor32 GetPixel32Generic(const std::uint8_t* pixel, const TImageFormatInfo& info, const TColor32* palette) {
    if (info.FormatId == ifA8R8G8B8) return Load32(pixel);
    if (info.FormatId == ifR8G8B8) return Color32(255, pixel[2], pixel[1], pixel[0]);
    if (info.IsIndexed) return palette[IndexGetSrcPixel(pixel, info)];
    if (info.IsGray) {
        std::uint64_t gray;
        std::uint16_t alpha;
        GrayGetSrcPixel(pixel, info, gray, alpha);
        const auto g = static_cast<std::uint8_t>((gray >> 48) * 255u / 65535u);
        return Color32(static_cast<std::uint8_t>(alpha * 255u / 65535u), g, g, g);
    }
    if (info.IsFloat) {
        const TColorFPRec c = FloatGetSrcPixel(pixel, info);
        return Color32(Byte(c.A), Byte(c.R), Byte(c.G), Byte(c.B));
    }
    const TColor64Rec c = ChannelGetSrcPixel(pixel, info);
    const auto b = [](std::uint16_t v) { return static_cast<std::uint8_t>(v * 255u / 65535u); };
    return Color32(b(c.A), b(c.R), b(c.G), b(c.B));
}

void SetPixel32Generic(std::uint8_t* pixel, const TImageFormatInfo& info, const TColor32* palette, TColor32 color) {
    if (info.FormatId == ifA8R8G8B8) {
        Store32(pixel, color);
        return;
    }
    if (info.FormatId == ifR8G8B8) {
        pixel[0] = Color32B(color);
        pixel[1] = Color32G(color);
        pixel[2] = Color32R(color);
        return;
    }
    if (info.IsIndexed) {
        IndexSetDstPixel(pixel, info,
                         static_cast<std::uint32_t>(NearestPaletteIndex(palette, info.PaletteEntries, color)));
        return;
    }
    if (info.IsGray) {
        const auto alpha = static_cast<std::uint16_t>(Color32A(color) * 65535u / 255u);
        const std::uint32_t g8 = RoundClamp(GrayOf(Color32R(color), Color32G(color), Color32B(color)), 255);
        GraySetDstPixel(pixel, info, static_cast<std::uint64_t>(g8 * 65535u / 255u) << 48, alpha);
        return;
    }
    if (info.IsFloat) {
        FloatSetDstPixel(pixel, info,
                         {Div8(Color32B(color)), Div8(Color32G(color)), Div8(Color32R(color)), Div8(Color32A(color))});
        return;
    }
    const auto w = [](std::uint8_t v) { return static_cast<std::uint16_t>(v * 65535u / 255u); };
    ChannelSetDstPixel(pixel, info, {w(Color32B(color)), w(Color32G(color)), w(Color32R(color)), w(Color32A(color))});
}

TColorFPRec GetPixelFPGeneric(const std::uint8_t* pixel, const TImageFormatInfo& info, const TColor32* palette) {
    if (info.IsIndexed) {
        const TColor32 e = palette[IndexGetSrcPixel(pixel, info)];
        return {Div8(Color32B(e)), Div8(Color32G(e)), Div8(Color32R(e)), Div8(Color32A(e))};
    }
    if (info.IsGray) {
        std::uint64_t gray;
        std::uint16_t alpha;
        GrayGetSrcPixel(pixel, info, gray, alpha);
        const float g = Div16(static_cast<std::uint32_t>(gray >> 48));
        return {g, g, g, Div16(alpha)};
    }
    if (info.IsFloat) return FloatGetSrcPixel(pixel, info);
    const TColor64Rec c = ChannelGetSrcPixel(pixel, info);
    return {Div16(c.B), Div16(c.G), Div16(c.R), Div16(c.A)};
}

void SetPixelFPGeneric(std::uint8_t* pixel, const TImageFormatInfo& info, const TColor32* palette,
                       const TColorFPRec& color) {
    if (info.IsIndexed) {
        const TColor32 c = Color32(Byte(color.A), Byte(color.R), Byte(color.G), Byte(color.B));
        IndexSetDstPixel(pixel, info, static_cast<std::uint32_t>(NearestPaletteIndex(palette, info.PaletteEntries, c)));
        return;
    }
    if (info.IsGray) {
        const auto alpha = static_cast<std::uint16_t>(RoundClamp(static_cast<double>(color.A) * 65535.0, 65535));
        const std::uint64_t g16 = RoundClamp(GrayOf(color.R, color.G, color.B) * 65535.0, 65535);
        GraySetDstPixel(pixel, info, g16 << 48, alpha);
        return;
    }
    if (info.IsFloat) {
        FloatSetDstPixel(pixel, info, color);
        return;
    }
    const auto w = [](float v) { return static_cast<std::uint16_t>(RoundClamp(static_cast<double>(v) * 65535.0, 65535)); };
    ChannelSetDstPixel(pixel, info, {w(color.B), w(color.G), w(color.R), w(color.A)});
}

}  // namespace velto
