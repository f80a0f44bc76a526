// The grid itself: tiles, placement, selection and painting. Mouse, keys and
// drag and drop are in ThumbnailInput.cpp, the fillers in ThumbnailFillers.cpp.
#include "ThumbnailGrid.h"

#include "FolderFill.h"
#include "core/Language.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QPaintEvent>
#include <QPointer>
#include <QProxyStyle>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOption>
#include <QtMath>

#include <algorithm>

namespace velto {

// Drag sources are looked up among the grids alive (ThumbnailInput.cpp).
void RegisterGrid(const TThumbail* grid, bool live);

namespace {

QString Message(const char* key, const char* def, int value) {
    return QString::fromStdString(Lang().GetMessage(key, def)).replace(QLatin1String("%i1"), QString::number(value));
}

// The toolkit's raster engine hands every fill of 96 device rows or more to
// its thread pool, a task per 64 rows, and waits for them. For a scroll
// bar's groove and edges (a few thousand pixels) waking those threads costs
// several times the fill, and on a busy machine each paint then waits for
// them to get a processor: paging through a large folder spent more time on
// the bar than on the tiles. Here the application's style draws the bar into
// strips of fewer rows, which the painting thread fills itself, and the
// strips are copied to the bar. (A clip would not do: the style sets clips
// of its own.) Only where one pixel is one device pixel: there a strip's
// pixels are exactly the bar's.
class TBandedScrollBarStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const override {
        constexpr int kBand = 80;
        if (control != CC_ScrollBar || !option || !painter || !painter->device() ||
            painter->device()->devicePixelRatioF() != 1.0 ||
            painter->deviceTransform().type() > QTransform::TxTranslate || option->rect.height() <= kBand) {
            QProxyStyle::drawComplexControl(control, option, painter, widget);
            return;
        }
        const QRect r = option->rect;
        QImage strip(r.width(), kBand, QImage::Format_ARGB32_Premultiplied);
        for (int y = r.top(); y <= r.bottom(); y += kBand) {
            strip.fill(Qt::transparent);
            QPainter p(&strip);
            // What the style may take as given: a widget's painter starts with its pen and font.
            p.setRenderHints(painter->renderHints());
            p.setFont(painter->font());
            p.setPen(painter->pen());
            p.setBrush(painter->brush());
            p.setBackground(painter->background());
            p.translate(-r.left(), -y);
            QProxyStyle::drawComplexControl(control, option, &p, widget);
            p.end();
            painter->drawImage(QPoint(r.left(), y), strip, QRect(0, 0, r.width(), std::min(kBand, r.bottom() + 1 - y)));
        }
    }
};

// One for every grid, following the application's style.
QStyle* BandedScrollBarStyle() {
    static QPointer<QStyle> style;
    if (!style) {
        style = new TBandedScrollBarStyle(QApplication::style()->name());
        style->setParent(qApp);
    }
    return style;
}

}  // namespace

