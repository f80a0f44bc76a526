#include "FormColors.h"

#include <QDir>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygonF>
#include <QStyle>
#include <QToolButton>
#include <QVariant>

#include <algorithm>
#include <array>

#include "EngineBridge.h"
#include "ImageView.h"
#include "MyScroll.h"
#include "PaneServices.h"
#include "PersistedBitmap.h"
#include "SliderComposite.h"
#include "core/MessageBox.h"
#include "shell/MainWindow.h"
#include "shell/MainWindowText.h"
#include "shell/Options.h"
#include "shell/ToolArt.h"

namespace velto {

namespace {

// The default favourites, by row, columns left to right.
constexpr std::array<std::array<std::uint8_t, 3>, TfrmColors::kFavCount> kDefaultFavorites = {{
    {0, 0, 0},       {255, 255, 255}, {255, 204, 0},   {255, 255, 0},   {255, 255, 153},
    {255, 219, 157}, {255, 153, 51},  {255, 121, 75},  {255, 51, 0},    {153, 0, 0},
    {51, 51, 102},   {0, 51, 153},    {0, 102, 204},   {0, 131, 215},   {0, 153, 255},
    {62, 154, 222},  {153, 204, 255}, {180, 226, 255}, {255, 204, 255}, {204, 204, 255},
    {222, 255, 255}, {153, 153, 255}, {102, 102, 204}, {153, 153, 204}, {102, 102, 153},
    {0, 102, 0},     {0, 153, 0},     {102, 204, 51},  {153, 255, 102}, {204, 255, 204},
}};

// Places of the panel's parts (client 165 x 361).
constexpr QPoint kFieldAt{2, 93};
constexpr QPoint kStripAt{2, 255};
constexpr QSize kStripSize{159, 14};
constexpr QSize kSwatchSize{44, 40};
constexpr QPoint kFavoritesAt{101, 10};
constexpr int kSliderTop = 272, kSliderStep = 22;

QRgb PixelRgb(const TmyPixel& p) { return qRgb(p.R, p.G, p.B); }

// The slider pictures: a ramp from one colour to another, or through the hues.
QImage Ramp(QColor from, QColor to) {
    QImage img(128, 8, QImage::Format_RGB32);
    for (int x = 0; x < img.width(); ++x) {
        const double t = x / double(img.width() - 1);
        const QColor c = QColor::fromRgbF(float(from.redF() + (to.redF() - from.redF()) * t),
                                          float(from.greenF() + (to.greenF() - from.greenF()) * t),
                                          float(from.blueF() + (to.blueF() - from.blueF()) * t));
        for (int y = 0; y < img.height(); ++y) img.setPixel(x, y, c.rgb());
    }
    return img;
}

QImage HueRamp() {
    QImage img(180, 8, QImage::Format_RGB32);
    for (int x = 0; x < img.width(); ++x) {
        const TmyPixel p = HSVToPixel(x * 2, 100, 100);
        for (int y = 0; y < img.height(); ++y) img.setPixel(x, y, PixelRgb(p));
    }
    return img;
}

// The speed buttons' pictures.
enum class Glyph { Swap, Reset };
QIcon GlyphIcon(Glyph g) {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    if (g == Glyph::Swap) {
        // A bent double arrow from one swatch to the other.
        p.setPen(QPen(Qt::black, 1.5));
        p.drawPolyline(QPolygonF({QPointF(3, 11), QPointF(3, 3.5), QPointF(11, 3.5)}));
        p.setBrush(Qt::black);
        p.setPen(Qt::NoPen);
        p.drawPolygon(QPolygonF({QPointF(0, 10), QPointF(6, 10), QPointF(3, 14)}));
        p.drawPolygon(QPolygonF({QPointF(10, 0.5), QPointF(10, 6.5), QPointF(14, 3.5)}));
    } else {
        p.setPen(Qt::black);
        p.fillRect(QRect(6, 6, 9, 9), Qt::white);
        p.drawRect(QRect(6, 6, 9, 9));
        p.fillRect(QRect(1, 1, 9, 9), Qt::black);
    }
    return QIcon(pm);
}

QToolButton* SpeedButton(QWidget* parent, const char* name, const QString& hint, QRect geometry) {
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(hint);
    b->setAutoRaise(true);
    b->setGeometry(geometry);
    b->setIconSize(QSize(14, 14));
    return b;
}

ImageView* Picture(QWidget* parent, const char* name, const QString& hint, QRect geometry) {
    auto* v = new ImageView(parent);
    v->setObjectName(QString::fromLatin1(name));
    if (!hint.isEmpty()) v->setToolTip(hint);
    v->setGeometry(geometry);
    return v;
}

}  // namespace

// ---------------------------------------------------------------- creation

TfrmColors::TfrmColors(const QString& settingsFolder, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmColorsContent"));
    setFixedSize(165, 361);
    setMouseTracking(true);
    build();
    const QString file = settingsFolder.isEmpty() ? QString() : QDir(settingsFolder).filePath(kFavoritesFile);
    image5_->SetPicture(file.isEmpty() ? DefaultFavorites() : LoadPersistedBitmap(file, DefaultFavorites()));
    QImage swatch(kSwatchSize, QImage::Format_RGB32);
    swatch.fill(Qt::black);
    image3_->SetPicture(swatch);
    image4_->SetPicture(swatch);
    SetCustomColorIndex(0);
    DrawTransparentStrip();
    SetColorPanel(this);
}

TfrmColors::~TfrmColors() {
    if (ColorPanel() == this) SetColorPanel(nullptr);
}

TAdvancedScroll* TfrmColors::addSlider(QWidget* parent, const char* name, int y, int max, const QImage& picture) {
    auto* s = new TAdvancedScroll(parent);
    s->setObjectName(QString::fromLatin1(name));
    s->setGeometry(2, y, 161, 24);
    s->SetMax(max);
    s->SetPicture(picture);
    connect(s, &TAdvancedScroll::startChange, this, &TfrmColors::startChange);
    connect(s, &TAdvancedScroll::endChange, this, &TfrmColors::endChange);
    return s;
}

void TfrmColors::build() {
    // Swatches: the secondary one first, so that the primary lies on top.
    image4_ = Picture(this, "Image4", QStringLiteral("Background Color"), QRect(QPoint(24, 28), kSwatchSize));
    image3_ = Picture(this, "Image3", QStringLiteral("Foreground Color"), QRect(QPoint(4, 6), kSwatchSize));
    btnTwistColor_ = SpeedButton(this, "btnTwistColor", QStringLiteral("Swap Colors"), QRect(52, 6, 18, 18));
    btnTwistColor_->setIcon(GlyphIcon(Glyph::Swap));
    btnResetColor_ = SpeedButton(this, "btnResetColor", QStringLiteral("Reset Colors"), QRect(4, 50, 18, 18));
    btnResetColor_->setIcon(GlyphIcon(Glyph::Reset));
    btnRGB_ = SpeedButton(this, "btnRGB", QString(), QRect(4, 72, 32, 18));
    btnRGB_->setText(QStringLiteral("RGB"));
    btnHSB_ = SpeedButton(this, "btnHSB", QString(), QRect(38, 72, 32, 18));
    btnHSB_->setText(QStringLiteral("HSB"));
    for (QToolButton* b : {btnRGB_, btnHSB_}) b->setCheckable(true);
    btnRGB_->setChecked(true);
    btnLoadPal_ = SpeedButton(this, "btnLoadPal", QStringLiteral("Load Palette"), QRect(74, 50, 20, 18));
    btnLoadPal_->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
    btnSavePal_ = SpeedButton(this, "btnSavePal", QStringLiteral("Save Palette"), QRect(74, 72, 20, 18));
    btnSavePal_->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    btnLoadPal_->hide();
    btnSavePal_->hide();

    // Favourites with their frame behind and the marker behind the cells.
    bevel5_ = new QFrame(this);
    bevel5_->setObjectName(QStringLiteral("Bevel5"));
    bevel5_->setFrameStyle(QFrame::Box | QFrame::Sunken);
    bevel5_->setGeometry(kFavoritesAt.x() - 3, kFavoritesAt.y() - 3, 66, 78);
    panel9_ = new QFrame(this);
    panel9_->setObjectName(QStringLiteral("Panel9"));
    panel9_->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel9_->setAutoFillBackground(true);
    panel9_->resize(16, 16);
    image5_ = Picture(this, "Image5", QStringLiteral("Favorite Colors"),
                      QRect(kFavoritesAt, QSize(kFavCols * kFavCell, kFavRows * kFavCell)));

    // The colour field and, in its place, the palette grid with its frame.
    panel8_ = new QFrame(this);
    panel8_->setObjectName(QStringLiteral("Panel8"));
    panel8_->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel8_->setAutoFillBackground(true);
    panel8_->resize(14, 14);
    panel8_->hide();
    image1_ = Picture(this, "Image1", QString(), QRect(kFieldAt, QSize(kFieldSize, kFieldSize)));
    image1_->SetPicture(ColorField());
    image6_ = Picture(this, "Image6", QString(), QRect(kFieldAt, QSize(kPalCell, kPalCell)));
    image6_->hide();
    image2_ = Picture(this, "Image2", QStringLiteral("Transparent"), QRect(kStripAt, kStripSize));
    image2_->SetPicture(QImage(kStripSize, QImage::Format_RGB32));

    sbRed_ = addSlider(this, "sbRed", kSliderTop, 255, Ramp(Qt::black, Qt::red));
    sbGreen_ = addSlider(this, "sbGreen", kSliderTop + kSliderStep, 255, Ramp(Qt::black, Qt::green));
    sbBlue_ = addSlider(this, "sbBlue", kSliderTop + 2 * kSliderStep, 255, Ramp(Qt::black, Qt::blue));
    sbOpacity_ = addSlider(this, "sbOpacity", kSliderTop + 3 * kSliderStep, 255, Ramp(Qt::white, Qt::black));
    panel4_ = new QWidget(this);
    panel4_->setObjectName(QStringLiteral("Panel4"));
    panel4_->setAutoFillBackground(true);
    panel4_->setGeometry(0, kSliderTop, 165, 3 * kSliderStep);
    sbHue_ = addSlider(panel4_, "sbHue", 0, 359, HueRamp());
    sbSaturation_ = addSlider(panel4_, "sbSaturation", kSliderStep, 100, Ramp(Qt::white, Qt::red));
    sbBrightness_ = addSlider(panel4_, "sbBrightness", 2 * kSliderStep, 100, Ramp(Qt::black, Qt::white));
    panel4_->hide();
    sbOpacity_->SetPosition(255);

    for (TAdvancedScroll* s : {sbRed_, sbGreen_, sbBlue_})
        connect(s, &TAdvancedScroll::changed, this, &TfrmColors::rgbSliderChanged);
    connect(sbOpacity_, &TAdvancedScroll::changed, this, &TfrmColors::ApplyRGBSliders);
    for (TAdvancedScroll* s : {sbHue_, sbSaturation_, sbBrightness_})
        connect(s, &TAdvancedScroll::changed, this, &TfrmColors::ApplyHSBSliders);

    connect(btnTwistColor_, &QToolButton::clicked, this, &TfrmColors::SwapColors);
    connect(btnResetColor_, &QToolButton::clicked, this, &TfrmColors::ResetClick);
    connect(btnRGB_, &QToolButton::clicked, this, &TfrmColors::btnRGBClick);
    connect(btnHSB_, &QToolButton::clicked, this, &TfrmColors::btnHSBClick);
    connect(btnLoadPal_, &QToolButton::clicked, this, &TfrmColors::LoadPaletteClick);
    connect(btnSavePal_, &QToolButton::clicked, this, &TfrmColors::SavePaletteClick);

    connect(image1_, &ImageView::mousePressed, this, &TfrmColors::FieldPressed);
    connect(image5_, &ImageView::mousePressed, this, &TfrmColors::FavoritesPressed);
    connect(image6_, &ImageView::mousePressed, this, &TfrmColors::PaletteGridPressed);
    connect(image2_, &ImageView::mousePressed, this, [this](Qt::MouseButton b, QPoint) { TransparentPressed(b); });
    // The swatches act on a click: press and release inside.
    connect(image3_, &ImageView::mouseReleased, this, [this](Qt::MouseButton b, QPoint p) {
        if (b == Qt::LeftButton && image3_->rect().contains(p)) ForeSwatchClick();
    });
    connect(image4_, &ImageView::mouseReleased, this, [this](Qt::MouseButton b, QPoint p) {
        if (b == Qt::LeftButton && image4_->rect().contains(p)) BackSwatchClick();
    });
    for (ImageView* v : {image1_, image2_, image3_, image4_, image5_, image6_})
        connect(v, &ImageView::mouseMoved, this, [this, v](QPoint p, Qt::MouseButtons) { ShowStatusFor(v, p); });
    for (QFrame* f : {panel8_, panel9_}) {
        f->setMouseTracking(true);
        f->installEventFilter(this);
    }

    // The palette file dialogs' titles, translated with the panel.
    dlgLoadPal_ = new QObject(this);
    dlgLoadPal_->setObjectName(QStringLiteral("dlgLoadPal"));
    dlgLoadPal_->setProperty("Title", QStringLiteral("Load Palette"));
    dlgSavePal_ = new QObject(this);
    dlgSavePal_->setObjectName(QStringLiteral("dlgSavePal"));
    dlgSavePal_->setProperty("Title", QStringLiteral("Save Palette"));
}

QImage TfrmColors::ColorField() {
    // Row y has the hue 360·y/160; along the row black at column 0, the full
    // hue at column 80 and white at column 159.
    QImage img(kFieldSize, kFieldSize, QImage::Format_RGB32);
    for (int y = 0; y < kFieldSize; ++y) {
        const QColor hue = QColor::fromHsvF(float(y) / kFieldSize, 1.0f, 1.0f);
        const int hr = hue.red(), hg = hue.green(), hb = hue.blue();
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < kFieldSize; ++x) {
            if (x <= 80) {
                row[x] = qRgb(hr * x / 80, hg * x / 80, hb * x / 80);
            } else {
                const int t = x - 80, n = kFieldSize - 1 - 80;
                row[x] = qRgb(hr + (255 - hr) * t / n, hg + (255 - hg) * t / n, hb + (255 - hb) * t / n);
            }
        }
    }
    return img;
}

