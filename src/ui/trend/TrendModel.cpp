// SPDX-License-Identifier: GPL-3.0-or-later
#include "TrendModel.h"

#include "TallyStatistics.h"
#include "TrendPainter.h"

#include <QFont>

#include <algorithm>
#include <span>

namespace brenvik::ui {

namespace {

constexpr std::size_t kBlockRows = 64;
// Enough for a tall screen scrolled across a block boundary, and for the print of a page.
constexpr std::size_t kBlocksKept = 6;

const char* const kFigureCaptions[TrendModel::kFigureRows] = {"出现次数", "平均遗漏", "最大遗漏", "最大连出",
                                                              "当前遗漏"};

QString averageText(double average) {
    return QString::number(average, 'f', 1);
}

// "↑" or "↓" after a count whose interval leaves out the chance share, nothing after the others.
QString markOf(const stats::OmissionFigures& f) {
    if (!f.marked)
        return {};
    return static_cast<double>(f.count) > f.expected ? QStringLiteral("↑") : QStringLiteral("↓");
}

long long figureValue(const stats::OmissionFigures& f, int figure) {
    switch (figure) {
    case 0:
        return f.count;
    case 2:
        return f.max;
    case 3:
        return f.streak;
    default:
        return f.current;
    }
}

QString figureText(const stats::OmissionFigures& f, int figure) {
    if (figure == 0)
        return QString::number(f.count) + markOf(f);
    if (figure == 1)
        return averageText(f.average);
    return QString::number(figureValue(f, figure));
}

QString chanceText(const stats::OmissionFigures& f) {
    return QStringLiteral("随机期望 %1 次，出现比例的95%区间 %2")
        .arg(QString::fromStdString(stats::expectedText(f.expected)),
             QString::fromStdString(stats::intervalText(f.observed)));
}

// Whether `a` stands out more than `b` in the figure row: the most draws, the shortest average
// omission, the longest omission, run or current omission.
bool standsOut(const stats::OmissionFigures& a, const stats::OmissionFigures& b, int figure) {
    if (figure == 1)
        return a.average < b.average;
    return figureValue(a, figure) > figureValue(b, figure);
}

} // namespace

std::span<const stats::OmissionFigures> TrendModel::valueFigures(int column) const {
    if (column == kSumColumn)
        return m_table.sum;
    if (column == kSpanColumn)
        return m_table.span;
    if (column == kFormColumn)
        return m_table.form;
    return {};
}

QString TrendModel::valueLabel(int column, std::size_t value) {
    if (column != kFormColumn)
        return QString::number(value);
    const auto caption = stats::kFormCaptions[value];
    return QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size()));
}

std::optional<std::size_t> TrendModel::standout(int figure, int column) const {
    const auto values = valueFigures(column);
    if (values.empty())
        return std::nullopt;
    std::size_t best = 0;
    for (std::size_t v = 1; v < values.size(); ++v)
        if (standsOut(values[v], values[best], figure))
            best = v;
    return best;
}

TrendModel::TrendModel(QObject* parent) : QAbstractTableModel(parent) {}

void TrendModel::setHistory(SearchIndexPtr index, stats::RowRange range) {
    beginResetModel();
    m_index = std::move(index);
    m_chart = m_index ? std::make_unique<stats::OmissionChart>(stats::drawDigits(*m_index)) : nullptr;
    m_blocks.clear();
    m_table = m_index ? stats::omissionTable(stats::drawDigits(*m_index), range) : stats::OmissionTable{};
    endResetModel();
}

void TrendModel::setRange(stats::RowRange range) {
    if (!m_index)
        return;
    beginResetModel();
    m_blocks.clear();
    m_table = stats::omissionTable(stats::drawDigits(*m_index), range);
    endResetModel();
}

int TrendModel::rowCount(const QModelIndex& parent) const {
    // No draw, no figures: a range that holds nothing shows no table of zeros.
    return parent.isValid() || !m_index || drawRows() == 0 ? 0 : drawRows() + kFigureRows;
}

int TrendModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

int TrendModel::positionOf(int column) {
    return column >= kFirstDigitColumn && column < kSumColumn
               ? (column - kFirstDigitColumn) / stats::kDigitValues
               : -1;
}

QString TrendModel::groupCaption(int column) {
    static const QString positions[] = {QStringLiteral("百位"), QStringLiteral("十位"),
                                        QStringLiteral("个位")};
    const int p = positionOf(column);
    return p < 0 ? QString() : positions[p];
}

