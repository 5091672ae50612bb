// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ThemeColours.h"

#include <QChartView>

namespace brenvik::ui {

// A chart in the colours of its palette, drawn again when the desktop's theme changes. Its series
// are coloured by their objectName: "bars", "chance", "real", "expected", "band", "twin".
class ThemedChartView : public QChartView {
    Q_OBJECT
public:
    explicit ThemedChartView(QWidget* parent = nullptr);

    const ChartColours& colours() const { return m_colours; }
    // Greys the chart: it shows what earlier conditions gave.
    void setGreyed(bool greyed);
    bool greyed() const { return m_greyed; }
    // Colours the chart's frame, axes and series; called after adding them.
    void applyColours();
    // Removes the series and axes (the chart owns neither once removed, so they are deleted).
    void clearChart();

protected:
    void changeEvent(QEvent* event) override;

private:
    ChartColours m_colours;
    bool m_greyed = false;
};

} // namespace brenvik::ui
