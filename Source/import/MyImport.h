#pragma once
// The import/export service: pictures of every kind the program reads become
// one cursor image, fitted into the caller's target by a fitting policy; one
// image leaves as a BMP, JPEG, JPEG 2000, PNG or one-frame GIF file, a whole
// animated cursor as a GIF animation, and a GIF animation comes in as the
// frames of an animated cursor.
//
// Qt-free. What needs a window (the question whether to resize or crop, the
// advanced import dialog, the GIF import progress, grabbing the screen, the
// busy cursor) is asked through TImportHooks, which the GUI installs once; a
// hook that is not installed gets the answer a headless caller wants (resize,
// no progress, no grab).
//
// One process-wide instance, MyImport(), which runs on the GUI thread; a
// worker uses a private instance without hooks or reader messages.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "model/Icon.h"
#include "model/Image.h"
#include "platform/Bitmap.h"
#include "platform/Color.h"
#include "platform/FileIO.h"

namespace velto {

class TGIFImage;
struct TWorkPicture;

// What happens to a picture larger than its target.
enum TFitPolicy : std::uint8_t {
    fpResize = 0,    // resize to fit (keeping proportions by KeepAspectRatio)
    fpCrop = 1,      // the top-left corner
    fpAdvanced = 2,  // the advanced import dialog
    fpAsk = 3,       // ask the user which of the three
};

// The settings the service reads (never writes). Defaults are the program's.
struct TImportSettings {
    std::uint8_t ImportAction = fpAdvanced;    // policy for imports
    std::uint8_t ClipboardAction = fpAsk;      // policy for every other conversion (paste)
    bool KeepAspectRatio = true;
    bool ExportAlpha = true;                   // writers keep alpha; off: rendered onto PrevColor
    TColor PrevColor = MakeColor(255, 255, 255);  // the matte colour
    bool Overimpose = false;                   // GIF frame i shows frames 0..i drawn in turn
};

// How the GUI answers what the service cannot. Every member may stay empty.
struct TImportHooks {
    // The current settings; read at every operation. Empty: the defaults.
    std::function<TImportSettings()> Settings;
    // Busy cursor on or off. Not counted: one "off" ends any number of "on".
    std::function<void(bool busy)> Busy;
    // The question "larger than the canvas": 0 resize, 1 crop, 2 advanced.
    // Empty: resize.
    std::function<int(bool isImport)> AskPolicy;
    // The advanced import dialog on `source`; `work` arrives as a transparent
    // 32-bit image of the target's size. True (OK) when `work` holds the
    // result; false for a cancel. Empty: behaves as a cancel.
    std::function<bool(TBitmap& source, TmyImagePal& work)> AdvancedImport;
    // The GIF import progress window: shown with its maximum and its cancel
    // flag cleared; one step per frame, answering whether the user cancelled;
    // hidden at the end (also after a failure).
    std::function<void(int maximum)> ProgressBegin;
    std::function<bool()> ProgressStep;
    std::function<void()> ProgressEnd;
    // Lets the GUI handle pending events (so a Cancel button works).
    std::function<void()> ProcessEvents;
    // Asked before each frame of a GIF import: true stops it there, as the
    // progress window's cancel does (a batch being stopped). Empty: never.
    std::function<bool()> Stopped;
    // Copies the screen rectangle into `out` (any pixel format, exactly
    // width x height pixels). False when the platform gives nothing.
    std::function<bool(TBitmap& out, int left, int top, int width, int height)> GrabScreen;
    // The frames dialog for a GIF or animated cursor: the caller's target size
    // and depth; 0, or 2 when it failed, 3 when the GIF's frames ask more
    // memory than a load may take. Empty: 2.
    std::function<int(const std::string& fileName, ImageSize size, int bitCount)> FramesDialog;
};

// What LoadImageFile made of a file: on failure the message key and its
// English text ("msgNotPNG", "Invalid png file!"), and the file system's reason
// when reading failed. A file too large to read or decode (TooLarge, from the
// read limit or any limit of the codecs, a GIF's first picture included) is
// neither invalid nor unknown: "msgErrorOpen", "Cannot open file".
struct TImageFileResult {
    bool Ok = false;
    std::uint8_t FileType = 0;  // the detected type code
    const char* MessageKey = "";
    const char* Message = "";
    FileError Error;
};

// The picture writers, chosen by a file name's extension.
enum TExportFormat : std::uint8_t { efNone, efBmp, efJpeg, efPng, efGif, efJpeg2000 };
// ".bmp", ".jpg", ".png", ".gif", ".jp2"/".j2k" (any case); efNone otherwise.
TExportFormat ExportFormatOf(const std::string& fileName);

class tmyimport {
public:
    tmyimport() = default;
    tmyimport(const tmyimport&) = delete;
    tmyimport& operator=(const tmyimport&) = delete;

