// Conversions between formats, one routine for each pair of format classes.
#include "imaging/Formats.h"

#include <algorithm>
#include <cstring>

#include "imaging/Options.h"
#include "imaging/PixelMath.h"

namespace velto {

using namespace pixel_math;

namespace {

inline std::uint8_t GrayByte(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return static_cast<std::uint8_t>(RoundClamp(GrayOf(r, g, b), 255));
}

TColorFPRec ClampFP(TColorFPRec c) {
    const auto cl = [](float v) { return v > 1.0f ? 1.0f : (v >= 0.0f ? v : 0.0f); };
    return {cl(c.B), cl(c.G), cl(c.R), cl(c.A)};
}

void FillGrayRamp(TColor32* pal, std::int32_t entries) {
    for (std::int32_t i = 0; i < entries; ++i) {
        const auto v = static_cast<std::uint8_t>(i);
        pal[i] = Color32(255, v, v, v);
    }
}

}  // namespace

void IndexToIndex(std::size_t n, const std::uint8_t* src, std::uint8_t* dst, const TImageFormatInfo& si,
                  const TImageFormatInfo& di, const TColor32* sp, TColor32* dp) {
    for (std::size_t i = 0; i < n; ++i)
        IndexSetDstPixel(dst + i * std::size_t(di.BytesPerPixel), di,
                         IndexGetSrcPixel(src + i * std::size_t(si.BytesPerPixel), si));
    std::memcpy(dp, sp, std::size_t(std::min(si.PaletteEntries, di.PaletteEntries)) * 4);
}

void IndexToGray(std::size_t n, const std::uint8_t* src, std::uint8_t* dst, const TImageFormatInfo& si,
                 const TImageFormatInfo& di, const TColor32* sp, TColor32*) {
    const std::size_t sb = std::size_t(si.BytesPerPixel), db = std::size_t(di.BytesPerPixel);
    if (si.FormatId == ifIndex8 && di.FormatId == ifGray8) {
        for (std::size_t i = 0; i < n; ++i) {
            const TColor32 e = sp[src[i]];
            dst[i] = GrayByte(Color32R(e), Color32G(e), Color32B(e));
        }
        return;
    }
    for (std::size_t i = 0; i < n; ++i) {
        const TColor32 e = sp[IndexGetSrcPixel(src + i * sb, si)];
        const auto alpha = static_cast<std::uint16_t>(Color32A(e) * 256u);
        const std::uint32_t g8 = GrayByte(Color32R(e), Color32G(e), Color32B(e));
        GraySetDstPixel(dst + i * db, di, static_cast<std::uint64_t>(g8 * 65535u / 255u) << 48, alpha);
    }
}

void IndexToFloat(std::size_t n, const std::uint8_t* src, std::uint8_t* dst, const TImageFormatInfo& si,
                  const TImageFormatInfo& di, const TColor32* sp, TColor32*) {
    for (std::size_t i = 0; i < n; ++i) {
        const TColor32 e = sp[IndexGetSrcPixel(src + i * std::size_t(si.BytesPerPixel), si)];
        FloatSetDstPixel(dst + i * std::size_t(di.BytesPerPixel), di,
                         {Div8(Color32B(e)), Div8(Color32G(e)), Div8(Color32R(e)), Div8(Color32A(e))});
    }
}

void IndexToChannel(std::size_t n, const std::uint8_t* src, std::uint8_t* dst, const TImageFormatInfo& si,
                    const TImageFormatInfo& di, const TColor32* sp, TColor32*) {
    if (si.FormatId == ifIndex8 && (di.FormatId == ifR8G8B8 || di.FormatId == ifA8R8G8B8)) {
        const std::size_t db = std::size_t(di.BytesPerPixel);
        for (std::size_t i = 0; i < n; ++i) {
            const TColor32 e = sp[src[i]];
            std::uint8_t* d = dst + i * db;
            d[0] = Color32B(e);
            d[1] = Color32G(e);
            d[2] = Color32R(e);
            if (db == 4) d[3] = Color32A(e);
        }
        return;
    }
    for (std::size_t i = 0; i < n; ++i) {
        const TColor32 e = sp[IndexGetSrcPixel(src + i * std::size_t(si.BytesPerPixel), si)];
        ChannelSetDstPixel(dst + i * std::size_t(di.BytesPerPixel), di,
                           {static_cast<std::uint16_t>(Color32B(e) * 256u), static_cast<std::uint16_t>(Color32G(e) * 256u),
                            static_cast<std::uint16_t>(Color32R(e) * 256u), static_cast<std::uint16_t>(Color32A(e) * 256u)});
    }
}

void GrayToIndexed(std::size_t n, const std::uint8_t* src, std::uint8_t* dst, const TImageFormatInfo& si,
                   const TImageFormatInfo& di, const TColor32*, TColor32* dp) {
    FillGrayRamp(dp, di.PaletteEntries);
    if (si.FormatId == ifGray8 && di.FormatId == ifIndex8) {
        std::memcpy(dst, src, n);
        return;
    }
    int shift = 0;
    while ((1 << (shift + 1)) <= di.PaletteEntries) ++shift;
    for (std::size_t i = 0; i < n; ++i) {
        std::uint64_t gray;
        std::uint16_t alpha;
        GrayGetSrcPixel(src + i * std::size_t(si.BytesPerPixel), si, gray, alpha);
        IndexSetDstPixel(dst + i * std::size_t(di.BytesPerPixel), di,
                         static_cast<std::uint32_t>((gray >> 48) >> (16 - shift)));
    }
}

void GrayToGray(std::size_t n, const std::uint8_t* src, std::uint8_t* dst, const TImageFormatInfo& si,
                const TImageFormatInfo& di, const TColor32*, TColor32*) {
    if (si.FormatId == ifGray8 && di.FormatId == ifGray16) {
        for (std::size_t i = 0; i < n; ++i) Store16(dst + 2 * i, static_cast<std::uint16_t>(src[i] * 256u));
        return;
    }
    if (si.FormatId == ifGray16 && di.FormatId == ifGray8) {
        for (std::size_t i = 0; i < n; ++i) dst[i] = static_cast<std::uint8_t>(Load16(src + 2 * i) >> 8);
        return;
    }
    for (std::size_t i = 0; i < n; ++i) {
        std::uint64_t gray;
        std::uint16_t alpha;
        GrayGetSrcPixel(src + i * std::size_t(si.BytesPerPixel), si, gray, alpha);
        GraySetDstPixel(dst + i * std::size_t(di.BytesPerPixel), di, gray, alpha);
    }
}

void GrayToFloat(std::size_t n, const std::uint8_t* src, std::uint8_t* dst, const TImageFormatInfo& si,
                 const TImageFormatInfo& di, const TColor32*, TColor32*) {
    for (std::size_t i = 0; i < n; ++i) {
        std::uint64_t gray;
        std::uint16_t alpha;
        GrayGetSrcPixel(src + i * std::size_t(si.BytesPerPixel), si, gray, alpha);
        const float g = Div16(static_cast<std::uint32_t>(gray >> 48));
        FloatSetDstPixel(dst + i * std::size_t(di.BytesPerPixel), di, {g, g, g, Div16(alpha)});
    }
}

void GrayToChannel(std::size_t n, const std::uint8_t* src, std::uint8_t* dst, const TImageFormatInfo& si,
                   const TImageFormatInfo& di, const TColor32*, TColor32*) {
    const std::size_t db = std::size_t(di.BytesPerPixel);
    if (si.FormatId == ifGray8 && (db == 3 || db == 4)) {
        for (std::size_t i = 0; i < n; ++i) {
            std::uint8_t* d = dst + i * db;
            d[0] = d[1] = d[2] = src[i];
            if (db == 4 && di.HasAlpha) d[3] = 255;
        }
        return;
    }
    for (std::size_t i = 0; i < n; ++i) {
        std::uint64_t gray;
        std::uint16_t alpha;
        GrayGetSrcPixel(src + i * std::size_t(si.BytesPerPixel), si, gray, alpha);
        const auto g = static_cast<std::uint16_t>(gray >> 48);
        ChannelSetDstPixel(dst + i * db, di, {g, g, g, alpha});
    }
}

void FloatToIndexed(std::size_t n, const std::uint8_t* src, std::uint8_t* dst, const TImageFormatInfo& si,
                    const TImageFormatInfo& di, const TColor32*, TColor32* dp) {
    ReduceColorsMedianCut(n, src, dst, si, di, di.PaletteEntries, static_cast<std::uint8_t>(GetOption(ImagingColorReductionMask)), dp);
}

void FloatToGray(std::size_t n, const std::uint8_t* src, std::uint8_t* dst, const TImageFormatInfo& si,
                 const TImageFormatInfo& di, const TColor32*, TColor32*) {
    for (std::size_t i = 0; i < n; ++i) {
        const TColorFPRec c = ClampFP(FloatGetSrcPixel(src + i * std::size_t(si.BytesPerPixel), si));
        const auto alpha = static_cast<std::uint16_t>(RoundClamp(static_cast<double>(c.A) * 65535.0, 65535));
        const std::uint64_t g16 = RoundClamp(GrayOf(c.R, c.G, c.B) * 65535.0, 65535);
        GraySetDstPixel(dst + i * std::size_t(di.BytesPerPixel), di, g16 << 48, alpha);
    }
}

void FloatToFloat(std::size_t n, const std::uint8_t* src, std::uint8_t* dst, const TImageFormatInfo& si,
                  const TImageFormatInfo& di, const TColor32*, TColor32*) {
    for (std::size_t i = 0; i < n; ++i)
        FloatSetDstPixel(dst + i * std::size_t(di.BytesPerPixel), di,
                         FloatGetSrcPixel(src + i * std::size_t(si.BytesPerPixel), si));
}

void FloatToChannel(std::size_t n, const std::uint8_t* src, std::uint8_t* dst, const TImageFormatInfo& si,
                    const TImageFormatInfo& di, const TColor32*, TColor32*) {
    const auto w = [](float v) { return static_cast<std::uint16_t>(RoundClamp(static_cast<double>(v) * 65535.0, 65535)); };
    for (std::size_t i = 0; i < n; ++i) {
        const TColorFPRec c = ClampFP(FloatGetSrcPixel(src + i * std::size_t(si.BytesPerPixel), si));
        ChannelSetDstPixel(dst + i * std::size_t(di.BytesPerPixel), di, {w(c.B), w(c.G), w(c.R), w(c.A)});
    }
}

void ChannelToIndexed(std::size_t n, const std::uint8_t* src, std::uint8_t* dst, const TImageFormatInfo& si,
                      const TImageFormatInfo& di, const TColor32*, TColor32* dp) {
    ReduceColorsMedianCut(n, src, dst, si, di, di.PaletteEntries, static_cast<std::uint8_t>(GetOption(ImagingColorReductionMask)), dp);
}

void ChannelToGray(std::size_t n, const std::uint8_t* src, std::uint8_t* dst, const TImageFormatInfo& si,
                   const TImageFormatInfo& di, const TColor32*, TColor32*) {
    const std::size_t sb = std::size_t(si.BytesPerPixel);
    if ((sb == 3 || sb == 4) && di.FormatId == ifGray8) {
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint8_t* s = src + i * sb;
            dst[i] = GrayByte(s[2], s[1], s[0]);
        }
        return;
    }
    for (std::size_t i = 0; i < n; ++i) {
        const TColor64Rec c = ChannelGetSrcPixel(src + i * sb, si);
        const std::uint64_t g16 = RoundClamp(GrayOf(c.R, c.G, c.B), 65535);
        GraySetDstPixel(dst + i * std::size_t(di.BytesPerPixel), di, g16 << 48, c.A);
    }
}

