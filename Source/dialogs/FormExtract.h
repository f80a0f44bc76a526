#pragma once
// The extraction window: the cursor groups of an executable or library as
// thumbnails ("Cursor n (images)"); Extract opens each selected group as a
// new document. A file that cannot be read as an executable shows the icons
// the desktop would take from it; those open as one 32 x 32 image each.
#include <QDialog>

#include <memory>

#include "shell/ModalForms.h"

class QLabel;
class QPushButton;

namespace velto {

class TThumbail;
class TmyIcon;
class TfrmMain;

class TfrmExtract : public QDialog, public TExtractForm {
    Q_OBJECT
public:
    explicit TfrmExtract(TfrmMain* main, QWidget* parent = nullptr);

    void SetFileName(const QString& fileName) override { fileName_ = fileName; }
    QString FileName() const { return fileName_; }

    TThumbail* Grid() const { return grid_; }
    QPushButton* ExtractButton() const { return btnExtract_; }
    QLabel* NoIconLabel() const { return lblNoIcon_; }
    // Extracts the selected tiles (the Extract button); the number of
    // documents opened.
    int ExtractSelected();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // One tile's document: its cursor group read as a cursor file, or for an
    // icon tile the icon drawn at 32 x 32. Null when it cannot be read.
    std::unique_ptr<TmyIcon> TileDocument(int tile, bool& warned);

    TfrmMain* main_ = nullptr;
    TThumbail* grid_ = nullptr;
    QPushButton* btnExtract_ = nullptr;
    QPushButton* btnCancel_ = nullptr;
    QLabel* lblNoIcon_ = nullptr;
    QString fileName_;
};

}  // namespace velto
