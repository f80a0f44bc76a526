#pragma once
// The main window: menu bar, tool bar, status bar and the document area with
// the list of document windows; the enabling of the commands that depend on
// the open documents; recent files; the saved layout; first activation and
// shutdown; the Languages menu and the translation of the program.
//
// The code is split by menu. MainWindow.cpp holds construction, the commands'
// wiring from the action table, the panes, the layout, the document-window
// list, activation and events; MainWindow_<Menu>.cpp holds each menu's own
// part: SetupXxxActions() plugs its handlers in, UpdateXxxActions() holds its
// enabling rules. MainWindow_Tools.cpp holds the drawing tools' keys and
// cursors.
#include <QMainWindow>
#include <QHash>
#include <QPoint>
#include <QPointer>
#include <QSet>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "ActionRegistry.h"
#include "DeskList.h"
#include "DockMngr.h"
#include "FileDialogs.h"
#include "Forms.h"
#include "ToolArt.h"
#include "model/Image.h"

class QLabel;
class QMenu;
class QToolBar;
class QTimer;

namespace velto {

class TDeskWindow;
class TDocumentArea;
class TToolController;
class TfrmDesk;
class TmyIcon;
class TmyImagePal;
class TOptions;
class TInstanceHandler;
class TVistaAltFix;
class PaneFrame;

// The floating selection as the main window sees it: the program's one
// block of pixels floating over a document window until it is dropped into
// that window's current image. The tools' selection plugs in here; the
// default is a selection that is always empty.
//
// Commands and dialogs that work on the selection rather than on the image
// (effects, adjustments, resize) take Image() when the selection is not
// empty and belongs to the active window (Owner() == the active slot),
// change it, then call ImageEdited(); no undo snapshot is taken for it.
class TSelectionAccess {
public:
    virtual ~TSelectionAccess() = default;
    virtual bool Empty() const { return true; }
    // Slot of the window it floats over; 0 none.
    virtual int Owner() const { return 0; }
    virtual void SetOwner(int) {}
    // Composited over the image (true) or behind it.
    virtual bool InFront() const { return false; }
    // Over or behind; the canvas shows it anew.
    virtual void SetInFront(bool /*inFront*/) {}
    // Drops the selection into its window's image.
    virtual void Commit() {}
    // Whether Commit may ask the palette question (it is put off while a
    // mouse button is held).
    virtual bool CommitMayAsk() const { return false; }
    // No selection any more, nothing dropped; its frame hides.
    virtual void Clear() {}
    // Pastes the selection's image into target with its top-left corner at
    // image pixel (x, y) (the canvas shows the floating selection this way).
    virtual void PasteInto(TmyImagePal& /*target*/, int /*x*/, int /*y*/) const {}
    // The selection tool's drag ended: the block between the two corners
    // (image pixels, both included) of the active window's image floats; the
    // image keeps its pixels there with copy, else they become transparent.
    virtual void Lift(int /*x1*/, int /*y1*/, int /*x2*/, int /*y2*/, bool /*copy*/) {}
    // The pixels float over the active window's image with their top-left on
    // image pixel (x, y); false when no floating selection takes them.
    virtual bool Float(TmyImagePal&& /*pixels*/, int /*x*/, int /*y*/) { return false; }
    // The pixels as shown and dropped (32 bits); null when empty.
    virtual TmyImagePal* Image() { return nullptr; }
    // After Image() was changed: the stored pixels that resizes start from
    // become these, and the window shows them.
    virtual void ImageEdited() {}
    // Resampled from its stored pixels to width x height image pixels.
    virtual void Resize(int /*width*/, int /*height*/) {}
    // Its stored size (before any resize).
    virtual int StoredWidth() const { return 0; }
    virtual int StoredHeight() const { return 0; }
    // Moved by (dx, dy) image pixels in its window, as a drag of its frame
    // would (the shift commands).
    virtual void MoveBy(int /*dx*/, int /*dy*/) {}
    // The Edit menu's clipboard commands on it; Paste makes the clipboard's
    // picture the selection of the active window (false when there is none).
    virtual void Copy() {}
    virtual void Cut() {}
    virtual bool Paste() { return false; }
    // Its frame dropped on the canvas of window slot at canvas point (x, y).
    virtual void MoveToWindow(int /*slot*/, int /*x*/, int /*y*/) {}
    // A picture dropped on the canvas of window slot floats there, top-left
    // on the canvas origin.
    virtual void DropImage(const TmyImagePal& /*image*/, int /*slot*/) {}
};

// The target of a Windows shortcut file (".lnk"); empty when it cannot be
// resolved. Only a symbolic link so named is followed here: the contents of a
// Windows shortcut name Windows paths.
QString ResolveShellLink(const QString& link);

// A saved main-window rectangle brought back inside the free area of a
// screen: the screen it overlaps most (none: the first, the primary), no
// larger than that area and moved into it.
QRect FitWindowToScreens(const QRect& window, const QList<QRect>& availableAreas);

class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmMain(QWidget* parent = nullptr);
    ~TfrmMain() override;

