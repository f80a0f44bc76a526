#include "Scroll2D.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace velto {

TScroll2D::TScroll2D(QWidget* parent) : QWidget(parent) {
    resize(150, 74);
    computeKnob();
}

int TScroll2D::OriginX() const { return -minX_ * width() / (maxX_ - minX_); }
int TScroll2D::OriginY() const { return -minY_ * height() / (maxY_ - minY_); }

void TScroll2D::computeKnob() {
    knobX_ = OriginX() + posX_ * width() / (maxX_ - minX_);
    knobY_ = OriginY() + posY_ * height() / (maxY_ - minY_);
    update();
}

// A range bound that would leave no span is refused.
void TScroll2D::setBound(int& bound, int other, int v) {
    if (v == other) return;
    bound = v;
    computeKnob();
}

void TScroll2D::SetMinX(int v) { setBound(minX_, maxX_, v); }
void TScroll2D::SetMaxX(int v) { setBound(maxX_, minX_, v); }
void TScroll2D::SetMinY(int v) { setBound(minY_, maxY_, v); }
void TScroll2D::SetMaxY(int v) { setBound(maxY_, minY_, v); }

void TScroll2D::setPosition(int& position, int lo, int hi, int v) {
    if (v < lo || v > hi || v == position) return;
    position = v;
    computeKnob();
    emit changed();
}

void TScroll2D::SetPositionX(int v) { setPosition(posX_, minX_, maxX_, v); }
void TScroll2D::SetPositionY(int v) { setPosition(posY_, minY_, maxY_, v); }

void TScroll2D::SetShowText(bool show) {
    showText_ = show;
    update();
}

void TScroll2D::resizeEvent(QResizeEvent*) { computeKnob(); }

void TScroll2D::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRect(0, 0, width() - 1, height() - 1), 5, 5);
    const int ox = OriginX(), oy = OriginY();
    p.drawLine(0, oy, width(), oy);
    p.drawLine(ox, 0, ox, height());
    if (showText_) p.drawText(QPoint(2, 2 + p.fontMetrics().ascent()), QStringLiteral("%1 %2").arg(posX_).arg(posY_));
    p.drawEllipse(QRect(QPoint(knobX_ - 6, knobY_ - 6), QPoint(knobX_ + 6, knobY_ + 6)));
}

void TScroll2D::moveTo(int x, int y) {
    x = std::clamp(x, 0, width());
    y = std::clamp(y, 0, height());
    knobX_ = x;
    knobY_ = y;
    const int spanX = maxX_ - minX_, spanY = maxY_ - minY_;
    // Truncation can step one past a range that does not start at 0: stay inside.
    const int nx = std::clamp((spanX * x - OriginX() * spanX) / std::max(1, width()), std::min(minX_, maxX_),
                              std::max(minX_, maxX_));
    const int ny = std::clamp((spanY * y - OriginY() * spanY) / std::max(1, height()), std::min(minY_, maxY_),
                              std::max(minY_, maxY_));
    if (nx != posX_ || ny != posY_) {
        posX_ = nx;
        posY_ = ny;
        emit changed();
    }
    update();
}

void TScroll2D::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        moveTo(event->position().toPoint().x(), event->position().toPoint().y());
    } else if (event->button() == Qt::RightButton) {
        SetPositionX(minX_ > 0 ? minX_ : 0);
        SetPositionY(minY_ > 0 ? minY_ : 0);
    }
}

void TScroll2D::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) moveTo(event->position().toPoint().x(), event->position().toPoint().y());
}

}  // namespace velto
