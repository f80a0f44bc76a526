#pragma once
// TfrmProperties: what the active document is (file name and folder, the size
// it takes as a cursor file, its images with their depth, dimensions and
// stored size) and, for an animated cursor, its title, author and the display
// rate of every frame. The rows are built each time the window shows; what the
// user typed stays while it is open.
#include <QDialog>
#include <QVector>

#include <cstdint>

class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QScrollArea;

namespace velto {

class TKeyFilteredEdit;
class TmyImagePal;

// Bytes an image takes in a cursor file: colour data and mask, and its
// 40-byte header.
std::int64_t StoredImageSize(const TmyImagePal& image);

class TfrmProperties : public QDialog {
    Q_OBJECT
public:
    explicit TfrmProperties(QWidget* parent = nullptr);

    // The light red of a rate that is not a number.
    static constexpr QRgb kInvalidColor = 0xFFFF6666;

    // One row per image.
    struct Row {
        QLabel* thumbnail = nullptr;
        QLabel* type = nullptr;
        QLabel* dimension = nullptr;
        QLabel* size = nullptr;
        QLabel* rateLabel = nullptr;   // animated cursors only
        TKeyFilteredEdit* rate = nullptr;
    };
    const QVector<Row>& Rows() const { return rows_; }
    bool IsAni() const { return isAni_; }

    QLabel* NameLabel() const { return lblName_; }
    QLabel* LocationLabel() const { return lblLocation_; }
    QLabel* SizeLabel() const { return lblSize_; }
    QLabel* ImageNoLabel() const { return lblImageNo_; }
    QLineEdit* AniName() const { return edtAniName_; }
    QLineEdit* AniAuthor() const { return edtAniAuthor_; }
    QGroupBox* FileGroup() const { return grpFile_; }
    QGroupBox* ImagesGroup() const { return grpImages_; }
    QMenu* RateMenu() const { return popupMenu1_; }
    QAction* SetAllAction() const { return actSetAll_; }
    QPushButton* OKButton() const { return btnOK_; }
    QPushButton* CancelButton() const { return btnCancel_; }

    // "Use this display rate for all images" from the edit of row.
    void SetAll(int row);
    void OKClick();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void build();
    void freeRows();

    bool isAni_ = false;
    QVector<Row> rows_;
    int menuRow_ = -1;
    QGroupBox* grpFile_ = nullptr;
    QGroupBox* grpImages_ = nullptr;
    QLabel* lblName_ = nullptr;
    QLabel* lblLocation_ = nullptr;
    QLabel* lblSize_ = nullptr;
    QLabel* lblImageNo_ = nullptr;
    QLabel* lblAniName_ = nullptr;
    QLabel* lblAniAuthor_ = nullptr;
    QLineEdit* edtAniName_ = nullptr;
    QLineEdit* edtAniAuthor_ = nullptr;
    QScrollArea* scrollBox1_ = nullptr;
    QWidget* rowsPanel_ = nullptr;
    QMenu* popupMenu1_ = nullptr;
    QAction* actSetAll_ = nullptr;
    QPushButton* btnOK_ = nullptr;
    QPushButton* btnCancel_ = nullptr;
};

}  // namespace velto
