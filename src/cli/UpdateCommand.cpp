// SPDX-License-Identifier: GPL-3.0-or-later
#include "UpdateCommand.h"

#include "ChartPage.h"
#include "CliHome.h"
#include "CliOutput.h"
#include "HistoryStore.h"
#include "IssueNumber.h"
#include "OnlineMerge.h"
#include "ShippedHistory.h"
#include "SourceFetch.h"
#include "SourceReader.h"
#include "StoredSettings.h"

#include <chrono>
#include <iostream>

namespace brenvik::cli {

namespace {

int failed(const std::string& message) {
    std::cerr << message << '\n';
    return 1;
}

int usageError(const std::string& message) {
    std::cerr << "brenvik3d-cli: " << message << '\n' << kUsageHint;
    return 2;
}

// Says each page as soon as it is read, so a slow run shows where it is.
class ReportingFetch : public SourceFetch {
public:
    explicit ReportingFetch(DrawSource source) : m_source(source) {}
    void pageRead(const PageCount& count) override { progressLine(pageLine(m_source, count)); }

private:
    DrawSource m_source;
};

// The source and its host: --site alone chooses the chart site and --feed alone the operator's
// feed, so scripts written before there was a choice keep working.
std::optional<DrawSource> chosenSource(const Options& o, const SettingsValues& stored) {
    if (o.source)
        return o.source;
    if (o.site && o.feed)
        return std::nullopt;
    if (o.site)
        return DrawSource::Chart;
    if (o.feed)
        return DrawSource::Official;
    return storedSource(stored);
}

} // namespace

int runUpdate(const Options& o) {
    const SettingsValues stored = storedSettings();
    const auto source = chosenSource(o, stored);
    if (!source)
        return usageError("update takes --site (chart site) or --feed (official feed), not both; choose with "
                          "--source official|chart");
    ReadRequest request;
    request.game = o.game;
    request.source = *source;
    if (*source == DrawSource::Chart) {
        const auto site = normalizeChartHost(o.site.value_or(stored.strZstHost));
        if (!site) {
            std::cerr << "brenvik3d-cli: update needs --site URL, no chart site is stored\n";
            return 2;
        }
        request.host = *site;
    } else {
        request.host = normalizeChartHost(o.feed.value_or(stored.strGfHost)).value_or("");
    }
    const auto now = std::chrono::system_clock::now();
    request.currentYear = chinaYear(now);
    request.pause = std::chrono::milliseconds(o.pauseMs.value_or(1000));
    const int years = o.years.value_or(stored.IniSerchDay);
    const int segment = o.segmentGiven ? o.segment : stored.DsIni;

    auto opened = openToChange(o);
    if (!opened)
        return failed(opened.error().message);
    HistoryStore& store = *opened->store;

    const auto shipped = shippedHistory(o.game, request.currentYear);
    OnlineMerge merge(*opened->snapshot, request.currentYear, years, segment, shipped);
    ReportingFetch fetch(*source);
    if (const SourceRead read = readSource(merge, request, fetch); read.status != SourceRead::Status::Read)
        return failed(read.message);
    const auto saved = storeRead(store, merge, now);
    if (!saved)
        return failed("新的开奖号码保存失败，历史号码未改动：" + saved.error().message);
    for (const std::string& note : saved->notes)
        std::cout << note << '\n';

    // Old years go only now that the new draws are in, and only when the user said so.
    auto after = store.loadSnapshot();
    if (!after)
        return failed(after.error().message);
    if (const auto cut = retentionCut(**after, request.currentYear, years)) {
        if (!o.yes) {
            progressLine("加 --yes 才会删除早年的历史号码：" + retentionNotice(*cut) + "这次未删除。");
        } else if (auto removed = removeYearsBefore(store, **after, *cut, segment); !removed) {
            std::cout << summaryLine(*saved) << '\n';
            return failed("删除早于保留年数的历史号码失败，早年的历史号码未改动：" + removed.error().message);
        } else {
            std::cout << retentionDone(*cut) << '\n';
        }
    }
    std::cout << summaryLine(*saved) << '\n';
    return saved->complete ? 0 : kStoppedAtMissingIssue;
}

void addUpdateCommand(Commands& commands) {
    Options& o = commands.options();
    CLI::App& update = commands.add(
        "update",
        "Add the new draws from the operator's draw notices or a chart site, as the window's online update "
        "does.",
        runUpdate);
    addValue(update, "--source", "official|chart",
             "the operator's draw notices (official) or a chart site (chart); default the stored choice, "
             "else official; --site alone means chart",
             [&o](const std::string& v) {
                 const auto source = sourceOfId(v);
                 if (!source)
                     refuse("--source must be official or chart, not " + v);
                 o.source = source;
             });
    const auto site = [](const std::string& option, const std::string& v) {
        const auto checked = checkedSiteAddress(v);
        if (!checked)
            refuse(option +
                   " must be an http:// or https:// address of a host (a domain name or an IP address, "
                   "with a port at most), not " +
                   v);
        return *checked;
    };
    addValue(update, "--site", "URL", "chart site, scheme and host (default: the stored strZstHost)",
             [&o, site](const std::string& v) { o.site = site("--site", v); });
    addValue(update, "--feed", "URL",
             "a mirror of the operator's feed: its scheme and host replace the operator's (alone it means "
             "--source official)",
             [&o, site](const std::string& v) { o.feed = site("--feed", v); });
    addValue(update, "--years", "all|N",
             "years of history to keep: all, or 2.." + std::to_string(kMostYearsToKeep) +
                 " (default: the stored IniSerchDay, else all)",
             [&o](const std::string& v) {
                 const auto n = v == "all" ? std::optional(kKeepAllYears)
                                : v == "0" ? std::nullopt
                                           : parseYearsToKeep(v);
                 if (!n)
                     refuse("--years must be all or a whole number from 2 to " +
                            std::to_string(kMostYearsToKeep) + ", not " + v);
                 o.years = *n;
             });
    update.add_flag("--yes", o.yes,
                    "once the new draws are in, remove the draws older than the years kept; without it the "
                    "update says what it would remove");
    addValue(update, "--pause", "MS", "milliseconds between two page requests (default 1000)",
             [&o](const std::string& v) {
                 auto n = parseWholeNumber(v, 0, 60000);
                 if (!n)
                     refuse("--pause must be a whole number of milliseconds from 0 to 60000, not " + v);
                 o.pauseMs = static_cast<int>(*n);
             });
    addSegment(update, o, "the stored DsIni");
    commands.exitStatus(update, 0, "also when old years stay for want of --yes");
    commands.exitStatus(
        update, kFailed,
        "nothing was stored: a page could not be read, was refused, contradicted itself or "
        "repeated an earlier one; or the old years could not be removed (the new draws are stored)");
    commands.exitStatus(
        update, kStoppedAtMissingIssue,
        "an issue no source has, or whose digits its source gives unreadably, stopped the update: "
        "the draws before it are stored (none when it is the first one missing), the later ones are not");
}

} // namespace brenvik::cli
