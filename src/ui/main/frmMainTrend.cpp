// SPDX-License-Identifier: GPL-3.0-or-later
// The trend chart's window: opened from the chart menu or its button, kept up with the history.
#include "Dialogs.h"
#include "PanelParts.h"
#include "SurfaceParts.h"
#include "Workspace.h"
#include "frmMain.h"

namespace brenvik::ui {

void frmMain::showTrend() {
    if (!m_trend) {
        QString why;
        const SurfaceParts* parts = surfaceParts(&why);
        if (!parts) {
            Dialogs::warn(this, QStringLiteral("走势图"), QStringLiteral("走势图无法打开：") + why);
            return;
        }
        m_trend = parts->trendWindow(this, [this](const QString& file) {
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
    surfaceParts()->showTrendHistory(m_trend, m_workspace->sharedIndex(), m_workspace->game(),
                                     m_workspace->dataFolder());
}

} // namespace brenvik::ui
