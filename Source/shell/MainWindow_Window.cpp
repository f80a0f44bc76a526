// The Window menu: tiling and cascading, then the list of open document
// windows.
#include "MainWindow.h"

#include "DocumentArea.h"
#include "MainWindowText.h"

#include <QAction>
#include <QMenu>

namespace velto {

void TfrmMain::SetupWindowActions() {}

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
