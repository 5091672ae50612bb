// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeptGrid.h"

#include "AppPaths.h"
#include "Omission.h"
#include "PredictionLog.h"

#include <map>

namespace brenvik::ui {

namespace {

QStringList headers(bool grouped) {
    return {QStringLiteral("序号"), grouped ? QStringLiteral("组选号码") : QStringLiteral("号码"),
            QStringLiteral("和值"), QStringLiteral("跨度"),
            QStringLiteral("形态"), grouped ? QStringLiteral("注数") : QStringLiteral("奇偶比")};
}

} // namespace

KeptGridModel::KeptGridModel(bool grouped, QObject* parent)
    : GridModel(headers(grouped), parent), m_grouped(grouped) {}

void KeptGridModel::setKept(const stats::NumberSet& kept) {
    beginResetModel();
    m_rows.clear();
    if (m_grouped) {
        // The 组选 tickets: a 豹子 has none.
        std::map<int, int> groups;
        for (int n = 0; n < stats::kNumbers; ++n)
            if (kept[static_cast<std::size_t>(n)])
                if (const auto group = ticketOf(Ticket::Group, n))
                    ++groups[*group];
        for (const auto& [group, count] : groups)
            m_rows.push_back({group, count});
    } else {
        for (int n = 0; n < stats::kNumbers; ++n)
            if (kept[static_cast<std::size_t>(n)])
                m_rows.push_back({n});
    }
    endResetModel();
}

int KeptGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

QString KeptGridModel::cellText(int row, int column) const {
    const Row& r = m_rows[static_cast<std::size_t>(row)];
    const int a = r.number / 100, b = r.number / 10 % 10, c = r.number % 10;
    const stats::DrawShape shape = stats::shapeOf(a, b, c);
    switch (column) {
    case 0:
        return QString::number(row + 1);
    case 1:
        return qs(stats::numberText(r.number));
    case 2:
        return QString::number(shape.sum);
    case 3:
        return QString::number(shape.span);
    case 4:
        return qs(stats::kFormCaptions[static_cast<std::size_t>(shape.form)]);
    case 5: {
        if (m_grouped)
            return QString::number(r.count);
        const int odd = a % 2 + b % 2 + c % 2;
        return QStringLiteral("%1:%2").arg(odd).arg(3 - odd);
    }
    }
    return {};
}

QStringList KeptGridModel::notes() const {
    return m_note.isEmpty() ? QStringList() : QStringList{m_note};
}

QStringList KeptGridModel::numbers() const {
    QStringList out;
    out.reserve(static_cast<qsizetype>(m_rows.size()));
    for (const Row& r : m_rows)
        out << qs(stats::numberText(r.number));
    return out;
}

GridModel::ColumnKind KeptGridModel::columnKind(int column) const {
    // The numbers keep their leading zeros as text; a ratio is no number either.
    return column == 1 || column == 4 || (column == 5 && !m_grouped) ? ColumnKind::Text : ColumnKind::Number;
}

} // namespace brenvik::ui
