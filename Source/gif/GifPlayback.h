#pragma once
// The timing of an animated GIF as a player plays it, without a timer or
// thread of its own: the driver calls Start, then Next each time the wait it
// was given has passed. Each call shows one frame through Paint and returns
// how long to wait before the next. Time is read from Clock (milliseconds of
// a monotonic clock; tests give their own).
//
// Timing: a frame shows for its delay (hundredths of a second; 0 or no delay
// is 10, below 3 is 3) played at 12 ms a hundredth, scaled by 100 / Speed.
// Half of the time the previous wait overran is taken off the next one.
// Speed 0 or below waits until stopped.
//
// Passes: the first loop extension met sets how many passes play (0 plays
// without end) and later passes start at the frame that carries it; without
// one a single pass plays. drAnimate plays every frame (else only frame 0),
// drLoop allows more than one pass, drLoopForever ignores the count.
#include <cstdint>
#include <functional>
#include <limits>

#include "gif/GifImage.h"

namespace velto {

class TGIFPlayback {
public:
    // Returned by Start and Next.
    static constexpr std::int64_t kEnded = -1;  // nothing more to play
    static constexpr std::int64_t kForever = std::numeric_limits<std::int64_t>::max();

    // The image must outlive the playback and keep its frames while it plays.
    TGIFPlayback(const TGIFImage& image, std::uint16_t options, std::int32_t speed);

    // Milliseconds of a monotonic clock; must be set before Start.
    std::function<std::int64_t()> Clock;
    // Shows frame index (composing the screen with disposals is the
    // driver's business). Called for every frame in play order.
    std::function<void(int index)> Paint;
    // Fired before the first pass, before each frame is painted, after it
    // (OnFramePainted may change ActiveImage to choose the next frame), at
    // the start of every later pass, and when playing ends (also by Stop).
    std::function<void()> OnPaintStart, OnFramePaint, OnFramePainted, OnLoopStart, OnPaintEnd;

    // Starts from the beginning (also when playing): shows the first frame.
    // The wait in milliseconds before Next, or kEnded.
    std::int64_t Start();
    // Shows the next frame; the wait before the following one, or kEnded.
    // After the end it does nothing and returns kEnded.
    std::int64_t Next();
    // Ends playing (the frame shown stays); OnPaintEnd once.
    void Stop();

    // While a frame is painted and in OnFramePainted: that frame; between
    // calls: the frame Next shows; -1 before Start and after the end.
    int ActiveImage() const { return fActive; }
    void SetActiveImage(int index) { fActive = index; }
    bool Playing() const { return fPlaying; }
    // Passes still to play after the current one counts down (0 on the last).
    int LoopCounter() const { return fLoopCounter; }
    bool Endless() const { return fEndless; }

private:
    // Paints frame fActive and plans the wait after it; kEnded when that was
    // the last frame to play.
    std::int64_t PaintCurrent();
    // Moves fActive to the frame to play next (a new pass when a pass ended);
    // false when playing is over.
    bool Advance();
    void End();

    const TGIFImage* fImage;
    std::uint16_t fOptions;
    std::int32_t fSpeed;
    bool fPlaying = false;
    bool fStarted = false;  // a frame was painted in this run
    int fActive = -1;
    int fLoopCounter = 1;
    bool fEndless = false;
    int fLoopStart = 0;
    bool fLoopSeen = false;
    int fDelay = 0;  // hundredths, of the frame shown
    std::int64_t fLastTime = 0, fLastWait = 0;
};

// The wait in milliseconds for a delay in hundredths at speed (percent), with
// the overrun of the previous wait already halved: delay x 12 - overrun
// scaled by 100 / speed, rounded half away from zero; kForever for speed 0 or
// less. False, with a wait of 12 s, when the numbers leave 32 bits.
bool GIFPlayWait(int delay, std::int64_t overrun, std::int32_t speed, std::int64_t& wait);

}  // namespace velto
