// SPDX-License-Identifier: GPL-3.0-or-later
// A pattern typed into a box is checked against the search type before a search: a value the type
// never takes is refused with a message naming the box, and the box gets the focus back. The limit
// to the draws before a chosen issue belongs to its tab.
#include "Settings.h"
#include "WindowFixture.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLineEdit>
#include <QStatusBar>
#include <QTabWidget>
#include <QtTest>

using namespace brenvik;
using namespace brenvik::test;

class PatternCheckTest : public QObject {
    Q_OBJECT
private slots:
    void patternsOutsideTheSearchTypeAreRefused_data();
    void patternsOutsideTheSearchTypeAreRefused();
    void theLimitBelongsToTheChosenIssueTab();
};

void PatternCheckTest::patternsOutsideTheSearchTypeAreRefused_data() {
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("type");     // the Option3 chosen
    QTest::addColumn<QString>("segments"); // DsIni
    QTest::addColumn<QString>("values");   // the pattern boxes of the tab, position 1 to 3
    QTest::addColumn<QString>("unticked"); // a position check cleared, or ""
    QTest::addColumn<QString>("button");   // Command1 (follow) or Command2 (combination)
    QTest::addColumn<QString>("refused");  // the box refused, "" when the search runs
    QTest::addColumn<QString>("said");
    QTest::newRow("大小 7 3 9") << 1 << "Option3(1)"
                                << "1"
                                << "7,3,9"
                                << ""
                                << "Command1"
                                << "Text22(1)"
                                << "“手动输入号”第1位是 7，大小只有 0（小）和 1（大）";
    QTest::newRow("单双 0 1 2") << 1 << "Option3(2)"
                                << "1"
                                << "0,1,2"
                                << ""
                                << "Command1"
                                << "Text22(3)"
                                << "第3位是 2，单双只有 0（双）和 1（单）";
    QTest::newRow("段数 0 with 1~5") << 1 << "Option3(3)"
                                     << "1"
                                     << "0,3,5"
                                     << ""
                                     << "Command1"
                                     << "Text22(1)"
                                     << "段数只有 1 到 5（段数参数1~5）";
    QTest::newRow("段数 5 with 0~4") << 1 << "Option3(3)"
                                     << "0"
                                     << "0,3,5"
                                     << ""
                                     << "Command1"
                                     << "Text22(3)"
                                     << "段数只有 0 到 4（段数参数0~4）";
    QTest::newRow("号码 -1") << 1 << "Option3(0)"
                             << "1"
                             << "-1,3,5"
                             << ""
                             << "Command1"
                             << "Text22(1)"
                             << "号码只有 0 到 9";
    QTest::newRow("号码 12 on the first tab") << 0 << "Option3(0)"
                                              << "1"
                                              << "2,12,9"
                                              << ""
                                              << "Command1"
                                              << "Text2(2)"
                                              << "“自动历史位”第2位是 12";
    QTest::newRow("大小 in range") << 1 << "Option3(1)"
                                   << "1"
                                   << "1,0,1"
                                   << ""
                                   << "Command1"
                                   << ""
                                   << "";
    QTest::newRow("a position not compared") << 1 << "Option3(1)"
                                             << "1"
                                             << "1,0,7"
                                             << "Check11(3)"
                                             << "Command1"
                                             << ""
                                             << "";
    QTest::newRow("combination compares all") << 1 << "Option3(1)"
                                              << "1"
                                              << "1,0,7"
                                              << "Check11(3)"
                                              << "Command2"
                                              << "Text22(3)"
                                              << "第3位是 7";
}

void PatternCheckTest::patternsOutsideTheSearchTypeAreRefused() {
    QFETCH(int, tab);
    QFETCH(QString, type);
    QFETCH(QString, segments);
    QFETCH(QString, values);
    QFETCH(QString, unticked);
    QFETCH(QString, button);
    QFETCH(QString, refused);
    QFETCH(QString, said);
    WindowFixture f;
    f.setSetting(keys::DsIni, segments);
    f.storeDraws(smallHistory(), segments.toInt());
    auto& w = f.open();
    QTest::mouseClick(f.find<QAbstractButton>(type), Qt::LeftButton);
    f.find<QTabWidget>("TabStrip1")->setCurrentIndex(tab);
    const QStringList v = values.split(QLatin1Char(','));
    for (int p = 1; p <= 3; ++p)
        f.find<QLineEdit>(QString::fromLatin1(tab == 1 ? "Text22(%1)" : "Text2(%1)").arg(p))
            ->setText(v[p - 1]);
    if (!unticked.isEmpty())
        QTest::mouseClick(f.find<QAbstractButton>(unticked), Qt::LeftButton);
    QTest::mouseClick(f.find<QAbstractButton>(button), Qt::LeftButton);
    if (refused.isEmpty()) {
        QVERIFY(f.dialogs.shown.isEmpty());
        QVERIFY(w.searched());
        return;
    }
    QCOMPARE(f.dialogs.shown.size(), 1);
    QCOMPARE(f.dialogs.shown[0].kind, QStringLiteral("warn"));
    QVERIFY2(f.dialogs.shown[0].text.contains(said), qPrintable(f.dialogs.shown[0].text));
    QVERIFY(f.dialogs.shown[0].text.endsWith(QStringLiteral("未检索。")));
    QVERIFY(!w.searched());
    QTRY_COMPARE(QApplication::focusWidget(), f.find<QWidget>(refused));
}

void PatternCheckTest::theLimitBelongsToTheChosenIssueTab() {
    WindowFixture f;
    f.storeDraws(drawsFrom(2013001, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {1, 3, 5}, {2, 4, 6}}));
    auto& w = f.open();
    auto* tabs = f.find<QTabWidget>("TabStrip1");
    auto* check4 = f.find<QCheckBox>("Check4");
    auto* end = f.find<QLineEdit>("Text3(1)");
    // It sits on the third tab, with the chosen issue: out of sight elsewhere.
    QVERIFY(f.find<QWidget>("Frame2(2)")->isAncestorOf(check4));
    QVERIFY(f.find<QWidget>("Frame2(2)")->isAncestorOf(f.find<QWidget>("Text4")));
    QVERIFY(!check4->isVisible());

    tabs->setCurrentIndex(2);
    f.find<QLineEdit>("Text4")->setText(QStringLiteral("2013004"));
    QTest::mouseClick(check4, Qt::LeftButton);
    QCOMPARE(end->text(), QStringLiteral("2013003"));
    // The typed pattern's tab searches up to the newest draw, and says why the range changed.
    tabs->setCurrentIndex(1);
    QCOMPARE(end->text(), QStringLiteral("2013005"));
    QVERIFY(w.statusBar()->currentMessage().contains(QStringLiteral("只用于“验证指定期”")));
    // Back on its tab, the limit is in force again.
    tabs->setCurrentIndex(2);
    QCOMPARE(end->text(), QStringLiteral("2013003"));
}

QTEST_MAIN(PatternCheckTest)
#include "PatternCheckTest.moc"
