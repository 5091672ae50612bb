// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChartPage.h"
#include "ChartPages.h"
#include "PageText.h"
#include "Settings.h"

#include <gtest/gtest.h>

using namespace brenvik;
using namespace brenvik::test;

namespace {

std::vector<PageRow> rowsOf(const std::string& html) {
    auto rows = pageRows(html);
    EXPECT_TRUE(rows.has_value());
    return rows ? *rows : std::vector<PageRow>{};
}

// The drawn issues of a page from sequence `first` on.
std::vector<DrawLine> drawnOn(const std::vector<PageRow>& rows, int year, int first) {
    std::vector<DrawLine> drawn;
    for (const SourceItem& item : chartItems(rows, year))
        if (item.digits && item.issue % 1000 >= first)
            drawn.push_back({item.issue, *item.digits});
    return drawn;
}

std::vector<DrawLine> scanPage(const std::string& html, int year, int first) {
    return drawnOn(rowsOf(html), year, first);
}

} // namespace

TEST(ChartAddress, BuiltFromHostGamePathYearAndTail) {
    EXPECT_EQ(chartPageAddress("http://127.0.0.1:8080", Game::Fc3d, 2013),
              "http://127.0.0.1:8080/zst/sd/?lotId=210053&chartType=zhx&spanType=3&span=2013001_2013365"
              "&r=0.13125970074906945#roll_132");
    EXPECT_EQ(chartPageAddress("http://127.0.0.1:8080/", Game::Pl3, 2008),
              "http://127.0.0.1:8080/zst/p3?lotId=110033&chartType=zhx&spanType=3&span=2008001_2008365"
              "&r=0.7355243056081235#roll_132");
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
    // What a user types is also a site: a word alone is a slip.
    for (const char* good :
         {"http://127.0.0.1:8080", "chart.example.cn", "http://localhost:81", "http://[::1]"})
        EXPECT_TRUE(checkedSiteAddress(good)) << good;
    for (const char* bad : {"abc", "http://abc", "http://300.1.1.1", "http://1.2.3", "http://-a.cn",
                            "http://a..cn", "http://a_b.cn", "http://host.123", "http://host/zst"})
        EXPECT_FALSE(checkedSiteAddress(bad)) << bad;
    EXPECT_TRUE(checkedSiteAddress("abc").error().message.starts_with("“abc”不是可用的网站地址"));
}

TEST(ChartScan, EveryLayoutOfTheTestPagesIsRead) {
    const auto draws = drawsOf(2013, 1, 358);
    for (auto layout : {ChartLayout::SeparateCells, ChartLayout::JoinedCell, ChartLayout::SpacedCell}) {
        ChartPageOptions o;
        o.layout = layout;
        EXPECT_EQ(scanPage(chartPage(2013, draws, o), 2013, 1), draws) << static_cast<int>(layout);
        o.encoding = PageEncoding::Gbk;
        o.metaCharset = true;
        o.notDrawnYet = {359, 360};
        EXPECT_EQ(drawnOn(*pageRows(chartPage(2013, draws, o)), 2013, 1), draws) << static_cast<int>(layout);
    }
}

TEST(ChartScan, StartsAtTheFirstSequenceAndFindsNothingWhenUpToDate) {
    const std::string page = chartPage(2013, drawsOf(2013, 1, 358));
    EXPECT_EQ(scanPage(page, 2013, 351), drawsOf(2013, 351, 358));
    EXPECT_TRUE(scanPage(page, 2013, 359).empty());
    EXPECT_TRUE(scanPage(page, 2013, 366).empty());
    EXPECT_TRUE(scanPage(page, 2014, 1).empty()) << "markers of another year";
    EXPECT_TRUE(scanPage(page, 99999, 1).empty());
    EXPECT_TRUE(scanPage("<html><body>今天没有开奖</body></html>", 2014, 1).empty());
}

