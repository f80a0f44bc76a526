#include "WebPages.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

#include "MainWindowText.h"
#include "core/MessageBox.h"

#ifndef VELTO_WEB_SERVER
#define VELTO_WEB_SERVER "https://www.example.org"
#endif

namespace velto {

namespace {

QString& ServerOverride() {
    static QString server;
    return server;
}

}  // namespace

void SetWebServer(const QString& server) { ServerOverride() = server; }

QUrl WebPageUrl(const QString& path) {
    QString server = ServerOverride().isEmpty() ? QStringLiteral(VELTO_WEB_SERVER) : ServerOverride();
    while (server.endsWith('/')) server.chop(1);
    QString tail = path;
    while (tail.startsWith('/')) tail.remove(0, 1);
    return QUrl(server + '/' + tail);
}

QString FindLocalHelp(const QStringList& folders) {
    for (const QString& folder : folders) {
        const QFileInfo file(QDir(folder).filePath(QStringLiteral("help/index.html")));
        if (file.isFile()) return file.absoluteFilePath();
    }
    return {};
}

QStringList HelpFolders() {
    const QString app = QCoreApplication::applicationDirPath();
    return {app, QDir(app).filePath(QStringLiteral("../share/velto"))};
}

namespace {

UrlOpener& Opener() {
    static UrlOpener opener;
    return opener;
}

}  // namespace

void SetUrlOpener(UrlOpener opener) { Opener() = std::move(opener); }

bool ShellOpen(const QUrl& url) { return Opener() ? Opener()(url) : QDesktopServices::openUrl(url); }

bool OpenWebPage(const QUrl& url) {
    if (ShellOpen(url)) return true;
    // A local page is named by its path, which a file manager takes too.
    const QString address = url.isLocalFile() ? url.toLocalFile() : url.toString();
    const QString text =
        Msg("msgNoBrowser", "No web browser could be started to open %s1").replace(QLatin1String("%s1"), address);
    ShowMessageBox(text.toStdString(), mkWarning, mbOK);
    return false;
}

}  // namespace velto