    // Creates windows 2..36 (start-up step 3, after the main window).
    void CreateForms();
    const TApplicationForms& Forms() const { return forms_; }

    TActionRegistry& Actions() { return actions_; }
    QAction* Action(const QString& name) const { return actions_.action(name); }
    QToolBar* ToolBar() const { return toolBar_; }
    QLabel* StatusLabel() const { return statusLabel_; }
    TDocumentArea* DocumentArea() const { return panel1_; }
    TDockMngr& DockManager() { return dockMngr_; }
    QMenu* WindowMenu() const { return windowMenu_; }
    QMenu* RecentFilesMenu() const { return recentMenu_; }
    QMenu* LanguagesMenu() const { return languagesMenu_; }
    QString SettingsFolder() const { return settingsFolder_; }

    // ---- document-window list ----
    TDeskList& Desks() { return desks_; }
    TDeskWindow* Desk(int slot) const;
    TDeskWindow* ActiveDesk() const;
    // The document window's factory; the default makes a TfrmDesk.
    void SetDeskFactory(std::function<TDeskWindow*()> factory) { deskFactory_ = std::move(factory); }
    // New document window captioned caption ("Untitled" gives "Untitled - n");
    // false after "Too many open windows!" when 30 are open. The window is not
    // shown: the caller fills its document and shows it.
    bool CreateDocumentWindow(const QString& caption);
    // A created window that is not kept (a cancelled New, a failed import)
    // gives its cascade step back.
    void StepCascadeBack() { desks_.StepCascadeBack(); }
    // Called by a closing document window with its slot.
    void RemoveDocumentWindow(int slot);
    // A created window that is not kept (its file did not load): out of the
    // list and deleted, without its close question.
    void DiscardDocumentWindow(TDeskWindow* desk);
    // Makes the window of slot active (its MakeActive, the Window menu).
    void ActivateDesk(int slot);
    void UpdateWindowMenu();
    void SetSelection(TSelectionAccess* selection);
    TSelectionAccess& Selection() const { return *selection_; }
    // The drawing tools: their state, the canvas input and the tool palette's link.
    TToolController& Tools() const { return *tools_; }

    // ---- enabling ----
    void DisableDocumentActions();
    void EnableDocumentActions();
    void LockToolActions();
    void UnlockToolActions();
    void UpdateImageNavigation();
    void UpdateClipboardActions();
    void UpdateUndoActions();
    // The update rules that run when the program is idle and after commands.
    void UpdateActions();
    void SetLastEffect(QAction* action);
    QAction* LastEffect() const { return lastEffect_; }

