// SPDX-License-Identifier: GPL-3.0-or-later
// The online update from the window's button: the questions it asks, the refresh afterwards.
#include "ChartPages.h"
#include "ChartServer.h"
#include "OnlineUpdate.h"
#include "Settings.h"
#include "WindowFixture.h"

#include <QAbstractButton>
#include <QAction>
#include <QDate>
#include <QLineEdit>
#include <QTableView>
#include <QtTest>

using namespace brenvik;
using namespace brenvik::test;

namespace {} // namespace

class OnlineWindowTest : public QObject {
    Q_OBJECT
private slots:
    void cancelAsksNothingElse();
    void theFirstUpdateAsksForTheSiteThenAppends();
    void anUnreachableSiteIsReportedAndTheHistoryKept();
    void theSiteCanBeChangedFromTheSettingsMenu();
};

void OnlineWindowTest::cancelAsksNothingElse() {
    WindowFixture f;
    f.open();
    f.dialogs.answer(false);
    QTest::mouseClick(f.find<QAbstractButton>("Command21"), Qt::LeftButton);
    QCOMPARE(f.dialogs.shown.size(), 1);
    QCOMPARE(f.dialogs.shown[0].title, QStringLiteral("读入历史"));
    QCOMPARE(f.dialogs.shown[0].text, ui::online::kConfirmText);
}

void OnlineWindowTest::theFirstUpdateAsksForTheSiteThenAppends() {
    const int year = QDate::currentDate().year();
    ChartServer server;
    server.setPage(QStringLiteral("sd"), year,
                   QByteArray::fromStdString(chartPage(year, drawsOf(year, 1, 30))),
                   "text/html; charset=utf-8");
    WindowFixture f;
    f.storeDraws(drawsOf(year, 1, 25));
    auto& w = f.open();
    f.dialogs.answer(true);
    f.dialogs.answer(server.host());
    QTest::mouseClick(f.find<QAbstractButton>("Command21"), Qt::LeftButton);
    QCOMPARE(server.requests, QStringList{QStringLiteral("sd %1").arg(year)});
    QCOMPARE(f.setting(keys::strZstHost), server.host());
    QCOMPARE(w.history().size(), std::size_t(30));
    QCOMPARE(f.find<QTableView>("MSFlexGrid1")->model()->rowCount(), 30);
    QCOMPARE(f.find<QLineEdit>("Text1")->text(), QString::number(year * 1000 + 31));
    QCOMPARE(f.find<QLineEdit>("Text3(1)")->text(), QString::number(year * 1000 + 30));
    QCOMPARE(f.dialogs.shown.last().kind, QStringLiteral("inform"));
    QVERIFY(f.dialogs.shown.last().text.contains(QStringLiteral("5")));
    // The buttons that change the history work again afterwards.
    QVERIFY(f.find<QWidget>("Command3")->isEnabled());
    QVERIFY(f.find<QAction>("mnuClear")->isEnabled());

    // The site is remembered: the next update asks only for the confirmation.
    f.dialogs.shown.clear();
    f.dialogs.answer(true);
    QTest::mouseClick(f.find<QAbstractButton>("Command21"), Qt::LeftButton);
    QCOMPARE(f.dialogs.shown.size(), 2);
    QCOMPARE(w.history().size(), std::size_t(30));
}

void OnlineWindowTest::anUnreachableSiteIsReportedAndTheHistoryKept() {
    const int year = QDate::currentDate().year();
    WindowFixture f;
    f.storeDraws(drawsOf(year, 1, 25));
    f.setSetting(keys::strZstHost, refusingHost());
    auto& w = f.open();
    f.dialogs.answer(true);
    QTest::mouseClick(f.find<QAbstractButton>("Command21"), Qt::LeftButton);
    QCOMPARE(w.history().size(), std::size_t(25));
    QCOMPARE(f.dialogs.shown.last().kind, QStringLiteral("warn"));
}

void OnlineWindowTest::theSiteCanBeChangedFromTheSettingsMenu() {
    WindowFixture f;
    f.setSetting(keys::strZstHost, QStringLiteral("http://127.0.0.1:9"));
    f.open();
    f.dialogs.answer(QStringLiteral("chart.example:8080"));
    f.find<QAction>("mnuChartSite")->trigger();
    QCOMPARE(f.dialogs.shown[0].title, QStringLiteral("图表站点"));
    QCOMPARE(f.setting(keys::strZstHost), QStringLiteral("http://chart.example:8080"));
    f.dialogs.cancel();
    f.find<QAction>("mnuChartSite")->trigger();
    QCOMPARE(f.setting(keys::strZstHost), QStringLiteral("http://chart.example:8080"));
}

QTEST_MAIN(OnlineWindowTest)
#include "OnlineWindowTest.moc"
