#pragma once
// What the document dialogs (new image, properties, delete images, cursor
// test) share: the document window they work on and pictures of images.
#include <QImage>

class QWidget;

#include "model/Image.h"
#include "platform/Color.h"

namespace velto {

class TfrmDesk;

// The height a top-level window's inside may take on the screen it is on
// (or the main one): the screen's free area less its frame, at least a
// title bar and borders (as the dialogs are fitted when they open).
int ScreenRoomFor(const QWidget* window);

// The main window's active document window; null when none is open.
TfrmDesk* ActiveDocumentWindow();

// The image over back, scaled down to fit side x side (keeping its
// proportions) when larger: a tile of a thumbnail list.
QImage TilePicture(const TmyImagePal& image, int side, TColor back);

// The image as a picture with its own transparency (a cursor's picture).
QImage ImageToArgb(const TmyImage& image);

}  // namespace velto
