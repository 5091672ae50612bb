// SPDX-License-Identifier: GPL-3.0-or-later
// The logbook as the user keeps it: the button beside the tally, and the 预测记录 window.
#include "LogbookWindow.h"
#include "HistoryStore.h"
#include "Settings.h"
#include "WindowFixture.h"

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QtTest>

using namespace brenvik;
using namespace brenvik::test;

namespace {

QStringList rowOf(const QAbstractItemModel& m, int row) {
    QStringList out;
    for (int c = 0; c < m.columnCount(); ++c)
        out << m.index(row, c).data().toString();
    return out;
}

// Records the top `pick` of the tally; a search from the newest draw first, when no tally is shown.
void record(WindowFixture& f, const QVariant& pick) {
    auto* button = f.find<QAbstractButton>("cmdYuce");
    if (!button->isEnabled())
        QTest::mouseClick(f.find<QAbstractButton>("Command1"), Qt::LeftButton);
    f.dialogs.shown.clear();
    f.dialogs.answer(pick);
    QTest::mouseClick(button, Qt::LeftButton);
}

void typeDraw(WindowFixture& f, const QString& digits) {
    f.find<QWidget>("MaskEdBox1(1)")->setFocus();
    for (int i = 0; i < 3; ++i)
        QTest::keyClicks(f.find<QWidget>(QStringLiteral("MaskEdBox1(%1)").arg(i + 1)), digits.mid(i, 1));
}

} // namespace

class LogbookWindowTest : public QObject {
    Q_OBJECT
private slots:
    void theButtonRecordsTheTopOfTheTallyForTheNextIssue();
    void theWindowScoresEntriesAsTheHistoryChanges();
    void onlyAnEntryNotYetDrawnIsWithdrawn();
};

void LogbookWindowTest::theButtonRecordsTheTopOfTheTallyForTheNextIssue() {
    WindowFixture f;
    f.storeDraws(smallHistory());
    auto& w = f.open();
    auto* button = f.find<QAbstractButton>("cmdYuce");
    QCOMPARE(button->text(), QStringLiteral("记录本期预测(&R)"));
    f.find<QAbstractButton>("Option1(0)")->click(); // fixed positions
    // The button waits for a tally that counted draws: none before a search, nor after one
    // that found nothing.
    struct Search {
        const char *start, *end;
        bool offered;
    };
    for (const Search& s : {Search{nullptr, nullptr, false}, Search{"2013003", "2013003", false},
                            Search{"2013002", "2013010", true}}) {
        if (s.start) {
            f.find<QLineEdit>("Text3(0)")->setText(QLatin1String(s.start));
            f.find<QLineEdit>("Text3(1)")->setText(QLatin1String(s.end));
            QTest::mouseClick(f.find<QAbstractButton>("Command1"), Qt::LeftButton);
        }
        QCOMPARE(button->isEnabled(), s.offered);
    }
    // A typed pattern on the second tab does not make the prediction: the newest draw does.
    f.find<QTabWidget>("TabStrip1")->setCurrentIndex(1);
    f.find<QLineEdit>("Text2(1)")->setText(QStringLiteral("9"));

    struct Step {
        QVariant answer;
        QString offered; // what the box proposes
        QString said;    // empty: nothing recorded
    };
    const Step steps[] = {
        {QStringLiteral("2"), QStringLiteral("1"),
         QStringLiteral("已记录第 2013011 期的预测：4 0（编号 1）。")},
        {QVariant(), QStringLiteral("2"), {}},
        {QStringLiteral("11"), QStringLiteral("2"), {}},
        // All ten digits would be a hit for certain.
        {QStringLiteral("10"), QStringLiteral("2"), {}},
        {QStringLiteral("1"), QStringLiteral("2"),
         QStringLiteral("已记录第 2013011 期的预测：4（编号 2）。")},
    };
    int recorded = 0;
    for (const Step& s : steps) {
        record(f, s.answer);
        QVERIFY(!f.dialogs.shown.isEmpty());
        QCOMPARE(f.dialogs.shown[0].kind, QStringLiteral("input"));
        QVERIFY2(f.dialogs.shown[0].text.contains(QStringLiteral("第 2013011 期")),
                 qPrintable(f.dialogs.shown[0].text));
        QVERIFY(f.dialogs.shown[0].text.contains(QStringLiteral("1～9")));
        QCOMPARE(f.dialogs.shown.size(), s.answer.isValid() ? 2 : 1);
        if (s.said.isEmpty())
            continue;
        ++recorded;
        QCOMPARE(f.dialogs.shown[1].kind, QStringLiteral("inform"));
        QCOMPARE(f.dialogs.shown[1].text, s.said);
        QCOMPARE(f.setting("intYuceGs"), s.answer.toString());
    }
    QCOMPARE(f.dialogs.shown.size(), 2);
    // The grids show the search that was recorded.
    QVERIFY(w.searched());
    QCOMPARE(w.searched()->pattern, shown(1, 2, 3));
    QVERIFY(!w.searched()->freePositions);

    f.find<QAction>("mnuYuce")->trigger();
    ui::LogbookWindow* log = w.logbookWindow();
    QVERIFY(log && log->isVisible());
    QCOMPARE(log->windowTitle(), QStringLiteral("预测记录 — 福彩3D"));
    const auto& grid = log->grid();
    QCOMPARE(grid.rowCount(), recorded);
    // The conditions lead with what was counted; the game, which the window's title names, goes.
    const QStringList parts =
        QString::fromStdString(conditionSummary(*w.searched(), 2)).split(QStringLiteral("｜"));
    QCOMPARE(parts.size(), 4);
    QCOMPARE(parts[2], QStringLiteral("结果：第1位的号码"));
    QCOMPARE(
        rowOf(grid, 0).mid(1),
        (QStringList{QStringLiteral("2013011"), QStringLiteral("第1位的号码｜%1｜%2").arg(parts[1], parts[3]),
                     QStringLiteral("4"), QStringLiteral("-"), QStringLiteral("未开奖"), QString()}));
    QCOMPARE(grid.gridText(2, 3), QStringLiteral("4 0")); // newest first
}

