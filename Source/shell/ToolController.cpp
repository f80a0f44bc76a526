#include "ToolController.h"

#include "ImageEdit.h"
#include "MainWindow.h"
#include "MainWindowText.h"
#include "Options.h"
#include "PaneAccess.h"
#include "SelectionControl.h"
#include "ToolArt.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <random>
#include <tuple>
#include <utility>

namespace velto {

namespace {

int ButtonCode(Qt::MouseButton b) { return b == Qt::LeftButton ? 0 : b == Qt::RightButton ? 1 : 2; }

TToolSettings SettingsFromOptions() {
    const TOptions& o = Options();
    TToolSettings s;
    s.SmoothEdges = o.SmoothEdges;
    s.FilterOnAlpha = o.FilterOnAlpha;
    s.Dithering = o.Dithering ? TDither::On : TDither::Off;
    s.PaletteAction = o.PaletteAction;
    return s;
}

// The colours the tools paint with: the colour panel's, or the settings'
// while no panel is there.
TmyPixel& ForeColorRef() { return ColorPanel() ? ColorPanel()->ForeColor() : Options().ForeColor; }
TmyPixel& BackColorRef() { return ColorPanel() ? ColorPanel()->BackColor() : Options().BackColor; }

// The canvas rectangle covering image pixels a..b (both included, any order).
QRect CanvasBox(const TfrmDesk& desk, TPoint a, TPoint b) {
    const TCanvasGeometry g = desk.CanvasGeometry();
    const int l = std::min(a.X, b.X), r = std::max(a.X, b.X) + 1;
    const int t = std::min(a.Y, b.Y), bo = std::max(a.Y, b.Y) + 1;
    return QRect(QPoint(l * g.zoom - g.hpos, t * g.zoom - g.vpos), QPoint(r * g.zoom - g.hpos - 1, bo * g.zoom - g.vpos - 1));
}

// The centre of an image pixel on the canvas.
QPoint CanvasCentre(const TfrmDesk& desk, TPoint p) {
    const TCanvasGeometry g = desk.CanvasGeometry();
    return {p.X * g.zoom - g.hpos + g.zoom / 2, p.Y * g.zoom - g.vpos + g.zoom / 2};
}

}  // namespace

// ---------------------------------------------------------------- what the tools ask of the program

class TToolController::Host : public TToolHost {
public:
    explicit Host(TToolController& c) : c_(c) {}
    TfrmDesk* desk = nullptr;        // the window of the event
    TStrokeColors* colors = nullptr;  // the event's colours

