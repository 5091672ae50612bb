#include "EarlierDraw.h"

namespace brenvik {

namespace {
constexpr std::ptrdiff_t kEmpty = -2;
constexpr std::ptrdiff_t kStoredFirst = -1;
} // namespace

std::ptrdiff_t EarlierDraw::sourceRow(std::size_t j) const {
    if (m_lastDraw)
        return static_cast<std::ptrdiff_t>(j);
    const auto row = static_cast<std::ptrdiff_t>(j);
    if (row >= m_n - 1)
        return row - (m_n - 1);
    return row == 0 ? kStoredFirst : kEmpty;
}

std::uint32_t EarlierDraw::tokens(std::size_t j, Kind kind) const {
    const std::ptrdiff_t src = sourceRow(j);
    if (src >= 0)
        return m_index.lastTokens(kind)[src];
    if (src == kStoredFirst)
        return tokenMask(m_index.history().summaryText(0, summarySlot(kind), true));
    return 0;
}

std::string EarlierDraw::tokenText(std::size_t j, Kind kind) const {
    const std::ptrdiff_t src = sourceRow(j);
    const int slot = summarySlot(kind);
    if (src >= 0)
        return m_index.history().summaryText(static_cast<std::size_t>(src), slot, false);
    if (src == kStoredFirst)
        return m_index.history().summaryText(0, slot, true);
    return {};
}

std::optional<int> EarlierDraw::code(std::size_t j, int position, Kind kind, bool storedFirstRow) const {
    if (m_lastDraw) {
        if (j == 0)
            return storedFirstRow ? m_index.history().first()->prev[position - 1][static_cast<int>(kind)] : 0;
        return m_index.codes(position, kind)[j - 1];
    }
    // A draw with fewer than N draws before it has nothing N back to compare.
    if (j < static_cast<std::size_t>(m_n))
        return std::nullopt;
    return m_index.codes(position, kind)[j - static_cast<std::size_t>(m_n)];
}

std::string EarlierDraw::digits(std::size_t j) const {
    if (m_lastDraw)
        return m_index.history().summaryText(j, 0, false);
    const std::ptrdiff_t src = sourceRow(j);
    if (src >= 0)
        return m_index.history().summaryText(static_cast<std::size_t>(src), 0, false);
    if (src == kStoredFirst)
        return m_index.history().summaryText(0, 0, true);
    return {};
}

} // namespace brenvik
