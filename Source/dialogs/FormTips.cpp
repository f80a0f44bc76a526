#include "FormTips.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRandomGenerator>
#include <QShowEvent>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

#include "core/Language.h"
#include "shell/Options.h"

namespace velto {

namespace {

// A language file is bounded in size; this only keeps a damaged one from
// making the count walk long.
constexpr int kMaxTips = 10000;

std::string TipKey(int n) { return "msgTip" + std::to_string(n); }

QPushButton* Button(QWidget* parent, const char* name, const char* caption) {
    auto* b = new QPushButton(QString::fromLatin1(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    // Enter does not walk the tips: no button answers it.
    b->setAutoDefault(false);
    return b;
}

}  // namespace

TfrmTips::TfrmTips(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmTips"));
    setWindowTitle(QStringLiteral("Tip Of The Day"));
    setModal(true);
    auto* root = new QVBoxLayout(this);

    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("pnlMain"));
    panel->setAutoFillBackground(true);
    QPalette pal = panel->palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::WindowText, Qt::black);
    panel->setPalette(pal);
    auto* panelLay = new QHBoxLayout(panel);
    auto* light = new QLabel(panel);
    light->setObjectName(QStringLiteral("imgLight"));
    light->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32));
    panelLay->addWidget(light, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    auto* heading = new QLabel(QStringLiteral("Did you know..."), panel);
    heading->setObjectName(QStringLiteral("Label1"));
    QFont bold = heading->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    heading->setFont(bold);
    texts->addWidget(heading);
    lblTip_ = new QLabel(QStringLiteral("..."), panel);
    lblTip_->setObjectName(QStringLiteral("lblTip"));
    lblTip_->setWordWrap(true);
    lblTip_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblTip_->setMinimumSize(320, 90);
    texts->addWidget(lblTip_, 1);
    panelLay->addLayout(texts, 1);
    root->addWidget(panel, 1);

    auto* row = new QHBoxLayout;
    cbStartup_ = new QCheckBox(QStringLiteral("Show tips at startup"), this);
    cbStartup_->setObjectName(QStringLiteral("cbStartup"));
    row->addWidget(cbStartup_);
    row->addStretch(1);
    btnPrev_ = Button(this, "btnPrev", "Previous");
    btnNext_ = Button(this, "btnNext", "Next");
    btnClose_ = Button(this, "btnClose", "Close");
    row->addWidget(btnPrev_);
    row->addWidget(btnNext_);
    row->addWidget(btnClose_);
    root->addLayout(row);

    connect(btnNext_, &QPushButton::clicked, this, &TfrmTips::NextClick);
    connect(btnPrev_, &QPushButton::clicked, this, &TfrmTips::PrevClick);
    connect(btnClose_, &QPushButton::clicked, this, &QDialog::reject);
    // The user's click only: showing the window sets the box from the setting.
    connect(cbStartup_, &QCheckBox::clicked, this, [](bool on) { Options().ShowTips = on; });
}

int TfrmTips::CountTips() {
    int n = 0;
    while (n < kMaxTips && !Lang().GetMessage(TipKey(n + 1), "").empty()) ++n;
    return n;
}

QString TfrmTips::TipText(int n) {
    const std::string text = Lang().GetMessage(TipKey(n), "");
    return text.empty() ? QStringLiteral("...") : QString::fromStdString(text);
}

void TfrmTips::showEvent(QShowEvent* event) {
    // Coming back from the minimised state keeps the tip.
    if (event->spontaneous()) {
        QDialog::showEvent(event);
        return;
    }
    tipCount_ = CountTips();
    // Without tips there is nothing to draw from: tip 1 shows "...".
    if (tipCount_ > 0) {
        const int r = random_ ? random_(tipCount_) : static_cast<int>(QRandomGenerator::global()->bounded(tipCount_));
        currentTip_ = std::clamp(r, 0, tipCount_ - 1) + 1;
    } else {
        currentTip_ = 1;
    }
    showTip();
    cbStartup_->setChecked(Options().ShowTips);
    QDialog::showEvent(event);
}

void TfrmTips::NextClick() {
    if (tipCount_ > 0) currentTip_ = currentTip_ >= tipCount_ ? 1 : currentTip_ + 1;
    showTip();
}

void TfrmTips::PrevClick() {
    if (tipCount_ > 0) currentTip_ = currentTip_ <= 1 ? tipCount_ : currentTip_ - 1;
    showTip();
}

void TfrmTips::showTip() { lblTip_->setText(TipText(currentTip_)); }

}  // namespace velto
