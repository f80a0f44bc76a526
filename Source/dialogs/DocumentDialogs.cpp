#include "DocumentDialogs.h"

#include <QApplication>
#include <QWidget>

#include "shell/CanvasRender.h"
#include "shell/Desk.h"
#include "shell/MainWindow.h"
#include "shell/ScreenFit.h"

namespace velto {

TfrmDesk* ActiveDocumentWindow() {
    TfrmMain* main = frmMain();
    return main ? qobject_cast<TfrmDesk*>(main->ActiveDesk()) : nullptr;
}

int ScreenRoomFor(const QWidget* window) {
    const QRect room = ScreenRoom(window);
    if (room.isEmpty()) return QWIDGETSIZE_MAX;
    const QMargins frame = FrameAllowance(window);
    return room.height() - frame.top() - frame.bottom();
}

QImage TilePicture(const TmyImagePal& image, int side, TColor back) {
    QImage shown = RenderImage(image, back);
    if (shown.width() > side || shown.height() > side)
        shown = shown.scaled(side, side, Qt::KeepAspectRatio, Qt::FastTransformation);
    return shown;
}

QImage ImageToArgb(const TmyImage& image) {
    QImage out(image.Width(), image.Height(), QImage::Format_ARGB32);
    for (int y = 0; y < image.Height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (const TmyPixel& p : image.Row(y)) *row++ = qRgba(p.R, p.G, p.B, p.A);
    }
    return out;
}

}  // namespace velto
