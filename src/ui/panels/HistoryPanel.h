// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include <array>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTableView;

namespace brenvik::ui {

class DigitBox;
class HistoryCommands;
class HistoryGridModel;
class SettingsStore;
class Workspace;
enum class HistoryChange;

// The history column: the boxes a draw is typed into, the grid of stored draws with its menu,
// and the buttons that read, write, update and trim the history.
class HistoryPanel : public QWidget {
    Q_OBJECT
public:
    // `windowFont` is the font the panel will show in once it is placed in the window.
    HistoryPanel(Workspace& workspace, SettingsStore& settings, const QFont& windowFont,
                 QWidget* parent = nullptr);

    HistoryCommands& commands() { return *m_commands; }
    // The settings menu, opened by the settings button that sits with the history buttons.
    void setSettingsMenu(QMenu* menu) { m_settingsMenu = menu; }
    // The controls in the order they are read, for Tab.
    QList<QWidget*> readingOrder() const;
    // Puts every history command into `menu` (the menu bar's 历史 menu): what the buttons do and
    // what the grid's menu offers.
    void fillHistoryMenu(QMenu* menu);

signals:
    void status(const QString& text);
    // The history menu's 回测 item: the search panel opens the window.
    void backtestRequested();
    // The trend chart's button was pressed.
    void trendRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildEntry(const QFont& windowFont);
    void buildGrid();
    void buildButtons();
    void buildMenu();
    void connectControls();

    void historyChanged(HistoryChange how);
    void scrollHistoryToEnd();
    void typedDigit(int box);
    void storeManualDraw();
    void showHistoryMenu(const QPoint& at);
    void showHistoryMenuByKey();
    // Writes the history grid to its spreadsheet, what it holds said in the first row.
    void exportHistorySheet();
    void showSettingsMenu();
    void setHistoryActionsEnabled(bool enabled);

    Workspace& m_workspace;
    HistoryGridModel* m_historyModel = nullptr;
    HistoryCommands* m_commands = nullptr;
    QMenu* m_settingsMenu = nullptr;
    // Set while the digit boxes are emptied by the program, so that emptying them stores nothing.
    bool m_justStored = false;

    // Controls, named as in the window's control list; arrays keep their indices.
    QLabel* Label12 = nullptr;
    QLineEdit* Text1 = nullptr;
    std::array<DigitBox*, 4> MaskEdBox1{};
    QTableView* MSFlexGrid1 = nullptr;
    QLabel* m_emptyHint = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command4 = nullptr;
    QPushButton* Command9 = nullptr;
    QPushButton* cmdTrend = nullptr;
    QPushButton* Command21 = nullptr;
    QPushButton* cmdRdLst = nullptr;
    QMenu* mnuLsgl = nullptr;
    QAction* mnuDcls = nullptr;
    QAction* mnuErase = nullptr;
    QAction* mnuClear = nullptr;
    QAction* mnuDlzd = nullptr;
    QAction* mnuEszhzd = nullptr;
    QAction* mnuUndo = nullptr;
    QAction* mnuHfls = nullptr; // 恢复历史…
    QAction* mnuHuice = nullptr;
    // The buttons' commands, for the menu bar.
    QAction* mnuRdLst = nullptr;
    QAction* mnuZxgx = nullptr;
    QAction* mnuDcwb = nullptr;
};

} // namespace brenvik::ui
