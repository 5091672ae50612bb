// SPDX-License-Identifier: GPL-3.0-or-later
#include "BacktestChart.h"

#include <QAreaSeries>
#include <QChart>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPen>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace brenvik::ui {

namespace {

// A curve never needs more points than the chart has pixels.
constexpr std::size_t kMostPoints = 1000;

} // namespace

BacktestChart::BacktestChart(QWidget* parent) : ThemedChartView(parent) {
    chart()->legend()->setAlignment(Qt::AlignBottom);
    chart()->setMargins(QMargins(4, 4, 4, 4));
    setMinimumHeight(120);
}

void BacktestChart::clear() {
    clearChart();
}

void BacktestChart::setResult(const stats::BacktestResult& r) {
    clear();
    const std::size_t targets = r.rows.size();
    if (targets == 0)
        return;
    const std::size_t step = std::max<std::size_t>(1, (targets + kMostPoints - 1) / kMostPoints);
    const auto sampled = [&](std::size_t i) { return (i + 1) % step == 0 || i + 1 == targets; };

    auto* real = new QLineSeries;
    real->setObjectName(QStringLiteral("real"));
    real->setName(QStringLiteral("实际命中"));
    auto* expected = new QLineSeries;
    expected->setObjectName(QStringLiteral("expected"));
    expected->setName(QStringLiteral("随机期望"));
    auto* upper = new QLineSeries;
    auto* lower = new QLineSeries;
    long long predictions = 0;
    long long hits = 0;
    double top = 1;
    const double c = r.chance;
    for (std::size_t i = 0; i < targets; ++i) {
        const stats::Verdict v = r.rows[i].verdict;
        predictions += v != stats::Verdict::NoPrediction;
        hits += v == stats::Verdict::Hit;
        if (!sampled(i))
            continue;
        const double x = static_cast<double>(i + 1);
        const double mean = c * static_cast<double>(predictions);
        // The normal approximation of the binomial's 95 % range: close enough for a band drawn
        // over hundreds of predictions.
        const double spread = 1.96 * std::sqrt(static_cast<double>(predictions) * c * (1 - c));
        real->append(x, static_cast<double>(hits));
        expected->append(x, mean);
        upper->append(x, mean + spread);
        lower->append(x, std::max(0.0, mean - spread));
        top = std::max({top, static_cast<double>(hits), mean + spread});
    }
    auto* band = new QAreaSeries(upper, lower);
    band->setObjectName(QStringLiteral("band"));
    band->setName(QStringLiteral("95%区间"));

    std::vector<QLineSeries*> twins;
    for (const stats::TwinRun& twin : r.twins) {
        if (twin.verdicts.size() != targets)
            continue;
        auto* s = new QLineSeries;
        s->setObjectName(QStringLiteral("twin"));
        s->setName(QStringLiteral("随机对照"));
        long long twinHits = 0;
        for (std::size_t i = 0; i < targets; ++i) {
            twinHits += twin.verdicts[i] == stats::Verdict::Hit;
            if (sampled(i))
                s->append(static_cast<double>(i + 1), static_cast<double>(twinHits));
        }
        top = std::max(top, static_cast<double>(twinHits));
        twins.push_back(s);
    }

    // The grey curves first, so that the real one is drawn over them.
    QChart* ch = chart();
    ch->addSeries(band);
    for (QLineSeries* s : twins)
        ch->addSeries(s);
    ch->addSeries(expected);
    ch->addSeries(real);

    auto* x = new QValueAxis;
    x->setTitleText(QStringLiteral("回测期数"));
    x->setLabelFormat(QStringLiteral("%d"));
    x->setRange(1, static_cast<double>(targets));
    x->setTickType(QValueAxis::TicksDynamic);
    x->setTickAnchor(0);
    x->setTickInterval(std::max(1.0, std::pow(10.0, std::floor(std::log10(static_cast<double>(targets))))));
    auto* y = new QValueAxis;
    y->setTitleText(QStringLiteral("累计命中"));
    y->setLabelFormat(QStringLiteral("%d"));
    y->setRange(0, std::ceil(top * 1.05));
    y->applyNiceNumbers();
    ch->addAxis(x, Qt::AlignBottom);
    ch->addAxis(y, Qt::AlignLeft);
    for (QAbstractSeries* s : ch->series()) {
        s->attachAxis(x);
        s->attachAxis(y);
    }
    applyColours();
    // One legend entry for all the twins.
    for (std::size_t i = 1; i < twins.size(); ++i)
        for (QLegendMarker* m : ch->legend()->markers(twins[i]))
            m->setVisible(false);
}

} // namespace brenvik::ui
