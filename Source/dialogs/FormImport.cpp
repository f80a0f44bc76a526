#include "FormImport.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

#include "DialogParts.h"
#include "PaneServices.h"
#include "PreviewFrame.h"
#include "engine/Clipboard.h"
#include "engine/Transform.h"
#include "shell/CanvasRender.h"
#include "shell/MainWindow.h"
#include "shell/Options.h"
#include "shell/ToolArt.h"

namespace velto {

namespace {

constexpr int kHandle = 9;
constexpr TImportGrip kHandleGrips[8] = {TImportGrip::TopLeft,     TImportGrip::Top,    TImportGrip::TopRight,
                                         TImportGrip::Right,       TImportGrip::BottomRight, TImportGrip::Bottom,
                                         TImportGrip::BottomLeft,  TImportGrip::Left};
constexpr const char* kHandleNames[8] = {"rpTopLeft",     "rpTop",    "rpTopRight",   "rpRight",
                                         "rpBottomRight", "rpBottom", "rpBottomLeft", "rpLeft"};
constexpr const char* kFixedSizes[] = {"16 x 16", "24 x 24", "32 x 32", "48 x 48", "64 x 64", "128 x 128", "256 x 256"};

Qt::CursorShape GripCursor(TImportGrip g) {
    switch (g) {
        case TImportGrip::TopLeft:
        case TImportGrip::BottomRight: return Qt::SizeFDiagCursor;
        case TImportGrip::TopRight:
        case TImportGrip::BottomLeft: return Qt::SizeBDiagCursor;
        case TImportGrip::Top:
        case TImportGrip::Bottom: return Qt::SizeVerCursor;
        case TImportGrip::Left:
        case TImportGrip::Right: return Qt::SizeHorCursor;
        case TImportGrip::Frame: break;
    }
    return Qt::ArrowCursor;
}

QString ChannelText(const TmyPixel& p) {
    const auto& labels = frmMain() ? frmMain()->StatusLabels() : std::array<QString, 9>{"R", "G", "B"};
    return labels[0] + ':' + QString::number(p.R) + ' ' + labels[1] + ':' + QString::number(p.G) + ' ' + labels[2] +
           ':' + QString::number(p.B);
}

QRadioButton* Radio(QWidget* parent, const char* name, const QString& caption, QLayout* into) {
    auto* b = new QRadioButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    into->addWidget(b);
    return b;
}

QGroupBox* Group(QWidget* parent, const char* name, const QString& caption) {
    auto* g = new QGroupBox(caption, parent);
    g->setObjectName(QString::fromLatin1(name));
    return g;
}

}  // namespace

// ---------------------------------------------------------------- building

TfrmImport::TfrmImport(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmImport"));
    setWindowTitle(QStringLiteral("Import"));
    setModal(true);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 6);
    root->setSpacing(4);
    root->addWidget(
        MakeDialogHeader(this, QStringLiteral("Advanced Import"), QStringLiteral("Create icon from an image")));

    auto* middle = new QHBoxLayout;
    middle->setContentsMargins(8, 0, 8, 0);
    auto* centreColumn = new QVBoxLayout;
    pnlCenter_ = new QWidget(this);
    pnlCenter_->setObjectName(QStringLiteral("pnlCenter"));
    pnlCenter_->installEventFilter(this);
    pnlCenter_->setMinimumSize(160, 160);
    imgOriginal_ = new TImportCanvas(this);
    imgOriginal_->setParent(pnlCenter_);
    imgSel_ = new TImportHandle(this, TImportGrip::Frame, imgOriginal_);
    imgSel_->setObjectName(QStringLiteral("imgSel"));
    for (int i = 0; i < 8; ++i) {
        handles_[i] = new TImportHandle(this, kHandleGrips[i], imgOriginal_);
        handles_[i]->setObjectName(QString::fromLatin1(kHandleNames[i]));
    }
    HorizSB_ = new QScrollBar(Qt::Horizontal, pnlCenter_);
    HorizSB_->setObjectName(QStringLiteral("HorizSB"));
    VertSB_ = new QScrollBar(Qt::Vertical, pnlCenter_);
    VertSB_->setObjectName(QStringLiteral("VertSB"));
    connect(HorizSB_, &QScrollBar::valueChanged, this, &TfrmImport::scrolled);
    connect(VertSB_, &QScrollBar::valueChanged, this, &TfrmImport::scrolled);
    centreColumn->addWidget(pnlCenter_, 1);

