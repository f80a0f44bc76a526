#include "SliderComposite.h"

#include <QSlider>

#include <algorithm>

#include "MyScroll.h"
#include "NumberBox.h"

namespace velto {

TSliderComposite::TSliderComposite(QWidget* parent) : QWidget(parent) {
    box_ = new TNumberBox(this);
    box_->setText(QStringLiteral("0"));
    connect(box_, &QLineEdit::textChanged, this, &TSliderComposite::boxChanged);
}

void TSliderComposite::init(int max) {
    SetMin(0);
    SetMax(max);
    SetPosition(0);
}

void TSliderComposite::SetMin(int v) {
    if (v >= max_) return;
    min_ = v;
    box_->SetAllowMinus(min_ < 0);
    setInnerMin(v);
}

void TSliderComposite::SetMax(int v) {
    if (v <= min_) return;
    max_ = v;
    setInnerMax(v);
}

void TSliderComposite::SetPosition(int v) {
    if (v == position_) return;
    position_ = std::clamp(v, min_, max_);
    setInnerPosition(position_);
    emit changed();
}

void TSliderComposite::innerChanged() {
    const int p = innerPosition();
    const auto shown = ParseBoundedInt(box_->text(), min_, max_);
    if (shown && *shown == p) return;
    box_->setText(QString::number(p));
    SetPosition(p);
}

void TSliderComposite::boxChanged(const QString& text) {
    // Text that is no number yet (being typed, or pasted) changes nothing.
    const auto v = ParseBoundedInt(text, min_, max_);
    if (!v) return;
    bool exact = false;
    if (text.toLongLong(&exact) != *v || !exact) {
        // Out of range: the box shows the bound, which runs this again.
        box_->setText(QString::number(*v));
        return;
    }
    setInnerPosition(*v);
    SetPosition(innerPosition());
}

// ---------------------------------------------------------------- TAdvancedScroll

TAdvancedScroll::TAdvancedScroll(QWidget* parent) : TSliderComposite(parent) {
    scroll_ = new TmyScroll(this);
    scroll_->setGeometry(0, 2, 130, 10);
    box_->setGeometry(135, 1, 24, 12);
    box_->setFrame(false);
    box_->setBackgroundRole(QPalette::Button);
    QFont f = box_->font();
    f.setPixelSize(10);
    box_->setFont(f);
    box_->setTextMargins(0, 0, 0, 0);
    resize(160, 24);
    connect(scroll_, &TmyScroll::changed, this, &TAdvancedScroll::innerChanged);
    connect(scroll_, &TmyScroll::pressed, this, &TAdvancedScroll::startChange);
    connect(scroll_, &TmyScroll::released, this, &TAdvancedScroll::endChange);
    connect(box_, &TNumberBox::keyDown, this, &TAdvancedScroll::startChange);
    connect(box_, &TNumberBox::keyUp, this, &TAdvancedScroll::endChange);
    init(100);
}

void TAdvancedScroll::SetPicture(const QImage& picture) { scroll_->SetPicture(picture); }

void TAdvancedScroll::resizeEvent(QResizeEvent*) {
    // The slider stretches with the control; the box keeps to the right edge.
    scroll_->setGeometry(0, 2, std::max(1, width() - 30), 10);
    box_->move(width() - 25, 1);
}

int TAdvancedScroll::innerPosition() const { return scroll_->Position(); }
void TAdvancedScroll::setInnerPosition(int v) { scroll_->SetPosition(v); }
void TAdvancedScroll::setInnerMin(int v) { scroll_->SetMin(v); }
void TAdvancedScroll::setInnerMax(int v) { scroll_->SetMax(v); }

// ---------------------------------------------------------------- TAdvancedTrackBar

TAdvancedTrackBar::TAdvancedTrackBar(QWidget* parent) : TSliderComposite(parent) {
    track_ = new QSlider(Qt::Horizontal, this);
    track_->setGeometry(0, 0, 185, 23);
    track_->setTickPosition(QSlider::TicksBelow);
    track_->setTickInterval(0);
    box_->setGeometry(191, 1, 49, 21);
    resize(241, 23);
    connect(track_, &QSlider::valueChanged, this, &TAdvancedTrackBar::innerChanged);
    init(10);
}

void TAdvancedTrackBar::SetTickStyle(int tickPosition) {
    track_->setTickPosition(static_cast<QSlider::TickPosition>(tickPosition));
}

void TAdvancedTrackBar::resizeEvent(QResizeEvent*) {
    track_->setGeometry(0, 0, std::max(1, width() - 56), height());
    box_->move(width() - 50, 1);
}

int TAdvancedTrackBar::innerPosition() const { return track_->value(); }
void TAdvancedTrackBar::setInnerPosition(int v) { track_->setValue(v); }
void TAdvancedTrackBar::setInnerMin(int v) { track_->setMinimum(v); }
void TAdvancedTrackBar::setInnerMax(int v) { track_->setMaximum(v); }

}  // namespace velto
