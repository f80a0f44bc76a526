#include "shell/PaneFrame.h"

#include <QEvent>
#include <algorithm>
#include <optional>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollArea>
#include <QShowEvent>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace velto {

// The pane's contents sit in a frameless scroll area that asks for their own
// sizes, so the pane lays out as if they were its direct child until it is
// squeezed below them.
class PaneScroll : public QScrollArea {
public:
    explicit PaneScroll(QWidget* parent) : QScrollArea(parent) {
        setFrameShape(QFrame::NoFrame);
        setWidgetResizable(true);
        setBackgroundRole(QPalette::Window);
    }
    bool squeezed = false;
    QSize sizeHint() const override { return widget() ? widget()->sizeHint() : QSize(); }
    QSize minimumSizeHint() const override {
        if (!widget()) return {};
        return squeezed ? QSize(0, 0) : widget()->minimumSizeHint();
    }
};

namespace {

// Width of the band along a resizable pane's edges that resizes it.
constexpr int kEdge = 4;

// r moved (not resized) to lie inside area as far as it fits; a rectangle
// larger than the area keeps its top-left corner inside.
QRect MovedInto(QRect r, const QRect& area) {
    r.moveLeft(std::max(area.left(), std::min(r.left(), area.right() + 1 - r.width())));
    r.moveTop(std::max(area.top(), std::min(r.top(), area.bottom() + 1 - r.height())));
    return r;
}

// How far a pane can be squeezed below its contents.
constexpr int kSqueezedContent = 48;

bool Touch(const QRect& a, const QRect& b) {
    const int n = TDockMngr::kNear - 1;
    return a.adjusted(-n, 0, n, 0).intersects(b) || a.adjusted(0, -n, 0, n).intersects(b);
}

// a cut back so that it no longer meets b, keeping at least least: its top
// or bottom when that works (panes stand in columns along the edges, which
// keep their width), else its left or right; the cut keeping more wins.
std::optional<QRect> CutAway(const QRect& a, const QRect& b, const QSize& least) {
    if (!a.intersects(b)) return a;
    const QRect cuts[2][2] = {
        {a.adjusted(0, 0, 0, b.top() - 1 - a.bottom()), a.adjusted(0, b.bottom() + 1 - a.top(), 0, 0)},
        {a.adjusted(0, 0, b.left() - 1 - a.right(), 0), a.adjusted(b.right() + 1 - a.left(), 0, 0, 0)}};
    for (const auto& axis : cuts) {
        std::optional<QRect> best;
        for (const QRect& c : axis) {
            if (c.width() < std::max(1, least.width()) || c.height() < std::max(1, least.height())) continue;
            if (!best || c.width() * c.height() > best->width() * best->height()) best = c;
        }
        if (best) return best;
    }
    return std::nullopt;
}

// The nearest place for a pane of rectangle pane off the others; whole: inside
// area, else only its top-left corner inside.
std::optional<QRect> NearestFree(const QRect& pane, const QList<QRect>& others, const QRect& area, bool whole) {
    auto free = [&](const QRect& r) {
        if (whole ? !area.contains(r) : !area.contains(r.topLeft())) return false;
        for (const QRect& o : others)
            if (r.intersects(o)) return false;
        return true;
    };
    const int w = pane.width(), h = pane.height();
    QList<QPoint> candidates{pane.topLeft()};
    for (const QRect& o : others) {
        for (int x : {o.left() - w, o.right() + 1})
            for (int y : {pane.top(), o.top(), o.bottom() + 1 - h}) candidates << QPoint(x, y);
        for (int y : {o.top() - h, o.bottom() + 1})
            for (int x : {pane.left(), o.left(), o.right() + 1 - w}) candidates << QPoint(x, y);
    }
    for (int x : {area.left(), area.right() + 1 - w})
        for (int y : {area.top(), area.bottom() + 1 - h}) candidates << QPoint(x, y);
    std::optional<QRect> best;
    long long bestDistance = 0;
    for (const QPoint& c : candidates) {
        const QRect r = whole ? MovedInto(QRect(c, pane.size()), area) : QRect(c, pane.size());
        if (!free(r)) continue;
        const long long dx = r.left() - pane.left(), dy = r.top() - pane.top();
        const long long d = dx * dx + dy * dy;
        if (!best || d < bestDistance) {
            bestDistance = d;
            best = r;
        }
    }
    return best;
}

}  // namespace