void TThumbnailItem::SetFileName(const QString& path) {
    FileName = path;
    // Cut as text: the name may hold bytes kept as they were (FileNames.h).
    Caption = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

void TThumbnailItem::SetPicture(const QImage& picture, QSize sourceSize) {
    SourceWidth = sourceSize.width();
    SourceHeight = sourceSize.height();
    const QSize fitted = FittedPictureSize(sourceSize, Size);
    if (picture.isNull() || fitted.isEmpty()) {
        Bitmap = QImage();
        return;
    }
    Bitmap = picture.size() == fitted ? picture
                                      : picture.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// ---------------------------------------------------------------- creation

TThumbail::TThumbail(QWidget* parent) : QAbstractScrollArea(parent) {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    verticalScrollBar()->setSingleStep(50);
    verticalScrollBar()->setStyle(BandedScrollBarStyle());
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    // The grid paints its background itself, only where no tile lies.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setBackgroundRole(QPalette::Base);
    // Captions and hints come from the tiles.
    viewport()->setAttribute(Qt::WA_Hover, false);
    RegisterGrid(this, true);
}

TThumbail::~TThumbail() {
    // Workers hold no pointer into the grid; stopped, they post nothing more.
    if (fill_) fill_->Stop();
    RegisterGrid(this, false);
}

QSize TThumbail::sizeHint() const { return {thumbnailSize_ * 3, thumbnailSize_ * 2}; }

// ---------------------------------------------------------------- look

void TThumbail::SetThumbnailSize(int size) {
    thumbnailSize_ = std::max(1, size);
    for (auto& item : items_) item->Size = thumbnailSize_;
    Relayout();
}

void TThumbail::SetShowCaption(bool on) {
    showCaption_ = on;
    for (auto& item : items_) item->ShowCaption = on;
    Relayout();
}

TTileLayout TThumbail::Layout() const {
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    return TTileLayout::Of(contentsRect().width(), bar, thumbnailSize_, showCaption_);
}

void TThumbail::Relayout() {
    const TTileLayout l = Layout();
    for (std::size_t i = 0; i < items_.size(); ++i) items_[i]->Pos = l.TopLeft(static_cast<int>(i));
    lastClientWidth_ = contentsRect().width();
    UpdateScrollRange();
    viewport()->update();
}

void TThumbail::UpdateScrollRange() {
    const int content = Layout().ContentHeight(Count());
    QScrollBar* bar = verticalScrollBar();
    bar->setPageStep(std::max(1, viewport()->height()));
    bar->setRange(0, std::max(0, content - viewport()->height()));
}

void TThumbail::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    // Tiles move only when the width really changed.
    if (contentsRect().width() != lastClientWidth_) Relayout();
    else UpdateScrollRange();
}

void TThumbail::scrollContentsBy(int, int) { viewport()->update(); }

void TThumbail::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() != QEvent::EnabledChange) return;
    const bool on = isEnabled();
    viewport()->setBackgroundRole(on ? QPalette::Base : QPalette::Button);
    for (auto& item : items_) item->Enabled = on;
    viewport()->update();
}

// ---------------------------------------------------------------- tiles

TThumbnailItem& TThumbail::Add() { return Adopt(std::make_unique<TThumbnailItem>()); }

TThumbnailItem& TThumbail::Adopt(std::unique_ptr<TThumbnailItem> item) {
    item->Size = thumbnailSize_;
    item->ShowCaption = showCaption_;
    item->Index = Count();
    item->Enabled = isEnabled();
    if (lastClientWidth_ != contentsRect().width()) Relayout();
    item->Pos = Layout().TopLeft(item->Index);
    items_.push_back(std::move(item));
    // A filler adding many tiles sets the range and repaints once at the
    // end: every new range makes the scroll area lay itself out again.
    if (!adding_) {
        UpdateScrollRange();
        UpdateItem(Count() - 1);
    }
    return *items_.back();
}

void TThumbail::Clear() {
    items_.clear();
    selection_.clear();
    anchor_ = 0;
    pressedItem_ = -1;
    dropBar_ = -1;
    focus_ = -1;
    verticalScrollBar()->setValue(0);
    UpdateScrollRange();
    viewport()->update();
}

void TThumbail::Delete(int i) {
    if (i < 0 || i >= Count()) return;
    items_.erase(items_.begin() + i);
    std::vector<int> kept;
    for (int s : selection_)
        if (s != i) kept.push_back(s > i ? s - 1 : s);
    selection_ = std::move(kept);
    for (int k = i; k < Count(); ++k) Item(k).Index = k;
    Relayout();
}

void TThumbail::DeleteSelected() {
    std::erase_if(items_, [](const std::unique_ptr<TThumbnailItem>& item) { return item->Selected; });
    for (int k = 0; k < Count(); ++k) Item(k).Index = k;
    selection_.clear();
    anchor_ = 0;
    Relayout();
}

QRect TThumbail::ItemRect(int i) const {
    if (i < 0 || i >= Count()) return {};
    return Item(i).Rect().translated(0, -verticalScrollBar()->value());
}

void TThumbail::UpdateItem(int i) {
    const QRect r = ItemRect(i);
    if (!r.isNull()) viewport()->update(r.adjusted(-1, -1, 1, 1));
}

int TThumbail::ItemAt(QPoint pos) const {
    const QPoint content = pos + QPoint(0, verticalScrollBar()->value());
    const auto [first, last] = Layout().IndexRange(content.y(), content.y() + 1, Count());
    for (int i = first; i < last; ++i)
        if (Item(i).Rect().contains(content)) return i;
    return -1;
}

void TThumbail::ScrollToItem(int i) {
    if (i < 0 || i >= Count()) return;
    const QRect r = Item(i).Rect();
    QScrollBar* bar = verticalScrollBar();
    if (r.top() - 5 < bar->value()) bar->setValue(r.top() - 5);
    else if (r.bottom() + 5 > bar->value() + viewport()->height())
        bar->setValue(r.bottom() + 5 - viewport()->height() + 1);
}

