// SPDX-License-Identifier: GPL-3.0-or-later
#include "NetChart.h"

#include <QChart>
#include <QLineSeries>
#include <QPen>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace brenvik::ui {

namespace {

// A tick step of 1, 2 or 5 times a power of ten that gives at most about six steps.
double niceStep(double span) {
    const double raw = std::max(1.0, span / 6);
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 5.0})
        if (m * power >= raw)
            return m * power;
    return 10 * power;
}

} // namespace

NetChart::NetChart(QWidget* parent) : ThemedChartView(parent) {
    chart()->legend()->setAlignment(Qt::AlignBottom);
    chart()->setMargins(QMargins(4, 4, 4, 4));
    setMinimumHeight(150);
}

void NetChart::clear() {
    clearChart();
}

void NetChart::setCurve(const std::vector<stats::NetPoint>& curve, double expectedNet) {
    clear();
    if (curve.size() < 2)
        return;
    const auto draws = static_cast<double>(curve.back().draws);
    const double perDraw = expectedNet;
    // Sums over the whole history run to millions: shown in 万元 then, so that the labels stay short.
    double low = perDraw * draws, high = 0;
    for (const stats::NetPoint& p : curve) {
        low = std::min(low, static_cast<double>(p.net));
        high = std::max(high, static_cast<double>(p.net));
    }
    const double unit = std::max(-low, high) >= 100000 ? 10000 : 1;
    auto* real = new QLineSeries;
    real->setObjectName(QStringLiteral("real"));
    real->setName(QStringLiteral("累计净盈亏"));
    for (const stats::NetPoint& p : curve)
        real->append(static_cast<double>(p.draws), static_cast<double>(p.net) / unit);
    auto* expected = new QLineSeries;
    expected->setObjectName(QStringLiteral("expected"));
    expected->setName(QStringLiteral("随机期望"));
    expected->append(0, 0);
    expected->append(draws, perDraw * draws / unit);

    QChart* ch = chart();
    ch->addSeries(expected);
    ch->addSeries(real);
    auto* x = new QValueAxis;
    x->setTitleText(QStringLiteral("期数"));
    x->setLabelFormat(QStringLiteral("%d"));
    x->setRange(0, std::max(1.0, draws));
    x->setTickType(QValueAxis::TicksDynamic);
    x->setTickAnchor(0);
    x->setTickInterval(niceStep(draws));
    auto* y = new QValueAxis;
    y->setTitleText(unit > 1 ? QStringLiteral("万元") : QStringLiteral("元"));
    y->setLabelFormat(QStringLiteral("%.0f"));
    const double margin = std::max(1.0, (high - low) / unit * 0.05);
    y->setRange(low / unit - margin, high / unit + margin);
    y->applyNiceNumbers();
    ch->addAxis(x, Qt::AlignBottom);
    ch->addAxis(y, Qt::AlignLeft);
    for (QAbstractSeries* s : ch->series()) {
        s->attachAxis(x);
        s->attachAxis(y);
    }
    applyColours();
}

} // namespace brenvik::ui