// Rows as chart sites lay them out: marker, draw, trial number (试机号), sum and span cells.
TEST(ChartScan, TheDrawIsReadOnlyFromTheCellsRightAfterTheMarker) {
    struct Case {
        const char* what;
        std::string html;
        std::vector<DrawLine> want;
    };
    const std::string pending =
        "<tr><td>2013-002</td><td></td><td></td><td></td><td>4 5 6</td><td></td></tr>";
    const Case cases[] = {
        {"three cells, one cell, blanks between",
         "<table><tr><td>2013-001</td><td>1</td><td>2</td><td>3</td><td>4 5 6</td><td>6</td><td>2</td></tr>"
         "<tr><td> 2013-002 </td><td><b>456</b></td><td>111</td></tr>"
         "<tr><td>2013-003</td><td>7&nbsp;8\xE3\x80\x80"
         "9</td></tr></table>",
         {{2013001, {1, 2, 3}}, {2013002, {4, 5, 6}}, {2013003, {7, 8, 9}}}},
        {"not drawn yet: empty cells before a trial number, dashes, too few digits; the scan goes on",
         "<table><tr><td>2013-001</td><td>111</td></tr>" + pending +
             "<tr><td>2013-003</td><td>--</td><td>456</td></tr><tr><td>2013-004</td><td>1</td><td>2</td></tr>"
             "<tr><td>2013-005</td><td>12</td><td>3</td></tr><tr><td>2013-006</td><td>1234</td></tr>"
             "<tr><td>2013-007</td><td>1</td><td></td><td>3</td></tr><tr><td>2013-008</td><td>789</td></tr>"
             "</table>",
         {{2013001, {1, 1, 1}}, {2013008, {7, 8, 9}}}},
        {"a pending row, then a footer row of counts",
         "<table><tr><td>2013-001</td><td>111</td></tr><tr><td>2013-002</td><td></td></tr>"
         "<tr><td>127</td><td>3</td><td>5</td><td>8</td></tr></table>",
         {{2013001, {1, 1, 1}}}},
        {"nothing across a row's end",
         "<table><tr><td>2013-001</td></tr><tr><td>1</td><td>2</td><td>3</td></tr></table>",
         {}},
        {"markers in headings, scripts and running text",
         "<h2>2013-001</h2><p>2013-001 123</p><table><tr><td><script>x='2013-001'</script></td><td>9</td>"
         "<td>9</td><td>9</td></tr><tr><td><h3>2013-001</h3></td><td>999</td></tr>"
         "<tr><td>期号 2013-001</td><td>123</td></tr><tr><td>2013-0012</td><td>123</td></tr></table>",
         {}},
        {"the first row that names an issue counts; an issue no row names is left for the update to see",
         "<table><tr><td>2013-001</td><td>123</td></tr><tr><td>2013-001</td><td>999</td></tr>"
         "<tr><td>2013-002</td><td>222</td></tr><tr><td>2013-004</td><td>444</td></tr></table>",
         {{2013001, {1, 2, 3}}, {2013002, {2, 2, 2}}, {2013004, {4, 4, 4}}}},
        {"a table nested in a cell has rows of its own",
         "<table><tr><td><table><tr><td>2013-001</td><td>321</td></tr></table></td><td>999</td></tr></table>",
         {{2013001, {3, 2, 1}}}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(scanPage("<html><body>" + c.html + "</body></html>", 2013, 1), c.want) << c.what;
}

TEST(ChartScan, AnIssueWithoutADrawIsListedAsSuch) {
    EXPECT_EQ(
        chartItems(rowsOf("<table><tr><td>2013-358</td><td>--</td></tr><tr><td>2013-002</td><td>456</td>"
                          "</tr></table>"),
                   2013),
        (std::vector<SourceItem>{{2013002, std::array{4, 5, 6}}, {2013358, std::nullopt}}));
    EXPECT_TRUE(chartItems(rowsOf("<p>2013-001</p><table><tr><td>2012-001</td><td>2013-366</td>"
                                  "<td>2013-000</td><td>2013-00x</td></tr></table>"),
                           2013)
                    .empty());
    EXPECT_TRUE(chartItems({}, 2013).empty());
}
