#pragma once
// Object wrappers over the image record: TBaseImage and TSingleImage, which
// the rest of the program uses to load, convert and save pictures of any
// registered format.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "imaging/ImagingIO.h"
#include "imaging/ImagingTypes.h"

namespace velto {

class TBaseImage {
public:
    using TNotifyEvent = std::function<void(TBaseImage& sender)>;

    virtual ~TBaseImage() = default;
    TBaseImage(const TBaseImage&) = delete;
    TBaseImage& operator=(const TBaseImage&) = delete;

    TNotifyEvent OnDataSizeChanged;
    TNotifyEvent OnPixelsChanged;

    bool Valid() const;
    void GetFormatInfo(TImageFormatInfo& info) const;
    void RecreateImageData(std::int32_t width, std::int32_t height, TImageFormat format);
    // Loads the first image of a file or stream, its format found by content.
    virtual void LoadFromFile(const std::string& fileName);
    virtual void LoadFromStream(TStream& stream);
    void SaveToFile(const std::string& fileName);
    void SaveToStream(std::string_view ext, TStream& stream);

    std::int32_t Width() const { return PData ? PData->Width : 0; }
    std::int32_t Height() const { return PData ? PData->Height : 0; }
    TImageFormat Format() const { return PData ? PData->Format : ifUnknown; }
    std::uint8_t* Bits() const { return PData ? PData->Bits : nullptr; }
    TColor32* Palette() const { return PData ? PData->Palette : nullptr; }
    TImageData* ImageDataPointer() const { return PData; }

protected:
    TBaseImage() = default;
    virtual void UpdateImageDataPointer() = 0;
    virtual void DoDataSizeChanged();
    virtual void DoPixelsChanged();

    TImageData* PData = nullptr;
};

class TSingleImage : public TBaseImage {
public:
    // A zeroed 16 x 16 image in the default format.
    TSingleImage();
    // A zeroed image of that size and format.
    TSingleImage(std::int32_t width, std::int32_t height, TImageFormat format);
    // A deep copy of a valid record, else the default image.
    explicit TSingleImage(const TImageData& data);
    ~TSingleImage() override;

    // Replaces this object's image by a zeroed one of that size and format.
    void CreateFromParams(std::int32_t width, std::int32_t height, TImageFormat format);
    void CreateFromData(const TImageData& data);
    // nullptr gives the default image; else a deep copy of the source's image.
    void Assign(const TSingleImage* source);

    TImageData ImageData;

protected:
    void UpdateImageDataPointer() override;
};

}  // namespace velto
