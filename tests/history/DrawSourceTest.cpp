// SPDX-License-Identifier: GPL-3.0-or-later
#include "DrawSource.h"
#include "ChartPages.h"
#include "OnlineMerge.h"
#include "SourceReader.h"

#include <gtest/gtest.h>

#include <map>

using namespace brenvik;
using namespace brenvik::test;

namespace {

using Digits = std::optional<std::array<int, 3>>;

} // namespace

TEST(FeedReply, BothOperatorsRepliesAreReadWhateverTheirSmallVariations) {
    struct Case {
        const char* what;
        std::string body;
        std::vector<SourceItem> items;
        std::optional<long long> total;
        std::optional<long long> pages;
    };
    const Case cases[] = {
        {"the welfare lottery's, with keys nobody reads and numbers as numbers",
         R"({"state":0,"message":"查询成功","total":7731,"pageNum":258,"pageNo":1,"pageSize":30,"result":[)"
         R"j({"name":"3D","code":"2026224","date":"2026-08-22(六)","red":"8,6,2","blue":"","prizegrades":[{"a":1}]},)j"
         R"({"code":2026223,"red":" 9, 4 ,8 "},{"code":"2026222","red":"3 4 8"},{"code":"2026221","red":"117"},)"
         R"({"code":"2026220","red":"00,07,1"}]})",
         {{2026224, std::array{8, 6, 2}},
          {2026223, std::array{9, 4, 8}},
          {2026222, std::array{3, 4, 8}},
          {2026221, std::array{1, 1, 7}},
          {2026220, std::array{0, 7, 1}}},
         7731,
         258},
        {"the sports lottery's: two-digit years, counts as text, an issue not drawn yet",
         "\xEF\xBB\xBF"
         R"( {"success":"true","errorCode":"0","value":{"list":[{"lotteryDrawNum":"26225","lotteryDrawResult":""},)"
         R"({"lotteryDrawNum":"26224","lotteryDrawResult":"9 1 2","lotteryDrawTime":"2026-08-22"}],)"
         R"("pageNo":1,"pages":"3","total":"61"}})",
         {{2026225, std::nullopt}, {2026224, std::array{9, 1, 2}}},
         61,
         3},
        {"state as text; digits that are no draw are kept as said; an issue that is none is left out",
         R"({"state":"0","result":[{"code":"2026224","red":"8,6"},{"code":"abc","red":"1,2,3"},)"
         R"({"code":"2026000","red":"1,2,3"},{"red":"1,2,3"},{"code":"2026223","red":"12,3"},)"
         R"({"code":"2026222","red":"-1,2,3"},{"code":"2026221","red":"1,2,3,4"},{"code":"2026220","red":"1.5,2,3"},)"
         R"({"code":"2026219","red":"a,b,c"},{"code":"2026218","red":123},{"code":"2026217","red":[1,2,10]},)"
         R"({"code":"2026216","red":["4","0",5]},{"code":"2026215","red":"待开奖"},{"code":"2026214","red":" - - "},)"
         R"({"code":"2026213"}]})",
         {{2026224, std::nullopt, "8,6"},
          {2026223, std::nullopt, "12,3"},
          {2026222, std::nullopt, "-1,2,3"},
          {2026221, std::nullopt, "1,2,3,4"},
          {2026220, std::nullopt, "1.5,2,3"},
          {2026219, std::nullopt, "a,b,c"},
          {2026218, std::nullopt, "123"},
          {2026217, std::nullopt, "1,2,10"},
          {2026216, std::array{4, 0, 5}},
          {2026215, std::nullopt},
          {2026214, std::nullopt},
          {2026213, std::nullopt}},
         std::nullopt,
         std::nullopt},
    };
    for (const Case& c : cases) {
        const auto page = readFeedPage(c.body);
        ASSERT_TRUE(page) << c.what << ": " << page.error().message;
        EXPECT_EQ(page->items, c.items) << c.what;
        EXPECT_EQ(page->total, c.total) << c.what;
        EXPECT_EQ(page->pages, c.pages) << c.what;
    }
}

