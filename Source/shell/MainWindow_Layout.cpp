// The main window's layout: the panes glued to the document area and kept
// in view, the room they leave the documents, and the layout saved in the
// settings and restored from them.
#include "MainWindow.h"

#include "DocumentArea.h"
#include "Options.h"
#include "PaneFrame.h"
#include "WindowArrange.h"

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>

#include <algorithm>
#include <tuple>
#include <vector>

namespace velto {


void TfrmMain::UpdateOwnDockRect() {
    const QRect r = panel1_->geometry();
    DockRect.Left = r.left() + r.width();
    DockRect.Top = r.top() + r.height();
    DockRect.Right = r.left();
    DockRect.Bottom = r.top();
}

void TfrmMain::UpdateDockGlue() {
    for (int slot = dsPreview; slot <= dsExplorer; ++slot)
        if (PaneFrame* p = forms_.Pane(slot)) p->StoreBoundsRect();
    UpdateOwnDockRect();
    glueShownPanes();
    FitDocumentRoom();
}

void TfrmMain::glueShownPanes() {
    dockMngr_.RegisterWindow(dsMain, &DockRect);
    for (int slot = dsPreview; slot <= dsExplorer; ++slot) {
        PaneFrame* p = forms_.Pane(slot);
        if (p && !p->isHidden()) dockMngr_.RegisterWindow(slot, &p->DockRect);
        else dockMngr_.UnregisterWindow(slot);
    }
    for (int slot = dsPreview; slot <= dsExplorer; ++slot) dockMngr_.UpdateGlue(slot);
}

void TfrmMain::FitDocumentRoom() {
    // The columns of panes glued to the area's side edges are taken off the
    // documents' room, so that new windows, Cascade, the Tiles and a
    // maximised window all stay beside them. The documents keep at least the
    // width of the least window.
    const int most = std::max(0, panel1_->width() - kMinTileSize);
    int left = std::clamp(dockMngr_.GluedChainSize(), 0, most);
    int right = std::clamp(dockMngr_.RightChainWidth(), 0, most - left);
    const QMargins room(left, 0, right, 0);
    if (panel1_->viewportMargins() != room) panel1_->setViewportMargins(room);
}

void TfrmMain::glueToSavedArea(const TOptions& o) {
    if (o.AreaWidth <= 0 || o.AreaHeight <= 0) return;
    // The glue is found against the area as it was saved and applied to the
    // area as it is now (FormResize), as if the window had been resized.
    for (int slot = dsPreview; slot <= dsExplorer; ++slot)
        if (PaneFrame* p = forms_.Pane(slot)) p->StoreBoundsRect();
    DockRect.Left = o.AreaLeft + o.AreaWidth;
    DockRect.Top = o.AreaTop + o.AreaHeight;
    DockRect.Right = o.AreaLeft;
    DockRect.Bottom = o.AreaTop;
    glueShownPanes();
}

void TfrmMain::FormResize() {
    // The document area has its place only once the window is laid out.
    if (!isVisible() || inFormResize_) return;
    inFormResize_ = true;
    UpdateOwnDockRect();
    for (int pass = 0; pass < 5; ++pass) {
        for (int slot : {dsExplorer, dsTools, dsColors, dsPreview}) {
            PaneFrame* p = forms_.Pane(slot);
            if (!p || p->isHidden() || dockMngr_.Record(slot) != &p->DockRect) continue;
            DockPlacement place{p->x(), p->y(), p->width(), p->height()};
            dockMngr_.ApplyGlue(slot, place);
            p->setGeometry(place.left, place.top, place.width, place.height);
            p->StoreBoundsRect();
        }
    }
    // An explorer without a height of its own runs down the whole area.
    if (PaneFrame* e = forms_.Pane(dsExplorer); e && explorerFillsHeight_)
        e->resize(e->width(), std::max(e->minimumSizeHint().height(), panel1_->geometry().bottom() + 1 - e->y()));
    KeepPanesInView(0);
    FitDocumentRoom();
    inFormResize_ = false;
}

void TfrmMain::KeepPanesInView(int movedSlot) {
    const QRect area = panel1_->geometry();
    // Earlier panes keep their places; the one the user just moved comes last.
    std::vector<int> order = {dsExplorer, dsPreview, dsTools, dsColors};
    if (std::erase(order, movedSlot)) order.push_back(movedSlot);
    QList<PaneFrame*> shown;
    QList<PaneFit> fits;
    for (int slot : order) {
        PaneFrame* p = forms_.Pane(slot);
        if (!p || p->isHidden()) continue;
        PaneFit f;
        // A pane of fixed contents takes their whole size again when it can.
        f.rect = QRect(p->pos() + QPoint(p->GrownLeft(), 0), p->NaturalSize());
        f.least = p->LeastSize();
        f.squeezed = p->SqueezedSize();
        f.resizable = p->Resizable();
        f.scrollBar = p->ScrollBarExtent();
        if (f.resizable) f.rect.setSize(f.rect.size().boundedTo(area.size()).expandedTo(f.least));
        f.placedByUser = slot == movedSlot;
        shown << p;
        fits << f;
    }
    QList<int> grownLeft;
    const QList<QRect> places = FitPanes(fits, area, &grownLeft);
    bool moved = false;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        PaneFrame* p = shown[i];
        const QRect& r = places[i];
        // Smaller than its contents: they scroll.
        p->SetSqueezed(r.width() < fits[i].least.width() || r.height() < fits[i].least.height());
        p->SetGrownLeft(grownLeft[i]);
        if (r != p->geometry()) {
            p->setGeometry(r);
            moved = true;
        }
        p->StoreBoundsRect();
    }
    if (moved) {
        UpdateOwnDockRect();
        for (int slot = dsPreview; slot <= dsExplorer; ++slot) dockMngr_.UpdateGlue(slot);
    }
    FitDocumentRoom();
}

