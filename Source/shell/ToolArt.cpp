#include "ToolArt.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace velto {

namespace {

const QColor kInk(40, 40, 40);
const QColor kPaper(250, 250, 250);
const QColor kAccent(52, 101, 164);

QPixmap Canvas(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    return pm;
}

void Page(QPainter& p, QRectF r) {
    p.setPen(QPen(kInk, 1.2));
    p.setBrush(kPaper);
    QPainterPath path;
    path.moveTo(r.left(), r.top());
    path.lineTo(r.right() - 5, r.top());
    path.lineTo(r.right(), r.top() + 5);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    p.drawPath(path);
}

void Arrow(QPainter& p, bool redo) {
    p.save();
    if (redo) {
        p.translate(24, 0);
        p.scale(-1, 1);
    }
    p.setPen(QPen(kAccent, 2.4, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    QPainterPath arc;
    arc.moveTo(7, 10);
    arc.cubicTo(14, 4, 22, 8, 20, 16);
    p.drawPath(arc);
    p.setBrush(kAccent);
    p.setPen(Qt::NoPen);
    p.drawPolygon(QPolygonF({QPointF(3, 10), QPointF(10, 5), QPointF(10, 15)}));
    p.restore();
}

void MousePointer(QPainter& p, QPointF at, double s) {
    QPolygonF shape({QPointF(0, 0), QPointF(0, 14), QPointF(3.5, 10.5), QPointF(6, 16), QPointF(8, 15),
                     QPointF(5.5, 9.5), QPointF(10, 9.5)});
    for (QPointF& pt : shape) pt = at + pt * s;
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawPolygon(shape);
}

void Checker(QPainter& p, QRectF r) {
    p.setPen(Qt::NoPen);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            p.setBrush(((x + y) & 1) ? QColor(200, 200, 200) : kPaper);
            p.drawRect(QRectF(r.left() + x * r.width() / 4, r.top() + y * r.height() / 4, r.width() / 4,
                              r.height() / 4));
        }
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kInk, 1));
    p.drawRect(r);
}

