#include "FormOptions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

#include "ColorBox.h"
#include "DialogParts.h"
#include "ImageView.h"
#include "engine/Composite.h"
#include "engine/PixelBuffers.h"
#include "shell/MainWindow.h"
#include "shell/Options.h"

namespace velto {

const std::array<TGridPreset, 12> kGridPresets = {{
    {"Custom", clBlack, clBlack},
    {"", clBlack, clBlack},
    {"Extra Light", MakeColor(255, 255, 255), MakeColor(239, 239, 239)},
    {"Light", MakeColor(231, 231, 231), MakeColor(189, 189, 189)},
    {"Medium", MakeColor(156, 156, 156), MakeColor(82, 82, 82)},
    {"Dark", MakeColor(82, 82, 82), MakeColor(33, 33, 33)},
    {"", clBlack, clBlack},
    {"Red", MakeColor(255, 255, 255), MakeColor(255, 206, 206)},
    {"Orange", MakeColor(255, 255, 255), MakeColor(255, 222, 189)},
    {"Green", MakeColor(255, 255, 255), MakeColor(206, 231, 206)},
    {"Blue", MakeColor(255, 255, 255), MakeColor(206, 231, 255)},
    {"Purple", MakeColor(255, 255, 255), MakeColor(231, 206, 255)},
}};

const std::array<TOptionSwitch, 12> kOptionSwitches = {{
    {"cbEffect", "Apply effect on all images of a cursor", &TOptions::EffectOnAllImages},
    {"cbSmooth", "Smooth edge of brush", &TOptions::SmoothEdges},
    {"cbAlpha", "Use filter on alpha channel", &TOptions::FilterOnAlpha},
    {"cbRatio", "Keep aspect ratio when importing from images", &TOptions::KeepAspectRatio},
    {"cbClipbrd", "Empty the clipboard when exiting", &TOptions::ClearClipboard},
    {"cbExportAlpha", "Export transparency information when exporting to image", &TOptions::ExportAlpha},
    {"cbTransparent", "Preserve the transparency of the selection", &TOptions::TransparentSelection},
    {"cbDragAndDrop", "Selection can be dragged between windows", &TOptions::AllowDragAndDrop},
    {"cbTips", "Show tips at startup", &TOptions::ShowTips},
    {"cbDithering", "Apply dithering on 1, 4 and 8 bit images", &TOptions::Dithering},
    {"cbAutoZoom", "Automatically zoom the images", &TOptions::Autozoom},
    {"cbOverimpose", "Overimpose the frames of the Gif file when importing", &TOptions::Overimpose},
}};

namespace {

// The cell sizes of "Grid Size", by item.
constexpr int kCellSizes[] = {4, 8, 16};
constexpr int kAutoZoomSwitch = 10;

QImage Checkerboard(int width, int height, const TCheckerboard& board) {
    TRgbBuffer rgb;
    rgb.SetSize(width, height);
    DrawCheckerboard(rgb, board);
    return QImage(rgb.Bytes.data(), rgb.Width, rgb.Height, rgb.Stride(), QImage::Format_RGB888)
        .convertToFormat(QImage::Format_RGB32);
}

QComboBox* Combo(QWidget* parent, const char* name, std::initializer_list<const char*> items) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QString::fromLatin1(name));
    for (const char* item : items) combo->addItem(QString::fromLatin1(item));
    return combo;
}

