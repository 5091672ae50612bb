// SPDX-License-Identifier: GPL-3.0-or-later
// The 缩水 window: conditions typed and ticked, the count and the record it shows, what it keeps in
// the settings, copies and exports, and the 定位 it takes from the search shown.
#include "FilterWindow.h"
#include "WindowFixture.h"

#include <QAbstractButton>
#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QScreen>
#include <QTableView>
#include <QtTest>

using namespace brenvik;
using namespace brenvik::test;

namespace {

// The window over a history of ten draws: after 1 2 3 (or 3 2 1) came 4 5 6, 4 7 6 and 4 5 9.
ui::FilterWindow* openFilter(WindowFixture& f) {
    f.storeDraws(smallHistory());
    f.open();
    QTest::mouseClick(f.find<QAbstractButton>("cmdSuoshui"), Qt::LeftButton);
    auto* w = f.find<ui::FilterWindow>("frmSuoshui");
    if (!w || !QTest::qWaitForWindowExposed(w))
        qFatal("the 缩水 window did not open");
    return w;
}

} // namespace

class FilterWindowTest : public QObject {
    Q_OBJECT
private slots:
    void conditionsInCountRecordAndExportOut();
    void takesPositionsFromTheTallyShown_data();
    void takesPositionsFromTheTallyShown();
};

void FilterWindowTest::conditionsInCountRecordAndExportOut() {
    WindowFixture f;
    ui::FilterWindow* w = openFilter(f);
    auto& main = f.window();
    f.find<QAction>("mnuSuoshui")->trigger();
    QCOMPARE(main.findChildren<ui::FilterWindow*>().size(), 1);
    QVERIFY(main.screen()->availableGeometry().contains(w->frameGeometry()));
    QVERIFY(w->minimumSizeHint().width() < 1000 && w->minimumSizeHint().height() < 560);
    // Every control a user can reach with Tab has its name for tests and for a screen reader.
    for (QWidget* c : w->findChildren<QWidget*>()) {
        const auto* area = qobject_cast<QAbstractScrollArea*>(c->parentWidget());
        if ((c->focusPolicy() & Qt::TabFocus) && !(area && area->viewport() == c))
            QVERIFY2(!c->objectName().isEmpty() && !c->accessibleName().isEmpty(),
                     c->metaObject()->className());
    }

    const auto text = [w](const char* label) { return w->findChild<QLabel*>(QLatin1String(label))->text(); };
    const auto box = [w](const char* name) { return w->findChild<QLineEdit*>(QLatin1String(name)); };
    const auto click = [w](const char* name) {
        QTest::mouseClick(w->findChild<QAbstractButton*>(QLatin1String(name)), Qt::LeftButton);
    };
    QCOMPARE(text("lblKept"), QStringLiteral("保留 1,000 注（100.0%），合 210 组组选"));

    // 和值 6 and 组六: the orders of 015, 024 and 123; 123 came three times and 321 once.
    QTest::keyClicks(box("txtSum"), QStringLiteral("6"));
    click("chkForm(2)");
    QCOMPARE(text("lblKept"), QStringLiteral("保留 18 注（1.8%），合 3 组组选"));
    QCOMPARE(text("lblRecord"),
             QStringLiteral("第 2013001～2013010 期：保留 18 注（1.8%）；历史上命中 40.0%（95% 区间 "
                            "16.8%–68.7%），比随机多中（p<0.001）；按每期全买计，花费 360 元，"
                            "中奖 4,160 元，净赚 3,800 元。"));
    QTRY_COMPARE(f.setting("strSuoshui"), QStringLiteral("sum=6;form=zuliu"));
    box("txtFilterStart")->setText(QStringLiteral("2013004"));
    box("txtFilterEnd")->setText(QStringLiteral("2013007"));
    QVERIFY(text("lblRecord")
                .startsWith(QStringLiteral("第 2013004～2013007 期：保留 18 注（1.8%）；历史上命中 50.0%")));
    box("txtFilterStart")->setText(QStringLiteral("2013008"));
    QCOMPARE(text("lblRecord"), QStringLiteral("起始期号大于截止期号，请改正后再看历史战绩。"));
    box("txtFilterStart")->clear();
    box("txtFilterEnd")->clear();
    QTest::keyClicks(box("txtSum"), QStringLiteral("8"));
    QCOMPARE(text("lblKept"), QStringLiteral("和值只能取 0～27，不能是 68。"));
    QTest::keyClick(box("txtSum"), Qt::Key_Backspace);

    w->findChild<QComboBox*>(QStringLiteral("cboCopyStyle"))->setCurrentIndex(1);
    click("cmdCopy");
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QStringLiteral("015 024 042 051 105 123 132 150 204 213 231 240 312 321 402 420 501 510"));

    // Grouped, priced as 组选 tickets (each a 组六 of 173 元), exported with the conditions above the
    // grid and the record under it; the choice is kept.
    click("optZuxuan");
    QCOMPARE(f.setting("bolSuoshuiZuxuan"), QStringLiteral("True"));
    QVERIFY2(text("lblRecord").contains(QStringLiteral("合组选 3 组（中奖机会 1.8%）")),
             qPrintable(text("lblRecord")));
    QVERIFY(text("lblRecord").contains(QStringLiteral("花费 60 元，中奖 692 元，净赚 632 元。")));
    auto* grid = w->findChild<QTableView*>(QStringLiteral("grdSuoshui"));
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, QPoint(20, 10));
    const QString sheet = f.home() + QStringLiteral("/Suoshui.xlsx");
    QCOMPARE(f.dialogs.opened.value(0), QUrl::fromLocalFile(sheet));
    const QStringList rows = sheetRows(sheet);
    QCOMPARE(rows.mid(0, 5),
             (QStringList{QStringLiteral("缩水条件：和值 6；形态 组六"),
                          QStringLiteral("序号\t组选号码\t和值\t跨度\t形态\t注数"),
                          QStringLiteral("1\t015\t6\t5\t组六\t6"), QStringLiteral("2\t024\t6\t4\t组六\t6"),
                          QStringLiteral("3\t123\t6\t2\t组六\t6")}));
    QVERIFY(rows.value(5).startsWith(QStringLiteral("第 2013001～2013010 期：保留 18 注")));

    // Saved when the window closes, however soon after the change.
    click("tglKill(3)");
    QCOMPARE(text("lblKept"), QStringLiteral("保留 12 注（1.2%），合 2 组组选"));
    w->close();
    QCOMPARE(f.setting("strSuoshui"), QStringLiteral("sum=6;form=zuliu;kill=3"));
    f.close();
    f.open();
    f.find<QAction>("mnuSuoshui")->trigger();
    QVERIFY(f.window().findChild<QAbstractButton*>(QStringLiteral("optZuxuan"))->isChecked());
}