TEST(FeedReply, WhatIsNoListOfDrawsIsARefusalThatSaysWhatCame) {
    const std::pair<std::string, std::string> cases[] = {
        {"  \r\n", "来源拒绝了请求（回复为空）"},
        {"<html><head><title> 405\n禁止访问 </title></head><body>…</body></html>",
         "来源拒绝了请求（返回的是网页而不是开奖数据：405 禁止访问）"},
        {"<html><body><p>访问过于频繁</p></body></html>",
         "来源拒绝了请求（返回的是网页而不是开奖数据：访问过于频繁）"},
        {"Service Unavailable", "来源拒绝了请求（回复不是 JSON 数据：Service Unavailable）"},
        {R"({"state":1,"message":"请刷新页面后重试"})", "来源拒绝了请求（state 1：请刷新页面后重试）"},
        {R"({"success":false,"errorCode":"1001","errorMessage":"系统繁忙","value":null})",
         "来源拒绝了请求（errorCode 1001：系统繁忙）"},
        {R"({"state":0,"message":"查询成功"})",
         "来源拒绝了请求（回复中没有开奖列表：{\"state\":0,\"message\":\"查询成功\"}）"},
        {std::string(100, '[') + std::string(100, ']'), "来源拒绝了请求（回复不是开奖数据：嵌套过深）"},
        // A tree of millions of values would take gigabytes before anything could be read of it.
        {[] {
             std::string many = R"({"state":0,"result":[0)";
             for (int i = 0; i < 2'000'000; ++i)
                 many += ",0";
             return many + "]}";
         }(),
         "来源拒绝了请求（回复不是开奖数据：数据项超过 2000000 个）"},
        {R"({"state":0,"result":[{"code":"2026224","red":"1,2,3"},{"code":"2026223","red":"5,5,5"},)"
         R"({"code":"2026224","red":"1 2 4"}]})",
         "来源自相矛盾（第 2026224 期列出两次，号码为 123 和 124）"},
        {R"({"success":true,"value":{"list":[{"lotteryDrawNum":"26224","lotteryDrawResult":"1 2 3"},)"
         R"({"lotteryDrawNum":"2026224","lotteryDrawResult":"x"}]}})",
         "来源自相矛盾（第 2026224 期列出两次，号码为 123 和 “x”）"},
        {R"({"state":0,"result":[")" + std::string(16 << 20, 'x') + R"("]})",
         "来源拒绝了请求（回复超过 16 MB）"},
    };
    for (const auto& [body, message] : cases) {
        const auto page = readFeedPage(body);
        ASSERT_FALSE(page) << body;
        EXPECT_EQ(page.error().message, message);
    }
    EXPECT_EQ(shortQuote("a\xFF\tb  " + std::string(70, 'x')), "a? b " + std::string(55, 'x') + "…");
}

namespace {

// A welfare-lottery feed in memory: its draws newest first, pages of at most `cap`, and what it
// says of its size.
class MemoryFeed : public SourceTransport {
public:
    enum class Says { Total, Pages, Nothing };

    MemoryFeed(std::vector<DrawLine> draws, int cap, Says says) : m_cap(cap), m_says(says) {
        m_newest.assign(draws.rbegin(), draws.rend());
    }

    std::expected<SourceReply, SourceFailure> get(const SourceRequest& request) override {
        EXPECT_EQ(request.referer, "https://www.cwl.gov.cn/ygkj/wqkjgg/fc3d/");
        if (request.url.ends_with("/")) {
            asked.push_back("home");
            return SourceReply{};
        }
        const int pageNo = numberAfter(request.url, "pageNo=");
        const int pageSize = numberAfter(request.url, "pageSize=");
        asked.push_back(std::to_string(pageNo) + "/" + std::to_string(pageSize));
        const int size = std::min(pageSize, m_cap);
        const int pages = (static_cast<int>(m_newest.size()) + size - 1) / size;
        // A feed that says nothing of its size answers its last page for any page beyond it.
        const int served = m_says == Says::Nothing ? std::min(pageNo, pages) : pageNo;
        std::string items;
        for (int i = (served - 1) * size; i < std::min<int>(served * size, m_newest.size()); ++i) {
            const auto& d = m_newest[static_cast<std::size_t>(i)];
            items += std::string(items.empty() ? "" : ",") + "{\"code\":\"" + std::to_string(d.issue) +
                     "\",\"red\":\"" + std::to_string(d.digits[0]) + "," + std::to_string(d.digits[1]) + "," +
                     std::to_string(d.digits[2]) + "\"}";
        }
        std::string counts = m_says == Says::Total   ? ",\"total\":" + std::to_string(m_newest.size())
                             : m_says == Says::Pages ? ",\"pageNum\":" + std::to_string(pages)
                                                     : "";
        return SourceReply{"{\"state\":0" + counts + ",\"result\":[" + items + "]}", {}};
    }
    void pause(std::chrono::milliseconds) override { ++pauses; }

    std::vector<std::string> asked; // "home", then "pageNo/pageSize" of each page
    int pauses = 0;

private:
    static int numberAfter(const std::string& url, const std::string& key) {
        return std::stoi(url.substr(url.find(key) + key.size()));
    }

    std::vector<DrawLine> m_newest;
    int m_cap;
    Says m_says;
};

} // namespace

