#pragma once
// A GIF on the clipboard: its file bytes under "image/gif" beside its first
// frame as a plain picture, for programs that take either. Pasting prefers
// the GIF bytes; they come from another program and are read as a hostile
// file, within the codec's limits.
#include <QMimeData>

#include <memory>
#include <string>

#include "imagingqt/GifGraphic.h"

namespace velto {

inline constexpr const char* kGIFMimeType = "image/gif";
inline constexpr const char* sGIFClipboardFailed = "Failed to store GIF on clipboard";
inline constexpr const char* sUnsupportedClipboardFormat = "Unsupported clipboard format";

// The GIF's bytes and its Bitmap; nullptr for an image without frames.
// Raises GIFException when the image cannot be written.
std::unique_ptr<QMimeData> GIFMimeData(TGIFGraphic& graphic);

// graphic takes the clipboard's GIF bytes, or, when there are none or they
// are refused, its plain picture as one frame. False with the reason when
// neither is there or taken ("Unsupported clipboard format" when the data
// holds neither); the graphic is then as it was.
bool LoadGIFFromMimeData(TGIFGraphic& graphic, const QMimeData* data, std::string* error = nullptr);

// The same through the system clipboard.
bool CopyGIFToClipboard(TGIFGraphic& graphic, std::string* error = nullptr);
bool PasteGIFFromClipboard(TGIFGraphic& graphic, std::string* error = nullptr);

}  // namespace velto
