// The Cursor menu: the images of the document (new, delete, duplicate,
// import, next and previous, their order), hot spot, properties, test and
// snapshot.
#include "MainWindow.h"

#include "Desk.h"
#include "DocumentArea.h"

#include <QAction>
#include <QGuiApplication>


namespace velto {

void TfrmMain::SetupCursorActions() {
    // Move the current image one place up or down: the side bar's move of
    // image i onto image i - 2 or i + 1 (with Ctrl a copy is added there).
    auto move = [this](int step) {
        auto* desk = qobject_cast<TfrmDesk*>(ActiveDesk());
        if (!desk || !desk->HasImages()) return;
        const int i = desk->ItemIndex();
        const int target = step < 0 ? i - 2 : i + 1;
        if (step < 0 ? i <= 0 : i >= desk->ImageCount() - 1) return;
        desk->MoveImage(i, target, QGuiApplication::keyboardModifiers() & Qt::ControlModifier);
    };
    on("actFrameUp", [move] { move(-1); });
    on("actFrameDown", [move] { move(1); });
}

void TfrmMain::UpdateCursorActions() {
    TDeskWindow* d = ActiveDesk();
    const int n = d ? d->ImageCount() : 0;
    const int k = d ? d->ItemIndex() : 0;
    Action("actFramesReverse")->setEnabled(d && n > 1);
    Action("actndelimage")->setEnabled(d && n >= 2);
    Action("actFrameUp")->setEnabled(d && k > 0);
    Action("actFrameDown")->setEnabled(d && k < n - 1);
    Action("actDeleteMore")->setEnabled(d && n > 1);
    Action("actDuplicateImage")->setEnabled(d && d->IsAnimated());
}

// Run by the document after its current image changed: Next up to the
// second-last image, Previous from the second image on.
void TfrmMain::UpdateImageNavigation() {
    TDeskWindow* d = ActiveDesk();
    const int n = d ? d->ImageCount() : 0;
    const int k = d ? d->ItemIndex() : 0;
    Action("actnnext")->setEnabled(d && k < n - 1);
    Action("actnPrev")->setEnabled(d && k >= 1);
}

}  // namespace velto
