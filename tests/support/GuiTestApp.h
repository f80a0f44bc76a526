#pragma once
// The one application object of the gui test program, created on first use
// (offscreen unless a platform is set) and kept until the process ends.
#include <QApplication>

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace velto::test {

// Without XDG_RUNTIME_DIR, Qt and the program's single-instance socket each
// make a runtime folder in the temporary folder ("runtime-<user>",
// "velto-<uid>") that outlives the tests. The test program gets a private one
// instead, removed when it ends (by the process that made it, not by a
// forked child that exits).
inline void UsePrivateRuntimeFolder() {
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) return;
    static struct Folder {
        std::string path;
        pid_t owner = 0;
        ~Folder() {
            std::error_code ec;
            if (!path.empty() && ::getpid() == owner) std::filesystem::remove_all(path, ec);
        }
    } folder;
    std::error_code ec;
    const std::filesystem::path temp = std::filesystem::temp_directory_path(ec);
    if (ec) return;
    std::string name = (temp / "velto-runtime-XXXXXX").string();
    if (!::mkdtemp(name.data())) return;  // private to the user, as a runtime folder must be
    folder.path = name;
    folder.owner = ::getpid();
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(name));
}

inline QApplication* EnsureGuiApp() {
    if (!QApplication::instance()) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        UsePrivateRuntimeFolder();
        static int argc = 1;
        static char name[] = "velto_tests";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
    }
    return qApp;
}

}  // namespace velto::test
