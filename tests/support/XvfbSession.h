#pragma once
// A private X server and an xcb application on it, for tests that need a real
// display (clipboard peers, screen grabs). The server picks a free display
// itself and writes its number once it takes connections: test processes run
// in parallel, and choosing a number by looking at /tmp raced.
#include <QApplication>
#include <QByteArray>
#include <QElapsedTimer>
#include <QProcess>
#include <QString>

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include "GuiTestApp.h"

namespace velto::test {

// Starts Xvfb and a QApplication on it. On failure `app` stays null and
// `skip` says why; `deadlineMs` bounds only a server that never answers.
inline void StartXvfbApplication(QProcess*& server, QApplication*& app, const char*& skip, char* programName,
                                 int deadlineMs) {
    server = new QProcess;
    server->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // A test that dies takes its server with it: left behind, the server would
    // hold the test's error output open, and CTest would wait for it until
    // its timeout. The check after the request covers a test that died first.
    const pid_t test = ::getpid();
    server->setChildProcessModifier([test] {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != test) ::_exit(1);
    });
    server->start("Xvfb", {"-displayfd", "1", "-screen", "0", "640x480x24", "-nolisten", "tcp"});
    QByteArray number;
    QElapsedTimer t;
    t.start();
    while (!number.contains('\n') && t.elapsed() < deadlineMs && server->state() != QProcess::NotRunning) {
        server->waitForReadyRead(100);
        number += server->readAllStandardOutput();
    }
    bool ok = false;
    const int n = number.trimmed().toInt(&ok);
    if (!ok) {
        skip = "Xvfb did not report a display";
        return;
    }
    qputenv("DISPLAY", QString(":%1").arg(n).toUtf8());
    qputenv("QT_QPA_PLATFORM", "xcb");
    UsePrivateRuntimeFolder();
    static int argc = 1;
    static char* argv[] = {programName, nullptr};
    app = new QApplication(argc, argv);
}

inline void StopXvfbApplication(QProcess*& server, QApplication*& app) {
    delete app;
    app = nullptr;
    if (server) {
        server->terminate();
        server->waitForFinished(5000);
        delete server;
        server = nullptr;
    }
}

}  // namespace velto::test
