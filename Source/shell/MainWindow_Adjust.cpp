// The Adjust menu: brightness, hue, colour balance, opacity, fade-out and the
// one-click colour effects.
#include "MainWindow.h"

#include "DocumentArea.h"
#include "ModalForms.h"

#include <QAction>

namespace velto {

void TfrmMain::SetupAdjustActions() {
    // The dialogs do their own work; the colour effects are one-click effects.
    for (const auto& [action, form] : {std::pair{"actnBrightness", "frmBrightness"}, std::pair{"ActnHue", "frmHue"},
                                       std::pair{"actnColor", "frmColorBalance"}, std::pair{"actOpacity", "frmOpacity"},
                                       std::pair{"actFadeout", "frmFadeout"}})
        on(action, [name = QString::fromLatin1(form)] { ShowModalForm(name); });
}

void TfrmMain::UpdateAdjustActions() {
    // Opacity works on a floating selection, or on a 32-bit image.
    TDeskWindow* d = ActiveDesk();
    Action("actOpacity")->setEnabled(!selection_->Empty() || (d && d->CurrentBitCount() == 32));
}

}  // namespace velto
