// SPDX-License-Identifier: GPL-3.0-or-later
// Typing the newest draw into the three digit boxes, and the count box for N draws back.
#include "Clock.h"
#include "HistoryStore.h"
#include "Settings.h"
#include "WindowFixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QTableView>
#include <QtTest>

using namespace brenvik;
using namespace brenvik::test;

class ManualEntryTest : public QObject {
    Q_OBJECT
private slots:
    void typingThreeDigitsStoresTheDraw();
    void aDrawNeedsAllThreeDigits();
    void theDrawAfterAYearEndTakesTheProposal();
    void theFirstDrawOfAnEmptyHistoryTakesText1();
    void aBadIssueStoresNothing();
    void aDrawStoredElsewhereIsCheckedAgainstAndFollowed();
    void segmentParameterChosenBeforeEntry();
    void countBoxSetsNAndRange();
    void countBoxEmptyOrZeroKeepsN();

private:
    static void type(WindowFixture& f, const char* box, const QString& text) {
        QTest::keyClicks(f.find<QWidget>(box), text);
    }
};

void ManualEntryTest::typingThreeDigitsStoresTheDraw() {
    WindowFixture f;
    f.storeDraws(drawsFrom(2013099, {{9, 9, 9}, {5, 0, 3}}));
    auto& w = f.open();
    f.find<QWidget>("MaskEdBox1(1)")->setFocus();
    type(f, "MaskEdBox1(1)", "1");
    type(f, "MaskEdBox1(2)", "2");
    type(f, "MaskEdBox1(3)", "3");

    const auto& h = w.history();
    QCOMPARE(h.size(), std::size_t(3));
    const DrawRow& row = *h.last();
    QCOMPARE(row.sqqh, 2013101);
    QCOMPARE(row.qqh, 2013102);
    QCOMPARE(row.digit(1), 1);
    QCOMPARE(row.digit(3), 3);
    QCOMPARE(QString::fromStdString(row.last[0]), QStringLiteral("503"));
    QCOMPARE(row.prev[1][0], std::int16_t(0));
    QCOMPARE(row.back[0][0], std::int16_t(9)); // P codes: the draw two back
    for (const char* box : {"MaskEdBox1(1)", "MaskEdBox1(2)", "MaskEdBox1(3)"})
        QCOMPARE(f.find<QLineEdit>(box)->text(), QString());
    QCOMPARE(QApplication::focusWidget(), f.find<QWidget>("MaskEdBox1(1)"));
    QCOMPARE(f.find<QLineEdit>("Text3(1)")->text(), QStringLiteral("2013102"));
    QCOMPARE(f.find<QLineEdit>("Text1")->text(), QStringLiteral("2013102"));
    QCOMPARE(f.find<QTableView>("MSFlexGrid1")->model()->rowCount(), 3);
    // The pattern follows the new last draw.
    QCOMPARE(w.pattern(), shown(1, 2, 3));

    // The next draw goes in right away and is stored after a restart too.
    type(f, "MaskEdBox1(1)", "4");
    type(f, "MaskEdBox1(2)", "5");
    type(f, "MaskEdBox1(3)", "6");
    f.close();
    auto& again = f.open();
    QCOMPARE(again.history().size(), std::size_t(4));
    QCOMPARE(again.history().last()->sqqh, 2013102);
    QCOMPARE(QString::fromStdString(again.history().last()->last[0]), QStringLiteral("123"));
}

void ManualEntryTest::aDrawNeedsAllThreeDigits() {
    WindowFixture f;
    f.storeDraws({{2013001, {1, 1, 1}}});
    auto& w = f.open();
    // Box and key, in the order typed | the box with the focus afterwards | the draw stored.
    for (const char* row : {"17|2|", "35|1|", "3517|2|", "351728|1|785", "17283x39|1|789"}) {
        const QStringList c = QString::fromLatin1(row).split(QLatin1Char('|'));
        const std::size_t before = w.history().size();
        for (int i = 1; i <= 3; ++i)
            f.find<QLineEdit>(QStringLiteral("MaskEdBox1(%1)").arg(i))->clear();
        for (int k = 0; k < c[0].size(); k += 2) {
            auto* box = f.find<QWidget>(QStringLiteral("MaskEdBox1(%1)").arg(c[0][k]));
            box->setFocus();
            QTest::keyClicks(box, c[0].mid(k + 1, 1));
        }
        QCOMPARE(w.history().size(), before + (c[2].isEmpty() ? 0 : 1));
        const DrawRow& last = *w.history().last();
        if (!c[2].isEmpty())
            QCOMPARE(QStringLiteral("%1%2%3").arg(last.digit(1)).arg(last.digit(2)).arg(last.digit(3)), c[2]);
        QCOMPARE(QApplication::focusWidget(), f.find<QWidget>(QStringLiteral("MaskEdBox1(%1)").arg(c[1])));
    }
}

