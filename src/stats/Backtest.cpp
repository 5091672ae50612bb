#include "Backtest.h"

#include "Chance.h"
#include "FollowSearch.h"
#include "IssueNumber.h"

#include <algorithm>
#include <bit>
#include <numeric>
#include <string>
#include <unordered_map>

namespace brenvik::stats {

namespace {

constexpr std::size_t kCheckEvery = 4096;

// Outcomes a tally lists for a kind: ten digits, two halves, or five segments from the
// segment parameter on.
int listedOutcomes(Kind kind) {
    return kind == Kind::Segment ? 5 : counterSize(kind);
}

// The columns a backtest reads of one history, the real one or a twin.
struct Series {
    std::array<const std::int16_t*, 3> codes{}; // own codes of the search kind, positions 1..3
    const std::int16_t* outcome = nullptr;      // own code of the result kind at the result position
    const std::uint8_t* hasPrevious = nullptr;
    const std::uint32_t* lastTokens = nullptr; // of the search kind
};

Series seriesOf(const SearchIndex& index, const BacktestOptions& o) {
    Series s;
    for (int p = 1; p <= 3; ++p)
        s.codes[static_cast<std::size_t>(p - 1)] = index.codes(p, o.searchType);
    s.outcome = index.codes(o.resultPosition, o.resultKind);
    s.hasPrevious = index.hasPrevious();
    s.lastTokens = index.lastTokens(o.searchType);
    return s;
}

// The token mask of a draw's pattern string, straight from its codes (all single digits).
std::uint32_t tokensOf(const DrawCodes& codes, Kind kind) {
    std::array<int, 10> seen{};
    std::uint32_t mask = 0;
    for (const DigitCodes& c : codes) {
        const int v = c[static_cast<std::size_t>(kind)];
        mask |= tokenBit(++seen[static_cast<std::size_t>(v)], v);
    }
    return mask;
}

// The columns of the random twins, one twin at a time. A twin is derived as if its draws had
// been imported into an empty history, each draw with the segment parameter its real
// counterpart was stored with, so that a history stored under both parameters meets the same
// segment codes in its twins.
class TwinSeries {
public:
    TwinSeries(const SearchIndex& index, const BacktestOptions& o)
        : m_options(o), m_segment(index.size()), m_outcome(index.size()), m_hasPrevious(index.size()),
          m_lastTokens(index.size()) {
        for (auto& c : m_codes)
            c.resize(index.size());
        for (std::size_t i = 0; i < index.size(); ++i) {
            const DrawCodes own = index.history().ownCodes(i);
            const int param = own[0][3] - own[0][0] / 2;
            m_segment[i] = static_cast<std::int8_t>(param == 0 || param == 1 ? param : o.segmentParam);
        }
    }

    Series next(TwinDigits& digits) {
        const auto kind = static_cast<std::size_t>(m_options.searchType);
        const auto resultKind = static_cast<std::size_t>(m_options.resultKind);
        const auto resultPosition = static_cast<std::size_t>(m_options.resultPosition - 1);
        DrawCodes previous{};
        for (std::size_t i = 0; i < m_segment.size(); ++i) {
            const std::array<int, 3> d{digits.next(), digits.next(), digits.next()};
            const DrawCodes codes = codesOfDraw(d, m_segment[i]);
            for (std::size_t p = 0; p < 3; ++p)
                m_codes[p][i] = codes[p][kind];
            m_outcome[i] = codes[resultPosition][resultKind];
            m_hasPrevious[i] = i > 0;
            m_lastTokens[i] = i > 0 ? tokensOf(previous, m_options.searchType) : 0;
            previous = codes;
        }
        Series s;
        for (std::size_t p = 0; p < 3; ++p)
            s.codes[p] = m_codes[p].data();
        s.outcome = m_outcome.data();
        s.hasPrevious = m_hasPrevious.data();
        s.lastTokens = m_lastTokens.data();
        return s;
    }

private:
    const BacktestOptions& m_options;
    std::vector<std::int8_t> m_segment;
    std::array<std::vector<std::int16_t>, 3> m_codes;
    std::vector<std::int16_t> m_outcome;
    std::vector<std::uint8_t> m_hasPrevious;
    std::vector<std::uint32_t> m_lastTokens;
};

// The codes of the earlier draw that a search compares, at the checked positions (fixed
// positions) or as an ascending sub-multiset (free positions).
using Key = std::array<int, 3>;

// Outcome counts and the number of matched draws, per key of the earlier draw. Keys of digits
// get fixed slots; anything else (a code the derivation never writes) is numbered on first sight.
class KeyCounts {
public:
    explicit KeyCounts(int outcomes) : m_stride(static_cast<std::size_t>(outcomes) + 1) { reset(); }

