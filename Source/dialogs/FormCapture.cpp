#include "FormCapture.h"

#include <QCoreApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QPixmap>
#include <QRegion>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace velto {

namespace {

int LogicalSide(int devicePixels, qreal ratio) {
    return std::max(1, static_cast<int>(std::ceil(devicePixels / std::max<qreal>(ratio, 1e-3))));
}

}  // namespace

TfrmCapture::TfrmCapture(QWidget* parent)
    : QDialog(parent, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool) {
    setObjectName(QStringLiteral("frmCapture"));
    setModal(true);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    Timer1_ = new QTimer(this);
    Timer1_->setObjectName(QStringLiteral("Timer1"));
    Timer1_->setInterval(1);
    connect(Timer1_, &QTimer::timeout, this, [this] { Follow(QCursor::pos()); });
}

void TfrmCapture::SetArea(ImageSize pixels) {
    area_ = pixels;
    const qreal ratio = devicePixelRatioF();
    setFixedSize(LogicalSide(pixels.Width, ratio), LogicalSide(pixels.Height, ratio));
}

void TfrmCapture::Follow(QPoint global) { move(global.x() - width() + 1, global.y() - height() + 1); }

void TfrmCapture::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    // Only the one-pixel outline is there: the rest shows (and takes clicks
    // for) what lies below.
    const QRegion outer(rect());
    setMask(outer.subtracted(QRegion(rect().adjusted(1, 1, -1, -1))));
}

void TfrmCapture::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Follow(QCursor::pos());
    Timer1_->start();
}

void TfrmCapture::hideEvent(QHideEvent* event) {
    Timer1_->stop();
    QDialog::hideEvent(event);
}

void TfrmCapture::mousePressEvent(QMouseEvent*) {
    Timer1_->stop();
    accept();
}

void TfrmCapture::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        Timer1_->stop();
        reject();
        return;
    }
    QDialog::keyPressEvent(event);
}

std::optional<QPoint> RunCaptureFrame(ImageSize area) {
    // Owned by nobody: the main window is minimised meanwhile.
    TfrmCapture frame;
    frame.SetArea(area);
    if (frame.exec() != QDialog::Accepted) return std::nullopt;
    const QPoint at = frame.pos();
    frame.hide();
    // The outline lay on the area's edge: the windows below draw it over
    // before the screen is read.
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 100) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return at;
}

bool ScreenCaptureAvailable() {
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland")) && QGuiApplication::primaryScreen();
}

std::optional<TmyImage> GrabScreenRect(QPoint topLeft, ImageSize size, TScreenGrabError* error) {
    if (error) *error = TScreenGrabError::None;
    QScreen* screen = ScreenCaptureAvailable() ? QGuiApplication::screenAt(topLeft) : nullptr;
    if (!screen && ScreenCaptureAvailable()) screen = QGuiApplication::primaryScreen();
    QImage shot;
    if (screen) {
        const qreal ratio = screen->devicePixelRatio();
        // grabWindow takes the screen's own coordinates.
        const QPoint local = topLeft - screen->geometry().topLeft();
        shot = screen->grabWindow(0, local.x(), local.y(), LogicalSide(size.Width, ratio),
                                  LogicalSide(size.Height, ratio))
                   .toImage()
                   .convertToFormat(QImage::Format_RGB32);
    }
    if (shot.isNull()) {
        if (error) *error = TScreenGrabError::Unsupported;
        return std::nullopt;
    }
    TmyImage out(size);
    for (int y = 0; y < size.Height; ++y) {
        auto row = out.Row(y);
        const bool inShot = y < shot.height();
        const auto* src = inShot ? reinterpret_cast<const QRgb*>(shot.constScanLine(y)) : nullptr;
        for (int x = 0; x < size.Width; ++x) {
            const QRgb c = inShot && x < shot.width() ? src[x] : qRgb(0, 0, 0);
            row[static_cast<std::size_t>(x)] = TmyPixel::CreateRGBA(static_cast<std::uint8_t>(qRed(c)),
                                                                    static_cast<std::uint8_t>(qGreen(c)),
                                                                    static_cast<std::uint8_t>(qBlue(c)), 255);
        }
    }
    return out;
}

}  // namespace velto
