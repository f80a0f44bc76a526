// The grid's input: presses, releases and moves on tiles and on empty space
// (the rubber band), the wheel, the keys, and dragging tiles out, onto each
// other, or in from elsewhere.
#include "ThumbnailGrid.h"

#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QToolTip>
#include <QUrl>
#include <QWheelEvent>

#include <set>

#include <unistd.h>

#include "FileNames.h"

namespace velto {

namespace {

// Live grids, so that a drag's MIME data names a grid only while it exists.
std::set<const TThumbail*>& LiveGrids() {
    static std::set<const TThumbail*> grids;
    return grids;
}

TThumbail::DragRunner& Runner() {
    static TThumbail::DragRunner runner = [](TThumbail& grid, QMimeData* data) {
        auto* drag = new QDrag(&grid);
        drag->setMimeData(data);
        const int first = grid.FirstSelected();
        if (first >= 0 && !grid.Item(first).Bitmap.isNull())
            drag->setPixmap(QPixmap::fromImage(grid.Item(first).Bitmap));
        drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::CopyAction);
    };
    return runner;
}

// Restores the recorded modifiers when an event handler ends.
struct ModifiersScope {
    Qt::KeyboardModifiers& slot;
    ModifiersScope(Qt::KeyboardModifiers& s, Qt::KeyboardModifiers now) : slot(s) { slot = now; }
    ~ModifiersScope() { slot = Qt::NoModifier; }
};

// Closed rectangles: touching edges overlap.
bool Touches(const QRect& a, const QRect& b) {
    return a.left() <= b.left() + b.width() && b.left() <= a.left() + a.width() && a.top() <= b.top() + b.height() &&
           b.top() <= a.top() + a.height();
}

}  // namespace

TThumbail::DragRunner TThumbail::SetDragRunner(DragRunner runner) {
    DragRunner old = Runner();
    Runner() = std::move(runner);
    return old;
}

// ---------------------------------------------------------------- presses

void TThumbail::mousePressEvent(QMouseEvent* event) {
    ModifiersScope keys(modifiers_, event->modifiers());
    const QPoint pos = event->position().toPoint();
    const int i = ItemAt(pos);
    if (i >= 0) PressOnItem(i, event->button(), event->modifiers());
    else PressOnEmpty(event);
    pressPoint_ = pos;
}

void TThumbail::PressOnItem(int i, Qt::MouseButton button, Qt::KeyboardModifiers mods) {
    if (busy_ || button == Qt::MiddleButton) return;
    pressedItem_ = i;
    if (selectionMode_ == 0) return;
    pressed_ = true;
    const bool ctrl = mods & Qt::ControlModifier;
    const bool shift = mods & Qt::ShiftModifier;
    if (selectionMode_ == 1) {
        ClearSelection();
        AddToSelection(i);
    } else {
        if (!ctrl && !Item(i).Selected) ClearSelection();
        if (shift) {
            const int from = std::clamp(anchor_, 0, Count() - 1);
            const int step = i >= from ? 1 : -1;
            for (int k = from;; k += step) {
                AddToSelection(k);
                if (k == i) break;
            }
        } else if (ctrl || !Item(i).Selected) {
            ToggleSelection(i);
        }
    }
    emit itemClicked();
    ShowSelectionStatus();
    setFocus(Qt::MouseFocusReason);
}

void TThumbail::PressOnEmpty(QMouseEvent* event) {
    pressedItem_ = -1;
    if (Count() == 0) return;
    const Qt::MouseButton button = event->button();
    if (busy_ || (button != Qt::LeftButton && button != Qt::RightButton)) return;
    pressed_ = true;
    QScrollBar* bar = verticalScrollBar();
    bandMaxScroll_ = bar->maximum();
    const Qt::KeyboardModifiers mods = event->modifiers();
    if (selectionMode_ == 1 && !alwaysSelected_) ClearSelection();
    if (selectionMode_ == 2) {
        if (!(mods & (Qt::ControlModifier | Qt::ShiftModifier)) && !alwaysSelected_) ClearSelection();
        bandStart_ = event->position().toPoint() + QPoint(0, bar->value());
        banding_ = button == Qt::LeftButton;
        band_ = QRect();
    }
    ShowSelectionStatus();
    setFocus(Qt::MouseFocusReason);
}

