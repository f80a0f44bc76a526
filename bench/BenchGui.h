#pragma once
// What the benchmarks of the editor's windows share: one offscreen
// application, and a main window with one document window whose canvas box
// is 1600 x 1000, showing an image at a zoom.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QMdiSubWindow>
#include <QTemporaryDir>

#include <memory>

#include "core/MessageBox.h"
#include "model/IcoIO.h"
#include "shell/Desk.h"
#include "shell/MainWindow.h"
#include "shell/Options.h"

namespace velto::bench {

// The program's one application object, offscreen, named name.
inline QApplication* GuiApp(const char* name) {
    static QApplication* app = [name] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char* argv[] = {const_cast<char*>(name), nullptr};
        return new QApplication(argc, argv);
    }();
    return app;
}

// Settings in a temporary folder, messages silenced; desk is null (and the
// benchmark skipped) when the window could not be made.
struct TDeskProgram {
    QTemporaryDir dir;
    std::unique_ptr<TfrmMain> main;
    TfrmDesk* desk = nullptr;

    TDeskProgram(benchmark::State& state, const char* name, const TmyImagePal& image, int zoom) {
        GuiApp(name);
        SilenceMessages();
        qputenv("XDG_CONFIG_HOME", dir.filePath("config").toUtf8());
        FreeOptions();
        CreateOptions(800, dir.filePath("config/Velto/config.cfg").toStdString());
        Options().Autozoom = false;
        main = std::make_unique<TfrmMain>();
        main->CreateForms();
        main->resize(1900, 1300);
        main->show();
        TmyIcon doc;
        doc.AppendImage(std::make_unique<TmyImagePal>(image));
        const QString path = dir.filePath("big.ico");
        if (TmyIcoIO(false).SaveToFile(doc, path.toStdString(), false) && main->OpenFile(path))
            desk = qobject_cast<TfrmDesk*>(main->ActiveDesk());
        if (desk) {
            desk->Frame()->resize(QSize(1600, 1000) + desk->Frame()->size() - desk->ScrollBox()->size());
            desk->SetZoom(zoom);
            QCoreApplication::processEvents();
        }
        if (!desk || desk->ScrollBox()->size() != QSize(1600, 1000)) {
            state.SkipWithError("no window with a 1600 x 1000 canvas box");
            desk = nullptr;
        }
    }
    ~TDeskProgram() {
        main.reset();
        FreeOptions();
    }
};

}  // namespace velto::bench
