#pragma once
// The file-format framework: TImageFileFormat, the protocol every format of
// the library implements, and the registry that detects, loads and saves by
// file name, content or stream.
//
// Adding a format: write Source/imaging/Format<Name>.h/.cpp with a class
// derived from TImageFileFormat and, in the .cpp, a function
//     void RegisterFormat<Name>() { RegisterImageFileFormat(fr<Name>, std::make_unique<T<Name>FileFormat>()); }
// The build calls every RegisterFormat<Name> of the folder when the registry
// is first used; the rank (TFormatRank) places the format in the registration
// order, which is also the order of detection.
#include <bitset>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/Imaging.h"
#include "imaging/ImagingIO.h"
#include "imaging/ImagingTypes.h"

namespace velto {

// Registration order of the library's formats.
enum TFormatRank : int {
    frBitmap = 1,
    frJpeg,
    frPNG,
    frMNG,
    frJNG,
    frGIF,
    frDDS,
    frTarga,
    frPBM,
    frPGM,
    frPPM,
    frPAM,
    frPFM,
    frJpeg2000,
    frPSD,
    frPCX,
    frBSI,
    frCIF,
    frIMG,
    frTexture,
};

// Pixel-format ids 0..231 a saver takes without conversion.
using TImageFormats = std::bitset<232>;

class TImageFileFormat {
public:
    TImageFileFormat();
    virtual ~TImageFileFormat();
    TImageFileFormat(const TImageFileFormat&) = delete;
    TImageFileFormat& operator=(const TImageFileFormat&) = delete;

    // Description; descendants fill these in their constructors.
    std::vector<std::string> Extensions;  // from the masks; the first names the format
    std::vector<std::string> Masks;
    std::string Name;
    bool CanLoad = false;
    bool CanSave = false;
    bool IsMultiImage = false;
    TImageFormats SupportedFormats;

    // One format object serves every load and save, on any thread at once:
    // what a load or save needs travels in the arguments (the I/O table its
    // handle belongs to), never in the object. The options bound to members
    // are set by the user between loads and only read by them.
    virtual void GetSupportedFormats(TImageFormats& formats) const;
    virtual bool LoadData(const TIOFunctions& io, TImagingHandle handle, TDynImageDataArray& images,
                          bool onlyFirstLevel);
    virtual bool SaveData(const TIOFunctions& io, TImagingHandle handle, const TDynImageDataArray& images,
                          std::int32_t index);
    virtual void ConvertToSupported(TImageData& image, const TImageFormatInfo& info);
    virtual bool IsSupported(const TImageData& image) const;
    virtual bool TestFormat(const TIOFunctions& io, TImagingHandle handle);
    virtual void CheckOptionsValidity();

    void AddMasks(std::string_view masks);
    bool TestFileName(std::string_view fileName) const;

    bool LoadFromFile(const std::string& fileName, TDynImageDataArray& images, bool onlyFirstLevel = false);
    bool LoadFromStream(TStream& stream, TDynImageDataArray& images, bool onlyFirstLevel = false);
    bool SaveToFile(const std::string& fileName, const TDynImageDataArray& images, bool onlyFirstLevel = false);
    bool SaveToStream(TStream& stream, const TDynImageDataArray& images, bool onlyFirstLevel = false);

    // The first extension ("" when there is none).
    std::string FirstExtension() const { return Extensions.empty() ? std::string() : Extensions.front(); }

protected:
    bool PrepareLoad(TImagingHandle handle, TDynImageDataArray& images, bool onlyFirstLevel);
    bool PostLoadCheck(TDynImageDataArray& images, bool loadResult);
    bool PrepareSave(TImagingHandle handle, const TDynImageDataArray& images, std::int32_t& index);
    // The images a multi-image save writes for the index PrepareSave left:
    // all of them for a negative index, else that one.
    struct TSaveRange {
        std::int32_t first, last;
    };
    static TSaveRange SaveRange(const TDynImageDataArray& images, std::int32_t index) {
        return index < 0 ? TSaveRange{0, static_cast<std::int32_t>(images.size()) - 1} : TSaveRange{index, index};
    }
    // A copy of the image that this format saves; mustBeFreed tells whether it
    // has buffers of its own.
    bool MakeCompatible(const TImageData& image, TImageData& compatible, bool& mustBeFreed);
};

// ---------------------------------------------------------------------------
// Registry

void RegisterImageFileFormat(int rank, std::unique_ptr<TImageFileFormat> format);
std::int32_t GetFileFormatCount();
TImageFileFormat* GetFileFormatAtIndex(std::int32_t index);
TImageFileFormat* FindImageFileFormatByExt(std::string_view ext);
TImageFileFormat* FindImageFileFormatByName(std::string_view fileName);
template <class T>
T* FindImageFileFormatByClass() {
    for (std::int32_t i = 0; i < GetFileFormatCount(); ++i)
        if (auto* f = dynamic_cast<T*>(GetFileFormatAtIndex(i))) return f;
    return nullptr;
}

// The first extension of the detected format, or "".
std::string DetectFileFormat(const std::string& fileName);
std::string DetectStreamFormat(TStream& stream);

bool LoadImageFromFile(const std::string& fileName, TImageData& image);
bool LoadImageFromStream(TStream& stream, TImageData& image);
bool SaveImageToFile(const std::string& fileName, const TImageData& image);
bool SaveImageToStream(std::string_view ext, TStream& stream, const TImageData& image);

// Called once, when the registry is first used: every RegisterFormat<Name>
// of the folder (generated by the build).
void RegisterAllImageFileFormats();

}  // namespace velto
