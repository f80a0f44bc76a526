// Pixel-format table, pixel access, class conversions, half floats, row
// expansion and median cut. Products of channel values are computed in double
// from the single-precision constants and rounded half to even, so results do
// not depend on contraction or the build's float settings.
#include "imaging/Formats.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#if defined(__x86_64__) && defined(__SSE2__)
#include <immintrin.h>
#endif

#include "imaging/Options.h"

namespace velto {

namespace {

// Constants of the conversions, as single-precision values.
constexpr float kGrayR = 0.299f, kGrayG = 0.587f, kGrayB = 0.114f;
constexpr float kOneDiv8Bit = 0.003921569f;
constexpr float kOneDiv16Bit = 0.0000152590219f;

// Round half to even and clamp to 0..max.
inline std::uint32_t RoundClamp(double v, std::uint32_t max) {
    const double r = std::nearbyint(v);
    if (!(r >= 0.0)) return 0;  // NaN too
    if (r >= static_cast<double>(max)) return max;
    return static_cast<std::uint32_t>(r);
}

// A channel of 0.0..1.0 as a byte.
inline std::uint8_t Byte(float c) { return static_cast<std::uint8_t>(RoundClamp(static_cast<double>(c) * 255.0, 255)); }

inline double GrayOf(double r, double g, double b) {
    return static_cast<double>(kGrayR) * r + static_cast<double>(kGrayG) * g + static_cast<double>(kGrayB) * b;
}

inline float Div8(std::uint32_t v) { return static_cast<float>(static_cast<double>(v) * kOneDiv8Bit); }
inline float Div16(std::uint32_t v) { return static_cast<float>(static_cast<double>(v) * kOneDiv16Bit); }

inline std::uint16_t Load16(const std::uint8_t* p) {
    std::uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}
inline void Store16(std::uint8_t* p, std::uint16_t v) { std::memcpy(p, &v, 2); }
inline std::uint32_t Load32(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline void Store32(std::uint8_t* p, std::uint32_t v) { std::memcpy(p, &v, 4); }
inline float LoadF(const std::uint8_t* p) {
    float v;
    std::memcpy(&v, p, 4);
    return v;
}
inline void StoreF(std::uint8_t* p, float v) { std::memcpy(p, &v, 4); }

// ---------------------------------------------------------------------------
// The table

std::int32_t CheckedSize(std::int64_t w, std::int64_t h, std::int64_t bpp) {
    std::int64_t s = 0;
    if (w < 0 || h < 0 || __builtin_mul_overflow(w, h, &s) || __builtin_mul_overflow(s, bpp, &s) ||
        s > INT32_MAX)
        throw EImagingError("Range check error");
    return static_cast<std::int32_t>(s);
}

// The 8-bit channel routines (Gray8, A8Gray8, R8G8B8, X8R8G8B8).
TColor32 GetPixel32Channel8(const std::uint8_t* p, const TImageFormatInfo& info, const TColor32*) {
    if (info.IsGray) return Color32(info.HasAlpha ? p[1] : 255, p[0], p[0], p[0]);
    return Color32(255, p[2], p[1], p[0]);
}
void SetPixel32Channel8(std::uint8_t* p, const TImageFormatInfo& info, const TColor32*, TColor32 c) {
    if (info.IsGray) {
        p[0] = static_cast<std::uint8_t>(RoundClamp(GrayOf(Color32R(c), Color32G(c), Color32B(c)), 255));
        if (info.HasAlpha) p[1] = Color32A(c);
        return;
    }
    p[0] = Color32B(c);
    p[1] = Color32G(c);
    p[2] = Color32R(c);
}
TColorFPRec GetPixelFPChannel8(const std::uint8_t* p, const TImageFormatInfo& info, const TColor32*) {
    TColorFPRec c;
    if (info.IsGray) {
        c.B = c.G = c.R = Div8(p[0]);
        c.A = info.HasAlpha ? Div8(p[1]) : 1.0f;
    } else {
        c.B = Div8(p[0]);
        c.G = Div8(p[1]);
        c.R = Div8(p[2]);
        c.A = 1.0f;
    }
    return c;
}
void SetPixelFPChannel8(std::uint8_t* p, const TImageFormatInfo& info, const TColor32*, const TColorFPRec& c) {
    if (info.IsGray) {
        p[0] = static_cast<std::uint8_t>(RoundClamp(GrayOf(c.R, c.G, c.B) * 255.0, 255));
        if (info.HasAlpha) p[1] = Byte(c.A);
        return;
    }
    p[0] = Byte(c.B);
    p[1] = Byte(c.G);
    p[2] = Byte(c.R);
}

// A8R8G8B8's own routines.
TColor32 GetPixel32ARGB(const std::uint8_t* p, const TImageFormatInfo&, const TColor32*) { return Load32(p); }
void SetPixel32ARGB(std::uint8_t* p, const TImageFormatInfo&, const TColor32*, TColor32 c) { Store32(p, c); }
TColorFPRec GetPixelFPARGB(const std::uint8_t* p, const TImageFormatInfo&, const TColor32*) {
    return {Div8(p[0]), Div8(p[1]), Div8(p[2]), Div8(p[3])};
}
void SetPixelFPARGB(std::uint8_t* p, const TImageFormatInfo&, const TColor32*, const TColorFPRec& c) {
    p[0] = Byte(c.B);
    p[1] = Byte(c.G);
    p[2] = Byte(c.R);
    p[3] = Byte(c.A);
}

// 32-bit float routines.
TColorFPRec GetPixelFPFloat32(const std::uint8_t* p, const TImageFormatInfo& info, const TColor32*) {
    TColorFPRec c;
    if (info.FormatId == ifR32F) {
        c.R = LoadF(p);
        c.A = 1.0f;
        return c;
    }
    std::memcpy(&c, p, 16);
    if (info.IsRBSwapped) std::swap(c.R, c.B);
    return c;
}
void SetPixelFPFloat32(std::uint8_t* p, const TImageFormatInfo& info, const TColor32*, const TColorFPRec& c) {
    if (info.FormatId == ifR32F) {
        StoreF(p, c.R);
        return;
    }
    TColorFPRec v = c;
    if (info.IsRBSwapped) std::swap(v.R, v.B);
    std::memcpy(p, &v, 16);
}

enum Kind { kGeneric, kArgb, kChannel8, kFloat32 };

struct FormatRow {
    TImageFormat id;
    const char* name;
    std::int32_t bpp, channels, palette;
    bool gray, alpha, isFloat, packed, swapped;
    TImageFormat twin;
    bool indexed, block;
    int bitFields;  // index into the bit-field records, -1 none
    Kind kind;
    TImageFormat nearest;
};

// Bit-field records, built in this order: R3G3B2, X5R1G1B1, R5G6B5, A1R5G5B5,
// A4R4G4B4, X1R5G5B5, X4R4G4B4.
const std::array<TBitFieldInfo, 7> kBitFields = {
    MakeBitFieldInfo(0, 3, 3, 2), MakeBitFieldInfo(0, 1, 1, 1), MakeBitFieldInfo(0, 5, 6, 5),
    MakeBitFieldInfo(1, 5, 5, 5), MakeBitFieldInfo(4, 4, 4, 4), MakeBitFieldInfo(0, 5, 5, 5),
    MakeBitFieldInfo(0, 4, 4, 4)};

// clang-format off
constexpr FormatRow kRows[] = {
    // id               name            bpp ch pal gray  alpha  float  packed swap   twin             idx    block  bf  kind       nearest
    {ifIndex8,          "Index8",        1, 1, 256, false, false, false, false, false, 0,               true,  false, -1, kGeneric,  0},
    {ifGray8,           "Gray8",         1, 1, 0,   true,  false, false, false, false, 0,               false, false, -1, kChannel8, 0},
    {ifA8Gray8,         "A8Gray8",       2, 2, 0,   true,  true,  false, false, false, 0,               false, false, -1, kChannel8, 0},
    {ifGray16,          "Gray16",        2, 1, 0,   true,  false, false, false, false, 0,               false, false, -1, kGeneric,  0},
    {ifGray32,          "Gray32",        4, 1, 0,   true,  false, false, false, false, 0,               false, false, -1, kGeneric,  0},
    {ifGray64,          "Gray64",        8, 1, 0,   true,  false, false, false, false, 0,               false, false, -1, kGeneric,  0},
    {ifA16Gray16,       "A16Gray16",     4, 2, 0,   true,  true,  false, false, false, 0,               false, false, -1, kGeneric,  0},
    {ifX5R1G1B1,        "X5R1G1B1",      1, 3, 0,   false, false, false, true,  false, 0,               false, false,  1, kGeneric,  0},
    {ifR3G3B2,          "R3G3B2",        1, 3, 0,   false, false, false, true,  false, 0,               false, false,  0, kGeneric,  0},
    {ifR5G6B5,          "R5G6B5",        2, 3, 0,   false, false, false, true,  false, 0,               false, false,  2, kGeneric,  0},
    {ifA1R5G5B5,        "A1R5G5B5",      2, 4, 0,   false, true,  false, true,  false, 0,               false, false,  3, kGeneric,  0},
    {ifA4R4G4B4,        "A4R4G4B4",      2, 4, 0,   false, true,  false, true,  false, 0,               false, false,  4, kGeneric,  0},
    {ifX1R5G5B5,        "X1R5G5B5",      2, 3, 0,   false, false, false, true,  false, 0,               false, false,  5, kGeneric,  0},
    {ifX4R4G4B4,        "X4R4G4B4",      2, 3, 0,   false, false, false, true,  false, 0,               false, false,  6, kGeneric,  0},
    {ifR8G8B8,          "R8G8B8",        3, 3, 0,   false, false, false, false, false, 0,               false, false, -1, kChannel8, 0},
    {ifA8R8G8B8,        "A8R8G8B8",      4, 4, 0,   false, true,  false, false, false, 0,               false, false, -1, kArgb,     0},
    {ifX8R8G8B8,        "X8R8G8B8",      4, 3, 0,   false, false, false, false, false, 0,               false, false, -1, kChannel8, 0},
    {ifR16G16B16,       "R16G16B16",     6, 3, 0,   false, false, false, false, false, ifB16G16R16,     false, false, -1, kGeneric,  0},
    {ifA16R16G16B16,    "A16R16G16B16",  8, 4, 0,   false, true,  false, false, false, ifA16B16G16R16,  false, false, -1, kGeneric,  0},
    {ifB16G16R16,       "B16G16R16",     6, 3, 0,   false, false, false, false, true,  ifR16G16B16,     false, false, -1, kGeneric,  0},
    {ifA16B16G16R16,    "A16B16G16R16",  8, 4, 0,   false, true,  false, false, true,  ifA16R16G16B16,  false, false, -1, kGeneric,  0},
    {ifR32F,            "R32F",          4, 1, 0,   false, false, true,  false, false, 0,               false, false, -1, kFloat32,  0},
    {ifA32R32G32B32F,   "A32R32G32B32F", 16, 4, 0,  false, true,  true,  false, false, ifA32B32G32R32F, false, false, -1, kFloat32,  0},
    {ifA32B32G32R32F,   "A32B32G32R32F", 16, 4, 0,  false, true,  true,  false, true,  ifA32R32G32B32F, false, false, -1, kFloat32,  0},
    {ifR16F,            "R16F",          2, 1, 0,   false, false, true,  false, false, 0,               false, false, -1, kGeneric,  0},
    {ifA16R16G16B16F,   "A16R16G16B16F", 8, 4, 0,   false, true,  true,  false, false, ifA16B16G16R16F, false, false, -1, kGeneric,  0},
    {ifA16B16G16R16F,   "A16B16G16R16F", 8, 4, 0,   false, true,  true,  false, true,  ifA16R16G16B16F, false, false, -1, kGeneric,  0},
    {ifDXT1,            "DXT1",          0, 4, 0,   false, true,  false, false, false, 0,               false, true,  -1, kGeneric,  ifA8R8G8B8},
    {ifDXT3,            "DXT3",          0, 4, 0,   false, true,  false, false, false, 0,               false, true,  -1, kGeneric,  ifA8R8G8B8},
    {ifDXT5,            "DXT5",          0, 4, 0,   false, true,  false, false, false, 0,               false, true,  -1, kGeneric,  ifA8R8G8B8},
    {ifBTC,             "BTC",           0, 1, 0,   false, false, false, false, false, 0,               false, true,  -1, kGeneric,  ifGray8},
};
// clang-format on

// The pixel routines of each kind of format.
struct PixelRoutines {
    TGetPixel32Func get32;
    TSetPixel32Func set32;
    TGetPixelFPFunc getFP;
    TSetPixelFPFunc setFP;
};
constexpr PixelRoutines kRoutines[] = {
    {GetPixel32Generic, SetPixel32Generic, GetPixelFPGeneric, SetPixelFPGeneric},     // kGeneric
    {GetPixel32ARGB, SetPixel32ARGB, GetPixelFPARGB, SetPixelFPARGB},                 // kArgb
    {GetPixel32Channel8, SetPixel32Channel8, GetPixelFPChannel8, SetPixelFPChannel8}, // kChannel8
    {GetPixel32Generic, SetPixel32Generic, GetPixelFPFloat32, SetPixelFPFloat32},     // kFloat32
};

struct FormatTable {
    std::array<TImageFormatInfo, std::size(kRows)> records{};
    std::array<const TImageFormatInfo*, kFormatSlots> slots{};

    FormatTable() {
        for (std::size_t i = 0; i < std::size(kRows); ++i) {
            const FormatRow& r = kRows[i];
            TImageFormatInfo& f = records[i];
            f.FormatId = r.id;
            std::strncpy(f.Name, r.name, sizeof f.Name - 1);
            f.BytesPerPixel = r.bpp;
            f.ChannelCount = r.channels;
            f.PaletteEntries = r.palette;
            f.IsGray = r.gray;
            f.HasAlpha = r.alpha;
            f.IsFloat = r.isFloat;
            f.IsPacked = r.packed;
            f.IsRBSwapped = r.swapped;
            f.SwappedTwin = r.twin;
            f.IsIndexed = r.indexed;
            f.IsBlockCompressed = r.block;
            f.BitFields = r.bitFields >= 0 ? &kBitFields[static_cast<std::size_t>(r.bitFields)] : nullptr;
            f.NearestPlainFormat = r.nearest;
            if (r.block) {
                f.GetPixelsSize = r.id == ifBTC ? GetBTCPixelsSize : GetDXTPixelsSize;
                f.CheckDimensions = CheckBlockDimensions;
            } else {
                f.GetPixelsSize = GetStdPixelsSize;
                f.CheckDimensions = CheckStdDimensions;
                const PixelRoutines& pr = kRoutines[r.kind];
                f.GetPixel32 = pr.get32;
                f.SetPixel32 = pr.set32;
                f.GetPixelFP = pr.getFP;
                f.SetPixelFP = pr.setFP;
            }
            slots[r.id] = &f;
        }
        slots[ifDefault] = slots[ifA8R8G8B8];
    }
};

const FormatTable& Table() {
    static const FormatTable table;
    return table;
}

}  // namespace

TBitFieldInfo MakeBitFieldInfo(std::uint8_t aBits, std::uint8_t rBits, std::uint8_t gBits, std::uint8_t bBits) {
    TBitFieldInfo f;
    f.ABits = aBits;
    f.RBits = rBits;
    f.GBits = gBits;
    f.BBits = bBits;
    f.BShift = 0;
    f.GShift = bBits;
    f.RShift = static_cast<std::uint8_t>(gBits + bBits);
    f.AShift = static_cast<std::uint8_t>(rBits + gBits + bBits);
    const auto ones = [](unsigned bits) { return (1u << bits) - 1u; };
    f.BMask = ones(bBits);
    f.GMask = ones(gBits) << f.GShift;
    f.RMask = ones(rBits) << f.RShift;
    f.AMask = ones(aBits) << f.AShift;
    const auto max1 = [&](unsigned bits) { return static_cast<std::uint8_t>(std::max(1u, ones(bits))); };
    f.AMax = max1(aBits);
    f.RMax = max1(rBits);
    f.GMax = max1(gBits);
    f.BMax = max1(bBits);
    return f;
}

const TImageFormatInfo* FormatInfo(TImageFormat id) { return id < kFormatSlots ? Table().slots[id] : nullptr; }

bool IsImageFormatValid(TImageFormat id) { return FormatInfo(id) != nullptr; }

std::int32_t GetStdPixelsSize(TImageFormat format, std::int32_t width, std::int32_t height) {
    const TImageFormatInfo* info = FormatInfo(format);
    if (!info) return 0;
    return CheckedSize(width, height, info->BytesPerPixel);
}

void CheckStdDimensions(TImageFormat, std::int32_t&, std::int32_t&) {}

void CheckBlockDimensions(TImageFormat, std::int32_t& width, std::int32_t& height) {
    const auto up = [](std::int32_t v) {
        return v > INT32_MAX - 3 ? v : static_cast<std::int32_t>((static_cast<std::int64_t>(v) + 3) & ~3ll);
    };
    width = up(width);
    height = up(height);
}

std::int32_t GetDXTPixelsSize(TImageFormat format, std::int32_t width, std::int32_t height) {
    const std::int64_t w = (static_cast<std::int64_t>(width) + 3) & ~3ll;
    const std::int64_t h = (static_cast<std::int64_t>(height) + 3) & ~3ll;
    const std::int32_t size = CheckedSize(w, h, 1);
    return format == ifDXT1 ? size / 2 : size;
}

std::int32_t GetBTCPixelsSize(TImageFormat, std::int32_t width, std::int32_t height) {
    const std::int64_t w = (static_cast<std::int64_t>(width) + 3) & ~3ll;
    const std::int64_t h = (static_cast<std::int64_t>(height) + 3) & ~3ll;
    return CheckedSize(w, h, 1) / 4;
}

// ---------------------------------------------------------------------------
// Class readers and writers

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

// ---------------------------------------------------------------------------
// Conversions

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

// ---------------------------------------------------------------------------
// Row routines

namespace {
template <int Bits>
void ConvertPackedTo8(const std::uint8_t* src, std::uint8_t* dst, std::int32_t width, std::int32_t height,
                      std::int32_t srcRowBytes) {
    constexpr int perByte = 8 / Bits;
    constexpr unsigned mask = (1u << Bits) - 1u;
    for (std::int32_t y = 0; y < height; ++y) {
        const std::uint8_t* row = src + std::size_t(y) * std::size_t(srcRowBytes);
        for (std::int32_t x = 0; x < width; ++x) {
            const int slot = x % perByte;
            *dst++ = static_cast<std::uint8_t>((row[x / perByte] >> (8 - Bits - slot * Bits)) & mask);
        }
    }
}
}  // namespace

void Convert1To8(const std::uint8_t* src, std::uint8_t* dst, std::int32_t width, std::int32_t height,
                 std::int32_t srcRowBytes) {
    ConvertPackedTo8<1>(src, dst, width, height, srcRowBytes);
}
void Convert2To8(const std::uint8_t* src, std::uint8_t* dst, std::int32_t width, std::int32_t height,
                 std::int32_t srcRowBytes) {
    ConvertPackedTo8<2>(src, dst, width, height, srcRowBytes);
}
void Convert4To8(const std::uint8_t* src, std::uint8_t* dst, std::int32_t width, std::int32_t height,
                 std::int32_t srcRowBytes) {
    ConvertPackedTo8<4>(src, dst, width, height, srcRowBytes);
}

void RemovePadBytes(const std::uint8_t* src, std::uint8_t* dst, std::int32_t width, std::int32_t height,
                    std::int32_t bytesPerPixel, std::int32_t srcRowBytes) {
    const std::size_t row = std::size_t(width) * std::size_t(bytesPerPixel);
    for (std::int32_t y = 0; y < height; ++y)
        std::memcpy(dst + std::size_t(y) * row, src + std::size_t(y) * std::size_t(srcRowBytes), row);
}

namespace {

#if defined(__x86_64__) && defined(__SSE2__)
#define VELTO_SWAP_SSSE3 1
// Five 3-byte pixels a 16-byte window; the 16th byte is copied as it is and
// written again by the next window, so a window ends inside the row and src
// may be dst. The pixels done.
__attribute__((target("ssse3"))) std::size_t SwapRedBlue3Ssse3(const std::uint8_t* src, std::uint8_t* dst,
                                                               std::size_t pixels) {
    const __m128i order = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15);
    std::size_t i = 0;
    for (; 3 * i + 16 <= 3 * pixels; i += 5) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 3 * i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 3 * i), _mm_shuffle_epi8(v, order));
    }
    return i;
}