    auto* zoomRow = new QHBoxLayout;
    auto zoomButton = [this, zoomRow](const char* name, const QString& text, const QString& hint, auto slot) {
        auto* b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(text);
        b->setToolTip(hint);
        zoomRow->addWidget(b);
        connect(b, &QToolButton::clicked, this, slot);
    };
    zoomButton("btnZoomIn", QStringLiteral("+"), QStringLiteral("Zoom In"), &TfrmImport::ZoomIn);
    zoomButton("btnZoomOut", QStringLiteral("-"), QStringLiteral("Zoom Out"), &TfrmImport::ZoomOut);
    zoomButton("btnOriginal", QStringLiteral("1:1"), QStringLiteral("Original Size"), [this] { SetZoom(1); });
    zoomButton("btnFit", QStringLiteral("Fit"), QStringLiteral("Fit"), &TfrmImport::ZoomToFit);
    // The selection's text beside the zoom buttons, the buttons under the
    // column of choices: no row of its own, so the window fits small screens.
    zoomRow->addSpacing(8);
    lblSize_ = new QLabel(this);
    lblSize_->setObjectName(QStringLiteral("lblSize"));
    zoomRow->addWidget(lblSize_, 1);
    centreColumn->addLayout(zoomRow);
    middle->addLayout(centreColumn, 1);

    auto* right = new QWidget(this);
    right->setObjectName(QStringLiteral("pnlRight"));
    buildRight(right);
    auto* rightColumn = new QVBoxLayout;
    rightColumn->setSpacing(4);
    rightColumn->addWidget(right, 1);
    AddOkCancelRow(this, rightColumn, &btnOK_, &btnCancel_);
    middle->addLayout(rightColumn);
    root->addLayout(middle, 1);
    connect(btnOK_, &QPushButton::clicked, this, &QDialog::accept);

    // Room for the picture beside the column of choices, which shows whole.
    resize(sizeHint().expandedTo(QSize(760, 560)));

    Timer1_ = new QTimer(this);
    Timer1_->setObjectName(QStringLiteral("Timer1"));
    Timer1_->setInterval(200);
    connect(Timer1_, &QTimer::timeout, this, &TfrmImport::updateHandCursor);
}

