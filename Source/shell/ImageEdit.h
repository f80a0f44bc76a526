#pragma once
// A change of the active document's image, made the same way by the image
// commands of the main window and by the OK of the editing dialogs:
//
//   target   the floating selection's pixels when the selection floats in the
//            active window; otherwise the document's frames: every frame of
//            an animated cursor when "EffectOnAllImages" is on (after the
//            no-undo question), else the current frame (after an undo
//            snapshot, so that Undo brings it back);
//   palette  one palette rule for the whole change, so that the palette
//            question is asked at most once;
//   refresh  afterwards the selection's picture, or the window's canvas, side
//            bar and image list, the colour panel and the preview pane.
//
// A dialog previews on a copy of Target() and on OK calls Run() with the same
// routine; a dialog with a progress bar passes a step callback.
#include <QPointer>

#include <functional>

#include "engine/Adjust.h"
#include "model/Image.h"

namespace velto {

class TfrmDesk;
class TfrmMain;

// The palette rule of one change from the settings ("PaletteAction",
// "Dithering"); the question is the palette-change window's.
TPaletteRule PaletteRuleFromSettings();

// The palette step after an effect on an image below 24 bits: the image gets
// an optimised palette of its depth for its new colours, or its pixels are
// fitted back onto the palette it has, as the rule says. True when the image
// was refitted. Images of 24 bits and more are left alone.
bool ApplyPaletteAction(TmyImagePal& image, TPaletteRule& rule);

// Which frames a change of the document reaches.
enum class TEditFrames : std::uint8_t {
    // Every frame of an animated cursor when "EffectOnAllImages" is on, else
    // the current frame.
    BySetting,
    // Every frame of an animated cursor whatever the setting (its frames
    // must keep one size), the current frame of an icon.
    AllOfAnimation,
    // The current frame only.
    Current,
};

// What a change does besides the routine.
enum TEditFlag : unsigned {
    // The palette step (ApplyPaletteAction) runs on every changed frame.
    RefitPalette = 1u << 0,
    // Frame sizes may change: the canvas is laid out again.
    Resizes = 1u << 1,
};

class TImageEdit {
public:
    using Routine = std::function<void(TmyImagePal& image, TPaletteRule& palette)>;
    // Told the index of each frame before it is changed (a progress bar).
    using Step = std::function<void(int index)>;

    // The change of the active window's image (none when no document is open).
    explicit TImageEdit(TEditFrames frames = TEditFrames::BySetting, unsigned flags = 0);

    bool Valid() const { return target_ != nullptr; }
    bool OnSelection() const { return onSelection_; }
    bool AllFrames() const { return allFrames_; }
    TfrmDesk* Desk() const { return desk_; }
    // What a preview starts from and what the change reaches first: the
    // selection's pixels or the current frame. Null when not Valid().
    TmyImagePal* Target() const { return target_; }
    // The frames the change reaches, first to last (both -1 on the selection).
    int First() const { return first_; }
    int Last() const { return last_; }
    TPaletteRule& Palette() { return palette_; }

    // Before the change: for every frame the no-undo question (false when the
    // answer is No: nothing may change), for the current frame the undo
    // snapshot. On the selection nothing is stored.
    bool Begin();
    // Runs routine on the selection's pixels or on each frame in index order
    // (busy cursor on), then the palette step when asked for.
    void Apply(const Routine& routine, const Step& step = {});
    // After the change: the selection's pixels become its unscaled source and
    // its picture is redrawn; or the document is marked modified, the canvas
    // (laid out again when sizes changed), thumbnails, image list, colour
    // panel and preview show the current image, and a change of every frame
    // ends the undo history (a snapshot of one frame cannot undo it).
    void Finish();

    // Begin, Apply and Finish; false when there was nothing to change or the
    // question was declined.
    bool Run(const Routine& routine, const Step& step = {});

private:
    QPointer<TfrmDesk> desk_;
    TmyImagePal* target_ = nullptr;
    unsigned flags_;
    bool onSelection_ = false;
    bool allFrames_ = false;
    int first_ = -1;
    int last_ = -1;
    TPaletteRule palette_;
};

// The refresh of a document window after its current image (pixels, palette,
// depth or size) changed: canvas, thumbnails and image list, colour panel
// (palette and depth) and preview pane; relayout lays the canvas out again.
void RefreshAfterImageChange(TfrmDesk& desk, bool relayout);

}  // namespace velto