bool HasSsse3() {
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
}
#endif

}  // namespace

void CopySwapRedBlue(const std::uint8_t* src, std::uint8_t* dst, std::size_t pixels, std::size_t bytesPerPixel) {
    std::size_t i = 0;
    if (bytesPerPixel == 4) {
        for (; i < pixels; ++i) {
            std::uint32_t v;
            std::memcpy(&v, src + i * 4, 4);
            v = (v & 0xFF00FF00u) | (v >> 16 & 0xFFu) | (v & 0xFFu) << 16;
            std::memcpy(dst + i * 4, &v, 4);
        }
        return;
    }
#ifdef VELTO_SWAP_SSSE3
    if (HasSsse3()) i = SwapRedBlue3Ssse3(src, dst, pixels);
#endif
    // Four 3-byte pixels are three 32-bit words, rearranged in registers.
    for (; i + 4 <= pixels; i += 4) {
        std::uint32_t w[3];
        std::memcpy(w, src + i * 3, 12);
        const std::uint32_t a = w[0], b = w[1], c = w[2];
        w[0] = (a >> 16 & 0xFFu) | (a & 0xFF00u) | (a & 0xFFu) << 16 | (b >> 8 & 0xFFu) << 24;
        w[1] = (b & 0xFFu) | (a >> 24) << 8 | (c & 0xFFu) << 16 | (b & 0xFF000000u);
        w[2] = (b >> 16 & 0xFFu) | (c >> 24) << 8 | (c & 0xFF0000u) | (c >> 8 & 0xFFu) << 24;
        std::memcpy(dst + i * 3, w, 12);
    }
    for (; i < pixels; ++i) {
        const std::uint8_t r = src[i * 3], g = src[i * 3 + 1], b = src[i * 3 + 2];
        dst[i * 3] = b;
        dst[i * 3 + 1] = g;
        dst[i * 3 + 2] = r;
    }
}