void TfrmImport::buildRight(QWidget* column) {
    auto* lay = new QVBoxLayout(column);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(2);

    QGroupBox* grpSelection = Group(column, "grpSelection", QStringLiteral(" Selection Size "));
    auto* sel = new QGridLayout(grpSelection);
    auto* selRadios = new QVBoxLayout;
    rbFixed_ = Radio(grpSelection, "rbFixed", QStringLiteral("Fixed"), selRadios);
    rbCustom_ = Radio(grpSelection, "rbCustom", QStringLiteral("Custom"), selRadios);
    sel->addLayout(selRadios, 0, 0);
    cmbSize_ = new QComboBox(grpSelection);
    cmbSize_->setObjectName(QStringLiteral("cmbSize"));
    for (const char* s : kFixedSizes) cmbSize_->addItem(QString::fromLatin1(s));
    cmbSize_->setEnabled(false);
    sel->addWidget(cmbSize_, 0, 1, Qt::AlignTop);
    lay->addWidget(grpSelection);
    connect(rbFixed_, &QRadioButton::toggled, this, &TfrmImport::selectionKindChanged);
    connect(rbCustom_, &QRadioButton::toggled, this, &TfrmImport::selectionKindChanged);
    connect(cmbSize_, &QComboBox::currentIndexChanged, this, &TfrmImport::selectionKindChanged);

    QGroupBox* grpAction = Group(column, "grpAction", QStringLiteral(" Action "));
    auto* act = new QVBoxLayout(grpAction);
    rbResize_ = Radio(grpAction, "rbResize", QStringLiteral("Resize the image"), act);
    rbCrop_ = Radio(grpAction, "rbCrop", QStringLiteral("Crop the image"), act);
    rbResize_->setChecked(true);
    lay->addWidget(grpAction);
    connect(rbResize_, &QRadioButton::toggled, this, &TfrmImport::UpdatePreview);

    QGroupBox* grpTransparency = Group(column, "grpTransparency", QStringLiteral(" Transparency "));
    auto* tr = new QGridLayout(grpTransparency);
    auto* trRadios = new QVBoxLayout;
    rbOriginal_ = Radio(grpTransparency, "rbOriginal", QStringLiteral("As is"), trRadios);
    rbLeftBottom_ = Radio(grpTransparency, "rbLeftBottom", QStringLiteral("Left bottom pixel"), trRadios);
    rbCustomColor_ = Radio(grpTransparency, "rbCustomColor", QStringLiteral("Custom Color"), trRadios);
    rbOriginal_->setChecked(true);
    tr->addLayout(trRadios, 0, 0, 2, 1);
    pnlColor_ = new QPushButton(QStringLiteral("X"), grpTransparency);
    pnlColor_->setObjectName(QStringLiteral("pnlColor"));
    pnlColor_->setFixedSize(28, 24);
    pnlColor_->setFlat(true);
    pnlColor_->setAutoFillBackground(true);
    pnlColor_->setEnabled(false);
    pnlColor_->installEventFilter(this);
    btnColorPicker_ = new QToolButton(grpTransparency);
    btnColorPicker_->setObjectName(QStringLiteral("btnColorPicker"));
    btnColorPicker_->setToolTip(QStringLiteral("Pick a colour from the picture"));
    btnColorPicker_->setEnabled(false);
    if (QCursor c; MakeToolCursor(crPick, &c)) btnColorPicker_->setIcon(QIcon(c.pixmap()));
    tr->addWidget(pnlColor_, 0, 1);
    tr->addWidget(btnColorPicker_, 1, 1);
    lay->addWidget(grpTransparency);
    for (QRadioButton* b : {rbOriginal_, rbLeftBottom_, rbCustomColor_})
        connect(b, &QRadioButton::toggled, this, [this](bool on) {
            if (on) transparencyChanged();
        });
    connect(pnlColor_, &QPushButton::clicked, this, &TfrmImport::chooseSwatchColor);
    connect(btnColorPicker_, &QToolButton::clicked, this, &TfrmImport::StartPicking);

    QGroupBox* grpPreview = Group(column, "grpPreview", QStringLiteral(" Preview "));
    auto* pv = new QVBoxLayout(grpPreview);
    preview1_ = new Tpreview(grpPreview);
    preview1_->setObjectName(QStringLiteral("preview1"));
    preview1_->setMinimumSize(48, 48);
    pv->addWidget(preview1_);
    lay->addWidget(grpPreview, 1);
}

TImportHandle* TfrmImport::Handle(TImportGrip grip) const {
    for (TImportHandle* h : handles_)
        if (h->Grip() == grip) return h;
    return nullptr;
}

// ---------------------------------------------------------------- source and showing

void TfrmImport::SetSource(const TmyImage& picture) {
    source_ = TmyImagePal(picture.Size(), 32);
    std::copy(picture.Pixels().begin(), picture.Pixels().end(), source_.Pixels().begin());
}

void TfrmImport::SetTargetSize(ImageSize size) { result_ = TmyImagePal(size, 32); }

