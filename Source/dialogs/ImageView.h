#pragma once
// A picture control: shows one RGB picture, at its own size or stretched
// over the control, and reports the mouse in control coordinates.
#include <QImage>
#include <QPoint>
#include <QWidget>

namespace velto {

class ImageView : public QWidget {
    Q_OBJECT
public:
    explicit ImageView(QWidget* parent = nullptr);

    // The picture; Picture() may be changed in place and then repainted.
    QImage& Picture() { return picture_; }
    const QImage& Picture() const { return picture_; }
    void SetPicture(const QImage& picture);
    // Stretched over the whole control, or drawn at (0, 0) at its own size.
    void SetStretch(bool stretch);
    bool Stretch() const { return stretch_; }
    // Where the pointer was on the screen at the last mouse event.
    QPoint LastGlobalPos() const { return lastGlobal_; }

signals:
    void mousePressed(Qt::MouseButton button, QPoint pos);
    void mouseMoved(QPoint pos, Qt::MouseButtons buttons);
    void mouseReleased(Qt::MouseButton button, QPoint pos);
    void doubleClicked(Qt::MouseButton button, QPoint pos);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QImage picture_;
    bool stretch_ = false;
    QPoint lastGlobal_;
};

}  // namespace velto
