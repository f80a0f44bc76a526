// The Edit menu: the clipboard and the floating selection's commands. (Undo
// and Redo are with the effects; Transparent Selection is an option switch,
// wired from the table.)
#include "MainWindow.h"

#include "Desk.h"
#include "DocumentArea.h"
#include "ToolController.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QMouseEvent>

namespace velto {

namespace {

TfrmDesk* ActiveFrmDesk(const TfrmMain& main) { return qobject_cast<TfrmDesk*>(main.ActiveDesk()); }

// Select All: the selection tool takes a left-button drag from the image's
// first pixel to its last, sent through the canvas's own input as the mouse
// would send it (scroll positions taken off, so a scrolled canvas is covered
// whole).
void SelectAll(TfrmMain& main) {
    main.Selection().Commit();
    TfrmDesk* d = ActiveFrmDesk(main);
    TCanvasInput* input = CanvasInput();
    if (!d || !d->CurrentImage() || !input) return;
    main.Tools().PressToolButton(TToolId::Selection);
    const TCanvasGeometry g = d->CanvasGeometry();
    const TmyImagePal& img = *d->CurrentImage();
    const QPointF from(-g.hpos, -g.vpos);
    const QPointF to((img.Width() - 1) * g.zoom - g.hpos, (img.Height() - 1) * g.zoom - g.vpos);
    QWidget* canvas = d->CanvasImage();
    QMouseEvent press(QEvent::MouseButtonPress, from, canvas->mapToGlobal(from), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    input->MousePress(*d, press);
    // Twice: the first move after a drop is not drawn.
    for (int i = 0; i < 2; ++i) {
        QMouseEvent move(QEvent::MouseMove, to, canvas->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        input->MouseMove(*d, move);
    }
    QMouseEvent release(QEvent::MouseButtonRelease, to, canvas->mapToGlobal(to), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    input->MouseRelease(*d, release);
}

}  // namespace

void TfrmMain::SetupEditActions() {
    on("actnCut", [this] { selection_->Cut(); });
    on("actnCopy", [this] { selection_->Copy(); });
    on("actnPaste", [this] { selection_->Paste(); });
    on("actnDel", [this] { selection_->Clear(); });
    on("actSelectAll", [this] { SelectAll(*this); });
    on("actDropSelection", [this] {
        if (selection_->Empty()) return;
        selection_->Commit();
        UpdateClipboardActions();
    });
    on("actFitToScreen", [this] {
        TfrmDesk* d = ActiveFrmDesk(*this);
        if (!d || !d->SelectionFrameVisible() || !d->CurrentImage()) return;
        d->PlaceSelectionFrameAt(0, 0);
        d->ResizeSelection(d->CurrentImage()->Width(), d->CurrentImage()->Height());
    });
    on("actOriginalSize", [this] {
        if (TfrmDesk* d = ActiveFrmDesk(*this); d && d->SelectionFrameVisible())
            d->ResizeSelection(selection_->StoredWidth(), selection_->StoredHeight());
    });
    on("actBringToFront", [this] { selection_->SetInFront(true); });
    on("actSendToBack", [this] { selection_->SetInFront(false); });
}

void TfrmMain::UpdateEditActions() {
    TDeskWindow* d = ActiveDesk();
    const bool frame = d && d->SelectionFrameVisible();
    Action("actSelectAll")->setEnabled(d != nullptr);
    Action("actFitToScreen")->setEnabled(frame);
    Action("actOriginalSize")->setEnabled(frame);
    Action("actBringToFront")->setEnabled(frame && !selection_->InFront());
    Action("actSendToBack")->setEnabled(frame && selection_->InFront());
}

void TfrmMain::UpdateClipboardActions() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    QAction* paste = Action("actnPaste");
    if (!data || !data->hasImage()) paste->setEnabled(false);
    else if (desks_.DeskCount() > 0) paste->setEnabled(true);
    const bool own = desks_.ActiveIndex() && !selection_->Empty() && selection_->Owner() == desks_.ActiveIndex();
    for (const char* n : {"actnCopy", "actnCut", "actnDel"}) Action(n)->setEnabled(own);
}

void TfrmMain::UpdateUndoActions() {
    TDeskWindow* d = ActiveDesk();
    Action("actnUndo")->setEnabled(d && d->CanUndo());
    Action("actnRedo")->setEnabled(d && d->CanRedo());
}

}  // namespace velto
