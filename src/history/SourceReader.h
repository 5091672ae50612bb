// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DrawSource.h"
#include "Error.h"
#include "Game.h"
#include "OnlineMerge.h"

#include <chrono>
#include <cstdint>
#include <expected>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace brenvik {

class HistoryStore;

struct SourceRequest {
    std::string url;
    std::string referer;
};

struct SourceReply {
    std::string body;    // inflated when the server compressed it
    std::string charset; // from the Content-Type header, empty when it names none
};

struct SourceFailure {
    std::string reason; // a short Chinese phrase: "连接被拒绝", "服务器返回错误 404" ...
    int httpStatus = 0; // the status of an answer that refused, 0 when there was none
    bool cancelled = false;
};

// What reading a source needs of the program around it: the window loads pages with Qt and keeps
// its event loop turning, the companion loads them with libcurl and simply waits.
class SourceTransport {
public:
    virtual ~SourceTransport() = default;
    // One plain GET with a browser's User-Agent, the Referer given and the cookies the run has
    // collected so far; bounded in time, redirects and size.
    virtual std::expected<SourceReply, SourceFailure> get(const SourceRequest& request) = 0;
    // Runs `job`, which reads a loaded page. A transport that gives up on it (Cancel, a time
    // limit) says why; `job` owns everything it touches, so it may still be running then.
    virtual std::optional<SourceFailure> runAside(const std::function<void()>& job);
    // The pause between two requests.
    virtual void pause(std::chrono::milliseconds length);
    virtual bool cancelled() const { return false; }
    // Told before page `page` is asked for and once it is read.
    virtual void pageStarted(int /*page*/) {}
    virtual void pageRead(const PageCount& /*count*/) {}
};

struct ReadRequest {
    Game game = Game::Fc3d;
    DrawSource source = DrawSource::Official;
    // The chart site; for the feeds a mirror whose scheme and host replace the operator's, empty
    // for the operator's own.
    std::string host;
    int currentYear = 0; // the year in China
    std::chrono::milliseconds pause{1000};
};

struct SourceRead {
    enum class Status { Read, Failed, Cancelled };
    Status status = Status::Read;
    // Why nothing is stored, naming the page: "读取第 3 页失败（连接被拒绝），历史号码未改动。"
    std::string message;
    std::optional<SourceFailure> failure; // what the transport said, when it failed
};

// Reads the pages of a source into `merge`, newest first, until they reach the merge's floor:
// the feeds page by page, in pages large enough to reach it at once and following the pages of a
// feed that caps them, the chart site year by year. Whatever fails stops the reading, and then
// nothing read may be stored; so does a feed page that lists only what earlier pages listed, or
// contradicts itself.
SourceRead readSource(OnlineMerge& merge, const ReadRequest& request, SourceTransport& transport);

// "第 3 页" or "2025 年的走势图".
std::string pageName(DrawSource source, int page);
// The companion's line for a page read: "第 3 页 30 期", "2025年 58 期".
std::string pageLine(DrawSource source, const PageCount& count);

// What an update stored.
struct StoredUpdate {
    long long added = 0;
    std::int32_t newest = 0; // the newest draw stored afterwards, 0 for none
    // The conflicts, the issues of years to come passed over, the draws taken from the shipped
    // history, then where the draws start or stop.
    std::vector<std::string> notes;
    bool complete = true; // no issue was missing: the history is up to date
};

// Appends what a successful read took, in one transaction, and when nothing was missing notes
// the time as that of the history's last update.
Result<StoredUpdate> storeRead(HistoryStore& store, const OnlineMerge& merge,
                               std::chrono::system_clock::time_point now);

// "新增 5 期，最新一期 2026229"
std::string summaryLine(const StoredUpdate& stored);

// "跳过来源中 2 个尚未到来的年份的期号（2027001、2027002）。"
std::string futureLine(const std::set<std::int32_t>& issues);

} // namespace brenvik
