// SPDX-License-Identifier: GPL-3.0-or-later
#include "WheelScroller.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QScrollBar>
#include <QWheelEvent>

namespace brenvik::ui {

WheelScroller::WheelScroller(QList<QAbstractItemView*> grids, QObject* parent) : QObject(parent) {
    for (QAbstractItemView* g : grids) {
        m_grids.push_back(g);
        g->setFocusPolicy(Qt::StrongFocus); // the wheel itself never moves the focus
    }
    // Seen at the application, the wheel event is handled once, before any widget scrolls.
    qApp->installEventFilter(this);
}

QAbstractItemView* WheelScroller::focusedGrid() const {
    QWidget* focus = QApplication::focusWidget();
    for (const auto& g : m_grids)
        if (g && focus && (focus == g || g->isAncestorOf(focus)))
            return g;
    return nullptr;
}

QAbstractItemView* WheelScroller::gridOf(QObject* object) const {
    auto* w = qobject_cast<QWidget*>(object);
    for (const auto& g : m_grids)
        if (g && w && (w == g || g->isAncestorOf(w)))
            return g;
    return nullptr;
}

bool WheelScroller::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Wheel)
        return QObject::eventFilter(watched, event);
    auto* wheel = static_cast<QWheelEvent*>(event);
    const int delta = wheel->angleDelta().y();
    QAbstractItemView* target = focusedGrid();
    QAbstractItemView* under = gridOf(watched);
    auto* widget = qobject_cast<QWidget*>(watched);
    const bool inOurWindow =
        widget && !m_grids.isEmpty() && m_grids.front() && widget->window() == m_grids.front()->window();
    if (!target || !inOurWindow || delta == 0) {
        // Without a focused grid the wheel works as usual, except that a grid under the pointer
        // does not scroll unless it has the focus.
        return under != nullptr && delta != 0;
    }
    m_pending += delta;
    QScrollBar* bar = target->verticalScrollBar();
    while (m_pending <= -120) {
        m_pending += 120;
        bar->setValue(bar->value() + 1); // towards the user: one row further down
    }
    while (m_pending >= 120) {
        m_pending -= 120;
        if (bar->value() > 0)
            bar->setValue(bar->value() - 1);
    }
    return true;
}

} // namespace brenvik::ui
