#pragma once

#include "SearchIndex.h"

#include <cstdint>
#include <optional>
#include <string>

namespace brenvik {

// What the searches compare each row with: the draw before it ("上期"), or the draw N before it
// (N-back mode), whose columns both searches rebuild before comparing. Rows are indices into the
// history in issue order.
class EarlierDraw {
public:
    // `n` (1..9) only matters when `lastDraw` is false.
    EarlierDraw(const SearchIndex& index, bool lastDraw, int n)
        : m_index(index), m_lastDraw(lastDraw), m_n(n) {}

    const SearchIndex& index() const { return m_index; }
    bool lastDraw() const { return m_lastDraw; }
    int n() const { return m_n; }

    // Tokens of the earlier draw's pattern string of a kind, for row j. In N-back mode row j
    // takes the "上期" string of row j - N + 1 (which describes draw j - N); rows 1..N-2 get an
    // empty string and the first row keeps what is stored.
    std::uint32_t tokens(std::size_t j, Kind kind) const;
    // The same string as text, for tokens a mask cannot hold.
    std::string tokenText(std::size_t j, Kind kind) const;

    // The earlier draw's code at a position, as the fixed-position modes compare it; nothing when
    // the row has no such draw and so can never match. In "上期" mode the first row has no draw
    // before it: the follow search compares 0 there, the combination search what is stored.
    std::optional<int> code(std::size_t j, int position, Kind kind, bool storedFirstRow) const;

    // The digits of the earlier draw, as the matched-draws grid shows them.
    std::string digits(std::size_t j) const;

private:
    // Row whose "上期" columns describe the earlier draw of row j in N-back mode; nothing for
    // rows 1..N-2 (empty) and -1 for the first row when it keeps its stored N-back columns.
    std::ptrdiff_t sourceRow(std::size_t j) const;

    const SearchIndex& m_index;
    bool m_lastDraw;
    int m_n;
};

} // namespace brenvik
