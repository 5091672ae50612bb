#pragma once

#include "DrawRow.h"

#include <array>
#include <cstddef>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brenvik {

// A read-only copy of the whole history in issue order, taken when it was loaded. It does not
// see later changes; whoever changes the history loads a new one.
//
// The draws are kept column by column in the form the searches and grids read them: issue,
// the codes of each position and kind, whether the row names a draw before it and the
// occurrence tokens of that draw's pattern strings. The stored text columns are made from the
// codes when asked for. A row whose stored columns do not follow from the draws before it (as
// the program writes them) is kept whole, so every row reads back as it was given.
class HistorySnapshot : public std::enable_shared_from_this<HistorySnapshot> {
public:
    HistorySnapshot() = default;
    explicit HistorySnapshot(const std::vector<DrawRow>& rows);

    std::size_t size() const { return m_issue.size(); }
    bool empty() const { return m_issue.empty(); }
    // The row as stored, made from the columns.
    DrawRow operator[](std::size_t i) const { return row(i); }
    DrawRow row(std::size_t i) const;
    const DrawRow* first() const { return empty() ? nullptr : &m_first; }
    const DrawRow* last() const { return empty() ? nullptr : &m_last; }

    // Every row in issue order, each made when it is read. The range keeps a snapshot held by a
    // shared pointer alive.
    class Rows;
    Rows rows() const;

    // Index of the newest draw whose issue number is at most `bound`.
    std::optional<std::size_t> lastAtOrBefore(std::int32_t bound) const;

    // Columns, row by row in issue order.
    std::int32_t issue(std::size_t i) const { return m_issue[i]; }
    const std::int32_t* issues() const { return m_issue.data(); }
    int digit(std::size_t i, int position) const { return codes(position, Kind::Number)[i]; }
    std::array<int, 3> digits(std::size_t i) const { return {digit(i, 1), digit(i, 2), digit(i, 3)}; }
    DrawCodes ownCodes(std::size_t i) const;
    // The stored codes of the draw before a row ("S" columns).
    DrawCodes prevCodes(std::size_t i) const;
    const std::int16_t* codes(int position, Kind kind) const {
        return m_codes[static_cast<std::size_t>((position - 1) * kKindCount + static_cast<int>(kind))].data();
    }
    // Rows whose txtHisLst holds more than blanks.
    const std::uint8_t* hasPrevious() const { return m_hasPrevious.data(); }
    // Tokens of the txtHisLst... pattern string of a kind (the draw before each row).
    const std::uint32_t* lastTokens(Kind kind) const {
        return m_lastTokens[static_cast<std::size_t>(kind)].data();
    }
    // One text of txtHisLst... (`pre` false) or txtHisPreLst... (`pre` true) of a row; slot as
    // in Summaries.
    std::string summaryText(std::size_t i, int slot, bool pre) const;

    // Builds a snapshot row by row, in issue order.
    class Builder {
    public:
        explicit Builder(std::size_t expected = 0);
        // Adds a row as the program writes it: the codes before it are those of the rows before,
        // its texts are made from them. `lastDigits`/`preDigits` are the stored digits texts of
        // the draws it names (txtHisLst, txtHisPreLst). Returns false, adding nothing, when the
        // row does not follow that form; it must then be added whole.
        bool addDerived(std::int32_t issue, std::int32_t qqh, const DrawCodes& own, const DrawCodes& prev,
                        const DrawCodes& back, std::string_view lastDigits, std::string_view preDigits);
        // The same for a row after the second, whose codes of the draws before it are taken to be
        // those of the rows before it when its digits texts name them.
        bool addFollowing(std::int32_t issue, const DrawCodes& own, std::string_view lastDigits,
                          std::string_view preDigits);
        void add(const DrawRow& row);
        std::shared_ptr<const HistorySnapshot> finish();

    private:
        std::unique_ptr<HistorySnapshot> m_snapshot;
    };

private:
    enum : std::uint8_t { kHasLast = 1, kHasPre = 2, kWhole = 4 };
    DrawCodes codesBefore(std::size_t i, std::size_t back) const;
    void push(std::int32_t issue, const DrawCodes& own, std::uint8_t flags);
    std::size_t wholeIndex(std::size_t i) const;

