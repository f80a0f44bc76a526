// The document window: its parts, the image and zoom lists, the side bar,
// activation and the close question. The canvas layout and painting are in
// Desk_Canvas.cpp.
#include "Desk.h"

#include "ImageEdit.h"
#include "MainWindow.h"
#include "MainWindowText.h"
#include "Options.h"
#include "PaneAccess.h"
#include "ToolArt.h"
#include "Translator.h"
#include "core/MessageBox.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDropEvent>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace velto {

namespace {

TCanvasInput* gCanvasInput = nullptr;
bool gBusy = false;

// The size of the side bar's tiles, the caption included.
constexpr int kTileSize = 65;
constexpr int kTileCaption = 16;

// A local command that runs a command of the main window.
struct Forward {
    const char* local;
    const char* main;
};
constexpr Forward kForwards[] = {
    {"actNewImage", "actnnewimage"},
    {"actDelImage", "actndelimage"},
    {"actImportImage", "actImportImage"},
    {"actDuplicateImage", "actDuplicateImage"},
};

// A tile's picture: the image over white, scaled down to fit the tile when
// larger, centred in a picture of the tile's size (so every tile lays out alike).
QIcon TilePicture(const TmyImagePal& image, QSize tile) {
    QImage shown = RenderImage(image, clWhite);
    if (shown.width() > tile.width() || shown.height() > tile.height())
        shown = shown.scaled(tile, Qt::KeepAspectRatio, Qt::FastTransformation);
    QPixmap pm(tile);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.drawImage((tile.width() - shown.width()) / 2, (tile.height() - shown.height()) / 2, shown);
    p.end();
    return QIcon(pm);
}

}  // namespace

void SetCanvasInput(TCanvasInput* input) { gCanvasInput = input; }
TCanvasInput* CanvasInput() { return gCanvasInput; }