// ---------------------------------------------------------------- moves

void TThumbail::mouseMoveEvent(QMouseEvent* event) {
    ModifiersScope keys(modifiers_, event->modifiers());
    if (!(event->buttons() & Qt::LeftButton) || busy_ || selectionMode_ == 0 || !pressed_) return;
    const QPoint pos = event->position().toPoint();
    if (banding_) {
        MoveBand(pos, event->modifiers());
        return;
    }
    if (pressedItem_ < 0) return;
    // Within 5 pixels of the press on both axes nothing happens.
    if (std::abs(pos.x() - pressPoint_.x()) <= 5 && std::abs(pos.y() - pressPoint_.y()) <= 5) return;
    if (!canDrag_ || !Item(pressedItem_).Selected) return;
    pressed_ = false;
    pressedItem_ = -1;
    Runner()(*this, MakeDragData());
}

void TThumbail::MoveBand(QPoint pos, Qt::KeyboardModifiers mods) {
    QScrollBar* bar = verticalScrollBar();
    const int w = viewport()->width();
    const int h = viewport()->height();
    pos.setX(std::clamp(pos.x(), 0, std::max(0, w - 1)));
    // Beyond the top or bottom edge the grid scrolls by the distance, and the
    // band's start (held in content coordinates) moves with the content.
    if (pos.y() <= 0) {
        const int before = bar->value();
        bar->setValue(before + pos.y());
        if (bar->value() == before) pos.setY(0);
    } else if (pos.y() >= h - 1) {
        const int before = bar->value();
        bar->setValue(std::min(bandMaxScroll_, before + pos.y() - (h - 1)));
        if (bar->value() == before || bar->value() >= bandMaxScroll_) pos.setY(h - 1);
    }
    const int scroll = bar->value();
    const QRect bandContent = QRect(bandStart_, pos + QPoint(0, scroll)).normalized();
    band_ = bandContent.translated(0, -scroll);
    const bool ctrl = mods & Qt::ControlModifier;
    for (int i = 0; i < Count(); ++i) {
        TThumbnailItem& item = Item(i);
        const bool listed = IsSelected(i);
        bool on = item.Selected;
        if (Touches(item.Rect(), bandContent)) on = !(ctrl && listed);
        else if (!listed) on = false;
        else if (ctrl) on = true;
        SetFlag(i, on);
    }
    viewport()->update();
    ShowSelectionStatus();
}

// ---------------------------------------------------------------- releases

void TThumbail::mouseReleaseEvent(QMouseEvent* event) {
    ModifiersScope keys(modifiers_, event->modifiers());
    const QPoint pos = event->position().toPoint();
    const int i = ItemAt(pos);
    const Qt::MouseButton button = event->button();
    if (i >= 0 && !banding_) {
        if (!pressed_ || busy_ || selectionMode_ == 0) return;
        pressed_ = false;
        pressedItem_ = -1;
        if (button == Qt::MiddleButton) return;
        const bool plain = !(event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier));
        if (selectionMode_ == 2 && button == Qt::LeftButton && plain &&
            (selection_.size() != 1 || selection_.front() != i)) {
            ClearSelection();
            ToggleSelection(i);
            emit itemClicked();
            ShowSelectionStatus();
        }
        if (button == Qt::RightButton && popup_) popup_->popup(event->globalPosition().toPoint());
        return;
    }
    EndBand(event);
}

void TThumbail::EndBand(QMouseEvent* event) {
    emit clicked();
    const Qt::MouseButton button = event->button();
    if (button == Qt::RightButton && popup_) popup_->popup(event->globalPosition().toPoint());
    if (!pressed_) return;
    pressed_ = false;
    const bool wasBanding = banding_;
    banding_ = false;
    band_ = QRect();
    viewport()->update();
    if (selectionMode_ == 2 && (button == Qt::LeftButton || button == Qt::RightButton) && !busy_) {
        if (wasBanding) RebuildSelection();
        emit itemClicked();
        ShowSelectionStatus();
    }
}

