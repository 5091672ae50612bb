// SPDX-License-Identifier: GPL-3.0-or-later
// Issue numbering, the history grid and the draw before a chosen issue.
#include "Clock.h"
#include "Settings.h"
#include "WindowFixture.h"
#include "Workspace.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QDateTime>
#include <QLabel>
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
    void proposalFollowsTheCalendarInChina_data();
    void proposalFollowsTheCalendarInChina();
    void anEmptyHistoryDescribesNoDraws_data();
    void anEmptyHistoryDescribesNoDraws();
    void gridShowsTheHistoryAndScrollsToTheNewest();
    void gridHasNoRowLimit();
    void chosenIssueTakesThePatternFromTheDrawBefore();
    void chosenIssueNBack();
    void chosenIssueBeforeEveryDrawChangesNothing();
    void check4LimitsTheRange();
    void rangeEndFollowsTheNewestIssue_data();
    void rangeEndFollowsTheNewestIssue();
    void workspaceAnnouncesEveryChange_data();
    void workspaceAnnouncesEveryChange();
};

void HistoryWindowTest::proposalFollowsTheCalendarInChina_data() {
    QTest::addColumn<int>("last");
    QTest::addColumn<QString>("clock"); // UTC
    QTest::addColumn<int>("proposed");
    // Real year ends of the shipped histories: a year's last sequence is no fixed number.
    QTest::newRow("2019 still running") << 2019351 << "2019-12-31T15:59:59Z" << 2019352;
    QTest::newRow("2020 begun in China") << 2019351 << "2019-12-31T16:00:00Z" << 2020001;
    QTest::newRow("2020, 313 draws") << 2020313 << "2020-12-31T12:00:00Z" << 2020314;
    QTest::newRow("years later") << 2020313 << "2023-05-01T00:00:00Z" << 2021001;
    QTest::newRow("2024, 352 draws") << 2024352 << "2025-01-01T00:00:00Z" << 2025001;
    QTest::newRow("2007, 357 draws") << 2007357 << "2008-01-02T00:00:00Z" << 2008001;
    QTest::newRow("358 is no year end") << 2013358 << "2013-12-30T00:00:00Z" << 2013359;
    QTest::newRow("no sequence 1000") << 2007999 << "2007-06-01T00:00:00Z" << 2008001;
}

void HistoryWindowTest::proposalFollowsTheCalendarInChina() {
    QFETCH(int, last);
    QFETCH(QString, clock);
    QFETCH(int, proposed);
    WindowFixture f;
    f.storeDraws({{last - 1, {1, 2, 3}}, {last, {4, 5, 6}}});
    const auto at = std::chrono::system_clock::time_point(
        std::chrono::milliseconds(QDateTime::fromString(clock, Qt::ISODate).toMSecsSinceEpoch()));
    ui::setClock([at] { return at; });
    auto& w = f.open();
    QCOMPARE(f.find<QLineEdit>("Text1")->text(), QString::number(proposed));
    QCOMPARE(f.find<QLineEdit>("Text4")->text(), QString::number(proposed));
    QCOMPARE(w.lastStoredQQH(), last + 1);
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
    QCOMPARE(w.pattern(), shown(3, 5, 7)); // the last draw of 2013
    QCOMPARE(f.find<QLineEdit>("Text2(11)")->text(), QStringLiteral("3"));
    QCOMPARE(f.find<QLineEdit>("Text2(13)")->text(), QStringLiteral("7"));
    // Check4 not ticked: the range still ends at the last stored draw.
    QCOMPARE(f.find<QLineEdit>("Text3(1)")->text(), QStringLiteral("2014005"));

    // 2014004 is missing: the newest draw before it.
    text4->setText(QStringLiteral("2014005"));
    tabs->setCurrentIndex(0);
    tabs->setCurrentIndex(2);
    QCOMPARE(w.pattern(), shown(6, 0, 9));

    // Ticked: the range ends at the draw reached.
    QTest::mouseClick(f.find<QCheckBox>("Check4"), Qt::LeftButton);
    tabs->setCurrentIndex(0);
    tabs->setCurrentIndex(2);
    QCOMPARE(f.find<QLineEdit>("Text3(1)")->text(), QStringLiteral("2014003"));

    // The search type decides the kind of the pattern: big/small of 6 0 9 is 1 0 1.
    QTest::mouseClick(f.find<QAbstractButton>("Option3(1)"), Qt::LeftButton);
    QTest::mouseClick(f.find<QAbstractButton>("Option1(1)"), Qt::LeftButton);
    QCOMPARE(w.pattern(), shown(1, 0, 1));
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
    QCOMPARE(w.pattern(), shown(2, 2, 2));
}

