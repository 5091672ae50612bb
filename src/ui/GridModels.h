#pragma once

#include "HistorySnapshot.h"
#include "MatchedDraws.h"
#include "Spreadsheet.h"
#include "Tally.h"

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

// The tally, most frequent outcome first.
class ResultGridModel : public GridModel {
    Q_OBJECT
public:
    explicit ResultGridModel(QObject* parent = nullptr);
    void setTally(const Tally& tally);
    int rowCount(const QModelIndex& parent = {}) const override;
    QString cellText(int row, int column) const override;
    QVariant data(const QModelIndex& index, int role) const override;

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
};

} // namespace brenvik::ui
