// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "GridModels.h"
#include "NumberFilter.h"

#include <vector>

namespace brenvik::ui {

// The numbers 缩水 kept: one row per direct number (直选), or per group of numbers with the same
// digits in any order (组选, a 豹子 left out: it cannot be bought so) with how many of its direct
// numbers were kept.
class KeptGridModel : public GridModel {
    Q_OBJECT
public:
    KeptGridModel(bool grouped, QObject* parent = nullptr);
    void setKept(const stats::NumberSet& kept);
    // The line the spreadsheet carries under the grid: the record of the numbers.
    void setNote(const QString& note) { m_note = note; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QString cellText(int row, int column) const override;
    QStringList notes() const override;
    // The numbers as the grid lists them, "012" each.
    QStringList numbers() const;

protected:
    ColumnKind columnKind(int column) const override;

private:
    struct Row {
        int number;    // the direct number, or the group's digits in ascending order
        int count = 1; // direct numbers kept of the group
    };
    bool m_grouped;
    std::vector<Row> m_rows;
    QString m_note;
};

} // namespace brenvik::ui
