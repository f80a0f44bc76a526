// The View menu: the panes, the bars, the document windows' own tool bars,
// side bars and grid. (Auto Zoom is an option switch, wired from the table.)
#include "MainWindow.h"

#include "Desk.h"
#include "DocumentArea.h"
#include "MainActions.h"
#include "Options.h"
#include "PaneFrame.h"

#include <QAction>
#include <QLayout>
#include <QStatusBar>
#include <QToolBar>

namespace velto {

// The switches' handlers run after the action has flipped.
void TfrmMain::SetupViewActions() {
    // The switches of the panes; the explorer takes room from the document area.
    for (const ActionSpec& row : MainActionTable()) {
        if (!row.pane) continue;
        QAction* a = Action(row.name);
        on(row.name, [this, a, slot = row.pane] {
            if (slot != dsExplorer) {
                showPane(slot, a->isChecked());
                return;
            }
            if (PaneFrame* p = forms_.Pane(slot)) p->setVisible(a->isChecked());
            barsChanged();
        });
    }
    on("acttoolbar", [this] {
        toolBar_->setVisible(Action("acttoolbar")->isChecked());
        Options().ToolbarVisible = !toolBar_->isHidden();
        barsChanged();
    });
    on("actnStatusbar", [this] {
        statusBar()->setVisible(Action("actnStatusbar")->isChecked());
        Options().StatusbarVisible = !statusBar()->isHidden();
        barsChanged();
    });
    on("actnWindowToolbar", [this] {
        Options().LocalToolbarVisible = Action("actnWindowToolbar")->isChecked();
        for (int i = 1; i <= desks_.DeskCount(); ++i) Desk(i)->SetLocalToolbarVisible(Options().LocalToolbarVisible);
    });
    on("actnGrid", [this] {
        Options().GridVisible = !Options().GridVisible;
        Action("actnGrid")->setChecked(Options().GridVisible);
        for (int i = 1; i <= desks_.DeskCount(); ++i) Desk(i)->SetGridVisible(Options().GridVisible);
    });
    // Transparent Selection (menu and tool bar): the floating selection shows
    // at once as it will drop.
    for (const char* name : {"actTransSel", "actToolTrans"})
        on(name, [this] {
            flipSetting(&TOptions::TransparentSelection);
            if (auto* desk = qobject_cast<TfrmDesk*>(Desk(selection_->Owner())); desk && !selection_->Empty())
                desk->RefreshSelectionView();
        });
    on("actSideBar", [this] {
        Options().SidebarVisible = !Options().SidebarVisible;
        Action("actSideBar")->setChecked(Options().SidebarVisible);
        for (int i = 1; i <= desks_.DeskCount(); ++i) Desk(i)->SetSidebarVisible(Options().SidebarVisible);
    });
}

// A bar or pane came or went: the document area takes its new place at once
// (not at the next layout pass), the panes follow it, the glue is renewed.
void TfrmMain::barsChanged() {
    if (layout()) layout()->activate();
    FormResize();
    UpdateDockGlue();
}

// The View commands are always available.
void TfrmMain::UpdateViewActions() {}

void TfrmMain::showPane(int slot, bool visible) {
    PaneFrame* p = forms_.Pane(slot);
    if (!p) return;
    p->setVisible(visible);
    if (visible) p->raise();
    UpdateDockGlue();
}

// Each pane as its switch says, raised in the table's order.
void TfrmMain::applyPaneVisibility() {
    for (const ActionSpec& row : MainActionTable()) {
        PaneFrame* p = row.pane ? forms_.Pane(row.pane) : nullptr;
        if (!p) continue;
        p->setVisible(Action(row.name)->isChecked());
        if (!p->isHidden()) p->raise();
    }
}

}  // namespace velto
