#pragma once
// An edit that takes only some typed characters (digits, say). Keys that type
// nothing (Backspace, Delete, arrows, shortcuts) work as usual; pasted text is
// not filtered, so whoever reads the text still checks it.
#include <QLineEdit>

namespace velto {

class TKeyFilteredEdit : public QLineEdit {
    Q_OBJECT
public:
    // allowed: every character that may be typed.
    explicit TKeyFilteredEdit(const QString& allowed, QWidget* parent = nullptr);

    static QString Digits() { return QStringLiteral("0123456789"); }

signals:
    // A click into the edit (its text is then selected by whoever wants it).
    void clicked();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QString allowed_;
};

}  // namespace velto