void TThumbail::mouseDoubleClickEvent(QMouseEvent* event) {
    if (ItemAt(event->position().toPoint()) >= 0) {
        if (!busy_) emit itemDblClicked();
        return;
    }
    QAbstractScrollArea::mouseDoubleClickEvent(event);
}

void TThumbail::wheelEvent(QWheelEvent* event) {
    // The wheel rests while the band is drawn; a notch is one line of 50 pixels.
    if (banding_) return;
    wheelAngle_ += event->angleDelta().y();
    const int notches = wheelAngle_ / 120;
    wheelAngle_ -= notches * 120;
    QScrollBar* bar = verticalScrollBar();
    bar->setValue(bar->value() - notches * bar->singleStep());
    event->accept();
}

bool TThumbail::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int i = ItemAt(help->pos());
        if (i >= 0) QToolTip::showText(help->globalPos(), Item(i).Caption, viewport(), ItemRect(i));
        else QToolTip::hideText();
        return true;
    }
    if (event->type() == QEvent::Resize) {
        // The scroll bar comes and goes as the tiles need it (after a fill,
        // in a later turn of the event loop): owners that make room for it hear so.
        const bool bar = verticalScrollBar()->isVisibleTo(this);
        if (bar != barShown_) {
            barShown_ = bar;
            emit scrollBarShown(bar);
        }
    }
    return QAbstractScrollArea::viewportEvent(event);
}

// ---------------------------------------------------------------- keys

void TThumbail::keyPressEvent(QKeyEvent* event) {
    ModifiersScope keys(modifiers_, event->modifiers());
    // Escape stops a fill; with none running it is the window's (a dialog closes).
    if (event->key() == Qt::Key_Escape && busy_) {
        Stop();
        event->accept();
        return;
    }
    if (busy_ || Count() == 0 || selectionMode_ == 0) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    const TTileLayout l = Layout();
    const int current = focus_ >= 0 && focus_ < Count() ? focus_ : std::max(0, FirstSelected());
    const int perPage = std::max(1, viewport()->height() / l.RowHeight()) * l.Cols;
    int target = -1;
    switch (event->key()) {
    case Qt::Key_Left: target = current - 1; break;
    case Qt::Key_Right: target = current + 1; break;
    case Qt::Key_Up: target = current - l.Cols; break;
    case Qt::Key_Down: target = current + l.Cols; break;
    case Qt::Key_Home: target = 0; break;
    case Qt::Key_End: target = Count() - 1; break;
    case Qt::Key_PageUp: target = std::max(0, current - perPage); break;
    case Qt::Key_PageDown: target = std::min(Count() - 1, current + perPage); break;
    case Qt::Key_Space:
        if (event->modifiers() & Qt::ControlModifier) {
            if (selectionMode_ == 2) {
                ToggleSelection(current);
            } else {
                SelectItem(current);
            }
            emit itemClicked();
            ShowSelectionStatus();
            return;
        }
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!selection_.empty()) emit itemDblClicked();
        return;
    case Qt::Key_A:
        if ((event->modifiers() & Qt::ControlModifier) && selectionMode_ == 2) {
            for (int i = 0; i < Count(); ++i) AddToSelection(i);
            emit itemClicked();
            ShowSelectionStatus();
            return;
        }
        break;
    default: break;
    }
    if (target < 0 || target >= Count()) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    KeyMove(target, event->modifiers());
}

void TThumbail::KeyMove(int target, Qt::KeyboardModifiers mods) {
    const int old = focus_;
    focus_ = target;
    ScrollToItem(target);
    UpdateItem(old);
    UpdateItem(target);
    if (mods & Qt::ControlModifier) return;  // the focus moves alone
    if ((mods & Qt::ShiftModifier) && selectionMode_ == 2) {
        ClearSelection();
        const int from = std::clamp(anchor_, 0, Count() - 1);
        const int step = target >= from ? 1 : -1;
        for (int k = from;; k += step) {
            AddToSelection(k);
            if (k == target) break;
        }
    } else {
        ClearSelection();
        AddToSelection(target);
    }
    emit itemClicked();
    ShowSelectionStatus();
}

