// SPDX-License-Identifier: GPL-3.0-or-later
#include "TrendPainter.h"

#include "ThemeColours.h"

#include <QFontMetrics>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>
#include <QStaticText>

#include <algorithm>

namespace brenvik::ui {

namespace {

constexpr int kGroupColumns = stats::kDigitValues;

TrendColours coloursFor(bool dark, const QColor& ground, const QColor& text) {
    TrendColours c;
    c.dark = dark;
    c.ground = ground;
    c.header = dark ? ground.lighter(140) : blend(QColor(0x6b, 0x80, 0xa0), ground, 0.15);
    c.text = readable(text, c.header, kTextContrast);
    c.grid = blend(c.text, ground, 0.18);
    c.edge = blend(c.text, ground, 0.35);
    // Darker on a light ground, lighter on a dark one: the balls stand out from the rows.
    const std::array<QColor, 3> light = {QColor(0xc6, 0x28, 0x28), QColor(0x15, 0x65, 0xc0),
                                         QColor(0x2e, 0x7d, 0x32)};
    const std::array<QColor, 3> onDark = {QColor(0xff, 0x7b, 0x7b), QColor(0x74, 0xad, 0xff),
                                          QColor(0x6c, 0xc8, 0x70)};
    for (std::size_t p = 0; p < 3; ++p)
        c.bands[p] = blend(dark ? onDark[p] : light[p], ground, dark ? 0.10 : 0.05);
    // Each colour must hold against every ground it is drawn on: both shades of every row.
    const auto holds = [](QColor colour, double ratio, const std::vector<QColor>& grounds) {
        for (const QColor& g : grounds)
            colour = readable(colour, g, ratio);
        return colour;
    };
    std::vector<QColor> rows;
    for (int p = -1; p < 3; ++p)
        for (bool odd : {false, true})
            rows.push_back(c.rowGround(p, odd));
    c.omission = holds(blend(c.text, ground, 0.62), kTextContrast, rows);
    for (std::size_t p = 0; p < 3; ++p) {
        c.balls[p] = holds(dark ? onDark[p] : light[p], kMarkContrast, rows);
        c.ballText[p] = contrastRatio(Qt::white, c.balls[p]) >= contrastRatio(Qt::black, c.balls[p])
                            ? QColor(Qt::white)
                            : QColor(Qt::black);
        c.captions[p] = readable(c.balls[p], c.header, kTextContrast);
    }
    c.up = readable(dark ? QColor(0xff, 0x8a, 0x80) : QColor(0xc6, 0x28, 0x28), c.header, kTextContrast);
    c.down = readable(dark ? QColor(0x82, 0xb1, 0xff) : QColor(0x15, 0x65, 0xc0), c.header, kTextContrast);
    return c;
}

QRect cellRect(const TrendLayout& l, int column, int y, int height) {
    return {l.left[static_cast<std::size_t>(column)], y,
            l.left[static_cast<std::size_t>(column) + 1] - l.left[static_cast<std::size_t>(column)], height};
}

void gridLines(QPainter& p, const TrendLayout& l, int top, int height) {
    for (int c = 0; c <= TrendModel::kColumns; ++c) {
        const int x = l.left[static_cast<std::size_t>(c)];
        // The groups' edges stand out from the lines between their digits.
        const bool edge = c < TrendModel::kFirstDigitColumn || c >= TrendModel::kSumColumn ||
                          (c - TrendModel::kFirstDigitColumn) % kGroupColumns == 0;
        p.setPen(edge ? l.colours.edge : l.colours.grid);
        p.drawLine(x, top, x, top + height);
    }
}

// The texts of the cells come from a small set (omissions, digits, sums), laid out once each
// rather than once per cell and paint: it takes most of the time of painting a screen.
void drawCentred(QPainter& p, const QRect& cell, const QString& text) {
    static QFont font;
    static QHash<QString, QStaticText> laidOut;
    if (p.font() != font || laidOut.size() > 4096) {
        laidOut.clear();
        font = p.font();
    }
    auto it = laidOut.find(text);
    if (it == laidOut.end()) {
        QStaticText t(text);
        t.setTextFormat(Qt::PlainText);
        t.prepare(QTransform(), font);
        it = laidOut.insert(text, t);
    }
    const QSizeF size = it->size();
    p.drawStaticText(
        QPointF(cell.x() + (cell.width() - size.width()) / 2, cell.y() + (cell.height() - size.height()) / 2),
        *it);
}

void drawBallShape(QPainter& p, const QRectF& box, const TrendColours& colours, int position, int digit,
                   const QFont& font) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(colours.balls[static_cast<std::size_t>(position)]);
    p.drawEllipse(box.adjusted(0.5, 0.5, -0.5, -0.5));
    QFont bold = font;
    bold.setBold(true);
    p.setFont(bold);
    p.setPen(colours.ballText[static_cast<std::size_t>(position)]);
    p.drawText(box, Qt::AlignCenter, QString::number(digit));
    p.restore();
}

// A ball centred on `centre`. On screen the thirty balls are drawn once for the layout and the
// pixel ratio and then copied: an antialiased circle and a bold digit per ball took most of the
// time of a screen. Scaled painters (pages, previews) get them drawn, sharp at any scale.
void drawBall(QPainter& p, const TrendLayout& l, int position, int digit, QPointF centre) {
    const int side = l.rowHeight - 2;
    const QRectF box(centre.x() - side / 2.0, centre.y() - side / 2.0, side, side);
    if (p.transform().type() > QTransform::TxTranslate) {
        drawBallShape(p, box, l.colours, position, digit, l.font);
        return;
    }
    struct Key {
        QFont font;
        int side;
        qreal ratio;
        QColor colours[3];
        bool operator==(const Key& o) const {
            return font == o.font && side == o.side && ratio == o.ratio &&
                   std::equal(std::begin(colours), std::end(colours), std::begin(o.colours));
        }
    };
    static Key drawnFor{};
    static std::array<QPixmap, 3 * stats::kDigitValues> balls;
    const qreal ratio = p.device() ? p.device()->devicePixelRatioF() : 1.0;
    const Key wanted{l.font, side, ratio, {l.colours.balls[0], l.colours.balls[1], l.colours.balls[2]}};
    if (!(drawnFor == wanted)) {
        drawnFor = wanted;
        for (int i = 0; i < static_cast<int>(balls.size()); ++i) {
            QPixmap pixmap(QSize(side, side) * ratio);
            pixmap.setDevicePixelRatio(ratio);
            pixmap.fill(Qt::transparent);
            QPainter b(&pixmap);
            drawBallShape(b, QRectF(0, 0, side, side), l.colours, i / stats::kDigitValues,
                          i % stats::kDigitValues, l.font);
            b.end();
            balls[static_cast<std::size_t>(i)] = pixmap;
        }
    }
    p.drawPixmap(box.topLeft(), balls[static_cast<std::size_t>(position * stats::kDigitValues + digit)]);
}

QPointF ballCentre(const TrendLayout& l, int column, int y) {
    const QRect r = cellRect(l, column, y, l.rowHeight);
    return QRectF(r).center();
}

} // namespace

