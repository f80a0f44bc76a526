#include "FormPreview.h"

#include <QDir>
#include <QFrame>
#include <QHBoxLayout>
#include <QPainter>

#include <algorithm>
#include <cmath>

#include "EngineBridge.h"
#include "ImageView.h"
#include "PaneServices.h"
#include "PersistedBitmap.h"
#include "PreviewFrame.h"
#include "shell/Options.h"

namespace velto {

TfrmPreview::TfrmPreview(const QString& settingsFolder, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmPreviewContent"));
    resize(242, 218);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    preview1_ = new Tpreview(this);
    preview1_->setObjectName(QStringLiteral("preview1"));
    preview1_->setMinimumSize(20, 20);
    layout->addWidget(preview1_, 1);
    panel1_ = new QFrame(this);
    panel1_->setObjectName(QStringLiteral("Panel1"));
    panel1_->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel1_->setFixedWidth(18);
    auto* stripLayout = new QHBoxLayout(panel1_);
    stripLayout->setContentsMargins(1, 1, 1, 1);
    imgQuickColor_ = new ImageView(panel1_);
    imgQuickColor_->setObjectName(QStringLiteral("imgQuickColor"));
    imgQuickColor_->setToolTip(QStringLiteral("Quick Colors"));
    imgQuickColor_->SetStretch(true);
    stripLayout->addWidget(imgQuickColor_);
    layout->addWidget(panel1_);

    const QString file = settingsFolder.isEmpty() ? QString() : QDir(settingsFolder).filePath(kQuickColorsFile);
    imgQuickColor_->SetPicture(file.isEmpty() ? DefaultQuickColors() : LoadPersistedBitmap(file, DefaultQuickColors()));
    preview1_->SetPicture(QImage(256, 256, QImage::Format_RGB32));
    preview1_->Image1()->resize(0, 0);
    ApplyPrevColor();

    connect(imgQuickColor_, &ImageView::mousePressed, this, [this](Qt::MouseButton, QPoint p) { QuickColorPressed(p); });
    connect(imgQuickColor_, &ImageView::doubleClicked, this,
            [this](Qt::MouseButton, QPoint p) { QuickColorDoubleClicked(p); });
    connect(preview1_, &Tpreview::doubleClicked, this, &TfrmPreview::chooseBackground);
    SetPreviewPane(this);
}

TfrmPreview::~TfrmPreview() {
    if (PreviewPane() == this) SetPreviewPane(nullptr);
}

QImage TfrmPreview::DefaultQuickColors() {
    QImage img(kQuickCellSize, kQuickCells * kQuickCellSize, QImage::Format_RGB32);
    QPainter p(&img);
    for (int k = 0; k < kQuickCells; ++k) {
        // Round(k · 28.33), halves to even: 0, 28, 57, ... 255.
        const int g = static_cast<int>(std::nearbyint(k * 28.33));
        p.fillRect(0, k * kQuickCellSize, kQuickCellSize, kQuickCellSize, QColor(g, g, g));
    }
    return img;
}

const QImage& TfrmPreview::QuickColorBitmap() const { return imgQuickColor_->Picture(); }

void TfrmPreview::SetQuickColor(int cell, QRgb colour) {
    if (cell < 0 || cell >= kQuickCells) return;
    QPainter p(&imgQuickColor_->Picture());
    p.fillRect(0, cell * kQuickCellSize, kQuickCellSize, kQuickCellSize, QColor::fromRgb(colour));
    p.end();
    imgQuickColor_->update();
}

bool TfrmPreview::SaveQuickColors(const QString& settingsFolder) const {
    if (settingsFolder.isEmpty()) return false;
    return SavePersistedBitmap(QDir(settingsFolder).filePath(kQuickColorsFile), QuickColorBitmap());
}

void TfrmPreview::ApplyPrevColor() { preview1_->SetBoxColor(Options().PrevColor); }

void TfrmPreview::RefreshPreview(const TmyImagePal* image) {
    if (!image) {
        ForgetImage();
        return;
    }
    // A floating selection shows at its place before it is part of the image.
    TmyImagePal withSelection(image->Size(), 32);
    std::copy(image->Pixels().begin(), image->Pixels().end(), withSelection.Pixels().begin());
    if (DocumentLink().PasteSelection(withSelection)) preview1_->ShowImage(withSelection, Options().PrevColor);
    else preview1_->ShowImage(*image, Options().PrevColor);
    currentImage_ = image;
}

void TfrmPreview::ForgetImage() {
    currentImage_ = nullptr;
    preview1_->Image1()->resize(0, 0);
    preview1_->SetPicture(QImage());
}

void TfrmPreview::PlotPixel(int x, int y, bool blend, const TmyPixel& pixel) {
    ImageView* view = preview1_->Image1();
    DrawPixel(view->Picture(), x, y, blend, pixel, Options().PrevColor);
    view->update(QRect(x, y, 1, 1));
}

void TfrmPreview::rerender() {
    if (preview1_->Image1()->width() == 0) return;
    // The image shown is the active document's: take it from there, so that a
    // stale pointer to an image gone since is never followed.
    const TmyImagePal* image = DocumentLink().CurrentImage();
    if (!image) image = currentImage_;
    if (image) RefreshPreview(image);
}

void TfrmPreview::QuickColorPressed(QPoint pos) {
    const QImage& bmp = QuickColorBitmap();
    const int w = std::max(1, imgQuickColor_->width()), h = std::max(1, imgQuickColor_->height());
    // The picture is stretched over the strip: both axes map back onto it.
    const int bx = std::clamp(pos.x() * bmp.width() / w, 0, bmp.width() - 1);
    const int by = std::clamp(pos.y() * bmp.height() / h, 0, bmp.height() - 1);
    Options().PrevColor = ToTColor(bmp.pixel(bx, by));
    ApplyPrevColor();
    rerender();
}

void TfrmPreview::QuickColorDoubleClicked(QPoint pos) {
    const int cellHeight = imgQuickColor_->height() / kQuickCells;
    if (cellHeight <= 0) return;
    const int k = std::clamp(pos.y() / cellHeight, 0, kQuickCells - 1);
    const auto chosen = ChooseColor(lastQuickColor_, this);
    if (!chosen) return;
    lastQuickColor_ = *chosen;
    SetQuickColor(k, chosen->rgb());
}

void TfrmPreview::chooseBackground() {
    const auto chosen = ChooseColor(QColor::fromRgb(QRgbOf(Options().PrevColor)), this);
    if (!chosen) return;
    Options().PrevColor = ToTColor(chosen->rgb());
    ApplyPrevColor();
    rerender();
}

}  // namespace velto
