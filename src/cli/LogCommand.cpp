// SPDX-License-Identifier: GPL-3.0-or-later
#include "LogCommand.h"

#include "CliHome.h"
#include "CliOutput.h"
#include "IssueNumber.h"
#include "Logbook.h"
#include "Platform.h"
#include "PredictionLog.h"
#include "SearchCommands.h"

#include <array>
#include <chrono>
#include <iostream>
#include <memory>

namespace brenvik::cli {

namespace {

// The options of log add that the searches do not have.
struct LogOptions {
    int pick = 1;
    std::optional<std::int32_t> issue; // none: the next-issue proposal
    CLI::App* adding = nullptr;        // the subcommands, to tell which one was given
    CLI::App* listing = nullptr;
};

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
    // What the score was taken from, and what the history holds of that draw now.
    const auto digits = [](const std::optional<std::array<int, 3>>& d) {
        return d ? Json(std::to_string((*d)[0]) + std::to_string((*d)[1]) + std::to_string((*d)[2]))
                 : Json(nullptr);
    };
    j["scoredDraw"] = digits(e.score ? std::optional(e.score->digits) : std::nullopt);
    j["scoredAt"] = e.score ? Json(e.score->scored) : Json(nullptr);
    j["drawNow"] = digits(s.drawNow);
    j["drawChanged"] = s.drawChanged;
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

int add(const Options& o, const LogOptions& log) {
    auto opened = openToChange(o);
    if (!opened)
        return failWith(opened.error());
    const HistorySnapshot& h = *opened->snapshot;
    if (h.empty())
        return failWith("历史号码为空，无法记录预测。");
    const int year = chinaYear(std::chrono::system_clock::now());
    const std::int32_t issue = log.issue.value_or(proposedIssue(h.last()->sqqh, year));
    if (auto problem = issueProblem(issue, year, IssueUse::Prediction))
        return failWith(*problem + "，未记录。");
    const SearchIndex index(opened->snapshot);
    auto prediction = stats::predictNext(index, setUpOf(o, h), log.pick, issue);
    if (!prediction)
        return failWith(prediction.error().message);
    auto stored = PredictionLog::record(*opened->store, prediction->entry);
    if (!stored)
        return failWith(stored.error().message);
    if (o.json) {
        std::cout << jsonDocument(entryJson({.entry = *stored})) << '\n';
        return 0;
    }
    std::cout << "已记录第 " << stored->issue << " 期的预测（编号 " << stored->id << "）："
              << outcomesText(stored->resultKind, stored->picks) << '\n'
              << stored->conditions << '\n';
    return 0;
}

int list(const Options& o) {
    // A game without a history file has an empty logbook; the file is not made for a listing.
    const bool none = fileStatus(homeOf(o) / databaseFileName(o.game)).kind == FileKind::Missing;
    auto opened =
        none ? Result<Opened>(Opened{{}, nullptr, std::make_shared<const HistorySnapshot>()}) : openToRead(o);
    if (!opened)
        return failWith(opened.error());
    auto entries = none ? Result<std::vector<LogEntry>>() : PredictionLog::entries(*opened->store);
    if (!entries)
        return failWith(entries.error());
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
        std::cout << jsonDocument(j) << '\n';
        return 0;
    }
    for (const auto& s : scored) {
        const LogEntry& e = s.entry;
        std::cout << "编号 " << e.id << "  " << e.recorded << "  第 " << e.issue << " 期  预测 "
                  << outcomesText(e.resultKind, e.picks) << "  开奖 "
                  << (s.actual ? outcomeLabel(e.resultKind, *s.actual) : std::string("-")) << "  "
                  << (s.hit ? (*s.hit ? "命中" : "未中") : "未开奖");
        if (const std::string note = stats::changeNote(s); !note.empty())
            std::cout << "（" << note << "）";
        std::cout << "\n  " << e.conditions << '\n';
    }
    std::cout << stats::summaryLine(summary) << '\n';
    return 0;
}

int withdraw(const Options& o) {
    const auto id = parseWholeNumber(o.arguments[0], 1, INT64_MAX);
    if (!id) {
        std::cerr << "brenvik3d-cli: log withdraw needs the ID of a prediction, not " << o.arguments[0]
                  << '\n'
                  << kUsageHint;
        return kUsageError;
    }
    auto opened = openToChange(o);
    if (!opened)
        return failWith(opened.error());
    if (auto r = PredictionLog::withdraw(*opened->store, *id); !r)
        return failWith(r.error().message);
    std::cout << "已撤回编号 " << *id << " 的预测。\n";
    return 0;
}

int outcomesOf(int resultType) {
    return stats::outcomeCount(static_cast<Kind>(resultType));
}

} // namespace

void addLogCommand(Commands& commands) {
    Options& o = commands.options();
    auto log = std::make_shared<LogOptions>();
    CLI::App& command = commands.add(
        "log", "The logbook of predictions: record one before its draw, list them scored, withdraw one.",
        [log](const Options& options) {
            if (log->adding->parsed())
                return add(options, *log);
            if (log->listing->parsed())
                return list(options);
            return withdraw(options);
        });
    command.require_subcommand(1, 1);

    CLI::App* adding = log->adding = command.add_subcommand(
        "add", "Record the top K outcomes of the follow search from the newest draw for the next issue.");
    addFollowOptions(*adding, o, "issue range (default: as the window sets it)", true);
    addValue(*adding, "--pick", "K", "how many outcomes of the tally to record, from the top, 1 up to one less than the outcomes of the "
             "result type (default 1)",
             [log](const std::string& v) {
                 auto n = parseWholeNumber(v, 1, 9);
                 if (!n)
                     refuse("--pick must be a whole number from 1 to 9, not " + v);
                 log->pick = static_cast<int>(*n);
             });
    addValue(*adding, "--issue", "ISSUE",
             "the issue predicted (default: the next issue, as the window proposes it); an issue whose draw "
             "is stored is refused",
             [log](const std::string& v) {
                 auto issue = parseIssue(v);
                 if (!issue)
                     refuse("--issue must be a seven-digit issue number, not " + v);
                 log->issue = *issue;
             });
    adding->callback([log, &o] {
        // Every outcome of the kind is a hit for certain, and proves nothing.
        if (log->pick >= outcomesOf(o.resultType))
            refuse("--pick must be less than the " + std::to_string(outcomesOf(o.resultType)) +
                   " outcomes of the result type, not " + std::to_string(log->pick));
    });

    CLI::App* listing = log->listing =
        command.add_subcommand("list", "List the predictions, scored against the stored draws.");
    addValue(*listing, "--format", "table|json", "output (default table)", [&o](const std::string& v) {
        if (v != "table" && v != "json")
            refuse("--format must be table or json, not " + v);
        o.json = v == "json";
    });

    CLI::App* withdrawing =
        command.add_subcommand("withdraw", "Remove a prediction whose draw is not stored yet.");
    // --home and --game may also come after add, list or withdraw, as after any other command.
    for (CLI::App* each : {adding, listing, withdrawing})
        addHomeAndGame(*each, o);
    addArguments(*withdrawing, o, {{"ID", "the number of the prediction, as log list shows it"}});
}

} // namespace brenvik::cli
