// SPDX-License-Identifier: GPL-3.0-or-later
// How the window compares a tally with chance: the grid's columns and bold rows, the verdict under
// it with the level shared among the searches run, the chart, and where the "?" and the chart's
// picture lead.
#include "HelpWindow.h"
#include "SampleHistory.h"
#include "TallyChart.h"
#include "TallyStatistics.h"
#include "TallyVerdict.h"
#include "WindowFixture.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QTableView>
#include <QTextBrowser>
#include <QtTest>

#include <numeric>

using namespace brenvik;
using namespace brenvik::test;

namespace {

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

class TallyChanceTest : public QObject {
    Q_OBJECT
private slots:
    void gridVerdictAndChartFollowTheStatistics();
    void questionMarkOpensTheManualAtItsSection();
    void chartSavesAsPng_data();
    void chartSavesAsPng();
};

void TallyChanceTest::gridVerdictAndChartFollowTheStatistics() {
    struct Case {
        const char* name;
        std::vector<const char*> clicks; // clicked before the search
        QString range;                   // both range boxes; the whole history when empty
        QString comboSize;               // the combination search with this size; else the follow search
        const char* method;              // how p is reached; empty without a test
    };
    // One window, searches in a row: the verdict's level is shared among the searches so far.
    const Case cases[] = {
        {"follow: 40 codes over ten numbers", {}, {}, {}, "exact"},
        {"combination of one, big/small: many codes", {"Option4(1)"}, {}, QStringLiteral("1"), "chi2"},
        {"nothing in range: no test", {"Option4(0)"}, QStringLiteral("2004001"), {}, ""},
        {"follow, odd/even of positions 1-3", {"Option4(2)", "Option2(5)", "Option5(3)"}, {}, {}, "chi2"},
    };
    WindowFixture f;
    f.storeDraws(sampleDraws("fc3d-history.txt"));
    f.open();
    const auto* grid = f.find<QTableView>("MSFlexGrid3")->model();
    const auto* verdict = f.find<ui::TallyVerdict>("tallyVerdict");
    const auto* chart = f.find<ui::TallyChart>("tallyChart");
    QCOMPARE(verdict->verdict(), QString());
    QVERIFY(chart->bars().isEmpty());
    const QString first = f.find<QLineEdit>("Text3(0)")->text();
    const QString last = f.find<QLineEdit>("Text3(1)")->text();
    bool anyBold = false;

    int searches = 0;
    for (const Case& c : cases) {
        for (const char* name : c.clicks)
            QTest::mouseClick(f.find<QAbstractButton>(QString::fromLatin1(name)), Qt::LeftButton);
        f.find<QLineEdit>("Text3(0)")->setText(c.range.isEmpty() ? first : c.range);
        f.find<QLineEdit>("Text3(1)")->setText(c.range.isEmpty() ? last : c.range);
        if (c.comboSize.isEmpty()) {
            QTest::mouseClick(f.find<QAbstractButton>("Command1"), Qt::LeftButton);
        } else {
            auto* combo = f.find<QComboBox>("Combo1");
            combo->setCurrentIndex(combo->findText(c.comboSize));
            QTest::mouseClick(f.find<QAbstractButton>("Command2"), Qt::LeftButton);
        }
        ++searches;

        // The library's answer for the counts the grid shows.
        std::vector<int> counts;
        for (int r = 0; r < grid->rowCount(); ++r)
            counts.push_back(grid->index(r, 2).data().toInt());
        QVERIFY2(counts.size() >= 2, c.name);
        const int n = std::accumulate(counts.begin(), counts.end(), 0);
        const auto expected = stats::tallyStatistics(counts);
        QCOMPARE(expected ? QString::fromLatin1(stats::methodName(expected->method)) : QString(),
                 QString::fromLatin1(c.method));
        const double chance = 1.0 / static_cast<double>(counts.size());

        QCOMPARE(grid->headerData(4, Qt::Horizontal).toString(), QStringLiteral("随机期望"));
        QCOMPARE(grid->headerData(5, Qt::Horizontal).toString(), QStringLiteral("95%区间"));
        QCOMPARE(chart->chanceLine(), chance * 100);
        QCOMPARE(chart->bars().size(), grid->rowCount());
        for (int r = 0; r < grid->rowCount(); ++r) {
            const auto interval =
                expected ? std::optional(expected->intervals[static_cast<std::size_t>(r)]) : std::nullopt;
            const bool off = interval && stats::excludes(*interval, chance);
            anyBold = anyBold || off;
            QCOMPARE(grid->index(r, 4).data().toString(),
                     expected ? qs(stats::expectedText(expected->expected)) : QStringLiteral("-"));
            QCOMPARE(grid->index(r, 5).data().toString(),
                     interval ? qs(stats::intervalText(*interval)) : QStringLiteral("-"));
            QCOMPARE(grid->index(r, 1).data(Qt::FontRole).value<QFont>().bold(), off);
            QCOMPARE(grid->index(r, 1).data(Qt::ToolTipRole).toString().contains(QStringLiteral("粗体")),
                     off);

            const ui::TallyChart::Bar& bar = chart->bars()[r];
            QCOMPARE(bar.label, grid->index(r, 1).data().toString());
            QCOMPARE(bar.share, n ? counts[static_cast<std::size_t>(r)] * 100.0 / n : 0.0);
            QCOMPARE(bar.low, interval ? std::optional(interval->low * 100) : std::nullopt);
            QCOMPARE(bar.high, interval ? std::optional(interval->high * 100) : std::nullopt);
            QCOMPARE(bar.marked, off);
        }
        QCOMPARE(verdict->verdict(), qs(stats::verdictLine(expected, searches)));
        QVERIFY(verdict->text().contains(QStringLiteral("href")));
    }
    // The real history gives at least one row whose interval leaves out chance.
    QVERIFY(anyBold);
}

void TallyChanceTest::questionMarkOpensTheManualAtItsSection() {
    WindowFixture f;
    f.storeDraws(sampleDraws("fc3d-history.txt"));
    f.open();
    QTest::mouseClick(f.find<QAbstractButton>("Command1"), Qt::LeftButton);
    auto* verdict = f.find<ui::TallyVerdict>("tallyVerdict");
    const QString link =
        verdict->text().section(QStringLiteral("href=\""), 1).section(QLatin1Char('"'), 0, 0);
    emit verdict->linkActivated(link);
    // The program's help window, at the section; no browser is needed.
    ui::HelpWindow* help = f.window().helpWindow();
    QVERIFY(help && help->isVisible());
    QCOMPARE(help->browser().source(), ui::frmMain::manualUrl(QStringLiteral("chance")));
    QVERIFY(f.dialogs.opened.isEmpty());
    // The section is there to be opened.
    QFile manual(help->browser().source().toLocalFile());
    QVERIFY(manual.open(QIODevice::ReadOnly));
    QVERIFY(manual.readAll().contains("id=\"chance\""));
}

void TallyChanceTest::chartSavesAsPng_data() {
    // The file named in the save dialog, relative to the data folder ("" for Cancel) | written |
    // warned.
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("written");
    QTest::addColumn<bool>("warned");
    QTest::newRow("saved") << QStringLiteral("图.png") << true << false;
    QTest::newRow("cancelled") << QString() << false << false;
    QTest::newRow("missing folder") << QStringLiteral("没有/图.png") << false << true;
}

void TallyChanceTest::chartSavesAsPng() {
    QFETCH(QString, answer);
    QFETCH(bool, written);
    QFETCH(bool, warned);
    WindowFixture f;
    f.storeDraws(sampleDraws("fc3d-history.txt"));
    f.open();
    QTest::mouseClick(f.find<QAbstractButton>("Command1"), Qt::LeftButton);
    auto* chart = f.find<ui::TallyChart>("tallyChart");
    const QString file = f.home() + QLatin1Char('/') + answer;
    if (answer.isEmpty())
        f.dialogs.cancel();
    else
        f.dialogs.answer(file);
    auto* save = chart->findChild<QAction*>(QStringLiteral("saveChartPng"));
    QVERIFY(chart->actions().contains(save));
    QCOMPARE(chart->contextMenuPolicy(), Qt::ActionsContextMenu);
    save->trigger();
    QCOMPARE(f.dialogs.shown.value(0).kind, QStringLiteral("saveFile"));
    QCOMPARE(f.dialogs.shown.value(1).kind == QStringLiteral("warn"), warned);
    const QImage image(file);
    QCOMPARE(!answer.isEmpty() && !image.isNull(), written);
    if (written)
        QCOMPARE(image.size(), chart->grab().size());
}

QTEST_MAIN(TallyChanceTest)
#include "TallyChanceTest.moc"