void TfrmImport::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    HorizSB_->setValue(0);
    VertSB_->setValue(0);
    view_.Zoom = 1;
    picking_ = false;
    // Each showing starts with the whole picture, fitted; the preview is
    // made once, at the end (a large picture takes a while to resample).
    quiet_ = true;
    rbCustom_->setChecked(true);
    selectionKindChanged();
    // The choice stays from the last showing, but the colour is this picture's.
    if (rbLeftBottom_->isChecked()) takeLeftBottom();
    quiet_ = false;
    ZoomToFit();
    preview1_->SetBoxColor(Options().PrevColor);
    UpdatePreview();
    Timer1_->start();
}

void TfrmImport::hideEvent(QHideEvent* event) {
    Timer1_->stop();
    QDialog::hideEvent(event);
}

// ---------------------------------------------------------------- zoom and view

ImageSize TfrmImport::ViewSize() const { return {imgOriginal_->width(), imgOriginal_->height()}; }

void TfrmImport::SetZoom(int zoom) {
    view_.Zoom = std::clamp(zoom, kImportZoomMin, kImportZoomMax);
    if (view_.Zoom == 0 || view_.Zoom == -1) view_.Zoom = 1;
    reduce();
    layoutView();
}

void TfrmImport::ZoomIn() { SetZoom(ImportZoomIn(view_.Zoom)); }
void TfrmImport::ZoomOut() { SetZoom(ImportZoomOut(view_.Zoom)); }

void TfrmImport::ZoomToFit() {
    // The room the picture has without scroll bars.
    SetZoom(ImportFitZoom(source_.Size(), {pnlCenter_->width(), pnlCenter_->height()}));
}

// A reduced view shows the picture resampled, as the canvas shows nothing
// finer than a screen pixel.
void TfrmImport::reduce() {
    if (view_.Zoom >= 1) return;
    reduced_ = TmyImagePal(ImportZoomedSize(source_.Size(), view_.Zoom), 32);
    ResampleBitmap(ViewOf(source_), ViewOf(reduced_));
}

void TfrmImport::layoutView() {
    const ImageSize content = ImportZoomedSize(source_.Size(), view_.Zoom);
    const int W = pnlCenter_->width(), H = pnlCenter_->height();
    const int extent = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    bool hbar = false, vbar = false;
    int vw = W, vh = H;
    // Showing one bar takes room that may call for the other.
    for (int pass = 0; pass < 3; ++pass) {
        vw = std::max(1, W - (vbar ? extent : 0));
        vh = std::max(1, H - (hbar ? extent : 0));
        hbar = content.Width - vw >= 1;
        vbar = content.Height - vh >= 1;
    }
    imgOriginal_->setGeometry(0, 0, vw, vh);
    auto place = [](QScrollBar* bar, bool shown, int max) {
        const int oldMax = bar->maximum();
        const int oldPos = bar->value();
        const QSignalBlocker block(bar);
        bar->setVisible(shown);
        bar->setRange(0, shown ? max : 0);
        // A bar that had no range starts in the middle; else it keeps its proportion.
        if (!shown) bar->setValue(0);
        else if (oldMax <= 0) bar->setValue(max / 2);
        else bar->setValue(static_cast<int>(static_cast<long long>(oldPos) * max / oldMax));
    };
    place(HorizSB_, hbar, content.Width - vw);
    place(VertSB_, vbar, content.Height - vh);
    HorizSB_->setGeometry(0, vh, vw, extent);
    HorizSB_->setPageStep(vw);
    VertSB_->setGeometry(vw, 0, extent, vh);
    VertSB_->setPageStep(vh);
    view_.ScrollX = HorizSB_->value();
    view_.ScrollY = VertSB_->value();
    view_.OffsetX = CentreOffset(vw, content.Width);
    view_.OffsetY = CentreOffset(vh, content.Height);
    placeFrame();
    imgOriginal_->update();
}

