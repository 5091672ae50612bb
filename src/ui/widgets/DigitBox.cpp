// SPDX-License-Identifier: GPL-3.0-or-later
#include "DigitBox.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QTimer>

namespace brenvik::ui {

DigitBox::DigitBox(QWidget* parent) : QLineEdit(parent) {
    setMaxLength(1);
    setAlignment(Qt::AlignCenter);
    setPlaceholderText(QStringLiteral("_"));
}

int DigitBox::digit() const {
    const QString t = text();
    if (t.size() == 1 && t[0].isDigit())
        return t[0].digitValue();
    return -1;
}

QSize DigitBox::sizeHint() const {
    const int w = fontMetrics().horizontalAdvance(QLatin1Char('0')) + 14;
    return {w, QLineEdit::sizeHint().height()};
}

void DigitBox::keyPressEvent(QKeyEvent* event) {
    const QString typed = event->text();
    const int key = event->key();
    const bool editing = key == Qt::Key_Backspace || key == Qt::Key_Delete;
    const bool isDigit = typed.size() == 1 && typed[0] >= QLatin1Char('0') && typed[0] <= QLatin1Char('9');
    if (!isDigit && !editing) {
        // Navigation keys keep their usual meaning; anything else is not for this box.
        if (key == Qt::Key_Tab || key == Qt::Key_Backtab || key == Qt::Key_Left || key == Qt::Key_Right ||
            key == Qt::Key_Return || key == Qt::Key_Enter || (event->modifiers() & Qt::ControlModifier))
            QLineEdit::keyPressEvent(event);
        else
            event->accept();
        return;
    }
    emit keyTyped();
    setText(isDigit ? typed : QString());
    event->accept();
}

void DigitBox::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    QTimer::singleShot(0, this, [this] { selectAll(); });
}

void DigitBox::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // A change of the active window or an opening menu is not the user leaving the box.
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        emit focusLost();
}

} // namespace brenvik::ui
