// SPDX-License-Identifier: GPL-3.0-or-later
// The logbook of predictions: the button beside the tally that records one, and the 预测记录 window.
#include "LogbookKeeper.h"

#include "AppPaths.h"
#include "BusyCursor.h"
#include "Clock.h"
#include "Dialogs.h"
#include "IssueNumber.h"
#include "Logbook.h"
#include "LogbookWindow.h"
#include "PredictionLog.h"
#include "ResultsPanel.h"
#include "SearchPanel.h"
#include "SettingsStore.h"
#include "SurfaceParts.h"
#include "Workspace.h"

#include <algorithm>

namespace brenvik::ui {

namespace {

// How many outcomes the user last recorded, offered again next time.
constexpr std::string_view kPickKey = "intYuceGs";

} // namespace

LogbookKeeper::LogbookKeeper(Workspace& workspace, SearchPanel& search, ResultsPanel& results,
                             SettingsStore& settings, QWidget* window)
    : QObject(window), m_workspace(workspace), m_search(search), m_results(results), m_settings(settings),
      m_window(window) {
    // Entries are scored against the history as it stands, and each game keeps its own logbook.
    connect(&workspace, &Workspace::historyChanged, this, &LogbookKeeper::refresh);
    connect(&workspace, &Workspace::gameChanged, this, &LogbookKeeper::refresh);
}

void LogbookKeeper::recordPrediction() {
    if (!m_workspace.requireStore())
        return;
    const auto c = m_search.followConditions();
    if (!c)
        return;
    const QString title = QStringLiteral("记录本期预测");
    // The issue the window proposes for the next draw, whatever the entry box was changed to.
    const std::int32_t issue = proposedIssue(m_workspace.history().last()->sqqh, chinaYear(now()));
    // All k outcomes of the kind would be a certain hit: at most one fewer is a prediction.
    const int most = stats::outcomeCount(c->resultKind) - 1;
    const int remembered = std::clamp(m_settings.text(kPickKey).toInt(), 1, most);
    const auto answer =
        Dialogs::input(m_window, title,
                       QStringLiteral("把统计结果的前几名记为第 %1 期的预测？（1～%2）").arg(issue).arg(most),
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

    BusyCursor busy;
    auto prediction = stats::predictNext(m_workspace.searchIndex(), *c, static_cast<int>(*pick), issue);
    if (!prediction) {
        Dialogs::warn(m_window, title, qs(prediction.error().message));
        return;
    }
    // The grids show the search whose top was recorded: the one from the newest draw.
    m_results.showResults(prediction->conditions, prediction->selection.rows);
    auto stored = PredictionLog::record(*m_workspace.store(), prediction->entry);
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
            m_window, [this](long long id, std::int32_t issue) { withdrawPrediction(id, issue); });
    }
    refresh();
    m_logbook->show();
    m_logbook->raise();
    m_logbook->activateWindow();
}

void LogbookKeeper::withdrawPrediction(long long id, std::int32_t issue) {
    const QString title = QStringLiteral("撤回预测");
    if (!Dialogs::confirm(
            m_logbook, title,
            QStringLiteral("撤回第 %1 期的预测（编号 %2）吗？撤回后不能恢复。").arg(issue).arg(id)) ||
        !m_workspace.requireStore())
        return;
    if (auto withdrawn = PredictionLog::withdraw(*m_workspace.store(), id); !withdrawn)
        Dialogs::warn(m_logbook, title, qs(withdrawn.error().message));
    else
        emit status(QStringLiteral("已撤回第 %1 期的预测（编号 %2）。").arg(issue).arg(id));
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