void TfrmImport::scrolled() {
    view_.ScrollX = HorizSB_->value();
    view_.ScrollY = VertSB_->value();
    placeFrame();
    imgOriginal_->update();
}

bool TfrmImport::eventFilter(QObject* watched, QEvent* event) {
    if (watched == pnlCenter_ && event->type() == QEvent::Resize) layoutView();
    if (watched == pnlColor_ && event->type() == QEvent::Enter) {
        const TmyPixel p = TmyPixel::CreateColor(transparent_);
        pnlColor_->setToolTip(ChannelText(p));
    }
    return QDialog::eventFilter(watched, event);
}

// ---------------------------------------------------------------- selection

void TfrmImport::SetSelection(const TImportRect& r) {
    selection_ = r;
    placeFrame();
}

void TfrmImport::placeFrame() {
    const TViewRect f = view_.FrameOf(selection_);
    imgSel_->setGeometry(f.X, f.Y, std::max(1, f.Width), std::max(1, f.Height));
    const int cx = f.X + f.Width / 2, cy = f.Y + f.Height / 2;
    const int r = f.X + f.Width - 1, b = f.Y + f.Height - 1;
    const QPoint at[8] = {{f.X, f.Y}, {cx, f.Y}, {r, f.Y}, {r, cy}, {r, b}, {cx, b}, {f.X, b}, {f.X, cy}};
    const bool handlesOn = rbCustom_->isChecked() && !picking_;
    for (int i = 0; i < 8; ++i) {
        handles_[i]->setGeometry(at[i].x() - kHandle / 2, at[i].y() - kHandle / 2, kHandle, kHandle);
        handles_[i]->setVisible(handlesOn);
        handles_[i]->raise();
    }
    imgSel_->setVisible(!picking_);
    if (!picking_) showSelectionText();
}

void TfrmImport::showSelectionText() {
    const auto& labels = frmMain() ? frmMain()->StatusLabels() : std::array<QString, 9>{};
    const QString w = labels[8].isEmpty() ? QStringLiteral("W") : labels[8];
    const QString h = labels[7].isEmpty() ? QStringLiteral("H") : labels[7];
    lblSize_->setText(QStringLiteral("(%1,%2)-(%3,%4) ")
                          .arg(selection_.Left)
                          .arg(selection_.Top)
                          .arg(selection_.Right)
                          .arg(selection_.Bottom) +
                      w + ':' + QString::number(selection_.Width()) + ' ' + h + ':' +
                      QString::number(selection_.Height()));
}

void TfrmImport::selectionKindChanged() {
    if (rbCustom_->isChecked()) {
        cmbSize_->setEnabled(false);
        SetSelection({0, 0, source_.Width(), source_.Height()});
    } else if (rbFixed_->isChecked()) {
        cmbSize_->setEnabled(true);
        // Limited by the picture's own size at every zoom: the selection is
        // kept in picture pixels whatever the view shows.
        if (const auto size = ParseFixedSize(cmbSize_->currentText().toStdString(), source_.Size()))
            SetSelection({0, 0, size->Width, size->Height});
    }
    UpdatePreview();
}

// ---------------------------------------------------------------- mouse

void TfrmImport::GripPressed(TImportGrip grip, QPoint global, Qt::KeyboardModifiers mods) {
    last_ = global;
    drag_.Reset();
    if (mods & Qt::ControlModifier) {
        panning_ = true;
        return;
    }
    // A fixed frame moves but has no handles.
    if (grip != TImportGrip::Frame && !rbCustom_->isChecked()) return;
    grip_ = grip;
    dragging_ = true;
}

void TfrmImport::GripMoved(QPoint global) {
    const QPoint d = global - last_;
    last_ = global;
    if (panning_) {
        if (!(QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier)) {
            panning_ = false;
            return;
        }
        // The content follows the cursor.
        HorizSB_->setValue(HorizSB_->value() - d.x());
        VertSB_->setValue(VertSB_->value() - d.y());
        return;
    }
    if (!dragging_) return;
    int dx = 0, dy = 0;
    drag_.Step(view_.Zoom, d.x(), d.y(), dx, dy);
    if (dx == 0 && dy == 0) return;
    SetSelection(MoveSelection(selection_, grip_, dx, dy, source_.Size()));
}

