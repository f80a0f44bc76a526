#include "imagingqt/PngSpeedButton.h"

#include <QPainter>
#include <QStyleOptionToolButton>
#include <QStylePainter>

#include <cmath>
#include <cstring>

#include "imagingqt/PngImageList.h"
#include "imagingqt/PngQt.h"

namespace velto {

namespace {

std::unique_ptr<TPNGObject> GlyphCopy(const TPNGObject* png) {
    auto out = std::make_unique<TPNGObject>();
    if (!png) return out;
    out->Assign(*png);
    // The glyph is shown as drawn: a display gamma would change its colours.
    if (out->HeaderPresent()) {
        const std::uint8_t t = out->GetHeader().ColorType;
        if (t == COLOR_RGB || t == COLOR_PALETTE || t == COLOR_RGBALPHA)
            if (auto* g = out->Chunks().FindChunk<TChunkgAMA>()) out->Chunks().RemoveChunk(g);
    }
    return out;
}

QSize GlyphSize(const TPNGObject& png) { return png.HeaderPresent() ? QSize(png.Width(), png.Height()) : QSize(0, 0); }

}  // namespace

TPngSpeedButton::TPngSpeedButton(QWidget* parent) : QToolButton(parent), png_(std::make_unique<TPNGObject>()) {
    setAutoRaise(true);
}

TPngSpeedButton::~TPngSpeedButton() = default;

void TPngSpeedButton::SetPngImage(const TPNGObject* png, const TPNGObject* png2x) {
    png_ = GlyphCopy(png);
    png2x_ = png2x ? GlyphCopy(png2x) : nullptr;
    fromAction_ = false;
    RebuildPlaceholder();
    update();
}

void TPngSpeedButton::SetPngOptions(TPngOptions options) {
    if (options == options_) return;
    options_ = options;
    RebuildPlaceholder();
    update();
}

void TPngSpeedButton::ActionChange(const TPngImageList* images, int imageIndex) {
    if (!(png_->Empty() || fromAction_) || !images || imageIndex < 0 || imageIndex >= images->Count()) return;
    CopyImageFromImageList(*png_, *images, imageIndex);
    png2x_.reset();
    if (const TPNGObject* twice = images->Item(imageIndex).PngImage2x()) png2x_ = GlyphCopy(twice);
    RebuildPlaceholder();
    fromAction_ = true;
    update();
}

void TPngSpeedButton::RebuildPlaceholder() {
    // The base button lays out an empty glyph of the PNG's size.
    setIconSize(GlyphSize(*png_));
}

TButtonLayoutResult TPngSpeedButton::CurrentLayout() const {
    TButtonLayoutInput in;
    const QSize g = GlyphSize(*png_);
    in.Glyph = {g.width(), g.height()};
    in.Client = {0, 0, width(), height()};
    in.Pressed = isDown();
    in.Down = isChecked();
    if (!text().isEmpty() && toolButtonStyle() != Qt::ToolButtonIconOnly) {
        const QRect r = fontMetrics().boundingRect(QRect(0, 0, width(), 0), Qt::TextWordWrap, text());
        in.Text = {r.width(), r.height()};
    }
    in.Layout = Layout;
    in.Margin = Margin;
    in.Spacing = Spacing;
    in.RightToLeft = layoutDirection() == Qt::RightToLeft;
    return CalcButtonLayout(in);
}

void TPngSpeedButton::paintEvent(QPaintEvent*) {
    const qreal dpr = devicePixelRatioF();
    const QSize device(static_cast<int>(std::ceil(width() * dpr)), static_cast<int>(std::ceil(height() * dpr)));
    if (device.isEmpty()) return;
    // The button as the style paints it, without glyph and caption, on the
    // window's colour (what shows through a flat button).
    QImage buf(device, QImage::Format_RGB32);
    buf.setDevicePixelRatio(dpr);
    buf.fill(palette().color(QPalette::Window));
    const TButtonLayoutResult layout = CurrentLayout();
    {
        QPainter p(&buf);
        QStyleOptionToolButton opt;
        initStyleOption(&opt);
        opt.icon = QIcon();
        opt.text.clear();
        style()->drawComplexControl(QStyle::CC_ToolButton, &opt, &p, this);
        if (!text().isEmpty() && toolButtonStyle() != Qt::ToolButtonIconOnly) {
            const TRect& t = layout.TextBounds;
            p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
            p.drawText(QRect(t.Left, t.Top, t.Width(), t.Height()), Qt::TextWordWrap | Qt::AlignCenter, text());
        }
    }
    if (png_->HeaderPresent()) {
        // The glyph at the device's density: the 2x drawing where there is
        // one and the display wants it, else the 1x image scaled.
        const TPNGObject& glyph = png2x_ && png2x_->HeaderPresent() && dpr > 1.25 ? *png2x_ : *png_;
        TBitmap bitmap;
        bitmap.Allocate(device.width(), device.height(), pf32bit);
        for (int y = 0; y < device.height(); ++y)
            std::memcpy(bitmap.ScanLine(y), buf.constScanLine(y), static_cast<std::size_t>(device.width()) * 4);
        const int x0 = static_cast<int>(std::lround(layout.GlyphPos.X * dpr));
        const int y0 = static_cast<int>(std::lround(layout.GlyphPos.Y * dpr));
        const int w = static_cast<int>(std::lround(png_->Width() * dpr));
        const int h = static_cast<int>(std::lround(png_->Height() * dpr));
        try {
            DrawPNG(glyph, bitmap.Canvas(), {x0, y0, x0 + w, y0 + h}, isEnabled() ? 0 : options_);
        } catch (const EPngError&) {
            // Out of memory for the disabled copy: the button shows without its glyph.
        }
        for (int y = 0; y < device.height(); ++y) {
            auto* d = reinterpret_cast<QRgb*>(buf.scanLine(y));
            std::memcpy(d, bitmap.ScanLine(y), static_cast<std::size_t>(device.width()) * 4);
            for (int x = 0; x < device.width(); ++x) d[x] |= 0xFF000000u;
        }
    }
    QPainter out(this);
    out.drawImage(QPoint(0, 0), buf);
}

}  // namespace velto
