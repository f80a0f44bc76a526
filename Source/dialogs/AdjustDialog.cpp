#include "AdjustDialog.h"

#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

#include "DialogParts.h"
#include "PreviewFrame.h"
#include "SliderComposite.h"
#include "engine/Adjust.h"
#include "shell/Desk.h"
#include "shell/ImageEdit.h"
#include "shell/Options.h"
#include "shell/ToolArt.h"

namespace velto {

namespace {

// The header band of an adjustment dialog: caption, help line, and a picture
// kept at the right edge.
class THeaderBand : public QObject {
public:
    THeaderBand(QDialog* dialog, const QString& header, const QString& help) : QObject(dialog) {
        band_ = MakeDialogHeader(dialog, header, help);
        band_->setObjectName(QStringLiteral("pnlHeader"));
        band_->setFixedHeight(48);
        if (auto* l = band_->findChild<QLabel*>(QStringLiteral("Label1"))) l->setObjectName(QStringLiteral("lblCaption"));
        if (auto* l = band_->findChild<QLabel*>(QStringLiteral("Label2"))) l->setObjectName(QStringLiteral("lblHelp"));
        picture_ = new QLabel(band_);
        picture_->setObjectName(QStringLiteral("Image4"));
        picture_->setPixmap(ApplicationIcon().pixmap(32, 32));
        picture_->resize(32, 32);
        // Wide enough for the texts beside the picture.
        int text = 0;
        for (QLabel* l : band_->findChildren<QLabel*>())
            if (l != picture_) text = std::max(text, l->sizeHint().width() + l->indent());
        band_->setMinimumWidth(text + picture_->width() + 40);
        band_->installEventFilter(this);
    }
    QWidget* Band() const { return band_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == band_ && event->type() == QEvent::Resize)
            picture_->move(band_->width() - picture_->width() - 8, (band_->height() - picture_->height()) / 2);
        return false;
    }

private:
    QWidget* band_ = nullptr;
    QLabel* picture_ = nullptr;
};

}  // namespace

TAdjustDialog::TAdjustDialog(QWidget* parent, const char* name, const QString& caption, const QString& header,
                             const QString& help, bool withPreview)
    : QDialog(parent), previewImage_(std::make_unique<TmyImagePal>(ImageSize{1, 1}, 32)) {
    setObjectName(QString::fromLatin1(name));
    setWindowTitle(caption);
    setModal(true);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 8);
    root->setSpacing(6);
    root->addWidget((new THeaderBand(this, header, help))->Band());

    auto* body = new QHBoxLayout;
    body->setContentsMargins(8, 2, 8, 2);
    body->setSpacing(10);
    if (withPreview) {
        auto* grp = new QGroupBox(QStringLiteral(" Preview "), this);
        grp->setObjectName(QStringLiteral("grpPreview"));
        grp->setFixedSize(129, 129);
        auto* lay = new QVBoxLayout(grp);
        lay->setContentsMargins(4, 4, 4, 4);
        preview1_ = new Tpreview(grp);
        preview1_->setObjectName(QStringLiteral("preview1"));
        lay->addWidget(preview1_);
        body->addWidget(grp, 0, Qt::AlignTop);
    }
    controls_ = new QVBoxLayout;
    controls_->setSpacing(2);
    body->addLayout(controls_, 1);
    root->addLayout(body, 1);

    auto* bottom = new QHBoxLayout;
    bottom->setContentsMargins(8, 0, 0, 0);
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("ProgressBar1"));
    progress_->setTextVisible(false);
    progress_->setFixedWidth(150);
    progress_->hide();
    bottom->addWidget(progress_);
    AddOkCancelRow(this, bottom, &btnOK_, &btnCancel_);
    root->addLayout(bottom);
    // A single-border window: as large as its contents, not resizable.
    root->setSizeConstraint(QLayout::SetFixedSize);
    connect(btnOK_, &QPushButton::clicked, this, &TAdjustDialog::OKClick);
}

TAdvancedTrackBar* TAdjustDialog::AddTrackBar(const char* name, const char* labelName, const QString& caption,
                                              int min, int max, int position) {
    if (!caption.isEmpty()) {
        auto* label = new QLabel(caption, this);
        label->setObjectName(QString::fromLatin1(labelName));
        controls_->addWidget(label);
    }
    auto* bar = new TAdvancedTrackBar(this);
    bar->setObjectName(QString::fromLatin1(name));
    // The composite places its parts by hand: its own size is its least.
    bar->setMinimumSize(bar->size());
    bar->SetMin(min);
    bar->SetMax(max);
    bar->SetPosition(position);
    controls_->addWidget(bar);
    return bar;
}

void TAdjustDialog::ChooseTarget() {
    const TImageEdit edit;
    target_ = edit.Target();
    targetIsSelection_ = edit.OnSelection();
    if (target_) previewImage_->Assign(*target_);
    if (!preview1_) return;
    const TColor back = Options().PrevColor;
    preview1_->SetBoxColor(back);
    preview1_->ShowImage(*previewImage_, back);
}

void TAdjustDialog::UpdatePreview() {
    if (!target_ || !preview1_) return;
    previewImage_->Assign(*target_);
    ApplyRoutine(*previewImage_, nullptr);
    preview1_->ShowImage(*previewImage_, Options().PrevColor);
}

std::function<void(int)> TAdjustDialog::ProgressOver(const TImageEdit& edit) {
    progress_->setRange(edit.First(), edit.Last() + 1);
    progress_->setValue(edit.First());
    progress_->setVisible(edit.AllFrames());
    return [this](int index) { progress_->setValue(index + 1); };
}

void TAdjustDialog::OKClick() {
    if (!ReadyToApply()) return;
    TImageEdit edit(TEditFrames::BySetting, EditFlags());
    if (!edit.Valid()) {
        reject();
        return;
    }
    if (!edit.Begin()) return;
    edit.Apply([this](TmyImagePal& image, TPaletteRule& palette) { ApplyRoutine(image, &palette); },
               edit.OnSelection() ? std::function<void(int)>() : ProgressOver(edit));
    edit.Finish();
    Applied();
    accept();
}

void TAdjustDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    progress_->hide();
    ChooseTarget();
    PrepareShow();
}

void TAdjustDialog::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    if (event->spontaneous()) return;
    target_ = nullptr;
    targetIsSelection_ = false;
}

void TAdjustDialog::keyPressEvent(QKeyEvent* event) {
    // Enter anywhere in the window is OK.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        btnOK_->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace velto
