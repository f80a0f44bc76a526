#pragma once
// PNG images and bitmaps meeting Qt: conversions between our bitmaps and
// QImage, a PNG image as an icon of an image list, the PNG graphic of the
// picture registry and the clipboard.
#include <QIcon>
#include <QImage>

#include <memory>

#include "imagingqt/ImagingGraphic.h"
#include "platform/Bitmap.h"
#include "png/PngImage.h"

namespace velto {

// Colours that stand for something rather than for themselves: the face of
// buttons (resolved from the application's palette) and no colour at all.
inline constexpr TColor clBtnFace = ColorFromValue(0x8000000Fu);
inline constexpr TColor clNone = ColorFromValue(0x1FFFFFFFu);
// The colour a value stands for; clNone stays clNone.
TColor ResolveColor(TColor c);

// A 32-bit bitmap as an ARGB32 image: with its fourth byte as alpha, or opaque.
QImage BitmapToImage(const TBitmap& bitmap, bool useAlpha);
// Any image as a 32-bit bitmap whose fourth byte is the image's alpha.
TBitmap ImageToBitmap(const QImage& image);

// The image as an icon of an image list on a background colour: blended onto
// it, and cut out where the image is fully transparent (alpha images) or of
// its transparent colour. On clNone the image keeps its own alpha.
QImage PngToIconImage(const TPNGObject& png, TColor background);
// The image as straight ARGB32 (transparency of every kind as alpha).
QImage PngToImage(const TPNGObject& png);
// An icon's image at a size as a PNG image with alpha.
std::unique_ptr<TPNGObject> IconToPng(const QIcon& icon, QSize size);

// The PNG graphic of the picture registry: loads with the PNG codec and
// shows the image (Bitmap) as it would be drawn.
class TPngGraphic : public TImagingGraphic {
public:
    void LoadDataFromStream(TStream& stream) override;
    TPNGObject Png;
};
// ".png" as "Portable Network Graphics", class TPNGObject; and its removal.
void RegisterPngGraphic();
void UnregisterPngGraphic();

// A picture of the program's own, built in from art/: <name>.png, or its
// drawing at twice the size (<name>@2x.png). nullptr when there is none.
std::unique_ptr<TPNGObject> ArtPng(const char* name, bool twice);

// Puts the image on the clipboard as a plain picture (drawn onto a bitmap of
// its size: no alpha), and builds the image from the clipboard's picture
// (false, image unchanged, when there is none).
void SavePngToClipboard(const TPNGObject& png);
bool LoadPngFromClipboard(TPNGObject& png);

}  // namespace velto