void ChannelToFloat(std::size_t n, const std::uint8_t* src, std::uint8_t* dst, const TImageFormatInfo& si,
                    const TImageFormatInfo& di, const TColor32*, TColor32*) {
    for (std::size_t i = 0; i < n; ++i) {
        const TColor64Rec c = ChannelGetSrcPixel(src + i * std::size_t(si.BytesPerPixel), si);
        FloatSetDstPixel(dst + i * std::size_t(di.BytesPerPixel), di, {Div16(c.B), Div16(c.G), Div16(c.R), Div16(c.A)});
    }
}

void ChannelToChannel(std::size_t n, const std::uint8_t* src, std::uint8_t* dst, const TImageFormatInfo& si,
                      const TImageFormatInfo& di, const TColor32*, TColor32*) {
    const std::size_t sb = std::size_t(si.BytesPerPixel), db = std::size_t(di.BytesPerPixel);
    if (sb == 3 && db == 4) {
        const bool alpha = di.HasAlpha;
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint8_t* s = src + i * 3;
            std::uint8_t* d = dst + i * 4;
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
            if (alpha) d[3] = 255;
        }
        return;
    }
    if (sb == 4 && db == 3) {
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint8_t* s = src + i * 4;
            std::uint8_t* d = dst + i * 3;
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
        }
        return;
    }
    for (std::size_t i = 0; i < n; ++i) ChannelSetDstPixel(dst + i * db, di, ChannelGetSrcPixel(src + i * sb, si));
}

TConvertRoutine ConversionFor(const TImageFormatInfo& src, const TImageFormatInfo& dst) {
    const auto cls = [](const TImageFormatInfo& f) { return f.IsIndexed ? 0 : f.IsGray ? 1 : f.IsFloat ? 2 : 3; };
    static constexpr TConvertRoutine kTable[4][4] = {
        {IndexToIndex, IndexToGray, IndexToFloat, IndexToChannel},
        {GrayToIndexed, GrayToGray, GrayToFloat, GrayToChannel},
        {FloatToIndexed, FloatToGray, FloatToFloat, FloatToChannel},
        {ChannelToIndexed, ChannelToGray, ChannelToFloat, ChannelToChannel},
    };
    return kTable[cls(src)][cls(dst)];
}

}  // namespace velto
