#pragma once
// The image clipboard over the system clipboard. A copy puts the image there
// as a plain picture flattened onto white, and beside it the same picture as
// GIF bytes ("image/gif") whose fully transparent pixels stay transparent;
// it remembers the image. A paste prefers GIF bytes (read as a hostile file)
// to the plain picture, gives the picture back its alpha when it is still
// exactly the program's last copy, and fits it into the room given.
#include <QImage>
#include <QMimeData>

#include <cstdint>
#include <vector>

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
    // Target receives the clipboard's picture (from its GIF bytes when it has
    // any the codec takes) (fitted by rule when larger
    // than maxWidth x maxHeight), mirror a copy of it, both at 32 bits
    // without palette. False, with both untouched, when the clipboard holds
    // no picture or one larger than a picture may be.
    bool Paste(TmyImagePal& target, TmyImagePal& mirror, int maxHeight, int maxWidth, const TFitRule& rule);
    // The clipboard holds a picture or GIF bytes.
    static bool HasBitmap();
    const TClipboardMemory& Memory() const { return memory_; }
    // The GIF bytes of the last copy; empty when it could not be made.
    const std::vector<std::uint8_t>& LastGif() const { return lastGif_; }

private:
    // The clipboard's GIF bytes as a picture: the program's own last copy
    // with its alpha, else the first frame with its transparency. False when
    // there are none or the codec refuses them.
    bool GifPicture(const QMimeData& data, TPicture& picture) const;

    TClipboardMemory memory_;
    std::vector<std::uint8_t> lastGif_;
};

}  // namespace velto