QColor TrendColours::rowGround(int position, bool oddRow) const {
    const QColor base = position < 0 ? ground : bands[static_cast<std::size_t>(position)];
    return oddRow ? (dark ? base.lighter(112) : base.darker(103)) : base;
}

TrendColours trendColours(const QPalette& palette) {
    return coloursFor(isDark(palette), palette.color(QPalette::Base), palette.color(QPalette::Text));
}

TrendColours printedTrendColours() {
    return coloursFor(false, Qt::white, QColor(0x20, 0x24, 0x2a));
}

TrendLayout TrendLayout::forFont(const QFont& font) {
    TrendLayout l;
    // In pixels, so that the printer's pages, scaled to the chart's width, get the screen's proportions.
    l.font = font;
    l.font.setPixelSize(QFontInfo(font).pixelSize());
    const QFontMetrics fm(l.font);
    l.rowHeight = fm.height() + 6;
    l.headerHeight = 2 * l.rowHeight;
    const int digit = std::max(fm.horizontalAdvance(QStringLiteral("88↑")) + 6, l.rowHeight + 2);
    // The sum, span and form columns: their captions, and under them the value that stands out
    // with its figure ("组六:4630").
    const int wide = fm.horizontalAdvance(QStringLiteral("组六:88888↑")) + 8;
    int x = 0;
    for (int c = 0; c < TrendModel::kColumns; ++c) {
        l.left[static_cast<std::size_t>(c)] = x;
        if (c == TrendModel::kIssueColumn)
            x += std::max(fm.horizontalAdvance(QStringLiteral("2026358")),
                          fm.horizontalAdvance(QStringLiteral("出现次数"))) +
                 14;
        else if (c == TrendModel::kDrawColumn)
            x += std::max(fm.horizontalAdvance(QStringLiteral("888")),
                          fm.horizontalAdvance(QStringLiteral("开奖号"))) +
                 12;
        else if (c >= TrendModel::kSumColumn)
            x += wide;
        else
            x += digit;
    }
    l.left.back() = x;
    return l;
}

void paintTrendHeader(QPainter& p, const TrendLayout& l, const TrendModel& model) {
    p.save();
    p.setFont(l.font);
    const TrendColours& colours = l.colours;
    p.fillRect(0, 0, l.width(), l.headerHeight, colours.header);
    p.setPen(colours.text);
    const int half = l.headerHeight / 2;
    for (int c = 0; c < TrendModel::kColumns; ++c) {
        const QString caption = model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        const int position = TrendModel::positionOf(c);
        if (position < 0) {
            p.drawText(cellRect(l, c, 0, l.headerHeight), Qt::AlignCenter, caption);
            continue;
        }
        p.setPen(colours.captions[static_cast<std::size_t>(position)]);
        p.drawText(cellRect(l, c, half, l.headerHeight - half), Qt::AlignCenter, caption);
        if ((c - TrendModel::kFirstDigitColumn) % kGroupColumns == 0) {
            const QRect group(l.left[static_cast<std::size_t>(c)], 0,
                              l.left[static_cast<std::size_t>(c + kGroupColumns)] -
                                  l.left[static_cast<std::size_t>(c)],
                              half);
            QFont bold = l.font;
            bold.setBold(true);
            p.setFont(bold);
            p.drawText(group, Qt::AlignCenter, TrendModel::groupCaption(c));
            p.setFont(l.font);
            p.setPen(colours.edge);
            p.drawLine(group.left(), half, group.right(), half);
        }
        p.setPen(colours.text);
    }
    gridLines(p, l, 0, l.headerHeight);
    p.setPen(colours.edge);
    p.drawLine(0, l.headerHeight - 1, l.width(), l.headerHeight - 1);
    p.restore();
}

