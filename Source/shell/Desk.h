#pragma once
// The document window: one open document (an icon or static cursor, or an
// animated cursor), its undo history and its modified flag, shown on a
// zoomable canvas over the transparency checkerboard with an optional grid, a
// side bar with every image of the document, an image list, a zoom list and
// its own tool bar.
//
// What the rest of the program uses of the active document window
// (frmMain()->ActiveDesk(), and the main window's activeDeskChanged signal):
//   Document(), HasImages(), CurrentImage()  the document and its current image
//                                            (the palette is CurrentImage()->Palette)
//   Saved(), SetSaved(false)                 the modified flag: clear it after a change
//   UndoStore()                              the undo history: Store() before a change
//   Zoom(), SetZoom(z)                       screen pixels per image pixel
//   StrokeStartImage(), SetStrokeStartImage  the image as it was when the running
//                                            stroke began (null when none runs)
//   ImageChanged()                           after any change of the current image:
//                                            redraws the canvas and its thumbnail
//   PaintPixel(x, y, blend, pixel)           one image pixel repainted during a stroke
//   RepaintImageRect(rect)                   a changed rectangle of image pixels
//   UpdateImageList(rebuild)                 after images were added, deleted or moved
//   SetCurrentImage(i)                       switches the current image (clears undo)
//   ImageToCanvas, CanvasGeometry            image and canvas coordinates
//   ShowToolStatus, ShowSelectionStatus      the read-outs of the status bar
// and the signals currentImageChanged (the preview pane and the colour panel
// follow the new image) and imageChanged (the colour panel adapts to its depth).
// Mouse input on the canvas goes to the TCanvasInput the tools install; the
// window keeps the state of the stroke running on it (Stroke()).
#include <QImage>
#include <QPointer>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>

#include "CanvasRender.h"
#include "DeskText.h"
#include "DocumentArea.h"
#include "model/Icon.h"
#include "model/Undo.h"

class QAction;
class QComboBox;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QMimeData;
class QFrame;
class QMenu;
class QMouseEvent;
class QPainter;
class QScrollBar;

namespace velto {

class TfrmDesk;
class TThumbail;

// Where mouse input on a canvas goes (the tool dispatcher plugs in here).
// Positions are canvas coordinates (pixels of the canvas bitmap).
class TCanvasInput {
public:
    virtual ~TCanvasInput() = default;
    virtual void MousePress(TfrmDesk& desk, QMouseEvent& event) = 0;
    virtual void MouseMove(TfrmDesk& desk, QMouseEvent& event) = 0;
    virtual void MouseRelease(TfrmDesk& desk, QMouseEvent& event) = 0;
    // The pointer left the canvas.
    virtual void MouseLeave(TfrmDesk& /*desk*/) {}
    // Draws what floats over the canvas bitmap (rubber band, brush outline)
    // with painter on the canvas widget.
    virtual void PaintOverlay(TfrmDesk& /*desk*/, QPainter& /*painter*/) {}
};

// The stroke on a document window's canvas, from the press to the release
// (or Escape, or a move without buttons after a release elsewhere).
struct TStrokeInput {
    bool ButtonHeld = false;
    int LastButton = 2;  // 0 left, 1 right, 2 none
    bool StrokeCancelled = false;
    bool ShiftHeld = false;
    QPoint LastMousePos;  // virtual canvas coordinates (scroll positions added)
};
// One for all document windows; null (the default) ignores the mouse.
void SetCanvasInput(TCanvasInput* input);
TCanvasInput* CanvasInput();

// The hourglass over the whole program around long work. Not nested: the
// first BusyCursorOff ends it, however many BusyCursorOn ran.
void BusyCursorOn();
void BusyCursorOff();

// The canvas bitmap of a document window (Image1): only as large as the
// visible part of the zoomed image.
class TCanvasImage : public QWidget {
    Q_OBJECT
public:
    explicit TCanvasImage(TfrmDesk* desk, QWidget* parent);
    QImage& Bitmap() { return bitmap_; }
    const QImage& Bitmap() const { return bitmap_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    // Drops: a side-bar tile or a selection frame (TfrmDesk::CanvasDragEvent).
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    TfrmDesk* desk_;
    QImage bitmap_;
};

// The frame of the floating selection over the canvas (ImgSel): drawn as a
// white line with a black dashed line on top, so it shows on any colour. The
// canvas shows the selection's pixels under it; the frame takes the mouse to
// move the selection, and passes drops on to the canvas.
class TSelectionFrame : public QWidget {
    Q_OBJECT
public:
    TSelectionFrame(TfrmDesk* desk, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    TfrmDesk* desk_;
};

// One of the eight round handles that resize the floating selection
// (rpTopLeft, rpTop, rpTopRight, rpRight, rpBottomRight, rpBottom,
// rpBottomLeft, rpLeft).
class TSelectionHandle : public QWidget {
    Q_OBJECT
public:
    static constexpr int kSize = 9;
    TSelectionHandle(TfrmDesk* desk, const char* name, Qt::CursorShape cursor, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    TfrmDesk* desk_;
};

// Runs the drag of a selection frame (data is handed over). The default runs
// a real drag; tests put their own in.
using SelectionDragRunner = std::function<void(TfrmDesk& source, QMimeData* data)>;
void SetSelectionDragRunner(SelectionDragRunner runner);

class TfrmDesk : public TDeskWindow {
    Q_OBJECT
public:
    // Width of the side bar, without its scroll bar.
    static constexpr int kSideBarWidth = 78;

