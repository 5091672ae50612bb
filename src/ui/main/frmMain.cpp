// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmMain.h"

#include "AboutBox.h"
#include "AppPaths.h"
#include "Clock.h"
#include "Dialogs.h"
#include "ElidedLabel.h"
#include "HistoryCommands.h"
#include "HistoryPanel.h"
#include "LogbookKeeper.h"
#include "OnlineMerge.h"
#include "PanelFlow.h"
#include "PanelParts.h"
#include "ResultsPanel.h"
#include "SearchPanel.h"
#include "StatusLine.h"
#include "WheelScroller.h"
#include "Workspace.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>

namespace brenvik::ui {

std::unique_ptr<frmMain> frmMain::open(QWidget* parent) {
    // Taken before anything is built or swept: the folder's files are this window's from here on.
    const auto found = dataFolder();
    if (!found) {
        Dialogs::warn(parent, QStringLiteral("Brenvik"), found.error());
        return nullptr;
    }
    const QString folder = *found;
    auto lock = FolderLock::take(toPath(folder), LockHolder::Window);
    if (!lock) {
        Dialogs::warn(parent, QStringLiteral("Brenvik"), qs(lock.error().message));
        return nullptr;
    }
    return std::unique_ptr<frmMain>(new frmMain(folder, std::move(*lock), parent));
}

frmMain::frmMain(QString dataFolder, FolderLock lock, QWidget* parent)
    : QMainWindow(parent), m_lock(std::move(lock)), m_workspace(new Workspace(std::move(dataFolder), this)) {
    m_settingsStore.onWriteFailure([this](const QString& file) {
        status(QStringLiteral("设置未能保存到 %1。").arg(QDir::toNativeSeparators(file)));
    });
    buildWindow();
    connectPanels();
    m_workspace->holdChecks();
    loadAtStartup();
    // The menu bar is painted with the first frame, whatever the window's layout.
    menuBar()->installEventFilter(this);
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == menuBar() && event->type() == QEvent::Paint) {
        menuBar()->removeEventFilter(this);
        // Queued behind the frame being painted, which is then on the screen.
        QTimer::singleShot(0, this, &frmMain::afterFirstPaint);
    }
    return QMainWindow::eventFilter(watched, event);
}

// What the first paint does not need, and is not kept waiting for: the check of the history's
// whole file (on a thread of its own), the window's icon (the image plugins it loads), and the
// surfaces with Qt Charts, Qt Print Support and Qt Network, of which the tally's chart is in view.
void frmMain::afterFirstPaint() {
    m_workspace->releaseChecks();
    QApplication::setWindowIcon(productIcon());
    m_results->showChart();
    m_painted = true;
}

frmMain::~frmMain() {
    // The panels go first, while the history they show is still open; the folder is let go last.
    delete takeCentralWidget();
    delete m_workspace;
}

QString frmMain::dataFolderPath() const {
    return m_workspace->dataFolder();
}
Game frmMain::game() const {
    return m_workspace->game();
}
const HistorySnapshot& frmMain::history() const {
    return m_workspace->history();
}
int frmMain::lastStoredQQH() const {
    return m_workspace->lastStoredQQH();
}
int frmMain::yearsToKeep() const {
    return m_settingsStore.read().IniSerchDay;
}
std::array<std::optional<int>, 3> frmMain::pattern() const {
    return m_search->pattern();
}
const std::optional<SearchConditions>& frmMain::searched() const {
    return m_results->searched();
}
const GridModel& frmMain::matchedGrid() const {
    return m_results->matchedGrid();
}
const GridModel& frmMain::resultGrid() const {
    return m_results->resultGrid();
}
LogbookWindow* frmMain::logbookWindow() const {
    return m_logbook->logbookWindow();
}

