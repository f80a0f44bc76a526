// The PNG reader on arbitrary bytes. A load either raises the codec's error or
// yields an image whose pixel access stays inside it; what was read writes and
// reads back to the same stored pixels. The fast path of the image data and the
// reference path leave the same state after every load, and write files that
// read back alike.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include <string>
#include <typeinfo>

#include "png/PngImage.h"
#include "png/PngInternal.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

// Small enough that every image, its copy and the re-read fit the memory limit.
constexpr std::uint64_t kBudget = 1u << 20;

// The reader's limits, tight enough that small inputs reach the chunk caps.
velto::ReadLimits Limits() {
    velto::ReadLimits limits;
    limits.pixels = kBudget;
    limits.chunks = 256;
    limits.chunkBytes = 1u << 20;
    return limits;
}

void Touch(velto::TPNGObject& png) {
    const int w = png.Width(), h = png.Height();
    Check(w >= 1 && h >= 1 && std::uint64_t(w) * std::uint64_t(h) <= kBudget);
    const std::uint8_t mode = png.TransparencyMode();
    Check(mode <= 2);
    (void)png.TransparentColor();
    (void)png.Palette();
    // A sparse walk over the pixels: corners, edges and a diagonal.
    unsigned sum = 0;
    for (int i = 0; i < 64; ++i) {
        const int x = static_cast<int>(std::int64_t(w - 1) * i / 63), y = static_cast<int>(std::int64_t(h - 1) * i / 63);
        sum += velto::ColorValue(png.GetPixels(x, y)) + velto::ColorValue(png.GetPixels(w - 1 - x, y));
        if (const std::uint8_t* a = png.AlphaScanline(y)) sum += a[x];
    }
    Check(velto::ColorValue(png.GetPixels(w, 0)) == 0 && velto::ColorValue(png.GetPixels(0, -1)) == 0);
    if (auto* plte = png.Chunks().FindChunk<velto::TChunkPLTE>()) {
        for (int i = 0; i < plte->Count; ++i) sum += plte->GetPaletteItem(i).Red;
    }
    // Rows as shown: without partial alpha every pixel is opaque or transparent.
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(w) * 4);
    const bool partial = png.PartialAlpha();
    for (const int y : {0, h / 2, h - 1}) {
        png.GetRGBA(y, rgba.data());
        for (std::size_t i = 3; i < rgba.size(); i += 4) Check(partial || rgba[i] == 0 || rgba[i] == 255);
        sum += rgba[0];
    }
    volatile unsigned sink = sum;
    (void)sink;
}

bool SamePixels(const velto::TPNGObject& a, const velto::TPNGObject& b) {
    const auto& ha = a.GetHeader();
    const auto& hb = b.GetHeader();
    if (ha.Width != hb.Width || ha.Height != hb.Height || ha.ColorType != hb.ColorType) return false;
    const auto& da = ha.ImageBitmap();
    const auto& db = hb.ImageBitmap();
    return da.ByteSize() == db.ByteSize() && std::memcmp(da.Bits(), db.Bits(), da.ByteSize()) == 0 &&
           ha.ImageAlpha == hb.ImageAlpha;
}

// What a load leaves: its error, the reading position and every plane.
struct Loaded {
    std::string error;
    std::uint64_t pos = 0;
    int chunks = 0;
    std::vector<std::uint8_t> dib, alpha, extra, keyed;

    bool operator==(const Loaded&) const = default;
};

Loaded LoadWith(velto::png_detail::CodecPath path, const std::uint8_t* data, std::size_t size) {
    velto::png_detail::ScopedCodecPath scope(path);
    Loaded l;
    velto::TPNGObject png;
    png.Limits = Limits();
    velto::ByteReader reader(std::span<const std::uint8_t>(data, size));
    try {
        png.LoadFromStream(reader);
    } catch (const velto::EPngError& e) {
        l.error = std::string(typeid(e).name()) + e.what();
    }
    l.pos = reader.pos();
    l.chunks = png.Chunks().Count();
    if (png.HeaderPresent()) {
        const auto& h = png.GetHeader();
        const auto& b = h.ImageBitmap();
        l.dib.assign(b.Bits(), b.Bits() + b.ByteSize());
        l.alpha.assign(h.ImageAlpha.begin(), h.ImageAlpha.end());
        l.extra.assign(h.ExtraImageData.begin(), h.ExtraImageData.end());
        l.keyed.assign(h.KeyedPixels.begin(), h.KeyedPixels.end());
    }
    return l;
}

std::vector<std::uint8_t> SaveWith(velto::png_detail::CodecPath path, velto::TPNGObject& png) {
    velto::png_detail::ScopedCodecPath scope(path);
    velto::ByteWriter out;
    png.SaveToStream(out);
    return out.take();
}

bool IdentityGamma(const velto::TPNGObject& png) {
    for (int i = 0; i < 256; ++i)
        if (png.GammaTable[static_cast<std::size_t>(i)] != i) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using velto::png_detail::CodecPath;
    Check(LoadWith(CodecPath::Fast, data, size) == LoadWith(CodecPath::Reference, data, size));

    velto::TPNGObject png;
    png.Limits = Limits();
    velto::ByteReader reader(std::span<const std::uint8_t>(data, size));
    try {
        png.LoadFromStream(reader);
    } catch (const velto::EPngError&) {
        Check(reader.pos() <= size);
        return 0;
    }
    Check(reader.pos() <= size);
    Touch(png);

    velto::ByteWriter out;
    png.SaveToStream(out);
    // Compressed text is compressed anew: the copy may hold more bytes.
    velto::TPNGObject back;
    back.Limits.pixels = kBudget;
    velto::ByteReader again(out.buffer());
    back.LoadFromStream(again);  // what we write must read back
    Check(again.atEnd());
    // Palettes and colours pass through the gamma tables both ways, which need not
    // be exact inverses; without gamma the stored pixels come back unchanged.
    if (IdentityGamma(png)) Check(SamePixels(png, back));

    // Both deflaters' files read back to the same pixels.
    velto::TPNGObject fast, ref;
    fast.Limits.pixels = ref.Limits.pixels = kBudget;
    const std::vector<std::uint8_t> fastFile = SaveWith(CodecPath::Fast, png), refFile = SaveWith(CodecPath::Reference, png);
    velto::ByteReader rf(fastFile), rr(refFile);
    fast.LoadFromStream(rf);
    ref.LoadFromStream(rr);
    Check(SamePixels(fast, ref));
    return 0;
}
