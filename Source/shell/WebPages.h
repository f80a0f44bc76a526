#pragma once
// The product's pages on the maker's web server (the server is chosen at
// build time, VELTO_WEB_SERVER; the paths below it are fixed), the local help,
// and opening either in the user's browser.
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

namespace velto {

// Paths of the pages below the server.
inline constexpr char kHomePage[] = "velto";
inline constexpr char kForumPage[] = "velto/forum.html";
inline constexpr char kDonatePage[] = "velto/donate.html";
inline constexpr char kHelpPage[] = "velto/help/index.html";
inline constexpr char kTutorialsPage[] = "velto/tutorials.html";

// The server joined with path by one "/".
QUrl WebPageUrl(const QString& path);
// Another server in place of the one of the build (tests serve the pages
// from the machine itself); empty restores the build's.
void SetWebServer(const QString& server);

// "help/index.html" in the first of folders that has it; empty when none has.
QString FindLocalHelp(const QStringList& folders);
// The folders searched for the local help: beside the program, then the
// installed share folder.
QStringList HelpFolders();

// Opens url in the program the desktop chooses for it (the browser); false
// when none could be started.
bool ShellOpen(const QUrl& url);
// ShellOpen, and when it fails a message box ("msgNoBrowser") telling the
// user the address that could not be opened, so that it can be opened by
// hand; the toolkit says so only on the error output.
bool OpenWebPage(const QUrl& url);
// Replaces the desktop's opener (tests record the addresses); null restores it.
using UrlOpener = std::function<bool(const QUrl&)>;
void SetUrlOpener(UrlOpener opener);

}  // namespace velto
