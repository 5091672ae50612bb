// SPDX-License-Identifier: GPL-3.0-or-later
// Every chart of the window under a light and a dark desktop theme: its ground follows the theme,
// its text stands out from the ground by 4.5:1 and every line, bar and mark that carries meaning
// by 3:1, measured on the colours the charts were given to draw with.
#include "BacktestWindow.h"
#include "FilterWindow.h"
#include "LogbookWindow.h"
#include "SampleHistory.h"
#include "TallyChart.h"
#include "ThemedChartView.h"
#include "TrendView.h"
#include "TrendWindow.h"
#include "WindowFixture.h"

#include <QAbstractButton>
#include <QAction>
#include <QAreaSeries>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QLabel>
#include <QLegend>
#include <QLineEdit>
#include <QLineSeries>
#include <QSpinBox>
#include <QStyle>
#include <QValueAxis>
#include <QtTest>

using namespace brenvik;
using namespace brenvik::test;
using ui::contrastRatio;

namespace {

QPalette darkPalette() {
    QPalette p;
    const QColor window(0x35, 0x35, 0x35), base(0x24, 0x24, 0x24), text(0xee, 0xee, 0xee);
    for (QPalette::ColorRole r : {QPalette::Window, QPalette::Button, QPalette::AlternateBase})
        p.setColor(r, window);
    p.setColor(QPalette::Base, base);
    for (QPalette::ColorRole r : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(r, text);
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(0x80, 0x80, 0x80));
    p.setColor(QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
    p.setColor(QPalette::Link, QColor(0x6c, 0xb4, 0xff));
    return p;
}

// Failures gathered over a whole chart, so that one run tells every colour that falls short.
struct Measure {
    QStringList shortfalls;
    void check(const QString& what, const QColor& a, const QColor& b, double least) {
        if (contrastRatio(a, b) + 1e-9 < least)
            shortfalls << QStringLiteral("%1 %2 on %3: %4")
                              .arg(what, a.name(), b.name())
                              .arg(contrastRatio(a, b), 0, 'f', 2);
    }
};

void measureChart(Measure& m, const QString& chartName, const QChart* chart) {
    const QColor ground = chart->backgroundBrush().color();
    const auto name = [&chartName](const QString& what) { return chartName + QLatin1Char(' ') + what; };
    if (!chart->title().isEmpty())
        m.check(name(QStringLiteral("title")), chart->titleBrush().color(), ground, ui::kTextContrast);
    if (chart->legend()->isVisible())
        m.check(name(QStringLiteral("legend")), chart->legend()->labelColor(), ground, ui::kTextContrast);
    for (const QAbstractAxis* axis : chart->axes()) {
        m.check(name(QStringLiteral("axis labels")), axis->labelsBrush().color(), ground, ui::kTextContrast);
        if (!axis->titleText().isEmpty())
            m.check(name(QStringLiteral("axis title")), axis->titleBrush().color(), ground,
                    ui::kTextContrast);
        m.check(name(QStringLiteral("axis line")), axis->linePen().color(), ground, ui::kMarkContrast);
    }
    for (const QAbstractSeries* s : chart->series()) {
        const QString what = name(s->objectName());
        if (const auto* line = qobject_cast<const QLineSeries*>(s))
            m.check(what, line->pen().color(), ground, ui::kMarkContrast);
        else if (const auto* area = qobject_cast<const QAreaSeries*>(s))
            m.check(what, area->pen().color(), ground, ui::kMarkContrast);
        else if (const auto* bars = qobject_cast<const QBarSeries*>(s))
            for (QBarSet* set : bars->barSets()) {
                m.check(what, set->color(), ground, ui::kMarkContrast);
                m.check(what + QStringLiteral(" marked"), set->selectedColor(), ground, ui::kMarkContrast);
            }
    }
}

} // namespace

class ContrastTest : public QObject {
    Q_OBJECT
private slots:
    void chartsAreReadable_data();
    void chartsAreReadable();
};

void ContrastTest::chartsAreReadable_data() {
    QTest::addColumn<bool>("dark");
    QTest::newRow("light") << false;
    QTest::newRow("dark") << true;
}

void ContrastTest::chartsAreReadable() {
    QFETCH(bool, dark);
    const QPalette before = QApplication::palette();
    const QPalette palette = dark ? darkPalette() : QApplication::style()->standardPalette();
    {
        WindowFixture f;
        f.storeDraws(sampleDraws("fc3d-history.txt"));
        auto& w = f.open();
        // A tally with a marked bar and whiskers, a backtest with twins, the 缩水 record, the
        // logbook and the trend chart, all open at once.
        QTest::mouseClick(f.find<QAbstractButton>("Command1"), Qt::LeftButton);
        QTest::mouseClick(f.find<QAbstractButton>("cmdHuice"), Qt::LeftButton);
        auto* backtest = w.findChild<ui::BacktestWindow*>();
        QVERIFY(backtest);
        backtest->findChild<QLineEdit*>(QStringLiteral("txtStart"))->setText(QStringLiteral("2025001"));
        backtest->findChild<QSpinBox*>(QStringLiteral("spnTwins"))->setValue(3);
        QSignalSpy ended(backtest, &ui::BacktestWindow::ended);
        backtest->start();
        QVERIFY(ended.wait(30000));
        f.find<QAction>("mnuSuoshui")->trigger();
        f.find<QAction>("mnuYuce")->trigger();
        QTest::mouseClick(f.find<QAbstractButton>("cmdTrend"), Qt::LeftButton);
        // The desktop's theme changes while the windows are open.
        QApplication::setPalette(palette);
        QApplication::processEvents();

        Measure m;
        int charts = 0;
        for (const char* name : {"tallyChart", "chtHuice", "chtSuoshui", "logbookChart"}) {
            auto* view = w.findChild<ui::ThemedChartView*>(QLatin1String(name));
            QVERIFY2(view, name);
            const QChart* chart = view->chart();
            // The ground is the theme's, not a white card on a dark window.
            QCOMPARE(chart->backgroundBrush().color(), palette.color(QPalette::Base));
            QVERIFY2(!chart->series().isEmpty(), name);
            measureChart(m, QLatin1String(name), chart);
            ++charts;
        }
        QCOMPARE(charts, 4);
        // The tally's whiskers are painted over the bars, with a halo of the ground.
        auto* tallyChart = w.findChild<ui::TallyChart*>(QStringLiteral("tallyChart"));
        const ui::ChartColours& tally = tallyChart->colours();
        m.check(QStringLiteral("whisker"), tally.whisker, tally.ground, ui::kMarkContrast);
        m.check(QStringLiteral("whisker on its halo"), tally.whisker, tally.halo, ui::kMarkContrast);
        // Each bar is drawn as it was coloured: the marked ones in their own colour.
        // Bars wide enough to find beside their whiskers: the window wide, the chart with it.
        w.resize(2000, 1000);
        QTRY_VERIFY(tallyChart->width() >= 500);
        QApplication::processEvents();
        const QImage drawn = tallyChart->grab().toImage();
        auto* series = tallyChart->chart()->series().constFirst();
        int marked = 0;
        for (qsizetype i = 0; i < tallyChart->bars().size(); ++i) {
            const auto& bar = tallyChart->bars()[i];
            if (bar.share <= 0)
                continue;
            // Beside the whisker and its caps, below the line of chance.
            const double y = std::min(bar.share, tallyChart->chanceLine()) / 2;
            const QPointF inBar =
                tallyChart->chart()->mapToPosition(QPointF(static_cast<double>(i) + 0.2, y), series);
            const QPoint at = tallyChart->mapFromScene(tallyChart->chart()->mapToScene(inBar));
            const QColor want = bar.marked ? tally.barMarked : tally.bar;
            const QColor got = drawn.pixelColor(at * drawn.devicePixelRatio());
            marked += bar.marked;
            QVERIFY2(std::abs(got.red() - want.red()) + std::abs(got.green() - want.green()) +
                             std::abs(got.blue() - want.blue()) <
                         30,
                     qPrintable(QStringLiteral("bar %1: %2, not %3").arg(i).arg(got.name(), want.name())));
        }
        QVERIFY(marked > 0);

        auto* trend = w.findChild<ui::TrendWindow*>();
        QVERIFY(trend);
        const ui::TrendColours& t = trend->view().layout().colours;
        QCOMPARE(t.ground, palette.color(QPalette::Base));
        m.check(QStringLiteral("trend captions"), t.text, t.header, ui::kTextContrast);
        for (int position = -1; position < 3; ++position)
            for (bool odd : {false, true}) {
                const QColor row = t.rowGround(position, odd);
                m.check(QStringLiteral("trend issue"), t.text, row, ui::kTextContrast);
                m.check(QStringLiteral("trend omission"), t.omission, row, ui::kTextContrast);
                for (std::size_t p = 0; p < 3; ++p)
                    m.check(QStringLiteral("trend ball %1").arg(p), t.balls[p], row, ui::kMarkContrast);
            }
        for (std::size_t p = 0; p < 3; ++p) {
            m.check(QStringLiteral("trend ball digit"), t.ballText[p], t.balls[p], ui::kTextContrast);
            m.check(QStringLiteral("trend group caption"), t.captions[p], t.header, ui::kTextContrast);
        }
        m.check(QStringLiteral("trend count above chance"), t.up, t.header, ui::kTextContrast);
        m.check(QStringLiteral("trend count below chance"), t.down, t.header, ui::kTextContrast);

        // A problem said in red, and the hint over an empty history, on their own grounds.
        auto* filter = w.findChild<ui::FilterWindow*>();
        filter->findChild<QLineEdit*>(QStringLiteral("txtFilterStart"))->setText(QStringLiteral("x"));
        auto* problem = filter->findChild<QLabel*>(QStringLiteral("lblRecord"));
        QCOMPARE(problem->text().isEmpty(), false);
        m.check(QStringLiteral("problem line"), problem->palette().color(QPalette::WindowText),
                problem->palette().color(QPalette::Window), ui::kTextContrast);
        QVERIFY(problem->palette().color(QPalette::WindowText).red() >
                problem->palette().color(QPalette::WindowText).blue());
        auto* hint = f.find<QLabel>("emptyHistoryHint");
        m.check(QStringLiteral("empty history hint"), hint->palette().color(QPalette::WindowText),
                hint->parentWidget()->palette().color(QPalette::Base), ui::kTextContrast);
        QVERIFY2(m.shortfalls.isEmpty(), qPrintable(m.shortfalls.join(QStringLiteral("; "))));
    }
    QApplication::setPalette(before);
}

QTEST_MAIN(ContrastTest)
#include "ContrastTest.moc"
