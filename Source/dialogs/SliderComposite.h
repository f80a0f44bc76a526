#pragma once
// The slider-with-number-box composites: TAdvancedScroll (picture slider,
// colour panel) and TAdvancedTrackBar (track bar, adjustment dialogs). Both
// keep Min, Max and Position in step with their inner slider and their
// number box; setting Position from code reports the change like a drag.
#include <QImage>
#include <QWidget>

class QSlider;

namespace velto {

class TmyScroll;
class TNumberBox;

class TSliderComposite : public QWidget {
    Q_OBJECT
public:
    int Min() const { return min_; }
    int Max() const { return max_; }
    int Position() const { return position_; }
    // Accepted only below Max / above Min; other values are ignored.
    void SetMin(int v);
    void SetMax(int v);
    // A value other than the current one is bounded into Min..Max, stored,
    // given to the inner slider and reported (changed).
    void SetPosition(int v);

    TNumberBox* NumberBox() const { return box_; }

signals:
    void changed();

protected:
    explicit TSliderComposite(QWidget* parent);
    // Called by the subclass once its inner slider exists.
    void init(int max);
    // The inner slider moved (by the user or by SetPosition).
    void innerChanged();

    virtual int innerPosition() const = 0;
    virtual void setInnerPosition(int v) = 0;
    virtual void setInnerMin(int v) = 0;
    virtual void setInnerMax(int v) = 0;

    TNumberBox* box_ = nullptr;

private:
    void boxChanged(const QString& text);

    int min_ = 0;
    int max_ = 100;
    int position_ = 0;
};

// TAdvancedScroll: a TmyScroll with a number box, 160 x 24; it brackets each
// change with startChange/endChange (press and release of the slider, key
// down and key up in the box).
class TAdvancedScroll : public TSliderComposite {
    Q_OBJECT
public:
    explicit TAdvancedScroll(QWidget* parent = nullptr);

    TmyScroll* Slider() const { return scroll_; }
    void SetPicture(const QImage& picture);

signals:
    void startChange();
    void endChange();

protected:
    void resizeEvent(QResizeEvent* event) override;
    int innerPosition() const override;
    void setInnerPosition(int v) override;
    void setInnerMin(int v) override;
    void setInnerMax(int v) override;

private:
    TmyScroll* scroll_ = nullptr;
};

// TAdvancedTrackBar: a track bar with a number box, 241 x 23.
class TAdvancedTrackBar : public TSliderComposite {
    Q_OBJECT
public:
    explicit TAdvancedTrackBar(QWidget* parent = nullptr);

    QSlider* TrackBar() const { return track_; }
    void SetTickStyle(int tickPosition);  // a QSlider::TickPosition

protected:
    void resizeEvent(QResizeEvent* event) override;
    int innerPosition() const override;
    void setInnerPosition(int v) override;
    void setInnerMin(int v) override;
    void setInnerMax(int v) override;

private:
    QSlider* track_ = nullptr;
};

}  // namespace velto
