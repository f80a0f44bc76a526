// Program entry: the single-instance check before any window or setting
// exists, the process-wide objects in their order, the 36 windows, the
// message loop, and the settings written at exit.
#include <QApplication>
#include <QStringList>
#include <QTimer>

#include <cstdlib>

#include "MainWindow.h"
#include "MessageDialog.h"
#include "Options.h"
#include "SingleInstance.h"
#include "VistaCompat.h"
#include "core/Language.h"
#include "dialogs/Dialogs.h"
#include "imagingqt/GifGraphic.h"
#include "imagingqt/PictureRegistry.h"
#include "imagingqt/PngQt.h"

int main(int argc, char** argv) {
    using namespace velto;
    QApplication app(argc, argv);
    QApplication::setApplicationName("Velto");
    QApplication::setDesktopFileName("velto");
    QStringList params = QApplication::arguments();
    params.removeFirst();

    // A start with files hands them to a running instance and ends here,
    // before anything of the settings is touched.
    TInstanceHandler instance;
    instance.AllowMultippleInstances = false;
    instance.AllowInstanceWithoutParam = true;
    if (!instance.CheckInstance(params)) return 0;

    // The picture formats first, then Lang, Options, VistaFixes; the import
    // service comes with its part.
    RegisterImagingGraphics();
    RegisterPngGraphic();
    RegisterGIFGraphic();
    Lang();
    CreateOptions();
    VistaFixes();
    InstallQtMessageSink();

    int rc = 0;
    {
        RegisterDialogs();
        TfrmMain main;
        main.CreateForms();
        main.SetCommandLine(params);
        instance.SetMainWindow(&main);
        instance.OnInstanceDenied = [&main](TInstanceHandler* sender) {
            main.InstanceDenied(sender->DeniedInstanceParams);
        };
        // Used only by the start-up benchmark: end after the first paint.
        if (std::getenv("VELTO_QUIT_AFTER_FIRST_PAINT"))
            QObject::connect(&main, &TfrmMain::firstPainted, &app, [] { QTimer::singleShot(0, qApp, &QApplication::quit); });
        main.show();
        rc = app.exec();
        if (!main.FirstActivationPending()) Options().Save();
    }
    FreeOptions();
    return rc;
}
