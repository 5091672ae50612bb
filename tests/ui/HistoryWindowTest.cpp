// Issue numbering, the history grid and the draw before a chosen issue.
#include "Settings.h"
#include "WindowFixture.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLineEdit>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>

using namespace brenvik;
using namespace brenvik::test;

namespace {

std::vector<std::array<int, 3>> digitsOf(int count) {
    std::vector<std::array<int, 3>> d;
    for (int i = 0; i < count; ++i)
        d.push_back({i % 10, (i / 10) % 10, (i * 7) % 10});
    return d;
}

} // namespace

class HistoryWindowTest : public QObject {
    Q_OBJECT
private slots:
    void proposalAfterTheLastDrawOfAYear();
    void proposalInsideAYear();
    void gridShowsTheHistoryAndScrollsToTheNewest();
    void gridHasNoRowLimit();
    void chosenIssueTakesThePatternFromTheDrawBefore();
    void chosenIssueNBack();
    void chosenIssueBeforeEveryDrawChangesNothing();
    void check4LimitsTheRange();
};

void HistoryWindowTest::proposalAfterTheLastDrawOfAYear() {
    WindowFixture f;
    f.storeDraws(drawsFrom(2013357, {{1, 2, 3}, {4, 5, 6}}));
    auto& w = f.open();
    QCOMPARE(f.find<QLineEdit>("Text1")->text(), QStringLiteral("2014001"));
    QCOMPARE(f.find<QLineEdit>("Text4")->text(), QStringLiteral("2014001"));
    QCOMPARE(w.lastStoredQQH(), 2013359);
}

void HistoryWindowTest::proposalInsideAYear() {
    WindowFixture f;
    f.storeDraws({{2013357, {1, 2, 3}}});
    f.open();
    QCOMPARE(f.find<QLineEdit>("Text1")->text(), QStringLiteral("2013358"));
}

void HistoryWindowTest::gridShowsTheHistoryAndScrollsToTheNewest() {
    for (int draws : {38, 39}) {
        WindowFixture f;
        f.storeDraws(drawsFrom(2013001, digitsOf(draws)));
        f.open();
        auto* grid = f.find<QTableView>("MSFlexGrid1");
        auto* model = grid->model();
        QCOMPARE(model->rowCount(), draws);
        QCOMPARE(model->columnCount(), 4);
        QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("期号"));
        QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("第1位"));
        QCOMPARE(model->headerData(3, Qt::Horizontal).toString(), QStringLiteral("第3位"));
        QCOMPARE(model->index(0, 0).data().toString(), QStringLiteral("2013001"));
        QCOMPARE(model->index(draws - 1, 3).data().toString(), QString::number(((draws - 1) * 7) % 10));
        QApplication::processEvents();
        auto* bar = grid->verticalScrollBar();
        QVERIFY2(bar->maximum() > 0, "the test needs more rows than the grid shows");
        // 38 draws make 39 grid rows with the header: not scrolled. 39 draws make 40: scrolled.
        if (draws == 38)
            QCOMPARE(bar->value(), 0);
        else
            QCOMPARE(bar->value(), bar->maximum());
    }
}

void HistoryWindowTest::gridHasNoRowLimit() {
    WindowFixture f;
    std::vector<DrawLine> many;
    for (int i = 0; i < 40000; ++i)
        many.push_back({static_cast<std::int32_t>(1001001 + (i / 900) * 1000 + i % 900), {i % 10, 1, 2}});
    f.storeDraws(many);
    f.open();
    auto* model = f.find<QTableView>("MSFlexGrid1")->model();
    QCOMPARE(model->rowCount(), 40000);
    QCOMPARE(model->index(39999, 0).data().toString(), QString::number(many.back().issue));
}

