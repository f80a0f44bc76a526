#include "WebFetch.h"

#include <curl/curl.h>

#include <QFile>
#include <QMetaObject>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/FileIO.h"

namespace velto {

namespace {

using WebClock = std::chrono::steady_clock;

QString HeadersTooLarge() { return QStringLiteral("The server's answer has headers larger than an answer may have."); }

// The wording the program's messages have always had for a refused status.
QString StatusFailure(long status, const QByteArray& reason, const QUrl& address) {
    if (status >= 400)
        return QStringLiteral("Error transferring %1 - server replied: %2").arg(address.toString(), QString::fromLatin1(reason));
    return QStringLiteral("HTTP status %1").arg(status);
}

// What the callbacks of one transfer work on; they run inside
// curl_multi_perform on the request's thread.
struct WebExchange {
    CURL* easy = nullptr;
    const WebFetchLimits* limits = nullptr;
    QByteArray* body = nullptr;
    qint64 headerBytes = 0;
    // Every byte read from the connection, headers and the body's framing
    // included: the page limit's count, which the page's own bytes cannot give
    // when the framing (chunk-size lines, their extensions) never ends.
    qint64 received = 0;
    QByteArray reason;  // of the last status line
    // Header bytes count when their line is whole: a line that never ends is
    // silence, and so is one that trickles.
    WebClock::time_point lastByte;
    bool refused = false;
    QString refusal;
};

// Ends the transfer: a callback's return other than its byte count is an error.
size_t RefuseTransfer(WebExchange& x, const QString& why) {
    x.refused = true;
    x.refusal = why;
    return 0;
}

size_t OnHeaderLine(char* data, size_t size, size_t count, void* user) {
    auto& x = *static_cast<WebExchange*>(user);
    const size_t n = size * count;
    x.lastByte = WebClock::now();
    x.headerBytes += static_cast<qint64>(n);
    if (x.headerBytes > kMaxWebHeaderBytes) return RefuseTransfer(x, HeadersTooLarge());
    const QByteArray line = QByteArray(data, static_cast<qsizetype>(n)).trimmed();
    if (line.startsWith("HTTP/")) {
        // "HTTP/1.1 404 Not Found": the reason follows the second space.
        const qsizetype code = line.indexOf(' ');
        const qsizetype reason = code < 0 ? -1 : line.indexOf(' ', code + 1);
        x.reason = reason < 0 ? QByteArray() : line.mid(reason + 1);
    } else if (line.isEmpty()) {
        // The end of an answer's headers: only the page, or a step on the way
        // to it, is worth its body; an error page may never end.
        long status = 0;
        char* address = nullptr;
        curl_easy_getinfo(x.easy, CURLINFO_RESPONSE_CODE, &status);
        curl_easy_getinfo(x.easy, CURLINFO_EFFECTIVE_URL, &address);
        if (status != 200 && status / 100 != 1 && status / 100 != 3)
            return RefuseTransfer(x, StatusFailure(status, x.reason, QUrl::fromEncoded(address ? address : "")));
    }
    return n;
}

// What an answer may bring in all: its page, and around it as much as its
// headers may have (a page at its limit still has its framing).
qint64 WireLimit(const WebFetchLimits& limits) { return limits.maxBytes + kMaxWebHeaderBytes; }

// Sees the bytes as they are read, before the framing is taken off; curl
// ignores its return, so the count is acted on by OnProgress.
int OnWireBytes(CURL*, curl_infotype type, char*, size_t size, void* user) {
    if (type == CURLINFO_HEADER_IN || type == CURLINFO_DATA_IN)
        static_cast<WebExchange*>(user)->received += static_cast<qint64>(size);
    return 0;
}

// Called after each pass of reads (the count passes the limit by one pass at
// most); a non-zero return ends the transfer.
int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto& x = *static_cast<WebExchange*>(user);
    if (x.received <= WireLimit(*x.limits)) return 0;
    RefuseTransfer(x, x.limits->tooLarge);
    return 1;
}

size_t OnBodyBytes(char* data, size_t size, size_t count, void* user) {
    auto& x = *static_cast<WebExchange*>(user);
    const auto n = static_cast<qint64>(size * count);
    x.lastByte = WebClock::now();
    const qint64 needed = x.body->size() + n;
    if (needed > x.limits->maxBytes) return RefuseTransfer(x, x.limits->tooLarge);
    // Grown in steps that never pass the limit: no more than the page is held.
    if (needed > x.body->capacity())
        x.body->reserve(std::min(x.limits->maxBytes, std::max(needed, 2 * x.body->capacity())));
    x.body->append(data, n);
    return static_cast<size_t>(n);
}

QString& CertificatesFile() {
    static QString file;
    return file;
}

}  // namespace