void HistoryWindowTest::chosenIssueBeforeEveryDrawChangesNothing() {
    WindowFixture f;
    f.storeDraws(drawsFrom(2014001, {{1, 2, 3}, {4, 5, 6}}));
    f.open();
    const QString rangeEnd = f.find<QLineEdit>("Text3(1)")->text();
    f.find<QLineEdit>("Text4")->setText(QStringLiteral("2014001"));
    f.find<QTabWidget>("TabStrip1")->setCurrentIndex(2);
    QCOMPARE(f.find<QLineEdit>("Text3(1)")->text(), rangeEnd);
    QCOMPARE(f.find<QLineEdit>("Text2(11)")->text(), QString());
}

void HistoryWindowTest::anEmptyHistoryDescribesNoDraws_data() {
    QTest::addColumn<int>("draws");
    QTest::addColumn<QString>("emptiedBy");
    QTest::newRow("opened empty") << 0 << QString();
    QTest::newRow("cleared") << 5 << "mnuClear";
    QTest::newRow("last N deleted") << 5 << "mnuEszhzd";
    QTest::newRow("last draw deleted") << 1 << "Command3";
}

void HistoryWindowTest::anEmptyHistoryDescribesNoDraws() {
    QFETCH(int, draws);
    QFETCH(QString, emptiedBy);
    WindowFixture f;
    f.storeDraws(drawsFrom(2014001, digitsOf(draws)));
    auto& w = f.open();
    auto* hint = f.find<QLabel>("emptyHistoryHint");
    auto* tabs = f.find<QTabWidget>("TabStrip1");
    tabs->setCurrentIndex(2); // loads the third tab's boxes too
    tabs->setCurrentIndex(0);
    if (emptiedBy == QLatin1String("mnuEszhzd"))
        f.dialogs.answer(QStringLiteral("9")); // more than there are
    f.dialogs.answer(true);
    if (emptiedBy == QLatin1String("Command3"))
        QTest::mouseClick(f.find<QAbstractButton>("Command3"), Qt::LeftButton);
    else if (!emptiedBy.isEmpty())
        f.find<QAction>(emptiedBy)->trigger();
    QCOMPARE(w.history().size(), std::size_t(0));
    for (const char* box :
         {"Text1", "Text4", "Text3(0)", "Text3(1)", "Text2(1)", "Text2(3)", "Text2(11)", "Text2(13)"})
        QVERIFY2(f.find<QLineEdit>(box)->text().isEmpty(), box);
    QVERIFY(hint->isVisible() && hint->text().contains(QStringLiteral("读取历史号文本")));
    // Gone with the first draw typed in.
    f.find<QLineEdit>("Text1")->setText(QStringLiteral("2014001"));
    for (int i = 1; i <= 3; ++i)
        QTest::keyClicks(f.find<QWidget>(QStringLiteral("MaskEdBox1(%1)").arg(i)), QStringLiteral("7"));
    QVERIFY(!hint->isVisible());
}

