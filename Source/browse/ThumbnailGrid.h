#pragma once
// TThumbail: the program's browsing control, a scrolling grid of picture
// tiles. It is ONE painted scroll area: a tile (TThumbnailItem) is a plain
// record the grid places, paints and hit-tests itself, so folders of
// thousands of files stay light.
//
// Using it:
//   auto* grid = new TThumbail(parent);
//   grid->SetThumbnailSize(65); grid->SetShowCaption(true);
//   grid->SetSelectionMode(1);                      // 0 none, 1 single, 2 multiple
//   connect(grid, &TThumbail::itemClicked, ...);    // selection changed by the user
//   grid->LoadIconImages(doc, false);               // or another filler (below)
//   int first = grid->FirstSelected();              // -1 when none
//
// Selection: a list of indices in the order they were selected plus a flag
// on every tile; a press keeps both in step, a rubber band changes only the
// flags and rebuilds the list when it ends. Click selects; Ctrl toggles;
// Shift adds the run from the anchor (the last tile selected without Shift).
// Keys: arrows, Home, End, Page Up/Down move the selection (Shift extends it
// from the anchor, Ctrl moves without selecting and Ctrl+Space toggles), Ctrl+A
// selects all (multiple mode), Enter is a double-click on the first selected
// tile, Escape stops a running filler.
//
// Dragging: a press on a selected tile followed by a move of more than 5
// pixels starts a drag (CanDrag) carrying kThumbnailMime (the source grid and
// the selected indices) and, for tiles that stand for files, the files' URLs.
// Dropped on a tile of the same grid with DragItems on, the grid emits
// itemMoved(first selected, target) and moves nothing itself. Every other
// drag over the grid goes to the owner's SetExternalDrop handler.
//
// Fillers (ThumbnailFillers.cpp) replace or extend the tiles from one source.
// While one runs the grid is Busy: other fillers refuse to start and the
// mouse does nothing. LoadFolder decodes on worker threads: it returns at
// once, tiles appear in folder order as their pictures are ready, and
// fillFinished() is emitted at the end (also after Stop). All other fillers
// finish before they return, without pumping events. Stop() (Escape
// anywhere in the program, closing the grid's window, destroying the grid)
// ends a running fill at once and keeps the tiles made; a worker still busy
// with a file finishes it unseen (FolderFill.h).
// Status texts ("Reading object...", "%i1 objects", ...) go to statusText
// and to the label given to SetStatusLabel.
#include <QAbstractScrollArea>
#include <QImage>
#include <QStaticText>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <map>
#include <tuple>
#include <memory>
#include <vector>

#include "browse/FolderFill.h"
#include "browse/TileGeometry.h"
#include "platform/FileIO.h"

class QDropEvent;
#include <QLabel>
#include <QMenu>
class QMimeData;

namespace velto {

class TmyIcon;
class TmyImagePal;

// What a tile stands for (set by the fillers).
enum TileKind : std::uint8_t {
    tkIcon = 0,           // an icon extracted from a file
    tkFile = 1,           // a picture or cursor file
    tkGifFrame = 2,       // a frame of a GIF
    tkDocumentImage = 3,  // an image of a document, a frame of an animated cursor
    tkCursorGroup = 4,    // a cursor group of an executable or library
};

// The private MIME type of tiles dragged out of a grid.
inline constexpr char kThumbnailMime[] = "application/x-velto-thumbnails";

// One tile. Positions are content coordinates (scroll position 0).
struct TThumbnailItem {
    QString Caption;   // also the tile's hint
    QString FileName;  // full path of the file the tile stands for
    int Size = 100;    // width; the picture box is Size x Size
    bool ShowCaption = false;
    bool Selected = false;
    int Index = 0;
    QImage Bitmap;  // the picture, already fitted into (Size - 10) square
    bool Enabled = true;
    int SourceWidth = 0;  // size of the picture before fitting
    int SourceHeight = 0;
    std::uint8_t Kind = tkIcon;
    std::uint16_t LanguageId = 0;  // resource language of a cursor-group tile
    QString ResourceName;          // resource name of a cursor-group tile
    QPoint Pos;
    // The caption as the grid last drew it (shortened to fit), kept between
    // paints; the grid renews it when the caption or the size changed.
    mutable QStaticText ShownCaption;
    mutable QString ShownFor;
    mutable int ShownWidth = -1;

    int Height() const { return ShowCaption ? Size + 20 : Size; }
    QRect Rect() const { return {Pos, QSize(Size, Height())}; }
    // FileName := path; Caption := its name without folder.
    void SetFileName(const QString& path);
    // The picture and the size it had before fitting; Bitmap is stretched to
    // the fitted size when it is larger.
    void SetPicture(const QImage& picture, QSize sourceSize);
    void SetPicture(const QImage& picture) { SetPicture(picture, picture.size()); }
};

class TThumbail : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit TThumbail(QWidget* parent = nullptr);
    ~TThumbail() override;  // stops a running fill first

