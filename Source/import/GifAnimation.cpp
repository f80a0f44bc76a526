// GIF animations: every image of a document out as one frame, a GIF's frames
// in as the frames of an animated cursor, and one GIF frame drawn as the
// player shows it.
#include <array>
#include <cmath>
#include <algorithm>
#include <exception>
#include <optional>
#include <memory>
#include <vector>

#include "core/Language.h"
#include "engine/Composite.h"
#include "engine/Line.h"
#include "engine/Transform.h"
#include "gif/ColorReduction.h"
#include "gif/GifCompose.h"
#include "gif/GifImage.h"
#include "import/MyImport.h"
#include "import/Picture.h"

namespace velto {

namespace {

constexpr std::uint8_t kOpaqueFrom = 127;  // alpha below this is transparent in a GIF frame

// Hundredths of a second, halves to the even neighbour (the default rounding mode).
std::uint16_t GifDelay(double rate) {
    const double d = std::nearbyint(rate * 100.0);
    if (!(d > 0)) return 0;
    return d >= 65535 ? 65535 : static_cast<std::uint16_t>(d);
}

// The image over the matte colour as a 24-bit bitmap.
TBitmap MattedBitmap(const TmyImagePal& image, TColor matte) {
    TRgbBuffer rgb;
    PaintImage(image, rgb, matte);
    TBitmap bitmap;
    if (!bitmap.Allocate(rgb.Width, rgb.Height, pf24bit)) throw GIFException(sGIFOutOfMemory);
    for (int y = 0; y < rgb.Height; ++y) {
        const std::uint8_t* s = rgb.Row(y);
        std::uint8_t* d = bitmap.ScanLine(y);
        for (int x = 0; x < rgb.Width; ++x, s += 3, d += 3) {
            d[0] = s[2];
            d[1] = s[1];
            d[2] = s[0];
        }
    }
    return bitmap;
}

// The first candidate from white, blue counting down fastest, then green, then
// red, that no colour of the list lies within 14 of on all three channels.
// For each red and green only the colours near both can block a blue, so the
// free blue is found from their intervals instead of rescanning the picture.
std::optional<TColor> FindKeyColor(const std::vector<std::array<std::uint8_t, 3>>& colors) {
    std::vector<std::array<std::uint8_t, 3>> nearRed;
    for (int r = 255; r >= 0; --r) {
        nearRed.clear();
        for (const auto& c : colors)
            if (std::abs(c[0] - r) < 15) nearRed.push_back(c);
        for (int g = 255; g >= 0; --g) {
            std::array<bool, 256> blocked{};
            for (const auto& c : nearRed) {
                if (std::abs(c[1] - g) >= 15) continue;
                for (int b = std::max(0, c[2] - 14); b <= std::min(255, c[2] + 14); ++b) blocked[b] = true;
            }
            for (int b = 255; b >= 0; --b)
                if (!blocked[b]) return MakeColor(r, g, b);
        }
    }
    return std::nullopt;
}

// The distinct colours of a 24-bit bitmap (B, G, R rows) as R, G, B.
std::vector<std::array<std::uint8_t, 3>> DistinctColors(const TBitmap& bitmap) {
    std::vector<std::uint32_t> keys;
    keys.reserve(static_cast<std::size_t>(bitmap.Width()) * static_cast<std::size_t>(bitmap.Height()));
    for (int y = 0; y < bitmap.Height(); ++y) {
        const std::uint8_t* p = bitmap.ScanLine(y);
        for (int x = 0; x < bitmap.Width(); ++x, p += 3)
            keys.push_back(std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0]);
    }
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    std::vector<std::array<std::uint8_t, 3>> colors;
    colors.reserve(keys.size());
    for (const std::uint32_t k : keys)
        colors.push_back({static_cast<std::uint8_t>(k >> 16), static_cast<std::uint8_t>(k >> 8), static_cast<std::uint8_t>(k)});
    return colors;
}

// Sets AllowAdvanced to false for its lifetime and back to true after.
class TNoAdvanced {
public:
    explicit TNoAdvanced(tmyimport& s) : s_(s) { s_.AllowAdvanced = false; }
    ~TNoAdvanced() { s_.AllowAdvanced = true; }
    TNoAdvanced(const TNoAdvanced&) = delete;
    TNoAdvanced& operator=(const TNoAdvanced&) = delete;

private:
    tmyimport& s_;
};

}  // namespace

