// The document window: its parts, the image and zoom lists, the side bar,
// activation and the close question. The canvas layout and painting are in
// Desk_Canvas.cpp.
#include "Desk.h"

#include "DocumentArea.h"
#include "ImageEdit.h"
#include "MainWindow.h"
#include "MainWindowText.h"
#include "Options.h"
#include "PaneAccess.h"
#include "ToolArt.h"
#include "Translator.h"
#include "browse/ThumbnailGrid.h"
#include "browse/TileSources.h"
#include "core/MessageBox.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDropEvent>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace velto {

namespace {

TCanvasInput* gCanvasInput = nullptr;
bool gBusy = false;

// The size of the side bar's tiles.
constexpr int kTileSize = 65;

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
    // The bar keeps its own size: a narrower window cuts it off at its edge
    // instead of squeezing the lists until their texts vanish.
    lay->setSizeConstraint(QLayout::SetFixedSize);
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
    // One tile per image, in document order; a click chooses the image.
    thumbs_ = new TThumbail(pnlSideBar_);
    thumbs_->setObjectName("Thumbs");
    thumbs_->SetSelectionMode(1);
    thumbs_->SetShowCaption(true);
    thumbs_->SetThumbnailSize(kTileSize);
    thumbs_->setFrameShape(QFrame::NoFrame);
    thumbs_->SetAlwaysSelected(true);
    // Tiles are dragged onto other windows, and within the bar to reorder
    // the frames of an animation (SetDragItems).
    thumbs_->SetCanDrag(true);
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
    if (!pmImages_->isEmpty()) thumbs_->SetPopupMenu(pmImages_);
    connect(thumbs_, &TThumbail::itemClicked, this, [this] { ThumbsChange(); });
    connect(thumbs_, &TThumbail::itemMoved, this, [this](int from, int to) {
        MoveImage(from, to, (QGuiApplication::keyboardModifiers() & Qt::ControlModifier) != 0);
    });
    thumbs_->SetExternalDrop([this](QDropEvent* event, int) { SideBarDragEvent(event); });
    // The bar widens by the scroll bar's width while the grid shows one.
    connect(thumbs_, &TThumbail::scrollBarShown, this, [this] { LayoutCanvas(); });
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
    if (document_) thumbs_->LoadIconImages(*document_, IsAnimated());
    else thumbs_->Clear();
    if (HasImages()) {
        thumbs_->SelectItem(cmbImages_->currentIndex());
        thumbs_->ScrollToItem(cmbImages_->currentIndex());
    }
    rebuildingList_ = false;
    LayoutCanvas();
}

void TfrmDesk::UpdateCurrentThumbnail() {
    if (!HasImages() || thumbs_->Count() == 0) return;
    const int i = document_->ItemIndex();
    if (i < 0 || i >= thumbs_->Count()) return;
    const TmyImagePal& img = document_->Image(i);
    TThumbnailItem& item = thumbs_->Item(i);
    // A selection floating over the image shows in its tile as on the
    // canvas: lifted (Select All lifts every pixel), the image alone is clear.
    TmyImagePal withSelection = img;
    const bool floating = PasteSelectionInto(withSelection);
    const TTilePicture picture = PictureOfImage(floating ? withSelection : img, thumbs_->ThumbnailSize());
    item.SetPicture(picture.Bitmap, picture.Source);
    item.Caption = ThumbnailCaption(IsAnimated(), i, img);
    thumbs_->UpdateItem(i);
}

void TfrmDesk::ThumbsChange() {
    if (rebuildingList_ || thumbs_->FirstSelected() < 0) return;
    MakeActive();
    cmbImages_->setCurrentIndex(thumbs_->FirstSelected());
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
    if (thumbs_->FirstSelected() != index && index < thumbs_->Count()) thumbs_->SelectItem(index);
    thumbs_->ScrollToItem(index);
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

void TfrmDesk::SetDragItems(bool on) {
    dragItems_ = on;
    thumbs_->SetDragItems(on);
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
    for (int i = 0; i < thumbs_->Count() && i < document_->Count(); ++i) {
        thumbs_->Item(i).Caption = ThumbnailCaption(frames, i, document_->Image(i));
        thumbs_->UpdateItem(i);
    }
}

// ---------------------------------------------------------------- side-bar drag and drop

void TfrmDesk::SideBarDragEvent(QDropEvent* drop) {
    // Tiles of this side bar are the grid's own (reordering, itemMoved);
    // here come the tiles of other windows' side bars and files from outside.
    TThumbail* source = TThumbail::DragSource(drop);
    // Picture files from outside become new images of this document.
    if (!source && !drop->source() && drop->mimeData() && drop->mimeData()->hasUrls() && HasImages()) {
        const QStringList files = DroppedFiles(drop->mimeData());
        if (files.isEmpty()) {
            drop->ignore();
            return;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        // Once the drop has ended: the import asks in windows of its own.
        if (drop->type() == QEvent::Drop)
            QTimer::singleShot(0, this, [this, files] {
                if (TfrmMain* main = frmMain()) {
                    MakeActive();
                    main->AddImagesFromFiles(files);
                }
            });
        return;
    }
    TfrmDesk* from = nullptr;
    for (QWidget* w = source; w && !from; w = w->parentWidget()) from = qobject_cast<TfrmDesk*>(w);
    if (!from || from == this || from->SideBar() != source || !from->HasImages() || !HasImages()) {
        drop->ignore();
        return;
    }
    if (drop->type() != QEvent::Drop) {
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        return;
    }
    // The grid never moves its tiles itself: the document changes, then the bar follows it.
    drop->setDropAction(Qt::IgnoreAction);
    drop->accept();
    if (const TmyImagePal* image = from->CurrentImage()) {
        const TmyImagePal copy = *image;
        if (InsertDroppedImage(copy)) {
            ImagesReordered();
            MakeActive();
        }
    }
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
