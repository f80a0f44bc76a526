// The dispatcher, the palette step after effects, the palette-cell edit of the
// colour panel and the crop.
#include "engine/ToolDispatch.h"

#include <algorithm>

#include "core/Language.h"
#include "core/MessageBox.h"
#include "engine/ColorDepth.h"
#include "engine/ToolHandlers.h"

namespace velto {

namespace {

// The stroke's pixels back as they were at the press.
void RestoreStrokeStart(TPaintTarget& target, const TmyImage* start) {
    TmyImagePal& img = target.Image;
    if (!start || start->Size() != img.Size()) return;
    for (int y = 0; y < img.Height(); ++y) {
        const auto from = start->Row(y);
        const auto to = img.Row(y);
        for (int x = 0; x < img.Width(); ++x) {
            if (to[static_cast<std::size_t>(x)] == from[static_cast<std::size_t>(x)]) continue;
            to[static_cast<std::size_t>(x)] = from[static_cast<std::size_t>(x)];
            target.Canvas.Add(x, y);
            target.CanvasRows.Add(x, y);
        }
    }
}

}  // namespace

TToolResult ApplyToolAt(TToolState& state, TToolContext& ctx, const TToolEvent& event) {
    TToolResult result;
    TmyImagePal& img = ctx.Image;
    TPoint p = CanvasToImage(event.X, event.Y, img.Size(), ctx.Zoom);
    // Shift squares the drag from the first move on; the press is where it is.
    if (event.Shift && ToolInfo(state.ToolId).ShiftSquares &&
        (event.Phase == TPhase::Move || event.Phase == TPhase::Release))
        p = ConstrainDrag(state.ToolId, state.Anchor, p, img.Size());
    result.At = p;
    if (event.Button == TMouseButton::Left || event.Button == TMouseButton::Right) {
        TPaintTarget target(img, ctx.StrokeStart);
        if (event.Phase == TPhase::Press) state.LastPoint = p;
        if (tools::THandler handler = tools::HandlerOf(state.ToolId)) {
            tools::TToolCall call{state, ctx, target, result, p, event.Button, event.Phase, event.Shift};
            handler(call);
        }
        // A move handler still sees the previous position; a release sees the last move.
        if (event.Phase == TPhase::Move) state.LastPoint = p;
        // Escape takes the whole stroke back, whatever the tool painted on
        // the way (a brighten stroke on an indexed image would otherwise keep
        // colours its palette does not have).
        if (event.Phase == TPhase::Cancel) RestoreStrokeStart(target, ctx.StrokeStart);
        result.Changed.Add(target.Canvas);
        result.ChangedRows = std::move(target.CanvasRows);
    }
    ctx.Host.ShowToolStatus(state.Anchor, state.ToolId, event.Button, p);
    return result;
}

bool ApplyPaletteAction(TmyImagePal& image, std::uint8_t paletteAction, TDither dither, TToolHost& host) {
    if (image.BitCount >= 24 || !image.Palette) return false;
    int mode = paletteAction;
    if (mode == static_cast<int>(TPaletteAction::Ask)) mode = static_cast<int>(host.AskPaletteChoice());
    if (mode == static_cast<int>(TPaletteChoice::Change)) {
        ChangeColorDepth(image, static_cast<TBitDepth>(image.BitCount), TPaletteKind::Optimised, dither);
        return true;
    }
    if (mode == static_cast<int>(TPaletteChoice::Keep)) {
        RemapToPalette(image, dither);
        return true;
    }
    return false;
}

TPaletteEdit ReplacePaletteColor(TmyImagePal& image, const TmyPixel& oldColor, const TmyPixel& newColor, int cell,
                                 TmyPixel& secondary, const std::function<void()>& beforeChange) {
    TPaletteEdit edit;
    if (!image.Palette || oldColor == newColor || oldColor.A == 0 || newColor.A == 0) return edit;
    TmyPalette& palette = *image.Palette;
    // The entry must hold the old colour: a framed cell that does not (the
    // colour came from elsewhere) gives way to the first one that does.
    int entry = cell >= 0 && cell < palette.Count() && palette[cell].EqualsRGB(oldColor) ? cell : -1;
    int holders = 0;
    for (int i = 0; i < palette.Count(); ++i) {
        if (!palette[i].EqualsRGB(oldColor)) continue;
        ++holders;
        if (entry < 0) entry = i;
    }
    if (entry < 0) return edit;
    if (palette[entry].EqualsRGB(newColor) && palette[entry].A == 255) return edit;
    if (beforeChange) beforeChange();
    palette[entry] = TmyPixel::CreateRGBA(newColor.R, newColor.G, newColor.B, 255);
    // Pixels follow only when no other entry still holds the old colour.
    if (holders <= 1)
        for (TmyPixel& p : image.Pixels())
            if (p.A != 0 && p.EqualsRGB(oldColor)) p.SetRGB(newColor.R, newColor.G, newColor.B);
    if (secondary == oldColor) {
        secondary = newColor;
        edit.SecondaryChanged = true;
    }
    edit.Changed = true;
    edit.Entry = entry;
    return edit;
}

bool CropToRect(TmyImagePal& image, TPoint a, TPoint b, TToolHost& host) {
    const int left = std::max(0, std::min(a.X, b.X));
    const int top = std::max(0, std::min(a.Y, b.Y));
    const int right = std::min(image.Width() - 1, std::max(a.X, b.X));
    const int bottom = std::min(image.Height() - 1, std::max(a.Y, b.Y));
    if (right < left || bottom < top) return false;
    const ImageSize size{right - left + 1, bottom - top + 1};
    if (!host.CanAdd(size, image.BitCount)) {
        ShowMessageBox(Lang().GetMessage("msgNotUnique", "There is already an image with this format in the icon!"),
                       mkWarning, mbOK);
        return false;
    }
    // The pixels came from this image: its depth and palette still fit them.
    TmyImagePal cropped(size, image.BitCount);
    cropped.Palette = image.Palette;
    for (int y = 0; y < size.Height; ++y) {
        const auto row = image.Row(top + y).subspan(static_cast<std::size_t>(left), static_cast<std::size_t>(size.Width));
        std::copy(row.begin(), row.end(), cropped.Row(y).begin());
    }
    cropped.SetRate(image.Rate());
    cropped.Zoom = image.Zoom;
    cropped.SetHotSpotX(image.HotSpotX() - left);
    cropped.SetHotSpotY(image.HotSpotY() - top);
    image.Assign(cropped);
    return true;
}

}  // namespace velto
