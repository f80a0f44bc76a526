#include "WebFetch.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>

namespace velto {

QNetworkAccessManager* WebNetwork() {
    static QPointer<QNetworkAccessManager> network;
    if (!network) network = new QNetworkAccessManager(QCoreApplication::instance());
    return network;
}

TWebFetch::TWebFetch(const QUrl& url, const WebFetchLimits& limits, QObject* owner)
    : QObject(owner), maxBytes_(limits.maxBytes), tooLarge_(limits.tooLarge), url_(url) {
    QNetworkRequest request(url);
    request.setTransferTimeout(limits.silenceMs);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Velto"));
    reply_ = WebNetwork()->get(request);
    reply_->setParent(this);
    // The announced length refuses early; the bytes counted as they come
    // refuse what has none, or lies.
    connect(reply_, &QNetworkReply::metaDataChanged, this, [this] {
        const QVariant length = reply_ ? reply_->header(QNetworkRequest::ContentLengthHeader) : QVariant();
        if (length.isValid() && length.toLongLong() > maxBytes_) refuse(tooLarge_);
    });
    connect(reply_, &QNetworkReply::readyRead, this, &TWebFetch::take);
    connect(reply_, &QNetworkReply::finished, this, &TWebFetch::end);
    deadline_ = new QTimer(this);
    deadline_->setSingleShot(true);
    connect(deadline_, &QTimer::timeout, this, [this] {
        timedOut_ = true;
        if (reply_) reply_->abort();
    });
    deadline_->start(limits.deadlineMs);
}

TWebFetch::~TWebFetch() { Cancel(); }

void TWebFetch::Cancel() {
    if (!reply_) return;
    deadline_->stop();
    QNetworkReply* reply = reply_;
    reply_ = nullptr;
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
}

void TWebFetch::take() {
    if (!reply_ || !failure_.isEmpty()) return;
    if (body_.size() + reply_->bytesAvailable() > maxBytes_) return refuse(tooLarge_);
    body_ += reply_->readAll();
}

void TWebFetch::refuse(const QString& why) {
    if (!failure_.isEmpty()) return;
    failure_ = why;
    if (reply_) reply_->abort();  // its finished() comes at once
}

void TWebFetch::end() {
    if (!reply_) return;
    take();  // the last bytes, which may come with the end
    QNetworkReply* reply = reply_;
    reply_ = nullptr;
    deadline_->stop();
    reply->disconnect(this);
    reply->deleteLater();
    url_ = reply->url();
    if (failure_.isEmpty()) {
        // Only the deadline and the silence timeout abort without a reason:
        // a refusal gave one, and a cancel left no connection to get here.
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (timedOut_ || reply->error() == QNetworkReply::OperationCanceledError) {
            timedOut_ = true;
            failure_ = QStringLiteral("Timed out.");
        } else if (reply->error() != QNetworkReply::NoError) {
            failure_ = reply->errorString();
        } else if (status.isValid() && status.toInt() != 200) {
            failure_ = QStringLiteral("HTTP status %1").arg(status.toInt());
        }
    }
    if (!failure_.isEmpty()) body_.clear();
    emit finished();
}

}  // namespace velto
