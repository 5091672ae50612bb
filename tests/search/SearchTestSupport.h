// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DrawRow.h"
#include "FollowSearch.h"
#include "HistorySnapshot.h"
#include "HistoryText.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

namespace brenvik::test {

// The issue numbers of a selection, in order.
inline std::vector<std::int32_t> issuesOf(const SearchIndex& index, const Selection& s) {
    std::vector<std::int32_t> out;
    for (auto r : s.rows)
        out.push_back(index.issue(r));
    return out;
}

// A random history as the program could have stored it: draws appended in file order (which
// may differ from issue order), the segment parameter switched half-way, and optionally
// something left in the first row's N-back columns.
inline SnapshotPtr randomHistory(std::uint32_t seed, std::size_t size, bool fileOrderShuffled,
                                 bool firstRowBackColumns) {
    std::mt19937 gen(seed);
    std::uniform_int_distribution<int> digit(0, 9);
    std::vector<DrawLine> draws;
    std::int32_t issue = 2010000 + static_cast<std::int32_t>(seed % 7) * 1000 + 1;
    for (std::size_t i = 0; i < size; ++i) {
        // Few distinct digits make matches frequent.
        const int spread = 3 + static_cast<int>(seed % 8);
        draws.push_back({issue, {digit(gen) % spread, digit(gen) % spread, digit(gen)}});
        issue += 1 + (gen() % 5 == 0 ? 1 : 0); // some issues missing
    }
    if (fileOrderShuffled)
        for (std::size_t i = 0; i + 1 < draws.size(); i += 7)
            std::swap(draws[i], draws[i + 1 + gen() % std::min<std::size_t>(5, draws.size() - i - 1)]);
    std::vector<DrawRow> rows;
    RunningState state;
    for (std::size_t i = 0; i < draws.size(); ++i)
        rows.push_back(appendDraw(draws[i].issue, draws[i].digits, i < draws.size() / 2 ? 1 : 0, state));
    std::sort(rows.begin(), rows.end(), [](const DrawRow& a, const DrawRow& b) { return a.sqqh < b.sqqh; });
    if (firstRowBackColumns && !rows.empty()) {
        rows[0].pre = summariesOf(codesOfDraw({digit(gen), digit(gen), digit(gen)}, 1));
    }
    return std::make_shared<const HistorySnapshot>(std::move(rows));
}

} // namespace brenvik::test
