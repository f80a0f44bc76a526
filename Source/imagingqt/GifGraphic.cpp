// The GIF picture of the windowing layer: loading, drawing, playing, registration.
#include "imagingqt/GifGraphic.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <array>

#include "gif/ColorReduction.h"
#include "gif/GifCompose.h"
#include "imagingqt/PictureRegistry.h"

namespace velto {

namespace {

// Colour of each index as drawn: opaque, black beyond the map; 0 marks the
// transparent index when it is left out.
std::array<QRgb, 256> FrameColors(const TGIFSubImage& frame, bool transparent) {
    std::array<QRgb, 256> lut;
    lut.fill(qRgb(0, 0, 0));
    const auto entries = frame.UsedColorMap().Entries();
    for (std::size_t i = 0; i < entries.size() && i < lut.size(); ++i)
        lut[i] = qRgb(entries[i].Red, entries[i].Green, entries[i].Blue);
    if (transparent && frame.Transparent() && frame.GraphicControlExtension())
        lut[frame.GraphicControlExtension()->TransparentIndex] = 0;
    return lut;
}

// Source rectangle (sw x sh of frame from its top-left) scaled into d by the
// nearest pixel, cut to clip (inside dest).
void Blit(QImage& dest, const TGIFSubImage& frame, const std::array<QRgb, 256>& lut, const QRect& d, int sw, int sh,
          const QRect& clip) {
    if (d.isEmpty() || sw <= 0 || sh <= 0) return;
    const QRect cut = d.intersected(clip);
    if (cut.isEmpty()) return;
    std::vector<int> columns(static_cast<std::size_t>(cut.width()));
    for (int x = cut.left(); x <= cut.right(); ++x)
        columns[static_cast<std::size_t>(x - cut.left())] =
            static_cast<int>(static_cast<std::int64_t>(x - d.left()) * sw / d.width());
    for (int y = cut.top(); y <= cut.bottom(); ++y) {
        const int sy = static_cast<int>(static_cast<std::int64_t>(y - d.top()) * sh / d.height());
        const std::uint8_t* src = frame.Scanline(sy);
        auto* dst = reinterpret_cast<QRgb*>(dest.scanLine(y)) + cut.left();
        for (std::size_t x = 0; x < columns.size(); ++x) {
            const QRgb c = lut[src[columns[x]]];
            if (c) dst[x] = c;
        }
    }
}

}  // namespace

QRect GIFScreenRectIn(const TGIFSubImage& frame, const QRect& dest) {
    const int iw = frame.Image().Width(), ih = frame.Image().Height();
    const int dw = dest.width(), dh = dest.height();
    if (iw <= 0 || ih <= 0) return QRect(dest.topLeft() + QPoint(frame.Left(), frame.Top()), QSize(frame.Width(), frame.Height()));
    const int left = dest.left() + MulDiv(frame.Left(), dw, iw);
    const int top = dest.top() + MulDiv(frame.Top(), dh, ih);
    const int right = dest.left() + MulDiv(frame.Left() + frame.Width(), dw, iw);
    const int bottom = dest.top() + MulDiv(frame.Top() + frame.Height(), dh, ih);
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

void DrawGIFFrame(QImage& dest, const TGIFSubImage& frame, const QRect& rect, bool transparent, bool tile) {
    if (frame.Empty() || dest.isNull() || rect.isEmpty()) return;
    if (dest.format() != QImage::Format_ARGB32 && dest.format() != QImage::Format_RGB32)
        dest = dest.convertToFormat(QImage::Format_ARGB32);
    const std::array<QRgb, 256> lut = FrameColors(frame, transparent);
    const int w = frame.Width(), h = frame.Height();
    if (!tile) {
        Blit(dest, frame, lut, GIFScreenRectIn(frame, rect), w, h, dest.rect());
        return;
    }
    // Tiles are cut at the rectangle and at dest; only those that reach what
    // is left of both are visited (a rectangle far larger than dest, or far
    // outside it, costs nothing).
    const QRect clip = rect.intersected(dest.rect());
    if (clip.isEmpty() || w <= 0 || h <= 0) return;
    const std::int64_t stepX = std::max(frame.Image().Width(), 1), stepY = std::max(frame.Image().Height(), 1);
    const std::int64_t x0 = std::int64_t(rect.left()) + frame.Left(), y0 = std::int64_t(rect.top()) + frame.Top();
    // The first tile whose far edge lies past the clip's near edge.
    const auto first = [](std::int64_t origin, std::int64_t step, std::int64_t size, std::int64_t edge) {
        const std::int64_t behind = edge - (origin + size - 1);
        return behind <= 0 ? origin : origin + (behind + step - 1) / step * step;
    };
    for (std::int64_t y = first(y0, stepY, h, clip.top()); y <= clip.bottom(); y += stepY)
        for (std::int64_t x = first(x0, stepX, w, clip.left()); x <= clip.right(); x += stepX)
            Blit(dest, frame, lut, QRect(int(x), int(y), w, h), w, h, clip);
}

TGIFGraphic::TGIFGraphic() : fImage(std::make_unique<TGIFImage>()) {}

TGIFGraphic::~TGIFGraphic() { StopDraw(); }

void TGIFGraphic::LoadDataFromStream(TStream& stream) {
    const std::int64_t left = stream.Size() - stream.Position();
    if (left < 0 || static_cast<std::uint64_t>(left) > fImage->Limits.fileSize) throw GIFException(sGIFOutOfMemory);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(left));
    if (stream.Read(bytes.data(), left) != left) throw GIFException(sGIFPrematureEnd);
    std::string error;
    if (!LoadFromBytes(bytes, &error)) throw GIFException(error);
}

bool TGIFGraphic::LoadFromBytes(std::span<const std::uint8_t> bytes, std::string* error) {
    auto fresh = std::make_unique<TGIFImage>();
    fresh->Limits = fImage->Limits;
    try {
        if (bytes.size() > fresh->Limits.fileSize) throw GIFException(sGIFOutOfMemory);
        ByteReader reader(bytes);
        fresh->LoadFromStream(reader);
        if (fresh->Empty()) throw GIFException(sGIFImageEmpty);
        Adopt(std::move(fresh));
    } catch (const GIFException& e) {
        if (error) *error = e.what();
        return false;
    }
    return true;
}

std::vector<std::uint8_t> TGIFGraphic::SaveToBytes() {
    ByteWriter out;
    fImage->SaveToStream(out);
    return out.take();
}

bool TGIFGraphic::AssignPicture(const QImage& picture, std::string* error) {
    try {
        if (picture.isNull()) throw GIFException(sGIFImageEmpty);
        const QImage argb = picture.convertToFormat(QImage::Format_ARGB32);
        const int w = argb.width(), h = argb.height();
        TBitmap rgb;
        if (!rgb.Allocate(w, h, pf24bit)) throw GIFException(sGIFOutOfMemory);
        bool anyTransparent = false;
        for (int y = 0; y < h; ++y) {
            const auto* src = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
            std::uint8_t* dst = rgb.ScanLine(y);
            for (int x = 0; x < w; ++x, dst += 3) {
                dst[0] = std::uint8_t(qBlue(src[x])), dst[1] = std::uint8_t(qGreen(src[x])), dst[2] = std::uint8_t(qRed(src[x]));
                anyTransparent |= qAlpha(src[x]) < 128;
            }
        }
        // 255 colours of the picture's own leave index 255 free for transparency.
        const TPaletteEntries palette = CreateOptimizedPaletteFromSingleBitmap(rgb, 255, 8, false);
        const TBitmap indexed = ReduceColors(rgb, TReductionMethod::crGivenPalette, TDitherKind::dtNone, 8,
                                             std::span(palette.data(), std::min<std::size_t>(palette.size(), 255)));
        if (indexed.Width() != w || indexed.Height() != h) throw GIFException(sGIFOutOfMemory);
        auto fresh = std::make_unique<TGIFImage>();
        auto frame = std::make_unique<TGIFSubImage>(*fresh);
        frame->Assign(indexed);
        if (anyTransparent) {
            for (int y = 0; y < h; ++y) {
                const auto* src = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
                std::uint8_t* row = frame->Scanline(y);
                for (int x = 0; x < w; ++x)
                    if (qAlpha(src[x]) < 128) row[x] = 255;
            }
            auto& gce = frame->Extensions().Add<TGIFGraphicControlExtension>();
            gce.SetTransparent(true);
            gce.TransparentIndex = 255;
        }
        fresh->Images().Add(std::move(frame));
        Adopt(std::move(fresh));
    } catch (const GIFException& e) {
        if (error) *error = e.what();
        return false;
    }
    return true;
}

void TGIFGraphic::Changed() {
    StopDraw();
    Bitmap = fImage->Empty() ? QImage() : FirstFrame(*fImage);
}

QImage TGIFGraphic::FirstFrame(const TGIFImage& image) {
    const TGIFCanvas first = ComposeGIFFrame(image, 0);
    return StretchGIFCanvas(first, first.Width, first.Height);
}

void TGIFGraphic::Adopt(std::unique_ptr<TGIFImage> fresh) {
    // The frame the picture shows is made before anything is replaced.
    QImage shown = FirstFrame(*fresh);
    StopDraw();
    fImage = std::move(fresh);
    Bitmap = std::move(shown);
}

void TGIFGraphic::StopDraw() {
    for (TTargetPainter& p : fPainters) p.Painter->Stop();
    fPainters.clear();
}

TGIFPainter* TGIFGraphic::Painter(const QObject* target) const {
    for (const TTargetPainter& p : fPainters)
        if (p.Target == target) return p.Painter.get();
    return nullptr;
}

TGIFPainter& TGIFGraphic::StartPainter(QObject* target, const QRect& rect, std::uint16_t options) {
    // Painters of targets that are gone go first: a new target may have
    // taken a freed one's address.
    std::erase_if(fPainters, [target](const TTargetPainter& p) {
        return p.Target == target || (p.Target && !p.Painter->Target());
    });
    auto painter = std::make_unique<TGIFPainter>(*fImage, target, rect, options, fImage->AnimationSpeed);
    painter->OnPaintStart = OnPaintStart;
    painter->OnFramePaint = OnFramePaint;
    painter->OnFramePainted = OnFramePainted;
    painter->OnLoopStart = OnLoopStart;
    painter->OnPaintEnd = OnPaintEnd;
    TGIFPainter& started = *fPainters.emplace_back(TTargetPainter{target, std::move(painter)}).Painter;
    started.Start();
    // Without a target nothing would ever show the next frames.
    if (!target) started.Stop();
    return started;
}

void TGIFGraphic::DrawStill(QPainter& painter, const QRect& rect, const TGIFSubImage& frame, std::uint16_t options) {
    QImage picture(rect.size(), QImage::Format_ARGB32);
    if (picture.isNull()) return;
    picture.fill(Qt::transparent);
    DrawGIFFrame(picture, frame, QRect(QPoint(0, 0), rect.size()), (options & drTransparent) != 0,
                 (options & drTile) != 0);
    painter.drawImage(rect.topLeft(), picture);
}

void TGIFGraphic::Draw(QPainter& painter, const QRect& rect, QObject* target) {
    if (fDrawing || fImage->Empty() || rect.isEmpty()) return;
    fDrawing = true;
    const std::uint16_t options = fImage->DrawOptions;
    const int count = fImage->Images().Count();
    try {
        if (count > 1 && (options & drAnimate)) {
            // A painter stopped early (its window closed) plays again when shown again.
            TGIFPainter* playing = Painter(target);
            if (!playing || playing->Target() != target || playing->Rect() != rect || !target ||
                playing->StoppedEarly())
                playing = &StartPainter(target, rect, options);
            painter.drawImage(rect.topLeft(), playing->Picture());
        } else {
            const int fixed = fImage->FixedFrame;
            DrawStill(painter, rect, fImage->Images()[fixed >= 0 && fixed < count ? fixed : 0], options);
        }
    } catch (const GIFException&) {
        // A screen beyond the limits: nothing is drawn.
    }
    fDrawing = false;
}

void RegisterGIFGraphic() {
    const TGraphicFactory factory = [] { return std::unique_ptr<TImagingGraphic>(new TGIFGraphic()); };
    PictureRegistry().RegisterFileFormat("gif", "GIF Image", "TGIFImage", factory);
    ClassRegistry().RegisterClass("TGIFImage", factory);
    // A display of 8 bits per pixel or fewer wants dithered frames.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        if (const QScreen* screen = QGuiApplication::primaryScreen()) GIFAutoDitherDisplay = screen->depth() < 9;
}

void UnregisterGIFGraphic() {
    PictureRegistry().UnregisterGraphicClass("TGIFImage");
    ClassRegistry().UnregisterClass("TGIFImage");
}

}  // namespace velto
