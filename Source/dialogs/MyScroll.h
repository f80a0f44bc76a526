#pragma once
// TmyScroll: a picture slider. A lowered panel shows Picture stretched over
// its inside, with a thumb that the mouse drags or a click on the track
// places. Min only bounds the value; the thumb's place maps 0..Max.
#include <QFrame>
#include <QImage>

namespace velto {

class TmyScroll : public QFrame {
    Q_OBJECT
public:
    explicit TmyScroll(QWidget* parent = nullptr);

    int Min() const { return min_; }
    int Max() const { return max_; }
    int Position() const { return position_; }
    void SetMin(int v);
    void SetMax(int v);
    // A value other than the current one is bounded into Min..Max, stored
    // and reported (changed), then the thumb is placed.
    void SetPosition(int v);

    const QImage& Picture() const { return picture_; }
    void SetPicture(const QImage& picture);

    QFrame* Thumb() const { return thumb_; }
    bool Dragging() const { return dragging_; }

    // Thumb left for a position: Position·(width - 1 - thumb width) div Max,
    // 1 when that is 0 or the track cannot hold the thumb.
    int ThumbLeftFor(int position) const;

signals:
    void changed();
    // The control's own press and release (after a track press has placed
    // the value, before a thumb drag moves it).
    void pressed();
    void released();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void placeThumb();

    QImage picture_;
    QFrame* thumb_ = nullptr;
    bool dragging_ = false;
    int grabOffset_ = 0;
    int min_ = 0;
    int max_ = 100;
    int position_ = 0;
};

}  // namespace velto
