#pragma once

#include "DrawCodes.h"
#include "HistorySnapshot.h"

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace brenvik {

// Whether `text` contains the token count, "X", value as the database's LIKE "*cXv*" would find it.
bool containsToken(std::string_view text, int count, int value);

// The history laid out column by column for the searches. The snapshot keeps its draws in
// that form, so the index is ready as soon as the snapshot is.
class SearchIndex {
public:
    explicit SearchIndex(SnapshotPtr snapshot);

    const HistorySnapshot& history() const { return *m_snapshot; }
    const SnapshotPtr& snapshot() const { return m_snapshot; }
    std::size_t size() const { return m_snapshot->size(); }

    std::int32_t issue(std::size_t row) const { return m_snapshot->issue(row); }
    const std::int16_t* codes(int position, Kind kind) const { return m_snapshot->codes(position, kind); }
    // Rows whose txtHisLst holds more than blanks: the fixed-position modes require it.
    const std::uint8_t* hasPrevious() const { return m_snapshot->hasPrevious(); }
    // Tokens of txtHisLst... (the draw before each row) of a kind.
    const std::uint32_t* lastTokens(Kind kind) const { return m_snapshot->lastTokens(kind); }

    // Rows [first, last) whose issue lies in [start, end].
    std::pair<std::size_t, std::size_t> rowsInRange(std::int32_t start, std::int32_t end) const;

private:
    SnapshotPtr m_snapshot;
};

using SearchIndexPtr = std::shared_ptr<const SearchIndex>;

} // namespace brenvik
