// SPDX-License-Identifier: GPL-3.0-or-later
#include "ThemeColours.h"

#include <QApplication>
#include <QEvent>
#include <QPalette>
#include <QPen>
#include <QWidget>

#include <cmath>

namespace brenvik::ui {

namespace {

double channel(double c) {
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(const QColor& colour) {
    const QColor c = colour.toRgb();
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

} // namespace

QColor blend(const QColor& a, const QColor& b, double share) {
    return QColor::fromRgbF(static_cast<float>(a.redF() * share + b.redF() * (1 - share)),
                            static_cast<float>(a.greenF() * share + b.greenF() * (1 - share)),
                            static_cast<float>(a.blueF() * share + b.blueF() * (1 - share)));
}

double contrastRatio(const QColor& a, const QColor& b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readable(const QColor& colour, const QColor& ground, double ratio) {
    // Towards black on a light ground, towards white on a dark one, in small steps: the hue stays
    // recognisable for as long as it can.
    const QColor end = luminance(ground) > 0.18 ? QColor(Qt::black) : QColor(Qt::white);
    QColor c = colour.toRgb();
    c.setAlpha(255);
    for (int step = 1; step <= 20 && contrastRatio(c, ground) < ratio; ++step)
        c = blend(end, colour.toRgb(), step / 20.0);
    return c;
}

bool isDark(const QPalette& palette) {
    return luminance(palette.color(QPalette::Base)) < luminance(palette.color(QPalette::Text));
}

QColor problemColour(const QPalette& palette) {
    const QColor ground = palette.color(QPalette::Window);
    return readable(isDark(palette) ? QColor(0xff, 0x8a, 0x80) : QColor(0xb0, 0x00, 0x00), ground,
                    kTextContrast);
}

void showAsProblem(QWidget* label, bool problem) {
    const QPalette inherited =
        label->parentWidget() ? label->parentWidget()->palette() : QApplication::palette(label);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText,
               problem ? problemColour(inherited) : inherited.color(QPalette::WindowText));
    label->setPalette(p);
}

namespace {

class SubduedText : public QObject {
public:
    explicit SubduedText(QWidget* label) : QObject(label) { follow(label); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ParentChange)
            follow(static_cast<QWidget*>(watched));
        return false;
    }

private:
    static void follow(QWidget* label) {
        // The ground is the parent's: a label over a grid's viewport shows the grid's base.
        const QWidget* under = label->parentWidget() ? label->parentWidget() : label;
        const QPalette::ColorRole groundRole = under->backgroundRole();
        const QColor ground = under->palette().color(groundRole);
        const QColor text = under->palette().color(under->foregroundRole());
        const QColor grey = readable(blend(text, ground, 0.55), ground, kTextContrast);
        if (label->palette().color(QPalette::WindowText) != grey) {
            QPalette p = label->palette();
            p.setColor(QPalette::WindowText, grey);
            label->setPalette(p);
        }
    }
};

} // namespace

void subdue(QWidget* label) {
    label->installEventFilter(new SubduedText(label));
}

ChartColours chartColours(const QPalette& palette, bool greyed) {
    ChartColours c;
    const bool dark = isDark(palette);
    c.ground = palette.color(QPalette::Base);
    c.text = readable(palette.color(QPalette::Text), c.ground, kTextContrast);
    c.gridLine = blend(c.text, c.ground, 0.18);
    c.halo = c.ground;
    const auto mark = [&](QColor light, QColor onDark) {
        return readable(dark ? onDark : light, c.ground, kMarkContrast);
    };
    if (greyed) {
        // One grey for everything that carried meaning: what it meant no longer holds.
        const QColor grey = mark(QColor(0x90, 0x90, 0x90), QColor(0x70, 0x70, 0x70));
        c.text = readable(palette.color(QPalette::Disabled, QPalette::Text), c.ground, kMarkContrast);
        c.bar = c.barMarked = c.chance = c.whisker = c.real = c.expected = c.band = c.twin = grey;
        return c;
    }
    c.bar = mark(QColor(0x5b, 0x8a, 0xc6), QColor(0x5d, 0x9b, 0xe0));
    // Marked bars stand further from the ground than the others, whichever way the ground goes.
    c.barMarked = readable(dark ? QColor(0xbf, 0xdc, 0xff) : QColor(0x1c, 0x3f, 0x78), c.ground,
                           contrastRatio(c.bar, c.ground) * 1.8);
    c.chance = mark(QColor(0xc6, 0x28, 0x28), QColor(0xff, 0x7a, 0x6b));
    c.whisker = readable(c.text, c.ground, kMarkContrast);
    c.real = mark(QColor(0xc6, 0x28, 0x28), QColor(0xff, 0x6b, 0x6b));
    c.expected = mark(QColor(0x15, 0x65, 0xc0), QColor(0x7f, 0xb3, 0xff));
    c.band = mark(QColor(0x5a, 0x86, 0xc0), QColor(0x5d, 0x8f, 0xd0));
    c.twin = mark(QColor(0x8a, 0x8a, 0x8a), QColor(0x80, 0x80, 0x80));
    return c;
}

} // namespace brenvik::ui
