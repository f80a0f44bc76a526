// The document window's part of the floating selection: its frame over the
// canvas with the eight resize handles, moving the frame (to another window
// too), resizing it, and what is dropped on the canvas.
#include "Desk.h"

#include "MainWindow.h"
#include "Options.h"
#include "PaneAccess.h"
#include "browse/ThumbnailGrid.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace velto {

namespace {

SelectionDragRunner gDragRunner;

// Which edges a handle moves, told by its name; any name not listed is the
// top handle.
struct HandleEdges {
    const char* name;
    bool left, right, top, bottom;
};
constexpr HandleEdges kHandleEdges[] = {
    {"rpBottom", false, false, false, true},    {"rpLeft", true, false, false, false},
    {"rpRight", false, true, false, false},     {"rpTopLeft", true, false, true, false},
    {"rpTopRight", false, true, true, false},   {"rpBottomLeft", true, false, false, true},
    {"rpBottomRight", false, true, false, true},
};

HandleEdges EdgesOf(const QString& name) {
    for (const HandleEdges& e : kHandleEdges)
        if (name == QLatin1String(e.name)) return e;
    return {"rpTop", false, false, true, false};
}

// The window whose side bar a dragged tile comes from.
TfrmDesk* TileSource(const QDropEvent* event) {
    TThumbail* grid = TThumbail::DragSource(event);
    for (QWidget* w = grid; w; w = w->parentWidget())
        if (auto* desk = qobject_cast<TfrmDesk*>(w)) return desk->SideBar() == grid ? desk : nullptr;
    return nullptr;
}

}  // namespace

void SetSelectionDragRunner(SelectionDragRunner runner) { gDragRunner = std::move(runner); }

// ---------------------------------------------------------------- showing the frame

void TfrmDesk::ShowSelectionFrame() {
    TfrmMain* main = frmMain();
    if (!main || main->Selection().Empty()) return;
    imgSel_->show();
    imgSel_->raise();
    for (QWidget* h : handles_) {
        h->show();
        h->raise();
    }
    PlaceSelectionFrame();
}

bool TfrmDesk::HideSelectionFrame() {
    const bool shown = SelectionFrameVisible();
    imgSel_->hide();
    imgSel_->resize(0, 0);
    for (QWidget* h : handles_) h->hide();
    return shown;
}

void TfrmDesk::PlaceSelectionFrame() {
    const int h = TSelectionHandle::kSize / 2;
    const QRect f = imgSel_->geometry();
    const int l = f.x(), t = f.y(), w = f.width(), ht = f.height();
    // Anchors in the handles' order: corners and edge middles clockwise from the top-left.
    const QPoint anchors[] = {{l, t},          {l + w / 2, t},      {l + w, t},      {l + w, t + ht / 2},
                              {l + w, t + ht}, {l + w / 2, t + ht}, {l, t + ht},     {l, t + ht / 2}};
    for (std::size_t i = 0; i < handles_.size(); ++i) handles_[i]->move(anchors[i] - QPoint(h, h));
}

void TfrmDesk::RefreshSelection() {
    if (SelectionFrameVisible()) RefreshSelectionView();
}

void TfrmDesk::RefreshSelectionView() {
    PlaceSelectionFrame();
    RedrawCanvas();
    TfrmMain* main = frmMain();
    if (TPreviewAccess* preview = PreviewPane(); preview && main && main->ActiveDesk() == this)
        preview->RefreshPreview(CurrentImage());
}

void TfrmDesk::ResizeSelection(int width, int height) {
    if (TfrmMain* main = frmMain()) main->Selection().Resize(width, height);
}

void TfrmDesk::PlaceSelectionFrameAt(int x, int y) {
    ImageToCanvas(x, y);
    imgSel_->move(canvas_->x() + x, canvas_->y() + y);
}

QPoint TfrmDesk::SelectionFramePixel() const {
    const TCanvasGeometry g = CanvasGeometry();
    return {(imgSel_->x() + g.hpos - canvas_->x()) / g.zoom, (imgSel_->y() + g.vpos - canvas_->y()) / g.zoom};
}

void TfrmDesk::SizeSelectionFrame(int width, int height) { imgSel_->resize(width * zoom_, height * zoom_); }

bool TfrmDesk::PasteSelectionInto(TmyImagePal& copy) const {
    TfrmMain* main = frmMain();
    if (!main || !SelectionFrameVisible() || main->Selection().Owner() != Tag) return false;
    const QPoint at = SelectionFramePixel();
    main->Selection().PasteInto(copy, at.x(), at.y());
    return true;
}

// ---------------------------------------------------------------- moving the frame

