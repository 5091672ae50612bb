// SPDX-License-Identifier: GPL-3.0-or-later
#include "GapCaption.h"

#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace brenvik::ui {

int CaptionGap::extraWidth(const QFontMetrics& fm, const QString& caption) const {
    return width - fm.horizontalAdvance(caption.mid(start, length));
}

void CaptionGap::place(QWidget* host, int textLeft, const QString& caption) const {
    if (!box)
        return;
    const int x = textLeft + host->fontMetrics().horizontalAdvance(caption.left(start));
    const int h = std::min(host->height(), box->sizeHint().height());
    box->setGeometry(x, (host->height() - h) / 2, width, h);
}

void CaptionGap::paint(QPainter& painter, const QRect& textRect, const QString& caption,
                       const QPalette& palette, bool enabled, QWidget* host) const {
    const QString before = caption.left(start);
    const QString after = caption.mid(start + length);
    const QFontMetrics fm = host->fontMetrics();
    painter.setPen(palette.color(enabled ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    QRect r = textRect;
    painter.drawText(r, Qt::AlignLeft | Qt::AlignVCenter, before);
    r.setLeft(r.left() + fm.horizontalAdvance(before) + width);
    painter.drawText(r, Qt::AlignLeft | Qt::AlignVCenter, after);
}

GapRadioButton::GapRadioButton(const QString& caption, QWidget* box, int start, int length, int gapWidth)
    : QRadioButton(caption) {
    m_gap = {start, length, gapWidth, box};
    box->setParent(this);
}

QRect GapRadioButton::textRect() const {
    QStyleOptionButton opt;
    initStyleOption(&opt);
    return style()->subElementRect(QStyle::SE_RadioButtonContents, &opt, this);
}

QSize GapRadioButton::sizeHint() const {
    QSize s = QRadioButton::sizeHint();
    s.rwidth() += std::max(0, m_gap.extraWidth(fontMetrics(), text()));
    if (m_gap.box)
        s.setHeight(std::max(s.height(), m_gap.box->sizeHint().height()));
    return s;
}

void GapRadioButton::paintEvent(QPaintEvent*) {
    QStylePainter p(this);
    QStyleOptionButton opt;
    initStyleOption(&opt);
    const QRect text = style()->subElementRect(QStyle::SE_RadioButtonContents, &opt, this);
    opt.text.clear();
    p.drawControl(QStyle::CE_RadioButton, opt);
    m_gap.paint(p, text, this->text(), palette(), isEnabled(), this);
}

void GapRadioButton::resizeEvent(QResizeEvent* event) {
    QRadioButton::resizeEvent(event);
    m_gap.place(this, textRect().left(), text());
}

GapLabel::GapLabel(const QString& caption, QWidget* box, int start, int length, int gapWidth)
    : QLabel(caption) {
    m_gap = {start, length, gapWidth, box};
    box->setParent(this);
}

QSize GapLabel::sizeHint() const {
    QSize s = QLabel::sizeHint();
    s.rwidth() += std::max(0, m_gap.extraWidth(fontMetrics(), text()));
    if (m_gap.box)
        s.setHeight(std::max(s.height(), m_gap.box->sizeHint().height()));
    return s;
}

void GapLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    m_gap.paint(p, contentsRect(), text(), palette(), isEnabled(), this);
}

void GapLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    m_gap.place(this, contentsRect().left(), text());
}

} // namespace brenvik::ui
