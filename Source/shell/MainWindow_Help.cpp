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
        ShellOpen(local.isEmpty() ? WebPageUrl(kHelpPage) : QUrl::fromLocalFile(local));
    });
    on("actTutorials", [] { ShellOpen(WebPageUrl(kTutorialsPage)); });
    on("actForum", [] { ShellOpen(WebPageUrl(kForumPage)); });
    on("actHomepage", [] { ShellOpen(WebPageUrl(kHomePage)); });
    on("actDonate", [] { ShellOpen(WebPageUrl(kDonatePage)); });
    on("actTips", [] { ShowModalForm(QStringLiteral("frmTips")); });
    on("actUpdate", [] { ShowModalForm(QStringLiteral("frmUpdate")); });
    on("actnAbout", [] { ShowModalForm(QStringLiteral("frmAbout")); });
}

void TfrmMain::UpdateHelpActions() {}

}  // namespace velto