void ManualEntryTest::theDrawAfterAYearEndTakesTheProposal() {
    using namespace std::chrono;
    WindowFixture f;
    f.storeDraws({{2013357, {1, 1, 1}}, {2013358, {2, 2, 2}}});
    ui::setClock([] { return sys_days{year{2014} / 1 / 2}; });
    auto& w = f.open();
    QCOMPARE(f.find<QLineEdit>("Text1")->text(), QStringLiteral("2014001"));
    struct Step {
        sys_days today;
        const char* typed; // over the proposal; none to take it
        std::int32_t stored;
        const char* proposed;
    };
    const Step steps[] = {
        {year{2014} / 1 / 2, nullptr, 2014001, "2014002"},
        {year{2014} / 1 / 2, "2014005", 2014005, "2014006"}, // the proposal corrected by hand
        // After the last sequence a year can have, the next year's first, though the calendar
        // is still in the year.
        {year{2015} / 12 / 31, "2015366", 2015366, "2016001"},
    };
    for (const Step& s : steps) {
        ui::setClock([today = s.today] { return today; });
        if (s.typed)
            f.find<QLineEdit>("Text1")->setText(QLatin1String(s.typed));
        f.find<QWidget>("MaskEdBox1(1)")->setFocus();
        type(f, "MaskEdBox1(1)", "3");
        type(f, "MaskEdBox1(2)", "4");
        type(f, "MaskEdBox1(3)", "5");
        QCOMPARE(w.history().last()->sqqh, s.stored);
        QCOMPARE(f.find<QLineEdit>("Text1")->text(), QLatin1String(s.proposed));
    }
}

void ManualEntryTest::theFirstDrawOfAnEmptyHistoryTakesText1() {
    WindowFixture f;
    auto& w = f.open();
    f.find<QLineEdit>("Text1")->setText(QStringLiteral("2026001"));
    f.find<QWidget>("MaskEdBox1(1)")->setFocus();
    type(f, "MaskEdBox1(1)", "5");
    type(f, "MaskEdBox1(2)", "5");
    type(f, "MaskEdBox1(3)", "3");
    QCOMPARE(w.history().size(), std::size_t(1));
    const DrawRow& row = *w.history().last();
    QCOMPARE(row.sqqh, 2026001);
    QVERIFY(row.last[0].empty());
    QCOMPARE(row.prev, DrawCodes{});
    QCOMPARE(f.find<QLineEdit>("Text1")->text(), QStringLiteral("2026002"));
    QCOMPARE(f.find<QLineEdit>("Text3(0)")->text(), QStringLiteral("2026002"));
}

void ManualEntryTest::aBadIssueStoresNothing() {
    WindowFixture f;
    f.storeDraws({{2013100, {1, 2, 3}}});
    auto& w = f.open();
    auto* text1 = f.find<QLineEdit>("Text1");
    // Besides what is not an issue or not after the last one, what cannot be one: a sequence
    // beyond 366 or of 000, a year that has not begun (the clock stands in 2013).
    for (const char* bad : {"20131", "abc", "2013100", "2013050", "2013999", "2013000", "2014001"}) {
        text1->setText(QString::fromLatin1(bad));
        f.find<QWidget>("MaskEdBox1(1)")->setFocus();
        type(f, "MaskEdBox1(1)", "4");
        type(f, "MaskEdBox1(2)", "5");
        type(f, "MaskEdBox1(3)", "6");
        QCOMPARE(w.history().size(), std::size_t(1));
        QVERIFY(f.dialogs.shown.last().text.contains(QString::fromLatin1(bad)));
        QVERIFY(!f.dialogs.shown.last().text.contains(QLatin1Char('\n')));
        QCOMPARE(f.find<QLineEdit>("MaskEdBox1(3)")->text(), QString());
    }
    QCOMPARE(f.dialogs.shown.size(), 7);
    QCOMPARE(f.dialogs.shown[4].text, QStringLiteral("期号 2013999 的序号 999 超出 001–366，未保存。"));
    QCOMPARE(f.dialogs.shown[6].text, QStringLiteral("期号 2014001 的年份 2014 超出 2002–2013，未保存。"));
    // Mended, the same digit stores the draw.
    text1->setText(QStringLiteral("2013101"));
    f.find<QWidget>("MaskEdBox1(3)")->setFocus();
    type(f, "MaskEdBox1(3)", "6");
    QCOMPARE(w.history().size(), std::size_t(2));
    QCOMPARE(w.history().last()->digit(1), 4);
}

