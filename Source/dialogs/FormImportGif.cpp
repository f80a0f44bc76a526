#include "FormImportGif.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace velto {

TfrmImportGif::TfrmImportGif(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmImportGif"));
    setWindowTitle(QStringLiteral("Import"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    auto* lay = new QVBoxLayout(this);
    lblText_ = new QLabel(QStringLiteral("Importing GIF file..."), this);
    lblText_->setObjectName(QStringLiteral("lblText"));
    lay->addWidget(lblText_);
    ProgressBar1_ = new QProgressBar(this);
    ProgressBar1_->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1_->setMinimumWidth(280);
    ProgressBar1_->setTextVisible(false);
    lay->addWidget(ProgressBar1_);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    btnCancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel_->setObjectName(QStringLiteral("btnCancel"));
    row->addWidget(btnCancel_);
    row->addStretch(1);
    lay->addLayout(row);
    connect(btnCancel_, &QPushButton::clicked, this, [this] { Cancelled = true; });
}

void TfrmImportGif::SetMax(int n) {
    ProgressBar1_->setRange(0, std::max(0, n));
    ProgressBar1_->setValue(0);
}

void TfrmImportGif::StepIt() { ProgressBar1_->setValue(std::min(ProgressBar1_->maximum(), ProgressBar1_->value() + 1)); }

void TfrmImportGif::showEvent(QShowEvent* event) {
    Cancelled = false;
    QDialog::showEvent(event);
}

// Escape or closing the window cancels like the button; the import hides
// the window itself when it ends.
void TfrmImportGif::reject() { Cancelled = true; }

}  // namespace velto
