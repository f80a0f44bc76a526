#include "FormLanguage.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "DownloadRules.h"
#include "MainWindow.h"
#include "MainWindowText.h"
#include "Options.h"
#include "WebPages.h"
#include "core/Language.h"
#include "core/MessageBox.h"
#include "platform/FileIO.h"

namespace velto {

namespace {

void ShowError(const QString& reason) {
    QString text = Msg("msgDownloadError", "Error downloading language file!");
    if (!reason.isEmpty()) text += QLatin1Char('\n') + reason;
    ShowMessageBox(text.toStdString(), mkError, mbOK);
}

const char kFallbackErrorPage[] =
    "<html><head><title>Error</title></head><body><h3>The page could not be loaded.</h3>"
    "<p>Check the connection to the internet and open this window again.</p></body></html>";

}  // namespace

// ---------------------------------------------------------------- the download

TLanguageDownload::TLanguageDownload(const QUrl& url, int timeoutMs, int deadlineMs, QObject* parent)
    : QObject(parent) {
    fetch_ = new TWebFetch(url,
                           {timeoutMs, deadlineMs, kMaxLanguageFileBytes,
                            QStringLiteral("The file is larger than a language file can be.")},
                           this);
    connect(fetch_, &TWebFetch::finished, this, &TLanguageDownload::done);
}

void TLanguageDownload::done() {
    reason_ = fetch_->Failure();
    if (reason_.isEmpty() && fetch_->Body().isEmpty()) reason_ = QStringLiteral("The server sent an empty file.");
    // An error page or anything else served under the name is not installed.
    if (reason_.isEmpty()) reason_ = LanguageFileProblem(fetch_->Body());
    emit finished(reason_.isEmpty());
}

// ---------------------------------------------------------------- the window

TfrmLanguage::TfrmLanguage(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Download Languages"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    resize(560, 440);

    // The header stays white whatever the style paints behind dialogs.
    pnlHeader_ = new QWidget(this);
    pnlHeader_->setObjectName(QStringLiteral("pnlHeader"));
    pnlHeader_->setAutoFillBackground(true);
    QPalette white = pnlHeader_->palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);
    pnlHeader_->setPalette(white);
    lblCaption_ = new QLabel(QStringLiteral("Download Languages"), pnlHeader_);
    lblCaption_->setObjectName(QStringLiteral("lblCaption"));
    QFont bold = lblCaption_->font();
    bold.setBold(true);
    lblCaption_->setFont(bold);
    lblHelp_ = new QLabel(QStringLiteral("Download additional language files"), pnlHeader_);
    lblHelp_->setObjectName(QStringLiteral("lblHelp"));
    auto* header = new QVBoxLayout(pnlHeader_);
    header->addWidget(lblCaption_);
    header->addWidget(lblHelp_);

    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("WebBrowser1"));
    browser_->setOpenLinks(false);
    connect(browser_, &QTextBrowser::anchorClicked, this, [this](const QUrl& link) {
        if (link.isRelative() && link.path().isEmpty() && link.hasFragment()) {
            browser_->scrollToAnchor(link.fragment());
            return;
        }
        Navigate(current_.resolved(link));
    });

    btnClose_ = new QPushButton(QStringLiteral("Close"), this);
    btnClose_->setObjectName(QStringLiteral("btnClose"));
    connect(btnClose_, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnClose_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 8);
    layout->addWidget(pnlHeader_);
    auto* body = new QVBoxLayout;
    body->setContentsMargins(8, 0, 8, 0);
    body->addWidget(browser_, 1);
    body->addLayout(buttons);
    layout->addLayout(body, 1);
}

void TfrmLanguage::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (QWidget* main = parentWidget(); main && !event->spontaneous()) {
        const QRect r = main->frameGeometry();
        move(r.center() - rect().center());
    }
    Navigate(WebPageUrl(kLanguagesPage));
}

void TfrmLanguage::hideEvent(QHideEvent* event) {
    // Only what still runs is deleted here, so none is inside its own signal.
    if ((page_ && page_->Running()) || (downloading_ && downloading_->Running())) state_ = Showing::Nothing;
    if (page_ && page_->Running()) delete page_;
    if (downloading_ && downloading_->Running()) delete downloading_;
    QDialog::hideEvent(event);
}

TfrmMain* TfrmLanguage::mainWindow() const { return qobject_cast<TfrmMain*>(parentWidget()); }

