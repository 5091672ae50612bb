// SPDX-License-Identifier: GPL-3.0-or-later
// The searches as a user runs them: options clicked, the button pressed, both grids read.
#include "BacktestWindow.h"
#include "CombinationSearch.h"
#include "FollowSearch.h"
#include "HistoryStore.h"
#include "SampleHistory.h"
#include "Settings.h"
#include "Tally.h"
#include "TallyChart.h"
#include "ThemedChartView.h"
#include "TrendWindow.h"
#include "WindowFixture.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>

using namespace brenvik;
using namespace brenvik::test;

namespace {

QStringList rowOf(const QAbstractItemModel* m, int row) {
    QStringList out;
    for (int c = 0; c < m->columnCount(); ++c)
        out << m->index(row, c).data().toString();
    return out;
}

QStringList columnOf(const QAbstractItemModel* m, int column) {
    QStringList out;
    for (int r = 0; r < m->rowCount(); ++r)
        out << m->index(r, column).data().toString();
    return out;
}

void click(WindowFixture& f, const char* name) {
    QTest::mouseClick(f.find<QAbstractButton>(name), Qt::LeftButton);
}

} // namespace

class SearchWindowTest : public QObject {
    Q_OBJECT
private slots:
    void followSearchFillsBothGridsAndTheTally();
    void groupFlagAndResultType();
    void nBackShowsTheDrawNBefore();
    void noMatchListsEveryOutcome();
    void aRefusalHoweverTheSearchIsStarted_data();
    void aRefusalHoweverTheSearchIsStarted();
    void enterRunsTheSearchTheSummaryTells();
    void acceleratorKeyAndTypedPattern();
    void agreesWithTheEngineOnTheRealHistory();
    void combinationSearchTakesTheChosenSize();
    void combinationSizeIsOneToThree_data();
    void combinationSizeIsOneToThree();
    void wheelScrollsOnlyTheFocusedGrid();
    void segmentsStoredUnderTheOtherParameterAreRebuiltOnRequest();
    void aRangeThatStartsAfterItsEndIsRefusedEverywhere();
    void theResultShownIsCurrent_data();
    void theResultShownIsCurrent();
};

void SearchWindowTest::followSearchFillsBothGridsAndTheTally() {
    WindowFixture f;
    f.storeDraws(smallHistory());
    f.open();
    // Fixed positions, pattern from the last draw 1 2 3: draws after 1 2 3 are 2013002, 2013005.
    click(f, "Option1(0)");
    click(f, "Option5(2)");
    click(f, "Command1");
    const auto* matched = f.find<QTableView>("MSFlexGrid2")->model();
    QCOMPARE(matched->rowCount(), 2);
    QCOMPARE(matched->headerData(4, Qt::Horizontal).toString(), QStringLiteral("上期开奖"));
    QCOMPARE(rowOf(matched, 0), (QStringList{"2013002", "4", "5", "6", "123"}));
    QCOMPARE(rowOf(matched, 1), (QStringList{"2013005", "4", "7", "6", "123"}));
    const auto* result = f.find<QTableView>("MSFlexGrid3")->model();
    QCOMPARE(result->rowCount(), 10);
    QCOMPARE(rowOf(result, 0).first(4), (QStringList{"1", "5", "1", "50.000%"}));
    QCOMPARE(rowOf(result, 1).first(4), (QStringList{"2", "7", "1", "50.000%"}));
    QCOMPARE(rowOf(result, 2).first(4), (QStringList{"3", "0", "0", "0.000%"}));
    QCOMPARE(rowOf(result, 9).first(4), (QStringList{"10", "9", "0", "0.000%"}));
    // The tally table holds every outcome in ascending order.
    f.close();
    auto store = HistoryStore::open(std::filesystem::path(f.home().toStdString()) / kDatabaseFile);
    QVERIFY(store.has_value());
    const auto tally = (*store)->readTally();
    QVERIFY(tally.has_value());
    QCOMPARE(tally->size(), std::size_t(10));
    QCOMPARE((*tally)[5], (std::pair<int, int>{5, 1}));
    QCOMPARE((*tally)[7], (std::pair<int, int>{7, 1}));
    QCOMPARE((*tally)[0], (std::pair<int, int>{0, 0}));
}

