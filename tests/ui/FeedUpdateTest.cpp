// SPDX-License-Identifier: GPL-3.0-or-later
// The online update from the operators' feeds, against a loopback stand-in of both that serves
// the shipped histories and lays the traps real feeds lay. Every trap is run through the
// window's update and through the companion, as a script runs it; both must leave the history
// holding exactly the real draws they were given, or nothing new.
#include "ChartServer.h"
#include "HistoryStore.h"
#include "IssueNumber.h"
#include "OnlineUpdate.h"
#include "SampleHistory.h"
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

const std::vector<DrawLine>& real(Game game) {
    static const auto fc3d = sampleDraws("fc3d-history.txt");
    static const auto pl3 = sampleDraws("pl3-history.txt");
    return game == Game::Pl3 ? pl3 : fc3d;
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

} // namespace

class FeedUpdateTest : public QObject {
    Q_OBJECT
private slots:
    void everyTrapLeavesTheRealDrawsOrNothing();
    void cancelStopsThePauseBetweenPages();
};

void FeedUpdateTest::everyTrapLeavesTheRealDrawsOrNothing() {
    const int c = chinaYear(std::chrono::system_clock::now());
    const int kept = (c - 6) * 1000;
    const auto& fc = real(Game::Fc3d);
    const auto& pl = real(Game::Pl3);
    const DrawLine stored2026198 = between(fc, 2026198, 2026198).at(0);
    struct Trap {
        const char* what;
        Game game;
        std::vector<DrawLine> stored;
        std::vector<DrawLine> feed;
        Traps traps;
        bool consent; // to the removal of the years before those kept (window: answer; companion: --yes)
        int exit;     // of the companion
        std::vector<DrawLine> after;
        QStringList said; // by both, in the window's message and the companion's output
    };
    // clang-format off
    const Trap traps[] = {
        {"capped pages, an issue not drawn yet on top", Game::Fc3d, between(fc, 2025001, 2026150),
         between(fc, 2013001, 2026224), with([](Traps& t) { t.cap = 7, t.pending = 2026225; }), false, 0, between(fc, 2025001, 2026224),
         {"新增 74 期，最新一期 2026224"}},
        {"a draw published while the pages are read: one draw seen twice", Game::Pl3,
         between(pl, 2025001, 2026150), between(pl, 2004001, 2026223), with([&](Traps& t) { t.published = pl.back(); }), false, 0,
         between(pl, 2025001, 2026223), {"新增 73 期，最新一期 2026223"}},
        {"the feed disagrees with a stored draw", Game::Fc3d, between(fc, 2025001, 2026200), fc,
         with([&](Traps& t) { t.conflict = otherDigits(stored2026198); }), false, 0, between(fc, 2025001, 2026224),
         {QString::fromStdString(conflictLine({2026198, stored2026198.digits, otherDigits(stored2026198).digits})),
          "新增 24 期，最新一期 2026224"}},
        {"a hole: the draws before it, and its name", Game::Pl3, between(pl, 2025001, 2026200), pl,
         with([](Traps& t) { t.hole = 2026210; }), false, 0, between(pl, 2025001, 2026209),
         {"来源缺少第 2026210 期，只保存了它之前的 9 期。请手动输入第 2026210 期后再在线更新。",
          "新增 9 期，最新一期 2026209"}},
        {"a page that fails: nothing", Game::Fc3d, between(fc, 2025001, 2026150), fc, with([](Traps& t) { t.failingPage = 2; }),
         false, 1, between(fc, 2025001, 2026150), {"读取第 2 页失败（服务器返回错误 500），历史号码未改动。"}},
        {"the firewall's block page: nothing", Game::Pl3, between(pl, 2025001, 2026200), pl,
         with([](Traps& t) { t.blockPage = true; }), false, 1, between(pl, 2025001, 2026200),
         {"读取第 1 页时来源拒绝了请求（返回的是网页而不是开奖数据：405 禁止访问），历史号码未改动。"}},
        {"a refusal: nothing", Game::Fc3d, between(fc, 2025001, 2026200), fc, with([](Traps& t) { t.refuse = true; }), false, 1,
         between(fc, 2025001, 2026200), {"读取第 1 页时来源拒绝了请求（state 1：系统繁忙），历史号码未改动。"}},
        {"an empty history gets the years kept", Game::Pl3, {}, pl, with([](Traps& t) { t.cap = 25; }), false, 0,
         between(pl, kept + 1, 2026224), {"最新一期 2026224"}},
        {"old years stay without consent", Game::Fc3d, between(fc, 2004001, 2026200), fc, {}, false, 0,
         between(fc, 2004001, 2026224), {"新增 24 期，最新一期 2026224"}},
        {"with consent they go once the new draws are in", Game::Pl3, between(pl, 2004001, 2026200), pl, {},
         true, 0, between(pl, kept + 1, 2026224), {"已删除 2004–", "新增 24 期，最新一期 2026224"}},
    };
    // clang-format on
    for (const Trap& t : traps) {
        const auto hasOldYears = !t.stored.empty() && t.stored.front().issue <= kept;
        for (const bool window : {true, false}) {
            const QString what = QStringLiteral("%1 (%2)").arg(
                QLatin1String(t.what), window ? QLatin1String("window") : QLatin1String("companion"));
            WindowFixture f;
            ChartServer server;
            server.setFeed(t.game, t.feed, t.traps);
            if (!t.stored.empty())
                f.storeDraws(t.stored, 1, t.game);
            QString said;
            if (window) {
                QWidget parent;
                auto store =
                    HistoryStore::open(
                        std::filesystem::path(f.home().toStdString()) / databaseFileName(t.game), t.game)
                        .value();
                f.dialogs.answer(t.consent);
                OnlineUpdater updater(&parent, *store);
                OnlineUpdateRequest request{t.game, DrawSource::Official,        server.host(), 1, 6,
                                            c,      std::chrono::milliseconds(0)};
                const auto result = updater.run(*store->loadSnapshot().value(), request);
                said = result.message;
                // The removal is asked only when old years are stored, after the draws are in.
                QCOMPARE(f.dialogs.shown.size(), hasOldYears && t.exit == 0 ? 1 : 0);
                if (!f.dialogs.shown.isEmpty())
                    QCOMPARE(f.dialogs.shown[0].kind, QStringLiteral("confirmRemoval"));
                QVERIFY2(result.succeeded() == (t.exit == 0 && !t.traps.hole), qPrintable(what + said));
            } else {
                QStringList args{QStringLiteral("--game"),
                                 QLatin1String(companionId(t.game).data()),
                                 QStringLiteral("update"),
                                 QStringLiteral("--feed"),
                                 server.host(),
                                 QStringLiteral("--pause"),
                                 QStringLiteral("0")};
                if (t.consent)
                    args << QStringLiteral("--yes");
                const CompanionRun r = runCompanion(QStringLiteral(BRENVIK_CLI), f, args);
                QVERIFY2(r.exit == t.exit,
                         qPrintable(what + QStringLiteral(": exit %1 %2").arg(r.exit).arg(r.err)));
                said = r.out.join('\n') + r.err;
                QCOMPARE(said.contains(QStringLiteral("加 --yes 才会删除")), hasOldYears && !t.consent);
                if (t.exit == 0)
                    QVERIFY2(r.out.last().startsWith(QStringLiteral("新增 ")), qPrintable(r.out.last()));
            }
            for (const QString& s : t.said)
                QVERIFY2(said.contains(s), qPrintable(what + QStringLiteral(": ") + said));
            QVERIFY2(storedIn(f, t.game) == t.after, qPrintable(what));
            // The operators' checks were met: a visit of the welfare lottery's home page first,
            // its cookie and both Referers and a browser's User-Agent with every page.
            QCOMPARE(server.turnedAway, 0);
            QCOMPARE(server.requests.first(),
                     t.game == Game::Fc3d ? QStringLiteral("home") : QStringLiteral("pl3 1"));
        }
    }
}

void FeedUpdateTest::cancelStopsThePauseBetweenPages() {
    WindowFixture f;
    ChartServer server;
    const auto& fc = real(Game::Fc3d);
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
