// TBaseImage and TSingleImage.
#include "imaging/Classes.h"

#include "imaging/FileFormat.h"
#include "imaging/Imaging.h"

namespace velto {

bool TBaseImage::Valid() const { return PData && TestImage(*PData); }

void TBaseImage::GetFormatInfo(TImageFormatInfo& info) const {
    if (Valid()) GetImageFormatInfo(PData->Format, info);
    else info = TImageFormatInfo{};
}

void TBaseImage::RecreateImageData(std::int32_t width, std::int32_t height, TImageFormat format) {
    if (PData && NewImage(width, height, format, *PData)) DoDataSizeChanged();
}

void TBaseImage::LoadFromFile(const std::string& fileName) {
    if (PData && LoadImageFromFile(fileName, *PData)) DoDataSizeChanged();
}

void TBaseImage::LoadFromStream(TStream& stream) {
    if (PData && LoadImageFromStream(stream, *PData)) DoDataSizeChanged();
}

void TBaseImage::SaveToFile(const std::string& fileName) {
    if (Valid()) SaveImageToFile(fileName, *PData);
}

void TBaseImage::SaveToStream(std::string_view ext, TStream& stream) {
    if (Valid()) SaveImageToStream(ext, stream, *PData);
}

void TBaseImage::DoDataSizeChanged() {
    if (OnDataSizeChanged) OnDataSizeChanged(*this);
    DoPixelsChanged();
}

void TBaseImage::DoPixelsChanged() {
    if (OnPixelsChanged) OnPixelsChanged(*this);
}

TSingleImage::TSingleImage() : TSingleImage(16, 16, ifDefault) {}

TSingleImage::TSingleImage(std::int32_t width, std::int32_t height, TImageFormat format) {
    UpdateImageDataPointer();
    NewImage(width, height, format, ImageData);
}

TSingleImage::TSingleImage(const TImageData& data) {
    UpdateImageDataPointer();
    if (TestImage(data)) CloneImage(data, ImageData);
    else NewImage(16, 16, ifDefault, ImageData);
}

TSingleImage::~TSingleImage() { FreeImage(ImageData); }

void TSingleImage::UpdateImageDataPointer() { PData = &ImageData; }

void TSingleImage::CreateFromParams(std::int32_t width, std::int32_t height, TImageFormat format) {
    NewImage(width, height, format, ImageData);
}

void TSingleImage::CreateFromData(const TImageData& data) {
    if (TestImage(data)) {
        CloneImage(data, ImageData);
        DoDataSizeChanged();
    } else {
        NewImage(16, 16, ifDefault, ImageData);
    }
}

void TSingleImage::Assign(const TSingleImage* source) {
    if (!source) {
        NewImage(16, 16, ifDefault, ImageData);
        return;
    }
    if (source == this) return;
    CreateFromData(source->ImageData);
}

}  // namespace velto
