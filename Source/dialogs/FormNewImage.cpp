#include "FormNewImage.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

#include "DialogParts.h"
#include "browse/ThumbnailGrid.h"
#include "DocumentDialogs.h"
#include "NumberBox.h"
#include "core/Language.h"
#include "core/MessageBox.h"
#include "engine/ColorDepth.h"
#include "engine/Transform.h"
#include "model/Icon.h"
#include "shell/Desk.h"
#include "shell/DeskText.h"
#include "shell/ImageEdit.h"
#include "shell/MainWindow.h"
#include "shell/Options.h"
#include "shell/PaneAccess.h"
#include "shell/ToolController.h"

namespace velto {

namespace {

constexpr std::uint8_t kDepths[] = {1, 4, 8, 24, 32};
constexpr const char* kDepthNames[] = {"rb1Bit", "rb4Bit", "rb8Bit", "rb24Bit", "rb32Bit"};
constexpr const char* kDepthCaptions[] = {"2 Colors (1 bit)", "16 Colors (4 bits)", "256 Colors (8 bits)",
                                          "True Color (24 bits)", "True Color + Alpha Channel (32 bits)"};
constexpr int kSides[] = {16, 24, 32, 48, 64, 256};
constexpr const char* kSizeNames[] = {"rb16", "rb24", "rb32", "rb48", "rb64", "rb256", "rbCustom"};
constexpr int kCustom = 6;
constexpr int kMaxSide = 256;
constexpr int kTile = 75;
// The thumbnail grid shows one row of tiles with their captions; on a screen
// too low for the window it gives up height down to half a row.
constexpr int kGridHeight = 105;
constexpr int kLeastGridHeight = 50;

QRadioButton* Radio(QWidget* parent, const char* name, const QString& caption) {
    auto* rb = new QRadioButton(caption, parent);
    rb->setObjectName(QString::fromLatin1(name));
    return rb;
}

}  // namespace

TfrmNewImage::TfrmNewImage(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmNewImage"));
    setWindowTitle(QStringLiteral("New Image"));
    setModal(true);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 8);
    // The window takes the size of what its layout shows: the header stays
    // as it is when the layout changes between showings.
    root->setSizeConstraint(QLayout::SetFixedSize);
    root->addWidget(MakeDialogHeader(this, QStringLiteral("New Image"), QStringLiteral("Add a new image to your cursor")));
    // The choices scroll when even the shortest grid leaves them too tall
    // for the screen (showEvent).
    QBoxLayout* body = nullptr;
    choices_ = new TChoicesScroll(QStringLiteral("sbChoices"), this, &body);
    body->setContentsMargins(10, 4, 10, 4);

    grpType_ = new QGroupBox(QStringLiteral(" Cursor Type "), this);
    grpType_->setObjectName(QStringLiteral("grpType"));
    auto* type = new QHBoxLayout(grpType_);
    rbCur_ = Radio(grpType_, "rbCur", QStringLiteral("Static Cursor (CUR)"));
    rbAni_ = Radio(grpType_, "rbAni", QStringLiteral("Animated Cursor (ANI)"));
    rbCur_->setChecked(true);
    type->addWidget(rbCur_);
    type->addWidget(rbAni_);
    type->addStretch(1);
    body->addWidget(grpType_);

    auto* colors = new QGroupBox(QStringLiteral(" Colors "), this);
    colors->setObjectName(QStringLiteral("grpColors"));
    auto* colorGrid = new QGridLayout(colors);
    for (int i = 0; i < 5; ++i) {
        depth_[static_cast<std::size_t>(i)] = Radio(colors, kDepthNames[i], QString::fromLatin1(kDepthCaptions[i]));
        colorGrid->addWidget(depth_[static_cast<std::size_t>(i)], i % 3, i / 3);
        connect(depth_[static_cast<std::size_t>(i)], &QRadioButton::toggled, this, [this](bool on) {
            if (on) depthClick();
        });
    }
    depth_[4]->setChecked(true);
    body->addWidget(colors);