void CopyPixel(const std::uint8_t* src, std::uint8_t* dst, std::int32_t bytesPerPixel) {
    switch (bytesPerPixel) {
    case 1: case 2: case 3: case 4: case 6: case 8: case 16:
        std::memcpy(dst, src, std::size_t(bytesPerPixel));
        break;
    default:
        break;
    }
}

void TranslatePixel(const std::uint8_t* src, std::uint8_t* dst, TImageFormat srcFormat, TImageFormat dstFormat,
                    const TColor32* srcPalette, const TColor32* dstPalette) {
    const TImageFormatInfo* si = FormatInfo(srcFormat);
    const TImageFormatInfo* di = FormatInfo(dstFormat);
    if (!si || !di || si->IsBlockCompressed || di->IsBlockCompressed) return;
    SetPixelFPGeneric(dst, *di, dstPalette, GetPixelFPGeneric(src, *si, srcPalette));
}

bool Has16BitImageAlpha(std::size_t count, const std::uint16_t* data) {
    for (std::size_t i = 0; i < count; ++i)
        if (data[i] & 0x8000u) return true;
    return false;
}

bool Has32BitImageAlpha(std::size_t count, const std::uint32_t* data) {
    for (std::size_t i = 0; i < count; ++i)
        if (data[i] >= 0x01000000u) return true;
    return false;
}

