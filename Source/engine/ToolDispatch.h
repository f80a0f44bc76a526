#pragma once
// The tool dispatcher: one mouse event on a canvas goes to the current tool.
// ApplyToolAt turns the canvas position into an image pixel, applies the
// Shift constraint of the drag tools, keeps LastPoint, runs the tool's
// handler and reports what changed. The handlers paint through the pixel
// writers (Painter.h) on the current image, compositing against the stroke's
// start image; what only the program around them can do (questions, windows,
// the floating selection, the zoom of a window) goes through a TToolHost.
//
// Protocol, as the canvas input keeps it: Press once, Move for every move
// (with button None for hover), then exactly one of Release or Cancel (the
// stroke ended by Escape: the image goes back to the stroke's start image).
#include <cstdint>
#include <optional>

#include "engine/Adjust.h"
#include "engine/Painter.h"
#include "engine/ToolState.h"
#include "model/Image.h"

namespace velto {

enum class TPhase : std::uint8_t { Release = 0, Move = 1, Press = 2, Cancel = 3 };
enum class TMouseButton : std::uint8_t { Left = 0, Right = 1, None = 2 };

struct TToolEvent {
    int X = 0;  // canvas position, scroll positions included
    int Y = 0;
    TMouseButton Button = TMouseButton::Left;
    bool Shift = false;
    TPhase Phase = TPhase::Press;
};

// The settings the tools read.
struct TToolSettings {
    bool SmoothEdges = false;
    bool FilterOnAlpha = true;
    TDither Dithering = TDither::On;
    // "PaletteAction": 0 change the palette, 1 keep it, 2 ask; another value
    // leaves the pixels as the stroke left them.
    std::uint8_t PaletteAction = 2;
};

// A text drawn for the text tool: the tag bitmap (255 x 255, the text at
// (1, 0)) and what the selection's size is measured from.
struct TTextStamp {
    TTagBitmap Tag;
    int TextWidth = 0;
    int TextHeight = 0;
    int Size = 0;
    bool Italic = false;
};

// What the hotspot window opens with.
struct THotspotRequest {
    int MaxX = 0;
    int MaxY = 0;
    int X = 0;
    int Y = 0;
};

class TToolHost {
public:
    virtual ~TToolHost() = default;
    // The tool becomes current as if its palette button were pressed (None
    // and Hotspot: nothing).
    virtual void PressToolButton(TToolId /*id*/) {}
    // The palette question ("PaletteAction" 2); without a window, its first answer.
    virtual TPaletteChoice AskPaletteChoice() { return TPaletteChoice::Change; }
    // The picker set the button's colour; paletteIndex is the entry of that
    // colour in the image's palette (-1 for none, or for the right button).
    virtual void ColorPicked(TMouseButton /*button*/, int /*paletteIndex*/) {}
    // The window's zoom becomes zoom.
    virtual void ZoomTo(int /*zoom*/) {}
    // The whole image changed (its palette, or its size when resized): the
    // window redraws it and the panes show it again.
    virtual void ImageReplaced(bool /*resized*/) {}
    // The floating selection is dropped into its image.
    virtual void CommitSelection() {}
    // The selection tool's drag from a to b ended: the block becomes the
    // floating selection.
    virtual void LiftSelection(TPoint /*a*/, TPoint /*b*/) {}
    // A new floating selection of these pixels with its top-left on image pixel at.
    virtual void FloatSelection(TmyImagePal&& /*pixels*/, TPoint /*at*/) {}
    // The document takes an image of that format (the crop tool asks).
    virtual bool CanAdd(ImageSize /*size*/, int /*bitCount*/) { return true; }
    // The text window, then the text drawn in the tag colour; nothing when cancelled.
    virtual std::optional<TTextStamp> AskText(TTagColor /*color*/) { return std::nullopt; }
    // The hotspot window opens with the request and sets the hotspot on OK.
    virtual void EditHotspot(const THotspotRequest& /*request*/) {}
    // The status read-out of every event.
    virtual void ShowToolStatus(TPoint /*anchor*/, TToolId /*tool*/, TMouseButton /*button*/, TPoint /*at*/) {}
};

// One event's world: the image it acts on and what it acts with.
struct TToolContext {
    TToolContext(TmyImagePal& image, const TmyImage* strokeStart, int zoom, TStrokeColors& colors, TToolHost& host)
        : Image(image), StrokeStart(strokeStart), Zoom(zoom), Colors(colors), Host(host) {}

    TmyImagePal& Image;           // the current image of the active window
    const TmyImage* StrokeStart;  // the image as it was at the press (null: none)
    int Zoom;                     // screen pixels per image pixel
    TStrokeColors& Colors;        // left and right button colours (the picker sets them)
    TToolHost& Host;
    TToolSettings Settings;
    // Uniform integers for the spray (0..k-1); without one the spray paints nothing.
    TRandomSource Random;
};

struct TToolResult {
    TPoint At;              // the image pixel the event went to
    TDirtyRect Changed;     // pixels written by the event
    TDirtySpans ChangedRows;  // the same, row by row
    bool Replaced = false;  // the whole image (palette, size) changed
};

TToolResult ApplyToolAt(TToolState& state, TToolContext& ctx, const TToolEvent& event);

// The palette step after an effect on an image below 24 bits: by the
// "PaletteAction" setting (asking when it is 2) the image gets an optimised
// palette for its new colours, or its pixels are fitted back onto the palette
// it has. True when the image was changed.
bool ApplyPaletteAction(TmyImagePal& image, std::uint8_t paletteAction, TDither dither, TToolHost& host);

// The colour of palette entry cell (the one the colour panel frames, -1 for
// none) changed from oldColor to newColor. Only an entry equal to oldColor
// changes: cell when it is one, else the first such entry; with none nothing
// changes. When no other entry keeps the old colour, the pixels of that
// colour follow. beforeChange runs once before anything is changed (the undo
// snapshot). The secondary colour follows when it was the old colour.
struct TPaletteEdit {
    bool Changed = false;
    int Entry = -1;
    bool SecondaryChanged = false;
};
TPaletteEdit ReplacePaletteColor(TmyImagePal& image, const TmyPixel& oldColor, const TmyPixel& newColor, int cell,
                                 TmyPixel& secondary, const std::function<void()>& beforeChange);

// The crop of the image to the rectangle between the two corners (both
// included, cut to the image). The image keeps its depth, palette and rate;
// its hotspot moves with the pixels. False (and nothing changed) when the
// document refuses the format: "msgNotUnique".
bool CropToRect(TmyImagePal& image, TPoint a, TPoint b, TToolHost& host);

}  // namespace velto