    void PressToolButton(TToolId id) override { c_.PressToolButton(id); }
    TPaletteChoice AskPaletteChoice() override {
        return c_.windows_.AskPaletteChoice ? c_.windows_.AskPaletteChoice() : TPaletteChoice::Change;
    }
    void ColorPicked(TMouseButton button, int paletteIndex) override {
        TColorPanelAccess* panel = ColorPanel();
        if (button == TMouseButton::Left) {
            ForeColorRef() = colors->Primary;
            if (!panel) return;
            if (desk && desk->CurrentImage() && desk->CurrentImage()->Palette) panel->SelectPaletteCell(paletteIndex);
            panel->DrawPrimaryColor();
            panel->UpdateRGBSliders();
            panel->UpdateHSBSliders();
        } else {
            BackColorRef() = colors->Secondary;
            if (panel) panel->DrawSecondaryColor();
        }
    }
    void ZoomTo(int zoom) override {
        if (!desk) return;
        desk->SetZoom(zoom);
        desk->ImageChanged();
        c_.UpdateBrushOutline();
    }
    void ImageReplaced(bool resized) override {
        if (!desk) return;
        if (resized) {
            desk->UpdateImageList(false);
            desk->LayoutCanvas();
        }
        desk->ImageChanged();
        const TmyImagePal* img = desk->CurrentImage();
        if (TColorPanelAccess* panel = ColorPanel(); panel && img) panel->ShowPalette(img->Palette ? &*img->Palette : nullptr);
        if (TPreviewAccess* preview = PreviewPane()) preview->RefreshPreview(img);
    }
    void CommitSelection() override {
        // A drop that may ask waits until the press has ended the stroke.
        TSelectionAccess& sel = c_.main_->Selection();
        if (c_.dispatching_ == TPhase::Press && sel.CommitMayAsk()) c_.pendingCommit_ = true;
        else sel.Commit();
    }
    void LiftSelection(TPoint a, TPoint b) override {
        // Alt keeps the pixels in the image (a copy); Ctrl too, as window
        // managers often take Alt with a drag for themselves.
        const bool copy = (c_.modifiers_ & (Qt::AltModifier | Qt::ControlModifier)) != 0;
        c_.main_->Selection().Lift(a.X, a.Y, b.X, b.Y, copy);
    }
    void FloatSelection(TmyImagePal&& pixels, TPoint at) override {
        c_.main_->Selection().Float(std::move(pixels), at.X, at.Y);
    }
    bool CanAdd(ImageSize size, int bitCount) override {
        return desk && desk->Document() && desk->Document()->CanAdd(size, bitCount);
    }
    std::optional<TTextStamp> AskText(TTagColor color) override {
        return c_.windows_.AskText ? c_.windows_.AskText(color) : std::nullopt;
    }
    // Opened once the stroke has ended: a window opened during a press
    // would leave the canvas waiting for a release it never gets.
    void EditHotspot(const THotspotRequest& request) override { c_.pendingHotspot_ = request; }
    void ShowToolStatus(TPoint anchor, TToolId tool, TMouseButton button, TPoint at) override {
        if (desk) desk->ShowToolStatus(anchor.X, anchor.Y, at.X, at.Y, static_cast<int>(button), static_cast<int>(tool));
    }

private:
    TToolController& c_;
};

// ---------------------------------------------------------------- choosing tools

TToolController::TToolController(TfrmMain* main)
    : QObject(main), main_(main), host_(std::make_unique<Host>(*this)),
      selection_(std::make_unique<TSelectionControl>(main, this)) {
    random_ = [gen = std::make_shared<std::mt19937>(std::random_device{}())](int k) {
        return std::uniform_int_distribution<int>(0, std::max(k, 1) - 1)(*gen);
    };
    main->SetSelection(selection_.get());
}

TToolController::~TToolController() { qApp->removeEventFilter(this); }

TfrmDesk* TToolController::ActiveDesk() const { return qobject_cast<TfrmDesk*>(main_->ActiveDesk()); }

void TToolController::SetTool(TToolId id) {
    state_.SetTool(id);
    if (id != TToolId::Selection && id != TToolId::Text) main_->Selection().Commit();
    UpdateCanvasCursors();
    UpdateBrushOutline();
    if (palette_) palette_->ToolStateChanged();
}

void TToolController::PressToolButton(TToolId id) {
    if (id == TToolId::None || id == TToolId::Hotspot) return;
    if (palette_)
        palette_->PressToolButton(id);
    else
        SetTool(id);
}

void TToolController::UpdateCanvasCursors() {
    const QCursor* cursor = main_->ToolCursor(ToolInfo(state_.ToolId).Cursor);
    for (int slot = 1; slot <= main_->Desks().DeskCount(); ++slot)
        if (auto* desk = qobject_cast<TfrmDesk*>(main_->Desk(slot))) {
            if (cursor) desk->CanvasImage()->setCursor(*cursor);
            else desk->CanvasImage()->unsetCursor();
        }
}

void TToolController::UpdateBrushOutline() {
    // Redrawn where it was; SetOutlineAt draws it anew at the next move.
    if (outlineDesk_ && !outlineDrawn_.isEmpty()) outlineDesk_->CanvasImage()->update(outlineDrawn_);
    outlineDrawn_ = {};
    if (outlineDesk_) SetOutlineAt(outlineDesk_, std::nullopt);
}

// ---------------------------------------------------------------- colour panel and hotspot window

bool TToolController::ReplacePaletteColor(const TmyPixel& oldColor, const TmyPixel& newColor, int cell) {
    TfrmDesk* desk = ActiveDesk();
    TmyImagePal* img = desk ? desk->CurrentImage() : nullptr;
    if (!img) return false;
    // Begun only once an entry is about to change: a colour no entry has
    // leaves the history and the modified flag alone.
    TImageEdit change(*desk, TEditKind::PaletteColor);
    const TPaletteEdit edit =
        velto::ReplacePaletteColor(*img, oldColor, newColor, cell, BackColorRef(), [&] { change.Begin(); });
    if (!edit.Changed) return false;
    if (edit.SecondaryChanged)
        if (TColorPanelAccess* panel = ColorPanel()) panel->DrawSecondaryColor();
    change.Finish();
    return true;
}

void TToolController::EditHotspot(THotspotRequest request) {
    TfrmDesk* desk = ActiveDesk();
    if (!desk || !desk->CurrentImage() || !windows_.EditHotspot || !windows_.EditHotspot(request)) return;
    TmyImagePal& img = *desk->CurrentImage();
    const int x = std::clamp(request.X, 0, img.Width() - 1), y = std::clamp(request.Y, 0, img.Height() - 1);
    bool changed = img.HotSpotX() != x || img.HotSpotY() != y;
    img.SetHotSpotX(x);
    img.SetHotSpotY(y);
    // An animation's frames share one hotspot.
    if (desk->IsAnimated())
        for (int i = 0; i < desk->Document()->Count(); ++i) {
            TmyImagePal& frame = desk->Document()->Image(i);
            changed = changed || frame.HotSpotX() != x || frame.HotSpotY() != y;
            frame.SetHotSpotX(x);
            frame.SetHotSpotY(y);
        }
    // A new hotspot is a change the close question must know of.
    if (changed) TImageEdit(*desk, TEditKind::Hotspot).Done();
}

void TToolController::HotspotCommand() {
    TfrmDesk* desk = ActiveDesk();
    const TmyImagePal* img = desk ? desk->CurrentImage() : nullptr;
    if (img) EditHotspot({img->Width() - 1, img->Height() - 1, img->HotSpotX(), img->HotSpotY()});
}

// ---------------------------------------------------------------- strokes

TStrokeColors TToolController::CurrentColors() const { return {ForeColorRef(), BackColorRef()}; }

TToolResult TToolController::Dispatch(TfrmDesk& desk, QPoint pos, int button, bool shift, TPhase phase) {
    TmyImagePal* img = desk.CurrentImage();
    if (!img) return {};
    TStrokeColors colors = CurrentColors();
    // A window a tool opens runs events of its own, which may dispatch again:
    // each dispatch gives back the host as it found it.
    const auto outer = std::pair{host_->desk, host_->colors};
    host_->desk = &desk;
    host_->colors = &colors;
    TToolContext ctx(*img, desk.StrokeStartImage(), desk.Zoom(), colors, *host_);
    ctx.Settings = SettingsFromOptions();
    ctx.Random = random_;
    const std::optional<TPhase> outerPhase = dispatching_;
    dispatching_ = phase;
    const TToolResult r = ApplyToolAt(state_, ctx, {pos.x(), pos.y(), static_cast<TMouseButton>(button), shift, phase});
    dispatching_ = outerPhase;
    std::tie(host_->desk, host_->colors) = outer;
    if (!r.Replaced) Repaint(desk, r.Changed, r.ChangedRows);
    // The band: the old one goes, the new one shows.
    const QRect band = BandRect(desk);
    if (band != bandDrawn_ || bandDesk_ != &desk) {
        if (bandDesk_) bandDesk_->CanvasImage()->update(bandDrawn_.adjusted(-2, -2, 2, 2));
        desk.CanvasImage()->update(band.adjusted(-2, -2, 2, 2));
        bandDesk_ = &desk;
        bandDrawn_ = band;
    }
    return r;
}

void TToolController::Repaint(TfrmDesk& desk, const TDirtyRect& changed, const TDirtySpans& rows) {
    if (changed.Empty()) return;
    const QRect rect(changed.Left, changed.Top, changed.Right - changed.Left, changed.Bottom - changed.Top);
    // What changed, not the rectangle around it (a diagonal stroke changes a
    // band); a floating selection is pasted into a copy per repaint, so there
    // the rectangle once.
    if (rows.Empty() || desk.SelectionFrameVisible()) {
        desk.RepaintImageRect(rect);
    } else {
        for (const TDirtyRect& r : rows.Rects())
            desk.RepaintImageRect(QRect(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top));
    }
    TPreviewAccess* preview = PreviewPane();
    const TmyImagePal* img = desk.CurrentImage();
    if (!preview || !img || main_->ActiveDesk() != &desk) return;
    // A few pixels one by one; many as a whole new picture.
    if ((rows.Empty() ? static_cast<long long>(rect.width()) * rect.height() : rows.Count()) > 4096) {
        preview->RefreshPreview(img);
        return;
    }
    const bool blend = img->BitCount == 32;
    const auto plot = [&](int y, int left, int right) {
        for (int x = left; x < right; ++x) preview->PlotPixel(x, y, blend, img->At(x, y));
    };
    if (rows.Empty()) {
        for (int y = rect.top(); y <= rect.bottom(); ++y) plot(y, rect.left(), rect.right() + 1);
        return;
    }
    for (std::size_t y = 0; y < rows.Rows.size(); ++y)
        plot(static_cast<int>(y), rows.Rows[y].Left, rows.Rows[y].Right);
}

void TToolController::MousePress(TfrmDesk& desk, QMouseEvent& event) {
    TStrokeInput& s = desk.Stroke();
    const QPoint v = event.position().toPoint() + QPoint(desk.CanvasGeometry().hpos, desk.CanvasGeometry().vpos);
    modifiers_ = event.modifiers();
    main_->LockToolActions();
    s.StrokeCancelled = false;
    // One stroke at a time: the other button pressed during a stroke does nothing.
    if (s.ButtonHeld) return;
    desk.MakeActive();
    TmyImagePal* img = desk.CurrentImage();
    if (!img) return;
    s.ButtonHeld = true;
    s.LastMousePos = v;
    desk.SetStrokeStartImage(std::make_unique<TmyImagePal>(*img));
    strokeDesk_ = &desk;
    qApp->installEventFilter(this);
    // The middle button holds a stroke that reaches no tool (and changes nothing).
    const int button = ButtonCode(event.button());
    const bool changes = button != 2 && ToolInfo(state_.ToolId).UndoAtPress;
    strokeEdit_ = std::make_unique<TImageEdit>(desk, changes ? TEditKind::ToolStroke : TEditKind::ToolGesture);
    strokeEdit_->Begin();
    if (button == 2) return;
    s.LastButton = button;
    Dispatch(desk, v, button, (event.modifiers() & Qt::ShiftModifier) != 0, TPhase::Press);
    RunPendingWindow(desk);
}

void TToolController::MouseMove(TfrmDesk& desk, QMouseEvent& event) {
    TStrokeInput& s = desk.Stroke();
    const TCanvasGeometry g = desk.CanvasGeometry();
    const QPoint v = event.position().toPoint() + QPoint(g.hpos, g.vpos);
    s.LastMousePos = v;
    modifiers_ = event.modifiers();
    SetOutlineAt(&desk, event.position().toPoint());
    // Released outside the window: the stroke ends here, at the pointer.
    if (!(event.buttons() & (Qt::LeftButton | Qt::RightButton)) && s.ButtonHeld) {
        EndStroke(desk, v, s.StrokeCancelled ? TPhase::Cancel : TPhase::Release,
                  (event.modifiers() & Qt::ShiftModifier) != 0);
        main_->UnlockToolActions();
        return;
    }
    Dispatch(desk, v, s.LastButton, (event.modifiers() & Qt::ShiftModifier) != 0, TPhase::Move);
    RunPendingWindow(desk);
}

void TToolController::MouseRelease(TfrmDesk& desk, QMouseEvent& event) {
    TStrokeInput& s = desk.Stroke();
    modifiers_ = event.modifiers();
    main_->UnlockToolActions();
    // Only the button that began the stroke ends it; a middle release ends
    // the middle button's stroke, which reaches no tool.
    if (!s.ButtonHeld || ButtonCode(event.button()) != s.LastButton) return;
    const TCanvasGeometry g = desk.CanvasGeometry();
    EndStroke(desk, event.position().toPoint() + QPoint(g.hpos, g.vpos),
              s.StrokeCancelled ? TPhase::Cancel : TPhase::Release, (event.modifiers() & Qt::ShiftModifier) != 0);
}

void TToolController::EndStroke(TfrmDesk& desk, QPoint pos, TPhase phase, bool shift) {
    TStrokeInput& s = desk.Stroke();
    Dispatch(desk, pos, s.LastButton, shift, phase);
    std::unique_ptr<TImageEdit> edit = std::move(strokeEdit_);
    DropStroke(desk);
    if (edit && edit->Desk() == &desk) edit->Finish();
    else desk.UpdateCurrentThumbnail();
    RunPendingWindow(desk);
}

void TToolController::DropStroke(TfrmDesk& desk) {
    TStrokeInput& s = desk.Stroke();
    s.LastButton = 2;
    s.ButtonHeld = false;
    s.ShiftHeld = false;
    desk.SetStrokeStartImage(nullptr);
    if (strokeDesk_ == &desk) strokeDesk_ = nullptr;
    if (!strokeDesk_) qApp->removeEventFilter(this);
}

void TToolController::RunPendingWindow(TfrmDesk& desk) {
    if (!pendingHotspot_ && !pendingCommit_) return;
    if (desk.Stroke().ButtonHeld) {
        DropStroke(desk);
        main_->UnlockToolActions();
    }
    if (pendingCommit_) {
        pendingCommit_ = false;
        // The selection's own window becomes the active one for the question.
        QTimer::singleShot(0, this, [this] {
            if (TDeskWindow* owner = main_->Desk(main_->Selection().Owner())) owner->MakeActive();
            main_->Selection().Commit();
        });
    }
    if (!pendingHotspot_) return;
    const THotspotRequest request = *pendingHotspot_;
    pendingHotspot_.reset();
    QTimer::singleShot(0, this, [this, request] { EditHotspot(request); });
}

void TToolController::CancelStroke() {
    TfrmDesk* desk = strokeDesk_;
    if (!desk || !desk->Stroke().ButtonHeld) return;
    desk->Stroke().StrokeCancelled = true;
    main_->UnlockToolActions();
    const TCanvasGeometry g = desk->CanvasGeometry();
    EndStroke(*desk, {g.hpos, g.vpos}, TPhase::Cancel, false);
}

bool TToolController::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type t = event->type();
    if ((t == QEvent::KeyPress || t == QEvent::KeyRelease) && strokeDesk_ && strokeDesk_->Stroke().ButtonHeld) {
        auto* key = static_cast<QKeyEvent*>(event);
        // A key travels up the parents: act on it once, where it starts, and
        // only in the stroke's window (not in a window a tool opened).
        QWidget* focus = QApplication::focusWidget();
        auto* w = qobject_cast<QWidget*>(watched);
        const bool first = focus ? watched == focus : (w && w->isWindow());
        if (key->isAutoRepeat() || !first || !w || w->window() != strokeDesk_->window())
            return QObject::eventFilter(watched, event);
        TfrmDesk& desk = *strokeDesk_;
        TStrokeInput& s = desk.Stroke();
        if (t == QEvent::KeyPress && key->key() == Qt::Key_Escape) {
            CancelStroke();
        } else if (key->key() == Qt::Key_Shift && s.ShiftHeld != (t == QEvent::KeyPress)) {
            // Shift pressed or let go re-applies the constraint where the pointer is.
            s.ShiftHeld = t == QEvent::KeyPress;
            Dispatch(desk, s.LastMousePos, s.LastButton, s.ShiftHeld, TPhase::Move);
        }
    }
    return QObject::eventFilter(watched, event);
}