float HalfToFloat(std::uint16_t half) {
    const std::uint32_t s = (half >> 15) & 1u;
    std::int32_t e = (half >> 10) & 0x1F;
    std::uint32_t m = half & 0x3FFu;
    std::uint32_t bits;
    if (e == 0) {
        if (m == 0) {
            bits = s << 31;
        } else {
            int k = 0;
            while (!(m & 0x400u)) {
                m <<= 1;
                ++k;
            }
            m &= ~0x400u;
            bits = s << 31 | static_cast<std::uint32_t>(113 - k) << 23 | m << 13;
        }
    } else if (e == 31) {
        bits = s << 31 | 0x7F800000u | m << 13;
    } else {
        bits = s << 31 | static_cast<std::uint32_t>(e + 112) << 23 | m << 13;
    }
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

std::uint16_t FloatToHalf(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, 4);
    const std::uint32_t s = bits >> 31;
    std::int32_t e = static_cast<std::int32_t>((bits >> 23) & 0xFF) - 127 + 15;
    std::uint32_t m = bits & 0x7FFFFFu;
    if (e > 0 && e < 30) return static_cast<std::uint16_t>((s << 15) + (static_cast<std::uint32_t>(e) << 10) + ((m + 0x1000u) >> 13));
    if ((bits & 0x7FFFFFFFu) == 0 && s == 0) return 0;
    if (e <= 0) {
        if (e < -10) return 0;
        m = (m | 0x800000u) >> (1 - e);
        if (m & 0x1000u) m += 0x2000u;
        return static_cast<std::uint16_t>(s << 15 | (m >> 13));
    }
    if (e == 143) {
        std::uint32_t r = s << 15 | 0x7C00u;
        if (m) r |= m >> 13;
        return static_cast<std::uint16_t>(r);
    }
    if (m & 0x1000u) {
        m += 0x2000u;
        if (m & 0x800000u) {
            m = 0;
            ++e;
        }
    }
    if (e > 30) return static_cast<std::uint16_t>(s << 15 | 0x7C00u);
    return static_cast<std::uint16_t>(s << 15 | static_cast<std::uint32_t>(e) << 10 | m >> 13);
}

