// The Cursor menu: the images of the document (new, delete, duplicate,
// import, next and previous, their order), hot spot, properties, test and
// snapshot.
#include "MainWindow.h"

#include "DocumentArea.h"

#include <QAction>

namespace velto {

void TfrmMain::SetupCursorActions() {}

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
