// SPDX-License-Identifier: GPL-3.0-or-later
#include "FilterCommand.h"

#include "BacktestText.h"
#include "CliHome.h"
#include "CliOutput.h"
#include "FilterRecord.h"
#include "IssueNumber.h"
#include "NumberFilter.h"
#include "SearchIndex.h"

#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

namespace brenvik::cli {

namespace {

using stats::Field;

struct FilterArgs {
    stats::FilterConditions conditions;
    Ticket ticket = Ticket::Direct;
    bool list = false;
};

// A rate of no draws is no rate.
Json ofDraws(const stats::FilterRecord& r, double value) {
    return r.draws > 0 ? Json(value) : Json();
}

Json recordJson(const stats::FilterRecord& r, const Json& range) {
    Json j;
    j["range"] = range;
    j["draws"] = r.draws;
    j["hits"] = r.hits;
    j["rate"] = ofDraws(r, r.rate);
    j["low95"] = ofDraws(r, r.interval.low);
    j["high95"] = ofDraws(r, r.interval.high);
    j["p"] = ofDraws(r, r.p);
    j["cost"] = r.cost;
    j["won"] = r.won;
    j["net"] = r.net;
    return j;
}

int runFilter(const Options& o, const FilterArgs& a) {
    const stats::NumberSet kept = stats::keptNumbers(a.conditions);
    // A folder without a history has nothing to count: it is not given an empty database.
    std::shared_ptr<const SearchIndex> index;
    if (std::error_code ec; std::filesystem::exists(homeOf(o) / databaseFileName(o.game), ec)) {
        auto opened = openToRead(o);
        if (!opened)
            return failWith(opened.error());
        index = std::make_shared<const SearchIndex>(opened->snapshot);
    }
    stats::RowRange rows;
    Json range = Json::array({nullptr, nullptr});
    if (o.range)
        range = Json::array({o.range->first, o.range->second});
    if (index && index->size() > 0) {
        rows = o.range ? stats::issueRange(*index, o.range->first, o.range->second)
                       : stats::allDraws(index->size());
        if (!o.range)
            range = Json::array({index->issue(0), index->issue(index->size() - 1)});
    }
    const stats::FilterRecord record =
        stats::filterRecord(kept, index ? stats::drawDigits(*index) : stats::DrawDigits{}, rows, a.ticket);
    const bool group = a.ticket == Ticket::Group;

    if (o.json) {
        Json j;
        j["kept"] = record.kept;
        j["share"] = record.share;
        j["ticket"] = ticketId(a.ticket);
        j["tickets"] = record.tickets;
        if (a.list) {
            const auto texts = [](const std::vector<int>& numbers) {
                Json out = Json::array();
                for (const int n : numbers)
                    out.push_back(stats::numberText(n));
                return out;
            };
            j["numbers"] = texts(stats::ticketsOf(kept, Ticket::Direct));
            if (group)
                j["groups"] = texts(stats::ticketsOf(kept, Ticket::Group));
        }
        j["record"] = recordJson(record, range);
        std::cout << jsonDocument(j) << '\n';
        return 0;
    }
    std::cout << displayName(o.game) << " 缩水：" << stats::describeConditions(a.conditions) << '\n';
    if (range[0].is_null())
        std::cout << "统计范围：没有历史号码。\n";
    else
        std::cout << "统计范围：第 " << range[0].get<std::int32_t>() << "～" << range[1].get<std::int32_t>()
                  << " 期，共 " << groupedCount(record.draws) << " 期，命中 " << groupedCount(record.hits)
                  << " 期。\n";
    std::cout << stats::recordLine(record) << '\n';
    if (a.list && record.tickets > 0)
        std::cout << (group ? "\n组选号码：\n" : "\n保留的号码：\n")
                  << numbersText(stats::ticketsOf(kept, a.ticket));
    return 0;
}

void addList(CLI::App& command, stats::FilterConditions& c, Field field, const std::string& valueName,
             const std::string& description) {
    const std::string option = "--" + std::string(stats::fieldInfo(field).key);
    addValue(command, option, valueName, description, [&c, field, option](const std::string& v) {
        if (v.empty())
            refuse(option + " needs a LIST");
        const auto mask = stats::parseField(field, v);
        if (!mask)
            refuse(option + ": " + mask.error().message);
        c[field] = *mask;
    });
}

} // namespace

std::string numbersText(const std::vector<int>& numbers) {
    std::string text;
    for (std::size_t i = 0; i < numbers.size(); ++i)
        text += (i % 10 == 0 ? "" : " ") + stats::numberText(numbers[i]) +
                (i % 10 == 9 || i + 1 == numbers.size() ? "\n" : "");
    return text;
}

void addFilterConditions(CLI::App& command, stats::FilterConditions& c) {
    addList(command, c, Field::Sum, "LIST", "sums (和值) kept, 0..27");
    addList(command, c, Field::Span, "LIST", "spans (跨度) kept, 0..9");
    addList(command, c, Field::Form, "baozi,zusan,zuliu", "forms kept: 豹子, 组三, 组六");
    addList(command, c, Field::Odd, "LIST", "how many digits are odd, 0..3 (奇偶比)");
    addList(command, c, Field::Big, "LIST", "how many digits are 5..9, 0..3 (大小比)");
    addList(command, c, Field::Dan, "LIST", "胆码: digits of which at least one appears");
    command.add_flag("--dan-all", c.danAll, "every 胆码 digit appears");
    addList(command, c, Field::Kill, "LIST", "杀号: digits that appear nowhere");
    for (int p = 1; p <= 3; ++p)
        addList(command, c, stats::positionField(p), "LIST",
                "定位: the digits allowed at position " + std::to_string(p));
    for (int p = 1; p <= 3; ++p)
        addList(command, c, stats::positionKillField(p), "LIST",
                "the digits excluded at position " + std::to_string(p));
}

void addTicketOption(CLI::App& command, Ticket& ticket, const std::string& description) {
    addValue(command, "--ticket", "direct|group", description, [&ticket](const std::string& v) {
        const auto t = ticketOfId(v);
        if (!t)
            refuse("--ticket must be direct or group, not " + v);
        ticket = *t;
    });
}

void addFilterCommand(Commands& commands) {
    Options& o = commands.options();
    auto args = std::make_shared<FilterArgs>();
    FilterArgs& a = *args;
    CLI::App& filter = commands.add(
        "filter",
        "Narrow the numbers 000-999 by conditions (缩水) and tell what buying every kept number (直选) or "
        "every kept group (组选) every draw of a range of the history would have won and cost. A LIST "
        "holds values or digits separated by commas, with ranges a-b, e.g. 10-17,20; conditions that "
        "cannot hold (a sum of 28, a digit of 12, an unknown form) exit with 2.",
        [args](const Options& options) { return runFilter(options, *args); });
    addFilterConditions(filter, a.conditions);
    addTicketOption(filter, a.ticket,
                    "the tickets of the record: direct, each kept number (1,040 yuan a hit), or group, each "
                    "kept 组三/组六 group (346 or 173 yuan; 豹子 left out) (default direct)");
    addRange(filter, o, "the draws of the record (default: the whole history)");
    filter.add_flag("--list", a.list, "also list the kept numbers (with --ticket group, the groups)");
    addValue(filter, "--format", "table|json", "output (default table)", [&o](const std::string& v) {
        if (v != "table" && v != "json")
            refuse("--format must be table or json, not " + v);
        o.json = v == "json";
    });
}

} // namespace brenvik::cli
