// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FilterRecord.h"

#include "ThemedChartView.h"

#include <vector>

namespace brenvik::ui {

// The cumulative net of buying every ticket every draw, draw by draw through the range, beside what
// chance leads one to expect: the 直选 prize pays back 1,040 of every 2,000 yuan, the 组选 prizes
// 1,038, so the expected line falls by 0.96 (0.962) yuan per ticket and draw whatever the numbers are.
class NetChart : public ThemedChartView {
    Q_OBJECT
public:
    explicit NetChart(QWidget* parent = nullptr);
    // `expectedNet` is what a draw adds to the net on average: the expected prize less the tickets' cost.
    void setCurve(const std::vector<stats::NetPoint>& curve, double expectedNet);
    void clear();
};

} // namespace brenvik::ui