// ---------------------------------------------------------------- overlays

QRect TToolController::BandRect(const TfrmDesk& desk) const {
    const TBand& b = state_.Band;
    if (!b.Shown() || strokeDesk_ != &desk) return {};
    if (b.Kind == TBandKind::Line) return QRect(CanvasCentre(desk, b.From), CanvasCentre(desk, b.To)).normalized();
    return CanvasBox(desk, b.From, b.To);
}

QRect TToolController::OutlineRect(const TfrmDesk& desk) const {
    if (outlineDesk_ != &desk || !ToolInfo(state_.ToolId).BrushOutline || desk.Zoom() <= 1) return {};
    const TCanvasGeometry g = desk.CanvasGeometry();
    const int half = state_.BrushSize / 2;
    const int side = g.zoom * state_.BrushSize + 2;
    return QRect((outlinePixel_.x() - half) * g.zoom - g.hpos - 1, (outlinePixel_.y() - half) * g.zoom - g.vpos - 1,
                 side, side);
}

void TToolController::SetOutlineAt(TfrmDesk* desk, std::optional<QPoint> canvasPos) {
    if (desk && canvasPos && desk->CurrentImage()) {
        const TCanvasGeometry g = desk->CanvasGeometry();
        const TPoint p =
            CanvasToImage(canvasPos->x() + g.hpos, canvasPos->y() + g.vpos, desk->CurrentImage()->Size(), g.zoom);
        outlinePixel_ = {p.X, p.Y};
    }
    outlineDesk_ = desk;
    const QRect now = desk ? OutlineRect(*desk) : QRect();
    if (now == outlineDrawn_) return;
    // Only the old and the new ring are repainted.
    if (!outlineDrawn_.isEmpty() && desk) desk->CanvasImage()->update(outlineDrawn_);
    if (!now.isEmpty() && desk) desk->CanvasImage()->update(now);
    outlineDrawn_ = now;
}

