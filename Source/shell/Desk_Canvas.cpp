// The document window's canvas: sizing and centring, its own scroll bars,
// painting of the visible part of the zoomed image, the grid, single pixels,
// scrolling, the current thumbnail and the status read-outs.
#include "Desk.h"

#include "MainWindow.h"
#include "PaneAccess.h"
#include "browse/ThumbnailGrid.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>

namespace velto {

TCanvasGeometry TfrmDesk::CanvasGeometry() const {
    TCanvasGeometry g;
    g.zoom = std::max(1, zoom_);
    // A hidden bar has no range, so its position is 0.
    g.hpos = horzSB_->value();
    g.vpos = vertSB_->value();
    return g;
}

void TfrmDesk::ImageToCanvas(int& x, int& y) const {
    const QRect r = ImagePixelRect(x, y, CanvasGeometry());
    x = r.left();
    y = r.top();
}

int TfrmDesk::ScrollBarExtent() const { return style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this); }
int TfrmDesk::VisibleVertBarWidth() const { return vertVisible_ ? ScrollBarExtent() : 0; }
int TfrmDesk::VisibleHorzBarHeight() const { return horzVisible_ ? ScrollBarExtent() : 0; }

// ---------------------------------------------------------------- layout

void TfrmDesk::SizeCanvas() {
    const TmyImagePal* img = CurrentImage();
    if (!img) return;
    // Twice: bars that appear or vanish in the first pass change the room of the second.
    for (int pass = 0; pass < 2; ++pass) {
        const int fullW = img->Width() * zoom_, fullH = img->Height() * zoom_;
        const int freeW = std::max(0, scrollBox_->width() - VisibleVertBarWidth());
        const int freeH = std::max(0, scrollBox_->height() - VisibleHorzBarHeight());
        const QSize size(std::min(fullW, freeW), std::min(fullH, freeH));
        QImage& bitmap = canvas_->Bitmap();
        if (bitmap.size() != size)
            bitmap = size.isEmpty() ? QImage() : QImage(size, QImage::Format_RGB32);
        canvas_->resize(size);
        PlaceScrollBars();
        UpdateScrollBars();
    }
}

void TfrmDesk::PlaceScrollBars() {
    const int ext = ScrollBarExtent();
    horzSB_->setGeometry(0, scrollBox_->height() - ext, scrollBox_->width() - VisibleVertBarWidth(), ext);
    vertSB_->setGeometry(scrollBox_->width() - ext, 0, ext, scrollBox_->height() - VisibleHorzBarHeight());
}

void TfrmDesk::UpdateScrollBars() {
    const TmyImagePal* img = CurrentImage();
    if (!img) return;
    scrollReady_ = false;
    auto update = [](QScrollBar* bar, bool& visible, int full, int shown) {
        const int oldMax = visible ? bar->maximum() : 0;
        const int oldPos = bar->value();
        const int newMax = full - shown;
        if (newMax >= 1) {
            const int pos = ScrollPositionFor(oldMax, oldPos, newMax);
            bar->setRange(0, newMax);
            bar->setValue(pos);
            visible = true;
        } else {
            bar->setRange(0, 0);
            visible = false;
        }
        bar->setVisible(visible);
    };
    update(horzSB_, horzVisible_, img->Width() * zoom_, canvas_->width());
    update(vertSB_, vertVisible_, img->Height() * zoom_, canvas_->height());
    scrollReady_ = true;
}

void TfrmDesk::LayoutCanvas() {
    if (!scrollBox_) return;
    int sideWidth = kSideBarWidth;
    if (thumbs_->verticalScrollBar()->isVisible()) sideWidth += ScrollBarExtent();
    if (pnlSideBar_->width() != sideWidth) pnlSideBar_->setFixedWidth(sideWidth);
    SizeCanvas();
    // The selection frame's offset from the canvas, snapped to whole zoomed
    // pixels before the canvas moves.
    const TCanvasGeometry geo = CanvasGeometry();
    const int offX = (imgSel_->x() - canvas_->x() + geo.HorzOffset()) / geo.zoom * geo.zoom;
    const int offY = (imgSel_->y() - canvas_->y() + geo.VertOffset()) / geo.zoom * geo.zoom;
    const int left = std::max(0, (scrollBox_->width() - VisibleVertBarWidth() - canvas_->width()) / 2);
    const int top = std::max(0, (scrollBox_->height() - VisibleHorzBarHeight() - canvas_->height()) / 2);
    canvas_->move(left, top);
    if (SelectionFrameVisible()) {
        imgSel_->move(offX + left - geo.HorzOffset(), offY + top - geo.VertOffset());
        PlaceSelectionFrame();
    }
    bevel1_->setGeometry(canvas_->geometry().adjusted(-1, -1, 1, 1));
    bevel1_->setVisible(!canvas_->Bitmap().isNull());
    canvas_->raise();
    imgSel_->raise();
    for (QWidget* handle : handles_) handle->raise();
    horzSB_->raise();
    vertSB_->raise();
}

void TfrmDesk::ScrollBoxResized() {
    LayoutCanvas();
    ApplyAutoZoom();
    RedrawCanvas();
}

// ---------------------------------------------------------------- painting

void TfrmDesk::RedrawCanvas() {
    if (!HasImages()) return;
    SizeCanvas();
    PaintRect(canvas_->Bitmap().rect());
}

