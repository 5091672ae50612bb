// SPDX-License-Identifier: GPL-3.0-or-later
#include "TrendView.h"

#include "TrendAccessible.h"

#include <QAccessible>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>

#include <algorithm>

namespace brenvik::ui {

namespace {

QAccessibleInterface* accessibleTrend(const QString& className, QObject* object) {
    if (className == QLatin1String(TrendView::staticMetaObject.className()))
        if (auto* view = qobject_cast<TrendView*>(object))
            return new TrendAccessible(view);
    return nullptr;
}

} // namespace

TrendView::TrendView(TrendModel* model, QWidget* parent)
    : QAbstractScrollArea(parent), m_model(model), m_layout(TrendLayout::forFont(font())) {
    setObjectName(QStringLiteral("trendChart"));
    m_layout.colours = trendColours(palette());
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    setToolTip(QStringLiteral("鼠标双击图表可以将走势图导出到EXCEL"));
    // Read out as a table, cell by cell, by screen readers.
    static const bool tableForReaders = [] {
        QAccessible::installFactory(accessibleTrend);
        return true;
    }();
    Q_UNUSED(tableForReaders);
    setAccessibleName(QStringLiteral("走势图"));
    setAccessibleDescription(
        QStringLiteral("每行一期：期号、开奖号，百位、十位、个位各十列，开出的号码为圆球，"
                       "其余为遗漏期数；最后五行是出现次数、平均遗漏、最大遗漏、最大连出和"
                       "当前遗漏。双击导出到EXCEL"));
    // The arrows and page keys scroll the chart once it is clicked.
    setFocusPolicy(Qt::StrongFocus);
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        updateScrollBars();
        viewport()->update();
        QAccessibleTableModelChangeEvent changed(this, QAccessibleTableModelChangeEvent::ModelReset);
        QAccessible::updateAccessibility(&changed);
    });
    connect(verticalScrollBar(), &QScrollBar::valueChanged, viewport(), qOverload<>(&QWidget::update));
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, viewport(), qOverload<>(&QWidget::update));
    updateScrollBars();
}

QSize TrendView::sizeHint() const {
    return {m_layout.width() + verticalScrollBar()->sizeHint().width() + 2 * frameWidth(),
            m_layout.chartHeight(30)};
}

int TrendView::rowsHeight() const {
    return std::max(viewport()->height() - m_layout.headerHeight - m_layout.figuresHeight(), 0);
}

int TrendView::rowsInView() const {
    return std::max(rowsHeight() / m_layout.rowHeight, 1);
}

int TrendView::topRow() const {
    return verticalScrollBar()->value();
}

void TrendView::setTopRow(int row) {
    verticalScrollBar()->setValue(row);
}

void TrendView::scrollToNewest() {
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

QRect TrendView::cellRect(int row, int column) const {
    if (column < 0 || column >= TrendModel::kColumns)
        return {};
    const int frozen = m_layout.left[TrendModel::kFirstDigitColumn];
    const int shift = column >= TrendModel::kFirstDigitColumn ? horizontalScrollBar()->value() : 0;
    const int left = m_layout.left[static_cast<std::size_t>(column)] - shift;
    const int right = m_layout.left[static_cast<std::size_t>(column) + 1] - shift;
    if (right <= (shift > 0 ? frozen : 0))
        return {};
    int top = 0;
    if (row < 0) {
        top = m_layout.headerHeight / 2;
    } else if (row < m_model->drawRows()) {
        if (row < topRow() || row >= topRow() + rowsInView())
            return {};
        top = m_layout.headerHeight + (row - topRow()) * m_layout.rowHeight;
    } else {
        const int rowsBottom = m_layout.headerHeight +
                               std::min(rowsHeight(), (m_model->drawRows() - topRow()) * m_layout.rowHeight);
        top = rowsBottom + (row - m_model->drawRows()) * m_layout.rowHeight;
    }
    return QRect(left, top, right - left, row < 0 ? m_layout.headerHeight - top : m_layout.rowHeight);
}

bool TrendView::showsNewest() const {
    return verticalScrollBar()->value() == verticalScrollBar()->maximum();
}

void TrendView::updateScrollBars() {
    const int visible = rowsInView();
    verticalScrollBar()->setRange(0, std::max(m_model->drawRows() - visible, 0));
    verticalScrollBar()->setPageStep(visible);
    verticalScrollBar()->setSingleStep(1);
    horizontalScrollBar()->setRange(0, std::max(m_layout.width() - viewport()->width(), 0));
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setSingleStep(m_layout.rowHeight);
}

void TrendView::resizeEvent(QResizeEvent* event) {
    // The newest draw stays in view when the window grows or shrinks under it.
    const bool newest = showsNewest();
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
    if (newest)
        scrollToNewest();
}

void TrendView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        m_layout = TrendLayout::forFont(font());
        m_layout.colours = trendColours(palette());
        updateScrollBars();
        updateGeometry();
    }
    if (event->type() == QEvent::PaletteChange) {
        m_layout.colours = trendColours(palette());
        viewport()->update();
    }
    QAbstractScrollArea::changeEvent(event);
}

