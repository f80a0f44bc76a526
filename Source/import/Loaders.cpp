// The loaders: each reads one kind of file into the working picture and ends
// in the one conversion. Codec failures of any kind end in false; a file the
// system or a limit refused also says why.
#include <algorithm>
#include <exception>
#include <memory>
#include <vector>

#include "gif/GifImage.h"
#include "icns/MacIcoIO.h"
#include "imaging/FileFormat.h"
#include "imaging/FormatBmp.h"
#include "imaging/FormatElder.h"
#include "imaging/FormatJpeg.h"
#include "imaging/FormatJpeg2000.h"
#include "imaging/ImagingIO.h"
#include "import/Busy.h"
#include "import/JpegDecode.h"
#include "import/MyImport.h"
#include "import/Picture.h"
#include "model/AniIO.h"
#include "model/Detect.h"
#include "model/IcoIO.h"
#include "png/PngImage.h"

namespace velto {

namespace {

// The images a decoder of the image library made; a picture read from the
// first is used while this lives (declared before it, so freed after it).
struct TDecoded {
    TDynImageDataArray images;
    TDecoded() = default;
    TDecoded(const TDecoded&) = delete;
    TDecoded& operator=(const TDecoded&) = delete;
    ~TDecoded() { FreeImagesInArray(images); }
};

// The first image of the stream through one format of the image library (or,
// with no format, whichever format claims the content; bySize false: not one
// of the old-game formats, which know their files by the size alone).
bool DecodeStream(TMemoryStream& stream, TImageFileFormat* format, TDecoded& decoded, bool bySize = true) {
    if (!format) {
        format = FindImageFileFormatByExt(DetectStreamFormat(stream));
        stream.SetPosition(0);
        if (!format || (!bySize && dynamic_cast<TElderFileFormat*>(format))) return false;
    }
    return format->LoadFromStream(stream, decoded.images, true) && !decoded.images.empty();
}

// The file through the image library into a picture read from its first
// image. The file is read here, so that a refusal of the system keeps its
// reason; its bytes are let go once decoded.
bool LoadImageData(const std::string& fileName, TImageFileFormat* format, TDecoded& decoded, TWorkPicture& picture,
                   FileError* error, bool bySize = true) {
    std::vector<std::uint8_t> bytes;
    FileError readError;
    if (!ReadWholeFile(fileName, bytes, ImagingLimits().fileSize, &readError)) {
        KeepFirstError(error, readError);
        return false;
    }
    {
        TMemoryStream stream(std::move(bytes));
        if (!DecodeStream(stream, format, decoded, bySize)) return false;
    }
    return PictureFromImageData(decoded.images[0], picture);
}

template <class Format>
TImageFileFormat* FormatOf() {
    return FindImageFileFormatByClass<Format>();
}

// A loader's body, every failure of its codecs ending in false. One refused
// by a limit (the image library's budget, the PNG codec's bounds or its
// largest side, the GIF reader's bounds) keeps that reason: such a file is
// too large, not damaged.
template <class Body>
bool Guarded(FileError* error, Body&& body) {
    try {
        return body();
    } catch (const EImagingError& e) {
        KeepFirstError(error, e.FileStatus());
    } catch (const EPNGLimit&) {
        KeepFirstError(error, FileError::TooLarge);
    } catch (const EPNGSizeExceeds&) {
        KeepFirstError(error, FileError::TooLarge);
    } catch (const GIFLimitException&) {
        KeepFirstError(error, FileError::TooLarge);
    } catch (const std::exception&) {
    }
    return false;
}

}  // namespace

bool tmyimport::LoadBmp(const std::string& fileName, TmyImagePal& target, ImageSize max, bool square,
                        FileError* error) {
    return Guarded(error, [&] {
        TDecoded decoded;
        TWorkPicture picture;
        return LoadImageData(fileName, FormatOf<TBitmapFileFormat>(), decoded, picture, error) &&
               ImportPicture(picture, target, max, square, false);
    });
}

bool tmyimport::LoadJpeg(const std::string& fileName, TmyImagePal& target, ImageSize max, bool square,
                         FileError* error) {
    TBusy busy(Hooks);
    return Guarded(error, [&] {
        TDecoded decoded;
        TWorkPicture picture;
        std::vector<std::uint8_t> bytes;
        FileError readError;
        if (!ReadWholeFile(fileName, bytes, ImagingLimits().fileSize, &readError)) {
            KeepFirstError(error, readError);
            return false;
        }
        switch (DecodeJpeg(bytes, picture)) {
        case TJpegDecode::Failed: return false;
        case TJpegDecode::TooLarge: {
            KeepFirstError(error, FileError::TooLarge);
            return false;
        }
        case TJpegDecode::Decoded: break;
        case TJpegDecode::NotTaken: {
            {
                TMemoryStream stream(std::move(bytes));
                if (!DecodeStream(stream, FormatOf<TJpegFileFormat>(), decoded)) return false;
            }
            if (!PictureFromImageData(decoded.images[0], picture)) return false;
            break;
        }
        }
        // The decoder's pixels arrive with alpha 255 (a photo has none), so
        // they need no pass making them opaque.
        picture.Bits32 = true;
        return ImportPicture(picture, target, max, square, false);
    });
}

bool tmyimport::LoadJpeg2000(const std::string& fileName, TmyImagePal& target, ImageSize max, bool square,
                             FileError* error) {
    return Guarded(error, [&] {
        TDecoded decoded;
        TWorkPicture picture;
        if (!LoadImageData(fileName, FormatOf<TJpeg2000FileFormat>(), decoded, picture, error)) return false;
        picture.Bits32 = true;  // converted to 32 bits with the alpha the file has (255 without)
        return ImportPicture(picture, target, max, square, false);
    });
}

bool tmyimport::LoadPicture(const std::string& fileName, TmyImagePal& target, ImageSize max, bool square,
                            FileError* error) {
    return LoadPictureOf(fileName, target, max, square, true, error);
}

bool tmyimport::LoadPictureOf(const std::string& fileName, TmyImagePal& target, ImageSize max, bool square,
                              bool bySize, FileError* error) {
    return Guarded(error, [&] {
        TDecoded decoded;
        TWorkPicture picture;
        if (!LoadImageData(fileName, nullptr, decoded, picture, error, bySize)) return false;
        picture.Bits32 = true;
        return ImportPicture(picture, target, max, square, false);
    });
}

bool tmyimport::LoadPng(const std::string& fileName, TmyImagePal& target, ImageSize max, bool square,
                        FileError* error) {
    TBusy busy(Hooks);
    return Guarded(error, [&] {
        TPNGObject png;
        if (!png.LoadFromFile(fileName, error)) return false;
        TWorkPicture picture;
        // Every colour type as shown: grey with alpha keeps its alpha, a
        // palette entry its own alpha, a transparent colour alpha 0. A pixel
        // of alpha 0 is black, so a picture transparent throughout arrives
        // as an opaque black one. Rows are made from the codec's pixels as
        // they are read, never copied whole beside them.
        const int width = png.Width();
        if (!picture.MakeRows(width, png.Height(), [&png, width](int y, TmyPixel* row) {
                png.GetRGBA(y, reinterpret_cast<std::uint8_t*>(row));
                for (int x = 0; x < width; ++x)
                    if (row[x].A == 0) row[x] = {};
            }))
            return false;
        picture.Bits32 = true;
        return ImportPicture(picture, target, max, square, false);
    });
}

bool tmyimport::LoadGif(TmyImagePal& target, const std::string& fileName, bool square, FileError* error) {
    return Guarded(error, [&] {
        // The frames after the first are never looked at: an animation of
        // any length gives its picture.
        TGIFImage gif;
        if (!gif.LoadFirstFrameFromFile(fileName, error)) return false;
        const std::vector<int> frames = gif.PictureFrames();
        if (frames.empty()) return false;
        TWorkPicture picture;
        if (!GifFramePicture(gif, frames.front(), {255, 255, 255, 0}, picture)) return false;
        picture.Bits32 = true;
        return ImportPicture(picture, target, target.Size(), square, false);
    });
}

bool tmyimport::IconImageToImage(const TmyIcon& icon, bool square, int index, TmyImagePal& target) {
    if (index < 0 || index >= icon.Count()) return false;
    const TmyImagePal& image = icon.Image(index);
    TWorkPicture picture;
    if (!picture.Allocate(image.Width(), image.Height())) return false;
    std::copy(image.Pixels().begin(), image.Pixels().end(), picture.Data());
    picture.Bits32 = true;
    if (square) {
        const int side = ClampSize(image.Width(), image.Height(), target.Width());
        target.SetSize({side, side});
    }
    PictureToImage(picture, target, target.Size(), true, true);
    return true;
}

bool tmyimport::LoadAni(TmyImagePal& target, const std::string& fileName, bool square, FileError* error) {
    TmyANI doc;
    TmyANIIO(false).LoadFromFile(doc, fileName, error);
    return IconImageToImage(doc, square, 0, target);
}

bool tmyimport::LoadIcoCur(const std::string& fileName, TmyImagePal& target, bool square, FileError* error) {
    TmyIcon doc;
    TmyIcoIO(false).LoadFromFile(doc, fileName, error);
    return IconImageToImage(doc, square, 0, target);
}

bool tmyimport::LoadIcns(const std::string& fileName, TmyImagePal& target, bool square, FileError* error) {
    TmyIcon doc;
    if (!TmyMacIcoIO(ReaderMessages).LoadFromFile(doc, fileName, error) || doc.Count() == 0) return false;
    const TmyImagePal& image = doc.Image(0);
    TWorkPicture picture;
    if (!picture.Allocate(image.Width(), image.Height())) return false;
    std::copy(image.Pixels().begin(), image.Pixels().end(), picture.Data());
    picture.Bits32 = true;
    return ImportPicture(picture, target, target.Size(), square, true);
}

namespace {

// How LoadImageFile reads each detected type, and what it says when that fails.
using TRoadLoader = bool (*)(tmyimport& s, const std::string& file, TmyImagePal& target, bool square, FileError* e);

bool RoadIcoCur(tmyimport& s, const std::string& f, TmyImagePal& t, bool q, FileError* e) {
    return s.LoadIcoCur(f, t, q, e);
}
bool RoadAni(tmyimport& s, const std::string& f, TmyImagePal& t, bool q, FileError* e) { return s.LoadAni(t, f, q, e); }
bool RoadBmp(tmyimport& s, const std::string& f, TmyImagePal& t, bool q, FileError* e) {
    return s.LoadBmp(f, t, t.Size(), q, e);
}
bool RoadJpeg(tmyimport& s, const std::string& f, TmyImagePal& t, bool q, FileError* e) {
    return s.LoadJpeg(f, t, t.Size(), q, e);
}
bool RoadPng(tmyimport& s, const std::string& f, TmyImagePal& t, bool q, FileError* e) {
    return s.LoadPng(f, t, t.Size(), q, e);
}
bool RoadGif(tmyimport& s, const std::string& f, TmyImagePal& t, bool q, FileError* e) { return s.LoadGif(t, f, q, e); }
bool RoadIcns(tmyimport& s, const std::string& f, TmyImagePal& t, bool q, FileError* e) {
    return s.LoadIcns(f, t, q, e);
}
bool RoadJpeg2000(tmyimport& s, const std::string& f, TmyImagePal& t, bool q, FileError* e) {
    return s.LoadJpeg2000(f, t, t.Size(), q, e);
}

struct TImageRoad {
    std::uint8_t Type;
    TRoadLoader Load;
    const char* Key;
    const char* Text;
};

constexpr TImageRoad kRoads[] = {
    {ftIcon, RoadIcoCur, "msgNotICO", "Invalid icon or cursor file!"},
    {ftCursor, RoadIcoCur, "msgNotICO", "Invalid icon or cursor file!"},
    {ftAnimatedCursor, RoadAni, "msgNotAni", "Invalid animated cursor file!"},
    {ftBmp, RoadBmp, "msgNotBMP", "Invalid bmp file!"},
    {ftJpeg, RoadJpeg, "msgNotJPG", "Invalid jpg file!"},
    {ftPng, RoadPng, "msgNotPNG", "Invalid png file!"},
    {ftGif, RoadGif, "msgNotGIF", "Invalid gif file!"},
    {ftIcns, RoadIcns, "msgNotIcns", "Invalid Macintosh icon!"},
    {ftJp2, RoadJpeg2000, "msgNotJpg2000", "Invalid jpeg2000 file!"},
    {ftJ2k, RoadJpeg2000, "msgNotJpg2000", "Invalid jpeg2000 file!"},
};

// A failed load in the road's words, with the reason. A file too large to
// read (by the read limit or what decoding it would take) is neither damaged
// nor of an unknown kind: it cannot be opened, for that reason.
void Refused(TImageFileResult& result, const char* key, const char* text, FileError error) {
    const bool tooLarge = error == FileError::TooLarge;
    result.MessageKey = tooLarge ? "msgErrorOpen" : key;
    result.Message = tooLarge ? "Cannot open file" : text;
    result.Error = error;
}

// Restores AllowAdvanced to true however the load ends.
class TAllowAdvancedAfter {
public:
    explicit TAllowAdvancedAfter(tmyimport& s) : s_(s) {}
    ~TAllowAdvancedAfter() { s_.AllowAdvanced = true; }
    TAllowAdvancedAfter(const TAllowAdvancedAfter&) = delete;
    TAllowAdvancedAfter& operator=(const TAllowAdvancedAfter&) = delete;

private:
    tmyimport& s_;
};

}  // namespace

TImageFileResult tmyimport::LoadImageFile(TmyImagePal& target, const std::string& fileName, bool square,
                                          bool noAdvanced) {
    TImageFileResult result;
    TAllowAdvancedAfter restore(*this);
    AllowAdvanced = !noAdvanced;
    const FileTypeResult detected = DetectFileType(fileName);
    if (!detected.ok()) {
        Refused(result, "msgUnknown", "Unknown file type!", detected.error);
        return result;
    }
    result.FileType = detected.type;
    const TImageRoad* road = nullptr;
    for (const TImageRoad& r : kRoads)
        if (r.Type == detected.type) road = &r;
    bool bySize = false;
    if (!road) {
        FileError error;
        result.Ok = PictureFallback(detected.type, bySize) &&
                    LoadPictureOf(fileName, target, target.Size(), square, bySize, &error);
        if (!result.Ok) Refused(result, "msgUnknown", "Unknown file type!", error);
        return result;
    }
    FileError error;
    result.Ok = road->Load(*this, fileName, target, square, &error);
    if (!result.Ok && (error.ok() || error == FileError::Unsupported) && PictureFallback(detected.type, bySize)) {
        error = FileError::None;
        result.Ok = LoadPictureOf(fileName, target, target.Size(), square, bySize, &error);
    }
    // A GIF is read here for its first picture alone, so one too large is
    // a picture too large, not the animation.
    if (!result.Ok) Refused(result, road->Key, road->Text, error);
    return result;
}

bool tmyimport::PictureFallback(std::uint8_t type, bool& bySize) {
    // A picture of a kind detection does not name (Targa and the like) is
    // still a picture. Targa files may begin with the bytes of a cursor file;
    // a cursor cut short is no picture of the formats that go by size alone.
    bySize = type == ftUnknown;
    return type == ftUnknown || type == ftCursor;
}

bool tmyimport::ReadsAsPicture(const std::string& fileName) {
    const FileTypeResult detected = DetectFileType(fileName);
    bool bySize = false;
    if (!detected.ok() || !PictureFallback(detected.type, bySize)) return false;
    TmyImagePal probe({1, 1}, 32);
    TAllowAdvancedAfter restore(*this);
    AllowAdvanced = false;
    FileError error;
    if (LoadPictureOf(fileName, probe, {1, 1}, false, bySize, &error)) return true;
    // A picture that declares more than a load may take is one all the same:
    // its road says why it cannot be opened. A file beyond the read limit
    // was never looked at, and is not known to be one.
    std::vector<std::uint8_t> head;
    std::uint64_t size = 0;
    return error == FileError::TooLarge && ReadFileHead(fileName, 0, head, size) && size <= ImagingLimits().fileSize;
}

bool tmyimport::CaptureScreen(TmyImagePal& target, int top, int left) {
    TBusy busy(Hooks);
    TBitmap grabbed;
    if (!Hooks.GrabScreen || !Hooks.GrabScreen(grabbed, left, top, target.Width(), target.Height()) ||
        grabbed.Width() != target.Width() || grabbed.Height() != target.Height())
        return false;
    return BitmapToImage(grabbed, target, target.Size(), false, true);
}

int tmyimport::ShowFramesDialog(const std::string& fileName, const TmyImagePal& target, int bitCount) {
    try {
        return Hooks.FramesDialog ? Hooks.FramesDialog(fileName, target.Size(), bitCount) : 2;
    } catch (const std::exception&) {
        return 2;
    }
}

}  // namespace velto
