#pragma once
// Graphic classes that make every format of the image library available to
// the windowing layer: a picture held as a QImage that loads through
// TSingleImage (format found by content), eight descendants that save in one
// file format each with that format's options as properties, and the two
// conversions between an image record and a QImage.
#include <QImage>

#include <cstdint>
#include <string>

#include "imaging/Classes.h"
#include "imaging/FileFormat.h"
#include "imaging/ImagingIO.h"

namespace velto {

class TImagingGraphic {
public:
    TImagingGraphic() = default;
    virtual ~TImagingGraphic();
    TImagingGraphic(const TImagingGraphic&) = delete;
    TImagingGraphic& operator=(const TImagingGraphic&) = delete;

    // The first image of the stream, its format found by content. A stream no
    // format takes gives the blank default image (16 x 16); one whose format
    // fails to load it leaves the picture as it was.
    void LoadFromStream(TStream& stream) { LoadDataFromStream(stream); }
    virtual void LoadDataFromStream(TStream& stream);
    // A valid image of the source becomes this picture; an invalid one changes nothing.
    void Assign(const TBaseImage& source);
    void Assign(const QImage& source) { Bitmap = source; }
    // The destination's image is replaced by this picture's pixels.
    void AssignTo(TSingleImage& destination) const;

    QImage Bitmap;
};

// A graphic that saves in its own file format (its first extension), after
// converting to SavingFormat when that is not 0.
class TImagingGraphicForSave : public TImagingGraphic {
public:
    virtual void SaveToStream(TStream& stream) { SaveDataToStream(stream); }
    void SaveDataToStream(TStream& stream);
    virtual TImageFileFormat* GetFileFormat() const = 0;

    std::string DefaultFileExt;
    TImageFormat SavingFormat = ifUnknown;

protected:
    // The descendant's registered format (its class known to the descendant).
    explicit TImagingGraphicForSave(TImageFileFormat* format);
    // Saves with the options the descendant sets: pushed first, popped after
    // the save, also when it raises.
    template <class SetOptions>
    void SaveWithOptions(TStream& stream, SetOptions setOptions);
};

class TImagingBitmap : public TImagingGraphicForSave {
public:
    TImagingBitmap();
    void SaveToStream(TStream& stream) override;
    TImageFileFormat* GetFileFormat() const override;
    bool UseRLE;
};

class TImagingJpeg : public TImagingGraphicForSave {
public:
    TImagingJpeg();
    void SaveToStream(TStream& stream) override;
    TImageFileFormat* GetFileFormat() const override;
    std::int32_t Quality;
    bool Progressive;
};

class TImagingPNG : public TImagingGraphicForSave {
public:
    TImagingPNG();
    void SaveToStream(TStream& stream) override;
    TImageFileFormat* GetFileFormat() const override;
    std::int32_t PreFilter;
    std::int32_t CompressLevel;
};

class TImagingGIF : public TImagingGraphicForSave {
public:
    TImagingGIF();
    TImageFileFormat* GetFileFormat() const override;
};

class TImagingTarga : public TImagingGraphicForSave {
public:
    TImagingTarga();
    void SaveToStream(TStream& stream) override;
    TImageFileFormat* GetFileFormat() const override;
    bool UseRLE;
};

class TImagingDDS : public TImagingGraphicForSave {
public:
    TImagingDDS();
    void SaveToStream(TStream& stream) override;
    TImageFileFormat* GetFileFormat() const override;
    // 0 none, 1 DXT1, 2 DXT3, 3 DXT5.
    std::int32_t Compression;
};

class TImagingMNG : public TImagingGraphicForSave {
public:
    TImagingMNG();
    void SaveToStream(TStream& stream) override;
    TImageFileFormat* GetFileFormat() const override;
    bool LossyCompression;
    bool LossyAlpha;
    std::int32_t PreFilter;
    std::int32_t CompressLevel;
    std::int32_t Quality;
    bool Progressive;
};

class TImagingJNG : public TImagingGraphicForSave {
public:
    TImagingJNG();
    void SaveToStream(TStream& stream) override;
    TImageFileFormat* GetFileFormat() const override;
    bool LossyAlpha;
    std::int32_t AlphaPreFilter;
    std::int32_t AlphaCompressLevel;
    std::int32_t Quality;
    bool Progressive;
};

// Image record -> QImage: Index8 as Indexed8 with its palette, R5G6B5 as
// RGB16, R8G8B8 as BGR888, A8R8G8B8 as ARGB32, X8R8G8B8 as RGB32 (the fourth
// byte made 0xFF); any other format through a converted copy.
void ConvertDataToBitmap(const TImageData& image, QImage& bitmap);
// QImage -> image record, the reverse mapping; RGB555 becomes an opaque
// A1R5G5B5 image, formats below 8 bits become Index8, all others A8R8G8B8.
void ConvertBitmapToData(const QImage& bitmap, TImageData& image);

}  // namespace velto
