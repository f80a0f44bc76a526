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

void RefreshAfterImageChange(TfrmDesk& desk, bool relayout) {
    const TmyImagePal* image = desk.CurrentImage();
    if (!image) return;
    if (relayout) desk.LayoutCanvas();
    desk.ImageChanged();
    if (TColorPanelAccess* colors = ColorPanel()) {
        colors->ShowPalette(image->Palette ? &*image->Palette : nullptr);
        colors->SetBitCount(image->BitCount);
    }
    if (TPreviewAccess* preview = PreviewPane()) preview->RefreshPreview(image);
    desk.UpdateImageList(true);
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

bool TImageEdit::Begin() {
    if (!Valid()) return false;
    if (onSelection_) return true;
    if (allFrames_)
        return ShowMessageBox(Msg("msgNoUndo", "This action cannot be undone! Continue?").toStdString(), mkWarning,
                              mbYes | mbNo) == idYes;
    desk_->UndoStore().Store(*target_);
    if (TfrmMain* main = frmMain()) main->UpdateUndoActions();
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
    if (!Valid() || !desk_) return;
    if (onSelection_) {
        if (main) main->Selection().ImageEdited();
        return;
    }
    desk_->SetSaved(false);
    if (allFrames_) {
        // A snapshot of one frame would bring back that frame alone.
        desk_->UndoStore().Clear();
        if (main) main->UpdateUndoActions();
    }
    RefreshAfterImageChange(*desk_, (flags_ & Resizes) != 0);
}

bool TImageEdit::Run(const Routine& routine, const Step& step) {
    if (!Begin()) return false;
    Apply(routine, step);
    Finish();
    return true;
}

}  // namespace velto