QLabel* Label(QWidget* parent, const char* name, const char* caption) {
    auto* label = new QLabel(QString::fromLatin1(caption), parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

QCheckBox* Check(QWidget* parent, const char* name, const char* caption) {
    auto* box = new QCheckBox(QString::fromLatin1(caption), parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

// A stored item index shown without running the list's change handler; a
// value the list does not have shows no item (and is then kept, StoreIndex).
void ShowIndex(QComboBox* combo, int index) {
    const QSignalBlocker block(combo);
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

// The list's item back into its setting; no item chosen keeps the setting.
void StoreIndex(const QComboBox* combo, std::uint8_t& setting) {
    if (combo->currentIndex() >= 0) setting = static_cast<std::uint8_t>(combo->currentIndex());
}

}  // namespace

QImage GridPresetPicture(const TGridPreset& preset) {
    TCheckerboard board;
    board.CellSize = 4;
    board.Color1 = preset.color1;
    board.Color2 = preset.color2;
    return Checkerboard(16, 16, board);
}

TfrmOptions::TfrmOptions(QWidget* parent) : QDialog(parent), assoc_(TAssocPaths::Default()) {
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("Preferences"));
    setModal(true);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 8);
    root->addWidget(MakeDialogHeader(this, QStringLiteral("Preferences"), QStringLiteral("Change preferences")));
    pages_ = new QTabWidget(this);
    pages_->setObjectName(QStringLiteral("Actions"));
    pages_->addTab(makeGridPage(), QStringLiteral("Transparency/Grid"));
    pages_->addTab(makeActionsPage(), QStringLiteral("Actions"));
    pages_->addTab(makeOptionsPage(), QStringLiteral("Options"));
    pages_->addTab(makeAssocPage(), QStringLiteral("Association"));
    auto* middle = new QVBoxLayout;
    middle->setContentsMargins(8, 4, 8, 4);
    middle->addWidget(pages_);
    root->addLayout(middle);
    AddOkCancelRow(this, root, &btnOK_, &btnCancel_);
    connect(btnOK_, &QPushButton::clicked, this, &TfrmOptions::OKClick);
}

QWidget* TfrmOptions::makeGridPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet1"));
    auto* lay = new QVBoxLayout(page);

    auto* top = new QHBoxLayout;
    auto* form = new QFormLayout;
    cmbSize_ = Combo(page, "cmbSize", {"Small", "Medium", "Large"});
    form->addRow(Label(page, "lblSize", "Grid Size"), cmbSize_);
    cmbGrid_ = new QComboBox(page);
    cmbGrid_->setObjectName(QStringLiteral("cmbGrid"));
    cmbGrid_->setMaxVisibleItems(12);
    cmbGrid_->setIconSize(QSize(16, 16));
    for (const TGridPreset& p : kGridPresets) {
        const QString name = QString::fromLatin1(p.name);
        // The custom row and the blanks have no picture of their own.
        if (name.isEmpty() || &p == &kGridPresets[0]) cmbGrid_->addItem(name);
        else cmbGrid_->addItem(QIcon(QPixmap::fromImage(GridPresetPicture(p))), name);
    }
    form->addRow(Label(page, "lblGrid", "Grid Color"), cmbGrid_);
    auto* custom = new QHBoxLayout;
    cbColor1_ = new TColorBox(page);
    cbColor1_->setObjectName(QStringLiteral("cbColor1"));
    cbColor2_ = new TColorBox(page);
    cbColor2_->setObjectName(QStringLiteral("cbColor2"));
    // Only "Custom" lets them be chosen.
    cbColor1_->setEnabled(false);
    cbColor2_->setEnabled(false);
    custom->addWidget(cbColor1_);
    custom->addWidget(cbColor2_);
    form->addRow(Label(page, "lblCustom", "Custom Colors"), custom);
    top->addLayout(form, 1);
    image1_ = new ImageView(page);
    image1_->setObjectName(QStringLiteral("Image1"));
    image1_->setFixedSize(48, 48);
    image1_->SetPicture(QImage(48, 48, QImage::Format_RGB32));
    top->addWidget(image1_, 0, Qt::AlignTop);
    lay->addLayout(top);

    auto* grid = new QGroupBox(QStringLiteral(" Grid "), page);
    grid->setObjectName(QStringLiteral("grpGrid"));
    auto* gridForm = new QFormLayout(grid);
    cmbStyle_ = Combo(grid, "cmbStyle", {"Solid", "Dashed Lines", "Dots"});
    gridForm->addRow(Label(grid, "lblStyle", "Style"), cmbStyle_);
    cbGridColor_ = new TColorBox(grid);
    cbGridColor_->setObjectName(QStringLiteral("cbGridColor"));
    gridForm->addRow(Label(grid, "lblGridColor", "Color"), cbGridColor_);
    lay->addWidget(grid);

    auto* colors = new QGroupBox(QStringLiteral(" Colors "), page);
    colors->setObjectName(QStringLiteral("grpColors"));
    auto* colorsForm = new QFormLayout(colors);
    cbPreviewColor_ = new TColorBox(colors);
    cbPreviewColor_->setObjectName(QStringLiteral("cbPreviewColor"));
    colorsForm->addRow(Label(colors, "lblPreviewColor", "Preview Background Color"), cbPreviewColor_);
    lay->addWidget(colors);
    lay->addStretch(1);

    connect(cmbSize_, &QComboBox::activated, this, [this](int index) {
        if (index >= 0 && index < 3) cellSize_ = kCellSizes[index];
        paintPreview();
    });
    connect(cmbGrid_, &QComboBox::activated, this, &TfrmOptions::GridChange);
    connect(cbColor1_, &TColorBox::changed, this, &TfrmOptions::paintPreview);
    connect(cbColor2_, &TColorBox::changed, this, &TfrmOptions::paintPreview);
    return page;
}

QWidget* TfrmOptions::makeActionsPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet3"));
    auto* lay = new QVBoxLayout(page);
    const auto actions = {"Resize the image", "Crop the image (top-left corner)", "Show the Advanced Import dialog",
                          "Prompt for action"};
    cmbPalette_ = Combo(page, "cmbPalette", {"Change the palette", "Don't change the palette", "Prompt for action"});
    cmbPaste_ = Combo(page, "cmbPaste", actions);
    cmbImport_ = Combo(page, "cmbImport", actions);
    lay->addWidget(Label(page, "lblPalette", "If the palette is about to be changed:"));
    lay->addWidget(cmbPalette_);
    lay->addWidget(Label(page, "lblPaste", "If the pasted image is larger than the canvas:"));
    lay->addWidget(cmbPaste_);
    lay->addWidget(Label(page, "lblImport", "If the imported  image is larger than the canvas:"));
    lay->addWidget(cmbImport_);
    lay->addStretch(1);
    return page;
}

