#pragma once
// The one application object of the gui test program, created on first use
// (offscreen unless a platform is set) and kept until the process ends.
#include <QApplication>

namespace velto::test {

inline QApplication* EnsureGuiApp() {
    if (!QApplication::instance()) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "velto_tests";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
    }
    return qApp;
}

}  // namespace velto::test