void SearchWindowTest::groupFlagAndResultType() {
    WindowFixture f;
    f.storeDraws(smallHistory());
    f.open();
    click(f, "Option1(0)");
    click(f, "Option2(5)"); // 组选: positions 1 up to the result position
    click(f, "Option5(3)");
    click(f, "Option4(1)"); // big/small
    click(f, "Command1");
    const auto* result = f.find<QTableView>("MSFlexGrid3")->model();
    // Following draws 4 5 6 and 4 7 6: small, big, big twice: 4 big of 6 codes.
    QCOMPARE(result->rowCount(), 2);
    QCOMPARE(rowOf(result, 0).first(4), (QStringList{"1", "大", "4", "66.667%"}));
    QCOMPARE(rowOf(result, 1).first(4), (QStringList{"2", "小", "2", "33.333%"}));
    const auto* matched = f.find<QTableView>("MSFlexGrid2")->model();
    QCOMPARE(rowOf(matched, 0), (QStringList{"2013002", "0", "1", "1", "123"}));
}

void SearchWindowTest::nBackShowsTheDrawNBefore() {
    WindowFixture f;
    f.storeDraws(smallHistory());
    f.open();
    // Three draws back the pattern is 4 5 9 (2013008); fixed position 1 only: a 4 there.
    click(f, "Option1(2)");
    auto* box = f.find<QLineEdit>("MaskEdBox2");
    box->setFocus();
    QTest::keyClicks(box, QStringLiteral("3"));
    click(f, "Option1(0)"); // leaves the box, takes N = 3, fixed positions
    QCOMPARE(f.find<QLineEdit>("Text2(1)")->text(), QStringLiteral("4"));
    f.find<QAbstractButton>("Check1(2)")->setChecked(false);
    f.find<QAbstractButton>("Check1(3)")->setChecked(false);
    click(f, "Command1");
    const auto* matched = f.find<QTableView>("MSFlexGrid2")->model();
    QCOMPARE(matched->headerData(4, Qt::Horizontal).toString(), QStringLiteral("前期开奖"));
    // 4 at position 1 three draws back: 2013002 -> 2013005, 2013005 -> 2013008, 2013008 -> 2013011 (none).
    QCOMPARE(columnOf(matched, 0), (QStringList{"2013005", "2013008"}));
    QCOMPARE(columnOf(matched, 4), (QStringList{"456", "476"}));
    QCOMPARE(f.find<QLineEdit>("Text3(0)")->text(), QStringLiteral("2013004"));
}

