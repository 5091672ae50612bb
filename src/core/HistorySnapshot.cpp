#include "HistorySnapshot.h"

#include <algorithm>

namespace brenvik {

std::optional<std::size_t> HistorySnapshot::lastAtOrBefore(std::int32_t bound) const {
    auto it = std::upper_bound(m_rows.begin(), m_rows.end(), bound,
                               [](std::int32_t b, const DrawRow& r) { return b < r.sqqh; });
    if (it == m_rows.begin())
        return std::nullopt;
    return static_cast<std::size_t>(it - m_rows.begin() - 1);
}

} // namespace brenvik
