#pragma once
// What the document windows and the tools ask of the colour panel and the
// preview pane. The panes live in a library above the shell and register
// themselves here at start-up; until they do (and in tests of the shell
// alone) the accessors return null and callers skip the call.
#include "model/Image.h"
#include "model/Palette.h"
#include "model/Pixel.h"

namespace velto {

// The colour panel (frmColors): the two drawing colours of every tool.
class TColorPanelAccess {
public:
    virtual ~TColorPanelAccess() = default;
    // Primary (left button) and secondary (right button) colour. Writers
    // follow up with the Draw/Update calls below, as the picker tool does.
    virtual TmyPixel& ForeColor() = 0;
    virtual TmyPixel& BackColor() = 0;
    // Palette mode for a paletted current image, true-colour mode for null.
    virtual void ShowPalette(const TmyPalette* palette) = 0;
    // The current image's depth: the opacity slider and tool follow it.
    virtual void SetBitCount(int bits) = 0;
    virtual void SyncWithPalette(const TmyPalette& palette) = 0;
    // The frame around palette cell index (-1 hides it).
    virtual void SelectPaletteCell(int index) = 0;
    // After the transparency settings changed: swatches and strip.
    virtual void RefreshColors() = 0;
    virtual void DrawPrimaryColor() = 0;
    virtual void DrawSecondaryColor() = 0;
    virtual void UpdateRGBSliders() = 0;
    virtual void UpdateHSBSliders() = 0;
};

// The preview pane (frmPreview): follows the active document's image.
class TPreviewAccess {
public:
    virtual ~TPreviewAccess() = default;
    // Shows image (not owned; null clears nothing and shows nothing new).
    virtual void RefreshPreview(const TmyImagePal* image) = 0;
    // One painted pixel, without re-rendering the whole preview.
    virtual void PlotPixel(int x, int y, bool blend, const TmyPixel& pixel) = 0;
};

namespace pane_access_detail {
inline TColorPanelAccess*& ColorPanelSlot() {
    static TColorPanelAccess* panel = nullptr;
    return panel;
}
inline TPreviewAccess*& PreviewSlot() {
    static TPreviewAccess* preview = nullptr;
    return preview;
}
}  // namespace pane_access_detail

// The registered panes, or null. A pane unregisters (null) when destroyed.
inline TColorPanelAccess* ColorPanel() { return pane_access_detail::ColorPanelSlot(); }
inline void SetColorPanel(TColorPanelAccess* panel) { pane_access_detail::ColorPanelSlot() = panel; }
inline TPreviewAccess* PreviewPane() { return pane_access_detail::PreviewSlot(); }
inline void SetPreviewPane(TPreviewAccess* preview) { pane_access_detail::PreviewSlot() = preview; }

}  // namespace velto
