// An animation playing on the GUI thread, with a clock of the test's own:
// the frames in order with their disposals as the target sees them, the
// waits of their delays, loop counts, speed, stop, a target deleted or its
// window closed while playing, one painter per target and rectangle, and a
// short animation played to its end by the real timer.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>
#include <QWindow>

#include <memory>

#include "../gif/GifTestUtil.h"
#include "imagingqt/GifGraphic.h"
#include "GuiTestApp.h"

using namespace giftest;

namespace {

// A 2 x 1 screen, map 0 red, 1 green, 2 blue. Frames: red over both pixels
// (disposal `first`), green on the right pixel (restore to previous), blue
// on the left pixel; delays 10, 20, 30 hundredths.
void Build(TGIFImage& gif, int first = 1, int loops = -1) {
    for (TColor c : {MakeColor(255, 0, 0), MakeColor(0, 255, 0), MakeColor(0, 0, 255)}) gif.GlobalColorMap().Add(c);
    auto add = [&](int left, int w, std::uint8_t index, int disposal, std::uint16_t delay) -> TGIFSubImage& {
        auto f = std::make_unique<TGIFSubImage>(gif);
        f->SetBounds(left, 0, w, 1);
        std::fill(f->Data(), f->Data() + f->DataSize(), index);
        auto& gce = f->Extensions().Add<TGIFGraphicControlExtension>();
        gce.SetDisposal(std::uint8_t(disposal));
        gce.Delay = delay;
        return gif.Images()[gif.Images().Add(std::move(f))];
    };
    TGIFSubImage& f0 = add(0, 2, 0, first, 10);
    if (loops >= 0) f0.Extensions().Add<TGIFAppExtNSLoop>().Loops = std::uint16_t(loops);
    add(1, 1, 1, 3, 20);
    add(0, 1, 2, 1, 30);
}

// The picture as letters: r g b, '.' transparent.
std::string Seen(const QImage& img) {
    std::string s;
    for (int x = 0; x < img.width(); ++x) {
        const QRgb p = img.pixel(x, 0);
        s += qAlpha(p) == 0 ? '.' : p == qRgb(255, 0, 0) ? 'r' : p == qRgb(0, 255, 0) ? 'g' : p == qRgb(0, 0, 255) ? 'b' : '?';
    }
    return s;
}

// A painter on a clock the test moves; records what the target is asked to show.
struct Fixture : ::testing::Test {
    void SetUp() override {
        velto::test::EnsureGuiApp();
        saved = GIFPainterClock();
        GIFPainterClock() = [this] { return now; };
    }
    void TearDown() override { GIFPainterClock() = saved; }
    std::unique_ptr<TGIFPainter> Make(const TGIFImage& gif, QObject* target, std::uint16_t options = 0x060F,
                                      int speed = 100) {
        auto p = std::make_unique<TGIFPainter>(gif, target, QRect(0, 0, 2, 1), options, speed);
        p->Invalidate = [this, raw = p.get()](const QRect&) { seen.push_back(Seen(raw->Picture())); };
        return p;
    }
    // The planned wait passes (plus `late` ms) and the timer's step is taken.
    void Pass(TGIFPainter& p, std::int64_t late = 0) {
        ASSERT_TRUE(p.TimerActive());
        waits.push_back(p.PlannedWait());
        now += p.PlannedWait() + late;
        p.Tick();
    }
    std::int64_t now = 5000;
    TMonotonicClock saved;
    std::vector<std::string> seen;
    std::vector<std::int64_t> waits;
    QObject target;
};

using GifPainterPlay = Fixture;

TEST_F(GifPainterPlay, FramesDisposalsAndDelays) {
    TGIFImage gif;
    Build(gif, 1, 2);
    auto p = Make(gif, &target);
    p->Start();
    while (p->Playing()) Pass(*p);
    // Frame 1's area is restored after it; frame 2 then draws on red.
    EXPECT_EQ(seen, (std::vector<std::string>{"rr", "rg", "br", "rr", "rg", "br"}));
    EXPECT_EQ(waits, (std::vector<std::int64_t>{120, 240, 360, 120, 240}));
    EXPECT_EQ(p->ShownFrame(), 2);
    EXPECT_FALSE(p->TimerActive());

    seen.clear();
    TGIFImage cleared;
    Build(cleared, 2);
    auto q = Make(cleared, &target);
    q->Start();
    while (q->Playing()) Pass(*q);
    EXPECT_EQ(seen, (std::vector<std::string>{"rr", ".g", "b."})) << "frame 0 restored to the background";
}

TEST_F(GifPainterPlay, ClearOnPassTileAndOpaqueBackground) {
    TGIFImage gif;
    for (TColor c : {MakeColor(255, 0, 0), MakeColor(0, 255, 0), MakeColor(0, 0, 255)}) gif.GlobalColorMap().Add(c);
    gif.Header().BackgroundColorIndex = 2;
    AddFrame(gif, 0, 0, 1, 1, 0, 1).SetPixels(0, 0, 0);
    AddFrame(gif, 1, 0, 1, 1, 0, 1).SetPixels(0, 0, 1);
    gif.Images()[0].Extensions().Add<TGIFAppExtNSLoop>().Loops = 2;
    auto played = [&](std::uint16_t options) {
        seen.clear();
        auto p = Make(gif, &target, options);
        p->Start();
        while (p->Playing()) Pass(*p);
        return seen;
    };
    EXPECT_EQ(played(0x060F), (std::vector<std::string>{"r.", "rg", "rg", "rg"}));
    EXPECT_EQ(played(0x060F | drClearOnPass), (std::vector<std::string>{"r.", "rg", "r.", "rg"}));
    EXPECT_EQ(played(0x060F & ~drTransparent), (std::vector<std::string>{"rb", "rg", "rg", "rg"}))
        << "the header's background colour";
    TGIFComposer c(gif);
    c.Compose(1);
    EXPECT_EQ(Seen(TileGIFCanvas(c.Canvas(), 5, 1)), "rgrgr");
    EXPECT_EQ(Seen(StretchGIFCanvas(c.Canvas(), 5, 1)), "rrrgg");
}

TEST_F(GifPainterPlay, SpeedOverrunAndEndlessLoops) {
    TGIFImage gif;
    Build(gif, 1, 0);
    auto p = Make(gif, &target, 0x060F, 200);
    p->Start();
    for (int i = 0; i < 7; ++i) Pass(*p, i == 1 ? 40 : 0);
    EXPECT_TRUE(p->Playing()) << "a loop count of 0 plays on";
    EXPECT_EQ(waits, (std::vector<std::int64_t>{60, 120, 170, 60, 120, 180, 60})) << "halved; 40 late takes 20 ms x 100/200 off";
    EXPECT_EQ(seen.size(), 8u);
    p->Stop();
    EXPECT_FALSE(p->Playing());
    EXPECT_FALSE(p->TimerActive());
    EXPECT_EQ(p->PlannedWait(), -1);
    p->Tick();
    EXPECT_EQ(seen.size(), 8u) << "nothing after a stop";

    auto still = Make(gif, &target, 0x060F, 0);
    seen.clear();
    still->Start();
    EXPECT_EQ(seen, std::vector<std::string>{"rr"});
    EXPECT_TRUE(still->Playing());
    EXPECT_FALSE(still->TimerActive()) << "speed 0 waits until stopped";
}

TEST_F(GifPainterPlay, EventsReachTheOwner) {
    TGIFImage gif;
    Build(gif);
    auto p = Make(gif, &target);
    std::string log;
    p->OnPaintStart = [&](TGIFPainter&) { log += "S"; };
    p->OnFramePainted = [&](TGIFPainter& sender) { log += std::to_string(sender.ShownFrame()); };
    p->OnPaintEnd = [&](TGIFPainter&) { log += "E"; };
    p->Start();
    while (p->Playing()) Pass(*p);
    EXPECT_EQ(log, "S012E");
}

TEST_F(GifPainterPlay, TargetDeletedWhilePlaying) {
    TGIFImage gif;
    Build(gif, 1, 0);
    auto doomed = std::make_unique<QObject>();
    auto p = Make(gif, doomed.get());
    p->Start();
    Pass(*p);
    ASSERT_TRUE(p->Playing());
    doomed.reset();
    EXPECT_FALSE(p->Playing());
    EXPECT_FALSE(p->TimerActive());
    EXPECT_EQ(p->Target(), nullptr);
    p->Tick();
    EXPECT_EQ(seen.size(), 2u) << "nothing is shown for a target that is gone";
}

TEST_F(GifPainterPlay, WindowClosedWhilePlaying) {
    TGIFImage gif;
    Build(gif, 1, 0);
    QWindow window;
    window.resize(20, 20);
    window.show();
    auto p = Make(gif, &window);
    p->Start();
    Pass(*p);
    window.close();
    EXPECT_FALSE(p->Playing());
    EXPECT_FALSE(p->TimerActive());
    EXPECT_TRUE(p->StoppedEarly());
}

TEST_F(GifPainterPlay, AWindowShownAgainPlaysAgain) {
    TGIFGraphic g;
    Build(g.Image(), 1, 0);
    QWindow window;
    window.resize(20, 20);
    window.show();
    QImage device(2, 1, QImage::Format_ARGB32);
    device.fill(Qt::transparent);
    QPainter painter(&device);
    g.Draw(painter, QRect(0, 0, 2, 1), &window);
    ASSERT_NE(g.Painter(&window), nullptr);
    window.hide();
    EXPECT_FALSE(g.Painter(&window)->Playing());
    window.show();
    g.Draw(painter, QRect(0, 0, 2, 1), &window);
    EXPECT_TRUE(g.Painter(&window)->Playing());
    EXPECT_FALSE(g.Painter(&window)->StoppedEarly());
}

TEST_F(GifPainterPlay, OnePainterPerTargetAndRectangle) {
    TGIFGraphic g;
    Build(g.Image(), 1, 0);
    QImage device(4, 2, QImage::Format_ARGB32);
    device.fill(Qt::transparent);
    QPainter painter(&device);
    g.Draw(painter, QRect(0, 0, 2, 1), &target);
    TGIFPainter* first = g.Painter(&target);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->Playing());
    first->Invalidate = [](const QRect&) {};
    now += first->PlannedWait();
    first->Tick();
    g.Draw(painter, QRect(0, 0, 2, 1), &target);
    EXPECT_EQ(g.Painter(&target), first) << "the same target and rectangle keep their painter";
    painter.end();
    EXPECT_EQ(Seen(device), "rg..") << "the frame playing";
    QPainter again(&device);
    g.Draw(again, QRect(0, 1, 4, 1), &target);
    ASSERT_NE(g.Painter(&target), nullptr);
    EXPECT_EQ(g.Painter(&target)->Rect(), QRect(0, 1, 4, 1)) << "another rectangle: a new painter from frame 0";
    EXPECT_EQ(g.Painter(&target)->ShownFrame(), 0);
    g.Draw(again, QRect(0, 0, 2, 1), nullptr);
    ASSERT_NE(g.Painter(nullptr), nullptr);
    EXPECT_FALSE(g.Painter(nullptr)->Playing()) << "without a target the first frame only";
    g.StopDraw();
    EXPECT_EQ(g.Painter(&target), nullptr);
    EXPECT_EQ(g.PainterCount(), 0);
}