    // False: policies 2 and 3 act as 0 and the GIF import shows no progress.
    bool AllowAdvanced = true;
    // Set by the last BitmapToImage when the advanced dialog was cancelled,
    // and by the last ImportAnimatedGif when it stopped before its last frame.
    bool Cancelled = false;
    // The readers the loaders create may show their own message boxes (the
    // user's imports). Off for an instance working off the GUI thread: a
    // reader's warning there is dropped and the load goes on.
    bool ReaderMessages = true;
    // PNG pictures are compressed once, by the fast compressor alone, instead
    // of also by zlib to keep the smaller (a converter of many small files).
    bool CompressOnce = false;

    TImportHooks Hooks;

    // The settings in force: the hook's (or the defaults), with an
    // ImportAction override of TImportActionOverride applied.
    TImportSettings Settings() const;

    // --- Conversion -----------------------------------------------------
    // Converts the bitmap (made 32 bits) into target, fitting a picture larger
    // than max by the policy of ImportAction (isImport) or ClipboardAction.
    // keepAlpha false: a bitmap whose alpha is all 0 arrives opaque. Returns
    // false only when the bitmap could not be converted.
    bool BitmapToImage(TBitmap& bitmap, TmyImagePal& target, ImageSize max, bool keepAlpha, bool isImport);

    // Side = min(max(width, height), max).
    static int ClampSize(int width, int height, int max);
    // The size a width x height picture takes inside max (KeepAspectRatio);
    // never 0 on either side, never a division by 0.
    ImageSize FitSize(ImageSize picture, ImageSize max) const;
    // Target keeps its size; the picture is box-resampled to FitSize and centred.
    void ResizeToFit(const TBitmap& bitmap, TmyImagePal& target);
    // Target becomes size; the top-left part of the picture is copied, centred
    // on an axis where the picture is smaller.
    void CropTopLeft(const TBitmap& bitmap, TmyImagePal& target, ImageSize size);

    // --- Loaders --------------------------------------------------------
    // max is the target's own size; square asks for a square target of
    // ClampSize(picture width, picture height, target width). False when the
    // file cannot be read as that kind (error says why when reading failed).
    bool LoadBmp(const std::string& fileName, TmyImagePal& target, ImageSize max, bool square,
                 FileError* error = nullptr);
    bool LoadJpeg(const std::string& fileName, TmyImagePal& target, ImageSize max, bool square,
                  FileError* error = nullptr);
    bool LoadJpeg2000(const std::string& fileName, TmyImagePal& target, ImageSize max, bool square,
                      FileError* error = nullptr);
    bool LoadPng(const std::string& fileName, TmyImagePal& target, ImageSize max, bool square,
                 FileError* error = nullptr);
    // Any other picture the image library reads by content (Targa and the like).
    bool LoadPicture(const std::string& fileName, TmyImagePal& target, ImageSize max, bool square,
                     FileError* error = nullptr);
    // First frame of a GIF, as the player shows it (nothing after it is
    // read). A first frame beyond the GIF limits: FileError::TooLarge.
    bool LoadGif(TmyImagePal& target, const std::string& fileName, bool square, FileError* error = nullptr);
    // First image of an animated cursor, an icon or cursor, an Apple icon.
    bool LoadAni(TmyImagePal& target, const std::string& fileName, bool square, FileError* error = nullptr);
    bool LoadIcoCur(const std::string& fileName, TmyImagePal& target, bool square, FileError* error = nullptr);
    bool LoadIcns(const std::string& fileName, TmyImagePal& target, bool square, FileError* error = nullptr);
    // Image index of the document into target (false when index is outside).
    bool IconImageToImage(const TmyIcon& icon, bool square, int index, TmyImagePal& target);

    // Any picture or cursor file by its detected type into target (fitted to
    // target's own size). noAdvanced: no dialog is shown (AllowAdvanced is
    // true again afterwards). A file detected as a cursor that the cursor
    // reader refuses, or one of a type detection does not name, is tried as
    // any picture the image library reads before it counts as failed; the
    // refused cursor only as a picture its content marks (formats known by
    // a file's size alone would take any cut cursor of such a size).
    TImageFileResult LoadImageFile(TmyImagePal& target, const std::string& fileName, bool square,
                                   bool noAdvanced);
    // Whether LoadImageFile would take the file as such a picture (its
    // type's own reader aside): probed without any window, so that a road
    // that offers a picture first asks the same question the import answers.
    // A picture that declares more than a load may take counts: the import
    // then refuses it as too large.
    bool ReadsAsPicture(const std::string& fileName);

    // --- Screen and frames ------------------------------------------------
    // The screen rectangle of target's size at (left, top) into target.
    // False when the platform gives no pixels (target unchanged).
    bool CaptureScreen(TmyImagePal& target, int top, int left);
    int ShowFramesDialog(const std::string& fileName, const TmyImagePal& target, int bitCount);
    int ImportFromFrames(const std::string& fileName, const TmyImagePal& target, int bitCount) {
        return ShowFramesDialog(fileName, target, bitCount);
    }

