#pragma once
// The floating selection in the program: the engine's selection, owned by
// the tools, tied to the document windows that show it. A window shows the
// selection in its frame (TfrmDesk's selection frame) where it can be
// dragged and resized; the image changes only when the selection is dropped.
// The image clipboard belongs here too, as the Edit menu's Cut, Copy and
// Paste work on the selection.
#include <QObject>

#include "ClipMngr.h"
#include "MainWindow.h"
#include "engine/Selection.h"

namespace velto {

class TToolController;
class TfrmDesk;

class TSelectionControl : public TSelectionAccess {
public:
    TSelectionControl(TfrmMain* main, TToolController* tools);

    tmyselection& Selection() { return sel_; }
    const tmyselection& Selection() const { return sel_; }
    tmyClipMngr& ClipMngr() { return clip_; }

    // ---- TSelectionAccess
    bool Empty() const override { return sel_.IsEmpty(); }
    int Owner() const override { return sel_.Owner; }
    void SetOwner(int owner) override { sel_.Owner = static_cast<std::uint8_t>(owner); }
    bool InFront() const override { return sel_.InFront; }
    void SetInFront(bool inFront) override;
    void Commit() override;
    bool CommitMayAsk() const override;
    void Clear() override;
    void PasteInto(TmyImagePal& target, int x, int y) const override;
    void Lift(int x1, int y1, int x2, int y2, bool copy) override;
    bool Float(TmyImagePal&& pixels, int x, int y) override;
    TmyImagePal* Image() override { return sel_.IsEmpty() ? nullptr : &sel_.Image; }
    void ImageEdited() override;
    void Resize(int width, int height) override;
    int StoredWidth() const override { return sel_.GetWidth(); }
    int StoredHeight() const override { return sel_.GetHeight(); }
    void MoveBy(int dx, int dy) override;
    void Copy() override;
    void Cut() override;
    bool Paste() override;
    void MoveToWindow(int slot, int x, int y) override;
    void DropImage(const TmyImagePal& image, int slot) override;

    // The owner window's frame takes the selection's size at its zoom and the
    // window shows it; without force nothing happens while the frame hides.
    void RefreshSelectionImage(bool force);
    // Its frame dropped off every window: a new window of one image of the
    // selection's size takes it at its origin.
    void MoveToNewWindow();

private:
    TfrmDesk* Desk(int slot) const;
    TfrmDesk* OwnerDesk() const { return Desk(sel_.Owner); }
    TfrmDesk* ActiveDesk() const;
    // The selection floats over window desk with its top-left on the canvas
    // position of image pixel (x, y), in front, its frame shown.
    void FloatIn(TfrmDesk& desk, int x, int y);
    // The same where desk's frame was placed already. Every road that makes
    // pixels float over a window ends here: a floating selection is a change
    // of that window's document (Save and the close question count it), and
    // its tile shows it.
    void FloatAtFrame(TfrmDesk& desk);

    TfrmMain* main_;
    TToolController* tools_;
    tmyselection sel_;
    tmyClipMngr clip_;
};

}  // namespace velto
