// The picture writers: one image out as BMP, JPEG, JPEG 2000, PNG or GIF.
// Each builds the whole file in memory and replaces the target only after a
// complete write. Without ExportAlpha (and always for JPEG) the image is
// first rendered onto the matte colour.
#include <algorithm>
#include <cctype>
#include <exception>

#include "engine/Line.h"
#include "gif/GifImage.h"
#include "imaging/FileFormat.h"
#include "imaging/FormatJpeg.h"
#include "imaging/FormatJpeg2000.h"
#include "imaging/ImagingIO.h"
#include "import/Busy.h"
#include "import/MyImport.h"
#include "platform/ByteWriter.h"
#include "platform/FileWriter.h"
#include "png/PngImage.h"

namespace velto {

namespace {

std::string LowerExtension(const std::string& fileName) {
    const std::string name = ExtractFileName(fileName);
    const auto dot = name.rfind('.');
    if (dot == std::string::npos) return {};
    std::string ext = name.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

// The image over the matte colour, R, G, B rows from the top.
TRgbBuffer Matted(const TmyImagePal& image, TColor matte) {
    TRgbBuffer rgb;
    PaintImage(image, rgb, matte);
    return rgb;
}

// BMP rows are stored bottom-up, padded to four bytes.
void WriteBmpRows(ByteWriter& w, int width, int height, int bytesPerPixel, auto&& pixel) {
    const std::size_t pad = (4 - (static_cast<std::size_t>(width) * bytesPerPixel) % 4) % 4;
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) pixel(x, y);
        w.fill(0, pad);
    }
}

// 32 bits with an alpha mask in a version 4 header, so that readers other
// than Windows' own keep the alpha; 24 bits plain without alpha.
std::vector<std::uint8_t> EncodeBmp(const TmyImagePal& image, const TImportSettings& settings) {
    const int w = image.Width(), h = image.Height();
    const bool alpha = settings.ExportAlpha;
    const int bpp = alpha ? 4 : 3;
    const std::uint32_t header = alpha ? 108 : 40;
    const std::uint32_t rowBytes = (static_cast<std::uint32_t>(w) * bpp + 3) & ~3u;
    const std::uint32_t dataSize = rowBytes * static_cast<std::uint32_t>(h);
    ByteWriter out;
    out.reserve(14 + header + dataSize);
    out.text("BM");
    out.u32le(14 + header + dataSize);
    out.u32le(0);
    out.u32le(14 + header);
    out.u32le(header);
    out.i32le(w);
    out.i32le(h);
    out.u16le(1);
    out.u16le(static_cast<std::uint16_t>(bpp * 8));
    out.u32le(alpha ? 3 : 0);  // BI_BITFIELDS : BI_RGB
    out.u32le(dataSize);
    out.i32le(2835);  // 72 dots per inch
    out.i32le(2835);
    out.u32le(0);
    out.u32le(0);
    if (alpha) {
        out.u32le(0x00FF0000);  // red, green, blue and alpha masks
        out.u32le(0x0000FF00);
        out.u32le(0x000000FF);
        out.u32le(0xFF000000);
        out.text("BGRs");  // LCS_sRGB, stored little-endian
        out.fill(0, 36 + 12);  // end points and gamma
        WriteBmpRows(out, w, h, 4, [&](int x, int y) {
            const TmyPixel& p = image.At(x, y);
            const std::uint8_t px[4] = {p.B, p.G, p.R, p.A};
            out.bytes(px, 4);
        });
    } else {
        const TRgbBuffer rgb = Matted(image, settings.PrevColor);
        WriteBmpRows(out, w, h, 3, [&](int x, int y) {
            const std::uint8_t* p = rgb.Row(y) + 3 * x;
            const std::uint8_t px[3] = {p[2], p[1], p[0]};
            out.bytes(px, 3);
        });
    }
    return out.take();
}

// An image record of the image library holding the image: A8R8G8B8 with its
// alpha, or R8G8B8 rendered onto the matte colour.
struct TRecord {
    TImageData Data;
    TRecord() { InitImage(Data); }
    ~TRecord() { FreeImage(Data); }
    TRecord(const TRecord&) = delete;
    TRecord& operator=(const TRecord&) = delete;
};

bool FillRecord(TRecord& record, const TmyImagePal& image, bool withAlpha, TColor matte) {
    const int w = image.Width(), h = image.Height();
    if (!NewImage(w, h, withAlpha ? ifA8R8G8B8 : ifR8G8B8, record.Data)) return false;
    if (withAlpha) {
        for (int y = 0; y < h; ++y) {
            std::uint8_t* d = record.Data.Bits + static_cast<std::size_t>(y) * w * 4;
            for (const TmyPixel& p : image.Row(y)) {
                *d++ = p.B;
                *d++ = p.G;
                *d++ = p.R;
                *d++ = p.A;
            }
        }
    } else {
        const TRgbBuffer rgb = Matted(image, matte);
        for (int y = 0; y < h; ++y) {
            const std::uint8_t* s = rgb.Row(y);
            std::uint8_t* d = record.Data.Bits + static_cast<std::size_t>(y) * w * 3;
            for (int x = 0; x < w; ++x, s += 3, d += 3) {
                d[0] = s[2];
                d[1] = s[1];
                d[2] = s[0];
            }
        }
    }
    return true;
}

bool SaveRecord(const std::string& fileName, TImageFileFormat* format, const TRecord& record, FileError* error) {
    if (!format) {
        KeepFirstError(error, FileError::Unsupported);
        return false;
    }
    TMemoryStream stream;
    const TDynImageDataArray images{record.Data};
    if (!format->SaveToStream(stream, images, true)) {
        KeepFirstError(error, FileError::Unsupported);
        return false;
    }
    return WriteWholeFile(fileName, stream.Data(), error);
}

}  // namespace

