#pragma once
// The number box of the slider composites: typed keys are filtered to digits
// (and a leading minus sign where negative values exist), a click selects the
// whole text, and key presses and releases are reported so that a typed
// change can be bracketed like a drag.
#include <QLineEdit>

#include <optional>

namespace velto {

// The value of a number box's text bounded into min..max: digits with an
// optional leading minus; a number too long for any integer becomes the
// bound on its side. Nothing for other text (empty, "-", "1-2", pasted words).
std::optional<int> ParseBoundedInt(const QString& text, int min, int max);

class TNumberBox : public QLineEdit {
    Q_OBJECT
public:
    explicit TNumberBox(QWidget* parent = nullptr);

    void SetAllowMinus(bool allow) { allowMinus_ = allow; }
    bool AllowMinus() const { return allowMinus_; }

signals:
    void keyDown();
    void keyUp();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool allowMinus_ = false;
};

}  // namespace velto