void SetWebCertificates(const QString& file) { CertificatesFile() = file; }

struct TWebFetch::Transfer {
    QUrl url;  // asked; after the end, answered (redirects followed)
    WebFetchLimits limits;
    QByteArray certificates;  // a file's name, or empty for the system's
    std::atomic<bool> cancelled{false};
    std::mutex lock;              // guards owner and multi
    TWebFetch* owner = nullptr;   // null once nobody listens
    CURLM* multi = nullptr;       // while a transfer runs, to wake it
    // The result, complete before the owner is told.
    QByteArray body;
    QString failure;
    bool timedOut = false;

    void Run() {
        if (url.isLocalFile())
            ReadLocal();
        else
            Exchange();
        const std::lock_guard hold(lock);
        if (owner && !cancelled) QMetaObject::invokeMethod(owner, &TWebFetch::ended, Qt::QueuedConnection);
    }

    void ReadLocal() {
        const QString path = url.toLocalFile();
        std::vector<std::uint8_t> bytes;
        FileError error;
        if (ReadWholeFile(path.toStdString(), bytes, static_cast<std::uint64_t>(limits.maxBytes), &error))
            body = QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
        else if (error == FileError::TooLarge)
            failure = limits.tooLarge;
        else
            failure = QStringLiteral("Error opening %1: %2").arg(path, QString::fromStdString(FileErrorText(error)));
    }

