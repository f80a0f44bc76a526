#include "shell/VistaCompat.h"

#include <QApplication>

#include "core/SysUtils.h"

namespace velto {

TVistaCompat::TVistaCompat() : isVista_(GetWindowsVersion() == kWindowsVista) {}

int TVistaCompat::ShowTaskDialog(QWidget*, const QString&, const QString&, const QString&, int, int) const {
    return 0;
}

void TVistaCompat::SetExplorerTheme(QWidget*) const {}
void TVistaCompat::SetVistaFonts(QObject*) const {}
void TVistaCompat::SetApplicationFonts() const {}
void TVistaCompat::FixTaskbarButton() const {}
void TVistaCompat::FixCreateParams(QWidget*) const {}
bool TVistaCompat::FixActivate(QWidget*, QEvent*) const { return false; }
bool TVistaCompat::FixSysCommand(QWidget*, QEvent*) const { return false; }

QWidget* TVistaCompat::DialogOwner() { return QApplication::activeWindow(); }

TVistaCompat& VistaFixes() {
    static TVistaCompat instance;
    return instance;
}

TVistaAltFix::TVistaAltFix(QObject* owner) : QObject(owner) { setObjectName("VistaAltFix"); }

}  // namespace velto
