#include "GridModels.h"

#include <QBrush>
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
                 QStringLiteral("百分比")},
                parent) {}

void ResultGridModel::setTally(const Tally& tally) {
    beginResetModel();
    m_rows.clear();
    for (const TallyRow& r : tally.ranked) {
        const auto percent = tally.percent(r.count);
        m_rows.push_back({QString::fromStdString(r.label), r.count,
                          QString::fromStdString(tally.percentText(r.count)),
                          percent ? std::optional<double>(*percent / 100) : std::nullopt});
    }
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
    default:
        return r.percent;
    }
}

GridModel::ColumnKind ResultGridModel::columnKind(int column) const {
    return column == 3 ? ColumnKind::Percent : ColumnKind::Number;
}

std::optional<double> ResultGridModel::cellNumber(int row, int column) const {
    if (column == 3)
        return row >= 0 && row < rowCount() ? m_rows[static_cast<std::size_t>(row)].share : std::nullopt;
    return GridModel::cellNumber(row, column);
}

QVariant ResultGridModel::data(const QModelIndex& index, int role) const {
    // The rank column is a fixed column, drawn like the header.
    if (role == Qt::BackgroundRole && index.column() == 0)
        return QPalette().brush(QPalette::Button);
    return GridModel::data(index, role);
}

} // namespace brenvik::ui
