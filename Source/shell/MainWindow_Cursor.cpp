// The Cursor menu: the images of the document (new, delete, duplicate,
// import, next and previous, their order), hot spot, properties, test and
// snapshot.
#include "MainWindow.h"

#include "Desk.h"
#include "DocumentArea.h"
#include "MainWindowText.h"
#include "ModalForms.h"
#include "core/MessageBox.h"

#include <QAction>
#include <QGuiApplication>

namespace velto {

namespace {

// A selection floating over the current image of desk drops into it before
// another image becomes current.
void CommitSelectionOf(TfrmMain& main, const TfrmDesk& desk) {
    if (!main.Selection().Empty() && main.Selection().Owner() == desk.Tag) main.Selection().Commit();
}

}  // namespace

void TfrmMain::SetupCursorActions() {
    on("actSnapshot", [] { ShowModalForm(QStringLiteral("frmSnapshot")); });
    auto activeDesk = [this] {
        auto* desk = qobject_cast<TfrmDesk*>(ActiveDesk());
        return desk && desk->HasImages() ? desk : nullptr;
    };
    // Next and Previous Image: the image list's own change (the selection
    // dropped, undo cleared, the panes following).
    auto step = [this, activeDesk](int by) {
        TfrmDesk* desk = activeDesk();
        if (!desk) return;
        selection_->Commit();
        const int i = desk->ItemIndex() + by;
        if (i < 0 || i >= desk->ImageCount()) return;
        desk->SetCurrentImage(i);
        UpdateImageNavigation();
    };
    on("actnnext", [step] { step(1); });
    on("actnPrev", [step] { step(-1); });
    on("actFramesReverse", [this, activeDesk] {
        TfrmDesk* desk = activeDesk();
        if (!desk || desk->ImageCount() < 2) return;
        CommitSelectionOf(*this, *desk);
        desk->Document()->Reverse();
        desk->ImagesReordered();
        UpdateImageNavigation();
    });
    on("actnnewimage", [this] {
        if (auto* form = FormAs<TNewImageForm>(QStringLiteral("frmNewImage"))) form->SetNewImageMode(true);
        ShowModalForm(QStringLiteral("frmNewImage"));
        UpdateImageNavigation();
    });
    on("actndelimage", [this, activeDesk] {
        TfrmDesk* desk = activeDesk();
        if (!desk) return;
        if (desk->ImageCount() < 2) {
            ShowMessageBox(Msg("msgDeleteLast", "Cannot delete last image!").toStdString(), mkWarning, mbOK);
            return;
        }
        if (ShowMessageBox(Msg("msgDeleteImg", "Delete the current image? (This can not be undone!)").toStdString(),
                           mkConfirm, mbYes | mbNo) != idYes)
            return;
        desk->Document()->Delete(desk->ItemIndex());
        // The new current image with its zoom, the lists, the panes; undo cleared.
        desk->ImagesReordered();
        UpdateImageNavigation();
    });
    on("actDeleteMore", [this, activeDesk] {
        TfrmDesk* desk = activeDesk();
        if (!desk) return;
        CommitSelectionOf(*this, *desk);
        const int before = desk->ImageCount();
        const bool saved = desk->Saved();
        ShowModalForm(QStringLiteral("frmDelete"));
        if (!desk->HasImages()) return;
        desk->ImagesReordered();
        // Nothing deleted, nothing to save.
        if (desk->ImageCount() == before) desk->SetSaved(saved);
        UpdateImageNavigation();
    });
    // Animated cursors: a copy of the current frame where the document puts a
    // frame of its format, which becomes current.
    on("actDuplicateImage", [this, activeDesk] {
        TfrmDesk* desk = activeDesk();
        if (!desk || !desk->IsAnimated()) return;
        CommitSelectionOf(*this, *desk);
        const TmyImagePal frame = *desk->CurrentImage();
        if (desk->Document()->InsertSorted(frame.Size(), frame.BitCount) < 0) return;
        desk->Document()->CurrentImage().Assign(frame);
        desk->ImagesReordered();
        UpdateImageNavigation();
    });
    on("actnProp", [] { ShowModalForm(QStringLiteral("frmProperties")); });
    // Import Image: the pictures chosen become new images of this document.
    on("actImportImage", [this, activeDesk] {
        TFileDialogSpec* dlg = FileDialog("dlgOpenImage");
        QStringList files;
        if (!activeDesk() || !dlg || !dialogRunner_ || !dialogRunner_(*dlg, files)) return;
        AddImagesFromFiles(files);
    });

    // Move the current image one place up or down: the side bar's move of
    // image i onto image i - 2 or i + 1 (with Ctrl a copy is added there).
    auto move = [this](int step) {
        auto* desk = qobject_cast<TfrmDesk*>(ActiveDesk());
        if (!desk || !desk->HasImages()) return;
        const int i = desk->ItemIndex();
        const int target = step < 0 ? i - 2 : i + 1;
        if (step < 0 ? i <= 0 : i >= desk->ImageCount() - 1) return;
        desk->MoveImage(i, target, QGuiApplication::keyboardModifiers() & Qt::ControlModifier);
    };
    on("actFrameUp", [move] { move(-1); });
    on("actFrameDown", [move] { move(1); });
}

void TfrmMain::UpdateCursorActions() {
    TDeskWindow* d = ActiveDesk();
    const int n = d ? d->ImageCount() : 0;
    const int k = d ? d->ItemIndex() : 0;
    Action("actFramesReverse")->setEnabled(d && n > 1);
    Action("actndelimage")->setEnabled(d && n >= 2);
    // The window's own delete command follows the menu's.
    if (auto* desk = qobject_cast<TfrmDesk*>(d))
        if (QAction* own = desk->LocalAction("actDelImage")) own->setEnabled(n >= 2);
    Action("actFrameUp")->setEnabled(d && k > 0);
    Action("actFrameDown")->setEnabled(d && k < n - 1);
    Action("actDeleteMore")->setEnabled(d && n > 1);
    Action("actDuplicateImage")->setEnabled(d && d->IsAnimated());
}

// Run by the document after its current image changed: Next up to the
// second-last image, Previous from the second image on.
void TfrmMain::UpdateImageNavigation() {
    TDeskWindow* d = ActiveDesk();
    const int n = d ? d->ImageCount() : 0;
    const int k = d ? d->ItemIndex() : 0;
    Action("actnnext")->setEnabled(d && k < n - 1);
    Action("actnPrev")->setEnabled(d && k >= 1);
}

}  // namespace velto