void SearchWindowTest::noMatchListsEveryOutcome() {
    WindowFixture f;
    f.storeDraws(smallHistory());
    f.open();
    f.find<QTabWidget>("TabStrip1")->setCurrentIndex(1);
    for (int p = 1; p <= 3; ++p) {
        auto* box = f.find<QLineEdit>(QStringLiteral("Text22(%1)").arg(p));
        box->setFocus();
        QTest::keyClicks(box, QStringLiteral("7"));
    }
    click(f, "Command1");
    QCOMPARE(f.find<QTableView>("MSFlexGrid2")->model()->rowCount(), 0);
    const auto* result = f.find<QTableView>("MSFlexGrid3")->model();
    QCOMPARE(result->rowCount(), 10);
    QCOMPARE(columnOf(result, 1), (QStringList{"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}));
    QCOMPARE(columnOf(result, 3), QStringList(10, QStringLiteral("-")));
}

void SearchWindowTest::aRefusalHoweverTheSearchIsStarted_data() {
    // Tab and "N" for N-back mode | box | typed | pressed by | what the message says.
    QTest::addColumn<QString>("row");
    for (const char* row :
         {"0N|MaskEdBox2|0|mouse|N 须为 1 到 9", "0N|MaskEdBox2|\b|alt|N 须为 1 到 9",
          "0|Combo1|0|enter|组合位数须为 1 到 3 的整数，现在是“0”", "0|Combo1|32768|mouse|现在是“32768”",
          "0|Text3(0)|2013x10|enter|起始期号“2013x10”", "0|Text3(1)|\b|alt|截止期号为空",
          "2|Text4|20130|alt|指定期号“20130”", "2|Text4|2013001|enter|第 2013001 期之前没有历史号码",
          // One draw lies before 2013003, too few for three back, as the companion says too.
          "2N|Text4|2013003|mouse|无法取前 3 期的检索号码"})
        QTest::newRow(row) << QString::fromUtf8(row);
}

void SearchWindowTest::aRefusalHoweverTheSearchIsStarted() {
    QFETCH(QString, row);
    const QStringList c = row.split(QLatin1Char('|'));
    const QString &setup = c[0], &box = c[1], &press = c[3];
    WindowFixture f;
    f.storeDraws(smallHistory());
    auto& w = f.open();
    click(f, "Command1");
    const auto before = w.searched();
    if (setup.endsWith(QLatin1Char('N'))) {
        click(f, "Option1(2)");
        auto* n = f.find<QLineEdit>("MaskEdBox2");
        n->setFocus();
        QTest::keyClicks(n, QStringLiteral("3"));
    }
    f.find<QTabWidget>("TabStrip1")->setCurrentIndex(setup.left(1).toInt());
    const bool combination = box == QLatin1String("Combo1");
    auto* edit = combination ? f.find<QComboBox>("Combo1")->lineEdit() : f.find<QLineEdit>(box);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, c[2]);
    if (press == QLatin1String("mouse"))
        click(f, combination ? "Command2" : "Command1");
    else if (press == QLatin1String("alt"))
        QTest::keyClick(&w, combination ? Qt::Key_G : Qt::Key_S, Qt::AltModifier);
    else
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTRY_COMPARE(f.dialogs.shown.size(), 1);
    QVERIFY2(f.dialogs.shown[0].text.contains(c[4]), qPrintable(f.dialogs.shown[0].text));
    QCOMPARE(w.searched(), before);
    QVERIFY(edit->hasFocus() || edit->parentWidget()->hasFocus());
}

void SearchWindowTest::enterRunsTheSearchTheSummaryTells() {
    WindowFixture f;
    f.storeDraws(smallHistory());
    f.open();
    auto* summary = f.find<QLabel>("conditionSummary");
    auto* tabs = f.find<QTabWidget>("TabStrip1");
    click(f, "Option1(0)");
    click(f, "Command1");
    QCOMPARE(summary->text(), QStringLiteral("福彩3D｜检索：固定位，上期，号码 1 2 3，比较第1、2、3位，"
                                             "期号 2013002～2013010｜结果：第1位的号码｜找到 2 期"));
    // Enter in any box of a search runs it; a change of anything it depends on leaves the results
    // those of the conditions before, until the next search.
    struct Step {
        int tab;
        const char* box;
        std::function<void()> change;
        bool stale = true;
    };
    const std::vector<Step> steps = {
        {0, "Text2(1)", [&] { click(f, "Option4(1)"); }},
        {1, "Text22(2)", [&] { click(f, "Check11(2)"); }},
        {2, "Text2(12)", [&] { f.find<QLineEdit>("Text2(12)")->setText(QStringLiteral("7")); }},
        {2, "Text4", [&] { f.find<QLineEdit>("Text3(0)")->setText(QStringLiteral("2013005")); }},
        {0, "Text3(0)", [&] { tabs->setCurrentIndex(1); }},
        {0, "MaskEdBox2", [&] { f.find<QAction>("mnuDscs(0)")->trigger(); }},
        {0, "Combo1", [&] { f.find<QComboBox>("Combo1")->setEditText(QStringLiteral("3")); }},
        // N means nothing to a search from the last draw.
        {0, "Text3(1)", [&] { f.find<QLineEdit>("MaskEdBox2")->setText(QStringLiteral("5")); }, false},
    };
    for (const Step& step : steps) {
        tabs->setCurrentIndex(step.tab);
        f.find<QWidget>(step.box)->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        const QString search =
            QByteArray(step.box) == "Combo1" ? QStringLiteral("｜组合检索：") : QStringLiteral("｜检索：");
        QVERIFY2(summary->isEnabled() && summary->text().contains(search), step.box);
        step.change();
        QCOMPARE(summary->isEnabled(), !step.stale);
        QCOMPARE(summary->text().startsWith(QStringLiteral("条件已改变，结果为上次检索：")), step.stale);
    }
    QVERIFY(f.dialogs.shown.isEmpty());
}

void SearchWindowTest::acceleratorKeyAndTypedPattern() {
    WindowFixture f;
    f.storeDraws(smallHistory());
    auto& w = f.open();
    click(f, "Option1(0)");
    f.find<QTabWidget>("TabStrip1")->setCurrentIndex(1);
    const char* typed[] = {"9", "9", "9"};
    for (int p = 1; p <= 3; ++p) {
        auto* box = f.find<QLineEdit>(QStringLiteral("Text22(%1)").arg(p));
        box->setFocus();
        QTest::keyClicks(box, QString::fromLatin1(typed[p - 1]));
        QTest::keyClicks(box, QStringLiteral("a.")); // not taken by these boxes
        QCOMPARE(box->text(), QString::fromLatin1(typed[p - 1]));
    }
    // Still in the last box: the accelerator key takes it before searching.
    QTest::keyClick(&w, Qt::Key_S, Qt::AltModifier);
    QTRY_COMPARE(f.find<QTableView>("MSFlexGrid2")->model()->rowCount(), 1);
    QCOMPARE(f.find<QTableView>("MSFlexGrid2")->model()->index(0, 0).data().toString(),
             QStringLiteral("2013007"));
}

void SearchWindowTest::agreesWithTheEngineOnTheRealHistory() {
    WindowFixture f;
    const auto draws = sampleDraws("fc3d-history.txt");
    f.storeDraws(draws);
    auto& w = f.open();
    click(f, "Option3(1)");
    click(f, "Option5(3)");
    click(f, "Command1");
    // The same question asked of the library directly.
    const SearchIndex index(std::make_shared<const HistorySnapshot>(w.history()));
    FollowQuery q;
    q.searchType = Kind::BigSmall;
    for (std::size_t p = 0; p < 3; ++p)
        q.pattern[p] = w.pattern()[p].value();
    q.rangeStart = draws.front().issue + 1;
    q.rangeEnd = draws.back().issue;
    const auto expected = followSearch(index, q);
    const auto* matched = f.find<QTableView>("MSFlexGrid2")->model();
    QCOMPARE(matched->rowCount(), static_cast<int>(expected.rows.size()));
    QVERIFY(matched->rowCount() > 100);
    QCOMPARE(matched->index(matched->rowCount() - 1, 0).data().toString(),
             QString::number(index.issue(expected.rows.back())));
    int total = 0;
    const auto* result = f.find<QTableView>("MSFlexGrid3")->model();
    for (int r = 0; r < result->rowCount(); ++r)
        total += result->index(r, 2).data().toInt();
    QCOMPARE(total, matched->rowCount());
}

void SearchWindowTest::combinationSearchTakesTheChosenSize() {
    WindowFixture f;
    f.storeDraws(smallHistory());
    f.open();
    // Pattern 1 4 9 typed on the second tab, free positions.
    f.find<QTabWidget>("TabStrip1")->setCurrentIndex(1);
    const char* typed[] = {"1", "4", "9"};
    for (int p = 1; p <= 3; ++p) {
        auto* box = f.find<QLineEdit>(QStringLiteral("Text22(%1)").arg(p));
        box->setFocus();
        QTest::keyClicks(box, QString::fromLatin1(typed[p - 1]));
    }
    auto* combo = f.find<QComboBox>("Combo1");
    combo->setCurrentIndex(2); // "3": no draw holds 1, 4 and 9
    click(f, "Command2");
    QCOMPARE(f.setting(keys::intZhWSetup), QStringLiteral("3"));
    QCOMPARE(f.find<QTableView>("MSFlexGrid2")->model()->rowCount(), 0);
    combo->setCurrentIndex(1); // "2": 4 5 9 holds the pair 4, 9
    click(f, "Command2");
    QCOMPARE(columnOf(f.find<QTableView>("MSFlexGrid2")->model(), 0), (QStringList{"2013009"}));
    combo->setCurrentIndex(0); // "1": any one of the values
    click(f, "Command2");
    QCOMPARE(columnOf(f.find<QTableView>("MSFlexGrid2")->model(), 0),
             (QStringList{"2013002", "2013003", "2013005", "2013006", "2013007", "2013008", "2013009"}));
    QCOMPARE(f.setting(keys::intZhWSetup), QStringLiteral("1"));
}

// A draw has three positions: a combination of more of them, or of none, means nothing and is
// refused, and so is a size that is no number; the size stored stays the last one that was.
void SearchWindowTest::combinationSizeIsOneToThree_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("taken");
    QTest::newRow("4") << QStringLiteral("4") << false;
    QTest::newRow("abc") << QStringLiteral("abc") << false;
    QTest::newRow("3") << QStringLiteral("3") << true;
    QTest::newRow(" 1 ") << QStringLiteral(" 1 ") << true;
}

void SearchWindowTest::combinationSizeIsOneToThree() {
    QFETCH(QString, typed);
    QFETCH(bool, taken);
    WindowFixture f;
    f.storeDraws(smallHistory());
    auto& w = f.open();
    auto* combo = f.find<QComboBox>("Combo1");
    combo->setFocus();
    combo->setEditText(typed);
    f.find<QWidget>("Text3(0)")->setFocus(); // leaving the box stores a size it takes
    QCOMPARE(f.setting(keys::intZhWSetup), taken ? typed.trimmed() : QString());
    click(f, "Command2");
    QCOMPARE(combo->currentText(), typed);
    if (taken) {
        QVERIFY(f.dialogs.shown.isEmpty());
        QCOMPARE(w.searched()->size, typed.trimmed().toInt());
        return;
    }
    QCOMPARE(f.dialogs.shown.size(), 1);
    QCOMPARE(f.dialogs.shown[0].text,
             QStringLiteral("组合位数须为 1 到 3 的整数，现在是“%1”，未检索。").arg(typed.trimmed()));
    QVERIFY(!w.searched());
    QVERIFY(f.find<QTableView>("MSFlexGrid2")->model()->rowCount() == 0);
}

void SearchWindowTest::wheelScrollsOnlyTheFocusedGrid() {
    WindowFixture f;
    f.storeDraws(sampleDraws("pl3-history.txt"));
    f.open();
    for (const char* check : {"Check1(1)", "Check1(2)", "Check1(3)"})
        click(f, check); // no position: every draw in the range
    click(f, "Command1");
    auto* matched = f.find<QTableView>("MSFlexGrid2");
    auto* history = f.find<QTableView>("MSFlexGrid1");
    QVERIFY(matched->model()->rowCount() > 100);
    auto wheel = [](QWidget* target, int delta) {
        const QPointF pos(target->width() / 2.0, target->height() / 2.0);
        QWheelEvent ev(pos, target->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton,
                       Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &ev);
    };
    matched->setFocus();
    QTRY_VERIFY(matched->hasFocus());
    auto* bar = matched->verticalScrollBar();
    const int historyTop = history->verticalScrollBar()->value();
    QCOMPARE(bar->value(), 0);
    wheel(matched->viewport(), 120); // away from the user at the top: nothing
    QCOMPARE(bar->value(), 0);
    wheel(matched->viewport(), -120); // towards the user: one row down
    QCOMPARE(bar->value(), 1);
    wheel(history->viewport(), -120); // over another grid: the focused grid still scrolls
    QCOMPARE(bar->value(), 2);
    QCOMPARE(history->verticalScrollBar()->value(), historyTop);
    for (int i = 0; i < 3; ++i) // a touchpad's small steps add up to a notch
        wheel(matched->viewport(), -40);
    QCOMPARE(bar->value(), 3);
    wheel(matched->viewport(), 120);
    QCOMPARE(bar->value(), 2);
    // With the focus in a text box no grid scrolls.
    f.find<QWidget>("Text3(0)")->setFocus();
    QTRY_VERIFY(f.find<QWidget>("Text3(0)")->hasFocus());
    wheel(matched->viewport(), -120);
    wheel(history->viewport(), -120);
    QCOMPARE(bar->value(), 2);
    QCOMPARE(history->verticalScrollBar()->value(), historyTop);
}

void SearchWindowTest::segmentsStoredUnderTheOtherParameterAreRebuiltOnRequest() {
    WindowFixture f;
    f.storeDraws(smallHistory(), 1);
    f.setSetting(keys::DsIni, QStringLiteral("0"));
    auto& w = f.open();
    click(f, "Option4(3)"); // result type 段数
    click(f, "Option5(3)");
    const auto percentSum = [&f] {
        double sum = 0;
        for (const QString& cell : columnOf(f.find<QTableView>("MSFlexGrid3")->model(), 3))
            sum += cell.chopped(1).toDouble();
        return sum;
    };
    // After 1 2 3 (free positions) came 4 5 6, 4 7 6 and 4 5 9; the 9 was stored as segment 5.
    f.dialogs.answer(false);
    click(f, "Command1");
    click(f, "Command1");
    QCOMPARE(f.dialogs.shown.size(), 1); // asked once for this history and setting
    QVERIFY(f.dialogs.shown[0].text.contains(
        QStringLiteral("按“段数参数1~5”写入的，与当前设置“段数参数0~4”不同")));
    QVERIFY(w.statusBar()->currentMessage().contains(QStringLiteral("1 个结果不在当前段数参数的范围内")));
    QCOMPARE(percentSum(), 66.667);

    // Asked again under the other setting and back, the rebuild re-derives every row.
    f.find<QAction>("mnuDscs(1)")->trigger();
    click(f, "Command1");
    QCOMPARE(f.dialogs.shown.size(), 1); // the rows agree with 1..5
    f.find<QAction>("mnuDscs(0)")->trigger();
    f.dialogs.answer(true);
    click(f, "Command1");
    QCOMPARE(f.dialogs.shown.size(), 2);
    QCOMPARE(storedSegments(w.history()).withParam[0], w.history().size());
    QVERIFY(!w.statusBar()->currentMessage().contains(QStringLiteral("不在当前段数参数的范围内")));
    QCOMPARE(percentSum(), 100.0);
}

// Read backwards a range holds nothing: each surface refuses it, naming both boxes by their
// captions, rather than answer with an empty tally.
void SearchWindowTest::aRangeThatStartsAfterItsEndIsRefusedEverywhere() {
    WindowFixture f;
    f.storeDraws(smallHistory());
    auto& w = f.open();
    const auto reverseTheSearchRange = [&f] {
        f.find<QLineEdit>("Text3(0)")->setText(QStringLiteral("2013010"));
        f.find<QLineEdit>("Text3(1)")->setText(QStringLiteral("2013002"));
    };
    const QString searchPanel = QStringLiteral("“起”的 2013010 在“止”的 2013002 之后");
    struct Surface {
        const char* what;
        std::function<void()> act;
        std::function<QString()> said; // the message shown
        QString says;
    };
    const auto lastMessage = [&f] {
        return f.dialogs.shown.isEmpty() ? QString() : f.dialogs.shown.last().text;
    };
    // The combination search, the backtest and the prediction from the options take their
    // range where the search does.
    const Surface surfaces[] = {
        {"search", [&] { reverseTheSearchRange(), click(f, "Command1"); }, lastMessage,
         searchPanel + QStringLiteral("，未检索。")},
        {"backtest window",
         [&] {
             click(f, "cmdHuice");
             auto* b = w.findChild<ui::BacktestWindow*>();
             b->findChild<QLineEdit*>(QStringLiteral("txtStart"))->setText(QStringLiteral("2013009"));
             b->findChild<QLineEdit*>(QStringLiteral("txtEnd"))->setText(QStringLiteral("2013003"));
             QTest::mouseClick(b->findChild<QAbstractButton*>(QStringLiteral("cmdStart")), Qt::LeftButton);
         },
         lastMessage, QStringLiteral("“起始期号”的 2013009 在“截止期号”的 2013003 之后，未回测。")},
        {"trend chart",
         [&] {
             click(f, "cmdTrend");
             auto* trend = w.findChild<ui::TrendWindow*>();
             trend->findChild<QLineEdit*>(QStringLiteral("trendStart"))->setText(QStringLiteral("2013008"));
             trend->findChild<QLineEdit*>(QStringLiteral("trendEnd"))->setText(QStringLiteral("2013004"));
             trend->findChild<QComboBox*>(QStringLiteral("trendRange"))
                 ->setCurrentIndex(ui::TrendWindow::kIssueChoice);
         },
         [&w] { return w.findChild<QLabel*>(QStringLiteral("trendSummary"))->text(); },
         QStringLiteral("“范围”的 2013008 在“至”的 2013004 之后，请把较早的期号放在前面。")},
    };
    click(f, "Command1");
    const auto searched = w.searched();
    for (const Surface& s : surfaces) {
        f.dialogs.shown.clear();
        s.act();
        QCOMPARE(s.said(), s.says);
        QCOMPARE(w.searched(), searched);
        f.find<QLineEdit>("Text3(0)")->setText(QStringLiteral("2013002"));
        f.find<QLineEdit>("Text3(1)")->setText(QStringLiteral("2013010"));
    }
    // The trend chart shows no figures of an empty range either: no table of zeros.
    QCOMPARE(w.findChild<ui::TrendWindow*>()->model().rowCount(), 0);
}

// After a search, a change of anything it depended on greys the whole result together, and a
// switch of the game clears it: nothing shown passes for the answer to other conditions.
void SearchWindowTest::theResultShownIsCurrent_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("says"); // how the condition line starts; empty: all cleared
    const QString conditions = QStringLiteral("条件已改变，结果为上次检索：");
    QTest::newRow("option") << QStringLiteral("Option4(1)") << conditions;
    QTest::newRow("range") << QStringLiteral("Text3(0)") << conditions;
    QTest::newRow("segment parameter") << QStringLiteral("mnuDscs(0)") << conditions;
    QTest::newRow("last draw deleted")
        << QStringLiteral("Command3") << QStringLiteral("历史号码已改变，结果为上次检索：");
    QTest::newRow("game switched") << QStringLiteral("mnu3D(1)") << QString();
}

