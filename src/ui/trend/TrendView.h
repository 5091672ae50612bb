// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TrendPainter.h"

#include <QAbstractScrollArea>

namespace brenvik::ui {

// The trend chart on screen: the column captions stay at the top and the figures at the bottom
// while the draws scroll between them, a row at a time. Only the rows in view are painted.
class TrendView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit TrendView(TrendModel* model, QWidget* parent = nullptr);

    const TrendLayout& layout() const { return m_layout; }
    // The first draw row in view, and how many fit.
    int topRow() const;
    int rowsInView() const;
    void setTopRow(int row);
    void scrollToNewest();
    bool showsNewest() const;
    // Where a cell of the model is drawn in the viewport: row -1 is the captions, rows past the
    // draws are the figures; an empty rectangle for a row scrolled out of view.
    QRect cellRect(int row, int column) const;
    const TrendModel& model() const { return *m_model; }

    QSize sizeHint() const override;

signals:
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void updateScrollBars();
    int rowsHeight() const;

    TrendModel* m_model;
    TrendLayout m_layout;
};

} // namespace brenvik::ui