void BusyCursorOn() {
    if (gBusy) return;
    gBusy = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void BusyCursorOff() {
    if (!gBusy) return;
    gBusy = false;
    QApplication::restoreOverrideCursor();
}

// ---------------------------------------------------------------- creation

TfrmDesk::TfrmDesk(QWidget* parent) : TDeskWindow(parent), document_(std::make_unique<TmyIcon>()) {
    setObjectName("frmCanvas");
    resize(555, 471);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    createToolBar();
    root->addWidget(coolBar_);
    auto* body = new QHBoxLayout;
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(0);
    createSideBar();
    body->addWidget(pnlSideBar_);
    auto* bevel2 = new QFrame(this);
    bevel2->setObjectName("Bevel2");
    bevel2->setFrameShape(QFrame::VLine);
    bevel2->setFrameShadow(QFrame::Sunken);
    body->addWidget(bevel2);
    createScrollBox();
    body->addWidget(scrollBox_, 1);
    root->addLayout(body, 1);

    const TOptions& o = Options();
    SetSidebarVisible(o.SidebarVisible);
    SetGridVisible(o.GridVisible);
    TTranslator().TranslateForm("frmCanvas", this);
}

TfrmDesk::~TfrmDesk() = default;

QAction* TfrmDesk::addLocalAction(const char* name, const QString& hint, bool checkable) {
    auto* a = new QAction(this);
    a->setObjectName(name);
    a->setToolTip(hint);
    a->setStatusTip(hint);
    a->setIcon(DrawnToolbarIcon(name));
    a->setCheckable(checkable);
    return a;
}

void TfrmDesk::createToolBar() {
    // The band of the window's own commands. Plain buttons in a row rather
    // than a tool bar, so that the combo boxes stay in the window's
    // translation walk.
    coolBar_ = new QWidget(this);
    coolBar_->setObjectName("CoolBar1");
    auto* outer = new QHBoxLayout(coolBar_);
    outer->setContentsMargins(0, 0, 0, 0);
    toolBar_ = new QWidget(coolBar_);
    toolBar_->setObjectName("ActionToolBar2");
    auto* lay = new QHBoxLayout(toolBar_);
    lay->setContentsMargins(2, 1, 2, 1);
    lay->setSpacing(1);
    outer->addWidget(toolBar_);
    outer->addStretch(1);

    cmbImages_ = new QComboBox(toolBar_);
    cmbImages_->setObjectName("cmbImages");
    cmbImages_->setToolTip("Images");
    cmbImages_->setMaxVisibleItems(10);
    cmbImages_->setFocusPolicy(Qt::ClickFocus);
    cmbImages_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cmbImages_->setMinimumContentsLength(22);
    cmbZoom_ = new QComboBox(toolBar_);
    cmbZoom_->setObjectName("cmbZoom");
    cmbZoom_->setToolTip("Zoom");
    cmbZoom_->setMaxVisibleItems(10);
    cmbZoom_->setFocusPolicy(Qt::ClickFocus);
    for (int i = 0; i < kZoomItems; ++i) cmbZoom_->addItem(ZoomItemText(i));
    cmbZoom_->setCurrentIndex(kDefaultZoom - 1);

    QAction* newImage = addLocalAction("actNewImage", "Insert new image");
    QAction* duplicate = addLocalAction("actDuplicateImage", "Duplicate Image");
    duplicate->setText("Duplicate Image");
    QAction* delImage = addLocalAction("actDelImage", "Delete current image");
    QAction* import = addLocalAction("actImportImage", "Import new image into the icon");
    QAction* zoomOut = addLocalAction("actZoomOut", "Zoom Out");
    QAction* zoomIn = addLocalAction("actZoomIn", "Zoom In");
    QAction* grid = addLocalAction("actGrid", "Show/Hide grid", true);
    QAction* sidebar = addLocalAction("actSidebar", "Show/Hide Side Bar", true);

    auto button = [this, lay](QAction* a) {
        auto* b = new QToolButton(toolBar_);
        b->setDefaultAction(a);
        b->setAutoRaise(true);
        b->setIconSize(QSize(16, 16));
        b->setFocusPolicy(Qt::NoFocus);
        lay->addWidget(b);
    };
    auto separator = [this, lay] {
        auto* line = new QFrame(toolBar_);
        line->setFrameShape(QFrame::VLine);
        line->setFrameShadow(QFrame::Sunken);
        lay->addWidget(line);
    };
    lay->addWidget(cmbImages_);
    for (QAction* a : {newImage, duplicate, delImage, import}) button(a);
    separator();
    button(zoomOut);
    lay->addWidget(cmbZoom_);
    button(zoomIn);
    separator();
    button(grid);
    button(sidebar);

    for (const Forward& f : kForwards) {
        connect(LocalAction(f.local), &QAction::triggered, this, [this, target = f.main] {
            MakeActive();
            if (TfrmMain* main = frmMain()) main->Actions().execute(target);
        });
    }
    connect(zoomIn, &QAction::triggered, this, [this] {
        MakeActive();
        const int i = cmbZoom_->currentIndex();
        if (i >= kZoomItems - 1) return;
        cmbZoom_->setCurrentIndex(ZoomInIndex(i));
        cmbZoomChange();
    });
    connect(zoomOut, &QAction::triggered, this, [this] {
        MakeActive();
        const int i = cmbZoom_->currentIndex();
        if (i < 1) return;
        cmbZoom_->setCurrentIndex(ZoomOutIndex(i));
        cmbZoomChange();
    });
    connect(grid, &QAction::triggered, this, [this] {
        MakeActive();
        SetGridVisible(!gridVisible_);
    });
    connect(sidebar, &QAction::triggered, this, [this] {
        MakeActive();
        SetSidebarVisible(!SidebarVisible());
    });
    connect(cmbImages_, &QComboBox::activated, this, [this] {
        MakeActive();
        cmbImagesChange();
    });
    connect(cmbZoom_, &QComboBox::activated, this, [this] {
        MakeActive();
        cmbZoomChange();
    });
    UpdateZoomActions();
}

void TfrmDesk::createSideBar() {
    pnlSideBar_ = new QWidget(this);
    pnlSideBar_->setObjectName("pnlSideBar");
    auto* lay = new QVBoxLayout(pnlSideBar_);
    lay->setContentsMargins(0, 0, 0, 0);
    // A plain tile grid: one tile per image, in document order.
    thumbs_ = new QListWidget(pnlSideBar_);
    thumbs_->setObjectName("Thumbs");
    thumbs_->setViewMode(QListView::IconMode);
    thumbs_->setMovement(QListView::Static);
    thumbs_->setFlow(QListView::TopToBottom);
    thumbs_->setWrapping(false);
    thumbs_->setResizeMode(QListView::Adjust);
    thumbs_->setSelectionMode(QAbstractItemView::SingleSelection);
    // Small captions, as the tiles are narrow; each tile has room for its
    // picture and one line of caption.
    QFont small = thumbs_->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    thumbs_->setFont(small);
    thumbs_->setIconSize(QSize(kTileSize - kTileCaption, kTileSize - kTileCaption));
    thumbs_->setGridSize(QSize(kTileSize + 4, kTileSize - kTileCaption + QFontMetrics(small).lineSpacing() + 10));
    thumbs_->setUniformItemSizes(true);
    thumbs_->setFrameShape(QFrame::NoFrame);
    thumbs_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    thumbs_->setTextElideMode(Qt::ElideRight);
    thumbs_->setContextMenuPolicy(Qt::CustomContextMenu);
    // Tiles are dragged to reorder the images or onto another window; the
    // drops are the window's own (SideBarDragEvent), not the list's.
    thumbs_->setDragEnabled(true);
    thumbs_->setAcceptDrops(true);
    thumbs_->setDragDropMode(QAbstractItemView::DragDrop);
    thumbs_->setDefaultDropAction(Qt::MoveAction);
    lay->addWidget(thumbs_);
    pnlSideBar_->setFixedWidth(kSideBarWidth);

    pmImages_ = new QMenu(this);
    pmImages_->setObjectName("pmImages");
    if (TfrmMain* main = frmMain()) {
        for (const char* n : {"actnnewimage", "actndelimage"}) pmImages_->addAction(main->Action(n));
        pmImages_->addSeparator();
        for (const char* n : {"actFrameUp", "actFrameDown", "actFramesReverse"}) pmImages_->addAction(main->Action(n));
        pmImages_->addSeparator();
        for (const char* n : {"actImportImage", "actexport"}) pmImages_->addAction(main->Action(n));
    }
    connect(thumbs_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        MakeActive();
        if (!pmImages_->isEmpty()) pmImages_->popup(thumbs_->viewport()->mapToGlobal(at));
    });
    connect(thumbs_, &QListWidget::currentRowChanged, this, [this] { ThumbsChange(); });
    thumbs_->viewport()->installEventFilter(this);
}