QList<QRect> FitPanes(const QList<PaneFit>& panes, const QRect& area, QList<int>* grownLeft) {
    const qsizetype n = panes.size();
    QList<QRect> out;
    for (const PaneFit& p : panes) out << p.rect;

    // Blocks of touching panes move into the area together (the pane the
    // user has just put somewhere stays out of them).
    QList<qsizetype> block(n);
    for (qsizetype i = 0; i < n; ++i) block[i] = i;
    for (bool merged = true; merged;) {
        merged = false;
        for (qsizetype i = 0; i < n; ++i)
            for (qsizetype j = 0; j < n; ++j)
                if (block[i] != block[j] && !panes[i].placedByUser && !panes[j].placedByUser && Touch(out[i], out[j])) {
                    block[i] = block[j] = std::min(block[i], block[j]);
                    merged = true;
                }
    }
    for (qsizetype b = 0; b < n; ++b) {
        QRect box;
        for (qsizetype i = 0; i < n; ++i)
            if (block[i] == b) box |= out[i];
        if (box.isNull()) continue;
        const QPoint shift = MovedInto(box, area).topLeft() - box.topLeft();
        for (qsizetype i = 0; i < n; ++i)
            if (block[i] == b) out[i].translate(shift);
    }

    // A pane larger than the area is squeezed to it (down to its squeezed size).
    for (qsizetype i = 0; i < n; ++i) {
        const QSize s = out[i].size().boundedTo(area.size()).expandedTo(panes[i].squeezed);
        out[i].setSize(s.boundedTo(out[i].size()));
    }

    QList<qsizetype> placed;
    auto others = [&](qsizetype except) {
        QList<QRect> r;
        for (qsizetype k : placed)
            if (k != except) r << out[k];
        return r;
    };
    auto isFreeOf = [&](const QRect& r, qsizetype except) {
        if (!area.contains(r)) return false;
        for (qsizetype k : placed)
            if (k != except && r.intersects(out[k])) return false;
        return true;
    };
    auto isFree = [&](const QRect& r) {
        if (!area.contains(r)) return false;
        for (qsizetype k : placed)
            if (r.intersects(out[k])) return false;
        return true;
    };
    // r, or the panes already placed, cut back to free r; least gives each
    // pane's least size. Commits and returns the place when it works.
    auto shrinkToFit = [&](qsizetype i, QRect r, auto least) -> std::optional<QRect> {
        for (qsizetype k : placed)
            if (auto c = CutAway(r, out[k], least(i))) r = *c;
            else break;
        if (isFree(r)) return r;
        r = MovedInto(out[i], area);
        QList<QRect> cut;
        for (qsizetype k : placed) {
            const auto c = CutAway(out[k], r, least(k));
            if (!c) return std::nullopt;
            cut << *c;
        }
        for (qsizetype m = 0; m < placed.size(); ++m) out[placed[m]] = cut[m];
        return r;
    };
    auto unsqueezed = [&](qsizetype k) {
        return panes[k].resizable ? panes[k].least : out[k].size();
    };
    auto squeezed = [&](qsizetype k) { return panes[k].squeezed.boundedTo(out[k].size()); };

    for (qsizetype i = 0; i < n; ++i) {
        const QRect inside = MovedInto(out[i], area);
        std::optional<QRect> r;
        if (isFree(inside)) r = inside;
        if (!r && !panes[i].placedByUser) r = shrinkToFit(i, inside, unsqueezed);
        if (!r && !panes[i].placedByUser) r = shrinkToFit(i, inside, squeezed);
        if (!r) r = NearestFree(out[i], others(i), area, true);
        if (!r && panes[i].placedByUser) r = shrinkToFit(i, inside, squeezed);
        if (!r) r = NearestFree(out[i], others(i), area, false);
        out[i] = r.value_or(inside);
        placed << i;
    }

    if (grownLeft) grownLeft->fill(0, n);
    for (qsizetype i = 0; i < n; ++i) {
        const PaneFit& p = panes[i];
        const int bar = p.scrollBar;
        if (p.resizable || bar <= 0 || out[i].height() >= p.rect.height() || out[i].width() != p.rect.width())
            continue;
        if (const QRect right = out[i].adjusted(0, 0, bar, 0); isFreeOf(right, i)) {
            out[i] = right;
        } else if (const QRect left = out[i].adjusted(-bar, 0, 0, 0); isFreeOf(left, i)) {
            out[i] = left;
            if (grownLeft) (*grownLeft)[i] = bar;
        }
    }
    return out;
}