    // ---- look
    int ThumbnailSize() const { return thumbnailSize_; }
    void SetThumbnailSize(int size);  // every tile takes the size
    bool ShowCaption() const { return showCaption_; }
    void SetShowCaption(bool on);
    // 0 none, 1 single, 2 multiple (the default).
    int SelectionMode() const { return selectionMode_; }
    void SetSelectionMode(int mode) { selectionMode_ = mode; }
    // A press on empty space keeps the selection.
    bool AlwaysSelected() const { return alwaysSelected_; }
    void SetAlwaysSelected(bool on) { alwaysSelected_ = on; }
    // Selected tiles may be dragged out.
    bool CanDrag() const { return canDrag_; }
    void SetCanDrag(bool on) { canDrag_ = on; }
    // Tiles may be dropped on tiles of this grid (itemMoved).
    bool DragItems() const { return dragItems_; }
    void SetDragItems(bool on) { dragItems_ = on; }
    // Popped up at the cursor on a right-button release.
    void SetPopupMenu(QMenu* menu) { popup_ = menu; }
    QMenu* PopupMenu() const { return popup_; }
    // The label that shows the grid's status texts (none: statusText only).
    void SetStatusLabel(QLabel* label) { statusLabel_ = label; }
    QString StatusText() const { return statusText_; }

    // ---- tiles
    int Count() const { return static_cast<int>(items_.size()); }
    TThumbnailItem& Item(int i) { return *items_[static_cast<std::size_t>(i)]; }
    const TThumbnailItem& Item(int i) const { return *items_[static_cast<std::size_t>(i)]; }
    // A new last tile of the grid's size and caption setting.
    TThumbnailItem& Add();
    void Clear();
    void Delete(int i);
    void DeleteSelected();
    // Repaints tile i (after its fields were changed).
    void UpdateItem(int i);
    // Tile under a viewport point, -1 for none.
    int ItemAt(QPoint viewportPos) const;
    // Tile i's rectangle in viewport coordinates.
    QRect ItemRect(int i) const;
    void ScrollToItem(int i);

    // ---- selection
    // Mode 0 nothing; 1 the tile alone; 2 added.
    void SelectItem(int i);
    void ClearSelection();
    void AddToSelection(int i);
    void Unselect(int i);
    void ToggleSelection(int i);
    bool IsSelected(int i) const;
    int IndexInSelection(int i) const;
    // Tiles whose Selected flag is set.
    int SelectedCount() const;
    // Indices in the order they were selected.
    const std::vector<int>& Selection() const { return selection_; }
    int FirstSelected() const { return selection_.empty() ? -1 : selection_.front(); }
    void RebuildSelection();
    int Anchor() const { return anchor_; }
    bool IsNameUnique(const QString& name) const;
    bool IsNameLangUnique(const QString& name, std::uint16_t language) const;
    // prefix + "1", "2", ...: the first that no tile has as caption.
    QString MakeUniqueName(const QString& prefix) const;
    void ShowSelectionStatus();
    void SetStatusText(const QString& text);

    // ---- fillers (ThumbnailFillers.cpp); each refuses while Busy
    bool Busy() const { return busy_; }
    // Every picture file of the folder (hidden files, folders and special
    // files left out), in name order, on worker threads.
    void LoadFolder(const QString& folder);
    // The icons of an executable, library or icon file.
    void LoadFileIcons(const QString& fileName);
    void LoadAniFrames(const QString& fileName);
    void LoadIconImages(const TmyIcon& document, bool asFrames);
    // FileError::TooLarge when the GIF's frames ask more memory than a load
    // may take (no tile then).
    FileError LoadGifFrames(const QString& fileName, bool overimpose);
    // The cursor groups of an executable or library, read as data.
    void LoadCursorResources(const QString& fileName, bool useNames);
    void ReplaceSelectedFromFile(const QString& fileName);
    void AddCursorFiles(const QStringList& files);
    // Ends a running fill at once (tiles made so far stay); nothing when none runs.
    void Stop();
    // How the folder fill's workers make each entry (tests put their own
    // in; unset: TFolderFill::MakeEntry). Returns the previous one.
    static TFolderFill::EntryMaker SetFolderEntryMaker(TFolderFill::EntryMaker maker);

    // ---- drops from elsewhere: the handler sees every drag event (enter,
    // move, drop) that is not a move of this grid's own tiles, with the tile
    // under it (-1 for none), and accepts or ignores it.
    using ExternalDrop = std::function<void(QDropEvent* event, int tile)>;
    void SetExternalDrop(ExternalDrop handler) { externalDrop_ = std::move(handler); }
    // The grid a drag came from (its source widget or its MIME data), or null.
    static TThumbail* DragSource(const QDropEvent* event);
    // The MIME data a drag of the selected tiles carries.
    QMimeData* MakeDragData() const;
    // Runs a drag of data started from grid (the default execs a real drag;
    // tests put their own in). Returns the previous runner.
    using DragRunner = std::function<void(TThumbail& grid, QMimeData* data)>;
    static DragRunner SetDragRunner(DragRunner runner);

