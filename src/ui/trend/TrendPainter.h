// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TrendModel.h"

#include <QColor>
#include <QFont>

#include <array>

class QPainter;
class QPalette;

namespace brenvik::ui {

// The trend chart's colours on a light or a dark ground: the figures and captions readable at
// 4.5:1, the balls and their lines standing out at 3:1 from the rows they cross.
struct TrendColours {
    QColor ground;                  // rows, outside the digit groups
    QColor header;                  // behind the captions and the figures
    QColor text;                    // captions, issues, draws, figures
    QColor omission;                // a digit's omission in the rows
    QColor grid;                    // lines between the cells
    QColor edge;                    // the groups' edges
    std::array<QColor, 3> bands;    // each position's columns, a faint tint of its balls' colour
    std::array<QColor, 3> balls;    // each position's balls and the line that joins them
    std::array<QColor, 3> ballText; // the digit on a ball
    std::array<QColor, 3> captions; // each position's captions, in its balls' colour
    QColor up, down;                // a count above or below what chance gives
    bool dark = false;

    // The ground of a row of the position's columns (-1: outside them); odd rows a shade apart.
    QColor rowGround(int position, bool oddRow) const;
};
TrendColours trendColours(const QPalette& palette);
// Pictures and pages are light, whatever the screen's theme.
TrendColours printedTrendColours();

// Where the trend chart's columns and rows go for a font. The screen, the picture and the
// printed pages share it, so all three look alike; only the colours follow the screen's theme.
struct TrendLayout {
    QFont font;
    TrendColours colours = printedTrendColours();
    int rowHeight = 20;
    int headerHeight = 40; // the group captions above the column captions
    std::array<int, TrendModel::kColumns + 1> left{};

    static TrendLayout forFont(const QFont& font);
    int width() const { return left.back(); }
    int figuresHeight() const { return TrendModel::kFigureRows * rowHeight; }
    // The height of the whole chart of `rows` draws.
    int chartHeight(int rows) const { return headerHeight + rows * rowHeight + figuresHeight(); }
};

// The painters draw at the painter's origin, in the layout's units. Rows [first, last) of the
// model's draws go from y = top; only what lies in the painter's clip needs to be looked up,
// so callers clip to what is visible and pass just the rows that cross it.
void paintTrendHeader(QPainter& painter, const TrendLayout& layout, const TrendModel& model);
void paintTrendRows(QPainter& painter, const TrendLayout& layout, const TrendModel& model, int first,
                    int last, int top);
void paintTrendFigures(QPainter& painter, const TrendLayout& layout, const TrendModel& model, int top);
// Header, rows [first, last) and the figures, stacked from y = 0.
void paintTrendChart(QPainter& painter, const TrendLayout& layout, const TrendModel& model, int first,
                     int last);

} // namespace brenvik::ui