QRect PlacePaneInView(const QRect& pane, const QList<QRect>& others, const QRect& area) {
    const QRect inside = MovedInto(pane, area);
    return NearestFree(pane, others, area, true).value_or(inside);
}

PaneFrame::PaneFrame(QWidget* mainWindow, TDockMngr* dockMngr, int slot, std::vector<int> glueOrder)
    : QFrame(mainWindow), dockMngr_(dockMngr), slot_(slot), glueOrder_(std::move(glueOrder)) {
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setLineWidth(1);
    setAutoFillBackground(true);

    titleBar_ = new QWidget(this);
    titleBar_->setAutoFillBackground(true);
    titleBar_->setBackgroundRole(QPalette::Highlight);
    titleBar_->setCursor(Qt::SizeAllCursor);
    auto* titleLayout = new QHBoxLayout(titleBar_);
    titleLayout->setContentsMargins(4, 1, 1, 1);
    titleLayout->setSpacing(2);
    title_ = new QLabel(titleBar_);
    title_->setForegroundRole(QPalette::HighlightedText);
    QFont f = title_->font();
    f.setBold(true);
    title_->setFont(f);
    closeButton_ = new QToolButton(titleBar_);
    closeButton_->setAutoRaise(true);
    closeButton_->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    closeButton_->setFixedSize(16, 16);
    closeButton_->setCursor(Qt::ArrowCursor);
    titleLayout->addWidget(title_, 1);
    titleLayout->addWidget(closeButton_);
    connect(closeButton_, &QToolButton::clicked, this, &QWidget::hide);
    titleBar_->installEventFilter(this);
    title_->installEventFilter(this);

    layout_ = new QVBoxLayout(this);
    layout_->setContentsMargins(1, 1, 1, 1);
    layout_->setSpacing(0);
    layout_->addWidget(titleBar_);
    layout_->addStretch(1);
}

void PaneFrame::SetContent(QWidget* content) {
    if (scroll_) {
        layout_->removeWidget(scroll_);
        scroll_->deleteLater();
        scroll_ = nullptr;
    } else if (QLayoutItem* stretch = layout_->takeAt(1)) {
        delete stretch;
    }
    content_ = content;
    if (content_) {
        scroll_ = new PaneScroll(this);
        scroll_->setWidget(content_);
        layout_->insertWidget(1, scroll_, 1);
        // The frame has been given its contents' size by now.
        natural_ = size();
    } else {
        layout_->insertStretch(1, 1);
    }
}

QSize PaneFrame::NaturalSize() const { return Resizable() || !natural_.isValid() ? size() : natural_; }

int PaneFrame::ScrollBarExtent() const { return style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this); }

bool PaneFrame::Squeezed() const { return scroll_ && scroll_->squeezed; }

void PaneFrame::SetSqueezed(bool squeezed) {
    if (!scroll_ || scroll_->squeezed == squeezed) return;
    if (squeezed) least_ = minimumSizeHint();
    scroll_->squeezed = squeezed;
    scroll_->updateGeometry();
    layout_->activate();
}

QSize PaneFrame::LeastSize() const { return Squeezed() ? least_ : minimumSizeHint(); }

