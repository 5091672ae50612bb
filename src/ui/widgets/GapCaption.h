// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>
#include <QPointer>
#include <QRadioButton>

namespace brenvik::ui {

// A caption with an edit box set into it: a run of characters of the caption (blanks, or the
// sample number of a label) is drawn as an empty gap, and the box sits in that gap, so that
// "前    期" reads "前 [2] 期". text() keeps the caption exactly as designed.
struct CaptionGap {
    int start = 0;
    int length = 0;
    int width = 0;
    QPointer<QWidget> box;

    // Draws `caption` from `left`, leaving the gap empty, and places the box in the gap.
    void paint(QPainter& painter, const QRect& textRect, const QString& caption, const QPalette& palette,
               bool enabled, QWidget* host) const;
    // Width the caption takes with the gap instead of the covered characters.
    int extraWidth(const QFontMetrics& fm, const QString& caption) const;
    void place(QWidget* host, int textLeft, const QString& caption) const;
};

class GapRadioButton : public QRadioButton {
    Q_OBJECT
public:
    GapRadioButton(const QString& caption, QWidget* box, int start, int length, int gapWidth);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QRect textRect() const;
    CaptionGap m_gap;
};

class GapLabel : public QLabel {
    Q_OBJECT
public:
    GapLabel(const QString& caption, QWidget* box, int start, int length, int gapWidth);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    CaptionGap m_gap;
};

} // namespace brenvik::ui