void TToolController::MouseLeave(TfrmDesk& desk) {
    if (outlineDesk_ == &desk && !outlineDrawn_.isEmpty()) desk.CanvasImage()->update(outlineDrawn_);
    outlineDrawn_ = {};
    if (outlineDesk_ == &desk) outlineDesk_ = nullptr;
}

const QImage& TToolController::OutlineRing(int zoom) {
    if (ringZoom_ == zoom && ringSize_ == state_.BrushSize && ringShape_ == state_.BrushShape && !ring_.isNull())
        return ring_;
    ringZoom_ = zoom;
    ringSize_ = state_.BrushSize;
    ringShape_ = state_.BrushShape;
    const TTagBitmap& tip = state_.Tip(TTagColor::Primary);
    const int side = zoom * tip.Width() + 2;
    // The tip's cells at the zoom, one screen pixel in from the edge; the
    // ring is every pixel next to a cell (diagonals too) that is no cell.
    std::vector<std::uint8_t> cell(static_cast<std::size_t>(side * side), 0);
    for (int r = 0; r < tip.Height(); ++r)
        for (int c = 0; c < tip.Width(); ++c) {
            if (tip.At(c, r).R != 0) continue;
            for (int y = 1 + r * zoom; y < 1 + (r + 1) * zoom; ++y)
                for (int x = 1 + c * zoom; x < 1 + (c + 1) * zoom; ++x) cell[static_cast<std::size_t>(y * side + x)] = 1;
        }
    ring_ = QImage(side, side, QImage::Format_ARGB32_Premultiplied);
    ring_.fill(Qt::transparent);
    auto isCell = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < side && y < side && cell[static_cast<std::size_t>(y * side + x)];
    };
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            if (isCell(x, y)) continue;
            bool near = false;
            for (int dy = -1; dy <= 1 && !near; ++dy)
                for (int dx = -1; dx <= 1 && !near; ++dx) near = isCell(x + dx, y + dy);
            if (near) ring_.setPixel(x, y, qRgb(0, 0, 0));
        }
    return ring_;
}

