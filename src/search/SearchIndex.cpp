#include "SearchIndex.h"

#include <algorithm>

namespace brenvik {

bool containsToken(std::string_view text, int count, int value) {
    // LIKE compares case-insensitively, so "x" stands for "X" as well.
    const std::string c = std::to_string(count);
    const std::string v = std::to_string(value);
    const std::size_t len = c.size() + 1 + v.size();
    for (std::size_t i = 0; i + len <= text.size(); ++i) {
        if (text.compare(i, c.size(), c) != 0)
            continue;
        const char x = text[i + c.size()];
        if ((x == 'X' || x == 'x') && text.compare(i + c.size() + 1, v.size(), v) == 0)
            return true;
    }
    return false;
}

SearchIndex::SearchIndex(SnapshotPtr snapshot)
    : m_snapshot(snapshot ? std::move(snapshot) : std::make_shared<const HistorySnapshot>()) {}

std::pair<std::size_t, std::size_t> SearchIndex::rowsInRange(std::int32_t start, std::int32_t end) const {
    if (start > end)
        return {0, 0};
    const std::int32_t* begin = m_snapshot->issues();
    const std::int32_t* stop = begin + m_snapshot->size();
    const auto first = std::lower_bound(begin, stop, start);
    const auto last = std::upper_bound(first, stop, end);
    return {static_cast<std::size_t>(first - begin), static_cast<std::size_t>(last - begin)};
}

} // namespace brenvik