void TfrmImport::GripReleased() {
    panning_ = false;
    if (!dragging_) return;
    dragging_ = false;
    UpdatePreview();
}

void TfrmImport::StartPicking() {
    picking_ = true;
    if (QCursor c; MakeToolCursor(crPick, &c)) imgOriginal_->setCursor(c);
    placeFrame();
}

void TfrmImport::CanvasMoved(QPoint viewPos) {
    if (!picking_) return;
    setSwatch(MakeColor(0, 0, 0), false);
    int sx = 0, sy = 0;
    view_.SourcePixelAt(viewPos.x(), viewPos.y(), sx, sy);
    if (sx < 0 || sy < 0 || sx >= source_.Width() || sy >= source_.Height()) return;
    const TmyPixel p = source_.At(sx, sy);
    if (p.A == 0) return;
    setSwatch(MakeColor(p.R, p.G, p.B), true);
    lblSize_->setText(ChannelText(p));
}

void TfrmImport::CanvasReleased() {
    GripReleased();
    if (!picking_) return;
    picking_ = false;
    imgOriginal_->unsetCursor();
    placeFrame();
    UpdatePreview();
}

void TfrmImport::updateHandCursor() {
    const bool ctrl = QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier;
    const bool over = imgOriginal_->underMouse() || imgSel_->underMouse();
    if (ctrl && over && !picking_) {
        if (QCursor c; MakeToolCursor(crHand1, &c)) {
            imgOriginal_->setCursor(c);
            imgSel_->setCursor(c);
        }
        handShown_ = true;
    } else if (handShown_) {
        handShown_ = false;
        if (!picking_) imgOriginal_->unsetCursor();
        imgSel_->unsetCursor();
    }
}

// ---------------------------------------------------------------- transparency and preview

void TfrmImport::setSwatch(TColor color, bool chosen) {
    swatchChosen_ = chosen;
    transparent_ = chosen ? color : MakeColor(0, 0, 0);
    QPalette pal = pnlColor_->palette();
    pal.setColor(QPalette::Button, chosen ? QColor(ColorR(color), ColorG(color), ColorB(color))
                                          : palette().color(QPalette::Button));
    pnlColor_->setPalette(pal);
    pnlColor_->setText(chosen ? QString() : QStringLiteral("X"));
}

void TfrmImport::transparencyChanged() {
    const bool custom = rbCustomColor_->isChecked();
    pnlColor_->setEnabled(custom);
    btnColorPicker_->setEnabled(custom);
    if (rbLeftBottom_->isChecked()) takeLeftBottom();
    UpdatePreview();
}

void TfrmImport::takeLeftBottom() {
    if (source_.Width() < 1 || source_.Height() < 1) return;
    const TmyPixel p = source_.At(0, source_.Height() - 1);
    setSwatch(MakeColor(p.R, p.G, p.B), true);
}

void TfrmImport::chooseSwatchColor() {
    const std::optional<QColor> c = ChooseColor(QColor(ColorR(transparent_), ColorG(transparent_), ColorB(transparent_)),
                                                this);
    if (!c) return;
    setSwatch(MakeColor(c->red(), c->green(), c->blue()), true);
    UpdatePreview();
}

