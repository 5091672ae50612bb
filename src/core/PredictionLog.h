// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DrawCodes.h"
#include "Error.h"
#include "Game.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace brenvik {

class HistoryStore;

// The draw an entry was scored against: the digits its issue had when they were first stored,
// and when that was. Kept for good, whatever becomes of that draw afterwards.
struct EntryScore {
    std::array<int, 3> digits{};
    std::string scored; // UTC, as LogEntry::recorded
    bool operator==(const EntryScore&) const = default;
};

// One entry of the logbook of predictions: the top picks of a follow search, recorded for an
// issue before its draw was stored. An entry is never changed once stored.
struct LogEntry {
    long long id = 0;
    std::string recorded; // UTC, ISO 8601: "2026-12-08T05:21:01Z"
    Game game = Game::Fc3d;
    std::int32_t issue = 0; // the draw the picks are for
    std::string conditions; // the search's condition line, as the result grids show it
    Kind resultKind = Kind::Number;
    int resultPosition = 1;
    int segmentParam = 1;   // which segments the picks of a segment tally name
    std::vector<int> picks; // K outcomes, in the result grid's order
    // Read with the entry: its score, once its draw was stored (record() ignores it).
    std::optional<EntryScore> score;

    bool operator==(const LogEntry&) const = default;
};

// The logbook's spreadsheet, named per game as the grids' are (sheetFileName).
inline constexpr const char* kLogbookSheetFile = "Yuce.xlsx";

// What a refused entry says: its draw is already known.
inline constexpr const char* kAlreadyDrawn = "该期已开奖，不能再记录预测";

// The logbook lives in the table Yuce of the game's history database, so it goes wherever the
// history goes (compaction, copies of the file) and each game keeps its own.
class PredictionLog {
public:
    // The tables and the guards that refuse any change of a stored entry or score, and the
    // withdrawal of a scored entry; part of every history database's schema.
    static std::string schemaSql();
    // The statement that scores every entry whose draw is stored and that has no score yet; its
    // one parameter is the time. Every change of the draws runs it before it commits.
    static const char* scoringSql();

    // Stores `entry` in one transaction and returns it with its id (and the time, when it has
    // none). Refused, storing nothing, when a draw at or after its issue is stored: such a draw
    // is known, and a record made after it proves nothing.
    static Result<LogEntry> record(HistoryStore& store, LogEntry entry);
    // Every entry, oldest first.
    static Result<std::vector<LogEntry>> entries(const HistoryStore& store);
    // The entries, with their ids and scores, of the history file `file` read as it lies, without
    // opening it as a history: what a restore carries over from a damaged file. An error when
    // the file no longer yields them.
    static Result<std::vector<LogEntry>> entriesIn(const std::filesystem::path& file);
    // Stores entries read with entriesIn, ids and scores as they were, in one transaction, into a
    // history that has none yet.
    static Result<void> carry(HistoryStore& store, const std::vector<LogEntry>& entries);
    // Removes an entry that has not been scored. A scored entry stays, also once its draw was
    // deleted again.
    static Result<void> withdraw(HistoryStore& store, long long id);
};

// The time in UTC as an entry records it.
std::string utcTimestamp(std::int64_t secondsSinceEpoch);

} // namespace brenvik
