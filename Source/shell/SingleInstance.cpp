#include "shell/SingleInstance.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <QWidget>
#include <QtEndian>
#include <memory>
#include <stdexcept>

namespace velto {
namespace {

TInstanceHandler* g_handler = nullptr;

constexpr int kConnectTimeoutMs = 2000;
// The sender waits this long for the running instance to handle the names.
constexpr int kAckTimeoutMs = 30000;
// A connection that has not delivered its names by then is dropped.
constexpr int kReceiveTimeoutMs = 5000;
// sun_path holds 108 bytes with the terminating zero.
constexpr int kMaxSocketPath = 107;
constexpr char kAck = '\x01';

// A folder only this user can enter: a real folder (not a link), owned by
// the user, with no rights for group or others.
bool privateFolder(const QByteArray& path) {
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           (st.st_mode & 077) == 0;
}

// "." segments and doubled separators are dropped; ".." stays, because with
// symbolic links it cannot be resolved by text alone.
QString tidyAbsolute(const QString& path) {
    const QStringList parts = path.split('/', Qt::SkipEmptyParts);
    QStringList kept;
    for (const QString& p : parts)
        if (p != ".") kept << p;
    return "/" + kept.join('/');
}

}  // namespace

TInstanceHandler::TInstanceHandler(QWidget* owner) : QObject(owner) {
    if (owner && !owner->isWindow()) throw std::runtime_error("The component is not on the main form!");
    if (g_handler) throw std::runtime_error("Only one instance of this component can be used per application!");
    g_handler = this;
    mainWindow_ = owner;
    setObjectName("InstanceHandler");
}

TInstanceHandler::~TInstanceHandler() {
    if (server_) server_->close();  // removes the socket file
    if (g_handler == this) g_handler = nullptr;
}

void TInstanceHandler::SetMainWindow(QWidget* window) { mainWindow_ = window; }

bool TInstanceHandler::IsServing() const { return server_ && server_->isListening(); }

QString TInstanceHandler::RuntimeFolder() {
    const QByteArray xdg = qgetenv("XDG_RUNTIME_DIR");
    if (xdg.startsWith('/') && privateFolder(xdg) && xdg.size() < 64) return QString::fromLocal8Bit(xdg);
    // No usable runtime folder: a private folder of our own in the temporary
    // folder (the short system one when TMPDIR is too long for a socket path).
    const QString uid = QString::number(::getuid());
    for (QString base : {QDir::tempPath(), QStringLiteral("/tmp")}) {
        const QString dir = base + "/velto-" + uid;
        if (dir.toLocal8Bit().size() >= 64) continue;
        const QByteArray d = dir.toLocal8Bit();
        ::mkdir(d.constData(), 0700);
        if (privateFolder(d)) return dir;
    }
    return {};
}

QString TInstanceHandler::DisplayName() {
    QString x = qEnvironmentVariable("DISPLAY");
    // "host:display.screen": the screens of one display are one place.
    const qsizetype colon = x.lastIndexOf(':');
    const qsizetype dot = x.indexOf('.', colon + 1);
    if (colon >= 0 && dot > colon) x.truncate(dot);
    return "x11=" + x + "\nwayland=" + qEnvironmentVariable("WAYLAND_DISPLAY");
}

QString TInstanceHandler::ServerNameFor(const QString& executablePath, const QString& display) {
    const QString folder = RuntimeFolder();
    if (folder.isEmpty()) return {};
    const QByteArray key = executablePath.toUtf8() + '\0' + display.toUtf8();
    const QByteArray hash = QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex();
    return folder + "/velto-" + QString::fromLatin1(hash.left(16));
}

QString TInstanceHandler::ServerName() {
    const QString overrideName = qEnvironmentVariable("VELTO_INSTANCE_NAME");
    if (!overrideName.isEmpty()) {
        if (QDir::isAbsolutePath(overrideName)) return overrideName;
        const QString folder = RuntimeFolder();
        return folder.isEmpty() ? QString() : folder + "/" + overrideName;
    }
    QString exe = QCoreApplication::applicationFilePath();
    const QString canonical = QFileInfo(exe).canonicalFilePath();
    if (!canonical.isEmpty()) exe = canonical;
    return ServerNameFor(exe);
}

QByteArray TInstanceHandler::EncodeParams(const QStringList& params, const QString& base) {
    QByteArray out;
    const QDir dir(base);
    for (const QString& p : params) {
        QString name = p;
        if (!name.isEmpty()) name = tidyAbsolute(QDir::isAbsolutePath(name) ? name : dir.absoluteFilePath(name));
        out += name.toUtf8();
        out += "\r\n";
    }
    return out;
}

QStringList TInstanceHandler::DecodeParams(const QByteArray& payload) {
    QStringList out;
    if (payload.isEmpty()) return out;
    QList<QByteArray> lines = payload.split('\n');
    if (payload.endsWith('\n')) lines.removeLast();
    for (QByteArray line : lines) {
        if (line.endsWith('\r')) line.chop(1);
        // A NUL would cut the name short where it is used as a C string.
        if (line.contains('\0')) continue;
        out << QString::fromUtf8(line);
    }
    return out;
}

bool TInstanceHandler::CheckInstance(const QStringList& params) {
    if (IsServing()) return true;  // checked before: this is the first instance
    const QString name = ServerName();
    // Without a private place for the socket there is no safe meeting point:
    // every start runs on its own.
    if (name.isEmpty() || name.toLocal8Bit().size() > kMaxSocketPath) return true;
    if (listen(name)) return true;
    if (AllowMultippleInstances) return true;
    if (AllowInstanceWithoutParam && params.isEmpty()) return true;
    // One name per line on the wire: a name holding a line break could not
    // be handed over intact, so this start opens the names itself.
    for (const QString& p : params)
        if (p.contains('\r') || p.contains('\n') || p.contains(QChar(0))) return true;
    const QByteArray payload = EncodeParams(params, QDir::currentPath());
    if (payload.size() > kMaxPayload) return true;
    DeniedInstanceParams = DecodeParams(payload);
    return !sendParams(name, payload);
}

bool TInstanceHandler::listen(const QString& name) {
    // No socket options: with them the toolkit binds elsewhere and renames
    // the socket into place, which silently replaces a running instance's
    // socket. The folder is private to the user already.
    auto server = std::make_unique<QLocalServer>(this);
    bool ok = server->listen(name);
    if (!ok && server->serverError() == QAbstractSocket::AddressInUseError) {
        QLocalSocket probe;
        probe.connectToServer(name);
        if (probe.waitForConnected(kConnectTimeoutMs)) {
            probe.abort();
            return false;  // another instance serves this name
        }
        // Left behind by an instance that ended without closing it. Only a
        // socket is removed, never a file that happens to bear the name.
        struct stat st {};
        const QByteArray path = name.toLocal8Bit();
        if (::lstat(path.constData(), &st) == 0 && S_ISSOCK(st.st_mode)) {
            QLocalServer::removeServer(name);
            ok = server->listen(name);
        }
    }
    if (!ok) return false;
    server_ = server.release();
    connect(server_, &QLocalServer::newConnection, this, &TInstanceHandler::onNewConnection);
    return true;
}

bool TInstanceHandler::sendParams(const QString& name, const QByteArray& payload) {
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(kConnectTimeoutMs)) return false;
    QByteArray frame(4, '\0');
    qToBigEndian<qint32>(static_cast<qint32>(payload.size()), frame.data());
    frame += payload;
    socket.write(frame);
    while (socket.bytesToWrite() > 0)
        if (!socket.waitForBytesWritten(kAckTimeoutMs)) return false;
    // Handed over only once the running instance has taken the names;
    // otherwise this start opens them itself.
    if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(kAckTimeoutMs)) return false;
    char ack = 0;
    return socket.getChar(&ack) && ack == kAck;
}

