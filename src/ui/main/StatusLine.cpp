// SPDX-License-Identifier: GPL-3.0-or-later
#include "StatusLine.h"

#include "ElidedLabel.h"

#include <QPainter>
#include <QSizeGrip>
#include <QStyleOption>

namespace brenvik::ui {

StatusLine::StatusLine(QWidget* parent) : QStatusBar(parent), m_message(new ElidedLabel) {
    setObjectName(QStringLiteral("statusLine"));
    m_message->setObjectName(QStringLiteral("lblStatus"));
    // It takes the room the other labels leave, and no more.
    m_message->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    addPermanentWidget(m_message, 1);
    connect(this, &QStatusBar::messageChanged, m_message, &ElidedLabel::setFullText);
}

void StatusLine::paintEvent(QPaintEvent*) {
    // The bar and the frames of its labels, as the status bar draws them; the message is drawn by
    // its label.
    QPainter p(this);
    QStyleOption opt;
    opt.initFrom(this);
    style()->drawPrimitive(QStyle::PE_PanelStatusBar, &opt, &p, this);
    for (QWidget* w : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!w->isVisible() || qobject_cast<QSizeGrip*>(w))
            continue;
        opt.rect = w->geometry().adjusted(-1, -1, 1, 1);
        style()->drawPrimitive(QStyle::PE_FrameStatusBarItem, &opt, &p, w);
    }
}

} // namespace brenvik::ui
