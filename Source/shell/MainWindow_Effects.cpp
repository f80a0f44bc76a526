// The one-click image effects of the Image, Adjust and Filters menus (by
// their Tag), Last Effect, the one-pixel shifts, the palette step after an
// effect, and Undo and Redo.
#include "MainWindow.h"

#include "Desk.h"
#include "Effects.h"
#include "ImageEdit.h"
#include "MainActions.h"
#include "MainWindowText.h"
#include "ModalForms.h"
#include "Options.h"
#include "PaneAccess.h"
#include "core/MessageBox.h"

#include <QAction>

#include <optional>

namespace velto {

namespace {

int TagOf(const QAction* action) {
    bool ok = false;
    const int tag = action ? action->property("Tag").toInt(&ok) : -1;
    return ok ? tag : -1;
}

}  // namespace

void TfrmMain::SetupEffectActions() {
    // Tag 0 (Custom Filter) opens its dialog; the shifts may move the selection.
    for (const ActionSpec& row : MainActionTable())
        if (row.tag >= 1) actions_.setHandler(row.name, [this](QAction* a) { ApplyEffect(a); });
    actions_.setHandler("actnLeft", [this](QAction* a) { shiftCommand(a, -1, 0); });
    actions_.setHandler("actnRight", [this](QAction* a) { shiftCommand(a, 1, 0); });
    actions_.setHandler("actnUp", [this](QAction* a) { shiftCommand(a, 0, -1); });
    actions_.setHandler("actnDown", [this](QAction* a) { shiftCommand(a, 0, 1); });
    on("actLast", [this] { ApplyEffect(lastEffect_); });
    on("actnUndo", [this] { Undo(); });
    on("actnRedo", [this] { Redo(); });
}

bool TfrmMain::ApplyEffect(QAction* action) {
    const int tag = TagOf(action);
    if (!EffectOfTag(tag)) return false;
    SetLastEffect(action);
    // The colour modes refit an indexed palette by their own rule; the others
    // leave colours the palette lacks, and the quarter turns a new size.
    TImageEdit edit(TEditFrames::BySetting,
                    (IsColorModeEffect(tag) ? 0u : unsigned(RefitPalette)) | (IsQuarterTurn(tag) ? unsigned(Resizes) : 0u));
    if (!edit.Valid()) return false;
    std::optional<TFilterKernel> custom;
    if (tag == 0) {
        const TCustomFilterForm* filter = FormAs<TCustomFilterForm>(QStringLiteral("frmFilter"));
        if (!filter) return false;
        custom = filter->GetKernel();
    }
    // An icon holds one image of each size and depth: a turned image may not
    // take the format of another one.
    if (IsQuarterTurn(tag) && !edit.OnSelection() && !edit.Desk()->IsAnimated()) {
        const TmyImagePal& image = *edit.Target();
        if (image.Width() != image.Height() &&
            !edit.Desk()->Document()->CanAdd({image.Height(), image.Width()}, image.BitCount)) {
            ShowMessageBox(Msg("msgNotUnique", "There is already an image with this format in the icon!").toStdString(),
                           mkWarning, mbOK);
            return false;
        }
    }
    if (!edit.Begin()) return false;
    const bool filterOnAlpha = Options().FilterOnAlpha;
    edit.Apply([&](TmyImagePal& image, TPaletteRule& palette) {
        RunEffect(image, tag, palette, filterOnAlpha, custom ? &*custom : nullptr);
    });
    edit.Finish();
    return true;
}

void TfrmMain::shiftCommand(QAction* action, int dx, int dy) {
    auto* desk = qobject_cast<TfrmDesk*>(ActiveDesk());
    if (!desk) return;
    // A selection floating here moves by one image pixel, as a drag of its
    // frame would move it.
    if (!selection_->Empty() && selection_->Owner() == desk->Tag) {
        selection_->MoveBy(dx, dy);
        return;
    }
    ApplyEffect(action);
}

void TfrmMain::ApplyPaletteAction(TmyImagePal& image) {
    TPaletteRule rule = PaletteRuleFromSettings();
    velto::ApplyPaletteAction(image, rule);
    if (TColorPanelAccess* colors = ColorPanel()) colors->ShowPalette(image.Palette ? &*image.Palette : nullptr);
}

// ---------------------------------------------------------------- undo and redo

void TfrmMain::Undo() {
    auto* desk = qobject_cast<TfrmDesk*>(ActiveDesk());
    if (!desk || !desk->HasImages() || !desk->CanUndo()) return;
    tmyUndo& undo = desk->UndoStore();
    // The present image is kept first, so that Redo can come back to it.
    if (undo.StoreBeforeUndo()) undo.Store(*desk->CurrentImage());
    const TmyImagePal* snapshot = undo.Undo();
    if (!snapshot) return;
    desk->SetSaved(false);
    desk->CurrentImage()->Assign(*snapshot);
    imageRestored();
}

void TfrmMain::Redo() {
    auto* desk = qobject_cast<TfrmDesk*>(ActiveDesk());
    if (!desk || !desk->HasImages() || !desk->CanRedo()) return;
    const TmyImagePal* snapshot = desk->UndoStore().Redo();
    if (!snapshot) return;
    desk->CurrentImage()->Assign(*snapshot);
    desk->SetSaved(false);
    imageRestored();
}

void TfrmMain::imageRestored() {
    auto* desk = qobject_cast<TfrmDesk*>(ActiveDesk());
    const TmyImagePal* image = desk ? desk->CurrentImage() : nullptr;
    if (!image) return;
    desk->ImageChanged();
    if (TPreviewAccess* preview = PreviewPane()) preview->RefreshPreview(image);
    if (TColorPanelAccess* colors = ColorPanel()) colors->ShowPalette(image->Palette ? &*image->Palette : nullptr);
    UpdateUndoActions();
    // The restored image may have another size or depth: an icon takes its
    // order again. An animation's frames keep their playing order.
    const bool moved = !desk->IsAnimated() && desk->Document()->SortImages();
    desk->UpdateImageList(moved);
    UpdateClipboardActions();
    desk->LayoutCanvas();
}

}  // namespace velto
