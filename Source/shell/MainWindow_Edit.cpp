// The Edit menu: undo and redo, the clipboard, the floating selection's
// commands. (Transparent Selection is an option switch, wired from the table.)
#include "MainWindow.h"

#include "DocumentArea.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace velto {

void TfrmMain::SetupEditActions() {}

void TfrmMain::UpdateEditActions() {
    TDeskWindow* d = ActiveDesk();
    const bool frame = d && d->SelectionFrameVisible();
    Action("actSelectAll")->setEnabled(d != nullptr);
    Action("actFitToScreen")->setEnabled(frame);
    Action("actOriginalSize")->setEnabled(frame);
    Action("actBringToFront")->setEnabled(frame && !selection_->InFront());
    Action("actSendToBack")->setEnabled(frame && selection_->InFront());
}

void TfrmMain::UpdateClipboardActions() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    QAction* paste = Action("actnPaste");
    if (!data || !data->hasImage()) paste->setEnabled(false);
    else if (desks_.DeskCount() > 0) paste->setEnabled(true);
    const bool own = desks_.ActiveIndex() && !selection_->Empty() && selection_->Owner() == desks_.ActiveIndex();
    for (const char* n : {"actnCopy", "actnCut", "actnDel"}) Action(n)->setEnabled(own);
}

void TfrmMain::UpdateUndoActions() {
    TDeskWindow* d = ActiveDesk();
    Action("actnUndo")->setEnabled(d && d->CanUndo());
    Action("actnRedo")->setEnabled(d && d->CanRedo());
}

}  // namespace velto