TExportFormat ExportFormatOf(const std::string& fileName) {
    static constexpr struct {
        const char* Ext;
        TExportFormat Format;
    } kExtensions[] = {{".bmp", efBmp}, {".jpg", efJpeg}, {".png", efPng},
                       {".gif", efGif}, {".jp2", efJpeg2000}, {".j2k", efJpeg2000}};
    const std::string ext = LowerExtension(fileName);
    for (const auto& e : kExtensions)
        if (ext == e.Ext) return e.Format;
    return efNone;
}

bool tmyimport::SaveBmp(const std::string& fileName, const TmyImagePal& image, FileError* error) {
    TBusy busy(Hooks);
    const std::vector<std::uint8_t> bytes = EncodeBmp(image, Settings());
    return WriteWholeFile(fileName, bytes, error);
}

bool tmyimport::SaveJpeg(const std::string& fileName, const TmyImagePal& image, FileError* error) {
    TBusy busy(Hooks);
    try {
        TRecord record;
        if (!FillRecord(record, image, false, Settings().PrevColor)) return false;
        return SaveRecord(fileName, FindImageFileFormatByClass<TJpegFileFormat>(), record, error);
    } catch (const std::exception&) {
        KeepFirstError(error, FileError::Unsupported);
        return false;
    }
}

bool tmyimport::SaveJpeg2000(const std::string& fileName, const TmyImagePal& image, FileError* error) {
    TBusy busy(Hooks);
    try {
        const TImportSettings settings = Settings();
        TRecord record;
        if (!FillRecord(record, image, settings.ExportAlpha, settings.PrevColor)) return false;
        auto* format = FindImageFileFormatByClass<TJpeg2000FileFormat>();
        if (!format) return SaveRecord(fileName, nullptr, record, error);
        // The container follows the name: a bare code stream for ".j2k".
        const std::int32_t saved = format->CodeStream;
        format->CodeStream = LowerExtension(fileName) == ".j2k" ? 1 : 0;
        struct Restore {
            TJpeg2000FileFormat* f;
            std::int32_t v;
            ~Restore() { f->CodeStream = v; }
        } restore{format, saved};
        return SaveRecord(fileName, format, record, error);
    } catch (const std::exception&) {
        KeepFirstError(error, FileError::Unsupported);
        return false;
    }
}

