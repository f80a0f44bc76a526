#pragma once
// The frame of a floating pane (tool palette, colour panel, preview pane,
// explorer): a child of the main window raised over the document area, with a
// small title bar that drags it and a close button that hides it. When a drag
// ends the frame stores its rectangle, has the docking manager recompute the
// glue of the panes in its own order, moves to its glued place and stores its
// rectangle again.
#include <QFrame>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <functional>
#include <vector>

#include "shell/DockMngr.h"

class QLabel;
class QToolButton;
class QVBoxLayout;

namespace velto {

// Where a pane of rectangle pane goes so that it lies whole inside area and on
// none of others: where it is when it can; else the nearest such place beside
// another pane or against the area's edges; when there is none, where it is
// moved just inside the area (its top-left corner inside when it is larger).
QRect PlacePaneInView(const QRect& pane, const QList<QRect>& others, const QRect& area);

// A pane as the layout fits it: its rectangle, the least size it keeps while
// the others are fitted around it (a pane the user sizes may shrink to it, a
// pane of fixed contents keeps its size), the size it may be squeezed to when
// the area cannot hold it whole (its contents then scroll), and whether the
// user has just put it where it is.
struct PaneFit {
    QRect rect;
    QSize least;
    QSize squeezed;
    bool resizable = false;
    bool placedByUser = false;
    // The width a vertical scroll bar takes beside the contents.
    int scrollBar = 0;
};

// Places the panes in order so that none lies on another and each lies whole
// inside area. Panes touching each other move into the area as one block, so a
// column glued to an edge stays a column; then each pane in turn stays where
// it is when that is free, else the panes the user sizes shrink to make room,
// else the pane or the ones it would cover are squeezed, else it goes to the
// nearest free place beside another pane, else it keeps its top-left corner in
// the area and runs past its right or bottom edge. Only when none of these is
// free does it stay on another. Last, a pane of fixed contents cut in height
// only grows by its scroll bar, to the right or else to the left where that is
// free, so that the bar does not hide their right edge; grownLeft, when given,
// receives per pane the width it grew by to the left.
QList<QRect> FitPanes(const QList<PaneFit>& panes, const QRect& area, QList<int>* grownLeft = nullptr);

class PaneFrame : public QFrame {
    Q_OBJECT
public:
    // slot: the pane's docking slot (2..5); glueOrder: the slots whose glue
    // is recomputed after a drag, own slot first (tools 4, 3, 2, 5).
    // The docking manager refers to DockRect while the pane is shown: a pane
    // deleted before the manager is unregistered first (hide it).
    PaneFrame(QWidget* mainWindow, TDockMngr* dockMngr, int slot, std::vector<int> glueOrder);

    void setVisible(bool visible) override;

    int Slot() const { return slot_; }
    TDockMngr* DockManager() const { return dockMngr_; }

    // The pane's content goes below the title bar; the frame takes ownership.
    void SetContent(QWidget* content);
    QWidget* Content() const { return content_; }
    // The size the pane takes when there is room: a pane the user sizes, its
    // own; a pane of fixed contents, theirs.
    QSize NaturalSize() const;
    // The least size with the contents whole, and the least when squeezed.
    QSize LeastSize() const;
    QSize SqueezedSize() const;
    // Lets the pane be smaller than its contents, which then scroll.
    void SetSqueezed(bool squeezed);
    bool Squeezed() const;
    // The width of the scroll bar that squeezed contents show.
    int ScrollBarExtent() const;
    // How far the pane has grown to the left for that bar: its own place
    // starts this much further right (the place kept and saved).
    int GrownLeft() const { return grownLeft_; }
    void SetGrownLeft(int width) { grownLeft_ = width; }
    // The title bar shows the window title (which translation sets).
    QLabel* TitleLabel() const { return title_; }
    QToolButton* CloseButton() const { return closeButton_; }
    // A pane the user sizes (preview, explorer): its edges and a grip in the
    // bottom-right corner resize it; the end of a resize glues like the end
    // of a drag.
    void SetResizable(bool resizable);
    bool Resizable() const { return grip_ != nullptr; }
    QWidget* SizeGrip() const { return grip_; }
    // Drags and resizes stay inside this rectangle (parent coordinates);
    // unset, they are free.
    void SetWorkArea(std::function<QRect()> area) { workArea_ = std::move(area); }

    // DockRect := (left, top, left + width, top + height).
    void StoreBoundsRect();
    DockRecord DockRect;

    // What the end of a title-bar drag does: store the rectangle, recompute
    // the glue in the pane's order, apply the own slot's glue, store again.
    void GlueAfterMove();
    // Moves the frame to the place its glue gives and stores the rectangle.
    void ApplyOwnGlue();

signals:
    // Shown: the frame has registered its record; the main window refreshes
    // the glue of every pane (UpdateDockGlue).
    void paneShown(int slot);
    // Hidden itself (close button or hide(); not when its window is
    // minimised or hidden): the record is unregistered; the main window
    // unchecks the pane's view action.
    void paneHidden(int slot);
    // A title-bar drag or a resize ended and the glue was applied.
    void paneMoved(int slot);
    // The user changed the pane's size (edges or grip).
    void paneResized(int slot);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // Edges under a point of the frame (Qt::Edges), none when not resizable.
    Qt::Edges edgesAt(const QPoint& pos) const;
    QRect clampedToArea(QRect r) const;
    void endResize();

    TDockMngr* dockMngr_;
    int slot_;
    std::vector<int> glueOrder_;
    QWidget* titleBar_ = nullptr;
    QLabel* title_ = nullptr;
    QToolButton* closeButton_ = nullptr;
    QVBoxLayout* layout_ = nullptr;
    QWidget* content_ = nullptr;
    class PaneScroll* scroll_ = nullptr;
    QSize natural_;
    int grownLeft_ = 0;
    QSize least_;  // the least size with the contents whole, while squeezed
    QWidget* grip_ = nullptr;
    bool dragging_ = false;
    QPoint dragOffset_;
    QSize sizeAtPress_;
    Qt::Edges resizing_;
    QRect geometryAtPress_;
    std::function<QRect()> workArea_;
};

}  // namespace velto