    QSize sizeHint() const override;

signals:
    // The selection was changed by the user (press, rubber band, keys).
    void itemClicked();
    void itemDblClicked();
    // The mouse was released over empty space.
    void clicked();
    // A tile of this grid was dropped on tile `to`.
    void itemMoved(int from, int to);
    void statusTextChanged(const QString& text);
    // A fill ended (finished or stopped).
    void fillFinished();
    // The vertical scroll bar was shown or hidden.
    void scrollBarShown(bool shown);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    TTileLayout Layout() const;
    void Relayout();
    void UpdateScrollRange();
    struct TTileInk {
        QColor frame, lit, text, disabled, back;
    };
    // Lays the caption out as the tile shows it, once per caption and size.
    void PrepareCaption(const TThumbnailItem& item, const QFontMetrics& metrics) const;
    // The frame of a tile (a white box with round corners) drawn once per
    // look and blitted since.
    const QImage& TileFrame(int size, int bottom, bool selected, const QColor& pen, const QColor& back) const;
    mutable std::map<std::tuple<int, int, bool, QRgb, QRgb, int>, QImage> frames_;
    void PaintItem(QPainter& painter, const TThumbnailItem& item, QPoint at, const TTileInk& ink,
                   const QFontMetrics& metrics) const;
    void BeginBusy();
    void EndBusy();
    void PressOnItem(int i, Qt::MouseButton button, Qt::KeyboardModifiers mods);
    void PressOnEmpty(QMouseEvent* event);
    void MoveBand(QPoint viewportPos, Qt::KeyboardModifiers mods);
    void EndBand(QMouseEvent* event);
    void KeyMove(int target, Qt::KeyboardModifiers mods);
    void SetFlag(int i, bool on);
    bool HandleOwnDrag(QDropEvent* event, bool drop);
    void ShowDropBar(int tile);
    // Folder fill: tiles made from what the workers delivered.
    void TakeFolderResults();
    void FinishFolderFill();
    class FillTurns;  // the folder fill's side on the GUI thread
    class FillScope;  // the busy frame of the other fillers
    // Add() of a tile made beforehand (its caption laid out already).
    TThumbnailItem& Adopt(std::unique_ptr<TThumbnailItem> item);

    std::vector<std::unique_ptr<TThumbnailItem>> items_;
    std::vector<int> selection_;
    int anchor_ = 0;
    int thumbnailSize_ = 100;
    bool showCaption_ = false;
    int selectionMode_ = 2;
    bool alwaysSelected_ = false;
    bool canDrag_ = false;
    bool dragItems_ = false;
    bool busy_ = false;
    QPointer<QMenu> popup_;
    QPointer<QLabel> statusLabel_;
    QString statusText_;
    ExternalDrop externalDrop_;

    // Keys held during the input event being handled (AddToSelection keeps
    // the anchor under Shift).
    Qt::KeyboardModifiers modifiers_ = Qt::NoModifier;
    // Mouse state.
    bool pressed_ = false;
    int wheelAngle_ = 0;
    int pressedItem_ = -1;
    QPoint pressPoint_;       // viewport
    bool banding_ = false;
    QPoint bandStart_;        // content coordinates
    QRect band_;              // viewport coordinates, shown while banding
    int bandMaxScroll_ = 0;
    int dropBar_ = -1;        // tile under the reordering bar, -1 none
    int lastClientWidth_ = -1;
    bool barShown_ = false;
    bool adding_ = false;  // a filler adds tiles; the scroll range follows after
    // Holds the scroll range and the repaint back while a batch of tiles is
    // added: one range and one rectangle for the batch (a rectangle per tile
    // builds a region of hundreds).
    struct AddingScope {
        TThumbail& grid;
        int first;
        explicit AddingScope(TThumbail& g) : grid(g), first(g.Count()) { grid.adding_ = true; }
        ~AddingScope() {
            grid.adding_ = false;
            grid.UpdateScrollRange();
            if (grid.Count() <= first) return;
            // Whole rows from the first tile's to the last's: the last may end
            // left of the first, and the rows between are full.
            const QRect added = grid.ItemRect(first).united(grid.ItemRect(grid.Count() - 1));
            grid.viewport()->update(QRect(0, added.top() - 1, grid.viewport()->width(), added.height() + 2));
        }
    };

    int focus_ = -1;          // the tile the keys move from
    std::unique_ptr<TFolderFill> fill_;
    FillTurns* fillTurns_ = nullptr;
    int folderPictures_ = 0;  // tiles of the folder fill with a picture
};

}  // namespace velto
