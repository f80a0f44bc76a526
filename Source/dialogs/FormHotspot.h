#pragma once
// TfrmHotspot: the hotspot of the current image typed as two numbers, bounded
// from above by the image's last column and row; "Find Hot Spot" leaves the
// window for the hotspot tool, which is clicked on the canvas.
#include <QDialog>

class QLineEdit;
class QPushButton;
class QToolButton;

namespace velto {

class TfrmHotspot : public QDialog {
    Q_OBJECT
public:
    explicit TfrmHotspot(QWidget* parent = nullptr);

    void SetMaxX(int v) { maxX_ = v; }
    void SetMaxY(int v) { maxY_ = v; }
    // X := min(MaxX, v), shown in its box; likewise Y.
    void SetHotspotX(int v);
    void SetHotspotY(int v);
    int MaxX() const { return maxX_; }
    int MaxY() const { return maxY_; }
    int X() const { return x_; }
    int Y() const { return y_; }

    QLineEdit* EditX() const { return edtX_; }
    QLineEdit* EditY() const { return edtY_; }
    QToolButton* FindButton() const { return btnFind_; }
    QPushButton* OKButton() const { return btnOK_; }
    QPushButton* CancelButton() const { return btnCancel_; }

    // The hotspot tool becomes current and the window closes as cancelled.
    void FindClick();
    // OK (the button or Enter): the numbers in the boxes are taken as they
    // stand, then the window closes.
    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Every showing starts in the X box with its number selected, whichever
    // box had the focus when the window last closed.
    void showEvent(QShowEvent* event) override;

private:
    void edited(QLineEdit* edit);

    int maxX_ = 0;
    int maxY_ = 0;
    int x_ = 0;
    int y_ = 0;
    QLineEdit* edtX_ = nullptr;
    QLineEdit* edtY_ = nullptr;
    QToolButton* btnFind_ = nullptr;
    QPushButton* btnOK_ = nullptr;
    QPushButton* btnCancel_ = nullptr;
};

}  // namespace velto
