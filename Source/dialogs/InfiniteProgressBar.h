#pragma once
// TInfiniteProgressBar: a progress bar that shows activity without a
// measure (a busy bar). The timer that drives it exists only while animating.
#include <QProgressBar>

class QTimer;

namespace velto {

class TInfiniteProgressBar : public QProgressBar {
    Q_OBJECT
public:
    explicit TInfiniteProgressBar(QWidget* parent = nullptr);

    int Interval() const { return interval_; }
    void SetInterval(int ms);
    bool Animate() const { return timer_ != nullptr; }
    void SetAnimate(bool animate);
    // The running timer, null when not animating.
    QTimer* Timer() const { return timer_; }

private:
    int interval_ = 500;
    QTimer* timer_ = nullptr;
};

}  // namespace velto