// ---------------------------------------------------------------------------
// Median cut. The state lives between calls so that the actions may come in
// separate calls; the result does not depend on the order of the colour nodes.

namespace {

struct ColorNode {
    std::uint32_t color;  // masked ARGB
    std::uint32_t count;
};

// Colour -> count or index, by open addressing (a histogram of a photograph
// holds hundreds of thousands of colours).
class ColorMap {
public:
    void Clear() {
        keys_.assign(1024, 0);
        values_.assign(1024, 0);
        used_.assign(1024, 0);
        size_ = 0;
    }
    std::size_t Size() const { return size_; }
    // Room for n colours without growing.
    void Reserve(std::size_t n) {
        std::size_t cap = 1024;
        while (cap < 2 * n + 2) cap *= 2;
        keys_.assign(cap, 0);
        values_.assign(cap, 0);
        used_.assign(cap, 0);
        size_ = 0;
    }
    // The value of a colour, inserted as 0 when missing.
    std::uint32_t& operator[](std::uint32_t key) {
        if (keys_.empty()) Clear();
        if ((size_ + 1) * 2 > keys_.size()) Grow();
        std::size_t i = Slot(key);
        while (used_[i] && keys_[i] != key) i = (i + 1) & (keys_.size() - 1);
        if (!used_[i]) {
            used_[i] = 1;
            keys_[i] = key;
            values_[i] = 0;
            ++size_;
        }
        return values_[i];
    }
    const std::uint32_t* Find(std::uint32_t key) const {
        if (keys_.empty()) return nullptr;
        for (std::size_t i = Slot(key); used_[i]; i = (i + 1) & (keys_.size() - 1))
            if (keys_[i] == key) return &values_[i];
        return nullptr;
    }
    template <class F>
    void ForEach(F&& f) const {
        for (std::size_t i = 0; i < keys_.size(); ++i)
            if (used_[i]) f(keys_[i], values_[i]);
    }

private:
    std::size_t Slot(std::uint32_t key) const {
        return static_cast<std::size_t>((key * 0x9E3779B1u) >> 7) & (keys_.size() - 1);
    }
    void Grow() {
        std::vector<std::uint32_t> keys = std::move(keys_), values = std::move(values_);
        std::vector<std::uint8_t> used = std::move(used_);
        keys_.assign(keys.size() * 2, 0);
        values_.assign(keys.size() * 2, 0);
        used_.assign(keys.size() * 2, 0);
        size_ = 0;
        for (std::size_t i = 0; i < keys.size(); ++i)
            if (used[i]) (*this)[keys[i]] = values[i];
    }
    std::vector<std::uint32_t> keys_, values_;
    std::vector<std::uint8_t> used_;
    std::size_t size_ = 0;
};

// A box holds a range of the one node array; splitting partitions the range.
struct Box {
    std::int32_t AMin, AMax, RMin, RMax, GMin, GMax, BMin, BMax;
    std::uint32_t Total;
    TColor32 Color;
    std::size_t first, last;  // its nodes: [first, last)

