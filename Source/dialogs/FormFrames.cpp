#include "FormFrames.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include <memory>
#include <vector>

#include "DialogParts.h"
#include "browse/FileNames.h"
#include "browse/ThumbnailGrid.h"
#include "engine/ColorDepth.h"
#include "gif/GifImage.h"
#include "import/MyImport.h"
#include "model/AniIO.h"
#include "model/Detect.h"
#include "model/Icon.h"
#include "shell/MainWindow.h"
#include "shell/Options.h"

namespace velto {

TfrmFrames::TfrmFrames(TfrmMain* main, QWidget* parent) : QDialog(parent), main_(main) {
    setObjectName(QStringLiteral("frmFrames"));
    setWindowTitle(QStringLiteral("Frames"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setMinimumSize(300, 300);
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 8);
    lay->addWidget(MakeDialogHeader(this, QStringLiteral("Frames"), QStringLiteral("Select a frame to import")));
    grid_ = new TThumbail(this);
    grid_->setObjectName(QStringLiteral("ListView1"));
    grid_->SetCanDrag(false);
    grid_->SetSelectionMode(2);
    grid_->SetShowCaption(false);
    grid_->SetThumbnailSize(150);
    grid_->setFrameShape(QFrame::NoFrame);
    lay->addWidget(grid_, 1);
    QHBoxLayout* buttons = AddOkCancelRow(this, lay, &btnOK_, &btnCancel_);
    btnCancel_->setAutoDefault(false);
    cbOverimpose_ = new QCheckBox(QStringLiteral("Over-impose frames"), this);
    cbOverimpose_->setObjectName(QStringLiteral("cbOverimpose"));
    cbOverimpose_->setChecked(true);
    buttons->insertWidget(0, cbOverimpose_);
    connect(btnOK_, &QPushButton::clicked, this, [this] { ImportSelected(); });
    connect(cbOverimpose_, &QCheckBox::toggled, this, [this] { LoadFrames(); });
    connect(grid_, &TThumbail::itemDblClicked, this, [this] { btnOK_->click(); });
    resize(520, 420);
}

bool TfrmFrames::Prepare() {
    const FileTypeResult type = DetectFileType(FileNameBytes(fileName_));
    fileType_ = type.ok() ? type.type : 0;
    cbOverimpose_->setVisible(fileType_ == ftGif);
    grid_->SetThumbnailSize(fileType_ == ftAnimatedCursor ? 70 : 150);
    failed_ = false;
    LoadFrames();
    prepared_ = true;
    return grid_->Count() > 0;
}

void TfrmFrames::LoadFrames() {
    loadError_ = FileError::None;
    if (fileType_ == ftAnimatedCursor)
        grid_->LoadAniFrames(fileName_);
    else
        loadError_ = grid_->LoadGifFrames(fileName_, cbOverimpose_->isChecked());
    if (grid_->Count() > 0) grid_->SelectItem(0);
}

void TfrmFrames::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous() || prepared_) return;
    Prepare();
}

void TfrmFrames::hideEvent(QHideEvent* event) {
    grid_->Stop();
    // The next showing reads the file again (it may be another one).
    prepared_ = false;
    QDialog::hideEvent(event);
}

bool TfrmFrames::GifFrameImage(TGIFImage& gif, int n, bool overimpose, TmyImagePal& image) {
    // Black and fully transparent: what no opaque frame pixel covers stays so.
    TBitmap screen;
    if (!screen.Allocate(gif.Width(), gif.Height(), pf32bit)) return false;
    for (int k = overimpose ? 0 : n; k <= n; ++k) RenderGifFrame(screen, gif, k);
    tmyimport& service = MyImport();
    service.Cancelled = false;
    return service.BitmapToImage(screen, image, image.Size(), false, false) && !service.Cancelled;
}

bool TfrmFrames::openFrame(TmyImagePal& image) {
    ChangeColorDepth(image, static_cast<TBitDepth>(bitCount_), TPaletteKind::Windows,
                     Options().Dithering ? TDither::On : TDither::Off);
    auto doc = std::make_unique<TmyIcon>();
    TmyImagePal& target = doc->Image(doc->AddImage(size_, bitCount_));
    target.Assign(image);
    target.UpdateZoom();
    return main_ && main_->NewDocumentFromIcon(std::move(doc));
}

int TfrmFrames::importGif() {
    TGIFImage gif;
    try {
        if (!gif.LoadFromFile(FileNameBytes(fileName_)) || gif.Width() <= 0 || gif.Height() <= 0) return -1;
    } catch (const std::exception&) {
        return -1;
    }
    const bool overimpose = cbOverimpose_->isChecked();
    // The tiles stand for the frames that hold an image, in order.
    const std::vector<int> frames = gif.PictureFrames();
    int opened = 0;
    for (int n : grid_->Selection()) {
        if (n < 0 || n >= static_cast<int>(frames.size())) continue;
        TmyImagePal image(size_, 32);
        // A conversion the user cancelled opens nothing for this frame.
        if (!GifFrameImage(gif, frames[static_cast<std::size_t>(n)], overimpose, image)) continue;
        if (!openFrame(image)) break;
        ++opened;
    }
    return opened;
}

int TfrmFrames::importAni() {
    TmyANI doc;
    if (!TmyANIIO(false).LoadFromFile(doc, FileNameBytes(fileName_))) return -1;
    tmyimport& service = MyImport();
    int opened = 0;
    for (int n : grid_->Selection()) {
        if (n < 0 || n >= doc.Count()) continue;
        TmyImagePal image(size_, 32);
        service.Cancelled = false;
        if (!service.IconImageToImage(doc, false, n, image) || service.Cancelled) continue;
        if (!openFrame(image)) break;
        ++opened;
    }
    return opened;
}

int TfrmFrames::ImportSelected() {
    if (grid_->SelectedCount() == 0) return 0;
    hide();
    const int opened = fileType_ == ftAnimatedCursor ? importAni() : importGif();
    failed_ = opened < 0;
    accept();
    return opened;
}

}  // namespace velto
