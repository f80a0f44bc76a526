#include "FormTools.h"

#include <QButtonGroup>
#include <QCursor>
#include <QFrame>
#include <QLinearGradient>
#include <QPainter>
#include <QToolButton>

#include "imagingqt/PngSpeedButton.h"
#include "shell/MainWindow.h"
#include "shell/ToolArt.h"

namespace velto {

namespace {

struct ToolButtonSpec {
    TToolId tool;
    const char* name;
    const char* hint;
};
// In palette order: two columns, left then right.
constexpr ToolButtonSpec kToolButtons[] = {
    {TToolId::Selection, "btnSelection", "Selection (S)"},
    {TToolId::Crop, "btnCrop", "Crop (C)"},
    {TToolId::Text, "btnText", "Text (T)"},
    {TToolId::Eraser, "btnErase", "Color Eraser (E)"},
    {TToolId::Fill, "btnFill", "Fill (F)"},
    {TToolId::Spray, "btnSpray", "Spray (R)"},
    {TToolId::Brush, "btnBrush", "Brush (B)"},
    {TToolId::Pencil, "btnPencil", "Pencil (P)"},
    {TToolId::Line, "btnLine", "Line (L)"},
    {TToolId::Rectangle, "btnRect", "Rectangle (X)"},
    {TToolId::RoundRect, "btnRoundRect", "Rounded Rectangle (Y)"},
    {TToolId::Ellipse, "btnEllipse", "Ellypse (Z)"},
    {TToolId::Picker, "btnPick", "Color Picker (I)"},
    {TToolId::Zoom, "btnZoom", "Zoom (M)"},
    {TToolId::Opacity, "btnOpac", "Opacity (O)"},
    {TToolId::Gradient, "btnGradient", "Gradient (G)"},
    {TToolId::Brighten, "btnBrighten", "Brighten/Darken ([)"},
    {TToolId::Blur, "btnBlur", "Blur/Sharpen (])"},
};

// The image commands under the tools. The shift buttons' names and hints
// cross over (the button named for the right holds "Left"): the commands
// follow the hints.
struct CommandSpec {
    const char* name;
    const char* hint;
    const char* action;
    const char* picture;  // in art/
    QRect geometry;
};
const CommandSpec kCommands[] = {
    {"btnFlipVert", "Flip Vertical", "actnFlipVert", "cmdFlipVert", {2, 252, 27, 27}},
    {"btnFlipHoriz", "Flip Horizontal", "actnFlipHoriz", "cmdFlipHoriz", {29, 252, 27, 27}},
    {"btnRotateLeft", "Rotate Left", "actnRotateLeft", "cmdRotateLeft", {2, 279, 27, 27}},
    {"btnRotateRight", "Rotate Right", "actnRotateRight", "cmdRotateRight", {29, 279, 27, 27}},
    {"btnUp", "Up", "actnUp", "cmdUp", {22, 310, 13, 13}},
    {"btnRightClick", "Left", "actnLeft", "cmdLeft", {8, 324, 13, 13}},
    {"btnLeftClick", "Right", "actnRight", "cmdRight", {36, 324, 13, 13}},
    {"btnDown", "Down", "actnDown", "cmdDown", {22, 338, 13, 13}},
};

constexpr int kPanelTop = 364;
constexpr const char* kSizeNames[] = {"SpeedButton23", "SpeedButton24", "SpeedButton25", "SpeedButton26",
                                      "SpeedButton34", "SpeedButton35", "SpeedButton36"};

QToolButton* MakeButton(QWidget* parent, const QString& name, const QString& hint, QRect geometry, bool checkable) {
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    if (!hint.isEmpty()) b->setToolTip(hint);
    b->setAutoRaise(true);
    b->setCheckable(checkable);
    b->setFocusPolicy(Qt::NoFocus);
    b->setGeometry(geometry);
    b->setIconSize(geometry.size() - QSize(6, 6));
    return b;
}

QPixmap Blank(QSize size) {
    QPixmap pm(size);
    pm.fill(Qt::transparent);
    return pm;
}

// A palette button with its picture from the palette's image list (1x and
// 2x), half transparent while disabled.
QToolButton* MakePictureButton(QWidget* parent, const char* name, const char* picture, const QString& hint,
                               QRect geometry, bool checkable) {
    auto* b = new TPngSpeedButton(parent);
    b->setObjectName(name);
    if (!hint.isEmpty()) b->setToolTip(hint);
    b->setCheckable(checkable);
    b->setFocusPolicy(Qt::NoFocus);
    b->setGeometry(geometry);
    b->ActionChange(&PaletteImages(), PaletteImages().IndexOf(picture));
    return b;
}

// The option pictures: a line of the brush size, the tip's shape, the fill
// styles, the gradient directions.
QIcon SizeIcon(int size) {
    QPixmap pm = Blank({18, 9});
    QPainter p(&pm);
    const int h = std::min(size, 7);
    p.fillRect(QRect(1, (9 - h) / 2, 16, h), Qt::black);
    return QIcon(pm);
}

QIcon ShapeIcon(int shape) {
    const TTagBitmap& tip = BrushTips().Tip(static_cast<TBrushShape>(shape), TTagColor::Primary, 7);
    QPixmap pm = Blank({14, 14});
    QPainter p(&pm);
    for (int y = 0; y < tip.Height(); ++y)
        for (int x = 0; x < tip.Width(); ++x)
            if (tip.At(x, y).R == 0) p.fillRect(2 * x, 2 * y, 2, 2, Qt::black);
    return QIcon(pm);
}

QIcon FillIcon(int style) {
    QPixmap pm = Blank({16, 16});
    QPainter p(&pm);
    p.setPen(QPen(Qt::black, 2));
    p.setBrush(style == 1 ? QBrush(Qt::NoBrush) : QBrush(style == 2 ? Qt::gray : Qt::black));
    p.drawRect(QRect(2, 3, 12, 10));
    return QIcon(pm);
}

QIcon GradientIcon(int kind) {
    QPixmap pm = Blank({16, 16});
    QPainter p(&pm);
    QLinearGradient g(QPointF(1, 1), kind == 1 ? QPointF(15, 1) : QPointF(1, 15));
    g.setColorAt(0, Qt::black);
    g.setColorAt(1, Qt::white);
    p.setPen(Qt::black);
    p.setBrush(g);
    p.drawRect(QRect(1, 1, 14, 14));
    return QIcon(pm);
}

}  // namespace

TfrmTools::TfrmTools(TToolController& tools, QWidget* parent) : QWidget(parent), tools_(&tools) {
    setObjectName("frmToolsContent");
    setFixedSize(kWidth, kHeight);
    build();
    tools.SetPalette(this);
    ToolStateChanged();
}

TfrmTools::~TfrmTools() {
    if (tools_ && tools_->Palette() == this) tools_->SetPalette(nullptr);
}

void TfrmTools::build() {
    toolGroup_ = new QButtonGroup(this);
    toolGroup_->setExclusive(true);
    int i = 0;
    for (const ToolButtonSpec& spec : kToolButtons) {
        const QRect at(i % 2 == 0 ? 2 : 29, 2 + (i / 2) * 27, 27, 27);
        const std::string picture = "tool" + std::string(spec.name + 3);  // btnCrop: toolCrop
        QToolButton* b = MakePictureButton(this, spec.name, picture.c_str(), spec.hint, at, true);
        toolGroup_->addButton(b);
        toolButtons_[static_cast<std::size_t>(spec.tool)] = b;
        connect(b, &QToolButton::clicked, this, [this, tool = spec.tool] { toolClicked(tool); });
        ++i;
    }
    auto* bevel = new QFrame(this);
    bevel->setObjectName("Bevel1");
    bevel->setFrameShape(QFrame::HLine);
    bevel->setFrameShadow(QFrame::Sunken);
    bevel->setGeometry(2, 246, kWidth - 4, 4);
    for (const CommandSpec& c : kCommands) {
        QToolButton* b = MakePictureButton(this, c.name, c.picture, c.hint, c.geometry, false);
        connect(b, &QToolButton::clicked, this, [action = c.action] {
            if (TfrmMain* main = frmMain()) main->Actions().execute(action);
        });
    }

    // The option panels, all hidden until a tool shows its own.
    auto panel = [this](int n, QRect at) {
        auto* f = new QFrame(this);
        f->setObjectName(QStringLiteral("Panel%1").arg(n));
        f->setFrameShape(QFrame::StyledPanel);
        f->setGeometry(at);
        f->hide();
        panels_[static_cast<std::size_t>(n)] = f;
        return f;
    };
    auto group = [this](QFrame* parent, auto& buttons, int count, QSize size, auto name, auto icon) {
        auto* g = new QButtonGroup(this);
        for (int k = 1; k <= count; ++k) {
            QToolButton* b = MakeButton(parent, name(k), {}, QRect(QPoint(2, 2 + (k - 1) * size.height()), size), true);
            b->setIcon(icon(k));
            g->addButton(b);
            buttons[static_cast<std::size_t>(k)] = b;
            connect(b, &QToolButton::clicked, this, &TfrmTools::optionClicked);
        }
    };
    group(panel(1, {2, kPanelTop, 26, 81}), sizeButtons_, 7, QSize(22, 11),
          [](int k) { return QString::fromLatin1(kSizeNames[k - 1]); }, SizeIcon);
    group(panel(2, {30, kPanelTop, 26, 84}), shapeButtons_, 4, QSize(20, 20),
          [](int k) { return QStringLiteral("SpeedButton%1").arg(26 + k); }, ShapeIcon);
    group(panel(3, {30, kPanelTop, 26, 70}), fillButtons_, 3, QSize(22, 22),
          [](int k) { return QStringLiteral("SpeedButton%1").arg(30 + k); }, FillIcon);
    group(panel(4, {2, kPanelTop, 26, 48}), gradientButtons_, 2, QSize(22, 22),
          [](int k) { return QStringLiteral("SpeedButton%1").arg(40 + k); }, GradientIcon);
}

void TfrmTools::toolClicked(TToolId id) {
    if (!tools_) return;
    // The picker chosen again keeps the tool it goes back to.
    if (id == TToolId::Picker && tools_->State().ToolId == TToolId::Picker) return;
    tools_->SetTool(id);
}

void TfrmTools::optionClicked() {
    if (!tools_) return;
    TToolState& s = tools_->State();
    for (int k = 1; k <= 7; ++k)
        if (sizeButtons_[static_cast<std::size_t>(k)]->isChecked()) s.SetBrushSize(k);
    for (int k = 1; k <= 4; ++k)
        if (shapeButtons_[static_cast<std::size_t>(k)]->isChecked()) s.SetBrushShape(k);
    for (int k = 1; k <= 3; ++k)
        if (fillButtons_[static_cast<std::size_t>(k)]->isChecked()) s.SetFillStyle(k);
    for (int k = 1; k <= 2; ++k)
        if (gradientButtons_[static_cast<std::size_t>(k)]->isChecked()) s.SetGradientKind(k);
    tools_->UpdateBrushOutline();
}

void TfrmTools::PressToolButton(TToolId id) {
    QToolButton* b = ToolButton(id);
    if (!b) return;
    // As the button's click does, also while it is disabled; then it is down.
    toolClicked(id);
    b->setChecked(true);
}

void TfrmTools::ToolStateChanged() {
    if (!tools_) return;
    const TToolState& s = tools_->State();
    if (QToolButton* b = ToolButton(s.ToolId)) b->setChecked(true);
    if (const std::optional<std::uint8_t> panels = ToolInfo(s.ToolId).Panels) {
        for (int n = 1; n <= 4; ++n) panels_[static_cast<std::size_t>(n)]->setVisible((*panels & (1 << (n - 1))) != 0);
    }
    sizeButtons_[static_cast<std::size_t>(s.BrushSize)]->setChecked(true);
    shapeButtons_[static_cast<std::size_t>(s.BrushShape)]->setChecked(true);
    fillButtons_[static_cast<std::size_t>(s.FillStyle)]->setChecked(true);
    gradientButtons_[static_cast<std::size_t>(s.GradientKind)]->setChecked(true);
}

void TfrmTools::SetOpacityToolAvailable(bool available) {
    QToolButton* opacity = ToolButton(TToolId::Opacity);
    if (!available && opacity->isChecked()) PressToolButton(TToolId::Gradient);
    opacity->setEnabled(available);
}

bool TfrmTools::ClickBrushSize(int size) {
    if (size < 1 || size > 7 || OptionPanel(1)->isHidden()) return false;
    sizeButtons_[static_cast<std::size_t>(size)]->click();
    return true;
}

QToolButton* TfrmTools::ToolButton(TToolId id) const {
    const int n = static_cast<int>(id);
    return n >= 1 && n <= kToolCount ? toolButtons_[static_cast<std::size_t>(n)] : nullptr;
}
QToolButton* TfrmTools::SizeButton(int size) const { return sizeButtons_.at(static_cast<std::size_t>(size)); }
QToolButton* TfrmTools::ShapeButton(int shape) const { return shapeButtons_.at(static_cast<std::size_t>(shape)); }
QToolButton* TfrmTools::FillButton(int style) const { return fillButtons_.at(static_cast<std::size_t>(style)); }
QToolButton* TfrmTools::GradientButton(int kind) const { return gradientButtons_.at(static_cast<std::size_t>(kind)); }
QWidget* TfrmTools::OptionPanel(int panel) const { return panels_.at(static_cast<std::size_t>(panel)); }
QToolButton* TfrmTools::CommandButton(const char* name) const {
    return findChild<QToolButton*>(QString::fromLatin1(name));
}

}  // namespace velto
