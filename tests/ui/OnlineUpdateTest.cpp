// SPDX-License-Identifier: GPL-3.0-or-later
// The online update against a chart site on the loopback interface: real HTTP, real pages,
// a real history database.
#include "OnlineUpdate.h"
#include "AppPaths.h"
#include "ChartPage.h"
#include "ChartPages.h"
#include "ChartServer.h"
#include "HistoryStore.h"
#include "PageFetcher.h"
#include "SampleHistory.h"
#include "SettingsStore.h"
#include "WindowFixture.h"

#include <QApplication>
#include <QProgressDialog>
#include <QPushButton>
#include <QThreadPool>
#include <QTimer>
#include <QtTest>

using namespace brenvik;
using namespace brenvik::test;
using namespace brenvik::ui;
using namespace std::chrono_literals;
using Outcome = OnlineUpdateResult::Outcome;

namespace {

// Draws of one year with digits that differ from year to year and game to game.
std::vector<DrawLine> yearDraws(int year, int from, int to, int game = 0) {
    std::vector<DrawLine> d;
    for (int k = from; k <= to; ++k)
        d.push_back({year * 1000 + k, {(k * 7 + year) % 10, (k / 3 + game) % 10, (k * k + game * 3) % 10}});
    return d;
}

std::vector<DrawLine> concat(std::initializer_list<std::vector<DrawLine>> parts) {
    std::vector<DrawLine> all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

QByteArray page(int year, const std::vector<DrawLine>& draws, ChartPageOptions options = {}) {
    return QByteArray::fromStdString(chartPage(year, draws, options));
}

const QByteArray kUtf8 = "text/html; charset=utf-8";

// The chart pages asked for, newest year first.
QStringList requestsFor(const char* game, int from, int to) {
    QStringList r;
    for (int y = to; y >= from; --y)
        r << QStringLiteral("%1 %2").arg(QLatin1String(game)).arg(y);
    return r;
}

// One test's chart site, history database and window.
class World {
public:
    explicit World(const std::vector<DrawLine>& stored = {}, int segmentParam = 1) {
        if (!stored.empty())
            fixture.storeDraws(stored, segmentParam);
        auto opened = HistoryStore::open(toPath(fixture.home()) / kDatabaseFile);
        if (!opened)
            qFatal("%s", opened.error().message.c_str());
        store = std::move(*opened);
        window.resize(480, 320);
        window.show();
    }

    SnapshotPtr history() const { return store->loadSnapshot().value(); }

    OnlineUpdateResult update(int lotteryType, int yearsToKeep, int currentYear, int segmentParam = 1,
                              std::chrono::milliseconds timeout = PageFetcher::kDefaultTimeout) {
        OnlineUpdater updater(&window, *store);
        updater.setTimeout(timeout);
        updater.setParseTimeout(parseTimeout);
        OnlineUpdateRequest request;
        request.source = DrawSource::Chart;
        request.pause = std::chrono::milliseconds(0);
        request.host = host.isEmpty() ? server.host() : host;
        request.game = gameOfGsZl(lotteryType);
        request.segmentParam = segmentParam;
        request.yearsToKeep = yearsToKeep;
        request.currentYear = currentYear;
        return updater.run(*history(), request);
    }

    // Presses the progress dialog's Cancel button, noting what the dialog showed at that moment.
    void pressCancel() {
        auto* dialog = window.findChild<QProgressDialog*>();
        if (!dialog || !dialog->isVisible())
            return;
        shownWhileWaiting = dialog->labelText();
        if (auto* button = dialog->findChild<QPushButton*>(); button && button->text() == online::kCancel)
            button->click();
    }

    // Presses Cancel as soon as the page of `year` is asked for.
    void cancelWhenAsked(int year) {
        server.onRequest = [this, year](const QString&, int asked) {
            if (asked == year)
                QTimer::singleShot(0, &window, [this] { pressCancel(); });
        };
    }

    WindowFixture fixture;
    ChartServer server;
    QString host;
    QWidget window;
    std::unique_ptr<HistoryStore> store;
    QString shownWhileWaiting;
    std::chrono::milliseconds parseTimeout = OnlineUpdater::kDefaultParseTimeout;
};

} // namespace

class OnlineUpdateTest : public QObject {
    Q_OBJECT
private slots:
    // Reading.
    void anEmptyHistoryIsFilledFromEveryKindOfPage();
    void aStoredHistoryIsContinuedAcrossAYearEnd();
    void anUpToDateHistoryGetsNothing();
    void pagesThatListNoIssueAreNoSuccess();
    void anUnreadableRowStopsTheUpdateBeforeIt();
    void aPageFetcherReportsBodyCharsetAndStatus();