QVariant TrendModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kColumns)
        return {};
    switch (section) {
    case kIssueColumn:
        return QStringLiteral("期号");
    case kDrawColumn:
        return QStringLiteral("开奖号");
    case kSumColumn:
        return QStringLiteral("和值");
    case kSpanColumn:
        return QStringLiteral("跨度");
    case kFormColumn:
        return QStringLiteral("形态");
    default:
        return QString::number((section - kFirstDigitColumn) % stats::kDigitValues);
    }
}

const stats::ChartRow& TrendModel::chartRow(int row) const {
    const std::size_t wanted = m_table.rows.first + static_cast<std::size_t>(row);
    const std::size_t first = m_table.rows.first + static_cast<std::size_t>(row) / kBlockRows * kBlockRows;
    auto it =
        std::find_if(m_blocks.begin(), m_blocks.end(), [&](const Block& b) { return b.first == first; });
    if (it == m_blocks.end()) {
        if (m_blocks.size() == kBlocksKept)
            m_blocks.pop_back();
        m_blocks.insert(m_blocks.begin(),
                        Block{first, m_chart->rows(m_table.rows, first, first + kBlockRows)});
        it = m_blocks.begin();
    } else if (it != m_blocks.begin()) {
        std::rotate(m_blocks.begin(), it, it + 1);
        it = m_blocks.begin();
    }
    return it->rows[wanted - first];
}

QString TrendModel::figureText(int figure, int column) const {
    if (column == kIssueColumn)
        return QString::fromUtf8(kFigureCaptions[figure]);
    // The sum, the span and the form have a value per kind, too many for one cell: the cell shows
    // the value that stands out in the row, and its tip lists them all.
    if (const auto v = standout(figure, column))
        return valueLabel(column, *v) + QLatin1Char(':') + ui::figureText(valueFigures(column)[*v], figure);
    const int p = positionOf(column);
    if (p < 0)
        return {};
    return ui::figureText(m_table.positions[static_cast<std::size_t>(p)]
                                           [static_cast<std::size_t>((column - kFirstDigitColumn) % 10)],
                          figure);
}

QVariant TrendModel::figureData(int figure, int column, int role) const {
    if (role == Qt::DisplayRole)
        return figureText(figure, column);
    const int p = positionOf(column);
    if (p >= 0) {
        const auto& f = m_table.positions[static_cast<std::size_t>(p)]
                                         [static_cast<std::size_t>((column - kFirstDigitColumn) % 10)];
        if (role == Qt::ToolTipRole && figure == 0)
            return chanceText(f);
        if (role == MarkRole)
            return figure == 0 && f.marked ? (static_cast<double>(f.count) > f.expected ? 1 : -1) : 0;
        return {};
    }
    const auto values = valueFigures(column);
    if (values.empty())
        return {};
    if (role == MarkRole) {
        const auto& f = values[*standout(figure, column)];
        return figure == 0 && f.marked ? (static_cast<double>(f.count) > f.expected ? 1 : -1) : 0;
    }
    if (role != Qt::ToolTipRole)
        return {};
    // Every value's figure; the counts with what chance gives, as the digits' counts have.
    const QString kind = column == kSumColumn    ? QStringLiteral("和值 ")
                         : column == kSpanColumn ? QStringLiteral("跨度 ")
                                                 : QString();
    QStringList lines;
    for (std::size_t v = 0; v < values.size(); ++v) {
        const stats::OmissionFigures& f = values[v];
        QString line = kind + valueLabel(column, v) + QStringLiteral("：");
        if (figure == 0)
            line += QStringLiteral("%1 次%2，")
                        .arg(f.count)
                        .arg(!f.marked                                   ? QString()
                             : static_cast<double>(f.count) > f.expected ? QStringLiteral("（偏多）")
                                                                         : QStringLiteral("（偏少）")) +
                    chanceText(f);
        else
            line += ui::figureText(f, figure);
        lines << line;
    }
    return QString::fromUtf8(kFigureCaptions[figure]) + QLatin1Char('\n') + lines.join(QLatin1Char('\n'));
}

QVariant TrendModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !m_index || index.row() >= rowCount())
        return {};
    const int row = index.row();
    const int column = index.column();
    if (row >= drawRows())
        return figureData(row - drawRows(), column, role);
    if (role != Qt::DisplayRole && role != BallRole)
        return {};

    const std::size_t historyRow = m_table.rows.first + static_cast<std::size_t>(row);
    const int p = positionOf(column);
    if (p >= 0) {
        const int digit = (column - kFirstDigitColumn) % stats::kDigitValues;
        const bool drawn = m_index->codes(p + 1, Kind::Number)[historyRow] == digit;
        if (role == BallRole)
            return drawn ? p + 1 : 0;
        return drawn ? QString::number(digit)
                     : QString::number(chartRow(row).positions[static_cast<std::size_t>(p)]
                                                              [static_cast<std::size_t>(digit)]);
    }
    if (role == BallRole)
        return 0;
    const int a = m_index->codes(1, Kind::Number)[historyRow];
    const int b = m_index->codes(2, Kind::Number)[historyRow];
    const int c = m_index->codes(3, Kind::Number)[historyRow];
    const stats::DrawShape shape = stats::shapeOf(a, b, c);
    switch (column) {
    case kIssueColumn:
        return QString::number(m_index->issue(historyRow));
    case kDrawColumn:
        return QStringLiteral("%1%2%3").arg(a).arg(b).arg(c);
    case kSumColumn:
        return QString::number(shape.sum);
    case kSpanColumn:
        return QString::number(shape.span);
    default: {
        const auto caption = stats::kFormCaptions[static_cast<std::size_t>(shape.form)];
        return QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size()));
    }
    }
}

