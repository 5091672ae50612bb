// SPDX-License-Identifier: GPL-3.0-or-later
// The trend chart's window: opened from the chart menu or its button, kept up with the history.
#include "TrendWindow.h"
#include "frmMain.h"

namespace brenvik::ui {

void frmMain::showTrend() {
    if (!m_trend) {
        m_trend = new TrendWindow(this);
        connect(m_trend, &TrendWindow::written, this, &frmMain::openWritten);
    }
    m_trend->show();
    refreshTrend();
    m_trend->raise();
    m_trend->activateWindow();
}

void frmMain::refreshTrend() {
    // A closed chart catches up when it is opened again.
    if (!m_trend || !m_trend->isVisible())
        return;
    searchIndex();
    m_trend->setHistory(m_index, m_game, m_dataFolder);
}

} // namespace brenvik::ui
