// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>

class QPalette;
class QWidget;

namespace brenvik::ui {

// Text must stand out from its ground by 4.5:1, and so must every line, bar or mark that carries
// meaning by 3:1 (the contrast ratio of relative luminances, as accessibility guides measure it).
inline constexpr double kTextContrast = 4.5;
inline constexpr double kMarkContrast = 3.0;

// `a` laid over `b` at `share` of `a`.
QColor blend(const QColor& a, const QColor& b, double share);
// The contrast ratio of two colours, 1 to 21.
double contrastRatio(const QColor& a, const QColor& b);
// `colour`, made darker on a light ground or lighter on a dark one until it reaches `ratio`
// against `ground`; unchanged when it does already.
QColor readable(const QColor& colour, const QColor& ground, double ratio);
// Whether the palette draws light text on a dark ground (a dark desktop theme).
bool isDark(const QPalette& palette);
// A line of a window that says what is wrong: red, readable on the palette's window colour.
QColor problemColour(const QPalette& palette);
// Shows `label`'s text in the red of problemColour, or in the palette's own colour again.
void showAsProblem(QWidget* label, bool problem);
// Sets `label` in a grey that stays readable on its ground, light or dark, also after the desktop's
// theme changes: for hints that step back from the window's own text.
void subdue(QWidget* label);

// What the charts draw with, taken from the palette where it has a colour for the purpose and
// chosen for its light or dark ground where it has none.
struct ChartColours {
    QColor ground;    // behind the plot, the axes and the legend
    QColor text;      // labels, titles, legend
    QColor gridLine;  // guides without meaning of their own
    QColor bar;       // a tally's share
    QColor barMarked; // a share whose interval leaves out chance
    QColor chance;    // the share, or the curve, that chance alone gives
    QColor whisker;   // an interval
    QColor halo;      // drawn under the whiskers, so they stay clear where they cross a bar
    QColor real;      // what happened
    QColor expected;  // what chance gives
    QColor band;      // the edge of chance's 95 % range
    QColor twin;      // a random twin's curve
};
// `greyed`: the colours of a result that no longer matches its conditions.
ChartColours chartColours(const QPalette& palette, bool greyed = false);

} // namespace brenvik::ui
