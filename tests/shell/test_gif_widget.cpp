// An animated GIF drawn by a widget's paint handler: the painter asks the
// widget to repaint, every frame reaches the screen in order, two widgets
// showing one picture both play it, and closing or deleting the widget while
// it plays stops the animation.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <memory>

#include "GuiTestApp.h"
#include "imagingqt/GifGraphic.h"

using namespace velto;

namespace {

// Frames of one colour each (red, green, blue) over the 2 x 1 screen, 3
// hundredths apart; `loops` passes (0: endless).
void Build(TGIFImage& gif, int loops) {
    for (TColor c : {MakeColor(255, 0, 0), MakeColor(0, 255, 0), MakeColor(0, 0, 255)}) gif.GlobalColorMap().Add(c);
    for (std::uint8_t i = 0; i < 3; ++i) {
        auto f = std::make_unique<TGIFSubImage>(gif);
        f->SetBounds(0, 0, 2, 1);
        std::fill(f->Data(), f->Data() + f->DataSize(), i);
        f->Extensions().Add<TGIFGraphicControlExtension>().Delay = 3;
        if (i == 0) f->Extensions().Add<TGIFAppExtNSLoop>().Loops = std::uint16_t(loops);
        gif.Images().Add(std::move(f));
    }
}

class GifView : public QWidget {
public:
    explicit GifView(TGIFGraphic& gif) : gif_(gif) { resize(8, 4); }
    QRgb shown = 0;
    std::vector<QRgb> history;  // each colour the widget came to show
    int paints = 0;

protected:
    void paintEvent(QPaintEvent*) override {
        ++paints;
        QImage picture(size(), QImage::Format_ARGB32);
        picture.fill(Qt::white);
        QPainter p(&picture);
        gif_.Draw(p, rect(), this);
        p.end();
        shown = picture.pixel(0, 0);
        if (history.empty() || history.back() != shown) history.push_back(shown);
        QPainter(this).drawImage(0, 0, picture);
    }

private:
    TGIFGraphic& gif_;
};

// Turns the event loop until done() holds; the deadline bounds a failure only.
template <class Done>
bool Until(Done done) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < 60000) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    return done();
}

TEST(GifWidget, EveryFrameReachesTheWidgetInOrder) {
    test::EnsureGuiApp();
    TGIFGraphic gif;
    Build(gif.Image(), 1);
    gif.Image().AnimationSpeed = 25;  // 144 ms a frame: time for the widget to paint each
    GifView view(gif);
    view.show();
    ASSERT_TRUE(Until([&] { return gif.Painter(&view) && !gif.Painter(&view)->Playing(); }));
    ASSERT_TRUE(Until([&] { return view.shown == qRgb(0, 0, 255); })) << "the last frame is shown";
    // A machine under load may paint two frames' updates as one: the colours
    // come in play order, from the first frame to the last.
    const std::vector<QRgb> order{qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)};
    ASSERT_GE(view.history.size(), 2u);
    EXPECT_EQ(view.history.front(), order.front());
    EXPECT_TRUE(std::includes(order.begin(), order.end(), view.history.begin(), view.history.end(),
                              [&](QRgb a, QRgb b) {
                                  return std::find(order.begin(), order.end(), a) < std::find(order.begin(), order.end(), b);
                              }));
    EXPECT_EQ(gif.Painter(&view)->ShownFrame(), 2);
    EXPECT_FALSE(gif.Painter(&view)->StoppedEarly());
}

// Two widgets showing one picture: each plays the whole animation at its
// pace, with about one paint a frame, instead of restarting the other's at
// every paint (which painted thousands of times and stayed on the first frame).
TEST(GifWidget, TwoWidgetsShowingOnePictureBothPlayIt) {
    test::EnsureGuiApp();
    TGIFGraphic gif;
    Build(gif.Image(), 1);
    gif.Image().AnimationSpeed = 25;
    GifView left(gif), right(gif);
    left.show();
    right.show();
    const QRgb last = qRgb(0, 0, 255);
    constexpr int kStorm = 200;
    ASSERT_TRUE(Until([&] {
        return (left.shown == last && right.shown == last) || left.paints > kStorm || right.paints > kStorm;
    }));
    for (const GifView* view : {&left, &right}) {
        EXPECT_EQ(view->history.front(), qRgb(255, 0, 0));
        EXPECT_EQ(view->shown, last);
        // Three frames, the first painted on showing and once more when its
        // painter starts; a few more where the platform repaints on its own.
        EXPECT_LE(view->paints, 12);
        ASSERT_NE(gif.Painter(view), nullptr);
        EXPECT_EQ(gif.Painter(view)->ShownFrame(), 2);
    }
    EXPECT_NE(gif.Painter(&left), gif.Painter(&right));
}

TEST(GifWidget, ClosingOrDeletingTheWidgetStopsIt) {
    test::EnsureGuiApp();
    TGIFGraphic gif;
    Build(gif.Image(), 0);
    auto view = std::make_unique<GifView>(gif);
    view->show();
    const auto playing = [&] { return gif.Painter(view.get()); };
    ASSERT_TRUE(Until([&] { return playing() && playing()->ShownFrame() == 2; })) << "it plays";
    view->close();
    EXPECT_FALSE(playing()->Playing());
    EXPECT_FALSE(playing()->TimerActive());
    view->show();
    ASSERT_TRUE(Until([&] { return playing() && playing()->Playing(); })) << "shown again, it plays again";
    TGIFPainter* painter = playing();
    view.reset();
    EXPECT_FALSE(painter->Playing());
    EXPECT_EQ(painter->Target(), nullptr);
    EXPECT_FALSE(painter->TimerActive()) << "nothing is left to draw into the freed widget";
}

}  // namespace