QWidget* TfrmOptions::makeOptionsPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet2"));
    auto* lay = new QVBoxLayout(page);
    for (std::size_t i = 0; i < kOptionSwitches.size(); ++i) {
        switches_[i] = Check(page, kOptionSwitches[i].name, kOptionSwitches[i].caption);
        lay->addWidget(switches_[i]);
    }
    lay->addStretch(1);
    return page;
}

QWidget* TfrmOptions::makeAssocPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet4"));
    auto* lay = new QVBoxLayout(page);
    cbAssoc_ = Check(page, "cbAssoc", "Associate .CUR files with Velto");
    cbAniAssoc_ = Check(page, "cbAniAssoc", "Associate .ANI files with Velto");
    cbContext_ = Check(page, "cbContext", "Offer Velto in the Open With list of every kind of file");
    lay->addWidget(cbAssoc_);
    lay->addWidget(cbAniAssoc_);
    lay->addWidget(cbContext_);
    lay->addStretch(1);
    return page;
}

void TfrmOptions::showEvent(QShowEvent* event) {
    // Coming back from the minimised state keeps what was changed.
    if (!event->spontaneous()) loadSettings();
    QDialog::showEvent(event);
}

void TfrmOptions::loadSettings() {
    const TOptions& o = Options();
    pages_->setCurrentIndex(0);
    cellSize_ = o.BKSize;
    // Another cell size leaves the list as it was.
    for (int i = 0; i < 3; ++i)
        if (kCellSizes[i] == o.BKSize) ShowIndex(cmbSize_, i);
    // Shown as stored: the list's change (which sets the colours and enables
    // the custom boxes) runs only when the user chooses.
    ShowIndex(cmbGrid_, o.SelectedIndex);
    cbColor1_->SetSelected(o.BKColor1);
    cbColor2_->SetSelected(o.BKColor2);
    ShowIndex(cmbStyle_, o.GridStyle);
    cbGridColor_->SetSelected(o.GridColor);
    cbPreviewColor_->SetSelected(o.PrevColor);
    ShowIndex(cmbPalette_, o.PaletteAction);
    ShowIndex(cmbPaste_, o.ClipboardAction);
    ShowIndex(cmbImport_, o.ImportAction);
    for (std::size_t i = 0; i < kOptionSwitches.size(); ++i) switches_[i]->setChecked(o.*kOptionSwitches[i].setting);

    if (program_.isEmpty()) program_ = QCoreApplication::applicationFilePath();
    const bool writable = CanWriteClassesRoot(assoc_);
    for (QCheckBox* box : {cbAssoc_, cbAniAssoc_, cbContext_}) box->setEnabled(writable);
    cbAssoc_->setChecked(IsFileTypeAssociated(akCursor, assoc_));
    cbAniAssoc_->setChecked(IsFileTypeAssociated(akAnimated, assoc_));
    cbContext_->setChecked(IsOpenWithRegistered(program_, assoc_));
    paintPreview();
}