// A magnifying glass with a minus, or a plus.
void Magnifier(QPainter& p, bool plus) {
    p.setPen(QPen(kInk, 1.8));
    p.setBrush(kPaper);
    p.drawEllipse(QPointF(10, 10), 6, 6);
    p.setPen(QPen(kInk, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(14.5, 14.5), QPointF(20.5, 20.5));
    p.setPen(QPen(kAccent, 1.6));
    p.drawLine(QPointF(7, 10), QPointF(13, 10));
    if (plus) p.drawLine(QPointF(10, 7), QPointF(10, 13));
}

QPixmap DrawIcon(const QString& name) {
    QPixmap pm = Canvas(24);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    if (name == "actToolNew") {
        Page(p, QRectF(5, 2.5, 14, 19));
    } else if (name == "actToolOpen") {
        p.setPen(QPen(kInk, 1.2));
        p.setBrush(QColor(233, 185, 110));
        p.drawRect(QRectF(2.5, 6.5, 17, 13));
        p.setBrush(QColor(252, 233, 79));
        p.drawPolygon(QPolygonF({QPointF(5, 10.5), QPointF(22, 10.5), QPointF(19.5, 19.5), QPointF(2.5, 19.5)}));
    } else if (name == "actToolSave") {
        p.setPen(QPen(kInk, 1.2));
        p.setBrush(kAccent);
        p.drawRoundedRect(QRectF(3.5, 3.5, 17, 17), 2, 2);
        p.setBrush(kPaper);
        p.drawRect(QRectF(7, 3.5, 10, 6));
        p.drawRect(QRectF(6.5, 13, 11, 7.5));
    } else if (name == "actToolCut") {
        p.setPen(QPen(kInk, 1.6));
        p.drawLine(QPointF(7, 3), QPointF(15, 15));
        p.drawLine(QPointF(17, 3), QPointF(9, 15));
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(164, 0, 0), 1.8));
        p.drawEllipse(QPointF(7, 18), 3.2, 3.2);
        p.drawEllipse(QPointF(17, 18), 3.2, 3.2);
    } else if (name == "actToolCopy") {
        Page(p, QRectF(3.5, 2.5, 11, 14));
        Page(p, QRectF(9.5, 7.5, 11, 14));
    } else if (name == "actToolPaste") {
        p.setPen(QPen(kInk, 1.2));
        p.setBrush(QColor(193, 125, 17));
        p.drawRoundedRect(QRectF(4.5, 4.5, 15, 17), 2, 2);
        p.setBrush(QColor(186, 189, 182));
        p.drawRect(QRectF(8.5, 2.5, 7, 4));
        Page(p, QRectF(8.5, 9.5, 12, 12));
    } else if (name == "actToolUndo" || name == "actToolRedo") {
        Arrow(p, name == "actToolRedo");
    } else if (name == "actToolHotspot") {
        p.setPen(QPen(QColor(204, 0, 0), 1.6));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(12, 12), 6, 6);
        p.drawLine(QPointF(12, 2), QPointF(12, 22));
        p.drawLine(QPointF(2, 12), QPointF(22, 12));
    } else if (name == "actToolTest") {
        MousePointer(p, QPointF(7, 3), 1.1);
    } else if (name == "actToolProp") {
        Page(p, QRectF(5, 2.5, 14, 19));
        p.setPen(QPen(kAccent, 1.4));
        for (int y = 8; y <= 17; y += 3) p.drawLine(QPointF(8, y), QPointF(16, y));
    } else if (name == "actToolFilter") {
        Checker(p, QRectF(3.5, 3.5, 17, 17));
        p.setPen(QPen(kAccent, 2));
        p.drawText(QRectF(3, 3, 18, 18), Qt::AlignCenter, QStringLiteral("\u03b1"));
    } else if (name == "actToolAntiAlias") {
        p.setPen(QPen(QColor(80, 80, 80, 90), 6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(4, 19), QPointF(20, 5));
        p.setPen(QPen(kInk, 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(4, 19), QPointF(20, 5));
    } else if (name == "actToolTrans") {
        Checker(p, QRectF(6.5, 6.5, 14, 14));
        p.setPen(QPen(kInk, 1.2, Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(2.5, 2.5, 14, 14));
    } else if (name == "actToolAuto" || name == "actZoomIn") {
        Magnifier(p, true);
    } else if (name == "actToolEffect") {
        p.setPen(QPen(kInk, 1.2));
        for (int i = 2; i >= 0; --i) {
            p.setBrush(QColor::fromHsv(200 + i * 40, 140, 230));
            p.drawRect(QRectF(3.5 + i * 3, 3.5 + i * 3, 12, 12));
        }
    } else if (name == "actNewImage" || name == "actDuplicateImage") {
        if (name == "actDuplicateImage") Checker(p, QRectF(3.5, 3.5, 11, 11));
        Checker(p, QRectF(8.5, 8.5, 12, 12));
        p.setPen(QPen(QColor(78, 154, 6), 2.4));
        p.drawLine(QPointF(5, 1.5), QPointF(5, 8.5));
        p.drawLine(QPointF(1.5, 5), QPointF(8.5, 5));
    } else if (name == "actDelImage") {
        Checker(p, QRectF(6.5, 6.5, 14, 14));
        p.setPen(QPen(QColor(204, 0, 0), 2.4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(3, 3), QPointF(10, 10));
        p.drawLine(QPointF(10, 3), QPointF(3, 10));
    } else if (name == "actImportImage") {
        Page(p, QRectF(8, 2.5, 13, 18));
        p.setPen(QPen(kAccent, 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(2, 14), QPointF(12, 14));
        p.drawLine(QPointF(8.5, 10.5), QPointF(12, 14));
        p.drawLine(QPointF(8.5, 17.5), QPointF(12, 14));
    } else if (name == "actZoomOut") {
        Magnifier(p, false);
    } else if (name == "actGrid") {
        p.setPen(QPen(kInk, 1));
        for (double v = 3.5; v <= 21; v += 4.5) {
            p.drawLine(QPointF(v, 3.5), QPointF(v, 21.5));
            p.drawLine(QPointF(3.5, v), QPointF(21.5, v));
        }
    } else if (name == "actSidebar") {
        p.setPen(QPen(kInk, 1.2));
        p.setBrush(kPaper);
        p.drawRect(QRectF(2.5, 3.5, 19, 17));
        p.setBrush(QColor(186, 189, 182));
        p.drawRect(QRectF(2.5, 3.5, 6, 17));
    } else {
        return {};
    }
    return pm;
}

// Standard names of the freedesktop icon theme, where one fits.
QString ThemeName(const QString& name) {
    static const QHash<QString, QString> names = {
        {"actToolNew", "document-new"},   {"actToolOpen", "document-open"},
        {"actToolSave", "document-save"}, {"actToolCut", "edit-cut"},
        {"actToolCopy", "edit-copy"},     {"actToolPaste", "edit-paste"},
        {"actToolUndo", "edit-undo"},     {"actToolRedo", "edit-redo"},
        {"actToolProp", "document-properties"},
    };
    return names.value(name);
}

// Cursor shapes: a small glyph at the hot spot.
void DrawCursorGlyph(QPainter& p, int number) {
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    switch (number) {
        case crZoom:
            p.drawEllipse(QPointF(6, 6), 5, 5);
            p.setPen(QPen(Qt::black, 3, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(10, 10), QPointF(15, 15));
            break;
        case crPencil:  // tip at 0,15
            p.drawPolygon(QPolygonF({QPointF(0, 15), QPointF(2, 10), QPointF(11, 1), QPointF(14, 4), QPointF(5, 13)}));
            break;
        case crPick:
            p.drawPolygon(QPolygonF({QPointF(0, 15), QPointF(1, 12), QPointF(9, 4), QPointF(11, 6), QPointF(3, 14)}));
            p.setBrush(Qt::black);
            p.drawEllipse(QPointF(12, 3), 2.5, 2.5);
            break;
        case crErase:
            p.drawPolygon(QPolygonF({QPointF(0, 11), QPointF(8, 3), QPointF(13, 8), QPointF(5, 16)}));
            break;
        case crBrush:
            p.drawLine(QPointF(14, 1), QPointF(5, 10));
            p.setBrush(Qt::black);
            p.drawEllipse(QPointF(3, 12), 3, 3);
            break;
        case crFlood:  // bucket with a drop at the hot spot
            p.drawPolygon(QPolygonF({QPointF(4, 6), QPointF(10, 0), QPointF(16, 6), QPointF(10, 12)}));
            p.setBrush(Qt::black);
            p.drawEllipse(QPointF(2, 13), 2, 2.5);
            break;
        case crSpray:
            p.drawRect(QRectF(6, 6, 6, 9));
            for (QPointF d : {QPointF(1, 1), QPointF(3, 0), QPointF(0, 3), QPointF(4, 3)}) p.drawPoint(d);
            break;
        case crText:  // an I-beam
            p.drawLine(QPointF(4, 0), QPointF(4, 14));
            p.drawLine(QPointF(1, 0), QPointF(7, 0));
            p.drawLine(QPointF(1, 14), QPointF(7, 14));
            break;
        case crBS:  // blur and sharpen: a drop
            p.drawEllipse(QPointF(8, 10), 5, 5);
            break;
        case crHand1:
        case crHand2: {  // open and closed hand
            p.drawRoundedRect(QRectF(3, number == crHand1 ? 5 : 8, 11, 10), 3, 3);
            if (number == crHand1)
                for (int i = 0; i < 4; ++i) p.drawRoundedRect(QRectF(3 + i * 2.8, 0, 2.6, 8), 1.2, 1.2);
            break;
        }
        default: {  // crosshair tools: a small picture of the shape drawn
            p.drawLine(QPointF(7, 0), QPointF(7, 14));
            p.drawLine(QPointF(0, 7), QPointF(14, 7));
            QRectF badge(10, 10, 9, 9);
            p.setBrush(Qt::white);
            if (number == crSelect || number == crCrop) {
                p.setPen(QPen(Qt::black, 1, Qt::DotLine));
                p.setBrush(Qt::NoBrush);
                p.drawRect(badge);
            } else if (number == crLine) {
                p.drawLine(badge.bottomLeft(), badge.topRight());
            } else if (number == crRect) {
                p.drawRect(badge);
            } else if (number == crRoundRect) {
                p.drawRoundedRect(badge, 3, 3);
            } else if (number == crEllipse) {
                p.drawEllipse(badge);
            } else if (number == crTrans) {
                p.setBrush(QColor(128, 128, 128, 128));
                p.drawRect(badge);
            } else if (number == crBD) {
                p.setBrush(Qt::black);
                p.drawPie(badge, 90 * 16, 180 * 16);
                p.setBrush(Qt::NoBrush);
                p.drawEllipse(badge);
            } else if (number == crGrad) {
                QLinearGradient g(badge.topLeft(), badge.topRight());
                g.setColorAt(0, Qt::black);
                g.setColorAt(1, Qt::white);
                p.setBrush(g);
                p.drawRect(badge);
            }
            break;
        }
    }
}

QPoint CursorHotSpot(int number) {
    switch (number) {
        case crZoom: return {6, 6};
        case crPencil:
        case crPick: return {0, 15};
        case crErase: return {1, 11};
        case crBrush: return {1, 14};
        case crFlood: return {2, 15};
        case crSpray: return {1, 1};
        case crText: return {4, 7};
        case crBS: return {8, 10};
        case crHand1:
        case crHand2: return {8, 9};
        default: return {7, 7};
    }
}

}  // namespace

QIcon DrawnToolbarIcon(const QString& actionName) {
    QPixmap pm = DrawIcon(actionName);
    return pm.isNull() ? QIcon() : QIcon(pm);
}

QIcon ToolbarIcon(const QString& actionName) {
    const QString theme = ThemeName(actionName);
    if (!theme.isEmpty() && QIcon::hasThemeIcon(theme)) return QIcon::fromTheme(theme);
    return DrawnToolbarIcon(actionName);
}

bool MakeToolCursor(int number, QCursor* out) {
    if (number < crFirstTool || number > crLastTool) return false;
    QPixmap pm = Canvas(32);
    {
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing, false);
        DrawCursorGlyph(p, number);
    }
    QPoint hot = CursorHotSpot(number);
    *out = QCursor(pm, hot.x(), hot.y());
    return true;
}

QIcon ApplicationIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128}) {
        QPixmap pm = Canvas(size);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 24.0, size / 24.0);
        Checker(p, QRectF(2.5, 2.5, 19, 19));
        MousePointer(p, QPointF(7, 4), 1.0);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

}  // namespace velto
