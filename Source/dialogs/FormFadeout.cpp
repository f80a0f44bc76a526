#include "FormFadeout.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>

#include <tuple>
#include <utility>

#include "ImageView.h"
#include "SliderComposite.h"
#include "engine/Composite.h"
#include "shell/CanvasRender.h"

namespace velto {

namespace {

// The picture of a direction button: black fading out over the checkerboard
// along the ramp.
QIcon RampIcon(bool horizontal) {
    QImage img(24, 24, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    const QRect r(3, 3, 18, 18);
    for (int y = 0; y < r.height(); y += 3)
        for (int x = 0; x < r.width(); x += 3)
            p.fillRect(r.x() + x, r.y() + y, 3, 3, ((x + y) / 3) % 2 ? QColor(200, 200, 200) : Qt::white);
    QLinearGradient g(r.topLeft(), horizontal ? r.topRight() : r.bottomLeft());
    g.setColorAt(0, QColor(0, 0, 0, 255));
    g.setColorAt(1, QColor(0, 0, 0, 0));
    p.fillRect(r, g);
    p.setPen(Qt::black);
    p.drawRect(r.adjusted(0, 0, -1, -1));
    return QIcon(QPixmap::fromImage(img));
}

}  // namespace

TfrmFadeout::TfrmFadeout(QWidget* parent)
    : TAdjustDialog(parent, "frmFadeout", QStringLiteral("Fadeout"), QStringLiteral("Fadeout"),
                    QStringLiteral("Fadeout your image")) {
    auto* typeRow = new QHBoxLayout;
    auto* lblFillType = new QLabel(QStringLiteral("Fill type"), this);
    lblFillType->setObjectName(QStringLiteral("lblFillType"));
    typeRow->addWidget(lblFillType);
    auto* group = new QButtonGroup(this);
    auto button = [this, group, typeRow](const char* name, const QString& hint, bool horizontal) {
        auto* b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(name));
        b->setToolTip(hint);
        b->setIcon(RampIcon(horizontal));
        b->setIconSize(QSize(24, 24));
        b->setCheckable(true);
        b->setAutoRaise(true);
        group->addButton(b);
        typeRow->addWidget(b);
        return b;
    };
    btnHoriz_ = button("btnHoriz", QStringLiteral("Horizontal"), true);
    btnVert_ = button("btnVert", QStringLiteral("Vertical"), false);
    btnHoriz_->setChecked(true);
    typeRow->addStretch(1);
    ControlsLayout()->addLayout(typeRow);

    auto* grp = new QGroupBox(QStringLiteral(" Opacity percent "), this);
    grp->setObjectName(QStringLiteral("grpOpacity"));
    auto* grid = new QGridLayout(grp);
    auto row = [grp, grid](int r, const char* name, const char* labelName, const QString& caption,
                           const char* swatchName, QSize swatchSize, int position) {
        auto* label = new QLabel(caption, grp);
        label->setObjectName(QString::fromLatin1(labelName));
        auto* bar = new TAdvancedTrackBar(grp);
        bar->setObjectName(QString::fromLatin1(name));
        bar->setMinimumSize(bar->size());
        bar->SetMax(100);
        bar->SetPosition(position);
        auto* swatch = new ImageView(grp);
        swatch->setObjectName(QString::fromLatin1(swatchName));
        swatch->setFixedSize(swatchSize);
        swatch->SetPicture(QImage(swatchSize, QImage::Format_RGB32));
        grid->addWidget(label, r, 0);
        grid->addWidget(bar, r, 1);
        grid->addWidget(swatch, r, 2);
        return std::pair{bar, swatch};
    };
    std::tie(trackBar1_, image1_) = row(0, "TrackBar1", "lblStart", QStringLiteral("Start"), "Image1", {30, 23}, 100);
    std::tie(trackBar2_, image2_) = row(1, "TrackBar2", "lblEnd", QStringLiteral("End"), "Image2", {31, 23}, 0);
    ControlsLayout()->addWidget(grp);
    ControlsLayout()->addStretch(1);

    connect(btnHoriz_, &QToolButton::clicked, this, [this] { setDirection(TFadeDirection::Horizontal); });
    connect(btnVert_, &QToolButton::clicked, this, [this] { setDirection(TFadeDirection::Vertical); });
    connect(trackBar1_, &TAdvancedTrackBar::changed, this, [this] {
        PaintSwatch(image1_->Picture(), trackBar1_->Position());
        image1_->update();
        UpdatePreview();
    });
    connect(trackBar2_, &TAdvancedTrackBar::changed, this, [this] {
        PaintSwatch(image2_->Picture(), trackBar2_->Position());
        image2_->update();
        UpdatePreview();
    });
}

void TfrmFadeout::PaintSwatch(QImage& swatch, int percent) {
    const TCheckerboard board = CheckerboardFromOptions();
    const auto k = static_cast<std::uint8_t>(255 - PercentToByte(percent));
    for (int y = 0; y < swatch.height(); ++y)
        for (int x = 0; x < swatch.width(); ++x) {
            const TColor c = CheckerColor(x, y, board);
            swatch.setPixel(x, y, qRgb(BlendChannel(ColorR(c), 0, k), BlendChannel(ColorG(c), 0, k),
                                       BlendChannel(ColorB(c), 0, k)));
        }
}

void TfrmFadeout::setDirection(TFadeDirection direction) {
    direction_ = direction;
    UpdatePreview();
}

void TfrmFadeout::ApplyRoutine(TmyImagePal& image, TPaletteRule*) {
    FadeImage(image, direction_, trackBar1_->Position(), trackBar2_->Position());
}

void TfrmFadeout::PrepareShow() {
    UpdatePreview();
    PaintSwatch(image1_->Picture(), trackBar1_->Position());
    PaintSwatch(image2_->Picture(), trackBar2_->Position());
    image1_->update();
    image2_->update();
}

}  // namespace velto