void TfrmOptions::paintPreview() {
    TCheckerboard board;
    board.CellSize = cellSize_;
    board.Color1 = cbColor1_->Selected();
    board.Color2 = cbColor2_->Selected();
    image1_->SetPicture(Checkerboard(48, 48, board));
}

void TfrmOptions::GridChange(int index) {
    if (index < 0 || index >= static_cast<int>(kGridPresets.size())) return;
    cbColor1_->setEnabled(index == 0);
    cbColor2_->setEnabled(index == 0);
    // A blank row stands for the preset below it.
    if (index == 1 || index == 6) {
        ++index;
        const QSignalBlocker block(cmbGrid_);
        cmbGrid_->setCurrentIndex(index);
    }
    if (index == 0) return;
    // The list's pictures are drawn from the same table.
    cbColor1_->SetSelected(kGridPresets[static_cast<std::size_t>(index)].color1);
    cbColor2_->SetSelected(kGridPresets[static_cast<std::size_t>(index)].color2);
    paintPreview();
}

void TfrmOptions::OKClick() {
    TOptions& o = Options();
    const bool autoZoomOn = switches_[kAutoZoomSwitch]->isChecked();
    // Switching automatic zoom on redraws the documents; switching it off
    // leaves them as they are.
    const bool changed = !(cellSize_ == o.BKSize && cbColor1_->Selected() == o.BKColor1 &&
                           cbColor2_->Selected() == o.BKColor2 && cbGridColor_->Selected() == o.GridColor &&
                           cmbStyle_->currentIndex() == o.GridStyle && (!autoZoomOn || o.Autozoom));
    o.BKSize = static_cast<std::uint8_t>(cellSize_);
    StoreIndex(cmbGrid_, o.SelectedIndex);
    o.BKColor1 = cbColor1_->Selected();
    o.BKColor2 = cbColor2_->Selected();
    StoreIndex(cmbStyle_, o.GridStyle);
    o.GridColor = cbGridColor_->Selected();
    o.PrevColor = cbPreviewColor_->Selected();
    StoreIndex(cmbPalette_, o.PaletteAction);
    StoreIndex(cmbPaste_, o.ClipboardAction);
    StoreIndex(cmbImport_, o.ImportAction);
    for (std::size_t i = 0; i < kOptionSwitches.size(); ++i) o.*kOptionSwitches[i].setting = switches_[i]->isChecked();

    // Each enabled box is applied on every OK: an unchecked one undoes what
    // is ours and leaves alone what is not.
    if (cbAssoc_->isEnabled()) SetFileTypeAssociation(akCursor, program_, cbAssoc_->isChecked(), assoc_);
    if (cbAniAssoc_->isEnabled()) SetFileTypeAssociation(akAnimated, program_, cbAniAssoc_->isChecked(), assoc_);
    if (cbContext_->isEnabled()) SetOpenWith(program_, cbContext_->isChecked(), assoc_);

    if (TfrmMain* main = frmMain()) main->RefreshAllDocuments(changed);
    accept();
}

}  // namespace velto
