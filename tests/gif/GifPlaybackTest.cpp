// Playing an animation with a clock of the test's own: frame order, passes
// and loop counts, the waits of every kind of delay, speed and overrun, the
// order of the events, stopping, and a handler that picks the next frame.
#include "GifTestUtil.h"
#include "gif/GifPlayback.h"

using namespace giftest;

namespace {

// An animation of `delays.size()` 2 x 2 frames with those delays (-1: no
// graphic control extension); a loop extension on frame loopFrame when loops >= 0.
void Build(TGIFImage& gif, const std::vector<int>& delays, int loops = -1, int loopFrame = 0) {
    for (int i = 0; i < 4; ++i) gif.GlobalColorMap().Add(MakeColor(std::uint8_t(i * 60), 0, 0));
    for (std::size_t i = 0; i < delays.size(); ++i) {
        TGIFSubImage& f = AddFrame(gif, 0, 0, 2, 2, 0, delays[i] < 0 ? -1 : 1, -1, false,
                                   std::uint16_t(std::max(delays[i], 0)));
        if (loops >= 0 && int(i) == loopFrame) f.Extensions().Add<TGIFAppExtNSLoop>().Loops = std::uint16_t(loops);
    }
}

// Plays with a clock that moves on by each wait plus `late` ms; the frames
// painted and the waits returned, up to `limit` frames.
struct Played {
    std::vector<int> frames;
    std::vector<std::int64_t> waits;
};
Played Play(const TGIFImage& gif, std::uint16_t options, int speed, int limit = 40, std::int64_t late = 0) {
    Played run;
    std::int64_t now = 1000;
    TGIFPlayback p(gif, options, speed);
    p.Clock = [&] { return now; };
    p.Paint = [&](int i) { run.frames.push_back(i); };
    std::int64_t wait = p.Start();
    while (wait != TGIFPlayback::kEnded && wait != TGIFPlayback::kForever && int(run.frames.size()) < limit) {
        run.waits.push_back(wait);
        now += wait + late;
        wait = p.Next();
    }
    if (wait == TGIFPlayback::kForever) run.waits.push_back(wait);
    return run;
}

constexpr std::uint16_t kDefault = 0x060F;  // what an image draws with
using Frames = std::vector<int>;
using Waits = std::vector<std::int64_t>;

TEST(GifPlayback, DelaysBecomeWaits) {
    struct Case {
        int delay;
        std::int64_t wait;
        const char* why;
    };
    const Case cases[] = {
        {-1, 120, "no extension: 10 hundredths"},  {0, 120, "0 plays as 10 hundredths"},
        {1, 36, "1 is raised to 3"},               {2, 36, "2 is raised to 3"},
        {3, 36, "12 ms a hundredth"},              {50, 600, ""},
        {5000, 60000, "no upper bound while the GUI keeps running"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        TGIFImage gif;
        Build(gif, {c.delay, c.delay});
        const Played run = Play(gif, kDefault, 100);
        EXPECT_EQ(run.frames, (Frames{0, 1}));
        EXPECT_EQ(run.waits, (Waits{c.wait})) << c.delay;
    }
}

TEST(GifPlayback, SpeedAndOverrun) {
    TGIFImage gif;
    Build(gif, {10, 20, 30});
    EXPECT_EQ(Play(gif, kDefault, 100).waits, (Waits{120, 240}));
    EXPECT_EQ(Play(gif, kDefault, 200).waits, (Waits{60, 120})) << "speed 200 halves";
    EXPECT_EQ(Play(gif, kDefault, 30).waits, (Waits{400, 800})) << "120 x 100 / 30";
    EXPECT_EQ(Play(gif, kDefault, 0).waits, (Waits{TGIFPlayback::kForever})) << "speed 0 waits until stopped";
    EXPECT_EQ(Play(gif, kDefault, -5).frames, (Frames{0}));
    // Every wait ends 20 ms late: half of it comes off the next wait.
    EXPECT_EQ(Play(gif, kDefault, 100, 40, 20).waits, (Waits{120, 230}));
    EXPECT_EQ(Play(gif, kDefault, 200, 40, 20).waits, (Waits{60, 115})) << "the overrun is scaled too";
}

TEST(GifPlayback, WaitArithmetic) {
    std::int64_t w = 0;
    EXPECT_TRUE(GIFPlayWait(10, 0, 300, w));
    EXPECT_EQ(w, 40);
    EXPECT_TRUE(GIFPlayWait(1, 0, 8, w));
    EXPECT_EQ(w, 150) << "12 x 100 / 8";
    EXPECT_TRUE(GIFPlayWait(1, 0, 7, w));
    EXPECT_EQ(w, 171) << "171.43 rounds down";
    EXPECT_TRUE(GIFPlayWait(1, 0, 16, w));
    EXPECT_EQ(w, 75);
    EXPECT_TRUE(GIFPlayWait(1, 0, 32, w));
    EXPECT_EQ(w, 38) << "37.5 rounds away from zero";
    EXPECT_TRUE(GIFPlayWait(1, 15, 32, w));
    EXPECT_EQ(w, -9) << "-9.375: a late timer may owe time";
    EXPECT_TRUE(GIFPlayWait(65535, 0, 1, w));
    EXPECT_EQ(w, 78642000) << "the longest delay at the lowest speed still fits";
    EXPECT_FALSE(GIFPlayWait(10, -30000000, 1, w));
    EXPECT_EQ(w, 12000) << "beyond 32 bits waits 12 s";
    EXPECT_FALSE(GIFPlayWait(10, std::int64_t(1) << 40, 100, w));
}

TEST(GifPlayback, PassesAndLoopCounts) {
    struct Case {
        const char* name;
        int loops, loopFrame;
        std::uint16_t options;
        Frames frames;
    };
    const std::uint16_t once = kDefault & ~drLoop;
    const Case cases[] = {
        {"no loop extension plays once even with drLoop", -1, 0, kDefault, {0, 1, 2}},
        {"three passes", 3, 0, kDefault, {0, 1, 2, 0, 1, 2, 0, 1, 2}},
        {"one pass", 1, 0, kDefault, {0, 1, 2}},
        {"later passes start at the loop's frame", 2, 1, kDefault, {0, 1, 2, 1, 2}},
        {"0 plays without end", 0, 0, kDefault, {0, 1, 2, 0, 1, 2, 0, 1, 2, 0}},
        {"drLoopForever ignores the count", 2, 0, kDefault | drLoopForever, {0, 1, 2, 0, 1, 2, 0, 1, 2, 0}},
        {"without drLoop one pass", 3, 0, once, {0, 1, 2}},
        {"without drAnimate the first frame only", 3, 0, std::uint16_t(kDefault & ~drAnimate), {0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TGIFImage gif;
        Build(gif, {4, 4, 4}, c.loops, c.loopFrame);
        EXPECT_EQ(Play(gif, c.options, 100, 10).frames, c.frames);
    }
}

TEST(GifPlayback, EmptyFramesEndAPass) {
    TGIFImage gif;
    Build(gif, {4, 4, 4}, 2);
    auto empty = std::make_unique<TGIFSubImage>(gif);
    empty->Extensions().Add<TGIFCommentExtension>();
    gif.Images().Add(std::move(empty));
    Build(gif, {4});
    EXPECT_EQ(Play(gif, kDefault, 100).frames, (Frames{0, 1, 2, 0, 1, 2}));
    TGIFImage none;
    EXPECT_EQ(Play(none, kDefault, 100).frames, Frames{});
}

TEST(GifPlayback, EventsStopAndChoice) {
    TGIFImage gif;
    Build(gif, {4, 4}, 2);
    std::int64_t now = 0;
    std::string log;
    TGIFPlayback p(gif, kDefault, 100);
    p.Clock = [&] { return now; };
    p.Paint = [&](int i) { log += std::to_string(i); };
    p.OnPaintStart = [&] { log += "S"; };
    p.OnFramePaint = [&] { log += "<"; };
    p.OnFramePainted = [&] { log += ">"; };
    p.OnLoopStart = [&] { log += "L"; };
    p.OnPaintEnd = [&] { log += "E"; };
    while (p.Start() != TGIFPlayback::kEnded && p.Next() != TGIFPlayback::kEnded && p.Next() != TGIFPlayback::kEnded &&
           p.Next() != TGIFPlayback::kEnded) {
    }
    EXPECT_EQ(log, "S<0><1>L<0><1>E");
    EXPECT_FALSE(p.Playing());
    EXPECT_EQ(p.ActiveImage(), -1);

    log.clear();
    EXPECT_EQ(p.Start(), 48);
    EXPECT_EQ(p.ActiveImage(), 1) << "the frame Next shows";
    p.Stop();
    p.Stop();
    EXPECT_EQ(p.Next(), TGIFPlayback::kEnded);
    EXPECT_EQ(log, "S<0>E") << "one end, nothing painted after a stop";

    log.clear();
    int jumps = 0;
    p.OnFramePaint = nullptr;
    p.OnFramePainted = [&] {
        if (p.ActiveImage() == 1 && jumps++ == 0) p.SetActiveImage(0);  // once back from frame 1 to 0
    };
    for (std::int64_t w = p.Start(); w != TGIFPlayback::kEnded; w = p.Next()) {
    }
    EXPECT_EQ(log, "S0101L01E");

    log.clear();
    p.OnFramePaint = nullptr;
    p.OnFramePainted = [&] { p.Stop(); };
    EXPECT_EQ(p.Start(), TGIFPlayback::kEnded) << "a handler that stops";
    EXPECT_EQ(log, "S0E");
}

}  // namespace
