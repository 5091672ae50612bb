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
    QTest::addColumn<int>("index");
    for (int i = 0; i < 5; ++i)
        QTest::newRow(QByteArray::number(i).constData()) << i;
}

void PatternSourceTest::theSearchTakesWhatTheBoxesShow() {
    QFETCH(int, index);
    struct Case {
        std::function<void(WindowFixture&)> steps;
        std::array<std::optional<int>, 3> searched;
        const char* compared;
    };
    const std::vector<Case> cases = {
        // An edit on the tab in view counts without selecting the tab again.
        {[](WindowFixture& f) { typeInto(f, "Text2(2)", "5"); }, shown(2, 5, 9), "比较第1、2、3位"},
        // The third tab's boxes follow the search type at once: big/small of 6 1 8.
        {[](WindowFixture& f) {
             f.find<QLineEdit>("Text4")->setText(QStringLiteral("2014004"));
             f.find<QTabWidget>("TabStrip1")->setCurrentIndex(2);
             click(f, "Option3(1)");
         },
         shown(1, 0, 1), "比较第1、2、3位"},
        // ...and N: two back from 2014003 is 3 3 3.
        {[](WindowFixture& f) {
             f.find<QLineEdit>("Text4")->setText(QStringLiteral("2014004"));
             f.find<QTabWidget>("TabStrip1")->setCurrentIndex(2);
             click(f, "Option1(2)");
         },
         shown(3, 3, 3), "比较第1、2、3位"},
        // A search type chosen on another tab reaches the first tab's boxes too: odd/even of 2 7 9.
        {[](WindowFixture& f) {
             f.find<QTabWidget>("TabStrip1")->setCurrentIndex(1);
             click(f, "Option3(2)");
             f.find<QTabWidget>("TabStrip1")->setCurrentIndex(0);
         },
         shown(0, 1, 1), "比较第1、2、3位"},
        // A ticked position whose box holds no number is not compared, and the summary says so.
        {[](WindowFixture& f) { f.find<QLineEdit>("Text2(3)")->clear(); },
         {2, 7, std::nullopt},
         "比较第1、2位"},
    };
    const Case& c = cases[static_cast<std::size_t>(index)];
    WindowFixture f;
    f.storeDraws(history());
    auto& w = f.open();
    c.steps(f);
    QCOMPARE(w.pattern(), c.searched);
    click(f, "Command1");
    QVERIFY(w.searched());
    QCOMPARE(w.searched()->pattern, c.searched);
    QVERIFY(f.dialogs.shown.isEmpty());
    QVERIFY(f.find<QLabel>("conditionSummary")->text().contains(QString::fromUtf8(c.compared)));
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
