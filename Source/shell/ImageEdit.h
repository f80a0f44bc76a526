#pragma once
// Every change of a document goes through one TImageEdit: the undo snapshot,
// the modified flag and the refresh of the windows are its business, so that
// none of them is forgotten where a document changes. What each kind of
// change does is one row of a table (EditRuleOf):
//
//   history  a snapshot of the current frame before the change (so that Undo
//            brings it back), nothing, or the history ended (a change a
//            snapshot of one frame cannot undo);
//   modified the document marked modified when the change begins (a stroke
//            whose pixels change while the mouse moves), when it is
//            finished, or never;
//   refresh  what is shown anew when it is finished: canvas, thumbnail,
//            image list, colour panel, preview pane, commands.
//
// The use is always the same:
//
//   TImageEdit edit(desk, TEditKind::SelectionDrop);
//   edit.Begin();        // before the change: the snapshot (and flag)
//   ... change the document ...
//   edit.Finish();       // after it: the flag, the end of history, the refresh
//
// An edit that may turn out to change nothing begins only once it knows it
// does (Begun() tells); Finish() of an edit never begun does nothing.
//
// Image commands (the main window's effects, the editing dialogs' OK) use the
// other constructor, which also picks what they change:
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

#include <cstdint>
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

// The kinds of change of a document.
enum class TEditKind : std::uint8_t {
    ImageCommand,   // an effect or an editing dialog on the current frame
    ToolStroke,     // a drawing tool's stroke (begun at the press)
    ToolGesture,    // a stroke of a tool that changes no pixel (zoom, picker...)
    PaletteColor,   // an entry of the current image's palette replaced
    PaletteFile,    // a palette file loaded into the current image
    SelectionLift,  // pixels lifted from the image into the floating selection
    SelectionFloat, // pixels floating over the image (lifted, pasted, typed, dropped in)
    SelectionDrop,  // the floating selection dropped into the image
    Hotspot,        // the hotspot moved (every frame of an animation)
    Properties,     // a change shown already or not on the canvas: an animation's
                    // title, author or rates; the palette window's own change
    Frames,         // frames added, deleted or moved
    Picture,        // a picture brought in as the current image (import,
                    // capture): a fresh image, nothing before it to undo to
};

// What a finished edit shows anew.
enum TEditRefresh : unsigned {
    EditCanvas = 1u << 0,     // the canvas and its thumbnail
    EditThumbnail = 1u << 1,  // the thumbnail alone
    EditImageList = 1u << 2,  // the side bar and the image list
    EditColors = 1u << 3,     // the colour panel's palette and depth
    EditPreview = 1u << 4,    // the preview pane, when the window is the active one
    EditActions = 1u << 5,    // the commands' enabling
};

enum class TEditHistory : std::uint8_t { Keep, Snapshot, End };
enum class TEditModified : std::uint8_t { Never, AtBegin, AtFinish };

struct TEditRule {
    TEditHistory history;
    TEditModified modified;
    unsigned refresh;  // TEditRefresh bits
};

// The row of a kind.
const TEditRule& EditRuleOf(TEditKind kind);

class TImageEdit {
public:
    using Routine = std::function<void(TmyImagePal& image, TPaletteRule& palette)>;
    // Told the index of each frame before it is changed (a progress bar).
    using Step = std::function<void(int index)>;

    // An image command on the active window's image (none when no document is open).
    explicit TImageEdit(TEditFrames frames = TEditFrames::BySetting, unsigned flags = 0);
    // A change of kind to desk's current image (its frames for Frames,
    // Properties and Hotspot).
    TImageEdit(TfrmDesk& desk, TEditKind kind);

    TEditKind Kind() const { return kind_; }
    bool Begun() const { return begun_; }

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

    // Before the change: the kind's snapshot and modified flag. An image
    // command asks the no-undo question for every frame (false when the
    // answer is No: nothing may change) and stores nothing on the selection.
    // A second Begin() does nothing more.
    bool Begin();
    // Runs routine on the selection's pixels or on each frame in index order
    // (busy cursor on), then the palette step when asked for.
    void Apply(const Routine& routine, const Step& step = {});
    // After the change: the kind's modified flag, end of history and refresh.
    // For an image command the selection's pixels become its unscaled source
    // and its picture is redrawn; or the document is marked modified, the
    // canvas (laid out again when sizes changed), thumbnails, image list,
    // colour panel and preview show the current image, and a change of every
    // frame ends the undo history (a snapshot of one frame cannot undo it).
    void Finish();

    // Begin, Apply and Finish; false when there was nothing to change or the
    // question was declined.
    bool Run(const Routine& routine, const Step& step = {});
    // Begin and Finish at once, for a change already made that keeps no
    // snapshot (Hotspot, Properties, Frames).
    void Done();

private:
    QPointer<TfrmDesk> desk_;
    TmyImagePal* target_ = nullptr;
    TEditKind kind_ = TEditKind::ImageCommand;
    bool begun_ = false;
    unsigned flags_ = 0;
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