    void reset() {
        m_counts.assign(kDense * m_stride, 0);
        m_other.clear();
    }

    int* at(const Key& key) {
        if (key[0] >= 0 && key[0] < 10 && key[1] >= 0 && key[1] < 10 && key[2] >= 0 && key[2] < 10)
            return &m_counts[static_cast<std::size_t>(key[0] * 100 + key[1] * 10 + key[2]) * m_stride];
        const std::uint64_t packed = static_cast<std::uint16_t>(key[0]) |
                                     std::uint64_t{static_cast<std::uint16_t>(key[1])} << 16 |
                                     std::uint64_t{static_cast<std::uint16_t>(key[2])} << 32;
        const auto [it, added] = m_other.try_emplace(packed, m_counts.size() / m_stride);
        if (added)
            m_counts.resize(m_counts.size() + m_stride, 0);
        return &m_counts[it->second * m_stride];
    }

private:
    static constexpr std::size_t kDense = 1000;
    std::size_t m_stride;
    std::vector<int> m_counts;
    std::unordered_map<std::uint64_t, std::size_t> m_other;
};

struct Counted {
    long long predictions = 0;
    long long hits = 0;
};

// One pass over the targets of a history. The search of a target selects, among the draws of its
// range, those whose earlier draw has the pattern's key; its range always begins at the same draw
// and ends at the draw before the target, so the counts per key of the draws added so far answer
// it, and every draw is added once.
class Walk {
public:
    // `runs`: the real history and its twins, for the progress.
    Walk(const SearchIndex& index, const BacktestOptions& o, const BacktestControl& control, std::size_t runs)
        : m_index(index), m_o(o), m_control(control), m_searchSize(counterSize(o.searchType)),
          m_resultSize(counterSize(o.resultKind)), m_back(o.lastDraw ? 0 : o.n - 1), m_counts(m_resultSize) {
        for (std::size_t p = 0; p < 3; ++p)
            if (o.checked[p])
                m_positions[static_cast<std::size_t>(m_k++)] = p;
        m_rangeStart = rangeStart(index.issue(0), o.lastDraw, o.n);
        m_rangeFirst = rowsUpTo(m_rangeStart - 1);
        const auto [first, last] = index.rowsInRange(o.targetStart.value_or(index.issue(0)),
                                                     o.targetEnd.value_or(index.issue(index.size() - 1)));
        m_targetFirst = first;
        // The draw before a target is the newest one at or before "the issue before" it. That is
        // nearly always the stored draw before it, but a year's end can move it further back, past
        // draws that later targets see again; the targets are then taken in the order of their
        // draws before.
        m_reached.resize(last - first);
        for (std::size_t i = 0; i < m_reached.size(); ++i) {
            const std::size_t t = first + i;
            const std::int32_t bound = issueBefore(index.issue(t));
            if (t > 0 && index.issue(t - 1) <= bound)
                m_reached[i] = static_cast<std::ptrdiff_t>(t) - 1;
            else
                m_reached[i] = static_cast<std::ptrdiff_t>(rowsUpTo(bound)) - 1;
        }
        m_order.resize(m_reached.size());
        std::iota(m_order.begin(), m_order.end(), 0u);
        if (!std::is_sorted(m_reached.begin(), m_reached.end()))
            std::stable_sort(m_order.begin(), m_order.end(),
                             [&](std::uint32_t a, std::uint32_t b) { return m_reached[a] < m_reached[b]; });
        m_total = m_reached.size() * runs;
    }

    std::size_t targets() const { return m_reached.size(); }