    // A site that fails.
    void anUnreachableSiteChangesNothing();
    void aSiteThatNeverAnswersTimesOut();
    void hugePagesAreRefused();
    void redirectsAreFollowedFiveTimesAtMost();
    void aPageThatFailsHalfWayStoresNothing();

    // Cancel.
    void cancelStoresNothing();
    void aPageThatTakesTooLongToReadIsGivenUp();

    // The chart site setting.
    void theChartSiteIsAskedCheckedAndSaved();
    void withoutAChartSiteNothingIsLoaded();
};

void OnlineUpdateTest::anEmptyHistoryIsFilledFromEveryKindOfPage() {
    World w;
    std::vector<DrawLine> all;
    struct YearPage {
        int year;
        ChartLayout layout;
        PageEncoding encoding;
        bool meta;
        QByteArray contentType;
    };
    const YearPage pages[] = {
        {2008, ChartLayout::SeparateCells, PageEncoding::Utf8, false, kUtf8},
        {2009, ChartLayout::JoinedCell, PageEncoding::Gbk, true, "text/html"},
        {2010, ChartLayout::SpacedCell, PageEncoding::Gbk, false, "text/html; charset=GBK"},
        {2011, ChartLayout::SeparateCells, PageEncoding::Utf8, true, "text/html"},
        {2012, ChartLayout::JoinedCell, PageEncoding::Gbk, true, "text/html; charset=gbk"},
        {2013, ChartLayout::SpacedCell, PageEncoding::Utf8, false, kUtf8},
    };
    for (const YearPage& p : pages) {
        const auto draws = yearDraws(p.year, 1, 358);
        all.insert(all.end(), draws.begin(), draws.end());
        w.server.setPage("sd", p.year, page(p.year, draws, {p.layout, p.encoding, p.meta, {}}),
                         p.contentType);
        // The other game's pages hold other digits: reading them would show.
        w.server.setPage("p3", p.year, page(p.year, yearDraws(p.year, 1, 358, 1)), kUtf8);
    }
    const auto thisYear = yearDraws(2014, 1, 5);
    all.insert(all.end(), thisYear.begin(), thisYear.end());
    w.server.setPage("sd", 2014,
                     page(2014, thisYear, {ChartLayout::SeparateCells, PageEncoding::Utf8, false, {6, 7}}),
                     kUtf8);

    const auto result = w.update(kLottery3D, 6, 2014, 0);

    QCOMPARE(result.outcome, Outcome::Updated);
    QVERIFY(result.succeeded());
    QCOMPARE(w.server.requests, requestsFor("sd", 2008, 2014));
    QCOMPARE(result.pages,
             (std::vector<PageCount>{
                 {2014, 5}, {2013, 358}, {2012, 358}, {2011, 358}, {2010, 358}, {2009, 358}, {2008, 358}}));
    QCOMPARE(result.added, 2153);
    QVERIFY(result.historyChanged);
    QVERIFY(holdsExactly(*w.history(), all, 0));
    QVERIFY2(result.message.contains(QStringLiteral("新增 2,153 期")), qPrintable(result.message));
    // Nothing of the update outlives it.
    QVERIFY(!w.window.findChild<QProgressDialog*>());
    QVERIFY(!QApplication::overrideCursor());
}

void OnlineUpdateTest::aStoredHistoryIsContinuedAcrossAYearEnd() {
    const auto stored = concat({yearDraws(2012, 300, 358, 1), yearDraws(2013, 1, 350, 1)});
    World w(stored);
    const auto y2013 = yearDraws(2013, 1, 358, 1);
    const auto y2014 = yearDraws(2014, 1, 4, 1);
    w.server.setPage("p3", 2013, page(2013, y2013, {ChartLayout::JoinedCell, PageEncoding::Gbk, false, {}}),
                     "text/html; charset=GBK");
    w.server.setPage("p3", 2014, page(2014, y2014, {ChartLayout::SpacedCell, PageEncoding::Utf8, true, {5}}),
                     "text/html");
    w.server.setPage("sd", 2013, page(2013, yearDraws(2013, 1, 358)), kUtf8);

    const auto result = w.update(kLotteryPl3, 6, 2014, 1);

    QCOMPARE(result.outcome, Outcome::Updated);
    QCOMPARE(w.server.requests, requestsFor("p3", 2013, 2014));
    QCOMPARE(result.pages, (std::vector<PageCount>{{2014, 4}, {2013, 8}}));
    // The new rows carry on from the stored ones as if the history had been built in one go.
    QVERIFY(holdsExactly(*w.history(), concat({stored, yearDraws(2013, 351, 358, 1), y2014}), 1));
    QVERIFY2(result.message.contains(QStringLiteral("新增 12 期，最新一期 2014004")),
             qPrintable(result.message));
}

void OnlineUpdateTest::anUpToDateHistoryGetsNothing() {
    const auto stored = yearDraws(2014, 1, 4);
    World w(stored);
    w.server.setPage("sd", 2014, page(2014, stored), kUtf8);

    const auto result = w.update(kLottery3D, 6, 2014);

    QCOMPARE(result.outcome, Outcome::Updated);
    QCOMPARE(w.server.requests, requestsFor("sd", 2014, 2014));
    QCOMPARE(result.pages, (std::vector<PageCount>{{2014, 0}}));
    QCOMPARE(result.added, 0);
    QVERIFY(!result.historyChanged);
    QVERIFY(holdsExactly(*w.history(), stored, 1));
    QCOMPARE(result.message, QStringLiteral("没有新的开奖号码，历史号码已是最新（最新一期 2014004）。"));
}

void OnlineUpdateTest::pagesThatListNoIssueAreNoSuccess() {
    // A site that answers every address with some other page.
    const auto stored = yearDraws(2013, 1, 350);
    World w(stored);

    const auto result = w.update(kLottery3D, 6, 2014);

    QCOMPARE(result.outcome, Outcome::Failed);
    QVERIFY(!result.succeeded());
    // A page of this year may list nothing yet; one of the year of the stored draws may not.
    QCOMPARE(w.server.requests, requestsFor("sd", 2013, 2014));
    QVERIFY(!result.historyChanged);
    QVERIFY(holdsExactly(*w.history(), stored, 1));
    QCOMPARE(result.message,
             QStringLiteral("读取 2013 年的走势图失败（网页上没有该年的期号），历史号码未改动。"));
}

void OnlineUpdateTest::anUnreadableRowStopsTheUpdateBeforeIt() {
    const auto stored = yearDraws(2025, 1, 240);
    World w(stored);
    auto y2025 = yearDraws(2025, 1, 351);
    y2025.erase(y2025.begin() + 249);
    ChartPageOptions o;
    o.notDrawnYet = {250};
    w.server.setPage("sd", 2025, page(2025, y2025, o), kUtf8);
    w.server.setPage("sd", 2026, page(2026, yearDraws(2026, 1, 5)), kUtf8);

    const auto result = w.update(kLottery3D, 6, 2026);

    // Storing 2026 after 2025249 would leave 2025250 and the rest of 2025 out for good.
    QCOMPARE(result.outcome, Outcome::Gap);
    QCOMPARE(result.hole, std::optional<std::int32_t>(2025250));
    QVERIFY(holdsExactly(*w.history(), yearDraws(2025, 1, 249), 1));
    QVERIFY2(result.message.contains(QStringLiteral("来源缺少第 2025250 期，只保存了它之前的 9 期。")),
             qPrintable(result.message));
}

void OnlineUpdateTest::aPageFetcherReportsBodyCharsetAndStatus() {
    ChartServer server;
    const QByteArray body = QByteArray::fromStdString(toGbk("<p>开奖号码</p>"));
    server.setPage("p3", 2013, body, "text/html; Charset=\"GBK\"");
    server.setBehaviour(2012, ChartServer::Behaviour::NotFound);
    PageFetcher fetcher;
    const auto address = [&](int year) {
        return QUrl(QString::fromStdString(chartPageAddress(server.host().toStdString(), Game::Pl3, year)));
    };

    const auto fetched = fetcher.get(address(2013));
    QVERIFY(fetched.has_value());
    QCOMPARE(fetched->body, body);
    QCOMPARE(fetched->charset, QStringLiteral("gbk"));

    const auto missing = fetcher.get(address(2012));
    QVERIFY(!missing.has_value());
    QCOMPARE(missing.error().kind, FetchError::Kind::HttpStatus);
    QCOMPARE(missing.error().httpStatus, 404);
    QCOMPARE(server.requests, (QStringList{"p3 2013", "p3 2012"}));
}

void OnlineUpdateTest::anUnreachableSiteChangesNothing() {
    for (const auto& stored :
         {yearDraws(2013, 1, 350), concat({yearDraws(2007, 1, 9), yearDraws(2013, 1, 9)})}) {
        World w(stored);
        w.host = refusingHost();

        const auto result = w.update(kLottery3D, 6, 2014);

        QCOMPARE(result.outcome, Outcome::Failed);
        QVERIFY(!result.succeeded());
        QVERIFY(result.error);
        QCOMPARE(result.error->kind, FetchError::Kind::Refused);
        // Nothing read, so nothing is asked about the years before those kept either.
        QVERIFY(w.fixture.dialogs.shown.isEmpty());
        QVERIFY(!result.historyChanged);
        QVERIFY(holdsExactly(*w.history(), stored, 1));
        QCOMPARE(result.message, QStringLiteral("读取 2014 年的走势图失败（连接被拒绝），历史号码未改动。"));
    }
}

void OnlineUpdateTest::aSiteThatNeverAnswersTimesOut() {
    const auto stored = yearDraws(2013, 1, 350);
    World w(stored);
    w.server.setBehaviour(2014, ChartServer::Behaviour::NeverAnswer);

    const auto result = w.update(kLottery3D, 6, 2014, 1, 300ms);

    QCOMPARE(result.outcome, Outcome::Failed);
    QCOMPARE(result.error->kind, FetchError::Kind::Timeout);
    QCOMPARE(w.server.requests, requestsFor("sd", 2014, 2014)); // no other year is tried
    QVERIFY(holdsExactly(*w.history(), stored, 1));
}

void OnlineUpdateTest::hugePagesAreRefused() {
    for (auto behaviour : {ChartServer::Behaviour::HugeDeclared, ChartServer::Behaviour::HugeUndeclared,
                           ChartServer::Behaviour::GzipBomb}) {
        const auto stored = yearDraws(2013, 1, 350);
        World w(stored);
        w.server.setBehaviour(2014, behaviour);

        // Refused before the time-out could end the wait: by the declared length, by the bytes
        // received, by the bytes a small compressed body inflates to.
        const auto result = w.update(kLottery3D, 6, 2014, 1, 5s);

        QCOMPARE(result.outcome, Outcome::Failed);
        QCOMPARE(result.error->kind, FetchError::Kind::TooLarge);
        QVERIFY(holdsExactly(*w.history(), stored, 1));
        // The download stopped at the limit instead of taking all 50 MB.
        QVERIFY2(w.server.hugeBytesSent < ChartServer::kHugeSize,
                 qPrintable(QString::number(w.server.hugeBytesSent)));
    }
}

void OnlineUpdateTest::redirectsAreFollowedFiveTimesAtMost() {
    {
        const auto stored = yearDraws(2014, 1, 2);
        World w(stored);
        w.server.setBehaviour(2014, ChartServer::Behaviour::RedirectLoop);
        const auto result = w.update(kLottery3D, 6, 2014);
        QCOMPARE(result.outcome, Outcome::Failed);
        QCOMPARE(result.error->kind, FetchError::Kind::TooManyRedirects);
        QCOMPARE(w.server.deepestRedirect, 5);
        QVERIFY(holdsExactly(*w.history(), stored, 1));
    }
    {
        World w(yearDraws(2014, 1, 2));
        w.server.setPage("sd", 2014, page(2014, yearDraws(2014, 1, 6)), kUtf8);
        w.server.setBehaviour(2014, ChartServer::Behaviour::FiveRedirects);
        const auto result = w.update(kLottery3D, 6, 2014);
        QCOMPARE(result.outcome, Outcome::Updated);
        QVERIFY(w.server.servedAfterRedirects);
        QCOMPARE(result.added, 4);
        QVERIFY(holdsExactly(*w.history(), yearDraws(2014, 1, 6), 1));
    }
}

void OnlineUpdateTest::aPageThatFailsHalfWayStoresNothing() {
    const auto stored = yearDraws(2012, 1, 350);
    World w(stored);
    w.server.setPage("sd", 2014, page(2014, yearDraws(2014, 1, 3)), kUtf8);
    w.server.setBehaviour(2013, ChartServer::Behaviour::NotFound);
    w.server.setPage("sd", 2012, page(2012, yearDraws(2012, 1, 358)), kUtf8);

    const auto result = w.update(kLottery3D, 6, 2014);

    // Storing 2014 without 2013 would leave a gap no later update fills.
    QCOMPARE(result.outcome, Outcome::Failed);
    QVERIFY(!result.succeeded());
    QCOMPARE(result.error->httpStatus, 404);
    QCOMPARE(w.server.requests, requestsFor("sd", 2013, 2014));
    QCOMPARE(result.pages, (std::vector<PageCount>{{2014, 3}}));
    QVERIFY(!result.historyChanged);
    QVERIFY(holdsExactly(*w.history(), stored, 1));
    QCOMPARE(result.message,
             QStringLiteral("读取 2013 年的走势图失败（服务器返回错误 404），历史号码未改动。"));
}

void OnlineUpdateTest::cancelStoresNothing() {
    World w;
    w.server.setPage("sd", 2014, page(2014, yearDraws(2014, 1, 3)), kUtf8);
    w.server.setBehaviour(2013, ChartServer::Behaviour::NeverAnswer);
    w.server.setPage("sd", 2012, page(2012, yearDraws(2012, 1, 358)), kUtf8);
    w.cancelWhenAsked(2013);

    const auto result = w.update(kLottery3D, 2, 2014);

    QCOMPARE(result.outcome, Outcome::Cancelled);
    QVERIFY(!result.succeeded());
    QVERIFY(!result.error);
    QCOMPARE(w.server.requests, requestsFor("sd", 2013, 2014));
    QCOMPARE(result.pages, (std::vector<PageCount>{{2014, 3}}));
    QVERIFY(w.history()->empty());
    // While the page loaded, the dialog named the year and the draws found so far.
    QVERIFY2(w.shownWhileWaiting.contains(QStringLiteral("2013 年")), qPrintable(w.shownWhileWaiting));
    QVERIFY2(w.shownWhileWaiting.contains(QStringLiteral("已找到新开奖号码 3 期")),
             qPrintable(w.shownWhileWaiting));
    QCOMPARE(result.message, QStringLiteral("在线更新已取消，历史号码未改动。"));
    QVERIFY(!QApplication::overrideCursor());
}

void OnlineUpdateTest::aPageThatTakesTooLongToReadIsGivenUp() {
    // Two million elements take a second or more to read on any machine, far beyond the limit
    // below (and within the reader's own).
    QByteArray hostile = "<html><body>" + QByteArray("<p>x").repeated(2'000'000);
    hostile += "<table><tr><td>2014-003</td><td>333</td></tr></table></body></html>";
    QThreadPool* pool = QThreadPool::globalInstance();
    for (const bool cancel : {false, true}) {
        const auto stored = yearDraws(2014, 1, 2);
        World w(stored);
        w.server.setPage("sd", 2014, hostile, kUtf8);
        w.parseTimeout = cancel ? std::chrono::milliseconds(600s) : 300ms;
        // The turns the event loop gets while the page is read; Cancel is pressed on the fifth.
        int turns = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] {
            if (pool->activeThreadCount() > 0 && ++turns == 5 && cancel)
                w.pressCancel();
        });
        ticker.start(10);

