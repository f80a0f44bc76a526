// The pixel-format table: the description and pixel routines of every format,
// and the sizes of pixel data.
#include "imaging/Formats.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "imaging/PixelMath.h"

namespace velto {

using namespace pixel_math;

namespace {

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

}  // namespace velto
