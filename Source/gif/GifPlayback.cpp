// Frame order, passes and waits of a playing GIF.
#include "gif/GifPlayback.h"

namespace velto {

namespace {

void Fire(const std::function<void()>& event) {
    if (event) event();
}

constexpr std::int64_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();

}  // namespace

bool GIFPlayWait(int delay, std::int64_t overrun, std::int32_t speed, std::int64_t& wait) {
    if (speed <= 0) {
        wait = TGIFPlayback::kForever;
        return true;
    }
    const std::int64_t time = static_cast<std::int64_t>(delay) * GIFDelayTimeFactor - overrun;
    // Half away from zero, as the 32-bit helper of the platform rounds.
    const std::int64_t scaled = time * 100;
    std::int64_t q = scaled / speed;
    const std::int64_t r = scaled % speed;
    if (2 * (r < 0 ? -r : r) >= speed) q += scaled < 0 ? -1 : 1;
    if (time < kInt32Min || time > kInt32Max || q < kInt32Min || q > kInt32Max) {
        wait = static_cast<std::int64_t>(GIFMaximumDelay) * GIFDelayTimeFactor;
        return false;
    }
    wait = q;
    return true;
}

TGIFPlayback::TGIFPlayback(const TGIFImage& image, std::uint16_t options, std::int32_t speed)
    : fImage(&image), fOptions(options), fSpeed(speed) {}

std::int64_t TGIFPlayback::Start() {
    fPlaying = true;
    fActive = 0;
    Fire(OnPaintStart);
    fStarted = false;
    fLoopCounter = 1;
    fEndless = (fOptions & drLoopForever) != 0;
    fLoopStart = 0;
    fLoopSeen = false;
    fDelay = 0;
    fLastTime = Clock();
    fLastWait = 0;
    if (fImage->Images().Count() == 0 || fImage->Images()[0].Empty()) {
        End();
        return kEnded;
    }
    return PaintCurrent();
}

std::int64_t TGIFPlayback::Next() {
    if (!fPlaying) return kEnded;
    return PaintCurrent();
}

void TGIFPlayback::Stop() {
    if (fPlaying) End();
}

void TGIFPlayback::End() {
    fPlaying = false;
    fActive = -1;
    Fire(OnPaintEnd);
}

std::int64_t TGIFPlayback::PaintCurrent() {
    const int painted = fActive;
    const TGIFSubImage& frame = fImage->Images()[painted];
    Fire(OnFramePaint);
    if (!fLoopSeen)
        if (const auto* loop = frame.Extensions().Find<TGIFAppExtNSLoop>()) {
            fLoopSeen = true;
            fLoopCounter = loop->Loops;
            if (loop->Loops == 0) fEndless = true;
            fLoopStart = painted;
        }
    if (Paint) Paint(painted);
    fStarted = true;
    fDelay = frame.PlayDelay(false);
    Fire(OnFramePainted);
    if (!fPlaying) return kEnded;  // stopped by a handler
    if (fActive == painted) ++fActive;
    if (!Advance()) {
        End();
        return kEnded;
    }
    const std::int64_t now = Clock();
    const std::int64_t overrun = (now - fLastTime - fLastWait) / 2;
    std::int64_t wait = 0;
    fLastWait = GIFPlayWait(fDelay, overrun, fSpeed, wait) && wait != kForever ? wait : 0;
    fLastTime = now;
    return wait;
}

bool TGIFPlayback::Advance() {
    const int count = fImage->Images().Count();
    const auto playable = [&](int i) { return i >= 0 && i < count && !fImage->Images()[i].Empty(); };
    if ((fOptions & drAnimate) && playable(fActive)) return true;
    // The pass is over.
    if (fLoopCounter > 0) --fLoopCounter;
    if (!(fOptions & drAnimate) || !(fOptions & drLoop)) return false;
    if (fLoopCounter == 0 && !fEndless) return false;
    fActive = fLoopStart;
    if (!playable(fActive)) return false;
    if (fStarted) Fire(OnLoopStart);
    return true;
}

}  // namespace velto
