#pragma once
// The snapshot sheet: the images of one document side by side with captions,
// every open document one row each, or a tool-bar strip of equal cells,
// drawn onto a 24-bit sheet; and the strip with real transparency.
#include <QColor>
#include <QImage>

#include <set>
#include <vector>

#include "engine/Composite.h"

namespace velto {

class TmyIcon;

enum class TSnapshotType { Selected, All, Toolbar };

struct TSnapshotStyle {
    TSnapshotType Type = TSnapshotType::Selected;
    std::set<int> BitCounts = {32};  // only images of these depths are drawn
    bool Checkerboard = false;        // else the background colour
    QColor Background = Qt::white;
    bool Text = true;
    QColor TextColor = Qt::black;
    bool Watermark = false;
    QColor WatermarkColor = Qt::black;
    TCheckerboard Checker;
};

inline constexpr int kSnapshotMargin = 10;
inline constexpr int kSnapshotMinCell = 55;
inline constexpr int kSnapshotCaption = 20;

// The sheet's size for documents (active: the one drawn alone); empty with
// no document.
QSize MeasureSnapshot(const std::vector<const TmyIcon*>& documents, const TmyIcon* active, const TSnapshotStyle& style);
// The sheet (RGB888); a null image with no document or when it cannot be
// allocated.
QImage BuildSnapshot(const std::vector<const TmyIcon*>& documents, const TmyIcon* active, const TSnapshotStyle& style);
// The tool-bar strip of the document with each image's own alpha (ARGB32,
// straight alpha, transparent around the images).
QImage TransparentStrip(const TmyIcon& document, const TSnapshotStyle& style);

}  // namespace velto