    // ---- image commands (MainWindow_Effects.cpp, MainWindow_Image.cpp)
    // The effect of the action's Tag (0..50) on the floating selection or on
    // the document's frames; it becomes the last effect. False when nothing
    // changed (no document, the question declined, a refused size).
    bool ApplyEffect(QAction* action);
    // Refits an image below 24 bits as the "PaletteAction" setting says
    // (asking when it is 2); the colour panel shows its palette.
    void ApplyPaletteAction(TmyImagePal& image);
    // The Data Type commands: the current image, or every frame of an
    // animated cursor, to bitCount (fixedPalette: the Windows palette).
    // False when nothing changed.
    bool ChangeColorDepth(int bitCount, bool fixedPalette);
    static QStringList DocumentActionNames();
    static QStringList ToolActionNames();
    static QStringList ToolbarActionNames();
    // Actions whose command first drops the floating selection into its image.
    static QStringList CommitFirstActionNames();
    // The commands of the table carrying every flag of the mask (ActionFlag).
    static QStringList ActionNames(unsigned mask);

    // ---- recent files ----
    void AddRecentFile(const QString& path);
    void UpdateRecentFilesMenu();
    // Opens a file by the road its leading bytes choose and, once it opened
    // (or is open already), records it in the recent files; false stops
    // loops. Tests may put their own opener in.
    void SetFileOpener(std::function<bool(const QString&)> opener) { opener_ = std::move(opener); }
    bool OpenFile(const QString& path);
    // The roads of documents (icons, cursors, animated cursors) and of Apple icons.
    bool OpenCursorFile(const QString& path);
    bool OpenMacIconFile(const QString& path);
    // A document made elsewhere (an extracted cursor group, a frame) in a new
    // window captioned "Untitled - n", shown with its first image current and
    // not modified. False (document dropped) when no window can be made.
    bool NewDocumentFromIcon(std::unique_ptr<TmyIcon> doc);
    // Executables, libraries and containers go to the extraction window;
    // false when that window is not built.
    bool ShowExtractDialog(const QString& path);
    // Save and Save As of a document window; true when it is saved afterwards.
    // A failed write shows an error and leaves the file, caption and flag.
    bool SaveDocument(TfrmDesk* desk);
    bool SaveDocumentAs(TfrmDesk* desk);
    // The main window's file dialogs: dlgOpenIcon, dlgSaveIcon, dlgOpenImage,
    // dlgSaveImage, dlgExtractIcon.
    TFileDialogSpec* FileDialog(const QString& name) const;
    void SetFileDialogRunner(FileDialogRunner runner) { dialogRunner_ = std::move(runner); }
    // Opens each in order, stopping at the first that fails.
    bool OpenFiles(const QStringList& paths);
    // New: a new window whose first image the New Image window makes; the
    // window shows once it has one. False when none was made.
    bool NewDocument();

    // ---- pictures (MainWindow_Import.cpp) ----
    // A picture as a new document, in the format the New Image window asks
    // for (a GIF into an animated cursor: every frame); false when no window
    // was kept.
    bool OpenImageFile(const QString& path);
    // Each picture as a new image of the active document (a new frame of an
    // animated cursor). An image whose picture fails to load or is cancelled
    // goes again: the document is left as it was. False at the first such.
    bool AddImagesFromFiles(const QStringList& paths);
    // Export of the active image (of every frame, for an animation as GIF)
    // through the picture dialog, asking before overwriting.
    bool ExportImage();
    // A new document whose image is the screen area the user points at.
    bool CaptureToNewDocument();
    // Shows the capture frame for an area of the size and gives its top-left
    // corner on the screen, or nothing when the user gave it up. Installed by
    // the capture window; tests install their own.
    using CaptureFrameRunner = std::function<std::optional<QPoint>(ImageSize area)>;
    // Capture is offered only once a window that frames the area is known.
    void SetCaptureFrameRunner(CaptureFrameRunner runner) {
        captureRunner_ = std::move(runner);
        UpdateFileActions();
    }

