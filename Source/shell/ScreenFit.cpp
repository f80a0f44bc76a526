#include "ScreenFit.h"

#include <QApplication>
#include <QDialog>
#include <QLayout>
#include <QScreen>
#include <QShowEvent>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace velto {

namespace {

// A title bar and borders as window managers draw them, in the screen's own
// pixels (the program's scale factor does not enlarge them).
constexpr int kTitleBarPixels = 32;
constexpr int kBorderPixels = 8;

int Logical(int devicePixels, qreal ratio) {
    return static_cast<int>(std::ceil(devicePixels / std::max(ratio, qreal(1))));
}

}  // namespace

QMargins FrameAllowance(const QWidget* window) {
    const QRect frame = window->frameGeometry(), client = window->geometry();
    const qreal ratio = window->devicePixelRatioF();
    const int border = Logical(kBorderPixels, ratio);
    return {std::max(client.left() - frame.left(), border),
            std::max(client.top() - frame.top(), Logical(kTitleBarPixels, ratio)),
            std::max(frame.right() - client.right(), border), std::max(frame.bottom() - client.bottom(), border)};
}

QRect ScreenRoom(const QWidget* window) {
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

QRect FitClientGeometry(const QRect& client, const QMargins& frame, const QSize& minimum, const QRect& room) {
    const int extraW = frame.left() + frame.right(), extraH = frame.top() + frame.bottom();
    const int w = std::max(std::min(client.width(), room.width() - extraW), minimum.width());
    const int h = std::max(std::min(client.height(), room.height() - extraH), minimum.height());
    // The frame's top-left corner, kept inside the room as far as the size allows.
    const int fx = std::max(room.left(), std::min(client.left() - frame.left(), room.right() + 1 - (w + extraW)));
    const int fy = std::max(room.top(), std::min(client.top() - frame.top(), room.bottom() + 1 - (h + extraH)));
    return {fx + frame.left(), fy + frame.top(), w, h};
}

void FitToScreen(QWidget* window) {
    const QRect room = ScreenRoom(window);
    if (room.isEmpty()) return;
    const QMargins frame = FrameAllowance(window);
    // Parts the window sized in its own show handling count.
    if (QLayout* layout = window->layout()) layout->activate();
    const QSize minimum = window->minimumSize().expandedTo(window->minimumSizeHint());
    const QRect client = window->geometry();
    QRect fitted = FitClientGeometry(client, frame, minimum, room);
    if (fitted.size() != client.size()) {
        // Made smaller about the centre it was placed at.
        QRect centred(QPoint(), fitted.size());
        centred.moveCenter(client.center());
        fitted = FitClientGeometry(centred, frame, minimum, room);
        window->resize(fitted.size());
    }
    // A window is moved by its frame's corner: by the frame it has, or, not
    // known yet, by the allowance (a thinner frame then only leaves room).
    if (fitted.topLeft() == client.topLeft()) return;
    const QRect outer = window->frameGeometry();
    const QPoint known(client.left() - outer.left(), client.top() - outer.top());
    window->move(fitted.topLeft() - (outer != client ? known : QPoint(frame.left(), frame.top())));
}

TScreenFitter::TScreenFitter(QObject* owner) : QObject(owner) {
    if (qApp) qApp->installEventFilter(this);
}

TScreenFitter::~TScreenFitter() {
    if (qApp) qApp->removeEventFilter(this);
}

bool TScreenFitter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Show || watched == showing_ || event->spontaneous()) return false;
    auto* dialog = qobject_cast<QDialog*>(watched);
    // Frameless windows (the capture outline) are placed by their callers.
    if (!dialog || !dialog->isWindow() || dialog->windowFlags().testFlag(Qt::FramelessWindowHint)) return false;
    // The dialog handles its showing first (it may size parts of itself to
    // the screen); the window is fitted after that, before it appears.
    QObject* const outer = showing_;
    showing_ = watched;
    QCoreApplication::sendEvent(watched, event);
    showing_ = outer;
    FitToScreen(dialog);
    return true;
}

}  // namespace velto