namespace {

// Frame n as a player draws it on the logical screen (offsets, clipping,
// transparency), its opaque pixels onto rows of a picture `width` x `height`.
class TGifFrameDrawer {
public:
    TGifFrameDrawer(const TGIFImage& gif, int n, int width, int height) {
        if (n < 0 || n >= gif.Images().Count()) return;
        frame_ = &gif.Images()[n];
        area_ = GIFFrameArea(*frame_, gif.Width(), gif.Height());
        area_.Right = std::min(area_.Right, width);
        area_.Bottom = std::min(area_.Bottom, height);
        if (area_.Width() <= 0 || area_.Height() <= 0 || frame_->Empty()) area_ = {};
        else colors_ = GIFFrameColors(*frame_);
    }
    const TRect& Area() const { return area_; }
    // Row y; the pixels it turns from alpha 0 to 255.
    std::uint64_t Draw(int y, TmyPixel* row) const {
        if (y < area_.Top || y >= area_.Bottom) return 0;
        const std::uint8_t* src = frame_->Scanline(y - frame_->Top());
        std::uint64_t turned = 0;
        for (int x = area_.Left; x < area_.Right; ++x) {
            const TGIFPixel& p = colors_[src[x - frame_->Left()]];
            if (p.A == 0) continue;
            turned += row[x].A == 0;
            row[x] = {p.R, p.G, p.B, 255};
        }
        return turned;
    }

private:
    const TGIFSubImage* frame_ = nullptr;
    TRect area_{};
    std::array<TGIFPixel, 256> colors_{};
};

}  // namespace

TRect DrawGifFrame(TWorkPicture& picture, const TGIFImage& gif, int n, std::uint64_t* turnedOpaque) {
    if (!picture.Held()) return {};
    const TGifFrameDrawer drawer(gif, n, picture.Width, picture.Height);
    std::uint64_t turned = 0;
    for (int y = drawer.Area().Top; y < drawer.Area().Bottom; ++y) turned += drawer.Draw(y, picture.Row(y));
    if (turnedOpaque) *turnedOpaque += turned;
    return drawer.Area();
}

bool GifFramePicture(const TGIFImage& gif, int n, TmyPixel background, TWorkPicture& out) {
    const int width = gif.Width();
    auto drawer = std::make_shared<const TGifFrameDrawer>(gif, n, width, gif.Height());
    return out.MakeRows(width, gif.Height(), [drawer, background, width](int y, TmyPixel* row) {
        std::fill_n(row, width, background);
        drawer->Draw(y, row);
    });
}

void RenderGifFrame(TBitmap& bitmap, TGIFImage& gif, int n) {
    if (bitmap.Empty()) return;
    TWorkPicture picture;
    if (!PictureFromBitmap(bitmap, picture)) return;
    DrawGifFrame(picture, gif, n);
    PictureToBitmap(picture, bitmap);
}

bool tmyimport::HasColorNear(const TBitmap& bitmap, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    TBitmap rgb(bitmap);
    if (rgb.PixelFormat() != pf24bit && !rgb.SetPixelFormat(pf24bit)) return false;
    for (int y = 0; y < rgb.Height(); ++y) {
        const std::uint8_t* p = rgb.ScanLine(y);
        for (int x = 0; x < rgb.Width(); ++x, p += 3)
            if (std::abs(p[2] - r) < 15 && std::abs(p[1] - g) < 15 && std::abs(p[0] - b) < 15) return true;
    }
    return false;
}

