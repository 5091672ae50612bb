// SPDX-License-Identifier: GPL-3.0-or-later
#include "TallyVerdict.h"

#include "GridModels.h"

#include <QFocusEvent>
#include <QResizeEvent>

namespace brenvik::ui {

TallyVerdict::TallyVerdict(const ResultGridModel* model, QWidget* parent) : QLabel(parent), m_model(model) {
    setObjectName(QStringLiteral("tallyVerdict"));
    setWordWrap(true);
    setTextFormat(Qt::RichText);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::LinksAccessibleByMouse |
                            Qt::LinksAccessibleByKeyboard);
    // Sized by the lines its width needs, not by trading the grid's height for width.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    connect(this, &QLabel::linkActivated, this, &TallyVerdict::explanationWanted);
    connect(model, &QAbstractItemModel::modelReset, this, &TallyVerdict::follow);
    follow();
}

void TallyVerdict::follow() {
    m_verdict = m_model->verdict();
    // Its link is a stop of the Tab key while there is a verdict to follow it from.
    setFocusPolicy(m_verdict.isEmpty() ? Qt::NoFocus : Qt::StrongFocus);
    if (m_verdict.isEmpty()) {
        setText(QString());
        setToolTip(QString());
    } else {
        setText(m_verdict.toHtmlEscaped() + QStringLiteral(" <a href=\"#chance\">?</a>"));
        setToolTip(QStringLiteral("点“?”查看说明：为什么几百期的统计总有领先的结果，这行结论是什么意思"));
    }
    updateGeometry();
}

int TallyVerdict::linesHeight() const {
    if (text().isEmpty())
        return 0;
    return heightForWidth(width() > 0 ? width() : QLabel::sizeHint().width());
}

QSize TallyVerdict::sizeHint() const {
    return {QLabel::sizeHint().width(), linesHeight()};
}

QSize TallyVerdict::minimumSizeHint() const {
    return {QLabel::minimumSizeHint().width(), linesHeight()};
}

void TallyVerdict::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    // The link takes the palette's colour when the text is laid out: greyed with the rest, or back.
    if (event->type() == QEvent::PaletteChange && !text().isEmpty())
        setText(text());
}

void TallyVerdict::focusInEvent(QFocusEvent* event) {
    QLabel::focusInEvent(event);
    // Tab lands on the "?" link at once: the line has nothing else to stop at.
    if (event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason)
        QLabel::focusNextPrevChild(event->reason() == Qt::TabFocusReason);
}

void TallyVerdict::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    if (event->oldSize().width() != width())
        updateGeometry();
}

} // namespace brenvik::ui
