#pragma once
// The test web server (web_server.py beside this file) on loopback, serving a
// temporary folder. It is started once per test program and reports its port
// on its first output line; tests wait for that line, never for a time.
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>

#include <cstdlib>
#include <memory>

namespace velto::test {

class LocalWebServer {
public:
    // Null (with the reason in why) when it cannot run here.
    static LocalWebServer* Get(QString* why) {
        static std::unique_ptr<LocalWebServer> server;
        static QString failure;
        if (!server && failure.isEmpty()) {
            auto s = std::make_unique<LocalWebServer>();
            failure = s->start();
            if (failure.isEmpty()) server = std::move(s);
        }
        if (why) *why = failure;
        return server.get();
    }

    ~LocalWebServer() {
        process_.closeWriteChannel();  // the server ends when its input closes
        if (!process_.waitForFinished(5000)) process_.kill();
    }

    // The server's address; mode is one of the answers web_server.py lists, or empty for files. Over https (trusting
    // Certificate()) it is empty when openssl made no certificate.
    QString Base(const QString& mode = {}, bool https = false) const {
        if (https && !QFile::exists(Certificate())) return {};
        return QStringLiteral("http%1://127.0.0.1:%2").arg(https ? "s" : "").arg(port_) +
               (mode.isEmpty() ? QString() : '/' + mode);
    }
    QString Certificate() const { return keys_.filePath(QStringLiteral("cert.pem")); }
    // Writes a file the server then serves at path.
    void Put(const QString& path, const QByteArray& bytes) const {
        const QString full = root_.filePath(path);
        QDir().mkpath(QFileInfo(full).absolutePath());
        QFile f(full);
        if (f.open(QIODevice::WriteOnly)) f.write(bytes);
    }

    // The lasting answers' reports ("OPEN <path>", "CLOSED <path>"): Saw() waits up to
    // ms for one and keeps it, reading the output itself (no event loop needed).
    void Forget() { Saw({}, 0); events_.clear(); }
    bool Saw(const QString& event, int ms) {
        const QDeadlineTimer deadline(ms);
        do {
            while (process_.canReadLine()) events_ << QString::fromUtf8(process_.readLine().trimmed());
        } while (!events_.contains(event) && process_.waitForReadyRead(static_cast<int>(deadline.remainingTime())));
        return events_.contains(event);
    }

    QString start() {
        const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
        if (python.isEmpty()) return QStringLiteral("python3 is not installed");
        if (!root_.isValid()) return QStringLiteral("no temporary folder");
        QStringList arguments{QStringLiteral(VELTO_SOURCE_DIR "/tests/shell/web_server.py"), root_.path()};
        // https too, with a self-signed certificate for 127.0.0.1 made for this run.
        const QString key = keys_.filePath(QStringLiteral("key.pem"));
        if (std::system(qPrintable("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2"
                                   " -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 -keyout '" + key +
                                   "' -out '" + Certificate() + "' 2>/dev/null")) == 0)
            arguments << Certificate() << key;
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(python, arguments);
        if (!process_.waitForStarted(10000)) return QStringLiteral("python3 did not start");
        while (!process_.canReadLine())
            if (!process_.waitForReadyRead(10000)) return QStringLiteral("the web server reported no port");
        const QByteArray line = process_.readLine().trimmed();
        if (!line.startsWith("PORT ")) return QStringLiteral("the web server said: ") + QString::fromUtf8(line);
        port_ = line.mid(5).toInt();
        return {};
    }

private:
    QStringList events_;
    QTemporaryDir root_, keys_;  // served; not served
    QProcess process_;
    int port_ = 0;
};

}  // namespace velto::test
