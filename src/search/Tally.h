#pragma once

#include "DrawCodes.h"
#include "HistorySnapshot.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace brenvik {

struct TallyRow {
    int outcome = 0;
    std::string label; // as the result grid shows it
    int count = 0;
};

// The counts of one search, shared by the follow and the combination search.
struct Tally {
    Kind kind = Kind::Number;
    int matched = 0;
    int denominator = 0; // number of codes counted
    // One entry per outcome of the kind, ascending: what the tally table Carcu holds.
    std::vector<std::pair<int, int>> byOutcome;
    // The same outcomes, most frequent first, ties by ascending outcome.
    std::vector<TallyRow> ranked;

    // Share of a count in percent; nothing when no code was counted.
    std::optional<double> percent(int count) const;
    // "12.500%", or "-" when no code was counted.
    std::string percentText(int count) const;
};

// Counts the outcomes of the matched draws (indices into the snapshot, in issue order) at the
// result position, or at positions 1 up to it when `group` is set.
Tally tallyOutcomes(const HistorySnapshot& history, std::span<const std::uint32_t> matched, Kind resultKind,
                    int resultPosition, bool group, int segmentParam);

} // namespace brenvik
