// Adding, copying, resizing and optimizing GIF images.
#include "gif/GifImageOps.h"

#include <algorithm>
#include <memory>

namespace velto {

namespace {

constexpr int kMaxSide = 65535;

// The image's handlers for the time of one operation.
struct Handlers {
    TGIFImage& image;
    TGIFWarningEvent warning;
    TGIFProgressEvent progress;
    ~Handlers() {
        image.OnWarning = std::move(warning);
        image.OnProgress = std::move(progress);
    }
};

bool UsesIndex(const TGIFSubImage& frame, std::uint8_t index) {
    const std::uint8_t* p = frame.Data();
    return std::find(p, p + frame.DataSize(), index) != p + frame.DataSize();
}

bool Inside(const TRect& inner, const TRect& outer) {
    return inner.Left >= outer.Left && inner.Top >= outer.Top && inner.Right <= outer.Right &&
           inner.Bottom <= outer.Bottom;
}

// Extensions that change nothing of the picture.
bool Removable(const TGIFExtension& e, bool loopToo) {
    return dynamic_cast<const TGIFCommentExtension*>(&e) || dynamic_cast<const TGIFTextExtension*>(&e) ||
           dynamic_cast<const TGIFUnknownAppExtension*>(&e) || (loopToo && dynamic_cast<const TGIFAppExtNSLoop*>(&e));
}

void TidyExtensions(TGIFSubImage& frame, bool loopToo, bool single) {
    TGIFExtensionList& list = frame.Extensions();
    for (int k = list.Count() - 1; k >= 0; --k) {
        const TGIFExtension& e = list[k];
        bool drop = Removable(e, loopToo);
        if (const auto* g = dynamic_cast<const TGIFGraphicControlExtension*>(&e))
            drop = (g->Delay == 0 || single) && !g->Transparent() && !g->UserInput() && (g->Disposal() < 2 || single);
        if (drop) list.Delete(k);
    }
}

}  // namespace

int GIFAddBitmap(TGIFImage& image, const TBitmap& bitmap) {
    auto frame = std::make_unique<TGIFSubImage>(image);
    frame->Assign(bitmap);
    return image.Images().Add(std::move(frame));
}

void GIFAssignBitmap(TGIFImage& image, const TBitmap& bitmap) {
    image.Clear();
    GIFAddBitmap(image, bitmap);
}

void GIFAssignImage(TGIFImage& dest, const TGIFImage& source) {
    if (&dest == &source) return;
    dest.Clear();
    Handlers restore{dest, nullptr, nullptr};
    dest.OnWarning = source.OnWarning;
    dest.OnProgress = source.OnProgress;
    dest.Progress(&dest, psStarting, 0, false, sGIFCopying);
    try {
        dest.Header().Assign(source.Header());
        dest.ThreadPriority = source.ThreadPriority;
        dest.PaintBackgroundColor = source.PaintBackgroundColor;
        dest.DrawOptions = source.DrawOptions;
        dest.ColorReduction = source.ColorReduction;
        dest.DitherMode = source.DitherMode;
        dest.FixedFrame = source.FixedFrame;
        const int count = source.Images().Count();
        for (int i = 0; i < count; ++i) {
            auto frame = std::make_unique<TGIFSubImage>(dest);
            frame->Assign(&source.Images()[i]);
            dest.Images().Add(std::move(frame));
            dest.Progress(&dest, psRunning, (i + 1) * 100 / count, false, sGIFCopying);
        }
    } catch (...) {
        dest.Progress(&dest, psEnding, 0, false, sGIFCopying);
        throw;
    }
    dest.Progress(&dest, psEnding, 100, false, sGIFCopying);
}

void GIFSetWidth(TGIFImage& image, int width) {
    width = std::clamp(width, 0, kMaxSide);
    for (int i = 0; i < image.Images().Count(); ++i)
        if (image.Images()[i].BoundsRect().Right > width) throw GIFException(sGIFScreenWidth);
    image.Header().Width = static_cast<std::uint16_t>(width);
}

void GIFSetHeight(TGIFImage& image, int height) {
    height = std::clamp(height, 0, kMaxSide);
    for (int i = 0; i < image.Images().Count(); ++i)
        if (image.Images()[i].BoundsRect().Bottom > height) throw GIFException(sGIFScreenHeight);
    image.Header().Height = static_cast<std::uint16_t>(height);
}

void GIFOptimize(TGIFImage& image, std::uint8_t options, TReductionMethod method, TDitherKind, int) {
    if (image.Empty()) return;
    // Checked before anything changes (no reduction happens here either way).
    if (!(options & ooTidy) && (options & ooReduce) && method == TReductionMethod::crGivenPalette)
        throw GIFException(sGIFInvalidReduction);
    TGIFImageList& frames = image.Images();
    const int total = 6 * frames.Count();
    int done = 0;
    auto step = [&](int visited) {
        done += visited;
        image.Progress(&image, psRunning, total ? std::min(100, done * 100 / total) : 100, false, sGIFOptimizing);
    };
    image.Progress(&image, psStarting, 0, false, sGIFOptimizing);
    try {
        if (options & ooSortColors) {
            if (image.GlobalColorMap().Count() > 0) image.GlobalColorMap().Optimize();
            for (int i = 0; i < frames.Count(); ++i)
                if (frames[i].ColorMap().Count() > 0) frames[i].ColorMap().Optimize();
        }
        step(frames.Count());

        if (options & ooTidy) {
            for (int i = 0; i < frames.Count(); ++i) {
                TGIFSubImage& f = frames[i];
                if (TGIFGraphicControlExtension* g = f.GraphicControlExtension();
                    g && f.Transparent() && !f.Empty() && !UsesIndex(f, g->TransparentIndex))
                    g->SetTransparent(false);
            }
            for (int i = 0; i + 1 < frames.Count(); ++i) {
                TGIFGraphicControlExtension* g = frames[i].GraphicControlExtension();
                const TGIFSubImage& next = frames[i + 1];
                // Disposing is needless only when the next frame, opaque, covers all of this one.
                if (g && (g->Disposal() == dmBackground || g->Disposal() == dmPrevious) && !next.Transparent() &&
                    !next.Empty() && Inside(frames[i].BoundsRect(), next.BoundsRect()))
                    g->SetDisposal(dmNone);
            }
        }
        step(frames.Count());

        if (options & ooBlank)
            for (int i = frames.Count() - 1; i >= 1; --i) {
                int j = i - 1;
                while (j >= 1 && frames[j].GraphicControlExtension() &&
                       frames[j].GraphicControlExtension()->Disposal() == dmPrevious)
                    --j;
                frames[i].BlankUnchanged(frames[j]);
            }
        step(frames.Count());

        if (options & ooTrim)
            for (int i = frames.Count() - 1; i >= 0; --i) {
                TGIFSubImage& f = frames[i];
                if (f.Empty() || !f.Transparent()) continue;
                const int delay = f.GraphicControlExtension() ? f.GraphicControlExtension()->Delay : 0;
                f.TrimTransparent();
                if (!f.Empty()) continue;
                if (i > 0 && frames[i - 1].Transparent() && frames[i - 1].GraphicControlExtension()) {
                    auto& d = frames[i - 1].GraphicControlExtension()->Delay;
                    d = static_cast<std::uint16_t>(std::min(d + delay, 65535));
                }
                frames.Delete(i);
            }
        step(frames.Count());

        if (options & ooTidy) {
            const bool single = frames.Count() == 1;
            for (int i = frames.Count() - 1; i >= 0; --i) {
                TidyExtensions(frames[i], i > 0 || single, single);
                if (frames[i].Empty() && frames[i].Extensions().Count() == 0) frames.Delete(i);
            }
        }
        step(2 * frames.Count());
    } catch (...) {
        image.Progress(&image, psEnding, 0, false, sGIFOptimizing);
        throw;
    }
    image.Progress(&image, psEnding, 100, false, sGIFOptimizing);
}

}  // namespace velto