void TfrmDesk::PaintRect(QRect rect) {
    TmyImagePal* img = CurrentImage();
    QImage& bitmap = canvas_->Bitmap();
    if (!scrollReady_ || !img || bitmap.isNull()) return;
    const TCanvasGeometry geo = CanvasGeometry();
    if (SelectionFrameVisible()) {
        // The floating selection is shown pasted into a 32-bit copy.
        TmyImagePal copy(img->Size(), 32);
        copy.Assign(*img);
        copy.BitCount = 32;
        copy.Palette.reset();
        PasteSelectionInto(copy);
        PaintCanvasRect(bitmap, copy, rect, geo, CheckerboardFromOptions());
    } else {
        PaintCanvasRect(bitmap, *img, rect, geo, CheckerboardFromOptions());
    }
    if (gridVisible_) {
        TGridLook grid = TGridLook::FromOptions();
        grid.visible = true;
        DrawCanvasGrid(bitmap, rect, geo, grid);
    }
    canvas_->update(rect);
}

void TfrmDesk::RepaintImageRect(QRect imageRect) {
    if (imageRect.isEmpty()) return;
    const TCanvasGeometry geo = CanvasGeometry();
    const QRect topLeft = ImagePixelRect(imageRect.left(), imageRect.top(), geo);
    PaintRect(QRect(topLeft.topLeft(), QSize(imageRect.width() * geo.zoom, imageRect.height() * geo.zoom)));
}

void TfrmDesk::DrawGrid() {
    QImage& bitmap = canvas_->Bitmap();
    if (!gridVisible_ || bitmap.isNull()) return;
    TGridLook grid = TGridLook::FromOptions();
    grid.visible = true;
    DrawCanvasGrid(bitmap, bitmap.rect(), CanvasGeometry(), grid);
    canvas_->update();
}

void TfrmDesk::PaintPixel(int x, int y, bool blend, const TmyPixel& pixel) {
    QImage& bitmap = canvas_->Bitmap();
    if (!scrollReady_ || bitmap.isNull()) return;
    const TCanvasGeometry geo = CanvasGeometry();
    const QRect r = ImagePixelRect(x, y, geo).intersected(bitmap.rect());
    if (r.isEmpty()) return;
    PaintCanvasPixel(bitmap, r, pixel, geo, CheckerboardFromOptions(), blend);
    if (gridVisible_) {
        TGridLook grid = TGridLook::FromOptions();
        grid.visible = true;
        DrawCanvasGrid(bitmap, r, geo, grid);
    }
    canvas_->update(r);
}

void TfrmDesk::ImageChanged() {
    RedrawCanvas();
    UpdateCurrentThumbnail();
    // The colour panel follows the depth of the active document's image.
    if (TColorPanelAccess* colors = ColorPanel())
        if (TfrmMain* main = frmMain())
            if (auto* active = qobject_cast<TfrmDesk*>(main->ActiveDesk()); active && active->CurrentImage())
                colors->SetBitCount(active->CurrentImage()->BitCount);
    emit imageChanged(this);
    cmbZoom_->setCurrentIndex(zoom_ - 1);
    UpdateZoomActions();
}

// ---------------------------------------------------------------- scrolling

void TfrmDesk::ScrollChanged(bool horizontal, int position) {
    int& last = horizontal ? lastHorzPos_ : lastVertPos_;
    const int d = last - position;
    last = position;
    if (d == 0) return;
    if (SelectionFrameVisible()) {
        imgSel_->move(imgSel_->pos() + (horizontal ? QPoint(d, 0) : QPoint(0, d)));
        PlaceSelectionFrame();
    }
    QImage& bitmap = canvas_->Bitmap();
    if (!scrollReady_ || bitmap.isNull()) return;
    // The visible part moves with the bar; only the uncovered strip is painted.
    const int w = bitmap.width(), h = bitmap.height();
    if (horizontal) {
        ShiftCanvas(bitmap, d, 0);
        PaintRect(d < 0 ? QRect(w + d, 0, -d, h) : QRect(0, 0, d, h));
    } else {
        ShiftCanvas(bitmap, 0, d);
        PaintRect(d < 0 ? QRect(0, h + d, w, -d) : QRect(0, 0, w, d));
    }
    canvas_->update();
}

// ---------------------------------------------------------------- status read-outs

void TfrmDesk::ShowToolStatus(int x0, int y0, int x, int y, int button, int tool) {
    TfrmMain* main = frmMain();
    if (!main) return;
    main->StatusLabel()->setText(
        ToolStatusText(main->StatusLabels(), x0, y0, x, y, button, tool, zoom_, CurrentImage()));
}

void TfrmDesk::ShowSelectionStatus() {
    TfrmMain* main = frmMain();
    if (!main) return;
    const TCanvasGeometry geo = CanvasGeometry();
    const int x = (imgSel_->x() - canvas_->x() + geo.hpos) / geo.zoom;
    const int y = (imgSel_->y() - canvas_->y() + geo.vpos) / geo.zoom;
    main->StatusLabel()->setText(
        SelectionStatusText(main->StatusLabels(), x, y, imgSel_->width() / geo.zoom, imgSel_->height() / geo.zoom));
}

}  // namespace velto
