// SPDX-License-Identifier: GPL-3.0-or-later
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
    // Counted codes that are none of the listed outcomes: segment codes stored with the other
    // segment parameter. They stay in the denominator, so the percentages show the gap.
    int dropped = 0;
    // One entry per outcome of the kind, ascending: what the tally table Carcu holds.
    std::vector<std::pair<int, int>> byOutcome;
    // The same outcomes, most frequent first, ties by ascending outcome.
    std::vector<TallyRow> ranked;

    // Share of a count in percent; nothing when no code was counted.
    std::optional<double> percent(int count) const;
    // "12.500%", or "-" when no code was counted.
    std::string percentText(int count) const;
};

// What the window and the companion say when a tally dropped codes; empty when none was.
std::string droppedNote(const Tally& tally);

// Counts the outcomes of the matched draws (indices into the snapshot, in issue order) at the
// result position, or at positions 1 up to it when `group` is set.
Tally tallyOutcomes(const HistorySnapshot& history, std::span<const std::uint32_t> matched, Kind resultKind,
                    int resultPosition, bool group, int segmentParam);

// Which segment parameter the stored rows' segment codes were derived with. A row's own codes and
// its codes of the draw before (for every row but the first, whose are blank) each carry it, as
// segment − digit / 2. A history written partly before and partly after a change of the setting
// has rows of both.
struct StoredSegments {
    std::size_t withParam[2] = {0, 0};
    // Rows whose own codes and codes of the draw before disagree (the first row after a change of
    // the setting), or fit no parameter at all.
    std::size_t neither = 0;

    // Rows whose segments differ from what `param` derives.
    std::size_t disagreeing(int param) const { return withParam[param == 0 ? 1 : 0] + neither; }
};
StoredSegments storedSegments(const HistorySnapshot& history);

} // namespace brenvik
