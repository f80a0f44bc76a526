#include "SnapshotSheet.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

#include "model/Icon.h"

namespace velto {

namespace {

bool Shown(const TmyImagePal& image, const TSnapshotStyle& s) { return s.BitCounts.count(image.BitCount) > 0; }

// Captions at one small size, so that the sheet's layout does not follow the
// desktop's font size: the usual "32x32 - 32" fits the narrowest cell.
QFont CaptionFont() {
    QFont font;
    font.setPixelSize(10);
    return font;
}

// Measures as drawn onto the sheet (an image's resolution, not the screen's).
QFontMetrics CaptionMetrics() {
    static const QImage device(1, 1, QImage::Format_RGB888);
    return QFontMetrics(CaptionFont(), &device);
}

QString Caption(const TmyImagePal& image) {
    return QStringLiteral("%1x%2 - %3").arg(image.Width()).arg(image.Height()).arg(image.BitCount);
}

// An image's cell: at least the narrowest cell, and as wide as its caption,
// so that a caption never runs into the next one.
int CellWidth(const TmyImagePal& image, const TSnapshotStyle& s, const QFontMetrics& metrics) {
    const int c = std::max(image.Width(), kSnapshotMinCell);
    return s.Text ? std::max(c, metrics.horizontalAdvance(Caption(image))) : c;
}

QSize MeasureRow(const TmyIcon& doc, const TSnapshotStyle& s) {
    const QFontMetrics metrics = CaptionMetrics();
    int w = 0, h = 0;
    for (int i = 0; i < doc.Count(); ++i) {
        const TmyImagePal& image = doc.Image(i);
        if (!Shown(image, s)) continue;
        w += CellWidth(image, s, metrics) + kSnapshotMargin;
        h = std::max(h, image.Height() + kSnapshotMargin + (s.Text ? kSnapshotCaption : 0));
    }
    return {w, h};
}

int StripSide(const TmyIcon& doc) {
    int side = 0;
    for (int i = 0; i < doc.Count(); ++i) side = std::max({side, doc.Image(i).Width(), doc.Image(i).Height()});
    return side;
}

// (sheet * (255 - alpha) + image * alpha) >> 8, channel by channel.
void Blend(QImage& sheet, const TmyImagePal& image, int top, int left) {
    for (int y = 0; y < image.Height(); ++y) {
        const int sy = top + y;
        if (sy < 0 || sy >= sheet.height()) continue;
        std::uint8_t* row = sheet.scanLine(sy);
        for (int x = 0; x < image.Width(); ++x) {
            const int sx = left + x;
            if (sx < 0 || sx >= sheet.width()) continue;
            const TmyPixel& p = image.At(x, y);
            std::uint8_t* d = row + 3 * sx;
            const int a = p.A, na = 255 - a;
            d[0] = static_cast<std::uint8_t>((d[0] * na + p.R * a) >> 8);
            d[1] = static_cast<std::uint8_t>((d[1] * na + p.G * a) >> 8);
            d[2] = static_cast<std::uint8_t>((d[2] * na + p.B * a) >> 8);
        }
    }
}

void WatermarkLines(QImage& sheet, int bottom, int from, int to, int above, const QColor& colour) {
    QPainter p(&sheet);
    p.setPen(colour);
    for (int k = 0; k <= 3; ++k)
        for (int m = 1; m <= 4; ++m) {
            const int y = bottom - m * 10 - k * 70;
            if (y > above) p.drawLine(from, y, to, y);
        }
}

void DrawRow(QImage& sheet, int top, const TmyIcon& doc, const TSnapshotStyle& s) {
    const QSize row = MeasureRow(doc, s);
    const int bottom = top + row.height();
    int x = kSnapshotMargin;
    QPainter painter(&sheet);
    painter.setFont(CaptionFont());
    const QFontMetrics metrics = painter.fontMetrics();
    for (int i = 0; i < doc.Count(); ++i) {
        const TmyImagePal& image = doc.Image(i);
        if (!Shown(image, s)) continue;
        const int c = CellWidth(image, s, metrics);
        const int t = bottom - image.Height() - kSnapshotMargin - (s.Text ? kSnapshotCaption : 0);
        Blend(sheet, image, t, image.Width() < c ? x + (c - image.Width()) / 2 : x);
        if (s.Text) {
            painter.setPen(s.TextColor);
            const int lineY = t + image.Height() + 5;
            painter.drawLine(x, lineY, x + c, lineY);
            const QString caption = Caption(image);
            const int tw = metrics.horizontalAdvance(caption);
            painter.drawText(QPoint(tw < c ? x + (c - tw) / 2 : x, t + image.Height() + 7 + metrics.ascent()), caption);
        }
        x += c + kSnapshotMargin;
    }
    painter.end();
    if (s.Watermark)
        WatermarkLines(sheet, bottom - (s.Text ? kSnapshotCaption : 0) - kSnapshotMargin, kSnapshotMargin,
                       sheet.width() - kSnapshotMargin, top, s.WatermarkColor);
}

}  // namespace

QSize MeasureSnapshot(const std::vector<const TmyIcon*>& documents, const TmyIcon* active, const TSnapshotStyle& s) {
    switch (s.Type) {
    case TSnapshotType::Selected:
        if (!active) return {};
        return MeasureRow(*active, s) + QSize(kSnapshotMargin, kSnapshotMargin);
    case TSnapshotType::All: {
        if (documents.empty()) return {};
        int w = 0, h = 0;
        for (const TmyIcon* d : documents) {
            const QSize row = MeasureRow(*d, s);
            w = std::max(w, row.width());
            h += row.height();
        }
        return {w + kSnapshotMargin, h + kSnapshotMargin};
    }
    case TSnapshotType::Toolbar:
        if (!active) return {};
        return {StripSide(*active) * active->Count(), StripSide(*active)};
    }
    return {};
}

QImage BuildSnapshot(const std::vector<const TmyIcon*>& documents, const TmyIcon* active, const TSnapshotStyle& s) {
    const QSize size = MeasureSnapshot(documents, active, s);
    if (size.width() <= 0 || size.height() <= 0) return {};
    QImage sheet(size, QImage::Format_RGB888);
    if (sheet.isNull()) return {};
    for (int y = 0; y < sheet.height(); ++y) {
        std::uint8_t* row = sheet.scanLine(y);
        for (int x = 0; x < sheet.width(); ++x) {
            const QColor c = s.Checkerboard ? QColor(ColorR(CheckerColor(x, y, s.Checker)), ColorG(CheckerColor(x, y, s.Checker)),
                                                     ColorB(CheckerColor(x, y, s.Checker)))
                                            : s.Background;
            row[3 * x] = static_cast<std::uint8_t>(c.red());
            row[3 * x + 1] = static_cast<std::uint8_t>(c.green());
            row[3 * x + 2] = static_cast<std::uint8_t>(c.blue());
        }
    }
    if (s.Type == TSnapshotType::Toolbar) {
        const int side = StripSide(*active);
        for (int i = 0; i < active->Count(); ++i) {
            const TmyImagePal& image = active->Image(i);
            if (Shown(image, s))
                Blend(sheet, image, (side - image.Height()) / 2, (side - image.Width()) / 2 + side * i);
        }
        if (s.Watermark) WatermarkLines(sheet, side, 0, sheet.width(), -1, s.WatermarkColor);
        return sheet;
    }
    int y = kSnapshotMargin;
    const std::vector<const TmyIcon*> rows = s.Type == TSnapshotType::All ? documents : std::vector<const TmyIcon*>{active};
    for (const TmyIcon* d : rows) {
        DrawRow(sheet, y, *d, s);
        y += MeasureRow(*d, s).height();
    }
    return sheet;
}

QImage TransparentStrip(const TmyIcon& doc, const TSnapshotStyle& s) {
    const int side = StripSide(doc);
    if (side == 0) return {};
    QImage strip(side * doc.Count(), side, QImage::Format_ARGB32);
    if (strip.isNull()) return {};
    strip.fill(Qt::transparent);
    for (int i = 0; i < doc.Count(); ++i) {
        const TmyImagePal& image = doc.Image(i);
        if (!Shown(image, s)) continue;
        const int left = (side - image.Width()) / 2 + side * i, top = (side - image.Height()) / 2;
        for (int y = 0; y < image.Height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(strip.scanLine(top + y));
            for (int x = 0; x < image.Width(); ++x) {
                const TmyPixel& p = image.At(x, y);
                row[left + x] = qRgba(p.R, p.G, p.B, p.A);
            }
        }
    }
    if (s.Watermark) {
        // Colour only: the lines keep the alpha below them.
        for (int k = 0; k <= 3; ++k)
            for (int m = 1; m <= 4; ++m) {
                const int y = side - m * 10 - k * 70;
                if (y < 0 || y >= side) continue;
                auto* row = reinterpret_cast<QRgb*>(strip.scanLine(y));
                for (int x = 0; x < strip.width(); ++x)
                    row[x] = qRgba(s.WatermarkColor.red(), s.WatermarkColor.green(), s.WatermarkColor.blue(), qAlpha(row[x]));
            }
    }
    return strip;
}

}  // namespace velto