QImage TfrmColors::DefaultFavorites() {
    QImage img(kFavCols * kFavCell, kFavRows * kFavCell, QImage::Format_RGB32);
    QPainter p(&img);
    for (int i = 0; i < kFavCount; ++i) {
        const auto& c = kDefaultFavorites[static_cast<size_t>(i)];
        p.fillRect((i % kFavCols) * kFavCell, (i / kFavCols) * kFavCell, kFavCell, kFavCell, QColor(c[0], c[1], c[2]));
    }
    return img;
}

const QImage& TfrmColors::Favorites() const { return image5_->Picture(); }
const QImage& TfrmColors::PaletteGrid() const { return image6_->Picture(); }
const QImage& TfrmColors::ForeSwatch() const { return image3_->Picture(); }
const QImage& TfrmColors::BackSwatch() const { return image4_->Picture(); }
const QImage& TfrmColors::TransparentStrip() const { return image2_->Picture(); }

// ---------------------------------------------------------------- swatches

void TfrmColors::setFrameColour(QFrame* frame, const TmyPixel& colour) {
    QPalette pal = frame->palette();
    pal.setColor(QPalette::Window, ToQColor(colour));
    frame->setPalette(pal);
}

void TfrmColors::drawSwatch(ImageView* view, const TmyPixel& c) {
    QImage& img = view->Picture();
    const int w = img.width() - 1, h = img.height() - 1;
    if (c.A == 255) {
        QPainter p(&img);
        p.fillRect(0, 0, w, h, ToQColor(c));
    } else {
        // The colour laid over the checkerboard with its opacity.
        const TCheckerboard board = CheckerboardFromOptions();
        for (int y = 0; y < h; ++y) {
            auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
            for (int x = 0; x < w; ++x) {
                const TColor checker = CheckerColor(x, y, board);
                row[x] = qRgb(BlendChannel(c.R, ColorR(checker), c.A), BlendChannel(c.G, ColorG(checker), c.A),
                              BlendChannel(c.B, ColorB(checker), c.A));
            }
        }
    }
    view->update();
}

