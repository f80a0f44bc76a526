#pragma once
// The one way the program asks the web server for something (the version
// page, the language list and its pages, a language file): a GET that ends
// after a silence without a byte, after an overall deadline however the bytes
// come, as soon as more bytes arrive than the answer may have (counted as they
// are read, headers and the body's framing too), and as soon as the status
// says the answer is of no use. It runs on a thread of its own, and its
// connection is closed before its window hears of the end: a server that never
// stops sending is left at once, whatever the window does next (a message box
// waits for the user).
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>

#include <memory>
#include <thread>

#include "platform/ReadLimits.h"

namespace velto {

// The most bytes of a page read from the web server.
inline constexpr qint64 kMaxWebPageBytes = static_cast<qint64>(ReadLimits{}.webPageBytes);
// The most bytes of the header lines of an answer, its redirects' included:
// servers send a few kilobytes; one that never ends them is refused here.
inline constexpr qint64 kMaxWebHeaderBytes = 256 * 1024;
// The longest any request may take: a server that sends a byte now and then
// never lets the silence timeout fire.
inline constexpr int kWebDeadlineMs = 60000;

struct WebFetchLimits {
    int silenceMs = 30000;             // longest wait without a byte
    int deadlineMs = kWebDeadlineMs;   // longest the whole request may take
    qint64 maxBytes = kMaxWebPageBytes;
    QString tooLarge;                  // the failure when more bytes come
};

// https trusts the system's certificates, or only those of this file when
// one is named (tests name their own server's); requests started later use it.
void SetWebCertificates(const QString& file);

// One request, started on construction. Its owner (a window) ends it by
// deleting it or by Cancel(): the connection is closed before either returns
// and finished() never comes.
class TWebFetch : public QObject {
    Q_OBJECT
public:
    TWebFetch(const QUrl& url, const WebFetchLimits& limits, QObject* owner);
    ~TWebFetch() override;

    bool Running() const { return running_; }
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
    // The request ended and its connection is closed.
    void finished();

private:
    struct Transfer;  // what the request's thread shares with this object
    void ended();     // on this object's thread, after the request's thread ended

    std::shared_ptr<Transfer> transfer_;
    std::thread worker_;
    bool running_ = true;
    QByteArray body_;
    QString failure_;
    QUrl url_;
    bool timedOut_ = false;
};

}  // namespace velto