void LogbookWindowTest::theWindowScoresEntriesAsTheHistoryChanges() {
    WindowFixture f;
    f.storeDraws(smallHistory());
    f.storeDraws(smallHistory(), 1, Game::Pl3);
    auto& w = f.open();
    record(f, QStringLiteral("3"));
    f.find<QAction>("mnuYuce")->trigger();
    ui::LogbookWindow* log = w.logbookWindow();
    QVERIFY(log);
    QCOMPARE(log->grid().gridText(1, 3), QStringLiteral("4 0 1"));

    // Scored when its draw is first stored, for good: deleting or retyping the draw only
    // marks the entry.
    struct Step {
        const char* what;
        QString actual, hit, note;
        std::vector<double> hits, expected;
    };
    const Step steps[] = {
        {"typed 1 5 5", QStringLiteral("1"), QStringLiteral("命中"), {}, {1}, {0.3}},
        {"deleted",
         QStringLiteral("1"),
         QStringLiteral("命中"),
         QStringLiteral("开奖号码已变：记录时 155，现已删除"),
         {1},
         {0.3}},
        {"typed 7 0 0",
         QStringLiteral("1"),
         QStringLiteral("命中"),
         QStringLiteral("开奖号码已变：记录时 155，现为 700"),
         {1},
         {0.3}},
    };
    for (const Step& s : steps) {
        const QString what = QLatin1String(s.what);
        if (what.startsWith(QStringLiteral("typed")))
            typeDraw(f, what.mid(6).remove(QLatin1Char(' ')));
        else
            f.find<QAction>("mnuErase")->trigger();
        QCOMPARE(log->grid().gridText(1, 4), s.actual);
        QCOMPARE(log->grid().gridText(1, 5), s.hit);
        QCOMPARE(log->grid().gridText(1, 6), s.note);
        QCOMPARE(log->cumulativeHits(), s.hits);
        QCOMPARE(log->cumulativeExpected().size(), s.expected.size());
        for (std::size_t i = 0; i < s.expected.size(); ++i)
            QVERIFY(std::abs(log->cumulativeExpected()[i] - s.expected[i]) < 1e-12);
    }
    QVERIFY2(log->summaryText().contains(QStringLiteral("已计分 1 条，命中 1 次，随机期望 0.30 次，p=0.3")),
             qPrintable(log->summaryText()));

    // A double click writes the grid to the game's spreadsheet and opens it.
    QTest::mouseDClick(log->findChild<QTableView*>("logbookGrid")->viewport(), Qt::LeftButton, {},
                       QPoint(20, 10));
    QCOMPARE(f.dialogs.opened.size(), 1);
    QCOMPARE(f.dialogs.opened[0].toLocalFile(), f.home() + QStringLiteral("/Yuce.xlsx"));
    QVERIFY(QFile::exists(f.home() + QStringLiteral("/Yuce.xlsx")));

    // The other game's logbook is its own, and its spreadsheet too.
    f.find<QAction>("mnu3D(1)")->trigger();
    QCOMPARE(log->windowTitle(), QStringLiteral("预测记录 — 体彩排列3"));
    QCOMPARE(log->grid().rowCount(), 0);
    QTest::mouseDClick(log->findChild<QTableView*>("logbookGrid")->viewport(), Qt::LeftButton, {},
                       QPoint(20, 10));
    QCOMPARE(f.dialogs.opened.last().toLocalFile(), f.home() + QStringLiteral("/YucePL3.xlsx"));
    f.find<QAction>("mnu3D(0)")->trigger();
    QCOMPARE(log->grid().rowCount(), 1);

    // Scored, the entry cannot be withdrawn, and it reads the same once the program starts again.
    log->findChild<QTableView*>("logbookGrid")->selectRow(0);
    QVERIFY(!log->findChild<QAbstractButton*>("cmdWithdraw")->isEnabled());
    f.close();
    auto& again = f.open();
    f.find<QAction>("mnuYuce")->trigger();
    QCOMPARE(again.logbookWindow()->grid().gridText(1, 5), QStringLiteral("命中"));
    QCOMPARE(again.logbookWindow()->grid().gridText(1, 6),
             QStringLiteral("开奖号码已变：记录时 155，现为 700"));
}

