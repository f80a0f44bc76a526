#include "InfiniteProgressBar.h"

#include <QTimer>

namespace velto {

TInfiniteProgressBar::TInfiniteProgressBar(QWidget* parent) : QProgressBar(parent) { setTextVisible(false); }

void TInfiniteProgressBar::SetInterval(int ms) {
    interval_ = ms;
    if (timer_) timer_->setInterval(ms);
}

void TInfiniteProgressBar::SetAnimate(bool animate) {
    if (animate == Animate()) return;
    if (animate) {
        // An empty range is the toolkit's busy bar; each tick moves it on.
        setRange(0, 0);
        timer_ = new QTimer(this);
        timer_->setInterval(interval_);
        connect(timer_, &QTimer::timeout, this, [this] { setValue(0); });
        timer_->start();
    } else {
        delete timer_;
        timer_ = nullptr;
        setRange(0, 100);
        reset();
    }
}

}  // namespace velto
