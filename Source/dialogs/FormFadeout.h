#pragma once
// TfrmFadeout: the image's alpha scaled along a straight ramp, from the
// start percent on the first column (or row) to the end percent on the last.
// Two swatches show black over the checkerboard at the start and end
// opacity. Opening keeps the sliders and the direction of the last use.
#include "AdjustDialog.h"
#include "engine/AlphaEffects.h"

class QToolButton;

namespace velto {

class ImageView;

class TfrmFadeout : public TAdjustDialog {
    Q_OBJECT
public:
    explicit TfrmFadeout(QWidget* parent = nullptr);

    QToolButton* HorizButton() const { return btnHoriz_; }
    QToolButton* VertButton() const { return btnVert_; }
    TAdvancedTrackBar* StartBar() const { return trackBar1_; }
    TAdvancedTrackBar* EndBar() const { return trackBar2_; }
    ImageView* StartSwatch() const { return image1_; }
    ImageView* EndSwatch() const { return image2_; }
    TFadeDirection Direction() const { return direction_; }

    // Black laid over the checkerboard of the settings at the opacity percent.
    static void PaintSwatch(QImage& swatch, int percent);

protected:
    void ApplyRoutine(TmyImagePal& image, TPaletteRule* palette) override;
    void PrepareShow() override;

private:
    void setDirection(TFadeDirection direction);

    TFadeDirection direction_ = TFadeDirection::Horizontal;
    QToolButton* btnHoriz_ = nullptr;
    QToolButton* btnVert_ = nullptr;
    TAdvancedTrackBar* trackBar1_ = nullptr;
    TAdvancedTrackBar* trackBar2_ = nullptr;
    ImageView* image1_ = nullptr;
    ImageView* image2_ = nullptr;
};

}  // namespace velto
