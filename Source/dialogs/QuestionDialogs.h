#pragma once
// The two questions the engine and the clipboard need early: what to do with
// the palette (TfrmChangePal) and with a picture larger than the canvas
// (TfrmImageBig). Each hands its answer back in Choice and may store it as
// the default setting. Neither has a way out but OK.
#include <QDialog>

class QCheckBox;
class QPushButton;
class QRadioButton;
class QVBoxLayout;

namespace velto {

class TQuestionDialog : public QDialog {
    Q_OBJECT
public:
    QCheckBox* DefaultBox() const { return cbDefault_; }
    QPushButton* OKButton() const { return ok_; }
    // Escape and the window's close do not bypass the question.
    void reject() override {}

protected:
    TQuestionDialog(QWidget* parent, const char* name, const QString& question, const char* okName);
    QRadioButton* addChoice(const char* name, const QString& text, int choice);
    virtual void choose(int choice) = 0;
    virtual void storeDefault() = 0;

    QCheckBox* cbDefault_ = nullptr;
    QPushButton* ok_ = nullptr;

private:
    QVBoxLayout* choices_ = nullptr;
};

// 0 = change the palette, 1 = leave it unchanged. "PaletteAction" := Choice
// when "Use this setting as default" is checked.
class TfrmChangePal : public TQuestionDialog {
    Q_OBJECT
public:
    explicit TfrmChangePal(QWidget* parent = nullptr);
    std::uint8_t Choice = 0;
    QRadioButton* rbChange = nullptr;
    QRadioButton* rbNotChange = nullptr;

protected:
    void choose(int choice) override { Choice = static_cast<std::uint8_t>(choice); }
    void storeDefault() override;
};

// 0 = resize, 1 = crop, 2 = advanced import. The default goes to
// "ImportAction" for an import, else to "ClipboardAction".
class TfrmImageBig : public TQuestionDialog {
    Q_OBJECT
public:
    explicit TfrmImageBig(QWidget* parent = nullptr);
    std::uint8_t Choice = 0;
    bool IsImport = false;
    QRadioButton* rbResize = nullptr;
    QRadioButton* rbCrop = nullptr;
    QRadioButton* rbAdvanced = nullptr;

protected:
    void choose(int choice) override { Choice = static_cast<std::uint8_t>(choice); }
    void storeDefault() override;
};

}  // namespace velto
