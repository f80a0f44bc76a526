#include "QuestionDialogs.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "shell/Options.h"

namespace velto {

TQuestionDialog::TQuestionDialog(QWidget* parent, const char* name, const QString& question, const char* okName)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QString::fromLatin1(name));
    setWindowTitle(QStringLiteral("Warning"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(question, this);
    label->setObjectName(QStringLiteral("Label1"));
    QFont f = label->font();
    f.setBold(true);
    label->setFont(f);
    layout->addWidget(label);
    choices_ = new QVBoxLayout;
    layout->addLayout(choices_);
    cbDefault_ = new QCheckBox(QStringLiteral("Use this setting as default"), this);
    cbDefault_->setObjectName(QStringLiteral("cbDefault"));
    layout->addWidget(cbDefault_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setObjectName(QString::fromLatin1(okName));
    ok_->setDefault(true);
    buttons->addWidget(ok_);
    layout->addLayout(buttons);
    connect(ok_, &QPushButton::clicked, this, [this] {
        if (cbDefault_->isChecked()) storeDefault();
        accept();
    });
}

QRadioButton* TQuestionDialog::addChoice(const char* name, const QString& text, int choice) {
    auto* rb = new QRadioButton(text, this);
    rb->setObjectName(QString::fromLatin1(name));
    choices_->addWidget(rb);
    connect(rb, &QRadioButton::toggled, this, [this, choice](bool on) {
        if (on) choose(choice);
    });
    return rb;
}

TfrmChangePal::TfrmChangePal(QWidget* parent)
    : TQuestionDialog(parent, "frmChangePal", QStringLiteral("The palette is about to be changed !"), "btnOK") {
    rbChange = addChoice("rbChange", QStringLiteral("Change the palette (recommended for 8 bit images)"), 0);
    rbNotChange = addChoice("rbNotChange", QStringLiteral("Don't change the palette (recommended for 4 or 1 bit images)"), 1);
    rbChange->setChecked(true);
}

void TfrmChangePal::storeDefault() { Options().PaletteAction = Choice; }

TfrmImageBig::TfrmImageBig(QWidget* parent)
    : TQuestionDialog(parent, "frmImageBig", QStringLiteral("The pasted or imported  image is larger than the canvas!"),
                      "Button1") {
    rbResize = addChoice("rbResize", QStringLiteral("Resize the image"), 0);
    rbCrop = addChoice("rbCrop", QStringLiteral("Crop (top-left corner)"), 1);
    rbAdvanced = addChoice("rbAdvanced", QStringLiteral("Show the Advanced Import dialog"), 2);
    rbResize->setChecked(true);
}

void TfrmImageBig::storeDefault() {
    if (IsImport) Options().ImportAction = Choice;
    else Options().ClipboardAction = Choice;
}

}  // namespace velto
