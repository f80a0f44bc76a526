#pragma once
// The snapshot window: the sheet of the open documents previewed in a scroll
// box, its type, depths, background, captions and watermark chosen beside
// it, and saved in the format of the extension typed, as an export is (the
// chosen filter's when none is typed: BMP, JPEG, PNG or JPEG 2000); the
// tool-bar strip on the checkerboard keeps its transparency in BMP and PNG.
#include <QDialog>

#include "SnapshotSheet.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QScrollArea;

namespace velto {

class TFileDialogSpec;
class TfrmMain;

class TfrmSnapshot : public QDialog {
    Q_OBJECT
public:
    explicit TfrmSnapshot(TfrmMain* main, QWidget* parent = nullptr);

    void BuildSnapshot();
    const QImage& Sheet() const { return sheet_; }
    TSnapshotStyle Style() const;
    // Saves through the save dialog; true when a file was written.
    bool Save();
    std::function<bool(TFileDialogSpec& spec, QStringList& files)> dialogRunner;
    QPushButton* SaveButton() const { return btnSave_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QPushButton* ColourButton(const char* name, QColor* colour);

    TfrmMain* main_ = nullptr;
    QScrollArea* ScrollBox1_ = nullptr;
    QLabel* imgSnapshot_ = nullptr;
    QRadioButton* rbSelected_ = nullptr;
    QRadioButton* rbAll_ = nullptr;
    QRadioButton* rbToolbar_ = nullptr;
    QCheckBox* cb32bit_ = nullptr;
    QCheckBox* cb24Bit_ = nullptr;
    QCheckBox* cb8Bit_ = nullptr;
    QCheckBox* cb4Bit_ = nullptr;
    QRadioButton* rbColor_ = nullptr;
    QRadioButton* rbTransparent_ = nullptr;
    QCheckBox* cbText_ = nullptr;
    QCheckBox* cbWatermark_ = nullptr;
    QPushButton* btnSave_ = nullptr;
    QPushButton* btnClose_ = nullptr;
    TFileDialogSpec* dlgSave_ = nullptr;
    QColor background_ = Qt::white, text_ = Qt::black, watermark_ = Qt::black;
    QImage sheet_;
};

}  // namespace velto
