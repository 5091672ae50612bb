// SPDX-License-Identifier: GPL-3.0-or-later
// The window and the command-line companion answer the same question the same way, on the
// same data folder: the tally, how it compares with chance, and the draws found.
#include "SampleHistory.h"
#include "TallyStatistics.h"
#include "TallyVerdict.h"
#include "WindowFixture.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>

using namespace brenvik;
using namespace brenvik::test;

namespace {

struct Case {
    const char* name;
    std::vector<const char*> clicks; // controls clicked in the window, in order
    int tab = 0;
    QString typed;     // pattern typed into Text22(1..3) on the second tab
    QString before;    // issue for the third tab, with Check4 ticked
    int back = 0;      // N typed into MaskEdBox2
    QString comboSize; // chosen in Combo1; empty for the follow search
    QStringList cli;   // the same options for the companion
};

QStringList gridLines(const QAbstractItemModel* m) {
    QStringList lines;
    for (int r = 0; r < m->rowCount(); ++r) {
        QStringList cells;
        for (int c = 1; c < m->columnCount(); ++c)
            cells << m->index(r, c).data().toString();
        lines << cells.join(QLatin1Char(' '));
    }
    return lines;
}

// The chance columns as the window shows them, from the companion's unrounded numbers.
QString chanceCells(const QJsonObject& t) {
    const QJsonValue expected = t.value(QStringLiteral("expected"));
    if (expected.isNull())
        return QStringLiteral("- -");
    const stats::Interval interval{t.value(QStringLiteral("low95")).toDouble() / 100,
                                   t.value(QStringLiteral("high95")).toDouble() / 100};
    return QString::fromStdString(stats::expectedText(expected.toDouble()) + " " +
                                  stats::intervalText(interval));
}

QStringList companionLines(const QString& home, const QStringList& args, QList<qint64>* draws) {
    QProcess p;
    p.start(QStringLiteral(BRENVIK_CLI),
            QStringList{QStringLiteral("--home"), home} + args +
                QStringList{QStringLiteral("--format"), QStringLiteral("json"), QStringLiteral("--matched")});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        qWarning("companion failed: %s", p.readAllStandardError().constData());
    const QJsonObject o = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    QStringList lines;
    for (const QJsonValue& v : o.value(QStringLiteral("tally")).toArray()) {
        const QJsonObject t = v.toObject();
        const QJsonValue percent = t.value(QStringLiteral("percent"));
        lines << QStringLiteral("%1 %2 %3 %4")
                     .arg(t.value(QStringLiteral("label")).toString())
                     .arg(t.value(QStringLiteral("count")).toInt())
                     .arg(percent.isNull() ? QStringLiteral("-")
                                           : QString::asprintf("%.3f%%", percent.toDouble()))
                     .arg(chanceCells(t));
    }
    for (const QJsonValue& v : o.value(QStringLiteral("draws")).toArray())
        draws->push_back(v.toInteger());
    return lines;
}

// The lines the companion prints for a search: what it searched with first, the verdict under
// the tally.
QStringList companionText(const QString& home, const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(BRENVIK_CLI), QStringList{QStringLiteral("--home"), home} + args);
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'));
}

} // namespace

class CompanionAgreementTest : public QObject {
    Q_OBJECT
private slots:
    void sameTalliesAsTheWindow_data();
    void sameTalliesAsTheWindow();
};

void CompanionAgreementTest::sameTalliesAsTheWindow_data() {
    QTest::addColumn<int>("index");
    for (int i = 0; i < 6; ++i)
        QTest::newRow(QByteArray::number(i).constData()) << i;
}

