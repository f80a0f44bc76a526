#include "FormRotate.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include <cstdlib>

#include "KeyFilteredEdit.h"
#include "NumberBox.h"
#include "Scroll2D.h"
#include "SpinButton.h"
#include "core/Language.h"
#include "core/MessageBox.h"
#include "engine/Transform.h"
#include "shell/Desk.h"
#include "shell/ImageEdit.h"
#include "shell/MainWindow.h"

namespace velto {

namespace {

QLabel* Label(QWidget* parent, const char* name, const QString& caption) {
    auto* l = new QLabel(caption, parent);
    l->setObjectName(QString::fromLatin1(name));
    return l;
}

}  // namespace

// ---------------------------------------------------------------- TfrmRotate

TfrmRotate::TfrmRotate(QWidget* parent)
    : TAdjustDialog(parent, "frmRotate", QStringLiteral("Free Rotate"), QStringLiteral("Rotate"),
                    QStringLiteral("Rotate the current image")) {
    auto* grid = new QGridLayout;
    grid->addWidget(Label(this, "lblAngle", QStringLiteral("Angle: ")), 0, 0);
    auto* angleRow = new QHBoxLayout;
    angleRow->setSpacing(0);
    edit1_ = new TKeyFilteredEdit(TKeyFilteredEdit::Digits(), this);
    edit1_->setObjectName(QStringLiteral("Edit1"));
    edit1_->setText(QStringLiteral("0"));
    edit1_->setFixedWidth(50);
    spin_ = new TSpinButton(this);
    spin_->setObjectName(QStringLiteral("SpinButton1"));
    angleRow->addWidget(edit1_);
    angleRow->addWidget(spin_);
    angleRow->addStretch(1);
    grid->addLayout(angleRow, 0, 1);
    grid->addWidget(Label(this, "lblDirection", QStringLiteral("Direction: ")), 1, 0);
    auto* dirRow = new QHBoxLayout;
    rbLeft_ = new QRadioButton(QStringLiteral("Left"), this);
    rbLeft_->setObjectName(QStringLiteral("rbLeft"));
    rbLeft_->setChecked(true);
    rbRight_ = new QRadioButton(QStringLiteral("Right"), this);
    rbRight_->setObjectName(QStringLiteral("rbRight"));
    dirRow->addWidget(rbLeft_);
    dirRow->addWidget(rbRight_);
    dirRow->addStretch(1);
    grid->addLayout(dirRow, 1, 1);
    grid->addWidget(Label(this, "lblCenter", QStringLiteral("Center")), 2, 0, Qt::AlignTop);
    sbCenter_ = new TScroll2D(this);
    sbCenter_->setObjectName(QStringLiteral("sbCenter"));
    sbCenter_->setFixedSize(100, 100);
    grid->addWidget(sbCenter_, 2, 1);
    ControlsLayout()->addLayout(grid);
    ControlsLayout()->addStretch(1);

    connect(edit1_, &QLineEdit::textChanged, this, &TfrmRotate::angleChanged);
    connect(spin_, &TSpinButton::upClicked, this, [this] { step(1); });
    connect(spin_, &TSpinButton::downClicked, this, [this] { step(-1); });
    // Either button's click toggles the left one.
    connect(rbLeft_, &QRadioButton::toggled, this, &TfrmRotate::UpdatePreview);
    connect(sbCenter_, &TScroll2D::changed, this, &TfrmRotate::UpdatePreview);
}

QLineEdit* TfrmRotate::AngleEdit() const { return edit1_; }

QPoint TfrmRotate::GetCenter(ImageSize size) const {
    const TScroll2D& c = *sbCenter_;
    const long long x = (std::llabs(c.MinX()) + c.PositionX()) * static_cast<long long>(size.Width) / (c.MaxX() - c.MinX());
    const long long y =
        (std::llabs(c.MinY()) + c.PositionY()) * static_cast<long long>(size.Height) / (c.MaxY() - c.MinY());
    return {static_cast<int>(x), static_cast<int>(y)};
}

int TfrmRotate::SignedAngle() const {
    const int angle = edit1_->text().toInt();  // an emptied edit counts as 0
    return rbLeft_->isChecked() ? -angle : angle;
}

void TfrmRotate::angleChanged() {
    const QString text = edit1_->text();
    if (text.isEmpty()) return;
    bool ok = false;
    const int v = text.toInt(&ok);
    // The length first: "00001" is refused like "400". Each correction comes
    // back here with a valid text, which redraws the preview.
    if (text.size() > 4 || (ok && v >= 360)) {
        edit1_->setText(QStringLiteral("359"));
        return;
    }
    if (!ok || v < 0) {
        edit1_->setText(QStringLiteral("0"));
        return;
    }
    UpdatePreview();
}

void TfrmRotate::step(int by) { edit1_->setText(QString::number(edit1_->text().toInt() + by)); }

void TfrmRotate::ApplyRoutine(TmyImagePal& image, TPaletteRule*) {
    const QPoint c = GetCenter(image.Size());
    RotateImage(image, c.x(), c.y(), SignedAngle());
}

void TfrmRotate::PrepareShow() { UpdatePreview(); }

// Rotation samples between pixels: indexed frames are refitted to their
// palettes.
unsigned TfrmRotate::EditFlags() const { return RefitPalette; }

// ---------------------------------------------------------------- TfrmDimension

TfrmDimension::TfrmDimension(QWidget* parent)
    : TAdjustDialog(parent, "frmDimension", QStringLiteral("Dimension"), QStringLiteral("Dimension"),
                    QStringLiteral("Change image dimension"), false) {
    auto* grid = new QGridLayout;
    const struct {
        const char* name;
        const char* caption;
    } buttons[] = {{"rb16", "16 x 16"}, {"rb24", "24 x 24"}, {"rb32", "32 x 32"},
                   {"rb48", "48 x 48"}, {"rb256", "256 x 256"}, {"rbCustom", "Custom:"}};
    for (int i = 0; i < 6; ++i) {
        auto* rb = new QRadioButton(QString::fromLatin1(buttons[i].caption), this);
        rb->setObjectName(QString::fromLatin1(buttons[i].name));
        sizes_.append(rb);
        grid->addWidget(rb, i, 0);
        connect(rb, &QRadioButton::toggled, this, [this](bool on) {
            if (on) sizeChosen();
        });
    }
    auto edit = [this](const char* name) {
        auto* e = new TKeyFilteredEdit(TKeyFilteredEdit::Digits(), this);
        e->setObjectName(QString::fromLatin1(name));
        e->setText(QStringLiteral("128"));
        e->setFixedWidth(50);
        e->setEnabled(false);
        connect(e, &TKeyFilteredEdit::clicked, e, &QLineEdit::selectAll);
        return e;
    };
    edtWidth_ = edit("edtWidth");
    edtHeight_ = edit("edtHeight");
    cbSquare_ = new QCheckBox(QStringLiteral("Square"), this);
    cbSquare_->setObjectName(QStringLiteral("cbSquare"));
    cbSquare_->setChecked(true);
    cbSquare_->setEnabled(false);
    auto* custom = new QGridLayout;
    custom->addWidget(Label(this, "lblWidth", QStringLiteral("Width:")), 0, 0);
    custom->addWidget(edtWidth_, 0, 1);
    custom->addWidget(Label(this, "lblHeight", QStringLiteral("Height:")), 1, 0);
    custom->addWidget(edtHeight_, 1, 1);
    custom->addWidget(cbSquare_, 2, 0, 1, 2);
    grid->addLayout(custom, 6, 0);
    grid->setColumnStretch(1, 1);
    ControlsLayout()->addLayout(grid);
    ControlsLayout()->addStretch(1);

    connect(edtWidth_, &QLineEdit::textChanged, this, [this] { edited(edtWidth_, edtHeight_, newWidth_); });
    connect(edtHeight_, &QLineEdit::textChanged, this, [this] { edited(edtHeight_, edtWidth_, newHeight_); });
    sizes_[3]->setChecked(true);
}

QLineEdit* TfrmDimension::WidthEdit() const { return edtWidth_; }
QLineEdit* TfrmDimension::HeightEdit() const { return edtHeight_; }

void TfrmDimension::sizeChosen() {
    static constexpr int kSides[] = {16, 24, 32, 48, 256};
    const bool custom = sizes_[5]->isChecked();
    edtWidth_->setEnabled(custom);
    edtHeight_->setEnabled(custom);
    cbSquare_->setEnabled(custom);
    for (int i = 0; i < 5; ++i)
        if (sizes_[i]->isChecked()) newWidth_ = newHeight_ = kSides[i];
    if (!custom) return;
    // An emptied edit keeps the last value.
    if (const auto h = ParseBoundedInt(edtHeight_->text(), 1, 256)) newHeight_ = *h;
    if (const auto w = ParseBoundedInt(edtWidth_->text(), 1, 256)) newWidth_ = *w;
}

void TfrmDimension::edited(TKeyFilteredEdit* edit, TKeyFilteredEdit* other, int& value) {
    const QString text = edit->text();
    const auto v = ParseBoundedInt(text, 1, 256);
    if (!v) return;
    bool exact = false;
    if (text.toLongLong(&exact) != *v || !exact) {
        // Out of range: the bound, which comes back here.
        edit->setText(QString::number(*v));
        return;
    }
    if (cbSquare_->isChecked() && other->text() != text) other->setText(text);
    value = *v;
}

void TfrmDimension::OKClick() {
    TImageEdit edit(TEditFrames::AllOfAnimation, RefitPalette | Resizes);
    TfrmMain* main = frmMain();
    if (!edit.Valid() || !main) {
        reject();
        return;
    }
    const ImageSize size{newWidth_, newHeight_};
    if (edit.OnSelection()) {
        main->Selection().Resize(size.Width, size.Height);
        accept();
        return;
    }
    // An icon holds one image of each size and depth. Asked before the undo
    // snapshot, so that a refusal leaves the history as it was.
    TfrmDesk& desk = *edit.Desk();
    if (!edit.AllFrames() && !desk.Document()->CanAdd(size, edit.Target()->BitCount)) {
        ShowMessageBox(Lang().GetMessage("msgNotUnique", "There is already an image with this format in the icon!"),
                       mkWarning, mbOK);
        return;
    }
    if (!edit.Begin()) return;
    edit.Apply(
        [size](TmyImagePal& image, TPaletteRule&) {
            ResizeFrame(image, size);
            image.UpdateZoom();
        },
        ProgressOver(edit));
    if (TmyImagePal* current = desk.CurrentImage()) {
        current->UpdateZoom();
        desk.SetZoom(current->Zoom);
    }
    edit.Finish();
    accept();
}

}  // namespace velto
