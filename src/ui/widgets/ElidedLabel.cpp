// SPDX-License-Identifier: GPL-3.0-or-later
#include "ElidedLabel.h"

#include <QResizeEvent>

namespace brenvik::ui {

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
}

void ElidedLabel::setFullText(const QString& text) {
    if (text == m_full)
        return;
    m_full = text;
    m_fullWidth = -1;
    setToolTip(text);
    setAccessibleName(text);
    fit();
    // A label that takes whatever room is left (a status message) asks the layout for nothing.
    if (sizePolicy().horizontalPolicy() != QSizePolicy::Ignored)
        updateGeometry();
}

QSize ElidedLabel::sizeHint() const {
    // Measured once per text and font: the status bar's layout asks often.
    if (m_fullWidth < 0 || font() != m_measuredIn) {
        m_fullWidth = fontMetrics().horizontalAdvance(m_full);
        m_measuredIn = font();
    }
    // A pixel or two to spare: the ellipsis is computed on the laid-out line, which may end a
    // fraction wider than the advance.
    const QMargins m = contentsMargins();
    return {m_fullWidth + 2 + m.left() + m.right() + 2 * margin(), QLabel::sizeHint().height()};
}

QSize ElidedLabel::minimumSizeHint() const {
    // Room for a character or two and the ellipsis.
    const QMargins m = contentsMargins();
    return {3 * fontMetrics().height() + m.left() + m.right(), QLabel::minimumSizeHint().height()};
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    if (event->size().width() != event->oldSize().width())
        fit();
}

void ElidedLabel::fit() {
    // elidedText cuts between whole characters and adds the ellipsis only where text is left out.
    QLabel::setText(fontMetrics().elidedText(m_full, Qt::ElideRight, contentsRect().width()));
}

} // namespace brenvik::ui
