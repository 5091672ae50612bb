// SPDX-License-Identifier: GPL-3.0-or-later
#include "LogCommand.h"

#include "CliHome.h"
#include "CliOutput.h"
#include "FilterCommand.h"
#include "FilterRecord.h"
#include "IssueNumber.h"
#include "Logbook.h"
#include "PatternSource.h"
#include "Platform.h"
#include "PredictionLog.h"
#include "SearchCommands.h"

#include <array>
#include <chrono>
#include <iostream>
#include <memory>

namespace brenvik::cli {

namespace {

// The options of log add and log play that the searches do not have.
struct LogOptions {
    int pick = 1;
    std::optional<std::int32_t> issue;  // none: the next-issue proposal
    stats::FilterConditions conditions; // log play: what 缩水 keeps
    Ticket ticket = Ticket::Direct;
    bool play = false;          // log withdraw: the ID is a play's
    CLI::App* adding = nullptr; // the subcommands, to tell which one was given
    CLI::App* playing = nullptr;
    CLI::App* listing = nullptr;
};

std::string digitsText(const std::array<int, 3>& d) {
    return std::to_string(d[0]) + std::to_string(d[1]) + std::to_string(d[2]);
}

Json digitsJson(const std::optional<std::array<int, 3>>& d) {
    return d ? Json(digitsText(*d)) : Json(nullptr);
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
    // What the score was taken from, and what the history holds of that draw now.
    j["scoredDraw"] = digitsJson(e.score ? std::optional(e.score->digits) : std::nullopt);
    j["scoredAt"] = e.score ? Json(e.score->scored) : Json(nullptr);
    j["drawNow"] = digitsJson(s.drawNow);
    j["drawChanged"] = s.drawChanged;
    return j;
}

Json playJson(const stats::ScoredPlay& s) {
    const Play& p = s.play;
    Json j;
    j["id"] = p.id;
    j["recorded"] = p.recorded;
    j["issue"] = p.issue;
    j["conditions"] = p.conditions;
    j["ticket"] = ticketId(p.ticket);
    j["tickets"] = p.numbers.size();
    Json numbers = Json::array();
    for (const int n : p.numbers)
        numbers.push_back(stats::numberText(n));
    j["numbers"] = std::move(numbers);
    j["cost"] = s.cost;
    j["chance"] = s.chance;
    j["hit"] = s.hit ? Json(*s.hit) : Json(nullptr);
    j["won"] = s.won ? Json(*s.won) : Json(nullptr);
    j["net"] = s.net() ? Json(*s.net()) : Json(nullptr);
    j["scoredDraw"] = digitsJson(p.score ? std::optional(p.score->digits) : std::nullopt);
    j["scoredAt"] = p.score ? Json(p.score->scored) : Json(nullptr);
    j["drawNow"] = digitsJson(s.drawNow);
    j["drawChanged"] = s.drawChanged;
    return j;
}

// The issue a record is for: --issue, or the next issue as the window proposes it.
Result<std::int32_t> issueOf(const LogOptions& log, const HistorySnapshot& h) {
    const int year = chinaYear(std::chrono::system_clock::now());
    const std::int32_t issue = log.issue.value_or(proposedIssue(h.last()->sqqh, year));
    if (auto problem = issueProblem(issue, year, IssueUse::Prediction))
        return fail(ErrorCode::Invalid, *problem + "，未记录。");
    return issue;
}

std::string outcomesText(Kind kind, const std::vector<int>& outcomes) {
    std::string s;
    for (const int o : outcomes)
        s += (s.empty() ? "" : " ") + outcomeLabel(kind, o);
    return s;
}

int add(const Options& o, const LogOptions& log) {
    auto opened = openToChange(o);
    if (!opened)
        return failWith(opened.error());
    const HistorySnapshot& h = *opened->snapshot;
    if (h.empty())
        return failWith("历史号码为空，无法记录预测。");
    const auto issue = issueOf(log, h);
    if (!issue)
        return failWith(issue.error().message);
    // The pattern of the newest draws, as the search command would take it; too few draws give none.
    if (!o.pattern && !patternFromHistory(h, !o.back, o.back.value_or(1), static_cast<Kind>(o.type)))
        return failWith("历史号码不足前 " + std::to_string(o.back.value_or(1)) +
                        " 期，无法取检索号码，未记录。");
    auto conditions = searchConditionsOf(o, h);
    if (!conditions)
        return failWith(conditions.error().message);
    // The search exactly as follow or combo runs it for the same options: its tally's top is
    // what is recorded.
    const SearchIndex index(opened->snapshot);
    const Selection found = searchSelection(index, *conditions);
    const Tally tally = tallyOutcomes(h, found.rows, conditions->resultKind, conditions->resultPosition,
                                      conditions->group, conditions->segmentParam);
    auto entry = stats::predictionOf(*conditions, tally, log.pick, *issue);
    if (!entry)
        return failWith(entry.error().message);
    auto stored = PredictionLog::record(*opened->store, *entry);
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

int play(const Options& o, const LogOptions& log) {
    auto opened = openToChange(o);
    if (!opened)
        return failWith(opened.error().message);
    const HistorySnapshot& h = *opened->snapshot;
    if (h.empty())
        return failWith("历史号码为空，无法记录投注。");
    const auto issue = issueOf(log, h);
    if (!issue)
        return failWith(issue.error().message);
    Play p;
    p.issue = *issue;
    p.conditions = stats::describeConditions(log.conditions);
    p.ticket = log.ticket;
    p.numbers = stats::ticketsOf(stats::keptNumbers(log.conditions), log.ticket);
    if (p.numbers.empty())
        return failWith(log.ticket == Ticket::Group
                            ? "条件保留的号码中没有可买组选的号码（豹子不能买组选），未记录。"
                            : "没有号码同时满足这些条件，未记录。");
    auto stored = PredictionLog::recordPlay(*opened->store, p);
    if (!stored)
        return failWith(stored.error().message);
    const stats::ScoredPlay priced = stats::scorePlays(std::span(&*stored, 1), h).front();
    if (o.json) {
        std::cout << jsonDocument(playJson(priced)) << '\n';
        return 0;
    }
    std::cout << "已记录第 " << stored->issue << " 期的投注（编号 " << stored->id << "）："
              << ticketCaption(stored->ticket) << " "
              << groupedCount(static_cast<long long>(stored->numbers.size()))
              << (stored->ticket == Ticket::Group ? " 组" : " 注") << "，花费 " << groupedCount(priced.cost)
              << " 元\n"
              << "缩水：" << stored->conditions << '\n'
              << numbersText(stored->numbers);
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
    auto plays = none ? Result<std::vector<Play>>() : PredictionLog::plays(*opened->store);
    if (!plays)
        return failWith(plays.error().message);
    const auto scored = stats::scoreEntries(*entries, *opened->snapshot);
    const stats::LogSummary summary = stats::summarize(scored);
    const auto priced = stats::scorePlays(*plays, *opened->snapshot);
    const stats::PlaySummary money = stats::summarizePlays(priced);
    if (o.json) {
        Json j;
        j["entries"] = Json::array();
        for (const auto& s : scored)
            j["entries"].push_back(entryJson(s));
        j["summary"] = {{"scored", summary.scored},
                        {"hits", summary.hits},
                        {"expected", summary.expected},
                        {"p", summary.p ? Json(*summary.p) : Json(nullptr)}};
        j["plays"] = Json::array();
        for (const auto& p : priced)
            j["plays"].push_back(playJson(p));
        j["playSummary"] = {{"scored", money.scored},
                            {"cost", money.cost},
                            {"won", money.won},
                            {"net", money.net()},
                            {"hits", money.hits},
                            {"expected", money.expected},
                            {"p", money.p ? Json(*money.p) : Json(nullptr)},
                            {"open", money.open},
                            {"openCost", money.openCost}};
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
    if (priced.empty())
        return 0;
    // The plays, each with the net of the plays settled up to it.
    std::cout << '\n';
    long long running = 0;
    for (const auto& s : priced) {
        const Play& p = s.play;
        std::cout << "投注编号 " << p.id << "  " << p.recorded << "  第 " << p.issue << " 期  "
                  << ticketCaption(p.ticket) << " " << groupedCount(static_cast<long long>(p.numbers.size()))
                  << (p.ticket == Ticket::Group ? " 组" : " 注") << "  花费 " << groupedCount(s.cost)
                  << " 元  ";
        if (s.won) {
            running += *s.net();
            std::cout << "开奖 " << digitsText(p.score ? p.score->digits : *s.drawNow) << "  "
                      << (*s.hit ? "命中" : "未中") << "  中奖 " << groupedCount(*s.won) << " 元  "
                      << stats::netText(*s.net()) << "  累计" << stats::netText(running);
        } else {
            std::cout << "未开奖";
        }
        if (const std::string note = stats::changeNote(s); !note.empty())
            std::cout << "（" << note << "）";
        std::cout << "\n  缩水：" << p.conditions << '\n';
    }
    std::cout << "投注：" << stats::playSummaryLine(money) << '\n';
    return 0;
}

int withdraw(const Options& o, bool play) {
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
    if (auto r = play ? PredictionLog::withdrawPlay(*opened->store, *id)
                      : PredictionLog::withdraw(*opened->store, *id);
        !r)
        return failWith(r.error().message);
    std::cout << "已撤回编号 " << *id << (play ? " 的投注。\n" : " 的预测。\n");
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
        "log",
        "The logbook: record a prediction or a play before its draw, list them scored with their money, "
        "withdraw one.",
        [log](const Options& options) {
            if (log->adding->parsed())
                return add(options, *log);
            if (log->playing->parsed())
                return play(options, *log);
            if (log->listing->parsed())
                return list(options);
            return withdraw(options, log->play);
        });
    command.require_subcommand(1, 1);

    CLI::App* adding = log->adding = command.add_subcommand(
        "add", "Record the top K outcomes of the follow or combination search from the newest draw for the "
               "next issue: what follow or combo with the same options shows.");
    addValue(*adding, "--search", "follow|combo", "the search whose tally is recorded (default follow)",
             [&o](const std::string& v) {
                 if (v != "follow" && v != "combo")
                     refuse("--search must be follow or combo, not " + v);
                 o.combination = v == "combo";
             });
    addFollowOptions(*adding, o, "issue range (default: as the window sets it)", true);
    CLI::Option* size = addSizeOption(*adding, o);
    addPatternOption(*adding, o);
    addValue(
        *adding, "--pick", "K",
        "how many outcomes of the tally to record, from the top, 1 up to one less than the outcomes of the "
        "result type (default 1)",
        [log](const std::string& v) {
            auto n = parseWholeNumber(v, 1, 9);
            if (!n)
                refuse("--pick must be a whole number from 1 to 9, not " + v);
            log->pick = static_cast<int>(*n);
        });
    const auto addIssue = [log](CLI::App& command, const std::string& what) {
        addValue(command, "--issue", "ISSUE",
                 what +
                     " (default: the next issue, as the window proposes it); an issue whose draw is stored "
                     "is refused",
                 [log](const std::string& v) {
                     auto issue = parseIssue(v);
                     if (!issue)
                         refuse("--issue must be a seven-digit issue number, not " + v);
                     log->issue = *issue;
                 });
    };
    addIssue(*adding, "the issue predicted");
    CLI::Option* check = adding->get_option("--check");
    adding->callback([log, &o, size, check] {
        // Every outcome of the kind is a hit for certain, and proves nothing.
        if (log->pick >= outcomesOf(o.resultType))
            refuse("--pick must be less than the " + std::to_string(outcomesOf(o.resultType)) +
                   " outcomes of the result type, not " + std::to_string(log->pick));
        // Each search has its own way of matching positions.
        if (o.combination && check->count() > 0)
            refuse("--check is an option of --search follow; the combination search takes --size");
        if (!o.combination && size->count() > 0)
            refuse("--size is an option of --search combo; the follow search takes --check");
    });

    CLI::App* playing = log->playing = command.add_subcommand(
        "play",
        "Record a play for the next issue: the numbers the filter's conditions keep, bought as direct "
        "or group tickets (2 yuan each), priced and scored when the draw is stored.");
    addFilterConditions(*playing, log->conditions);
    addTicketOption(
        *playing, log->ticket,
        "direct: each kept number one ticket; group: each kept 组三/组六 group one ticket, 豹子 left "
        "out (default direct)");
    addIssue(*playing, "the issue played");
    addValue(*playing, "--format", "table|json", "output (default table)", [&o](const std::string& v) {
        if (v != "table" && v != "json")
            refuse("--format must be table or json, not " + v);
        o.json = v == "json";
    });

    CLI::App* listing = log->listing = command.add_subcommand(
        "list",
        "List the predictions and the plays, scored against the stored draws, with the plays' money.");
    addValue(*listing, "--format", "table|json", "output (default table)", [&o](const std::string& v) {
        if (v != "table" && v != "json")
            refuse("--format must be table or json, not " + v);
        o.json = v == "json";
    });

    CLI::App* withdrawing = command.add_subcommand(
        "withdraw", "Remove a prediction, or with --play a play, whose draw is not stored yet.");
    withdrawing->add_flag("--play", log->play, "ID is the number of a play");
    // --home and --game may also come after the subcommand, as after any other command.
    for (CLI::App* each : {adding, playing, listing, withdrawing})
        addHomeAndGame(*each, o);
    addArguments(*withdrawing, o, {{"ID", "the number of the prediction or play, as log list shows it"}});
    commands.exitStatus(*adding, kFailed,
                        "the history is empty, the issue's draw is stored or comes before the newest one, or "
                        "the search found no draw to tally (nothing recorded)");
    commands.exitStatus(*playing, kFailed,
                        "the history is empty, the issue's draw is stored or comes before the newest one, or "
                        "no number holds every condition (nothing recorded)");
    commands.exitStatus(
        *withdrawing, kFailed,
        "no prediction has that ID (no play, with --play), or its draw has come (nothing withdrawn)");
}

} // namespace brenvik::cli
