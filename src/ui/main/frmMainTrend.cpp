// SPDX-License-Identifier: GPL-3.0-or-later
// The trend chart's window: opened from the chart menu or its button, kept up with the history.
#include "PanelParts.h"
#include "TrendWindow.h"
#include "Workspace.h"
#include "frmMain.h"

namespace brenvik::ui {

void frmMain::showTrend() {
    if (!m_trend) {
        m_trend = new TrendWindow(this);
        connect(m_trend, &TrendWindow::written, this, [this](const QString& file) {
            const QString line = openWritten(m_trend, file);
            if (!line.isEmpty())
                status(line);
        });
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
    m_trend->setHistory(m_workspace->sharedIndex(), m_workspace->game(), m_workspace->dataFolder());
}

} // namespace brenvik::ui