void TfrmDesk::ImgSelMouseDown(Qt::MouseButton button, Qt::MouseButtons buttons, QPoint screen) {
    MakeActive();
    TfrmMain* main = frmMain();
    if (main) main->LockToolActions();
    const TCanvasGeometry g = CanvasGeometry();
    selOriginY_ = imgSel_->y() - canvas_->y() + g.VertOffset();
    selOriginX_ = imgSel_->x() - canvas_->x() + g.HorzOffset();
    if (button == Qt::LeftButton) {
        movingSelection_ = true;
        lastCursorPos_ = screen;
    } else if (button == Qt::RightButton && !(buttons & Qt::LeftButton) && main) {
        main->Actions().execute("actDropSelection");
    }
}

void TfrmDesk::ImgSelMouseMove(QPoint screen) {
    ShowSelectionStatus();
    if (movingSelection_) MoveSelectionFrame(screen, {}, false);
}

void TfrmDesk::NudgeSelection(int dx, int dy) {
    if (!SelectionFrameVisible()) return;
    const TCanvasGeometry g = CanvasGeometry();
    selOriginY_ = imgSel_->y() - canvas_->y() + g.VertOffset();
    selOriginX_ = imgSel_->x() - canvas_->x() + g.HorzOffset();
    MoveSelectionFrame(lastCursorPos_, {dx, dy}, true);
    ShowSelectionStatus();
}

void TfrmDesk::MoveSelectionFrame(QPoint screen, QPoint step, bool nudge) {
    QPoint p = screen;
    bool dragOut = false;
    if (!nudge && !QRect(scrollBox_->mapToGlobal(QPoint(0, 0)), scrollBox_->size()).contains(p)) {
        // Outside the window the frame moves only to be dropped on another one.
        if (!Options().AllowDragAndDrop) return;
        dragOut = true;
    }
    if (nudge) {
        lastCursorPos_ = p;
        p += step;
    }
    selOriginY_ += p.y() - lastCursorPos_.y();
    selOriginX_ += p.x() - lastCursorPos_.x();
    const TCanvasGeometry g = CanvasGeometry();
    // On whole zoomed pixels.
    const int sx = selOriginX_ / g.zoom * g.zoom, sy = selOriginY_ / g.zoom * g.zoom;
    const QPoint to(canvas_->x() + sx - g.HorzOffset(), canvas_->y() + sy - g.VertOffset());
    if (to != imgSel_->pos()) {
        imgSel_->move(to);
        RefreshSelectionView();
        // The read-out shown before the move follows it.
        ShowSelectionStatus();
    }
    PlaceSelectionFrame();
    lastCursorPos_ = screen;
    if (dragOut) StartSelectionDrag();
}

void TfrmDesk::StartSelectionDrag() {
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(kSelectionMimeType), QByteArray::number(Tag));
    if (gDragRunner) {
        gDragRunner(*this, data);
    } else {
        auto* drag = new QDrag(imgSel_);
        drag->setMimeData(data);
        drag->exec(Qt::MoveAction);
    }
    // The drag took the button's release.
    movingSelection_ = false;
    if (TfrmMain* main = frmMain()) main->UnlockToolActions();
}

void TfrmDesk::ImgSelMouseUp(Qt::MouseButton button) {
    movingSelection_ = false;
    TfrmMain* main = frmMain();
    if (!main) return;
    main->UnlockToolActions();
    if (button == Qt::LeftButton && imgSel_->width() <= 0) main->Actions().execute("actnDel");
}

// ---------------------------------------------------------------- resizing

void TfrmDesk::HandleMouseDown(QWidget*, QPoint screen) {
    resizingSelection_ = true;
    lastCursorPos_ = screen;
    selWidthAcc_ = imgSel_->width() + zoom_ - 1;
    selHeightAcc_ = imgSel_->height() + zoom_ - 1;
    // 1 to 256 image pixels a side.
    imgSel_->setMinimumSize(zoom_, zoom_);
    imgSel_->setMaximumSize(257 * zoom_ - 1, 257 * zoom_ - 1);
}

void TfrmDesk::HandleMouseMove(QWidget* handle, QPoint screen) {
    ShowSelectionStatus();
    if (!resizingSelection_) return;
    const QPoint d = screen - lastCursorPos_;
    lastCursorPos_ = screen;
    const HandleEdges e = EdgesOf(handle->objectName());
    if (e.right) selWidthAcc_ += d.x();
    if (e.left) selWidthAcc_ -= d.x();
    if (e.bottom) selHeightAcc_ += d.y();
    if (e.top) selHeightAcc_ -= d.y();
    QRect f = imgSel_->geometry();
    const int w = std::clamp(selWidthAcc_ / zoom_ * zoom_, imgSel_->minimumWidth(), imgSel_->maximumWidth());
    const int h = std::clamp(selHeightAcc_ / zoom_ * zoom_, imgSel_->minimumHeight(), imgSel_->maximumHeight());
    // A left or top handle keeps the opposite edge where it is.
    if (w != f.width() && e.left) f.moveLeft(f.left() + (f.width() - w) / zoom_ * zoom_);
    if (h != f.height() && e.top) f.moveTop(f.top() + (f.height() - h) / zoom_ * zoom_);
    f.setSize({w, h});
    imgSel_->setGeometry(f);
    PlaceSelectionFrame();
    ResizeSelection(imgSel_->width() / zoom_, imgSel_->height() / zoom_);
    ShowSelectionStatus();
}