QSize PaneFrame::SqueezedSize() const {
    if (!scroll_) return LeastSize();
    // The title bar, the borders and a few rows of the contents.
    const QMargins m = layout_->contentsMargins();
    const int around = 2 * frameWidth() + m.top() + m.bottom() + titleBar_->sizeHint().height() +
                       (grip_ ? grip_->height() : 0);
    return QSize(std::min(NaturalSize().width(), 2 * frameWidth() + m.left() + m.right() + kSqueezedContent),
                 around + kSqueezedContent);
}

void PaneFrame::SetResizable(bool resizable) {
    if (resizable == (grip_ != nullptr)) return;
    // A band along the edges stays free of content for resizing.
    const int margin = resizable ? kEdge : 1;
    layout_->setContentsMargins(margin, margin, margin, margin);
    setMouseTracking(resizable);
    if (!resizable) {
        delete grip_;
        grip_ = nullptr;
        unsetCursor();
        return;
    }
    // Our own grip: the toolkit's size grip resizes the top-level window.
    auto* grip = new QFrame(this);
    grip->setFrameStyle(QFrame::Panel | QFrame::Raised);
    grip_ = grip;
    grip_->setFixedSize(12, 12);
    grip_->setCursor(Qt::SizeFDiagCursor);
    grip_->installEventFilter(this);
    layout_->addWidget(grip_, 0, Qt::AlignRight | Qt::AlignBottom);
}

void PaneFrame::StoreBoundsRect() { DockRect.SetBounds(x(), y(), width(), height()); }

void PaneFrame::ApplyOwnGlue() {
    if (!dockMngr_) return;
    DockPlacement place{x(), y(), width(), height()};
    dockMngr_->ApplyGlue(slot_, place);
    move(place.left, place.top);
    StoreBoundsRect();
}

void PaneFrame::GlueAfterMove() {
    StoreBoundsRect();
    if (dockMngr_)
        for (int s : glueOrder_) dockMngr_->UpdateGlue(s);
    ApplyOwnGlue();
}

bool PaneFrame::eventFilter(QObject* watched, QEvent* event) {
    const bool onTitle = watched == titleBar_ || watched == title_;
    const bool onGrip = grip_ && watched == grip_;
    if (!onTitle && !onGrip) return QFrame::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() != Qt::LeftButton) break;
        raise();
        dragging_ = true;
        // Title: the grab point within the frame; grip: the pointer at press.
        dragOffset_ = onTitle ? mapFromGlobal(me->globalPosition().toPoint()) : me->globalPosition().toPoint();
        sizeAtPress_ = size();
        return true;
    }
    case QEvent::MouseMove: {
        auto* me = static_cast<QMouseEvent*>(event);
        if (!dragging_ || !parentWidget()) break;
        const QPoint global = me->globalPosition().toPoint();
        if (onTitle) {
            // The pane stays whole inside the work area while it is dragged.
            move(clampedToArea(QRect(parentWidget()->mapFromGlobal(global) - dragOffset_, size())).topLeft());
        } else {
            const QPoint d = global - dragOffset_;
            QSize s = QSize(sizeAtPress_.width() + d.x(), sizeAtPress_.height() + d.y()).expandedTo(minimumSizeHint());
            if (workArea_) {
                const QRect a = workArea_();
                s = s.boundedTo(QSize(std::max(1, a.right() + 1 - x()), std::max(1, a.bottom() + 1 - y())));
            }
            resize(s);
        }
        return true;
    }
    case QEvent::MouseButtonRelease: {
        auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() != Qt::LeftButton || !dragging_) break;
        // A press on the title or the grip ends in glue, moved or not.
        dragging_ = false;
        if (onGrip) {
            endResize();
            return true;
        }
        GlueAfterMove();
        emit paneMoved(slot_);
        return true;
    }
    default: break;
    }
    return QFrame::eventFilter(watched, event);
}

QRect PaneFrame::clampedToArea(QRect r) const { return workArea_ ? MovedInto(r, workArea_()) : r; }

Qt::Edges PaneFrame::edgesAt(const QPoint& pos) const {
    Qt::Edges edges;
    if (!Resizable()) return edges;
    if (pos.x() < kEdge) edges |= Qt::LeftEdge;
    if (pos.x() >= width() - kEdge) edges |= Qt::RightEdge;
    if (pos.y() < kEdge) edges |= Qt::TopEdge;
    if (pos.y() >= height() - kEdge) edges |= Qt::BottomEdge;
    return edges;
}

