#include "HistorySnapshot.h"

#include <algorithm>

namespace brenvik {

std::uint32_t tokenMask(std::string_view text) {
    std::uint32_t mask = 0;
    for (std::size_t i = 0; i + 2 < text.size(); ++i) {
        const char c = text[i];
        const char x = text[i + 1];
        const char v = text[i + 2];
        if (c >= '1' && c <= '3' && (x == 'X' || x == 'x') && v >= '0' && v <= '9')
            mask |= tokenBit(c - '0', v - '0');
    }
    return mask;
}

std::uint32_t patternTokens(const DrawCodes& codes, Kind kind) {
    const int k = static_cast<int>(kind);
    std::uint32_t mask = 0;
    for (int i = 0; i < kPositions; ++i) {
        const int c = codes[i][k];
        int seen = 1;
        for (int j = 0; j < i; ++j)
            seen += codes[j][k] == c;
        if (c >= 0 && c <= 9)
            mask |= tokenBit(seen, c);
        else
            mask |= tokenMask(patternString(codes, kind)); // codes of more than one digit
    }
    return mask;
}

namespace {

bool blank(std::string_view text) {
    return text.find_first_not_of(' ') == std::string_view::npos;
}

// The digits text of a draw's codes, without building a string.
bool isDigitsText(std::string_view text, const DrawCodes& codes) {
    if (text.size() != 3)
        return text == digitsText(codes);
    for (int p = 0; p < kPositions; ++p)
        if (codes[p][0] < 0 || codes[p][0] > 9 || text[static_cast<std::size_t>(p)] != '0' + codes[p][0])
            return false;
    return true;
}

} // namespace

HistorySnapshot::HistorySnapshot(const std::vector<DrawRow>& rows) {
    Builder b(rows.size());
    for (const DrawRow& r : rows)
        b.add(r);
    *this = std::move(*std::const_pointer_cast<HistorySnapshot>(b.finish()));
}

DrawCodes HistorySnapshot::ownCodes(std::size_t i) const {
    DrawCodes c;
    for (int p = 0; p < kPositions; ++p)
        for (int k = 0; k < kKindCount; ++k)
            c[p][k] = m_codes[static_cast<std::size_t>(p * kKindCount + k)][i];
    return c;
}

DrawCodes HistorySnapshot::prevCodes(std::size_t i) const {
    return (m_flags[i] & kWhole) ? m_whole[wholeIndex(i)].prev : codesBefore(i, 1);
}

// The codes of the row `back` rows before row i, as the program writes the codes of the draws
// before a row; zero before the first row.
DrawCodes HistorySnapshot::codesBefore(std::size_t i, std::size_t back) const {
    return i >= back ? ownCodes(i - back) : DrawCodes{};
}

std::size_t HistorySnapshot::wholeIndex(std::size_t i) const {
    const auto it = std::lower_bound(m_wholeRows.begin(), m_wholeRows.end(), static_cast<std::uint32_t>(i));
    return static_cast<std::size_t>(it - m_wholeRows.begin());
}

DrawRow HistorySnapshot::row(std::size_t i) const {
    if (m_flags[i] & kWhole)
        return m_whole[wholeIndex(i)];
    DrawRow r;
    r.sqqh = m_issue[i];
    r.qqh = r.sqqh + 1;
    r.own = ownCodes(i);
    r.prev = codesBefore(i, 1);
    r.back = codesBefore(i, 2);
    if (m_flags[i] & kHasLast)
        r.last = summariesOf(r.prev);
    if (m_flags[i] & kHasPre)
        r.pre = summariesOf(r.back);
    return r;
}

std::string HistorySnapshot::summaryText(std::size_t i, int slot, bool pre) const {
    if (m_flags[i] & kWhole) {
        const DrawRow& r = m_whole[wholeIndex(i)];
        return (pre ? r.pre : r.last)[static_cast<std::size_t>(slot)];
    }
    if (!(m_flags[i] & (pre ? kHasPre : kHasLast)))
        return {};
    const DrawCodes codes = codesBefore(i, pre ? 2 : 1);
    return slot == 0 ? digitsText(codes) : patternString(codes, static_cast<Kind>(slot - 1));
}

std::optional<std::size_t> HistorySnapshot::lastAtOrBefore(std::int32_t bound) const {
    auto it = std::upper_bound(m_issue.begin(), m_issue.end(), bound);
    if (it == m_issue.begin())
        return std::nullopt;
    return static_cast<std::size_t>(it - m_issue.begin() - 1);
}

void HistorySnapshot::push(std::int32_t issue, const DrawCodes& own, std::uint8_t flags) {
    m_issue.push_back(issue);
    for (int p = 0; p < kPositions; ++p)
        for (int k = 0; k < kKindCount; ++k)
            m_codes[static_cast<std::size_t>(p * kKindCount + k)].push_back(own[p][k]);
    m_flags.push_back(flags);
}

HistorySnapshot::Builder::Builder(std::size_t expected) : m_snapshot(std::make_unique<HistorySnapshot>()) {
    auto& s = *m_snapshot;
    s.m_issue.reserve(expected);
    for (auto& c : s.m_codes)
        c.reserve(expected);
    s.m_hasPrevious.reserve(expected);
    for (auto& t : s.m_lastTokens)
        t.reserve(expected);
    s.m_flags.reserve(expected);
}

bool HistorySnapshot::Builder::addDerived(std::int32_t issue, std::int32_t qqh, const DrawCodes& own,
                                          const DrawCodes& prev, const DrawCodes& back,
                                          std::string_view lastDigits, std::string_view preDigits) {
    auto& s = *m_snapshot;
    const std::size_t i = s.size();
    if (qqh != issue + 1 || prev != s.codesBefore(i, 1) || back != s.codesBefore(i, 2))
        return false;
    std::uint8_t flags = 0;
    if (!lastDigits.empty()) {
        if (!isDigitsText(lastDigits, prev))
            return false;
        flags |= kHasLast;
    }
    if (!preDigits.empty()) {
        if (!isDigitsText(preDigits, back))
            return false;
        flags |= kHasPre;
    }
    s.push(issue, own, flags);
    const bool hasLast = flags & kHasLast;
    s.m_hasPrevious.push_back(hasLast && !blank(lastDigits));
    for (int k = 0; k < kKindCount; ++k)
        s.m_lastTokens[static_cast<std::size_t>(k)].push_back(hasLast ? patternTokens(prev, static_cast<Kind>(k))
                                                                      : 0);
    return true;
}

bool HistorySnapshot::Builder::addFollowing(std::int32_t issue, const DrawCodes& own, std::string_view lastDigits,
                                            std::string_view preDigits) {
    auto& s = *m_snapshot;
    const std::size_t i = s.size();
    if (i < 2)
        return false;
    std::uint8_t flags = 0;
    if (!lastDigits.empty()) {
        for (int p = 0; p < kPositions; ++p)
            if (lastDigits.size() != 3 || lastDigits[static_cast<std::size_t>(p)] != '0' + s.m_codes[static_cast<std::size_t>(p * kKindCount)][i - 1])
                return false;
        flags |= kHasLast;
    }
    if (!preDigits.empty()) {
        for (int p = 0; p < kPositions; ++p)
            if (preDigits.size() != 3 || preDigits[static_cast<std::size_t>(p)] != '0' + s.m_codes[static_cast<std::size_t>(p * kKindCount)][i - 2])
                return false;
        flags |= kHasPre;
    }
    // The tokens of the draw before, made from its codes as its pattern strings are.
    std::array<std::uint32_t, kKindCount> tokens{};
    if (flags & kHasLast)
        for (int k = 0; k < kKindCount; ++k) {
            const std::int16_t a = s.m_codes[static_cast<std::size_t>(k)][i - 1];
            const std::int16_t b = s.m_codes[static_cast<std::size_t>(kKindCount + k)][i - 1];
            const std::int16_t c = s.m_codes[static_cast<std::size_t>(2 * kKindCount + k)][i - 1];
            if (a < 0 || a > 9 || b < 0 || b > 9 || c < 0 || c > 9)
                return false;
            tokens[static_cast<std::size_t>(k)] =
                tokenBit(1, a) | tokenBit(b == a ? 2 : 1, b) | tokenBit(1 + (c == a) + (c == b), c);
        }
    s.push(issue, own, flags);
    s.m_hasPrevious.push_back(flags & kHasLast);
    for (int k = 0; k < kKindCount; ++k)
        s.m_lastTokens[static_cast<std::size_t>(k)].push_back(tokens[static_cast<std::size_t>(k)]);
    return true;
}

void HistorySnapshot::Builder::add(const DrawRow& r) {
    auto& s = *m_snapshot;
    const std::size_t i = s.size();
    const Summaries none{};
    const bool lastDerived = r.last == none || r.last == summariesOf(r.prev);
    const bool preDerived = r.pre == none || r.pre == summariesOf(r.back);
    if (r.strQQH.empty() && lastDerived && preDerived &&
        addDerived(r.sqqh, r.qqh, r.own, r.prev, r.back, r.last[0], r.pre[0]))
        return;
    s.push(r.sqqh, r.own, kWhole);
    s.m_hasPrevious.push_back(!blank(r.last[0]));
    for (int k = 0; k < kKindCount; ++k)
        s.m_lastTokens[static_cast<std::size_t>(k)].push_back(tokenMask(r.last[static_cast<std::size_t>(1 + k)]));
    s.m_wholeRows.push_back(static_cast<std::uint32_t>(i));
    s.m_whole.push_back(r);
}

std::shared_ptr<const HistorySnapshot> HistorySnapshot::Builder::finish() {
    auto& s = *m_snapshot;
    if (!s.empty()) {
        s.m_first = s.row(0);
        s.m_last = s.row(s.size() - 1);
    }
    return std::shared_ptr<const HistorySnapshot>(std::move(m_snapshot));
}

} // namespace brenvik