void TfrmDesk::createScrollBox() {
    scrollBox_ = new QWidget(this);
    scrollBox_->setObjectName("ScrollBox1");
    scrollBox_->setMouseTracking(true);
    scrollBox_->installEventFilter(this);
    bevel1_ = new QFrame(scrollBox_);
    bevel1_->setObjectName("Bevel1");
    bevel1_->setFrameShape(QFrame::Box);
    bevel1_->setLineWidth(1);
    canvas_ = new TCanvasImage(this, scrollBox_);
    canvas_->setObjectName("Image1");
    imgSel_ = new TSelectionFrame(this, scrollBox_);
    imgSel_->setObjectName("ImgSel");
    // Named as the handles are told apart when they are dragged.
    const std::pair<const char*, Qt::CursorShape> handles[] = {
        {"rpTopLeft", Qt::SizeFDiagCursor},     {"rpTop", Qt::SizeVerCursor},
        {"rpTopRight", Qt::SizeBDiagCursor},    {"rpRight", Qt::SizeHorCursor},
        {"rpBottomRight", Qt::SizeFDiagCursor}, {"rpBottom", Qt::SizeVerCursor},
        {"rpBottomLeft", Qt::SizeBDiagCursor},  {"rpLeft", Qt::SizeHorCursor},
    };
    for (std::size_t i = 0; i < handles_.size(); ++i)
        handles_[i] = new TSelectionHandle(this, handles[i].first, handles[i].second, scrollBox_);
    HideSelectionFrame();
    horzSB_ = new QScrollBar(Qt::Horizontal, scrollBox_);
    horzSB_->setObjectName("HorizSB");
    vertSB_ = new QScrollBar(Qt::Vertical, scrollBox_);
    vertSB_->setObjectName("VertSB");
    for (QScrollBar* sb : {horzSB_, vertSB_}) {
        sb->setRange(0, 0);
        sb->setSingleStep(10);
        sb->setPageStep(20);
        sb->hide();
    }
    connect(horzSB_, &QScrollBar::valueChanged, this, [this](int v) { ScrollChanged(true, v); });
    connect(vertSB_, &QScrollBar::valueChanged, this, [this](int v) { ScrollChanged(false, v); });
}

