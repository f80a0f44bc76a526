#pragma once
// A second start of the program with file names hands them to the instance
// already running and ends; a second start without names runs as a second
// copy. The instances of one user, one executable and one display meet at a
// local socket in a folder only that user can enter (a start on another
// display, such as a second session of the user, is an instance of its own): the first instance listens there, a
// later start connects, sends its names as absolute paths and waits until the
// running instance has taken them.
//
// Wire format: a 4-byte big-endian length, then that many bytes of UTF-8 text,
// every name followed by CR LF; the receiver answers with one byte once it has
// them all, before it opens them.
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>

class QLocalServer;
class QLocalSocket;
class QWidget;

namespace velto {

class TInstanceHandler : public QObject {
    Q_OBJECT
public:
    // The owner is the main window, or null while the check runs before any
    // window exists (SetMainWindow later). An owner that is not a top-level
    // window throws "The component is not on the main form!"; a second handler
    // in one process throws "Only one instance of this component can be used
    // per application!" (std::runtime_error).
    explicit TInstanceHandler(QWidget* owner = nullptr);
    ~TInstanceHandler() override;

    bool AllowMultippleInstances = false;
    bool AllowInstanceWithoutParam = true;
    // Called in the running instance after a hand-over; it reads
    // DeniedInstanceParams. The signal instanceDenied fires as well.
    std::function<void(TInstanceHandler* sender)> OnInstanceDenied;
    // The names: in the sender the absolute paths sent, in the receiver the
    // names received.
    QStringList DeniedInstanceParams;

    // The window brought to the front after a hand-over.
    void SetMainWindow(QWidget* window);

    // The single-instance test for a start with these command-line
    // parameters. True: this start goes on (first instance, or a second copy).
    // False: the names were handed to the running instance, and the caller
    // ends without showing a window.
    bool CheckInstance(const QStringList& params);
    // True while this instance serves hand-overs.
    bool IsServing() const;

    // The socket path. The environment variable VELTO_INSTANCE_NAME replaces
    // the name (an absolute path is used as it is; tests use it); otherwise
    // the name is derived from the executable's path and the display, so
    // copies in different folders, and starts on different displays, do not
    // see each other.
    static QString ServerName();
    static QString ServerNameFor(const QString& executablePath, const QString& display = DisplayName());
    // The display this process shows its windows on, from DISPLAY (its
    // screen number left out: one display, one instance) and WAYLAND_DISPLAY.
    static QString DisplayName();
    // The per-user folder the socket lives in (created 0700 when needed).
    static QString RuntimeFolder();

    // Payload of a hand-over: each name followed by CR LF. Relative names are
    // made absolute against base first (the running instance has its own
    // working folder).
    static QByteArray EncodeParams(const QStringList& params, const QString& base);
    // The names of a payload (lines ended by CR LF or LF; the last may lack it).
    static QStringList DecodeParams(const QByteArray& payload);
    // Largest payload accepted.
    static constexpr qint32 kMaxPayload = 1 << 20;

signals:
    void instanceDenied(const QStringList& params);

private:
    bool listen(const QString& name);
    bool sendParams(const QString& name, const QByteArray& payload);
    void onNewConnection();
    void handOver(const QStringList& params);
    void activateMainWindow();

    QLocalServer* server_ = nullptr;
    QPointer<QWidget> mainWindow_;
};

}  // namespace velto
