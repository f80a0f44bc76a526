#pragma once
// TfrmText: the text tool's window. One line of text, a font, a size and the
// four styles, with a preview; Accepted() after OK with a text. The size is
// checked here: a size that is not a whole number from 1 to 500 keeps the
// window open.
#include <QDialog>
#include <QFont>

#include <optional>

#include "engine/ToolDispatch.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace velto {

class TfrmText : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMinSize = 1;
    static constexpr int kMaxSize = 500;
    static constexpr int kPreviewWidth = 329;
    static constexpr int kPreviewHeight = 77;

    explicit TfrmText(QWidget* parent = nullptr);

    // Accepted is reset at every showing.
    int exec() override;
    bool Accepted() const { return accepted_; }
    QString Text() const;
    // The size typed or chosen, when it is a whole number from 1 to 500.
    std::optional<int> Size() const;
    // The font of the choices (the preview's).
    QFont ChosenFont() const { return font_; }

    QComboBox* FontBox() const { return cmbFont_; }
    QComboBox* SizeBox() const { return cmbSize_; }
    QLineEdit* TextEdit() const { return edtText_; }
    QToolButton* BoldButton() const { return btnBold_; }
    QToolButton* ItalicButton() const { return btnItalic_; }
    QToolButton* UnderlineButton() const { return btnUnderLine_; }
    QToolButton* StrikeButton() const { return btnStrike_; }
    QLabel* Preview() const { return image1_; }
    QPushButton* OKButton() const { return btnOK_; }
    QPushButton* CancelButton() const { return btnCancel_; }

    void UpdatePreview();
    void OKClick();

private:
    bool accepted_ = false;
    QFont font_;
    QComboBox* cmbFont_ = nullptr;
    QComboBox* cmbSize_ = nullptr;
    QLineEdit* edtText_ = nullptr;
    QToolButton* btnBold_ = nullptr;
    QToolButton* btnItalic_ = nullptr;
    QToolButton* btnUnderLine_ = nullptr;
    QToolButton* btnStrike_ = nullptr;
    QLabel* image1_ = nullptr;
    QPushButton* btnOK_ = nullptr;
    QPushButton* btnCancel_ = nullptr;
};

// The text tool's font: the face, the size in points at 96 pixels an inch,
// the styles, drawn without smoothing (the stamp takes each pixel as it is).
QFont TextToolFont(const QString& family, int size, bool bold, bool italic, bool underline, bool strike);

// The text drawn in the tag colour at (1, 0) of a white 255 x 255 tag bitmap
// (cut at its edges), with the extent the selection is sized from.
TTextStamp RenderTextStamp(const QFont& font, int size, const QString& text, TTagColor color);

}  // namespace velto
