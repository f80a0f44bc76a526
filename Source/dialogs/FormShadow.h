#pragma once
// TfrmShadow: a soft drop shadow of a chosen size, opacity change, colour
// and offset laid under the image. Every control recomputes the preview;
// opening keeps the values of the last use.
#include "AdjustDialog.h"

namespace velto {

class TColorBox;
class TScroll2D;

class TfrmShadow : public TAdjustDialog {
    Q_OBJECT
public:
    explicit TfrmShadow(QWidget* parent = nullptr);

    TAdvancedTrackBar* SizeBar() const { return tbSize_; }
    TAdvancedTrackBar* OpacityBar() const { return tbOpacity_; }
    TColorBox* ColorBox() const { return cbColor_; }
    TScroll2D* Position() const { return sbPosition_; }

protected:
    void ApplyRoutine(TmyImagePal& image, TPaletteRule* palette) override;
    void PrepareShow() override;
    unsigned EditFlags() const override;

private:
    TAdvancedTrackBar* tbSize_ = nullptr;
    TAdvancedTrackBar* tbOpacity_ = nullptr;
    TColorBox* cbColor_ = nullptr;
    TScroll2D* sbPosition_ = nullptr;
};

}  // namespace velto
