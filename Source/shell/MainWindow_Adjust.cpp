// The Adjust menu: brightness, hue, colour balance, opacity, fade-out and the
// one-click colour effects.
#include "MainWindow.h"

#include "DocumentArea.h"

#include <QAction>

namespace velto {

void TfrmMain::SetupAdjustActions() {}

void TfrmMain::UpdateAdjustActions() {
    // Opacity works on a floating selection, or on a 32-bit image.
    TDeskWindow* d = ActiveDesk();
    Action("actOpacity")->setEnabled(!selection_->Empty() || (d && d->CurrentBitCount() == 32));
}

}  // namespace velto