void HistoryWindowTest::chosenIssueTakesThePatternFromTheDrawBefore() {
    WindowFixture f;
    f.storeDraws({{2013357, {1, 1, 1}},
                  {2013358, {3, 5, 7}},
                  {2014001, {2, 2, 2}},
                  {2014002, {4, 4, 4}},
                  {2014003, {6, 0, 9}},
                  {2014005, {8, 8, 8}}});
    auto& w = f.open();
    auto* text4 = f.find<QLineEdit>("Text4");
    auto* tabs = f.find<QTabWidget>("TabStrip1");

    text4->setText(QStringLiteral("2014001"));
    tabs->setCurrentIndex(2);
    QCOMPARE(w.pattern(), (std::array<int, 3>{3, 5, 7})); // the last draw of 2013
    QCOMPARE(f.find<QLineEdit>("Text2(11)")->text(), QStringLiteral("3"));
    QCOMPARE(f.find<QLineEdit>("Text2(13)")->text(), QStringLiteral("7"));
    // Check4 not ticked: the range still ends at the last stored draw.
    QCOMPARE(f.find<QLineEdit>("Text3(1)")->text(), QStringLiteral("2014005"));

    // 2014004 is missing: the newest draw before it.
    text4->setText(QStringLiteral("2014005"));
    tabs->setCurrentIndex(0);
    tabs->setCurrentIndex(2);
    QCOMPARE(w.pattern(), (std::array<int, 3>{6, 0, 9}));
    QVERIFY(!w.manualPattern());

    // Ticked: the range ends at the draw reached.
    QTest::mouseClick(f.find<QCheckBox>("Check4"), Qt::LeftButton);
    tabs->setCurrentIndex(0);
    tabs->setCurrentIndex(2);
    QCOMPARE(f.find<QLineEdit>("Text3(1)")->text(), QStringLiteral("2014003"));

    // The search type decides the kind of the pattern: big/small of 6 0 9 is 1 0 1.
    QTest::mouseClick(f.find<QAbstractButton>("Option3(1)"), Qt::LeftButton);
    QTest::mouseClick(f.find<QAbstractButton>("Option1(1)"), Qt::LeftButton);
    QCOMPARE(w.pattern(), (std::array<int, 3>{1, 0, 1}));
}

void HistoryWindowTest::chosenIssueNBack() {
    WindowFixture f;
    f.setSetting(keys::bolSq, QStringLiteral("False"));
    f.setSetting(keys::intPreQi, QStringLiteral("2"));
    f.storeDraws(drawsFrom(2014001, {{1, 1, 1}, {2, 2, 2}, {3, 3, 3}, {4, 4, 4}}));
    auto& w = f.open();
    f.find<QLineEdit>("Text4")->setText(QStringLiteral("2014004"));
    f.find<QTabWidget>("TabStrip1")->setCurrentIndex(2);
    // The newest draw before 2014004 is 2014003; one more back is 2014002.
    QCOMPARE(w.pattern(), (std::array<int, 3>{2, 2, 2}));
}

void HistoryWindowTest::chosenIssueBeforeEveryDrawChangesNothing() {
    WindowFixture f;
    f.storeDraws(drawsFrom(2014001, {{1, 2, 3}, {4, 5, 6}}));
    auto& w = f.open();
    const auto before = w.pattern();
    const QString rangeEnd = f.find<QLineEdit>("Text3(1)")->text();
    f.find<QLineEdit>("Text4")->setText(QStringLiteral("2014001"));
    f.find<QTabWidget>("TabStrip1")->setCurrentIndex(2);
    QCOMPARE(w.pattern(), before);
    QCOMPARE(f.find<QLineEdit>("Text3(1)")->text(), rangeEnd);
    QCOMPARE(f.find<QLineEdit>("Text2(11)")->text(), QString());
}

void HistoryWindowTest::check4LimitsTheRange() {
    WindowFixture f;
    f.storeDraws(drawsFrom(2012300, digitsOf(80)));
    f.open();
    auto* text4 = f.find<QLineEdit>("Text4");
    auto* check4 = f.find<QCheckBox>("Check4");
    auto* end = f.find<QLineEdit>("Text3(1)");
    const QString last = end->text();

    text4->setText(QStringLiteral("2013001"));
    QTest::mouseClick(check4, Qt::LeftButton);
    QCOMPARE(end->text(), QStringLiteral("2012359"));
    QTest::mouseClick(check4, Qt::LeftButton);
    QCOMPARE(end->text(), last);

    text4->setText(QStringLiteral("2013010"));
    QTest::mouseClick(check4, Qt::LeftButton);
    QCOMPARE(end->text(), QStringLiteral("2013009"));
    QTest::mouseClick(check4, Qt::LeftButton);

    // Not an issue number: the range end stays and the user is told why.
    text4->setText(QStringLiteral("20130"));
    QTest::mouseClick(check4, Qt::LeftButton);
    QCOMPARE(end->text(), last);
    QVERIFY(!check4->isChecked());
    QCOMPARE(f.dialogs.shown.size(), 1);
    QVERIFY(f.dialogs.shown[0].text.contains(QStringLiteral("20130")));
}

QTEST_MAIN(HistoryWindowTest)
#include "HistoryWindowTest.moc"