// ---------------------------------------------------------------- selection

void TThumbail::SetFlag(int i, bool on) {
    TThumbnailItem& item = Item(i);
    if (item.Selected == on) return;
    item.Selected = on;
    UpdateItem(i);
}

void TThumbail::SelectItem(int i) {
    if (i < 0 || i >= Count()) return;
    if (selectionMode_ == 0) return;
    if (selectionMode_ == 1) ClearSelection();
    AddToSelection(i);
}

void TThumbail::ClearSelection() {
    for (int i : selection_)
        if (i >= 0 && i < Count()) SetFlag(i, false);
    selection_.clear();
}

void TThumbail::AddToSelection(int i) {
    if (i < 0 || i >= Count() || IsSelected(i)) return;
    SetFlag(i, true);
    if (!(modifiers_ & Qt::ShiftModifier)) anchor_ = i;
    selection_.push_back(i);
}

void TThumbail::Unselect(int i) {
    const auto at = std::find(selection_.begin(), selection_.end(), i);
    if (at == selection_.end()) return;
    SetFlag(i, false);
    selection_.erase(at);
}

void TThumbail::ToggleSelection(int i) {
    if (IsSelected(i)) Unselect(i);
    else AddToSelection(i);
}

bool TThumbail::IsSelected(int i) const { return IndexInSelection(i) >= 0; }

int TThumbail::IndexInSelection(int i) const {
    const auto at = std::find(selection_.begin(), selection_.end(), i);
    return at == selection_.end() ? -1 : static_cast<int>(at - selection_.begin());
}

int TThumbail::SelectedCount() const {
    return static_cast<int>(
        std::count_if(items_.begin(), items_.end(), [](const auto& item) { return item->Selected; }));
}

void TThumbail::RebuildSelection() {
    selection_.clear();
    for (int i = 0; i < Count(); ++i)
        if (Item(i).Selected) selection_.push_back(i);
}

bool TThumbail::IsNameUnique(const QString& name) const {
    return std::none_of(items_.begin(), items_.end(), [&](const auto& item) { return item->Caption == name; });
}

bool TThumbail::IsNameLangUnique(const QString& name, std::uint16_t language) const {
    return std::none_of(items_.begin(), items_.end(), [&](const auto& item) {
        return item->Caption == name && item->LanguageId == language;
    });
}

QString TThumbail::MakeUniqueName(const QString& prefix) const {
    for (int n = 1;; ++n) {
        const QString name = prefix + QString::number(n);
        if (IsNameUnique(name)) return name;
    }
}

void TThumbail::ShowSelectionStatus() {
    const int selected = SelectedCount();
    if (selected > 0) SetStatusText(Message("msgSelectedObject", "%i1 selected objects", selected));
    else SetStatusText(Message("msgObject", "%i1 objects", Count()));
}

void TThumbail::SetStatusText(const QString& text) {
    statusText_ = text;
    if (statusLabel_) statusLabel_->setText(text);
    emit statusTextChanged(text);
}

void TThumbail::BeginBusy() {
    busy_ = true;
    viewport()->setCursor(Qt::WaitCursor);
}

void TThumbail::EndBusy() {
    busy_ = false;
    viewport()->unsetCursor();
}

// ---------------------------------------------------------------- painting