    void Exchange() {
        WebExchange x;
        x.limits = &limits;
        x.body = &body;
        x.lastByte = WebClock::now();
        const WebClock::time_point deadline = x.lastByte + std::chrono::milliseconds(limits.deadlineMs);
        const std::chrono::milliseconds silence(limits.silenceMs);
        CURLM* transfers = curl_multi_init();
        x.easy = curl_easy_init();
        if (!transfers || !x.easy) {
            failure = QString::fromUtf8(curl_easy_strerror(CURLE_OUT_OF_MEMORY));
            curl_easy_cleanup(x.easy);
            curl_multi_cleanup(transfers);
            return;
        }
        char error[CURL_ERROR_SIZE] = {};
        const QByteArray address = url.toEncoded();
        CURL* easy = x.easy;
        curl_easy_setopt(easy, CURLOPT_URL, address.constData());
        curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
        // Redirects are followed, never from https down to plain http.
        curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR,
                         url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 ? "https" : "http,https");
        curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 50L);
        curl_easy_setopt(easy, CURLOPT_USERAGENT, "Velto");
        curl_easy_setopt(easy, CURLOPT_PROXY, "");  // none, whatever the environment names
        // HTTP/1.1 passes every byte it reads to the count; HTTP/2 frames would not.
        curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
        if (!certificates.isEmpty()) curl_easy_setopt(easy, CURLOPT_CAINFO, certificates.constData());
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
        // Each connection is closed at the end of its transfer, and a name
        // still being looked up is left to its thread instead of waited for.
        curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
        curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);
        curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBytes));
        curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, error);
        curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, OnHeaderLine);
        curl_easy_setopt(easy, CURLOPT_HEADERDATA, &x);
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, OnBodyBytes);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, &x);
        curl_easy_setopt(easy, CURLOPT_VERBOSE, 1L);  // what feeds OnWireBytes
        curl_easy_setopt(easy, CURLOPT_DEBUGFUNCTION, OnWireBytes);
        curl_easy_setopt(easy, CURLOPT_DEBUGDATA, &x);
        curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, OnProgress);
        curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &x);
        curl_multi_add_handle(transfers, easy);
        {
            const std::lock_guard hold(lock);
            multi = transfers;
        }
        enum class End { None, Done, Cancelled, Expired } end = End::None;
        while (end == End::None) {
            int active = 0;
            curl_multi_perform(transfers, &active);
            const WebClock::time_point now = WebClock::now();
            if (cancelled)
                end = End::Cancelled;
            else if (!active)
                end = End::Done;
            else if (now >= deadline || now - x.lastByte >= silence)
                end = End::Expired;
            else {
                const auto wait = std::chrono::ceil<std::chrono::milliseconds>(std::min(deadline, x.lastByte + silence) - now);
                curl_multi_poll(transfers, nullptr, 0, static_cast<int>(std::clamp<std::int64_t>(wait.count(), 1, 1000)), nullptr);
            }
        }
        CURLcode result = CURLE_OK;
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(transfers, &queued))
            if (message->msg == CURLMSG_DONE) result = message->data.result;
        long status = 0;
        char* answered = nullptr;
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
        if (curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &answered) == CURLE_OK && answered)
            url = QUrl::fromEncoded(answered);
        {
            const std::lock_guard hold(lock);
            multi = nullptr;
        }
        // Every connection of the request is closed here, before anyone hears of its end.
        curl_multi_remove_handle(transfers, easy);
        curl_easy_cleanup(easy);
        curl_multi_cleanup(transfers);

        if (end == End::Cancelled) return;
        if (end == End::Expired || result == CURLE_OPERATION_TIMEDOUT) {
            timedOut = true;
            failure = QStringLiteral("Timed out.");
        } else if (x.refused) {
            failure = x.refusal;
        } else if (result == CURLE_FILESIZE_EXCEEDED) {
            failure = limits.tooLarge;  // the length announced
        } else if (result == CURLE_OUT_OF_MEMORY || std::strcmp(error, "Out of memory in chunked-encoding") == 0) {
            failure = HeadersTooLarge();  // a header or trailer line longer than curl's buffer
        } else if (result != CURLE_OK) {
            failure = QString::fromUtf8(*error ? error : curl_easy_strerror(result));
        } else if (status != 200) {
            failure = StatusFailure(status, x.reason, url);  // a redirect without a place to go
        }
    }
};

TWebFetch::TWebFetch(const QUrl& url, const WebFetchLimits& limits, QObject* owner)
    : QObject(owner), transfer_(std::make_shared<Transfer>()), url_(url) {
    // Before any thread of curl's: its global set-up is not safe beside them.
    static std::once_flag curlReady;
    std::call_once(curlReady, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    transfer_->url = url;
    transfer_->limits = limits;
    transfer_->certificates = QFile::encodeName(CertificatesFile());
    transfer_->owner = this;
    worker_ = std::thread([transfer = transfer_] { transfer->Run(); });
}

TWebFetch::~TWebFetch() { Cancel(); }

void TWebFetch::Cancel() {
    running_ = false;
    if (!worker_.joinable()) return;
    {
        const std::lock_guard hold(transfer_->lock);
        transfer_->owner = nullptr;
        transfer_->cancelled = true;
        if (transfer_->multi) curl_multi_wakeup(transfer_->multi);
    }
    // Nothing the thread does waits longer than a poll the wake-up ends, so
    // this returns at once, with the connection closed.
    worker_.join();
}

void TWebFetch::ended() {
    if (!running_) return;  // cancelled after the end was posted
    running_ = false;
    worker_.join();
    url_ = transfer_->url;
    failure_ = transfer_->failure;
    timedOut_ = transfer_->timedOut;
    if (failure_.isEmpty()) body_ = std::move(transfer_->body);
    emit finished();
}

}  // namespace velto
