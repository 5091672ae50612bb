// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Backtest.h"

#include "ThemedChartView.h"

namespace brenvik::ui {

// Cumulative hits of a backtest, target by target, against what chance gives: the expected
// count c × predictions with its 95 % band, and the random twins' own curves in grey. A real
// curve that stays among the grey ones did no better than luck.
class BacktestChart : public ThemedChartView {
    Q_OBJECT
public:
    explicit BacktestChart(QWidget* parent = nullptr);
    // Needs the result's rows and the twins' verdicts.
    void setResult(const stats::BacktestResult& result);
    void clear();
};

} // namespace brenvik::ui