    auto* sizes = new QGroupBox(QStringLiteral(" Size "), this);
    sizes->setObjectName(QStringLiteral("grpSize"));
    auto* sizeGrid = new QGridLayout(sizes);
    for (int i = 0; i < 7; ++i) {
        const QString caption = i == kCustom ? QStringLiteral("Custom:") : QStringLiteral("%1 x %1").arg(kSides[i]);
        size_[static_cast<std::size_t>(i)] = Radio(sizes, kSizeNames[i], caption);
        connect(size_[static_cast<std::size_t>(i)], &QRadioButton::toggled, this, [this](bool on) {
            if (on) sizeClick();
        });
    }
    sizeGrid->addWidget(size_[0], 0, 0);
    sizeGrid->addWidget(size_[1], 1, 0);
    sizeGrid->addWidget(size_[2], 2, 0);
    auto* lbl32 = new QLabel(QStringLiteral("(Recommended resolution for cursors)"), sizes);
    lbl32->setObjectName(QStringLiteral("lbl32"));
    sizeGrid->addWidget(lbl32, 3, 0, 1, 2);
    sizeGrid->addWidget(size_[3], 0, 1);
    sizeGrid->addWidget(size_[4], 1, 1);
    sizeGrid->addWidget(size_[5], 2, 1);
    auto* custom = new QGridLayout;
    custom->addWidget(size_[kCustom], 0, 0, 1, 2);
    auto edit = [this, sizes, custom](int row, const char* labelName, const char* caption, const char* name) {
        auto* label = new QLabel(QString::fromLatin1(caption), sizes);
        label->setObjectName(QString::fromLatin1(labelName));
        auto* box = new TNumberBox(sizes);
        box->setObjectName(QString::fromLatin1(name));
        box->setText(QStringLiteral("128"));
        box->setMaxLength(9);
        box->setFixedWidth(50);
        custom->addWidget(label, row, 0);
        custom->addWidget(box, row, 1);
        connect(box, &QLineEdit::textChanged, this, [this, box] { sizeEdited(box); });
        return box;
    };
    edtWidth_ = edit(1, "lblWidth", "Width:", "edtWidth");
    edtHeight_ = edit(2, "lblHeight", "Height:", "edtHeight");
    cbSquare_ = new QCheckBox(QStringLiteral("Square"), sizes);
    cbSquare_->setObjectName(QStringLiteral("cbSquare"));
    cbSquare_->setChecked(true);
    custom->addWidget(cbSquare_, 3, 0, 1, 2);
    sizeGrid->addLayout(custom, 0, 2, 4, 1);
    sizeGrid->setColumnStretch(3, 1);
    size_[2]->setChecked(true);
    body->addWidget(sizes);

    grpImages_ = new QGroupBox(QStringLiteral(" Source Image "), this);
    grpImages_->setObjectName(QStringLiteral("grpImages"));
    auto* images = new QVBoxLayout(grpImages_);
    cbFromImage_ = new QCheckBox(QStringLiteral("Create the new image from the selected image:"), grpImages_);
    cbFromImage_->setObjectName(QStringLiteral("cbFromImage"));
    cbFromImage_->setChecked(true);
    images->addWidget(cbFromImage_);
    // The thumbnail grid: one tile per image of the document, one chosen,
    // kept chosen when empty space is clicked.
    grid_ = new TThumbail(grpImages_);
    grid_->setObjectName(QStringLiteral("Thumbs"));
    grid_->SetThumbnailSize(kTile);
    grid_->SetShowCaption(true);
    grid_->SetSelectionMode(1);
    grid_->SetAlwaysSelected(true);
    grid_->SetCanDrag(false);
    grid_->setMinimumWidth(435);
    grid_->setFixedHeight(kGridHeight);
    images->addWidget(grid_);
    connect(cbFromImage_, &QCheckBox::toggled, grid_, &QWidget::setEnabled);
    body->addWidget(grpImages_);
    root->addWidget(choices_);

    AddOkCancelRow(this, root, &btnOK_, &btnCancel_);
    connect(btnOK_, &QPushButton::clicked, this, &TfrmNewImage::OKClick);
    SetNewImageMode(true);
    sizeClick();
}

void TfrmNewImage::SetNewImageMode(bool showImages) {
    showImages_ = showImages;
    grpImages_->setVisible(showImages);
    grpType_->setVisible(!showImages);
}

void TfrmNewImage::SetTypeChoiceVisible(bool visible) {
    grpType_->setVisible(visible && !showImages_);
    adjustSize();
}

void TfrmNewImage::depthClick() {
    for (int i = 0; i < 5; ++i)
        if (depth_[static_cast<std::size_t>(i)]->isChecked()) newBitCount_ = kDepths[i];
}

void TfrmNewImage::sizeClick() {
    const bool custom = size_[kCustom]->isChecked();
    edtWidth_->setEnabled(custom);
    edtHeight_->setEnabled(custom);
    cbSquare_->setEnabled(custom);
    for (int i = 0; i < kCustom; ++i)
        if (size_[static_cast<std::size_t>(i)]->isChecked()) newWidth_ = newHeight_ = kSides[i];
    if (!custom) return;
    // An emptied box keeps the last size.
    if (const auto w = ParseBoundedInt(edtWidth_->text(), 1, kMaxSide)) newWidth_ = *w;
    if (const auto h = ParseBoundedInt(edtHeight_->text(), 1, kMaxSide)) newHeight_ = *h;
}

