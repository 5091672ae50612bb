#pragma once

#include "DrawRow.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

namespace brenvik {

// A read-only copy of the whole history in issue order, taken when it was loaded. It does not
// see later changes; whoever changes the history loads a new one.
class HistorySnapshot {
public:
    HistorySnapshot() = default;
    explicit HistorySnapshot(std::vector<DrawRow> rows) : m_rows(std::move(rows)) {}

    const std::vector<DrawRow>& rows() const { return m_rows; }
    std::size_t size() const { return m_rows.size(); }
    bool empty() const { return m_rows.empty(); }
    const DrawRow& operator[](std::size_t i) const { return m_rows[i]; }
    const DrawRow* first() const { return m_rows.empty() ? nullptr : &m_rows.front(); }
    const DrawRow* last() const { return m_rows.empty() ? nullptr : &m_rows.back(); }

    // Index of the newest draw whose issue number is at most `bound`.
    std::optional<std::size_t> lastAtOrBefore(std::int32_t bound) const;

private:
    std::vector<DrawRow> m_rows;
};

using SnapshotPtr = std::shared_ptr<const HistorySnapshot>;

} // namespace brenvik
