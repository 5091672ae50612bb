#pragma once

#include "DrawCodes.h"
#include "HistorySnapshot.h"

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace brenvik {

// The occurrence tokens "cXv" (count c = 1..3, value v = 0..9) a pattern string contains, one
// bit each. A search for "*cXv*" in the text is a test of one bit.
constexpr std::uint32_t tokenBit(int count, int value) {
    return std::uint32_t{1} << ((count - 1) * 10 + value);
}
inline constexpr bool tokenInMask(int count, int value) {
    return count >= 1 && count <= 3 && value >= 0 && value <= 9;
}
std::uint32_t tokenMask(std::string_view text);
// Whether `text` contains the token count, "X", value as the database's LIKE "*cXv*" would find it.
bool containsToken(std::string_view text, int count, int value);

// The history laid out column by column for the searches, built once per snapshot.
class SearchIndex {
public:
    explicit SearchIndex(SnapshotPtr snapshot);

    const HistorySnapshot& history() const { return *m_snapshot; }
    const SnapshotPtr& snapshot() const { return m_snapshot; }
    std::size_t size() const { return m_issue.size(); }

    std::int32_t issue(std::size_t row) const { return m_issue[row]; }
    const std::int16_t* codes(int position, Kind kind) const {
        return m_codes[static_cast<std::size_t>((position - 1) * kKindCount + static_cast<int>(kind))].data();
    }
    // Rows whose txtHisLst holds more than blanks: the fixed-position modes require it.
    const std::uint8_t* hasPrevious() const { return m_hasPrevious.data(); }
    // Tokens of txtHisLst... (the draw before each row) of a kind.
    const std::uint32_t* lastTokens(Kind kind) const {
        return m_lastTokens[static_cast<std::size_t>(kind)].data();
    }

    // Rows [first, last) whose issue lies in [start, end].
    std::pair<std::size_t, std::size_t> rowsInRange(std::int32_t start, std::int32_t end) const;

private:
    SnapshotPtr m_snapshot;
    std::vector<std::int32_t> m_issue;
    std::vector<std::vector<std::int16_t>> m_codes; // [position * 4 + kind][row]
    std::vector<std::uint8_t> m_hasPrevious;
    std::vector<std::vector<std::uint32_t>> m_lastTokens; // [kind][row]
};

using SearchIndexPtr = std::shared_ptr<const SearchIndex>;

} // namespace brenvik
