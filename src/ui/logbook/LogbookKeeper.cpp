// SPDX-License-Identifier: GPL-3.0-or-later
// The logbook of predictions: the button beside the tally that records one, and the 预测记录 window.
#include "LogbookKeeper.h"

#include "AppPaths.h"
#include "Clock.h"
#include "Dialogs.h"
#include "IssueNumber.h"
#include "Logbook.h"
#include "LogbookWindow.h"
#include "PredictionLog.h"
#include "ResultsPanel.h"
#include "SettingsStore.h"
#include "SurfaceParts.h"
#include "Workspace.h"

#include <algorithm>

namespace brenvik::ui {

namespace {

// How many outcomes the user last recorded, offered again next time.
constexpr std::string_view kPickKey = "intYuceGs";

} // namespace

LogbookKeeper::LogbookKeeper(Workspace& workspace, ResultsPanel& results, SettingsStore& settings,
                             QWidget* window)
    : QObject(window), m_workspace(workspace), m_results(results), m_settings(settings), m_window(window) {
    // Entries are scored against the history as it stands, and each game keeps its own logbook.
    connect(&workspace, &Workspace::historyChanged, this, &LogbookKeeper::refresh);
    connect(&workspace, &Workspace::gameChanged, this, &LogbookKeeper::refresh);
}

void LogbookKeeper::recordPrediction() {
    // What the grids show, and only while it is current: the button is offered for nothing else.
    const auto& c = m_results.searched();
    if (!c || m_results.stale() || !m_workspace.requireStore() || m_workspace.history().empty())
        return;
    const QString title = QStringLiteral("记录本期预测");
    // The issue the window proposes for the next draw, whatever the entry box was changed to.
    const std::int32_t issue = proposedIssue(m_workspace.history().last()->sqqh, chinaYear(now()));
    // All k outcomes of the kind would be a certain hit: at most one fewer is a prediction.
    const int most = stats::outcomeCount(c->resultKind) - 1;
    const int remembered = std::clamp(m_settings.text(kPickKey).toInt(), 1, most);
    const auto answer =
        Dialogs::input(m_window, title,
                       QStringLiteral("把%1统计结果的前几名记为第 %2 期的预测？（1～%3）")
                           .arg(c->combination ? QStringLiteral("组合检索") : QStringLiteral("检索"))
                           .arg(issue)
                           .arg(most),
                       QString::number(remembered));
    if (!answer)
        return;
    const auto pick = parseWholeNumber(answer->toStdString(), 1, most);
    if (!pick) {
        Dialogs::warn(
            m_window, title,
            QStringLiteral("预测个数“%1”不是 1 到 %2 的整数，未记录。").arg(answer->trimmed()).arg(most));
        return;
    }
    m_settings.writeInt(kPickKey, static_cast<int>(*pick));

    auto entry = stats::predictionOf(*c, m_results.shownTally(), static_cast<int>(*pick), issue);
    if (!entry) {
        Dialogs::warn(m_window, title, qs(entry.error().message));
        return;
    }
    auto stored = PredictionLog::record(*m_workspace.store(), *entry);
    if (!stored) {
        Dialogs::warn(m_window, title, qs(stored.error().message));
        return;
    }
    QStringList picks;
    for (const int o : stored->picks)
        picks << qs(outcomeLabel(stored->resultKind, o));
    const QString said = QStringLiteral("已记录第 %1 期的预测：%2（编号 %3）。")
                             .arg(stored->issue)
                             .arg(picks.join(QLatin1Char(' ')))
                             .arg(stored->id);
    emit status(said);
    refresh();
    Dialogs::inform(m_window, title, said);
}

void LogbookKeeper::showLogbook() {
    if (!m_logbook) {
        QString why;
        const SurfaceParts* parts = surfaceParts(&why);
        if (!parts) {
            Dialogs::warn(m_window, QStringLiteral("预测记录"),
                          QStringLiteral("预测记录窗口无法打开：") + why);
            return;
        }
        m_logbook = parts->logbookWindow(
            m_window, [this](bool play, long long id, std::int32_t issue) { withdraw(play, id, issue); });
    }
    refresh();
    m_logbook->show();
    m_logbook->raise();
    m_logbook->activateWindow();
}

void LogbookKeeper::withdraw(bool play, long long id, std::int32_t issue) {
    const QString noun = play ? QStringLiteral("投注") : QStringLiteral("预测");
    const QString title = QStringLiteral("撤回") + noun;
    if (!Dialogs::confirm(
            m_logbook, title,
            QStringLiteral("撤回第 %1 期的%2（编号 %3）吗？撤回后不能恢复。").arg(issue).arg(noun).arg(id)) ||
        !m_workspace.requireStore())
        return;
    auto withdrawn = play ? PredictionLog::withdrawPlay(*m_workspace.store(), id)
                          : PredictionLog::withdraw(*m_workspace.store(), id);
    if (!withdrawn)
        Dialogs::warn(m_logbook, title, qs(withdrawn.error().message));
    else
        emit status(QStringLiteral("已撤回第 %1 期的%2（编号 %3）。").arg(issue).arg(noun).arg(id));
    refresh();
}

LogbookWindow* LogbookKeeper::logbookWindow() const {
    return static_cast<LogbookWindow*>(m_logbook.data());
}

void LogbookKeeper::refresh() {
    if (m_logbook)
        surfaceParts()->refreshLogbook(m_logbook, m_workspace.store(), m_workspace.history(),
                                       m_workspace.game(), m_workspace.dataFolder());
}

} // namespace brenvik::ui
