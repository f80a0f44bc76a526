#pragma once
// Tpreview: one image at one screen pixel per image pixel inside a scroll
// box, centred while it is smaller than the box and panned by dragging while
// it is larger. Used by the preview pane and every adjustment dialog.
#include <QAbstractScrollArea>
#include <QPoint>

#include "platform/Color.h"

namespace velto {

class ImageView;
class TmyImagePal;

class Tpreview : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit Tpreview(QWidget* parent = nullptr);

    // The image control (Image1): its picture and size are the image's.
    ImageView* Image1() const { return image_; }
    // Renders image over back into the image control, then centres it.
    void ShowImage(const TmyImagePal& image, TColor back);
    // Gives the image control a picture of its own (size follows), then centres it.
    void SetPicture(const QImage& picture);
    // Left := max(0, (box width - image width) div 2) - horizontal scroll
    // position; top likewise.
    void CenterImage();
    // The box's colour around the image.
    void SetBoxColor(TColor color);
    TColor BoxColor() const { return boxColor_; }

    bool Dragging() const { return dragging_; }

signals:
    // A double click on the image or the box (after the frame's own handling).
    void doubleClicked();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void updateScrollBars();
    void setHandCursor();
    void imagePressed(Qt::MouseButton button);
    void imageMoved();

    ImageView* image_ = nullptr;
    QPoint lastPos_;
    QPoint curPos_;
    bool dragging_ = false;
    bool skipNextDown_ = false;
    TColor boxColor_ = MakeColor(192, 192, 192);
};

}  // namespace velto
