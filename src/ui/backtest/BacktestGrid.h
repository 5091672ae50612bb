// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Backtest.h"
#include "GridModels.h"

#include <vector>

namespace brenvik::ui {

// The targets of a backtest: issue, the pattern searched with, the draws found, the picks, what
// was drawn and whether it was hit.
class BacktestGridModel : public GridModel {
    Q_OBJECT
public:
    explicit BacktestGridModel(QObject* parent = nullptr);
    void setRows(std::vector<stats::BacktestRow> rows, Kind resultKind);
    int rowCount(const QModelIndex& parent = {}) const override;
    QString cellText(int row, int column) const override;

protected:
    ColumnKind columnKind(int column) const override;

private:
    std::vector<stats::BacktestRow> m_rows;
    Kind m_kind = Kind::Number;
};

} // namespace brenvik::ui
