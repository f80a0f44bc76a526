#pragma once
// Commands that open one of the program's windows modally, and what the
// shell needs of the windows that a later part fills in.
#include <QString>
#include <QStringList>

#include "engine/Filter.h"

class QWidget;

namespace velto {

// Runs the window created at start under name modally when it is a dialog,
// and returns its result code (QDialog::Accepted is 1). 0, and nothing shown,
// when the window is still the empty stand-in of a part not built, is not a
// dialog, or no main window exists.
int ShowModalForm(const QString& name);

// True for the empty window made in place of a window no part has built.
bool IsStandInForm(const QWidget* form);
// Marks form as such a stand-in.
void MarkStandInForm(QWidget* form);

// The New Image window (frmNewImage) serves two layouts; its opener chooses
// one before showing it and reads Added() afterwards.
class TNewImageForm {
public:
    virtual ~TNewImageForm() = default;
    // True: an image is added to the open document (the document's images
    // are offered as a source). False: the first image of a new document
    // (the kind of cursor is asked).
    virtual void SetNewImageMode(bool showImages) = 0;
    // An image was added by the last OK.
    virtual bool Added() const = 0;
    // The kind-of-cursor choice hidden (an image added to an open document
    // through the new-document layout) or shown again.
    virtual void SetTypeChoiceVisible(bool) {}
};

// The Custom Filter window (frmFilter): "Last Effect" after its OK applies
// the kernel entered in it at the time the command runs.
class TCustomFilterForm {
public:
    virtual ~TCustomFilterForm() = default;
    virtual TFilterKernel GetKernel() const = 0;
};

// The extraction window (frmExtract) lists the cursor groups of the file
// its opener gives it.
class TExtractForm {
public:
    virtual ~TExtractForm() = default;
    virtual void SetFileName(const QString& fileName) = 0;
};

// The batch converter (frmBatch), preset by the explorer's commands.
class TBatchForm {
public:
    virtual ~TBatchForm() = default;
    virtual void PrepareImagesToCursors(const QStringList& files) = 0;
    virtual void PrepareCursorsToImages(const QStringList& files) = 0;
    virtual void SetInitialDir(const QString& folder) = 0;
};

// The explorer pane's commands on its selected files (the main window's
// Action1 and actBatch2); registered by the pane.
class TExplorerCommands {
public:
    virtual ~TExplorerCommands() = default;
    virtual bool HasSelection() const = 0;
    virtual void BatchImagesToCursors() = 0;
    virtual void BatchCursorsToImages() = 0;
};
inline TExplorerCommands*& ExplorerCommandsSlot() {
    static TExplorerCommands* commands = nullptr;
    return commands;
}

// The program's window of that name, or null.
QWidget* FindForm(const QString& name);

// The window of that name as one of the interfaces above, or null.
template <class Contract>
Contract* FormAs(const QString& name) {
    return dynamic_cast<Contract*>(FindForm(name));
}

}  // namespace velto
