#pragma once

#include "FolderLock.h"
#include "FollowSearch.h"
#include "GridModels.h"
#include "HistoryRebuild.h"
#include "HistorySnapshot.h"
#include "HistoryStore.h"
#include "SearchConditions.h"
#include "SearchIndex.h"
#include "Settings.h"
#include "SettingsStore.h"

#include <QMainWindow>

#include <array>
#include <expected>
#include <memory>
#include <optional>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTableView;
class QUrl;

namespace brenvik::ui {

class DigitBox;
class TrendWindow;

// The one window of the program. It owns the open history and the settings; a search takes its
// conditions from the controls as they stand when it starts. The work itself is done by the
// libraries.
class frmMain : public QMainWindow {
    Q_OBJECT
public:
    // The window of the data folder, which it holds for as long as it lives. When another
    // program holds the folder, the user is told so and there is no window.
    static std::unique_ptr<frmMain> open(QWidget* parent = nullptr);

    // The matched-draws and result grids' contents, as shown.
    const GridModel& matchedGrid() const { return *m_matchedModel; }
    const GridModel& resultGrid() const { return *m_resultModel; }
    ~frmMain() override;

    QString dataFolderPath() const { return m_dataFolder; }
    // The game whose history is open.
    Game game() const { return m_game; }
    const HistorySnapshot& history() const { return *m_snapshot; }
    // The pattern the boxes of the visible tab show; nothing where a box holds no number.
    std::array<std::optional<int>, 3> pattern() const;
    // The conditions of the search whose results are shown.
    const std::optional<SearchConditions>& searched() const { return m_searched; }
    int lastStoredQQH() const { return m_lastQQH; }
    int yearsToKeep() const { return m_set.IniSerchDay; }
    // The user manual shipped with the program, optionally at one of its sections.
    static QUrl manualUrl(const QString& fragment = {});

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    frmMain(QString dataFolder, FolderLock lock, QWidget* parent);

    // Construction of the controls, groups and menus.
    void buildWindow();
    QWidget* buildHistoryPanel();
    QWidget* buildOptionsPanel();
    QWidget* buildResultsPanel();
    void buildMenus();
    void showWindowTitle();
    void connectHandlers();

    // Start-up.
    void loadAtStartup();
    void openDatabase();

    // The game whose history is shown.
    QString upgradeOldHistory();
    void openHistory(Game game, const QString& note);
    void reportOpening(const QString& note);
    void showGame();

    // Shared operations on the history.
    void AddHaoma();
    void QihaoXianshi();
    bool Delrec();
    void YSJS();
    void fillHistoryGrid();
    void scrollHistoryToEnd();
    void reloadSnapshot();

    // Follow-search inputs.
    void reloadPattern();
    void setRangeStart();
    void setRangeEndToLast();
    void clearDrawDescriptions();
    int currentTab() const;
    std::array<QLineEdit*, 3> patternBoxes(int tab) const;
    std::array<QCheckBox*, 3> positionChecks(int tab) const;

    // Handlers.
    void Option1_Click(int index);
    void Option2_Click(int index);
    void Option3_Click(int index);
    void Option4_Click(int index);
    void Option5_Click(int index);
    void Option6_Click(int index);
    void TabStrip1_Click();
    void Check4_Click();
    void Text4_LostFocus();
    void Combo1_LostFocus();
    void MaskEdBox1_Change(int index);
    void MaskEdBox1_KeyPress();
    void MaskEdBox2_LostFocus();
    void mnu3D_Click(int index);
    void mnuDscs_Click(int index);
    void Command9_Click();
    void MSFlexGrid1_MouseUp(const QPoint& pos);
    void MSFlexGrid1_ContextKey();

    // Searches.
    struct Refusal {
        QWidget* box; // the control to mend; none when no control is at fault
        QString text;
    };
    void Command1_Click();
    void Command2_Click();
    void runSearch(bool combination);
    std::expected<SearchConditions, Refusal> conditions(bool combination) const;
    void refuse(const Refusal& refusal);
    bool takeCombinationSize();
    void takeFocusedEdit();
    const SearchIndex& searchIndex();
    void showResults(const SearchConditions& c, const std::vector<std::uint32_t>& rows);
    void conditionsChanged();
    void offerSegmentRebuild();

    // History files, spreadsheets and deletions.
    void connectHistoryActions();
    void provideSampleHistories();
    void sweepAbandonedFiles();
    void refreshAfterImport();
    void cmdRdLst_Click();
    void Command3_Click();
    void Command4_Click();
    void mnuClear_Click();
    void mnuDlzd_Click();
    void mnuEszhzd_Click();
    void mnuUndo_Click();
    void updateUndoAction();
    bool confirmRemoval(std::size_t removed, const QString& what);
    void exportGrid(const GridModel& model, const char* fileName);
    void openWritten(const QString& file);
    bool gridDoubleClicked(QObject* watched, QEvent* event);
    void Dqzd(const Result<StoredCounts>& rebuilt, const QString& what);
    bool CompactDb();