void ManualEntryTest::aDrawStoredElsewhereIsCheckedAgainstAndFollowed() {
    WindowFixture f;
    f.storeDraws({{2013100, {1, 2, 3}}});
    auto& w = f.open();
    // Another writer, which does not ask for the folder, stores the draw the window proposes.
    {
        auto other = HistoryStore::open(std::filesystem::path(f.home().toStdString()) / kDatabaseFile);
        const DrawLine draw{2013101, {5, 0, 3}};
        QVERIFY((*other)->appendDraws(std::span(&draw, 1), 1));
    }
    QCOMPARE(f.find<QLineEdit>("Text1")->text(), QStringLiteral("2013101"));
    f.find<QWidget>("MaskEdBox1(1)")->setFocus();
    type(f, "MaskEdBox1(1)", "4");
    type(f, "MaskEdBox1(2)", "5");
    type(f, "MaskEdBox1(3)", "6");
    QCOMPARE(f.dialogs.shown.size(), 1);
    QCOMPARE(f.dialogs.shown[0].text, QStringLiteral("期号 2013101 不大于已有的最后一期 2013101，未保存。"));
    // Under the next issue the draw is stored after the one stored elsewhere, and describes it.
    f.find<QLineEdit>("Text1")->setText(QStringLiteral("2013102"));
    f.find<QWidget>("MaskEdBox1(3)")->setFocus();
    type(f, "MaskEdBox1(3)", "6");
    QCOMPARE(w.history().size(), std::size_t(3));
    QCOMPARE(QString::fromStdString(w.history().last()->last[0]), QStringLiteral("503"));
    QCOMPARE(w.history().last()->back[0][0], std::int16_t(1));
}

void ManualEntryTest::segmentParameterChosenBeforeEntry() {
    WindowFixture f;
    f.storeDraws({{2013001, {0, 1, 9}}}, 1);
    auto& w = f.open();
    QAction* zero = w.findChild<QAction*>(QStringLiteral("mnuDscs(0)"));
    zero->trigger();
    f.find<QWidget>("MaskEdBox1(1)")->setFocus();
    type(f, "MaskEdBox1(1)", "0");
    type(f, "MaskEdBox1(2)", "1");
    type(f, "MaskEdBox1(3)", "9");
    const auto& h = w.history();
    QCOMPARE(h[0].own[0][3], std::int16_t(1)); // stored rows keep their segments
    QCOMPARE(h[1].own[0][3], std::int16_t(0));
    QCOMPARE(h[1].own[1][3], std::int16_t(0));
    QCOMPARE(h[1].own[2][3], std::int16_t(4));
}

void ManualEntryTest::countBoxSetsNAndRange() {
    WindowFixture f;
    f.setSetting(keys::bolSq, QStringLiteral("False"));
    f.storeDraws(drawsFrom(2013001, {{1, 1, 1}, {2, 2, 2}, {3, 3, 3}, {4, 4, 4}, {5, 5, 5}}));
    auto& w = f.open();
    QCOMPARE(w.pattern(), shown(4, 4, 4));
    auto* box = f.find<QLineEdit>("MaskEdBox2");
    box->setFocus();
    type(f, "MaskEdBox2", "3");
    f.find<QWidget>("Text3(0)")->setFocus(); // leave the box
    QCOMPARE(f.setting(keys::intPreQi), QStringLiteral("3"));
    QCOMPARE(w.pattern(), shown(3, 3, 3));
    QCOMPARE(f.find<QLineEdit>("Text2(1)")->text(), QStringLiteral("3"));
    QCOMPARE(f.find<QLineEdit>("Text3(0)")->text(), QStringLiteral("2013004"));
}

void ManualEntryTest::countBoxEmptyOrZeroKeepsN() {
    WindowFixture f;
    f.setSetting(keys::bolSq, QStringLiteral("False"));
    f.setSetting(keys::intPreQi, QStringLiteral("4"));
    f.storeDraws(drawsFrom(2013001, {{1, 1, 1}, {2, 2, 2}, {3, 3, 3}, {4, 4, 4}, {5, 5, 5}}));
    auto& w = f.open();
    auto* box = f.find<QLineEdit>("MaskEdBox2");
    for (const char* keys : {"0", "\b"}) {
        box->setFocus();
        QTest::keyClicks(box, QString::fromLatin1(keys));
        f.find<QWidget>("Text3(0)")->setFocus();
        QCOMPARE(box->text(), QString::fromLatin1(keys).remove(QLatin1Char('\b')));
        QCOMPARE(w.pattern(), shown(2, 2, 2));
        QCOMPARE(f.find<QLineEdit>("Text3(0)")->text(), QStringLiteral("2013005"));
    }
    QVERIFY(!f.hasSetting(brenvik::keys::intPreQi) ||
            f.setting(brenvik::keys::intPreQi) == QStringLiteral("4"));
}

QTEST_MAIN(ManualEntryTest)
#include "ManualEntryTest.moc"
