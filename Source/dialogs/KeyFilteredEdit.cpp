#include "KeyFilteredEdit.h"

#include <QKeyEvent>

namespace velto {

TKeyFilteredEdit::TKeyFilteredEdit(const QString& allowed, QWidget* parent) : QLineEdit(parent), allowed_(allowed) {}

void TKeyFilteredEdit::keyPressEvent(QKeyEvent* event) {
    const QString t = event->text();
    // Shortcuts (Ctrl+A, Ctrl+V...) are no typing, whatever text they carry.
    const bool shortcut = event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    const bool typesText = !shortcut && !t.isEmpty() && t[0].unicode() >= 32 && t[0].unicode() != 127;
    if (typesText && (t.size() != 1 || !allowed_.contains(t[0]))) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TKeyFilteredEdit::mouseReleaseEvent(QMouseEvent* event) {
    QLineEdit::mouseReleaseEvent(event);
    emit clicked();
}

}  // namespace velto