    explicit TfrmDesk(QWidget* parent = nullptr);
    ~TfrmDesk() override;

    // ---- the document
    TmyIcon* Document() const { return document_.get(); }
    // Replaces the document (the window starts with an empty icon); undo is cleared.
    void SetDocument(std::unique_ptr<TmyIcon> document);
    bool HasImages() const { return document_ && document_->Count() > 0; }
    // Null when the document holds no image.
    TmyImagePal* CurrentImage() const;
    tmyUndo& UndoStore() { return undo_; }
    TmyImagePal* StrokeStartImage() const { return strokeStart_.get(); }
    void SetStrokeStartImage(std::unique_ptr<TmyImagePal> image) { strokeStart_ = std::move(image); }
    TStrokeInput& Stroke() { return stroke_; }

    // ---- TDeskWindow
    int ImageCount() const override { return document_ ? document_->Count() : 0; }
    int ItemIndex() const override { return document_ ? document_->ItemIndex() : 0; }
    bool IsAnimated() const override;
    int CurrentBitCount() const override;
    bool SelectionFrameVisible() const override;
    bool CanUndo() const override { return undo_.CanUndo(); }
    bool CanRedo() const override { return undo_.CanRedo(); }
    void SetLocalToolbarVisible(bool visible) override { SetToolbarVisible(visible); }
    void SetSidebarVisible(bool visible) override;
    void SetGridVisible(bool visible) override;
    void RefreshDocument(bool redrawAll) override;
    void LanguageChanged() override;
    // The close question ("Save changes to ... ?"); Yes saves, and the window
    // closes only when it is saved afterwards.
    bool CloseQuery() override;
    void Activated() override;

    // ---- images, zoom and the lists
    // The image list and the side bar follow the document; rebuild refills
    // the side bar, otherwise only the current image's tile is refreshed.
    void UpdateImageList(bool rebuild);
    // Makes image index current, as choosing it in the image list does.
    void SetCurrentImage(int index);
    int Zoom() const { return zoom_; }
    // As choosing zoom (1..100) in the zoom list.
    void SetZoom(int zoom);
    void ApplyAutoZoom();
    void UpdateZoomActions();
    bool GridVisible() const { return gridVisible_; }
    bool SidebarVisible() const;
    void SetToolbarVisible(bool visible);
    // Side-bar tiles may be dragged to reorder the images (animated cursors).
    void SetDragItems(bool on);
    bool DragItems() const { return dragItems_; }
    // A side-bar tile dropped on another: image source goes right after
    // target (-1: to the front), or (copy) a copy of it is added there. In an icon a copy of a
    // format the icon has already is refused ("msgNotUnique"). False when
    // nothing changed.
    bool MoveImage(int source, int target, bool copy);
    // After the images were reordered: lists, canvas and panes follow.
    void ImagesReordered();
    // A tile of another window's side bar dropped here: a copy of image at its
    // sorted place ("msgNotUnique" when its format is taken).
    bool InsertDroppedImage(const TmyImagePal& image);

    // ---- canvas layout and painting
    void LayoutCanvas();
    void SizeCanvas();
    void RedrawCanvas();
    // Repaints rect (canvas coordinates) from the current image.
    void PaintRect(QRect rect);
    // Repaints the canvas part showing rect (image pixels).
    void RepaintImageRect(QRect imageRect);
    void DrawGrid();
    // Repaints image pixel (x, y) showing pixel: blended over the checkerboard
    // (images of 32 bits), or its own colour when it is not transparent.
    void PaintPixel(int x, int y, bool blend, const TmyPixel& pixel);
    // Redraw, thumbnail and zoom list after the current image changed.
    void ImageChanged();
    void UpdateCurrentThumbnail();
    TCanvasGeometry CanvasGeometry() const;
    // Image pixel to canvas coordinates (top-left of the zoomed pixel).
    void ImageToCanvas(int& x, int& y) const;
    int HorzOffset() const { return CanvasGeometry().HorzOffset(); }
    int VertOffset() const { return CanvasGeometry().VertOffset(); }

    // ---- status bar
    void ShowToolStatus(int x0, int y0, int x, int y, int button, int tool);
    void ShowSelectionStatus();

