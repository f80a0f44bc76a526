#pragma once
// The document area of the main window and the base of the windows shown in
// it. The document window itself (canvas, side bar, its document) derives from
// TDeskWindow; the main window only needs what is declared here.
#include <QMdiArea>
#include <QStringList>
#include <QWidget>

#include "DeskList.h"

class QMdiSubWindow;
class QMimeData;

namespace velto {

// The local files of a drop, made absolute, in the order given.
QStringList DroppedFiles(const QMimeData* data);

// How far each cascade position moves a document window's frame: the height
// of its caption and borders, less 4.
int CascadeStep(QMdiSubWindow* frame);

// The in-program drag of a floating selection's frame: its data names the
// slot of the window it comes from.
inline constexpr char kSelectionMimeType[] = "application/x-velto-selection";

// What the main window asks of a document window. The defaults describe a
// window without a document.
class TDeskWindow : public QWidget, public TDeskEntry {
    Q_OBJECT
public:
    explicit TDeskWindow(QWidget* parent = nullptr);

    // The file the window shows; empty while untitled. The caption is the path
    // once there is one.
    QString FilePath() const { return filePath_; }
    void SetFilePath(const QString& path);

    virtual bool Saved() const { return saved_; }
    virtual void SetSaved(bool saved) { saved_ = saved; }
    virtual int ImageCount() const { return 0; }
    virtual int ItemIndex() const { return 0; }
    virtual bool IsAnimated() const { return false; }
    virtual int CurrentBitCount() const { return 0; }
    virtual bool SelectionFrameVisible() const { return false; }
    virtual bool CanUndo() const { return false; }
    virtual bool CanRedo() const { return false; }
    virtual void SetLocalToolbarVisible(bool) {}
    virtual void SetSidebarVisible(bool) {}
    virtual void SetGridVisible(bool) {}
    virtual void RefreshDocument(bool /*redrawAll*/) {}
    // After a language switch (the window's texts are translated already).
    virtual void LanguageChanged() {}
    // The close question; false keeps the window open.
    virtual bool CloseQuery() { return true; }
    // Makes this the active document window; nothing when it already is, or
    // once it has agreed to close.
    void MakeActive();
    // Called by the main window when the window has become the active one.
    virtual void Activated() {}
    // The window has agreed to close and takes no more activation.
    bool IsClosing() const { return closing_; }

    // The sub-window frame hosting this window in the document area.
    QMdiSubWindow* Frame() const;

protected:
    // Asks CloseQuery; a closed window leaves the main window's list, a kept
    // one stops a running Close All.
    void closeEvent(QCloseEvent* event) override;

private:
    QString filePath_;
    bool saved_ = true;
    bool closing_ = false;
};

// The document panel (Panel1): hosts the document windows, leaves room for
// glued panes through its viewport margins and takes dropped files.
class TDocumentArea : public QMdiArea {
    Q_OBJECT
public:
    explicit TDocumentArea(QWidget* parent = nullptr);

    using QMdiArea::setViewportMargins;
    using QMdiArea::viewportMargins;

    // Hosts a document window in a sub-window whose system menu carries no
    // shortcuts (they would make the main window's Ctrl+F4 and Ctrl+W ambiguous).
    QMdiSubWindow* AddDesk(TDeskWindow* desk);

signals:
    // Local files dropped on the panel, in the order given.
    void filesDropped(const QStringList& paths);
    // A floating selection's frame dropped on the panel, off every window
    // (taken only while "AllowDragAndDrop" is on).
    void selectionDropped();
    void mouseMoved();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    // A selection's frame over the panel, off every window, that may be dropped there.
    bool TakesSelection(const QDropEvent* event) const;
};

}  // namespace velto