void LogbookWindowTest::onlyAnEntryNotYetDrawnIsWithdrawn() {
    WindowFixture f;
    f.storeDraws(smallHistory());
    auto& w = f.open();
    record(f, QStringLiteral("1"));
    typeDraw(f, QStringLiteral("123"));
    record(f, QStringLiteral("2"));
    f.find<QAction>("mnuYuce")->trigger();
    ui::LogbookWindow* log = w.logbookWindow();
    QVERIFY(log);
    auto* grid = log->findChild<QTableView*>("logbookGrid");
    auto* withdraw = log->findChild<QAbstractButton*>("cmdWithdraw");
    QCOMPARE(grid->model()->rowCount(), 2);
    QVERIFY(!withdraw->isEnabled()); // nothing selected

    struct Step {
        int row;
        bool offered;
        QVariant confirm;
        int left;
    };
    // Row 0: the entry for 2013012, not drawn; row 1: the one for 2013011, scored.
    const Step steps[] = {{1, false, {}, 2}, {0, true, false, 2}, {0, true, true, 1}};
    for (const Step& s : steps) {
        grid->selectRow(s.row);
        QCOMPARE(withdraw->isEnabled(), s.offered);
        if (!s.offered)
            continue;
        f.dialogs.shown.clear();
        f.dialogs.answer(s.confirm);
        QTest::mouseClick(withdraw, Qt::LeftButton);
        QCOMPARE(f.dialogs.shown.size(), 1);
        QCOMPARE(f.dialogs.shown[0].text,
                 QStringLiteral("撤回第 2013012 期的预测（编号 2）吗？撤回后不能恢复。"));
        QCOMPARE(grid->model()->rowCount(), s.left);
    }
    QCOMPARE(log->grid().gridText(1, 1), QStringLiteral("2013011"));
}

QTEST_MAIN(LogbookWindowTest)
#include "LogbookWindowTest.moc"
