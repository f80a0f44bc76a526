#pragma once
// The drawing tools as the program runs them. The controller holds the tool
// state (the engine's TToolState), chooses tools, and turns mouse and key
// input on the canvases into strokes: the undo snapshot and the stroke's
// start image at the press, the dispatcher at every event, Escape and Shift
// followed from key events, the repaint of what changed, the rubber band and
// the brush outline drawn over the canvas.
//
// The tool palette pane and the tools' windows (text, hotspot, the palette
// question) live above the shell and plug in here; without them the tools
// still work (tests of the shell alone), the windows answering as cancelled.
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QRect>

#include <functional>
#include <optional>

#include "Desk.h"
#include "engine/ToolDispatch.h"

namespace velto {

class TfrmMain;

// The tool palette pane, as the tools reach it.
class TToolPaletteAccess {
public:
    virtual ~TToolPaletteAccess() = default;
    // Clicks the tool's button (which chooses the tool) and sets it down.
    virtual void PressToolButton(TToolId id) = 0;
    // The tool or a brush option changed: buttons and option panels follow.
    virtual void ToolStateChanged() = 0;
};

// The windows the tools open.
struct TToolWindows {
    // The text window, then its text drawn in the tag colour; nothing when cancelled.
    std::function<std::optional<TTextStamp>(TTagColor)> AskText;
    // The hotspot window opened with request; true on OK, the values chosen in request.
    std::function<bool(THotspotRequest&)> EditHotspot;
    // The palette question; without it the question's first answer.
    std::function<TPaletteChoice()> AskPaletteChoice;
    // What to do with a pasted picture larger than the image: 0 resize,
    // 1 crop, 2 advanced import; without it, resize.
    std::function<std::uint8_t()> AskPictureFitting;
};

class TImageEdit;
class TSelectionControl;

class TToolController : public QObject, public TCanvasInput {
    Q_OBJECT
public:
    explicit TToolController(TfrmMain* main);
    ~TToolController() override;

    TToolState& State() { return state_; }
    const TToolState& State() const { return state_; }
    void SetPalette(TToolPaletteAccess* palette) { palette_ = palette; }
    TToolPaletteAccess* Palette() const { return palette_; }
    TToolWindows& Windows() { return windows_; }
    // The floating selection and the image clipboard (the main window's
    // Selection() unless a test put another there).
    TSelectionControl& SelectionControl() { return *selection_; }
    // The spray's numbers (tests make them predictable).
    void SetRandomSource(TRandomSource random) { random_ = std::move(random); }

    // ---- choosing tools
    // The tool becomes current: the selection is dropped (unless the new tool
    // is the selection or text tool), the canvases take its cursor, the
    // palette its panels, and the brush outline follows.
    void SetTool(TToolId id);
    // As the tool's palette button does (None and Hotspot: nothing).
    void PressToolButton(TToolId id);
    // The current tool's cursor on every canvas (after cursors were loaded
    // or a window was opened).
    void UpdateCanvasCursors();
    // After the brush size or shape, or a zoom, changed.
    void UpdateBrushOutline();

    // ---- the colour panel and the hotspot window
    // The colour of the panel's palette cell changed (cell -1: none framed);
    // true when the image's palette changed (then undo holds the image before).
    bool ReplacePaletteColor(const TmyPixel& oldColor, const TmyPixel& newColor, int cell);
    // The hotspot window opened with request; on OK the current image takes
    // the hotspot (every frame of an animation) and the document is modified.
    void EditHotspot(THotspotRequest request);
    // The Hot Spot command: the window filled from the current image.
    void HotspotCommand();

    // ---- canvas input
    void MousePress(TfrmDesk& desk, QMouseEvent& event) override;
    void MouseMove(TfrmDesk& desk, QMouseEvent& event) override;
    void MouseRelease(TfrmDesk& desk, QMouseEvent& event) override;
    void MouseLeave(TfrmDesk& desk) override;
    void PaintOverlay(TfrmDesk& desk, QPainter& painter) override;
    // The window of the stroke running now (null when none runs).
    TfrmDesk* StrokeDesk() const { return strokeDesk_; }
    // Ends a running stroke as Escape does.
    void CancelStroke();
    // Where the band and the brush outline cover the canvas of desk (canvas
    // coordinates; empty when they do not show there).
    QRect BandRect(const TfrmDesk& desk) const;
    QRect OutlineRect(const TfrmDesk& desk) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class Host;
    friend class Host;

    TToolResult Dispatch(TfrmDesk& desk, QPoint pos, int button, bool shift, TPhase phase);
    // The end of a stroke: the release (or Escape) reaches the tool, then
    // the window's stroke state is cleared.
    void EndStroke(TfrmDesk& desk, QPoint pos, TPhase phase, bool shift);
    // The stroke state cleared without telling the tool (before a window opens).
    void DropStroke(TfrmDesk& desk);
    void RunPendingWindow(TfrmDesk& desk);
    void Repaint(TfrmDesk& desk, const TDirtyRect& changed, const TDirtySpans& rows);
    // The outline's window and the pointer there (none: where it was).
    void SetOutlineAt(TfrmDesk* desk, std::optional<QPoint> canvasPos);
    const QImage& OutlineRing(int zoom);
    TStrokeColors CurrentColors() const;
    TfrmDesk* ActiveDesk() const;

    TfrmMain* main_;
    TToolState state_;
    TToolPaletteAccess* palette_ = nullptr;
    TToolWindows windows_;
    TRandomSource random_;
    std::unique_ptr<Host> host_;
    std::unique_ptr<TSelectionControl> selection_;
    QPointer<TfrmDesk> strokeDesk_;
    // The running stroke's change of its window's document, begun at the press.
    std::unique_ptr<TImageEdit> strokeEdit_;
    // A window asked for during a press opens once the stroke has ended:
    // the hotspot window, or the palette question of a drop.
    std::optional<THotspotRequest> pendingHotspot_;
    bool pendingCommit_ = false;
    // The phase being dispatched, and the keys held at the mouse event.
    std::optional<TPhase> dispatching_;
    Qt::KeyboardModifiers modifiers_;
    // The band as last drawn, and where.
    QPointer<TfrmDesk> bandDesk_;
    QRect bandDrawn_;
    // The brush outline: the window and image pixel under the pointer.
    QPointer<TfrmDesk> outlineDesk_;
    QPoint outlinePixel_;
    QRect outlineDrawn_;
    QImage ring_;
    int ringZoom_ = 0;
    int ringSize_ = 0;
    TBrushShape ringShape_ = TBrushShape::Square;
};

}  // namespace velto
