// SPDX-License-Identifier: GPL-3.0-or-later
// The online update from the window's button and status bar: the questions it asks, the source
// it reads, the refresh afterwards.
#include "AppPaths.h"
#include "ChartPages.h"
#include "ChartServer.h"
#include "Clock.h"
#include "HistoryStore.h"
#include "OnlineMerge.h"
#include "OnlineUpdate.h"
#include "SampleHistory.h"
#include "Settings.h"
#include "WindowFixture.h"
#include "Workspace.h"

#include <QAbstractButton>
#include <QAction>
#include <QDate>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QtTest>

using namespace brenvik;
using namespace brenvik::test;
using brenvik::ui::toPath;

class OnlineWindowTest : public QObject {
    Q_OBJECT
private slots:
    void cancelAsksNothingElse();
    void theFirstUpdateFromAChartSiteAsksForItThenAppends();
    void anUnreachableSiteIsReportedAndTheHistoryKept();
    void theSourceIsChosenInTheSettingsMenu();
    void theStatusBarOffersTheUpdateOnceTheEveningsDrawIsOut();
    void theOldYearsAreOfferedOnceTheNewDrawsAreShown();
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

void OnlineWindowTest::theFirstUpdateFromAChartSiteAsksForItThenAppends() {
    const int year = QDate::currentDate().year();
    ChartServer server;
    server.setPage(QStringLiteral("sd"), year,
                   QByteArray::fromStdString(chartPage(year, drawsOf(year, 1, 30))),
                   "text/html; charset=utf-8");
    WindowFixture f;
    f.storeDraws(drawsOf(year, 1, 25));
    f.setSetting(keys::intSjly, QStringLiteral("1"));
    auto& w = f.open();
    QSignalSpy said(w.statusBar(), &QStatusBar::messageChanged);
    f.dialogs.answer(true);
    f.dialogs.answer(server.host());
    QTest::mouseClick(f.find<QAbstractButton>("Command21"), Qt::LeftButton);
    QCOMPARE(server.requests, QStringList{QStringLiteral("sd %1").arg(year)});
    QCOMPARE(f.setting(keys::strZstHost), server.host());
    // While it reads, the status bar says from where.
    QCOMPARE(said.first().first().toString(), QStringLiteral("正在从走势图站点更新福彩3D的历史号码……"));
    QCOMPARE(w.history().size(), std::size_t(30));
    QCOMPARE(f.find<QTableView>("MSFlexGrid1")->model()->rowCount(), 30);
    QCOMPARE(f.find<QLineEdit>("Text1")->text(), QString::number(year * 1000 + 31));
    QCOMPARE(f.find<QLineEdit>("Text3(1)")->text(), QString::number(year * 1000 + 30));
    QCOMPARE(f.dialogs.shown.last().kind, QStringLiteral("inform"));
    QVERIFY(f.dialogs.shown.last().text.contains(QStringLiteral("新增 5 期")));
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
    // A user who stored a chart site before there was a choice keeps reading it.
    f.setSetting(keys::strZstHost, refusingHost());
    auto& w = f.open();
    f.dialogs.answer(true);
    QTest::mouseClick(f.find<QAbstractButton>("Command21"), Qt::LeftButton);
    QCOMPARE(w.history().size(), std::size_t(25));
    QCOMPARE(f.dialogs.shown.last().kind, QStringLiteral("warn"));
    QVERIFY(
        f.dialogs.shown.last().text.contains(QStringLiteral("走势图失败（连接被拒绝），历史号码未改动。")));
}

void OnlineWindowTest::theSourceIsChosenInTheSettingsMenu() {
    WindowFixture f;
    f.setSetting(keys::strZstHost, QStringLiteral("http://127.0.0.1:9"));
    f.open();
    // Fills in the dialog once it is up: the source, the site, the feed's address, then OK.
    const auto choose = [&](bool chart, const QString& site, const QString& feed = {}) {
        QTimer::singleShot(0, [&f, chart, site, feed] {
            auto* dialog = f.window().findChild<QDialog*>(QStringLiteral("frmSource"));
            QVERIFY(dialog && dialog->isVisible());
            dialog
                ->findChild<QRadioButton*>(chart ? QStringLiteral("optSourceChart")
                                                 : QStringLiteral("optSourceOfficial"))
                ->setChecked(true);
            // Only the chosen source's address can be edited.
            QCOMPARE(dialog->findChild<QLineEdit*>(QStringLiteral("txtChartSite"))->isEnabled(), chart);
            QCOMPARE(dialog->findChild<QLineEdit*>(QStringLiteral("txtFeedSite"))->isEnabled(), !chart);
            dialog->findChild<QLineEdit*>(QStringLiteral("txtChartSite"))->setText(site);
            dialog->findChild<QLineEdit*>(QStringLiteral("txtFeedSite"))->setText(feed);
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
            // A site that is none keeps the dialog open; it is then cancelled.
            if (dialog->isVisible())
                dialog->reject();
        });
        f.find<QAction>("mnuSource")->trigger();
    };
    QCOMPARE(f.find<QAction>("mnuSource")->text(), QStringLiteral("数据来源(&S)…"));

    choose(true, QStringLiteral("abc"));
    QCOMPARE(f.dialogs.shown.size(), 1);
    QCOMPARE(f.dialogs.shown[0].kind, QStringLiteral("warn"));
    QVERIFY(f.dialogs.shown[0].text.startsWith(QStringLiteral("“abc”不是可用的网站地址")));
    QVERIFY(!f.hasSetting(keys::intSjly));
    QCOMPARE(f.setting(keys::strZstHost), QStringLiteral("http://127.0.0.1:9"));

    choose(true, QStringLiteral(" chart.example:8080/"));
    QCOMPARE(f.setting(keys::intSjly), QStringLiteral("1"));
    QCOMPARE(f.setting(keys::strZstHost), QStringLiteral("http://chart.example:8080"));

    // The operator's feed needs no address: the chart site's box is not looked at, and an empty
    // feed address is the operators' own.
    choose(false, QStringLiteral("abc"));
    QCOMPARE(f.setting(keys::intSjly), QStringLiteral("0"));
    QCOMPARE(f.setting(keys::strZstHost), QStringLiteral("http://chart.example:8080"));
    QCOMPARE(f.setting(keys::strGfHost), QString());
    QCOMPARE(f.dialogs.shown.size(), 1);

    // A mirror of the feeds is checked as the chart site is.
    choose(true, QStringLiteral("chart.example:8080"));
    choose(false, {}, QStringLiteral("abc"));
    QCOMPARE(f.dialogs.shown.size(), 2);
    QVERIFY(f.dialogs.shown[1].text.startsWith(QStringLiteral("“abc”不是可用的网站地址")));
    QCOMPARE(f.setting(keys::intSjly), QStringLiteral("1"));
    choose(false, {}, QStringLiteral(" 127.0.0.1:8081/ "));
    QCOMPARE(f.setting(keys::intSjly), QStringLiteral("0"));
    QCOMPARE(f.setting(keys::strGfHost), QStringLiteral("http://127.0.0.1:8081"));
}

void OnlineWindowTest::theStatusBarOffersTheUpdateOnceTheEveningsDrawIsOut() {
    using namespace std::chrono;
    const auto real = sampleDraws("fc3d-history.txt");
    // Only years the retention rule keeps, so that nothing else is asked.
    const auto recent =
        std::find_if(real.begin(), real.end(), [](const DrawLine& d) { return d.issue > 2021000; });
    const std::vector<DrawLine> stored(recent, real.end() - 4);
    ChartServer server;
    server.setFeed(Game::Fc3d, real);
    WindowFixture f;
    f.storeDraws(stored);
    f.setSetting(keys::strGfHost, server.host());
    // Last updated at 21:00 in China, before that evening's results; it is 22:00 now.
    const auto evening = sys_days{year{2026} / 8 / 22};
    {
        auto store = HistoryStore::open(toPath(f.home()) / kDatabaseFile).value();
        QVERIFY(markUpdated(*store, evening + hours(13)));
    }
    ui::setClock([evening] { return evening + hours(14); });
    auto& w = f.open();
    auto* offer = f.find<QLabel>("lblUpdated");
    QVERIFY2(offer->text().contains(QStringLiteral("立即更新")), qPrintable(offer->text()));
    QVERIFY(server.requests.isEmpty()); // offered, never done unasked

    emit offer->linkActivated(QStringLiteral("update"));

    // One click: no question before it, the result after it.
    QCOMPARE(f.dialogs.shown.size(), 1);
    QCOMPARE(f.dialogs.shown[0].kind, QStringLiteral("inform"));
    QCOMPARE(server.requests, (QStringList{"home", "3d 1"}));
    QCOMPARE(w.history().size(), stored.size() + 4);
    QVERIFY2(!offer->text().contains(QStringLiteral("立即更新")), qPrintable(offer->text()));
    QVERIFY2(offer->text().startsWith(QStringLiteral("上次在线更新：")), qPrintable(offer->text()));
}

void OnlineWindowTest::theOldYearsAreOfferedOnceTheNewDrawsAreShown() {
    const auto real = sampleDraws("fc3d-history.txt"); // 2004001 to 2026224
    const auto news = drawsAfterSample(Game::Fc3d, 2026230);
    std::vector<DrawLine> y2026, kept;
    std::copy_if(real.begin(), real.end(), std::back_inserter(y2026),
                 [](const DrawLine& d) { return d.issue > 2026000; });
    std::copy_if(real.begin(), real.end(), std::back_inserter(kept),
                 [](const DrawLine& d) { return d.issue > 2020000; });
    y2026.insert(y2026.end(), news.begin(), news.end());
    auto all = real;
    all.insert(all.end(), news.begin(), news.end());
    kept.insert(kept.end(), news.begin(), news.end());
    const QString question =
        QStringLiteral("将删除 2004–2019 年的 5,438 期历史号码，仅保留最近 6 年。要删除吗？\n"
                       "删除\n这次保留\n总是保留");
    struct Case {
        const char* what;
        QString declined; // strBlJj before the update
        QVariant answer;  // none: Enter, Escape or no answer at all
        bool siteFails;
        bool asked;
        std::vector<DrawLine> after;
        QString years; // IniSerchDay afterwards
    };
    const Case cases[] = {
        {"删除: the years kept alone", {}, 0, false, true, kept, "6"},
        {"这次保留, the default: every year stays", {}, QVariant(), false, true, all, "6"},
        {"总是保留: every year, from now on", {}, 2, false, true, all, "0"},
        {"kept last year: asked again in a new year", "6 2025", 1, false, true, all, "6"},
        {"kept this year under another setting: asked again", "8 2026", 1, false, true, all, "6"},
        {"kept this year under this setting: not asked", "6 2026", {}, false, false, all, "6"},
        {"a site that fails: nothing is asked", {}, {}, true, false, real, "6"},
    };
    for (const Case& c : cases) {
        ChartServer server;
        server.setCharts(Game::Fc3d, y2026);
        WindowFixture f;
        f.storeDraws(real);
        f.setSetting(keys::intSjly, QStringLiteral("1"));
        f.setSetting(keys::strZstHost, c.siteFails ? refusingHost() : server.host());
        f.setSetting(keys::IniSerchDay, QStringLiteral("6"));
        if (!c.declined.isEmpty())
            f.setSetting(keys::strBlJj, c.declined);
        auto& w = f.open();
        // What had been asked when the window showed the new draws.
        QList<qsizetype> askedBeforeShown;
        connect(&w.workspace(), &ui::Workspace::historyChanged, &w,
                [&] { askedBeforeShown << f.dialogs.shown.size(); });
        f.dialogs.answer(true);
        if (c.answer.isValid())
            f.dialogs.answer(c.answer);
        QTest::mouseClick(f.find<QAbstractButton>("Command21"), Qt::LeftButton);

        QStringList kinds;
        for (const auto& shown : f.dialogs.shown)
            kinds << shown.kind;
        const QStringList wanted = c.asked ? QStringList{"confirm", "choice", "inform"}
                                           : QStringList{"confirm", c.siteFails ? "warn" : "inform"};
        QCOMPARE(kinds, wanted);
        if (c.asked) {
            QCOMPARE(f.dialogs.shown[1].text, question);
            QVERIFY2(!askedBeforeShown.isEmpty() && askedBeforeShown.first() == 1, c.what);
        }
        QVERIFY2(storedDraws(toPath(f.home()) / kDatabaseFile) == c.after, c.what);
        QCOMPARE(f.setting(keys::IniSerchDay), c.years);

        // The next update asks nothing: the years are gone, or kept for the rest of the year.
        f.dialogs.shown.clear();
        f.dialogs.answer(true);
        QTest::mouseClick(f.find<QAbstractButton>("Command21"), Qt::LeftButton);
        if (!c.siteFails)
            QCOMPARE(f.dialogs.shown.size(), 2);
    }
}

QTEST_MAIN(OnlineWindowTest)
#include "OnlineWindowTest.moc"
