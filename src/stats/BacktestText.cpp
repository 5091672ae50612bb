// SPDX-License-Identifier: GPL-3.0-or-later
#include "BacktestText.h"

#include "IssueNumber.h"

#include <algorithm>
#include <cstdio>

namespace brenvik::stats {

namespace {

std::string formatted(const char* format, double value) {
    char buf[48];
    std::snprintf(buf, sizeof buf, format, value);
    return buf;
}

const char* kindName(Kind kind) {
    static const char* const names[] = {"号码", "大小", "单双", "段数"};
    const int i = static_cast<int>(kind);
    return i >= 0 && i < 4 ? names[i] : "?";
}

} // namespace

BacktestOptions backtestOptionsOf(const SearchConditions& c) {
    BacktestOptions o;
    o.freePositions = c.freePositions;
    o.lastDraw = c.lastDraw;
    o.n = c.lastDraw ? 1 : c.n;
    o.searchType = c.searchType;
    o.checked = c.checked;
    o.resultKind = c.resultKind;
    o.resultPosition = c.resultPosition;
    o.segmentParam = c.segmentParam;
    return o;
}

std::string percentText(double share) {
    return formatted("%.1f%%", share * 100);
}

std::string backtestConditions(const std::string& game, const BacktestOptions& o) {
    std::string s = game.empty() ? std::string() : game + "｜";
    s += "回测：";
    s += o.freePositions ? "自由位，" : "固定位，";
    s += o.lastDraw ? std::string("上期，") : "前" + std::to_string(o.n) + "期，";
    s += kindName(o.searchType);
    std::string positions;
    for (int p = 1; p <= 3; ++p)
        if (o.checked[static_cast<std::size_t>(p - 1)])
            positions += (positions.empty() ? "" : "、") + std::to_string(p);
    s += positions.empty() ? "，不比较任何位" : "，比较第" + positions + "位";
    if (o.searchType == Kind::Segment || o.resultKind == Kind::Segment)
        s += o.segmentParam == 0 ? "，段数参数0~4" : "，段数参数1~5";
    s += "｜结果：第" + std::to_string(o.resultPosition) + "位的" + kindName(o.resultKind);
    return s;
}

std::string backtestSummary(const BacktestResult& r, int picks) {
    std::string s = "回测 " + groupedCount(r.targets) + " 期，每期取前 " + std::to_string(picks) + " 个，";
    if (r.predictions == 0) {
        s += "没有一期找得到可作预测的历史";
    } else {
        s += "有预测 " + groupedCount(r.predictions) + " 期，命中 " + groupedCount(r.hits) + " 期，命中率 " +
             percentText(r.rate) + "（95%区间 " + formatted("%.1f", r.low95 * 100) + "–" +
             percentText(r.high95) + "），随机期望 " + percentText(r.chance) + "，";
        s += r.p < 0.001 ? std::string("p<0.001") : formatted("p=%.3g", r.p);
    }
    if (!r.twins.empty()) {
        const auto [low, high] = std::ranges::minmax_element(
            r.twins, [](const TwinRun& a, const TwinRun& b) { return a.rate < b.rate; });
        s += "；随机对照 " + groupedCount(static_cast<long long>(r.twins.size())) + " 组（种子 " +
             std::to_string(r.seed) + "）命中率 " + formatted("%.1f", low->rate * 100) + "–" +
             percentText(high->rate) + "，实际排第 " + std::to_string(r.rank) + " 名";
    }
    return s + "。";
}

std::string patternText(const BacktestRow& row) {
    if (!row.pattern)
        return "-";
    const Pattern& p = *row.pattern;
    return std::to_string(p[0]) + " " + std::to_string(p[1]) + " " + std::to_string(p[2]);
}

std::string picksText(const BacktestRow& row, Kind resultKind) {
    if (row.verdict == Verdict::NoPrediction)
        return "-";
    std::string s;
    for (const std::int8_t pick : row.picked())
        s += (s.empty() ? "" : " ") + outcomeLabel(resultKind, pick);
    return s;
}

std::string verdictText(Verdict verdict) {
    return verdict == Verdict::Hit ? "中" : verdict == Verdict::Miss ? "未中" : "-";
}

} // namespace brenvik::stats