QAction* TfrmDesk::LocalAction(const char* name) const {
    return findChild<QAction*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly);
}

// ---------------------------------------------------------------- the document

void TfrmDesk::SetDocument(std::unique_ptr<TmyIcon> document) {
    document_ = document ? std::move(document) : std::make_unique<TmyIcon>();
    undo_.Clear();
    strokeStart_.reset();
}

TmyImagePal* TfrmDesk::CurrentImage() const {
    return HasImages() ? &document_->CurrentImage() : nullptr;
}

bool TfrmDesk::IsAnimated() const { return dynamic_cast<const TmyANI*>(document_.get()) != nullptr; }

int TfrmDesk::CurrentBitCount() const {
    const TmyImagePal* img = CurrentImage();
    return img ? img->BitCount : 0;
}

bool TfrmDesk::SelectionFrameVisible() const { return imgSel_ && !imgSel_->isHidden(); }

// ---------------------------------------------------------------- activation and closing

void TfrmDesk::Activated() {
    TfrmMain* main = frmMain();
    if (!main) return;
    // The floating selection shows only in the window it belongs to.
    if (main->Selection().Owner() == Tag) ShowSelectionFrame();
    else if (HideSelectionFrame()) RedrawCanvas();
    if (SidebarVisible()) thumbs_->setFocus();
}

bool TfrmDesk::CloseQuery() {
    MakeActive();
    TfrmMain* main = frmMain();
    int answer = idNo;
    if (!Saved()) {
        const QString text = Msg("msgSave", "Save changes to %s1 ?").replace(QLatin1String("%s1"), windowTitle());
        answer = ShowMessageBox(text.toStdString(), mkConfirm, mbYes | mbNo | mbCancel);
        if (answer == idYes && main) {
            main->UpdateActions();
            main->Actions().execute("actnSave");
            // A cancelled Save As or a failed write keeps the window and the
            // changes: the answer becomes Cancel.
            if (!Saved()) answer = idCancel;
        }
    }
    // Anything but Yes or No (Cancel, or a box closed without a choice) keeps
    // the window.
    if (answer != idYes && answer != idNo) return false;
    if (main && main->Selection().Owner() == Tag && Tag) main->Selection().Commit();
    if (main)
        if (QWidget* brush = main->Forms().Form("frmBrush")) brush->hide();
    strokeStart_.reset();
    undo_.Clear();
    document_ = std::make_unique<TmyIcon>();
    return true;
}

// ---------------------------------------------------------------- lists and zoom

void TfrmDesk::UpdateImageList(bool rebuild) {
    rebuildingList_ = true;
    cmbImages_->clear();
    if (document_)
        for (int i = 0; i < document_->Count(); ++i) cmbImages_->addItem(ImageListText(i, document_->Image(i)));
    cmbImages_->setCurrentIndex(HasImages() ? document_->ItemIndex() : -1);
    rebuildingList_ = false;
    if (rebuild) RebuildSideBar();
    else UpdateCurrentThumbnail();
}

