#include "shell/PaneFrame.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QShowEvent>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace velto {

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
    if (!resizable) {
        delete grip_;
        grip_ = nullptr;
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
            move(parentWidget()->mapFromGlobal(global) - dragOffset_);
        } else {
            const QPoint d = global - dragOffset_;
            resize(QSize(sizeAtPress_.width() + d.x(), sizeAtPress_.height() + d.y())
                       .expandedTo(minimumSizeHint()));
        }
        return true;
    }
    case QEvent::MouseButtonRelease: {
        auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() != Qt::LeftButton || !dragging_) break;
        // A press on the title or the grip ends in glue, moved or not.
        dragging_ = false;
        GlueAfterMove();
        emit paneMoved(slot_);
        return true;
    }
    default: break;
    }
    return QFrame::eventFilter(watched, event);
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
    if (dockMngr_) dockMngr_->UnregisterWindow(slot_);
    emit paneHidden(slot_);
}

void PaneFrame::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowTitleChange) title_->setText(windowTitle());
    QFrame::changeEvent(event);
}

}  // namespace velto
