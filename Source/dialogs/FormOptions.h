#pragma once
// TfrmOptions, the preferences: the transparency checkerboard and grid, what
// to do when a palette changes or a picture is larger than the canvas, the
// editing switches, and the desktop associations (ShellAssoc.h). Showing it
// copies every setting into its control; OK copies them back, applies the
// association boxes and has the main window refresh; Cancel drops it all.
#include <QDialog>

#include <array>
#include <cstdint>

#include "ShellAssoc.h"
#include "platform/Color.h"

class QCheckBox;
class QComboBox;
class QPushButton;
class QTabWidget;

namespace velto {

class ImageView;
class TColorBox;
class TOptions;

// A row of the "Grid Color" list: a preset's two checkerboard colours. The
// rows of no name are blank separators.
struct TGridPreset {
    const char* name;
    TColor color1;
    TColor color2;
};
extern const std::array<TGridPreset, 12> kGridPresets;
// The list's picture of a preset row: 16 x 16 pixels of its checkerboard in
// cells of 4, so that (6, 2) shows the first colour and (2, 2) the second.
QImage GridPresetPicture(const TGridPreset& preset);

// A Boolean setting and its check box on the "Options" page.
struct TOptionSwitch {
    const char* name;
    const char* caption;
    bool TOptions::*setting;
};
extern const std::array<TOptionSwitch, 12> kOptionSwitches;

class TfrmOptions : public QDialog {
    Q_OBJECT
public:
    explicit TfrmOptions(QWidget* parent = nullptr);

    // Where the associations are read and written, and the program they name
    // (the defaults: the user's folders and this program).
    void SetAssocPaths(const TAssocPaths& paths) { assoc_ = paths; }
    void SetProgramPath(const QString& path) { program_ = path; }

    QTabWidget* Pages() const { return pages_; }
    QComboBox* SizeCombo() const { return cmbSize_; }
    QComboBox* GridCombo() const { return cmbGrid_; }
    QComboBox* StyleCombo() const { return cmbStyle_; }
    QComboBox* PaletteCombo() const { return cmbPalette_; }
    QComboBox* PasteCombo() const { return cmbPaste_; }
    QComboBox* ImportCombo() const { return cmbImport_; }
    TColorBox* Color1Box() const { return cbColor1_; }
    TColorBox* Color2Box() const { return cbColor2_; }
    TColorBox* GridColorBox() const { return cbGridColor_; }
    TColorBox* PreviewColorBox() const { return cbPreviewColor_; }
    ImageView* Preview() const { return image1_; }
    QCheckBox* Switch(int i) const { return switches_[static_cast<std::size_t>(i)]; }
    QCheckBox* AssocBox() const { return cbAssoc_; }
    QCheckBox* AniAssocBox() const { return cbAniAssoc_; }
    QCheckBox* ContextBox() const { return cbContext_; }
    QPushButton* OKButton() const { return btnOK_; }
    QPushButton* CancelButton() const { return btnCancel_; }
    int CellSize() const { return cellSize_; }

    // The "Grid Color" choice as the user makes it.
    void GridChange(int index);
    void OKClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* makeGridPage();
    QWidget* makeActionsPage();
    QWidget* makeOptionsPage();
    QWidget* makeAssocPage();
    void loadSettings();
    void paintPreview();

    TAssocPaths assoc_;
    QString program_;
    int cellSize_ = 4;
    QTabWidget* pages_ = nullptr;
    QComboBox* cmbSize_ = nullptr;
    QComboBox* cmbGrid_ = nullptr;
    QComboBox* cmbStyle_ = nullptr;
    QComboBox* cmbPalette_ = nullptr;
    QComboBox* cmbPaste_ = nullptr;
    QComboBox* cmbImport_ = nullptr;
    TColorBox* cbColor1_ = nullptr;
    TColorBox* cbColor2_ = nullptr;
    TColorBox* cbGridColor_ = nullptr;
    TColorBox* cbPreviewColor_ = nullptr;
    ImageView* image1_ = nullptr;
    std::array<QCheckBox*, 12> switches_{};
    QCheckBox* cbAssoc_ = nullptr;
    QCheckBox* cbAniAssoc_ = nullptr;
    QCheckBox* cbContext_ = nullptr;
    QPushButton* btnOK_ = nullptr;
    QPushButton* btnCancel_ = nullptr;
};

}  // namespace velto
