// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class QAbstractItemView;

namespace brenvik::ui {

// The mouse wheel scrolls the grid that has the keyboard focus, one row per notch, wherever the
// pointer is; a grid without the focus does not scroll. A touchpad's small steps add up to a
// notch (120 units of angle).
class WheelScroller : public QObject {
    Q_OBJECT
public:
    WheelScroller(QList<QAbstractItemView*> grids, QObject* parent);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAbstractItemView* focusedGrid() const;
    QAbstractItemView* gridOf(QObject* object) const;

    QList<QPointer<QAbstractItemView>> m_grids;
    int m_pending = 0; // angle not yet turned into rows
};

} // namespace brenvik::ui
