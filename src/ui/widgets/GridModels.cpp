// SPDX-License-Identifier: GPL-3.0-or-later
#include "GridModels.h"

#include <QBrush>
#include <QFont>
#include <QPalette>

namespace brenvik::ui {

GridModel::GridModel(QStringList headers, QObject* parent)
    : QAbstractTableModel(parent), m_headers(std::move(headers)) {}

int GridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_headers.size());
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole)
        return cellText(index.row(), index.column());
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignCenter);
    return {};
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < m_headers.size())
        return m_headers[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}

QString GridModel::gridText(int r, int c) const {
    if (c < 0 || c >= m_headers.size())
        return {};
    return r == 0 ? m_headers[c] : cellText(r - 1, c);
}

SheetCell GridModel::sheetCell(int r, int c) const {
    if (r > 0)
        if (const auto v = cellNumber(r - 1, c))
            return columnKind(c) == ColumnKind::Percent ? SheetCell::percent(*v) : SheetCell::number(*v);
    return gridText(r, c).toStdString();
}

std::optional<double> GridModel::cellNumber(int row, int column) const {
    if (columnKind(column) != ColumnKind::Number)
        return std::nullopt;
    bool ok = false;
    const qlonglong v = cellText(row, column).toLongLong(&ok);
    return ok ? std::optional<double>(static_cast<double>(v)) : std::nullopt;
}

void GridModel::setHeader(int column, const QString& text) {
    if (m_headers[column] == text)
        return;
    m_headers[column] = text;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

static QStringList positionHeaders(const QString& first) {
    QStringList h{first};
    for (int p = 1; p <= 3; ++p)
        h << QStringLiteral("第%1位").arg(p);
    return h;
}

HistoryGridModel::HistoryGridModel(QObject* parent)
    : GridModel(positionHeaders(QStringLiteral("期号")), parent) {}

void HistoryGridModel::setHistory(const HistorySnapshot& history) {
    beginResetModel();
    m_rows.clear();
    m_rows.reserve(history.size());
    for (std::size_t i = 0; i < history.size(); ++i)
        m_rows.push_back({history.issue(i),
                          {static_cast<std::int8_t>(history.digit(i, 1)), static_cast<std::int8_t>(history.digit(i, 2)),
                           static_cast<std::int8_t>(history.digit(i, 3))}});
    endResetModel();
}

int HistoryGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

QString HistoryGridModel::cellText(int row, int column) const {
    if (row < 0 || row >= rowCount())
        return {};
    const Row& r = m_rows[static_cast<std::size_t>(row)];
    return column == 0 ? QString::number(r.issue) : QString::number(r.digits[column - 1]);
}

MatchedGridModel::MatchedGridModel(QObject* parent)
    : GridModel(positionHeaders(QStringLiteral("期号")) << QStringLiteral("上期开奖"), parent) {}

void MatchedGridModel::setRows(std::vector<MatchedRow> rows, bool lastDraw) {
    beginResetModel();
    m_rows = std::move(rows);
    m_matches = {};
    m_cached.reset();
    setHeader(4, lastDraw ? QStringLiteral("上期开奖") : QStringLiteral("前期开奖"));
    endResetModel();
}

void MatchedGridModel::setMatches(MatchedDraws matches, bool lastDraw) {
    beginResetModel();
    m_rows.clear();
    m_matches = std::move(matches);
    m_cached.reset();
    setHeader(4, lastDraw ? QStringLiteral("上期开奖") : QStringLiteral("前期开奖"));
    endResetModel();
}

int MatchedGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.empty() ? m_matches.size() : m_rows.size());
}

MatchedRow MatchedGridModel::rowAt(int row) const {
    if (!m_rows.empty())
        return m_rows[static_cast<std::size_t>(row)];
    if (!m_cached || m_cached->first != row)
        m_cached.emplace(row, m_matches.row(static_cast<std::size_t>(row)));
    return m_cached->second;
}

GridModel::ColumnKind MatchedGridModel::columnKind(int column) const {
    // The earlier draw's digits keep their leading zeros.
    return column == 4 ? ColumnKind::Text : ColumnKind::Number;
}

