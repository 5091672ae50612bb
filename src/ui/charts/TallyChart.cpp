// SPDX-License-Identifier: GPL-3.0-or-later
#include "TallyChart.h"

#include "Dialogs.h"
#include "GridModels.h"

#include <QAction>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QDir>
#include <QLegend>
#include <QLineSeries>
#include <QPainter>
#include <QSaveFile>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace brenvik::ui {

TallyChart::TallyChart(const ResultGridModel* model, QString folder, QWidget* parent)
    : ThemedChartView(parent), m_model(model), m_folder(std::move(folder)) {
    setObjectName(QStringLiteral("tallyChart"));
    setMinimumHeight(120);
    auto* c = chart();
    c->setMargins(QMargins(4, 4, 4, 4));
    c->legend()->setAlignment(Qt::AlignBottom);
    c->legend()->setFont(font());
    setToolTip(QStringLiteral("柱：各结果所占比例；竖线：95%区间；横线：随机比例。右键可保存为图片"));

    auto* save = new QAction(QStringLiteral("保存为PNG…"), this);
    save->setObjectName(QStringLiteral("saveChartPng"));
    connect(save, &QAction::triggered, this, &TallyChart::saveAs);
    addAction(save);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    connect(model, &QAbstractItemModel::modelReset, this, &TallyChart::redraw);
    // The whiskers are drawn over the plot: they follow it when the chart is resized.
    connect(c, &QChart::plotAreaChanged, viewport(), qOverload<>(&QWidget::update));
    // The plot's height is known only once the axes are laid out; the ticks follow it after
    // the layout has settled.
    connect(c, &QChart::plotAreaChanged, this, &TallyChart::fitToHeight, Qt::QueuedConnection);
    redraw();
}

void TallyChart::redraw() {
    QChart* c = chart();
    clearChart();
    m_series = nullptr;
    m_shareAxis = nullptr;
    m_bars.clear();
    m_chance = m_model->chanceShare() * 100;
    const int rows = m_model->rowCount();
    if (rows == 0) {
        viewport()->update();
        return;
    }

    const auto& stats = m_model->statistics();
    auto* set = new QBarSet(QStringLiteral("所占比例"));
    QStringList labels;
    double top = m_chance;
    for (int r = 0; r < rows; ++r) {
        Bar bar;
        bar.label = m_model->label(r);
        bar.share = m_model->share(r).value_or(0) * 100;
        if (stats) {
            bar.low = stats->intervals[static_cast<std::size_t>(r)].low * 100;
            bar.high = stats->intervals[static_cast<std::size_t>(r)].high * 100;
        }
        bar.marked = m_model->offChance(r);
        top = std::max({top, bar.share, bar.high.value_or(0)});
        *set << bar.share;
        if (bar.marked)
            set->selectBar(r);
        labels << bar.label;
        m_bars.push_back(bar);
    }

    m_series = new QBarSeries;
    m_series->setObjectName(QStringLiteral("bars"));
    m_series->append(set);
    m_series->setBarWidth(0.6);
    c->addSeries(m_series);
    auto* chance = new QLineSeries;
    chance->setObjectName(QStringLiteral("chance"));
    chance->setName(QStringLiteral("随机比例 %1%").arg(m_chance, 0, 'f', 0));
    // Across the whole plot: the category axis puts outcome i at i, its edges half a step out.
    chance->append(-0.5, m_chance);
    chance->append(rows - 0.5, m_chance);
    c->addSeries(chance);

    auto* x = new QBarCategoryAxis;
    x->append(labels);
    x->setLabelsFont(font());
    c->addAxis(x, Qt::AlignBottom);
    auto* y = new QValueAxis;
    y->setLabelFormat(QStringLiteral("%.0f%%"));
    y->setLabelsFont(font());
    c->addAxis(y, Qt::AlignLeft);
    for (QAbstractSeries* s :
         {static_cast<QAbstractSeries*>(m_series), static_cast<QAbstractSeries*>(chance)}) {
        s->attachAxis(x);
        s->attachAxis(y);
    }
    m_shareAxis = y;
    m_top = top;
    applyColours();
    fitToHeight();
    viewport()->update();
}

void TallyChart::resizeEvent(QResizeEvent* event) {
    QChartView::resizeEvent(event);
    fitToHeight();
}

void TallyChart::fitToHeight() {
    const int lineHeight = fontMetrics().height();
    chart()->legend()->setVisible(height() >= 12 * lineHeight);
    if (!m_shareAxis)
        return;
    // A step of 1, 2 or 5 times a power of ten, with a tick label every two lines at most.
    const int most = std::max(1, static_cast<int>(chart()->plotArea().height()) / (2 * lineHeight));
    const double top = std::max(1.0, std::min(100.0, m_top * 1.05));
    constexpr double kRound[] = {1, 2, 5};
    double step = 1;
    for (int k = 1; top / step > most; ++k)
        step = kRound[k % 3] * std::pow(10.0, k / 3);
    const int steps = static_cast<int>(std::ceil(top / step - 1e-9));
    if (m_shareAxis->max() != steps * step)
        m_shareAxis->setRange(0, steps * step);
    if (m_shareAxis->tickCount() != steps + 1)
        m_shareAxis->setTickCount(steps + 1);
}

void TallyChart::drawForeground(QPainter* painter, const QRectF& rect) {
    QChartView::drawForeground(painter, rect);
    if (!m_series)
        return;
    QChart* c = chart();
    const auto at = [&](double x, double y) {
        return c->mapToScene(c->mapToPosition(QPointF(x, y), m_series));
    };
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    // A halo of the ground under each whisker keeps it clear where it crosses a bar of any shade.
    for (const QPen& pen : {QPen(colours().halo, 4.5, Qt::SolidLine, Qt::FlatCap),
                            QPen(colours().whisker, 1.5, Qt::SolidLine, Qt::FlatCap)}) {
        painter->setPen(pen);
        for (qsizetype i = 0; i < m_bars.size(); ++i) {
            const Bar& bar = m_bars[i];
            if (!bar.low || !bar.high)
                continue;
            const double x = static_cast<double>(i);
            const QPointF low = at(x, *bar.low);
            const QPointF high = at(x, *bar.high);
            const double cap = (at(x + 0.12, 0).x() - at(x, 0).x());
            painter->drawLine(low, high);
            painter->drawLine(QPointF(low.x() - cap, low.y()), QPointF(low.x() + cap, low.y()));
            painter->drawLine(QPointF(high.x() - cap, high.y()), QPointF(high.x() + cap, high.y()));
        }
    }
    painter->restore();
}

bool TallyChart::savePng(const QString& file) {
    const QPixmap picture = grab();
    QSaveFile out(file);
    return out.open(QIODevice::WriteOnly) && picture.save(&out, "PNG") && out.commit();
}

void TallyChart::saveAs() {
    const QString file = Dialogs::saveFile(this, QStringLiteral("保存为PNG"),
                                           QDir(m_folder).filePath(QStringLiteral("统计图.png")),
                                           QStringLiteral("PNG 图片 (*.png)"));
    if (file.isEmpty())
        return;
    if (!savePng(file))
        Dialogs::warn(this, QStringLiteral("保存为PNG"),
                      QStringLiteral("图片未能写入 %1。请检查文件夹是否存在、是否可写。")
                          .arg(QDir::toNativeSeparators(file)));
}

} // namespace brenvik::ui
