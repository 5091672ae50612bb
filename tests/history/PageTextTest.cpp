// SPDX-License-Identifier: GPL-3.0-or-later
#include "PageText.h"
#include "ChartPage.h"
#include "ChartPages.h"

#include <gtest/gtest.h>

#include <functional>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace brenvik;
using namespace brenvik::test;

namespace {

std::string text(std::string_view html, std::string_view charset = {}) {
    auto t = pageText(html, charset);
    EXPECT_TRUE(t.has_value()) << (t ? "" : t.error().message);
    return t ? *t : std::string();
}

} // namespace

TEST(PageText, TableCellsAreTabbedAndRowsEndLines) {
    EXPECT_EQ(text("<table><tr><th>期号</th><th>号码</th></tr>"
                   "<tr><td> 2013-001 </td><td>1</td><td>2</td><td>3</td></tr>\n"
                   "<tr><td>2013-002</td><td></td><td>5</td></tr></table>"),
              "期号\t号码\n2013-001\t1\t2\t3\n2013-002\t\t5");
    // Rows inside tbody and text between tables.
    EXPECT_EQ(text("<p>before</p><table><tbody><tr><td>a</td></tr></tbody><tbody><tr><td>b</td>"
                   "<td>c</td></tr></tbody></table>after"),
              "before\n\na\nb\tc\nafter");
}

TEST(PageText, BlocksBreaksAndBlanksAreLaidOutLikeABrowser) {
    EXPECT_EQ(text("<div>a   b\n c</div><p>para</p>x<br>y<span> z </span> <b>w</b>"
                   "<ul><li>one</li><li> two </li></ul><h2>head</h2>"),
              "a b c\n\npara\n\nx\ny z w\none\ntwo\nhead");
    EXPECT_EQ(text("<div><div><div>deep</div></div></div><div></div><div>next</div>"), "deep\nnext");
    EXPECT_EQ(text("<pre>1  2\n3</pre>after"), "1  2\n3\nafter") << "preformatted blanks stay";
    EXPECT_EQ(text("a&nbsp;&nbsp;b &amp; c"), "a\xC2\xA0\xC2\xA0"
                                              "b & c");
}

TEST(PageText, HeadScriptsStylesAndHiddenPartsAreLeftOut) {
    const std::string t =
        text("<html><head><title>2013-001 111</title><style>p{}</style>"
             "<script>var x = '2013-001 222';</script></head><body>"
             "<script>document.write('2013-001 333')</script>"
             "<noscript>2013-001 444</noscript><div style=\"display: none\">2013-001 555</div>"
             "<div hidden>2013-001 666</div><div>2013-001 777</div>"
             "<!-- 2013-001 888 --></body></html>");
    EXPECT_EQ(t, "2013-001 777");
}

TEST(PageText, Utf8PageWithTheCharsetInTheHeaderOnly) {
    const std::string page = chartPage(2013, {{2013001, {1, 2, 3}}});
    ASSERT_EQ(page.find("charset"), std::string::npos);
    const std::string t = text(page, "utf-8");
    EXPECT_NE(t.find("期号\t开奖号码\t试机号\t和值\t跨度"), std::string::npos) << t;
    EXPECT_NE(t.find("2013-001\t1\t2\t3\t4 5 6\t6\t7"), std::string::npos) << t;
}

TEST(PageText, GbkPagesAreDecodedByHeaderMetaOrGuess) {
    ChartPageOptions gbk;
    gbk.encoding = PageEncoding::Gbk;
    const std::string headerOnly = chartPage(2013, {{2013001, {1, 2, 3}}}, gbk);
    ASSERT_EQ(headerOnly.find("开奖号码"), std::string::npos) << "the bytes really are GBK";
    EXPECT_NE(text(headerOnly, "GBK").find("期号\t开奖号码"), std::string::npos);
    EXPECT_NE(text(headerOnly, "gb2312").find("开奖号码"), std::string::npos);

    gbk.metaCharset = true;
    const std::string metaOnly = chartPage(2013, {{2013001, {1, 2, 3}}}, gbk);
    EXPECT_NE(text(metaOnly).find("期号\t开奖号码"), std::string::npos);
    EXPECT_NE(text(metaOnly, "").find("福彩3D 走势图"), std::string::npos);

    // Nothing declared: not UTF-8, so read as GBK rather than Latin-1.
    EXPECT_NE(text(headerOnly).find("开奖号码"), std::string::npos);
}

TEST(PageText, TheHeaderCharsetWinsOverTheMetaTag) {
    const std::string page = "<html><head><meta charset=\"gbk\"></head><body>开奖号码</body></html>";
    EXPECT_EQ(text(page, "utf-8"), "开奖号码");
    // An unknown header charset leaves the choice to the page.
    EXPECT_EQ(text(toGbk(page), "no-such-charset"), "开奖号码");
}

TEST(PageText, CharsetsAreReadFromHeadersAndMetaTags) {
    EXPECT_EQ(charsetOfContentType("text/html; charset=GBK"), "gbk");
    EXPECT_EQ(charsetOfContentType("text/html;Charset=\"UTF-8\""), "utf-8");
    EXPECT_EQ(charsetOfContentType("text/html"), "");
    EXPECT_EQ(charsetOfContentType(""), "");
    EXPECT_EQ(charsetOfMeta("<META HTTP-EQUIV='Content-Type' CONTENT='text/html; charset=gb2312'>"),
              "gb2312");
    EXPECT_EQ(charsetOfMeta("<meta name=\"x\"><meta charset=utf-8>"), "utf-8");
    EXPECT_EQ(charsetOfMeta("<metadata charset=gbk><p>charset=gbk</p>"), "");
}

