#include "ChartPage.h"
#include "ChartPages.h"
#include "PageText.h"
#include "Settings.h"

#include <gtest/gtest.h>

using namespace brenvik;
using namespace brenvik::test;

namespace {

std::vector<DrawLine> scanPage(const std::string& html, int year, int first, std::string_view charset = {}) {
    auto text = pageText(html, charset);
    EXPECT_TRUE(text.has_value());
    return text ? scanYear(*text, year, first) : std::vector<DrawLine>{};
}

} // namespace

TEST(ChartAddress, BuiltFromHostGamePathYearAndTail) {
    EXPECT_EQ(chartPageAddress("http://127.0.0.1:8080", kLottery3D, 2013),
              "http://127.0.0.1:8080/zst/sd/?lotId=210053&chartType=zhx&spanType=3&span=2013001_2013365"
              "&r=0.13125970074906945#roll_132");
    EXPECT_EQ(chartPageAddress("http://127.0.0.1:8080/", kLotteryPl3, 2008),
              "http://127.0.0.1:8080/zst/p3?lotId=110033&chartType=zhx&spanType=3&span=2008001_2008365"
              "&r=0.7355243056081235#roll_132");
    EXPECT_EQ(chartPageAddress("https://h", 7, 2014).substr(0, 16), "https://h/zst/p3")
        << "any type but 53 is the Pick-3 game";
}

TEST(ChartAddress, HostsAreNormalisedOrRefused) {
    EXPECT_EQ(normalizeChartHost("http://127.0.0.1:8080"), "http://127.0.0.1:8080");
    EXPECT_EQ(normalizeChartHost("  HTTPS://chart.example.cn/ "), "https://chart.example.cn");
    EXPECT_EQ(normalizeChartHost("127.0.0.1:8080"), "http://127.0.0.1:8080");
    EXPECT_EQ(normalizeChartHost("http://[::1]:81"), "http://[::1]:81");
    for (const char* bad : {"", "   ", "ftp://host", "http://", "http://host/zst", "http://host?x=1",
                            "http://us er@host", "http://host:0", "http://host:65536",
                            "http://host:", "http://ho st", "http://a:b:c", "http://[::1"})
        EXPECT_FALSE(normalizeChartHost(bad)) << bad;
    EXPECT_FALSE(normalizeChartHost(std::string(400, 'a')));
}

TEST(ChartScan, EveryLayoutOfTheTestPagesIsRead) {
    const auto draws = drawsOf(2013, 1, 358);
    for (auto layout : {ChartLayout::SeparateCells, ChartLayout::JoinedCell, ChartLayout::SpacedDigits}) {
        ChartPageOptions o;
        o.layout = layout;
        EXPECT_EQ(scanPage(chartPage(2013, draws, o), 2013, 1), draws) << static_cast<int>(layout);
        o.encoding = PageEncoding::Gbk;
        o.metaCharset = true;
        EXPECT_EQ(scanPage(chartPage(2013, draws, o), 2013, 1), draws) << static_cast<int>(layout);
    }
}

TEST(ChartScan, StartsAtTheFirstSequenceAndFindsNothingWhenUpToDate) {
    const std::string page = chartPage(2013, drawsOf(2013, 1, 358));
    EXPECT_EQ(scanPage(page, 2013, 351), drawsOf(2013, 351, 358));
    EXPECT_TRUE(scanPage(page, 2013, 359).empty());
    EXPECT_TRUE(scanPage(page, 2013, 366).empty());
    EXPECT_TRUE(scanPage(page, 2014, 1).empty()) << "markers of another year";
    EXPECT_TRUE(scanYear("", 2013, 1).empty());
    EXPECT_TRUE(scanPage("<html><body>今天没有开奖</body></html>", 2014, 1).empty());
}

