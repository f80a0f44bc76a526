#include "shell/PaneFrame.h"

#include <QEvent>
#include <algorithm>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QShowEvent>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace velto {

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

}  // namespace

QRect PlacePaneInView(const QRect& pane, const QList<QRect>& others, const QRect& area) {
    const QRect inside = MovedInto(pane, area);
    auto free = [&](const QRect& r) {
        if (!area.contains(r)) return false;
        for (const QRect& o : others)
            if (r.intersects(o)) return false;
        return true;
    };
    if (free(inside)) return inside;
    // Beside another pane, at the pane's own height or width or aligned with
    // the other, and in the area's corners; the nearest free one wins.
    const int w = pane.width(), h = pane.height();
    QList<QPoint> candidates;
    for (const QRect& o : others) {
        for (int x : {o.left() - w, o.right() + 1})
            for (int y : {pane.top(), o.top(), o.bottom() + 1 - h}) candidates << QPoint(x, y);
        for (int y : {o.top() - h, o.bottom() + 1})
            for (int x : {pane.left(), o.left(), o.right() + 1 - w}) candidates << QPoint(x, y);
    }
    for (int x : {area.left(), area.right() + 1 - w})
        for (int y : {area.top(), area.bottom() + 1 - h}) candidates << QPoint(x, y);
    QRect best;
    long long bestDistance = -1;
    for (const QPoint& c : candidates) {
        const QRect r = MovedInto(QRect(c, pane.size()), area);
        if (!free(r)) continue;
        const long long dx = r.left() - pane.left(), dy = r.top() - pane.top();
        const long long d = dx * dx + dy * dy;
        if (bestDistance < 0 || d < bestDistance) {
            bestDistance = d;
            best = r;
        }
    }
    return bestDistance < 0 ? inside : best;
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
    if (content_) {
        layout_->removeWidget(content_);
        content_->deleteLater();
    } else if (QLayoutItem* stretch = layout_->takeAt(1)) {
        delete stretch;
    }
    content_ = content;
    if (content_) {
        content_->setParent(this);
        layout_->insertWidget(1, content_, 1);
    } else {
        layout_->insertStretch(1, 1);
    }
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