// One picture drawn into two targets (two widgets showing it): each plays
// on its own painter, and drawing into one neither restarts nor stops the
// other's. The painter of a target that went is let go.
TEST_F(GifPainterPlay, EachTargetPlaysOnItsOwnPainter) {
    TGIFGraphic g;
    Build(g.Image(), 1, 0);
    QObject other;
    QImage device(2, 1, QImage::Format_ARGB32);
    device.fill(Qt::transparent);
    QPainter painter(&device);
    const QRect rect(0, 0, 2, 1);
    g.Draw(painter, rect, &target);
    TGIFPainter* mine = g.Painter(&target);
    ASSERT_NE(mine, nullptr);
    now += mine->PlannedWait();
    mine->Tick();
    ASSERT_EQ(mine->ShownFrame(), 1);

    g.Draw(painter, rect, &other);
    TGIFPainter* theirs = g.Painter(&other);
    ASSERT_NE(theirs, nullptr);
    EXPECT_NE(theirs, mine);
    EXPECT_EQ(theirs->ShownFrame(), 0);
    for (int i = 0; i < 3; ++i) {
        g.Draw(painter, rect, &target);
        g.Draw(painter, rect, &other);
    }
    EXPECT_EQ(g.Painter(&target), mine) << "turns of the two targets keep both painters";
    EXPECT_EQ(g.Painter(&other), theirs);
    EXPECT_EQ(mine->ShownFrame(), 1);
    EXPECT_TRUE(mine->Playing());
    EXPECT_TRUE(theirs->Playing());
    EXPECT_EQ(g.PainterCount(), 2);

    {
        QObject gone;
        g.Draw(painter, rect, &gone);
        EXPECT_EQ(g.PainterCount(), 3);
    }
    QObject later;
    g.Draw(painter, rect, &later);
    EXPECT_EQ(g.PainterCount(), 3) << "the painter of the target that went is gone";
    EXPECT_EQ(g.Painter(&target), mine);
    g.StopDraw();
    EXPECT_EQ(g.PainterCount(), 0);
}

// The real timer and clock: frames with the shortest delay (36 ms) play to
// the end of their two passes; the test waits for the end itself.
TEST(GifPainterTimer, PlaysToTheEnd) {
    velto::test::EnsureGuiApp();
    TGIFImage gif;
    Build(gif, 1, 2);
    for (int i = 0; i < 3; ++i) gif.Images()[i].GraphicControlExtension()->Delay = 1;
    QObject target;
    TGIFPainter p(gif, &target, QRect(0, 0, 2, 1), 0x060F, 100);
    std::vector<int> frames;
    p.Invalidate = [&](const QRect&) { frames.push_back(p.ShownFrame()); };
    QElapsedTimer clock;
    clock.start();
    p.Start();
    while (p.Playing() && clock.elapsed() < 60000) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_FALSE(p.Playing());
    EXPECT_EQ(frames, (std::vector<int>{0, 1, 2, 0, 1, 2}));
    EXPECT_GE(clock.elapsed(), 5 * 36 - 10) << "five waits of 36 ms, give or take the overrun taken off";
}

}  // namespace
