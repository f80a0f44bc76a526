// The frame coder of PNG, MNG and JNG, encoding: images of a savable format
// into frames, PNG data filtered and deflated, JNG colour and alpha through
// the JPEG format.
#include <zlib.h>

#include <cstdlib>
#include <span>

#include "imaging/FormatJpeg.h"
#include "imaging/Formats.h"
#include "imaging/NetworkGraphicsFrames.h"
#include "imaging/Utility.h"
#include "platform/PixelRows.h"
#include "png/PngUnfilter.h"

namespace velto::ng_detail {

namespace {

bool SaveJpegToMemory(const TImageData& image, Bytes& out, std::int32_t quality, bool progressive) {
    TMemoryStream stream;
    TPrivateJpegFileFormat jpeg;
    jpeg.JpegQuality = quality;
    jpeg.JpegProgressive = progressive ? -1 : 0;
    const TDynImageDataArray images{image};  // shares the buffers
    TImagingHandle handle = StreamIO().OpenWrite(&stream);
    const bool ok = jpeg.SaveData(StreamIO(), handle, images, 0);
    StreamIO().Close(handle);
    out = std::move(stream.Data());
    return ok;
}

using png_detail::PaethPredictor;

void Filter(std::uint8_t type, const std::uint8_t* row, const std::uint8_t* prev, std::uint8_t* out, std::size_t len,
            std::size_t unit) {
    for (std::size_t i = 0; i < len; ++i) {
        const int a = i >= unit ? row[i - unit] : 0, b = prev[i], c = i >= unit ? prev[i - unit] : 0;
        int v = row[i];
        switch (type) {
        case 1: v -= a; break;
        case 2: v -= b; break;
        case 3: v -= (a + b) >> 1; break;
        case 4:
            v -= PaethPredictor(static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(c));
            break;
        default: break;
        }
        out[i] = static_cast<std::uint8_t>(v);
    }
}

void EncodePngData(const SaveSettings& s, const PngHeader& h, const std::uint8_t* pixels, Bytes& out,
                   const TImageFormatInfo& info) {
    int fixed;
    bool adaptive = false;
    if (s.RowFilter >= 0 && s.RowFilter <= 4) fixed = s.RowFilter;
    else if (s.RowFilter == 6) {
        adaptive = h.BitDepth >= 8 && h.ColorType != 3;
        fixed = 0;
    } else fixed = h.ColorType == 2 || h.ColorType == 6 ? 4 : 0;
    const std::size_t width = h.Width, height = h.Height, unit = std::size_t(info.BytesPerPixel);
    const std::size_t rowSize = width * unit;
    ChargeDecodeBudget(std::uint64_t(height) * (rowSize + 1));
    Bytes raw(height * (rowSize + 1));
    const Bytes zero(rowSize, 0);
    Bytes scratch(adaptive ? rowSize : 0);
    const bool swapRB = (h.ColorType == 2 || h.ColorType == 6) && !info.IsRBSwapped;
    for (std::size_t y = 0; y < height; ++y) {
        const std::uint8_t* row = pixels + y * rowSize;
        const std::uint8_t* prev = y ? row - rowSize : zero.data();
        std::uint8_t* dst = raw.data() + y * (rowSize + 1);
        int type = fixed;
        if (adaptive) {
            std::int64_t best = 0x7FFFFFFF;
            for (int t = 0; t <= 4; ++t) {
                Filter(static_cast<std::uint8_t>(t), row, prev, scratch.data(), rowSize, unit);
                std::int64_t sum = 0;
                for (const std::uint8_t b : scratch) sum += std::abs(static_cast<int>(static_cast<std::int8_t>(b)));
                if (sum < best) {
                    best = sum;
                    type = t;
                }
            }
        }
        dst[0] = static_cast<std::uint8_t>(type);
        Filter(static_cast<std::uint8_t>(type), row, prev, dst + 1, rowSize, unit);
        if (swapRB) SwapFirstThird(dst + 1, width, h.BitDepth, unit);
        if (h.BitDepth == 16) SwapEndianWords(dst + 1, rowSize / 2);
    }
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    Bytes deflated(size);
    if (compress2(deflated.data(), &size, raw.data(), static_cast<uLong>(raw.size()), s.DeflateLevel) != Z_OK)
        throw EImagingError("Error when compressing image data.");
    out.insert(out.end(), deflated.begin(), deflated.begin() + static_cast<std::ptrdiff_t>(size));
}

bool EncodeJngData(const SaveSettings& s, const JngHeader& h, const TImageData& image, TFrameInfo& frame) {
    const TImageFormatInfo& info = *FormatInfo(image.Format);
    if (!info.HasAlpha) return SaveJpegToMemory(image, frame.JpegData, s.JpegQuality, s.JpegProgressive);
    OwnedImage colour, alpha;
    CloneImage(image, colour.data);
    ConvertImage(colour.data, info.IsGray ? ifGray8 : ifR8G8B8);
    if (!SaveJpegToMemory(colour.data, frame.JpegData, s.JpegQuality, s.JpegProgressive)) return false;
    NewImage(image.Width, image.Height, ifGray8, alpha.data);
    const std::size_t step = std::size_t(info.BytesPerPixel), count = std::size_t(image.Width) * std::size_t(image.Height);
    for (std::size_t i = 0; i < count; ++i) alpha.data.Bits[i] = image.Bits[i * step + step - 1];
    if (h.AlphaCompression != 0) return SaveJpegToMemory(alpha.data, frame.JpegAlphaData, s.JpegQuality, false);
    PngHeader ph;
    ph.Width = h.Width;
    ph.Height = h.Height;
    ph.BitDepth = h.AlphaSampleDepth;
    ph.Filter = h.AlphaFilter;
    ph.Interlace = h.AlphaInterlace;
    EncodePngData(s, ph, alpha.data.Bits, frame.DeflatedData, *FormatInfo(ifGray8));
    return true;
}

}  // namespace

SaveSettings TakeOptions(const TNetworkGraphicsFileFormat& f) {
    SaveSettings s;
    s.RowFilter = f.RowFilter;
    s.DeflateLevel = f.DeflateLevel;
    s.AlphaAsJpeg = f.AlphaAsJpeg != 0;
    s.JpegQuality = f.JpegQuality;
    s.JpegProgressive = f.JpegProgressive != 0;
    return s;
}

// Appends a frame built from an image of a savable format.
bool EncodeFrame(TNGFileHandler& saver, const SaveSettings& s, const TImageData& image, bool asJng) {
    TFrameInfo& frame = saver.NewFrame();
    frame.HoldsJng = asJng;
    const TImageFormatInfo& info = *FormatInfo(image.Format);
    const auto width = static_cast<std::uint32_t>(image.Width), height = static_cast<std::uint32_t>(image.Height);
    if (!asJng) {
        PngHeader& h = frame.IHDR;
        h.Width = width;
        h.Height = height;
        const int bits = info.BytesPerPixel * 8;
        if (info.IsGray) {
            h.ColorType = info.HasAlpha ? 4 : 0;
            h.BitDepth = static_cast<std::uint8_t>(info.HasAlpha ? bits / 2 : bits);
        } else if (info.IsIndexed) {
            h.ColorType = 3;
            h.BitDepth = 8;
        } else {
            h.ColorType = info.HasAlpha ? 6 : 2;
            h.BitDepth = static_cast<std::uint8_t>(info.HasAlpha ? bits / 4 : bits / 3);
        }
        EncodePngData(s, h, image.Bits, frame.DeflatedData, info);
        if (info.IsIndexed) {
            const std::size_t entries = std::size_t(info.PaletteEntries);
            bool translucent = false;
            for (std::size_t i = 0; i < entries; ++i) {
                const TColor32 c = image.Palette[i];
                frame.PaletteData.insert(frame.PaletteData.end(), {Color32R(c), Color32G(c), Color32B(c)});
                translucent = translucent || Color32A(c) != 255;
            }
            if (translucent)
                for (std::size_t i = 0; i < entries; ++i) frame.AlphaTable.push_back(Color32A(image.Palette[i]));
        }
        return true;
    }
    JngHeader& h = frame.JHDR;
    h.Width = width;
    h.Height = height;
    h.ColorType = image.Format == ifGray8 ? 8 : image.Format == ifA8Gray8 ? 12 : image.Format == ifR8G8B8 ? 10 : 14;
    h.SampleDepth = 8;
    h.Compression = 8;
    h.Interlace = s.JpegProgressive ? 8 : 0;
    h.AlphaSampleDepth = info.HasAlpha ? 8 : 0;
    h.AlphaCompression = s.AlphaAsJpeg ? 8 : 0;
    return EncodeJngData(s, h, image, frame);
}

}  // namespace velto::ng_detail
