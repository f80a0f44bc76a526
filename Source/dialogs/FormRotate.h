#pragma once
// TfrmRotate turns the image by whole degrees (0..359, left or right) about
// a centre picked on a two-axis scroller; TfrmDimension resamples images to
// a listed or typed size (1..256). Both keep their values between openings.
#include <QPoint>

#include "AdjustDialog.h"

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace velto {

class TKeyFilteredEdit;
class TScroll2D;
class TSpinButton;

class TfrmRotate : public TAdjustDialog {
    Q_OBJECT
public:
    explicit TfrmRotate(QWidget* parent = nullptr);

    QLineEdit* AngleEdit() const;
    TSpinButton* SpinButton() const { return spin_; }
    QRadioButton* LeftButton() const { return rbLeft_; }
    QRadioButton* RightButton() const { return rbRight_; }
    TScroll2D* Center() const { return sbCenter_; }

    // The centre in pixels of an image of the size: the scroller's positions
    // mapped from its ranges onto 0..Width and 0..Height.
    QPoint GetCenter(ImageSize size) const;
    // The angle typed, negative to the left.
    int SignedAngle() const;

protected:
    void ApplyRoutine(TmyImagePal& image, TPaletteRule* palette) override;
    void PrepareShow() override;
    unsigned EditFlags() const override;

private:
    void angleChanged();
    void step(int by);

    TKeyFilteredEdit* edit1_ = nullptr;
    TSpinButton* spin_ = nullptr;
    QRadioButton* rbLeft_ = nullptr;
    QRadioButton* rbRight_ = nullptr;
    TScroll2D* sbCenter_ = nullptr;
};

class TfrmDimension : public TAdjustDialog {
    Q_OBJECT
public:
    explicit TfrmDimension(QWidget* parent = nullptr);

    // rb16, rb24, rb32, rb48, rb256, rbCustom.
    QRadioButton* SizeButton(int i) const { return sizes_.value(i); }
    QLineEdit* WidthEdit() const;
    QLineEdit* HeightEdit() const;
    QCheckBox* SquareBox() const { return cbSquare_; }
    int NewWidth() const { return newWidth_; }
    int NewHeight() const { return newHeight_; }

    // The selection resampled, or the current image of an icon, or every
    // frame of an animated cursor (after the no-undo question).
    void OKClick() override;

protected:
    void ApplyRoutine(TmyImagePal&, TPaletteRule*) override {}

private:
    void sizeChosen();
    void edited(TKeyFilteredEdit* edit, TKeyFilteredEdit* other, int& value);

    QList<QRadioButton*> sizes_;
    TKeyFilteredEdit* edtWidth_ = nullptr;
    TKeyFilteredEdit* edtHeight_ = nullptr;
    QCheckBox* cbSquare_ = nullptr;
    int newWidth_ = 48;
    int newHeight_ = 48;
};

}  // namespace velto