std::vector<SheetCell> TrendModel::sheetRow(int row) const {
    std::vector<SheetCell> out;
    out.reserve(kColumns);
    if (row < 2) {
        for (int c = 0; c < kColumns; ++c)
            out.emplace_back(
                (row == 0 ? groupCaption(c) : headerData(c, Qt::Horizontal, Qt::DisplayRole).toString())
                    .toStdString());
        return out;
    }
    // As the printed chart shows them: a drawn digit bold on its ball's colour, an omission a
    // plain number, a count off chance with its arrow in the number's format, in the arrow's colour.
    const TrendColours colours = printedTrendColours();
    const auto rgb = [](const QColor& c) { return static_cast<std::uint32_t>(c.rgb() & 0xFFFFFF); };
    const auto counted = [&](double value, const stats::OmissionFigures& f, int figure,
                             const QString& label) {
        SheetStyle style;
        const QString prefix = label.isEmpty() ? QString() : QLatin1Char('"') + label + QStringLiteral(":\"");
        QString format = prefix + (figure == 1 ? QStringLiteral("0.0") : QStringLiteral("0"));
        if (figure == 0 && f.marked) {
            const bool up = static_cast<double>(f.count) > f.expected;
            format += up ? QStringLiteral("\"↑\"") : QStringLiteral("\"↓\"");
            style.colour = rgb(up ? colours.up : colours.down);
        }
        if (format != QLatin1String("0"))
            style.numberFormat = format.toStdString();
        return SheetCell::number(value).styled(std::move(style));
    };
    const int r = row - 2;
    if (r >= drawRows()) {
        const int figure = r - drawRows();
        for (int c = 0; c < kColumns; ++c) {
            const int p = positionOf(c);
            if (c == kIssueColumn) {
                out.emplace_back(kFigureCaptions[figure]);
            } else if (p >= 0) {
                const auto& f = m_table.positions[static_cast<std::size_t>(p)]
                                                 [static_cast<std::size_t>((c - kFirstDigitColumn) % 10)];
                out.push_back(counted(figure == 1 ? f.average : static_cast<double>(figureValue(f, figure)),
                                      f, figure, {}));
            } else if (const auto v = standout(figure, c)) {
                const auto& f = valueFigures(c)[*v];
                out.push_back(counted(figure == 1 ? f.average : static_cast<double>(figureValue(f, figure)),
                                      f, figure, valueLabel(c, *v)));
            } else {
                out.emplace_back();
            }
        }
        return out;
    }
    const std::size_t historyRow = m_table.rows.first + static_cast<std::size_t>(r);
    for (int c = 0; c < kColumns; ++c) {
        const int p = positionOf(c);
        if (p >= 0) {
            const int digit = (c - kFirstDigitColumn) % stats::kDigitValues;
            if (m_index->codes(p + 1, Kind::Number)[historyRow] == digit) {
                const auto position = static_cast<std::size_t>(p);
                out.push_back(SheetCell::number(digit).styled(
                    {true, rgb(colours.balls[position]), rgb(colours.ballText[position]), {}}));
            } else {
                out.push_back(SheetCell::number(
                    chartRow(r).positions[static_cast<std::size_t>(p)][static_cast<std::size_t>(digit)]));
            }
            continue;
        }
        const QString text = data(index(r, c), Qt::DisplayRole).toString();
        // The issue, the sum and the span are numbers; a draw like "012" and a form stay text.
        if (c == kIssueColumn || c == kSumColumn || c == kSpanColumn)
            out.push_back(SheetCell::number(text.toDouble()));
        else
            out.emplace_back(text.toStdString());
    }
    return out;
}

SheetTable TrendModel::sheet() const {
    SheetTable table;
    table.reserve(static_cast<std::size_t>(sheetRowCount()));
    for (int r = 0; r < sheetRowCount(); ++r)
        table.push_back(sheetRow(r));
    return table;
}

} // namespace brenvik::ui
