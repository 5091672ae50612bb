// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Omission.h"
#include "SearchIndex.h"
#include "Spreadsheet.h"

#include <QAbstractTableModel>

#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace brenvik::ui {

// The trend chart's cells: one row per draw of the range, then the five figure rows. Columns:
// the issue, the draw, ten digit columns for each position, the sum, the span and the form. A
// digit column shows the digit where the draw has it (drawn as a ball) and its omission elsewhere.
// Rows are formatted when asked for, a block at a time, so a range of a million draws costs what
// the rows in view cost.
class TrendModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kIssueColumn = 0;
    static constexpr int kDrawColumn = 1;
    static constexpr int kFirstDigitColumn = 2;
    static constexpr int kSumColumn = kFirstDigitColumn + 3 * stats::kDigitValues;
    static constexpr int kSpanColumn = kSumColumn + 1;
    static constexpr int kFormColumn = kSumColumn + 2;
    static constexpr int kColumns = kFormColumn + 1;
    static constexpr int kFigureRows = 5;
    // The position (1..3) of a cell whose draw has its digit: the painter puts a ball there.
    static constexpr int BallRole = Qt::UserRole + 1;
    // A count whose interval leaves out chance: 1 above what chance gives, -1 below, else 0.
    static constexpr int MarkRole = Qt::UserRole + 2;

    explicit TrendModel(QObject* parent = nullptr);

    // A new history, shown over `range` of its rows.
    void setHistory(SearchIndexPtr index, stats::RowRange range);
    void setRange(stats::RowRange range);
    const stats::RowRange& range() const { return m_table.rows; }
    const stats::OmissionTable& table() const { return m_table; }
    const SearchIndex* searchIndex() const { return m_index.get(); }

    int drawRows() const { return static_cast<int>(m_table.rows.size()); }
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The caption above a group of columns ("百位" over the first position's digits); empty over
    // a column of its own.
    static QString groupCaption(int column);
    // The digit position (0..2) of a digit column; -1 elsewhere.
    static int positionOf(int column);
    // The chart for a spreadsheet, row by row: both header rows, every row, the figures; numbers
    // as numbers.
    int sheetRowCount() const { return 2 + rowCount(); }
    std::vector<SheetCell> sheetRow(int row) const;
    // All of them at once.
    SheetTable sheet() const;

    // The figures of every value of the sum, span or form column; none for another column.
    std::span<const stats::OmissionFigures> valueFigures(int column) const;
    // How a value of the sum, span or form column is named: the number, or the form's caption.
    static QString valueLabel(int column, std::size_t value);
    // The value of the sum, span or form column whose figure in the figure row stands out (the
    // most draws, the shortest average omission, the longest omission, run or current
    // omission), the first of equals; nothing for another column.
    std::optional<std::size_t> standout(int figure, int column) const;

private:
    QString figureText(int figure, int column) const;
    QVariant figureData(int figure, int column, int role) const;
    const stats::ChartRow& chartRow(int row) const;

    SearchIndexPtr m_index;
    std::unique_ptr<stats::OmissionChart> m_chart;
    stats::OmissionTable m_table{};
    // The last few blocks of rows formatted, newest first.
    struct Block {
        std::size_t first;
        std::vector<stats::ChartRow> rows;
    };
    mutable std::vector<Block> m_blocks;
};

} // namespace brenvik::ui
