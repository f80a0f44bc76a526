#include "FormShadow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "ColorBox.h"
#include "Scroll2D.h"
#include "SliderComposite.h"
#include "engine/AlphaEffects.h"
#include "shell/Desk.h"
#include "shell/ImageEdit.h"

namespace velto {

TfrmShadow::TfrmShadow(QWidget* parent)
    : TAdjustDialog(parent, "frmShadow", QStringLiteral("Shadow"), QStringLiteral("Shadow"),
                    QStringLiteral("Add shadow to your image")) {
    tbSize_ = AddTrackBar("tbSize", "lblSize", QStringLiteral("Size"), 0, 20, 2);
    tbOpacity_ = AddTrackBar("tbOpacity", "lblOpacity", QStringLiteral("Opacity"), -100, 100, -30);

    auto* row = new QHBoxLayout;
    auto* colorColumn = new QVBoxLayout;
    auto* lblColor = new QLabel(QStringLiteral("Color"), this);
    lblColor->setObjectName(QStringLiteral("lblColor"));
    cbColor_ = new TColorBox(this);
    cbColor_->setObjectName(QStringLiteral("cbColor"));
    colorColumn->addWidget(lblColor);
    colorColumn->addWidget(cbColor_);
    colorColumn->addStretch(1);
    row->addLayout(colorColumn);

    auto* positionColumn = new QVBoxLayout;
    auto* lblPosition = new QLabel(QStringLiteral("Position"), this);
    lblPosition->setObjectName(QStringLiteral("lblPosition"));
    sbPosition_ = new TScroll2D(this);
    sbPosition_->setObjectName(QStringLiteral("sbPosition"));
    sbPosition_->setFixedSize(100, 60);
    sbPosition_->SetShowText(true);
    sbPosition_->SetMinX(-21);
    sbPosition_->SetMaxX(20);
    sbPosition_->SetMinY(-10);
    sbPosition_->SetMaxY(10);
    sbPosition_->SetPositionX(1);
    sbPosition_->SetPositionY(1);
    positionColumn->addWidget(lblPosition);
    positionColumn->addWidget(sbPosition_);
    row->addLayout(positionColumn);
    row->addStretch(1);
    ControlsLayout()->addLayout(row);
    ControlsLayout()->addStretch(1);

    connect(tbSize_, &TAdvancedTrackBar::changed, this, &TfrmShadow::UpdatePreview);
    connect(tbOpacity_, &TAdvancedTrackBar::changed, this, &TfrmShadow::UpdatePreview);
    connect(cbColor_, &TColorBox::changed, this, &TfrmShadow::UpdatePreview);
    connect(sbPosition_, &TScroll2D::changed, this, &TfrmShadow::UpdatePreview);
}

void TfrmShadow::ApplyRoutine(TmyImagePal& image, TPaletteRule*) {
    MakeShadow(image, cbColor_->Selected(), static_cast<std::uint8_t>(tbSize_->Position()), sbPosition_->PositionX(),
               sbPosition_->PositionY(), tbOpacity_->Position());
}

void TfrmShadow::PrepareShow() { UpdatePreview(); }

// The shadow mixes its colour into the image: indexed frames are refitted to
// their palettes.
unsigned TfrmShadow::EditFlags() const { return RefitPalette; }

}  // namespace velto
