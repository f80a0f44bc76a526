#pragma once
// The small bitmaps the panes keep in the settings folder between runs
// ("colors.dat", "quickcolors.dat"): Windows bitmap files whatever their name.
#include <QImage>
#include <QString>

#include "platform/ReadLimits.h"

namespace velto {

// The bitmap at path as opaque RGB of the size of defaults. A missing,
// unreadable or oversized file gives defaults; a readable one of another
// size is drawn over defaults from the top-left corner (cropped or padded),
// so that the cells keep their places.
QImage LoadPersistedBitmap(const QString& path, const QImage& defaults, const ReadLimits& limits = {});

// Writes image as a 24-bit Windows bitmap, replacing the file only once the
// new one is complete. False when it could not be written.
bool SavePersistedBitmap(const QString& path, const QImage& image);

}  // namespace velto
