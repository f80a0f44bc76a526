#include "FormUpdate.h"

#include <QHideEvent>
#include <QLabel>
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
}

void TfrmUpdate::SetStartDelay(int ms) { timer1_->setInterval(ms); }

void TfrmUpdate::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (QWidget* main = parentWidget(); main && !event->spontaneous())
        move(main->frameGeometry().center() - rect().center());
    if (!fetch_) timer1_->start();
}

void TfrmUpdate::hideEvent(QHideEvent* event) {
    // Closed before the answer came: the question is dropped, no box follows.
    timer1_->stop();
    // Still running (the answer's own close comes after it ended).
    delete fetch_;
    QDialog::hideEvent(event);
}

void TfrmUpdate::CheckForUpdate() {
    timer1_->stop();
    if (fetch_) return;
    fetch_ = new TWebFetch(WebPageUrl(kVersionPage),
                           {timeoutMs_, deadlineMs_, kMaxWebPageBytes,
                            QStringLiteral("The version page is larger than a page of the server can be.")},
                           this);
    connect(fetch_, &TWebFetch::finished, this, [this] {
        TWebFetch* fetch = fetch_;
        fetch_ = nullptr;
        fetch->deleteLater();
        answered(*fetch);
    });
}

void TfrmUpdate::answered(const TWebFetch& fetch) {
    const QString failure = fetch.Failure();
    const QString title = failure.isEmpty() ? ExtractHtmlTitle(fetch.Body()) : QString();
    const VersionAnswer answer = JudgeVersionTitle(title);
    if (answer == VersionAnswer::Unknown) {
        // The message's own text names the timeout; any other cause comes
        // first in its place.
        QString text = fetch.TimedOut() ? Msg("msgVersionError", "Failed to check version. - Timed out.")
                                        : Msg("msgVersionFailed", "Failed to check version.");
        if (failure.isEmpty())
            text += QStringLiteral("\nThe version page names no version.");
        else if (!fetch.TimedOut())
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