void SearchWindowTest::theResultShownIsCurrent() {
    QFETCH(QString, change);
    QFETCH(QString, says);
    WindowFixture f;
    f.storeDraws(smallHistory());
    auto& w = f.open();
    auto* summary = f.find<QLabel>("conditionSummary");
    auto* chart = f.find<ui::ThemedChartView>("tallyChart");
    auto* verdict = f.find<QLabel>("tallyVerdict");
    const QList<QWidget*> shown = {f.find<QWidget>("MSFlexGrid3"), f.find<QWidget>("MSFlexGrid2"), verdict};
    const QColor grey = w.palette().color(QPalette::Disabled, QPalette::Text);
    const auto greyed = [&] {
        bool all = !summary->isEnabled() && chart->greyed();
        for (QWidget* v : shown)
            all = all && v->palette().color(QPalette::Active, QPalette::Text) == grey;
        return all;
    };
    click(f, "Command1");
    QVERIFY(!greyed() && summary->isEnabled());
    const QString before = summary->text();

    if (auto* action = f.find<QAction>(change))
        action->trigger();
    else if (auto* box = qobject_cast<QLineEdit*>(f.find<QWidget>(change)))
        box->setText(QStringLiteral("2013003"));
    else
        click(f, qPrintable(change));
    if (says.isEmpty()) {
        QVERIFY(!w.searched());
        QCOMPARE(summary->text(), QStringLiteral("尚未检索。"));
        QCOMPARE(f.find<QTableView>("MSFlexGrid2")->model()->rowCount(), 0);
        QCOMPARE(f.find<QTableView>("MSFlexGrid3")->model()->rowCount(), 0);
        QVERIFY(verdict->text().isEmpty());
        QVERIFY(static_cast<ui::TallyChart*>(chart)->bars().isEmpty());
        return;
    }
    QCOMPARE(summary->text(), says + before);
    QVERIFY(greyed());
    // Searched again, the result is current and in full colour.
    click(f, "Command1");
    QVERIFY(summary->isEnabled() && !chart->greyed());
    for (QWidget* v : shown)
        QVERIFY(v->palette().color(QPalette::Active, QPalette::Text) != grey);
}

QTEST_MAIN(SearchWindowTest)
#include "SearchWindowTest.moc"
