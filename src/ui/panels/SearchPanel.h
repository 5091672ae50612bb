// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SearchConditions.h"
#include "Settings.h"

#include <QScrollArea>

#include <array>
#include <cstdint>
#include <expected>
#include <optional>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace brenvik::ui {

class DigitBox;
class SettingsStore;
class Workspace;
enum class HistoryChange;

// The controls of the search column, named as in the window's control list; arrays keep their
// indices. Built and laid out in one go; the panel gives them their meaning.
struct SearchControls {
    // Lays the controls out in `column`.
    void build(QWidget* column);
    void buildPatternTabs();

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
    DigitBox* MaskEdBox2 = nullptr;
    QCheckBox* Check4 = nullptr;
    QLineEdit* Text4 = nullptr;
    QComboBox* Combo1 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* cmdHuice = nullptr;
    QPushButton* cmdSuoshui = nullptr;
    QTabWidget* TabStrip1 = nullptr;
};

// The options of the searches, the three pattern tabs, the range and the two search buttons.
// A search takes its conditions from these controls as they stand when it starts, and from
// nothing else. The column scrolls when the screen is too low for it.
class SearchPanel : public QScrollArea, private SearchControls {
    Q_OBJECT
public:
    SearchPanel(Workspace& workspace, SettingsStore& settings, QWidget* parent = nullptr);

    // Sets the controls to the saved choices.
    void showSettings(const SettingsValues& saved);
    // The pattern the boxes of the visible tab show; nothing where a box holds no number.
    std::array<std::optional<int>, 3> pattern() const;
    // Whether the pattern is taken from the draw just before (rather than N draws before).
    bool lastDrawChosen() const;

    struct Refusal {
        QWidget* box; // the control to mend; none when no control is at fault
        QString text;
    };
    // The search the controls describe.
    std::expected<SearchConditions, Refusal> conditions(bool combination) const;
    // The follow search the controls describe, for a window or a record that runs it on its own;
    // nothing, the refusal shown, when they describe none.
    std::optional<SearchConditions> followConditions();
    // The 回测 window for the follow search the controls describe.
    void openBacktest();

    // In a column of its own the options scroll on a low window; placed above or below the other
    // panels they show in full, and the window scrolls instead.
    void setScrollsItself(bool scrolls);
    // The width of the options themselves, and of the scroll bar beside them when they scroll.
    int columnWidth() const;
    int scrollBarWidth() const;
    // The controls in the order they are read, for Tab.
    QList<QWidget*> readingOrder() const;

signals:
    // Before a search by segments: the stored segments may need a rebuild first.
    void segmentsNeeded();
    // A search ran with conditions `c` and matched these history rows.
    void searched(const brenvik::SearchConditions& c, const std::vector<std::uint32_t>& rows);
    // Something a search depends on was changed.
    void conditionsEdited();
    // The user asked for the 缩水 window.
    void filterRequested();
    // A one-line report for the status bar.
    void status(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void connectControls();

    // What the history's change leaves of the range, the chosen issue and the patterns.
    void historyChanged(HistoryChange how);
    void clearDrawDescriptions();
    void reloadPattern();
    void YSJS();
    void setRangeStart();
    void setRangeEndToLast();
    int currentTab() const;
    int earlierDraws() const;
    std::array<QLineEdit*, 3> patternBoxes(int tab) const;
    std::array<QCheckBox*, 3> positionChecks(int tab) const;

    // What happens when the user changes a control.
    void tabChosen(int tab);
    void patternSourceChosen();
    void groupChosen();
    void searchTypeChosen(int kind);
    void limitToIssueToggled();
    void chosenIssueEdited();
    void earlierDrawsEdited();
    bool takeCombinationSize();
    void takeFocusedEdit();

    void searchRequested(bool combination);
    // The first pattern box whose value the search type does not take, among those compared.
    std::optional<Refusal> outOfKind(const SearchConditions& c, bool combination) const;
    void refuse(const Refusal& refusal);

    Workspace& m_workspace;
    SettingsStore& m_settings;
};

} // namespace brenvik::ui