QString MatchedGridModel::cellText(int row, int column) const {
    if (row < 0 || row >= rowCount())
        return {};
    const MatchedRow r = rowAt(row);
    if (column == 0)
        return QString::number(r.issue);
    if (column == 4)
        return QString::fromStdString(r.earlier);
    return QString::number(r.codes[column - 1]);
}

ResultGridModel::ResultGridModel(QObject* parent)
    : GridModel({QStringLiteral("序号"), QStringLiteral("结果"), QStringLiteral("出现次数"),
                 QStringLiteral("百分比"), QStringLiteral("随机期望"), QStringLiteral("95%区间")},
                parent) {}

void ResultGridModel::setTally(const Tally& tally, int searchesRun) {
    beginResetModel();
    m_rows.clear();
    for (const TallyRow& r : tally.ranked) {
        const auto percent = tally.percent(r.count);
        m_rows.push_back({QString::fromStdString(r.label), r.count,
                          QString::fromStdString(tally.percentText(r.count)),
                          percent ? std::optional<double>(*percent / 100) : std::nullopt});
    }
    m_stats = stats::tallyStatistics(tally);
    m_verdict = m_rows.empty() ? QString() : QString::fromStdString(stats::verdictLine(m_stats, searchesRun));
    endResetModel();
}

int ResultGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

QString ResultGridModel::cellText(int row, int column) const {
    if (row < 0 || row >= rowCount())
        return {};
    const Row& r = m_rows[static_cast<std::size_t>(row)];
    switch (column) {
    case 0:
        return QString::number(row + 1);
    case 1:
        return r.label;
    case 2:
        return QString::number(r.count);
    case 3:
        return r.percent;
    case 4:
        return m_stats ? QString::fromStdString(stats::expectedText(m_stats->expected)) : QStringLiteral("-");
    default:
        return m_stats ? QString::fromStdString(
                             stats::intervalText(m_stats->intervals[static_cast<std::size_t>(row)]))
                       : QStringLiteral("-");
    }
}

GridModel::ColumnKind ResultGridModel::columnKind(int column) const {
    if (column == 3)
        return ColumnKind::Percent;
    // The interval is a range: it stays text, as shown.
    return column == 5 ? ColumnKind::Text : ColumnKind::Number;
}

std::optional<double> ResultGridModel::cellNumber(int row, int column) const {
    if (row < 0 || row >= rowCount())
        return std::nullopt;
    if (column == 3)
        return m_rows[static_cast<std::size_t>(row)].share;
    // The expected count exactly: n/k never needs more than one decimal for k of 2, 5 or 10.
    if (column == 4)
        return m_stats ? std::optional<double>(m_stats->expected) : std::nullopt;
    return GridModel::cellNumber(row, column);
}

double ResultGridModel::chanceShare() const {
    return m_rows.empty() ? 0.0 : 1.0 / static_cast<double>(m_rows.size());
}

QString ResultGridModel::label(int row) const {
    return cellText(row, 1);
}

std::optional<double> ResultGridModel::share(int row) const {
    return cellNumber(row, 3);
}

bool ResultGridModel::offChance(int row) const {
    return m_stats && row >= 0 && row < rowCount() &&
           stats::excludes(m_stats->intervals[static_cast<std::size_t>(row)], chanceShare());
}

QStringList ResultGridModel::notes() const {
    return m_verdict.isEmpty() ? QStringList() : QStringList{m_verdict};
}

QVariant ResultGridModel::data(const QModelIndex& index, int role) const {
    // The rank column is a fixed column, drawn like the header.
    if (role == Qt::BackgroundRole && index.column() == 0)
        return QPalette().brush(QPalette::Button);
    if ((role == Qt::FontRole || role == Qt::ToolTipRole) && offChance(index.row())) {
        if (role == Qt::ToolTipRole)
            return QStringLiteral(
                       "粗体：这个结果的95%区间不包含随机比例 %1%，单看这一行，它的多少不像是运气。"
                       "整张表是否偏离随机，以表下的结论为准。")
                .arg(chanceShare() * 100, 0, 'f', 0);
        QFont bold;
        bold.setBold(true);
        return bold;
    }
    return GridModel::data(index, role);
}

} // namespace brenvik::ui
