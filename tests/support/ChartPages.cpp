// SPDX-License-Identifier: GPL-3.0-or-later
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

std::string row(const std::string& mark, const std::array<int, 3>* d, ChartLayout layout, bool trial) {
    const auto digit = [&](int i) { return std::to_string((*d)[i]); };
    std::string cells;
    switch (layout) {
    case ChartLayout::SeparateCells:
        cells = d ? "<td>" + digit(0) + "</td><td> " + digit(1) + "</td><td>" + digit(2) + "\n  </td>"
                  : "<td></td><td>&nbsp;</td><td></td>";
        break;
    case ChartLayout::JoinedCell:
        cells = "<td><b>" + (d ? digit(0) + digit(1) + digit(2) : "待开奖") + "</b></td>";
        break;
    case ChartLayout::SpacedCell:
        cells = "<td>" + (d ? digit(0) + "&nbsp;" + digit(1) + " " + digit(2) : "") + "</td>";
        break;
    }
    const std::string sum = d ? std::to_string((*d)[0] + (*d)[1] + (*d)[2]) : "";
    return "<tr class=\"row\">\n  <td class=\"issue\"> " + mark + " </td>" + cells + "<td>" +
           (trial ? "4 5 6" : "") + "</td><td>" + sum + "</td><td>" + (d ? "7" : "") + "</td>\n</tr>\n";
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
            "</head>\n<body>\n<div id=\"top\"><h1>福彩3D 走势图</h1><h2>" +
            marker(year, 1) + "</h2><p>期号范围 " + y + "001 至 " + y +
            "365</p></div>\n"
            "<table id=\"chart\">\n<thead><tr><th>期号</th><th colspan=\"3\">开奖号码</th><th>试机号</th>"
            "<th>和值</th><th>跨度</th></tr></thead>\n<tbody>\n"
            "<tr><td><script>document.write(\"" +
            marker(year, 1) + "\")</script></td><td>8</td><td>8</td><td>8</td></tr>\n";
    for (const DrawLine& d : draws)
        html += row(marker(year, d.issue % 1000), &d.digits, options.layout, true);
    for (std::size_t i = 0; i < options.notDrawnYet.size(); ++i)
        html += row(marker(year, options.notDrawnYet[i]), nullptr, options.layout,
                    i + 1 < options.notDrawnYet.size());
    html += "</tbody>\n<tfoot><tr><td>出现次数</td><td>36</td><td>35</td><td>36</td></tr>\n"
            "<tr><td>127</td><td>3</td><td>5</td><td>8</td></tr></tfoot>\n</table>\n"
            "<div class=\"foot\">数据仅供参考 &copy; 图表</div>\n</body>\n</html>\n";
    return gbk ? toGbk(html) : html;
}

std::vector<DrawLine> drawsOf(int year, int from, int to) {
    std::vector<DrawLine> d;
    for (int k = from; k <= to; ++k)
        d.push_back({year * 1000 + k, {k % 10, (k / 10) % 10, (k * 7) % 10}});
    return d;
}

} // namespace brenvik::test
