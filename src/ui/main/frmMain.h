// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FolderLock.h"
#include "GridModels.h"
#include "HistorySnapshot.h"
#include "SearchConditions.h"
#include "SettingsStore.h"

#include <QMainWindow>

#include <array>
#include <memory>
#include <optional>
#include <string_view>

class QAction;
class QLabel;
class QMenu;
class QUrl;

namespace brenvik::ui {

class ElidedLabel;
class HelpWindow;
class HistoryPanel;
class LogbookKeeper;
class LogbookWindow;
class PanelFlow;
class ResultsPanel;
class SearchPanel;
class Workspace;

// The one main window of the program: the menus, the three panels laid out for the window's
// width and the status bar, wired to the workspace that holds the open history. The panels do the work; the
// window only connects them. It holds the data folder for as long as it lives.
class frmMain : public QMainWindow {
    Q_OBJECT
public:
    // The window of the data folder. When another program holds the folder, the user is told so
    // and there is no window.
    static std::unique_ptr<frmMain> open(QWidget* parent = nullptr);
    ~frmMain() override;

    // The open history, which every panel and every window of the program is fed from.
    Workspace& workspace() { return *m_workspace; }
    QString dataFolderPath() const;
    // The game whose history is open.
    Game game() const;
    const HistorySnapshot& history() const;
    int lastStoredQQH() const;
    int yearsToKeep() const;
    // The pattern the boxes of the visible tab show; nothing where a box holds no number.
    std::array<std::optional<int>, 3> pattern() const;
    // The conditions of the search whose results are shown, and the results' grids.
    const std::optional<SearchConditions>& searched() const;
    const GridModel& matchedGrid() const;
    const GridModel& resultGrid() const;
    // The 预测记录 window, once it was opened.
    LogbookWindow* logbookWindow() const;
    // The user manual shipped with the program, optionally at one of its sections.
    static QUrl manualUrl(const QString& fragment = {});
    // The manual in the program's help window, at one of its sections or at its top.
    void showHelp(const QString& section);
    // The help window, once it was opened.
    HelpWindow* helpWindow() const { return m_help; }
    // Whether the window has painted once, and what waited for that has come (afterFirstPaint).
    bool hasPainted() const { return m_painted; }
    // The trend chart's window, made when first opened.
    void showTrend();
    // The online update without the question before it, as the status bar's offer runs it.
    void updateOnlineNow();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    frmMain(QString dataFolder, FolderLock lock, QWidget* parent);

    void afterFirstPaint();

    void buildWindow();
    void buildMenus();
    void refreshTrend();
    // The 缩水 window, made when first opened.
    void showFilter();
    void connectPanels();
    void loadAtStartup();
    void openHistory(Game game, const QString& note);
    void reportOpening(const QString& note);
    void offerRestore(const QString& problem);
    void showGame();
    void showWindowTitle();
    void status(const QString& text);
    void compareConditions();

    // Menus of the window.
    void chooseGame(Game game);
    void chooseSegmentParam(int param);
    void askYearsToKeep();
    void askDataSource();
    // When the history was last updated online, with a link to update it when that was before
    // the latest evening draw.
    void showLastUpdate();
    void buildLogbookMenu();
    void openWebPage(std::string_view key, const QString& manualFragment);
    void openInBrowser(const QUrl& url);

    FolderLock m_lock;
    SettingsStore m_settingsStore;
    Workspace* m_workspace = nullptr;
    HistoryPanel* m_history = nullptr;
    SearchPanel* m_search = nullptr;
    ResultsPanel* m_results = nullptr;
    PanelFlow* m_flow = nullptr;
    LogbookKeeper* m_logbook = nullptr;

    QMenu* mnuCaizhong = nullptr;
    std::array<QAction*, 2> mnu3D{};
    QMenu* mnuSetup = nullptr;
    QMenu* mnuDssetup = nullptr;
    std::array<QAction*, 2> mnuDscs{};
    QAction* mnuSetDay = nullptr;
    QAction* mnuSource = nullptr;
    QAction* mnuFrontPage = nullptr;
    QAction* mnuDescrb = nullptr;
    QAction* numYanshiDown = nullptr;
    QMenu* mnuLishi = nullptr;
    QMenu* mnuChart = nullptr;
    QAction* mnuTrend = nullptr;
    QWidget* m_trend = nullptr;
    QMenu* mnuTools = nullptr;
    QAction* mnuSuoshui = nullptr;
    QAction* mnuToolHuice = nullptr;
    QWidget* m_filter = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuManual = nullptr;
    QAction* mnuAbout = nullptr;
    QAction* mnuYuce = nullptr;
    HelpWindow* m_help = nullptr;
    bool m_painted = false;
    ElidedLabel* m_folderLabel = nullptr;
    QLabel* m_updatedLabel = nullptr;
};

} // namespace brenvik::ui