        const auto result = w.update(kLottery3D, 6, 2014);

        QVERIFY2(pool->activeThreadCount() > 0, "the update waited for the page to be read");
        QVERIFY(turns >= 5);
        QCOMPARE(result.outcome, cancel ? Outcome::Cancelled : Outcome::Failed);
        if (!cancel)
            QCOMPARE(result.error->kind, FetchError::Kind::Unreadable);
        QVERIFY(holdsExactly(*w.history(), stored, 1));
        pool->waitForDone();
    }
}

void OnlineUpdateTest::theChartSiteIsAskedCheckedAndSaved() {
    WindowFixture f;
    SettingsStore settings;
    QWidget parent;
    QCOMPARE(settings.chartHost(), QString()); // no site is shipped

    f.dialogs.answer(QStringLiteral("ftp://127.0.0.1"));
    f.dialogs.answer(QStringLiteral("abc"));
    f.dialogs.answer(QStringLiteral(" 127.0.0.1:8080/ "));
    QCOMPARE(askChartHost(&parent, settings),
             std::optional<QString>(QStringLiteral("http://127.0.0.1:8080")));
    QCOMPARE(f.dialogs.shown.size(), 5);
    QCOMPARE(f.dialogs.shown[0].kind, QStringLiteral("input"));
    QCOMPARE(f.dialogs.shown[0].title, online::kHostTitle);
    QCOMPARE(f.dialogs.shown[1].kind, QStringLiteral("warn"));
    QCOMPARE(f.dialogs.shown[1].title, online::kHostInvalidTitle);
    QVERIFY(f.dialogs.shown[3].text.startsWith(QStringLiteral("“abc”不是可用的网站地址")));
    QCOMPARE(f.setting(keys::strZstHost), QStringLiteral("http://127.0.0.1:8080"));
    QCOMPARE(settings.chartHost(), QStringLiteral("http://127.0.0.1:8080"));
    QCOMPARE(QString::fromStdString(settings.read().strZstHost), QStringLiteral("http://127.0.0.1:8080"));

    // Cancel and an empty answer keep the site.
    f.dialogs.cancel();
    QVERIFY(!askChartHost(&parent, settings, settings.chartHost()));
    f.dialogs.answer(QString());
    QVERIFY(!askChartHost(&parent, settings));
    QCOMPARE(settings.chartHost(), QStringLiteral("http://127.0.0.1:8080"));

    // A site stored by hand that is no site address reads as none.
    f.setSetting(keys::strZstHost, QStringLiteral("http://host/path"));
    QCOMPARE(settings.chartHost(), QString());
}

void OnlineUpdateTest::withoutAChartSiteNothingIsLoaded() {
    const auto stored = yearDraws(2013, 1, 10);
    World w(stored);
    w.host = QStringLiteral("http://host/with/path");

    const auto result = w.update(kLottery3D, 6, 2014);

    QCOMPARE(result.outcome, Outcome::NoHost);
    QVERIFY(!result.succeeded());
    QVERIFY(w.server.requests.isEmpty());
    QVERIFY(holdsExactly(*w.history(), stored, 1));
}

QTEST_MAIN(OnlineUpdateTest)
#include "OnlineUpdateTest.moc"
