// PNG, MNG and JNG: the three formats of the image library over one chunk
// engine and frame coder (NetworkGraphicsFrames.h).
#include "imaging/FormatNetworkGraphics.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "imaging/FormatInput.h"
#include "imaging/Formats.h"
#include "imaging/NetworkGraphicsFrames.h"
#include "imaging/Options.h"

namespace velto {

// ---------------------------------------------------------------------------
// The formats

TNetworkGraphicsFileFormat::TNetworkGraphicsFileFormat(TNGFileKind kind) : Kind(kind) {
    CanLoad = true;
    CanSave = true;
    IsMultiImage = false;
}

void TNetworkGraphicsFileFormat::GetSupportedFormats(TImageFormats& formats) const {
    formats.reset();
    if (ColorAsJpeg != 0) {
        for (const TImageFormat f : {ifGray8, ifA8Gray8, ifR8G8B8, ifA8R8G8B8}) formats.set(f);
        return;
    }
    for (const TImageFormat f : {ifIndex8, ifGray8, ifA8Gray8, ifGray16, ifA16Gray16, ifR8G8B8, ifA8R8G8B8,
                                 ifR16G16B16, ifA16R16G16B16, ifB16G16R16, ifA16B16G16R16})
        formats.set(f);
}

void TNetworkGraphicsFileFormat::ConvertToSupported(TImageData& image, const TImageFormatInfo& info) {
    TImageFormat target;
    if (ColorAsJpeg != 0) {
        if (info.IsGray) target = info.HasAlpha ? ifA8Gray8 : ifGray8;
        else target = info.HasAlpha ? ifA8R8G8B8 : ifR8G8B8;
    } else if (info.IsGray) {
        target = info.HasAlpha ? (info.BytesPerPixel > 2 ? ifA16Gray16 : ifA8Gray8) : ifGray16;
    } else if (info.IsFloat) {
        target = info.HasAlpha ? ifA16B16G16R16 : ifB16G16R16;
    } else if (info.HasAlpha || info.IsBlockCompressed) {
        target = ifA8R8G8B8;
    } else {
        target = ifR8G8B8;
    }
    ConvertImage(image, target);
}

bool TNetworkGraphicsFileFormat::TestFormat(const TIOFunctions& io, TImagingHandle handle) {
    std::uint8_t head[8] = {};
    return PeekFormatInput(io, handle, head, 8) == 8 && std::memcmp(head, ng_detail::kSignatures[Kind], 8) == 0;
}

void TNetworkGraphicsFileFormat::CheckOptionsValidity() {
    if (static_cast<std::uint32_t>(RowFilter) > 6u) RowFilter = 5;
    if (static_cast<std::uint32_t>(DeflateLevel) > 9u) DeflateLevel = 5;
    if (static_cast<std::uint32_t>(JpegQuality) - 1u > 99u) JpegQuality = 90;
}

bool TNetworkGraphicsFileFormat::LoadFirstFrame(const TIOFunctions& io, TImagingHandle handle,
                                                TDynImageDataArray& images, bool asJng) {
    ng_detail::TNGFileHandler loader;
    if (!ng_detail::LoadChunks(loader, io, handle) || loader.FrameList.empty()) return false;
    images.assign(1, TImageData{});
    const ng_detail::TFrameInfo& frame = *loader.FrameList.front();
    if (frame.HoldsJng == asJng) ng_detail::DecodeFrame(frame, images[0]);
    ng_detail::ApplyFrameExtras(frame, images[0]);
    return true;
}

bool TNetworkGraphicsFileFormat::SaveOneFrame(const TIOFunctions& io, TImagingHandle handle,
                                              const TDynImageDataArray& images, std::int32_t index, bool asJng) {
    TSavableCopy c;
    if (!MakeCompatible(images[static_cast<std::size_t>(index)], c.image, c.owned)) return false;
    ng_detail::TNGFileHandler saver;
    saver.FileKind = asJng ? ngJNG : ngPNG;
    if (!ng_detail::EncodeFrame(saver, ng_detail::TakeOptions(*this), c.image, asJng)) return false;
    return ng_detail::SaveChunks(saver, io, handle);
}

TPNGFileFormat::TPNGFileFormat() : TNetworkGraphicsFileFormat(ngPNG) {
    Name = "Portable Network Graphics";
    AddMasks("*.png");
    RegisterOption(ImagingPNGPreFilter, &RowFilter);
    RegisterOption(ImagingPNGCompressLevel, &DeflateLevel);
}

bool TPNGFileFormat::LoadData(const TIOFunctions& io, TImagingHandle handle, TDynImageDataArray& images, bool) {
    return LoadFirstFrame(io, handle, images, false);
}

bool TPNGFileFormat::SaveData(const TIOFunctions& io, TImagingHandle handle, const TDynImageDataArray& images,
                              std::int32_t index) {
    return SaveOneFrame(io, handle, images, index, false);
}

TJNGFileFormat::TJNGFileFormat() : TNetworkGraphicsFileFormat(ngJNG) {
    Name = "JPEG Network Graphics";
    AddMasks("*.jng");
    ColorAsJpeg = -1;
    RegisterOption(ImagingJNGLossyAlpha, &AlphaAsJpeg);
    RegisterOption(ImagingJNGAlphaPreFilter, &RowFilter);
    RegisterOption(ImagingJNGAlphaCompressLevel, &DeflateLevel);
    RegisterOption(ImagingJNGQuality, &JpegQuality);
    RegisterOption(ImagingJNGProgressive, &JpegProgressive);
}

bool TJNGFileFormat::LoadData(const TIOFunctions& io, TImagingHandle handle, TDynImageDataArray& images, bool) {
    return LoadFirstFrame(io, handle, images, true);
}

bool TJNGFileFormat::SaveData(const TIOFunctions& io, TImagingHandle handle, const TDynImageDataArray& images,
                              std::int32_t index) {
    return SaveOneFrame(io, handle, images, index, true);
}

TMNGFileFormat::TMNGFileFormat() : TNetworkGraphicsFileFormat(ngMNG) {
    Name = "Multiple Network Graphics";
    AddMasks("*.mng");
    IsMultiImage = true;
    RegisterOption(ImagingMNGLossyCompression, &ColorAsJpeg);
    RegisterOption(ImagingMNGLossyAlpha, &AlphaAsJpeg);
    RegisterOption(ImagingMNGPreFilter, &RowFilter);
    RegisterOption(ImagingMNGCompressLevel, &DeflateLevel);
    RegisterOption(ImagingMNGQuality, &JpegQuality);
    RegisterOption(ImagingMNGProgressive, &JpegProgressive);
}

bool TMNGFileFormat::LoadData(const TIOFunctions& io, TImagingHandle handle, TDynImageDataArray& images, bool) {
    ng_detail::TNGFileHandler loader;
    if (!ng_detail::LoadChunks(loader, io, handle)) return false;
    if (loader.FrameList.empty()) {
        // No embedded image: one blank image of the animation's frame size.
        images.assign(1, TImageData{});
        const std::uint32_t w = loader.MngHeader[0], h = loader.MngHeader[1];
        if (w > 0x7FFFFFFFu || h > 0x7FFFFFFFu) throw EImagingError("Range check error");
        // Blank, but no larger than the file's bytes could have held deflated.
        RequireStoredData(std::uint64_t(w) * h * 4,
                          static_cast<std::uint64_t>(std::max<std::int64_t>(0, GetInputSize(io, handle))),
                          kDeflateBound, "MNG frame size too large for the file.");
        NewImage(static_cast<std::int32_t>(w), static_cast<std::int32_t>(h), ifDefault, images[0]);
        return true;
    }
    images.assign(loader.FrameList.size(), TImageData{});
    for (std::size_t i = 0; i < loader.FrameList.size(); ++i) {
        ng_detail::DecodeFrame(*loader.FrameList[i], images[i]);
        ng_detail::ApplyFrameExtras(*loader.FrameList[i], images[i]);
    }
    return true;
}

bool TMNGFileFormat::SaveData(const TIOFunctions& io, TImagingHandle handle, const TDynImageDataArray& images,
                              std::int32_t index) {
    const TSaveRange range = SaveRange(images, index);
    ng_detail::TNGFileHandler saver;
    saver.FileKind = ngMNG;
    const ng_detail::SaveSettings settings = ng_detail::TakeOptions(*this);
    std::uint32_t maxWidth = 0, maxHeight = 0;
    for (std::int32_t i = range.first; i <= range.last; ++i) {
        TSavableCopy c;
        if (!MakeCompatible(images[static_cast<std::size_t>(i)], c.image, c.owned)) return false;
        if (!ng_detail::EncodeFrame(saver, settings, c.image, ColorAsJpeg != 0)) return false;
        maxWidth = std::max(maxWidth, static_cast<std::uint32_t>(c.image.Width));
        maxHeight = std::max(maxHeight, static_cast<std::uint32_t>(c.image.Height));
    }
    saver.MngHeader = {maxWidth, maxHeight, 0, 0, static_cast<std::uint32_t>(saver.FrameList.size()), 0,
                       ng_detail::kMngSimplicityProfile};
    return ng_detail::SaveChunks(saver, io, handle);
}

void RegisterFormatNetworkGraphics() {
    RegisterImageFileFormat(frPNG, std::make_unique<TPNGFileFormat>());
    RegisterImageFileFormat(frMNG, std::make_unique<TMNGFileFormat>());
    RegisterImageFileFormat(frJNG, std::make_unique<TJNGFileFormat>());
}

}  // namespace velto
