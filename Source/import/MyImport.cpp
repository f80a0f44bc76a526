// The service's instance, its settings and hooks; the rest is still to come.
#include "import/MyImport.h"

namespace velto {

tmyimport& MyImport() {
    static tmyimport instance;
    return instance;
}

TImportSettings tmyimport::Settings() const {
    TImportSettings s = Hooks.Settings ? Hooks.Settings() : TImportSettings{};
    if (ImportActionOverride) s.ImportAction = *ImportActionOverride;
    return s;
}

TImportActionOverride::TImportActionOverride(tmyimport& service, std::uint8_t policy)
    : service_(service), saved_(service.ImportActionOverride) {
    service_.ImportActionOverride = policy;
}

TImportActionOverride::~TImportActionOverride() { service_.ImportActionOverride = saved_; }

void tmyimport::BusyOn() const {
    if (Hooks.Busy) Hooks.Busy(true);
}
void tmyimport::BusyOff() const {
    if (Hooks.Busy) Hooks.Busy(false);
}

TExportFormat ExportFormatOf(const std::string&) { return efNone; }
bool tmyimport::BitmapToImage(TBitmap&, TmyImagePal&, ImageSize, bool, bool) { return false; }
int tmyimport::ClampSize(int width, int height, int max) { return std::min(std::max(width, height), max); }
ImageSize tmyimport::FitSize(ImageSize picture, ImageSize) const { return picture; }
void tmyimport::ResizeToFit(const TBitmap&, TmyImagePal&) {}
void tmyimport::CropTopLeft(const TBitmap&, TmyImagePal&, ImageSize) {}
bool tmyimport::LoadBmp(const std::string&, TmyImagePal&, ImageSize, bool, FileError*) { return false; }
bool tmyimport::LoadJpeg(const std::string&, TmyImagePal&, ImageSize, bool, FileError*) { return false; }
bool tmyimport::LoadJpeg2000(const std::string&, TmyImagePal&, ImageSize, bool, FileError*) { return false; }
bool tmyimport::LoadPng(const std::string&, TmyImagePal&, ImageSize, bool, FileError*) { return false; }
bool tmyimport::LoadPicture(const std::string&, TmyImagePal&, ImageSize, bool, FileError*) { return false; }
bool tmyimport::LoadGif(TmyImagePal&, const std::string&, bool, FileError*) { return false; }
bool tmyimport::LoadAni(TmyImagePal&, const std::string&, bool, FileError*) { return false; }
bool tmyimport::LoadIcoCur(const std::string&, TmyImagePal&, bool, FileError*) { return false; }
bool tmyimport::LoadIcns(const std::string&, TmyImagePal&, bool, FileError*) { return false; }
bool tmyimport::IconImageToImage(const TmyIcon&, bool, int, TmyImagePal&) { return false; }
TImageFileResult tmyimport::LoadImageFile(TmyImagePal&, const std::string&, bool, bool) { return {}; }
bool tmyimport::CaptureScreen(TmyImagePal&, int, int) { return false; }
int tmyimport::ShowFramesDialog(const std::string& fileName, const TmyImagePal& target, int bitCount) {
    return Hooks.FramesDialog ? Hooks.FramesDialog(fileName, target.Size(), bitCount) : 2;
}
bool tmyimport::SaveBmp(const std::string&, const TmyImagePal&, FileError*) { return false; }
bool tmyimport::SaveJpeg(const std::string&, const TmyImagePal&, FileError*) { return false; }
bool tmyimport::SaveJpeg2000(const std::string&, const TmyImagePal&, FileError*) { return false; }
bool tmyimport::SavePng(const std::string&, const TmyImagePal&, FileError*) { return false; }
bool tmyimport::SaveGif(const std::string&, const TmyImagePal&, FileError*) { return false; }
bool tmyimport::ExportImage(const std::string&, const TmyIcon&, bool, FileError*) { return false; }
bool tmyimport::SaveAnimationAsGif(const std::string&, const TmyIcon&, FileError*) { return false; }
void tmyimport::AddGifFrame(TGIFImage&, const TmyImagePal&) {}
bool tmyimport::HasColorNear(const TBitmap&, std::uint8_t, std::uint8_t, std::uint8_t) { return false; }
bool tmyimport::ImportAnimatedGif(TmyANI&, const std::string&, FileError*) { return false; }
void RenderGifFrame(TBitmap&, TGIFImage&, int) {}

}  // namespace velto
