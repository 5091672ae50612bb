// SPDX-License-Identifier: GPL-3.0-or-later
#include "LogCommand.h"

#include "CliHome.h"
#include "IssueNumber.h"
#include "Logbook.h"
#include "PredictionLog.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <iostream>

namespace brenvik::cli {

namespace {

using Json = nlohmann::ordered_json;

constexpr int kFailed = 1;
constexpr int kUsageError = 2;

int failWith(const std::string& message) {
    std::cerr << message << '\n';
    return kFailed;
}

Json entryJson(const stats::ScoredEntry& s) {
    const LogEntry& e = s.entry;
    Json j;
    j["id"] = e.id;
    j["recorded"] = e.recorded;
    j["issue"] = e.issue;
    j["conditions"] = e.conditions;
    j["resultType"] = static_cast<int>(e.resultKind);
    j["resultPos"] = e.resultPosition;
    j["pick"] = e.picks.size();
    j["picks"] = e.picks;
    j["actual"] = s.actual ? Json(*s.actual) : Json(nullptr);
    j["hit"] = s.hit ? Json(*s.hit) : Json(nullptr);
    return j;
}

std::string outcomesText(Kind kind, const std::vector<int>& outcomes) {
    std::string s;
    for (const int o : outcomes)
        s += (s.empty() ? "" : " ") + outcomeLabel(kind, o);
    return s;
}

// The follow search as the window's first tab sets it up for these options.
SearchConditions setUpOf(const Options& o, const HistorySnapshot& h) {
    SearchConditions c;
    c.game = displayName(o.game);
    c.freePositions = o.freePositions;
    c.lastDraw = !o.back;
    c.n = o.back.value_or(1);
    c.searchType = static_cast<Kind>(o.type);
    c.checked = o.check;
    c.rangeStart = o.range ? o.range->first : rangeStart(h.first()->sqqh, c.lastDraw, c.n);
    c.rangeEnd = o.range ? o.range->second : h.last()->sqqh;
    c.resultKind = static_cast<Kind>(o.resultType);
    c.resultPosition = o.resultPosition;
    c.group = o.group;
    c.segmentParam = o.segment;
    return c;
}

int add(const Options& o) {
    auto opened = openToChange(o);
    if (!opened)
        return failWith(opened.error().message);
    const HistorySnapshot& h = *opened->snapshot;
    if (h.empty())
        return failWith("历史号码为空，无法记录预测。");
    const std::int32_t issue =
        o.issue.value_or(proposedIssue(h.last()->sqqh, chinaYear(std::chrono::system_clock::now())));
    const SearchIndex index(opened->snapshot);
    auto prediction = stats::predictNext(index, setUpOf(o, h), o.pick, issue);
    if (!prediction)
        return failWith(prediction.error().message);
    auto stored = PredictionLog::record(*opened->store, prediction->entry);
    if (!stored)
        return failWith(stored.error().message);
    if (o.json) {
        std::cout << entryJson({*stored, std::nullopt, std::nullopt}).dump() << '\n';
        return 0;
    }
    std::cout << "已记录第 " << stored->issue << " 期的预测（编号 " << stored->id
              << "）：" << outcomesText(stored->resultKind, stored->picks) << '\n'
              << stored->conditions << '\n';
    return 0;
}

int list(const Options& o) {
    auto opened = openToRead(o);
    if (!opened)
        return failWith(opened.error().message);
    auto entries = PredictionLog::entries(*opened->store);
    if (!entries)
        return failWith(entries.error().message);
    const auto scored = stats::scoreEntries(*entries, *opened->snapshot);
    const stats::LogSummary summary = stats::summarize(scored);
    if (o.json) {
        Json j;
        j["entries"] = Json::array();
        for (const auto& s : scored)
            j["entries"].push_back(entryJson(s));
        j["summary"] = {{"scored", summary.scored},
                        {"hits", summary.hits},
                        {"expected", summary.expected},
                        {"p", summary.p ? Json(*summary.p) : Json(nullptr)}};
        std::cout << j.dump() << '\n';
        return 0;
    }
    for (const auto& s : scored) {
        const LogEntry& e = s.entry;
        std::cout << "编号 " << e.id << "  " << e.recorded << "  第 " << e.issue << " 期  预测 "
                  << outcomesText(e.resultKind, e.picks) << "  开奖 "
                  << (s.actual ? outcomeLabel(e.resultKind, *s.actual) : std::string("-")) << "  "
                  << (s.hit ? (*s.hit ? "命中" : "未中") : "未开奖") << "\n  " << e.conditions << '\n';
    }
    std::cout << stats::summaryLine(summary) << '\n';
    return 0;
}

int withdraw(const Options& o) {
    const auto id = parseWholeNumber(o.arguments[1], 1, INT64_MAX);
    if (!id) {
        std::cerr << "brenvik3d-cli: log withdraw needs the ID of a prediction, not " << o.arguments[1]
                  << "\nusage: brenvik3d-cli --help\n";
        return kUsageError;
    }
    auto opened = openToChange(o);
    if (!opened)
        return failWith(opened.error().message);
    if (auto r = PredictionLog::withdraw(*opened->store, *id); !r)
        return failWith(r.error().message);
    std::cout << "已撤回编号 " << *id << " 的预测。\n";
    return 0;
}

} // namespace

int runLog(const Options& o) {
    const std::string& what = o.arguments[0];
    if (what == "add")
        return add(o);
    if (what == "list")
        return list(o);
    return withdraw(o);
}

} // namespace brenvik::cli