void TInstanceHandler::onNewConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        struct Pending {
            QByteArray data;
            qint64 expected = -1;
            bool done = false;
        };
        auto pending = std::make_shared<Pending>();
        auto* timeout = new QTimer(socket);
        timeout->setSingleShot(true);
        // Also frees a connection that was closed before it was picked up
        // (the probe of a later start), which never reports disconnected.
        connect(timeout, &QTimer::timeout, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        timeout->start(kReceiveTimeoutMs);
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, pending, timeout] {
            if (pending->done) {
                socket->readAll();
                return;
            }
            const qint64 room = 4 + qint64(kMaxPayload) - pending->data.size();
            pending->data += socket->read(room);
            if (pending->expected < 0 && pending->data.size() >= 4) {
                const qint32 n = qFromBigEndian<qint32>(pending->data.constData());
                if (n < 0 || n > kMaxPayload) {
                    socket->abort();
                    return;
                }
                pending->expected = n;
            }
            if (pending->expected < 0 || pending->data.size() < 4 + pending->expected) return;
            pending->done = true;
            timeout->stop();
            const QStringList params = DecodeParams(pending->data.mid(4, pending->expected));
            pending->data.clear();
            // The names are ours now: the later start may end. Answering only
            // after they are opened would keep it waiting on any question
            // opening asks, and past its patience it would open them itself.
            socket->putChar(kAck);
            socket->flush();
            socket->disconnectFromServer();
            handOver(params);
        });
        // Bytes may have arrived before the connection above.
        if (socket->bytesAvailable() > 0) QMetaObject::invokeMethod(socket, "readyRead", Qt::QueuedConnection);
    }
}

void TInstanceHandler::handOver(const QStringList& params) {
    DeniedInstanceParams = params;
    activateMainWindow();
    if (OnInstanceDenied) OnInstanceDenied(this);
    emit instanceDenied(params);
}

void TInstanceHandler::activateMainWindow() {
    QWidget* main = mainWindow_;
    if (!main || !qobject_cast<QApplication*>(QCoreApplication::instance())) return;
    if (main->isMinimized()) main->setWindowState(main->windowState() & ~Qt::WindowMinimized);
    if (!main->isVisible()) main->show();
    main->raise();
    main->activateWindow();
    // Where the window system refuses to hand over the focus, at least ask
    // for the user's attention.
    QApplication::alert(main);
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != main && w->isVisible()) w->raise();
}

}  // namespace velto
