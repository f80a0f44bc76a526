#include "ToolArt.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace velto {

namespace {

// Every tool-bar picture in art/, by the name of its command.
constexpr const char* kToolbarPictures[] = {
    "actToolNew",       "actToolOpen",       "actToolSave",     "actToolCut",      "actToolCopy",
    "actToolPaste",     "actToolUndo",       "actToolRedo",     "actToolHotspot",  "actToolTest",
    "actToolProp",      "actToolFilter",     "actToolAntiAlias", "actToolTrans",   "actToolAuto",
    "actToolEffect",    "actNewImage",       "actDuplicateImage", "actDelImage",   "actImportImage",
    "actZoomOut",       "actZoomIn",         "actGrid",         "actSidebar",
};

// The tool palette's pictures: the tools (20 x 20), the image commands under
// them (20 x 20) and the small shift arrows (8 x 8).
constexpr const char* kPalettePictures[] = {
    "toolSelection", "toolCrop",    "toolText",      "toolErase",     "toolFill",      "toolSpray",
    "toolBrush",     "toolPencil",  "toolLine",      "toolRect",      "toolRoundRect", "toolEllipse",
    "toolPick",      "toolZoom",    "toolOpac",      "toolGradient",  "toolBrighten",  "toolBlur",
    "cmdFlipVert",   "cmdFlipHoriz", "cmdRotateLeft", "cmdRotateRight", "cmdUp",       "cmdDown",
    "cmdLeft",       "cmdRight",
};

template <std::size_t N>
TPngImageList* LoadPictures(int size, const char* const (&names)[N], TPngOptions options) {
    auto* l = new TPngImageList(size, size);
    l->SetPngOptions(options);
    l->BeginUpdate();
    for (const char* name : names) {
        auto one = ArtPng(name, false);
        auto two = ArtPng(name, true);
        if (one) l->AddPng(*one, name, two.get());
    }
    l->EndUpdate(true);
    return l;
}

const QColor kInk(40, 40, 40);
const QColor kPaper(250, 250, 250);

QPixmap Canvas(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    return pm;
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

// The tool-bar images of the main window and of the document windows, as
// the program's PNG image list of 24 x 24 images: both disabled looks.
TPngImageList& ToolbarImages() {
    static TPngImageList* list = LoadPictures(24, kToolbarPictures, pngBlendOnDisabled | pngGrayscaleOnDisabled);
    return *list;
}

TPngImageList& PaletteImages() {
    static TPngImageList* list = LoadPictures(20, kPalettePictures, pngBlendOnDisabled);
    return *list;
}

QIcon DrawnToolbarIcon(const QString& actionName) {
    return ToolbarImages().Icon(ToolbarImages().IndexOf(actionName.toStdString()));
}

QIcon ToolbarIcon(const QString& actionName) { return DrawnToolbarIcon(actionName); }

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