void TfrmColors::DrawPrimaryColor() {
    // The favourite cell under the marker always shows the primary colour.
    {
        QPainter p(&image5_->Picture());
        const QPoint cell = panel9_->pos() + QPoint(2, 2) - image5_->pos();
        p.fillRect(QRect(cell, QSize(kFavCell, kFavCell)), ToQColor(foreColor_));
    }
    image5_->update();
    setFrameColour(panel9_, foreColor_);
    setFrameColour(panel8_, foreColor_);
    drawSwatch(image3_, foreColor_);
}

void TfrmColors::DrawSecondaryColor() { drawSwatch(image4_, backColor_); }

void TfrmColors::DrawTransparentStrip() {
    QImage& img = image2_->Picture();
    const TCheckerboard board = CheckerboardFromOptions();
    for (int y = 0; y < img.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) row[x] = QRgbOf(CheckerColor(x, y, board));
    }
    image2_->update();
}

void TfrmColors::RefreshColors() {
    DrawPrimaryColor();
    DrawSecondaryColor();
    DrawTransparentStrip();
}

// ---------------------------------------------------------------- sliders

void TfrmColors::rgbSliderChanged() {
    if (!rgbGuard_) return;
    ApplyRGBSliders();
    UpdateHSBSliders();
}

void TfrmColors::ApplyRGBSliders() {
    foreColor_.R = static_cast<std::uint8_t>(sbRed_->Position());
    foreColor_.G = static_cast<std::uint8_t>(sbGreen_->Position());
    foreColor_.B = static_cast<std::uint8_t>(sbBlue_->Position());
    if (!sbOpacity_->isHidden()) foreColor_.A = static_cast<std::uint8_t>(sbOpacity_->Position());
    else if (foreColor_.A != 0) foreColor_.A = 255;  // a transparent colour stays transparent
    DrawPrimaryColor();
}

