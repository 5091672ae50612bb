#include "ChartPages.h"

#include <iconv.h>

#include <cstdio>
#include <stdexcept>

namespace brenvik::test {

namespace {

std::string marker(int year, int sequence) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%03d", year, sequence);
    return buf;
}

std::string row(const std::string& mark, const std::array<int, 3>* d, ChartLayout layout) {
    const auto digit = [&](int i) { return d ? std::to_string((*d)[i]) : std::string("--"); };
    const int sum = d ? (*d)[0] + (*d)[1] + (*d)[2] : 0;
    switch (layout) {
    case ChartLayout::SeparateCells:
        return "<tr class=\"row\">\n  <td class=\"issue\"> " + mark + " </td>\n  <td>" + digit(0) +
               "</td><td> " + digit(1) + "</td><td>" + digit(2) + "\n  </td><td>" +
               (d ? std::to_string(sum) : "") + "</td><td>&nbsp;</td><td>12</td><td>3</td>\n</tr>\n";
    case ChartLayout::JoinedCell:
        return "<tr><td>" + mark + "</td><td><b>" + (d ? digit(0) + digit(1) + digit(2) : "--") +
               "</b></td><td>" + (d ? std::to_string(sum) : "") + "</td><td>40</td></tr>\n";
    case ChartLayout::SpacedDigits:
        return "<div class=\"draw\"><span>" + mark + "</span>  开奖\n  <em>" + digit(0) + " " + digit(1) +
               "&nbsp;" + digit(2) + "</em> 和值 " + std::to_string(sum) + "</div>\n";
    }
    return {};
}

} // namespace

std::string toGbk(std::string_view utf8) {
    iconv_t cd = iconv_open("GBK", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error("no GBK converter");
    std::string in(utf8);
    std::string out(in.size() * 2 + 16, '\0');
    char* inPtr = in.data();
    std::size_t inLeft = in.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    const std::size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (r == static_cast<std::size_t>(-1))
        throw std::runtime_error("text not representable in GBK");
    out.resize(out.size() - outLeft);
    return out;
}

std::string chartPage(int year, const std::vector<DrawLine>& draws, const ChartPageOptions& options) {
    const bool gbk = options.encoding == PageEncoding::Gbk;
    std::string html = "<!DOCTYPE html>\n<html>\n<head>\n";
    if (options.metaCharset)
        html += gbk ? "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">\n"
                    : "<meta charset=\"utf-8\">\n";
    const std::string y = std::to_string(year);
    html += "<title>" + y +
            "年 基本走势图</title>\n"
            "<style>.issue:before { content: \"" +
            marker(year, 1) +
            " 999\"; }</style>\n"
            "<script>var latest = \"" +
            marker(year, 1) +
            " 888\"; if (a < b && c > d) {}</script>\n"
            "</head>\n<body>\n<div id=\"top\"><h1>福彩3D 走势图</h1><p>期号范围 " +
            y + "001 至 " + y + "365</p></div>\n";
    const bool table = options.layout != ChartLayout::SpacedDigits;
    if (table)
        html += "<table id=\"chart\">\n<thead><tr><th>期号</th><th colspan=\"3\">开奖号码</th><th>和值</th>"
                "</tr></thead>\n<tbody>\n";
    for (const DrawLine& d : draws)
        html += row(marker(year, d.issue % 1000), &d.digits, options.layout);
    for (int k : options.notDrawnYet)
        html += row(marker(year, k), nullptr, options.layout);
    if (table)
        html += "</tbody>\n</table>\n";
    html += "<div class=\"foot\">数据仅供参考 &copy; 图表</div>\n</body>\n</html>\n";
    return gbk ? toGbk(html) : html;
}

std::vector<DrawLine> drawsOf(int year, int from, int to) {
    std::vector<DrawLine> d;
    for (int k = from; k <= to; ++k)
        d.push_back({year * 1000 + k, {k % 10, (k / 10) % 10, (k * 7) % 10}});
    return d;
}

} // namespace brenvik::test