void TfrmLanguage::Navigate(const QUrl& url) {
    if (IsLanguageFileLink(url)) return download(url);
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https") && scheme != QLatin1String("file")) {
        // mailto: and the like belong to the desktop's programs.
        ShellOpen(url);
        return;
    }
    if (page_) {
        page_->Cancel();
        page_->deleteLater();
    }
    state_ = Showing::Loading;
    page_ = new TWebFetch(url,
                          {timeoutMs_, deadlineMs_, kMaxWebPageBytes,
                           QStringLiteral("The page is larger than a page of the server can be.")},
                          this);
    connect(page_, &TWebFetch::finished, this, [this, page = page_.data()] {
        page->deleteLater();
        pageArrived(page);
    });
}

void TfrmLanguage::pageArrived(TWebFetch* page) {
    failure_ = page->Failure();
    if (!failure_.isEmpty()) return showErrorPage(page->Url());
    browser_->setHtml(DecodeHtml(page->Body()));
    current_ = page->Url();
    state_ = Showing::Page;
    emit navigated();
}

QString TfrmLanguage::errorPage() const {
    if (!errorPage_.isEmpty()) return errorPage_;
    for (const QString& folder : HelpFolders()) {
        const QFileInfo page(QDir(folder).filePath(QStringLiteral("html/Error.html")));
        if (page.isFile()) return page.absoluteFilePath();
    }
    return {};
}

void TfrmLanguage::showErrorPage(const QUrl& failed) {
    const QString path = errorPage();
    const QUrl local = QUrl::fromLocalFile(path);
    std::vector<std::uint8_t> page;
    // The error page itself failing ends here, with the built-in text.
    if (!path.isEmpty() && failed != local && ReadWholeFile(path.toStdString(), page)) {
        browser_->setSearchPaths({QFileInfo(path).absolutePath()});
        browser_->setHtml(DecodeHtml(QByteArray(reinterpret_cast<const char*>(page.data()), static_cast<qsizetype>(page.size()))));
    } else {
        browser_->setHtml(QString::fromLatin1(kFallbackErrorPage));
    }
    current_ = local;
    state_ = Showing::ErrorPage;
    emit navigated();
}

QString TfrmLanguage::downloadFolder() const {
    if (!downloadFolder_.isEmpty()) return downloadFolder_;
    if (TfrmMain* main = mainWindow(); main && !main->LanguageFolders().isEmpty())
        return main->LanguageFolders().last();
    return QString::fromStdString(UserLanguageFolder());
}

void TfrmLanguage::download(const QUrl& url) {
    const QString name = LanguageFileNameFromUrl(url);
    // The name becomes a file of ours: nothing but a plain name is taken.
    if (!IsPlainLanguageFileName(name)) {
        ShowError(QStringLiteral("\"%1\" is not the name of a language file.").arg(name));
        return finishDownload();
    }
    const QString folder = downloadFolder();
    if (folder.isEmpty() || !QDir().mkpath(folder)) {
        ShowError(QStringLiteral("The folder \"%1\" cannot be created.").arg(folder));
        return finishDownload();
    }
    if (downloading_) return;  // one at a time
    state_ = Showing::Loading;
    auto* job = new TLanguageDownload(url, timeoutMs_, deadlineMs_, this);
    downloading_ = job;
    connect(job, &TLanguageDownload::finished, this, [this, job, name](bool ok) {
        job->deleteLater();
        downloadFinished(job, name, ok);
    });
}

void TfrmLanguage::downloadFinished(TLanguageDownload* job, const QString& name, bool ok) {
    if (!ok) {
        ShowError(job->Reason());
        return finishDownload();
    }
    const QString base = name.chopped(4);
    const QString folder = downloadFolder();
    std::vector<std::string> folders;
    if (TfrmMain* main = mainWindow())
        for (const QString& f : main->LanguageFolders()) folders.push_back(f.toStdString());
    folders.push_back(folder.toStdString());
    const QString installed = QString::fromStdString(FindLanguageFile(folders, base.toStdString()));
    QString reason;
    switch (InstallLanguageFile(installed, job->Body(), QDir(folder).filePath(name), &reason)) {
        case InstallResult::Failed: ShowError(reason); break;
        case InstallResult::NotNewer:
            ShowMessageBox(Msg("msgNoUpdate", "You already have the latest version of the language file.").toStdString(),
                           mkInformation, mbOK);
            break;
        case InstallResult::Installed: {
            const QString text =
                Msg("msgDownloadSuccess", "Download successful. Change language to %s1 ?").replace(QLatin1String("%s1"), base);
            if (ShowMessageBox(text.toStdString(), mkConfirm, mbYes | mbNo) == idYes)
                Options().Language = base.toStdString();
            // Listed either way: a No today leaves it one click away.
            if (TfrmMain* main = mainWindow()) main->FillLanguageMenu();
            break;
        }
    }
    finishDownload();
}

void TfrmLanguage::finishDownload() {
    state_ = Showing::Nothing;
    emit navigated();
    close();
}

}  // namespace velto
