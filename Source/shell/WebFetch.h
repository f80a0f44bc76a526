#pragma once
// The one way the program asks the web server for something (the version
// page, the language list and its pages, a language file): a GET that ends
// after a silence without a byte, after an overall deadline however the bytes
// come, and as soon as more bytes arrive than the answer may have, counted as
// they are received whether or not the server announced a length.
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>

#include "platform/ReadLimits.h"

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

namespace velto {

// The most bytes of a page read from the web server.
inline constexpr qint64 kMaxWebPageBytes = static_cast<qint64>(ReadLimits{}.webPageBytes);
// The longest any request may take: a server that sends a byte now and then
// never lets the silence timeout fire.
inline constexpr int kWebDeadlineMs = 60000;

// The one network access of the program, shared by its windows (one
// connection cache, one cookie jar); made on first use on the GUI thread and
// kept by the application object.
QNetworkAccessManager* WebNetwork();

struct WebFetchLimits {
    int silenceMs = 30000;             // longest wait without a byte
    int deadlineMs = kWebDeadlineMs;   // longest the whole request may take
    qint64 maxBytes = kMaxWebPageBytes;
    QString tooLarge;                  // the failure when more bytes come
};

// One request, started on construction. Its owner (a window) ends it by
// deleting it or by Cancel(): the connection is closed at once and
// finished() never comes.
class TWebFetch : public QObject {
    Q_OBJECT
public:
    TWebFetch(const QUrl& url, const WebFetchLimits& limits, QObject* owner);
    ~TWebFetch() override;

    bool Running() const { return reply_ != nullptr; }
    void Cancel();

    // After finished(): the whole answer when Failure() is empty.
    const QByteArray& Body() const { return body_; }
    // Why there is no usable answer: the limit passed, "Timed out." (the
    // silence or the deadline), the network's error (a host that cannot be
    // found, a refused redirect...), or an HTTP status other than 200.
    // Answers without a status (file://) count by their error alone.
    QString Failure() const { return failure_; }
    bool TimedOut() const { return timedOut_; }
    // The answer's address, after redirects.
    QUrl Url() const { return url_; }

signals:
    void finished();

private:
    void take();
    void refuse(const QString& why);
    void end();

    QNetworkReply* reply_ = nullptr;  // a child; null once ended
    QTimer* deadline_ = nullptr;
    qint64 maxBytes_ = 0;
    QString tooLarge_;
    QByteArray body_;
    QString failure_;
    QUrl url_;
    bool timedOut_ = false;
};

}  // namespace velto