    // False when stopped. `fallback` is the index the series was read from, for the rare search
    // the counts cannot answer; `rows` and `verdicts` are filled when given.
    bool run(const Series& s, const SearchIndex* fallback, std::vector<BacktestRow>* rows,
             std::vector<Verdict>* verdicts, Counted& counted) {
        m_counts.reset();
        std::size_t next = m_rangeFirst;
        for (std::size_t i = 0; i < m_order.size(); ++i) {
            const std::uint32_t target = m_order[i];
            const std::size_t t = m_targetFirst + target;
            const std::ptrdiff_t reached = m_reached[target];
            BacktestRow row;
            row.issue = m_index.issue(t);
            row.actual = s.outcome[t];
            if (reached >= m_back) {
                const auto source = static_cast<std::size_t>(reached - m_back);
                row.pattern = Pattern{s.codes[0][source], s.codes[1][source], s.codes[2][source]};
                for (; static_cast<std::ptrdiff_t>(next) <= reached; ++next)
                    add(s, next);
                predict(s, fallback, static_cast<std::size_t>(reached), row);
            }
            if (row.verdict != Verdict::NoPrediction) {
                ++counted.predictions;
                counted.hits += row.verdict == Verdict::Hit;
            }
            if (verdicts)
                (*verdicts)[target] = row.verdict;
            if (rows)
                (*rows)[target] = row;
            if ((i + 1) % kCheckEvery == 0 && !tick(kCheckEvery))
                return false;
        }
        return tick(m_order.size() % kCheckEvery);
    }

private:
    // Rows whose issue is at most `bound`.
    std::size_t rowsUpTo(std::int32_t bound) const {
        std::size_t low = 0;
        std::size_t high = m_index.size();
        while (low < high) {
            const std::size_t mid = low + (high - low) / 2;
            if (m_index.issue(mid) <= bound)
                low = mid + 1;
            else
                high = mid;
        }
        return low;
    }

    bool tick(std::size_t targets) {
        m_done += targets;
        if (m_control.progress)
            m_control.progress(m_done, m_total);
        return !m_control.stop.stop_requested();
    }

    // The first row lies before every range (it starts at the first issue plus 1 or plus N), so
    // it is never added; whatever it holds never matters.
    std::uint32_t tokensAt(const Series& s, std::size_t r) const {
        // In N-back mode a row compares the "上期" string of the row N - 1 below it; the rows
        // before that compare an empty string.
        const auto back = static_cast<std::size_t>(m_back);
        return r >= back ? s.lastTokens[r - back] : 0;
    }

    // Calls f with every key under which a search can select row r.
    template <typename F> void forEachKey(const Series& s, std::size_t r, F&& f) const {
        if (m_k == 0)
            return f(Key{});
        Key key{};
        if (!m_o.freePositions) {
            // A row whose txtHisLst is blank never matches, nor does a row with fewer than N
            // draws before it.
            const std::size_t back = m_o.lastDraw ? 1 : static_cast<std::size_t>(m_o.n);
            if (!s.hasPrevious[r] || r < back)
                return;
            for (int i = 0; i < m_k; ++i)
                key[static_cast<std::size_t>(i)] =
                    s.codes[m_positions[static_cast<std::size_t>(i)]][r - back];
            return f(key);
        }
        // The values the earlier draw holds, each as often as its tokens 1Xv, 2Xv, 3Xv run on
        // unbroken: a search for a multiset of values matches exactly when it is a part of these.
        const std::uint32_t mask = tokensAt(s, r);
        std::array<int, 30> held{};
        int count = 0;
        for (std::uint32_t ones = mask & ((1u << m_searchSize) - 1); ones != 0; ones &= ones - 1) {
            const int v = std::countr_zero(ones);
            held[static_cast<std::size_t>(count++)] = v;
            for (int c = 2; c <= 3 && (mask & tokenBit(c, v)) != 0; ++c)
                held[static_cast<std::size_t>(count++)] = v;
        }
        subsets(held.data(), count, 0, 0, key, f);
    }