namespace {

// The PNG the writer stores: R, G, B and alpha, or R, G, B over the matte colour.
void BuildPng(TPNGObject& png, const TmyImagePal& image, const TImportSettings& settings) {
    const int w = image.Width(), h = image.Height();
    if (settings.ExportAlpha) {
        png.CreateBlank(COLOR_RGBALPHA, 8, w, h);
        for (int y = 0; y < h; ++y) {
            std::uint8_t* rgb = png.Scanline(y);  // B, G, R
            std::uint8_t* alpha = png.AlphaScanline(y);
            int x = 0;
            for (const TmyPixel& p : image.Row(y)) {
                rgb[3 * x] = p.B;
                rgb[3 * x + 1] = p.G;
                rgb[3 * x + 2] = p.R;
                alpha[x++] = p.A;
            }
        }
    } else {
        const TRgbBuffer rgb = Matted(image, settings.PrevColor);
        png.CreateBlank(COLOR_RGB, 8, w, h);
        for (int y = 0; y < h; ++y) {
            const std::uint8_t* s = rgb.Row(y);
            std::uint8_t* d = png.Scanline(y);
            for (int x = 0; x < w; ++x, s += 3, d += 3) {
                d[0] = s[2];
                d[1] = s[1];
                d[2] = s[0];
            }
        }
    }
}

}  // namespace

bool tmyimport::SavePng(const std::string& fileName, const TmyImagePal& image, FileError* error) {
    TBusy busy(Hooks);
    try {
        TPNGObject png;
        BuildPng(png, image, Settings());
        return png.SaveToFile(fileName, error);
    } catch (const std::exception&) {
        KeepFirstError(error, FileError::Unsupported);
        return false;
    }
}

bool tmyimport::EncodePicture(TExportFormat format, const TmyImagePal& image, std::vector<std::uint8_t>& out) {
    out.clear();
    try {
        const TImportSettings settings = Settings();
        switch (format) {
        case efBmp: out = EncodeBmp(image, settings); return true;
        case efPng: {
            TPNGObject png;
            BuildPng(png, image, settings);
            png.CompareCompressors = !CompressOnce;
            ByteWriter w;
            png.SaveToStream(w);
            out = w.take();
            return true;
        }
        case efGif: {
            TGIFImage gif;
            AddGifFrame(gif, image);
            ByteWriter w;
            gif.SaveToStream(w);
            out = w.take();
            return true;
        }
        case efJpeg: {
            TRecord record;
            auto* jpeg = FindImageFileFormatByClass<TJpegFileFormat>();
            if (!jpeg || !FillRecord(record, image, false, settings.PrevColor)) return false;
            TMemoryStream stream;
            if (!jpeg->SaveToStream(stream, TDynImageDataArray{record.Data}, true)) return false;
            out = stream.Data();
            return true;
        }
        default: return false;
        }
    } catch (const std::exception&) {
        out.clear();
        return false;
    }
}

bool tmyimport::SaveGif(const std::string& fileName, const TmyImagePal& image, FileError* error) {
    try {
        TGIFImage gif;
        AddGifFrame(gif, image);
        return gif.SaveToFile(fileName, error);
    } catch (const std::exception&) {
        KeepFirstError(error, FileError::Unsupported);
        return false;
    }
}

bool tmyimport::ExportImage(const std::string& fileName, const TmyIcon& doc, bool animated, FileError* error) {
    if (doc.Count() == 0) {
        KeepFirstError(error, FileError::Unsupported);
        return false;
    }
    if (animated && ExportFormatOf(fileName) == efGif) return SaveAnimationAsGif(fileName, doc, error);
    return ExportPicture(fileName, doc.CurrentImage(), error);
}

bool tmyimport::ExportPicture(const std::string& fileName, const TmyImagePal& image, FileError* error) {
    switch (ExportFormatOf(fileName)) {
    case efBmp: return SaveBmp(fileName, image, error);
    case efJpeg: return SaveJpeg(fileName, image, error);
    case efPng: return SavePng(fileName, image, error);
    case efGif: return SaveGif(fileName, image, error);
    case efJpeg2000: return SaveJpeg2000(fileName, image, error);
    case efNone: break;
    }
    KeepFirstError(error, FileError::Unsupported);
    return false;
}

}  // namespace velto
