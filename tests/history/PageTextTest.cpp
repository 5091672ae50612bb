// SPDX-License-Identifier: GPL-3.0-or-later
#include "PageText.h"
#include "ChartPages.h"

#include <gtest/gtest.h>

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