void frmMain::buildWindow() {
    setObjectName(QStringLiteral("frmMain"));
    showWindowTitle();

    QFont f = font();
    f.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("Noto Sans CJK SC"),
                   QStringLiteral("Noto Serif CJK SC"), QStringLiteral("WenQuanYi Micro Hei")});
    // Outlines as designed, not fitted to the pixel grid: the same widths on the screen, in pictures
    // and on paper, and the CJK glyphs load at a fraction of the cost of the hinter's analysis, the
    // largest part of the window's work before it first appears. At the window's size the
    // difference to the eye is slight.
    f.setHintingPreference(QFont::PreferNoHinting);
    // The program's, not only the window's: a control made before it is placed in the window
    // measures its text once, in this font, rather than in another and again when placed. The
    // other windows, the dialogs and the tips are Chinese as well.
    QApplication::setFont(f);
    setFont(f);

    // Made inside the window, so that each control measures its text once, in the window's font,
    // rather than in the application's and again when the panels are placed.
    m_history = new HistoryPanel(*m_workspace, m_settingsStore, font(), this);
    m_search = new SearchPanel(*m_workspace, m_settingsStore, this);
    m_results = new ResultsPanel(*m_workspace, this);
    m_logbook = new LogbookKeeper(*m_workspace, *m_results, m_settingsStore, this);

    // Side by side on a wide screen; on a small or strongly scaled one the results go under
    // the options, or all three panels one under the other, and the window scrolls down.
    m_flow = new PanelFlow(m_history, m_search, m_results, this);
    setCentralWidget(m_flow);
    connect(m_results, &ResultsPanel::resultsShown, m_flow, &PanelFlow::showResults);
    // The narrowest the window may be counts the chart's room once it is there.
    connect(m_results, &ResultsPanel::chartShown, this,
            [this] { setMinimumWidth(std::max(minimumWidth(), m_flow->narrowest())); });
    // Tab goes down each panel in turn, as the window is read.
    chainTabOrder(m_history->readingOrder() + m_search->readingOrder() + m_results->readingOrder());

    buildMenus();
    m_history->setSettingsMenu(mnuSetup);
    // The trend chart follows every change of the history and every switch of the game.
    connect(m_history, &HistoryPanel::trendRequested, this, &frmMain::showTrend);
    connect(m_workspace, &Workspace::historyChanged, this, &frmMain::refreshTrend);

    setStatusBar(new StatusLine);
    m_updatedLabel = named(new QLabel, QStringLiteral("lblUpdated"));
    m_updatedLabel->setTextFormat(Qt::RichText);
    connect(m_updatedLabel, &QLabel::linkActivated, &m_history->commands(),
            &HistoryCommands::updateOnlineNow);
    statusBar()->addPermanentWidget(m_updatedLabel);
    // The evening's draw makes the history out of date without anything happening in the window.
    auto* minute = new QTimer(this);
    connect(minute, &QTimer::timeout, this, &frmMain::showLastUpdate);
    minute->start(60 * 1000);

    // On a narrow window a long folder path gives way, so that the update link beside it stays in
    // view; its tip holds the whole line.
    m_folderLabel = named(new ElidedLabel, QStringLiteral("dataFolderLabel"));
    m_folderLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    statusBar()->addPermanentWidget(m_folderLabel);
    statusBar()->setSizeGripEnabled(true);

    setMinimumSize(m_flow->narrowest(), 300);
    // A screen too small for the whole window gets all of it.
    const QSize wanted(std::max(1180, m_flow->columnsWidth()), 760);
    const QRect screen = this->screen()->availableGeometry();
    resize(wanted.boundedTo(screen.size()));
    if (wanted.width() > screen.width() || wanted.height() > screen.height())
        setWindowState(Qt::WindowMaximized);
}

void frmMain::connectPanels() {
    Workspace* w = m_workspace;
    connect(w, &Workspace::status, this, &frmMain::status);
    connect(m_history, &HistoryPanel::status, this, &frmMain::status);
    connect(m_results, &ResultsPanel::status, this, &frmMain::status);
    connect(m_search, &SearchPanel::status, this, &frmMain::status);
    connect(m_logbook, &LogbookKeeper::status, this, &frmMain::status);
    connect(m_results, &ResultsPanel::predictionWanted, m_logbook, &LogbookKeeper::recordPrediction);
    connect(m_results, &ResultsPanel::manualWanted, this, &frmMain::showHelp);
    connect(w, &Workspace::failed, this,
            [this](const QString& title, const QString& text) { Dialogs::warn(this, title, text); });
    connect(w, &Workspace::damageFound, this, &frmMain::offerRestore);
    // The ticks show what is open and in force; setting them chooses nothing anew.
    connect(w, &Workspace::gameChanged, this, [this](Game game) {
        for (int i = 0; i < 2; ++i) {
            const QSignalBlocker quiet(mnu3D[i]);
            mnu3D[i]->setChecked((i == 0) == (game == Game::Fc3d));
        }
        m_results->clear(m_search->lastDrawChosen());
    });
    connect(w, &Workspace::segmentParamChanged, this, [this](int param) {
        for (int i = 0; i < 2; ++i) {
            const QSignalBlocker quiet(mnuDscs[i]);
            mnuDscs[i]->setChecked(param == i);
        }
    });
    connect(w, &Workspace::historyChanged, this, [this] {
        showWindowTitle();
        showLastUpdate();
    });
    connect(&m_history->commands(), &HistoryCommands::updateFinished, this, &frmMain::showLastUpdate);

    connect(m_search, &SearchPanel::segmentsNeeded, &m_history->commands(),
            &HistoryCommands::offerSegmentRebuild);
    connect(m_search, &SearchPanel::searched, m_results, &ResultsPanel::showResults);
    connect(m_history, &HistoryPanel::backtestRequested, m_search, &SearchPanel::openBacktest);
    connect(m_search, &SearchPanel::filterRequested, this, &frmMain::showFilter);
    // Any change of what a search depends on leaves the results shown as those of earlier
    // conditions.
    connect(m_search, &SearchPanel::conditionsEdited, this, &frmMain::compareConditions);
    for (QAction* a : {mnu3D[0], mnu3D[1], mnuDscs[0], mnuDscs[1]})
        connect(a, &QAction::toggled, this, &frmMain::compareConditions);
    QList<QAbstractItemView*> grids;
    for (QTableView* grid : findChildren<QTableView*>())
        grids << grid;
    new WheelScroller(grids, this);
}