    // --- Writers ----------------------------------------------------------
    // Written through a temporary file renamed over the target only when
    // complete: a failure leaves an existing file as it was.
    bool SaveBmp(const std::string& fileName, const TmyImagePal& image, FileError* error = nullptr);
    bool SaveJpeg(const std::string& fileName, const TmyImagePal& image, FileError* error = nullptr);
    // ".jp2" gives the JP2 container, ".j2k" a bare code stream.
    bool SaveJpeg2000(const std::string& fileName, const TmyImagePal& image, FileError* error = nullptr);
    bool SavePng(const std::string& fileName, const TmyImagePal& image, FileError* error = nullptr);
    bool SaveGif(const std::string& fileName, const TmyImagePal& image, FileError* error = nullptr);
    // The bytes the writer of a BMP, JPEG, PNG or one-frame GIF file stores,
    // without the file and without the busy cursor (callable off the GUI
    // thread on a private instance). False for another format.
    bool EncodePicture(TExportFormat format, const TmyImagePal& image, std::vector<std::uint8_t>& out);
    // The writer of the name's extension: one image, or every frame of an
    // animated document as a GIF. Unsupported for any other extension.
    bool ExportImage(const std::string& fileName, const TmyIcon& doc, bool animated, FileError* error = nullptr);
    // One picture in the format its name's extension gives.
    bool ExportPicture(const std::string& fileName, const TmyImagePal& image, FileError* error = nullptr);

    // --- GIF animations -----------------------------------------------------
    // One frame per image, in document order, no loop extension.
    bool SaveAnimationAsGif(const std::string& fileName, const TmyIcon& doc, FileError* error = nullptr);
    // Appends one frame made from image (delay Rate x 100, halves to even).
    void AddGifFrame(TGIFImage& gif, const TmyImagePal& image);
    // Some pixel lies within 14 of (r, g, b) on all three channels.
    static bool HasColorNear(const TBitmap& bitmap, std::uint8_t r, std::uint8_t g, std::uint8_t b);
    // The GIF's frames become the document's: its first image (the blank one
    // of a new document) gives the format and is taken out, then one frame
    // per GIF frame is appended (an empty document: 32 x 32 at 32 bits).
    // False when the file cannot be read (the document is then unchanged);
    // frames converted before a later failure or a cancel stay. A GIF of
    // more frames than an animated cursor holds (ReadLimits frames) is
    // refused with FileError::Unsupported, one whose frames ask more memory
    // than a load may take (GIF limits) with FileError::TooLarge, the
    // document unchanged. The work per frame follows the frame's size, not
    // the logical screen's.
    bool ImportAnimatedGif(TmyANI& doc, const std::string& fileName, FileError* error = nullptr);

private:
    friend class TImportActionOverride;
    // The conversion and fitting on the working picture every loader makes.
    bool PictureToImage(TWorkPicture& picture, TmyImagePal& target, ImageSize max, bool keepAlpha, bool isImport);
    // The policy a picture larger than its target takes (asking the hook
    // when the setting says so).
    int FitPolicy(bool isImport);
    void ResizePictureToFit(const TWorkPicture& picture, TmyImagePal& target);
    void CropPicture(const TWorkPicture& picture, TmyImagePal& target, ImageSize size);
    // LoadPicture; bySize false: not as a format that knows its files by
    // their size alone.
    bool LoadPictureOf(const std::string& fileName, TmyImagePal& target, ImageSize max, bool square, bool bySize,
                       FileError* error);
    // Whether a file of the detected type is tried as a picture of the image
    // library once its own reader (if any) refused it, and whether then also
    // as a format known by its size alone.
    static bool PictureFallback(std::uint8_t type, bool& bySize);
    // Square, then the conversion as an import.
    bool ImportPicture(TWorkPicture& picture, TmyImagePal& target, ImageSize max, bool square, bool keepAlpha);
    std::optional<std::uint8_t> ImportActionOverride;
};

// The one instance.
tmyimport& MyImport();

// Why ImportAnimatedGif refused a GIF with FileError::Unsupported (more
// frames than an animated cursor holds), in the language in force.
std::string GifFramesRefusedText();

// A GIF whose frames ask more memory than a load may take (FileError::TooLarge
// from the animation's import or the frames window): the message, and its
// English text.
inline constexpr const char* kGifTooLargeKey = "msgGifTooLarge";
inline constexpr const char* kGifTooLargeText = "The gif animation is too large to be opened!";
// The words of a GIF loader's refusal that has its own (more frames than an
// animated cursor holds, too large), in the language in force; empty for any
// other failure ("Invalid gif file!" and the reason say it).
std::string GifRefusedText(FileError error);

// ImportAction reads as `policy` while the guard lives (the advanced dialog's
// preview); the previous state returns on every exit, exceptions included.
// The program's settings are never touched.
class TImportActionOverride {
public:
    TImportActionOverride(tmyimport& service, std::uint8_t policy);
    ~TImportActionOverride();
    TImportActionOverride(const TImportActionOverride&) = delete;
    TImportActionOverride& operator=(const TImportActionOverride&) = delete;

private:
    tmyimport& service_;
    std::optional<std::uint8_t> saved_;
};

// Frame n of a GIF drawn onto a 32-bit bitmap at its place in the logical
// screen, as a player shows it: every pixel the frame covers opaquely takes
// its colour and alpha 255; other pixels keep what they held.
void RenderGifFrame(TBitmap& bitmap, TGIFImage& gif, int n);

}  // namespace velto
