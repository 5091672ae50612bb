// SPDX-License-Identifier: GPL-3.0-or-later
// The online update against a loopback stand-in of the operators' feeds and of a chart site, in
// the shapes of their real replies: the welfare lottery's notices from 2013002 on without the 63
// issues of 2013 they lack, in pages as large as asked; the sports lottery's query, which counts
// its pages and may cap them; chart pages with a row of the next issue, not drawn, after each
// year's last draw. Both draw up to 2026253, after the end of the shipped histories. Every case
// runs through the window's update (Qt Network) and through the companion (libcurl), as a script
// runs it: both must leave the history holding exactly the real draws, say the same, and ask the
// stand-in for the same pages.
#include "ChartServer.h"
#include "HistoryStore.h"
#include "IssueNumber.h"
#include "OnlineUpdate.h"
#include "SampleHistory.h"
#include "ShippedHistory.h"
#include "WindowFixture.h"

#include <QElapsedTimer>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using namespace brenvik;
using namespace brenvik::test;
using namespace brenvik::ui;
using Traps = FeedTraps;

namespace {

std::vector<DrawLine> between(const std::vector<DrawLine>& draws, std::int32_t from, std::int32_t to) {
    std::vector<DrawLine> out;
    std::copy_if(draws.begin(), draws.end(), std::back_inserter(out),
                 [&](const DrawLine& d) { return d.issue >= from && d.issue <= to; });
    return out;
}

std::vector<DrawLine> concat(std::initializer_list<std::vector<DrawLine>> parts) {
    std::vector<DrawLine> all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

const std::vector<DrawLine>& shipped(Game game) {
    static const auto fc3d = sampleDraws("fc3d-history.txt");
    static const auto pl3 = sampleDraws("pl3-history.txt");
    return game == Game::Pl3 ? pl3 : fc3d;
}

// Every real draw of a game up to 2026253: the shipped ones, then those drawn since.
std::vector<DrawLine> real(Game game) {
    return concat({shipped(game), drawsAfterSample(game)});
}

// Traps set by `set`; the other fields keep their defaults.
template <typename Set> Traps with(Set set) {
    Traps t;
    set(t);
    return t;
}

DrawLine otherDigits(const DrawLine& d) {
    return {d.issue, {(d.digits[0] + 1) % 10, d.digits[1], (d.digits[2] + 3) % 10}};
}

std::vector<DrawLine> storedIn(const WindowFixture& f, Game game) {
    return storedDraws(std::filesystem::path(f.home().toStdString()) / databaseFileName(game), game);
}

QStringList pagesOf(const char* feed, int count) {
    QStringList pages;
    for (int page = 1; page <= count; ++page)
        pages << QStringLiteral("%1 %2").arg(QLatin1String(feed)).arg(page);
    return pages;
}

QStringList chartsOf(const char* game, int newest, int oldest) {
    QStringList pages;
    for (int year = newest; year >= oldest; --year)
        pages << QStringLiteral("%1 %2").arg(QLatin1String(game)).arg(year);
    return pages;
}

} // namespace

class FeedUpdateTest : public QObject {
    Q_OBJECT
private slots:
    void everySourceInItsRealShapes();
    void cancelStopsThePauseBetweenPages();
};

void FeedUpdateTest::everySourceInItsRealShapes() {
    const int c = chinaYear(std::chrono::system_clock::now());
    const auto fc = real(Game::Fc3d);
    const auto pl = real(Game::Pl3);
    const auto& fcShipped = shipped(Game::Fc3d);
    const auto& plShipped = shipped(Game::Pl3);
    const DrawLine stored2026198 = between(fc, 2026198, 2026198).at(0);
    const DrawLine contradicted = otherDigits(between(pl, 2026250, 2026250).at(0));
    const QString home = QStringLiteral("home");
    enum class Source { Feed, Chart };
    struct Case {
        const char* what;
        Game game;
        Source source;
        std::vector<DrawLine> stored;
        std::vector<DrawLine> served; // the feed's draws or the chart pages' draws
        Traps traps;
        int years; // to keep; 0 every year
        int exit;  // of the companion; the window's outcome is the same
        std::vector<DrawLine> after;
        QStringList said;     // by both, in the window's message and the companion's output
        QStringList requests; // that the stand-in answered, in order
    };
    // clang-format off
    const Case cases[] = {
        {"an empty history keeping every year becomes the shipped history", Game::Fc3d, Source::Feed, {},
         operatorFeed(Game::Fc3d, 2026224), {}, kKeepAllYears, 0, fcShipped,
         {"其中 7,731 期取自附带的样本。", "最新一期 2026224"}, {home, "3d 1"}},
        {"福彩3D notices: an empty history, every year kept, then the feed's newer draws", Game::Fc3d, Source::Feed, {},
         operatorFeed(Game::Fc3d), {}, kKeepAllYears, 0, fc, {"最新一期 2026253"}, {home, "3d 1"}},
        {"a history of a few typed draws of 2013: the 63 issues the notices lack come from the shipped history",
         Game::Fc3d, Source::Feed, between(fc, 2013001, 2013003), operatorFeed(Game::Fc3d), {}, 6, 0, between(fc, 2013001, 2026253),
         {"其中 61 期取自附带的样本。", "最新一期 2026253"}, {home, "3d 1"}},
        {"everyday: one page", Game::Fc3d, Source::Feed, fcShipped, operatorFeed(Game::Fc3d), {}, 6, 0, fc,
         {"新增 29 期，最新一期 2026253"}, {home, "3d 1"}},
        {"排列3 query: an empty history, six years kept", Game::Pl3, Source::Feed, {}, operatorFeed(Game::Pl3),
         with([](Traps& t) { t.cap = 100; }), 6, 0, between(pl, (c - 6) * 1000, 2026253), {"最新一期 2026253"}, {"pl3 1"}},
        {"… capped at 100 a page: the pages are followed down to the stored draws", Game::Pl3, Source::Feed,
         between(pl, 2004001, 2025300), operatorFeed(Game::Pl3), with([](Traps& t) { t.cap = 100; }), 6, 0, pl,
         {"新增 304 期，最新一期 2026253"}, pagesOf("pl3", 4)},
        {"排列3 chart pages, a row not drawn after each year's last draw: every year end is crossed", Game::Pl3,
         Source::Chart, between(pl, 2004001, 2019300), pl, {}, kKeepAllYears, 0, pl, {"最新一期 2026253"},
         chartsOf("p3", c, 2019)},
        {"issues of a year not begun are passed over and named", Game::Fc3d, Source::Feed, fcShipped,
         operatorFeed(Game::Fc3d), with([c](Traps& t) { t.future = {{(c + 1) * 1000 + 1, {1, 2, 3}}, {(c + 1) * 1000 + 2, {4, 5, 6}}}; }),
         6, 0, fc,
         {QStringLiteral("跳过来源中 2 个尚未到来的年份的期号（%1、%2）。").arg((c + 1) * 1000 + 1).arg((c + 1) * 1000 + 2),
          "新增 29 期"}, {home, "3d 1"}},
        {"a hole no source has: the draws before it", Game::Pl3, Source::Feed, plShipped, operatorFeed(Game::Pl3),
         with([](Traps& t) { t.holes = {2026240}; }), 6, 3, between(pl, 2004001, 2026239),
         {"来源缺少第 2026240 期，只保存了它之前的 15 期。请手动输入第 2026240 期后再在线更新。", "新增 15 期，最新一期 2026239"},
         {"pl3 1"}},
        {"a newest draw whose digits cannot be read is named", Game::Fc3d, Source::Feed, fcShipped, operatorFeed(Game::Fc3d),
         with([](Traps& t) { t.rawDigits = {2026253, "-1,2,3"}; }), 6, 3, between(fc, 2004001, 2026252),
         {"来源中第 2026253 期的开奖号码“-1,2,3”无法识别，只保存了它之前的 28 期。", "新增 28 期，最新一期 2026252"},
         {home, "3d 1"}},
        {"a page that lists an issue twice with other digits: nothing", Game::Pl3, Source::Feed, plShipped,
         operatorFeed(Game::Pl3), with([&](Traps& t) { t.contradiction = contradicted; }), 6, 1, plShipped,
         {"读取第 1 页时来源自相矛盾（第 2026250 期列出两次，号码为 "}, {"pl3 1"}},
        {"a feed that answers its first page for every page: nothing", Game::Fc3d, Source::Feed,
         between(fc, 2004001, 2020100), operatorFeed(Game::Fc3d), with([](Traps& t) { t.cap = 100, t.repeatFirstPage = true; }),
         6, 1, between(fc, 2004001, 2020100), {"读取第 2 页时来源重复了已读过的内容（第 2026253 期起），历史号码未改动。"},
         {home, "3d 1", "3d 2"}},
        {"capped pages, a draw published while they are read: one draw seen twice", Game::Pl3, Source::Feed,
         between(pl, 2025001, 2026150), between(pl, 2004001, 2026252),
         with([&](Traps& t) { t.cap = 30, t.published = pl.back(); }), 6, 0, between(pl, 2025001, 2026252),
         {"新增 102 期，最新一期 2026252"}, pagesOf("pl3", 4)},
        {"the feed disagrees with a stored draw", Game::Fc3d, Source::Feed, between(fc, 2025001, 2026200),
         operatorFeed(Game::Fc3d), with([&](Traps& t) { t.conflict = otherDigits(stored2026198); }), 6, 0,
         between(fc, 2025001, 2026253),
         {QString::fromStdString(conflictLine({2026198, stored2026198.digits, otherDigits(stored2026198).digits})),
          "新增 53 期，最新一期 2026253"}, {home, "3d 1"}},
        {"a page that fails: nothing", Game::Fc3d, Source::Feed, between(fc, 2025001, 2026150), operatorFeed(Game::Fc3d),
         with([](Traps& t) { t.cap = 30, t.failingPage = 2; }), 6, 1, between(fc, 2025001, 2026150),
         {"读取第 2 页失败（服务器返回错误 500），历史号码未改动。"}, {home, "3d 1", "3d 2"}},
        {"the firewall's block page, to a large page and to a page of 30: nothing", Game::Pl3, Source::Feed,
         between(pl, 2025001, 2026200), operatorFeed(Game::Pl3), with([](Traps& t) { t.blockPage = true; }), 6, 1,
         between(pl, 2025001, 2026200),
         {"读取第 1 页时来源拒绝了请求（返回的是网页而不是开奖数据：405 禁止访问），历史号码未改动。"}, {"pl3 1", "pl3 1"}},
        {"a refusal: nothing", Game::Fc3d, Source::Feed, between(fc, 2025001, 2026200), operatorFeed(Game::Fc3d),
         with([](Traps& t) { t.refuse = true; }), 6, 1, between(fc, 2025001, 2026200),
         {"读取第 1 页时来源拒绝了请求（state 1：系统繁忙），历史号码未改动。"}, {home, "3d 1", "3d 1"}},
    };
    // clang-format on
    for (const Case& k : cases) {
        for (const bool window : {true, false}) {
            const QString what = QStringLiteral("%1 (%2)").arg(
                QString::fromUtf8(k.what), window ? QLatin1String("window") : QLatin1String("companion"));
            WindowFixture f;
            ChartServer server;
            if (k.source == Source::Feed)
                server.setFeed(k.game, k.served, k.traps);
            else
                server.setCharts(k.game, k.served);
            if (!k.stored.empty())
                f.storeDraws(k.stored, 1, k.game);
            QString said;
            if (window) {
                QWidget parent;
                auto store =
                    HistoryStore::open(
                        std::filesystem::path(f.home().toStdString()) / databaseFileName(k.game), k.game)
                        .value();
                OnlineUpdater updater(&parent, *store);
                const OnlineUpdateRequest request{k.game,
                                                  k.source == Source::Feed ? DrawSource::Official
                                                                           : DrawSource::Chart,
                                                  server.host(),
                                                  1,
                                                  k.years,
                                                  c,
                                                  std::chrono::milliseconds(0),
                                                  shippedHistory(k.game, c)};
                const auto result = updater.run(*store->loadSnapshot().value(), request);
                said = result.message;
                using O = OnlineUpdateResult::Outcome;
                QVERIFY2(result.outcome == (k.exit == 0   ? O::Updated
                                            : k.exit == 3 ? O::Gap
                                                          : O::Failed),
                         qPrintable(what + said));
                QVERIFY2(f.dialogs.shown.isEmpty(), qPrintable(what));
            } else {
                QStringList args{QStringLiteral("--game"),
                                 QLatin1String(companionId(k.game).data()),
                                 QStringLiteral("update"),
                                 k.source == Source::Feed ? QStringLiteral("--feed")
                                                          : QStringLiteral("--site"),
                                 server.host(),
                                 QStringLiteral("--pause"),
                                 QStringLiteral("0"),
                                 QStringLiteral("--years"),
                                 k.years == kKeepAllYears ? QStringLiteral("all") : QString::number(k.years)};
                const CompanionRun r = runCompanion(QStringLiteral(BRENVIK_CLI), f, args);
                QVERIFY2(r.exit == k.exit,
                         qPrintable(what + QStringLiteral(": exit %1 %2").arg(r.exit).arg(r.err)));
                said = r.out.join('\n') + r.err;
                if (k.exit != 1)
                    QVERIFY2(r.out.last().startsWith(QStringLiteral("新增 ")), qPrintable(r.out.last()));
            }
            for (const QString& s : k.said)
                QVERIFY2(said.contains(s), qPrintable(what + QStringLiteral(": ") + said));
            QVERIFY2(storedIn(f, k.game) == k.after, qPrintable(what));
            QVERIFY2(server.requests == k.requests,
                     qPrintable(what + QStringLiteral(": ") + server.requests.join(',')));
            // The operators' checks were met: the welfare lottery's cookie, both Referers and a
            // browser's User-Agent with every page.
            QCOMPARE(server.turnedAway, 0);
        }
    }
}

void FeedUpdateTest::cancelStopsThePauseBetweenPages() {
    WindowFixture f;
    ChartServer server;
    const auto& fc = shipped(Game::Fc3d);
    server.setFeed(Game::Fc3d, fc);
    const auto stored = between(fc, 2026001, 2026100);
    f.storeDraws(stored);
    QWidget parent;
    auto store = HistoryStore::open(std::filesystem::path(f.home().toStdString()) / kDatabaseFile).value();
    OnlineUpdater updater(&parent, *store);
    // Cancel is pressed in the ten minutes' pause after the visit of the home page.
    connect(&updater, &OnlineUpdater::readingPage, &parent, [&parent] {
        QTimer::singleShot(50, &parent, [&parent] {
            if (auto* dialog = parent.findChild<QProgressDialog*>())
                dialog->findChild<QPushButton*>()->click();
        });
    });
    QElapsedTimer clock;
    clock.start();
    const auto result =
        updater.run(*store->loadSnapshot().value(),
                    {Game::Fc3d, DrawSource::Official, server.host(), 1, 6, 2026, std::chrono::minutes(10)});
    QVERIFY(clock.elapsed() < 60000);
    QCOMPARE(result.outcome, OnlineUpdateResult::Outcome::Cancelled);
    QCOMPARE(result.message, QStringLiteral("在线更新已取消，历史号码未改动。"));
    QCOMPARE(server.requests, QStringList{"home"});
    QCOMPARE(storedIn(f, Game::Fc3d), stored);
}

QTEST_MAIN(FeedUpdateTest)
#include "FeedUpdateTest.moc"
