// SPDX-License-Identifier: GPL-3.0-or-later
#include "BacktestGrid.h"

#include "AppPaths.h"
#include "BacktestText.h"

namespace brenvik::ui {

BacktestGridModel::BacktestGridModel(QObject* parent)
    : GridModel({QStringLiteral("期号"), QStringLiteral("检索号码"), QStringLiteral("找到期数"),
                 QStringLiteral("预测"), QStringLiteral("开奖"), QStringLiteral("命中")},
                parent) {}

void BacktestGridModel::setRows(std::vector<stats::BacktestRow> rows, Kind resultKind) {
    beginResetModel();
    m_rows = std::move(rows);
    m_kind = resultKind;
    endResetModel();
}

int BacktestGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

QString BacktestGridModel::cellText(int row, int column) const {
    const stats::BacktestRow& r = m_rows[static_cast<std::size_t>(row)];
    switch (column) {
    case 0:
        return QString::number(r.issue);
    case 1:
        return qs(stats::patternText(r));
    case 2:
        return QString::number(r.matched);
    case 3:
        return qs(stats::picksText(r, m_kind));
    case 4:
        return qs(outcomeLabel(m_kind, r.actual));
    case 5:
        return qs(stats::verdictText(r.verdict));
    }
    return {};
}

GridModel::ColumnKind BacktestGridModel::columnKind(int column) const {
    return column == 0 || column == 2 ? ColumnKind::Number : ColumnKind::Text;
}

} // namespace brenvik::ui
