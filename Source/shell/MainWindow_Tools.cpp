// The keys of the drawing tools (on no menu): locked while a stroke is drawn;
// and the tools' cursors.
#include "MainWindow.h"

#include "DocumentArea.h"
#include "ToolArt.h"

#include <QAction>

namespace velto {

void TfrmMain::LockToolActions() {
    for (QAction* a : actions_.group(ActionGroup::Tools)) a->setEnabled(false);
}

void TfrmMain::UnlockToolActions() {
    for (QAction* a : actions_.group(ActionGroup::Tools)) a->setEnabled(true);
    // The opacity tool works on 32-bit images only, as when the image was chosen.
    TDeskWindow* d = ActiveDesk();
    Action("actopac")->setEnabled(!d || d->CurrentBitCount() == 32);
}

void TfrmMain::loadToolCursors() {
    for (int n = crFirstTool; n <= crLastTool; ++n) {
        QCursor c;
        if (MakeToolCursor(n, &c)) cursors_[static_cast<size_t>(n)] = new QCursor(c);
    }
    cursors_[crCross] = new QCursor(Qt::CrossCursor);
}

const QCursor* TfrmMain::ToolCursor(int number) const {
    return number >= 0 && number < static_cast<int>(cursors_.size()) ? cursors_[static_cast<size_t>(number)] : nullptr;
}

}  // namespace velto
