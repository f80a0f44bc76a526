#include "FormUpdate.h"

#include <QHideEvent>
#include <QLabel>
#include <QNetworkReply>
#include <QProgressBar>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

#include "DownloadRules.h"
#include "MainWindowText.h"
#include "WebPages.h"
#include "core/MessageBox.h"

namespace velto {

TfrmUpdate::TfrmUpdate(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Check For Update"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    lblText_ = new QLabel(QStringLiteral("Velto is checking for updates..."), this);
    lblText_->setObjectName(QStringLiteral("lblText"));
    // Range 0..0: the bar runs to and fro for as long as the check takes.
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("InfiniteProgressBar1"));
    progress_->setRange(0, 0);
    progress_->setTextVisible(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(10);
    layout->addWidget(lblText_);
    layout->addWidget(progress_);
    // A dialog border: nothing to resize.
    setFixedSize(std::max(340, sizeHint().width()), sizeHint().height());

    timer1_ = new QTimer(this);
    timer1_->setObjectName(QStringLiteral("Timer1"));
    timer1_->setSingleShot(true);
    timer1_->setInterval(1000);
    connect(timer1_, &QTimer::timeout, this, &TfrmUpdate::CheckForUpdate);
    // A server that sends a byte now and then never lets the transfer
    // timeout fire: the whole check has a limit too, after which it is
    // aborted and counts as timed out.
    deadline_ = new QTimer(this);
    deadline_->setSingleShot(true);
    deadline_->setInterval(60000);
    connect(deadline_, &QTimer::timeout, this, [this] {
        if (reply_) reply_->abort();
    });
    network_ = WebNetwork();
}

void TfrmUpdate::SetStartDelay(int ms) { timer1_->setInterval(ms); }

void TfrmUpdate::SetDeadline(int ms) { deadline_->setInterval(ms); }

void TfrmUpdate::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (QWidget* main = parentWidget(); main && !event->spontaneous())
        move(main->frameGeometry().center() - rect().center());
    if (!reply_) timer1_->start();
}

void TfrmUpdate::hideEvent(QHideEvent* event) {
    // Closed before the answer came: the question is dropped, no box follows.
    timer1_->stop();
    deadline_->stop();
    if (reply_) {
        reply_->disconnect(this);
        reply_->abort();
        reply_->deleteLater();
        reply_ = nullptr;
    }
    QDialog::hideEvent(event);
}

void TfrmUpdate::CheckForUpdate() {
    timer1_->stop();
    if (reply_) return;
    QNetworkReply* reply = network_->get(WebRequest(WebPageUrl(kVersionPage), timeoutMs_));
    LimitReply(reply, kMaxWebPageBytes, QStringLiteral("The version page is larger than a page of the server can be."));
    reply_ = reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        deadline_->stop();
        reply->deleteLater();
        reply_ = nullptr;
        answered(reply);
    });
    deadline_->start();
}

void TfrmUpdate::answered(QNetworkReply* reply) {
    const QString failure = ReplyFailure(reply);
    const QString title = failure.isEmpty() ? ExtractHtmlTitle(reply->readAll()) : QString();
    const VersionAnswer answer = JudgeVersionTitle(title);
    if (answer == VersionAnswer::Unknown) {
        // The server's own text names the timeout: a server that was never
        // reached (a host that cannot be found, a refused connection) says
        // that instead. Any other cause is told below it.
        const bool unreached = reply->error() != QNetworkReply::NoError && !IsTimeout(failure) &&
                               !reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
        QString text = unreached ? Msg("msgVersionFailed", "Failed to check version.")
                                 : Msg("msgVersionError", "Failed to check version. - Timed out.");
        if (failure.isEmpty())
            text += QStringLiteral("\nThe version page names no version.");
        else if (!IsTimeout(failure))
            text += QLatin1Char('\n') + failure;
        ShowMessageBox(text.toStdString(), mkError, mbOK);
    } else if (answer == VersionAnswer::Current) {
        ShowMessageBox(Msg("msgVersionNO", "There are no new updates available.").toStdString(), mkInformation, mbOK);
    } else {
        const QString text = Msg("msgVersionYES", "An update for Velto is available: Velto %s1. Download?")
                                 .replace(QLatin1String("%s1"), title);
        if (ShowMessageBox(text.toStdString(), mkInformation, mbYes | mbNo) == idYes) OpenWebPage(WebPageUrl(kHomePage));
    }
    emit checked();
    close();
}

}  // namespace velto
