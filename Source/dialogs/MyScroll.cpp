#include "MyScroll.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace velto {

TmyScroll::TmyScroll(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    resize(100, 10);
    thumb_ = new QFrame(this);
    thumb_->setFrameStyle(QFrame::Panel | QFrame::Raised);
    thumb_->setLineWidth(1);
    thumb_->setAutoFillBackground(true);
    thumb_->setBackgroundRole(QPalette::Button);
    // The slider itself takes every press, on the thumb too.
    thumb_->setAttribute(Qt::WA_TransparentForMouseEvents);
    thumb_->setGeometry(1, 1, 16, 8);
}

void TmyScroll::SetMin(int v) { min_ = v; }

void TmyScroll::SetMax(int v) {
    max_ = v;
    placeThumb();
}

void TmyScroll::SetPosition(int v) {
    if (v == position_) return;
    position_ = std::clamp(v, min_, std::max(min_, max_));
    emit changed();
    placeThumb();
}

void TmyScroll::SetPicture(const QImage& picture) {
    picture_ = picture;
    update();
}

int TmyScroll::ThumbLeftFor(int position) const {
    const int track = width() - 1 - thumb_->width();
    // No range or no room: the thumb stays at the start.
    if (max_ <= 0 || track <= 0) return 1;
    const int left = static_cast<int>(static_cast<long long>(position) * track / max_);
    return left == 0 ? 1 : left;
}

void TmyScroll::placeThumb() { thumb_->move(ThumbLeftFor(position_), thumb_->y()); }

void TmyScroll::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    if (picture_.isNull()) return;
    QPainter p(this);
    p.drawImage(QRect(QPoint(1, 1), QPoint(width() - 3, height() - 3)), picture_);
}

void TmyScroll::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    // The thumb keeps its top and bottom anchors.
    thumb_->resize(thumb_->width(), std::max(1, height() - 2));
    placeThumb();
}

void TmyScroll::mousePressEvent(QMouseEvent* event) {
    const int x = static_cast<int>(event->position().x());
    if (thumb_->geometry().contains(event->position().toPoint())) {
        if (event->button() == Qt::LeftButton) {
            dragging_ = true;
            grabOffset_ = x - thumb_->x();
        }
        emit pressed();
        return;
    }
    // The change starts before the value moves, so that whoever brackets a
    // change sees the value it started from.
    emit pressed();
    const int tw = thumb_->width();
    const int h = tw / 2;
    int v;
    if (x < h) v = 0;
    else if (x > width() - h) v = max_;
    else if (width() - tw <= 0) v = 0;
    else v = static_cast<int>(static_cast<long long>(x - h) * max_ / (width() - tw));
    SetPosition(v);
}

void TmyScroll::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) return;
    const int tw = thumb_->width();
    const int hi = width() - 1 - tw;
    int left = static_cast<int>(event->position().x()) - grabOffset_;
    left = std::max(1, std::min(left, hi));
    if (left == thumb_->x()) return;
    thumb_->move(left, thumb_->y());
    const int span = width() - 2 - tw;
    // Stored without bounding, as the drag maps the thumb onto 0..Max.
    position_ = span > 0 ? static_cast<int>(static_cast<long long>(left - 1) * max_ / span) : 0;
    emit changed();
}

void TmyScroll::mouseReleaseEvent(QMouseEvent*) {
    dragging_ = false;
    emit released();
}

}  // namespace velto
