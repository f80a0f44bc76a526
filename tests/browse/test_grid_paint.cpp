// Painting the grid: its scroll bar looks as the application's style draws
// it, paging through the tiles never waits for the toolkit's own threads,
// a picture shows over its tile's frame, and tiles a filler adds all show.
#include <gtest/gtest.h>

#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyleOptionSlider>
#include <QThreadPool>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "BrowseTestSupport.h"
#include "browse/TileGeometry.h"
#include "../resources/PeTestImage.h"

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

// A folder's five tiles in rows of three all show once the fill is over, the
// third too (right of the last): what the window holds matches a fresh render.
TEST(GridPaint, EveryTileOfAFolderShowsInTheWindow) {
    restest::TempDir dir;
    for (const char* name : {"a.cur", "b.cur", "c.cur", "d.cur", "e.cur"})
        restest::WriteFile(dir.File(name), restest::CursorFile({{32, 32, 0, 0, {}}}));
    auto g = MakeGrid(0, 400, 560);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(g.get()));
    QSignalSpy finished(g.get(), &TThumbail::fillFinished);
    g->LoadFolder(QString::fromStdString(dir.Path()));
    QCoreApplication::sendPostedEvents(g.get(), QEvent::UpdateRequest);  // the emptied grid, before any tile
    ASSERT_TRUE(finished.count() > 0 || finished.wait(60000));
    ASSERT_EQ(g->Count(), 5);
    QCoreApplication::sendPostedEvents(g.get(), QEvent::UpdateRequest);  // the paint the tiles asked for
    const QImage shot = g->screen()->grabWindow(g->winId()).toImage().convertToFormat(QImage::Format_RGB32);
    const QImage fresh = Rendered(*g, 1).convertToFormat(QImage::Format_RGB32);
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(shot.copy(g->ItemRect(i)) == fresh.copy(g->ItemRect(i))) << "tile " << i;
}

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

// A tile's frame shows around its picture and, where the picture has
// transparent pixels, under it; an opaque picture shows as it is.
TEST(GridPaint, APictureShowsOverItsTilesFrame) {
    auto g = MakeGrid(0, 400, 300);
    QImage opaque(40, 30, QImage::Format_RGB32);
    opaque.fill(qRgb(10, 120, 30));
    QImage holed(40, 30, QImage::Format_ARGB32);
    holed.fill(qRgb(10, 120, 30));
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 20; ++x) holed.setPixel(x, y, qRgba(0, 0, 0, 0));
    for (const QImage* picture : {&opaque, &holed}) {
        TThumbnailItem& item = g->Add();
        item.SetPicture(*picture);
    }
    const QImage shot = Rendered(*g->viewport(), 1.0);
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        const QRect tile = g->ItemRect(i);
        // The picture is centred in the tile's square within 5 pixels of margin.
        const QPoint picture = tile.topLeft() + PictureOffset({40, 30}, 100);
        const QRgb white = qRgb(255, 255, 255);
        // The frame's inside, right up to the picture on every side.
        for (int d = -1; d <= 40; ++d)
            for (const QPoint at : {QPoint(d, -1), QPoint(d, 30), QPoint(-1, std::min(d, 30)), QPoint(40, std::min(d, 30))})
                ASSERT_EQ(shot.pixel(picture + at), white) << at.x() << "," << at.y();
        // The frame's edge.
        EXPECT_NE(shot.pixel(tile.left(), tile.top() + 50), white);
        // The picture; the transparent half shows the frame's white.
        EXPECT_EQ(shot.pixel(picture + QPoint(30, 15)), qRgb(10, 120, 30));
        EXPECT_EQ(shot.pixel(picture + QPoint(5, 15)), i == 0 ? qRgb(10, 120, 30) : white);
    }
}
