// The image record and its routines.
#include "imaging/Imaging.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <vector>

#include "imaging/BlockFormats.h"
#include "imaging/Formats.h"
#include "imaging/Resample.h"
#include "imaging/Utility.h"

namespace velto {

// ---------------------------------------------------------------------------
// Errors

std::string ImagingFormat(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    std::string out(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
    if (n > 0) std::vsnprintf(out.data(), out.size() + 1, fmt, args);
    va_end(args);
    return out;
}

void RaiseImagingError(const std::string& message) {
    std::string text = message;
    FileError cause = FileError::None;
    if (const std::exception_ptr inner = std::current_exception()) {
        try {
            std::rethrow_exception(inner);
        } catch (const EImagingError& e) {
            // The file's status travels on under the new message.
            cause = e.FileStatus();
            text += " Exception Message: ";
            text += e.what();
        } catch (const std::exception& e) {
            text += " Exception Message: ";
            text += e.what();
        } catch (...) {
            text += " Exception Message: unknown error";
        }
    }
    throw EImagingError(text, cause);
}

// ---------------------------------------------------------------------------
// Decode budget

namespace {
struct Budget {
    std::uint64_t used = 0;
    std::uint64_t largest = 0;
    bool active = false;
};
// Each thread's loads charge their own budget against the shared limits.
Budget& TheBudget() {
    thread_local Budget budget;
    return budget;
}
}  // namespace

ReadLimits& ImagingLimits() {
    static ReadLimits limits;
    return limits;
}

TDecodeBudgetScope::TDecodeBudgetScope() : savedUsed_(TheBudget().used), savedActive_(TheBudget().active) {
    // A nested load (an image inside another format's data) shares the outer budget.
    if (!savedActive_) {
        TheBudget().used = 0;
        TheBudget().largest = 0;
    }
    TheBudget().active = true;
}

TDecodeBudgetScope::~TDecodeBudgetScope() {
    TheBudget().active = savedActive_;
    if (!savedActive_) TheBudget().used = savedUsed_;
}

void CheckDecodePixels(std::uint64_t pixels) {
    if (!TheBudget().active || pixels <= ImagingLimits().pixels) return;
    throw EImagingError(ImagingFormat("Decode budget exceeded: an image of %llu pixels is beyond the limit.",
                                      static_cast<unsigned long long>(pixels)),
                        FileError::TooLarge);
}

void ChargeDecodeBudget(std::uint64_t bytes) {
    Budget& b = TheBudget();
    if (!b.active) return;
    b.largest = std::max(b.largest, bytes);
    const ReadLimits& limits = ImagingLimits();
    if (bytes > limits.imageBytes || bytes > limits.imageLoadBytes - std::min(b.used, limits.imageLoadBytes))
        throw EImagingError(ImagingFormat("Decode budget exceeded: %llu more bytes requested, %llu already used.",
                                          static_cast<unsigned long long>(bytes),
                                          static_cast<unsigned long long>(b.used)),
                            FileError::TooLarge);
    b.used += bytes;
}

std::uint64_t DecodeBudgetLargestRequest() { return TheBudget().largest; }

// ---------------------------------------------------------------------------
// The record

namespace {

TImageFormat gDefaultFormat = ifA8R8G8B8;

const TImageFormatInfo& InfoOf(TImageFormat id) {
    const TImageFormatInfo* info = FormatInfo(id);
    if (!info) throw EImagingError("Assertion failure: invalid image format");
    return *info;
}

// calloc leaves the fresh pages of a large block untouched (they read as
// zeros), so the huge-page advice still comes before the first fault.
std::uint8_t* AllocZeroed(std::size_t bytes) {
    void* p = std::calloc(bytes ? bytes : 1, 1);
    if (!p) throw std::bad_alloc();
    AdviseHugePages(p, bytes);
    return static_cast<std::uint8_t*>(p);
}

std::string DescribeOrNil(const TImageData& image) { return DescribeImage(image); }

// An image converted to another format for the duration of an operation, and back.
class TemporaryFormat {
public:
    TemporaryFormat(TImageData& image, bool when, TImageFormat target) : image_(image) {
        if (when) {
            original_ = image.Format;
            ConvertImage(image, target);
        }
    }
    void Restore() {
        if (original_ != ifUnknown) ConvertImage(image_, original_);
        original_ = ifUnknown;
    }

private:
    TImageData& image_;
    TImageFormat original_ = ifUnknown;
};

}  // namespace

TImageFormat DefaultFormat() { return gDefaultFormat; }

void InitImage(TImageData& image) { image = TImageData{}; }

bool NewImage(std::int32_t width, std::int32_t height, TImageFormat format, TImageData& image) {
    try {
        if (width < 0 || height < 0 || !IsImageFormatValid(format))
            throw EImagingError("Assertion failure: invalid width, height or format");
        FreeImage(image);
        if (format == ifDefault) format = gDefaultFormat;
        const TImageFormatInfo& info = InfoOf(format);
        info.CheckDimensions(format, width, height);
        // Before the size is worked out: a picture whose bytes overflow it
        // is beyond the pixel limit of a load, and refused as too large.
        CheckDecodePixels(std::uint64_t(width) * std::uint64_t(height));
        const std::int32_t size = info.GetPixelsSize(format, width, height);
        if (size == 0) {
            InitImage(image);
            return false;
        }
        const std::uint64_t paletteBytes = std::uint64_t(info.PaletteEntries) * 4;
        ChargeDecodeBudget(std::uint64_t(size) + paletteBytes);
        TImageData made;
        made.Width = width;
        made.Height = height;
        made.Format = format;
        made.Size = size;
        made.Bits = AllocZeroed(static_cast<std::size_t>(size));
        if (paletteBytes) {
            try {
                made.Palette = reinterpret_cast<TColor32*>(AllocZeroed(static_cast<std::size_t>(paletteBytes)));
            } catch (...) {
                std::free(made.Bits);
                throw;
            }
        }
        image = made;
        return TestImage(image);
    } catch (...) {
        RaiseImagingError(ImagingFormat("Error while creating image data with params: Width=%d Height=%d Format=%s.",
                                        width, height, GetFormatName(format).c_str()));
    }
}

bool TestImage(const TImageData& image) {
    if (image.Format >= kFormatSlots) return false;
    const TImageFormatInfo* info = FormatInfo(image.Format);
    if (!info || !info->GetPixelsSize || image.Width < 1 || image.Height < 1 || !image.Bits) return false;
    if (info->PaletteEntries > 0 && !image.Palette) return false;
    try {
        return image.Size == info->GetPixelsSize(image.Format, image.Width, image.Height);
    } catch (...) {
        return false;
    }
}

void FreeImage(TImageData& image) {
    if (TestImage(image)) {
        std::free(image.Bits);
        std::free(image.Palette);
    }
    InitImage(image);
}

void FreeImagesInArray(TDynImageDataArray& images) {
    for (TImageData& image : images) FreeImage(image);
    images.clear();
}

bool TestImagesInArray(const TDynImageDataArray& images) {
    if (images.empty()) return false;
    return std::all_of(images.begin(), images.end(), [](const TImageData& i) { return TestImage(i); });
}

bool CloneImage(const TImageData& image, TImageData& clone) {
    if (!TestImage(image)) return false;
    try {
        if (TestImage(clone) && clone.Bits != image.Bits) FreeImage(clone);
        else InitImage(clone);
        TImageData made;
        made.Width = image.Width;
        made.Height = image.Height;
        made.Format = image.Format;
        made.Size = image.Size;
        const std::int32_t entries = InfoOf(image.Format).PaletteEntries;
        made.Bits = AllocZeroed(static_cast<std::size_t>(image.Size));
        std::memcpy(made.Bits, image.Bits, static_cast<std::size_t>(image.Size));
        if (entries > 0) {
            made.Palette = reinterpret_cast<TColor32*>(AllocZeroed(std::size_t(entries) * 4));
            std::memcpy(made.Palette, image.Palette, std::size_t(entries) * 4);
        }
        clone = made;
        return true;
    } catch (...) {
        RaiseImagingError(ImagingFormat("Error while cloning image. %s", DescribeOrNil(image).c_str()));
    }
}

bool ConvertPixelsTo32(const TImageData& image, std::size_t first, std::size_t count, std::uint8_t* out) {
    if (!TestImage(image)) return false;
    const TImageFormatInfo& src = InfoOf(image.Format);
    const TImageFormatInfo& dst = InfoOf(ifA8R8G8B8);
    const std::size_t pixels = std::size_t(image.Width) * std::size_t(image.Height);
    if (src.IsBlockCompressed || first > pixels || count > pixels - first) return false;
    if (&src == &dst) {
        std::memcpy(out, image.Bits + first * 4, count * 4);
        return true;
    }
    // The routines write into zeroed pixels, as ConvertImage gives them.
    std::memset(out, 0, count * 4);
    ConversionFor(src, dst)(count, image.Bits + first * std::size_t(src.BytesPerPixel), out, src, dst, image.Palette,
                            nullptr);
    return true;
}

bool ConvertImage(TImageData& image, TImageFormat target) {
    if (!IsImageFormatValid(target))
        throw EImagingError("Assertion failure: invalid target format");
    if (!TestImage(image)) return false;
    try {
        if (target == ifDefault) target = gDefaultFormat;
        const TImageFormatInfo& src = InfoOf(image.Format);
        const TImageFormatInfo& dst = InfoOf(target);
        if (&src == &dst) return true;
        if (src.SwappedTwin == dst.FormatId && dst.SwappedTwin == src.FormatId) {
            const bool ok = SwapChannels(image, 2, 0);
            image.Format = target;
            return ok;
        }
        if (!src.IsBlockCompressed && !dst.IsBlockCompressed) {
            const std::size_t count = std::size_t(image.Width) * std::size_t(image.Height);
            const std::int32_t size = dst.GetPixelsSize(target, image.Width, image.Height);
            ChargeDecodeBudget(std::uint64_t(size));
            std::uint8_t* bits = AllocZeroed(static_cast<std::size_t>(size));
            TColor32* palette = nullptr;
            try {
                palette = reinterpret_cast<TColor32*>(AllocZeroed(std::size_t(dst.PaletteEntries) * 4));
                ConversionFor(src, dst)(count, image.Bits, bits, src, dst, image.Palette, palette);
            } catch (...) {
                std::free(bits);
                std::free(palette);
                throw;
            }
            if (dst.PaletteEntries == 0) {
                std::free(palette);
                palette = nullptr;
            }
            std::free(image.Bits);
            std::free(image.Palette);
            image.Format = target;
            image.Bits = bits;
            image.Size = size;
            image.Palette = palette;
        } else {
            ConvertImageSpecial(image, src, dst);
        }
        if (image.Format == src.FormatId) throw EImagingError("Assertion failure: format unchanged");
        return true;
    } catch (...) {
        RaiseImagingError(ImagingFormat("Error while converting image to format \"%s\". %s",
                                        GetFormatName(target).c_str(), DescribeOrNil(image).c_str()));
    }
}

bool FlipImage(TImageData& image) {
    if (!TestImage(image)) return false;
    try {
        TemporaryFormat plain(image, InfoOf(image.Format).IsBlockCompressed, gDefaultFormat);
        const std::size_t row = std::size_t(image.Width) * std::size_t(InfoOf(image.Format).BytesPerPixel);
        std::vector<std::uint8_t> buffer(row);
        for (std::int32_t y = 0; y < image.Height / 2; ++y) {
            std::uint8_t* a = image.Bits + std::size_t(y) * row;
            std::uint8_t* b = image.Bits + std::size_t(image.Height - 1 - y) * row;
            std::memcpy(buffer.data(), a, row);
            std::memcpy(a, b, row);
            std::memcpy(b, buffer.data(), row);
        }
        plain.Restore();
        return true;
    } catch (...) {
        RaiseImagingError(ImagingFormat("Error while flipping image. %s", DescribeOrNil(image).c_str()));
    }
}

bool ResizeImage(TImageData& image, std::int32_t newWidth, std::int32_t newHeight, TResizeFilter filter) {
    if (newWidth < 1 || newHeight < 1) throw EImagingError("Assertion failure: invalid size");
    if (!TestImage(image)) return false;
    if (newWidth == image.Width && newHeight == image.Height) return false;
    TImageData work;
    try {
        NewImage(newWidth, newHeight, image.Format, work);
        StretchRect(image, 0, 0, image.Width, image.Height, work, 0, 0, work.Width, work.Height, filter);
        std::free(image.Bits);
        if (work.Palette && image.Palette) {
            std::free(work.Palette);
            work.Palette = image.Palette;
        } else {
            std::free(image.Palette);
        }
        image = work;
        return true;
    } catch (...) {
        FreeImage(work);
        RaiseImagingError(ImagingFormat("Error while resizing image.  %s", DescribeOrNil(image).c_str()));
    }
}

bool StretchRect(const TImageData& src, std::int32_t srcX, std::int32_t srcY, std::int32_t srcWidth,
                 std::int32_t srcHeight, TImageData& dst, std::int32_t dstX, std::int32_t dstY,
                 std::int32_t dstWidth, std::int32_t dstHeight, TResizeFilter filter) {
    if (!TestImage(src) || !TestImage(dst)) return false;
    TImageData converted;
    try {
        ClipStretchBounds(srcX, srcY, srcWidth, srcHeight, dstX, dstY, dstWidth, dstHeight, src.Width, src.Height,
                          Rect(0, 0, dst.Width, dst.Height));
        if (srcWidth == dstWidth && srcHeight == dstHeight)
            return CopyRect(src, srcX, srcY, srcWidth, srcHeight, dst, dstX, dstY);
        if (srcWidth <= 0 || srcHeight <= 0 || dstWidth <= 0 || dstHeight <= 0) return false;
        TemporaryFormat plain(dst, InfoOf(dst.Format).IsBlockCompressed, gDefaultFormat);
        const TImageData* from = &src;
        if (src.Format != dst.Format) {
            CloneImage(src, converted);
            ConvertImage(converted, dst.Format);
            from = &converted;
        }
        if (InfoOf(dst.Format).IsIndexed) filter = rfNearest;
        switch (filter) {
        case rfNearest:
            StretchNearest(*from, srcX, srcY, srcWidth, srcHeight, dst, dstX, dstY, dstWidth, dstHeight);
            break;
        case rfBilinear:
            StretchResample(*from, srcX, srcY, srcWidth, srcHeight, dst, dstX, dstY, dstWidth, dstHeight, 1);
            break;
        case rfBicubic:
            StretchResample(*from, srcX, srcY, srcWidth, srcHeight, dst, dstX, dstY, dstWidth, dstHeight, 9);
            break;
        }
        plain.Restore();
        FreeImage(converted);
        return true;
    } catch (...) {
        FreeImage(converted);
        RaiseImagingError(ImagingFormat("Error while stretching rect from image %s to image %s.",
                                        DescribeOrNil(src).c_str(), DescribeOrNil(dst).c_str()));
    }
}

bool SwapChannels(TImageData& image, std::int32_t a, std::int32_t b) {
    if (a < 0 || a > 3 || b < 0 || b > 3) throw EImagingError("Assertion failure: invalid channel");
    if (a == b || !TestImage(image)) return false;
    try {
        const TImageFormatInfo& info = InfoOf(image.Format);
        const std::size_t count = std::size_t(image.Width) * std::size_t(image.Height);
        const std::size_t bpp = std::size_t(info.BytesPerPixel);
        if (image.Format == ifR8G8B8 || (image.Format == ifA8R8G8B8 && a != 3 && b != 3)) {
            for (std::size_t i = 0; i < count; ++i) std::swap(image.Bits[i * bpp + std::size_t(a)], image.Bits[i * bpp + std::size_t(b)]);
        } else if (info.IsIndexed) {
            SwapChannelsOfPalette(image.Palette, info.PaletteEntries, a, b);
        } else if (info.IsFloat) {
            for (std::size_t i = 0; i < count; ++i) {
                TColorFPRec c = info.GetPixelFP(image.Bits + i * bpp, info, image.Palette);
                float* ch[4] = {&c.B, &c.G, &c.R, &c.A};
                std::swap(*ch[a], *ch[b]);
                info.SetPixelFP(image.Bits + i * bpp, info, image.Palette, c);
            }
        } else if (info.IsBlockCompressed) {
            TemporaryFormat plain(image, true, gDefaultFormat);
            SwapChannels(image, a, b);
            plain.Restore();
        } else if (info.IsGray) {
            // Only grey against alpha changes anything in a grey image.
            if (info.HasAlpha && (a == 3 || b == 3)) {
                for (std::size_t i = 0; i < count; ++i) {
                    std::uint64_t gray;
                    std::uint16_t alpha;
                    GrayGetSrcPixel(image.Bits + i * bpp, info, gray, alpha);
                    GraySetDstPixel(image.Bits + i * bpp, info, std::uint64_t(alpha) << 48,
                                    static_cast<std::uint16_t>(gray >> 48));
                }
            }
        } else {
            for (std::size_t i = 0; i < count; ++i) {
                TColor64Rec c = ChannelGetSrcPixel(image.Bits + i * bpp, info);
                std::uint16_t* ch[4] = {&c.B, &c.G, &c.R, &c.A};
                std::swap(*ch[a], *ch[b]);
                ChannelSetDstPixel(image.Bits + i * bpp, info, c);
            }
        }
        return true;
    } catch (...) {
        RaiseImagingError(ImagingFormat("Error while swapping channels of image. %s", DescribeOrNil(image).c_str()));
    }
}

bool MapImageToPalette(TImageData& image, const TColor32* palette, std::int32_t entries) {
    if (entries < 2 || entries > 256 || !palette) throw EImagingError("Assertion failure: invalid palette");
    if (!TestImage(image)) return false;
    TImageData clone;
    try {
        CloneImage(image, clone);
        ConvertImage(clone, ifA8R8G8B8);
        const std::int32_t w = image.Width, h = image.Height;
        FreeImage(image);
        NewImage(w, h, ifIndex8, image);
        const std::int32_t n = std::min(256, entries);
        std::memcpy(image.Palette, palette, std::size_t(n) * 4);
        const std::size_t count = std::size_t(w) * std::size_t(h);
        for (std::size_t i = 0; i < count; ++i) {
            TColor32 c;
            std::memcpy(&c, clone.Bits + i * 4, 4);
            std::int32_t best = 0, bestDist = 1020;
            for (std::int32_t k = 0; k < n; ++k) {
                const TColor32 e = palette[k];
                const int d = std::abs(int(Color32R(e)) - int(Color32R(c))) + std::abs(int(Color32G(e)) - int(Color32G(c))) +
                              std::abs(int(Color32B(e)) - int(Color32B(c))) + std::abs(int(Color32A(e)) - int(Color32A(c)));
                if (d < bestDist) {
                    bestDist = d;
                    best = k;
                }
            }
            image.Bits[i] = static_cast<std::uint8_t>(best);
        }
        FreeImage(clone);
        return true;
    } catch (...) {
        FreeImage(clone);
        RaiseImagingError(ImagingFormat("Error while mapping image %s to palette.", DescribeOrNil(image).c_str()));
    }
}

bool CopyRect(const TImageData& src, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
              TImageData& dst, std::int32_t dstX, std::int32_t dstY) {
    if (!TestImage(src) || !TestImage(dst)) return false;
    TImageData converted;
    try {
        ClipCopyBounds(x, y, width, height, dstX, dstY, src.Width, src.Height, Rect(0, 0, dst.Width, dst.Height));
        if (width < 1 || height < 1) return false;
        TemporaryFormat plain(dst, InfoOf(dst.Format).IsBlockCompressed, gDefaultFormat);
        const TImageData* from = &src;
        if (src.Format != dst.Format) {
            CloneImage(src, converted);
            ConvertImage(converted, dst.Format);
            from = &converted;
        }
        const std::size_t bpp = std::size_t(InfoOf(dst.Format).BytesPerPixel);
        const std::size_t row = std::size_t(width) * bpp;
        for (std::int32_t r = 0; r < height; ++r)
            std::memmove(dst.Bits + ((std::size_t(dstY) + std::size_t(r)) * std::size_t(dst.Width) + std::size_t(dstX)) * bpp,
                         from->Bits + ((std::size_t(y) + std::size_t(r)) * std::size_t(from->Width) + std::size_t(x)) * bpp, row);
        plain.Restore();
        FreeImage(converted);
        return true;
    } catch (...) {
        FreeImage(converted);
        RaiseImagingError(ImagingFormat("Error while copying rect from image %s to image %s.",
                                        DescribeOrNil(src).c_str(), DescribeOrNil(dst).c_str()));
    }
}

bool FillRect(TImageData& image, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
              const void* fillColor) {
    if (!TestImage(image)) return false;
    const std::int32_t ox = x, oy = y, ow = width, oh = height;
    try {
        ClipRectBounds(x, y, width, height, Rect(0, 0, image.Width, image.Height));
        if (width < 1 || height < 1) return true;
        TemporaryFormat plain(image, InfoOf(image.Format).IsBlockCompressed, gDefaultFormat);
        const std::size_t bpp = std::size_t(InfoOf(image.Format).BytesPerPixel);
        const auto* value = static_cast<const std::uint8_t*>(fillColor);
        for (std::int32_t r = 0; r < height; ++r) {
            std::uint8_t* p = image.Bits + ((std::size_t(y) + std::size_t(r)) * std::size_t(image.Width) + std::size_t(x)) * bpp;
            const std::size_t bytes = std::size_t(width) * bpp;
            switch (bpp) {
            case 1: FillMemoryByte(p, bytes, value[0]); break;
            case 2: {
                std::uint16_t v;
                std::memcpy(&v, value, 2);
                FillMemoryWord(p, bytes, v);
                break;
            }
            case 4: {
                std::uint32_t v;
                std::memcpy(&v, value, 4);
                FillMemoryLongWord(p, bytes, v);
                break;
            }
            default:
                for (std::int32_t i = 0; i < width; ++i) std::memcpy(p + std::size_t(i) * bpp, value, bpp);
            }
        }
        plain.Restore();
        return true;
    } catch (...) {
        RaiseImagingError(ImagingFormat("Error while filling rectangle X:%d Y:%d W:%d H:%d in image %s", ox, oy, ow,
                                        oh, DescribeOrNil(image).c_str()));
    }
}

bool ReplaceColor(TImageData& image, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                  const void* oldColor, const void* newColor) {
    if (!oldColor || !newColor) throw EImagingError("Assertion failure: no colour given");
    if (!TestImage(image)) return false;
    const std::int32_t ox = x, oy = y, ow = width, oh = height;
    try {
        ClipRectBounds(x, y, width, height, Rect(0, 0, image.Width, image.Height));
        if (width < 1 || height < 1) return true;
        TemporaryFormat plain(image, InfoOf(image.Format).IsBlockCompressed, gDefaultFormat);
        const std::size_t bpp = std::size_t(InfoOf(image.Format).BytesPerPixel);
        for (std::int32_t r = 0; r < height; ++r) {
            std::uint8_t* p = image.Bits + ((std::size_t(y) + std::size_t(r)) * std::size_t(image.Width) + std::size_t(x)) * bpp;
            for (std::int32_t i = 0; i < width; ++i, p += bpp)
                if (std::memcmp(p, oldColor, bpp) == 0) std::memcpy(p, newColor, bpp);
        }
        plain.Restore();
        return true;
    } catch (...) {
        RaiseImagingError(ImagingFormat("Error while replacing colors in rectangle X:%d Y:%d W:%d H:%d of image %s", ox,
                                        oy, ow, oh, DescribeOrNil(image).c_str()));
    }
}

namespace {
std::uint8_t* PixelAt(const TImageData& image, std::int32_t x, std::int32_t y, const TImageFormatInfo& info) {
    return image.Bits + (std::size_t(y) * std::size_t(image.Width) + std::size_t(x)) * std::size_t(info.BytesPerPixel);
}
}  // namespace

TColor32 GetPixel32(const TImageData& image, std::int32_t x, std::int32_t y) {
    const TImageFormatInfo& info = InfoOf(image.Format);
    return info.GetPixel32(PixelAt(image, x, y, info), info, image.Palette);
}

void SetPixel32(TImageData& image, std::int32_t x, std::int32_t y, TColor32 color) {
    const TImageFormatInfo& info = InfoOf(image.Format);
    info.SetPixel32(PixelAt(image, x, y, info), info, image.Palette, color);
}

TColorFPRec GetPixelFP(const TImageData& image, std::int32_t x, std::int32_t y) {
    const TImageFormatInfo& info = InfoOf(image.Format);
    return info.GetPixelFP(PixelAt(image, x, y, info), info, image.Palette);
}

void SetPixelFP(TImageData& image, std::int32_t x, std::int32_t y, const TColorFPRec& color) {
    const TImageFormatInfo& info = InfoOf(image.Format);
    info.SetPixelFP(PixelAt(image, x, y, info), info, image.Palette, color);
}

// ---------------------------------------------------------------------------
// Palettes

TColor32* NewPalette(std::int32_t entries) {
    return reinterpret_cast<TColor32*>(AllocZeroed(std::size_t(std::max(entries, 0)) * 4));
}

void FreePalette(TColor32*& palette) {
    std::free(palette);
    palette = nullptr;
}

std::int32_t FindColor(const TColor32* palette, std::int32_t entries, TColor32 color) {
    if (!palette) throw EImagingError("Assertion failure: no palette");
    try {
        return NearestPaletteIndex(palette, entries, color);
    } catch (...) {
        RaiseImagingError(ImagingFormat("Error while finding color in palette @%p with %d entries.",
                                        static_cast<const void*>(palette), entries));
    }
}

void FillGrayscalePalette(TColor32* palette, std::int32_t entries) {
    try {
        for (std::int32_t i = 0; i < entries; ++i) {
            const auto v = static_cast<std::uint8_t>(i);
            palette[i] = Color32(255, v, v, v);
        }
    } catch (...) {
        RaiseImagingError(ImagingFormat("Error while filling grayscale palette @%p with %d entries.",
                                        static_cast<const void*>(palette), entries));
    }
}

void FillCustomPalette(TColor32* palette, std::int32_t entries, std::uint8_t redBits, std::uint8_t greenBits,
                       std::uint8_t blueBits, std::uint8_t alpha) {
    try {
        std::memset(palette, 0, std::size_t(std::max(entries, 0)) * 4);
        const std::int64_t total = std::int64_t(1) << std::min(redBits + greenBits + blueBits, 31);
        const std::int32_t n = static_cast<std::int32_t>(std::min<std::int64_t>(total, entries));
        const auto field = [](std::uint32_t index, int shift, int bits) -> std::uint8_t {
            if (bits <= 0) return 0;
            const std::uint32_t max = (1u << bits) - 1u;
            return static_cast<std::uint8_t>(((index >> shift) & max) * 255u / max);
        };
        for (std::int32_t i = 0; i < n; ++i) {
            const auto idx = static_cast<std::uint32_t>(i);
            palette[i] = Color32(alpha, field(idx, std::max(0, greenBits + blueBits - 1), redBits),
                                 field(idx, std::max(0, blueBits - 1), greenBits), field(idx, 0, blueBits));
        }
    } catch (...) {
        RaiseImagingError(ImagingFormat("Error while filling custom palette @%p with %d entries.",
                                        static_cast<const void*>(palette), entries));
    }
}

void SwapChannelsOfPalette(TColor32* palette, std::int32_t entries, std::int32_t a, std::int32_t b) {
    if (a < 0 || a > 3 || b < 0 || b > 3) return;
    try {
        for (std::int32_t i = 0; i < entries; ++i) {
            auto* bytes = reinterpret_cast<std::uint8_t*>(&palette[i]);
            std::swap(bytes[a], bytes[b]);
        }
    } catch (...) {
        RaiseImagingError(ImagingFormat("Error while swapping channels of palette @%p with %d entries.",
                                        static_cast<const void*>(palette), entries));
    }
}

// ---------------------------------------------------------------------------
// Descriptions

bool GetImageFormatInfo(TImageFormat format, TImageFormatInfo& info) {
    info = TImageFormatInfo{};
    const TImageFormatInfo* entry = FormatInfo(format);
    if (!entry) return false;
    info = *entry;
    return true;
}

std::string GetFormatName(TImageFormat format) {
    const TImageFormatInfo* entry = FormatInfo(format);
    if (!entry) return "Unknown and unsupported format";
    return std::string(entry->Name, strnlen(entry->Name, sizeof entry->Name));
}

namespace {
// Decimal digits grouped by thousands with "," (the same text in every locale).
std::string Grouped(std::int64_t v) {
    const std::string digits = std::to_string(v < 0 ? -v : v);
    std::string out = v < 0 ? "-" : "";
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}
}  // namespace

std::string DescribeImage(const TImageData& image) {
    if (!TestImage(image))
        return ImagingFormat("Access violation encountered when getting info on image at address %p.",
                             static_cast<const void*>(&image));
    const bool kib = image.Size > 8192;
    return ImagingFormat("Image @%p info: Width = %dpx, Height = %dpx, Format = %s, Size = %s %s, Bits @%p, Palette @%p.",
                         static_cast<const void*>(&image), image.Width, image.Height,
                         GetFormatName(image.Format).c_str(), Grouped(kib ? image.Size / 1024 : image.Size).c_str(),
                         kib ? "KiB" : "B", static_cast<const void*>(image.Bits), static_cast<const void*>(image.Palette));
}

}  // namespace velto
