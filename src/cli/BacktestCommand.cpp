// SPDX-License-Identifier: GPL-3.0-or-later
#include "BacktestCommand.h"

#include "Backtest.h"
#include "BacktestText.h"
#include "CliHome.h"
#include "CliOutput.h"
#include "IssueNumber.h"
#include "SearchCommands.h"
#include "SearchIndex.h"

#include <charconv>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace brenvik::cli {

namespace {

// What only the backtest asks for.
struct BacktestArgs {
    std::optional<int> pick; // none: 1
    int twins = 20;
    std::uint64_t seed = 1;
    bool rows = false;
};

stats::BacktestOptions backtestOptions(const Options& o, const BacktestArgs& a) {
    stats::BacktestOptions b;
    b.freePositions = o.freePositions;
    b.lastDraw = !o.back;
    b.n = o.back.value_or(1);
    b.searchType = static_cast<Kind>(o.type);
    b.checked = o.check;
    b.resultKind = static_cast<Kind>(o.resultType);
    b.resultPosition = o.resultPosition;
    b.segmentParam = o.segment;
    if (o.range) {
        b.targetStart = o.range->first;
        b.targetEnd = o.range->second;
    }
    b.picks = a.pick.value_or(1);
    b.twins = a.twins;
    b.seed = a.seed;
    b.keepRows = a.rows;
    return b;
}

// A rate is a fraction of the predictions: without any there is none.
Json share(const stats::BacktestResult& r, double value) {
    return r.predictions > 0 ? Json(value) : Json();
}

Json json(const stats::BacktestResult& r, bool withRows) {
    Json j;
    j["targets"] = r.targets;
    j["predictions"] = r.predictions;
    j["hits"] = r.hits;
    j["rate"] = share(r, r.rate);
    j["low95"] = share(r, r.low95);
    j["high95"] = share(r, r.high95);
    j["chance"] = r.chance;
    j["p"] = r.p;
    if (!r.twins.empty()) {
        Json rates = Json::array();
        for (const stats::TwinRun& t : r.twins)
            rates.push_back(t.rate);
        j["twins"] = {{"count", r.twins.size()}, {"seed", r.seed}, {"rates", rates}, {"rank", r.rank}};
    }
    if (withRows) {
        Json rows = Json::array();
        for (const stats::BacktestRow& row : r.rows) {
            Json one;
            one["issue"] = row.issue;
            one["pattern"] = row.pattern ? Json(*row.pattern) : Json();
            one["matched"] = row.matched;
            const bool predicted = row.verdict != stats::Verdict::NoPrediction;
            one["picks"] = Json();
            if (predicted) {
                one["picks"] = Json::array();
                for (const std::int8_t pick : row.picked())
                    one["picks"].push_back(static_cast<int>(pick));
            }
            one["actual"] = row.actual;
            one["hit"] = predicted ? Json(row.verdict == stats::Verdict::Hit) : Json();
            rows.push_back(std::move(one));
        }
        j["rows"] = std::move(rows);
    }
    return j;
}

int runBacktest(const Options& o, const BacktestArgs& a) {
    auto opened = openToRead(o);
    if (!opened)
        return failWith(opened.error());
    if (opened->snapshot->empty())
        return failWith("历史号码为空，无法回测。");
    const SearchIndex index(opened->snapshot);
    const stats::BacktestOptions b = backtestOptions(o, a);
    if (o.range) {
        const auto [first, last] = index.rowsInRange(o.range->first, o.range->second);
        if (first == last)
            return failWith("第 " + std::to_string(o.range->first) + "～" + std::to_string(o.range->second) +
                            " 期之间没有历史号码，无法回测。");
    }
    const auto result = stats::runBacktest(index, b);
    if (!result)
        return failWith(result.error());

    if (o.json) {
        std::cout << jsonDocument(json(*result, a.rows)) << '\n';
        return 0;
    }
    std::cout << stats::backtestConditions(std::string(displayName(o.game)), b) << '\n'
              << stats::backtestSummary(*result, b.picks) << '\n';
    if (!result->twins.empty()) {
        std::string rates;
        for (const stats::TwinRun& t : result->twins)
            rates += " " + stats::percentText(t.rate);
        std::cout << "随机对照命中率：" << rates.substr(1) << '\n';
    }
    if (a.rows) {
        std::cout << '\n';
        std::vector<std::vector<std::string>> table = {
            {"期号", "检索号码", "找到期数", "预测", "开奖", "命中"}};
        for (const stats::BacktestRow& row : result->rows)
            table.push_back({std::to_string(row.issue), stats::patternText(row), std::to_string(row.matched),
                             stats::picksText(row, b.resultKind), outcomeLabel(b.resultKind, row.actual),
                             stats::verdictText(row.verdict)});
        std::cout << tableText(table);
    }
    return 0;
}

} // namespace

void addBacktestCommand(Commands& commands) {
    Options& o = commands.options();
    auto args = std::make_shared<BacktestArgs>();
    CLI::App& backtest = commands.add(
        "backtest",
        "Walk the follow search through the history: for every issue of the range, the follow search "
        "from the draws before that issue, its top outcomes as the prediction, scored against the "
        "issue's own draw and against random histories.",
        [args](const Options& options) { return runBacktest(options, *args); });
    addFollowOptions(backtest, o, "the issues to predict (default: the whole history)");
    addValue(
        backtest, "--pick", "K",
        "outcomes taken per issue, from 1 up to one less than the outcomes of the result type (default 1)",
        [args](const std::string& v) {
            auto n = parseWholeNumber(v, 1, 9);
            if (!n)
                refuse("--pick must be a whole number from 1 to 9, not " + v);
            args->pick = static_cast<int>(*n);
        });
    addValue(backtest, "--twins", "R", "random histories to compare with, 0..1000 (default 20)",
             [args](const std::string& v) {
                 auto n = parseWholeNumber(v, 0, stats::kMaxTwins);
                 if (!n)
                     refuse("--twins must be a whole number from 0 to 1000, not " + v);
                 args->twins = static_cast<int>(*n);
             });
    addValue(backtest, "--seed", "N",
             "seed of the random histories, 0..18446744073709551615 (default 1); the same seed gives the "
             "same histories on every machine",
             [args](const std::string& v) {
                 std::uint64_t seed = 0;
                 const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), seed);
                 if (v.empty() || ec != std::errc() || end != v.data() + v.size())
                     refuse("--seed must be a whole number from 0 to 18446744073709551615, not " + v);
                 args->seed = seed;
             });
    backtest.add_flag("--rows", args->rows, "also list every predicted issue");
    commands.exitStatus(backtest, kFailed, "the history is empty, or the range holds no stored draw");
    backtest.callback([&o, args] {
        const int outcomes = o.resultType == 0 ? 10 : o.resultType == 3 ? 5 : 2;
        if (args->pick && *args->pick >= outcomes)
            refuse("--pick must be less than the " + std::to_string(outcomes) +
                   " outcomes of the result type, not " + std::to_string(*args->pick));
    });
}

} // namespace brenvik::cli
