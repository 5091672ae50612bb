// SPDX-License-Identifier: GPL-3.0-or-later
#include "OmissionCommand.h"

#include "CliHome.h"
#include "CliOutput.h"
#include "HistoryStore.h"
#include "IssueNumber.h"
#include "Omission.h"
#include "SearchIndex.h"
#include "TallyStatistics.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace brenvik::cli {

namespace {

using stats::OmissionFigures;
using stats::OmissionTable;

struct NewestDraws {
    std::array<std::vector<std::int16_t>, kPositions> digits; // per position, oldest first
    std::pair<std::int32_t, std::int32_t> issues;             // the first and the last
};

// `key` names what the figures are of: "digit" in the positions, "value" elsewhere.
Json figuresJson(const char* key, Json value, const OmissionFigures& f) {
    Json j;
    j[key] = std::move(value);
    j["count"] = f.count;
    j["current"] = f.current;
    j["max"] = f.max;
    j["average"] = f.average;
    j["streak"] = f.streak;
    j["expected"] = f.expected;
    j["low95"] = f.observed.low * 100;
    j["high95"] = f.observed.high * 100;
    j["marked"] = f.marked;
    return j;
}

std::string tableJson(const OmissionTable& t, std::int32_t first, std::int32_t last) {
    Json j;
    j["range"] = {first, last};
    j["draws"] = t.rows.size();
    auto& positions = j["positions"] = Json::array();
    for (const auto& position : t.positions) {
        auto& digits = positions.emplace_back(Json::array());
        for (std::size_t d = 0; d < position.size(); ++d)
            digits.push_back(figuresJson("digit", static_cast<int>(d), position[d]));
    }
    auto& sum = j["sum"] = Json::array();
    for (std::size_t v = 0; v < t.sum.size(); ++v)
        sum.push_back(figuresJson("value", static_cast<int>(v), t.sum[v]));
    auto& span = j["span"] = Json::array();
    for (std::size_t v = 0; v < t.span.size(); ++v)
        span.push_back(figuresJson("value", static_cast<int>(v), t.span[v]));
    auto& form = j["form"] = Json::array();
    for (std::size_t v = 0; v < t.form.size(); ++v)
        form.push_back(figuresJson("value", std::string(stats::kFormCaptions[v]), t.form[v]));
    return jsonDocument(j) + '\n';
}

std::string fixed(double v, int decimals) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

// A count off chance says which way; there is no leaning without the mark.
std::string leaning(const OmissionFigures& f) {
    return !f.marked ? "" : static_cast<double>(f.count) > f.expected ? "偏多" : "偏少";
}

void printRows(const OmissionTable& t) {
    std::vector<std::vector<std::string>> rows = {{"项目", "值", "出现次数", "当前遗漏", "最大遗漏",
                                                   "平均遗漏", "最大连出", "随机期望", "95%区间", "偏离"}};
    auto add = [&](std::string what, std::string value, const OmissionFigures& f) {
        rows.push_back({std::move(what), std::move(value), std::to_string(f.count), std::to_string(f.current),
                        std::to_string(f.max), fixed(f.average, 2), std::to_string(f.streak),
                        stats::expectedText(f.expected), stats::intervalText(f.observed), leaning(f)});
    };
    for (std::size_t p = 0; p < t.positions.size(); ++p)
        for (std::size_t d = 0; d < t.positions[p].size(); ++d)
            add("第" + std::to_string(p + 1) + "位", std::to_string(d), t.positions[p][d]);
    for (std::size_t v = 0; v < t.sum.size(); ++v)
        add("和值", std::to_string(v), t.sum[v]);
    for (std::size_t v = 0; v < t.span.size(); ++v)
        add("跨度", std::to_string(v), t.span[v]);
    for (std::size_t v = 0; v < t.form.size(); ++v)
        add("形态", std::string(stats::kFormCaptions[v]), t.form[v]);

    std::cout << tableText(rows);
}

// The figures of the newest `count` draws need those draws alone: they are read from the end of
// the history, however long it is, not with the rest of it.
Result<NewestDraws> newestDraws(const HistoryStore& store, std::size_t count) {
    auto draws = store.loadLastDraws(count);
    if (!draws)
        return std::unexpected(draws.error());
    NewestDraws newest;
    for (const DrawLine& d : *draws)
        for (std::size_t p = 0; p < newest.digits.size(); ++p)
            newest.digits[p].push_back(static_cast<std::int16_t>(d.digits[p]));
    if (!draws->empty())
        newest.issues = {draws->front().issue, draws->back().issue};
    return newest;
}

int printTable(const Options& o, const OmissionTable& table, std::int32_t first, std::int32_t last) {
    if (o.json) {
        std::cout << tableJson(table, first, last);
        return 0;
    }
    std::cout << displayName(o.game) << " 遗漏统计：期号 " << first << "～" << last << "，共 "
              << table.rows.size() << " 期。偏离：出现次数的95%区间不含随机概率。\n";
    printRows(table);
    return 0;
}

int runOmission(const Options& o, std::optional<std::size_t> last) {
    // A table needs draws; a folder without a database is left as it is, not given an empty one.
    const auto database = homeOf(o) / databaseFileName(o.game);
    if (std::error_code ec; !std::filesystem::exists(database, ec))
        return failWith("没有历史数据库 " + database.string() + "，无法统计遗漏。");
    if (!o.range) {
        const auto newest = readingAgainWhenChanged([&]() -> Result<NewestDraws> {
            auto opened = openToRead(o, Load::StoreOnly);
            if (!opened)
                return std::unexpected(opened.error());
            return newestDraws(*opened->store, last.value_or(stats::kDefaultLastDraws));
        });
        if (!newest)
            return failWith(newest.error());
        if (newest->digits[0].empty())
            return failWith("历史号码为空，无法统计遗漏。");
        stats::DrawDigits digits;
        for (std::size_t p = 0; p < digits.positions.size(); ++p)
            digits.positions[p] = newest->digits[p];
        return printTable(o, stats::omissionTable(digits, stats::allDraws(digits.size())),
                          newest->issues.first, newest->issues.second);
    }
    auto opened = openToRead(o);
    if (!opened)
        return failWith(opened.error());
    const SearchIndex index(opened->snapshot);
    if (index.size() == 0)
        return failWith("历史号码为空，无法统计遗漏。");
    const stats::RowRange range = stats::issueRange(index, o.range->first, o.range->second);
    if (range.empty())
        return failWith("期号 " + std::to_string(o.range->first) + "～" + std::to_string(o.range->second) +
                        " 内没有开奖号码。");
    return printTable(o, stats::omissionTable(stats::drawDigits(index), range), index.issue(range.first),
                      index.issue(range.last - 1));
}

} // namespace

