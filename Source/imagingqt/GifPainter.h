#pragma once
// An animated GIF playing into a rectangle of a target object (a widget or
// a window) on the GUI thread: a single-shot QTimer waits each frame's time,
// read from a monotonic clock that tests replace. Each frame is composed on
// the logical screen (disposal, transparency) and stretched into the
// rectangle as a picture the target paints from; the painter asks the target
// to repaint the rectangle and never draws into it itself.
//
// The target going away or being hidden (its window closed) stops playing at
// once; the painter keeps only a guarded pointer to it.
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>

#include "gif/GifCompose.h"
#include "gif/GifPlayback.h"

namespace velto {

// Milliseconds of a monotonic clock.
using TMonotonicClock = std::function<std::int64_t()>;
// The clock new painters read: a QElapsedTimer started at first use. Tests
// put a clock of their own here.
TMonotonicClock& GIFPainterClock();

// The frame's pixels of canvas stretched into a picture of size w x h by the
// nearest source pixel; transparent where the canvas is. Empty for a side of 0.
QImage StretchGIFCanvas(const TGIFCanvas& canvas, int w, int h);
// The canvas repeated unscaled over a picture of size w x h from its top-left.
QImage TileGIFCanvas(const TGIFCanvas& canvas, int w, int h);

class TGIFPainter : public QObject {
public:
    // Plays image into rect of target with the draw options at speed
    // percent: frames stretched into rect (tiled with drTile), transparent
    // pixels left transparent with drTransparent (else the background colour
    // shows), every pass from the background with drClearOnPass. The GUI
    // thread plays either way; drAsync chooses the timing rules (see
    // TGIFPlayback). Nothing happens before Start. image must outlive the painter.
    TGIFPainter(const TGIFImage& image, QObject* target, const QRect& rect, std::uint16_t options,
                std::int32_t speed);
    ~TGIFPainter() override;

    // Shows the first frame at once and plays on; also restarts.
    void Start();
    // Ends playing; the frame shown stays in Picture().
    void Stop();
    // The step the timer takes when the wait is over: the next frame. Tests
    // with a clock of their own call it instead of waiting for the timer.
    void Tick();

    bool Playing() const { return fPlayback.Playing(); }
    // Stop ended it before its last pass was over (a target hidden or gone).
    bool StoppedEarly() const { return fStoppedEarly; }
    // The frame shown last; -1 when none is.
    int ShownFrame() const { return fShown; }
    int ActiveImage() const { return fPlayback.ActiveImage(); }
    // The wait planned before the next frame (ms); -1 when nothing is planned.
    std::int64_t PlannedWait() const { return fPlanned; }
    bool TimerActive() const { return fTimer.isActive(); }
    // The rectangle's picture of the frame shown (ARGB32, transparent where
    // the screen is), to be drawn at Rect().topLeft().
    const QImage& Picture() const { return fPicture; }
    QObject* Target() const { return fTarget.data(); }
    const QRect& Rect() const { return fRect; }
    std::uint16_t Options() const { return fOptions; }

    TMonotonicClock Clock;
    // Asks the target to repaint the rectangle; by default its update() (a
    // widget's) or requestUpdate() (a window's) is called.
    std::function<void(const QRect&)> Invalidate;
    // Copied from the image's owner; the painter is the sender.
    std::function<void(TGIFPainter&)> OnPaintStart, OnFramePaint, OnFramePainted, OnLoopStart, OnPaintEnd;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void PaintFrame(int index);
    void Plan(std::int64_t wait);
    void Fire(const std::function<void(TGIFPainter&)>& event);

    const TGIFImage* fImage;
    QPointer<QObject> fTarget;
    bool fHadTarget = false;
    QRect fRect;
    std::uint16_t fOptions;
    TGIFPlayback fPlayback;
    TGIFComposer fComposer;
    QTimer fTimer;
    QImage fPicture;
    int fShown = -1;
    std::int64_t fPlanned = -1;
    bool fStoppedEarly = false;
};

}  // namespace velto
