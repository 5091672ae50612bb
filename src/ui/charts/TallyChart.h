// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ThemedChartView.h"

#include <QList>
#include <QString>

#include <optional>

class QAction;
class QBarSeries;
class QValueAxis;

namespace brenvik::ui {

class ResultGridModel;

// The tally of the result grid as a bar chart: one bar per outcome in the grid's order showing its
// share, a whisker over each bar for the share's 95 % interval, and a line at the share every
// outcome has under fair draws. Bars whose interval leaves out that share are drawn darker, as
// the grid sets their rows in bold. It redraws whenever the grid's tally changes; its context
// menu saves it as a PNG picture. Its colours follow the palette, light or dark.
class TallyChart : public ThemedChartView {
    Q_OBJECT
public:
    // `folder` is where the save dialog starts.
    TallyChart(const ResultGridModel* model, QString folder, QWidget* parent = nullptr);

    // What is drawn, in percent.
    struct Bar {
        QString label;
        double share = 0;
        std::optional<double> low; // the whisker; none without a test
        std::optional<double> high;
        bool marked = false;
    };
    const QList<Bar>& bars() const { return m_bars; }
    double chanceLine() const { return m_chance; }

    // Writes the chart as it is shown; false when the file could not be written.
    bool savePng(const QString& file);

protected:
    void drawForeground(QPainter* painter, const QRectF& rect) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void redraw();
    // Ticks the share axis with as many round steps as its height holds, the legend only
    // where there is room for it: a low chart keeps readable labels.
    void fitToHeight();
    void saveAs();

    const ResultGridModel* m_model;
    QString m_folder;
    QBarSeries* m_series = nullptr;
    QValueAxis* m_shareAxis = nullptr;
    double m_top = 0; // the highest share or interval end drawn
    QList<Bar> m_bars;
    double m_chance = 0;
};

} // namespace brenvik::ui