void TThumbail::paintEvent(QPaintEvent* event) {
    QPainter p(viewport());
    const int scroll = verticalScrollBar()->value();
    const QRect area = event->rect();
    const auto [first, last] = Layout().IndexRange(area.top() + scroll, area.bottom() + 1 + scroll, Count());
    TTileInk ink;
    ink.frame = palette().color(QPalette::Dark);
    ink.lit = palette().color(QPalette::Highlight);
    ink.text = palette().color(QPalette::Text);
    ink.disabled = palette().color(QPalette::Button);
    ink.back = viewport()->palette().color(viewport()->backgroundRole());
    const QFontMetrics fm(font());
    // Tile frames are opaque: the background goes around them.
    QRegion background(event->region());
    for (int i = first; i < last; ++i) {
        const TThumbnailItem& item = Item(i);
        const int frameHeight = item.ShowCaption ? item.Size : item.Height();
        background -= QRect(item.Pos.x(), item.Pos.y() - scroll, item.Size, frameHeight);
    }
    for (const QRect& r : background) p.fillRect(r, ink.back);
    for (int i = first; i < last; ++i) {
        const TThumbnailItem& item = Item(i);
        const QRect r = item.Rect().translated(0, -scroll);
        if (r.intersects(area.adjusted(-2, -2, 2, 2))) PaintItem(p, item, r.topLeft(), ink, fm);
    }
    if (focus_ >= 0 && focus_ < Count() && hasFocus()) {
        p.setPen(QPen(ink.text, 1, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        const QRect r = ItemRect(focus_);
        p.drawRect(r.left() - 2, r.top() - 2, r.width() + 3, r.height() + 3);
    }
    if (banding_ && !band_.isNull()) {
        p.setPen(QPen(ink.text, 1, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(band_.normalized().adjusted(0, 0, -1, -1));
    }
    if (dropBar_ >= 0 && dropBar_ < Count()) {
        const QRect r = ItemRect(dropBar_);
        p.fillRect(QRect(r.left() - 2, r.top() + r.height(), r.width() + 4, 3), ink.lit);
    }
}

void TThumbail::PaintItem(QPainter& p, const TThumbnailItem& item, QPoint at, const TTileInk& ink,
                          const QFontMetrics& fm) const {
    const bool lit = item.Enabled && item.Selected;
    const int s = item.Size;
    const int bottom = item.ShowCaption ? item.Height() - 20 : item.Height();
    p.drawImage(at, TileFrame(s, bottom, item.Selected, lit ? ink.lit : ink.frame, ink.back));
    if (!item.Bitmap.isNull()) {
        const QSize fitted = FittedPictureSize({item.SourceWidth, item.SourceHeight}, s);
        const QRect target(at + PictureOffset(fitted, s), fitted);
        if (item.Bitmap.size() == fitted) p.drawImage(target.topLeft(), item.Bitmap);
        else p.drawImage(target, item.Bitmap);
    }
    if (item.ShowCaption) {
        PrepareCaption(item, fm);
        const int w = static_cast<int>(item.ShownCaption.size().width());
        const QRect box(at.x() + (s - w) / 2, at.y() + s + 2, w, fm.height());
        if (!item.Enabled) p.fillRect(box, ink.disabled);
        p.setPen(lit ? ink.lit : ink.text);
        p.drawStaticText(box.topLeft(), item.ShownCaption);
    }
}

void TThumbail::PrepareCaption(const TThumbnailItem& item, const QFontMetrics& fm) const {
    if (item.ShownWidth == item.Size && item.ShownFor == item.Caption) return;
    const auto laidOut = [this](const QString& text) {
        QStaticText t(text);
        t.setTextFormat(Qt::PlainText);
        t.prepare(QTransform(), font());
        return t;
    };
    // Most captions fit with room to spare, which their layout shows
    // without measuring them once more; the others are cut to fit.
    item.ShownCaption = laidOut(item.Caption);
    if (item.ShownCaption.size().width() + 1 >= item.Size) {
        const QString shown = ShortenCaption(item.Caption, item.Size, fm);
        if (shown != item.Caption) item.ShownCaption = laidOut(shown);
    }
    item.ShownFor = item.Caption;
    item.ShownWidth = item.Size;
}

const QImage& TThumbail::TileFrame(int size, int bottom, bool selected, const QColor& pen, const QColor& back) const {
    // Drawn at the screen's pixel ratio, so that it stays sharp when scaled.
    const qreal ratio = viewport()->devicePixelRatioF();
    const auto key = std::make_tuple(size, bottom, selected, pen.rgba(), back.rgba(), qRound(ratio * 100));
    auto at = frames_.find(key);
    if (at != frames_.end()) return at->second;
    // Opaque, over the grid's background: a plain copy when painted.
    QImage frame(qCeil(size * ratio), qCeil(bottom * ratio), QImage::Format_RGB32);
    frame.setDevicePixelRatio(ratio);
    frame.fill(back);
    QPainter p(&frame);
    p.setRenderHint(QPainter::Antialiasing, ratio != 1.0);
    p.setPen(QPen(pen, selected ? 3 : 1));
    p.setBrush(Qt::white);
    p.drawRoundedRect(selected ? QRect(1, 1, size - 3, bottom - 3) : QRect(0, 0, size - 1, bottom - 1), 5, 5);
    p.end();
    return frames_.emplace(key, std::move(frame)).first->second;
}

}  // namespace velto