void PaneFrame::mousePressEvent(QMouseEvent* event) {
    const Qt::Edges edges = event->button() == Qt::LeftButton ? edgesAt(event->position().toPoint()) : Qt::Edges();
    if (!edges) {
        QFrame::mousePressEvent(event);
        return;
    }
    raise();
    resizing_ = edges;
    geometryAtPress_ = geometry();
    dragOffset_ = event->globalPosition().toPoint();
}

void PaneFrame::mouseMoveEvent(QMouseEvent* event) {
    if (!resizing_) {
        // The cursor tells which edges a press would move.
        const Qt::Edges e = edgesAt(event->position().toPoint());
        const bool diagonalDown = e == (Qt::LeftEdge | Qt::TopEdge) || e == (Qt::RightEdge | Qt::BottomEdge);
        const bool diagonalUp = e == (Qt::RightEdge | Qt::TopEdge) || e == (Qt::LeftEdge | Qt::BottomEdge);
        if (diagonalDown) setCursor(Qt::SizeFDiagCursor);
        else if (diagonalUp) setCursor(Qt::SizeBDiagCursor);
        else if (e & (Qt::LeftEdge | Qt::RightEdge)) setCursor(Qt::SizeHorCursor);
        else if (e & (Qt::TopEdge | Qt::BottomEdge)) setCursor(Qt::SizeVerCursor);
        else unsetCursor();
        QFrame::mouseMoveEvent(event);
        return;
    }
    const QPoint d = event->globalPosition().toPoint() - dragOffset_;
    const QSize minimum = minimumSizeHint().expandedTo(QSize(2 * kEdge + 16, 2 * kEdge + 16));
    QRect r = geometryAtPress_;
    const QRect area = workArea_ ? workArea_() : QRect(-100000, -100000, 200000, 200000);
    // The edge held moves; the opposite one stays. Both stay in the work area.
    if (resizing_ & Qt::LeftEdge)
        r.setLeft(std::clamp(r.left() + d.x(), std::min(area.left(), r.left()), r.right() + 1 - minimum.width()));
    if (resizing_ & Qt::RightEdge)
        r.setRight(std::clamp(r.right() + d.x(), r.left() + minimum.width() - 1, std::max(area.right(), r.right())));
    if (resizing_ & Qt::TopEdge)
        r.setTop(std::clamp(r.top() + d.y(), std::min(area.top(), r.top()), r.bottom() + 1 - minimum.height()));
    if (resizing_ & Qt::BottomEdge)
        r.setBottom(std::clamp(r.bottom() + d.y(), r.top() + minimum.height() - 1, std::max(area.bottom(), r.bottom())));
    setGeometry(r);
}

void PaneFrame::mouseReleaseEvent(QMouseEvent* event) {
    if (!resizing_ || event->button() != Qt::LeftButton) {
        QFrame::mouseReleaseEvent(event);
        return;
    }
    resizing_ = {};
    endResize();
}

void PaneFrame::endResize() {
    GlueAfterMove();
    emit paneResized(slot_);
    emit paneMoved(slot_);
}

void PaneFrame::showEvent(QShowEvent* event) {
    QFrame::showEvent(event);
    raise();
    StoreBoundsRect();
    if (dockMngr_) dockMngr_->RegisterWindow(slot_, &DockRect);
    emit paneShown(slot_);
}

void PaneFrame::setVisible(bool visible) {
    // Only the pane's own hiding counts: hiding or minimising the main window
    // leaves the pane shown, registered and its view action checked.
    const bool wasHidden = isHidden();
    QFrame::setVisible(visible);
    if (visible || wasHidden) return;
    dragging_ = false;
    resizing_ = {};
    if (dockMngr_) dockMngr_->UnregisterWindow(slot_);
    emit paneHidden(slot_);
}

void PaneFrame::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowTitleChange) title_->setText(windowTitle());
    QFrame::changeEvent(event);
}

}  // namespace velto
