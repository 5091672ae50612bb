// SPDX-License-Identifier: GPL-3.0-or-later
#include "SearchCommands.h"

#include "CliHome.h"
#include "CliOutput.h"
#include "CombinationSearch.h"
#include "FollowSearch.h"
#include "IssueNumber.h"
#include "MatchedDraws.h"
#include "PatternSource.h"
#include "SearchConditions.h"
#include "Tally.h"
#include "TallyStatistics.h"

#include <iostream>
#include <map>
#include <sstream>

namespace brenvik::cli {

Result<SearchConditions> searchConditionsOf(const Options& o, const HistorySnapshot& h) {
    const bool lastDraw = !o.back;
    const int n = o.back.value_or(2);
    const Kind kind = static_cast<Kind>(o.type);

    // Pattern and range as the window would set them for these options.
    Pattern pattern{};
    std::int32_t start = h.empty() ? 0 : rangeStart(h.first()->sqqh, lastDraw, n);
    std::int32_t end = h.empty() ? 0 : h.last()->sqqh;
    if (o.pattern) {
        pattern = *o.pattern;
    } else if (o.before) {
        // Too few draws before the issue for the draw N back is no pattern either, not 0,0,0.
        const auto before = patternBeforeIssue(h, *o.before, lastDraw, n, kind);
        if (!before || !before->pattern)
            return fail(ErrorCode::Empty, noPatternBefore(*o.before, lastDraw, n));
        end = h[before->reached].sqqh;
        pattern = *before->pattern;
    } else if (auto fromHistory = patternFromHistory(h, lastDraw, n, kind)) {
        pattern = *fromHistory;
    }
    if (o.range) {
        start = o.range->first;
        end = o.range->second;
    }

    SearchConditions c;
    c.game = displayName(o.game);
    c.combination = o.combination;
    c.freePositions = o.freePositions;
    c.lastDraw = lastDraw;
    c.n = lastDraw ? 1 : n;
    c.searchType = kind;
    for (std::size_t p = 0; p < 3; ++p)
        c.pattern[p] = pattern[p];
    c.before = o.pattern ? std::nullopt : o.before;
    if (c.combination)
        c.size = o.size;
    else
        c.checked = o.check;
    c.rangeStart = start;
    c.rangeEnd = end;
    c.resultKind = static_cast<Kind>(o.resultType);
    c.resultPosition = o.resultPosition;
    c.group = o.group;
    c.segmentParam = o.segment;
    return c;
}

Selection searchSelection(const SearchIndex& index, const SearchConditions& c) {
    return c.combination ? combinationSearch(index, c.combinationQuery())
                         : followSearch(index, c.followQuery());
}

namespace {

// The tally, the comparison with chance and, when asked for, the matched draws as one JSON line.
Json searchJson(const Options& o, const Pattern& pattern, std::int32_t start, std::int32_t end,
                const Tally& tally, const std::optional<stats::TallyStatistics>& chance,
                const SearchIndex& index, const Selection& s) {
    Json rows = Json::array();
    for (std::size_t i = 0; i < tally.ranked.size(); ++i) {
        const TallyRow& r = tally.ranked[i];
        const auto percent = tally.percent(r.count);
        Json row = {{"outcome", r.outcome},
                    {"label", r.label},
                    {"count", r.count},
                    {"percent", percent ? Json(*percent) : Json()}};
        row["expected"] = chance ? Json(chance->expected) : Json();
        row["low95"] = chance ? Json(chance->intervals[i].low * 100) : Json();
        row["high95"] = chance ? Json(chance->intervals[i].high * 100) : Json();
        rows.push_back(std::move(row));
    }
    Json test;
    if (chance)
        test = {{"statistic", chance->statistic},
                {"df", chance->df},
                {"p", chance->p},
                {"method", stats::methodName(chance->method)}};
    Json out = {{"matched", tally.matched},
                {"denominator", tally.denominator},
                {"pattern", {pattern[0], pattern[1], pattern[2]}},
                {"range", {start, end}},
                {"tally", std::move(rows)},
                {"test", std::move(test)},
                {"dropped", tally.dropped}};
    if (o.matched) {
        Json draws = Json::array();
        for (const auto row : s.rows)
            draws.push_back(index.issue(row));
        out["draws"] = std::move(draws);
    }
    return out;
}

int runSearch(const Options& o) {
    auto opened = openToRead(o);
    if (!opened)
        return failWith(opened.error());
    const HistorySnapshot& h = *opened->snapshot;
    if (h.empty() && !o.range)
        return failWith("历史号码为空，无法检索。");
    const auto conditions = searchConditionsOf(o, h);
    if (!conditions)
        return failWith(conditions.error().message);
    const SearchConditions& c = *conditions;
    const Pattern pattern = {c.pattern[0].value_or(0), c.pattern[1].value_or(0), c.pattern[2].value_or(0)};
    const std::int32_t start = c.rangeStart, end = c.rangeEnd;
    const bool lastDraw = c.lastDraw;
    const int n = c.n;
    const SearchIndex index(opened->snapshot);
    const Selection s = searchSelection(index, c);
    const Kind resultKind = c.resultKind;
    const Tally tally = tallyOutcomes(h, s.rows, resultKind, o.resultPosition, o.group, o.segment);

    const auto chance = stats::tallyStatistics(tally);
    if (o.json) {
        std::cout << jsonDocument(searchJson(o, pattern, start, end, tally, chance, index, s), {"percent"})
                  << '\n';
        return 0;
    }

    std::cout << conditionSummary(c, tally.matched) << '\n';
    std::cout << "找到 " << tally.matched << " 期，统计 " << tally.denominator << " 个结果；条件 "
              << pattern[0] << "," << pattern[1] << "," << pattern[2] << "，期号 " << start << "～" << end
              << "。\n";
    std::vector<std::vector<std::string>> grid = {
        {"序号", "结果", "出现次数", "百分比", "随机期望", "95%区间"}};
    for (std::size_t i = 0; i < tally.ranked.size(); ++i) {
        const TallyRow& r = tally.ranked[i];
        grid.push_back({std::to_string(i + 1), r.label, std::to_string(r.count), tally.percentText(r.count),
                        chance ? stats::expectedText(chance->expected) : "-",
                        chance ? stats::intervalText(chance->intervals[i]) : "-"});
    }
    std::cout << tableText(grid);
    if (tally.dropped > 0)
        std::cout << droppedNote(tally) << '\n';
    // One search per run of the companion: the level is not shared out.
    std::cout << stats::verdictLine(chance, 1) << '\n';
    if (o.matched) {
        std::cout << '\n';
        std::vector<std::vector<std::string>> draws = {
            {"期号", "第1位", "第2位", "第3位", lastDraw ? "上期开奖" : "前期开奖"}};
        for (const MatchedRow& m : matchedRowsOf(index, s.rows, resultKind, lastDraw, n))
            draws.push_back({std::to_string(m.issue), std::to_string(m.codes[0]), std::to_string(m.codes[1]),
                             std::to_string(m.codes[2]), m.earlier});
        std::cout << tableText(draws);
    }
    return 0;
}

std::optional<int> kindNamed(const std::string& s) {
    static const std::map<std::string, int> names = {
        {"number", 0}, {"bigsmall", 1}, {"oddeven", 2}, {"segment", 3}};
    auto it = names.find(s);
    if (it == names.end())
        return std::nullopt;
    return it->second;
}

std::vector<std::string> split(const std::string& s, char sep) {
    std::vector<std::string> out;
    std::string part;
    std::istringstream in(s);
    while (std::getline(in, part, sep))
        out.push_back(part);
    if (!s.empty() && s.back() == sep)
        out.push_back("");
    return out;
}

// The options of every command that runs the follow or the combination search, bound to o; each
// command states what its range is, and whether it counts a group of positions.
void addSharedOptions(CLI::App& search, Options& o, const std::string& rangeDescription, bool group) {
    addValue(search, "--positions", "fixed|free", "how positions are matched (default free)",
             [&o](const std::string& v) {
                 if (v != "fixed" && v != "free")
                     refuse("--positions must be fixed or free, not " + v);
                 o.freePositions = v == "free";
             });
    addValue(search, "--back", "N", "the pattern lies N draws back, N in 1..9 (default: the last draw)",
             [&o](const std::string& v) {
                 auto n = parseWholeNumber(v, 1, 9);
                 if (!n)
                     refuse("--back must be a whole number from 1 to 9, not " + v);
                 o.back = static_cast<int>(*n);
             });
    for (const bool result : {false, true}) {
        const std::string name = result ? "--result-type" : "--type";
        addValue(search, name, "number|bigsmall|oddeven|segment",
                 result ? "what is counted (default number)" : "search type (default number)",
                 [&o, name, result](const std::string& v) {
                     auto k = kindNamed(v);
                     if (!k)
                         refuse(name + " must be number, bigsmall, oddeven or segment, not " + v);
                     (result ? o.resultType : o.type) = *k;
                 });
    }
    addValue(search, "--result-pos", "1|2|3", "which position is counted (default 1)",
             [&o](const std::string& v) {
                 auto n = parseWholeNumber(v, 1, 3);
                 if (!n)
                     refuse("--result-pos must be 1, 2 or 3, not " + v);
                 o.resultPosition = static_cast<int>(*n);
             });
    if (group)
        search.add_flag("--group", o.group, "count positions 1 up to the result position");
    addRange(search, o, rangeDescription);
    addSegment(search, o, "1");
    addValue(search, "--format", "table|json", "output (default table)", [&o](const std::string& v) {
        if (v != "table" && v != "json")
            refuse("--format must be table or json, not " + v);
        o.json = v == "json";
    });
}

} // namespace

CLI::Option* addCheckOption(CLI::App& follow, Options& o) {
    return addValue(follow, "--check", "1,2,3|none", "positions to match (default all three)",
                    [&o](const std::string& v) {
                        o.check = {false, false, false};
                        if (v == "none")
                            return;
                        for (const std::string& part : split(v, ',')) {
                            auto p = parseWholeNumber(part, 1, 3);
                            if (!p)
                                refuse("--check must list positions 1, 2, 3 or be none, not " + v);
                            o.check[static_cast<std::size_t>(*p - 1)] = true;
                        }
                    });
}

CLI::Option* addPatternOption(CLI::App& search, Options& o) {
    return addValue(
        search, "--pattern", "A,B,C", "a typed pattern, as on the second tab", [&o](const std::string& v) {
            auto parts = split(v, ',');
            if (parts.size() != 3)
                refuse("--pattern needs three whole numbers A,B,C, not " + v);
            std::array<int, 3> p{};
            for (std::size_t k = 0; k < 3; ++k) {
                auto n = parseWholeNumber(parts[k], -32768, 32767);
                if (!n)
                    refuse("--pattern values must be whole numbers from -32768 to 32767, not " + v);
                p[k] = static_cast<int>(*n);
            }
            o.pattern = p;
        });
}

CLI::Option* addSizeOption(CLI::App& combo, Options& o) {
    // Only the combination search has a size; the follow search matches the positions it checks.
    // A draw has three positions: a larger combination could never match, and would answer
    // "找到 0 期" as if it had searched.
    return addValue(combo, "--size", "K", "combination size, 1..3 (default 2)", [&o](const std::string& v) {
        auto n = parseWholeNumber(v, 1, 3);
        if (!n)
            refuse("--size must be a whole number from 1 to 3, not " + v);
        o.size = static_cast<int>(*n);
    });
}

namespace {

// The options of both searches, bound to o.
void addSearchOptions(CLI::App& search, Options& o) {
    addSharedOptions(search, o, "issue range (default: as the window sets it)", false);
    CLI::Option* pattern = addPatternOption(search, o);
    CLI::Option* before =
        addValue(search, "--before", "ISSUE", "the draw before ISSUE, as the third tab with its limit ticked",
                 [&o](const std::string& v) {
                     auto issue = parseIssue(v);
                     if (!issue)
                         refuse("--before must be a seven-digit issue number, not " + v);
                     o.before = *issue;
                 });
    search.add_flag("--group", o.group, "count positions 1 up to the result position");
    search.add_flag("--matched", o.matched, "also list the matched draws");
    search.callback([pattern, before] {
        if (pattern->count() > 0 && before->count() > 0)
            refuse("--pattern and --before cannot be used together");
    });
}

} // namespace

void addFollowOptions(CLI::App& command, Options& o, const std::string& rangeDescription, bool group) {
    addSharedOptions(command, o, rangeDescription, group);
    addCheckOption(command, o);
}

void addSearchCommands(Commands& commands) {
    Options& o = commands.options();
    CLI::App& follow = commands.add(
        "follow", "Run a follow search: the draws after those that match the pattern, and their tally.",
        [](const Options& options) { return runSearch(options); });
    addSearchOptions(follow, o);
    addCheckOption(follow, o);

    CLI::App& combo =
        commands.add("combo",
                     "Run a combination search: the draws after those that agree with the pattern in any "
                     "combination of --size positions, and their tally.",
                     [](Options options) {
                         options.combination = true;
                         return runSearch(options);
                     });
    addSearchOptions(combo, o);
    addSizeOption(combo, o);
    for (const CLI::App* search : {&follow, &combo})
        commands.exitStatus(*search, kFailed,
                            "the history is empty, or too few draws come before --before to take the pattern "
                            "from");
}

} // namespace brenvik::cli