void TfrmDesk::RebuildSideBar() {
    rebuildingList_ = true;
    thumbs_->clear();
    const bool frames = IsAnimated();
    if (document_) {
        for (int i = 0; i < document_->Count(); ++i) {
            const TmyImagePal& img = document_->Image(i);
            auto* item = new QListWidgetItem(thumbs_);
            item->setIcon(TilePicture(img, thumbs_->iconSize()));
            item->setText(ThumbnailCaption(frames, i, img));
            item->setToolTip(item->text());
        }
    }
    thumbs_->setCurrentRow(HasImages() ? cmbImages_->currentIndex() : -1);
    rebuildingList_ = false;
    LayoutCanvas();
}

void TfrmDesk::UpdateCurrentThumbnail() {
    if (!HasImages() || thumbs_->count() == 0) return;
    const int i = document_->ItemIndex();
    QListWidgetItem* item = thumbs_->item(i);
    if (!item) return;
    const TmyImagePal& img = document_->Image(i);
    item->setIcon(TilePicture(img, thumbs_->iconSize()));
    item->setText(ThumbnailCaption(IsAnimated(), i, img));
    item->setToolTip(item->text());
}

void TfrmDesk::ThumbsChange() {
    if (rebuildingList_ || thumbs_->currentRow() < 0) return;
    MakeActive();
    cmbImages_->setCurrentIndex(thumbs_->currentRow());
    cmbImagesChange();
}

void TfrmDesk::SetCurrentImage(int index) {
    if (!HasImages() || index < 0 || index >= document_->Count()) return;
    cmbImages_->setCurrentIndex(index);
    cmbImagesChange();
}

void TfrmDesk::cmbImagesChange() {
    if (!HasImages() || cmbImages_->currentIndex() < 0) return;
    TfrmMain* main = frmMain();
    if (main && Tag && main->Selection().Owner() == Tag) main->Selection().Commit();
    const int index = cmbImages_->currentIndex();
    rebuildingList_ = true;
    thumbs_->setCurrentRow(index);
    rebuildingList_ = false;
    document_->SetItemIndex(index);
    zoom_ = std::clamp(document_->CurrentImage().Zoom, 1, kZoomItems);
    ApplyAutoZoom();
    ShowImageInPanes();
    emit currentImageChanged(this);
    ImageChanged();
    // Undo never crosses a change of the current image.
    undo_.Clear();
    if (main) main->UpdateUndoActions();
    LayoutCanvas();
    if (main) main->UpdateImageNavigation();
}

void TfrmDesk::ShowImageInPanes() {
    const TmyImagePal* img = CurrentImage();
    if (!img) return;
    if (TPreviewAccess* preview = PreviewPane()) preview->RefreshPreview(img);
    if (TColorPanelAccess* colors = ColorPanel()) {
        colors->ShowPalette(img->Palette ? &*img->Palette : nullptr);
        colors->SetBitCount(img->BitCount);
    }
}

void TfrmDesk::SetZoom(int zoom) {
    cmbZoom_->setCurrentIndex(std::clamp(zoom, 1, kZoomItems) - 1);
    cmbZoomChange();
}

void TfrmDesk::cmbZoomChange() {
    // The selection frame keeps its place in image pixels.
    const bool frame = SelectionFrameVisible();
    const TCanvasGeometry before = CanvasGeometry();
    const int fx = (imgSel_->x() - canvas_->x() + before.hpos) / before.zoom;
    const int fy = (imgSel_->y() - canvas_->y() + before.vpos) / before.zoom;
    zoom_ = cmbZoom_->currentIndex() + 1;
    if (TmyImagePal* img = CurrentImage()) img->Zoom = zoom_;
    if (frame) {
        imgSel_->move(canvas_->x() + fx * zoom_ - before.hpos, canvas_->y() + fy * zoom_ - before.vpos);
        if (const TmyImagePal* sel = frmMain() ? frmMain()->Selection().Image() : nullptr)
            SizeSelectionFrame(sel->Width(), sel->Height());
    }
    LayoutCanvas();
    UpdateZoomActions();
    RedrawCanvas();
}

