// SPDX-License-Identifier: GPL-3.0-or-later
// The 缩水 window: opened from the tools menu or the button beside 检索, fed with the tally the
// results show.
#include "AppPaths.h"
#include "Dialogs.h"
#include "DrawCodes.h"
#include "FilterWindow.h"
#include "LogbookKeeper.h"
#include "PanelParts.h"
#include "ResultsPanel.h"
#include "SurfaceParts.h"
#include "Workspace.h"
#include "frmMain.h"

namespace brenvik::ui {

namespace {

// The tally shown, as the digits each outcome stands for at the counted positions; outcomes no
// draw brought are left out.
std::optional<ShownTally> shownTally(const ResultsPanel& results) {
    const auto& c = results.searched();
    const auto* grid = dynamic_cast<const ResultGridModel*>(&results.resultGrid());
    if (!c || !grid)
        return std::nullopt;
    ShownTally t;
    for (int p = c->group ? 1 : c->resultPosition; p <= c->resultPosition; ++p)
        t.positions.push_back(p);
    const int kind = static_cast<int>(c->resultKind);
    for (int row = 0; row < grid->rowCount(); ++row) {
        if (grid->share(row).value_or(0) <= 0)
            continue;
        std::uint32_t digits = 0;
        for (int value = 0; value < counterSize(c->resultKind); ++value)
            if (qs(outcomeLabel(c->resultKind, value)) == grid->label(row))
                for (int d = 0; d < 10; ++d)
                    if (codesOf(d, c->segmentParam)[static_cast<std::size_t>(kind)] == value)
                        digits |= 1u << d;
        if (digits != 0)
            t.outcomes.push_back(digits);
    }
    return t;
}

} // namespace

void frmMain::showFilter() {
    if (!m_filter) {
        QString why;
        const SurfaceParts* parts = surfaceParts(&why);
        if (!parts) {
            Dialogs::warn(this, QStringLiteral("缩水"), QStringLiteral("缩水窗口无法打开：") + why);
            return;
        }
        // A play is listed in the 预测记录 window as soon as it is recorded.
        m_filter = parts->filterWindow(
            *m_workspace, m_settingsStore, [this] { return shownTally(*m_results); },
            [this] { m_logbook->refresh(); }, this);
        fitToScreen(m_filter, QSize(1060, 720), this);
    }
    m_filter->show();
    m_filter->raise();
    m_filter->activateWindow();
}

} // namespace brenvik::ui
