// PNG-stored entries of icon and cursor files, through the PNG codec.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <exception>

#include "model/IcoIO.h"
#include "platform/Bitmap.h"
#include "png/PngImage.h"
#include "core/Language.h"
#include "core/MessageBox.h"

namespace velto {

namespace {

constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

// The depth of the model a PNG becomes when the directory does not say it
// (cursor files hold the hotspot where icons hold the depth). Every PNG gets
// one: 2-bit images become 4-bit, wide samples true colour, and a palette
// whose entries are partly transparent 32 bits.
std::uint8_t DepthOfPng(const TPNGObject& png, bool hasTrns) {
    const TChunkIHDR& h = png.Header();
    switch (h.ColorType) {
    case COLOR_PALETTE:
    case COLOR_GRAYSCALE:
        if (png.PartialAlpha()) return 32;
        if (h.BitDepth == 1) return 1;
        if (h.BitDepth <= 4) return 4;
        if (h.BitDepth == 8) return 8;
        return hasTrns ? 32 : 24;
    case COLOR_RGB:
        return hasTrns ? 32 : 24;
    default:
        return 32;
    }
}

}  // namespace

bool TmyIcoIO::ReadPNG(TmyIcon& doc, std::uint8_t depth, bool depthFromPng, ByteReader& stream) {
    // The header's size is checked before anything is decoded, so a small
    // entry claiming a huge picture costs nothing.
    ByteReader peek = stream;
    std::uint8_t signature[8] = {};
    char name[4] = {};
    std::uint32_t length = 0, width = 0, height = 0;
    if (!peek.bytes(signature, 8) || std::memcmp(signature, kPngSignature, 8) != 0 || !peek.u32be(length) ||
        !peek.bytes(name, 4) || std::memcmp(name, "IHDR", 4) != 0 || !peek.u32be(width) || !peek.u32be(height))
        return false;
    if (width > static_cast<std::uint32_t>(MaxSide) || height > static_cast<std::uint32_t>(MaxSide)) {
        std::string text = Lang().GetMessage("msgBigImg", "Image ignored: Too big (%i1x%i2)");
        text = ReplacePlaceholder(std::move(text), "%i1", std::to_string(width));
        text = ReplacePlaceholder(std::move(text), "%i2", std::to_string(height));
        ShowMessage(text, mkWarning);
        return false;
    }
    if (width < 1 || height < 1) return false;

    try {
        TPNGObject png;
        png.Limits = Limits;
        png.Limits.pixels = std::min<std::uint64_t>(Limits.pixels, static_cast<std::uint64_t>(MaxSide) * MaxSide);
        // An entry's picture is all a cursor needs: its compressed texts are not
        // inflated (each entry would otherwise get a text budget of its own).
        png.Limits.inflatedText = 0;
        png.LoadFromStream(stream);
        const TChunkIHDR& h = png.Header();
        if (h.Width != static_cast<std::int32_t>(width) || h.Height != static_cast<std::int32_t>(height)) return false;
        if (depthFromPng) {
            const TChunktRNS* trns = png.Chunks().FindChunk<TChunktRNS>();
            depth = DepthOfPng(png, trns && trns->AppliesToImage());
        } else if (h.ColorType == COLOR_PALETTE && png.PartialAlpha()) {
            depth = 32;  // whatever the directory says: an indexed image would lose the file's alpha
        }
        auto image = std::make_unique<TmyImagePal>(ImageSize{h.Width, h.Height}, depth);
        static_assert(sizeof(TmyPixel) == 4 && offsetof(TmyPixel, R) == 0 && offsetof(TmyPixel, A) == 3);
        for (int y = 0; y < h.Height; ++y) png.GetRGBA(y, reinterpret_cast<std::uint8_t*>(image->Row(y).data()));
        if (depth == 1 || depth == 4 || depth == 8) image->BuildPalette();
        doc.AppendImage(std::move(image));
        return true;
    } catch (const std::exception&) {
        // A damaged PNG is an unreadable entry, skipped without a message.
        return false;
    }
}

std::vector<std::uint8_t> TmyIcoIO::EncodePNG(const TmyImagePal& image) {
    try {
        const int width = image.Width(), height = image.Height();
        TBitmap bitmap;
        if (!bitmap.Allocate(width, height, pf24bit)) return {};
        for (int y = 0; y < height; ++y) {
            std::uint8_t* d = bitmap.ScanLine(y);
            const auto src = image.Row(y);
            for (int x = 0; x < width; ++x, d += 3) {
                if (src[x].A == 0) continue;  // transparent pixels are drawn black
                d[0] = src[x].B;
                d[1] = src[x].G;
                d[2] = src[x].R;
            }
        }
        TPNGObject png;
        png.Assign(bitmap);
        png.CreateAlpha();
        for (int y = 0; y < height; ++y) {
            std::uint8_t* alpha = png.AlphaScanline(y);
            if (!alpha) return {};
            const auto src = image.Row(y);
            for (int x = 0; x < width; ++x) alpha[x] = src[x].A;
        }
        ByteWriter out;
        png.SaveToStream(out);
        return out.take();
    } catch (const std::exception&) {
        return {};
    }
}

}  // namespace velto