void HistoryWindowTest::check4LimitsTheRange() {
    WindowFixture f;
    f.storeDraws(drawsFrom(2012300, digitsOf(80)));
    f.open();
    auto* text4 = f.find<QLineEdit>("Text4");
    auto* check4 = f.find<QCheckBox>("Check4");
    auto* end = f.find<QLineEdit>("Text3(1)");
    const QString last = end->text();
    // The limit is the chosen-issue tab's.
    f.find<QTabWidget>("TabStrip1")->setCurrentIndex(2);

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

void HistoryWindowTest::rangeEndFollowsTheNewestIssue_data() {
    QTest::addColumn<QString>("control"); // the deletion, as a button or an item of a menu
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QString>("rangeEnd"); // set before, "" to leave it at the newest draw
    QTest::addColumn<QString>("after");
    // Ten draws, 2014001 to 2014010.
    QTest::newRow("删除最后历史") << "Command3" << QStringList{} << ""
                                  << "2014009";
    QTest::newRow("history menu") << "mnuErase" << QStringList{} << ""
                                  << "2014009";
    QTest::newRow("last 4") << "mnuEszhzd" << QStringList{"4", "true"} << ""
                            << "2014006";
    QTest::newRow("down to 2014003") << "mnuDlzd" << QStringList{"2014003", "true"} << ""
                                     << "2014003";
    QTest::newRow("an end beyond the newest") << "Command3" << QStringList{} << "2014099"
                                              << "2014009";
    QTest::newRow("an earlier end stays") << "mnuEszhzd" << QStringList{"4", "true"} << "2014005"
                                          << "2014005";
}

// 止 follows the newest issue when a deletion takes the draws it reached.
void HistoryWindowTest::rangeEndFollowsTheNewestIssue() {
    QFETCH(QString, control);
    QFETCH(QStringList, answers);
    QFETCH(QString, rangeEnd);
    QFETCH(QString, after);
    WindowFixture f;
    f.storeDraws(drawsFrom(2014001, digitsOf(10)));
    f.open();
    auto* end = f.find<QLineEdit>("Text3(1)");
    QCOMPARE(end->text(), QStringLiteral("2014010"));
    if (!rangeEnd.isEmpty())
        end->setText(rangeEnd);
    for (const QString& a : answers)
        f.dialogs.answer(a == QLatin1String("true") ? QVariant(true) : QVariant(a));
    if (auto* button = f.window().findChild<QAbstractButton*>(control))
        QTest::mouseClick(button, Qt::LeftButton);
    else
        f.find<QAction>(control)->trigger();
    QCOMPARE(end->text(), after);
}

void HistoryWindowTest::workspaceAnnouncesEveryChange_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("how");
    QTest::addColumn<int>("draws"); // in the history when the change is announced
    QTest::newRow("typed") << "MaskEdBox1" << int(ui::HistoryChange::Appended) << 6;
    QTest::newRow("last deleted") << "Command3" << int(ui::HistoryChange::Trimmed) << 4;
    QTest::newRow("last 2 deleted") << "mnuEszhzd" << int(ui::HistoryChange::Trimmed) << 3;
    QTest::newRow("cleared") << "mnuClear" << int(ui::HistoryChange::Trimmed) << 0;
    QTest::newRow("other game") << "mnu3D(1)" << int(ui::HistoryChange::Opened) << 0;
}

// A view fed by the workspace (another window, say) hears of each change once, when the history
// it reads is already the changed one.
void HistoryWindowTest::workspaceAnnouncesEveryChange() {
    QFETCH(QString, change);
    QFETCH(int, how);
    QFETCH(int, draws);
    WindowFixture f;
    f.storeDraws(drawsFrom(2014001, digitsOf(5)));
    auto& w = f.open();
    ui::Workspace& workspace = w.workspace();
    std::vector<std::pair<int, std::size_t>> heard;
    QObject::connect(&workspace, &ui::Workspace::historyChanged, &workspace,
                     [&](ui::HistoryChange h) { heard.emplace_back(int(h), workspace.history().size()); });
    if (change == QLatin1String("MaskEdBox1")) {
        for (int i = 1; i <= 3; ++i)
            QTest::keyClicks(f.find<QWidget>(QStringLiteral("MaskEdBox1(%1)").arg(i)), QStringLiteral("4"));
    } else if (change == QLatin1String("Command3")) {
        QTest::mouseClick(f.find<QAbstractButton>("Command3"), Qt::LeftButton);
    } else {
        if (change == QLatin1String("mnuEszhzd"))
            f.dialogs.answer(QStringLiteral("2"));
        f.dialogs.answer(true);
        f.find<QAction>(change)->trigger();
    }
    QCOMPARE(heard.size(), std::size_t(1));
    QCOMPARE(heard[0].first, how);
    QCOMPARE(heard[0].second, std::size_t(draws));
    QCOMPARE(&w.history(), &workspace.history());
}

QTEST_MAIN(HistoryWindowTest)
#include "HistoryWindowTest.moc"
