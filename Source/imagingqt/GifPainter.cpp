// Playing an animated GIF on the GUI thread.
#include "imagingqt/GifPainter.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QPalette>

#include <algorithm>

namespace velto {

namespace {

// What the screen holds where no frame draws.
TGIFComposeOptions ComposeOptions(const TGIFImage& image, std::uint16_t options) {
    TGIFComposeOptions o;
    o.Transparent = (options & drTransparent) != 0;
    if (!o.Transparent) {
        TColor window = clWhite;
        if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
            const QColor c = QGuiApplication::palette().color(QPalette::Base);
            window = MakeColor(std::uint8_t(c.red()), std::uint8_t(c.green()), std::uint8_t(c.blue()));
        }
        o.Background = GIFBackgroundPixel(image, window);
    }
    return o;
}

// A target's repaint slot: update() of a widget (the whole widget: its
// rectangle form is no slot), requestUpdate() of a window.
void Repaint(QObject* target) {
    const QMetaObject* meta = target->metaObject();
    if (meta->indexOfMethod("update()") >= 0) QMetaObject::invokeMethod(target, "update", Qt::DirectConnection);
    else if (meta->indexOfMethod("requestUpdate()") >= 0)
        QMetaObject::invokeMethod(target, "requestUpdate", Qt::DirectConnection);
}

}  // namespace

TMonotonicClock& GIFPainterClock() {
    static TMonotonicClock clock = [] {
        static QElapsedTimer started;
        if (!started.isValid()) started.start();
        return static_cast<std::int64_t>(started.elapsed());
    };
    return clock;
}

QImage StretchGIFCanvas(const TGIFCanvas& canvas, int w, int h) {
    if (w <= 0 || h <= 0 || canvas.Width <= 0 || canvas.Height <= 0) return {};
    QImage out(w, h, QImage::Format_ARGB32);
    if (out.isNull()) return {};
    // Source column of every destination column, computed once.
    std::vector<int> columns(static_cast<std::size_t>(w));
    for (int x = 0; x < w; ++x)
        columns[static_cast<std::size_t>(x)] =
            static_cast<int>(static_cast<std::int64_t>(x) * canvas.Width / w);
    for (int y = 0; y < h; ++y) {
        const auto row = canvas.Row(static_cast<int>(static_cast<std::int64_t>(y) * canvas.Height / h));
        auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const TGIFPixel& p = row[static_cast<std::size_t>(columns[static_cast<std::size_t>(x)])];
            dst[x] = p.A ? qRgb(p.R, p.G, p.B) : 0u;
        }
    }
    return out;
}

QImage TileGIFCanvas(const TGIFCanvas& canvas, int w, int h) {
    if (w <= 0 || h <= 0 || canvas.Width <= 0 || canvas.Height <= 0) return {};
    QImage out(w, h, QImage::Format_ARGB32);
    if (out.isNull()) return {};
    for (int y = 0; y < h; ++y) {
        const auto row = canvas.Row(y % canvas.Height);
        auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const TGIFPixel& p = row[static_cast<std::size_t>(x % canvas.Width)];
            dst[x] = p.A ? qRgb(p.R, p.G, p.B) : 0u;
        }
    }
    return out;
}

TGIFPainter::TGIFPainter(const TGIFImage& image, QObject* target, const QRect& rect, std::uint16_t options,
                         std::int32_t speed)
    : Clock(GIFPainterClock()),
      fImage(&image),
      fTarget(target),
      fRect(rect),
      fOptions(options),
      fPlayback(image, options, speed),
      fComposer(image, ComposeOptions(image, options)) {
    fTimer.setSingleShot(true);
    fTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&fTimer, &QTimer::timeout, this, [this] { Tick(); });
    if (target) {
        fHadTarget = true;
        target->installEventFilter(this);
        QObject::connect(target, &QObject::destroyed, this, [this] { Stop(); });
    }
    fPlayback.Clock = [this] { return Clock(); };
    fPlayback.Paint = [this](int index) { PaintFrame(index); };
    fPlayback.OnPaintStart = [this] { Fire(OnPaintStart); };
    fPlayback.OnFramePaint = [this] { Fire(OnFramePaint); };
    fPlayback.OnFramePainted = [this] { Fire(OnFramePainted); };
    fPlayback.OnLoopStart = [this] { Fire(OnLoopStart); };
    fPlayback.OnPaintEnd = [this] { Fire(OnPaintEnd); };
}

TGIFPainter::~TGIFPainter() {
    fTimer.stop();
    // No handler of an owner that is going away runs from here.
    OnPaintEnd = nullptr;
    fPlayback.Stop();
    if (fTarget) fTarget->removeEventFilter(this);
}

void TGIFPainter::Fire(const std::function<void(TGIFPainter&)>& event) {
    if (event) event(*this);
}

void TGIFPainter::Start() {
    fTimer.stop();
    fStoppedEarly = false;
    fComposer.Reset();
    fShown = -1;
    Plan(fPlayback.Start());
}

void TGIFPainter::Stop() {
    if (fPlayback.Playing()) fStoppedEarly = true;
    fTimer.stop();
    fPlanned = -1;
    fPlayback.Stop();
}

void TGIFPainter::Tick() {
    fTimer.stop();
    if (!fPlayback.Playing()) return;
    // A target that is gone is never painted for.
    if (fHadTarget && !fTarget) {
        Stop();
        return;
    }
    Plan(fPlayback.Next());
}

void TGIFPainter::Plan(std::int64_t wait) {
    fPlanned = -1;
    if (!fPlayback.Playing() || wait == TGIFPlayback::kEnded || wait == TGIFPlayback::kForever) return;
    fPlanned = std::max<std::int64_t>(wait, 0);
    fTimer.start(static_cast<int>(std::min<std::int64_t>(fPlanned, std::numeric_limits<int>::max())));
}

void TGIFPainter::PaintFrame(int index) {
    // drClearOnPass: every pass starts on the background.
    if ((fOptions & drClearOnPass) && index == 0) fComposer.Reset();
    fComposer.Step(index);
    fShown = index;
    fPicture = (fOptions & drTile) ? TileGIFCanvas(fComposer.Canvas(), fRect.width(), fRect.height())
                                   : StretchGIFCanvas(fComposer.Canvas(), fRect.width(), fRect.height());
    if (!fTarget) return;
    if (Invalidate) Invalidate(fRect);
    else Repaint(fTarget);
}

bool TGIFPainter::eventFilter(QObject* watched, QEvent* event) {
    if (watched == fTarget && (event->type() == QEvent::Hide || event->type() == QEvent::Close)) Stop();
    return false;
}

}  // namespace velto
