// Painting the grid: its scroll bar looks as the application's style draws
// it, and paging through the tiles never waits for the toolkit's own threads.
#include <gtest/gtest.h>

#include <QScrollBar>
#include <QStyleOptionSlider>
#include <QThreadPool>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "BrowseTestSupport.h"

using namespace velto;
using namespace velto::test;

namespace {

QImage Rendered(QWidget& widget, qreal ratio) {
    QImage image(widget.size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    widget.render(&image);
    return image;
}

// Holds the one thread the toolkit's global pool may run: whatever is handed
// to the pool meanwhile waits, and so does a paint that waits for it. A
// watchdog lets the pool go after a while, so that such a paint fails the
// test instead of hanging it.
class HeldPool {
public:
    HeldPool() : pool_(*QThreadPool::globalInstance()), saved_(pool_.maxThreadCount()) {
        pool_.setMaxThreadCount(1);
        pool_.start([this] {
            std::unique_lock lock(mutex_);
            running_ = true;
            changed_.notify_all();
            changed_.wait(lock, [this] { return released_; });
        });
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return running_; });
        watchdog_ = std::thread([this] {
            std::unique_lock lock(mutex_);
            if (changed_.wait_for(lock, std::chrono::seconds(30), [this] { return released_; })) return;
            timedOut_ = released_ = true;
            changed_.notify_all();
        });
    }
    ~HeldPool() { Release(); }

    // True when the watchdog had to let the pool go: something waited for it.
    bool Release() {
        {
            std::lock_guard lock(mutex_);
            released_ = true;
        }
        changed_.notify_all();
        if (watchdog_.joinable()) watchdog_.join();
        pool_.waitForDone();
        pool_.setMaxThreadCount(saved_);
        return timedOut_;
    }

private:
    QThreadPool& pool_;
    const int saved_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool running_ = false, released_ = false, timedOut_ = false;
    std::thread watchdog_;
};

}  // namespace

TEST(GridPaint, TheScrollBarLooksAsTheApplicationStyleDrawsIt) {
    auto g = MakeGrid(60, 400, 700);
    QScrollBar* bar = g->verticalScrollBar();
    ASSERT_TRUE(bar->isVisible());
    QStyle* own = bar->style();
    ASSERT_NE(own, QApplication::style());
    const auto expectSameLook = [&] {
        // One pixel a device pixel (drawn in strips) and two (drawn whole).
        for (const qreal ratio : {1.0, 2.0}) {
            SCOPED_TRACE(testing::Message() << "ratio " << ratio << ", value " << bar->value());
            const QImage banded = Rendered(*bar, ratio);
            bar->setStyle(QApplication::style());
            const QImage whole = Rendered(*bar, ratio);
            bar->setStyle(own);
            EXPECT_TRUE(banded == whole);
        }
    };
    for (const int value : {0, bar->maximum() / 3, bar->maximum()}) {
        bar->setValue(value);
        expectSameLook();
    }
    // The slider held down is drawn pressed by both.
    QStyleOptionSlider opt;
    opt.initFrom(bar);
    opt.orientation = Qt::Vertical;
    opt.minimum = bar->minimum();
    opt.maximum = bar->maximum();
    opt.sliderPosition = opt.sliderValue = bar->value();
    opt.pageStep = bar->pageStep();
    opt.singleStep = bar->singleStep();
    const QRect slider = bar->style()->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarSlider, bar);
    QTest::mousePress(bar, Qt::LeftButton, {}, slider.center());
    ASSERT_TRUE(bar->isSliderDown());
    expectSameLook();
    QTest::mouseRelease(bar, Qt::LeftButton, {}, slider.center());
}

TEST(GridPaint, PagingThroughTheTilesNeverWaitsForTheToolkitsThreads) {
    auto g = MakeGrid(120, 700, 700);
    g->SetShowCaption(true);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(g.get()));
    g->repaint();
    QScrollBar* bar = g->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    HeldPool held;
    int pages = 0;
    for (;;) {
        g->viewport()->repaint();
        ++pages;
        if (bar->value() >= bar->maximum()) break;
        bar->setValue(bar->value() + bar->pageStep());
    }
    EXPECT_FALSE(held.Release());
    EXPECT_GT(pages, 3);
}
