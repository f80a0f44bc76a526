#pragma once
// The frame shared by the adjustment dialogs: a white header band, a preview
// of one routine on a copy of the image being edited, a progress bar, OK and
// Cancel. OK applies the same routine through the program's change of the
// active image (shell/ImageEdit.h): to the floating selection, to every frame
// of an animated cursor, or to the current frame after an undo snapshot.
#include <QDialog>

#include <functional>
#include <memory>

#include "model/Image.h"

class QGroupBox;
class QHBoxLayout;
class QLabel;
class QProgressBar;
class QPushButton;
class QVBoxLayout;

namespace velto {

class TAdvancedTrackBar;
class TPaletteRule;
class TImageEdit;
class Tpreview;

class TAdjustDialog : public QDialog {
    Q_OBJECT
public:
    // The copy the preview works on, and the image OK changes first (null
    // when no document is open, and once the dialog is closed: the document
    // may go away then).
    const TmyImagePal& PreviewImage() const { return *previewImage_; }
    TmyImagePal* TargetImage() const { return target_; }
    bool TargetIsSelection() const { return targetIsSelection_; }

    Tpreview* Preview() const { return preview1_; }
    QProgressBar* ProgressBar() const { return progress_; }
    QPushButton* OKButton() const { return btnOK_; }
    QPushButton* CancelButton() const { return btnCancel_; }

    // Chooses the target and shows it unchanged, as opening the dialog does.
    void ChooseTarget();
    // The preview recomputed from a fresh copy of the target.
    void UpdatePreview();
    // The OK button's work; the dialog closes when the change was made or
    // there is nothing to change, and stays open when it was declined.
    virtual void OKClick();

protected:
    TAdjustDialog(QWidget* parent, const char* name, const QString& caption, const QString& header,
                  const QString& help, bool withPreview = true);

    // The routine on image: for the preview (palette null: no palette step)
    // or for good (the command's palette rule).
    virtual void ApplyRoutine(TmyImagePal& image, TPaletteRule* palette) = 0;
    // What opening does besides choosing the target (sliders reset...).
    virtual void PrepareShow() {}
    // Checked before OK changes anything; false keeps the dialog open.
    virtual bool ReadyToApply() { return true; }
    // The change's flags (shell/ImageEdit.h): routines that mix colours ask
    // for the palette step on every changed frame.
    virtual unsigned EditFlags() const { return 0; }
    // After the change was made, before the dialog closes.
    virtual void Applied() {}

    // Where the dialog's own controls go: a column right of the preview.
    QVBoxLayout* ControlsLayout() const { return controls_; }
    // A track bar of the range under its caption (none when empty), added to
    // the controls.
    TAdvancedTrackBar* AddTrackBar(const char* name, const char* labelName, const QString& caption, int min, int max,
                                   int position);
    // The progress bar over the frames of edit (shown when it reaches every
    // frame), and the step it takes before each frame.
    std::function<void(int)> ProgressOver(const TImageEdit& edit);

    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::unique_ptr<TmyImagePal> previewImage_;
    TmyImagePal* target_ = nullptr;
    bool targetIsSelection_ = false;
    Tpreview* preview1_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* btnOK_ = nullptr;
    QPushButton* btnCancel_ = nullptr;
    QVBoxLayout* controls_ = nullptr;
};

}  // namespace velto