void TfrmImport::UpdatePreview() {
    if (quiet_) return;
    TPicture work;
    work.HasAlpha = true;
    work.Pixels = TmyImage({selection_.Width(), selection_.Height()});
    const bool key = (rbLeftBottom_->isChecked() || rbCustomColor_->isChecked()) && swatchChosen_;
    const TmyPixel k = TmyPixel::CreateColor(transparent_);
    for (int y = 0; y < selection_.Height(); ++y) {
        const auto src = source_.Row(selection_.Top + y).subspan(static_cast<std::size_t>(selection_.Left),
                                                                  static_cast<std::size_t>(selection_.Width()));
        auto dst = work.Pixels.Row(y);
        for (std::size_t x = 0; x < src.size(); ++x) {
            const TmyPixel& p = src[x];
            dst[x] = key && p.R == k.R && p.G == k.G && p.B == k.B ? TmyPixel{} : p;
        }
    }
    result_.Clear();
    // The action chosen here fits the part, whatever the settings say.
    TFitRule rule;
    rule.Policy = rbResize_->isChecked() ? 0 : 1;
    rule.KeepAspectRatio = Options().KeepAspectRatio;
    BitmapToImage(std::move(work), result_, result_.Size(), true, rule);
    preview1_->ShowImage(result_, Options().PrevColor);
}

// ---------------------------------------------------------------- canvas and grips

TImportCanvas::TImportCanvas(TfrmImport* owner) : QWidget(owner), owner_(owner) {
    setObjectName(QStringLiteral("imgOriginal"));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TImportCanvas::paintEvent(QPaintEvent*) {
    QImage canvas(size(), QImage::Format_RGB32);
    const TCheckerboard board = CheckerboardFromOptions();
    for (int y = 0; y < canvas.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(canvas.scanLine(y));
        for (int x = 0; x < canvas.width(); ++x) row[x] = QRgbOf(CheckerColor(x, y, board));
    }
    const TImportView& v = owner_->View();
    const TmyImagePal& picture = v.Zoom >= 1 ? owner_->Source() : owner_->ReducedSource();
    const int ox = std::min(v.OffsetX, canvas.width()), oy = std::min(v.OffsetY, canvas.height());
    if (ox < canvas.width() && oy < canvas.height()) {
        // The picture's part of the canvas, drawn at its offset.
        QImage part(canvas.bits() + static_cast<qsizetype>(oy) * canvas.bytesPerLine() + ox * 4, canvas.width() - ox,
                    canvas.height() - oy, canvas.bytesPerLine(), QImage::Format_RGB32);
        const TCanvasGeometry geo{std::max(1, v.Zoom), v.ScrollX, v.ScrollY};
        PaintCanvasRect(part, picture, part.rect(), geo, board);
    }
    QPainter(this).drawImage(0, 0, canvas);
}

void TImportCanvas::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && (e->modifiers() & Qt::ControlModifier))
        owner_->GripPressed(TImportGrip::Frame, e->globalPosition().toPoint(), e->modifiers());
}

void TImportCanvas::mouseMoveEvent(QMouseEvent* e) {
    owner_->CanvasMoved(e->position().toPoint());
    if (e->buttons() & Qt::LeftButton) owner_->GripMoved(e->globalPosition().toPoint());
}

void TImportCanvas::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) owner_->CanvasReleased();
}

TImportHandle::TImportHandle(TfrmImport* owner, TImportGrip grip, QWidget* parent)
    : QWidget(parent), owner_(owner), grip_(grip) {
    setCursor(GripCursor(grip));
}

void TImportHandle::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (grip_ == TImportGrip::Frame) {
        // The frame: a dashed outline, light and dark so it shows on any picture.
        p.setPen(QPen(Qt::white, 1));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
        p.setPen(QPen(Qt::black, 1, Qt::DashLine));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
        return;
    }
    p.fillRect(rect(), Qt::black);
    p.fillRect(rect().adjusted(1, 1, -1, -1), Qt::white);
}

void TImportHandle::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) owner_->GripPressed(grip_, e->globalPosition().toPoint(), e->modifiers());
}

void TImportHandle::mouseMoveEvent(QMouseEvent* e) {
    if (e->buttons() & Qt::LeftButton) owner_->GripMoved(e->globalPosition().toPoint());
}

void TImportHandle::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) owner_->GripReleased();
}

}  // namespace velto