void TToolController::PaintOverlay(TfrmDesk& desk, QPainter& painter) {
    const QRect outline = OutlineRect(desk);
    if (!outline.isEmpty()) painter.drawImage(outline.topLeft(), OutlineRing(desk.Zoom()));
    const QRect band = BandRect(desk);
    if (band.isNull()) return;
    // Inverted pixels: the band shows on any colour and the canvas bitmap keeps none of it.
    painter.save();
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.setRenderHint(QPainter::Antialiasing, false);
    const TBandKind kind = state_.Band.Kind;
    painter.setPen(QPen(Qt::white, 0, kind == TBandKind::DottedRectangle ? Qt::DotLine : Qt::SolidLine));
    painter.setBrush(Qt::NoBrush);
    switch (kind) {
        case TBandKind::Line:
            painter.drawLine(CanvasCentre(desk, state_.Band.From), CanvasCentre(desk, state_.Band.To));
            break;
        case TBandKind::Ellipse: painter.drawEllipse(band.adjusted(0, 0, -1, -1)); break;
        case TBandKind::RoundRect:
            painter.drawRoundedRect(band.adjusted(0, 0, -1, -1), band.width() / 6.0, band.height() / 6.0);
            break;
        default: painter.drawRect(band.adjusted(0, 0, -1, -1)); break;
    }
    painter.restore();
}

}  // namespace velto