    std::vector<std::int32_t> m_issue;
    std::array<std::vector<std::int16_t>, kPositions * kKindCount> m_codes; // [position * 4 + kind]
    std::vector<std::uint8_t> m_hasPrevious;
    std::array<std::vector<std::uint32_t>, kKindCount> m_lastTokens;
    std::vector<std::uint8_t> m_flags;
    std::vector<std::uint32_t> m_wholeRows; // rows kept whole, ascending
    std::vector<DrawRow> m_whole;
    DrawRow m_first, m_last;
};

class HistorySnapshot::Rows {
public:
    class iterator {
    public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = DrawRow;
        using difference_type = std::ptrdiff_t;
        using reference = DrawRow;
        using pointer = void;

        iterator() = default;
        iterator(const HistorySnapshot* s, std::size_t i) : m_s(s), m_i(i) {}
        DrawRow operator*() const { return m_s->row(m_i); }
        DrawRow operator[](difference_type n) const { return m_s->row(m_i + static_cast<std::size_t>(n)); }
        iterator& operator++() { return ++m_i, *this; }
        iterator operator++(int) { auto t = *this; ++m_i; return t; }
        iterator& operator--() { return --m_i, *this; }
        iterator operator--(int) { auto t = *this; --m_i; return t; }
        iterator& operator+=(difference_type n) { return m_i += static_cast<std::size_t>(n), *this; }
        iterator& operator-=(difference_type n) { return m_i -= static_cast<std::size_t>(n), *this; }
        friend iterator operator+(iterator a, difference_type n) { return a += n; }
        friend iterator operator+(difference_type n, iterator a) { return a += n; }
        friend iterator operator-(iterator a, difference_type n) { return a -= n; }
        friend difference_type operator-(const iterator& a, const iterator& b) {
            return static_cast<difference_type>(a.m_i) - static_cast<difference_type>(b.m_i);
        }
        friend bool operator==(const iterator& a, const iterator& b) { return a.m_i == b.m_i; }
        friend auto operator<=>(const iterator& a, const iterator& b) { return a.m_i <=> b.m_i; }
        std::size_t index() const { return m_i; }

    private:
        const HistorySnapshot* m_s = nullptr;
        std::size_t m_i = 0;
    };
    using const_iterator = iterator;

    explicit Rows(const HistorySnapshot& s) : m_keep(s.weak_from_this().lock()), m_s(&s) {}
    iterator begin() const { return {m_s, 0}; }
    iterator end() const { return {m_s, m_s->size()}; }
    std::size_t size() const { return m_s->size(); }
    bool empty() const { return m_s->empty(); }
    DrawRow operator[](std::size_t i) const { return m_s->row(i); }
    const HistorySnapshot& snapshot() const { return *m_s; }
    DrawRow front() const { return m_s->row(0); }
    DrawRow back() const { return m_s->row(size() - 1); }
    // Every row made at once, for code that wants them side by side.
    operator std::vector<DrawRow>() const { return {begin(), end()}; }

private:
    std::shared_ptr<const HistorySnapshot> m_keep;
    const HistorySnapshot* m_s;
};

inline HistorySnapshot::Rows HistorySnapshot::rows() const {
    return Rows(*this);
}

using SnapshotPtr = std::shared_ptr<const HistorySnapshot>;

// The occurrence tokens "cXv" (count c = 1..3, value v = 0..9) a pattern string contains, one
// bit each. A search for "*cXv*" in the text is a test of one bit.
constexpr std::uint32_t tokenBit(int count, int value) {
    return std::uint32_t{1} << ((count - 1) * 10 + value);
}
inline constexpr bool tokenInMask(int count, int value) {
    return count >= 1 && count <= 3 && value >= 0 && value <= 9;
}
std::uint32_t tokenMask(std::string_view text);

// The occurrence tokens of the pattern string of a kind for a draw's codes, as tokenMask reads
// them from patternString(codes, kind).
std::uint32_t patternTokens(const DrawCodes& codes, Kind kind);

} // namespace brenvik