void TfrmColors::ApplyHSBSliders() {
    if (!hsbGuard_) return;
    hsbGuard_ = false;
    const TmyPixel c = HSVToPixel(sbHue_->Position(), sbSaturation_->Position(), sbBrightness_->Position());
    // Each RGB slider applies the colour through its own change handler.
    sbRed_->SetPosition(c.R);
    sbGreen_->SetPosition(c.G);
    sbBlue_->SetPosition(c.B);
    hsbGuard_ = true;
}

void TfrmColors::UpdateHSBSliders() {
    if (!hsbGuard_) return;
    hsbGuard_ = false;
    const THsv v = RGBToHSV(static_cast<std::uint8_t>(sbRed_->Position()),
                                static_cast<std::uint8_t>(sbGreen_->Position()),
                                static_cast<std::uint8_t>(sbBlue_->Position()));
    sbHue_->SetPosition(v.H);  // a grey's -360 is bounded to 0 by the slider
    sbSaturation_->SetPosition(v.S);
    sbBrightness_->SetPosition(v.V);
    hsbGuard_ = true;
}

void TfrmColors::UpdateRGBSliders() {
    rgbGuard_ = false;
    sbRed_->SetPosition(foreColor_.R);
    sbGreen_->SetPosition(foreColor_.G);
    sbBlue_->SetPosition(foreColor_.B);
    sbOpacity_->SetPosition(foreColor_.A);
    rgbGuard_ = true;
}

