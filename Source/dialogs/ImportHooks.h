#pragma once
// The import service's windows: the settings it reads, the busy cursor, the
// question whether to resize or crop, the advanced import window, the GIF
// import progress and the screen grab, answered by this program's windows.
class QWidget;

namespace velto {

class TfrmImport;
class TfrmImportGif;

// Installs the hooks once the windows exist (either may be null: its hook
// stays empty and the service takes its headless answer).
void InstallImportHooks(QWidget* mainWindow, TfrmImport* advanced, TfrmImportGif* progress);

}  // namespace velto
