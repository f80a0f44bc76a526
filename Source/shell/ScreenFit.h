#pragma once
// Every dialog of the program shows whole on its screen: when it opens, it is
// made no larger than the screen's free area (never below its minimum size)
// and moved into it, with room for the window manager's frame. A dialog whose
// contents need more room than a small or scaled screen has lays them out to
// shrink or scroll; this only places the window.
#include <QMargins>
#include <QObject>
#include <QRect>
#include <QSize>

class QWidget;

namespace velto {

// The frame a window manager puts around a window, as far as this window
// knows it, and never less than a title bar and thin borders (the frame is not
// known before the first showing, and some platforms report none at all).
QMargins FrameAllowance(const QWidget* window);

// The free area (without panels and docks) of the screen the window shows on.
QRect ScreenRoom(const QWidget* window);

// Where a window of client geometry `client`, framed by `frame` and no
// smaller than `minimum`, goes so that its frame lies in `room`: shrunk to
// the room, then moved into it. A window whose minimum is larger than the
// room keeps its top-left corner (title bar and first controls) in it.
QRect FitClientGeometry(const QRect& client, const QMargins& frame, const QSize& minimum, const QRect& room);

// Resizes and moves the window by FitClientGeometry on its screen.
void FitToScreen(QWidget* window);

// Fits every dialog when it opens (after its own show handling, which may
// change its size). One per application; its owner is the main window.
class TScreenFitter : public QObject {
public:
    explicit TScreenFitter(QObject* owner);
    ~TScreenFitter() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QObject* showing_ = nullptr;  // the window whose show event is passed on now
};

}  // namespace velto