    // ---- layout ----
    void UpdateOwnDockRect();
    void UpdateDockGlue();
    void SaveLayout();
    void RestoreLayout();
    void RefreshAllDocuments(bool redrawAll);
    // After the document area moved or changed size: glue, then every pane
    // kept whole inside the area and off the others.
    void FormResize();
    // Panes moved into the document area and off each other; movedSlot (0:
    // none) is the one that gives way.
    void KeepPanesInView(int movedSlot);
    // The free areas of the screens a restored window is fitted into, the
    // primary first; null: the screens' own.
    void SetScreenAreas(std::function<QList<QRect>()> areas) { screenAreas_ = std::move(areas); }
    // Maximises the window and waits (briefly) for its new size.
    void showMaximizedNow();
    // The documents' room: the document area less the columns of panes glued
    // to its left and right edges (its viewport margins).
    void FitDocumentRoom();
    DockRecord DockRect;

    // ---- translation ----
    void FillLanguageMenu();
    // The language command for a Languages-menu action.
    void SelectLanguage(QAction* languageAction);
    void TranslateStatusLabels();
    // Rebuilds the file dialogs' filters: the main window's own, then those of
    // the windows that plug theirs in.
    void TranslateFileFilters();
    void SetFileFilterTranslator(std::function<void()> f) { filterTranslator_ = std::move(f); }
    // Every window under its own section, then the bars' submenus.
    void TranslateApplication();
    const std::array<QString, 9>& StatusLabels() const { return statusLabels_; }
    // Folders searched for language files (beside the program, the share
    // folder, the user's folder).
    void SetLanguageFolders(const QStringList& folders) { languageFolders_ = folders; }
    QStringList LanguageFolders() const;

    // ---- start-up and shutdown ----
    // The one-time work of the first activation (runs once; later calls do nothing).
    void FirstActivation(const QStringList& commandLine);
    bool FirstActivationPending() const { return firstActivation_; }
    void SetCommandLine(const QStringList& files) { commandLine_ = files; }
    // The running instance received names from a second start.
    void InstanceDenied(const QStringList& files);
    // Documents whose file vanished while the program was in the background
    // become unsaved.
    void CheckDocumentFiles();
    // Closing: asks every document window; false when one was cancelled.
    bool CloseAllDocuments();
    void SetClosingAllCancelled() { closingAll_ = false; }
    bool ClosingAll() const { return closingAll_; }
    // Shutdown work of the close (layout, colour files, clipboard).
    void FormClose();
    const QCursor* ToolCursor(int number) const;
    // Typed characters of the key preview, as the main window sees them.
    // Returns whether the character was acted on; the key is never consumed.
    bool KeyPreview(QWidget* focus, const QString& text, int key);
    // The brush-size buttons of the tool palette, "1".."7" (plug-in).
    void SetBrushSizeHandler(std::function<bool(int)> f) { brushSize_ = std::move(f); }

signals:
    // The main window's first paint (the start-up benchmark waits for it).
    void firstPainted();
    // Seams for the pane contents: they save and restore their own state in
    // Options with the layout, repaint on a refresh and write their files at
    // shutdown.
    void layoutSaving();
    void layoutRestored();
    void documentsRefreshing(bool redrawAll);
    void closing(const QString& settingsFolder);
    // The active document window changed (null: none is open any more); the
    // preview pane and the colour panel follow it.
    void activeDeskChanged(TDeskWindow* desk);
    // A document window was asked for (created or refused): the tool palette
    // sets the canvas cursor of the current tool.
    void deskRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createActions();
    void createMenus();
    void createToolBar();
    void connectCommands();
    void setToggle(const QString& name, bool checked);
    // Option switches: flip one setting; show the settings as checked states.
    void flipSetting(bool TOptions::*setting);
    void showSettings();
    void holdBackUnbuiltCommands();
    // Glue of the panes found against the document area the layout was saved
    // in (nothing when that is not known).
    void glueToSavedArea(const TOptions& o);
    // Registers the main window's rectangle and every shown pane with the
    // docking manager and finds each pane's glue.
    void glueShownPanes();
    void openQueued();
    void createFileDialogs();
    // The default opener: the roads of OpenFile.
    bool openByRoad(const QString& path);
    bool writeDocument(TfrmDesk* desk, const QString& path);
    // A new window "Untitled" whose first image the New Image window made,
    // shown; null (the window gone again) when none was made.
    TfrmDesk* newDocumentForPicture();
    // The empty or failed new window goes and gives its cascade step back;
    // the window of before is active again.
    void dropNewDocument(TfrmDesk* desk, TDeskWindow* before);
    // A window just given its document shows it from the first image and
    // becomes the active one, the colour panel on its palette.
    void showNewDocument(TfrmDesk& desk);

