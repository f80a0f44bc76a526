#include "FormAdjust.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <cmath>

#include "ImageView.h"
#include "SliderComposite.h"
#include "engine/Adjust.h"
#include "engine/Composite.h"

namespace velto {

// ---------------------------------------------------------------- TSliderAdjustDialog

TAdvancedTrackBar* TSliderAdjustDialog::AddSlider(const char* name, const char* labelName, const QString& caption,
                                                   int min, int max) {
    TAdvancedTrackBar* bar = AddTrackBar(name, labelName, caption, min, max, 0);
    bars_.append(bar);
    connect(bar, &TAdvancedTrackBar::changed, this, [this] { SliderChanged(); });
    return bar;
}

void TSliderAdjustDialog::AddEndCaptions(const char* leftName, const QString& left, const char* rightName,
                                         const QString& right) {
    auto* row = new QHBoxLayout;
    auto* l = new QLabel(left, this);
    l->setObjectName(QString::fromLatin1(leftName));
    auto* r = new QLabel(right, this);
    r->setObjectName(QString::fromLatin1(rightName));
    row->addWidget(l);
    row->addStretch(1);
    row->addWidget(r);
    row->addSpacing(56);
    ControlsLayout()->addLayout(row);
}

int TSliderAdjustDialog::Value(int i) const { return bars_.value(i - 1) ? bars_[i - 1]->Position() : 0; }

void TSliderAdjustDialog::PrepareShow() {
    // Every opening starts from the unchanged image.
    for (TAdvancedTrackBar* bar : bars_) bar->SetPosition(0);
}

// ---------------------------------------------------------------- the four dialogs

TfrmBrightness::TfrmBrightness(QWidget* parent)
    : TSliderAdjustDialog(parent, "frmBrightness", QStringLiteral("Brightness/Contrast"),
                          QStringLiteral("Brightness/Contrast"), QStringLiteral("Adjust brightness and contrast")) {
    AddSlider("TrackBar1", "lblBrightness", QStringLiteral("Brightness"), -100, 100);
    AddSlider("TrackBar2", "lblContrast", QStringLiteral("Contrast"), -100, 100);
    ControlsLayout()->addStretch(1);
}

void TfrmBrightness::ApplyRoutine(TmyImagePal& image, TPaletteRule* palette) {
    BrightnessContrast(image, {Value(1), Value(2), false}, palette);
}

TfrmHue::TfrmHue(QWidget* parent)
    : TSliderAdjustDialog(parent, "frmHue", QStringLiteral("Hue/Saturation"), QStringLiteral("Hue/Saturation"),
                          QStringLiteral("Adjust hue, saturation and brightness")) {
    AddSlider("TrackBar1", "lblHue", QStringLiteral("Hue"), -180, 180);
    AddSlider("TrackBar2", "lblSaturation", QStringLiteral("Saturation"), -100, 100);
    AddSlider("TrackBar3", "lblBrightness", QStringLiteral("Brightness"), -100, 100);
    const QImage strip = HueStrip();
    auto addStrip = [this, &strip](const char* panelName, const char* imageName) {
        auto* panel = new QWidget(this);
        panel->setObjectName(QString::fromLatin1(panelName));
        panel->setFixedSize(305, 9);
        auto* view = new ImageView(panel);
        view->setObjectName(QString::fromLatin1(imageName));
        view->SetPicture(strip);
        view->setGeometry(kStripLeft, 0, strip.width(), strip.height());
        ControlsLayout()->addWidget(panel);
        return view;
    };
    ControlsLayout()->addSpacing(4);
    image2_ = addStrip("Panel1", "Image2");
    image3_ = addStrip("Panel2", "Image3");
    ControlsLayout()->addStretch(1);
}

int TfrmHue::StripLeft(int hue) {
    return kStripLeft - static_cast<int>(std::nearbyint(hue * 152.0 / 180.0));
}

QImage TfrmHue::HueStrip() {
    QImage strip(610, 9, QImage::Format_RGB32);
    for (int x = 0; x < strip.width(); ++x) {
        const TmyColor c = HSVToRGB(x * 360 / 305 % 360, 100, 100);
        for (int y = 0; y < strip.height(); ++y) strip.setPixel(x, y, qRgb(c.R, c.G, c.B));
    }
    return strip;
}

void TfrmHue::SliderChanged() {
    image3_->move(StripLeft(Value(1)), 0);
    UpdatePreview();
}

void TfrmHue::ApplyRoutine(TmyImagePal& image, TPaletteRule* palette) {
    HueSaturationLightness(image, {Value(1), Value(2), Value(3)}, palette);
}

TfrmColorBalance::TfrmColorBalance(QWidget* parent)
    : TSliderAdjustDialog(parent, "frmColorBalance", QStringLiteral("Color Balance"), QStringLiteral("Color Balance"),
                          QStringLiteral("Change the color balance")) {
    AddEndCaptions("lblCyan", QStringLiteral("Cyan"), "lblRed", QStringLiteral("Red"));
    AddSlider("TrackBar1", "", QString(), -100, 100);
    AddEndCaptions("lblMagenta", QStringLiteral("Magenta"), "lblGreen", QStringLiteral("Green"));
    AddSlider("TrackBar2", "", QString(), -100, 100);
    AddEndCaptions("lblYellow", QStringLiteral("Yellow"), "lblBlue", QStringLiteral("Blue"));
    AddSlider("TrackBar3", "", QString(), -100, 100);
    ControlsLayout()->addStretch(1);
}

void TfrmColorBalance::ApplyRoutine(TmyImagePal& image, TPaletteRule* palette) {
    ColorBalance(image, {Value(1), Value(2), Value(3)}, palette);
}

TfrmOpacity::TfrmOpacity(QWidget* parent)
    : TSliderAdjustDialog(parent, "frmOpacity", QStringLiteral("Opacity"), QStringLiteral("Opacity"),
                          QStringLiteral("Increase / decrease the opacity of the image.")) {
    AddSlider("TrackBar1", "lblOpacity", QStringLiteral("Opacity"), -100, 100);
    ControlsLayout()->addStretch(1);
}

void TfrmOpacity::ApplyRoutine(TmyImagePal& image, TPaletteRule*) { ChangeOpacity(image, Value(1)); }

}  // namespace velto
