// SPDX-License-Identifier: GPL-3.0-or-later
// The logbook of predictions and plays: recording, refusals, scoring and pricing against the stored
// history, withdrawal, the summary's chance, each game's own entries, and the tables' life through
// the file's changes.
#include "Logbook.h"

#include "CombinationSearch.h"
#include "Compaction.h"
#include "FollowSearch.h"
#include "HistoryRebuild.h"
#include "HistoryStore.h"
#include "IssueNumber.h"
#include "OnlineMerge.h"
#include "PatternSource.h"
#include "PredictionLog.h"
#include "SampleHistory.h"
#include "TestFolder.h"
#include "UndoBackup.h"

#include <SQLiteCpp/Database.h>
#include <gtest/gtest.h>

#include <bit>
#include <random>

namespace brenvik::stats {
namespace {

using test::TestFolder;

std::unique_ptr<HistoryStore> openStore(const std::filesystem::path& file, Game game = Game::Fc3d) {
    auto store = HistoryStore::open(file, game);
    EXPECT_TRUE(store) << (store ? "" : store.error().message);
    return store ? std::move(*store) : nullptr;
}

SnapshotPtr snapshotOf(const HistoryStore& store) {
    return store.loadSnapshot().value();
}

std::vector<LogEntry> entriesOf(const HistoryStore& store) {
    auto entries = PredictionLog::entries(store);
    EXPECT_TRUE(entries) << (entries ? "" : entries.error().message);
    return entries ? *entries : std::vector<LogEntry>{};
}

// A search that matches draws in a short history too: big/small at all three positions.
SearchConditions followSetUp(const HistorySnapshot& h) {
    SearchConditions c;
    c.game = "福彩3D";
    c.searchType = Kind::BigSmall;
    c.rangeStart = h.first()->sqqh + 1;
    c.rangeEnd = h.last()->sqqh;
    return c;
}

// A draw's digits at the issue, from the test's own list.
std::array<int, 3> digitsAt(const std::vector<DrawLine>& draws, std::int32_t issue) {
    for (const DrawLine& d : draws)
        if (d.issue == issue)
            return d.digits;
    ADD_FAILURE() << issue;
    return {};
}

// The window records the tally its grid shows, whichever search made it; nothing is searched again.
TEST(Logbook, RecordsTheFirstPicksOfTheTallyShown) {
    TestFolder dir;
    const auto draws = test::syntheticDraws(400, 7);
    test::writeDatabase(dir.path(), draws);
    auto store = openStore(dir / kDatabaseFile);
    const auto snapshot = snapshotOf(*store);
    const SearchIndex index(snapshot);
    const std::int32_t next = nextIssueProposal(snapshot->last()->sqqh);
    struct Case {
        bool combination, lastDraw;
        int n;
        Kind searchType, resultKind;
        int position, pick, size;
    };
    const Case cases[] = {
        {false, true, 1, Kind::Number, Kind::Number, 1, 1, 0},
        {false, false, 3, Kind::Number, Kind::OddEven, 2, 1, 0},
        {true, true, 1, Kind::Number, Kind::Number, 1, 3, 2},
        {true, false, 2, Kind::Segment, Kind::Segment, 1, 4, 1},
        {true, true, 1, Kind::OddEven, Kind::Number, 2, 9, 3},
    };
    std::vector<LogEntry> recorded;
    for (const Case& t : cases) {
        SCOPED_TRACE(static_cast<int>(t.resultKind) * 100 + t.pick);
        SearchConditions c = followSetUp(*snapshot);
        c.combination = t.combination;
        c.lastDraw = t.lastDraw;
        c.n = t.n;
        c.searchType = t.searchType;
        c.size = t.size;
        c.resultKind = t.resultKind;
        c.resultPosition = t.position;
        const auto pattern = patternFromHistory(*snapshot, t.lastDraw, t.n, t.searchType).value();
        for (std::size_t i = 0; i < 3; ++i)
            c.pattern[i] = pattern[i];
        const Selection shown = t.combination ? combinationSearch(index, c.combinationQuery())
                                              : followSearch(index, c.followQuery());
        const Tally tally =
            tallyOutcomes(*snapshot, shown.rows, c.resultKind, c.resultPosition, c.group, c.segmentParam);
        auto e = predictionOf(c, tally, t.pick, next);
        ASSERT_TRUE(e) << e.error().message;
        EXPECT_EQ(e->conditions, conditionSummary(c, tally.matched));
        EXPECT_NE(e->conditions.find(t.combination ? "｜组合检索：" : "｜检索："), std::string::npos);
        // The first K rows of the tally, in its order.
        ASSERT_EQ(e->picks.size(), static_cast<std::size_t>(t.pick));
        for (int i = 0; i < t.pick; ++i)
            EXPECT_EQ(e->picks[static_cast<std::size_t>(i)],
                      tally.ranked[static_cast<std::size_t>(i)].outcome);
        auto stored = PredictionLog::record(*store, *e);
        ASSERT_TRUE(stored) << stored.error().message;
        EXPECT_GT(stored->id, recorded.empty() ? 0 : recorded.back().id);
        EXPECT_EQ(stored->recorded.size(), std::string("2026-12-08T05:21:01Z").size());
        EXPECT_EQ(stored->recorded.back(), 'Z');
        recorded.push_back(*stored);
    }
    EXPECT_EQ(entriesOf(*openStore(dir / kDatabaseFile)), recorded) << "kept as recorded, oldest first";
    // None, or as many picks as the kind has outcomes (a hit for certain) or more, records nothing;
    // nor does a tally that counted no draw.
    SearchConditions c = followSetUp(*snapshot);
    c.resultKind = Kind::BigSmall;
    const Tally tally =
        tallyOutcomes(*snapshot, followSearch(index, c.followQuery()).rows, c.resultKind, 1, false, 1);
    for (int pick : {0, 2, 3})
        EXPECT_FALSE(predictionOf(c, tally, pick, next));
    const auto empty = predictionOf(c, tallyOutcomes(*snapshot, {}, c.resultKind, 1, false, 1), 1, next);
    ASSERT_FALSE(empty);
    EXPECT_NE(empty.error().message.find(kEmptyTally), std::string::npos);
}

TEST(Logbook, RefusesAnIssueWhoseDrawIsKnown) {
    TestFolder dir;
    auto draws = test::syntheticDraws(50, 3);
    // A gap: the issue before the last is missing.
    draws.erase(draws.end() - 2);
    test::writeDatabase(dir.path(), draws);
    auto store = openStore(dir / kDatabaseFile);
    const std::int32_t last = draws.back().issue, gap = last - 1, next = nextIssueProposal(last);
    struct Case {
        std::int32_t issue;
        bool refused;
    };
    for (const bool play : {false, true})
        for (const Case& t :
             {Case{last, true}, Case{gap, true}, Case{draws.front().issue, true}, Case{next, false}}) {
            SCOPED_TRACE(t.issue);
            LogEntry e;
            e.issue = t.issue;
            e.picks = {1};
            Play p;
            p.issue = t.issue;
            p.numbers = {1, 2};
            std::string refusal;
            if (play) {
                if (auto r = PredictionLog::recordPlay(*store, p); !r)
                    refusal = r.error().message;
            } else if (auto r = PredictionLog::record(*store, e); !r) {
                refusal = r.error().message;
            }
            EXPECT_EQ(!refusal.empty(), t.refused);
            if (t.refused)
                EXPECT_NE(refusal.find(play ? "该期已开奖，不能再记录投注" : kAlreadyDrawn),
                          std::string::npos)
                    << refusal;
        }
    EXPECT_EQ(entriesOf(*store).size(), 1u);
    EXPECT_EQ(PredictionLog::plays(*store).value().size(), 1u);
}

// A play pays what its tickets win of the draw its issue had when first stored, and keeps that.
TEST(Logbook, PlaysArePricedAndScoredWhenTheirDrawIsStored) {
    TestFolder dir;
    const auto draws = test::syntheticDraws(20, 4);
    test::writeDatabase(dir.path(), draws);
    auto store = openStore(dir / kDatabaseFile);
    struct Case {
        Ticket ticket;
        std::vector<int> tickets;
        std::array<int, 3> drawn;
        long long cost, won;
        double chance;
    };
    const Case cases[] = {
        {Ticket::Direct, {123, 456}, {1, 2, 3}, 4, 1040, 0.002},
        {Ticket::Direct, {123, 456}, {3, 2, 1}, 4, 0, 0.002},
        {Ticket::Direct, {111, 456}, {1, 1, 1}, 4, 1040, 0.002}, // a 豹子 is a direct number as any other
        {Ticket::Group, {123, 133}, {3, 1, 3}, 4, 346, 0.009},   // 组三 of 133
        {Ticket::Group, {123, 133}, {2, 3, 1}, 4, 173, 0.009},   // 组六 of 123
        {Ticket::Group, {123, 133}, {1, 2, 4}, 4, 0, 0.009},
        {Ticket::Group, {112, 345, 789}, {1, 1, 1}, 6, 0, 0.015}, // a 豹子 draw pays no 组选 ticket
    };
    std::int32_t issue = draws.back().issue;
    for (const Case& t : cases) {
        Play p;
        p.issue = issue = nextIssueProposal(issue);
        p.conditions = "和值 6";
        p.ticket = t.ticket;
        p.numbers = t.tickets;
        ASSERT_TRUE(PredictionLog::recordPlay(*store, p));
        const DrawLine drawn{issue, t.drawn};
        ASSERT_TRUE(store->appendDraws(std::span(&drawn, 1), 1));
    }
    // The last draw deleted again: its play keeps the money it made.
    ASSERT_TRUE(store->deleteLast());
    const auto scored = scorePlays(PredictionLog::plays(*store).value(), *snapshotOf(*store));
    ASSERT_EQ(scored.size(), std::size(cases));
    std::vector<double> chances;
    int hits = 0;
    for (std::size_t i = 0; i < scored.size(); ++i) {
        SCOPED_TRACE(i);
        const Case& t = cases[i];
        EXPECT_EQ(scored[i].cost, t.cost);
        EXPECT_EQ(scored[i].won, std::optional(t.won));
        EXPECT_EQ(scored[i].net(), std::optional(t.won - t.cost));
        EXPECT_EQ(scored[i].hit, std::optional(t.won > 0));
        EXPECT_DOUBLE_EQ(scored[i].chance, t.chance);
        EXPECT_EQ(scored[i].drawChanged, i + 1 == scored.size());
        chances.push_back(t.chance);
        hits += t.won > 0;
    }
    // The totals, and the chance of that many hits or more, every way the plays could have gone.
    const PlaySummary total = summarizePlays(scored);
    double tail = 0;
    for (unsigned mask = 0; mask < (1u << chances.size()); ++mask) {
        double p = 1;
        for (std::size_t i = 0; i < chances.size(); ++i)
            p *= (mask >> i & 1u) ? chances[i] : 1 - chances[i];
        if (std::popcount(mask) >= hits)
            tail += p;
    }
    EXPECT_EQ(total.scored, 7);
    EXPECT_EQ(total.cost, 30);
    EXPECT_EQ(total.won, 2599);
    EXPECT_EQ(total.net(), 2569);
    EXPECT_EQ(total.hits, 4);
    EXPECT_NEAR(total.expected, 0.048, 1e-12);
    EXPECT_NEAR(total.p.value(), tail, 1e-12);
    EXPECT_TRUE(playSummaryLine(total).starts_with(
        "已开奖 7 次：花费 30 元，中奖 2,599 元，净赚 2,569 元；命中 4 次，随机期望 0.05 次，p="))
        << playSummaryLine(total);

    // What no draw could make a sound play of is refused.
    for (const auto& [ticket, numbers] :
         {std::pair{Ticket::Direct, std::vector<int>{}}, std::pair{Ticket::Group, std::vector<int>{321}},
          std::pair{Ticket::Group, std::vector<int>{111}}, std::pair{Ticket::Direct, std::vector<int>{5, 5}},
          std::pair{Ticket::Direct, std::vector<int>{1000}}}) {
        Play p;
        p.issue = nextIssueProposal(issue);
        p.ticket = ticket;
        p.numbers = numbers;
        EXPECT_FALSE(PredictionLog::recordPlay(*store, p)) << numbers.size();
    }
    EXPECT_EQ(PredictionLog::plays(*store).value().size(), std::size(cases));
}

TEST(Logbook, ScoresAreTakenWhenTheDrawIsFirstStoredAndKept) {
    const auto draws = test::syntheticDraws(60, 11);
    const std::vector<DrawLine> before(draws.begin(), draws.end() - 2);
    const std::int32_t first = draws[draws.size() - 2].issue, second = draws.back().issue;
    enum class Store { Entry, Import, Update, Undo };
    enum class Remove { DeleteLast, DeleteDownTo, Clear };
    struct Case {
        Store store;
        Remove remove;
    };
    for (const Case& t : {Case{Store::Entry, Remove::DeleteLast}, Case{Store::Import, Remove::DeleteDownTo},
                          Case{Store::Update, Remove::DeleteLast}, Case{Store::Undo, Remove::Clear}}) {
        SCOPED_TRACE(static_cast<int>(t.store));
        TestFolder dir;
        test::writeDatabase(dir.path(), before);
        auto store = openStore(dir / kDatabaseFile);
        // Two entries: one for each of the next two draws, with picks that hit and that miss.
        for (const auto& [issue, pickedDigit] : {std::pair{first, true}, std::pair{second, false}}) {
            LogEntry e;
            e.issue = issue;
            e.resultKind = Kind::OddEven;
            e.resultPosition = 2;
            const int odd = digitsAt(draws, issue)[1] % 2;
            e.picks = {pickedDigit ? odd : 1 - odd};
            ASSERT_TRUE(PredictionLog::record(*store, e));
        }
        const auto entries = entriesOf(*store);
        for (const ScoredEntry& s : scoreEntries(entries, *snapshotOf(*store)))
            EXPECT_FALSE(s.hit || s.actual) << "nothing drawn yet";

        switch (t.store) {
        case Store::Entry:
            for (std::size_t i = draws.size() - 2; i < draws.size(); ++i)
                ASSERT_TRUE(store->appendDraws(std::span(&draws[i], 1), 1));
            break;
        case Store::Import: {
            HistoryFile file;
            file.draws = draws;
            ASSERT_TRUE(importHistory(*store, file, 1));
            break;
        }
        case Store::Update: {
            OnlineMerge merge(*snapshotOf(*store), first / 1000, 6, 1);
            merge.addDraws(first / 1000, std::span(draws).last(2));
            ASSERT_TRUE(merge.commit(*store).value_or(false));
            break;
        }
        case Store::Undo: {
            // The whole history is taken back to one that holds both draws.
            ASSERT_TRUE(changeWithUndo(*store, "读入", [&] {
                HistoryFile file;
                file.draws = draws;
                return importHistory(*store, file, 1);
            }));
            ASSERT_TRUE(changeWithUndo(*store, "清空", [&] { return store->deleteAll(); }));
            auto backup = readUndoBackup(*store);
            ASSERT_TRUE(backup && *backup);
            ASSERT_TRUE(undoLastChange(*store, **backup));
            break;
        }
        }
        const auto scoredEntries = entriesOf(*store);
        ASSERT_EQ(scoredEntries.size(), 2u);
        for (std::size_t i = 0; i < 2; ++i) {
            ASSERT_TRUE(scoredEntries[i].score);
            EXPECT_EQ(scoredEntries[i].score->digits, digitsAt(draws, entries[i].issue));
            auto unscored = scoredEntries[i];
            unscored.score.reset();
            EXPECT_EQ(unscored, entries[i]) << "the history's changes leave the entries";
        }
        auto scored = scoreEntries(scoredEntries, *snapshotOf(*store));
        ASSERT_EQ(scored.size(), 2u);
        EXPECT_EQ(scored[0].hit, std::optional(true));
        EXPECT_EQ(scored[1].hit, std::optional(false));
        EXPECT_EQ(scored[0].actual, digitsAt(draws, first)[1] % 2);
        EXPECT_EQ(scored[1].actual, digitsAt(draws, second)[1] % 2);

        switch (t.remove) {
        case Remove::DeleteLast:
            ASSERT_TRUE(store->deleteLast());
            break;
        case Remove::DeleteDownTo:
            ASSERT_TRUE(deleteDownTo(*store, dir.path(), first, 1));
            break;
        case Remove::Clear:
            ASSERT_TRUE(store->deleteAll());
            break;
        }
        // A draw deleted again leaves the score it gave, and the entry says the draw is gone.
        EXPECT_EQ(entriesOf(*store), scoredEntries);
        scored = scoreEntries(entriesOf(*store), *snapshotOf(*store));
        EXPECT_EQ(scored[0].hit, std::optional(true));
        EXPECT_EQ(scored[1].hit, std::optional(false));
        EXPECT_EQ(scored[0].drawChanged, t.remove == Remove::Clear);
        EXPECT_TRUE(scored[1].drawChanged && !scored[1].drawNow) << "its draw is gone";
    }
}

TEST(Logbook, WithdrawsOnlyBeforeTheDraw) {
    for (const bool play : {false, true}) {
        SCOPED_TRACE(play ? "play" : "prediction");
        TestFolder dir;
        const auto draws = test::syntheticDraws(20, 5);
        test::writeDatabase(dir.path(), std::vector(draws.begin(), draws.end() - 1));
        auto store = openStore(dir / kDatabaseFile);
        const auto recordFor = [&](std::int32_t issue) {
            LogEntry e;
            e.issue = issue;
            e.picks = {4};
            Play p;
            p.issue = issue;
            p.numbers = {4};
            return play ? PredictionLog::recordPlay(*store, p).value().id
                        : PredictionLog::record(*store, e).value().id;
        };
        const auto count = [&] {
            return play ? PredictionLog::plays(*store).value().size() : entriesOf(*store).size();
        };
        const long long drawnLater = recordFor(draws.back().issue);
        const long long stillOpen = recordFor(nextIssueProposal(draws.back().issue));
        ASSERT_TRUE(store->appendDraws(std::span(&draws.back(), 1), 1));
        struct Case {
            long long id;
            bool withdrawn;
            const char* says;
        };
        for (const Case& t : {Case{drawnLater, false, "已计分，不能撤回"},
                              Case{stillOpen + 7, false, "没有编号为"}, Case{stillOpen, true, ""}}) {
            SCOPED_TRACE(t.id);
            const auto before = count();
            auto r = play ? PredictionLog::withdrawPlay(*store, t.id) : PredictionLog::withdraw(*store, t.id);
            EXPECT_EQ(r.has_value(), t.withdrawn);
            if (!r) {
                EXPECT_NE(r.error().message.find(t.says), std::string::npos) << r.error().message;
            }
            EXPECT_EQ(count(), before - (t.withdrawn ? 1 : 0));
        }
        ASSERT_EQ(count(), 1u);
        // Nor can a stored record or its score be changed behind the program's back, nor a scored
        // one removed.
        SQLite::Database db((dir / kDatabaseFile).string(), SQLite::OPEN_READWRITE);
        const std::string table = play ? "Touzhu" : "Yuce";
        for (const std::string& change :
             {"UPDATE " + table + " SET " + (play ? "numbers = '1'" : "picks = '1,2,3'"),
              "UPDATE " + table + "Score SET digits = '000'", "DELETE FROM " + table + "Score",
              "DELETE FROM " + table})
            EXPECT_THROW(db.exec(change), SQLite::Exception) << change;
        EXPECT_EQ(count(), 1u);
    }
}

// A history of the version before had no scores stored: its entries were scored against the
// draws as they stood, and the upgrade keeps what they showed then.
TEST(Logbook, TheEntriesOfAnEarlierVersionKeepTheScoresTheyShowed) {
    TestFolder dir;
    const auto draws = test::syntheticDraws(20, 6);
    const DrawLine& drawn = draws[draws.size() - 2];
    const DrawLine& later = draws.back();
    test::writeDatabase(dir.path(), std::vector(draws.begin(), draws.end() - 2));
    {
        auto store = openStore(dir / kDatabaseFile);
        for (const DrawLine& d : {drawn, later}) {
            LogEntry e;
            e.issue = d.issue;
            e.picks = {d.digits[0]};
            ASSERT_TRUE(PredictionLog::record(*store, e));
        }
        ASSERT_TRUE(store->appendDraws(std::span(&drawn, 1), 1));
    }
    {
        SQLite::Database db((dir / kDatabaseFile).string(), SQLite::OPEN_READWRITE);
        db.exec("DROP TRIGGER YuceScoredStays; DROP TRIGGER YuceScoreNeverEdited;"
                " DROP TRIGGER YuceScoreNeverRemoved; DROP TABLE YuceScore; PRAGMA user_version=3");
    }
    auto store = openStore(dir / kDatabaseFile);
    EXPECT_EQ(SQLite::Database((dir / kDatabaseFile).string()).execAndGet("PRAGMA user_version").getInt(),
              HistoryStore::kSchemaVersion);
    auto entries = entriesOf(*store);
    ASSERT_EQ(entries.size(), 2u);
    ASSERT_TRUE(entries[0].score);
    EXPECT_EQ(entries[0].score->digits, drawn.digits);
    EXPECT_FALSE(entries[1].score);
    // From then on the score stays, and the later entry is scored when its draw comes.
    ASSERT_TRUE(store->deleteLast());
    const DrawLine other[] = {{drawn.issue, {(drawn.digits[0] + 1) % 10, 0, 0}},
                              {later.issue, {(later.digits[0] + 1) % 10, 0, 0}}};
    ASSERT_TRUE(store->appendDraws(other, 1));
    const auto scored = scoreEntries(entriesOf(*store), *snapshotOf(*store));
    EXPECT_EQ(scored[0].hit, std::optional(true));
    EXPECT_TRUE(scored[0].drawChanged);
    EXPECT_EQ(scored[1].hit, std::optional(false));
    EXPECT_FALSE(scored[1].drawChanged);
}

TEST(Logbook, SummaryChanceEqualsTheEnumerationOfEveryOutcome) {
    std::mt19937 gen(19);
    const Kind kinds[] = {Kind::Number, Kind::BigSmall, Kind::OddEven, Kind::Segment};
    for (int round = 0; round < 40; ++round) {
        const std::size_t n = 1 + gen() % 12;
        std::vector<ScoredEntry> entries;
        for (std::size_t i = 0; i < n; ++i) {
            ScoredEntry s;
            s.entry.resultKind = kinds[gen() % 4];
            const int k = outcomeCount(s.entry.resultKind);
            for (int p = 0, K = 1 + static_cast<int>(gen() % static_cast<unsigned>(k)); p < K; ++p)
                s.entry.picks.push_back(p);
            s.actual = 0;
            s.hit = gen() % 3 == 0;
            entries.push_back(s);
            if (gen() % 4 == 0)
                entries.push_back(ScoredEntry{.entry = s.entry}); // not drawn yet
        }
        // Every way the n scored entries could have hit or missed, with fair draws.
        std::vector<double> chance;
        int hits = 0;
        for (const ScoredEntry& s : entries)
            if (s.hit) {
                chance.push_back(static_cast<double>(s.entry.picks.size()) /
                                 outcomeCount(s.entry.resultKind));
                hits += *s.hit;
            }
        double tail = 0, expected = 0;
        for (unsigned mask = 0; mask < (1u << n); ++mask) {
            double p = 1;
            for (std::size_t i = 0; i < n; ++i)
                p *= (mask >> i & 1u) ? chance[i] : 1 - chance[i];
            if (std::popcount(mask) >= hits)
                tail += p;
        }
        for (double c : chance)
            expected += c;
        const LogSummary s = summarize(entries);
        EXPECT_EQ(s.scored, static_cast<int>(n));
        EXPECT_EQ(s.hits, hits);
        EXPECT_NEAR(s.expected, expected, 1e-12);
        ASSERT_TRUE(s.p);
        EXPECT_NEAR(*s.p, tail, 1e-12) << round;
    }
    EXPECT_FALSE(summarize({}).p) << "nothing scored, no chance to tell";
}

TEST(Logbook, EachGameKeepsItsOwnEntriesThroughTheFilesChanges) {
    TestFolder dir;
    const auto draws = test::syntheticDraws(30, 2);
    test::writeDatabase(dir.path(), draws, 1, Game::Fc3d);
    test::writeDatabase(dir.path(), draws, 1, Game::Pl3);
    LogEntry e;
    e.issue = nextIssueProposal(draws.back().issue);
    e.picks = {3, 8};
    {
        auto fc3d = openStore(dir / kDatabaseFile, Game::Fc3d);
        ASSERT_TRUE(PredictionLog::record(*fc3d, e));
    }
    auto pl3 = openStore(dir / databaseFileName(Game::Pl3), Game::Pl3);
    EXPECT_TRUE(entriesOf(*pl3).empty());
    e.picks = {5};
    ASSERT_TRUE(PredictionLog::record(*pl3, e));
    ASSERT_EQ(entriesOf(*pl3).size(), 1u);
    EXPECT_EQ(entriesOf(*pl3)[0].game, Game::Pl3);

    auto fc3d = openStore(dir / kDatabaseFile, Game::Fc3d);
    const auto kept = entriesOf(*fc3d);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].picks, (std::vector<int>{3, 8}));
    // Compaction copies the whole file.
    ASSERT_TRUE(compactAndReopen(fc3d));
    EXPECT_EQ(entriesOf(*fc3d), kept);
    fc3d.reset();
    // A history written before the logbook, or its plays, existed gets the tables, and keeps its draws.
    {
        SQLite::Database db((dir / kDatabaseFile).string(), SQLite::OPEN_READWRITE);
        db.exec("DROP TRIGGER YuceNeverEdited; DROP TABLE Yuce; DROP TABLE Touzhu; DROP TABLE TouzhuScore;"
                " PRAGMA user_version=2");
    }
    fc3d = openStore(dir / kDatabaseFile, Game::Fc3d);
    EXPECT_TRUE(entriesOf(*fc3d).empty());
    EXPECT_EQ(test::storedDraws(dir / kDatabaseFile), draws);
    ASSERT_TRUE(PredictionLog::record(*fc3d, e));
    Play play;
    play.issue = e.issue;
    play.numbers = {7};
    ASSERT_TRUE(PredictionLog::recordPlay(*fc3d, play));
    EXPECT_EQ(SQLite::Database((dir / kDatabaseFile).string()).execAndGet("PRAGMA user_version").getInt(),
              HistoryStore::kSchemaVersion);
}

} // namespace
} // namespace brenvik::stats
