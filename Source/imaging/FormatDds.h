#pragma once
// DirectDraw Surface textures: mipmap levels, cube maps and volumes, stored
// uncompressed (RGB, luminance, floating point) or as DXT1/3/5 blocks. Every
// level, face and slice is one image of the array.
#include <cstdint>

#include "imaging/FileFormat.h"

namespace velto {

// Options: what the last load found, and what the next save writes.
inline constexpr std::int32_t ImagingDDSLoadedCubeMap = 14;
inline constexpr std::int32_t ImagingDDSLoadedVolume = 15;
inline constexpr std::int32_t ImagingDDSLoadedMipMapCount = 16;
inline constexpr std::int32_t ImagingDDSLoadedDepth = 17;
inline constexpr std::int32_t ImagingDDSSaveCubeMap = 18;
inline constexpr std::int32_t ImagingDDSSaveVolume = 19;
inline constexpr std::int32_t ImagingDDSSaveMipMapCount = 20;
inline constexpr std::int32_t ImagingDDSSaveDepth = 21;

class TDDSFileFormat : public TImageFileFormat {
public:
    TDDSFileFormat();

    bool LoadData(const TIOFunctions& io, TImagingHandle handle, TDynImageDataArray& images,
                  bool onlyFirstLevel) override;
    bool SaveData(const TIOFunctions& io, TImagingHandle handle, const TDynImageDataArray& images,
                  std::int32_t index) override;
    void ConvertToSupported(TImageData& image, const TImageFormatInfo& info) override;
    bool TestFormat(const TIOFunctions& io, TImagingHandle handle) override;
    void CheckOptionsValidity() override;

    std::int32_t CubeMapToSave = 0;
    std::int32_t VolumeToSave = 0;
    std::int32_t MipMapsToSave = 1;
    std::int32_t DepthToSave = 1;
};

}  // namespace velto
