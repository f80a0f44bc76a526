#include "SpinButton.h"

#include <QToolButton>
#include <QVBoxLayout>

namespace velto {

TSpinButton::TSpinButton(QWidget* parent) : QWidget(parent) {
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    auto make = [this, lay](Qt::ArrowType arrow) {
        auto* b = new QToolButton(this);
        b->setArrowType(arrow);
        b->setAutoRepeat(true);
        b->setFixedSize(16, 11);
        lay->addWidget(b);
        return b;
    };
    up_ = make(Qt::UpArrow);
    down_ = make(Qt::DownArrow);
    connect(up_, &QToolButton::clicked, this, &TSpinButton::upClicked);
    connect(down_, &QToolButton::clicked, this, &TSpinButton::downClicked);
}

}  // namespace velto
