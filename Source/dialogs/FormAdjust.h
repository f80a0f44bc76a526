#pragma once
// The four colour adjustment dialogs: brightness and contrast, hue and
// saturation (with two hue strips, the lower one sliding by the chosen hue),
// colour balance and opacity. Opening sets every slider to 0; each change
// previews the routine on a copy; OK applies it with the palette step of the
// colour effects.
#include "AdjustDialog.h"

namespace velto {

class ImageView;
class TAdvancedTrackBar;

// A dialog of track bars that all start at 0 and each recompute the preview.
class TSliderAdjustDialog : public TAdjustDialog {
    Q_OBJECT
public:
    TAdvancedTrackBar* TrackBar(int i) const { return bars_.value(i - 1); }

protected:
    using TAdjustDialog::TAdjustDialog;
    TAdvancedTrackBar* AddSlider(const char* name, const char* labelName, const QString& caption, int min, int max);
    // Two captions at the ends of the next slider ("Cyan" ... "Red").
    void AddEndCaptions(const char* leftName, const QString& left, const char* rightName, const QString& right);
    int Value(int i) const;
    void PrepareShow() override;
    virtual void SliderChanged() { UpdatePreview(); }

private:
    QList<TAdvancedTrackBar*> bars_;
};

class TfrmBrightness : public TSliderAdjustDialog {
    Q_OBJECT
public:
    explicit TfrmBrightness(QWidget* parent = nullptr);

protected:
    void ApplyRoutine(TmyImagePal& image, TPaletteRule* palette) override;
};

class TfrmHue : public TSliderAdjustDialog {
    Q_OBJECT
public:
    static constexpr int kStripLeft = -152;

    explicit TfrmHue(QWidget* parent = nullptr);
    // The fixed strip and the one that slides by the hue.
    ImageView* Image2() const { return image2_; }
    ImageView* Image3() const { return image3_; }
    // -152 - Round(hue * 152 / 180).
    static int StripLeft(int hue);
    // Two turns of the hue circle over 610 pixels.
    static QImage HueStrip();

protected:
    void ApplyRoutine(TmyImagePal& image, TPaletteRule* palette) override;
    void SliderChanged() override;

private:
    ImageView* image2_ = nullptr;
    ImageView* image3_ = nullptr;
};

class TfrmColorBalance : public TSliderAdjustDialog {
    Q_OBJECT
public:
    explicit TfrmColorBalance(QWidget* parent = nullptr);

protected:
    void ApplyRoutine(TmyImagePal& image, TPaletteRule* palette) override;
};

class TfrmOpacity : public TSliderAdjustDialog {
    Q_OBJECT
public:
    explicit TfrmOpacity(QWidget* parent = nullptr);

protected:
    void ApplyRoutine(TmyImagePal& image, TPaletteRule* palette) override;
};

}  // namespace velto
