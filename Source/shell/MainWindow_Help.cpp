// The Help menu: help, tutorials, tips, the web pages, update check, about.
#include "MainWindow.h"

namespace velto {

void TfrmMain::SetupHelpActions() {
    // The tips window plugs in through SetTipsHandler.
    on("actTips", [this] {
        if (tips_) tips_();
    });
}

void TfrmMain::UpdateHelpActions() {}

}  // namespace velto
