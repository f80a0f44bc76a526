#pragma once
// The advanced import window: a picture larger than the image it goes into
// is shown whole at an adjustable zoom; the user picks the part to take (a
// free or fixed-size frame with eight handles), resizes or crops that part
// into the image's size, may key one colour out, and sees the result at the
// image's size. OK hands the result back; Cancel leaves the image alone.
#include <QDialog>
#include <QPoint>

#include "ImportGeometry.h"
#include "model/Image.h"
#include "platform/Color.h"

class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QTimer;
class QToolButton;

namespace velto {

class TImportCanvas;
class TImportHandle;
class Tpreview;

class TfrmImport : public QDialog {
    Q_OBJECT
public:
    explicit TfrmImport(QWidget* parent = nullptr);

    // The picture to take from (straight alpha) and the size of the image
    // it goes into; both set before every showing.
    void SetSource(const TmyImage& picture);
    void SetTargetSize(ImageSize size);
    // The image made of the selection (the target's size, 32 bits).
    const TmyImagePal& Result() const { return result_; }

    // ---- What the window shows, for its controls and tests.
    int Zoom() const { return view_.Zoom; }
    const TImportView& View() const { return view_; }
    ImageSize ViewSize() const;
    const TImportRect& Selection() const { return selection_; }
    const TmyImagePal& Source() const { return source_; }
    // The picture reduced for a negative zoom.
    const TmyImagePal& ReducedSource() const { return reduced_; }
    bool Picking() const { return picking_; }
    TColor TransparentColor() const { return transparent_; }
    QLabel* SizeLabel() const { return lblSize_; }
    QScrollBar* HorizontalBar() const { return HorizSB_; }
    QScrollBar* VerticalBar() const { return VertSB_; }
    TImportCanvas* Canvas() const { return imgOriginal_; }
    QWidget* Frame() const { return imgSel_; }
    TImportHandle* Handle(TImportGrip grip) const;

    void SetZoom(int zoom);
    void ZoomIn();
    void ZoomOut();
    void ZoomToFit();
    // Selects the whole picture or the fixed size chosen in the list.
    void SetSelection(const TImportRect& r);
    // The preview recomputed from the selection.
    void UpdatePreview();

    // ---- The mouse on the picture (view coordinates, global for moves).
    void GripPressed(TImportGrip grip, QPoint global, Qt::KeyboardModifiers mods);
    void GripMoved(QPoint global);
    void GripReleased();
    void CanvasMoved(QPoint viewPos);
    void CanvasReleased();
    // Starts picking the transparent colour from the picture.
    void StartPicking();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildRight(QWidget* column);
    void layoutView();
    void placeFrame();
    void showSelectionText();
    void reduce();
    void scrolled();
    void selectionKindChanged();
    void transparencyChanged();
    // "Left bottom pixel": the swatch takes that pixel of the current picture.
    void takeLeftBottom();
    void chooseSwatchColor();
    void setSwatch(TColor color, bool chosen);
    void updateHandCursor();

    TmyImagePal source_{{1, 1}, 32};
    TmyImagePal reduced_{{1, 1}, 32};
    TmyImagePal result_{{1, 1}, 32};
    TImportView view_;
    TImportRect selection_;
    TImportDrag drag_;
    TImportGrip grip_ = TImportGrip::Frame;
    bool dragging_ = false;
    bool panning_ = false;
    bool picking_ = false;
    bool handShown_ = false;  // the hand cursor of Ctrl over the picture
    bool swatchChosen_ = false;
    bool quiet_ = false;  // no preview while the showing sets the window up
    TColor transparent_ = MakeColor(255, 255, 255);
    QPoint last_;

    QWidget* pnlCenter_ = nullptr;
    TImportCanvas* imgOriginal_ = nullptr;
    QWidget* imgSel_ = nullptr;
    TImportHandle* handles_[8] = {};
    QScrollBar* HorizSB_ = nullptr;
    QScrollBar* VertSB_ = nullptr;
    QRadioButton* rbFixed_ = nullptr;
    QRadioButton* rbCustom_ = nullptr;
    QComboBox* cmbSize_ = nullptr;
    QRadioButton* rbResize_ = nullptr;
    QRadioButton* rbCrop_ = nullptr;
    QRadioButton* rbOriginal_ = nullptr;
    QRadioButton* rbLeftBottom_ = nullptr;
    QRadioButton* rbCustomColor_ = nullptr;
    QPushButton* pnlColor_ = nullptr;
    QToolButton* btnColorPicker_ = nullptr;
    Tpreview* preview1_ = nullptr;
    QLabel* lblSize_ = nullptr;
    QPushButton* btnOK_ = nullptr;
    QPushButton* btnCancel_ = nullptr;
    QTimer* Timer1_ = nullptr;
};

// The picture area of the window: the visible part of the zoomed picture over
// the transparency checkerboard.
class TImportCanvas : public QWidget {
    Q_OBJECT
public:
    explicit TImportCanvas(TfrmImport* owner);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    TfrmImport* owner_;
};

// A 9 x 9 grip on the selection frame (or the frame itself), with the sizing
// cursor of its place.
class TImportHandle : public QWidget {
    Q_OBJECT
public:
    TImportHandle(TfrmImport* owner, TImportGrip grip, QWidget* parent);
    TImportGrip Grip() const { return grip_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    TfrmImport* owner_;
    TImportGrip grip_;
};

}  // namespace velto