void CompanionAgreementTest::sameTalliesAsTheWindow() {
    QFETCH(int, index);
    const std::vector<Case> cases = {
        {"free, last draw", {}, 0, {}, {}, 0, {}, {QStringLiteral("follow")}},
        {"fixed, 3 back, big/small, odd/even of positions 1-2",
         {"Option1(0)", "Option1(2)", "Option3(1)", "Option4(2)", "Option5(2)", "Option2(5)"},
         0,
         {},
         {},
         3,
         {},
         {"follow", "--positions", "fixed", "--back", "3", "--type", "bigsmall", "--result-type", "oddeven",
          "--result-pos", "2", "--group"}},
        {"typed pattern, positions 1 and 3, segments",
         {"Check11(2)", "Option4(3)", "Option5(3)"},
         1,
         QStringLiteral("2,9,4"),
         {},
         0,
         {},
         {"follow", "--pattern", "2,9,4", "--check", "1,3", "--result-type", "segment", "--result-pos", "3"}},
        {"the draw before a chosen issue",
         {"Option1(0)", "Check1(12)"},
         2,
         {},
         QStringLiteral("2015100"),
         0,
         {},
         {"follow", "--positions", "fixed", "--before", "2015100", "--check", "1,3"}},
        {"combination, fixed, size 1",
         {"Option1(0)"},
         0,
         {},
         {},
         0,
         QStringLiteral("1"),
         {"combo", "--positions", "fixed", "--size", "1"}},
        {"combination, free, 2 back, size 2, odd/even",
         {"Option1(2)", "Option3(2)", "Option4(1)"},
         0,
         {},
         {},
         2,
         QStringLiteral("2"),
         {"combo", "--back", "2", "--type", "oddeven", "--result-type", "bigsmall"}},
    };
    const Case& c = cases[static_cast<std::size_t>(index)];

    WindowFixture f;
    f.storeDraws(sampleDraws("fc3d-history.txt"));
    f.open();
    // The pattern source first, so that the check boxes of its tab can be clicked.
    auto* tabs = f.find<QTabWidget>("TabStrip1");
    if (c.tab == 1) {
        tabs->setCurrentIndex(1);
        const QStringList values = c.typed.split(QLatin1Char(','));
        for (int p = 1; p <= 3; ++p) {
            auto* box = f.find<QLineEdit>(QStringLiteral("Text22(%1)").arg(p));
            box->setFocus();
            QTest::keyClicks(box, values[p - 1]);
        }
        f.find<QWidget>("Text3(0)")->setFocus();
    } else if (c.tab == 2) {
        // The chosen issue and its limit are the third tab's.
        tabs->setCurrentIndex(2);
        f.find<QLineEdit>("Text4")->setText(c.before);
        QTest::mouseClick(f.find<QAbstractButton>("Check4"), Qt::LeftButton);
    }
    if (c.back) {
        auto* box = f.find<QLineEdit>("MaskEdBox2");
        box->setFocus();
        QTest::keyClicks(box, QString::number(c.back));
        f.find<QWidget>("Text3(0)")->setFocus();
    }
    for (const char* name : c.clicks)
        QTest::mouseClick(f.find<QAbstractButton>(QString::fromLatin1(name)), Qt::LeftButton);
    if (c.comboSize.isEmpty()) {
        QTest::mouseClick(f.find<QAbstractButton>("Command1"), Qt::LeftButton);
    } else {
        auto* combo = f.find<QComboBox>("Combo1");
        combo->setCurrentIndex(combo->findText(c.comboSize));
        QTest::mouseClick(f.find<QAbstractButton>("Command2"), Qt::LeftButton);
    }

    QList<qint64> draws;
    const QStringList window = gridLines(f.find<QTableView>("MSFlexGrid3")->model());
    const QStringList companion = companionLines(f.home(), c.cli, &draws);
    QVERIFY2(!window.isEmpty(), c.name);
    QCOMPARE(companion, window);
    const auto* matched = f.find<QTableView>("MSFlexGrid2")->model();
    QCOMPARE(draws.size(), matched->rowCount());
    QVERIFY2(matched->rowCount() > 0, c.name);
    for (int r = 0; r < matched->rowCount(); ++r)
        QCOMPARE(draws[r], matched->index(r, 0).data().toLongLong());
    const QStringList text = companionText(f.home(), c.cli);
    QCOMPARE(text.value(0), f.find<QLabel>("conditionSummary")->text());
    // The window's first search shares its level with no other, as each run of the companion.
    const auto verdict = text.filter(QStringLiteral("与随机相比"));
    QCOMPARE(verdict.size(), 1);
    QCOMPARE(verdict[0], f.find<ui::TallyVerdict>("tallyVerdict")->verdict());
}

QTEST_MAIN(CompanionAgreementTest)
#include "CompanionAgreementTest.moc"
