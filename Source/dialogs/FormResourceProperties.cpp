#include "FormResourceProperties.h"

#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <limits>

#include "DialogParts.h"
#include "core/Language.h"
#include "core/MessageBox.h"
#include "resources/LibraryNames.h"

namespace velto {

QString TfrmResourceProperties::NeutralText() {
    return QLatin1Char(' ') + QString::fromStdString(Lang().GetMessage("msgNeutral", "Language Neutral"));
}

TfrmResourceProperties::TfrmResourceProperties(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmResourceProperties"));
    setWindowTitle(QStringLiteral("Resource Properties"));
    setModal(true);
    auto* root = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    auto* lblName = new QLabel(QStringLiteral("Name"), this);
    lblName->setObjectName(QStringLiteral("lblName"));
    auto* lblLanguage = new QLabel(QStringLiteral("Language"), this);
    lblLanguage->setObjectName(QStringLiteral("lblLanguage"));
    edtName_ = new QLineEdit(this);
    edtName_->setObjectName(QStringLiteral("edtName"));
    // The field keeps a name as typed or pasted, however long: OK refuses
    // one a library cannot hold and says why, where the field's own limit
    // would cut it silently.
    edtName_->setMaxLength(std::numeric_limits<int>::max());
    cmbLanguages_ = new QComboBox(this);
    cmbLanguages_->setObjectName(QStringLiteral("cmbLanguages"));
    // A sorted list: the neutral entry's leading space puts it first.
    QStringList names{NeutralText()};
    for (const TLanguageName& l : LanguageTable()) names << QString::fromUtf8(l.Name);
    names.sort(Qt::CaseInsensitive);
    cmbLanguages_->addItems(names);
    cmbLanguages_->setCurrentIndex(0);
    grid->addWidget(lblName, 0, 0);
    grid->addWidget(edtName_, 0, 1);
    grid->addWidget(lblLanguage, 1, 0);
    grid->addWidget(cmbLanguages_, 1, 1);
    grid->setColumnStretch(1, 1);
    root->addLayout(grid);
    auto* bevel = new QFrame(this);
    bevel->setObjectName(QStringLiteral("Bevel1"));
    bevel->setFrameShape(QFrame::HLine);
    bevel->setFrameShadow(QFrame::Sunken);
    root->addWidget(bevel);
    AddOkCancelRow(this, root, &btnOK_, &btnCancel_);
    connect(btnOK_, &QPushButton::clicked, this, &TfrmResourceProperties::accept);
    // Enter in the name presses OK, the default button.
    edtName_->installEventFilter(this);
    setMinimumWidth(303);
    resize(sizeHint().expandedTo(QSize(303, 102)));
}

void TfrmResourceProperties::SetName(const QString& name) {
    edtName_->setText(name);
    SetNameColor(false);
}

QString TfrmResourceProperties::GetName() const { return edtName_->text(); }

void TfrmResourceProperties::SetLanguage(std::uint16_t id) {
    // Ids of no name are added under a name of their own, kept until closed.
    for (int i = cmbLanguages_->count() - 1; i >= 0; --i)
        if (UnknownLanguageId(cmbLanguages_->itemText(i).toStdString())) cmbLanguages_->removeItem(i);
    if (id == 0) {
        cmbLanguages_->setCurrentIndex(0);
        return;
    }
    const std::optional<std::string> name = LanguageName(id);
    QString text = QString::fromStdString(name ? *name : UnknownLanguageName(id));
    int at = cmbLanguages_->findText(text, Qt::MatchExactly);
    if (at < 0) {
        cmbLanguages_->addItem(text);
        at = cmbLanguages_->count() - 1;
    }
    cmbLanguages_->setCurrentIndex(at);
}

std::uint16_t TfrmResourceProperties::GetLanguage() const {
    const std::string text = cmbLanguages_->currentText().toStdString();
    if (const auto id = LanguageIdByName(text)) return *id;
    if (const auto id = UnknownLanguageId(text)) return *id;
    return 0;
}

void TfrmResourceProperties::SetEditable(bool editable) {
    editable_ = editable;
    edtName_->setEnabled(editable);
    cmbLanguages_->setEnabled(editable);
}

void TfrmResourceProperties::accept() {
    accepted_ = true;
    const std::string name = GetName().toStdString();
    if (!IsValidGroupName(name)) {
        SetNameColor(true);
        if (IsGroupNameTooLong(name))
            ShowMessageBox(Lang().GetMessage("msgResNameTooLong", "A resource name can be at most 65535 characters "
                                                                  "long: a library keeps its length in 16 bits."),
                           mkWarning, mbOK);
        return;  // stays open
    }
    QDialog::accept();
}

void TfrmResourceProperties::reject() {
    accepted_ = false;
    QDialog::reject();
}

void TfrmResourceProperties::SetNameColor(bool invalid) {
    QPalette p = edtName_->palette();
    p.setColor(QPalette::Text, invalid ? QColor(Qt::red) : palette().color(QPalette::Text));
    edtName_->setPalette(p);
}

bool TfrmResourceProperties::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edtName_ && event->type() == QEvent::FocusIn) SetNameColor(false);
    return QDialog::eventFilter(watched, event);
}

void TfrmResourceProperties::showEvent(QShowEvent* event) {
    accepted_ = false;
    QDialog::showEvent(event);
    if (edtName_->isEnabled()) {
        edtName_->setFocus();
        edtName_->selectAll();
    } else {
        btnOK_->setFocus();
    }
}

}  // namespace velto
