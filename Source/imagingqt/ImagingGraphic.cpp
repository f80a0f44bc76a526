// Graphic classes over QImage and the conversions between image records and
// QImages. QImage rows are 4-byte aligned: rows are always copied one by one
// through scanLine().
#include "imagingqt/ImagingGraphic.h"

#include <cstring>

#include "imaging/FormatBmp.h"
#include "imaging/FormatDds.h"
#include "imaging/FormatJpeg.h"
#include "imaging/FormatLibGif.h"
#include "imaging/FormatNetworkGraphics.h"
#include "imaging/FormatTga.h"
#include "imaging/Formats.h"
#include "imaging/Imaging.h"
#include "imaging/Options.h"

namespace velto {

namespace {

QImage::Format BitmapFormatOf(TImageFormat format) {
    switch (format) {
    case ifIndex8: return QImage::Format_Indexed8;
    case ifR5G6B5: return QImage::Format_RGB16;
    case ifR8G8B8: return QImage::Format_BGR888;
    case ifA8R8G8B8: return QImage::Format_ARGB32;
    case ifX8R8G8B8: return QImage::Format_RGB32;
    default: return QImage::Format_Invalid;
    }
}

TImageFormat DataFormatOf(QImage::Format format) {
    switch (format) {
    case QImage::Format_Indexed8: return ifIndex8;
    case QImage::Format_RGB555: return ifA1R5G5B5;
    case QImage::Format_RGB16: return ifR5G6B5;
    case QImage::Format_BGR888: return ifR8G8B8;
    case QImage::Format_ARGB32:
    case QImage::Format_RGB32: return ifA8R8G8B8;
    default: return ifUnknown;
    }
}

// Formats below 8 bits per pixel (with a colour table) widen to 8 bits.
bool BelowEightBits(QImage::Format format) {
    return format == QImage::Format_Mono || format == QImage::Format_MonoLSB;
}

struct OwnedImage {
    TImageData data;
    ~OwnedImage() { FreeImage(data); }
};

}  // namespace

void ConvertDataToBitmap(const TImageData& image, QImage& bitmap) {
    QImage::Format target = BitmapFormatOf(image.Format);
    OwnedImage clone;
    const TImageData* source = &image;
    if (target == QImage::Format_Invalid && TestImage(image)) {
        const TImageFormatInfo& info = *FormatInfo(image.Format);
        CloneImage(image, clone.data);
        TImageFormat to;
        if (info.IsFloat || info.HasAlpha || info.IsBlockCompressed) to = ifA8R8G8B8;
        else if (info.IsIndexed || info.IsGray) to = ifIndex8;
        else if (info.IsPacked) to = ifR5G6B5;
        else to = ifR8G8B8;
        ConvertImage(clone.data, to);
        source = &clone.data;
        target = BitmapFormatOf(source->Format);
    }
    if (target == QImage::Format_Invalid || !TestImage(*source))
        RaiseImagingError(ImagingFormat("Cannot find compatible bitmap format for image %s", DescribeImage(image).c_str()));

    QImage out(source->Width, source->Height, target);
    if (out.isNull()) throw EImagingError("Out of memory for the bitmap.");
    const TImageFormatInfo& info = *FormatInfo(source->Format);
    if (target == QImage::Format_Indexed8 && source->Palette) {
        QList<QRgb> table(info.PaletteEntries);
        for (int i = 0; i < info.PaletteEntries; ++i) {
            const TColor32 c = source->Palette[i];
            table[i] = qRgb(Color32R(c), Color32G(c), Color32B(c));
        }
        out.setColorTable(table);
    }
    const std::size_t row = std::size_t(source->Width) * std::size_t(info.BytesPerPixel);
    for (int y = 0; y < source->Height; ++y) {
        std::uint8_t* dst = out.scanLine(y);
        std::memcpy(dst, source->Bits + std::size_t(y) * row, row);
        // RGB32 wants 0xFF in its fourth byte; ours may hold anything there.
        if (target == QImage::Format_RGB32)
            for (int x = 0; x < source->Width; ++x) dst[4 * x + 3] = 0xFF;
    }
    bitmap = std::move(out);
}

void ConvertBitmapToData(const QImage& bitmap, TImageData& image) {
    QImage work = bitmap;
    TImageFormat format = DataFormatOf(work.format());
    if (format == ifUnknown && !work.isNull()) {
        work = work.convertToFormat(BelowEightBits(work.format()) ? QImage::Format_Indexed8 : QImage::Format_ARGB32);
        format = DataFormatOf(work.format());
    }
    if (format == ifUnknown)
        RaiseImagingError(
            ImagingFormat("Cannot find compatible data format for bitmap %p", static_cast<const void*>(&bitmap)));
    NewImage(work.width(), work.height(), format, image);
    if (format == ifIndex8 && image.Palette) {
        const QList<QRgb> table = work.colorTable();
        for (int i = 0; i < std::min<int>(int(table.size()), 256); ++i)
            image.Palette[i] = Color32(255, std::uint8_t(qRed(table[i])), std::uint8_t(qGreen(table[i])),
                                       std::uint8_t(qBlue(table[i])));
    }
    const std::size_t row = std::size_t(image.Width) * std::size_t(FormatInfo(format)->BytesPerPixel);
    for (int y = 0; y < image.Height; ++y) {
        std::uint8_t* dst = image.Bits + std::size_t(y) * row;
        std::memcpy(dst, work.constScanLine(y), row);
        // RGB555 keeps bit 15 at 0, which A1R5G5B5 reads as transparent: the pixels are opaque.
        if (work.format() == QImage::Format_RGB555)
            for (int x = 0; x < image.Width; ++x) dst[2 * x + 1] |= 0x80;
    }
}

// ---------------------------------------------------------------------------

TImagingGraphic::~TImagingGraphic() = default;

void TImagingGraphic::LoadDataFromStream(TStream& stream) {
    TSingleImage image;
    image.LoadFromStream(stream);
    Assign(image);
}

void TImagingGraphic::Assign(const TBaseImage& source) {
    if (source.Valid()) ConvertDataToBitmap(*source.ImageDataPointer(), Bitmap);
}

void TImagingGraphic::AssignTo(TSingleImage& destination) const {
    FreeImage(destination.ImageData);
    ConvertBitmapToData(Bitmap, destination.ImageData);
}

TImagingGraphicForSave::TImagingGraphicForSave(TImageFileFormat* format) {
    if (!format) return;
    DefaultFileExt = format->FirstExtension();
    format->CheckOptionsValidity();
}

void TImagingGraphicForSave::SaveDataToStream(TStream& stream) {
    if (DefaultFileExt.empty()) return;
    TSingleImage image;
    AssignTo(image);
    if (SavingFormat != ifUnknown && ConvertImage(image.ImageData, SavingFormat) && image.OnDataSizeChanged)
        image.OnDataSizeChanged(image);
    image.SaveToStream(DefaultFileExt, stream);
}

template <class SetOptions>
void TImagingGraphicForSave::SaveWithOptions(TStream& stream, SetOptions setOptions) {
    // Popped on every path: a save that raises must not leave its options (and a level of the stack) behind.
    struct Pushed {
        Pushed() { PushOptions(); }
        ~Pushed() { PopOptions(); }
    } pushed;
    setOptions();
    TImagingGraphicForSave::SaveToStream(stream);
}

namespace {

// Boolean options hold -1 for true.
std::int32_t OptionOf(bool value) { return value ? -1 : 0; }

}  // namespace

TImagingBitmap::TImagingBitmap()
    : TImagingGraphicForSave(FindImageFileFormatByClass<TBitmapFileFormat>()),
      UseRLE(GetOption(ImagingBitmapRLE) != 0) {}
TImageFileFormat* TImagingBitmap::GetFileFormat() const { return FindImageFileFormatByClass<TBitmapFileFormat>(); }
void TImagingBitmap::SaveToStream(TStream& stream) {
    SaveWithOptions(stream, [&] { SetOption(ImagingBitmapRLE, OptionOf(UseRLE)); });
}

TImagingJpeg::TImagingJpeg()
    : TImagingGraphicForSave(FindImageFileFormatByClass<TJpegFileFormat>()),
      Quality(GetOption(ImagingJpegQuality)),
      Progressive(GetOption(ImagingJpegProgressive) > 0) {}
TImageFileFormat* TImagingJpeg::GetFileFormat() const { return FindImageFileFormatByClass<TJpegFileFormat>(); }
void TImagingJpeg::SaveToStream(TStream& stream) {
    SaveWithOptions(stream, [&] {
        SetOption(ImagingJpegQuality, Quality);
        SetOption(ImagingJpegProgressive, OptionOf(Progressive));
    });
}

TImagingPNG::TImagingPNG()
    : TImagingGraphicForSave(FindImageFileFormatByClass<TPNGFileFormat>()),
      PreFilter(GetOption(ImagingPNGPreFilter)),
      CompressLevel(GetOption(ImagingPNGCompressLevel)) {}
TImageFileFormat* TImagingPNG::GetFileFormat() const { return FindImageFileFormatByClass<TPNGFileFormat>(); }
void TImagingPNG::SaveToStream(TStream& stream) {
    SaveWithOptions(stream, [&] {
        SetOption(ImagingPNGPreFilter, PreFilter);
        SetOption(ImagingPNGCompressLevel, CompressLevel);
    });
}

TImagingGIF::TImagingGIF() : TImagingGraphicForSave(FindImageFileFormatByClass<TGIFFileFormat>()) {}
TImageFileFormat* TImagingGIF::GetFileFormat() const { return FindImageFileFormatByClass<TGIFFileFormat>(); }

TImagingTarga::TImagingTarga()
    : TImagingGraphicForSave(FindImageFileFormatByClass<TTargaFileFormat>()),
      UseRLE(GetOption(ImagingTargaRLE) != 0) {}
TImageFileFormat* TImagingTarga::GetFileFormat() const { return FindImageFileFormatByClass<TTargaFileFormat>(); }
void TImagingTarga::SaveToStream(TStream& stream) {
    SaveWithOptions(stream, [&] { SetOption(ImagingTargaRLE, OptionOf(UseRLE)); });
}

TImagingDDS::TImagingDDS()
    : TImagingGraphicForSave(FindImageFileFormatByClass<TDDSFileFormat>()), Compression(0) {}
TImageFileFormat* TImagingDDS::GetFileFormat() const { return FindImageFileFormatByClass<TDDSFileFormat>(); }
void TImagingDDS::SaveToStream(TStream& stream) {
    static constexpr TImageFormat kByCompression[] = {ifUnknown, ifDXT1, ifDXT3, ifDXT5};
    if (Compression >= 0 && Compression <= 3) SavingFormat = kByCompression[Compression];
    SaveWithOptions(stream, [&] {
        SetOption(ImagingDDSSaveCubeMap, 0);
        SetOption(ImagingDDSSaveVolume, 0);
        SetOption(ImagingDDSSaveMipMapCount, 1);
        SetOption(ImagingDDSSaveDepth, 1);
    });
}

TImagingMNG::TImagingMNG()
    : TImagingGraphicForSave(FindImageFileFormatByClass<TMNGFileFormat>()),
      LossyCompression(GetOption(ImagingMNGLossyCompression) > 0),
      LossyAlpha(GetOption(ImagingMNGLossyAlpha) > 0),
      PreFilter(GetOption(ImagingMNGPreFilter)),
      CompressLevel(GetOption(ImagingMNGCompressLevel)),
      Quality(GetOption(ImagingMNGQuality)),
      Progressive(GetOption(ImagingMNGProgressive) > 0) {}
TImageFileFormat* TImagingMNG::GetFileFormat() const { return FindImageFileFormatByClass<TMNGFileFormat>(); }
void TImagingMNG::SaveToStream(TStream& stream) {
    SaveWithOptions(stream, [&] {
        SetOption(ImagingMNGLossyCompression, OptionOf(LossyCompression));
        SetOption(ImagingMNGLossyAlpha, OptionOf(LossyAlpha));
        SetOption(ImagingMNGPreFilter, PreFilter);
        SetOption(ImagingMNGCompressLevel, CompressLevel);
        SetOption(ImagingMNGQuality, Quality);
        SetOption(ImagingMNGProgressive, OptionOf(Progressive));
    });
}

TImagingJNG::TImagingJNG()
    : TImagingGraphicForSave(FindImageFileFormatByClass<TJNGFileFormat>()),
      LossyAlpha(GetOption(ImagingJNGLossyAlpha) > 0),
      AlphaPreFilter(GetOption(ImagingJNGAlphaPreFilter)),
      AlphaCompressLevel(GetOption(ImagingJNGAlphaCompressLevel)),
      Quality(GetOption(ImagingJNGQuality)),
      Progressive(GetOption(ImagingJNGProgressive) > 0) {}
TImageFileFormat* TImagingJNG::GetFileFormat() const { return FindImageFileFormatByClass<TJNGFileFormat>(); }
void TImagingJNG::SaveToStream(TStream& stream) {
    SaveWithOptions(stream, [&] {
        SetOption(ImagingJNGLossyAlpha, OptionOf(LossyAlpha));
        SetOption(ImagingJNGAlphaPreFilter, AlphaPreFilter);
        SetOption(ImagingJNGAlphaCompressLevel, AlphaCompressLevel);
        SetOption(ImagingJNGQuality, Quality);
        SetOption(ImagingJNGProgressive, OptionOf(Progressive));
    });
}

}  // namespace velto
