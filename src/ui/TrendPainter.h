// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TrendModel.h"

#include <QColor>
#include <QFont>

#include <array>

class QPainter;

namespace brenvik::ui {

// Where the trend chart's columns and rows go for a font. The screen, the picture and the
// printed pages share it, so all three look alike.
struct TrendLayout {
    QFont font;
    int rowHeight = 20;
    int headerHeight = 40; // the group captions above the column captions
    std::array<int, TrendModel::kColumns + 1> left{};

    static TrendLayout forFont(const QFont& font);
    int width() const { return left.back(); }
    int figuresHeight() const { return TrendModel::kFigureRows * rowHeight; }
    // The height of the whole chart of `rows` draws.
    int chartHeight(int rows) const { return headerHeight + rows * rowHeight + figuresHeight(); }
};

// The balls' colour of each position, and of the line joining them.
QColor ballColour(int position);

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
