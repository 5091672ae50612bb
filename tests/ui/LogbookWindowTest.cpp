// SPDX-License-Identifier: GPL-3.0-or-later
// The logbook as the user keeps it: the button beside the tally, and the 预测记录 window.
#include "LogbookWindow.h"
#include "FilterWindow.h"
#include "HistoryStore.h"
#include "Settings.h"
#include "WindowFixture.h"

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QtTest>

#include <functional>

using namespace brenvik;
using namespace brenvik::test;

namespace {

QStringList rowOf(const QAbstractItemModel& m, int row) {
    QStringList out;
    for (int c = 0; c < m.columnCount(); ++c)
        out << m.index(row, c).data().toString();
    return out;
}

// Records the top `pick` of the tally shown; a search from the newest draw first, when the tally
// is not on offer.
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
    void theButtonRecordsTheTallyShown();
    void theWindowScoresEntriesAsTheHistoryChanges();
    void onlyAnEntryNotYetDrawnIsWithdrawn();
    void playsOfTheFilterAreListedWithTheirMoney();
};

void LogbookWindowTest::theButtonRecordsTheTallyShown() {
    WindowFixture f;
    f.storeDraws(smallHistory());
    auto& w = f.open();
    auto* button = f.find<QAbstractButton>("cmdYuce");
    QCOMPARE(button->text(), QStringLiteral("记录本期预测(&R)"));
    const auto click = [&f](const char* name) {
        QTest::mouseClick(f.find<QAbstractButton>(QLatin1String(name)), Qt::LeftButton);
    };
    const auto range = [&f](const char* start, const char* end) {
        f.find<QLineEdit>("Text3(0)")->setText(QLatin1String(start));
        f.find<QLineEdit>("Text3(1)")->setText(QLatin1String(end));
    };
    // Offered only for a current tally that counted draws and answers for the next issue; the tip
    // says why not.
    struct Offer {
        std::function<void()> step;
        const char* tip; // empty: offered
    };
    const Offer offers[] = {
        {[] {}, "还没有统计结果"},
        {[&] { range("2013003", "2013003"), click("Command1"); }, "检索没有找到任何一期"},
        {[&] { range("2013002", "2013010"), click("Command1"); }, ""},
        {[&] { click("Option1(0)"); }, "统计结果已变灰"}, // fixed positions, not searched yet
        {[&] { click("Command2"); }, ""},
        {[&] {
             f.find<QTabWidget>("TabStrip1")->setCurrentIndex(2);
             f.find<QLineEdit>("Text4")->setText(QStringLiteral("2013005"));
             click("Command1");
         },
         "这是验证第 2013005 期的检索，该期已开奖"},
    };
    for (const Offer& o : offers) {
        o.step();
        QCOMPARE(button->isEnabled(), *o.tip == 0);
        if (*o.tip)
            QVERIFY2(button->toolTip().contains(QString::fromUtf8(o.tip)), qPrintable(button->toolTip()));
    }
    // The chosen issue's own draw, and where its outcome stands in the tally shown.
    const ui::GridModel& tally = w.resultGrid();
    int rank = 1;
    while (rank <= tally.rowCount() && tally.cellText(rank - 1, 1) != QStringLiteral("4"))
        ++rank;
    QCOMPARE(f.find<QLabel>("lblChosenDraw")->text(),
             QStringLiteral("第 2013005 期开出 476：第1位 4，排第 %1，%2 期中 %3 期")
                 .arg(rank)
                 .arg(w.matchedGrid().rowCount())
                 .arg(tally.cellText(rank - 1, 2)));
    f.find<QTabWidget>("TabStrip1")->setCurrentIndex(0);

    // Exactly the top of the tally on show, whichever search made it: nothing is searched again.
    struct Recording {
        const char* search;
        int pick;
        const char* asked;
    };
    int id = 0;
    QStringList top;
    for (const Recording& r :
         {Recording{"Command1", 2, "把检索统计结果"}, Recording{"Command2", 3, "把组合检索统计结果"}}) {
        click(r.search);
        const SearchConditions shown = *w.searched();
        top.clear();
        for (int row = 0; row < r.pick; ++row)
            top << w.resultGrid().cellText(row, 1);
        record(f, QString::number(r.pick));
        QCOMPARE(f.dialogs.shown.size(), 2);
        QVERIFY2(f.dialogs.shown[0].text.startsWith(QString::fromUtf8(r.asked)),
                 qPrintable(f.dialogs.shown[0].text));
        QVERIFY(f.dialogs.shown[0].text.contains(QStringLiteral("第 2013011 期")));
        QCOMPARE(f.dialogs.shown[1].text, QStringLiteral("已记录第 2013011 期的预测：%1（编号 %2）。")
                                              .arg(top.join(QLatin1Char(' ')))
                                              .arg(++id));
        QCOMPARE(*w.searched(), shown);
        QCOMPARE(f.setting("intYuceGs"), QString::number(r.pick));
    }
    // Nothing, or no prediction, is recorded for an answer that is none.
    for (const QVariant& answer :
         {QVariant(), QVariant(QStringLiteral("11")), QVariant(QStringLiteral("10"))}) {
        record(f, answer);
        QCOMPARE(f.dialogs.shown.size(), answer.isValid() ? 2 : 1);
        QVERIFY(f.dialogs.shown[0].text.contains(QStringLiteral("1～9")));
    }

    f.find<QAction>("mnuYuce")->trigger();
    ui::LogbookWindow* log = w.logbookWindow();
    QVERIFY(log && log->isVisible());
    QCOMPARE(log->windowTitle(), QStringLiteral("预测记录 — 福彩3D"));
    const auto& grid = log->grid();
    QCOMPARE(grid.rowCount(), id);
    // The conditions lead with what was counted; the game, which the window's title names, goes.
    const QStringList parts =
        QString::fromStdString(conditionSummary(*w.searched(), w.matchedGrid().rowCount()))
            .split(QStringLiteral("｜"));
    QCOMPARE(parts.size(), 4);
    QCOMPARE(parts[2], QStringLiteral("结果：第1位的号码"));
    QVERIFY(parts[1].startsWith(QStringLiteral("组合检索：")));
    QCOMPARE(
        rowOf(grid, 0).mid(1),
        (QStringList{QStringLiteral("2013011"), QStringLiteral("第1位的号码｜%1｜%2").arg(parts[1], parts[3]),
                     top.join(QLatin1Char(' ')), QStringLiteral("-"), QStringLiteral("未开奖"), QString()}));
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

// 缩水 records its kept set as the next issue's play, 组选 or 直选 as chosen there; once the draws
// come the 预测记录 window lists each play's money and the totals.
void LogbookWindowTest::playsOfTheFilterAreListedWithTheirMoney() {
    WindowFixture f;
    f.storeDraws(smallHistory());
    auto& w = f.open();
    QTest::mouseClick(f.find<QAbstractButton>("cmdSuoshui"), Qt::LeftButton);
    auto* filter = f.find<ui::FilterWindow>("frmSuoshui");
    QVERIFY(filter && QTest::qWaitForWindowExposed(filter));
    const auto click = [filter](const char* name) {
        QTest::mouseClick(filter->findChild<QAbstractButton*>(QLatin1String(name)), Qt::LeftButton);
    };
    auto* play = filter->findChild<QAbstractButton*>(QStringLiteral("cmdTouzhu"));
    QCOMPARE(play->text(), QStringLiteral("记录为本期投注(&T)"));
    // 和值 6, 组三 and 组六: 27 numbers, 6 groups.
    QTest::keyClicks(filter->findChild<QLineEdit*>(QStringLiteral("txtSum")), QStringLiteral("6"));
    click("chkForm(1)");
    click("chkForm(2)");
    struct Play {
        const char* ticket;
        const char* setting;
        QString said;
        const char* drawn;
    };
    const Play plays[] = {
        {"optZuxuan", "True", QStringLiteral("已记录第 2013011 期的投注：组选 6 组，花费 12 元（编号 1）。"),
         "060"},
        {"optZhixuan", "False",
         QStringLiteral("已记录第 2013012 期的投注：直选 27 注，花费 54 元（编号 2）。"), "222"},
    };
    for (const Play& p : plays) {
        click(p.ticket);
        QCOMPARE(f.setting("bolSuoshuiZuxuan"), QLatin1String(p.setting));
        f.dialogs.shown.clear();
        f.dialogs.answer(true);
        QTest::mouseClick(play, Qt::LeftButton);
        QCOMPARE(f.dialogs.shown.size(), 2);
        QCOMPARE(f.dialogs.shown[0].kind, QStringLiteral("confirm"));
        QCOMPARE(f.dialogs.shown[1].text, p.said);
        typeDraw(f, QLatin1String(p.drawn));
    }
    // A set of 豹子 alone cannot be played as 组选.
    click("optZuxuan");
    click("chkForm(1)");
    click("chkForm(2)");
    click("chkForm(0)");
    QVERIFY(!play->isEnabled());
    QVERIFY(play->toolTip().contains(QStringLiteral("豹子不能买组选")));

    f.find<QAction>("mnuYuce")->trigger();
    ui::LogbookWindow* log = w.logbookWindow();
    QVERIFY(log);
    const ui::GridModel& grid = log->playsGrid();
    QCOMPARE(grid.rowCount(), 2);
    // Newest first: 开奖, 命中, 中奖, 净额, 累计净额; a 豹子 draw wins no ticket of 直选 组三/组六 numbers.
    QCOMPARE(rowOf(grid, 1).mid(1, 10), (QStringList{"2013011", "和值 6；形态 组三,组六", "组选", "6", "12",
                                                     "060", "命中", "346", "334", "334"}));
    QCOMPARE(rowOf(grid, 0).mid(1, 10), (QStringList{"2013012", "和值 6；形态 组三,组六", "直选", "27", "54",
                                                     "222", "未中", "0", "-54", "280"}));
    QVERIFY2(log->playsSummaryText().startsWith(
                 QStringLiteral("共 2 次投注。已开奖 2 次：花费 66 元，中奖 346 元，净赚 280 元；命中 1 "
                                "次，随机期望 0.05 次，p=")),
             qPrintable(log->playsSummaryText()));
    // Scored, neither play can be withdrawn.
    log->findChild<QTableView*>("playsGrid")->selectRow(0);
    QVERIFY(!log->findChild<QAbstractButton*>("cmdWithdrawPlay")->isEnabled());
}

QTEST_MAIN(LogbookWindowTest)
#include "LogbookWindowTest.moc"
