// SPDX-License-Identifier: GPL-3.0-or-later
#include "BacktestCommand.h"

#include "Backtest.h"
#include "BacktestText.h"
#include "CliHome.h"
#include "SearchIndex.h"

#include <nlohmann/json.hpp>

#include <iostream>
#include <string>
#include <vector>

namespace brenvik::cli {

namespace {

constexpr int kFailed = 1;

int failWith(const std::string& message) {
    std::cerr << message << '\n';
    return kFailed;
}

stats::BacktestOptions backtestOptions(const Options& o) {
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
    b.picks = o.pick.value_or(1);
    b.twins = o.twins;
    b.seed = o.seed;
    b.keepRows = o.rows;
    return b;
}

// A rate is a fraction of the predictions: without any there is none.
nlohmann::ordered_json share(const stats::BacktestResult& r, double value) {
    return r.predictions > 0 ? nlohmann::ordered_json(value) : nlohmann::ordered_json(nullptr);
}

std::string json(const stats::BacktestResult& r, bool withRows) {
    using nlohmann::ordered_json;
    ordered_json j;
    j["targets"] = r.targets;
    j["predictions"] = r.predictions;
    j["hits"] = r.hits;
    j["rate"] = share(r, r.rate);
    j["low95"] = share(r, r.low95);
    j["high95"] = share(r, r.high95);
    j["chance"] = r.chance;
    j["p"] = r.p;
    if (!r.twins.empty()) {
        ordered_json rates = ordered_json::array();
        for (const stats::TwinRun& t : r.twins)
            rates.push_back(t.rate);
        j["twins"] = {{"count", r.twins.size()}, {"seed", r.seed}, {"rates", rates}, {"rank", r.rank}};
    }
    if (withRows) {
        ordered_json rows = ordered_json::array();
        for (const stats::BacktestRow& row : r.rows) {
            ordered_json one;
            one["issue"] = row.issue;
            one["pattern"] = row.pattern ? ordered_json(*row.pattern) : ordered_json(nullptr);
            one["matched"] = row.matched;
            const bool predicted = row.verdict != stats::Verdict::NoPrediction;
            one["picks"] = ordered_json(nullptr);
            if (predicted) {
                one["picks"] = ordered_json::array();
                for (const std::int8_t pick : row.picked())
                    one["picks"].push_back(static_cast<int>(pick));
            }
            one["actual"] = row.actual;
            one["hit"] = predicted ? ordered_json(row.verdict == stats::Verdict::Hit) : ordered_json(nullptr);
            rows.push_back(std::move(one));
        }
        j["rows"] = std::move(rows);
    }
    return j.dump();
}

// Columns right-aligned; a Chinese character is two columns wide on a terminal.
void printRows(const std::vector<std::vector<std::string>>& rows) {
    const auto width = [](const std::string& s) {
        std::size_t w = 0;
        for (std::size_t i = 0; i < s.size();) {
            const auto c = static_cast<unsigned char>(s[i]);
            const std::size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
            w += len >= 3 ? 2 : 1;
            i += len;
        }
        return w;
    };
    std::vector<std::size_t> widths(rows.empty() ? 0 : rows[0].size(), 0);
    for (const auto& row : rows)
        for (std::size_t c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], width(row[c]));
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c)
            line += (c ? "  " : "") + std::string(widths[c] - width(row[c]), ' ') + row[c];
        std::cout << line << '\n';
    }
}

} // namespace

int runBacktestCommand(const Options& o) {
    auto opened = openToRead(o);
    if (!opened)
        return failWith(opened.error().message);
    if (opened->snapshot->empty())
        return failWith("历史号码为空，无法回测。");
    const SearchIndex index(opened->snapshot);
    const stats::BacktestOptions b = backtestOptions(o);
    if (o.range) {
        const auto [first, last] = index.rowsInRange(o.range->first, o.range->second);
        if (first == last)
            return failWith("第 " + std::to_string(o.range->first) + "～" + std::to_string(o.range->second) +
                            " 期之间没有历史号码，无法回测。");
    }
    const auto result = stats::runBacktest(index, b);
    if (!result)
        return failWith(result.error().message);

    if (o.json) {
        std::cout << json(*result, o.rows) << '\n';
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
    if (o.rows) {
        std::cout << '\n';
        std::vector<std::vector<std::string>> table = {
            {"期号", "检索号码", "找到期数", "预测", "开奖", "命中"}};
        for (const stats::BacktestRow& row : result->rows)
            table.push_back({std::to_string(row.issue), stats::patternText(row), std::to_string(row.matched),
                             stats::picksText(row, b.resultKind), outcomeLabel(b.resultKind, row.actual),
                             stats::verdictText(row.verdict)});
        printRows(table);
    }
    return 0;
}

} // namespace brenvik::cli