    // ---- the floating selection's frame and the drops on the canvas (Desk_Selection.cpp)
    // Frame and handles shown when the floating selection is not empty.
    void ShowSelectionFrame();
    // Frame and handles hidden, the frame of no size; true when it showed.
    // The caller redraws the canvas when the selection's pixels must go.
    bool HideSelectionFrame();
    // The handles around the frame.
    void PlaceSelectionFrame();
    // When the frame shows: handles, canvas and preview follow the selection.
    void RefreshSelection();
    void RefreshSelectionView();
    // The floating selection resampled to width x height image pixels.
    void ResizeSelection(int width, int height);
    // The frame's top-left on image pixel (x, y), and the image pixel under it.
    void PlaceSelectionFrameAt(int x, int y);
    QPoint SelectionFramePixel() const;
    // The frame covers width x height image pixels at the zoom.
    void SizeSelectionFrame(int width, int height);
    // The floating selection of this window pasted into copy at the frame's
    // place; false (copy unchanged) when the frame does not show.
    bool PasteSelectionInto(TmyImagePal& copy) const;
    // The frame moved by (dx, dy) screen pixels as a drag would move it.
    void NudgeSelection(int dx, int dy);
    QWidget* SelectionHandle(int index) const { return handles_[static_cast<std::size_t>(index)]; }
    bool MovingSelection() const { return movingSelection_; }
    bool ResizingSelection() const { return resizingSelection_; }
    // Mouse input of the frame and of the handles (screen positions).
    void ImgSelMouseDown(Qt::MouseButton button, Qt::MouseButtons buttons, QPoint screen);
    void ImgSelMouseMove(QPoint screen);
    void ImgSelMouseUp(Qt::MouseButton button);
    void HandleMouseDown(QWidget* handle, QPoint screen);
    void HandleMouseMove(QWidget* handle, QPoint screen);
    void HandleMouseUp();
    // A drag over the canvas or its drop (pos in canvas coordinates).
    void CanvasDragEvent(QDropEvent* event, QPoint pos);

    // ---- parts (named as the translation and the tools know them)
    QWidget* ScrollBox() const { return scrollBox_; }
    TCanvasImage* CanvasImage() const { return canvas_; }
    QScrollBar* HorizSB() const { return horzSB_; }
    QScrollBar* VertSB() const { return vertSB_; }
    TSelectionFrame* SelectionFrame() const { return imgSel_; }
    QComboBox* ImagesCombo() const { return cmbImages_; }
    QComboBox* ZoomCombo() const { return cmbZoom_; }
    TThumbail* SideBar() const { return thumbs_; }
    QWidget* SideBarPanel() const { return pnlSideBar_; }
    // The window's own tool bar (ActionToolBar2), inside CoolBar1.
    QWidget* LocalToolBar() const { return toolBar_; }
    QMenu* ImagesMenu() const { return pmImages_; }
    QAction* LocalAction(const char* name) const;

signals:
    // The current image is another one (the preview and colour panel follow).
    void currentImageChanged(TfrmDesk* desk);
    // The current image was changed and redrawn.
    void imageChanged(TfrmDesk* desk);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TCanvasImage;
    void createToolBar();
    void createSideBar();
    void createScrollBox();
    QAction* addLocalAction(const char* name, const QString& hint, bool checkable = false);
    void cmbImagesChange();
    void cmbZoomChange();
    // The preview pane and the colour panel show the current image.
    void ShowImageInPanes();
    void RebuildSideBar();
    void ThumbsChange();
    // A drag of another grid's tiles over the side bar, and its drop.
    void SideBarDragEvent(QDropEvent* event);
    void PlaceScrollBars();
    void UpdateScrollBars();
    void ScrollChanged(bool horizontal, int position);
    void ScrollBoxResized();
    int ScrollBarExtent() const;
    int VisibleVertBarWidth() const;
    int VisibleHorzBarHeight() const;

    std::unique_ptr<TmyIcon> document_;
    tmyUndo undo_;
    std::unique_ptr<TmyImagePal> strokeStart_;
    TStrokeInput stroke_;
    int zoom_ = kDefaultZoom;
    bool gridVisible_ = false;
    bool dragItems_ = false;
    bool scrollReady_ = true;
    bool horzVisible_ = false;
    bool vertVisible_ = false;
    int lastHorzPos_ = 0;
    int lastVertPos_ = 0;
    bool rebuildingList_ = false;

    QWidget* coolBar_ = nullptr;
    QWidget* toolBar_ = nullptr;
    QComboBox* cmbImages_ = nullptr;
    QComboBox* cmbZoom_ = nullptr;
    QWidget* pnlSideBar_ = nullptr;
    TThumbail* thumbs_ = nullptr;
    QMenu* pmImages_ = nullptr;
    QWidget* scrollBox_ = nullptr;
    TCanvasImage* canvas_ = nullptr;
    QScrollBar* horzSB_ = nullptr;
    QScrollBar* vertSB_ = nullptr;
    QFrame* bevel1_ = nullptr;
    TSelectionFrame* imgSel_ = nullptr;
    std::array<QWidget*, 8> handles_{};
    // Frame drag and resize (screen pixels).
    int selOriginX_ = 0;
    int selOriginY_ = 0;
    int selWidthAcc_ = 0;
    int selHeightAcc_ = 0;
    bool movingSelection_ = false;
    bool resizingSelection_ = false;
    QPoint lastCursorPos_;
    void MoveSelectionFrame(QPoint screen, QPoint step, bool nudge);
    void StartSelectionDrag();
};

}  // namespace velto
