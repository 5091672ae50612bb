// SPDX-License-Identifier: GPL-3.0-or-later
#include "ThemedChartView.h"

#include <QAbstractAxis>
#include <QAreaSeries>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QEvent>
#include <QLegend>
#include <QLineSeries>
#include <QPen>

namespace brenvik::ui {

ThemedChartView::ThemedChartView(QWidget* parent) : QChartView(new QChart, parent) {
    setRenderHint(QPainter::Antialiasing);
    // The chart is one stop of the Tab key, under its own name; the area it is drawn on is none.
    viewport()->setFocusPolicy(Qt::NoFocus);
    setFocusPolicy(Qt::StrongFocus);
    chart()->setBackgroundRoundness(0);
    applyColours();
}

void ThemedChartView::clearChart() {
    chart()->removeAllSeries();
    for (QAbstractAxis* axis : chart()->axes()) {
        chart()->removeAxis(axis);
        delete axis;
    }
}

void ThemedChartView::setGreyed(bool greyed) {
    if (greyed == m_greyed)
        return;
    m_greyed = greyed;
    applyColours();
}

void ThemedChartView::changeEvent(QEvent* event) {
    QChartView::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        applyColours();
}

void ThemedChartView::applyColours() {
    m_colours = chartColours(palette(), m_greyed);
    const ChartColours& c = m_colours;
    QChart* ch = chart();
    ch->setBackgroundBrush(c.ground);
    ch->setBackgroundPen(Qt::NoPen);
    setBackgroundBrush(c.ground);
    ch->setTitleBrush(c.text);
    ch->legend()->setLabelColor(c.text);
    ch->legend()->setBrush(Qt::NoBrush);
    ch->legend()->setPen(Qt::NoPen);
    for (QAbstractAxis* axis : ch->axes()) {
        axis->setLabelsBrush(c.text);
        axis->setTitleBrush(c.text);
        axis->setLinePen(QPen(readable(c.gridLine, c.ground, kMarkContrast), 1));
        axis->setGridLinePen(QPen(c.gridLine, 1));
        axis->setMinorGridLinePen(QPen(c.gridLine, 1));
        axis->setShadesVisible(false);
    }
    for (QAbstractSeries* s : ch->series()) {
        const QString role = s->objectName();
        if (auto* bars = qobject_cast<QBarSeries*>(s)) {
            for (QBarSet* set : bars->barSets()) {
                set->setColor(c.bar);
                set->setBorderColor(c.bar);
                set->setSelectedColor(c.barMarked);
                set->setLabelColor(c.text);
                // Bars already marked keep the colour they were marked in until marked anew.
                const QList<int> marked = set->selectedBars();
                set->deselectAllBars();
                set->selectBars(marked);
            }
        } else if (auto* area = qobject_cast<QAreaSeries*>(s)) {
            QColor fill = c.band;
            fill.setAlpha(45);
            area->setBrush(fill);
            area->setPen(QPen(c.band, 1));
        } else if (auto* line = qobject_cast<QLineSeries*>(s)) {
            if (role == QLatin1String("chance"))
                line->setPen(QPen(c.chance, 2, Qt::DashLine));
            else if (role == QLatin1String("real"))
                line->setPen(QPen(c.real, 2));
            else if (role == QLatin1String("expected"))
                line->setPen(QPen(c.expected, 1.5, Qt::DashLine));
            else if (role == QLatin1String("twin"))
                line->setPen(QPen(c.twin, 1));
        }
    }
    viewport()->update();
}

} // namespace brenvik::ui
