#pragma once
// What the panes ask of the user (colour and palette-file dialogs), of the
// active document window and of the tool palette. Each is a replaceable
// service: the program installs the real one, tests install scripted ones.
#include <QColor>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

#include "model/Image.h"
#include "model/Pixel.h"

class QWidget;

namespace velto {

// The colour dialog: the chosen colour, or nothing when cancelled.
using ColorChooser = std::function<std::optional<QColor>(const QColor& initial, QWidget* parent)>;
void SetColorChooser(ColorChooser chooser);  // null: the standard dialog
std::optional<QColor> ChooseColor(const QColor& initial, QWidget* parent);

// The palette file dialogs ("Load Palette", "Save Palette"): the file
// chosen, or empty when cancelled.
enum class PaletteDialog { Load, Save };
using PaletteFileChooser = std::function<QString(PaletteDialog which, const QString& title, QWidget* parent)>;
void SetPaletteFileChooser(PaletteFileChooser chooser);  // null: the standard dialogs
QString ChoosePaletteFile(PaletteDialog which, const QString& title, QWidget* parent);
// The dialogs' filters in the toolkit's form, converted from the
// "desc|pattern|desc|pattern" texts.
QString PaletteOpenFilter();
QString PaletteSaveFilter();
QString ConvertFilter(const QString& filter);

// The active document window as the panes use it.
class TDocumentLink {
public:
    virtual ~TDocumentLink() = default;
    // The current image of the active document window; null when none is open.
    virtual TmyImagePal* CurrentImage() = 0;
    // An undo snapshot of the current image, and the Undo/Redo commands updated.
    virtual void StoreUndo() = 0;
    // The canvas and the image's thumbnail redrawn after a change.
    virtual void ImageChanged() = 0;
    // The document's saved flag cleared (the close question will ask).
    virtual void SetModified() = 0;
    // When the active window shows a floating selection: pasted into image
    // at its place, true. False (and image unchanged) otherwise.
    virtual bool PasteSelection(TmyImagePal& image) = 0;
};
// Null: the link to the main window's active document window.
void SetDocumentLink(std::unique_ptr<TDocumentLink> link);
TDocumentLink& DocumentLink();

// The tool palette's part in a colour change.
struct TToolPaletteLink {
    // Carries the new colour of palette cell (the one framed in the panel,
    // -1 when none is) into the palette and the image; true when a palette
    // entry changed.
    std::function<bool(const TmyPixel& oldColor, const TmyPixel& newColor, int cell)> ReplacePaletteColor;
    // The opacity tool is usable only at 32 bits; when it is the current tool
    // and becomes unusable, the gradient tool takes its place.
    std::function<void(bool available)> SetOpacityToolAvailable;
};
TToolPaletteLink& ToolPaletteLink();

}  // namespace velto
