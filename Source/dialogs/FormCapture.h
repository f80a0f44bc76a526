#pragma once
// Screen capture: the outline frame that follows the mouse while the user
// picks the area, and the grab of that area's pixels.
#include <QDialog>
#include <QPoint>

#include <optional>

#include "model/Image.h"

class QTimer;

namespace velto {

// A borderless window on top of everything that shows only a one-pixel black
// outline; its bottom-right pixel stays under the mouse. A click there ends
// the choice (accepted); Escape gives it up (rejected). Its final place is
// the area to capture.
class TfrmCapture : public QDialog {
    Q_OBJECT
public:
    explicit TfrmCapture(QWidget* parent = nullptr);

    // The area in screen pixels: the window covers that many device pixels,
    // whatever the screen's scale.
    void SetArea(ImageSize pixels);
    ImageSize Area() const { return area_; }
    // Moves the window so that its bottom-right pixel lies under global.
    void Follow(QPoint global);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QTimer* Timer1_ = nullptr;
    ImageSize area_{1, 1};
};

// Shows the capture frame for an area of the size until the user clicks
// (its top-left corner on the screen, once the screen below shows again) or
// gives up with Escape (nothing).
std::optional<QPoint> RunCaptureFrame(ImageSize area);

// Why a grab gave nothing.
enum class TScreenGrabError { None, Unsupported };

// The screen's pixels from topLeft (logical coordinates, as windows are
// placed) on: exactly size device pixels, opaque; what lies beyond the
// screens is black. Nothing where the platform gives no screen pixels
// (Wayland).
std::optional<TmyImage> GrabScreenRect(QPoint topLeft, ImageSize size, TScreenGrabError* error = nullptr);

// Whether this display lets a program read the screen at all.
bool ScreenCaptureAvailable();

}  // namespace velto
