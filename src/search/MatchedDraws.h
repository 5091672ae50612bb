#pragma once

#include "SearchIndex.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace brenvik {

// A draw a search selected, as the matched-draws list shows it: its issue, its codes of the
// result kind, and the digits of the earlier draw the search compared.
struct MatchedRow {
    std::int32_t issue = 0;
    std::array<std::int16_t, 3> codes{};
    std::string earlier;
};

// The selected draws as the list shows them, each row made when it is asked for: a search that
// selects most of a million draws does not build a million rows to show a screenful.
class MatchedDraws {
public:
    MatchedDraws() = default;
    MatchedDraws(SearchIndexPtr index, std::vector<std::uint32_t> rows, Kind resultKind, bool lastDraw, int n)
        : m_index(std::move(index)), m_rows(std::move(rows)), m_resultKind(resultKind), m_lastDraw(lastDraw),
          m_n(n) {}

    std::size_t size() const { return m_rows.size(); }
    MatchedRow row(std::size_t i) const;

private:
    SearchIndexPtr m_index;
    std::vector<std::uint32_t> m_rows;
    Kind m_resultKind = Kind::Number;
    bool m_lastDraw = true;
    int m_n = 1;
};

// The rows of the selected draws; `lastDraw` and `n` say which earlier draw was compared (the
// draw before, or the draw N before).
std::vector<MatchedRow> matchedRowsOf(const SearchIndex& index, const std::vector<std::uint32_t>& rows,
                                      Kind resultKind, bool lastDraw, int n);

} // namespace brenvik
