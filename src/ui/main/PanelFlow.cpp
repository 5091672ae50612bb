// SPDX-License-Identifier: GPL-3.0-or-later
#include "PanelFlow.h"

#include "ResultsPanel.h"
#include "SearchPanel.h"

#include <QGridLayout>
#include <QResizeEvent>
#include <QScrollBar>

namespace brenvik::ui {

namespace {

constexpr int kMargin = 8;
constexpr int kSpacing = 10;

} // namespace

PanelFlow::PanelFlow(QWidget* history, SearchPanel* search, ResultsPanel* results, QWidget* parent)
    : QScrollArea(parent), m_history(history), m_search(search), m_results(results) {
    setObjectName(QStringLiteral("windowScroll"));
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Only the controls inside take the focus: the page itself is no stop of the Tab key.
    setFocusPolicy(Qt::NoFocus);
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("windowPage"));
    m_grid = new QGridLayout(page);
    m_grid->setContentsMargins(kMargin, kMargin, kMargin, kMargin / 2);
    m_grid->setHorizontalSpacing(kSpacing);
    m_grid->setVerticalSpacing(kSpacing);
    setWidget(page);
    arrange(Arrangement::Columns);
}

int PanelFlow::narrowest() const {
    const int panels =
        std::max({m_history->minimumWidth(), m_search->columnWidth(), m_results->leastWidth()});
    return panels + 2 * kMargin + verticalScrollBar()->sizeHint().width();
}

int PanelFlow::columnsWidth() const {
    return sideBySide() + m_search->scrollBarWidth() + kSpacing + m_results->leastWidth() + 2 * kMargin +
           verticalScrollBar()->sizeHint().width();
}

int PanelFlow::sideBySide() const {
    return m_history->minimumWidth() + kSpacing + m_search->columnWidth();
}

PanelFlow::Arrangement PanelFlow::fitting() const {
    // Measured as though the vertical scroll bar were shown, so that its coming and going never
    // changes the arrangement it was needed for.
    const int room = width() - 2 * frameWidth();
    if (columnsWidth() <= room)
        return Arrangement::Columns;
    if (sideBySide() + 2 * kMargin + verticalScrollBar()->sizeHint().width() <= room)
        return Arrangement::ResultsBelow;
    return Arrangement::Stacked;
}

void PanelFlow::arrange(Arrangement a) {
    m_arrangement = a;
    m_arranged = true;
    for (QWidget* w : {m_history, static_cast<QWidget*>(m_search), static_cast<QWidget*>(m_results)})
        m_grid->removeWidget(w);
    for (int i = 0; i < 3; ++i) {
        m_grid->setColumnStretch(i, 0);
        m_grid->setRowStretch(i, 0);
    }
    // The history column keeps the width its grid and buttons were made for, except on its own
    // row, where it takes the whole width.
    const int historyWidth = m_history->minimumWidth();
    m_history->setMaximumWidth(a == Arrangement::Stacked ? QWIDGETSIZE_MAX : historyWidth);
    m_search->setScrollsItself(a == Arrangement::Columns);
    switch (a) {
    case Arrangement::Columns:
        m_grid->addWidget(m_history, 0, 0);
        m_grid->addWidget(m_search, 0, 1);
        m_grid->addWidget(m_results, 0, 2);
        m_grid->setColumnStretch(2, 1);
        m_grid->setRowStretch(0, 1);
        break;
    case Arrangement::ResultsBelow:
        m_grid->addWidget(m_history, 0, 0, Qt::AlignTop);
        m_grid->addWidget(m_search, 0, 1, Qt::AlignLeft | Qt::AlignTop);
        m_grid->addWidget(m_results, 1, 0, 1, 2);
        m_grid->setColumnStretch(1, 1);
        break;
    case Arrangement::Stacked:
        m_grid->addWidget(m_history, 0, 0);
        m_grid->addWidget(m_search, 1, 0, Qt::AlignLeft);
        m_grid->addWidget(m_results, 2, 0);
        m_grid->setColumnStretch(0, 1);
        break;
    }
    fitHeights();
}

void PanelFlow::fitHeights() {
    // Where the panels are stacked, the history and the results each get at least a screenful:
    // the grid shows a fair number of draws and the tally keeps its rows. Beside the options the
    // history fits the screen, so that the newest draws and its buttons show without scrolling.
    const int screenful = viewport()->height() - kMargin;
    const int history = std::max(screenful, m_history->minimumSizeHint().height());
    const bool stacked = m_arrangement == Arrangement::Stacked;
    m_history->setMinimumHeight(stacked ? history : 0);
    m_history->setMaximumHeight(m_arrangement == Arrangement::ResultsBelow ? history : QWIDGETSIZE_MAX);
    m_results->setLeastHeight(m_arrangement == Arrangement::Columns ? 0 : screenful);
}

void PanelFlow::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    if (const Arrangement a = fitting(); !m_arranged || a != m_arrangement)
        arrange(a);
    else
        fitHeights();
}

void PanelFlow::showResults() {
    if (m_arrangement == Arrangement::Columns)
        return;
    const int top = m_results->mapTo(widget(), QPoint(0, 0)).y();
    const int bar = verticalScrollBar()->value();
    if (top < bar || top > bar + viewport()->height() / 2)
        verticalScrollBar()->setValue(top - kMargin);
}

} // namespace brenvik::ui
