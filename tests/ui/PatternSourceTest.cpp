// SPDX-License-Identifier: GPL-3.0-or-later
// Where the follow-search pattern comes from as the user moves between tabs and options.
#include "Settings.h"
#include "WindowFixture.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QTabWidget>
#include <QtTest>

using namespace brenvik;
using namespace brenvik::test;

namespace {

void click(WindowFixture& f, const char* name) {
    QTest::mouseClick(f.find<QAbstractButton>(name), Qt::LeftButton);
}

void typeInto(WindowFixture& f, const QString& name, const QString& text) {
    auto* box = f.find<QLineEdit>(name);
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, text);
}

void leave(WindowFixture& f) {
    f.find<QWidget>("Text3(0)")->setFocus();
}

// The last draw is 2 7 9; the one before it 6 1 8.
std::vector<DrawLine> history() {
    return drawsFrom(2014001, {{1, 1, 1}, {3, 3, 3}, {6, 1, 8}, {2, 7, 9}});
}

} // namespace

class PatternSourceTest : public QObject {
    Q_OBJECT
private slots:
    void firstTabTakesTheBoxesAsTheyStand();
    void secondTabBoxesAcceptOnlyNumbers();
    void theSearchTakesWhatTheBoxesShow_data();
    void theSearchTakesWhatTheBoxesShow();
    void groupOptionReloadsFromTheHistory();
    void nOfOneIsTheLastDraw();
};

void PatternSourceTest::firstTabTakesTheBoxesAsTheyStand() {
    WindowFixture f;
    f.storeDraws(history());
    auto& w = f.open();
    QCOMPARE(w.pattern(), shown(2, 7, 9));
    auto* tabs = f.find<QTabWidget>("TabStrip1");
    typeInto(f, "Text2(2)", "5");
    tabs->setCurrentIndex(1);
    tabs->setCurrentIndex(0);
    QCOMPARE(w.pattern(), shown(2, 5, 9));
    // An option on the first tab reloads the boxes from the history.
    click(f, "Option3(0)");
    QCOMPARE(w.pattern(), shown(2, 7, 9));
    QCOMPARE(f.find<QLineEdit>("Text2(2)")->text(), QStringLiteral("7"));
}

void PatternSourceTest::secondTabBoxesAcceptOnlyNumbers() {
    WindowFixture f;
    f.storeDraws(history());
    auto& w = f.open();
    f.find<QTabWidget>("TabStrip1")->setCurrentIndex(1);
    typeInto(f, "Text22(1)", "-3");
    typeInto(f, "Text22(2)", "4.a");
    typeInto(f, "Text22(3)", "12");
    leave(f);
    QCOMPARE(f.find<QLineEdit>("Text22(2)")->text(), QStringLiteral("4"));
    QCOMPARE(w.pattern(), shown(-3, 4, 12));
    // A lone minus sign, or a number beyond 16 bits, is no number: that position has none.
    typeInto(f, "Text22(1)", "-");
    leave(f);
    QVERIFY(!w.pattern()[0]);
    typeInto(f, "Text22(1)", "99999");
    QVERIFY(!w.pattern()[0]);
    // Pasted text passes the same filter as typed text.
    QGuiApplication::clipboard()->setText(QStringLiteral("1a-2.3 4567"));
    auto* box = f.find<QLineEdit>("Text22(3)");
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(box->text(), QStringLiteral("1-2345"));
}

void PatternSourceTest::theSearchTakesWhatTheBoxesShow_data() {
    // Tab in view | option clicked there (from the second tab, back to the first) | box=text | searched.
    QTest::addColumn<QString>("row");
    for (const char* row : {// An edit on the tab in view counts without selecting the tab again.
                            "0||Text2(2)=5|号码 2 5 9，比较第1、2、3位",
                            // The third tab follows the search type and N at once: before 2014004
                            // lies 6 1 8, big/small 1 0 1, and two back from it 3 3 3.
                            "2|Option3(1)||大小 1 0 1（第 2014004 期之前）", "2|Option1(2)||号码 3 3 3",
                            // A type chosen on another tab reaches the first tab: odd/even of 2 7 9.
                            "1|Option3(2)||单双 0 1 1",
                            // A ticked position whose box holds no number is not compared.
                            "0||Text2(3)=|号码 2 7 _，比较第1、2位"})
        QTest::newRow(row) << QString::fromUtf8(row);
}

void PatternSourceTest::theSearchTakesWhatTheBoxesShow() {
    QFETCH(QString, row);
    const QStringList c = row.split(QLatin1Char('|'));
    WindowFixture f;
    f.storeDraws(history());
    auto& w = f.open();
    auto* tabs = f.find<QTabWidget>("TabStrip1");
    f.find<QLineEdit>("Text4")->setText(QStringLiteral("2014004"));
    tabs->setCurrentIndex(c[0].toInt());
    if (!c[1].isEmpty())
        QTest::mouseClick(f.find<QAbstractButton>(c[1]), Qt::LeftButton);
    if (c[0] == QLatin1String("1"))
        tabs->setCurrentIndex(0);
    if (!c[2].isEmpty())
        f.find<QLineEdit>(c[2].section(QLatin1Char('='), 0, 0))->setText(c[2].section(QLatin1Char('='), 1));
    click(f, "Command1");
    QVERIFY(f.dialogs.shown.isEmpty());
    QCOMPARE(w.searched()->pattern, w.pattern());
    QVERIFY2(f.find<QLabel>("conditionSummary")->text().contains(c[3]), qPrintable(c[3]));
}

void PatternSourceTest::groupOptionReloadsFromTheHistory() {
    WindowFixture f;
    f.storeDraws(history());
    auto& w = f.open();
    typeInto(f, "Text2(1)", "0");
    click(f, "Option2(5)");
    QCOMPARE(f.find<QLineEdit>("Text2(1)")->text(), QStringLiteral("2"));
    QCOMPARE(w.pattern(), shown(2, 7, 9));
    QCOMPARE(f.setting(keys::bolZuxuan), QStringLiteral("True"));
    QCOMPARE(f.setting(keys::bolSq), QStringLiteral("True"));
}

void PatternSourceTest::nOfOneIsTheLastDraw() {
    WindowFixture f;
    f.storeDraws(history());
    auto& w = f.open();
    click(f, "Option1(2)");
    QCOMPARE(w.pattern(), shown(6, 1, 8)); // N = 2 by default
    QCOMPARE(f.find<QLineEdit>("Text3(0)")->text(), QStringLiteral("2014003"));
    auto* box = f.find<QLineEdit>("MaskEdBox2");
    box->setFocus();
    QTest::keyClicks(box, QStringLiteral("1"));
    leave(f);
    QCOMPARE(w.pattern(), shown(2, 7, 9));
    QCOMPARE(f.find<QLineEdit>("Text3(0)")->text(), QStringLiteral("2014002"));
    // More draws back than stored: no pattern-source draw, the pattern stays.
    box->setFocus();
    QTest::keyClicks(box, QStringLiteral("9"));
    leave(f);
    QCOMPARE(w.pattern(), shown(2, 7, 9));
    QCOMPARE(f.setting(keys::intPreQi), QStringLiteral("9"));
}

QTEST_MAIN(PatternSourceTest)
#include "PatternSourceTest.moc"
