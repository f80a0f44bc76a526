// DirectDraw Surface. The header's counts are bounded before any image is
// made: the mipmap count by the real chain of the top level, the volume depth
// by the bytes that follow, and the whole image array by the decode budget.
// The header's pitch or linear size never makes a read pass an image.
#include "imaging/FormatDds.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "imaging/FormatInput.h"
#include "imaging/Formats.h"
#include "imaging/Imaging.h"
#include "imaging/Options.h"
#include "imaging/Utility.h"
#include "platform/ByteReader.h"
#include "platform/ByteWriter.h"

namespace velto {

namespace {

// What the last load on this thread found, read through the "loaded" options:
// loads on other threads report their own.
struct LoadedLayout {
    std::int32_t cubeMap = 0, volume = 0, mipMaps = 0, depth = 0;
};
thread_local LoadedLayout tLoaded;

constexpr std::uint32_t kMagic = 0x20534444;  // "DDS "
constexpr std::uint32_t kHeaderBytes = 128;

// Description flags.
constexpr std::uint32_t DDSD_CAPS = 0x1, DDSD_HEIGHT = 0x2, DDSD_WIDTH = 0x4, DDSD_PITCH = 0x8,
                        DDSD_PIXELFORMAT = 0x1000, DDSD_MIPMAPCOUNT = 0x20000, DDSD_LINEARSIZE = 0x80000,
                        DDSD_DEPTH = 0x800000;
// Pixel-format flags.
constexpr std::uint32_t DDPF_ALPHAPIXELS = 0x1, DDPF_FOURCC = 0x4, DDPF_RGB = 0x40, DDPF_LUMINANCE = 0x20000,
                        DDPF_BGR32 = 0x40000, DDPF_SWAPPED = 0x80000;
// Capabilities.
constexpr std::uint32_t DDSCAPS_COMPLEX = 0x8, DDSCAPS_TEXTURE = 0x1000, DDSCAPS_MIPMAP = 0x400000;
constexpr std::uint32_t DDSCAPS2_CUBEMAP = 0x200, DDSCAPS2_VOLUME = 0x200000;
constexpr std::uint32_t kFaceBits[6] = {0x400, 0x800, 0x1000, 0x2000, 0x4000, 0x8000};

constexpr std::uint32_t FourCC(const char (&s)[5]) {
    return std::uint32_t(std::uint8_t(s[0])) | std::uint32_t(std::uint8_t(s[1])) << 8 |
           std::uint32_t(std::uint8_t(s[2])) << 16 | std::uint32_t(std::uint8_t(s[3])) << 24;
}

struct PixelFormat {
    std::uint32_t size = 0, flags = 0, fourCC = 0, bitCount = 0, rMask = 0, gMask = 0, bMask = 0, aMask = 0;
};

struct Header {
    std::uint32_t magic = 0, size = 0, flags = 0, height = 0, width = 0, pitchOrLinearSize = 0, depth = 0,
                  mipMapCount = 0;
    PixelFormat pf;
    std::uint32_t caps1 = 0, caps2 = 0;
};

Header ParseHeader(const std::uint8_t* b) {
    ByteReader r(std::span<const std::uint8_t>(b, kHeaderBytes));
    Header h;
    r.u32le(h.magic);
    r.u32le(h.size);
    r.u32le(h.flags);
    r.u32le(h.height);
    r.u32le(h.width);
    r.u32le(h.pitchOrLinearSize);
    r.u32le(h.depth);
    r.u32le(h.mipMapCount);
    r.seek(76);
    for (std::uint32_t* f : {&h.pf.size, &h.pf.flags, &h.pf.fourCC, &h.pf.bitCount, &h.pf.rMask, &h.pf.gMask,
                             &h.pf.bMask, &h.pf.aMask, &h.caps1, &h.caps2})
        r.u32le(*f);
    return h;
}

bool MasksOf(const PixelFormat& pf, TImageFormat id) {
    const TBitFieldInfo* bf = FormatInfo(id)->BitFields;
    return bf && pf.aMask == bf->AMask && pf.rMask == bf->RMask && pf.gMask == bf->GMask && pf.bMask == bf->BMask;
}

// The image format of the file's pixel format; swap: red and blue come exchanged.
TImageFormat FormatOf(const PixelFormat& pf, bool& swap) {
    swap = false;
    const std::uint32_t f = pf.flags, bits = pf.bitCount;
    if (f & DDPF_FOURCC) {
        switch (pf.fourCC) {
        case 116: return ifA32B32G32R32F;
        case 36: return ifA16B16G16R16;
        case 111: return ifR16F;
        case 113: return ifA16B16G16R16F;
        case 114: return ifR32F;
        case FourCC("DXT1"): return ifDXT1;
        case FourCC("DXT3"): return ifDXT3;
        case FourCC("DXT5"): return ifDXT5;
        default: return ifUnknown;
        }
    }
    if (f & DDPF_RGB) {
        if (f & DDPF_ALPHAPIXELS) {
            if (bits == 16) {
                TImageFormat found = ifUnknown;
                for (const TImageFormat id : {ifA4R4G4B4, ifA1R5G5B5})
                    if (MasksOf(pf, id)) found = id;
                return found;
            }
            if (bits == 32) {
                swap = pf.bMask == 0xFF0000;
                return ifA8R8G8B8;
            }
            return ifUnknown;
        }
        switch (bits) {
        case 8: return MasksOf(pf, ifR3G3B2) ? ifR3G3B2 : ifUnknown;
        case 16: {
            TImageFormat found = ifUnknown;
            for (const TImageFormat id : {ifX4R4G4B4, ifX1R5G5B5, ifR5G6B5})
                if (MasksOf(pf, id)) found = id;
            return found;
        }
        case 24: return ifR8G8B8;
        case 32: swap = pf.bMask == 0xFF0000; return ifX8R8G8B8;
        default: return ifUnknown;
        }
    }
    if (f & DDPF_LUMINANCE) {
        if (f & DDPF_ALPHAPIXELS) return bits == 16 ? ifA8Gray8 : ifUnknown;
        return bits == 8 ? ifGray8 : bits == 16 ? ifGray16 : ifUnknown;
    }
    if (f & DDPF_BGR32) {
        if (bits == 32 && pf.bMask == 0xFF0000) {
            swap = true;
            return ifX8R8G8B8;
        }
        return ifUnknown;
    }
    if (f & DDPF_SWAPPED) {
        if (bits == 16) return ifA8Gray8;
        if (bits == 32 && pf.aMask == 0xFF000000u) {
            swap = true;
            return ifA8R8G8B8;
        }
        if (bits == 64) return ifA16B16G16R16;
    }
    return ifUnknown;
}

// Level of image j of a volume of depth `depth` (slices of level k: max(1, depth >> k)).
std::int32_t VolumeLevel(std::int64_t j, std::int32_t depth, std::int32_t levels) {
    for (std::int32_t k = 0; k < levels; ++k) {
        const std::int64_t slices = std::max<std::int64_t>(1, k < 31 ? depth >> k : 0);
        if (j < slices) return k;
        j -= slices;
    }
    return levels - 1;
}

std::int32_t LevelSide(std::int32_t side, std::int32_t level) { return std::max(1, level < 31 ? side >> level : 0); }

// Block-rounded dimensions of a format (what a record of that level has).
void RecordSize(TImageFormat format, std::int32_t& w, std::int32_t& h) {
    FormatInfo(format)->CheckDimensions(format, w, h);
}

}  // namespace

TDDSFileFormat::TDDSFileFormat() {
    Name = "DirectDraw Surface";
    AddMasks("*.dds");
    CanLoad = true;
    CanSave = true;
    IsMultiImage = true;
    for (const TImageFormat f : {ifGray8, ifA8Gray8, ifGray16, ifR3G3B2, ifR5G6B5, ifA1R5G5B5, ifA4R4G4B4, ifX1R5G5B5,
                                 ifX4R4G4B4, ifR8G8B8, ifA8R8G8B8, ifX8R8G8B8, ifA16B16G16R16, ifR32F, ifA32B32G32R32F,
                                 ifR16F, ifA16B16G16R16F, ifDXT1, ifDXT3, ifDXT5})
        SupportedFormats.set(f);
    RegisterThreadOption(ImagingDDSLoadedCubeMap, [] { return &tLoaded.cubeMap; });
    RegisterThreadOption(ImagingDDSLoadedVolume, [] { return &tLoaded.volume; });
    RegisterThreadOption(ImagingDDSLoadedMipMapCount, [] { return &tLoaded.mipMaps; });
    RegisterThreadOption(ImagingDDSLoadedDepth, [] { return &tLoaded.depth; });
    RegisterOption(ImagingDDSSaveCubeMap, &CubeMapToSave);
    RegisterOption(ImagingDDSSaveVolume, &VolumeToSave);
    RegisterOption(ImagingDDSSaveMipMapCount, &MipMapsToSave);
    RegisterOption(ImagingDDSSaveDepth, &DepthToSave);
}

bool TDDSFileFormat::TestFormat(const TIOFunctions& io, TImagingHandle handle) {
    std::uint8_t head[kHeaderBytes] = {};
    if (PeekFormatInput(io, handle, head, kHeaderBytes) != kHeaderBytes) return false;
    const Header h = ParseHeader(head);
    return h.magic == kMagic && (h.caps1 & DDSCAPS_TEXTURE) != 0;
}

void TDDSFileFormat::CheckOptionsValidity() {
    if (CubeMapToSave) VolumeToSave = 0;
    if (VolumeToSave) CubeMapToSave = 0;
    if (MipMapsToSave < 1) MipMapsToSave = 1;
    if (DepthToSave < 1) DepthToSave = 1;
}

void TDDSFileFormat::ConvertToSupported(TImageData& image, const TImageFormatInfo& info) {
    TImageFormat target;
    if (info.IsIndexed || info.IsBlockCompressed) target = ifA8R8G8B8;
    else if (info.IsFloat) target = info.FormatId == ifA16R16G16B16F ? ifA16B16G16R16F : ifA32B32G32R32F;
    else if (info.IsGray) target = info.HasAlpha ? ifA8Gray8 : info.BytesPerPixel == 1 ? ifGray8 : ifGray16;
    else if (info.BytesPerPixel > 4) target = ifA16B16G16R16;
    else target = info.HasAlpha ? ifA8R8G8B8 : ifX8R8G8B8;
    ConvertImage(image, target);
}

bool TDDSFileFormat::LoadData(const TIOFunctions& io, TImagingHandle handle, TDynImageDataArray& images, bool) {
    LoadedLayout& loaded = tLoaded;
    loaded = LoadedLayout{0, 0, 1, 1};
    std::uint8_t head[kHeaderBytes];
    if (io.Read(handle, head, kHeaderBytes) != kHeaderBytes) return false;
    const Header h = ParseHeader(head);
    bool swap = false;
    const TImageFormat format = FormatOf(h.pf, swap);
    if (format == ifUnknown) return false;
    if (h.width == 0 || h.height == 0 || h.width > 0x7FFFFFFFu || h.height > 0x7FFFFFFFu) return false;
    const auto width = static_cast<std::int32_t>(h.width), height = static_cast<std::int32_t>(h.height);
    const TImageFormatInfo& info = *FormatInfo(format);
    const std::int64_t inputEnd = GetInputSize(io, handle);

    // Mipmap levels: no more than the chain of the top level has.
    std::int32_t levels = 1;
    if (h.mipMapCount > 1) {
        levels = static_cast<std::int32_t>(std::min<std::uint32_t>(h.mipMapCount, std::uint32_t(GetNumMipMapLevels(width, height))));
        loaded.mipMaps = levels;
    }
    std::int64_t count = levels;
    std::int32_t depth = 1;
    const bool volume = (h.caps2 & DDSCAPS2_VOLUME) && (h.flags & DDSD_DEPTH);
    if (volume) {
        // No more slices than the bytes after the header could hold.
        std::int32_t w = width, hh = height;
        RecordSize(format, w, hh);
        const std::uint64_t slice = std::max<std::uint64_t>(1, std::uint64_t(info.GetPixelsSize(format, w, hh)));
        const std::uint64_t left = std::uint64_t(std::max<std::int64_t>(0, inputEnd - io.Tell(handle)));
        depth = static_cast<std::int32_t>(std::clamp<std::uint64_t>(std::min<std::uint64_t>(h.depth, left / slice + 1), 1, INT32_MAX));
        loaded.volume = -1;
        loaded.depth = depth;
        count = GetVolumeLevelCount(depth, levels);
    }
    const std::int64_t perFace = count;
    const bool cube = (h.caps2 & DDSCAPS2_CUBEMAP) != 0;
    if (cube) {
        std::int32_t faces = 0;
        for (const std::uint32_t bit : kFaceBits) faces += (h.caps2 & bit) ? 1 : 0;
        loaded.cubeMap = -1;
        loaded.depth = faces;
        count *= faces;
    }
    const bool pitchMode = (h.flags & DDSD_PITCH) && !(h.flags & DDSD_LINEARSIZE) && !info.IsBlockCompressed;
    {
        // The top level's pixels must be in the file: a header is not allowed to
        // size images far beyond the data it comes with.
        std::int32_t w = width, hh = height;
        RecordSize(format, w, hh);
        std::uint64_t bytes = std::uint64_t(info.GetPixelsSize(format, w, hh));
        const std::uint64_t rowSize = std::uint64_t(w) * std::uint64_t(info.BytesPerPixel);
        if (pitchMode) bytes = std::uint64_t(hh) * std::max<std::uint64_t>(h.pitchOrLinearSize, rowSize);
        if (bytes > std::uint64_t(std::max<std::int64_t>(0, inputEnd - io.Tell(handle)))) return false;
    }
    if (cube) {
        // Likewise the top level of every face: a header may not ask for six
        // faces when the file holds one (later levels may still be cut).
        std::int32_t w = width, hh = height;
        RecordSize(format, w, hh);
        RequireStoredData(std::uint64_t(info.GetPixelsSize(format, w, hh)) * std::uint64_t(loaded.depth),
                          std::uint64_t(std::max<std::int64_t>(0, inputEnd - io.Tell(handle))), kStoredBound,
                          "DDS image data cut short.");
    }
    ChargeDecodeBudget(std::uint64_t(count) * sizeof(TImageData));
    images.assign(static_cast<std::size_t>(count), TImageData{});

    for (std::int64_t i = 0; i < count; ++i) {
        const std::int64_t j = cube ? i % perFace : i;
        const std::int32_t level = volume ? VolumeLevel(j, depth, levels) : static_cast<std::int32_t>(j);
        TImageData& image = images[static_cast<std::size_t>(i)];
        NewImage(LevelSide(width, level), LevelSide(height, level), format, image);
        const std::size_t rowSize = std::size_t(image.Width) * std::size_t(info.BytesPerPixel);
        if (!pitchMode) {
            // The header's linear size, when given, for the first image; never more than the image holds.
            std::uint64_t bytes = std::uint64_t(image.Size);
            if (i == 0 && h.pitchOrLinearSize != 0) bytes = std::min<std::uint64_t>(h.pitchOrLinearSize, bytes);
            io.Read(handle, image.Bits, static_cast<std::int64_t>(bytes));
        } else {
            // A pitch shorter than a row of pixels is not one: the rows are then taken as aligned.
            std::uint64_t pitch = (rowSize + 3) / 4 * 4;
            if (i == 0 && h.pitchOrLinearSize >= rowSize) pitch = h.pitchOrLinearSize;
            const std::uint64_t bytes = pitch * std::uint64_t(image.Height);
            if (bytes == std::uint64_t(image.Size)) {
                io.Read(handle, image.Bits, image.Size);
            } else {
                const std::uint64_t left = std::uint64_t(std::max<std::int64_t>(0, inputEnd - io.Tell(handle)));
                const std::uint64_t take = std::min(bytes, left);
                ChargeDecodeBudget(take);
                std::vector<std::uint8_t> rows(static_cast<std::size_t>(take));
                const std::int64_t got =
                    take ? std::max<std::int64_t>(0, io.Read(handle, rows.data(), std::int64_t(take))) : 0;
                for (std::size_t y = 0; y < std::size_t(image.Height); ++y) {
                    const std::uint64_t at = y * pitch;
                    if (at >= std::uint64_t(got)) break;
                    std::memcpy(image.Bits + y * rowSize, rows.data() + at,
                                static_cast<std::size_t>(std::min<std::uint64_t>(rowSize, std::uint64_t(got) - at)));
                }
            }
        }
        if (swap) SwapChannels(image, 2, 0);
    }
    return true;
}

bool TDDSFileFormat::SaveData(const TIOFunctions& io, TImagingHandle handle, const TDynImageDataArray& images,
                              std::int32_t index) {
    const TSaveRange range = SaveRange(images, index);
    const std::int32_t n = range.last - range.first + 1;
    bool cube = CubeMapToSave != 0, volume = VolumeToSave != 0;
    std::int32_t mips = MipMapsToSave;
    // More than six faces have no bits to name them.
    std::int32_t depth = cube ? std::min(DepthToSave, 6) : DepthToSave;
    std::int64_t count = 0;
    if (cube && std::int64_t(n) < std::int64_t(depth) * mips) cube = false;
    else if (!cube && volume && n < GetVolumeLevelCount(depth, mips)) volume = false;
    const TImageData& first = images[static_cast<std::size_t>(range.first)];
    if (!cube && !volume) mips = std::min(n, GetNumMipMapLevels(first.Width, first.Height));

    TSavableCopy copy;
    if (!MakeCompatible(first, copy.image, copy.owned)) return false;
    const TImageData& top = copy.image;
    const TImageFormat format = top.Format;
    const TImageFormatInfo& info = *FormatInfo(format);

    std::uint32_t flags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT | DDSD_LINEARSIZE;
    std::uint32_t caps1 = DDSCAPS_TEXTURE, caps2 = 0, mipCount = 0, volumeDepth = 0;
    if (mips > 1) {
        flags |= DDSD_MIPMAPCOUNT;
        caps1 |= DDSCAPS_MIPMAP | DDSCAPS_COMPLEX;
        mipCount = static_cast<std::uint32_t>(mips);
    }
    if (volume) {
        flags |= DDSD_DEPTH;
        caps1 |= DDSCAPS_COMPLEX;
        caps2 |= DDSCAPS2_VOLUME;
        volumeDepth = static_cast<std::uint32_t>(depth);
        count = GetVolumeLevelCount(depth, mips);
    } else if (cube) {
        caps1 |= DDSCAPS_COMPLEX;
        caps2 |= DDSCAPS2_CUBEMAP;
        for (std::int32_t f = 0; f < depth; ++f) caps2 |= kFaceBits[f];
        count = std::int64_t(depth) * mips;
    } else {
        count = mips;
    }

    PixelFormat pf;
    pf.size = 32;
    if (!info.IsBlockCompressed && !info.IsFloat && info.BytesPerPixel <= 4) {
        pf.bitCount = static_cast<std::uint32_t>(info.BytesPerPixel * 8);
        if (info.IsGray) {
            pf.flags = DDPF_LUMINANCE;
            if (format == ifA8Gray8) {
                pf.flags |= DDPF_ALPHAPIXELS;
                pf.rMask = 0xFF;
                pf.aMask = 0xFF00;
            } else {
                pf.rMask = format == ifGray16 ? 0xFFFF : 0xFF;
            }
        } else {
            pf.flags = DDPF_RGB;
            if (info.HasAlpha) {
                pf.flags |= DDPF_ALPHAPIXELS;
                pf.aMask = 0xFF000000u;
            }
            if (info.BytesPerPixel <= 2 && info.BitFields) {
                pf.aMask = info.BitFields->AMask;
                pf.rMask = info.BitFields->RMask;
                pf.gMask = info.BitFields->GMask;
                pf.bMask = info.BitFields->BMask;
            } else {
                pf.rMask = 0xFF0000;
                pf.gMask = 0xFF00;
                pf.bMask = 0xFF;
            }
        }
    } else {
        pf.flags = DDPF_FOURCC;
        switch (format) {
        case ifA16B16G16R16F: pf.fourCC = 113; break;
        case ifA16B16G16R16: pf.fourCC = 36; break;
        case ifR32F: pf.fourCC = 114; break;
        case ifA32B32G32R32F: pf.fourCC = 116; break;
        case ifR16F: pf.fourCC = 111; break;
        case ifDXT1: pf.fourCC = FourCC("DXT1"); break;
        case ifDXT3: pf.fourCC = FourCC("DXT3"); break;
        case ifDXT5: pf.fourCC = FourCC("DXT5"); break;
        default: return false;
        }
    }

    ByteWriter w;
    w.u32le(kMagic);
    w.u32le(124);
    w.u32le(flags);
    w.u32le(static_cast<std::uint32_t>(top.Height));
    w.u32le(static_cast<std::uint32_t>(top.Width));
    w.u32le(static_cast<std::uint32_t>(top.Size));
    w.u32le(volumeDepth);
    w.u32le(mipCount);
    w.fill(0, 44);
    for (const std::uint32_t v : {pf.size, pf.flags, pf.fourCC, pf.bitCount, pf.rMask, pf.gMask, pf.bMask, pf.aMask,
                                  caps1, caps2})
        w.u32le(v);
    w.fill(0, 12);
    w.bytes(top.Bits, std::size_t(top.Size));

    // Every further image as the layout wants it: converted and resized when it is not.
    const std::int64_t perFace = cube ? mips : count;
    for (std::int64_t i = 1; i < count; ++i) {
        const std::int64_t j = cube ? i % perFace : i;
        const std::int32_t level = volume ? VolumeLevel(j, depth, mips) : static_cast<std::int32_t>(j);
        std::int32_t ew = LevelSide(top.Width, level), eh = LevelSide(top.Height, level);
        const TImageData& src = images[static_cast<std::size_t>(range.first + i)];
        std::int32_t rw = ew, rh = eh;
        RecordSize(format, rw, rh);
        if (src.Width == rw && src.Height == rh && src.Format == format) {
            w.bytes(src.Bits, std::size_t(src.Size));
            continue;
        }
        TImageData copy;
        try {
            CloneImage(src, copy);
            ConvertImage(copy, format);
            ResizeImage(copy, ew, eh, rfBilinear);
            w.bytes(copy.Bits, std::size_t(copy.Size));
        } catch (...) {
            FreeImage(copy);
            throw;
        }
        FreeImage(copy);
    }
    return WriteFormatOutput(io, handle, w.buffer());
}

void RegisterFormatDds() { RegisterImageFileFormat(frDDS, std::make_unique<TDDSFileFormat>()); }

}  // namespace velto
