#include "Tally.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace brenvik {

std::optional<double> Tally::percent(int count) const {
    if (denominator <= 0)
        return std::nullopt;
    return static_cast<double>(count) * 100.0 / denominator;
}

std::string Tally::percentText(int count) const {
    auto p = percent(count);
    if (!p)
        return "-";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3f%%", *p);
    return buf;
}

std::string droppedNote(const Tally& tally) {
    if (tally.dropped <= 0)
        return {};
    return std::to_string(tally.dropped) +
           " 个结果不在当前段数参数的范围内，未计入（历史号码的段数是按另一个段数参数写入的）。";
}

Tally tallyOutcomes(const HistorySnapshot& history, std::span<const std::uint32_t> matched, Kind resultKind,
                    int resultPosition, bool group, int segmentParam) {
    Tally t;
    t.kind = resultKind;
    t.matched = static_cast<int>(matched.size());
    const int firstPos = group ? 1 : resultPosition;
    const int kind = static_cast<int>(resultKind);
    const int size = counterSize(resultKind);

    std::array<int, 10> counter{};
    for (int p = firstPos; p <= resultPosition; ++p) {
        const std::int16_t* codes = history.codes(p, static_cast<Kind>(kind));
        for (std::uint32_t index : matched) {
            const int code = codes[index];
            if (code >= 0 && code < size)
                ++counter[code];
        }
    }
    t.denominator = (resultPosition + 1 - firstPos) * t.matched;

    // Segments are listed from the segment parameter in force: 0..4 or 1..5.
    const int firstOutcome = resultKind == Kind::Segment ? segmentParam : 0;
    const int outcomes = resultKind == Kind::Segment ? 5 : size;
    for (int i = 0; i < outcomes; ++i) {
        const int outcome = firstOutcome + i;
        t.byOutcome.emplace_back(outcome, outcome < size ? counter[outcome] : 0);
    }
    int listed = 0;
    for (const auto& [outcome, count] : t.byOutcome)
        listed += count;
    t.dropped = t.denominator - listed;
    for (const auto& [outcome, count] : t.byOutcome)
        t.ranked.push_back({outcome, outcomeLabel(resultKind, outcome), count});
    std::stable_sort(t.ranked.begin(), t.ranked.end(),
                     [](const TallyRow& a, const TallyRow& b) { return a.count > b.count; });
    return t;
}

StoredSegments storedSegments(const HistorySnapshot& history) {
    constexpr int number = static_cast<int>(Kind::Number);
    constexpr int segment = static_cast<int>(Kind::Segment);
    // The parameter every position of `codes` agrees on, or -1.
    const auto paramOf = [](const DrawCodes& codes) {
        const int param = codes[0][segment] - codes[0][number] / 2;
        for (const DigitCodes& d : codes)
            if (d[segment] - d[number] / 2 != param)
                return -1;
        return param == 0 || param == 1 ? param : -1;
    };
    StoredSegments s;
    for (std::size_t i = 0; i < history.size(); ++i) {
        const int own = paramOf(history.ownCodes(i));
        const int before = i == 0 ? own : paramOf(history.prevCodes(i));
        if (own >= 0 && own == before)
            ++s.withParam[own];
        else
            ++s.neither;
    }
    return s;
}

} // namespace brenvik
