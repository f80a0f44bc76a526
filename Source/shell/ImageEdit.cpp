#include "ImageEdit.h"

#include "Desk.h"
#include "MainWindow.h"
#include "MainWindowText.h"
#include "Options.h"
#include "PaneAccess.h"
#include "ToolController.h"
#include "core/MessageBox.h"
#include "engine/ColorDepth.h"

namespace velto {

namespace {

TPaletteAction PaletteActionSetting() {
    switch (Options().PaletteAction) {
    case 0: return TPaletteAction::Change;
    case 1: return TPaletteAction::Keep;
    default: return TPaletteAction::Ask;
    }
}

}  // namespace

TPaletteRule PaletteRuleFromSettings() {
    TPaletteRule::TAsk ask = [] {
        TfrmMain* main = frmMain();
        if (!main || !main->Tools().Windows().AskPaletteChoice) return TPaletteChoice::Change;
        // The question is put in the middle of a busy change: the normal
        // pointer while it is open.
        BusyCursorOff();
        const TPaletteChoice choice = main->Tools().Windows().AskPaletteChoice();
        BusyCursorOn();
        return choice;
    };
    return TPaletteRule(PaletteActionSetting(), Options().Dithering ? TDither::On : TDither::Off, std::move(ask));
}

bool ApplyPaletteAction(TmyImagePal& image, TPaletteRule& rule) {
    if (image.BitCount >= 24 || !image.Palette) return false;
    if (rule.Choice() == TPaletteChoice::Change)
        ChangeColorDepth(image, static_cast<TBitDepth>(image.BitCount), TPaletteKind::Optimised, rule.Dither());
    else
        RemapToPalette(image, rule.Dither());
    return true;
}

// ---------------------------------------------------------------- what each kind of edit does

namespace {

using H = TEditHistory;
using M = TEditModified;

struct TEditRow {
    TEditKind kind;
    TEditRule rule;
};

// The pixels a tool changes while the mouse moves were shown as they
// changed: a finished stroke only brings the thumbnail up to date. A lifted
// selection is shown by its frame. A dropped one brings its window's colour
// panel along only when the palette changed (its caller knows).
constexpr TEditRow kEditRows[] = {
    {TEditKind::ImageCommand, {H::Snapshot, M::AtFinish, EditCanvas | EditImageList | EditColors | EditPreview}},
    {TEditKind::ToolStroke, {H::Snapshot, M::AtBegin, EditThumbnail}},
    {TEditKind::ToolGesture, {H::Keep, M::Never, EditThumbnail}},
    {TEditKind::PaletteColor, {H::Snapshot, M::AtBegin, EditCanvas | EditColors | EditPreview}},
    // The palette window shows the loaded palette itself, and marks the
    // document modified only when a pixel or entry differs.
    {TEditKind::PaletteFile, {H::Snapshot, M::Never, 0}},
    {TEditKind::SelectionLift, {H::Snapshot, M::AtBegin, EditThumbnail}},
    // Floating pixels belong to the document until they are dropped, so Save
    // and the close question count them; the image is unchanged, so Undo has
    // nothing to bring back before the drop stores its own snapshot.
    {TEditKind::SelectionFloat, {H::Keep, M::AtFinish, EditThumbnail | EditActions}},
    {TEditKind::SelectionDrop, {H::Snapshot, M::AtBegin, EditCanvas | EditPreview}},
    // A new hotspot shows nowhere on the canvas; the close question must know of it.
    {TEditKind::Hotspot, {H::Keep, M::AtFinish, EditActions}},
    {TEditKind::Properties, {H::Keep, M::AtFinish, 0}},
    // The history belongs to the image that was current; the window lays
    // itself out for the new frame list (TfrmDesk::ImagesReordered).
    {TEditKind::Frames, {H::End, M::AtFinish, 0}},
    {TEditKind::Picture, {H::End, M::AtFinish, EditCanvas | EditImageList | EditColors | EditPreview | EditActions}},
};

void RefreshEdited(TfrmDesk& desk, unsigned what, bool relayout) {
    const TmyImagePal* image = desk.CurrentImage();
    if (!image) return;
    TfrmMain* main = frmMain();
    const bool active = main && main->ActiveDesk() == &desk;
    if (relayout) desk.LayoutCanvas();
    if (what & EditCanvas) desk.ImageChanged();
    else if (what & EditThumbnail) desk.UpdateCurrentThumbnail();
    if (what & EditColors)
        if (TColorPanelAccess* colors = ColorPanel(); colors && active) {
            colors->ShowPalette(image->Palette ? &*image->Palette : nullptr);
            colors->SetBitCount(image->BitCount);
        }
    if (what & EditPreview)
        if (TPreviewAccess* preview = PreviewPane(); preview && active) preview->RefreshPreview(image);
    if (what & EditImageList) desk.UpdateImageList(true);
    if ((what & EditActions) && main) main->UpdateActions();
}

}  // namespace

const TEditRule& EditRuleOf(TEditKind kind) {
    for (const TEditRow& row : kEditRows)
        if (row.kind == kind) return row.rule;
    return kEditRows[0].rule;
}

void RefreshAfterImageChange(TfrmDesk& desk, bool relayout) {
    RefreshEdited(desk, EditRuleOf(TEditKind::ImageCommand).refresh, relayout);
}

// ---------------------------------------------------------------- TImageEdit

TImageEdit::TImageEdit(TEditFrames frames, unsigned flags) : flags_(flags), palette_(PaletteRuleFromSettings()) {
    TfrmMain* main = frmMain();
    auto* desk = main ? qobject_cast<TfrmDesk*>(main->ActiveDesk()) : nullptr;
    if (!desk || !desk->HasImages()) return;
    desk_ = desk;
    TSelectionAccess& selection = main->Selection();
    if (!selection.Empty() && selection.Owner() == desk->Tag && selection.Image()) {
        onSelection_ = true;
        target_ = selection.Image();
        return;
    }
    allFrames_ = desk->IsAnimated() && (frames == TEditFrames::AllOfAnimation ||
                                        (frames == TEditFrames::BySetting && Options().EffectOnAllImages));
    first_ = allFrames_ ? 0 : desk->ItemIndex();
    last_ = allFrames_ ? desk->ImageCount() - 1 : first_;
    target_ = desk->CurrentImage();
}

TImageEdit::TImageEdit(TfrmDesk& desk, TEditKind kind)
    : desk_(&desk), target_(desk.CurrentImage()), kind_(kind), palette_(PaletteRuleFromSettings()) {
    first_ = last_ = desk.ItemIndex();
}

bool TImageEdit::Begin() {
    if (!Valid() || !desk_) return false;
    if (begun_) return true;
    TfrmMain* main = frmMain();
    if (kind_ == TEditKind::ImageCommand) {
        if (onSelection_) return begun_ = true;
        if (allFrames_) {
            begun_ = ShowMessageBox(Msg("msgNoUndo", "This action cannot be undone! Continue?").toStdString(),
                                    mkWarning, mbYes | mbNo) == idYes;
            return begun_;
        }
    }
    begun_ = true;
    const TEditRule& rule = EditRuleOf(kind_);
    if (rule.history == TEditHistory::Snapshot) desk_->UndoStore().Store(*target_);
    if (rule.modified == TEditModified::AtBegin) desk_->SetSaved(false);
    if (rule.history == TEditHistory::Snapshot && main) main->UpdateUndoActions();
    return true;
}

void TImageEdit::Apply(const Routine& routine, const Step& step) {
    if (!Valid() || !desk_) return;
    BusyCursorOn();
    if (onSelection_) {
        routine(*target_, palette_);
    } else {
        for (int i = first_; i <= last_ && i < desk_->ImageCount(); ++i) {
            if (step) step(i);
            TmyImagePal& image = desk_->Document()->Image(i);
            routine(image, palette_);
            // Every changed frame, so that none keeps colours its palette lacks.
            if (flags_ & RefitPalette) ApplyPaletteAction(image, palette_);
        }
    }
    BusyCursorOff();
}

void TImageEdit::Finish() {
    TfrmMain* main = frmMain();
    if (!begun_ || !desk_) return;
    begun_ = false;
    if (onSelection_) {
        if (main) main->Selection().ImageEdited();
        return;
    }
    const TEditRule& rule = EditRuleOf(kind_);
    if (rule.modified == TEditModified::AtFinish) desk_->SetSaved(false);
    // A snapshot of one frame would bring back that frame alone.
    if (rule.history == TEditHistory::End || allFrames_) {
        desk_->UndoStore().Clear();
        if (main) main->UpdateUndoActions();
    }
    RefreshEdited(*desk_, rule.refresh, (flags_ & Resizes) != 0);
}

bool TImageEdit::Run(const Routine& routine, const Step& step) {
    if (!Begin()) return false;
    Apply(routine, step);
    Finish();
    return true;
}

void TImageEdit::Done() {
    if (!Begin()) return;
    Finish();
}

}  // namespace velto
