#include "NumberBox.h"

#include <QKeyEvent>

#include <limits>

namespace velto {

std::optional<int> ParseBoundedInt(const QString& text, int min, int max) {
    const bool negative = text.startsWith(QLatin1Char('-'));
    const qsizetype first = negative ? 1 : 0;
    if (text.size() <= first) return std::nullopt;
    for (qsizetype i = first; i < text.size(); ++i)
        if (!text[i].isDigit() || text[i].unicode() > '9') return std::nullopt;
    bool ok = false;
    const qlonglong v = text.toLongLong(&ok);
    if (!ok) return negative ? min : max;
    if (v < min) return min;
    if (v > max) return max;
    return static_cast<int>(v);
}

TNumberBox::TNumberBox(QWidget* parent) : QLineEdit(parent) {}

void TNumberBox::keyPressEvent(QKeyEvent* event) {
    emit keyDown();
    const QString t = event->text();
    // Keys that type nothing (arrows, Delete, shortcuts) work as usual.
    if (t.isEmpty() || t[0].unicode() < 32 || t[0].unicode() == 127) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    const QChar c = t[0];
    const bool digit = c >= QLatin1Char('0') && c <= QLatin1Char('9');
    // A minus sign only where it can start the number.
    bool minus = false;
    if (c == QLatin1Char('-') && allowMinus_) {
        const int at = hasSelectedText() ? selectionStart() : cursorPosition();
        QString rest = text();
        if (hasSelectedText()) rest.remove(selectionStart(), selectedText().size());
        minus = at == 0 && !rest.startsWith(QLatin1Char('-'));
    }
    if (t.size() == 1 && (digit || minus)) QLineEdit::keyPressEvent(event);
    else event->accept();
}

void TNumberBox::keyReleaseEvent(QKeyEvent* event) {
    QLineEdit::keyReleaseEvent(event);
    emit keyUp();
}

void TNumberBox::mouseReleaseEvent(QMouseEvent* event) {
    QLineEdit::mouseReleaseEvent(event);
    selectAll();
}

}  // namespace velto
