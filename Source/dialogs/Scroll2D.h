#pragma once
// TScroll2D: a two-axis position picker. The knob shows (PositionX,
// PositionY) inside the ranges MinX..MaxX and MinY..MaxY; a left press or
// drag moves it, a right press brings it back to the centre.
#include <QWidget>

namespace velto {

class TScroll2D : public QWidget {
    Q_OBJECT
public:
    explicit TScroll2D(QWidget* parent = nullptr);

    int MinX() const { return minX_; }
    int MaxX() const { return maxX_; }
    int MinY() const { return minY_; }
    int MaxY() const { return maxY_; }
    int PositionX() const { return posX_; }
    int PositionY() const { return posY_; }
    bool ShowText() const { return showText_; }
    // A range setter that would leave no span (Max = Min) is ignored.
    void SetMinX(int v);
    void SetMaxX(int v);
    void SetMinY(int v);
    void SetMaxY(int v);
    // Ignored unless inside the range and different; then changed.
    void SetPositionX(int v);
    void SetPositionY(int v);
    void SetShowText(bool show);

    int OriginX() const;
    int OriginY() const;
    int KnobX() const { return knobX_; }
    int KnobY() const { return knobY_; }

signals:
    void changed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void computeKnob();
    void setBound(int& bound, int other, int v);
    void setPosition(int& position, int lo, int hi, int v);
    void moveTo(int x, int y);

    int maxX_ = 50, minY_ = -50, minX_ = -50, maxY_ = 50;
    int posY_ = 0, posX_ = 0;
    int knobX_ = 0, knobY_ = 0;
    bool showText_ = false;
};

}  // namespace velto
