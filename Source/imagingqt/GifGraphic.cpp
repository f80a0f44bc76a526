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
// nearest pixel, cut to dest.
void Blit(QImage& dest, const TGIFSubImage& frame, const std::array<QRgb, 256>& lut, const QRect& d, int sw, int sh) {
    if (d.isEmpty() || sw <= 0 || sh <= 0) return;
    const QRect cut = d.intersected(dest.rect());
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
        Blit(dest, frame, lut, GIFScreenRectIn(frame, rect), w, h);
        return;
    }
    const int stepX = std::max(frame.Image().Width(), 1), stepY = std::max(frame.Image().Height(), 1);
    QImage tileImage = dest.copy(rect);
    for (int y = frame.Top(); y < rect.height(); y += stepY)
        for (int x = frame.Left(); x < rect.width(); x += stepX) Blit(tileImage, frame, lut, QRect(x, y, w, h), w, h);
    for (int y = 0; y < tileImage.height(); ++y)
        std::copy_n(reinterpret_cast<const QRgb*>(tileImage.constScanLine(y)), tileImage.width(),
                    reinterpret_cast<QRgb*>(dest.scanLine(rect.top() + y)) + rect.left());
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
    if (!fPainter) return;
    fPainter->Stop();
    fPainter.reset();
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
            if (!fPainter || fPainter->Target() != target || fPainter->Rect() != rect || !target ||
                fPainter->StoppedEarly()) {
                StopDraw();
                fPainter = std::make_unique<TGIFPainter>(*fImage, target, rect, options, fImage->AnimationSpeed);
                fPainter->OnPaintStart = OnPaintStart;
                fPainter->OnFramePaint = OnFramePaint;
                fPainter->OnFramePainted = OnFramePainted;
                fPainter->OnLoopStart = OnLoopStart;
                fPainter->OnPaintEnd = OnPaintEnd;
                fPainter->Start();
                // Without a target nothing would ever show the next frames.
                if (!target) fPainter->Stop();
            }
            painter.drawImage(rect.topLeft(), fPainter->Picture());
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