    void Bound(const std::vector<ColorNode>& nodes) {
        AMin = RMin = GMin = BMin = 256;
        AMax = RMax = GMax = BMax = -1;
        Total = 0;
        for (std::size_t k = first; k < last; ++k) {
            const TColor32 c = nodes[k].color;
            const int a = Color32A(c), r = Color32R(c), g = Color32G(c), b = Color32B(c);
            AMin = std::min(AMin, a); AMax = std::max(AMax, a);
            RMin = std::min(RMin, r); RMax = std::max(RMax, r);
            GMin = std::min(GMin, g); GMax = std::max(GMax, g);
            BMin = std::min(BMin, b); BMax = std::max(BMax, b);
            Total += nodes[k].count;
        }
    }
};

struct ReductionState {
    ColorMap histogram;
    // With the full channel mask the boxes are disjoint, so a colour of the
    // histogram maps to its own box: colour -> index in sorted order.
    ColorMap known;
    std::vector<ColorNode> nodes;
    std::vector<Box> boxes;
    std::int32_t boxCount = 0;
};

// The steps of a reduction span several calls; each thread has its own.
ReductionState& Reduction() {
    thread_local ReductionState state;
    return state;
}

}  // namespace

void ReduceColorsMedianCut(std::size_t count, const std::uint8_t* src, std::uint8_t* dst,
                           const TImageFormatInfo& srcInfo, const TImageFormatInfo& dstInfo, std::int32_t maxColors,
                           std::uint8_t channelMask, TColor32* dstPal, std::uint32_t actions) {
    ReductionState& st = Reduction();
    const std::int32_t n = std::clamp(maxColors, 2, 4096);
    if ((actions & (raUpdateHistogram | raMapImage)) && (srcInfo.IsBlockCompressed || srcInfo.IsIndexed))
        throw EImagingError("Assertion failure");
    const std::size_t sb = std::size_t(srcInfo.BytesPerPixel);
    const TColor32 mask4 = Color32(channelMask, channelMask, channelMask, channelMask);

    if (actions & raCreateHistogram) st.histogram.Clear();
    if (actions & raUpdateHistogram) {
        for (std::size_t i = 0; i < count; ++i) ++st.histogram[srcInfo.GetPixel32(src + i * sb, srcInfo, nullptr) & mask4];
    }
    if (actions & raMakeColorMap) {
        st.nodes.clear();
        st.nodes.reserve(st.histogram.Size());
        st.histogram.ForEach([&](std::uint32_t color, std::uint32_t c) { st.nodes.push_back({color, c}); });
        st.histogram.Clear();
        st.boxes.assign(std::size_t(n), Box{});
        st.boxCount = 1;
        st.boxes[0].first = 0;
        st.boxes[0].last = st.nodes.size();
        st.boxes[0].Bound(st.nodes);
        while (!st.nodes.empty() && st.boxCount < n) {
            std::int64_t best = -1;
            std::int32_t chosen = 0;
            for (std::int32_t i = 0; i < st.boxCount; ++i) {
                const Box& b = st.boxes[std::size_t(i)];
                const std::int64_t w = std::max({std::int64_t(b.AMax - b.AMin) * 1024, std::int64_t(b.RMax - b.RMin) * 612,
                                                 std::int64_t(b.GMax - b.GMin) * 1202, std::int64_t(b.BMax - b.BMin) * 234});
                if (w > best) {
                    best = w;
                    chosen = i;
                }
            }
            if (best <= 0) break;
            Box& b = st.boxes[std::size_t(chosen)];
            int channel;  // shift of the split channel in a TColor32
            std::int32_t cut;
            if (std::int64_t(b.AMax - b.AMin) * 1024 == best) channel = 24, cut = (b.AMax + b.AMin) / 2;
            else if (std::int64_t(b.RMax - b.RMin) * 612 == best) channel = 16, cut = (b.RMax + b.RMin) / 2;
            else if (std::int64_t(b.GMax - b.GMin) * 1202 == best) channel = 8, cut = (b.GMax + b.GMin) / 2;
            else channel = 0, cut = (b.BMax + b.BMin) / 2;
            const auto middle = std::partition(st.nodes.begin() + static_cast<std::ptrdiff_t>(b.first),
                                               st.nodes.begin() + static_cast<std::ptrdiff_t>(b.last), [&](const ColorNode& node) {
                                                   return static_cast<std::int32_t>((node.color >> channel) & 0xFF) <= cut;
                                               });
            Box& nb = st.boxes[std::size_t(st.boxCount)];
            nb.first = static_cast<std::size_t>(middle - st.nodes.begin());
            nb.last = b.last;
            b.last = nb.first;
            b.Bound(st.nodes);
            nb.Bound(st.nodes);
            ++st.boxCount;
        }
        const std::int32_t notMask = 255 & ~channelMask;
        for (std::int32_t i = 0; i < st.boxCount; ++i) {
            Box& b = st.boxes[std::size_t(i)];
            b.Color = 0;
            if (b.Total) {
                std::uint64_t sa = 0, sr = 0, sg = 0, sbl = 0;
                for (std::size_t k = b.first; k < b.last; ++k) {
                    const ColorNode& node = st.nodes[k];
                    sa += std::uint64_t(Color32A(node.color)) * node.count;
                    sr += std::uint64_t(Color32R(node.color)) * node.count;
                    sg += std::uint64_t(Color32G(node.color)) * node.count;
                    sbl += std::uint64_t(Color32B(node.color)) * node.count;
                }
                b.Color = Color32(static_cast<std::uint8_t>(sa / b.Total), static_cast<std::uint8_t>(sr / b.Total),
                                  static_cast<std::uint8_t>(sg / b.Total), static_cast<std::uint8_t>(sbl / b.Total));
            }
            b.AMin &= channelMask; b.RMin &= channelMask; b.GMin &= channelMask; b.BMin &= channelMask;
            b.AMax = (b.AMax & channelMask) + notMask;
            b.RMax = (b.RMax & channelMask) + notMask;
            b.GMax = (b.GMax & channelMask) + notMask;
            b.BMax = (b.BMax & channelMask) + notMask;
        }
        for (std::int32_t i = 0; i + 1 < st.boxCount; ++i) {
            std::int32_t m = i;
            for (std::int32_t j = i + 1; j < st.boxCount; ++j)
                if (st.boxes[std::size_t(j)].Total > st.boxes[std::size_t(m)].Total) m = j;
            if (m != i) std::swap(st.boxes[std::size_t(i)], st.boxes[std::size_t(m)]);
        }
        st.known.Reserve(channelMask == 255 ? st.nodes.size() : 0);
        if (channelMask == 255)
            for (std::int32_t i = 0; i < st.boxCount; ++i)
                for (std::size_t k = st.boxes[std::size_t(i)].first; k < st.boxes[std::size_t(i)].last; ++k)
                    st.known[st.nodes[k].color] = static_cast<std::uint32_t>(i);
        st.nodes.clear();
        st.nodes.shrink_to_fit();
        for (std::int32_t i = 0; i < n; ++i) dstPal[i] = i < st.boxCount ? st.boxes[std::size_t(i)].Color : 0xFFFFFFFFu;
    }
    if (actions & raMapImage) {
        // Colour -> index, remembered: the first box containing a colour never changes.
        ColorMap& memo = st.known;
        const std::size_t db = std::size_t(dstInfo.BytesPerPixel);
        for (std::size_t i = 0; i < count; ++i) {
            const TColor32 c = srcInfo.GetPixel32(src + i * sb, srcInfo, nullptr);
            std::uint32_t index;
            if (const std::uint32_t* known = memo.Find(c)) {
                index = *known;
            } else {
                index = 0;
                const int a = Color32A(c), r = Color32R(c), g = Color32G(c), b = Color32B(c);
                for (std::int32_t k = 0; k < st.boxCount; ++k) {
                    const Box& x = st.boxes[std::size_t(k)];
                    if (a >= x.AMin && a <= x.AMax && r >= x.RMin && r <= x.RMax && g >= x.GMin && g <= x.GMax &&
                        b >= x.BMin && b <= x.BMax) {
                        index = static_cast<std::uint32_t>(k);
                        break;
                    }
                }
                memo[c] = index;
            }
            IndexSetDstPixel(dst + i * db, dstInfo, index);
        }
    }
}

}  // namespace velto