void TfrmDesk::UpdateZoomActions() {
    const int i = cmbZoom_->currentIndex();
    LocalAction("actZoomOut")->setEnabled(i > 0);
    LocalAction("actZoomIn")->setEnabled(i < kZoomItems - 1);
}

void TfrmDesk::ApplyAutoZoom() {
    const TmyImagePal* img = CurrentImage();
    if (!Options().Autozoom || !img) return;
    cmbZoom_->setCurrentIndex(AutoZoomFor(scrollBox_->width(), scrollBox_->height(), img->Width(), img->Height()) - 1);
    cmbZoomChange();
}

bool TfrmDesk::SidebarVisible() const { return !pnlSideBar_->isHidden(); }

void TfrmDesk::SetSidebarVisible(bool visible) {
    pnlSideBar_->setVisible(visible);
    if (QWidget* bevel2 = findChild<QWidget*>("Bevel2", Qt::FindDirectChildrenOnly)) bevel2->setVisible(visible);
    LocalAction("actSidebar")->setChecked(visible);
    LayoutCanvas();
}

void TfrmDesk::SetGridVisible(bool visible) {
    gridVisible_ = visible;
    LocalAction("actGrid")->setChecked(visible);
    if (!HasImages()) return;
    if (visible) DrawGrid();
    else ImageChanged();
    RefreshSelection();
}

void TfrmDesk::SetToolbarVisible(bool visible) {
    cmbZoom_->setVisible(visible);
    cmbImages_->setVisible(visible);
    coolBar_->setVisible(visible);
}

void TfrmDesk::RefreshDocument(bool redrawAll) {
    if (!redrawAll) return;
    ApplyAutoZoom();
    RedrawCanvas();
}

void TfrmDesk::LanguageChanged() {
    // The image list and the tile captions carry translated words.
    if (!HasImages()) return;
    UpdateImageList(false);
    const bool frames = IsAnimated();
    for (int i = 0; i < thumbs_->count() && i < document_->Count(); ++i) {
        thumbs_->item(i)->setText(ThumbnailCaption(frames, i, document_->Image(i)));
        thumbs_->item(i)->setToolTip(thumbs_->item(i)->text());
    }
}

// ---------------------------------------------------------------- side-bar drag and drop

bool TfrmDesk::SideBarDragEvent(QEvent* event) {
    const QEvent::Type t = event->type();
    if (t != QEvent::DragEnter && t != QEvent::DragMove && t != QEvent::Drop) return false;
    auto* drop = static_cast<QDropEvent*>(event);
    auto* source = qobject_cast<QListWidget*>(drop->source());
    TfrmDesk* from = nullptr;
    for (QWidget* w = source; w && !from; w = w->parentWidget()) from = qobject_cast<TfrmDesk*>(w);
    // Tiles of this side bar move only when the document allows it; tiles
    // of another window's side bar are always taken.
    const bool own = from == this;
    if (!from || !from->HasImages() || !HasImages() || (own && !dragItems_)) {
        drop->ignore();
        return true;
    }
    if (t != QEvent::Drop) {
        drop->setDropAction(own ? Qt::MoveAction : Qt::CopyAction);
        drop->accept();
        return true;
    }
    // The list never moves its items itself: the document changes, then the list follows it.
    drop->setDropAction(Qt::IgnoreAction);
    drop->accept();
    if (own) {
        const int target = thumbs_->indexAt(drop->position().toPoint()).row();
        const int src = thumbs_->currentRow();
        if (target >= 0 && src >= 0 && target != src)
            MoveImage(src, target, (drop->modifiers() & Qt::ControlModifier) != 0);
    } else if (const TmyImagePal* image = from->CurrentImage()) {
        const TmyImagePal copy = *image;
        if (InsertDroppedImage(copy)) {
            ImagesReordered();
            MakeActive();
        }
    }
    return true;
}