void tmyimport::AddGifFrame(TGIFImage& gif, const TmyImagePal& image) {
    const TImportSettings settings = Settings();
    const std::uint16_t delay = GifDelay(image.Rate());
    if (!settings.ExportAlpha) {
        const TBitmap bitmap = MattedBitmap(image, settings.PrevColor);
        gif.ColorReduction = static_cast<std::uint8_t>(TReductionMethod::crOctreeSystem);
        gif.DitherMode = static_cast<std::uint8_t>(TDitherKind::dtFloydSteinberg);
        auto frame = std::make_unique<TGIFSubImage>(gif);
        frame->Assign(bitmap);
        TGIFSubImage& added = gif.Images()[gif.Images().Add(std::move(frame))];
        added.Extensions().Add<TGIFGraphicControlExtension>().Delay = delay;
        return;
    }

    // Below 127 transparent, else opaque over white.
    TmyImagePal copy(image.Size(), 32);
    copy.Assign(image);
    copy.BitCount = 32;
    copy.Palette.reset();
    const TmyPixel white{255, 255, 255, 255};
    for (TmyPixel& p : copy.Pixels()) {
        if (p.A < kOpaqueFrom) {
            p = {};
        } else {
            AlphaBlendPixel(p, white, false);
            p.A = 255;
        }
    }
    TBitmap bitmap = MattedBitmap(copy, settings.PrevColor);
    gif.ColorReduction = static_cast<std::uint8_t>(TReductionMethod::crOctree);
    gif.DitherMode = static_cast<std::uint8_t>(TDitherKind::dtFloydSteinberg);
    // The reduced colours, so that the key colour is free of all of them.
    bitmap = ReduceColors(bitmap, TReductionMethod::crOctree, TDitherKind::dtFloydSteinberg, gif.ReductionBits);
    if (!bitmap.SetPixelFormat(pf24bit)) throw GIFException(sGIFOutOfMemory);
    const std::optional<TColor> key = FindKeyColor(DistinctColors(bitmap));

    int lastX = -1, lastY = -1;
    for (int y = 0; y < copy.Height(); ++y) {
        std::uint8_t* row = bitmap.ScanLine(y);
        for (int x = 0; x < copy.Width(); ++x) {
            if (copy.At(x, y).A >= kOpaqueFrom || !key) continue;
            row[3 * x] = ColorB(*key);
            row[3 * x + 1] = ColorG(*key);
            row[3 * x + 2] = ColorR(*key);
            lastX = x;
            lastY = y;
        }
    }
    auto frame = std::make_unique<TGIFSubImage>(gif);
    frame->Assign(bitmap);
    TGIFSubImage& added = gif.Images()[gif.Images().Add(std::move(frame))];
    int transparentIndex = -1;
    if (lastX >= 0 && !added.Empty()) {
        // The key colour as the frame's reduction left it.
        const TGIFColorMap& map = added.ColorMap();
        const auto entries = map.Entries();
        const std::uint8_t at = added.Pixels(lastX, lastY);
        if (at < map.Count()) {
            const TGIFColor shown = entries[at];
            for (int i = 0; i < map.Count(); ++i)
                if (entries[static_cast<std::size_t>(i)] == shown) {
                    transparentIndex = i;
                    break;
                }
        }
    }
    auto& gce = added.Extensions().Add<TGIFGraphicControlExtension>();
    gce.Delay = delay;
    gce.SetDisposal(dmBackground);
    if (transparentIndex >= 0) {
        gce.SetTransparentColorIndex(transparentIndex);
        gce.SetTransparent(true);
    }
}

bool tmyimport::SaveAnimationAsGif(const std::string& fileName, const TmyIcon& doc, FileError* error) {
    try {
        TGIFImage gif;
        for (int i = 0; i < doc.Count(); ++i) AddGifFrame(gif, doc.Image(i));
        return gif.SaveToFile(fileName, error);
    } catch (const std::exception&) {
        KeepFirstError(error, FileError::Unsupported);
        return false;
    }
}

namespace {

// The logical screen a GIF import draws its frames on, and the transparent
// pixels it leaves after a frame that is not kept. Every pixel is opaque
// (alpha 255) or transparent black, and the opaque ones are counted, so that
// a screen without any (which arrives as an opaque black picture) is known
// without a look at every pixel.
struct TGifScreen {
    TWorkPicture Pixels;
    std::uint64_t Opaque = 0;

    TRect Draw(const TGIFImage& gif, int n) { return DrawGifFrame(Pixels, gif, n, &Opaque); }
    void Clear(TRect r) {
        for (int y = r.Top; y < r.Bottom; ++y) {
            TmyPixel* row = Pixels.Row(y);
            for (int x = r.Left; x < r.Right; ++x) {
                Opaque -= row[x].A != 0;
                row[x] = {};
            }
        }
    }
};

// The screen resized to fit a frame, kept up to date where frames change it:
// a pixel of the result depends on its own box of the screen only, so only
// the boxes a frame touches are resampled again.
class TGifResizedScreen {
public:
    TGifResizedScreen(const TGifScreen& screen, ImageSize fit)
        : screen_(screen), fit_(fit), resampler_({screen.Pixels.Width, screen.Pixels.Height}, fit) {
        // A transparent screen resamples to transparent pixels (zeros).
        if (!resized_.Allocate(fit.Width, fit.Height)) throw std::bad_alloc();
    }
    void Changed(TRect area) {
        const TRect target = resampler_.AreaOf(area);
        if (screen_.Opaque == 0) {
            // A transparent screen resamples to zeros, with no look at it.
            for (int y = target.Top; y < target.Bottom; ++y)
                std::fill(resized_.Row(y) + target.Left, resized_.Row(y) + target.Right, TmyPixel{});
            return;
        }
        resampler_.Resample([this](int y) { return screen_.Pixels.Row(y); }, resized_.View(), target);
    }
    // What resizing the screen as it is gives: a screen without an opaque
    // pixel arrives as an opaque black one (resampled once, when first needed).
    const TWorkPicture& Current() {
        if (screen_.Opaque != 0) return resized_;
        if (black_.Empty()) {
            if (!black_.Allocate(fit_.Width, fit_.Height)) throw std::bad_alloc();
            const std::vector<TmyPixel> row(static_cast<std::size_t>(screen_.Pixels.Width), TmyPixel{0, 0, 0, 255});
            resampler_.Resample([&row](int) { return row.data(); }, black_.View(), {0, 0, fit_.Width, fit_.Height});
        }
        return black_;
    }

private:
    const TGifScreen& screen_;
    ImageSize fit_;
    TBoxResampler resampler_;
    TWorkPicture resized_, black_;
};

}  // namespace

