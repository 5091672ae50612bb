// Where the follow-search pattern comes from as the user moves between tabs and options.
#include "Settings.h"
#include "WindowFixture.h"

#include <QAbstractButton>
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
    void searchTypeOnTheThirdTab();
    void groupOptionReloadsFromTheHistory();
    void nOfOneIsTheLastDraw();
};

void PatternSourceTest::firstTabTakesTheBoxesAsTheyStand() {
    WindowFixture f;
    f.storeDraws(history());
    auto& w = f.open();
    QCOMPARE(w.pattern(), (std::array<int, 3>{2, 7, 9}));
    auto* tabs = f.find<QTabWidget>("TabStrip1");
    typeInto(f, "Text2(2)", "5");
    tabs->setCurrentIndex(1);
    QVERIFY(w.manualPattern());
    tabs->setCurrentIndex(0);
    QVERIFY(!w.manualPattern());
    QCOMPARE(w.pattern(), (std::array<int, 3>{2, 5, 9}));
    // An option on the first tab reloads the boxes from the history.
    click(f, "Option3(0)");
    QCOMPARE(w.pattern(), (std::array<int, 3>{2, 7, 9}));
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
    QCOMPARE(w.pattern(), (std::array<int, 3>{-3, 4, 12}));
    // A lone minus sign, or a number beyond 16 bits, keeps the value before.
    typeInto(f, "Text22(1)", "-");
    leave(f);
    QCOMPARE(w.pattern()[0], -3);
    typeInto(f, "Text22(1)", "99999");
    leave(f);
    QCOMPARE(w.pattern()[0], -3);
}

void PatternSourceTest::searchTypeOnTheThirdTab() {
    WindowFixture f;
    f.storeDraws(history());
    auto& w = f.open();
    auto* tabs = f.find<QTabWidget>("TabStrip1");
    tabs->setCurrentIndex(1);
    typeInto(f, "Text22(1)", "8");
    typeInto(f, "Text22(2)", "8");
    typeInto(f, "Text22(3)", "8");
    leave(f);
    f.find<QLineEdit>("Text4")->setText(QStringLiteral("2014004"));
    tabs->setCurrentIndex(2);
    QCOMPARE(w.pattern(), (std::array<int, 3>{6, 1, 8}));
    // The search type on the third tab takes the typed boxes...
    click(f, "Option3(1)");
    QVERIFY(w.manualPattern());
    QCOMPARE(w.pattern(), (std::array<int, 3>{8, 8, 8}));
    // ...until a position option reloads from the draw before Text4, in the new kind.
    click(f, "Option1(1)");
    QVERIFY(!w.manualPattern());
    QCOMPARE(w.pattern(), (std::array<int, 3>{1, 0, 1}));
    QCOMPARE(f.find<QLineEdit>("Text2(11)")->text(), QStringLiteral("1"));
}

void PatternSourceTest::groupOptionReloadsFromTheHistory() {
    WindowFixture f;
    f.storeDraws(history());
    auto& w = f.open();
    typeInto(f, "Text2(1)", "0");
    click(f, "Option2(5)");
    QCOMPARE(f.find<QLineEdit>("Text2(1)")->text(), QStringLiteral("2"));
    QCOMPARE(w.pattern(), (std::array<int, 3>{2, 7, 9}));
    QCOMPARE(f.setting(keys::bolZuxuan), QStringLiteral("True"));
    QCOMPARE(f.setting(keys::bolSq), QStringLiteral("True"));
}

void PatternSourceTest::nOfOneIsTheLastDraw() {
    WindowFixture f;
    f.storeDraws(history());
    auto& w = f.open();
    click(f, "Option1(2)");
    QCOMPARE(w.pattern(), (std::array<int, 3>{6, 1, 8})); // N = 2 by default
    QCOMPARE(f.find<QLineEdit>("Text3(0)")->text(), QStringLiteral("2014003"));
    auto* box = f.find<QLineEdit>("MaskEdBox2");
    box->setFocus();
    QTest::keyClicks(box, QStringLiteral("1"));
    leave(f);
    QCOMPARE(w.pattern(), (std::array<int, 3>{2, 7, 9}));
    QCOMPARE(f.find<QLineEdit>("Text3(0)")->text(), QStringLiteral("2014002"));
    // More draws back than stored: no pattern-source draw, the pattern stays.
    box->setFocus();
    QTest::keyClicks(box, QStringLiteral("9"));
    leave(f);
    QCOMPARE(w.pattern(), (std::array<int, 3>{2, 7, 9}));
    QCOMPARE(f.setting(keys::intPreQi), QStringLiteral("9"));
}

QTEST_MAIN(PatternSourceTest)
#include "PatternSourceTest.moc"
