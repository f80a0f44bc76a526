#pragma once
// TfrmResourceEditor: the cursor groups of one cursor library (an executable
// or library file) as a grid of tiles, one per group and language. New and
// Open start over; Add takes cursor files as new groups, Change puts a
// cursor file in place of a group, Delete removes groups, Properties renames
// a new group and sets its language; Save writes everything at once.
//
// Tiles read from the library are of kind tkCursorGroup and keep the
// library's own name of their group (an id or a string, whatever its text
// looks like); tiles from cursor files are of kind tkFile until saved.
// Saving goes through SaveLibrary: a new library is built beside its target
// and replaces it only when complete; an existing one is backed up to
// "<name>.bak" and changed in one update, so that a failure leaves it as it
// was. After a successful save the window closes; one whose backup could not
// be written says so.
#include <QDialog>
#include <QHash>
#include <QStringList>

#include <functional>
#include <vector>

#include "resources/ResName.h"

class QAction;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QToolBar;

namespace velto {

class TFileDialogSpec;
class TThumbail;
struct TThumbnailItem;
class TfrmResourceProperties;

class TfrmResourceEditor : public QDialog {
    Q_OBJECT
public:
    explicit TfrmResourceEditor(QWidget* parent = nullptr);
    ~TfrmResourceEditor() override;

    // Cursor files added as new groups when the window is next shown.
    void AddPendingFiles(const QStringList& files);
    const QStringList& PendingFiles() const { return pending_; }

    // The commands (each also an action of the tool bar and pop-up menu).
    void New();
    void Open();
    void Add();
    void Change();
    void Delete();
    void Properties();
    // True when the library was saved; the window then closes.
    bool Save();
    // Opens a file without asking for it (Open after its dialog). A file that
    // is no executable or library (or cannot be read) is refused, saying why,
    // and the window starts over as a new library.
    void OpenFile(const QString& fileName);
    // Adds cursor files as Add does after its dialog.
    void AddFiles(const QStringList& files);

    // The save question: false when the user chose Cancel (or the save he
    // asked for failed).
    bool AskSave();

    bool Untitled() const { return untitled_; }
    bool Modified() const { return modified_; }
    QString FileName() const { return fileName_; }
    // Groups read from the library that the next save deletes.
    const std::vector<std::pair<ResName, std::uint16_t>>& DeleteList() const { return deleteList_; }

    TThumbail* Grid() const { return grid_; }
    QProgressBar* ProgressBar() const { return progress_; }
    QPushButton* CloseButton() const { return btnCancel_; }
    QLabel* FileNameLabel() const { return lblFileName_; }
    QAction* Action(const QString& name) const;

    // Seams for tests: the file dialogs and the properties window.
    using DialogRunner = std::function<bool(TFileDialogSpec& spec, QStringList& files)>;
    void SetDialogRunner(DialogRunner runner) { dialogRunner_ = std::move(runner); }
    using PropertiesRunner = std::function<bool(TfrmResourceProperties& form)>;
    void SetPropertiesRunner(PropertiesRunner runner) { propertiesRunner_ = std::move(runner); }
    TfrmResourceProperties* PropertiesForm();
    // Enables the actions as their update rules say (run on every change of
    // the selection, and by the tests).
    void UpdateActions();

protected:
    void showEvent(QShowEvent* event) override;
    // Closing asks the save question first.
    void reject() override;

private:
    // closeAfter: the window closes after a successful save (not when the
    // save question asked for the save: the command asked for goes on).
    bool Save(bool closeAfter);
    // An empty untitled library, without the save question.
    void StartOver();
    void CreateActions();
    void SetModified(bool modified);
    void ShowFileName();
    // The library's own name of a tile's group (kind tkCursorGroup); the
    // caption's id or name for other tiles.
    ResName GroupNameOf(const TThumbnailItem& item) const;
    void RememberDeletion(const TThumbnailItem& item);
    bool RunDialog(TFileDialogSpec* spec, QStringList& files);

    TThumbail* grid_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    QMenu* pmActions_ = nullptr;
    QLabel* lblFileName_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* btnCancel_ = nullptr;
    TFileDialogSpec* dlgOpen_ = nullptr;
    TFileDialogSpec* dlgSave_ = nullptr;
    TFileDialogSpec* dlgAdd_ = nullptr;
    TfrmResourceProperties* ownProperties_ = nullptr;
    DialogRunner dialogRunner_;
    PropertiesRunner propertiesRunner_;

    bool untitled_ = true;
    bool modified_ = false;
    bool saving_ = false;
    QString fileName_;
    QStringList pending_;
    std::vector<std::pair<ResName, std::uint16_t>> deleteList_;
    // Typed names of the groups read from the library, by the name (as text)
    // and language their tiles carry: "#12" may name a string or an id.
    QHash<QPair<QString, std::uint16_t>, ResName> groupNames_;
};

// Hands cursor files to the resource editor of the running program and
// shows it modally (what the explorer's command to make a library of
// cursor files does). Nothing without the program's windows.
void SendCursorFilesToResourceEditor(const QStringList& files);

// The windows of the main window's factories (registered by RegisterDialogs).
QWidget* MakeResourceEditor(QWidget* mainWindow);
QWidget* MakeResourceProperties(QWidget* mainWindow);

}  // namespace velto
