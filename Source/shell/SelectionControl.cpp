#include "SelectionControl.h"

#include "Desk.h"
#include "DocumentArea.h"
#include "ImageEdit.h"
#include "Options.h"
#include "PaneAccess.h"
#include "ToolController.h"

#include <QMdiSubWindow>

namespace velto {

namespace {

TDropSettings DropSettingsFromOptions() {
    const TOptions& o = Options();
    return {o.TransparentSelection, o.PaletteAction, o.Dithering ? TDither::On : TDither::Off};
}

// The preview pane shows desk's image when desk is the active window.
void RefreshPreviewOf(TfrmMain* main, TfrmDesk* desk) {
    TPreviewAccess* preview = PreviewPane();
    if (preview && desk && main->ActiveDesk() == desk) preview->RefreshPreview(desk->CurrentImage());
}

}  // namespace

TSelectionControl::TSelectionControl(TfrmMain* main, TToolController* tools) : main_(main), tools_(tools) {
    if (TDocumentArea* area = main->DocumentArea())
        QObject::connect(area, &TDocumentArea::selectionDropped, tools, [this] { MoveToNewWindow(); });
}

TfrmDesk* TSelectionControl::Desk(int slot) const { return slot ? qobject_cast<TfrmDesk*>(main_->Desk(slot)) : nullptr; }

TfrmDesk* TSelectionControl::ActiveDesk() const { return qobject_cast<TfrmDesk*>(main_->ActiveDesk()); }

void TSelectionControl::RefreshSelectionImage(bool force) {
    TfrmDesk* o = OwnerDesk();
    if (!o || main_->Desks().DeskCount() == 0) return;
    if (!force && !o->SelectionFrameVisible()) return;
    o->SizeSelectionFrame(sel_.Image.Width(), sel_.Image.Height());
    o->RefreshSelectionView();
}

void TSelectionControl::SetInFront(bool inFront) {
    sel_.InFront = inFront;
    RefreshSelectionImage(true);
}

bool TSelectionControl::CommitMayAsk() const {
    const TfrmDesk* o = OwnerDesk();
    const TmyImagePal* img = o ? o->CurrentImage() : nullptr;
    return img && DropMayAsk(sel_, *img, Options().PaletteAction);
}

void TSelectionControl::Commit() {
    if (sel_.IsEmpty()) return;
    TfrmDesk* o = OwnerDesk();
    TmyImagePal* img = o ? o->CurrentImage() : nullptr;
    if (!img) {
        // Its window is gone: there is nothing to drop into.
        sel_.Clear();
        return;
    }
    TImageEdit edit(*o, TEditKind::SelectionDrop);
    edit.Begin();
    const QPoint at = o->SelectionFramePixel();
    const TPaletteChoice choice =
        DropSelection(sel_, *img, at.x(), at.y(), DropSettingsFromOptions(), tools_->Windows().AskPaletteChoice);
    o->HideSelectionFrame();
    if (choice == TPaletteChoice::Change && o == ActiveDesk())
        if (TColorPanelAccess* panel = ColorPanel()) panel->ShowPalette(img->Palette ? &*img->Palette : nullptr);
    edit.Finish();
    tools_->State().SkipNextMove = true;
    main_->UpdateClipboardActions();
}

void TSelectionControl::Clear() {
    sel_.Clear();
    if (TfrmDesk* o = OwnerDesk()) {
        o->HideSelectionFrame();
        o->RedrawCanvas();
        RefreshPreviewOf(main_, o);
    }
    main_->UpdateClipboardActions();
}

void TSelectionControl::PasteInto(TmyImagePal& target, int x, int y) const {
    if (!sel_.IsEmpty()) sel_.PasteTo(x, y, target, Options().TransparentSelection);
}

void TSelectionControl::FloatIn(TfrmDesk& desk, int x, int y) {
    desk.PlaceSelectionFrameAt(x, y);
    FloatAtFrame(desk);
}

void TSelectionControl::FloatAtFrame(TfrmDesk& desk) {
    sel_.Owner = static_cast<std::uint8_t>(desk.Tag);
    sel_.InFront = true;
    desk.ShowSelectionFrame();
    RefreshSelectionImage(true);
    TImageEdit(desk, TEditKind::SelectionFloat).Done();
    main_->UpdateClipboardActions();
}

void TSelectionControl::Lift(int x1, int y1, int x2, int y2, bool copy) {
    TfrmDesk* d = ActiveDesk();
    TmyImagePal* img = d ? d->CurrentImage() : nullptr;
    if (!img) return;
    TImageEdit edit(*d, TEditKind::SelectionLift);
    edit.Begin();
    sel_.Rect = RectBetween({x1, y1}, {x2, y2});
    sel_.Lift(*img);
    if (sel_.IsEmpty()) return;
    // Exactly the lifted block is cleared, wherever the button was let go.
    if (!copy) ClearRect(*img, sel_.Rect);
    FloatIn(*d, sel_.Rect.Left, sel_.Rect.Top);
    edit.Finish();
}

bool TSelectionControl::Float(TmyImagePal&& pixels, int x, int y) {
    TfrmDesk* d = ActiveDesk();
    if (!d || !d->CurrentImage()) return false;
    sel_.Take(pixels);
    sel_.SetRect(x, y, x + sel_.Image.Width(), y + sel_.Image.Height());
    FloatIn(*d, x, y);
    return true;
}

void TSelectionControl::ImageEdited() {
    if (sel_.IsEmpty()) return;
    sel_.BaseImage.Assign(sel_.Image);
    RefreshSelectionImage(false);
}

void TSelectionControl::Resize(int width, int height) {
    if (sel_.IsEmpty()) return;
    sel_.Resize(width, height);
    RefreshSelectionImage(true);
}

void TSelectionControl::MoveBy(int dx, int dy) {
    TfrmDesk* o = OwnerDesk();
    if (sel_.IsEmpty() || !o) return;
    o->NudgeSelection(dx * o->Zoom(), dy * o->Zoom());
}

void TSelectionControl::Copy() {
    if (sel_.IsEmpty()) return;
    clip_.Copy(sel_.Image);
    if (TfrmDesk* d = ActiveDesk()) sel_.Owner = static_cast<std::uint8_t>(d->Tag);
    main_->UpdateClipboardActions();
}

void TSelectionControl::Cut() {
    if (sel_.IsEmpty()) return;
    clip_.Copy(sel_.Image);
    Clear();
}

bool TSelectionControl::Paste() {
    Commit();
    TfrmDesk* d = ActiveDesk();
    const TmyImagePal* img = d ? d->CurrentImage() : nullptr;
    const TFitRule rule{Options().ClipboardAction, Options().KeepAspectRatio, tools_->Windows().AskPictureFitting};
    if (!img || !clip_.Paste(sel_.Image, sel_.BaseImage, img->Height(), img->Width(), rule)) {
        main_->UpdateClipboardActions();
        return false;
    }
    ChangeColorDepth(sel_.Image, TBitDepth::Bits32, TPaletteKind::Optimised, TDither::Off);
    sel_.BaseImage.Assign(sel_.Image);
    tools_->PressToolButton(TToolId::Selection);
    sel_.SetRect(0, 0, sel_.Image.Width(), sel_.Image.Height());
    FloatIn(*d, 0, 0);
    return true;
}

void TSelectionControl::MoveToWindow(int slot, int x, int y) {
    TfrmDesk* target = Desk(slot);
    if (sel_.IsEmpty() || !target) return;
    if (TfrmDesk* o = OwnerDesk()) {
        o->HideSelectionFrame();
        o->RedrawCanvas();
    }
    target->MakeActive();
    // On the target's grid of zoomed pixels.
    const TCanvasGeometry g = target->CanvasGeometry();
    const QPoint canvas = target->CanvasImage()->pos();
    target->SelectionFrame()->move(x / g.zoom * g.zoom + canvas.x() - g.HorzOffset(),
                                   y / g.zoom * g.zoom + canvas.y() - g.VertOffset());
    FloatAtFrame(*target);
}

void TSelectionControl::MoveToNewWindow() {
    if (sel_.IsEmpty() || !main_->CreateDocumentWindow(QStringLiteral("Untitled"))) return;
    auto* desk = qobject_cast<TfrmDesk*>(main_->Desk(main_->Desks().DeskCount()));
    if (!desk) return;
    desk->Document()->AddImage(sel_.Image.Size(), sel_.Image.BitCount);
    if (QMdiSubWindow* f = desk->Frame()) f->show();
    desk->UpdateImageList(true);
    desk->SetZoom(desk->CurrentImage()->Zoom);
    desk->ImageChanged();
    desk->LayoutCanvas();
    main_->ActivateDesk(desk->Tag);
    tools_->UpdateBrushOutline();
    MoveToWindow(desk->Tag, 0, 0);
}

void TSelectionControl::DropImage(const TmyImagePal& image, int slot) {
    Commit();
    TfrmDesk* target = Desk(slot);
    if (!target) return;
    sel_.Take(image);
    sel_.SetRect(0, 0, sel_.Image.Width(), sel_.Image.Height());
    FloatIn(*target, 0, 0);
    tools_->PressToolButton(TToolId::Selection);
    target->MakeActive();
    main_->UpdateClipboardActions();
}

}  // namespace velto