void paintTrendRows(QPainter& p, const TrendLayout& l, const TrendModel& model, int first, int last,
                    int top) {
    first = std::max(first, 0);
    last = std::min(last, model.drawRows());
    if (first >= last)
        return;
    p.save();
    p.setFont(l.font);
    for (int r = first; r < last; ++r) {
        const int y = top + (r - first) * l.rowHeight;
        const auto edge = [&](int column) { return l.left[static_cast<std::size_t>(column)]; };
        p.fillRect(0, y, l.width(), l.rowHeight, l.colours.rowGround(-1, r % 2 == 1));
        for (int position = 0; position < 3; ++position) {
            const int from = TrendModel::kFirstDigitColumn + position * kGroupColumns;
            p.fillRect(edge(from), y, edge(from + kGroupColumns) - edge(from), l.rowHeight,
                       l.colours.rowGround(position, r % 2 == 1));
        }
        for (int c = 0; c < TrendModel::kColumns; ++c) {
            const QRect cell = cellRect(l, c, y, l.rowHeight);
            const QModelIndex index = model.index(r, c);
            if (index.data(TrendModel::BallRole).toInt() > 0)
                continue;
            p.setPen(TrendModel::positionOf(c) >= 0 ? l.colours.omission : l.colours.text);
            drawCentred(p, cell, index.data().toString());
        }
        p.setPen(l.colours.grid);
        p.drawLine(0, y + l.rowHeight - 1, l.width(), y + l.rowHeight - 1);
    }
    gridLines(p, l, top, (last - first) * l.rowHeight);

    // The lines reach the rows just outside, so that a line leaving the painted part keeps its slope.
    p.setRenderHint(QPainter::Antialiasing);
    const int from = std::max(first - 1, 0);
    const int to = std::min(last + 1, model.drawRows());
    const SearchIndex& index = *model.searchIndex();
    const std::size_t base = model.range().first;
    for (int position = 0; position < 3; ++position) {
        const std::int16_t* digits = index.codes(position + 1, Kind::Number);
        auto column = [&](int r) {
            return TrendModel::kFirstDigitColumn + position * kGroupColumns +
                   digits[base + static_cast<std::size_t>(r)];
        };
        auto centre = [&](int r) { return ballCentre(l, column(r), top + (r - first) * l.rowHeight); };
        QPainterPath path(centre(from));
        for (int r = from + 1; r < to; ++r)
            path.lineTo(centre(r));
        p.setPen(QPen(l.colours.balls[static_cast<std::size_t>(position)], 1.4));
        p.setBrush(Qt::NoBrush);
        p.drawPath(path);

        for (int r = first; r < last; ++r)
            drawBall(p, l, position, digits[base + static_cast<std::size_t>(r)], centre(r));
    }
    p.restore();
}

void paintTrendFigures(QPainter& p, const TrendLayout& l, const TrendModel& model, int top) {
    if (model.drawRows() == 0)
        return;
    p.save();
    p.setFont(l.font);
    p.fillRect(0, top, l.width(), l.figuresHeight(), l.colours.header);
    const int base = model.drawRows();
    for (int f = 0; f < TrendModel::kFigureRows; ++f) {
        const int y = top + f * l.rowHeight;
        for (int c = 0; c < TrendModel::kColumns; ++c) {
            const QModelIndex index = model.index(base + f, c);
            const int mark = index.data(TrendModel::MarkRole).toInt();
            p.setPen(mark > 0 ? l.colours.up : mark < 0 ? l.colours.down : l.colours.text);
            p.drawText(cellRect(l, c, y, l.rowHeight), Qt::AlignCenter, index.data().toString());
        }
        p.setPen(l.colours.grid);
        p.drawLine(0, y + l.rowHeight - 1, l.width(), y + l.rowHeight - 1);
    }
    gridLines(p, l, top, l.figuresHeight());
    p.setPen(l.colours.edge);
    p.drawLine(0, top, l.width(), top);
    p.restore();
}

void paintTrendChart(QPainter& p, const TrendLayout& l, const TrendModel& model, int first, int last) {
    paintTrendHeader(p, l, model);
    paintTrendRows(p, l, model, first, last, l.headerHeight);
    paintTrendFigures(p, l, model, l.headerHeight + (std::max(last - first, 0)) * l.rowHeight);
}

} // namespace brenvik::ui
