#pragma once
// Adaptations that the program made for one Windows release and its shell.
// This system is never that release: the version test is false, so the task
// dialog, fonts and theme are never used, and the taskbar, activation and
// system-command fixes have nothing to fix. The class stays so that its
// callers keep their place in start-up, the message box and the main window.
#include <QObject>
#include <QString>

class QEvent;
class QWidget;

namespace velto {

class TVistaCompat {
public:
    TVistaCompat();

    bool IsVista() const { return isVista_; }

    // Not available here: returns 0 (nothing shown).
    int ShowTaskDialog(QWidget* owner, const QString& title, const QString& instruction,
                       const QString& content, int icon, int commonButtons) const;
    void SetExplorerTheme(QWidget* window) const;
    void SetVistaFonts(QObject* owner) const;
    void SetApplicationFonts() const;
    void FixTaskbarButton() const;
    void FixCreateParams(QWidget* window) const;
    // True when the event was handled here (never on this system).
    bool FixActivate(QWidget* window, QEvent* event) const;
    bool FixSysCommand(QWidget* window, QEvent* event) const;

    // Owner of the open and save dialogs: the active window (may be null).
    static QWidget* DialogOwner();

private:
    bool isVista_;
};

// The process-wide instance.
TVistaCompat& VistaFixes();

// Repaint after Alt reveals keyboard accelerators: the toolkit repaints the
// underlines itself, so the fix is never active.
class TVistaAltFix : public QObject {
    Q_OBJECT
public:
    explicit TVistaAltFix(QObject* owner);
    bool IsActive() const { return false; }
    bool RepaintAll = true;
};

}  // namespace velto
