#include "PreviewFrame.h"

#include <QCursor>
#include <QMouseEvent>
#include <QScrollBar>

#include <algorithm>

#include "EngineBridge.h"
#include "ImageView.h"
#include "shell/MainWindow.h"
#include "shell/ToolArt.h"

namespace velto {

namespace {
// The open hand of the tool cursors, or the toolkit's own before they exist.
QCursor HandCursor() {
    if (TfrmMain* m = frmMain())
        if (const QCursor* c = m->ToolCursor(crHand1)) return *c;
    return QCursor(Qt::OpenHandCursor);
}
}  // namespace

Tpreview::Tpreview(QWidget* parent) : QAbstractScrollArea(parent) {
    setFrameStyle(QFrame::NoFrame);
    resize(254, 227);
    viewport()->setAutoFillBackground(true);
    SetBoxColor(boxColor_);
    image_ = new ImageView(viewport());
    image_->setObjectName(QStringLiteral("Image1"));
    image_->setToolTip(QStringLiteral("Preview"));
    image_->resize(0, 0);
    connect(image_, &ImageView::mousePressed, this, [this](Qt::MouseButton b, QPoint) { imagePressed(b); });
    connect(image_, &ImageView::mouseMoved, this, [this](QPoint, Qt::MouseButtons) { imageMoved(); });
    connect(image_, &ImageView::mouseReleased, this, [this](Qt::MouseButton, QPoint) { dragging_ = false; });
    connect(image_, &ImageView::doubleClicked, this, [this](Qt::MouseButton b, QPoint) {
        // The second press of a double click starts no drag.
        skipNextDown_ = true;
        emit doubleClicked();
        imagePressed(b);
    });
}

void Tpreview::ShowImage(const TmyImagePal& image, TColor back) {
    SetPicture(RenderImage(image, back));
}

void Tpreview::SetPicture(const QImage& picture) {
    image_->SetPicture(picture);
    image_->resize(picture.size());
    updateScrollBars();
    CenterImage();
}

void Tpreview::CenterImage() {
    const QSize box = viewport()->size();
    const int left = std::max(0, (box.width() - image_->width()) / 2) - horizontalScrollBar()->value();
    const int top = std::max(0, (box.height() - image_->height()) / 2) - verticalScrollBar()->value();
    image_->move(left, top);
}

void Tpreview::SetBoxColor(TColor color) {
    boxColor_ = color;
    QPalette pal = viewport()->palette();
    pal.setColor(QPalette::Window, QColor::fromRgb(QRgbOf(color)));
    viewport()->setPalette(pal);
}

void Tpreview::updateScrollBars() {
    const QSize box = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, image_->width() - box.width()));
    horizontalScrollBar()->setPageStep(box.width());
    verticalScrollBar()->setRange(0, std::max(0, image_->height() - box.height()));
    verticalScrollBar()->setPageStep(box.height());
}

void Tpreview::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
    CenterImage();
}

void Tpreview::scrollContentsBy(int, int) { CenterImage(); }

void Tpreview::setHandCursor() {
    const bool scrolls = horizontalScrollBar()->isVisible() || verticalScrollBar()->isVisible();
    if (scrolls) image_->setCursor(HandCursor());
    else image_->unsetCursor();
}

void Tpreview::imagePressed(Qt::MouseButton button) {
    if (skipNextDown_) {
        skipNextDown_ = false;
        return;
    }
    dragging_ = button == Qt::LeftButton;
    lastPos_ = image_->LastGlobalPos();
}

void Tpreview::imageMoved() {
    setHandCursor();
    if (!dragging_) return;
    curPos_ = image_->LastGlobalPos();
    // The picture follows the mouse.
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() - (curPos_.x() - lastPos_.x()));
    verticalScrollBar()->setValue(verticalScrollBar()->value() - (curPos_.y() - lastPos_.y()));
    lastPos_ = curPos_;
}

void Tpreview::mouseDoubleClickEvent(QMouseEvent*) { emit doubleClicked(); }

}  // namespace velto