// ---------------------------------------------------------------- drag and drop

QMimeData* TThumbail::MakeDragData() const {
    auto* data = new QMimeData;
    QByteArray payload = QByteArray::number(static_cast<qlonglong>(::getpid())) + ' ' +
                         QByteArray::number(reinterpret_cast<quintptr>(this), 16);
    QList<QUrl> urls;
    for (int i : selection_) {
        payload += ' ' + QByteArray::number(i);
        if (!Item(i).FileName.isEmpty()) urls.push_back(FileNameUrl(Item(i).FileName));
    }
    data->setData(QString::fromLatin1(kThumbnailMime), payload);
    if (!urls.isEmpty()) data->setUrls(urls);
    return data;
}

TThumbail* TThumbail::DragSource(const QDropEvent* event) {
    if (auto* grid = qobject_cast<TThumbail*>(event->source())) return grid;
    const QMimeData* data = event->mimeData();
    if (!data || !data->hasFormat(QString::fromLatin1(kThumbnailMime))) return nullptr;
    const QList<QByteArray> parts = data->data(QString::fromLatin1(kThumbnailMime)).split(' ');
    if (parts.size() < 2 || parts[0].toLongLong() != static_cast<qlonglong>(::getpid())) return nullptr;
    bool ok = false;
    const auto address = static_cast<quintptr>(parts[1].toULongLong(&ok, 16));
    for (const TThumbail* grid : LiveGrids())
        if (ok && reinterpret_cast<quintptr>(grid) == address) return const_cast<TThumbail*>(grid);
    return nullptr;
}

// A drag of this grid's own tiles: reordering when DragItems is on. True
// when the event was this grid's to handle.
bool TThumbail::HandleOwnDrag(QDropEvent* event, bool drop) {
    if (DragSource(event) != this) return false;
    const int tile = ItemAt(event->position().toPoint());
    if (!dragItems_ || tile < 0 || busy_) {
        ShowDropBar(-1);
        event->ignore();
        return true;
    }
    if (!drop) {
        ShowDropBar(tile);
        event->setDropAction(Qt::MoveAction);
        event->accept();
        return true;
    }
    ShowDropBar(-1);
    // The grid moves nothing: its owner reorders its source and refills it.
    event->setDropAction(Qt::IgnoreAction);
    event->accept();
    if (!selection_.empty()) emit itemMoved(selection_.front(), tile);
    return true;
}

void TThumbail::ShowDropBar(int tile) {
    if (dropBar_ == tile) return;
    dropBar_ = tile;
    viewport()->update();
}

void TThumbail::dragEnterEvent(QDragEnterEvent* event) {
    if (HandleOwnDrag(event, false)) return;
    if (externalDrop_) externalDrop_(event, ItemAt(event->position().toPoint()));
    else event->ignore();
}

void TThumbail::dragMoveEvent(QDragMoveEvent* event) {
    if (HandleOwnDrag(event, false)) return;
    if (externalDrop_) externalDrop_(event, ItemAt(event->position().toPoint()));
    else event->ignore();
}

void TThumbail::dragLeaveEvent(QDragLeaveEvent* event) {
    ShowDropBar(-1);
    QAbstractScrollArea::dragLeaveEvent(event);
}

void TThumbail::dropEvent(QDropEvent* event) {
    if (HandleOwnDrag(event, true)) return;
    ShowDropBar(-1);
    if (externalDrop_) externalDrop_(event, ItemAt(event->position().toPoint()));
    else event->ignore();
}

void TThumbail::hideEvent(QHideEvent* event) {
    // A closed window's grid does no more work (a minimised one goes on).
    if (!event->spontaneous()) Stop();
    QAbstractScrollArea::hideEvent(event);
}

void RegisterGrid(const TThumbail* grid, bool live) {
    if (live) LiveGrids().insert(grid);
    else LiveGrids().erase(grid);
}

}  // namespace velto