void TfrmMain::SaveLayout() {
    TOptions& o = Options();
    o.MainTop = y();
    o.MainLeft = x();
    o.AreaLeft = panel1_->x();
    o.AreaTop = panel1_->y();
    o.AreaWidth = panel1_->width();
    o.AreaHeight = panel1_->height();
    if (isMaximized()) {
        o.MainMaximized = true;
    } else {
        o.MainMaximized = false;
        o.MainHeight = height();
        o.MainWidth = width();
    }
    auto place = [this](int slot, bool& visible, std::int32_t& top, std::int32_t& left) {
        if (PaneFrame* p = forms_.Pane(slot)) {
            top = p->y();
            left = p->x() + p->GrownLeft();
            visible = !p->isHidden();
        }
    };
    place(dsTools, o.ToolsVisible, o.ToolsTop, o.ToolsLeft);
    place(dsColors, o.ColorsVisible, o.ColorsTop, o.ColorsLeft);
    place(dsPreview, o.PrevVisible, o.PrevTop, o.PrevLeft);
    if (PaneFrame* p = forms_.Pane(dsPreview)) {
        o.PrevHeight = p->height();
        o.PrevWidth = p->width();
    }
    place(dsExplorer, o.ExplorerVisible, o.ExplorerTop, o.ExplorerLeft);
    if (PaneFrame* p = forms_.Pane(dsExplorer)) {
        o.ExplorerWidth = p->width();
        // 0: the explorer keeps running down the whole document area.
        o.ExplorerHeight = explorerFillsHeight_ ? 0 : p->height();
    }
    // The pane contents (colour panel, explorer) add their own state.
    emit layoutSaving();
}

