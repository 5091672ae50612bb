// The game whose history the window shows: the game menu, the switch between the games'
// histories, the upgrade of a data folder written before each game kept its own, the title and
// the status bar.
#include "AboutBox.h"
#include "AppPaths.h"
#include "BusyCursor.h"
#include "DataFolderUpgrade.h"
#include "Dialogs.h"
#include "UndoBackup.h"
#include "frmMain.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTimer>

namespace brenvik::ui {

QString frmMain::upgradeOldHistory() {
    // GsZl as the earlier version left it says which game its one history holds.
    auto upgraded = upgradeDataFolder(toPath(m_dataFolder), m_set.GsZl);
    if (!upgraded) {
        m_upgradeProblem = qs(upgraded.error().message);
        return {};
    }
    return qs(*upgraded);
}

void frmMain::mnu3D_Click(int index) {
    const Game game = index == 0 ? Game::Fc3d : Game::Pl3;
    m_set.GsZl = gsZlOf(game);
    m_settingsStore.writeInt(keys::GsZl, m_set.GsZl);
    if (game == m_game) {
        mnu3D[index]->setChecked(true); // choosing the ticked item keeps it ticked
        return;
    }
    openHistory(game, {});
    if (m_store && m_store->notice().empty())
        status(QStringLiteral("已换到%1的历史号码，共 %2 期。")
                   .arg(qs(displayName(game)), qs(groupedCount(static_cast<long long>(m_snapshot->size())))));
}

// The history part of start-up, for the game's own history. What the window showed of the other
// game's history (proposal, range, pattern, results) goes with it.
void frmMain::openHistory(Game game, const QString& note) {
    BusyCursor busy;
    m_game = game;
    for (int i = 0; i < 2; ++i)
        mnu3D[i]->setChecked((i == 0) == (game == Game::Fc3d));
    m_store.reset();
    m_snapshot = std::make_shared<HistorySnapshot>();
    m_databaseProblem = m_upgradeProblem;
    if (m_databaseProblem.isEmpty())
        openDatabase();

    m_lastQQH = 0;
    clearDrawDescriptions();
    m_matchedModel->setRows({}, m_set.bolSq);
    m_resultModel->setTally(Tally{});

    QihaoXianshi();
    setRangeStart();
    setRangeEndToLast();
    reloadPattern();
    if (currentTab() == 2)
        YSJS();
    fillHistoryGrid();
    updateUndoAction();
    showGame();
    reportOpening(note);
}

// `note` comes first: what was done to the folder before the history was opened.
void frmMain::reportOpening(const QString& note) {
    QString line = note;
    const auto add = [&line](const QString& text) {
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + text;
    };
    if (!m_databaseProblem.isEmpty()) {
        add(m_databaseProblem);
        QTimer::singleShot(0, this, [this, problem = m_databaseProblem] {
            Dialogs::warn(this, QStringLiteral("数据库"), problem);
        });
    } else if (m_store && m_store->readOnly()) {
        add(qs(m_store->notice()));
    } else if (m_store && !m_store->notice().empty()) {
        const QString notice = qs(m_store->notice());
        add(notice);
        QTimer::singleShot(0, this,
                           [this, notice] { Dialogs::inform(this, QStringLiteral("数据库"), notice); });
    }
    if (!line.isEmpty())
        status(line);
}

void frmMain::showGame() {
    QString text = QStringLiteral("彩种：%1　数据目录：%2")
                       .arg(qs(displayName(m_game)), QDir::toNativeSeparators(m_dataFolder));
    // Said where it stays in view: every change will be refused with the same reason.
    if (m_store && m_store->readOnly())
        text += QStringLiteral("（只读）");
    m_folderLabel->setText(text);
}

void frmMain::showWindowTitle() {
    // What the user studies comes first; the version last, where it does not push the game out of
    // a narrow task bar.
    QString title = QStringLiteral("Brenvik 3D — ") + qs(displayName(m_game));
    if (const DrawRow* last = m_snapshot->last())
        title += QStringLiteral(" — 最新 %1").arg(last->sqqh);
    setWindowTitle(title + QStringLiteral(" — v") + productVersionText());
}

} // namespace brenvik::ui
