// SPDX-License-Identifier: GPL-3.0-or-later
#include "OmissionCommand.h"

#include "CliHome.h"
#include "Omission.h"
#include "SearchIndex.h"
#include "TallyStatistics.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace brenvik::cli {

namespace {

using stats::OmissionFigures;
using stats::OmissionTable;

int failed(const std::string& message) {
    std::cerr << message << '\n';
    return 1;
}

// `key` names what the figures are of: "digit" in the positions, "value" elsewhere.
nlohmann::ordered_json figuresJson(const char* key, nlohmann::ordered_json value, const OmissionFigures& f) {
    nlohmann::ordered_json j;
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
    nlohmann::ordered_json j;
    j["range"] = {first, last};
    j["draws"] = t.rows.size();
    auto& positions = j["positions"] = nlohmann::ordered_json::array();
    for (const auto& position : t.positions) {
        auto& digits = positions.emplace_back(nlohmann::ordered_json::array());
        for (std::size_t d = 0; d < position.size(); ++d)
            digits.push_back(figuresJson("digit", static_cast<int>(d), position[d]));
    }
    auto& sum = j["sum"] = nlohmann::ordered_json::array();
    for (std::size_t v = 0; v < t.sum.size(); ++v)
        sum.push_back(figuresJson("value", static_cast<int>(v), t.sum[v]));
    auto& span = j["span"] = nlohmann::ordered_json::array();
    for (std::size_t v = 0; v < t.span.size(); ++v)
        span.push_back(figuresJson("value", static_cast<int>(v), t.span[v]));
    auto& form = j["form"] = nlohmann::ordered_json::array();
    for (std::size_t v = 0; v < t.form.size(); ++v)
        form.push_back(figuresJson("value", std::string(stats::kFormCaptions[v]), t.form[v]));
    return j.dump() + '\n';
}

// Terminal columns of UTF-8 text: the Chinese captions take two each.
std::size_t columns(const std::string& s) {
    std::size_t width = 0;
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const std::size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        width += len >= 3 && c != 0xE2 ? 2 : 1;
        i += len;
    }
    return width;
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

    std::vector<std::size_t> widths(rows[0].size(), 0);
    for (const auto& row : rows)
        for (std::size_t c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], columns(row[c]));
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c) {
            const std::string gap(widths[c] - columns(row[c]), ' ');
            // Captions to the left, figures to the right.
            line += (c ? "  " : "") + (c == 0 ? row[c] + gap : gap + row[c]);
        }
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        std::cout << line << '\n';
    }
}

} // namespace

int runOmission(const Options& o) {
    // A table needs draws; a folder without a database is left as it is, not given an empty one.
    const auto database = homeOf(o) / databaseFileName(o.game);
    if (std::error_code ec; !std::filesystem::exists(database, ec))
        return failed("没有历史数据库 " + database.string() + "，无法统计遗漏。");
    auto opened = openToRead(o);
    if (!opened)
        return failed(opened.error().message);
    const SearchIndex index(opened->snapshot);
    if (index.size() == 0)
        return failed("历史号码为空，无法统计遗漏。");
    const stats::RowRange range =
        o.range ? stats::issueRange(index, o.range->first, o.range->second)
                : stats::lastDraws(index.size(), o.last.value_or(stats::kDefaultLastDraws));
    if (range.empty())
        return failed("期号 " + std::to_string(o.range->first) + "～" + std::to_string(o.range->second) +
                      " 内没有开奖号码。");

    const OmissionTable table = stats::omissionTable(stats::drawDigits(index), range);
    const std::int32_t first = index.issue(range.first);
    const std::int32_t last = index.issue(range.last - 1);
    if (o.json) {
        std::cout << tableJson(table, first, last);
        return 0;
    }
    std::cout << displayName(o.game) << " 遗漏统计：期号 " << first << "～" << last << "，共 " << range.size()
              << " 期。偏离：出现次数的95%区间不含随机概率。\n";
    printRows(table);
    return 0;
}

} // namespace brenvik::cli