    // Every distinct sub-multiset of k values of the ascending list, once.
    template <typename F>
    void subsets(const int* held, int count, int from, int depth, Key& key, F& f) const {
        if (depth == m_k)
            return f(key);
        for (int i = from; i < count; ++i) {
            if (i > from && held[i] == held[i - 1])
                continue;
            key[static_cast<std::size_t>(depth)] = held[i];
            subsets(held, count, i + 1, depth + 1, key, f);
        }
    }

    void add(const Series& s, std::size_t r) {
        const int outcome = s.outcome[r];
        const bool counts = outcome >= 0 && outcome < m_resultSize;
        forEachKey(s, r, [&](const Key& key) {
            int* c = m_counts.at(key);
            ++c[m_resultSize];
            if (counts)
                ++c[outcome];
        });
    }

    // The key a pattern asks for; nothing when a free-position pattern holds a value outside its
    // kind, whose token the search then compares as text.
    std::optional<Key> keyOf(const Pattern& pattern) const {
        Key key{};
        for (int i = 0; i < m_k; ++i) {
            const int v = pattern[static_cast<std::size_t>(m_positions[i])];
            if (m_o.freePositions && (v < 0 || v >= m_searchSize))
                return std::nullopt;
            key[static_cast<std::size_t>(i)] = v;
        }
        if (m_o.freePositions) { // at most three values: sorted by hand
            if (m_k >= 2 && key[0] > key[1])
                std::swap(key[0], key[1]);
            if (m_k == 3 && key[1] > key[2]) {
                std::swap(key[1], key[2]);
                if (key[0] > key[1])
                    std::swap(key[0], key[1]);
            }
        }
        return key;
    }

    void predict(const Series& s, const SearchIndex* fallback, std::size_t reached, BacktestRow& row) {
        std::array<int, 11> searched{};
        const int* c = searched.data();
        if (const auto key = keyOf(*row.pattern)) {
            c = m_counts.at(*key);
        } else if (fallback) {
            FollowQuery q;
            q.freePositions = m_o.freePositions;
            q.lastDraw = m_o.lastDraw;
            q.n = m_o.n;
            q.searchType = m_o.searchType;
            q.pattern = *row.pattern;
            q.checked = m_o.checked;
            q.rangeStart = m_rangeStart;
            q.rangeEnd = m_index.issue(reached);
            for (const std::uint32_t r : followSearch(*fallback, q).rows) {
                ++searched[static_cast<std::size_t>(m_resultSize)];
                if (s.outcome[r] >= 0 && s.outcome[r] < m_resultSize)
                    ++searched[static_cast<std::size_t>(s.outcome[r])];
            }
        } // (a twin never needs the fallback: its codes always lie in their kinds)
        row.matched = c[m_resultSize];
        if (row.matched == 0)
            return;

        // The first K rows of the result grid: count descending, ties by outcome ascending.
        const int first = m_o.resultKind == Kind::Segment ? m_o.segmentParam : 0;
        const int listed = listedOutcomes(m_o.resultKind);
        std::array<std::pair<int, int>, 10> ranked{}; // (-count, outcome)
        for (int i = 0; i < listed; ++i) {
            const int outcome = first + i;
            ranked[static_cast<std::size_t>(i)] = {outcome < m_resultSize ? -c[outcome] : 0, outcome};
        }
        std::partial_sort(ranked.begin(), ranked.begin() + m_o.picks, ranked.begin() + listed);
        row.pickCount = m_o.picks;
        bool hit = false;
        for (int i = 0; i < m_o.picks; ++i) {
            const int outcome = ranked[static_cast<std::size_t>(i)].second;
            row.picks[static_cast<std::size_t>(i)] = static_cast<std::int8_t>(outcome);
            hit = hit || outcome == row.actual;
        }
        row.verdict = hit ? Verdict::Hit : Verdict::Miss;
    }

