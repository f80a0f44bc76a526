// The picture of the "ic08" element: JPEG 2000 through the image library, or
// PNG (which later writers store there) through the PNG codec. Either is
// sized by its header before anything is decoded.
#include <algorithm>
#include <cstring>
#include <exception>

#include "icns/MacIcoIO.h"
#include "imaging/Classes.h"
#include "imaging/FormatJpeg2000.h"
#include "imaging/Imaging.h"
#include "png/PngImage.h"

namespace velto {

namespace {

constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

bool Fits(std::uint64_t width, std::uint64_t height, const TmyImage& image) {
    return width >= 1 && height >= 1 && width <= static_cast<std::uint64_t>(image.Width()) &&
           height <= static_cast<std::uint64_t>(image.Height());
}

bool DecodePng(std::span<const std::uint8_t> data, TmyImage& image, const ReadLimits& limits) {
    TPNGObject png;
    png.Limits = limits;
    // The codec refuses a header asking for more pixels before it allocates any.
    png.Limits.pixels = std::min<std::uint64_t>(limits.pixels, static_cast<std::uint64_t>(image.Width()) *
                                                                   static_cast<std::uint64_t>(image.Height()));
    // Only the picture is used: compressed texts are not inflated.
    png.Limits.inflatedText = 0;
    ByteReader reader(data);
    png.LoadFromStream(reader);
    const int width = png.Width(), height = png.Height();
    if (!Fits(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height), image)) return false;
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(width) * 4);
    static_assert(sizeof(TmyPixel) == 4 && offsetof(TmyPixel, R) == 0 && offsetof(TmyPixel, A) == 3);
    for (int y = 0; y < height; ++y) {
        png.GetRGBA(y, rgba.data());
        std::memcpy(image.Row(y).data(), rgba.data(), rgba.size());
    }
    return true;
}

bool DecodeJpeg2000(std::span<const std::uint8_t> data, TmyImage& image, const ReadLimits& limits) {
    TJpeg2000Header header;
    if (!ReadJpeg2000Header(data, header)) return false;
    if (!Fits(header.Width, header.Height, image) || header.Subsampled || header.Components < 1 ||
        header.Components > 4 || header.DecodeCost > limits.icnsPictureBytes)
        return false;
    TSingleImage picture;
    TMemoryStream stream(data);
    picture.LoadFromStream(stream);
    if (!picture.Valid() || picture.Width() != static_cast<std::int32_t>(header.Width) ||
        picture.Height() != static_cast<std::int32_t>(header.Height))
        return false;
    // Grey, RGB and 16-bit samples all become 8-bit B, G, R, A (opaque without alpha).
    if (!ConvertImage(picture.ImageData, ifA8R8G8B8)) return false;
    TImageFormatInfo info;
    picture.GetFormatInfo(info);
    const std::size_t pitch = static_cast<std::size_t>(picture.Width()) * static_cast<std::size_t>(info.BytesPerPixel);
    for (int y = 0; y < picture.Height(); ++y) {
        const std::uint8_t* src = picture.Bits() + static_cast<std::size_t>(y) * pitch;
        const auto row = image.Row(y);
        for (int x = 0; x < picture.Width(); ++x, src += 4) row[static_cast<std::size_t>(x)] = {src[2], src[1], src[0], src[3]};
    }
    return true;
}

}  // namespace

bool DecodeIcnsPicture(std::span<const std::uint8_t> data, TmyImage& image, const ReadLimits& limits) {
    try {
        TmyImage decoded(image.Size());
        const bool png = data.size() >= 8 && std::memcmp(data.data(), kPngSignature, 8) == 0;
        if (!(png ? DecodePng(data, decoded, limits) : DecodeJpeg2000(data, decoded, limits))) return false;
        std::copy(decoded.Pixels().begin(), decoded.Pixels().end(), image.Pixels().begin());
        return true;
    } catch (const std::exception&) {
        // A damaged picture is an unreadable element.
        return false;
    }
}

std::vector<std::uint8_t> EncodeIcnsPicture(const TmyImage& image) {
    try {
        TSingleImage picture(image.Width(), image.Height(), ifA8R8G8B8);
        if (!picture.Valid()) return {};
        std::uint8_t* dst = picture.Bits();
        for (const TmyPixel& p : image.Pixels()) {
            dst[0] = p.B;
            dst[1] = p.G;
            dst[2] = p.R;
            dst[3] = p.A;
            dst += 4;
        }
        TMemoryStream stream;
        picture.SaveToStream("jp2", stream);
        return std::move(stream.Data());
    } catch (const std::exception&) {
        return {};
    }
}

}  // namespace velto