void TfrmColors::startChange() { oldColor_ = foreColor_; }

void TfrmColors::endChange() { replacePaletteColor(); }

void TfrmColors::replacePaletteColor() {
    auto& replace = ToolPaletteLink().ReplacePaletteColor;
    // A palette entry that took the new colour is a change of the document.
    if (replace && replace(oldColor_, foreColor_, SelectedPaletteCell())) DocumentLink().SetModified();
}

void TfrmColors::btnRGBClick() {
    btnRGB_->setChecked(true);
    btnHSB_->setChecked(false);
    panel4_->hide();
}

void TfrmColors::btnHSBClick() {
    btnHSB_->setChecked(true);
    btnRGB_->setChecked(false);
    panel4_->show();
    panel4_->raise();
}

bool TfrmColors::ShowsRGB() const { return btnRGB_->isChecked(); }

// ---------------------------------------------------------------- picking

void TfrmColors::applyPicked(TmyPixel& target, QRgb picked, bool primary) {
    if (primary) {
        if (target.A == 0) target.A = 255;
    } else {
        target.A = sbOpacity_->Position() == 0 ? 255 : static_cast<std::uint8_t>(sbOpacity_->Position());
    }
    target.SetRGB(static_cast<std::uint8_t>(qRed(picked)), static_cast<std::uint8_t>(qGreen(picked)),
                  static_cast<std::uint8_t>(qBlue(picked)));
    if (primary) {
        DrawPrimaryColor();
        UpdateRGBSliders();
        UpdateHSBSliders();
    } else {
        DrawSecondaryColor();
    }
}

void TfrmColors::FieldPressed(Qt::MouseButton button, QPoint pos) {
    const QImage& img = image1_->Picture();
    if (!img.valid(pos)) return;
    const bool primary = button == Qt::LeftButton;
    applyPicked(primary ? foreColor_ : backColor_, img.pixel(pos), primary);
}

