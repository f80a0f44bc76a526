#pragma once
// TfrmDelete: the images of the active document listed with a small picture
// each; the selected ones are deleted. The last image is never deleted: with
// every line selected the first image stays. The caller refreshes the window.
#include <QDialog>
#include <QImage>
#include <QPoint>
#include <QVector>

class QListWidget;
class QPushButton;

namespace velto {

class TmyImagePal;

class TfrmDelete : public QDialog {
    Q_OBJECT
public:
    explicit TfrmDelete(QWidget* parent = nullptr);

    // The line of image i: "Frame 0 : 32x32 - 32".
    static QString LineText(int index, const TmyImagePal& image);
    // The picture drawn for an image: itself when it fits into 32 x 32, else
    // resampled to 32 x 32, over the preview background; offset is where it
    // goes in the 32 x 32 box (centred, or 0).
    static QImage LinePicture(const TmyImagePal& image, QPoint* offset);

    QListWidget* List() const { return ListBox1_; }
    QPushButton* OKButton() const { return btnOK_; }
    QPushButton* CancelButton() const { return btnCancel_; }
    void OKClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QListWidget* ListBox1_ = nullptr;
    QPushButton* btnOK_ = nullptr;
    QPushButton* btnCancel_ = nullptr;
};

}  // namespace velto
