// SPDX-License-Identifier: GPL-3.0-or-later
#include "UpdateCommand.h"

#include "ChartFetch.h"
#include "ChartPage.h"
#include "CliHome.h"
#include "HistoryStore.h"
#include "IssueNumber.h"
#include "OnlineMerge.h"
#include "StoredSettings.h"

#include <ctime>
#include <iostream>

namespace brenvik::cli {

namespace {

int currentYear() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_year + 1900;
}

int failed(const std::string& message) {
    std::cerr << message << '\n';
    return 1;
}

} // namespace

int runUpdate(const Options& o) {
    const SettingsValues stored = storedSettings();
    const auto site = normalizeChartHost(o.site.value_or(stored.strZstHost));
    if (!site) {
        std::cerr << "brenvik3d-cli: update needs --site URL, no chart site is stored\n";
        return 2;
    }
    const int years = o.years.value_or(stored.IniSerchDay);
    const int segment = o.segmentGiven ? o.segment : stored.DsIni;
    const int year = currentYear();

    auto opened = openToChange(o);
    if (!opened)
        return failed(opened.error().message);
    HistoryStore& store = *opened->store;
    Result<SnapshotPtr> snapshot = opened->snapshot;

    if (const auto cut = retentionCut(**snapshot, year, years)) {
        if (!o.yes) {
            std::cout << retentionNotice(*cut) << '\n';
            return failed("加 --yes 才会删除并更新；历史号码未改动。");
        }
        if (auto removed = removeYearsBefore(store, **snapshot, *cut, segment); !removed)
            return failed(removed.error().message);
        std::cout << retentionDone(*cut) << '\n';
        snapshot = store.loadSnapshot();
        if (!snapshot)
            return failed(snapshot.error().message);
    }

    OnlineMerge merge(**snapshot, year, years, segment);
    const UpdatePlan& plan = merge.plan();
    ChartFetch fetch;
    std::string failure;
    for (int y = plan.firstYear; y <= plan.lastYear && failure.empty(); ++y) {
        std::string why;
        if (auto page = fetch.get(chartPageAddress(*site, o.game, y)); !page)
            why = page.error().reason;
        else if (auto rows = pageRows(page->body, page->charset); !rows)
            why = rows.error().message;
        else
            std::cout << y << "年 " << merge.addPage(y, *rows) << " 期" << std::endl;
        if (!why.empty())
            failure = "读取 " + std::to_string(y) + " 年的走势图失败（" + why + "），更新未完成。";
    }

    // Whatever was read before a failure is kept, as the window keeps it.
    if (auto written = merge.commit(store); !written)
        return failed("新的开奖号码保存失败：" + written.error().message);
    const std::int32_t last = merge.lastKnown();
    std::cout << "新增 " << merge.draws().size() << " 期，最新一期 " << (last ? std::to_string(last) : "无")
              << '\n';
    if (!failure.empty())
        return failed(failure);
    if (plan.yearCount() > 0 &&
        (merge.pagesListingIssues() == 0 || (merge.startedEmpty() && merge.draws().empty())))
        return failed("图表站点上没有找到 " + std::to_string(plan.firstYear) + " 年至 " +
                      std::to_string(plan.lastYear) + " 年的开奖号码。");
    return 0;
}

void addUpdateCommand(Commands& commands) {
    Options& o = commands.options();
    CLI::App& update = commands.add(
        "update", "Add the new draws from the chart site, as the window's online update does.", runUpdate);
    addValue(
        update, "--site", "URL", "chart site, scheme and host (default: the stored strZstHost)",
        [&o](const std::string& v) {
            if (!normalizeChartHost(v))
                refuse("--site must be an http:// or https:// address of a host (with a port at most), not " +
                       v);
            o.site = v;
        });
    addValue(update, "--years", "N",
             "years of history to keep, 2..16 (default: the stored IniSerchDay, else 6)",
             [&o](const std::string& v) {
                 auto n = parseWholeNumber(v, 2, 16);
                 if (!n)
                     refuse("--years must be a whole number from 2 to 16, not " + v);
                 o.years = static_cast<int>(*n);
             });
    update.add_flag(
        "--yes", o.yes,
        "remove the draws older than the years kept; without it the update says what it would remove "
        "and changes nothing");
    addSegment(update, o, "the stored DsIni");
}

} // namespace brenvik::cli