void TfrmColors::FavoritesPressed(Qt::MouseButton button, QPoint pos) {
    const QImage& img = image5_->Picture();
    if (!img.valid(pos)) return;
    const QRgb picked = img.pixel(pos);
    const bool primary = button == Qt::LeftButton;
    if (primary) {
        panel9_->move(image5_->pos() + QPoint((pos.x() / kFavCell) * kFavCell - 2, (pos.y() / kFavCell) * kFavCell - 2));
        setFrameColour(panel9_, OpaquePixel(picked));
    }
    applyPicked(primary ? foreColor_ : backColor_, picked, primary);
}

void TfrmColors::PaletteGridPressed(Qt::MouseButton button, QPoint pos) {
    if (!shownPalette_) return;
    const QImage& img = image6_->Picture();
    // Clicks beside the grid or on a cell past the last entry pick nothing.
    if (!img.valid(pos)) return;
    const int index = (pos.y() / kPalCell) * 16 + pos.x() / kPalCell;
    const TmyImagePal* image = DocumentLink().CurrentImage();
    const TmyPalette& palette = image && image->Palette ? *image->Palette : *shownPalette_;
    if (index >= palette.Count()) return;
    TmyPixel entry = palette[index];
    entry.A = 255;
    if (button == Qt::LeftButton) {
        foreColor_ = entry;
        SelectPaletteCell(index);
        setFrameColour(panel8_, OpaquePixel(img.pixel(pos)));
        DrawPrimaryColor();
        UpdateRGBSliders();
        UpdateHSBSliders();
    } else {
        backColor_ = entry;
        DrawSecondaryColor();
    }
}

void TfrmColors::TransparentPressed(Qt::MouseButton button) {
    if (button == Qt::LeftButton) {
        foreColor_ = TmyPixel::Create();
        DrawPrimaryColor();
        UpdateRGBSliders();
        UpdateHSBSliders();
        panel8_->hide();
    } else {
        backColor_ = TmyPixel::Create();
        DrawSecondaryColor();
    }
}

void TfrmColors::FavoriteFramePressed(Qt::MouseButton button) {
    if (button == Qt::LeftButton) return;
    const TmyPixel frame = OpaquePixel(panel9_->palette().color(QPalette::Window).rgb());
    backColor_.SetRGB(frame.R, frame.G, frame.B);
    backColor_.A = static_cast<std::uint8_t>(sbOpacity_->Position());
    DrawSecondaryColor();
}

void TfrmColors::ForeSwatchClick() {
    const auto chosen = ChooseColor(ToQColor(foreColor_), this);
    if (!chosen) return;
    oldColor_ = foreColor_;
    if (foreColor_.A == 0) foreColor_.A = 255;
    foreColor_.SetRGB(static_cast<std::uint8_t>(chosen->red()), static_cast<std::uint8_t>(chosen->green()),
                      static_cast<std::uint8_t>(chosen->blue()));
    DrawPrimaryColor();
    UpdateRGBSliders();
    // The HSB sliders follow too, or a later HSB drag starts from the old colour.
    UpdateHSBSliders();
    replacePaletteColor();
}

void TfrmColors::BackSwatchClick() {
    const auto chosen = ChooseColor(ToQColor(backColor_), this);
    if (!chosen) return;
    backColor_.SetRGB(static_cast<std::uint8_t>(chosen->red()), static_cast<std::uint8_t>(chosen->green()),
                      static_cast<std::uint8_t>(chosen->blue()));
    backColor_.A = sbOpacity_->Position() == 0 ? 255 : static_cast<std::uint8_t>(sbOpacity_->Position());
    DrawSecondaryColor();
}

void TfrmColors::SwapColors() {
    std::swap(foreColor_, backColor_);
    DrawPrimaryColor();
    DrawSecondaryColor();
    UpdateRGBSliders();
    UpdateHSBSliders();
}

void TfrmColors::ResetColors() {
    foreColor_ = TmyPixel::CreateRGBA(0, 0, 0, 255);
    backColor_ = TmyPixel::CreateRGBA(0, 0, 0, 0);
    UpdateRGBSliders();
}

void TfrmColors::ResetClick() {
    oldColor_ = foreColor_;
    ResetColors();
    DrawPrimaryColor();
    DrawSecondaryColor();
    UpdateRGBSliders();
    UpdateHSBSliders();
    replacePaletteColor();
}

// ---------------------------------------------------------------- favourites

int TfrmColors::GetCustomColorIndex() const {
    const QPoint cell = panel9_->pos() + QPoint(2, 2) - image5_->pos();
    const int c = std::clamp(cell.x() / kFavCell, 0, kFavCols - 1);
    const int r = std::clamp(cell.y() / kFavCell, 0, kFavRows - 1);
    return r * kFavCols + c;
}