    const SearchIndex& m_index;
    const BacktestOptions& m_o;
    const BacktestControl& m_control;
    std::size_t m_total = 0;
    std::size_t m_done = 0;
    int m_searchSize;
    int m_resultSize;
    std::ptrdiff_t m_back; // the pattern's draw lies this many draws before the draw before a target
    std::array<std::size_t, 3> m_positions{};
    int m_k = 0;
    std::int32_t m_rangeStart = 0;
    std::size_t m_rangeFirst = 0;
    std::size_t m_targetFirst = 0;
    std::vector<std::ptrdiff_t> m_reached; // per target: its draw before, -1 when none
    std::vector<std::uint32_t> m_order;
    KeyCounts m_counts;
};

// Compared as fractions, so that equal rates never count as higher through rounding; a rate
// without predictions is 0.
bool higherRate(const Counted& a, const Counted& b) {
    if (a.predictions == 0)
        return false;
    if (b.predictions == 0)
        return a.hits > 0;
    return a.hits * b.predictions > b.hits * a.predictions;
}

std::optional<std::string> invalid(const BacktestOptions& o) {
    const auto kindOk = [](Kind k) { return static_cast<int>(k) >= 0 && static_cast<int>(k) < kKindCount; };
    if (!kindOk(o.searchType) || !kindOk(o.resultKind))
        return "检索类型或统计类型无效。";
    if (!o.lastDraw && (o.n < 1 || o.n > 9))
        return "前N期的N必须是1到9。";
    if (o.resultPosition < 1 || o.resultPosition > 3)
        return "统计位置必须是第1位到第3位。";
    if (o.segmentParam != 0 && o.segmentParam != 1)
        return "段数参数必须是0或1。";
    const int listed = listedOutcomes(o.resultKind);
    if (o.picks < 1 || o.picks >= listed)
        return "每期选取的结果个数必须在1到" + std::to_string(listed - 1) + "之间。";
    if (o.twins < 0 || o.twins > kMaxTwins)
        return "随机对照组数必须在0到" + std::to_string(kMaxTwins) + "之间。";
    if (o.targetStart && o.targetEnd && *o.targetStart > *o.targetEnd)
        return "回测的起始期号大于结束期号。";
    return std::nullopt;
}

} // namespace

Result<BacktestResult> runBacktest(const SearchIndex& index, const BacktestOptions& options,
                                   const BacktestControl& control) {
    if (const auto message = invalid(options))
        return fail(ErrorCode::Invalid, *message);
    if (index.size() == 0)
        return fail(ErrorCode::Empty, "历史号码为空，无法回测。");
    const BacktestOptions& o = options;
    const auto cancelled = [] { return fail(ErrorCode::Cancelled, "回测已取消。"); };
    Walk walk(index, o, control, 1 + static_cast<std::size_t>(o.twins));
    const std::size_t targets = walk.targets();

    BacktestResult result;
    result.targets = static_cast<long long>(targets);
    result.chance = static_cast<double>(o.picks) / listedOutcomes(o.resultKind);
    if (o.keepRows)
        result.rows.resize(targets);
    Counted real;
    if (!walk.run(seriesOf(index, o), &index, o.keepRows ? &result.rows : nullptr, nullptr, real))
        return cancelled();
    result.predictions = real.predictions;
    result.hits = real.hits;
    if (real.predictions > 0) {
        result.rate = static_cast<double>(real.hits) / static_cast<double>(real.predictions);
        const Interval i = wilsonInterval(real.hits, real.predictions);
        result.low95 = i.low;
        result.high95 = i.high;
    }
    result.p = binomialUpperTail(real.predictions, result.chance, real.hits);

    result.seed = o.seed;
    if (o.twins == 0)
        return result;
    TwinDigits digits(o.seed);
    TwinSeries twin(index, o);
    for (int r = 0; r < o.twins; ++r) {
        TwinRun run;
        if (o.keepRows)
            run.verdicts.resize(targets);
        Counted counted;
        if (!walk.run(twin.next(digits), nullptr, nullptr, o.keepRows ? &run.verdicts : nullptr, counted))
            return cancelled();
        run.predictions = counted.predictions;
        run.hits = counted.hits;
        if (counted.predictions > 0)
            run.rate = static_cast<double>(counted.hits) / static_cast<double>(counted.predictions);
        if (higherRate(counted, real))
            ++result.rank;
        result.twins.push_back(std::move(run));
    }
    return result;
}

} // namespace brenvik::stats