void TrendView::paintEvent(QPaintEvent*) {
    if (!m_model->searchIndex())
        return;
    QPainter p(viewport());
    const int first = topRow();
    // A part row at the bottom is painted too; the figures cover it.
    const int last = std::min(first + rowsInView() + 1, m_model->drawRows());
    const int rowsBottom =
        m_layout.headerHeight + std::min(rowsHeight(), (last - first) * m_layout.rowHeight);
    auto paint = [&](int shift, int clipLeft, int clipWidth) {
        p.save();
        p.setClipRect(clipLeft, 0, clipWidth, viewport()->height());
        p.translate(-shift, 0);
        p.save();
        p.setClipRect(0, m_layout.headerHeight, m_layout.width(), rowsBottom - m_layout.headerHeight,
                      Qt::IntersectClip);
        paintTrendRows(p, m_layout, *m_model, first, last, m_layout.headerHeight);
        p.restore();
        paintTrendHeader(p, m_layout, *m_model);
        paintTrendFigures(p, m_layout, *m_model, rowsBottom);
        p.restore();
    };
    // The issue and the draw stay at the left while the digits scroll sideways.
    const int frozen = m_layout.left[TrendModel::kFirstDigitColumn];
    const int shift = horizontalScrollBar()->value();
    paint(shift, shift > 0 ? frozen : 0, viewport()->width());
    if (shift > 0)
        paint(0, 0, frozen);
}

bool TrendView::viewportEvent(QEvent* event) {
    if (event->type() != QEvent::ToolTip)
        return QAbstractScrollArea::viewportEvent(event);
    // The figures' tips: the count expected of chance, and the sums', spans' and forms' figures.
    const QPoint at = static_cast<QHelpEvent*>(event)->pos();
    const int frozen = m_layout.left[TrendModel::kFirstDigitColumn];
    const int x = at.x() < frozen ? at.x() : at.x() + horizontalScrollBar()->value();
    const int rowsBottom =
        m_layout.headerHeight + std::min(rowsHeight(), (m_model->drawRows() - topRow()) * m_layout.rowHeight);
    const int figure = (at.y() - rowsBottom) / m_layout.rowHeight;
    const auto column =
        std::upper_bound(m_layout.left.begin(), m_layout.left.end(), x) - m_layout.left.begin() - 1;
    QString tip = toolTip();
    if (at.y() >= rowsBottom && figure < TrendModel::kFigureRows && column >= 0 &&
        column < TrendModel::kColumns) {
        const QString figureTip = m_model->index(m_model->drawRows() + figure, static_cast<int>(column))
                                      .data(Qt::ToolTipRole)
                                      .toString();
        if (!figureTip.isEmpty())
            tip = figureTip;
    }
    QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), tip, viewport());
    return true;
}

void TrendView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        emit doubleClicked();
}

} // namespace brenvik::ui