TEST(FeedReading, PagesAreFollowedDownToTheStoredIssueWhateverTheFeedSaysOfItsSize) {
    using Says = MemoryFeed::Says;
    const auto feed = drawsOf(2026, 1, 100);
    struct Case {
        const char* what;
        int lastStored; // sequence of 2026
        int cap;
        Says says;
        std::vector<std::string> asked;
        std::vector<DrawLine> draws;
        std::optional<std::int32_t> hole;
    };
    // One page asks for as many draws as the days left after the stored issue can hold (366 a
    // year), so that a feed that answers it whole is read in one request.
    const Case cases[] = {
        {"one page reaches the stored issue",
         50,
         5000,
         Says::Total,
         {"home", "1/317"},
         drawsOf(2026, 51, 100),
         std::nullopt},
        {"pages capped at 30 are asked for as pages of 30",
         50,
         30,
         Says::Total,
         {"home", "1/317", "2/30"},
         drawsOf(2026, 51, 100),
         std::nullopt},
        {"pages capped at 7 are asked for as pages of 7",
         80,
         7,
         Says::Pages,
         {"home", "1/287", "2/7", "3/7"},
         drawsOf(2026, 81, 100),
         std::nullopt},
        {"to the end of a feed that counts its draws",
         0,
         40,
         Says::Total,
         {"home", "1/2563", "2/40", "3/40"},
         feed,
         std::nullopt},
        {"to the end of a feed that counts its pages",
         0,
         40,
         Says::Pages,
         {"home", "1/2563", "2/40", "3/40"},
         feed,
         std::nullopt},
        {"a feed that says nothing and answers its last page again",
         0,
         40,
         Says::Nothing,
         {"home", "1/2563", "2/40", "3/40", "4/40"},
         feed,
         std::nullopt},
    };
    for (const Case& c : cases) {
        MemoryFeed transport(feed, c.cap, c.says);
        const auto stored = c.lastStored > 0 ? drawsOf(2026, 1, c.lastStored) : std::vector<DrawLine>{};
        OnlineMerge merge(HistorySnapshot(rowsFromDraws(stored, 1)), 2026, 6, 1);
        ReadRequest request;
        request.currentYear = 2026;
        const SourceRead read = readSource(merge, request, transport);
        EXPECT_EQ(read.status, SourceRead::Status::Read) << c.what << ": " << read.message;
        EXPECT_EQ(transport.asked, c.asked) << c.what;
        EXPECT_EQ(transport.pauses, static_cast<int>(c.asked.size()) - 1) << c.what;
        const auto o = merge.outcome();
        EXPECT_EQ(o.draws, c.draws) << c.what;
        EXPECT_EQ(o.hole, c.hole) << c.what;
    }
}

// A chart site whose pages list issues but no digits yet says which years it read, a single one
// once: "2026 年", not "2026 年至 2026 年".
TEST(ChartReading, TheYearsWithoutDrawsAreNamedOnceEach) {
    struct NotDrawnYet : SourceTransport {
        std::expected<SourceReply, SourceFailure> get(const SourceRequest& request) override {
            const int year = std::stoi(request.url.substr(request.url.find("span=") + 5, 4));
            return SourceReply{chartPage(year, {}, {.notDrawnYet = {300}}), {}};
        }
        void pause(std::chrono::milliseconds) override {}
    };
    for (const auto& [lastStored, years] :
         {std::pair{2026005, "2026 年"}, std::pair{2025005, "2025 年至 2026 年"}}) {
        NotDrawnYet transport;
        OnlineMerge merge(HistorySnapshot(rowsFromDraws(drawsOf(lastStored / 1000, 1, lastStored % 1000), 1)),
                          2026, 6, 1);
        ReadRequest request;
        request.source = DrawSource::Chart;
        request.host = "http://127.0.0.1:8080";
        request.currentYear = 2026;
        request.pause = {};
        const SourceRead read = readSource(merge, request, transport);
        EXPECT_EQ(read.status, SourceRead::Status::Failed);
        EXPECT_EQ(read.message.rfind(std::string("走势图站点上没有找到 ") + years + "的开奖号码", 0), 0u)
            << read.message;
    }
}

// Keeping every year, an empty history without the shipped one is read back to the year before
// the site's first draw, and starts with that draw.
TEST(ChartReading, EveryYearKeptReadsBackToTheSitesFirstYear) {
    struct Site : SourceTransport {
        std::expected<SourceReply, SourceFailure> get(const SourceRequest& request) override {
            const int year = std::stoi(request.url.substr(request.url.find("span=") + 5, 4));
            asked.push_back(year);
            return SourceReply{chartPage(year, year >= 2024 ? drawsOf(year, 1, 358) : std::vector<DrawLine>{}), {}};
        }
        void pause(std::chrono::milliseconds) override {}
        std::vector<int> asked;
    };
    Site site;
    OnlineMerge merge(HistorySnapshot(rowsFromDraws({}, 1)), 2026, kKeepAllYears, 1);
    ReadRequest request;
    request.source = DrawSource::Chart;
    request.host = "http://127.0.0.1:8080";
    request.currentYear = 2026;
    const SourceRead read = readSource(merge, request, site);
    EXPECT_EQ(read.status, SourceRead::Status::Read) << read.message;
    EXPECT_EQ(site.asked, (std::vector<int>{2026, 2025, 2024, 2023}));
    const auto o = merge.outcome();
    EXPECT_EQ(o.sourceStart, 2024001);
    EXPECT_EQ(o.draws.size(), 3u * 358);
    EXPECT_FALSE(o.hole);
}
