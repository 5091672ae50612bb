// SPDX-License-Identifier: GPL-3.0-or-later
// The logbook of predictions: the button beside the tally that records one, and the 预测记录 window.
#include "AppPaths.h"
#include "BusyCursor.h"
#include "Clock.h"
#include "Dialogs.h"
#include "IssueNumber.h"
#include "Logbook.h"
#include "LogbookWindow.h"
#include "PredictionLog.h"
#include "frmMain.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

namespace brenvik::ui {

namespace {

// How many outcomes the user last recorded, offered again next time.
constexpr std::string_view kPickKey = "intYuceGs";

} // namespace

void frmMain::buildLogbookMenu() {
    QMenu* menu = menuBar()->addMenu(QStringLiteral("预测(&Y)"));
    menu->setObjectName(QStringLiteral("mnuYc"));
    mnuYuce = menu->addAction(QStringLiteral("预测记录(&L)…"));
    mnuYuce->setObjectName(QStringLiteral("mnuYuce"));
    connect(mnuYuce, &QAction::triggered, this, [this] { showLogbook(); });
    connect(cmdYuce, &QPushButton::clicked, this, [this] { recordPrediction(); });
}

void frmMain::recordPrediction() {
    takeFocusedEdit();
    if (!requireStore())
        return;
    const QString title = QStringLiteral("记录本期预测");
    const auto c = conditions(false);
    if (!c) {
        refuse(c.error());
        return;
    }
    // The issue the window proposes for the next draw, whatever the entry box was changed to.
    const std::int32_t issue = proposedIssue(m_snapshot->last()->sqqh, chinaYear(now()));
    const int k = stats::outcomeCount(c->resultKind);
    const int remembered = std::clamp(m_settingsStore.text(kPickKey).toInt(), 1, k);
    const auto answer = Dialogs::input(
        this, title, QStringLiteral("把统计结果的前几名记为第 %1 期的预测？（1～%2）").arg(issue).arg(k),
        QString::number(remembered));
    if (!answer)
        return;
    const auto pick = parseWholeNumber(answer->toStdString(), 1, k);
    if (!pick) {
        Dialogs::warn(
            this, title,
            QStringLiteral("预测个数“%1”不是 1 到 %2 的整数，未记录。").arg(answer->trimmed()).arg(k));
        return;
    }
    m_settingsStore.writeInt(kPickKey, static_cast<int>(*pick));

    BusyCursor busy;
    auto prediction = stats::predictNext(searchIndex(), *c, static_cast<int>(*pick), issue);
    if (!prediction) {
        Dialogs::warn(this, title, qs(prediction.error().message));
        return;
    }
    // The grids show the search whose top was recorded: the one from the newest draw.
    showResults(prediction->conditions, prediction->selection.rows);
    auto stored = PredictionLog::record(*m_store, prediction->entry);
    if (!stored) {
        Dialogs::warn(this, title, qs(stored.error().message));
        return;
    }
    QStringList picks;
    for (const int o : stored->picks)
        picks << qs(outcomeLabel(stored->resultKind, o));
    const QString said = QStringLiteral("已记录第 %1 期的预测：%2（编号 %3）。")
                             .arg(stored->issue)
                             .arg(picks.join(QLatin1Char(' ')))
                             .arg(stored->id);
    status(said);
    refreshLogbook();
    Dialogs::inform(this, title, said);
}

void frmMain::showLogbook() {
    if (!m_logbook) {
        m_logbook = new LogbookWindow(this);
        connect(m_logbook, &LogbookWindow::withdrawRequested, this,
                [this](long long id, std::int32_t issue) { withdrawPrediction(id, issue); });
    }
    refreshLogbook();
    m_logbook->show();
    m_logbook->raise();
    m_logbook->activateWindow();
}

void frmMain::withdrawPrediction(long long id, std::int32_t issue) {
    const QString title = QStringLiteral("撤回预测");
    if (!Dialogs::confirm(
            m_logbook, title,
            QStringLiteral("撤回第 %1 期的预测（编号 %2）吗？撤回后不能恢复。").arg(issue).arg(id)) ||
        !requireStore())
        return;
    if (auto withdrawn = PredictionLog::withdraw(*m_store, id); !withdrawn)
        Dialogs::warn(m_logbook, title, qs(withdrawn.error().message));
    else
        status(QStringLiteral("已撤回第 %1 期的预测（编号 %2）。").arg(issue).arg(id));
    refreshLogbook();
}

LogbookWindow* frmMain::logbookWindow() const {
    return m_logbook;
}

void frmMain::refreshLogbook() {
    if (m_logbook)
        m_logbook->refresh(m_store.get(), *m_snapshot, m_game, m_dataFolder);
}

} // namespace brenvik::ui