void TfrmMain::RestoreLayout() {
    const TOptions& o = Options();
    // Saved on a larger or a vanished screen: back inside a screen's free area.
    QList<QRect> areas;
    if (screenAreas_) {
        areas = screenAreas_();
    } else {
        if (QScreen* primary = QGuiApplication::primaryScreen()) areas << primary->availableGeometry();
        for (QScreen* sc : QGuiApplication::screens())
            if (sc != QGuiApplication::primaryScreen()) areas << sc->availableGeometry();
    }
    const QRect placed = FitWindowToScreens(
        QRect(o.MainLeft, o.MainTop, std::max(o.MainWidth, minimumWidth()), std::max(o.MainHeight, minimumHeight())),
        areas);
    const bool wasMaximized = isMaximized();
    if (wasMaximized) setWindowState(windowState() & ~Qt::WindowMaximized);
    move(placed.topLeft());
    resize(placed.size());
    // The panes are laid out in the window's final size: a maximised window
    // gets it first (the documents opened next are placed in it too).
    if (o.MainMaximized || wasMaximized) showMaximizedNow();

    // The saved places are the panes' own (not grown for a scroll bar).
    for (auto [slot, left, top] : {std::tuple{dsTools, o.ToolsLeft, o.ToolsTop}, {dsColors, o.ColorsLeft, o.ColorsTop}})
        if (PaneFrame* p = forms_.Pane(slot)) {
            p->SetGrownLeft(0);
            p->move(left, top);
        }
    if (PaneFrame* p = forms_.Pane(dsPreview)) p->setGeometry(o.PrevLeft, o.PrevTop, o.PrevWidth, o.PrevHeight);

    auto visible = [this](const char* action, bool v) { Action(action)->setChecked(v); };
    visible("actnTools", o.ToolsVisible);
    visible("actnPreview", o.PrevVisible);
    visible("actnColors", o.ColorsVisible);
    visible("acttoolbar", o.ToolbarVisible);
    visible("actnStatusbar", o.StatusbarVisible);
    toolBar_->setVisible(o.ToolbarVisible);
    statusBar()->setVisible(o.StatusbarVisible);
    setToggle("actnWindowToolbar", o.LocalToolbarVisible);
    setToggle("actnGrid", o.GridVisible);
    setToggle("actSideBar", o.SidebarVisible);
    showSettings();

    explorerFillsHeight_ = o.ExplorerHeight <= 0;
    if (PaneFrame* p = forms_.Pane(dsExplorer)) {
        const int h = o.ExplorerHeight > 0 ? o.ExplorerHeight : panel1_->height();
        p->setGeometry(o.ExplorerLeft, o.ExplorerTop, std::max(o.ExplorerWidth, 1), std::max(h, 1));
    }
    visible("actExplorer", o.ExplorerVisible);
    applyPaneVisibility();
    emit layoutRestored();

    // Panes glued to the edges of the area they were saved in (on another
    // screen, at another scale) go back to those edges; panes saved outside
    // a smaller window come back into it.
    if (layout()) layout()->activate();
    glueToSavedArea(o);
    FormResize();
    RefreshAllDocuments(false);
    UpdateRecentFilesMenu();
    FillLanguageMenu();
}

QRect FitWindowToScreens(const QRect& window, const QList<QRect>& availableAreas) {
    if (availableAreas.isEmpty()) return window;
    QRect area = availableAreas.first();
    qint64 most = 0;
    for (const QRect& a : availableAreas) {
        const QRect common = a.intersected(window);
        const qint64 overlap = qint64(common.width()) * common.height();
        if (!common.isEmpty() && overlap > most) {
            most = overlap;
            area = a;
        }
    }
    const int w = std::min(window.width(), area.width()), h = std::min(window.height(), area.height());
    const int x = std::clamp(window.x(), area.left(), area.left() + area.width() - w);
    const int y = std::clamp(window.y(), area.top(), area.top() + area.height() - h);
    return {x, y, w, h};
}

void TfrmMain::showMaximizedNow() {
    const QSize before = size();
    setWindowState(windowState() | Qt::WindowMaximized);
    if (!isVisible() || !screen()) return;
    // The window manager answers soon; a display without one never does, and
    // the window then fills the screen's free area itself.
    QElapsedTimer waited;
    waited.start();
    while (size() == before && waited.elapsed() < 500) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    const QRect avail = screen()->availableGeometry();
    if (width() < avail.width() * 9 / 10 || height() < avail.height() * 8 / 10) setGeometry(avail);
    QCoreApplication::processEvents();
}

void TfrmMain::RefreshAllDocuments(bool redrawAll) {
    emit documentsRefreshing(redrawAll);
    if (redrawAll)
        for (int i = 1; i <= desks_.DeskCount(); ++i) Desk(i)->RefreshDocument(true);
}

}  // namespace velto
