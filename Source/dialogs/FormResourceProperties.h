#pragma once
// TfrmResourceProperties: the name and language of one cursor group of the
// resource editor. The language list is the editor's own table (Language
// Neutral first); an id the table does not hold, read from a library, is
// listed as "Language 0x...." so that it is shown and kept as it is. OK
// closes the window only with a valid name; an invalid one turns red, and
// one longer than a library holds is also refused with a message.
#include <QDialog>

#include <cstdint>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace velto {

class TfrmResourceProperties : public QDialog {
    Q_OBJECT
public:
    explicit TfrmResourceProperties(QWidget* parent = nullptr);

    void SetName(const QString& name);
    QString GetName() const;
    // Selects the language of that id (the neutral entry for 0).
    void SetLanguage(std::uint16_t id);
    // The id of the selected entry; 0 (neutral) for none the list knows.
    std::uint16_t GetLanguage() const;
    // Name and language may be changed.
    void SetEditable(bool editable);
    bool Editable() const { return editable_; }
    // OK was pressed (and the name was valid).
    bool Accepted() const { return accepted_; }

    QLineEdit* NameEdit() const { return edtName_; }
    QComboBox* LanguageList() const { return cmbLanguages_; }
    QPushButton* OKButton() const { return btnOK_; }
    QPushButton* CancelButton() const { return btnCancel_; }

    // The neutral entry's text: a space, so that it sorts first, and the
    // translation of "msgNeutral".
    static QString NeutralText();

    void accept() override;
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void SetNameColor(bool invalid);

    bool editable_ = true;
    bool accepted_ = false;
    QComboBox* cmbLanguages_ = nullptr;
    QLineEdit* edtName_ = nullptr;
    QPushButton* btnOK_ = nullptr;
    QPushButton* btnCancel_ = nullptr;
};

}  // namespace velto