void TfrmColors::SetCustomColorIndex(int index) {
    index = std::clamp(index, 0, kFavCount - 1);
    panel9_->move(image5_->pos() + QPoint((index % kFavCols) * kFavCell - 2, (index / kFavCols) * kFavCell - 2));
}

bool TfrmColors::SaveFavorites(const QString& settingsFolder) const {
    if (settingsFolder.isEmpty()) return false;
    return SavePersistedBitmap(QDir(settingsFolder).filePath(kFavoritesFile), Favorites());
}

// ---------------------------------------------------------------- palette mode

void TfrmColors::ShowPalette(const TmyPalette* palette) {
    const bool paletteMode = palette != nullptr;
    image1_->setVisible(!paletteMode);
    image5_->setVisible(!paletteMode);
    bevel5_->setVisible(!paletteMode);
    panel9_->setVisible(!paletteMode);
    image6_->setVisible(paletteMode);
    panel8_->setVisible(paletteMode);
    btnLoadPal_->setVisible(paletteMode);
    btnSavePal_->setVisible(paletteMode);
    if (!paletteMode) {
        shownPalette_.reset();
        return;
    }
    shownPalette_ = *palette;
    const int n = palette->Count();
    // Up to 16 cells a row: 2 entries give 20 x 10, 16 give 160 x 10, 256 give 160 x 160.
    QImage grid(std::min(n, 16) * kPalCell, ((n - 1) / 16) * kPalCell + kPalCell, QImage::Format_RGB32);
    grid.fill(Qt::white);
    {
        QPainter p(&grid);
        for (int i = 0; i < n; ++i)
            p.fillRect((i % 16) * kPalCell, (i / 16) * kPalCell, kPalCell, kPalCell, ToQColor((*palette)[i]));
    }
    image6_->SetPicture(grid);
    image6_->resize(grid.size());
    SyncWithPalette(*palette);
}

int TfrmColors::SelectedPaletteCell() const { return shownPalette_ && !panel8_->isHidden() ? selectedCell_ : -1; }

void TfrmColors::SelectPaletteCell(int index) {
    selectedCell_ = index;
    if (index < 0) {
        panel8_->hide();
        return;
    }
    panel8_->move(image6_->pos() + QPoint((index % 16) * kPalCell - 2, (index / 16) * kPalCell - 2));
    panel8_->show();
}

void TfrmColors::SyncWithPalette(const TmyPalette& palette) {
    const int i = palette.IndexOf(foreColor_);
    const int j = palette.IndexOf(backColor_);
    if (i >= 0) {
        SelectPaletteCell(i);
    } else {
        SelectPaletteCell(0);
        foreColor_ = palette[0];
        foreColor_.A = 255;
    }
    DrawPrimaryColor();
    UpdateRGBSliders();
    if (j < 0) {
        setFrameColour(panel8_, foreColor_);
        backColor_ = palette[palette.Count() - 1];
        backColor_.A = 255;
        DrawSecondaryColor();
    }
    UpdateHSBSliders();
}

void TfrmColors::SetBitCount(int bits) {
    const bool full = bits == 32;
    TfrmMain* main = frmMain();
    if (main) main->Action(QStringLiteral("actSmooth"))->setEnabled(full);
    sbOpacity_->setVisible(full);
    if (auto& tools = ToolPaletteLink().SetOpacityToolAvailable) tools(full);
    if (main) main->Action(QStringLiteral("actopac"))->setEnabled(full);
}

void TfrmColors::LoadPaletteClick() {
    TDocumentLink& doc = DocumentLink();
    TmyImagePal* image = doc.CurrentImage();
    if (!image || !image->Palette) return;
    const QString file = ChoosePaletteFile(PaletteDialog::Load, dlgLoadPal_->property("Title").toString(), this);
    if (file.isEmpty()) return;
    // Read into a copy first: a refused file changes nothing, not even the history.
    TmyPalette loaded = *image->Palette;
    if (!loaded.LoadFromFile(file.toStdString())) return;
    doc.StoreUndo();
    const TmyImagePal before = *image;
    *image->Palette = loaded;
    ApplyPaletteSetting(*image, loaded);
    doc.ImageChanged();
    if (TPreviewAccess* preview = PreviewPane()) preview->RefreshPreview(image);
    ShowPalette(&*image->Palette);
    if (!image->Equals(before)) doc.SetModified();
}

