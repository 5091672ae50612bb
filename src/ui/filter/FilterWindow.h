// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FilterRecord.h"
#include "NumberFilter.h"

#include <QWidget>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableView;
class QTimer;

namespace brenvik::ui {

class ConditionPanel;
class KeptGridModel;
class NetChart;
class SettingsStore;
class Workspace;

// What 取当前检索结果 takes from the main window's tally: the positions it counted, and its
// outcomes most frequent first, each as the digits that give it (大 is 5..9).
struct ShownTally {
    std::vector<int> positions;
    std::vector<std::uint32_t> outcomes;
};

// The window "缩水": the conditions, the numbers they keep, and what buying all of them (直选) or
// their groups (组选) every draw of a range of the open history would have won and cost; the kept
// set can be recorded as the play of the next issue. It follows the history and the game; the
// conditions and the ticket kind are kept in the settings.
class FilterWindow : public QWidget {
    Q_OBJECT
public:
    using TallySource = std::function<std::optional<ShownTally>()>;

    FilterWindow(Workspace& workspace, SettingsStore& settings, TallySource tally, QWidget* parent = nullptr);

    const stats::NumberSet& kept() const { return m_kept; }
    // The record last shown; nothing while the conditions or the range do not read.
    const std::optional<stats::FilterRecord>& record() const { return m_record; }
    // The tickets chosen: 直选 or 组选.
    Ticket ticket() const;

signals:
    // A play was stored in the logbook.
    void playRecorded();

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void build();
    void saveConditions();
    void conditionsChanged();
    void refreshRecord();
    void ticketChosen(bool grouped);
    void showCount();
    void offerPlay();
    void recordPlay();
    void copyNumbers();
    void exportNumbers();
    void fillFromSearch();
    void showStatus(const QString& text);
    // The rows of the range the boxes give, or why they give none.
    std::optional<stats::RowRange> chosenRange(QString* problem) const;

    Workspace& m_workspace;
    SettingsStore& m_settings;
    TallySource m_tally;
    stats::FilterConditions m_conditions;
    stats::NumberSet m_kept;
    bool m_conditionsRead = false;
    std::optional<stats::FilterRecord> m_record;

    ConditionPanel* m_panel = nullptr;
    QLabel* m_count = nullptr;
    QRadioButton* m_direct = nullptr;
    QRadioButton* m_group = nullptr;
    QTableView* m_grid = nullptr;
    KeptGridModel* m_directModel = nullptr;
    KeptGridModel* m_groupModel = nullptr;
    QComboBox* m_copyStyle = nullptr;
    QPushButton* m_copy = nullptr;
    QPushButton* m_play = nullptr;
    QLineEdit* m_start = nullptr;
    QLineEdit* m_end = nullptr;
    QLabel* m_recordLine = nullptr;
    NetChart* m_chart = nullptr;
    QLabel* m_status = nullptr;
    QTimer* m_saveTimer = nullptr;
};

} // namespace brenvik::ui
