// SPDX-License-Identifier: GPL-3.0-or-later
#include "SearchConditions.h"

#include "IssueNumber.h"

namespace brenvik {

namespace {

// No code of any kind takes this value, so nothing agrees with it.
constexpr int kMatchesNothing = -1;

SearchQuery baseQuery(const SearchConditions& c) {
    SearchQuery q;
    q.freePositions = c.freePositions;
    q.lastDraw = c.lastDraw;
    q.n = c.n;
    q.searchType = c.searchType;
    for (std::size_t p = 0; p < 3; ++p)
        q.pattern[p] = c.pattern[p].value_or(kMatchesNothing);
    q.rangeStart = c.rangeStart;
    q.rangeEnd = c.rangeEnd;
    return q;
}

const char* kindName(Kind kind) {
    static const char* const names[] = {"号码", "大小", "单双", "段数"};
    return names[static_cast<int>(kind)];
}

} // namespace

FollowQuery SearchConditions::followQuery() const {
    FollowQuery q{baseQuery(*this)};
    for (std::size_t p = 0; p < 3; ++p)
        q.checked[p] = checked[p] && pattern[p].has_value();
    return q;
}

CombinationQuery SearchConditions::combinationQuery() const {
    CombinationQuery q{baseQuery(*this)};
    q.size = size;
    return q;
}

std::string conditionSummary(const SearchConditions& c, int matched) {
    std::string s = c.game.empty() ? std::string() : c.game + "｜";
    s += c.combination ? "组合检索：" : "检索：";
    s += c.freePositions ? "自由位，" : "固定位，";
    s += c.lastDraw ? std::string("上期，") : "前" + std::to_string(c.n) + "期，";
    s += kindName(c.searchType);
    for (const auto& v : c.pattern)
        s += " " + (v ? std::to_string(*v) : std::string("_"));
    if (c.before)
        s += "（第 " + std::to_string(*c.before) + " 期之前）";
    if (c.combination) {
        s += "，组合位数 " + std::to_string(c.size);
    } else {
        const FollowQuery q = c.followQuery();
        std::string positions;
        for (int p = 1; p <= 3; ++p)
            if (q.checked[p - 1])
                positions += (positions.empty() ? "" : "、") + std::to_string(p);
        s += positions.empty() ? "，不比较任何位" : "，比较第" + positions + "位";
    }
    if (c.searchType == Kind::Segment || c.resultKind == Kind::Segment)
        s += c.segmentParam == 0 ? "，段数参数0~4" : "，段数参数1~5";
    s += "，期号 " + std::to_string(c.rangeStart) + "～" + std::to_string(c.rangeEnd);
    s += "｜结果：";
    s += c.group && c.resultPosition > 1 ? "第1～" + std::to_string(c.resultPosition) + "位（组选）"
                                         : "第" + std::to_string(c.resultPosition) + "位";
    s += "的";
    s += kindName(c.resultKind);
    s += "｜找到 " + groupedCount(matched) + " 期";
    return s;
}

} // namespace brenvik
