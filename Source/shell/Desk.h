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

#include <memory>

#include "CanvasRender.h"
#include "DeskText.h"
#include "DocumentArea.h"
#include "model/Icon.h"
#include "model/Undo.h"

class QAction;
class QComboBox;
class QFrame;
class QListWidget;
class QMenu;
class QMouseEvent;
class QPainter;
class QScrollBar;

namespace velto {

class TfrmDesk;

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

private:
    TfrmDesk* desk_;
    QImage bitmap_;
};

// The frame of the floating selection over the canvas (ImgSel): drawn as a
// white line with a black dashed line on top, so it shows on any colour.
class TSelectionFrame : public QWidget {
    Q_OBJECT
public:
    explicit TSelectionFrame(QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

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
    void SetDragItems(bool on) { dragItems_ = on; }
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

    // ---- parts (named as the translation and the tools know them)
    QWidget* ScrollBox() const { return scrollBox_; }
    TCanvasImage* CanvasImage() const { return canvas_; }
    QScrollBar* HorizSB() const { return horzSB_; }
    QScrollBar* VertSB() const { return vertSB_; }
    TSelectionFrame* SelectionFrame() const { return imgSel_; }
    QComboBox* ImagesCombo() const { return cmbImages_; }
    QComboBox* ZoomCombo() const { return cmbZoom_; }
    QListWidget* SideBar() const { return thumbs_; }
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
    // A drag over the side bar, and its drop: true when the event was taken.
    bool SideBarDragEvent(QEvent* event);
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
    QListWidget* thumbs_ = nullptr;
    QMenu* pmImages_ = nullptr;
    QWidget* scrollBox_ = nullptr;
    TCanvasImage* canvas_ = nullptr;
    QScrollBar* horzSB_ = nullptr;
    QScrollBar* vertSB_ = nullptr;
    QFrame* bevel1_ = nullptr;
    TSelectionFrame* imgSel_ = nullptr;
};

}  // namespace velto
