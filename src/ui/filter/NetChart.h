// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FilterRecord.h"

#include "ThemedChartView.h"

#include <vector>

namespace brenvik::ui {

// The cumulative net of buying every kept number every draw, draw by draw through the range,
// beside what chance leads one to expect: the 直选 prize pays back 1,040 of every 2,000 yuan, so
// the expected line falls by 0.96 yuan per number and draw whatever the numbers are.
class NetChart : public ThemedChartView {
    Q_OBJECT
public:
    explicit NetChart(QWidget* parent = nullptr);
    void setCurve(const std::vector<stats::NetPoint>& curve, int kept);
    void clear();
};

} // namespace brenvik::ui
