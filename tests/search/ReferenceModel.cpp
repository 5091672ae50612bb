// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReferenceModel.h"

#include <cctype>

namespace brenvik::reference {

namespace {

// The columns of one table row the searches read and write.
struct Row {
    std::int32_t sqqh = 0;
    int own[3][4] = {};
    int s[3][4] = {};
    int p[3][4] = {};
    std::string lst[5];
    std::string pre[5];
    std::string p6;
    int th = 0;
    bool ok = false;
};

std::vector<Row> tableOf(const std::vector<DrawRow>& rows) {
    std::vector<Row> t(rows.size());
    for (std::size_t j = 0; j < rows.size(); ++j) {
        t[j].sqqh = rows[j].sqqh;
        for (int a = 0; a < 3; ++a)
            for (int b = 0; b < 4; ++b) {
                t[j].own[a][b] = rows[j].own[a][b];
                t[j].s[a][b] = rows[j].prev[a][b];
                t[j].p[a][b] = rows[j].back[a][b];
            }
        for (int i = 0; i < 5; ++i) {
            t[j].lst[i] = rows[j].last[i];
            t[j].pre[i] = rows[j].pre[i];
        }
    }
    return t;
}

std::string trimmed(const std::string& s) {
    std::size_t a = 0, b = s.size();
    while (a < b && s[a] == ' ')
        ++a;
    while (b > a && s[b - 1] == ' ')
        --b;
    return s.substr(a, b - a);
}

const int kCounterSize[4] = {10, 2, 2, 6};

// Rebuild of the N-back pattern strings: row 0 untouched unless N = 1, rows 1..N-2 empty, the
// rest take the "上期" string of the row N - 1 before them.
void rebuildBackStrings(std::vector<Row>& t, int type, int n) {
    for (std::size_t j = 0; j < t.size(); ++j) {
        const int jj = static_cast<int>(j);
        if (jj >= n - 1) {
            t[j].pre[1 + type] = t[static_cast<std::size_t>(jj - n + 1)].lst[1 + type];
            t[j].pre[0] = t[static_cast<std::size_t>(jj - n + 1)].lst[0];
        } else if (jj >= 1) {
            t[j].pre[1 + type] = "";
            t[j].pre[0] = "";
        }
    }
}

std::vector<std::int32_t> selected(const std::vector<Row>& t, const Options& o, bool byMark, int k) {
    std::vector<std::int32_t> out;
    for (const Row& r : t)
        if (r.sqqh >= o.rangeStart && r.sqqh <= o.rangeEnd && (byMark ? r.ok : r.th == k))
            out.push_back(r.sqqh);
    return out;
}

} // namespace

bool like(const std::string& text, const std::string& pattern) {
    if (pattern.empty())
        return text.empty();
    if (pattern[0] == '*') {
        for (std::size_t i = 0; i <= text.size(); ++i)
            if (like(text.substr(i), pattern.substr(1)))
                return true;
        return false;
    }
    if (text.empty())
        return false;
    if (std::toupper(static_cast<unsigned char>(text[0])) !=
        std::toupper(static_cast<unsigned char>(pattern[0])))
        return false;
    return like(text.substr(1), pattern.substr(1));
}

std::vector<std::int32_t> followSearch(const std::vector<DrawRow>& rows, const Options& o) {
    std::vector<Row> t = tableOf(rows);
    const int type = o.searchType;
    if (o.freePositions && !o.lastDraw)
        rebuildBackStrings(t, type, o.n);
    for (Row& r : t)
        r.th = 0;
    int k = 0;
    if (o.freePositions) {
        std::vector<int> counter(static_cast<std::size_t>(kCounterSize[type]), 0);
        int c = 0;
        for (int p = 0; p < 3; ++p) {
            if (!o.checked[p])
                continue;
            ++k;
            const int v = o.pattern[p];
            if (v >= 0 && v < kCounterSize[type]) {
                ++counter[static_cast<std::size_t>(v)];
                c = counter[static_cast<std::size_t>(v)];
            }
            const std::string pattern = "*" + std::to_string(c) + "X" + std::to_string(v) + "*";
            for (Row& r : t)
                if (like(o.lastDraw ? r.lst[1 + type] : r.pre[1 + type], pattern))
                    ++r.th;
        }
    } else {
        for (int p = 0; p < 3; ++p) {
            if (!o.checked[p])
                continue;
            ++k;
            // Rebuild the compared column, then one update over the table.
            for (std::size_t j = 0; j < t.size(); ++j) {
                if (o.lastDraw)
                    t[j].s[p][type] = j == 0 ? 0 : t[j - 1].own[p][type];
                else
                    t[j].p[p][type] = j < static_cast<std::size_t>(o.n)
                                          ? 0
                                          : t[j - static_cast<std::size_t>(o.n)].own[p][type];
            }
            for (std::size_t j = 0; j < t.size(); ++j) {
                Row& r = t[j];
                // A draw with fewer than N draws before it has no draw N back.
                if (!o.lastDraw && j < static_cast<std::size_t>(o.n))
                    continue;
                if (!trimmed(r.lst[0]).empty() && (o.lastDraw ? r.s[p][type] : r.p[p][type]) == o.pattern[p])
                    ++r.th;
            }
        }
    }
    return selected(t, o, false, k);
}

std::vector<std::int32_t> combinationSearch(const std::vector<DrawRow>& rows, const Options& o) {
    std::vector<Row> t = tableOf(rows);
    const int type = o.searchType;
    if (o.freePositions && !o.lastDraw)
        rebuildBackStrings(t, type, o.n);
    for (Row& r : t)
        r.ok = false;
    if (o.freePositions) {
        for (Row& r : t)
            r.p6 = o.lastDraw ? r.lst[1 + type] : r.pre[1 + type];
    } else {
        for (int p = 0; p < 3; ++p)
            for (std::size_t j = 1; j < t.size(); ++j) {
                if (o.lastDraw)
                    t[j].s[p][type] = t[j - 1].own[p][type];
                else if (j >= static_cast<std::size_t>(o.n))
                    t[j].p[p][type] = t[j - static_cast<std::size_t>(o.n)].own[p][type];
                else
                    t[j].p[p][type] = 0;
            }
    }
    if (o.comboSize < 1 || o.comboSize > 6)
        return selected(t, o, true, 0);
    // Every increasing tuple of comboSize positions out of 1..3.
    std::vector<std::vector<int>> combos;
    for (int mask = 1; mask < 8; ++mask) {
        std::vector<int> c;
        for (int p = 0; p < 3; ++p)
            if (mask & (1 << p))
                c.push_back(p);
        if (static_cast<int>(c.size()) == o.comboSize)
            combos.push_back(c);
    }
    for (const auto& combo : combos) {
        for (Row& r : t)
            r.th = 0;
        if (o.freePositions) {
            std::vector<int> counter(static_cast<std::size_t>(kCounterSize[type]), 0);
            std::vector<bool> counted;
            for (int p : combo) {
                const int v = o.pattern[p];
                counted.push_back(v >= 0 && v < kCounterSize[type]);
                if (counted.back())
                    ++counter[static_cast<std::size_t>(v)];
            }
            for (std::size_t i = 0; i < combo.size(); ++i) {
                if (!counted[i])
                    continue; // a value that cannot be counted has no statement
                const int v = o.pattern[combo[i]];
                const std::string pattern = "*" + std::to_string(counter[static_cast<std::size_t>(v)]) + "X" +
                                            std::to_string(v) + "*";
                for (Row& r : t)
                    if (like(r.p6, pattern))
                        ++r.th;
            }
        } else {
            for (int p : combo)
                for (std::size_t j = 0; j < t.size(); ++j) {
                    Row& r = t[j];
                    if (!o.lastDraw && j < static_cast<std::size_t>(o.n))
                        continue;
                    if (!trimmed(r.lst[0]).empty() &&
                        (o.lastDraw ? r.s[p][type] : r.p[p][type]) == o.pattern[p])
                        ++r.th;
                }
        }
        for (Row& r : t)
            if (r.th == o.comboSize)
                r.ok = true;
    }
    return selected(t, o, true, 0);
}

} // namespace brenvik::reference