void addOmissionCommand(Commands& commands) {
    Options& o = commands.options();
    // The newest N draws: an option of this command alone.
    auto last = std::make_shared<std::optional<std::size_t>>();
    CLI::App& omission = commands.add(
        "omission", "Print the omission table of a range of draws, as the window's trend chart shows it.",
        [last](const Options& options) { return runOmission(options, *last); });
    auto* range = addRange(omission, o, "the draws whose issue lies in START..END");
    auto* newest = addValue(omission, "--last", "N", "the newest N draws, N in 1..10000000 (default 100)",
                            [last](const std::string& v) {
                                const auto n = parseWholeNumber(v, 1, 10000000);
                                if (!n)
                                    refuse("--last must be a whole number from 1 to 10000000, not " + v);
                                *last = static_cast<std::size_t>(*n);
                            });
    addValue(omission, "--format", "table|json", "output (default table)", [&o](const std::string& v) {
        if (v != "table" && v != "json")
            refuse("--format must be table or json, not " + v);
        o.json = v == "json";
    });
    omission.callback([range, newest] {
        if (range->count() > 0 && newest->count() > 0)
            refuse("--range and --last cannot be used together");
    });
    commands.exitStatus(omission, kFailed, "there is no history, or the range holds no draw");
}

} // namespace brenvik::cli