void frmMain::compareConditions() {
    if (const auto& searched = m_results->searched()) {
        const auto now = m_search->conditions(searched->combination);
        m_results->compareConditions(now ? std::optional(*now) : std::nullopt);
    }
}

void frmMain::loadAtStartup() {
    m_workspace->prepareFolder();
    const SettingsValues saved = m_settingsStore.read();
    m_search->showSettings(saved);
    m_workspace->setSegmentParam(saved.DsIni);
    const QString upgraded = m_workspace->upgradeOldHistory(saved.GsZl);
    openHistory(gameOfGsZl(saved.GsZl), upgraded);
}

// What the window showed of the other game's history (proposal, range, pattern, results) goes
// with it.
void frmMain::openHistory(Game game, const QString& note) {
    m_workspace->open(game);
    showGame();
    reportOpening(note);
}

// `note` comes first: what was done to the folder before the history was opened.
void frmMain::reportOpening(const QString& note) {
    QString line = note;
    const auto add = [&line](const QString& text) {
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + text;
    };
    const HistoryStore* store = m_workspace->store();
    if (const QString problem = m_workspace->databaseProblem(); !problem.isEmpty()) {
        add(problem);
        if (m_workspace->damaged())
            QTimer::singleShot(0, this, [this, problem] { offerRestore(problem); });
        else
            QTimer::singleShot(0, this,
                               [this, problem] { Dialogs::warn(this, QStringLiteral("数据库"), problem); });
    } else if (store && store->readOnly()) {
        add(qs(store->notice()));
    } else if (store && !store->notice().empty()) {
        const QString notice = qs(store->notice());
        add(notice);
        QTimer::singleShot(0, this,
                           [this, notice] { Dialogs::inform(this, QStringLiteral("数据库"), notice); });
    }
    if (!line.isEmpty())
        status(line);
}

// A damaged history is never a dead end: the box that says so leads to the restore.
void frmMain::offerRestore(const QString& problem) {
    status(problem);
    showLastUpdate(); // an update is not offered into a damaged file
    if (Dialogs::confirm(this, QStringLiteral("历史数据库已损坏"),
                         problem + QStringLiteral("\n\n现在恢复历史吗？"), m_workspace->damageDetail()))
        m_history->commands().restoreHistory();
}

void frmMain::showGame() {
    QString text = QStringLiteral("彩种：%1　数据目录：%2")
                       .arg(qs(displayName(game())), QDir::toNativeSeparators(dataFolderPath()));
    // Said where it stays in view: every change will be refused with the same reason.
    if (m_workspace->store() && m_workspace->store()->readOnly())
        text += QStringLiteral("（只读）");
    m_folderLabel->setFullText(text);
}

void frmMain::showWindowTitle() {
    // What the user studies comes first; the version last, where it does not push the game out of
    // a narrow task bar.
    QString title = QStringLiteral("Brenvik 3D — ") + qs(displayName(game()));
    if (const DrawRow* last = history().last())
        title += QStringLiteral(" — 最新 %1").arg(last->sqqh);
    setWindowTitle(title + QStringLiteral(" — v") + productVersionText());
}

void frmMain::showLastUpdate() {
    const HistoryStore* store = m_workspace->store();
    if (!store) {
        m_updatedLabel->clear();
        return;
    }
    const auto read = lastUpdated(*store);
    const auto updated = read ? *read : std::nullopt;
    QString text = QStringLiteral("尚未在线更新");
    if (updated) {
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(updated->time_since_epoch());
        text = QStringLiteral("上次在线更新：%1")
                   .arg(QDateTime::fromSecsSinceEpoch(seconds.count())
                            .toString(QStringLiteral("yyyy-MM-dd HH:mm")));
    }
    // Offered, never done unasked: the user decides when the network is used.
    if (updateDue(updated, now()) && !store->readOnly() && !m_workspace->damaged())
        text += updated ? QStringLiteral("　<a href=\"update\">有新开奖，立即更新</a>")
                        : QStringLiteral("　<a href=\"update\">立即更新</a>");
    m_updatedLabel->setText(text);
}

void frmMain::updateOnlineNow() {
    m_history->commands().updateOnlineNow();
}

void frmMain::status(const QString& text) {
    statusBar()->showMessage(sentence(text), 15000);
}

} // namespace brenvik::ui
