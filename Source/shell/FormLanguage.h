#pragma once
// The "Download Languages" window: the maker's list of language files shown
// in a text browser over pages fetched from the web server, and the download
// of a clicked ".lng" file into the user's language folder, keeping the newer
// of two versions. A page that cannot be loaded gives way to the local error
// page.
#include <QDialog>
#include <QPointer>
#include <QUrl>

#include <functional>

#include "WebFetch.h"

class QLabel;
class QPushButton;
class QTextBrowser;

namespace velto {

class TfrmMain;

// One download of a language file, held in memory (it is small) until it is
// installed: a download that ends early, is refused or is killed leaves
// nothing on disk. It counts only with HTTP status 200 and a body of at most
// kMaxLanguageFileBytes that is a language file (LanguageFileProblem).
// Deleting it ends the request without a signal.
class TLanguageDownload : public QObject {
    Q_OBJECT
public:
    TLanguageDownload(const QUrl& url, int timeoutMs, int deadlineMs, QObject* parent = nullptr);
    bool Running() const { return fetch_->Running(); }
    // After finished(true): the whole file.
    const QByteArray& Body() const { return fetch_->Body(); }
    // After finished(false): why.
    QString Reason() const { return reason_; }

signals:
    void finished(bool ok);

private:
    void done();

    TWebFetch* fetch_ = nullptr;
    QString reason_;
};

class TfrmLanguage : public QDialog {
    Q_OBJECT
public:
    explicit TfrmLanguage(QWidget* parent);

    // What the browser shows.
    enum class Showing { Nothing, Loading, Page, ErrorPage };
    Showing State() const { return state_; }
    QUrl CurrentUrl() const { return current_; }
    QTextBrowser* Browser() const { return browser_; }

    // Shows url in the browser, or downloads it when it is a language file.
    void Navigate(const QUrl& url);
    // The local error page (default: "html/Error.html" beside the program).
    void SetErrorPage(const QString& path) { errorPage_ = path; }
    // Longest wait for the server without a byte (default 30 s).
    void SetTransferTimeout(int ms) { timeoutMs_ = ms; }
    // Longest a page or a download may take (default kWebDeadlineMs).
    void SetDeadline(int ms) { deadlineMs_ = ms; }
    // Why the last page could not be shown (the error page stands in).
    QString Failure() const { return failure_; }
    // Where downloads go (default: the last of the main window's language
    // folders, the user's own).
    void SetDownloadFolder(const QString& folder) { downloadFolder_ = folder; }

signals:
    // A page, the error page or a download came to its end.
    void navigated();

protected:
    void showEvent(QShowEvent* event) override;
    // Ends the page and the download still running: a closed window asks
    // the server nothing and hears nothing more.
    void hideEvent(QHideEvent* event) override;

private:
    void pageArrived(TWebFetch* page);
    void showErrorPage(const QUrl& failed);
    void download(const QUrl& url);
    void downloadFinished(TLanguageDownload* job, const QString& name, bool ok);
    void finishDownload();
    QString downloadFolder() const;
    QString errorPage() const;
    TfrmMain* mainWindow() const;

    QWidget* pnlHeader_ = nullptr;
    QLabel* lblCaption_ = nullptr;
    QLabel* lblHelp_ = nullptr;
    QTextBrowser* browser_ = nullptr;
    QPushButton* btnClose_ = nullptr;
    QPointer<TWebFetch> page_;
    QPointer<TLanguageDownload> downloading_;
    QUrl current_;
    QString errorPage_;
    QString downloadFolder_;
    QString failure_;
    Showing state_ = Showing::Nothing;
    int timeoutMs_ = 30000;
    int deadlineMs_ = kWebDeadlineMs;
};

}  // namespace velto