    // ---- one part per menu (MainWindow_<Menu>.cpp) ----
    void SetupFileActions();
    void UpdateFileActions();
    void SetupEditActions();
    void UpdateEditActions();
    void SetupViewActions();
    void UpdateViewActions();
    void showPane(int slot, bool visible);
    void barsChanged();
    void applyPaneVisibility();
    void SetupCursorActions();
    void UpdateCursorActions();
    void SetupImageActions();
    void UpdateImageActions();
    void SetupAdjustActions();
    void UpdateAdjustActions();
    void SetupFiltersActions();
    void UpdateFiltersActions();
    void SetupOptionsActions();
    void UpdateOptionsActions();
    void SetupWindowActions();
    void UpdateWindowActions();
    void SetupHelpActions();
    void UpdateHelpActions();
    // The keys of the drawing tools (on no menu) and their cursors.
    void SetupToolActions();
    // The one-click effects, Last Effect, the shifts, Undo and Redo.
    void SetupEffectActions();
    void Undo();
    void Redo();
    // After Undo or Redo replaced the current image.
    void imageRestored();
    // The shift commands: the floating selection moves one image pixel, or
    // the image does (Tags 46..49).
    void shiftCommand(QAction* action, int dx, int dy);
    void loadToolCursors();
    // A handler that takes no action argument.
    void on(const char* name, std::function<void()> f);
    // A command that shows a window modally. While that window is the empty
    // stand-in of a part not built, the command is held back like one
    // without handler.
    void onForm(const char* name, const char* form);
    bool opensStandIn(const QAction* a) const;

    TActionRegistry actions_;
    QSet<const QAction*> heldBack_;  // commands disabled for want of a handler
    QHash<const QAction*, QString> formOf_;  // commands that only show a window
    TDeskList desks_;
    TDockMngr dockMngr_;
    TApplicationForms forms_;
    TDocumentArea* panel1_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    QLabel* statusLabel_ = nullptr;
    QMenu* windowMenu_ = nullptr;
    QMenu* recentMenu_ = nullptr;
    QMenu* languagesMenu_ = nullptr;
    QList<QAction*> windowItems_;
    QList<QAction*> recentItems_;
    QList<QAction*> languageItems_;
    QTimer* idleTimer_ = nullptr;
    TVistaAltFix* altFix_ = nullptr;
    std::unique_ptr<TSelectionAccess> defaultSelection_;
    TSelectionAccess* selection_ = nullptr;
    TToolController* tools_ = nullptr;
    std::function<TDeskWindow*()> deskFactory_;
    std::function<bool(const QString&)> opener_;
    CaptureFrameRunner captureRunner_;
    FileDialogRunner dialogRunner_;
    QList<TFileDialogSpec*> fileDialogs_;
    std::function<void()> filterTranslator_;
    std::function<bool(int)> brushSize_;
    std::function<QList<QRect>()> screenAreas_;
    QAction* lastEffect_ = nullptr;
    QString settingsFolder_;
    QStringList languageFolders_;
    QStringList commandLine_;
    QStringList queued_;
    std::array<QString, 9> statusLabels_;
    std::array<QCursor*, kToolCursorSlots> cursors_{};
    bool firstActivation_ = true;
    bool inFormResize_ = false;
    // The explorer has no height of its own (setting 0): it runs down the area.
    bool explorerFillsHeight_ = true;
    bool closingAll_ = false;
    bool painted_ = false;
};

// The process-wide main window (null before start-up and after shutdown).
TfrmMain* frmMain();

}  // namespace velto