void FilterWindowTest::takesPositionsFromTheTallyShown_data() {
    QTest::addColumn<QStringList>("clicks"); // in the main window, before its search
    QTest::addColumn<bool>("search");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("said");
    QTest::addColumn<QStringList>("ticked");
    // After 1 2 3 (and 3 2 1) came 4 5 6, 4 7 6 and 4 5 9.
    QTest::newRow("numbers of position 1")
        << QStringList{} << true << "1"
        << "取统计结果的前几名作为第1位的定位？（1～1）" << QStringList{"tglPos1(4)"};
    QTest::newRow("big or small at position 2: 大 is 5 to 9")
        << QStringList{"Option4(1)", "Option5(2)"} << true << "1"
        << "取统计结果的前几名作为第2位的定位？（1～1）"
        << QStringList{"tglPos2(5)", "tglPos2(6)", "tglPos2(7)", "tglPos2(8)", "tglPos2(9)"};
    QTest::newRow("group of positions 1 and 2: 4 thrice, 5 twice, 7 once")
        << QStringList{"Option2(5)", "Option5(2)"} << true << "2"
        << "取统计结果的前几名作为第1、2位的定位？（1～3）"
        << QStringList{"tglPos1(4)", "tglPos1(5)", "tglPos2(4)", "tglPos2(5)"};
    QTest::newRow("more than the outcomes counted") << QStringList{"Option4(2)", "Option5(3)"} << true << "3"
                                                    << "请输入 1～2 的整数。" << QStringList{};
    QTest::newRow("no search yet") << QStringList{} << false << "1"
                                   << "主窗口还没有统计结果。请先在主窗口检索，再取检索结果。"
                                   << QStringList{};
}

void FilterWindowTest::takesPositionsFromTheTallyShown() {
    QFETCH(QStringList, clicks);
    QFETCH(bool, search);
    QFETCH(QString, answer);
    QFETCH(QString, said);
    QFETCH(QStringList, ticked);
    WindowFixture f;
    ui::FilterWindow* w = openFilter(f);
    for (const QString& name : clicks)
        QTest::mouseClick(f.find<QAbstractButton>(name), Qt::LeftButton);
    if (search)
        QTest::mouseClick(f.find<QAbstractButton>("Command1"), Qt::LeftButton);
    f.dialogs.answer(answer);
    QTest::mouseClick(w->findChild<QAbstractButton*>(QStringLiteral("cmdFromSearch")), Qt::LeftButton);
    QCOMPARE(f.dialogs.shown.last().text, said);
    QStringList checked;
    for (QAbstractButton* b : w->findChildren<QAbstractButton*>())
        if (b->objectName().startsWith(QStringLiteral("tglPos")) && b->isChecked())
            checked << b->objectName();
    checked.sort();
    QCOMPARE(checked, ticked);
}

QTEST_MAIN(FilterWindowTest)
#include "FilterWindowTest.moc"
