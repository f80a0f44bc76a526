#pragma once
// TfrmNewImage: one new image of a chosen size and colour depth for the active
// document, blank or made from one of the document's images. Its opener
// chooses the layout: the first image of a new document (the window is still
// empty; the dialog asks for a static or an animated cursor, and Cancel closes
// that window), or an image added to an open document (its images are offered
// as the source). A document that holds images is never replaced, whatever the
// layout.
#include <QDialog>

#include <array>
#include <cstdint>

#include "shell/ModalForms.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace velto {

class TChoicesScroll;

class TNumberBox;
class TThumbail;

class TfrmNewImage : public QDialog, public TNewImageForm {
    Q_OBJECT
public:
    explicit TfrmNewImage(QWidget* parent = nullptr);

    // TNewImageForm
    void SetNewImageMode(bool showImages) override;
    bool Added() const override { return added_; }
    void SetTypeChoiceVisible(bool visible) override;

    bool ShowsImages() const { return showImages_; }
    int NewWidth() const { return newWidth_; }
    int NewHeight() const { return newHeight_; }
    int NewBitCount() const { return newBitCount_; }
    bool Handled() const { return handled_; }

    // The depth buttons in the order 1, 4, 8, 24, 32 bits; the size buttons
    // 16, 24, 32, 48, 64, 256 and custom.
    QRadioButton* DepthButton(int i) const { return depth_[static_cast<std::size_t>(i)]; }
    QRadioButton* SizeButton(int i) const { return size_[static_cast<std::size_t>(i)]; }
    TNumberBox* WidthEdit() const { return edtWidth_; }
    TNumberBox* HeightEdit() const { return edtHeight_; }
    QCheckBox* SquareBox() const { return cbSquare_; }
    QCheckBox* FromImageBox() const { return cbFromImage_; }
    TThumbail* Sources() const { return grid_; }
    QRadioButton* CurButton() const { return rbCur_; }
    QRadioButton* AniButton() const { return rbAni_; }
    QGroupBox* ImagesGroup() const { return grpImages_; }
    QGroupBox* TypeGroup() const { return grpType_; }
    QPushButton* OKButton() const { return btnOK_; }
    QPushButton* CancelButton() const { return btnCancel_; }

    void OKClick();
    // Cancel, Escape and the close box.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void depthClick();
    void sizeClick();
    void sizeEdited(TNumberBox* edit);

    bool showImages_ = true;
    bool added_ = false;
    bool handled_ = false;
    int newWidth_ = 32;
    int newHeight_ = 32;
    std::uint8_t newBitCount_ = 32;
    std::array<QRadioButton*, 5> depth_{};
    std::array<QRadioButton*, 7> size_{};
    TNumberBox* edtWidth_ = nullptr;
    TNumberBox* edtHeight_ = nullptr;
    QCheckBox* cbSquare_ = nullptr;
    QGroupBox* grpImages_ = nullptr;
    QCheckBox* cbFromImage_ = nullptr;
    TThumbail* grid_ = nullptr;
    TChoicesScroll* choices_ = nullptr;
    QGroupBox* grpType_ = nullptr;
    QRadioButton* rbCur_ = nullptr;
    QRadioButton* rbAni_ = nullptr;
    QPushButton* btnOK_ = nullptr;
    QPushButton* btnCancel_ = nullptr;
};

}  // namespace velto