    // Trend chart.
    void showTrend();
    void refreshTrend();

    // Online update.
    void Command21_Click();
    void mnuChartSite_Click();
    void setHistoryActionsEnabled(bool enabled);

    // Settings menu.
    void connectSettingsMenu();
    void mnuSetDay_Click();
    void openWebPage(std::string_view key, const QString& manualFragment);
    void openInBrowser(const QUrl& url);

    void storeManualDraw();
    void status(const QString& text);
    bool requireStore();

    // State.
    QString m_dataFolder;
    FolderLock m_lock;
    SettingsStore m_settingsStore;
    SettingsValues m_set;
    Game m_game = Game::Fc3d;
    // Why no history may be opened in this folder until the program starts again.
    QString m_upgradeProblem;
    std::unique_ptr<HistoryStore> m_store;
    SnapshotPtr m_snapshot;
    int m_lastQQH = 0;
    bool m_justStored = false;
    std::optional<SearchConditions> m_searched;
    QString m_searchedSummary;
    QString m_databaseProblem;
    SearchIndexPtr m_index; // set with m_snapshot
    // The history and segment setting whose stored segments were last checked, so a segment
    // search asks about a mismatch once, not at every press.
    std::weak_ptr<const HistorySnapshot> m_segmentsCheckedOn;
    int m_segmentsCheckedParam = -1;

    // Controls, named as in the window's control list; arrays keep their indices.
    std::array<QRadioButton*, 4> Option1{};
    std::array<QRadioButton*, 6> Option2{};
    std::array<QRadioButton*, 4> Option3{};
    std::array<QRadioButton*, 4> Option4{};
    std::array<QRadioButton*, 4> Option5{};
    std::array<QRadioButton*, 2> Option6{};
    std::array<QGroupBox*, 3> Frame1{};
    std::array<QWidget*, 3> Frame2{};
    QGroupBox* Frame3 = nullptr;
    QGroupBox* Frame4 = nullptr;
    QGroupBox* Frame5 = nullptr;
    QGroupBox* Frame6 = nullptr;
    QGroupBox* Frame7 = nullptr;
    std::array<QCheckBox*, 14> Check1{};
    std::array<QCheckBox*, 4> Check11{};
    std::array<QLineEdit*, 14> Text2{};
    std::array<QLineEdit*, 4> Text22{};
    std::array<QLineEdit*, 2> Text3{};
    std::array<QLabel*, 2> Label3{};
    QLabel* Label4 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label12 = nullptr;
    std::array<DigitBox*, 4> MaskEdBox1{};
    DigitBox* MaskEdBox2 = nullptr;
    QLineEdit* Text1 = nullptr;
    QCheckBox* Check4 = nullptr;
    QLineEdit* Text4 = nullptr;
    QComboBox* Combo1 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command4 = nullptr;
    QPushButton* Command9 = nullptr;
    QPushButton* Command21 = nullptr;
    QPushButton* cmdRdLst = nullptr;
    QTabWidget* TabStrip1 = nullptr;
    QTableView* MSFlexGrid1 = nullptr;
    QTableView* MSFlexGrid2 = nullptr;
    QTableView* MSFlexGrid3 = nullptr;
    QMenu* mnuLsgl = nullptr;
    QMenu* mnuSetup = nullptr;
    QMenu* mnuDssetup = nullptr;
    QMenu* mnuCaizhong = nullptr;
    QAction* mnuDcls = nullptr;
    QAction* mnuErase = nullptr;
    QAction* mnuClear = nullptr;
    QAction* mnuDlzd = nullptr;
    QAction* mnuEszhzd = nullptr;
    QAction* mnuUndo = nullptr;
    std::array<QAction*, 2> mnuDscs{};
    QAction* mnuSetDay = nullptr;
    QAction* mnuFrontPage = nullptr;
    QAction* mnuDescrb = nullptr;
    QAction* numYanshiDown = nullptr;
    QAction* mnuChartSite = nullptr;
    std::array<QAction*, 2> mnu3D{};
    QMenu* mnuHelp = nullptr;
    QAction* mnuManual = nullptr;
    QAction* mnuAbout = nullptr;
    QLabel* m_folderLabel = nullptr;
    QLabel* m_summary = nullptr;
    QLabel* m_emptyHint = nullptr;
    QPushButton* cmdTrend = nullptr;
    QMenu* mnuChart = nullptr;
    QAction* mnuTrend = nullptr;
    TrendWindow* m_trend = nullptr; // made when first opened

    HistoryGridModel* m_historyModel = nullptr;
    MatchedGridModel* m_matchedModel = nullptr;
    ResultGridModel* m_resultModel = nullptr;
};

} // namespace brenvik::ui