bool TfrmDesk::MoveImage(int source, int target, bool copy) {
    if (!HasImages() || source < 0 || source >= document_->Count() || target < -1 || target >= document_->Count())
        return false;
    const TmyImagePal image = document_->Image(source);
    // An icon holds one image of each format: a copy would be a second one.
    if (copy && !IsAnimated() && !document_->CanAdd(image.Size(), image.BitCount)) {
        ShowMessageBox(Msg("msgNotUnique", "There is already an image with this format in the icon!").toStdString(),
                       mkWarning, mbOK);
        return false;
    }
    int position = target + 1;
    if (!copy) {
        if (source <= target) position = target;
        document_->Delete(source);
    }
    document_->InsertAt(image.Size(), image.BitCount, position);
    document_->CurrentImage().Assign(image);
    ImagesReordered();
    return true;
}

void TfrmDesk::ImagesReordered() {
    // Modified, and the history (which belongs to the image that was current) ends.
    TImageEdit(*this, TEditKind::Frames).Done();
    zoom_ = std::clamp(document_->CurrentImage().Zoom, 1, kZoomItems);
    UpdateImageList(true);
    ImageChanged();
    ShowImageInPanes();
    emit currentImageChanged(this);
    LayoutCanvas();
}

bool TfrmDesk::InsertDroppedImage(const TmyImagePal& image) {
    if (!document_) return false;
    const int index = document_->InsertSorted(image.Size(), image.BitCount);
    if (index < 0) {
        ShowMessageBox(Msg("msgNotUnique", "There is already an image with this format in the icon!").toStdString(),
                       mkWarning, mbOK);
        return false;
    }
    document_->CurrentImage().Assign(image);
    TImageEdit(*this, TEditKind::Frames).Done();
    return true;
}

// ---------------------------------------------------------------- events

bool TfrmDesk::eventFilter(QObject* watched, QEvent* event) {
    if (watched == scrollBox_) {
        switch (event->type()) {
        case QEvent::Resize: ScrollBoxResized(); break;
        case QEvent::MouseMove:
            // The pointer left the canvas: the read-out is empty.
            if (TfrmMain* main = frmMain()) main->StatusLabel()->clear();
            break;
        case QEvent::MouseButtonRelease: MakeActive(); break;
        default: break;
        }
    } else if (watched == thumbs_->viewport()) {
        if (event->type() == QEvent::MouseButtonRelease) MakeActive();
        if (SideBarDragEvent(event)) return true;
    }
    return TDeskWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------- canvas widgets

TCanvasImage::TCanvasImage(TfrmDesk* desk, QWidget* parent) : QWidget(parent), desk_(desk) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setAcceptDrops(true);
}

void TCanvasImage::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    // The parts asked for, not the rectangle around them (a diagonal stroke's band).
    if (!bitmap_.isNull())
        for (const QRect& r : event->region()) p.drawImage(r, bitmap_, r);
    if (TCanvasInput* in = CanvasInput()) in->PaintOverlay(*desk_, p);
}

void TCanvasImage::mousePressEvent(QMouseEvent* event) {
    desk_->MakeActive();
    if (TCanvasInput* in = CanvasInput()) in->MousePress(*desk_, *event);
}

void TCanvasImage::mouseMoveEvent(QMouseEvent* event) {
    if (TCanvasInput* in = CanvasInput()) in->MouseMove(*desk_, *event);
}

void TCanvasImage::mouseReleaseEvent(QMouseEvent* event) {
    if (TCanvasInput* in = CanvasInput()) in->MouseRelease(*desk_, *event);
}

void TCanvasImage::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    if (TCanvasInput* in = CanvasInput()) in->MouseLeave(*desk_);
}

}  // namespace velto