void TfrmNewImage::sizeEdited(TNumberBox* edit) {
    if (edit->text().isEmpty()) return;
    const auto value = ParseBoundedInt(edit->text(), 1, kMaxSide);
    if (!value) return;
    const QString text = QString::number(*value);
    // A number out of 1..256 is written back as its bound (which runs this again).
    if (text != edit->text()) {
        edit->setText(text);
        return;
    }
    if (cbSquare_->isChecked()) {
        TNumberBox* other = edit == edtWidth_ ? edtHeight_ : edtWidth_;
        if (other->text() != text) other->setText(text);
    }
    if (edit == edtWidth_) newWidth_ = *value;
    else newHeight_ = *value;
}

void TfrmNewImage::showEvent(QShowEvent* event) {
    // Coming back from the minimised state keeps the choice.
    if (event->spontaneous()) {
        QDialog::showEvent(event);
        return;
    }
    handled_ = false;
    added_ = false;
    if (TfrmDesk* desk = ActiveDocumentWindow(); desk && desk->Document())
        grid_->LoadIconImages(*desk->Document(), desk->IsAnimated());
    else grid_->Clear();
    if (grid_->Count() > 0) grid_->SelectItem(0);
    // The window keeps its buttons on the screen: the grid gives way first,
    // then the choices scroll.
    grid_->setFixedHeight(kGridHeight);
    choices_->setMaximumHeight(QWIDGETSIZE_MAX);
    choices_->Relayout();
    layout()->activate();
    int over = sizeHint().height() - ScreenRoomFor(this);
    if (showImages_ && over > 0) {
        const int grid = std::max(kLeastGridHeight, kGridHeight - over);
        over -= kGridHeight - grid;
        grid_->setFixedHeight(grid);
        choices_->Relayout();
    }
    if (over > 0) choices_->setMaximumHeight(std::max(choices_->minimumSizeHint().height(), choices_->sizeHint().height() - over));
    QDialog::showEvent(event);
}

void TfrmNewImage::OKClick() {
    TfrmMain* main = frmMain();
    TfrmDesk* desk = ActiveDocumentWindow();
    if (!desk || !desk->Document()) return;
    // A new document becomes the kind asked for, and only while it is empty.
    const bool hadImages = desk->Document()->Count() > 0;
    if (!showImages_ && !hadImages) {
        if (rbAni_->isChecked()) {
            desk->SetDocument(std::make_unique<TmyANI>());
            desk->SetDragItems(true);
        } else {
            desk->Document()->IsCursor = true;
        }
    }
    TmyIcon& doc = *desk->Document();
    const int k = doc.InsertSorted({newWidth_, newHeight_}, newBitCount_);
    added_ = k != -1;
    if (!added_) {
        ShowMessageBox(Lang().GetMessage("msgNotUnique", "There is already an image with this format in the icon!"),
                       mkWarning, mbOK);
        return;
    }
    // The source's index from before the insertion: the new image may have moved it.
    const int s = grid_->FirstSelected();
    if (showImages_ && cbFromImage_->isChecked() && s >= 0) {
        const int source = s >= k ? s + 1 : s;
        if (source < doc.Count()) {
            TmyImagePal& image = doc.Image(k);
            image.Assign(doc.Image(source));
            ResizeFrame(image, {newWidth_, newHeight_});
            const auto bits = static_cast<TBitDepth>(newBitCount_);
            ChangeColorDepth(image, bits,
                             newBitCount_ == 1 || newBitCount_ == 4 ? TPaletteKind::Windows : TPaletteKind::Optimised,
                             Options().Dithering ? TDither::On : TDither::Off);
            image.UpdateZoom();
        }
    }
    // An image added to an open document is a change to save, whichever
    // layout its opener chose.
    if (showImages_ || hadImages) TImageEdit(*desk, TEditKind::Frames).Done();
    desk->UpdateImageList(true);
    // The new image current: its zoom, the panes, the canvas; undo starts over.
    desk->SetCurrentImage(k);
    if (main) {
        main->UpdateUndoActions();
        main->Tools().UpdateBrushOutline();
    }
    handled_ = true;
    accept();
}

void TfrmNewImage::reject() {
    // An empty new document is not kept: its window closes and gives its
    // place in the cascade back.
    if (!showImages_) {
        TfrmMain* main = frmMain();
        TfrmDesk* desk = ActiveDocumentWindow();
        if (main && desk && !desk->HasImages()) {
            // Stepped back first: the last window closing starts the cascade over.
            main->StepCascadeBack();
            main->DiscardDocumentWindow(desk);
        }
    }
    handled_ = true;
    QDialog::reject();
}

}  // namespace velto
