#include "ColorBox.h"

#include <QPainter>
#include <QPixmap>

#include "EngineBridge.h"
#include "PaneServices.h"

namespace velto {

const TColorBox::Named TColorBox::kNamed[20] = {
    {"Black", MakeColor(0, 0, 0)},          {"Maroon", MakeColor(128, 0, 0)},
    {"Green", MakeColor(0, 128, 0)},        {"Olive", MakeColor(128, 128, 0)},
    {"Navy", MakeColor(0, 0, 128)},         {"Purple", MakeColor(128, 0, 128)},
    {"Teal", MakeColor(0, 128, 128)},       {"Gray", MakeColor(128, 128, 128)},
    {"Silver", MakeColor(192, 192, 192)},   {"Red", MakeColor(255, 0, 0)},
    {"Lime", MakeColor(0, 255, 0)},         {"Yellow", MakeColor(255, 255, 0)},
    {"Blue", MakeColor(0, 0, 255)},         {"Fuchsia", MakeColor(255, 0, 255)},
    {"Aqua", MakeColor(0, 255, 255)},       {"White", MakeColor(255, 255, 255)},
    {"Money Green", MakeColor(192, 220, 192)}, {"Sky Blue", MakeColor(166, 202, 240)},
    {"Cream", MakeColor(255, 251, 240)},    {"Medium Gray", MakeColor(160, 160, 164)},
};

namespace {

QIcon Swatch(TColor color) {
    QPixmap pm(16, 12);
    pm.fill(QColor::fromRgb(QRgbOf(color)));
    QPainter p(&pm);
    p.setPen(Qt::black);
    p.drawRect(0, 0, pm.width() - 1, pm.height() - 1);
    return QIcon(pm);
}

}  // namespace

TColorBox::TColorBox(QWidget* parent) : QComboBox(parent) {
    setIconSize(QSize(16, 12));
    addItem(Swatch(clBlack), QStringLiteral("Custom..."));
    for (const Named& n : kNamed) addItem(Swatch(n.color), QString::fromLatin1(n.name));
    SetSelected(clBlack);
    connect(this, &QComboBox::activated, this, &TColorBox::activatedAt);
}

void TColorBox::SetSelected(TColor color) {
    selected_ = color;
    for (int i = 0; i < 20; ++i)
        if (kNamed[i].color == color) {
            setCurrentIndex(i + 1);
            return;
        }
    setCustom(color);
}

void TColorBox::setCustom(TColor color) {
    setItemIcon(0, Swatch(color));
    setCurrentIndex(0);
}

void TColorBox::activatedAt(int index) {
    if (index > 0) {
        selected_ = kNamed[index - 1].color;
    } else {
        // The custom entry asks for its colour; cancelled, it keeps the old one.
        const auto chosen = ChooseColor(QColor::fromRgb(QRgbOf(selected_)), this);
        if (!chosen) {
            SetSelected(selected_);
            return;
        }
        selected_ = ToTColor(chosen->rgb());
        setCustom(selected_);
    }
    emit changed();
}

}  // namespace velto
