// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "HistorySnapshot.h"
#include "MatchedDraws.h"
#include "Spreadsheet.h"
#include "Tally.h"
#include "TallyStatistics.h"

#include <QAbstractTableModel>
#include <QStringList>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace brenvik::ui {

// A grid of the window: a header row and text cells. The export writes exactly gridText().
class GridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit GridModel(QStringList headers, QObject* parent = nullptr);

    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    virtual QString cellText(int row, int column) const = 0;

    // Grid cell (r, c) counted with the header as row 0.
    QString gridText(int r, int c) const;
    int gridRowCount() const { return rowCount() + 1; }
    // The same cell for a spreadsheet: a number where the column holds numbers and the cell
    // shows one, so that the sheet can sort and sum it; its text otherwise.
    SheetCell sheetCell(int r, int c) const;
    // Lines the spreadsheet carries under the grid; none unless the grid has something to add.
    virtual QStringList notes() const { return {}; }

protected:
    enum class ColumnKind { Text, Number, Percent };
    virtual ColumnKind columnKind(int) const { return ColumnKind::Number; }
    // The number a data cell stands for (a share of 1 in a percent column); nothing when it
    // shows none.
    virtual std::optional<double> cellNumber(int row, int column) const;
    void setHeader(int column, const QString& text);

private:
    QStringList m_headers;
};

// The draw history: issue and the three digits.
class HistoryGridModel : public GridModel {
    Q_OBJECT
public:
    explicit HistoryGridModel(QObject* parent = nullptr);
    void setHistory(const HistorySnapshot& history);
    int rowCount(const QModelIndex& parent = {}) const override;
    QString cellText(int row, int column) const override;

private:
    struct Row {
        std::int32_t issue;
        std::array<std::int8_t, 3> digits;
    };
    std::vector<Row> m_rows;
};

class MatchedGridModel : public GridModel {
    Q_OBJECT
public:
    explicit MatchedGridModel(QObject* parent = nullptr);
    // `lastDraw` picks the header of the earlier-draw column: "上期开奖" or "前期开奖".
    void setRows(std::vector<MatchedRow> rows, bool lastDraw);
    // The same, each row made only when it is shown or exported.
    void setMatches(MatchedDraws matches, bool lastDraw);
    int rowCount(const QModelIndex& parent = {}) const override;
    QString cellText(int row, int column) const override;

protected:
    ColumnKind columnKind(int column) const override;

private:
    MatchedRow rowAt(int row) const;

    std::vector<MatchedRow> m_rows;
    MatchedDraws m_matches; // used when m_rows is empty
    mutable std::optional<std::pair<int, MatchedRow>> m_cached; // the row the cells were last read from
};

// The tally, most frequent outcome first, with what fair draws would give beside it.
class ResultGridModel : public GridModel {
    Q_OBJECT
public:
    explicit ResultGridModel(QObject* parent = nullptr);
    // `searchesRun` counts the tallies shown since the window started, this one included: the
    // verdict shares the significance level among them.
    void setTally(const Tally& tally, int searchesRun = 1);
    int rowCount(const QModelIndex& parent = {}) const override;
    QString cellText(int row, int column) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QStringList notes() const override;

    // How the tally compares with chance; nothing when there is no test (no code counted).
    const std::optional<stats::TallyStatistics>& statistics() const { return m_stats; }
    // The line under the grid; empty while no tally is shown.
    QString verdict() const { return m_verdict; }
    // The share every outcome has under fair draws (1/k); 0 while no tally is shown.
    double chanceShare() const;
    QString label(int row) const;
    // The row's share of the codes counted; nothing when none was counted.
    std::optional<double> share(int row) const;
    // Whether the row's 95 % interval leaves out the chance share: the row is set in bold.
    bool offChance(int row) const;

protected:
    ColumnKind columnKind(int column) const override;
    std::optional<double> cellNumber(int row, int column) const override;

private:
    struct Row {
        QString label;
        int count;
        QString percent;
        std::optional<double> share;
    };
    std::vector<Row> m_rows;
    std::optional<stats::TallyStatistics> m_stats;
    QString m_verdict;
};

} // namespace brenvik::ui