std::string GifFramesRefusedText() {
    return ReplacePlaceholder(
        Lang().GetMessage("msgGifFrames", "The gif file has more frames than an animated cursor can hold (%i1)!"), "%i1",
        std::to_string(ReadLimits{}.frames));
}

std::string GifRefusedText(FileError error) {
    if (error == FileError::Unsupported) return GifFramesRefusedText();
    if (error == FileError::TooLarge) return Lang().GetMessage(kGifTooLargeKey, kGifTooLargeText);
    return {};
}

bool tmyimport::ImportAnimatedGif(TmyANI& doc, const std::string& fileName, FileError* error) {
    bool shown = false;
    struct Hide {
        const TImportHooks& hooks;
        bool& shown;
        ~Hide() {
            if (shown && hooks.ProgressEnd) hooks.ProgressEnd();
        }
    } hide{Hooks, shown};
    Cancelled = false;
    try {
        TGIFImage gif;
        if (!gif.LoadFromFile(fileName, error)) return false;
        // Only frames with an image become cursor frames; a GIF without any
        // is no animation, and the document stays as it was. The
        // animated-cursor reader takes no more frames than its limit: a file
        // of more would be written and then never open.
        const std::vector<int> frames = gif.PictureFrames();
        if (frames.empty()) return false;
        if (frames.size() > ReadLimits{}.frames) {
            KeepFirstError(error, FileError::Unsupported);
            return false;
        }
        const int count = static_cast<int>(frames.size());
        TGifScreen screen;
        if (!screen.Pixels.Allocate(gif.Width(), gif.Height())) return false;

        ImageSize size{32, 32};
        int bitCount = 32;
        if (doc.Count() > 0) {
            size = doc.Image(0).Size();
            bitCount = doc.Image(0).BitCount;
            doc.Delete(0);
        }
        if (AllowAdvanced && Hooks.ProgressBegin) {
            Hooks.ProgressBegin(count);
            shown = true;
        }
        TNoAdvanced noAdvanced(*this);
        const bool overimpose = Settings().Overimpose;
        // A screen larger than the frames is cropped or resized; resizing
        // follows the frames' changes instead of resampling the whole screen.
        const bool fits = screen.Pixels.Width <= size.Width && screen.Pixels.Height <= size.Height;
        const int policy = fits ? fpResize : FitPolicy(true);
        std::optional<TGifResizedScreen> resized;
        const ImageSize fit = FitSize({screen.Pixels.Width, screen.Pixels.Height}, size);
        if (!fits && policy == fpResize) resized.emplace(screen, fit);
        TRect last{};
        for (int i = 0; i < count; ++i) {
            if (Hooks.ProcessEvents) Hooks.ProcessEvents();
            if (Hooks.Stopped && Hooks.Stopped()) {
                Cancelled = true;
                break;
            }
            // Frames 0..i drawn in turn onto black equal frame i drawn onto
            // what frames 0..i-1 left, so the accumulation is kept; else
            // only the last frame's pixels are taken away.
            if (!overimpose) {
                screen.Clear(last);
                if (resized) resized->Changed(last);
            }
            last = screen.Draw(gif, frames[static_cast<std::size_t>(i)]);
            if (resized) resized->Changed(last);
            TmyImagePal& image = doc.Image(doc.AddImage(size, bitCount));
            if (fits) {
                TWorkPicture picture = screen.Pixels;
                picture.Bits32 = true;
                PictureToImage(picture, image, size, false, true);
            } else if (policy == fpCrop) {
                screen.Pixels.Opaque = screen.Opaque == 0;
                CropPicture(screen.Pixels, image, size);
                screen.Pixels.Opaque = false;
            } else if (resized) {
                image.SetSize(size);
                CopyPicturePixels(resized->Current(), 0, 0, fit.Width, fit.Height, image, (size.Width - fit.Width) / 2,
                                  (size.Height - fit.Height) / 2);
            }
            if (shown && Hooks.ProgressStep && Hooks.ProgressStep()) {
                Cancelled = i + 1 < count;
                break;
            }
        }
        return true;
    } catch (const GIFLimitException&) {
        KeepFirstError(error, FileError::TooLarge);
        return false;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace velto
