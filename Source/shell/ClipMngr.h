#pragma once
// The image clipboard over the system clipboard. A copy puts the image there
// as a plain picture flattened onto white and remembers the image; a paste
// reads the clipboard's picture, gives it back its alpha when it is still
// exactly the program's last copy, and fits it into the room given.
#include <QImage>

#include "engine/Clipboard.h"

namespace velto {

// Pictures of the clipboard as the engine takes them, and back.
QImage ToQImage(const TRgbBuffer& bitmap);
// The picture at 24 bits (a picture with alpha loses it); empty for a null image.
TRgbBuffer ToRgbBuffer(const QImage& image);

class tmyClipMngr {
public:
    // Puts image on the clipboard.
    void Copy(const TmyImagePal& image);
    // Target receives the clipboard's picture (fitted by rule when larger
    // than maxWidth x maxHeight), mirror a copy of it, both at 32 bits
    // without palette. False, with both untouched, when the clipboard holds
    // no picture or one larger than a picture may be.
    bool Paste(TmyImagePal& target, TmyImagePal& mirror, int maxHeight, int maxWidth, const TFitRule& rule);
    // The clipboard holds a picture.
    static bool HasBitmap();
    const TClipboardMemory& Memory() const { return memory_; }

private:
    TClipboardMemory memory_;
};

}  // namespace velto