TEST(PageText, BadBytesBecomeReplacementCharactersAndReadingGoesOn) {
    const std::string gbk = toGbk("<p>开奖</p>") + "\xFF\x80<p>" + toGbk("号码") + "</p>\x81";
    EXPECT_EQ(text(gbk, "gbk"), "开奖\n\n\xEF\xBF\xBD\xEF\xBF\xBD\n\n号码\n\n\xEF\xBF\xBD");
    EXPECT_EQ(text("<p>a\xC3</p><p>\xE5\xBC\x80"
                   "b</p>",
                   "utf-8"),
              "a\xEF\xBF\xBD\n\n开b");
    EXPECT_EQ(text(std::string("<p>a\0b</p>", 10), "utf-8"), "a\xEF\xBF\xBD"
                                                             "b");
}

TEST(PageText, PagesOverTheLimitAreRefused) {
    std::string page(kMaxPageBytes, ' ');
    page.replace(0, 11, "<p>done</p>");
    EXPECT_EQ(text(page), "done");
    page.push_back(' ');
    const auto refused = pageText(page);
    ASSERT_FALSE(refused.has_value());
    EXPECT_EQ(refused.error().code, ErrorCode::Invalid);
}

TEST(PageText, HostilePagesDoNotHurt) {
    // Nesting beyond what any page uses is cut off, and what came before it is kept.
    std::string deep = "<p>2013-001 123</p>";
    for (int i = 0; i < 100000; ++i)
        deep += "<div><span>";
    deep += "2013-002 456";
    EXPECT_EQ(text(deep).substr(0, 12), "2013-001 123");

    std::string junk;
    for (int i = 0; i < 200000; ++i)
        junk += static_cast<char>((i * 7919 + 13) % 256);
    EXPECT_TRUE(pageText(junk).has_value());
    EXPECT_EQ(text(""), "");
    EXPECT_EQ(text("<table><tr><td>unclosed<td>cells<tr><td>go on"), "unclosed\tcells\ngo on");
}

namespace {

// `count` copies of `piece`, then `end`.
std::string repeated(std::string_view piece, std::size_t count, std::string_view end = {}) {
    std::string page;
    page.reserve(piece.size() * count + end.size());
    for (std::size_t i = 0; i < count; ++i)
        page += piece;
    return page += end;
}

// How much more memory `work` takes at its peak, in MiB, measured in a process of its own so
// that nothing of this one's earlier peaks counts.
long peakGrowthMiB(const std::function<void()>& work) {
    int pipe[2];
    if (::pipe(pipe) != 0)
        return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        rusage before{}, after{};
        ::getrusage(RUSAGE_SELF, &before);
        work();
        ::getrusage(RUSAGE_SELF, &after);
        const long grown = (after.ru_maxrss - before.ru_maxrss) / 1024;
        (void)!::write(pipe[1], &grown, sizeof grown);
        ::_exit(0);
    }
    ::close(pipe[1]);
    long grown = -1;
    if (::read(pipe[0], &grown, sizeof grown) != sizeof grown)
        grown = -1;
    ::close(pipe[0]);
    ::waitpid(child, nullptr, 0);
    return grown;
}

std::string tagOfAttributes(int count) {
    std::string tag = "<p";
    for (int i = 0; i < count; ++i)
        tag += " a" + std::to_string(i);
    return tag + ">x";
}

} // namespace

// Pages of up to 16 MB that would make a tree of millions of nodes, take time that grows with the
// square of a tag's attributes, or fill tables without end: each is read within its bounds, or
// given up with a message.
TEST(PageText, HostilePagesStayWithinTheirBounds) {
    const std::size_t full = kMaxPageBytes;
    struct Case {
        const char* what;
        std::string page;
        PageLimits limits;
        bool rows;
        bool read; // read to its end, or given up
    };
    const std::vector<Case> cases = {
        {"a tag of thousands of attributes", tagOfAttributes(5000), {}, false, false},
        {"tags of hundreds of attributes, slower than the time allowed",
         repeated(tagOfAttributes(250), 2000),
         {std::chrono::milliseconds(1)},
         false,
         false},
        {"table rows beyond what may be kept",
         repeated("<tr><td>1", 100'000),
         {.heldBytes = 1 << 20},
         true,
         false},
        {"paragraphs", repeated("<p>x", full / 4), {}, false, true},
        {"rows of a cell each", repeated("<tr><td>1", full / 9), {}, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_LE(c.page.size(), kMaxPageBytes);
        bool read = false;
        const auto parse = [&] {
            read = c.rows ? pageRows(c.page, "utf-8", {}, c.limits).has_value()
                          : pageText(c.page, "utf-8", c.limits).has_value();
        };
        if (c.page.size() < full / 2) {
            parse();
            EXPECT_EQ(read, c.read);
            continue;
        }
#if defined(__SANITIZE_ADDRESS__)
        continue; // the sanitizer holds freed memory back, so the peak says nothing of the reader
#endif
        // The whole page costs what its text does, not a tree of its elements (1.4 GB before).
        EXPECT_LT(peakGrowthMiB(parse), 200 - 16);
    }
    // Only the rows a chart page needs are kept: the first that names each issue.
    const auto rows = pageRows(repeated("<tr><td>2013-001<td>1<td>2<td>3", 100'000), "utf-8",
                               chartRowFilter(2013), {.heldBytes = 1 << 20});
    ASSERT_TRUE(rows) << rows.error().message;
    EXPECT_EQ(*rows, (std::vector<PageRow>{{"2013-001", "1", "2", "3"}}));
}