void TfrmDesk::HandleMouseUp() {
    resizingSelection_ = false;
    imgSel_->setMinimumSize(0, 0);
    imgSel_->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
}

// ---------------------------------------------------------------- drops on the canvas

void TfrmDesk::CanvasDragEvent(QDropEvent* event, QPoint pos) {
    TfrmMain* main = frmMain();
    const bool selection = event->mimeData()->hasFormat(QString::fromLatin1(kSelectionMimeType));
    TfrmDesk* tileSource = selection ? nullptr : TileSource(event);
    const bool accepted = main && HasImages() &&
                          ((selection && Options().AllowDragAndDrop) || (tileSource && tileSource->HasImages()));
    if (!accepted) {
        event->ignore();
        return;
    }
    // A tile stays in its side bar: the drop takes a copy.
    event->setDropAction(selection ? Qt::MoveAction : Qt::CopyAction);
    event->accept();
    if (event->type() != QEvent::Drop) {
        if (selection)
            main->StatusLabel()->setText(QStringLiteral("(%1,%2)").arg(pos.x() / zoom_).arg(pos.y() / zoom_));
        return;
    }
    if (selection) {
        main->Selection().MoveToWindow(Tag, pos.x(), pos.y());
    } else {
        const TmyImagePal copy = *tileSource->CurrentImage();
        main->Selection().DropImage(copy, Tag);
    }
}

void TCanvasImage::dragEnterEvent(QDragEnterEvent* event) { desk_->CanvasDragEvent(event, event->position().toPoint()); }
void TCanvasImage::dragMoveEvent(QDragMoveEvent* event) { desk_->CanvasDragEvent(event, event->position().toPoint()); }
void TCanvasImage::dropEvent(QDropEvent* event) { desk_->CanvasDragEvent(event, event->position().toPoint()); }

// ---------------------------------------------------------------- the frame and handle widgets

TSelectionFrame::TSelectionFrame(TfrmDesk* desk, QWidget* parent) : QWidget(parent), desk_(desk) {
    setCursor(Qt::SizeAllCursor);
    setMouseTracking(true);
    setAcceptDrops(true);
}

void TSelectionFrame::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect r = rect().adjusted(0, 0, -1, -1);
    p.setPen(QPen(Qt::white, 1));
    p.drawRect(r);
    p.setPen(QPen(Qt::black, 1, Qt::DotLine));
    p.drawRect(r);
}

void TSelectionFrame::mousePressEvent(QMouseEvent* event) {
    desk_->ImgSelMouseDown(event->button(), event->buttons(), event->globalPosition().toPoint());
}

void TSelectionFrame::mouseMoveEvent(QMouseEvent* event) { desk_->ImgSelMouseMove(event->globalPosition().toPoint()); }

void TSelectionFrame::mouseReleaseEvent(QMouseEvent* event) { desk_->ImgSelMouseUp(event->button()); }

// Drops on the frame land on the canvas under it.
void TSelectionFrame::dragEnterEvent(QDragEnterEvent* event) {
    desk_->CanvasDragEvent(event, event->position().toPoint() + pos() - desk_->CanvasImage()->pos());
}
void TSelectionFrame::dragMoveEvent(QDragMoveEvent* event) {
    desk_->CanvasDragEvent(event, event->position().toPoint() + pos() - desk_->CanvasImage()->pos());
}
void TSelectionFrame::dropEvent(QDropEvent* event) {
    desk_->CanvasDragEvent(event, event->position().toPoint() + pos() - desk_->CanvasImage()->pos());
}

TSelectionHandle::TSelectionHandle(TfrmDesk* desk, const char* name, Qt::CursorShape cursor, QWidget* parent)
    : QWidget(parent), desk_(desk) {
    setObjectName(QString::fromLatin1(name));
    setCursor(cursor);
    setFixedSize(kSize, kSize);
    setMouseTracking(true);
}

void TSelectionHandle::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(0.5, 0.5, kSize - 1, kSize - 1));
}

void TSelectionHandle::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) desk_->HandleMouseDown(this, event->globalPosition().toPoint());
}

void TSelectionHandle::mouseMoveEvent(QMouseEvent* event) {
    desk_->HandleMouseMove(this, event->globalPosition().toPoint());
}

void TSelectionHandle::mouseReleaseEvent(QMouseEvent*) { desk_->HandleMouseUp(); }

}  // namespace velto
