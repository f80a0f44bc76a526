// The Window menu: tiling and cascading, then the list of open document
// windows.
#include "MainWindow.h"

#include "DocumentArea.h"
#include "MainWindowText.h"
#include "WindowArrange.h"

#include <QAction>
#include <QLayout>
#include <QMdiSubWindow>
#include <QMenu>

#include <algorithm>

namespace velto {

namespace {

// The frames of the document windows in list order; a maximised or minimised
// one is brought back to its normal state first, so that it takes the place
// given (and a maximised one does not stretch the next window activated).
std::vector<QMdiSubWindow*> NormalFrames(TfrmMain& main) {
    std::vector<QMdiSubWindow*> frames;
    for (int slot = 1; slot <= main.Desks().DeskCount(); ++slot) {
        QMdiSubWindow* frame = main.Desk(slot) ? main.Desk(slot)->Frame() : nullptr;
        if (!frame) continue;
        if (frame->isMaximized() || frame->isMinimized()) frame->showNormal();
        frames.push_back(frame);
    }
    return frames;
}

// The documents' room: the document area's viewport, which leaves out the
// columns of glued panes.
ArrangeArea AreaOf(TfrmMain& main) {
    const QSize client = main.DocumentArea()->viewport()->size();
    return {client.width(), client.height(), 0, 0};
}

void Place(QMdiSubWindow* frame, const ArrangeRect& r) {
    frame->setGeometry(r.left, r.top, r.width, r.height);
    frame->raise();
}

void Tile(TfrmMain& main, std::vector<ArrangeRect> (*rects)(int, const ArrangeArea&)) {
    const std::vector<QMdiSubWindow*> frames = NormalFrames(main);
    const std::vector<ArrangeRect> places = rects(static_cast<int>(frames.size()), AreaOf(main));
    for (size_t i = 0; i < frames.size(); ++i) Place(frames[i], places[i]);
}

// The active window's slot stays active and ends on top; the next new window
// goes on from where the cascade stopped.
void Cascade(TfrmMain& main) {
    const std::vector<QMdiSubWindow*> frames = NormalFrames(main);
    if (frames.empty()) return;
    std::vector<int> steps;
    int active = -1;
    for (QMdiSubWindow* frame : frames) {
        if (main.ActiveDesk() && frame == main.ActiveDesk()->Frame()) active = static_cast<int>(steps.size());
        steps.push_back(CascadeStep(frame));
    }
    const CascadePlan plan = CascadeRects(steps, active, AreaOf(main).leftChain, TDeskList::kCascadeSteps);
    for (int i : plan.frontOrder) Place(frames[size_t(i)], plan.rects[size_t(i)]);
    main.Desks().SetCascadeIndex(plan.nextIndex);
}

}  // namespace

void TfrmMain::SetupWindowActions() {
    on("actCascade", [this] { Cascade(*this); });
    on("actTile", [this] { Tile(*this, TileRects); });
    on("actTileVert", [this] { Tile(*this, TileVerticalRects); });
    on("actTileHoriz", [this] { Tile(*this, TileHorizontalRects); });
}

// Tile and Cascade are document commands (DocumentOnly in the table).
void TfrmMain::UpdateWindowActions() {}

// The fixed items stay; the list of open windows below them is rebuilt.
void TfrmMain::UpdateWindowMenu() {
    // Later: the item chosen may be the one whose command runs now.
    for (QAction* a : windowItems_) {
        windowMenu_->removeAction(a);
        a->deleteLater();
    }
    windowItems_.clear();
    for (int i = 1; i <= desks_.DeskCount(); ++i) {
        const QString caption = Desk(i)->windowTitle();
        auto* a = new QAction(MenuText(caption.mid(caption.lastIndexOf('/') + 1)), this);
        a->setData(i);
        a->setCheckable(true);
        a->setChecked(i == desks_.ActiveIndex());
        connect(a, &QAction::triggered, this, [this, a] { ActivateDesk(a->data().toInt()); });
        windowMenu_->addAction(a);
        windowItems_.append(a);
    }
}

}  // namespace velto
