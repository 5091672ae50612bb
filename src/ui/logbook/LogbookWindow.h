// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Game.h"
#include "GridModels.h"
#include "HistorySnapshot.h"
#include "Logbook.h"

#include <QWidget>

#include <cstdint>

#include <vector>

class QChart;
class QLabel;
class QPushButton;
class QTableView;

namespace brenvik {
class HistoryStore;
}

namespace brenvik::ui {

class ThemedChartView;

// The logbook's entries as the 预测记录 window lists them: newest first.
class LogbookGridModel : public GridModel {
    Q_OBJECT
public:
    explicit LogbookGridModel(QObject* parent = nullptr);
    void setEntries(std::vector<stats::ScoredEntry> entries);
    int rowCount(const QModelIndex& parent = {}) const override;
    QString cellText(int row, int column) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    const stats::ScoredEntry& entryAt(int row) const { return m_rows[static_cast<std::size_t>(row)]; }

protected:
    ColumnKind columnKind(int column) const override;

private:
    std::vector<stats::ScoredEntry> m_rows;
};

// The plays as the 预测记录 window lists them: newest first, each with its money and the net of
// every play settled up to it.
class PlaysGridModel : public GridModel {
    Q_OBJECT
public:
    explicit PlaysGridModel(QObject* parent = nullptr);
    void setPlays(std::vector<stats::ScoredPlay> plays);
    int rowCount(const QModelIndex& parent = {}) const override;
    QString cellText(int row, int column) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    const stats::ScoredPlay& playAt(int row) const { return m_rows[static_cast<std::size_t>(row)].play; }

protected:
    ColumnKind columnKind(int column) const override;

private:
    struct Row {
        stats::ScoredPlay play;
        std::optional<long long> runningNet; // once settled
    };
    std::vector<Row> m_rows;
};

// 预测记录: every prediction and play recorded for the open game, scored against the stored
// history; the summary of how the predictions compare with chance and a chart of their hits as
// they came against the hits chance alone would have given; the plays' money and running totals.
// A double click on a grid writes it to Yuce.xlsx (the plays to Touzhu.xlsx).
class LogbookWindow : public QWidget {
    Q_OBJECT
public:
    explicit LogbookWindow(QWidget* parent = nullptr);

    // Reads the logbook of `store` again and scores it against `history`; the window shows the
    // game's own entries. A logbook that cannot be read is said in the summary line.
    void refresh(const HistoryStore* store, const HistorySnapshot& history, Game game,
                 const QString& dataFolder);

    const GridModel& grid() const { return *m_model; }
    const GridModel& playsGrid() const { return *m_plays; }
    QString summaryText() const;
    QString playsSummaryText() const;
    // The chart's two curves, one point per scored entry, oldest first.
    std::vector<double> cumulativeHits() const { return m_hits; }
    std::vector<double> cumulativeExpected() const { return m_expected; }

signals:
    // The user asked to withdraw the selected entry, or play, whose draw is not stored yet.
    void withdrawRequested(long long id, std::int32_t issue);
    void withdrawPlayRequested(long long id, std::int32_t issue);

private:
    void showChart();
    void selectionChanged();

    LogbookGridModel* m_model = nullptr;
    QTableView* m_grid = nullptr;
    QLabel* m_summary = nullptr;
    ThemedChartView* m_chartView = nullptr;
    QPushButton* m_withdraw = nullptr;
    PlaysGridModel* m_plays = nullptr;
    QTableView* m_playsGrid = nullptr;
    QLabel* m_playsSummary = nullptr;
    QPushButton* m_withdrawPlay = nullptr;
    Game m_game = Game::Fc3d;
    QString m_dataFolder;
    std::vector<double> m_hits;
    std::vector<double> m_expected;
};

} // namespace brenvik::ui
