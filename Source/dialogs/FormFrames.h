#pragma once
// The frames window: the frames of a GIF or an animated cursor as thumbnails;
// OK opens each selected frame as a new document of the caller's size and
// depth. A GIF frame can show the frames before it drawn beneath it
// ("Over-impose frames"), as a player builds the picture.
#include <QDialog>

#include <cstdint>

#include "model/Image.h"
#include "platform/FileIO.h"

class QCheckBox;
class QPushButton;

namespace velto {

class TThumbail;
class TGIFImage;
class TfrmMain;

class TfrmFrames : public QDialog {
    Q_OBJECT
public:
    explicit TfrmFrames(TfrmMain* main, QWidget* parent = nullptr);

    // Set by the caller before showing.
    void SetFileName(const QString& fileName) { fileName_ = fileName; }
    void SetTarget(ImageSize size, int bitCount) {
        size_ = size;
        bitCount_ = bitCount;
    }
    QString FileName() const { return fileName_; }
    // The detected type of the file (known once shown).
    std::uint8_t FileType() const { return fileType_; }

    TThumbail* Grid() const { return grid_; }
    QPushButton* OKButton() const { return btnOK_; }
    QPushButton* CancelButton() const { return btnCancel_; }
    QCheckBox* OverimposeBox() const { return cbOverimpose_; }

    // Detects the file's type and fills the grid; false when the file gives
    // no frame. Showing the window does it when the caller has not.
    bool Prepare();
    // The grid again (the over-impose box changed).
    void LoadFrames();
    // Opens the selected frames (the OK button): the number of documents
    // opened, or -1 when the file could not be read any more.
    int ImportSelected();
    // What the last ImportSelected gave, for the caller of the window.
    bool Failed() const { return failed_; }
    // Why the last filling of the grid gave no frame, when the file says
    // (FileError::TooLarge: a GIF whose frames ask more than a load may take).
    FileError LoadError() const { return loadError_; }

    // Frame n of the GIF as a 32-bit image of size: drawn alone onto a
    // transparent screen, or over frames 0..n-1 when overimpose. False when
    // the conversion was cancelled or failed.
    static bool GifFrameImage(TGIFImage& gif, int n, bool overimpose, TmyImagePal& image);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    int importGif();
    int importAni();
    // Reduces the image to the target depth and opens it; false stops the loop.
    bool openFrame(TmyImagePal& image);

    TfrmMain* main_ = nullptr;
    TThumbail* grid_ = nullptr;
    QPushButton* btnOK_ = nullptr;
    QPushButton* btnCancel_ = nullptr;
    QCheckBox* cbOverimpose_ = nullptr;
    QString fileName_;
    ImageSize size_{32, 32};
    int bitCount_ = 32;
    std::uint8_t fileType_ = 0;
    bool prepared_ = false;
    bool failed_ = false;
    FileError loadError_;
};

}  // namespace velto
