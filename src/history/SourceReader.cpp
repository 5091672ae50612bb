// SPDX-License-Identifier: GPL-3.0-or-later
#include "SourceReader.h"

#include "ChartPage.h"
#include "HistoryStore.h"
#include "PageText.h"

#include "IssueNumber.h"

#include <algorithm>
#include <memory>
#include <set>
#include <thread>

namespace brenvik {

namespace {

// A feed of capped pages is still read to its end, but a feed that never ends is not: the
// welfare lottery's whole feed fills one page of 5,000, or about 160 pages of 30.
constexpr int kMaxFeedPages = 20000;

const std::string kUnchanged = "，历史号码未改动。";

SourceRead cancelled() {
    return {SourceRead::Status::Cancelled, "在线更新已取消" + kUnchanged, std::nullopt};
}

SourceRead failed(DrawSource source, int page, const SourceFailure& why) {
    if (why.cancelled)
        return cancelled();
    // An operator that answers "forbidden", "too many requests" and the like turns the request
    // away; an error of the server itself is a failure like any other.
    const std::string text = source == DrawSource::Official && why.httpStatus >= 400 && why.httpStatus < 500
                                 ? "读取" + pageName(source, page) + "时来源拒绝了请求（" + why.reason + "）"
                                 : "读取" + pageName(source, page) + "失败（" + why.reason + "）";
    return {SourceRead::Status::Failed, text + kUnchanged, why};
}

SourceRead refused(DrawSource source, int page, const std::string& what) {
    return {SourceRead::Status::Failed, "读取" + pageName(source, page) + "时" + what + kUnchanged,
            std::nullopt};
}

// Reads a loaded page through the transport, which may do it aside; the job owns the body and
// where the result goes, so a job given up on finishes on its own.
template <typename T, typename Parse>
std::expected<T, SourceFailure> readAside(SourceTransport& transport, std::string body, Parse parse) {
    auto page = std::make_shared<const std::string>(std::move(body));
    auto result = std::make_shared<std::optional<T>>();
    if (auto given = transport.runAside([page, result, parse] { *result = parse(*page); }))
        return std::unexpected(*given);
    return std::move(**result);
}

SourceRead readFeed(OnlineMerge& merge, const ReadRequest& r, SourceTransport& t) {
    const std::string referer(feedReferer(r.game));
    bool first = true;
    auto get = [&](const std::string& url) -> std::expected<SourceReply, SourceFailure> {
        if (!first && r.pause.count() > 0)
            t.pause(r.pause);
        first = false;
        if (t.cancelled())
            return std::unexpected(SourceFailure{"已取消", 0, true});
        return t.get({url, referer});
    };
    // The visit gives the cookie the feed wants; whether the page itself came is of no concern.
    if (const std::string home = feedHomeAddress(r.game, r.host); !home.empty())
        if (const auto visited = get(home); !visited && (visited.error().cancelled || t.cancelled()))
            return cancelled();

    // One page that reaches the floor, as far as the calendar tells how many draws that takes.
    int pageSize = feedPageSize(merge.floor(), r.currentYear);
    long long listed = 0; // the items of the pages read, counted where the feed stands
    std::set<std::int32_t> seen;
    for (int page = 1;; ++page) {
        if (t.cancelled())
            return cancelled();
        if (page > kMaxFeedPages)
            return refused(DrawSource::Official, page,
                           "停止：来源的页数超过 " + std::to_string(kMaxFeedPages) + " 页");
        t.pageStarted(page);
        auto reply = get(feedPageAddress(r.game, r.host, page, pageSize));
        if (!reply)
            return failed(DrawSource::Official, page, reply.error());
        auto read = readAside<Result<FeedPage>>(t, std::move(reply->body),
                                                [](const std::string& body) { return readFeedPage(body); });
        if (!read)
            return failed(DrawSource::Official, page, read.error());
        // A feed that turns a large page away is asked again as its own pages ask.
        if (!*read && read->error().code == ErrorCode::Network && page == 1 && pageSize > kFeedPageSize) {
            pageSize = kFeedPageSize;
            --page;
            continue;
        }
        if (!*read)
            return refused(DrawSource::Official, page, read->error().message);
        const FeedPage& p = **read;
        t.pageRead({page, merge.take(page, p.items)});
        listed += static_cast<long long>(p.items.size());
        if (merge.reached() || p.items.empty())
            break;
        // A page that lists only issues of the pages before it brings nothing. A feed that says
        // nothing of its size ends so; one that claimed more repeats itself, and would be read
        // for ever.
        if (page > 1 &&
            std::ranges::all_of(p.items, [&](const SourceItem& i) { return seen.contains(i.issue); })) {
            if (!p.total && !p.pages)
                break;
            return refused(DrawSource::Official, page,
                           "来源重复了已读过的内容（第 " + std::to_string(p.items.front().issue) + " 期起）");
        }
        for (const SourceItem& i : p.items)
            seen.insert(i.issue);
        // A feed that caps its pages below what was asked is asked for pages of its own size, so
        // the pages follow each other whether it counts them by its size or by the one asked.
        if (page == 1 && static_cast<int>(p.items.size()) < pageSize)
            pageSize = static_cast<int>(p.items.size());
        if (p.total) {
            if (listed >= *p.total)
                break;
        } else if (p.pages && page >= *p.pages) {
            break;
        }
    }
    if (!merge.foundAny())
        return {SourceRead::Status::Failed, "来源没有给出任何开奖号码" + kUnchanged, std::nullopt};
    return {};
}

SourceRead readCharts(OnlineMerge& merge, const ReadRequest& r, SourceTransport& t) {
    const auto host = normalizeChartHost(r.host);
    if (!host)
        return {SourceRead::Status::Failed, "尚未设置走势图站点（或地址无效），未进行在线更新。",
                std::nullopt};
    const int storedYear = merge.lastKnown() / 1000;
    const int newest = std::max(r.currentYear, storedYear);
    bool first = true;
    int year = newest;
    for (; year >= merge.firstChartYear(); --year) {
        if (t.cancelled())
            return cancelled();
        if (!first && r.pause.count() > 0)
            t.pause(r.pause);
        first = false;
        t.pageStarted(year);
        auto reply = t.get({chartPageAddress(*host, r.game, year), std::string()});
        if (!reply)
            return failed(DrawSource::Chart, year, reply.error());
        auto items = readAside<Result<std::vector<SourceItem>>>(
            t, std::move(reply->body),
            [year, charset = reply->charset](const std::string& body) -> Result<std::vector<SourceItem>> {
                auto rows = pageRows(body, charset, chartRowFilter(year));
                if (!rows)
                    return std::unexpected(rows.error());
                return chartItems(*rows, year);
            });
        if (!items)
            return failed(DrawSource::Chart, year, items.error());
        if (!*items)
            return failed(DrawSource::Chart, year, SourceFailure{(*items).error().message});
        // A history read from nothing, keeping every year, starts where the site's draws start.
        if ((*items)->empty() && storedYear == 0 && merge.keepsAll() && merge.foundAny() &&
            year < r.currentYear)
            break;
        // Only the page of a year not begun in the history may list nothing yet.
        if ((*items)->empty() && (year < r.currentYear || year <= storedYear))
            return failed(DrawSource::Chart, year, SourceFailure{"网页上没有该年的期号"});
        t.pageRead({year, merge.take(year, **items)});
    }
    if (year < merge.firstChartYear())
        merge.reachedFloor();
    if (!merge.foundAny()) {
        // One year is named once: "2026 年", not "2026 年至 2026 年".
        const int first = merge.firstChartYear();
        const std::string years = first == newest
                                      ? std::to_string(newest) + " 年"
                                      : std::to_string(first) + " 年至 " + std::to_string(newest) + " 年";
        return {SourceRead::Status::Failed, "走势图站点上没有找到 " + years + "的开奖号码" + kUnchanged,
                std::nullopt};
    }
    return {};
}

} // namespace

std::optional<SourceFailure> SourceTransport::runAside(const std::function<void()>& job) {
    job();
    return std::nullopt;
}

void SourceTransport::pause(std::chrono::milliseconds length) {
    std::this_thread::sleep_for(length);
}

SourceRead readSource(OnlineMerge& merge, const ReadRequest& request, SourceTransport& transport) {
    return request.source == DrawSource::Chart ? readCharts(merge, request, transport)
                                               : readFeed(merge, request, transport);
}

std::string pageName(DrawSource source, int page) {
    return source == DrawSource::Chart ? " " + std::to_string(page) + " 年的走势图"
                                       : "第 " + std::to_string(page) + " 页";
}

std::string pageLine(DrawSource source, const PageCount& count) {
    return (source == DrawSource::Chart ? std::to_string(count.page) + "年 "
                                        : "第 " + std::to_string(count.page) + " 页 ") +
           std::to_string(count.added) + " 期";
}

Result<StoredUpdate> storeRead(HistoryStore& store, const OnlineMerge& merge,
                               std::chrono::system_clock::time_point now) {
    const OnlineMerge::Outcome o = merge.outcome();
    if (auto written = merge.commit(store); !written)
        return std::unexpected(written.error());
    StoredUpdate s;
    s.added = static_cast<long long>(o.draws.size());
    s.newest = o.draws.empty() ? merge.lastStored() : o.draws.back().issue;
    for (const Conflict& c : merge.conflicts())
        s.notes.push_back(conflictLine(c));
    if (!merge.future().empty())
        s.notes.push_back(futureLine(merge.future()));
    if (o.shipped > 0)
        s.notes.push_back("其中 " + groupedCount(o.shipped) + " 期取自附带的样本。");
    if (o.sourceStart)
        s.notes.push_back("来源最早只有第 " + std::to_string(*o.sourceStart) + " 期，从这一期起保存。");
    if (o.hole) {
        const std::string hole = std::to_string(*o.hole);
        const auto unreadable = merge.unreadable(*o.hole);
        s.complete = false;
        s.notes.push_back((unreadable ? "来源中第 " + hole + " 期的开奖号码“" + *unreadable + "”无法识别，"
                                      : "来源缺少第 " + hole + " 期，") +
                          (o.draws.empty() ? std::string("它之后的开奖号码都未保存")
                                           : "只保存了它之前的 " + groupedCount(s.added) + " 期") +
                          "。请手动输入第 " + hole + " 期后再在线更新。");
    }
    // Only a history brought all the way up to date counts as updated; the time is a courtesy
    // to the status bar, so failing to note it changes nothing of the draws.
    if (s.complete)
        (void)markUpdated(store, now);
    return s;
}

std::string futureLine(const std::set<std::int32_t>& issues) {
    constexpr std::size_t kNamed = 3;
    std::string named;
    std::size_t n = 0;
    for (std::int32_t issue : issues) {
        if (n++ == kNamed)
            break;
        named += (named.empty() ? "" : "、") + std::to_string(issue);
    }
    if (issues.size() > kNamed)
        named += " 等";
    return "跳过来源中 " + std::to_string(issues.size()) + " 个尚未到来的年份的期号（" + named + "）。";
}

std::string summaryLine(const StoredUpdate& s) {
    return "新增 " + std::to_string(s.added) + " 期，最新一期 " +
           (s.newest != 0 ? std::to_string(s.newest) : std::string("无"));
}

} // namespace brenvik