void TfrmColors::SavePaletteClick() {
    TmyImagePal* image = DocumentLink().CurrentImage();
    if (!image || !image->Palette) return;
    const QString file = ChoosePaletteFile(PaletteDialog::Save, dlgSavePal_->property("Title").toString(), this);
    if (file.isEmpty()) return;
    // A save the user declined or an extension the writer already named says
    // nothing more; a file that could not be written says why.
    FileError error;
    if (!image->Palette->SaveToFile(file.toStdString(), &error) && !error.ok() && error != FileError::Unsupported)
        ShowMessageBox(SaveFailedText(file, error).toStdString(), mkError, mbOK);
}

// ---------------------------------------------------------------- status and layout

QString TfrmColors::StatusText(const TmyPixel& c) {
    static const char* const defaults[6] = {"R", "G", "B", "H", "S", "B"};
    QString labels[6];
    for (int i = 0; i < 6; ++i)
        labels[i] = frmMain() ? frmMain()->StatusLabels()[static_cast<size_t>(i)] : QString::fromLatin1(defaults[i]);
    const THsv v = RGBToHSV(c.R, c.G, c.B);
    return QStringLiteral("%1:%2 %3:%4 %5:%6   %7:%8 %9:%10 %11:%12")
        .arg(labels[0]).arg(c.R).arg(labels[1]).arg(c.G).arg(labels[2]).arg(c.B)
        .arg(labels[3]).arg(v.H == -360 ? 0 : v.H).arg(labels[4]).arg(v.S).arg(labels[5]).arg(v.V);
}

void TfrmColors::setStatus(const QString& text) {
    lastStatus_ = text;
    if (TfrmMain* m = frmMain()) m->StatusLabel()->setText(text);
}

void TfrmColors::ensureCursors() {
    if (cursorsSet_) return;
    TfrmMain* m = frmMain();
    const QCursor* pick = m ? m->ToolCursor(crPick) : nullptr;
    if (!pick) return;
    for (ImageView* v : {image1_, image6_, image2_}) v->setCursor(*pick);
    cursorsSet_ = true;
}

void TfrmColors::ShowStatusFor(QWidget* w, QPoint pos) {
    ensureCursors();
    auto pixelOf = [&](ImageView* v) -> std::optional<TmyPixel> {
        if (!v->Picture().valid(pos)) return std::nullopt;
        return OpaquePixel(v->Picture().pixel(pos));
    };
    auto frameOf = [](QFrame* f) { return OpaquePixel(f->palette().color(QPalette::Window).rgb()); };
    std::optional<TmyPixel> shown;
    if (w == image1_ || w == image5_ || w == image6_) shown = pixelOf(static_cast<ImageView*>(w));
    else if (w == panel8_ || w == panel9_) shown = frameOf(static_cast<QFrame*>(w));
    else if (w == image3_) shown = foreColor_;
    else if (w == image4_) shown = backColor_;
    else if (w == image2_) shown = TmyPixel::Create();
    setStatus(shown ? StatusText(*shown) : QString());
}

void TfrmColors::mouseMoveEvent(QMouseEvent* event) {
    QWidget::mouseMoveEvent(event);
    setStatus(QString());
}

bool TfrmColors::eventFilter(QObject* watched, QEvent* event) {
    auto* frame = qobject_cast<QFrame*>(watched);
    if (frame == panel8_ || frame == panel9_) {
        if (event->type() == QEvent::MouseMove) {
            ShowStatusFor(frame, {});
        } else if (event->type() == QEvent::MouseButtonPress && frame == panel9_) {
            FavoriteFramePressed(static_cast<QMouseEvent*>(event)->button());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TfrmColors::RestoreFromOptions() {
    const TOptions& o = Options();
    if (o.ShowRGB) btnRGBClick();
    else btnHSBClick();
    SetCustomColorIndex(o.FavoritColorPosition);
    foreColor_ = o.ForeColor;
    backColor_ = o.BackColor;
    DrawPrimaryColor();
    DrawSecondaryColor();
    UpdateRGBSliders();
    UpdateHSBSliders();
}

void TfrmColors::SaveToOptions() const {
    TOptions& o = Options();
    o.ShowRGB = ShowsRGB();
    o.ForeColor = foreColor_;
    o.BackColor = backColor_;
    o.FavoritColorPosition = GetCustomColorIndex();
}

}  // namespace velto