TEST(ChartScan, NotDrawnIssuesArePassedOverAndTheScanGoesOn) {
    EXPECT_EQ(scanYear("2013-001 123\n2013-002 --\n2013-003 4 5 6\n", 2013, 1),
              (std::vector<DrawLine>{{2013001, {1, 2, 3}}, {2013003, {4, 5, 6}}}));
    // Charts list the issues not drawn yet with dashes, followed by cells that hold numbers.
    for (auto layout : {ChartLayout::SeparateCells, ChartLayout::JoinedCell, ChartLayout::SpacedDigits}) {
        ChartPageOptions o;
        o.layout = layout;
        o.notDrawnYet = {6, 7};
        EXPECT_EQ(scanPage(chartPage(2014, drawsOf(2014, 1, 5), o), 2014, 1), drawsOf(2014, 1, 5))
            << static_cast<int>(layout);
    }
    EXPECT_EQ(scanYear("2013-001 1?3 2013-002 ？ 2013-003 —— 2013-004 *** 2013-005 789", 2013, 1),
              (std::vector<DrawLine>{{2013005, {7, 8, 9}}}));
}

TEST(ChartScan, StopsAtTheFirstMissingMarker) {
    EXPECT_EQ(scanYear("2013-001 111 2013-002 222 2013-004 444", 2013, 1),
              (std::vector<DrawLine>{{2013001, {1, 1, 1}}, {2013002, {2, 2, 2}}}));
    EXPECT_TRUE(scanYear("2013-002 222", 2013, 1).empty());
}

TEST(ChartScan, SeparatorsAreBounded) {
    const std::string sixteen = "\t开奖号码：  第一位数字是..";
    EXPECT_EQ(scanYear("2013-001" + sixteen + "123", 2013, 1), (std::vector<DrawLine>{{2013001, {1, 2, 3}}}));
    // One character more and the marker is followed by text, not by a draw; the scan goes on.
    EXPECT_EQ(scanYear("2013-001" + sixteen + "x123 2013-002\t456", 2013, 1),
              (std::vector<DrawLine>{{2013002, {4, 5, 6}}}));
    EXPECT_TRUE(scanYear("2013-001 " + std::string(100000, 'x') + " 123", 2013, 1).empty());
    EXPECT_EQ(scanYear("2013-001 1\t \xC2\xA0\xE3\x80\x80 2 3", 2013, 1),
              (std::vector<DrawLine>{{2013001, {1, 2, 3}}}));
    EXPECT_TRUE(scanYear("2013-001 1         2 3", 2013, 1).empty()) << "nine blanks between digits";
    EXPECT_TRUE(scanYear("2013-001 1\n2\n3", 2013, 1).empty()) << "digits on separate lines";
}

TEST(ChartScan, OnlyTheFirstOccurrenceOfAMarkerCounts) {
    EXPECT_EQ(scanYear("2013-001 123 ... 2013-001 999", 2013, 1),
              (std::vector<DrawLine>{{2013001, {1, 2, 3}}}));
    // A heading that names the span first: its digits run on into a year and are no draw.
    EXPECT_TRUE(scanYear("从 2013-001 至 2013-365\n2013-001\t1\t2\t3", 2013, 1).empty());
}

TEST(ChartScan, ShortTextsAtTheEndAreSafe) {
    EXPECT_TRUE(scanYear("2013-001", 2013, 1).empty());
    EXPECT_TRUE(scanYear("2013-001 12", 2013, 1).empty());
    EXPECT_TRUE(scanYear("2013-00", 2013, 1).empty());
    EXPECT_TRUE(scanYear("2013-001 1 2 ", 2013, 1).empty());
    EXPECT_EQ(scanYear("2013-001 1 2 3", 2013, 1).size(), 1u);
    EXPECT_TRUE(scanYear("2013-001 123", 99999, 1).empty());
}

TEST(ChartScan, APageListsIssuesOfItsYearOrNot) {
    EXPECT_TRUE(listsIssuesOf("期号 2013-358 --", 2013));
    EXPECT_TRUE(listsIssuesOf("2013-2013-001", 2013));
    EXPECT_FALSE(listsIssuesOf("2012-001 123 2013-366 2013-000 2013-00x 2013-", 2013));
    EXPECT_FALSE(listsIssuesOf("", 2013));
}
