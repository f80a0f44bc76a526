#include "ImageView.h"

#include <QMouseEvent>
#include <QPainter>

namespace velto {

ImageView::ImageView(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void ImageView::SetPicture(const QImage& picture) {
    picture_ = picture;
    update();
}

void ImageView::SetStretch(bool stretch) {
    stretch_ = stretch;
    update();
}

void ImageView::paintEvent(QPaintEvent*) {
    if (picture_.isNull()) return;
    QPainter p(this);
    if (stretch_) p.drawImage(rect(), picture_);
    else p.drawImage(QPoint(0, 0), picture_);
}

void ImageView::mousePressEvent(QMouseEvent* e) {
    lastGlobal_ = e->globalPosition().toPoint();
    emit mousePressed(e->button(), e->position().toPoint());
}

void ImageView::mouseMoveEvent(QMouseEvent* e) {
    lastGlobal_ = e->globalPosition().toPoint();
    emit mouseMoved(e->position().toPoint(), e->buttons());
}

void ImageView::mouseReleaseEvent(QMouseEvent* e) {
    lastGlobal_ = e->globalPosition().toPoint();
    emit mouseReleased(e->button(), e->position().toPoint());
}

// The toolkit sends no second press with a double click: the handlers of the
// double click decide whether it counts as one.
void ImageView::mouseDoubleClickEvent(QMouseEvent* e) {
    lastGlobal_ = e->globalPosition().toPoint();
    emit doubleClicked(e->button(), e->position().toPoint());
}

}  // namespace velto
