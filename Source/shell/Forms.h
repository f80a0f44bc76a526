#pragma once
// The windows the program creates at start, in their fixed order, and the
// place where the parts that fill them plug in.
//
// A window whose contents come with a later part is created as an empty,
// named window: a hidden dialog owned by the main window, or, for the four
// panes, a PaneFrame floating over the document area. A part that builds a
// window registers a factory under the window's name before start-up; the
// factory gets the main window and returns the window (for a pane: content
// put into the pane's frame, see SetPaneContentFactory).
#include <QList>
#include <QString>
#include <QWidget>

#include <array>
#include <functional>

namespace velto {

class PaneFrame;
class TDockMngr;

struct FormInfo {
    const char* name;     // objectName and translation section
    const char* caption;  // English caption
    int paneSlot;         // docking slot of a pane (2..5), 0 for other windows
};

// The 36 windows in creation order; the first is the main window.
extern const std::array<FormInfo, 36> kStartupForms;

using FormFactory = std::function<QWidget*(QWidget* mainWindow)>;
using PaneContentFactory = std::function<QWidget*(PaneFrame* frame)>;

// A window of a later part replaces the empty window of that name.
void SetFormFactory(const QString& name, FormFactory factory);
// The contents of a pane (frmPreview, frmTools, frmColors, frmExplorer).
void SetPaneContentFactory(const QString& name, PaneContentFactory factory);

class TApplicationForms {
public:
    // Creates windows 2..36 in order, owned by the main window (which is
    // window 1 and already exists).
    void CreateAll(QWidget* mainWindow, TDockMngr* dockMngr);

    // Every window, the main window first, in creation order.
    const QList<QObject*>& All() const { return all_; }
    QWidget* Form(const QString& name) const;
    PaneFrame* Pane(int slot) const;

private:
    QList<QObject*> all_;
    std::array<PaneFrame*, 6> panes_{};
};

}  // namespace velto
