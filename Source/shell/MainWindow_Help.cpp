// The Help menu: help, tutorials, tips, the web pages, update check, about.
#include "MainWindow.h"

#include "ModalForms.h"
#include "WebPages.h"

#include <QUrl>

namespace velto {

void TfrmMain::SetupHelpActions() {
    // The local help when it is installed, else the one on the web server.
    on("actHelp", [] {
        const QString local = FindLocalHelp(HelpFolders());
        OpenWebPage(local.isEmpty() ? WebPageUrl(kHelpPage) : QUrl::fromLocalFile(local));
    });
    on("actTutorials", [] { OpenWebPage(WebPageUrl(kTutorialsPage)); });
    on("actForum", [] { OpenWebPage(WebPageUrl(kForumPage)); });
    on("actHomepage", [] { OpenWebPage(WebPageUrl(kHomePage)); });
    on("actDonate", [] { OpenWebPage(WebPageUrl(kDonatePage)); });
    onForm("actTips", "frmTips");
    onForm("actUpdate", "frmUpdate");
    onForm("actnAbout", "frmAbout");
}

void TfrmMain::UpdateHelpActions() {}

}  // namespace velto
